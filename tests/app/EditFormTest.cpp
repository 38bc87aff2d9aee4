// Edit mode and the orthographic views, driven through the main window. The edit and view
// geometry itself is the pose tests'.
#include "FormFixture.h"
#include "anim/Rtm.h"
#include "app/Filebrowser.h"
#include "editor/Editor.h"
#include "modelforms/ComponentTree.h"
#include "support/TestMain.h"
#include "view3d/Framemanipulator.h"
#include "widgets/Chart.h"
#include "widgets/Controls.h"

#include <QAction>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <cmath>

namespace {
// In the robot of FormFixture::StartWalk the arm's pivot is (1, 1.25, 0.1) and the hand's,
// below it, (2, 1.25, 0.25).
void Select(TMainForm& f, const char* name) { f.TV_EditComponents->SetCurrentNode(f.FindNodeByName(name)); }

bool Near(const TVec3& a, const TVec3& b) { return std::abs(a.x - b.x) < 1e-6 && std::abs(a.y - b.y) < 1e-6 && std::abs(a.z - b.z) < 1e-6; }
TVec3 Pivot(const TSelection* s) { return {s->Pivot[0], s->Pivot[1], s->Pivot[2]}; }

QByteArray Saved(const TMainForm& f)
{
    QByteArray bytes;
    WriteRtm(f.Doc, bytes);
    return bytes;
}

// One tick of the edit with the Z slider held at its end.
void TurnZ(TMainForm& f)
{
    QTest::keyPress(Ctl<QSlider>(f, "Chg_Z"), Qt::Key_End);
    f.EditTimerTimer();
    QTest::keyRelease(Ctl<QSlider>(f, "Chg_Z"), Qt::Key_End);
}
}  // namespace

