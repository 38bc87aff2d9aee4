// Start-up, settings and shutdown of the main window.
#include "FormFixture.h"
#include "app/Filebrowser.h"
#include "modelforms/ComponentTree.h"
#include "platform/FileUtil.h"
#include "platform/Ini.h"
#include "filebuild/RtmBuilder.h"
#include "support/TestMain.h"
#include "widgets/Chart.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QDoubleSpinBox>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusTipEvent>
#include <QLabel>
#include <QTest>
#include <cerrno>
#include <QToolButton>

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void noSettingsFile()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        QVERIFY(!f.isMaximized());
        QCOMPARE(f.size(), QSize(TMainForm::DesignedWidth, TMainForm::DesignedHeight));
        for (QAction* a : {f.ShowAxes1, f.ShowGrid1, f.AutoScale1, f.AutoSaveSettings1})
            QVERIFY2(a->isChecked(), qPrintable(a->text()));
        for (QToolButton* b : {f.B_Light, f.B_Transparent3D, f.B_Grid})
            QVERIFY2(b->isChecked(), qPrintable(b->objectName()));
        QVERIFY(f.ModelFileName.isEmpty());
        QVERIFY(f.Doc.AnimFrames.empty());
        QCOMPARE(f.StatusText(1), QStringLiteral("Model: EMPTY"));
        QCOMPARE(f.StatusText(2), QStringLiteral("Anim: EMPTY"));
        QCOMPARE(f.StatusText(5), QStringLiteral("Pivot and Linking: NOT LOADED"));
        // Every panel is wide enough for its text in this platform's font.
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        for (int i = 1; i < 6; ++i) {
            const QLabel* panel = f.findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(i));
            QVERIFY2(panel->contentsRect().width() >= panel->fontMetrics().horizontalAdvance(panel->text()),
                     qPrintable(panel->text()));
        }
        QCOMPARE(F_FileBrowser->P3dDir(), f.Paths.ExeDir);
        QVERIFY(fx.Dialogs.Messages.isEmpty());
        QVERIFY(!QFile::exists(fx.Path("TorvaneAnim.ini")));  // nothing is written by starting
    }

    void legacyFileIsReadNeverWritten()
    {
        FormFixture fx;
        const QByteArray legacy = "[Startup]\nShowAxes=0\nAutoScale=0\n[Layout]\nMainWidth=900\nmainheight=700\n"
                                  "[Dir]\nRTM=/some/where\n[Other]\nKeep=me\n";
        fx.Write("Zelvix.ini", legacy);
        TMainForm& f = fx.Start();
        QVERIFY(!f.ShowAxes1->isChecked());
        QVERIFY(!f.AutoScale1->isChecked());
        QVERIFY(f.ShowGrid1->isChecked());
        QCOMPARE(f.width(), 900);
        QCOMPARE(f.height(), 700);  // keys match without regard to case
        QCOMPARE(F_FileBrowser->RTMDir(), QStringLiteral("/some/where"));

        f.SaveSettings();
        QCOMPARE(fx.Read("Zelvix.ini"), legacy);
        const TIniFile written(fx.Path("TorvaneAnim.ini"));
        const QStringList keys = QStringLiteral(
            "Layout/Maximized Layout/MainLeft Layout/MainTop Layout/MainWidth Layout/MainHeight Layout/HSplitter "
            "Layout/VSplitter1 Layout/VSplitter2 Dir/P3d Dir/RTM Settings/TranslationFile Settings/ColorFile "
            "Startup/ShowAxes Startup/ShowGrid Startup/AutoScale Startup/3DLight Startup/3DTranparent Startup/3DGrid "
            "Startup/AutoSaveSettings Startup/LastP3d Startup/LastRTM").split(' ');
        for (const QString& k : keys)
            QVERIFY2(written.ValueExists(k.section('/', 0, 0), k.section('/', 1)), qPrintable(k));
        QCOMPARE(written.ReadString("Startup", "ShowAxes", "?"), QStringLiteral("0"));
        QCOMPARE(written.ReadString("Dir", "RTM", "?"), QStringLiteral("/some/where"));
    }

    void settingsValues_data()
    {
        QTest::addColumn<QByteArray>("zelvix");
        QTest::addColumn<QByteArray>("current");
        QTest::addColumn<bool>("grid");
        QTest::addColumn<bool>("axes");
        QTest::addColumn<int>("width");
        QTest::newRow("current file wins") << QByteArray("[Startup]\nShowGrid=0\n")
                                           << QByteArray("[Startup]\nShowGrid=1\nShowAxes=0\n") << true << false
                                           << int(TMainForm::DesignedWidth);
        QTest::newRow("malformed values take defaults")
            << QByteArray() << QByteArray("[Layout]\nMainWidth=12px\n[Startup]\nShowGrid=yes\nShowAxes=\n") << true
            << true << int(TMainForm::DesignedWidth);
        QTest::newRow("any non-zero integer is true")
            << QByteArray() << QByteArray("[Layout]\nMainWidth=1000\n[Startup]\nShowGrid=0\nShowAxes=-3\n") << false
            << true << 1000;
    }
    void settingsValues()
    {
        QFETCH(QByteArray, zelvix);
        QFETCH(QByteArray, current);
        QFETCH(bool, grid);
        QFETCH(bool, axes);
        QFETCH(int, width);
        FormFixture fx;
        if (!zelvix.isEmpty())
            fx.Write("Zelvix.ini", zelvix);
        fx.Write("TorvaneAnim.ini", current);
        TMainForm& f = fx.Start();
        QCOMPARE(f.ShowGrid1->isChecked(), grid);
        QCOMPARE(f.ShowAxes1->isChecked(), axes);
        QCOMPARE(f.width(), width);
    }

    void layoutRoundTrip()
    {
        FormFixture fx;
        fx.Write("TorvaneAnim.ini", "[Layout]\nMainLeft=40\nMainTop=30\nMainWidth=1100\nMainHeight=850\n"
                                    "HSplitter=350\nVSplitter1=300\nVSplitter2=280\n");
        TMainForm& f = fx.Start();
        QCOMPARE(f.size(), QSize(1100, 850));
        QCOMPARE(f.P_LeftViews->width(), 350);
        QCOMPARE(f.FrontView1->height(), 300);
        QCOMPARE(f.LeftView1->height(), 280);
        f.SaveSettings();
        const TIniFile ini(fx.Path("TorvaneAnim.ini"));
        QCOMPARE(ini.ReadInteger("Layout", "MainWidth", 0), 1100);
        QCOMPARE(ini.ReadInteger("Layout", "HSplitter", 0), 350);
        QCOMPARE(ini.ReadInteger("Layout", "VSplitter1", 0), 300);
        QCOMPARE(ini.ReadInteger("Layout", "VSplitter2", 0), 280);
        QCOMPARE(ini.ReadBool("Layout", "Maximized", true), false);
    }

    void missingLastAnimationStillRestoresTheRest()
    {
        FormFixture fx;
        const QString gone = fx.Path("gone.rtm");
        fx.Write("TorvaneAnim.ini", QStringLiteral("[Startup]\nLastRTM=%1\nShowGrid=0\n").arg(gone).toUtf8());
        TMainForm& f = fx.Start();
        QCOMPARE(fx.Dialogs.Messages, QStringList{QStringLiteral("Cannot open file %1").arg(gone)});
        QVERIFY(!f.ShowGrid1->isChecked());
        QVERIFY(f.Doc.AnimFrames.empty());
        QCOMPARE(f.StatusText(2), QStringLiteral("Anim: "));
    }

    void lastAnimationReopens()
    {
        FormFixture fx;
        fx.Write("walk.rtm", RtmBuild::Build(RtmBuild::TFile::Regular({"arm", "leg"}, 4)));
        fx.Write("TorvaneAnim.ini", QStringLiteral("[Startup]\nLastRTM=%1\n").arg(fx.Path("walk.rtm")).toUtf8());
        TMainForm& f = fx.Start();
        QCOMPARE(f.Doc.AnimStepCount, 4);
        QCOMPARE(f.StatusText(2), QStringLiteral("Anim: walk.rtm"));
        f.SaveSettings();
        QCOMPARE(TIniFile(fx.Path("TorvaneAnim.ini")).ReadString("Startup", "LastRTM", "?"), fx.Path("walk.rtm"));
    }

    void saveSettingsAfterClearedAnimationWritesEmptyLastRtm()
    {
        FormFixture fx;
        fx.Write("walk.rtm", RtmBuild::Build(RtmBuild::TFile::Regular({"arm"}, 2)));
        TMainForm& f = fx.Start();
        f.LoadAnimation(fx.Path("walk.rtm"));
        f.ClearAnimation();
        f.SaveSettings1->trigger();
        QCOMPARE(fx.Dialogs.Messages.last(), QStringLiteral("Settings saved."));
        const TIniFile ini(fx.Path("TorvaneAnim.ini"));
        QVERIFY(ini.ValueExists("Startup", "LastRTM"));
        QCOMPARE(ini.ReadString("Startup", "LastRTM", "?"), QString());
    }

    void unwritableSettingsFileIsReported()
    {
        FormFixture fx;
        QVERIFY(QDir(fx.Home.path()).mkdir("TorvaneAnim.ini"));  // a folder where the file should be
        TMainForm& f = fx.Start();
        f.SaveSettings1->trigger();
        QCOMPARE(fx.Dialogs.Messages.size(), 1);
        QVERIFY2(fx.Dialogs.Messages[0].contains(SystemErrorText(EISDIR)), qPrintable(fx.Dialogs.Messages[0]));
        QVERIFY(!fx.Dialogs.Messages.contains("Settings saved."));
    }

    // The window's children are deleted after the window has stopped being one: by then
    // none of their signals may reach it (the tree model's rows going used to).
    void childrenNoLongerReachTheWindowWhenDeleted()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        QAbstractItemModel* treeModel = f.TV_EditComponents->model();
        const QObject* window = &f;
        int connected = -1;
        QObject::connect(f.TV_EditComponents, &QObject::destroyed,
                         [&] { connected = QObject::disconnect(treeModel, nullptr, window, nullptr) ? 1 : 0; });
        fx.Form.reset();
        QCOMPARE(connected, 0);
    }

    void exitQuestion_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("autoSave");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("written");
        QTest::newRow("no") << false << true << false << false;
        QTest::newRow("yes, auto save") << true << true << true << true;
        QTest::newRow("yes, no auto save") << true << false << true << false;
    }
    void exitQuestion()
    {
        QFETCH(bool, answer);
        QFETCH(bool, autoSave);
        QFETCH(bool, closed);
        QFETCH(bool, written);
        FormFixture fx;
        TMainForm& f = fx.Start();
        f.AutoSaveSettings1->setChecked(autoSave);
        fx.Dialogs.Answers.enqueue(answer);
        f.close();
        QCOMPARE(fx.Dialogs.Questions, QStringList{"Are you sure to exit?"});
        QCOMPARE(fx.Dialogs.QuestionCaptions, QStringList{"Info"});
        QCOMPARE(f.isVisible(), !closed);
        QCOMPARE(f.Doc.ShuttingDown, closed);
        QCOMPARE(QFile::exists(fx.Path("TorvaneAnim.ini")), written);
    }

    void framesIgnoredAfterShutdown()
    {
        FormFixture fx;
        fx.Write("walk.rtm", RtmBuild::Build(RtmBuild::TFile::Regular({"arm"}, 3)));
        TMainForm& f = fx.Start();
        f.LoadAnimation(fx.Path("walk.rtm"));
        f.AutoSaveSettings1->setChecked(false);
        fx.CloseYes();
        f.SetActStep(2);
        f.SetStepCount(9);
        QCOMPARE(f.Doc.ActAnimStep, 0);
        QCOMPARE(f.Doc.AnimStepCount, 0);
    }

    void menuShortcuts_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QKeySequence>("key");
        QTest::addColumn<bool>("checkable");
        QTest::newRow("load anim") << "Load Anim..." << QKeySequence("Ctrl+R") << false;
        QTest::newRow("load p3d") << "Load P3d..." << QKeySequence("Ctrl+P") << false;
        QTest::newRow("environment") << "Load Environment P3d..." << QKeySequence("Ctrl+E") << false;
        QTest::newRow("save anim") << "Save Anim As..." << QKeySequence("Ctrl+S") << false;
        QTest::newRow("axes") << "Show &Axes" << QKeySequence("F5") << true;
        QTest::newRow("grid") << "Show &Grid" << QKeySequence("F6") << true;
        QTest::newRow("scale") << "Auto &Scale" << QKeySequence("F7") << true;
        QTest::newRow("save settings") << "Save Settings" << QKeySequence("F2") << false;
        QTest::newRow("auto save") << "Auto Save Settings On Exit" << QKeySequence() << true;
        QTest::newRow("browser") << "File Browser ..." << QKeySequence("F9") << true;
        QTest::newRow("frame timer") << "Frame Timer ..." << QKeySequence("F10") << true;
    }
    void menuShortcuts()
    {
        QFETCH(QString, caption);
        QFETCH(QKeySequence, key);
        QFETCH(bool, checkable);
        FormFixture fx;
        TMainForm& f = fx.Start();
        QAction* found = nullptr;
        for (QAction* top : f.menuBar()->actions())
            if (top->menu())
                for (QAction* a : top->menu()->actions())
                    if (a->text() == caption)
                        found = a;
        QVERIFY2(found, qPrintable(caption));
        QCOMPARE(found->shortcut(), key);
        QCOMPARE(found->isCheckable(), checkable);
    }

    void fileBrowserMenuTogglesWindow()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        QVERIFY(!F_FileBrowser->isVisible());
        f.FileBrowser1->trigger();
        QVERIFY(F_FileBrowser->isVisible());
        F_FileBrowser->close();
        QVERIFY(!f.FileBrowser1->isChecked());
        f.FileBrowser1->trigger();
        QVERIFY(F_FileBrowser->isVisible());
        QCOMPARE(F_FileBrowser->width(), 185);
    }

    void hintsGoToFirstStatusPanel()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        QStatusTipEvent tip(f.B_Append->statusTip());
        QApplication::sendEvent(&f, &tip);
        QCOMPARE(f.StatusText(0), QStringLiteral("Insert a new Frame after the current selected Frame"));
        QCOMPARE(f.StatusText(2), QStringLiteral("Anim: EMPTY"));
        TMainForm::SetHint(f.B_Play, QStringLiteral("Short|Long text"));
        QCOMPARE(f.B_Play->toolTip(), QStringLiteral("Short"));
        QCOMPARE(f.B_Play->statusTip(), QStringLiteral("Long text"));
    }
};

TORVANE_TEST(StartupTest)
#include "StartupTest.moc"
