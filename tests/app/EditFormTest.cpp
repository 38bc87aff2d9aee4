// Edit mode and the orthographic views, driven through the main window. The edit and view
// geometry itself is the pose tests'.
#include "FormFixture.h"
#include "app/FileBrowser.h"
#include "editor/Editor.h"
#include "modelforms/ComponentTree.h"
#include "support/TestMain.h"
#include "app/FrameTimer.h"
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
void Select(TMainForm& f, const char* name) { Tree(f)->SetCurrentNode(Node(f, name)); }

bool Near(const TVec3& a, const TVec3& b)
{
    return std::abs(a.x - b.x) < 1e-6 && std::abs(a.y - b.y) < 1e-6 && std::abs(a.z - b.z) < 1e-6;
}
TVec3 Pivot(const TSelection* s) { return {s->Pivot[0], s->Pivot[1], s->Pivot[2]}; }

// A Shift+press (and release) of the left button, or a move with it held, at the pixel of
// chart point (x, y) of a view; returns that pixel's chart point.
QPointF Press(TChart* view, double x, double y, Qt::KeyboardModifiers mods)
{
    const QPoint pixel = view->ChartToPixel(x, y).toPoint();
    QTest::mousePress(view, Qt::LeftButton, mods, pixel);
    QTest::mouseRelease(view, Qt::LeftButton, mods, pixel);
    return view->PixelToChart(pixel);
}
QPointF MoveHeld(TChart* view, double x, double y, Qt::KeyboardModifiers mods)
{
    const QPoint pixel = view->ChartToPixel(x, y).toPoint();
    QMouseEvent move(QEvent::MouseMove, pixel, view->mapToGlobal(pixel), Qt::NoButton, Qt::LeftButton, mods);
    QCoreApplication::sendEvent(view, &move);
    return view->PixelToChart(pixel);
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
        QVERIFY(!f.Editor().Editing());
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
        QVERIFY(f.Editor().Editing() && Ctl<QWidget>(f, "P_EditAnim")->isVisible());
    }

    // Edit mode takes the timing panels, the file browser and the frame timer away; Cancel
    // ends it and its ticks.
    void enteringAndLeavingSwitchesPanels()
    {
        FormFixture fx;
        TMainForm& f = fx.StartWalk(2, true);
        QTest::mouseClick(Ctl<QPushButton>(f, "B_Editing"), Qt::LeftButton);
        QVERIFY(f.Editor().Editing() && Ctl<QTimer>(f, "EditTimer")->isActive());
        QVERIFY(Ctl<QWidget>(f, "P_EditAnim")->isVisible() && !Ctl<QWidget>(f, "P_Timing")->isVisible() &&
                !Ctl<QWidget>(f, "P_AnimControl")->isVisible());
        QVERIFY(!Ctl<QWidget>(*Browser(f), "P_Files")->isEnabled());
        QVERIFY(!Ctl<TChart>(*FrameTimer(f), "RChart")->isEnabled() && !Ctl<QAction>(*FrameTimer(f), "SelectAll1")->isEnabled());
        QVERIFY(!Act(f, "AssignNewName1")->isEnabled());
        QTest::mouseClick(Ctl<QPushButton>(f, "B_CancelEdit"), Qt::LeftButton);
        QVERIFY(!f.Editor().Editing() && !Ctl<QTimer>(f, "EditTimer")->isActive());
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
        QVERIFY(f.Editor().Editing() && QTest::qWaitForWindowExposed(&f));
        QVERIFY(Ctl<QPushButton>(f, "B_EditOperation")->isChecked() && Ctl<QPushButton>(f, "B_RotType")->isChecked());
        QTest::mouseClick(Ctl<QPushButton>(f, "B_RotType"), Qt::LeftButton);
        QTest::keyPress(Ctl<QSlider>(f, "Chg_Z"), Qt::Key_End);
        f.EditTimerTimer();
        QTest::keyRelease(Ctl<QSlider>(f, "Chg_Z"), Qt::Key_End);
        const double c = std::cos(0.1), s = std::sin(0.1);
        QVERIFY(Near(f.Editor().ComponentPoses().Act(fx.Sel("hand")).Apply({2, 1.25, 0.25}),
                     {2 * c - 1.25 * s, 2 * s + 1.25 * c, 0.25}));
        QTest::mouseClick(Ctl<QPushButton>(f, "B_EditOperation"), Qt::LeftButton);  // move, not rotate
        const QPoint track(Ctl<QSlider>(f, "Chg_Y")->width() - 5, Ctl<QSlider>(f, "Chg_Y")->height() / 2);
        QTest::mousePress(Ctl<QSlider>(f, "Chg_Y"), Qt::LeftButton, {}, track);
        f.EditTimerTimer();
        const double moved = f.Editor().ComponentPoses().Find(fx.Sel("arm"))->EditMove[1];
        QVERIFY(moved > 0);
        QTest::mouseRelease(Ctl<QSlider>(f, "Chg_Y"), Qt::LeftButton, {}, track);
        QCOMPARE(Ctl<QSlider>(f, "Chg_Y")->value(), 0);
        f.EditTimerTimer();
        QCOMPARE(f.Editor().ComponentPoses().Find(fx.Sel("arm"))->EditMove[1], moved);
        QTest::mousePress(Ctl<QPushButton>(f, "B_ApplyEdit"), Qt::LeftButton);
        QCOMPARE(Doc(f).AnimFrames[0].Entries[0].Matrix[10], float(moved));
    }

    // Pivot mode places pivots with Shift and a press or a move in a view: the two
    // coordinates of the view from the point under the mouse, the third kept. The other
    // buttons zoom and pan. What the mode shows is the editor's tests.
    void viewsPlacePivots()
    {
        FormFixture fx;
        TMainForm& f = fx.StartWalk(2, true);
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        Settle();  // the views are drawn to the model's size
        Ctl<TLedButton>(f, "B_ChangePivot")->setChecked(true);
        Select(f, "hand");
        TChart* top = Ctl<TChart>(f, "TopView1");
        TChart* left = Ctl<TChart>(f, "LeftView1");
        const QPointF at = Press(top, 1.5, 0.5, Qt::ShiftModifier);  // x and z
        QVERIFY(std::abs(at.x() - 1.5) < 0.1 && std::abs(at.y() - 0.5) < 0.1);
        QVERIFY(Near(Pivot(fx.Sel("hand")), {float(at.x()), 1.25, float(at.y())}));
        Settle();
        const QPointF to = MoveHeld(left, 0.25, 1, Qt::ShiftModifier);  // z and y
        QVERIFY(Near(Pivot(fx.Sel("hand")), {float(at.x()), float(to.y()), float(to.x())}));
        QCOMPARE(left->MouseAction(), TChart::TMouseAction::None);
        MoveHeld(left, 0, 0, Qt::ControlModifier);
        QCOMPARE(left->MouseAction(), TChart::TMouseAction::Pan);
        MoveHeld(left, 0, 0, {});
        QCOMPARE(left->MouseAction(), TChart::TMouseAction::DragZoom);
        QCOMPARE(f.Editor().History().UndoName(), QStringLiteral("Move Pivot"));
        Ctl<TLedButton>(f, "B_ChangePivot")->setChecked(false);
        Settle();
        const TVec3 placed = Pivot(fx.Sel("hand"));
        Press(top, 1, 0, Qt::ShiftModifier);  // no pivot outside the mode
        QVERIFY(Near(Pivot(fx.Sel("hand")), placed));
    }

    // The menu's axes and grid, and the components shown, reach the views.
    void menusAndShowModesReachTheViews()
    {
        FormFixture fx;
        TMainForm& f = fx.StartWalk(2, true);
        const int lines = FrontLines(f);
        Act(f, "ShowAxes1")->setChecked(false);
        QCOMPARE(FrontLines(f), lines - 2);
        Ctl<TLedButton>(f, "RB_AllSelections")->setChecked(true);  // body and leg too, at the origin as unanimated
        QVERIFY(FrontLines(f) > lines);
        Act(f, "ShowAxes1")->setChecked(true);
        Ctl<TLedButton>(f, "AbLED1")->setChecked(true);
        QCOMPARE(FrontLines(f), 2);  // the axes only
        Act(f, "ShowGrid1")->setChecked(false);
        for (const char* view : {"FrontView1", "LeftView1", "TopView1"})
            QCOMPARE(Ctl<TChart>(f, view)->GridStyle(), TChart::TGridStyle::None);
        Act(f, "ShowGrid1")->setChecked(true);
        QCOMPARE(Ctl<TChart>(f, "TopView1")->GridStyle(), TChart::TGridStyle::Lines);
    }

    // Load P3d (Ctrl+P) during an edit ends it, and the panels with it; what the end does
    // to the frame is the editor's tests.
    void modelLoadEndsTheEdit()
    {
        FormFixture fx;
        TMainForm& f = fx.StartWalk();
        Select(f, "arm");
        QTest::mousePress(Ctl<QPushButton>(f, "B_Editing"), Qt::LeftButton);
        fx.Dialogs.Files << fx.Path("robot.p3d");
        QTest::keyClick(&f, Qt::Key_P, Qt::ControlModifier);
        QVERIFY(!f.Editor().Editing() && !Ctl<QWidget>(f, "P_EditAnim")->isVisible() && Ctl<QWidget>(f, "P_Timing")->isVisible());
    }
};

TORVANE_TEST(EditFormTest)
#include "EditFormTest.moc"
