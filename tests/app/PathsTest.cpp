// Where the settings file and the data folders live: beside the executable (or --home) for
// a portable program, in the user's folders for an installed one.
#include "app/Paths.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QTest>

class PathsTest : public QObject {
    Q_OBJECT
private slots:
    void layoutChoice_data() { QVERIFY(AddTableRows("app/layout-choice.table")); }
    void layoutChoice()
    {
        QFETCH(QString, home);
        QFETCH(QString, exeDir);
        QFETCH(bool, hasSettings);
        QFETCH(bool, writable);
        QFETCH(QString, userHome);
        QFETCH(QString, xdgConfig);
        QFETCH(QString, xdgData);
        QFETCH(QString, xdgState);
        QFETCH(QString, settingsFile);
        QFETCH(QString, linkData);
        QFETCH(QString, startDir);
        const TAppPaths p = TAppPaths::Choose({exeDir, hasSettings, writable, home, userHome, xdgConfig, xdgData, xdgState});
        QTEST(p.RecoveryDir, "recovery");
        QTEST(p.RecentlyUsedFile, "recentlyUsed");
        QTEST(QString(p.Kind == TAppPaths::Layout::Home   ? "Home"
                      : p.Kind == TAppPaths::Layout::User ? "User"
                                                          : "Portable"),
              "kind");
        // The three data folders always share one parent, the old settings file the new one's.
        const QString data = linkData.chopped(QStringLiteral("LinkData").size());
        QCOMPARE(QStringList({p.SettingsFile(), p.LinkDataDir, p.StartDir, p.DataDir, p.TranslationDir, p.ColorsDir,
                              p.LegacySettingsFile()}),
                 QStringList({settingsFile, linkData, startDir, data, data + "Translation", data + "Colors",
                              settingsFile.chopped(QStringLiteral("TorvaneAnim.ini").size()) + "Zelvix.ini"}));
    }

    // The facts are this process's: its folder and the environment.
    void gatheredFacts()
    {
        qputenv("XDG_CONFIG_HOME", "/elsewhere/cfg");
        const TPathFacts f = TPathFacts::Gather(QString());
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(f.ExeDir, QCoreApplication::applicationDirPath());
        QCOMPARE(f.XdgConfigHome, QStringLiteral("/elsewhere/cfg"));
    }
};
TORVANE_TEST(PathsTest)
#include "PathsTest.moc"
