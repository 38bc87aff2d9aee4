// Work kept through a crash, in the window: recovery copies written while there are unsaved
// changes, the start's question about the copies of editors that are gone, and a normal
// exit or a save taking the copy away. The copies' folder and timing are the recovery and
// autosave units' tests.
#include "FormFixture.h"
#include "anim/AnimController.h"
#include "anim/Recovery.h"
#include "app/WorkKeeper.h"
#include "support/TestMain.h"
#include "widgets/Controls.h"

#include <QAction>
#include <QCloseEvent>
#include <QDirIterator>
#include <QGuiApplication>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QWindow>
#include <csignal>

namespace {
TWorkKeeper& Keeper(const TMainForm& f) { return *Ctl<TWorkKeeper>(f, "WorkKeeper"); }

// What the desktop tells the application when the user turns to another one.
void LoseFocus() { emit qApp->applicationStateChanged(Qt::ApplicationInactive); }

QString RecoveryRoot(const FormFixture& fx) { return TAppPaths::FromHome(fx.Home.path()).RecoveryDir; }

// The copies under the recovery folder (their manifests), whoever wrote them.
int CopiesOnDisk(const QString& root)
{
    int n = 0;
    for (QDirIterator it(root, {QStringLiteral("manifest.json")}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();
         it.next())
        ++n;
    return n;
}

// A copy an editor that is gone left: written by a store that is dropped without RemoveOwn.
void LeaveCopy(const QString& root, const QByteArray& rtm, const QString& document, const QString& model,
               const TRecoveryModelEdits& edits = {})
{
    TRtmData data = ReadRtm(rtm);
    TAnimDocument doc;
    doc.AnimSelections = std::move(data.Names);
    doc.AnimFrames.swap(data.Frames);
    doc.TotalMove = data.TotalMove;
    doc.AnimStepCount = doc.FrameCount();
    TRecoveryStore store(root);
    QString error;
    QVERIFY2(store.Write(doc, edits, {document, model, 1, {}, 0, {}}, &error), qPrintable(error));
}

// The robot and its walk on disk, as the child and the start after it use them.
void WriteWalk(const FormFixture& fx)
{
    Robot().WriteTo(fx.Path("robot.p3d"));
    Lamp().WriteTo(fx.Path("lamp.p3d"));
    fx.Write("LinkData/robot.lpv", RobotLinks());
    fx.Write("walk.rtm", RtmBuild::Build(RtmBuild::TFile::Regular({"arm", "hand"}, 4)));
}

const char* const ChildHome = "TORVANE_KEEPWORK_CHILD";
}  // namespace

class KeepWorkFormTest : public QObject {
    Q_OBJECT
private slots:
    // An editor killed (SIGKILL) after an edit: the next start asks over its window, and
    // Recover gives back the animation byte for byte as an unsaved document of the same
    // file, on the model it was made on, with the model's unsaved name and colour, as one
    // step; a save asks before it writes over the file changed since the killed editor
    // read it; saving them all writes their files and the copies go.
    void killedEditorsWorkIsRecovered()
    {
        FormFixture fx;
        WriteWalk(fx);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(ChildHome, fx.Home.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {"-class", "KeepWorkFormTest", "childEditsUntilKilled"});
        QByteArray out;
        while (!out.contains("edited\n") && child.waitForReadyRead(30000))
            out += child.readAllStandardOutput();
        QVERIFY2(out.contains("edited\n"), out.constData());
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        const QByteArray edited = fx.Read("expected.rtm");
        QVERIFY(!edited.isEmpty());
        QVERIFY(edited != fx.Read("walk.rtm"));
        QCOMPARE(CopiesOnDisk(RecoveryRoot(fx)), 1);

        fx.Dialogs.RecoverAnswers.enqueue(TRecoverAnswer::Recover);
        TMainForm& f = fx.Start();
        QTRY_COMPARE(fx.Dialogs.RecoverQuestions.size(), 1);
        static const QRegularExpression question(R"(^Recover unsaved work from \d{4}-\d\d-\d\d \d\d:\d\d\?$)");
        QVERIFY2(question.match(fx.Dialogs.RecoverQuestions[0]).hasMatch(), qPrintable(fx.Dialogs.RecoverQuestions[0]));
        QVERIFY(fx.Dialogs.RecoverDetails[0].contains(fx.Path("walk.rtm")));
        QVERIFY(fx.Dialogs.RecoverDetails[0].endsWith("\nUnsaved model edits: names, colours"));
        QCOMPARE(fx.Dialogs.Owners.last(), static_cast<QWidget*>(&f));
        QCOMPARE(f.Editor().ModelFileName(), fx.Path("robot.p3d"));
        QCOMPARE(Saved(f), edited);
        QCOMPARE(std::pair(fx.Sel("leg")->DisplayName, fx.Sel("leg")->Color), std::pair(QStringLiteral("Left Leg"), 0x123456u));
        QCOMPARE(f.Editor().ModelUnsaved(), unsigned(FileNames | FileColors));
        QCOMPARE(Doc(f).AnimFileName, fx.Path("walk.rtm"));
        QVERIFY(f.isWindowModified());
        QCOMPARE(StatusText(f, 2), QStringLiteral("Anim: walk.rtm"));
        QCOMPARE(Act(f, "Undo1")->text(), QStringLiteral("&Undo Recover"));
        QCOMPARE(Ctl<TNumberEdit>(f, "E_AnimTime")->value(), 5 * 0.3);  // as a load of it would set it
        QCOMPARE(fx.Dialogs.Messages, QStringList{});

        // The file as the killed editor read it: changed since, a save over it asks.
        QFile walk(fx.Path("walk.rtm"));
        QVERIFY(walk.open(QIODevice::Append) && walk.write("x") == 1);
        walk.close();
        fx.Dialogs.Answers << true;
        fx.Dialogs.Files << fx.Path("walk.rtm") << fx.Path("n.tsl") << fx.Path("c.clr");
        Act(f, "SaveAnimAs1")->trigger();
        QCOMPARE(fx.Dialogs.Questions, QStringList{"walk.rtm has changed on disk since it was opened here. Save over it?"});
        QCOMPARE(fx.Read("walk.rtm"), edited);
        Keeper(f).WaitIdle();
        QCOMPARE(CopiesOnDisk(RecoveryRoot(fx)), 1);  // the model's edits are not saved yet
        Act(f, "SaveNames1")->trigger();
        Act(f, "SaveColors1")->trigger();
        QVERIFY(!f.isWindowModified());
        Keeper(f).WaitIdle();
        QCOMPARE(CopiesOnDisk(RecoveryRoot(fx)), 0);
    }

