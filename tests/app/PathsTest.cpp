// Where the settings file and the data folders live: beside the executable (or --home) for
// a portable program, in the user's folders for an installed one.
#include "app/Paths.h"
#include "support/TestMain.h"

#include <QTest>

class PathsTest : public QObject {
    Q_OBJECT
private slots:
    void layoutChoice_data()
    {
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("exeDir");
        QTest::addColumn<bool>("hasSettings");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<QString>("userHome");
        QTest::addColumn<QString>("xdgConfig");
        QTest::addColumn<QString>("xdgData");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("settingsFile");
        QTest::addColumn<QString>("linkData");
        QTest::addColumn<QString>("startDir");
        const int home = int(TAppPaths::Layout::Home), portable = int(TAppPaths::Layout::Portable),
                  user = int(TAppPaths::Layout::User);
        const QString u = QStringLiteral("/home/ann");
        const QString cfg = u + "/.config/torvane-anim/TorvaneAnim.ini", link = u + "/.local/share/torvane-anim/LinkData";
        QTest::newRow("--home beats an installed program") << "/data/anim" << "/usr/bin" << false << false << u << "" << ""
                                                           << home << "/data/anim/TorvaneAnim.ini" << "/data/anim/LinkData" << "/data/anim/";
        QTest::newRow("--home beats a settings file beside the executable")
            << "/data/anim/" << "/opt/t" << true << true << u << "/x" << "/y" << home << "/data/anim/TorvaneAnim.ini"
            << "/data/anim/LinkData" << "/data/anim/";
        QTest::newRow("installed, folder read-only") << "" << "/usr/bin" << false << false << u << "" << "" << user << cfg << link << u + "/";
        QTest::newRow("root may write to /usr/local/bin") << "" << "/usr/local/bin" << false << true << u << "" << "" << user << cfg << link << u + "/";
        QTest::newRow("writable folder under /opt") << "" << "/opt/torvane/bin" << false << true << u << "" << "" << user << cfg << link << u + "/";
        QTest::newRow("read-only folder of no package manager") << "" << "/mnt/cd" << false << false << u << "" << "" << user << cfg << link << u + "/";
        QTest::newRow("system folder reached through ..") << "" << "/home/../usr/bin" << false << true << u << "" << "" << user << cfg << link << u + "/";
        QTest::newRow("settings file beside an installed program") << "" << "/usr/bin" << true << false << u << "" << ""
                                                                   << portable << "/usr/bin/TorvaneAnim.ini" << "/usr/bin/LinkData" << "/usr/bin/";
        QTest::newRow("unpacked into the home folder") << "" << "/home/ann/tools/torvane" << false << true << u << "/x" << "/y" << portable
                                                       << "/home/ann/tools/torvane/TorvaneAnim.ini" << "/home/ann/tools/torvane/LinkData"
                                                       << "/home/ann/tools/torvane/";
        QTest::newRow("a name that only begins like /usr") << "" << "/usrlocal/bin" << false << true << u << "" << "" << portable
                                                           << "/usrlocal/bin/TorvaneAnim.ini" << "/usrlocal/bin/LinkData" << "/usrlocal/bin/";
        QTest::newRow("XDG variables set") << "" << "/usr/bin" << false << false << u << "/cfg/" << "/data" << user
                                           << "/cfg/torvane-anim/TorvaneAnim.ini" << "/data/torvane-anim/LinkData" << u + "/";
        QTest::newRow("relative XDG variables are ignored") << "" << "/usr/bin" << false << false << u << "cfg" << "./data" << user << cfg
                                                            << link << u + "/";
        QTest::newRow("no home folder but XDG variables") << "" << "/usr/bin" << false << false << "" << "/c" << "/d" << user
                                                          << "/c/torvane-anim/TorvaneAnim.ini" << "/d/torvane-anim/LinkData" << "/";
        QTest::newRow("no home folder at all") << "" << "/usr/bin" << false << false << "" << "" << "" << portable
                                               << "/usr/bin/TorvaneAnim.ini" << "/usr/bin/LinkData" << "/usr/bin/";
    }
    void layoutChoice()
    {
        QFETCH(QString, home);
        QFETCH(QString, exeDir);
        QFETCH(bool, hasSettings);
        QFETCH(bool, writable);
        QFETCH(QString, userHome);
        QFETCH(QString, xdgConfig);
        QFETCH(QString, xdgData);
        QFETCH(int, kind);
        QFETCH(QString, settingsFile);
        QFETCH(QString, linkData);
        QFETCH(QString, startDir);
        TPathFacts f;
        f.Home = home;
        f.ExeDir = exeDir;
        f.ExeDirHasSettings = hasSettings;
        f.ExeDirWritable = writable;
        f.UserHome = userHome;
        f.XdgConfigHome = xdgConfig;
        f.XdgDataHome = xdgData;
        const TAppPaths p = TAppPaths::Choose(f);
        QCOMPARE(int(p.Kind), kind);
        QCOMPARE(p.SettingsFile(), settingsFile);
        QCOMPARE(p.LinkDataDir, linkData);
        QCOMPARE(p.StartDir, startDir);
        // The three data folders always share one parent.
        const QString data = linkData.chopped(QStringLiteral("LinkData").size());
        QCOMPARE(p.DataDir, data);
        QCOMPARE(p.TranslationDir, data + "Translation");
        QCOMPARE(p.ColorsDir, data + "Colors");
        QCOMPARE(p.LegacySettingsFile(), settingsFile.chopped(QStringLiteral("TorvaneAnim.ini").size()) + "Zelvix.ini");
    }

    // The facts of this process: the test executable sits in a writable build folder, so
    // the layout is portable unless the folder is one a package manager owns.
    void gatheredFacts()
    {
        qputenv("XDG_CONFIG_HOME", "/elsewhere/cfg");
        const TPathFacts f = TPathFacts::Gather(QString());
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(f.ExeDir, QCoreApplication::applicationDirPath());
        QCOMPARE(f.XdgConfigHome, QStringLiteral("/elsewhere/cfg"));
        QCOMPARE(f.ExeDirWritable, QFileInfo(f.ExeDir).isWritable());
        QCOMPARE(int(TAppPaths::FromHome(QString()).Kind),
                 int(f.ExeDirWritable && !TAppPaths::IsSystemFolder(f.ExeDir) ? TAppPaths::Layout::Portable : TAppPaths::Layout::User));
    }
};
TORVANE_TEST(PathsTest)
#include "PathsTest.moc"
