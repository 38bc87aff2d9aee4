#include "platform/Dialogs.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QTest>

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    void qtFilterFromPipes_data() { QVERIFY(AddTableRows("platform/dialog-filters.table")); }
    void qtFilterFromPipes()
    {
        QFETCH(QString, pipes); QFETCH(QString, qt);
        QCOMPARE(QtFilterFromPipes(pipes), qt);
    }
};

TORVANE_TEST(TestDialogs)
#include "TestDialogs.moc"