    // The editor killed by the test above: the robot's walk with a frame inserted and the
    // leg renamed and recoloured, its copy written when the application lost focus, the
    // animation as it is in expected.rtm.
    void childEditsUntilKilled()
    {
        const QString home = qEnvironmentVariable(ChildHome);
        if (home.isEmpty())
            QSKIP("the editor that killedEditorsWorkIsRecovered kills");
        ScriptedDialogs dialogs;
        TMainForm f(TAppPaths::FromHome(home));
        f.SetStartFiles({home + "/robot.p3d", home + "/walk.rtm"});
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QTRY_COMPARE(Doc(f).FrameCount(), 4);
        QTest::mousePress(Ctl<QPushButton>(f, "B_Append"), Qt::LeftButton);
        QCOMPARE(Doc(f).FrameCount(), 5);
        Tree(f)->SetCurrentNode(Node(f, "leg"));
        dialogs.Inputs.enqueue("Left Leg");
        Act(f, "AssignNewName1")->trigger();
        dialogs.Colors.enqueue(0x123456);
        Act(f, "ChangeColor1")->trigger();
        LoseFocus();
        Keeper(f).WaitIdle();
        QCOMPARE(Keeper(f).CopiesWritten(), 1);
        QFile expected(home + "/expected.rtm");
        QVERIFY(expected.open(QIODevice::WriteOnly) && expected.write(Saved(f)) > 0);
        expected.close();
        fputs("edited\n", stdout);
        fflush(stdout);
        QTest::qWait(60000);
        QFAIL("not killed");
    }