class EditFormTest : public QObject {
    Q_OBJECT
private slots:
    // What the editor refuses or misses reaches the user as messages.
    void messagesShown()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        QTest::mouseClick(Ctl<QPushButton>(f, "B_Editing"), Qt::LeftButton);
        QTest::mouseClick(Ctl<QPushButton>(f, "B_ResetMatrix"), Qt::LeftButton);
        QCOMPARE(fx.Dialogs.Messages, (QStringList{"Nothing to edit!", "No Anim Steps!"}));
        QVERIFY(!f.EditMode());
        fx.LoadRobot();
        RtmBuild::TFile gap = RtmBuild::TFile::Regular({"arm", "hand"}, 2);
        gap.Frames[0].Records[1].Name = "arm";  // no entry for the hand
        fx.LoadAnim("gap.rtm", gap);
        fx.Dialogs.Messages.clear();
        QTest::mouseClick(Ctl<QPushButton>(f, "B_Editing"), Qt::LeftButton);
        QTest::mouseClick(Ctl<QPushButton>(f, "B_ResetEdit"), Qt::LeftButton);
        QCOMPARE(fx.Dialogs.Messages.count("[ResetRelChanges] AnimEntry not found!"), 2);
        QTest::mouseClick(Ctl<QPushButton>(f, "B_CancelEdit"), Qt::LeftButton);
        fx.LoadAnim("ghost.rtm", RtmBuild::TFile::Regular({"arm", "ghost"}, 3));
        fx.Dialogs.Messages.clear();
        QTest::mouseClick(Ctl<QPushButton>(f, "B_Editing"), Qt::LeftButton);
        QTest::mouseClick(Ctl<QPushButton>(f, "B_ApplyEdit"), Qt::LeftButton);
        QCOMPARE(fx.Dialogs.Messages, QStringList{"[ApplyEdit] Selection not found!"});
        QVERIFY(f.EditMode() && f.P_EditAnim->isVisible());
    }

    // Edit mode takes the timing panels, the file browser and the frame timer away; Cancel
    // ends it and its ticks.
    void enteringAndLeavingSwitchesPanels()
    {
        FormFixture fx;
        TMainForm& f = fx.StartWalk(2, true);
        QTest::mouseClick(Ctl<QPushButton>(f, "B_Editing"), Qt::LeftButton);
        QVERIFY(f.EditMode() && f.EditTimer()->isActive());
        QVERIFY(f.P_EditAnim->isVisible() && !f.P_Timing->isVisible() && !f.P_AnimControl->isVisible());
        QVERIFY(!F_FileBrowser->P_Files->isEnabled());
        QVERIFY(!F_FrameManipulator->RChart->isEnabled() && !F_FrameManipulator->SelectAll1->isEnabled());
        QVERIFY(!f.Menus.AssignNewName1->isEnabled());
        QTest::mouseClick(Ctl<QPushButton>(f, "B_CancelEdit"), Qt::LeftButton);
        QVERIFY(!f.EditMode() && !f.EditTimer()->isActive());
    }

    // The switches and the sliders reach the edit: a key held on a slider turns the arm
    // (here about the model origin, the hand with it); a press on a slider's track moves it
    // for as long as it is held, and after the release no tick moves it further, so Apply
    // writes exactly what was seen.
    void controlsReachTheEdit()
    {
        FormFixture fx;
        TMainForm& f = fx.StartWalk(2, true);
        Select(f, "arm");
        QTest::mousePress(Ctl<QPushButton>(f, "B_Editing"), Qt::LeftButton);  // acts on the press
        QVERIFY(f.EditMode() && QTest::qWaitForWindowExposed(&f));
        QVERIFY(Ctl<QPushButton>(f, "B_EditOperation")->isChecked() && Ctl<QPushButton>(f, "B_RotType")->isChecked());
        QTest::mouseClick(Ctl<QPushButton>(f, "B_RotType"), Qt::LeftButton);
        QTest::keyPress(Ctl<QSlider>(f, "Chg_Z"), Qt::Key_End);
        f.EditTimerTimer();
        QTest::keyRelease(Ctl<QSlider>(f, "Chg_Z"), Qt::Key_End);
        const double c = std::cos(0.1), s = std::sin(0.1);
        QVERIFY(Near(f.Editor->ComponentPoses().Act(fx.Sel("hand")).Apply({2, 1.25, 0.25}),
                     {2 * c - 1.25 * s, 2 * s + 1.25 * c, 0.25}));
        QTest::mouseClick(Ctl<QPushButton>(f, "B_EditOperation"), Qt::LeftButton);  // move, not rotate
        const QPoint track(Ctl<QSlider>(f, "Chg_Y")->width() - 5, Ctl<QSlider>(f, "Chg_Y")->height() / 2);
        QTest::mousePress(Ctl<QSlider>(f, "Chg_Y"), Qt::LeftButton, {}, track);
        f.EditTimerTimer();
        const double moved = f.Editor->ComponentPoses().Find(fx.Sel("arm"))->EditMove[1];
        QVERIFY(moved > 0);
        QTest::mouseRelease(Ctl<QSlider>(f, "Chg_Y"), Qt::LeftButton, {}, track);
        QCOMPARE(Ctl<QSlider>(f, "Chg_Y")->value(), 0);
        f.EditTimerTimer();
        QCOMPARE(f.Editor->ComponentPoses().Find(fx.Sel("arm"))->EditMove[1], moved);
        QTest::mousePress(Ctl<QPushButton>(f, "B_ApplyEdit"), Qt::LeftButton);
        QCOMPARE(f.Doc.AnimFrames[0].Entries[0].Matrix[10], float(moved));
    }

    // Pivot mode places pivots with Shift and a press or a move in a view; the other
    // buttons zoom and pan. What the mode shows is the editor's tests.
    void viewsPlacePivots()
    {
        FormFixture fx;
        TMainForm& f = fx.StartWalk(2, true);
        Ctl<TLedButton>(f, "B_ChangePivot")->setChecked(true);
        Select(f, "hand");
        f.FrontView1MouseDown(f.Panes.TopView1, 2, 3, Qt::LeftButton, Qt::ShiftModifier);
        QVERIFY(Near(Pivot(fx.Sel("hand")), {2, 1.25, 3}));
        f.FrontView1MouseMove(f.Panes.LeftView1, 5, 6, Qt::LeftButton, Qt::ShiftModifier);
        QVERIFY(Near(Pivot(fx.Sel("hand")), {2, 6, 5}));
        QCOMPARE(f.Panes.LeftView1->MouseAction(), TChart::TMouseAction::None);
        f.FrontView1MouseMove(f.Panes.LeftView1, 0, 0, Qt::LeftButton, Qt::ControlModifier);
        QCOMPARE(f.Panes.LeftView1->MouseAction(), TChart::TMouseAction::Pan);
        f.FrontView1MouseMove(f.Panes.LeftView1, 0, 0, Qt::LeftButton, {});
        QCOMPARE(f.Panes.LeftView1->MouseAction(), TChart::TMouseAction::DragZoom);
        Ctl<TLedButton>(f, "B_ChangePivot")->setChecked(false);
        f.FrontView1MouseDown(f.Panes.TopView1, 7, 7, Qt::LeftButton, Qt::ShiftModifier);  // no pivot outside the mode
        QVERIFY(Near(Pivot(fx.Sel("hand")), {2, 6, 5}));
    }

    // The menu's axes and grid, and the components shown, reach the views.
    void menusAndShowModesReachTheViews()
    {
        FormFixture fx;
        TMainForm& f = fx.StartWalk(2, true);
        const int lines = FrontLines(f);
        f.Menus.ShowAxes1->setChecked(false);
        QCOMPARE(FrontLines(f), lines - 2);
        Ctl<TLedButton>(f, "RB_AllSelections")->setChecked(true);  // body and leg too, at the origin as unanimated
        QVERIFY(FrontLines(f) > lines);
        f.Menus.ShowAxes1->setChecked(true);
        Ctl<TLedButton>(f, "AbLED1")->setChecked(true);
        QCOMPARE(FrontLines(f), 2);  // the axes only
        f.Menus.ShowGrid1->setChecked(false);
        for (TChart* v : f.Views())
            QCOMPARE(v->GridStyle(), TChart::TGridStyle::None);
        f.Menus.ShowGrid1->setChecked(true);
        QCOMPARE(f.Panes.TopView1->GridStyle(), TChart::TGridStyle::Lines);
    }

    // Edit Frame pressed while playing: the stop ends the segment on the next frame, and
    // the untouched edit goes with it, so Apply changes no frame (it used to write frame
    // 0's pose into frame 1).
    void editStartedWhilePlaying()
    {
        FormFixture fx;
        TMainForm& f = fx.StartWalk();
        const QByteArray loaded = Saved(f);
        Select(f, "arm");
        Ctl<QPushButton>(f, "B_Play")->click();
        f.PlayTimerTimer();
        QTest::mousePress(Ctl<QPushButton>(f, "B_Editing"), Qt::LeftButton);
        f.PlayTimerTimer();  // the segment under way ends
        QVERIFY(!f.Playing() && f.EditMode());
        QCOMPARE(f.Doc.ActAnimStep, 1);
        QCOMPARE(Narrow(f.Editor->ComponentPoses().Act(fx.Sel("arm"))), f.Doc.AnimFrames[1].Entries[0].Matrix);  // shown
        QTest::mousePress(Ctl<QPushButton>(f, "B_ApplyEdit"), Qt::LeftButton);
        QVERIFY(!f.EditMode());
        QCOMPARE(Saved(f), loaded);
        QVERIFY(fx.Dialogs.Questions.isEmpty());
    }

    // Load P3d (Ctrl+P) during an edit ends it before the model goes: with nothing turned it
    // just ends, and the frame keeps its transforms (Apply used to write the new model's
    // rest pose, the identity, into it); with something turned the user is asked first.
    void modelLoadEndsTheEdit()
    {
        FormFixture fx;
        TMainForm& f = fx.StartWalk();
        const QByteArray loaded = Saved(f);
        QTest::keyClick(Ctl<QSlider>(f, "AnimSlider"), Qt::Key_Right);  // frame 1
        QCOMPARE(f.Doc.ActAnimStep, 1);
        Select(f, "arm");
        QTest::mousePress(Ctl<QPushButton>(f, "B_Editing"), Qt::LeftButton);
        fx.Dialogs.Files << fx.Path("robot.p3d");
        QTest::keyClick(&f, Qt::Key_P, Qt::ControlModifier);
        QVERIFY(!f.EditMode() && !f.P_EditAnim->isVisible() && f.P_Timing->isVisible());
        QCOMPARE(Saved(f), loaded);

        Select(f, "arm");
        QTest::mousePress(Ctl<QPushButton>(f, "B_Editing"), Qt::LeftButton);
        TurnZ(f);
        const TMatrix12f turned = Narrow(f.Editor->ComponentPoses().Act(fx.Sel("arm")));
        fx.Dialogs.Files << fx.Path("robot.p3d");
        fx.Dialogs.Answers << true;
        QTest::keyClick(&f, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(fx.Dialogs.Questions, QStringList{"Apply the changes to frame 1?"});
        QVERIFY(!f.EditMode());
        QCOMPARE(f.Doc.AnimFrames[1].Entries[0].Matrix, turned);
        QCOMPARE(f.Menus.Undo1->text(), QStringLiteral("&Undo"));  // a new model, a new history
    }
};

TORVANE_TEST(EditFormTest)
#include "EditFormTest.moc"
