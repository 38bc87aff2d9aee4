// Start-up, settings and shutdown of the main window.
#include "FormFixture.h"
#include "editor/Editor.h"
#include "anim/AnimController.h"
#include "app/FileBrowser.h"
#include "modelforms/ComponentTree.h"
#include "platform/FileUtil.h"
#include "platform/Ini.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <cerrno>

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    // Without a settings file the menu switches are on, the status names no files, and
    // nothing is written by starting.
    void noSettingsFile()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        for (QAction* a : {Act(f, "ShowAxes1"), Act(f, "ShowGrid1"), Act(f, "AutoScale1"), Act(f, "AutoSaveSettings1")})
            QVERIFY2(a->isChecked(), qPrintable(a->text()));
        QCOMPARE(StatusText(f, 1), QStringLiteral("Model: EMPTY"));
        QCOMPARE(StatusText(f, 2), QStringLiteral("Anim: EMPTY"));
        QVERIFY(!QFile::exists(fx.Path("TorvaneAnim.ini")));
        // Every status panel is wide enough for its text in this platform's font; in the
        // narrowest window the panels give up width rather than lie over each other.
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        for (int i = 1; i < 6; ++i) {
            const QLabel* panel = f.findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(i));
            QVERIFY2(panel->contentsRect().width() >= panel->fontMetrics().horizontalAdvance(panel->text()),
                     qPrintable(panel->text()));
        }
        f.resize(f.minimumSizeHint());
        QApplication::processEvents();
        for (int i = 1; i < 6; ++i) {
            const QLabel* left = f.findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(i - 1));
            const QLabel* panel = f.findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(i));
            QVERIFY2(panel->x() > left->geometry().right() && panel->geometry().right() < f.width(), qPrintable(panel->text()));
        }
    }

    // In a window of 1000x700 the left column scrolls rather than squeezing the component
    // tree to a few rows.
    void treeKeepsItsRowsInASmallWindow()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        f.resize(1000, 700);
        QApplication::processEvents();
        const QTreeView* tree = Tree(f);
        QVERIFY2(tree->viewport()->height() >= 9 * tree->fontMetrics().height(), qPrintable(QString::number(tree->height())));
        fx.CloseYes();
    }

    // Sizes saved while the window was maximised, applied to the normal one (or a window
    // shrunk later): every view keeps a usable size, and the wider one stays the wider.
    void savedSplitsFitTheWindow()
    {
        FormFixture fx;
        fx.Write("TorvaneAnim.ini", "[Layout]\nMaximized=0\nHSplitter=1700\nVSplitter1=1400\nVSplitter2=2\n");
        TMainForm& f = fx.Start();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        const auto check = [&f] {
            for (QWidget* w : {Ctl<QWidget>(f, "P_LeftViews"), Ctl<QWidget>(f, "P_RightViews")})
                QVERIFY2(w->width() >= TMainForm::MinViewSize,
                         qPrintable(QStringLiteral("%1: %2").arg(w->objectName()).arg(w->width())));
            for (QWidget* w : std::initializer_list<QWidget*>{Ctl<TChart>(f, "FrontView1"), Ctl<TChart>(f, "TopView1"),
                                                              Ctl<TChart>(f, "LeftView1"), Ctl<QWidget>(f, "P_3dArea")})
                QVERIFY2(w->height() >= TMainForm::MinViewSize,
                         qPrintable(QStringLiteral("%1: %2").arg(w->objectName()).arg(w->height())));
        };
        check();
        QVERIFY(Ctl<QWidget>(f, "P_LeftViews")->width() > Ctl<QWidget>(f, "P_RightViews")->width());
        QVERIFY(Ctl<TChart>(f, "FrontView1")->height() > Ctl<TChart>(f, "TopView1")->height());
        QVERIFY(Ctl<TChart>(f, "LeftView1")->height() < Ctl<QWidget>(f, "P_3dArea")->height());
        f.resize(800, 600);
        QApplication::processEvents();
        check();
        fx.CloseYes();
    }

    // Sizes saved in the maximised window are that window's: started maximised, the panes
    // share it as they did.
    void maximisedSplitsGoToTheMaximisedWindow()
    {
        FormFixture fx;
        fx.Write("TorvaneAnim.ini",
                 "[Layout]\nMaximized=1\nMainWidth=1200\nMainHeight=930\nHSplitter=250\nVSplitter1=170\nVSplitter2=300\n");
        TMainForm& f = fx.Start();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QTRY_VERIFY(f.isMaximized() && f.size() != QSize(1200, 930));
        QCOMPARE(Ctl<QWidget>(f, "P_LeftViews")->width(), 250);
        QCOMPARE(Ctl<TChart>(f, "FrontView1")->height(), 170);
        QCOMPARE(Ctl<TChart>(f, "LeftView1")->height(), 300);
        fx.CloseYes();
    }

    // The older program's file is read when there is no current one, and never written; the
    // values reach the controls and come back from them.
    void settingsValues_data() { QVERIFY(AddTableRows("app/settings-values.table")); }
    void settingsValues()
    {
        QFETCH(QByteArray, zelvix);
        QFETCH(QByteArray, current);
        QFETCH(bool, grid);
        QFETCH(bool, axes);
        QFETCH(QSize, size);
        QFETCH(QString, rtm);
        QFETCH(int, undo);
        QFETCH(int, mib);
        QFETCH(int, autosave);
        if (size.isEmpty())
            size = QSize(TMainForm::DesignedWidth, TMainForm::DesignedHeight);
        FormFixture fx;
        if (!zelvix.isEmpty())
            fx.Write("Zelvix.ini", zelvix);
        if (!current.isEmpty())
            fx.Write("TorvaneAnim.ini", current);
        TMainForm& f = fx.Start();
        QCOMPARE(Act(f, "ShowGrid1")->isChecked(), grid);
        QCOMPARE(Act(f, "ShowAxes1")->isChecked(), axes);
        QCOMPARE(f.size(), size);
        QCOMPARE(Browser(f)->RTMDir(), rtm);
        QCOMPARE(f.Editor().History().StepLimit(), undo);
        QCOMPARE(f.Editor().History().ByteLimit(), mib ? size_t(mib) << 20 : TCommandStack::DefaultByteLimit());
        Act(f, "SaveSettings1")->trigger();
        QCOMPARE(fx.Read("Zelvix.ini"), zelvix);
        const TIniFile written(fx.Path("TorvaneAnim.ini"));
        QCOMPARE(written.ReadBool("Startup", "ShowGrid", !grid), grid);
        QCOMPARE(written.ReadBool("Startup", "ShowAxes", !axes), axes);
        QCOMPARE(written.ReadString("Dir", "RTM", "?"), rtm);
        QCOMPARE(written.ReadInteger("Settings", "UndoSteps", 0), undo);
        QCOMPARE(written.ReadInteger("Settings", "UndoMegabytes", 0), mib);
        QCOMPARE(written.ReadInteger("Startup", "AutosaveSeconds", 0), autosave);
    }

    // Files named at start-up take the place of the last ones: an animation alone opens on
    // the last model, a model comes without the last animation. The last animation here is
    // gone, so loading it would say so; the other settings apply all the same.
    void startFiles_data() { QVERIFY(AddTableRows("app/start-files.table")); }
    void startFiles()
    {
        QFETCH(QStringList, named);
        QFETCH(QString, model);
        QFETCH(QString, anim);
        QFETCH(QStringList, messages);
        FormFixture fx;
        QVERIFY(Robot().WriteTo(fx.Path("robot.p3d")) && Robot().WriteTo(fx.Path("robot2.p3d")) &&
                Lamp().WriteTo(fx.Path("lamp.P3D")));
        fx.Write("walk.rtm", RtmBuild::Build(RtmBuild::TFile::Regular({"arm", "hand"}, 3)));
        fx.Write("TorvaneAnim.ini", QStringLiteral("[Startup]\nLastP3d=%1\nLastRTM=%2\nShowGrid=0\n")
                                        .arg(fx.Path("robot.p3d"), fx.Path("gone.rtm"))
                                        .toUtf8());
        fx.Form = std::make_unique<TMainForm>(TAppPaths::FromHome(fx.Home.path()));
        QStringList files;
        for (const QString& n : named)
            files << fx.Path(n);
        fx.Form->SetStartFiles(files);
        fx.Form->show();
        TMainForm& f = *fx.Form;
        QVERIFY(!Act(f, "ShowGrid1")->isChecked());
        // The loads wait for the window on the screen, where a long one shows its progress;
        // what they had to say opens over it.
        QCOMPARE(f.Editor().ModelFileName(), QString());
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QTRY_COMPARE(f.Editor().ModelFileName(), fx.Path(model));
        QCOMPARE(Doc(f).AnimFileName, anim.isEmpty() ? QString() : fx.Path(anim));
        messages.replaceInStrings("%1", fx.Home.path());
        QTRY_COMPARE(fx.Dialogs.Messages, messages);
        QCOMPARE(fx.Dialogs.Owners, QList<QWidget*>(messages.size(), &f));
        QCOMPARE(fx.Dialogs.OwnerShown, QList<bool>(messages.size(), true));
    }

    // An installed program starts without touching the user's folders and makes each one,
    // with its parents, when it first writes there.
    void userFoldersMadeOnFirstWrite()
    {
        FormFixture fx;
        TPathFacts facts;
        facts.ExeDir = QStringLiteral("/usr/bin");
        facts.UserHome = fx.Home.path();
        fx.Form = std::make_unique<TMainForm>(TAppPaths::Choose(facts));
        fx.Form->show();
        TMainForm& f = *fx.Form;
        QCOMPARE(Browser(f)->P3dDir(), fx.Home.path() + "/");
        QVERIFY(!QFileInfo::exists(fx.Path(".config")) && !QFileInfo::exists(fx.Path(".local")));

        fx.LoadRobot();
        QTest::mouseClick(Ctl<QPushButton>(f, "B_SaveLinking"), Qt::LeftButton);
        QVERIFY(QFileInfo(fx.Path(".local/share/torvane-anim/LinkData/robot.lpv")).size() > 0);

        Act(f, "SaveSettings1")->trigger();
        QCOMPARE(fx.Dialogs.Messages.last(), QStringLiteral("Settings saved."));
        QCOMPARE(TIniFile(fx.Path(".config/torvane-anim/TorvaneAnim.ini")).ReadString("Startup", "LastP3d", "?"),
                 fx.Path("robot.p3d"));
    }

    // A save that fails says why (a file the settings cannot be read from is not written
    // over: the settings file's tests).
    void unwritableSettingsFileIsReported()
    {
        FormFixture fx;
        QVERIFY(QDir(fx.Home.path()).mkdir("TorvaneAnim.ini"));  // a folder where the file should be
        // Said at start-up over the window, naming the file, and again when the settings are saved.
        TMainForm& f = fx.Start();
        const QString file = QDir(fx.Home.path()).filePath("TorvaneAnim.ini");
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QTRY_COMPARE(fx.Dialogs.Messages, QStringList{file + ": " + SystemErrorText(EISDIR)});
        Act(f, "SaveSettings1")->trigger();
        QCOMPARE(fx.Dialogs.Messages.size(), 2);
        QVERIFY2(fx.Dialogs.Messages[1].contains(SystemErrorText(EISDIR)), qPrintable(fx.Dialogs.Messages[1]));
    }

    // Another window (or a program) may write the settings file while this one runs: a save
    // writes over it only what this window changed since it read or saved the file (which
    // keys those are is the settings' tests).
    void savingKeepsWhatOthersWrote()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.Write("TorvaneAnim.ini", "[Startup]\nShowAxes=1\nShowGrid=0\n");
        Act(f, "ShowAxes1")->trigger();  // this window's change
        Act(f, "SaveSettings1")->trigger();
        QCOMPARE(fx.Dialogs.Messages, QStringList{"Settings saved."});
        QCOMPARE(TIniFile(fx.Path("TorvaneAnim.ini")).ReadString("Startup", "ShowGrid", "?"), QString("0"));  // the other's
        // What was saved is this window's again: the other's later change stays.
        fx.Write("TorvaneAnim.ini", fx.Read("TorvaneAnim.ini").replace("ShowAxes=0", "ShowAxes=1"));
        Act(f, "ShowGrid1")->trigger();
        Act(f, "SaveSettings1")->trigger();
        const TIniFile saved(fx.Path("TorvaneAnim.ini"));
        QCOMPARE(saved.ReadString("Startup", "ShowAxes", "?") + saved.ReadString("Startup", "ShowGrid", "?"), QString("10"));
    }

    // The window's children are deleted after the window has stopped being one: by then
    // none of their signals may reach it (the tree model's rows going used to).
    void childrenNoLongerReachTheWindowWhenDeleted()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        QAbstractItemModel* treeModel = Tree(f)->model();
        const QObject* window = &f;
        int connected = -1;
        QObject::connect(Tree(f), &QObject::destroyed,
                         [&] { connected = QObject::disconnect(treeModel, nullptr, window, nullptr) ? 1 : 0; });
        fx.Form.reset();
        QCOMPARE(connected, 0);
    }

    void exitQuestion_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("autoSave");
        QTest::newRow("no") << false << true;
        QTest::newRow("yes, no auto save") << true << false;
    }
    void exitQuestion()
    {
        QFETCH(bool, answer);
        QFETCH(bool, autoSave);
        FormFixture fx;
        TMainForm& f = fx.Start();
        Act(f, "AutoSaveSettings1")->setChecked(autoSave);
        fx.Dialogs.Answers.enqueue(answer);
        f.close();
        QCOMPARE(fx.Dialogs.Questions, QStringList{"Are you sure to exit?"});
        QCOMPARE(fx.Dialogs.QuestionCaptions, QStringList{"Info"});
        QCOMPARE(f.isVisible(), !answer);
        QCOMPARE(f.Editor().Anim().ShuttingDown(), answer);
        QCOMPARE(QFile::exists(fx.Path("TorvaneAnim.ini")), answer && autoSave);
    }

    // The browser's menu entry is unchecked when the browser is closed, so that the next
    // use of the entry opens it again.
    void browserMenuFollowsTheBrowser()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        Act(f, "FileBrowser1")->trigger();
        Browser(f)->close();
        QVERIFY(!Act(f, "FileBrowser1")->isChecked());
    }
};

TORVANE_TEST(StartupTest)
#include "StartupTest.moc"