    // Discard deletes the copy; Later keeps it for the next start; a closed question is
    // Later. Either way the document stays as the start made it.
    void answersToTheQuestion_data()
    {
        QTest::addColumn<TRecoverAnswer>("answer");
        QTest::addColumn<int>("copiesAfter");
        QTest::newRow("Discard") << TRecoverAnswer::Discard << 0;
        QTest::newRow("Later") << TRecoverAnswer::Later << 1;
    }
    void answersToTheQuestion()
    {
        QFETCH(TRecoverAnswer, answer);
        QFETCH(int, copiesAfter);
        FormFixture fx;
        WriteWalk(fx);
        LeaveCopy(RecoveryRoot(fx), fx.Read("walk.rtm"), {}, fx.Path("robot.p3d"));
        fx.Dialogs.RecoverAnswers.enqueue(answer);
        TMainForm& f = fx.Start();
        QTRY_COMPARE(fx.Dialogs.RecoverQuestions.size(), 1);
        QVERIFY(fx.Dialogs.RecoverDetails[0].startsWith("A new animation, never saved"));
        QVERIFY(Doc(f).AnimFrames.empty());
        QVERIFY(!f.isWindowModified());
        QCOMPARE(CopiesOnDisk(RecoveryRoot(fx)), copiesAfter);
        // What waits is offered to the next start, not taken by this one's exit.
        fx.CloseYes();
        TRecoveryStore next(RecoveryRoot(fx));
        QCOMPARE(int(next.Offers().size()), copiesAfter);
    }

    // A recovered never-saved animation is unsaved without a file, and the window says so;
    // its undo gives back the document the start had loaded (what the step restores is the
    // editor's tests). The model's edits go only onto the model they were made on: without
    // it they stay in the copy, which is offered again, and the user is told.
    void recoveredNewAnimationUndoes_data()
    {
        QTest::addColumn<QString>("model");
        QTest::newRow("its model") << "robot.p3d";
        QTest::newRow("its model missing") << "gone.p3d";
    }
    void recoveredNewAnimationUndoes()
    {
        QFETCH(QString, model);
        const bool missing = model == "gone.p3d";
        FormFixture fx;
        WriteWalk(fx);
        RtmBuild::TFile other = RtmBuild::TFile::Regular({"leg"}, 2);
        LeaveCopy(RecoveryRoot(fx), RtmBuild::Build(other), {}, fx.Path(model), {{}, "[Translation]\nleg=A leg\n", {}});
        fx.Dialogs.RecoverAnswers.enqueue(TRecoverAnswer::Recover);
        fx.Form = std::make_unique<TMainForm>(TAppPaths::FromHome(fx.Home.path()));
        TMainForm& f = *fx.Form;
        f.SetStartFiles({fx.Path("robot.p3d"), fx.Path("walk.rtm")});
        f.show();
        QTRY_COMPARE(fx.Dialogs.RecoverQuestions.size(), 1);
        QCOMPARE(Saved(f), RtmBuild::Build(other));
        QCOMPARE(Doc(f).ActAnimStep, 1);  // the frame the copy was made on
        QCOMPARE(Doc(f).AnimFileName, QString());
        QCOMPARE(StatusText(f, 2), QStringLiteral("Anim: <NOT SAVED>"));
        QVERIFY(f.isWindowModified());
        QCOMPARE(fx.Sel("leg")->DisplayName, missing ? "leg" : "A leg");
        QCOMPARE(f.Editor().ModelUnsaved(), missing ? 0u : unsigned(FileNames));
        QCOMPARE(fx.Dialogs.Messages, missing
                                          ? QStringList{"The model " + fx.Path(model) +
                                                        " is missing: its unsaved linking, names and colours are not recovered. "
                                                        "The copy is kept for a later start."}
                                          : QStringList{});
        QCOMPARE(TRecoveryStore(RecoveryRoot(fx)).Offers().size(), size_t(missing ? 1 : 0));
        Act(f, "Undo1")->trigger();
        QCOMPARE(Saved(f), fx.Read("walk.rtm"));
        QCOMPARE(StatusText(f, 2), QStringLiteral("Anim: walk.rtm"));
        QVERIFY(!f.isWindowModified());
    }

