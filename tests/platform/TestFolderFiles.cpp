// Stored folders found on disk whatever their letter case and separators.
#include "platform/FolderFiles.h"
#include "support/TestMain.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestFolderFiles : public QObject {
    Q_OBJECT
private slots:
    void resolveFolder_data()
    {
        QTest::addColumn<QString>("stored");  // %1: a folder holding Data/Anims, Data/Models, data2, Data2
        QTest::addColumn<QString>("found");
        QTest::newRow("as on disk") << "%1/Data/Anims" << "%1/Data/Anims";
        QTest::newRow("two levels in other case") << "%1/DATA/anims" << "%1/Data/Anims";
        QTest::newRow("backslashes") << "%1\\data\\MODELS\\" << "%1/Data/Models";
        // Two folders differ in case only: no guess, the path stays as written.
        QTest::newRow("ambiguous") << "%1/DATA2" << "%1/DATA2";
        QTest::newRow("missing") << "%1/data/Sounds" << "%1/data/Sounds";
    }
    void resolveFolder()
    {
        QFETCH(QString, stored);
        QFETCH(QString, found);
        QTemporaryDir home;
        for (const char* d : {"Data/Anims", "Data/Models", "data2", "Data2"})
            QVERIFY(QDir(home.path()).mkpath(d));
        QCOMPARE(ResolveFolder(stored.arg(home.path())), found.arg(home.path()));
    }
};

TORVANE_TEST(TestFolderFiles)
#include "TestFolderFiles.moc"
