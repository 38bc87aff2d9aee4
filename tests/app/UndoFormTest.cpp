// Undo, redo and unsaved changes in the window, with real keys on the grid, the frame
// timer's chart and the edit panel. What undo restores is the history's tests.
#include "FormFixture.h"
#include "anim/AnimController.h"
#include "modelforms/ComponentTree.h"
#include "modelforms/ComponentSelection.h"
#include "widgets/Controls.h"
#include "support/TestMain.h"
#include "app/FrameTimer.h"
#include "widgets/Chart.h"

#include <QAction>
#include <QFile>
#include <QLCDNumber>
#include <QPushButton>
#include <QTest>

using RtmBuild::TFile;

class UndoFormTest : public QObject {
    Q_OBJECT
private slots:
    // Ctrl+Z and Ctrl+Y after a frame button, and Ctrl+Z in the frame timer after a
    // Ctrl-drag there; the menu names the step and the title marks the change until it is
    // undone.
    void keysUndoEachKindOfChange()
    {
        FormFixture fx;
        TMainForm& f = fx.StartWalk();
        const QByteArray loaded = Saved(f);
        QVERIFY(!f.isWindowModified());
        QVERIFY(!Act(f, "Undo1")->isEnabled());

        QTest::mousePress(Ctl<QPushButton>(f, "B_Append"), Qt::LeftButton);
        QVERIFY(f.isWindowModified());
        QCOMPARE(Act(f, "Undo1")->text(), QStringLiteral("&Undo Insert after"));
        QTest::keyClick(&f, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Saved(f), loaded);
        QVERIFY(!f.isWindowModified());
        QCOMPARE(Act(f, "Redo1")->text(), QStringLiteral("&Redo Insert after"));
        QTest::keyClick(&f, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(Doc(f).FrameCount(), 5);
        QTest::keyClick(&f, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(&f, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);  // redoes too
        QCOMPARE(Doc(f).FrameCount(), 5);
        QTest::keyClick(&f, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Saved(f), loaded);

        // A Ctrl-drag of frame 1's mark in the frame timer, undone there.
        Act(f, "FrameTimer1")->trigger();
        TF_FrameManipulator* t = FrameTimer(f);
        QVERIFY(QTest::qWaitForWindowExposed(t));
        QApplication::setActiveWindow(t);
        TChart& chart = *Ctl<TChart>(*t, "RChart");
        const QPoint mark = chart.ChartToPixel(1, Doc(f).AnimFrames[1].Time).toPoint();
        QTest::mouseClick(&chart, Qt::LeftButton, {}, mark);
        QTest::mousePress(&chart, Qt::LeftButton, Qt::ControlModifier, mark);
        QMouseEvent move(QEvent::MouseMove, mark - QPoint(0, 20), chart.mapToGlobal(mark - QPoint(0, 20)), Qt::NoButton,
                         Qt::LeftButton, Qt::ControlModifier);
        QCoreApplication::sendEvent(&chart, &move);
        QVERIFY(!f.Editor().UndoOffered());  // not in the middle of a drag
        QTest::mouseRelease(&chart, Qt::LeftButton, Qt::ControlModifier, mark - QPoint(0, 20));
        QVERIFY(Doc(f).AnimFrames[1].Time > 1 / 3.0f);
        QCOMPARE(Act(f, "Undo1")->text(), QStringLiteral("&Undo Drag Frames"));
        QTest::keyClick(t, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Saved(f), loaded);
        QCOMPARE(t->StatusText(1), QStringLiteral("Selected Frames: 1 - 1"));
    }

    // Undo is not offered while playing or editing.
    void notOfferedWhileBusy()
    {
        FormFixture fx;
        TMainForm& f = fx.StartWalk();
        QTest::mousePress(Ctl<QPushButton>(f, "B_Append"), Qt::LeftButton);
        QVERIFY(Act(f, "Undo1")->isEnabled());
        Ctl<QPushButton>(f, "B_Play")->click();
        QVERIFY(!Act(f, "Undo1")->isEnabled());
        QTest::keyClick(&f, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Doc(f).FrameCount(), 5);
        Ctl<QPushButton>(f, "B_Play")->click();
        QVERIFY(Act(f, "Undo1")->isEnabled());
        QTest::mouseClick(Ctl<QPushButton>(f, "B_Editing"), Qt::LeftButton);
        QVERIFY(!Act(f, "Undo1")->isEnabled());
    }

    // Exit and unload ask "Save changes to NAME?" when there is unsaved work: Cancel
    // changes nothing, Save writes the file first (the loads' question, and Discard, are
    // the open-files tests').
    void saveQuestion()
    {
        FormFixture fx;
        TMainForm& f = fx.StartWalk();
        QTest::mousePress(Ctl<QPushButton>(f, "B_Append"), Qt::LeftButton);
        const QByteArray edited = Saved(f);
        f.close();
        QCOMPARE(fx.Dialogs.SaveQuestions, QStringList{"Save changes to walk.rtm?"});
        QVERIFY(fx.Dialogs.Questions.isEmpty());  // in place of "Are you sure to exit?"
        QVERIFY(f.isVisible());
        QCOMPARE(Saved(f), edited);
        fx.Dialogs.SaveAnswers << TSaveAnswer::Cancel;
        QTest::mousePress(Ctl<QPushButton>(f, "B_UnloadAnim"), Qt::LeftButton);
        QCOMPARE(Doc(f).FrameCount(), 5);
        fx.Dialogs.SaveAnswers << TSaveAnswer::Save;
        f.close();
        QVERIFY(!f.isVisible());
        QCOMPARE(fx.Read("walk.rtm"), edited);
    }

    // The model's edits are steps too (what they undo is the model history's tests), and
    // the model's unsaved linking gets the save question before another model replaces it.
    void modelEditsAreSteps()
    {
        FormFixture fx;
        TMainForm& f = fx.StartWalk();
        const auto parentOf = [&f](const char* name) {
            const int p = f.Editor().Forest().Parent(Node(f, name));
            return p < 0 ? QString() : f.Editor().Forest().Component(p)->Name;
        };
        Tree(f)->SetCurrentNode(Node(f, "hand"));
        Act(f, "Moveonelevelup1")->trigger();
        QCOMPARE(parentOf("hand"), QStringLiteral("body"));
        QCOMPARE(Act(f, "Undo1")->text(), QStringLiteral("&Undo Move one level up"));
        QVERIFY(f.isWindowModified());
        QVERIFY(!f.Editor().AnimationUnsaved());  // the animation itself is as loaded
        QTest::keyClick(&f, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(parentOf("hand"), QStringLiteral("arm"));
        QVERIFY(!f.isWindowModified());  // undone back to what the files hold
        QTest::keyClick(&f, Qt::Key_Y, Qt::ControlModifier);
        Tree(f)->SetCurrentNode(Node(f, "arm"));
        fx.Dialogs.Colors << 0x00123456u;
        Act(f, "ChangeColor1")->trigger();
        QCOMPARE(Act(f, "Undo1")->text(), QStringLiteral("&Undo Change Color"));
        // Another model: asked first; Save writes the linking file, then asks for the
        // colour file as "Save Colors" does.
        fx.Dialogs.SaveAnswers << TSaveAnswer::Save;
        fx.Dialogs.Files << fx.Path("colors.clr");
        fx.Dialogs.Messages.clear();
        f.LoadModel(fx.Path("robot.p3d"));
        QCOMPARE(fx.Dialogs.SaveQuestions, QStringList{"Save changes to robot.p3d?"});
        QCOMPARE(fx.Dialogs.Messages.value(0), QStringLiteral("Linking and Pivot Info saved!"));
        QVERIFY(QFile::exists(fx.Path("colors.clr")));
        QCOMPARE(parentOf("hand"), QStringLiteral("body"));  // the saved linking, read back
        QVERIFY(!Act(f, "Undo1")->isEnabled());  // a new model, a new history
        QVERIFY(!f.isWindowModified());
    }

    // "Accept" in the selection window after an animation was loaded while it was open asks
    // before replacing it; No keeps every frame.
    void acceptAfterALoadAsksFirst()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.LoadRobot(true);
        QTest::mousePress(Ctl<QPushButton>(f, "B_NewAnim"), Qt::LeftButton);
        QVERIFY(Ctl<QWidget>(f, "F_SelectComponents")->isVisible());
        fx.LoadAnim("walk.rtm", TFile::Regular({"arm", "hand"}, 13));
        fx.Select("body");
        fx.Dialogs.Answers << false;
        QTest::mousePress(AcceptButton(f), Qt::LeftButton);
        QCOMPARE(fx.Dialogs.Questions.size(), 1);
        QCOMPARE(Doc(f).FrameCount(), 13);
        QCOMPARE(Ctl<QLCDNumber>(f, "D_Steps")->intValue(), 13);
        QTest::mousePress(Ctl<QPushButton>(f, "B_NewAnim"), Qt::LeftButton);  // asked again, Yes: a new animation
        fx.Select("body");
        fx.Dialogs.Answers << true;
        QTest::mousePress(AcceptButton(f), Qt::LeftButton);
        QCOMPARE(Doc(f).FrameCount(), 1);
        QVERIFY(Doc(f).AnimSelections.IndexOf("body") >= 0);
    }

    // Ctrl+click that deselects the last component repaints the views (the 3D view marks
    // what is selected).
    void deselectingRepaints()
    {
        FormFixture fx;
        TMainForm& f = fx.StartWalk();
        TComponentTree* tree = Tree(f);
        const QPoint at = tree->NodeRect(Node(f, "arm")).center();
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
        QTRY_VERIFY(!tree->SelectedNodes().empty());
        const int refreshes = Refreshed(f);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::ControlModifier, at);
        QVERIFY(tree->SelectedNodes().empty());
        QTRY_VERIFY(Refreshed(f) > refreshes);
    }
};

TORVANE_TEST(UndoFormTest)
#include "UndoFormTest.moc"