    // Copies follow the editor's history: a change makes one due the settings'
    // AutosaveSeconds later, and losing focus writes it at once; undoing back to the file,
    // a save, and a normal exit after unsaved work was discarded, remove it. When copies are
    // due is the autosave unit's tests.
    void copiesFollowTheWork()
    {
        FormFixture fx;
        fx.Write("TorvaneAnim.ini", "[Startup]\nAutosaveSeconds=5\n");
        TMainForm& f = fx.StartWalk();
        TWorkKeeper& keeper = Keeper(f);
        const QString root = RecoveryRoot(fx);
        LoseFocus();  // nothing unsaved: nothing to copy
        keeper.WaitIdle();
        QCOMPARE(CopiesOnDisk(root), 0);
        QCOMPARE(keeper.MsUntilCopy(), qint64(-1));

        QTest::mousePress(Ctl<QPushButton>(f, "B_Append"), Qt::LeftButton);
        QVERIFY(f.isWindowModified());
        QVERIFY(keeper.MsUntilCopy() > 0 && keeper.MsUntilCopy() <= 5000);
        LoseFocus();
        keeper.WaitIdle();
        QCOMPARE(CopiesOnDisk(root), 1);

        // Undone back to the file: the copy has nothing to keep.
        Act(f, "Undo1")->trigger();
        keeper.WaitIdle();
        QCOMPARE(CopiesOnDisk(root), 0);
        Act(f, "Redo1")->trigger();
        LoseFocus();
        keeper.WaitIdle();
        QCOMPARE(CopiesOnDisk(root), 1);

        fx.Dialogs.Files.enqueue(fx.Path("walk2.rtm"));
        Act(f, "SaveAnimAs1")->trigger();
        keeper.WaitIdle();
        QCOMPARE(CopiesOnDisk(root), 0);
        QCOMPARE(keeper.MsUntilCopy(), qint64(-1));

        QTest::mousePress(Ctl<QPushButton>(f, "B_Append"), Qt::LeftButton);
        LoseFocus();
        keeper.WaitIdle();
        QCOMPARE(CopiesOnDisk(root), 1);
        fx.Dialogs.SaveAnswers.enqueue(TSaveAnswer::Discard);
        QVERIFY(f.close());
        QCOMPARE(CopiesOnDisk(root), 0);
    }

    // The close button pressed again while the exit's save question is open waits for the
    // answer: Qt took it for the first close accepted and ended the program unsaved.
    void secondCloseWaitsForTheAnswer()
    {
        FormFixture fx;
        TMainForm& f = fx.StartWalk();
        QTest::mousePress(Ctl<QPushButton>(f, "B_Append"), Qt::LeftButton);
        bool secondAccepted = true;
        fx.Dialogs.WhileAsking = [&] {
            QCloseEvent e;
            QCoreApplication::sendEvent(f.windowHandle(), &e);
            secondAccepted = e.isAccepted();
        };
        QVERIFY(!f.close());  // Cancel
        QVERIFY(!secondAccepted);
        QVERIFY(f.windowHandle() && f.windowHandle()->handle() && f.isVisible());
        QVERIFY(f.isWindowModified());
        fx.Dialogs.WhileAsking = nullptr;
        fx.Dialogs.SaveAnswers.enqueue(TSaveAnswer::Discard);
    }

    // A copy that cannot be written is said in the status bar, once, until one is written.
    void failedCopyIsSaid()
    {
        FormFixture fx;
        fx.Write("Recovery", "a file where the folder would be");
        TMainForm& f = fx.StartWalk();
        QTest::mousePress(Ctl<QPushButton>(f, "B_Append"), Qt::LeftButton);
        LoseFocus();
        Keeper(f).WaitIdle();
        QCOMPARE(Keeper(f).CopiesWritten(), 0);
        LoseFocus();  // the next look at the writer tells it
        QVERIFY2(StatusNote(f).startsWith("Unsaved work is not kept: "), qPrintable(StatusNote(f)));
        QVERIFY(StatusNote(f).contains(fx.Path("Recovery")));
        QCOMPARE(fx.Dialogs.Messages, QStringList{});
    }
};

TORVANE_TEST(KeepWorkFormTest)
#include "KeepWorkFormTest.moc"
