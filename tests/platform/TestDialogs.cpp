#include "platform/Dialogs.h"
#include "support/TestMain.h"

#include <QTest>

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    // The file dialogs' filters: each pattern is shown once.
    void qtFilterFromPipes_data()
    {
        QTest::addColumn<QString>("pipes"); QTest::addColumn<QString>("qt");
        QTest::newRow("pattern in the description") << "Torvane 3d File(*.p3d)|*.p3d|All Files|*.*"
                                                    << "Torvane 3d File(*.p3d);;All Files (*.*)";
        QTest::newRow("spaced description with pattern") << "Translation File (*.tsl)|*.tsl"
                                                         << "Translation File (*.tsl)";
        QTest::newRow("several patterns") << "Models|*.p3d;*.P3D" << "Models (*.p3d *.P3D)";
    }
    void qtFilterFromPipes()
    {
        QFETCH(QString, pipes); QFETCH(QString, qt);
        QCOMPARE(QtFilterFromPipes(pipes), qt);
    }
};

TORVANE_TEST(TestDialogs)
#include "TestDialogs.moc"
