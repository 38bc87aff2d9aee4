// Edit mode and the orthographic views, driven through the main window.
#include "FormFixture.h"
#include "app/Filebrowser.h"
#include "modelforms/ComponentTree.h"
#include "model/P3dmodell.h"
#include "filebuild/LpvBuilder.h"
#include "filebuild/P3dBuilder.h"
#include "filebuild/RtmBuilder.h"
#include "support/TestMain.h"
#include "view3d/Framemanipulator.h"
#include "widgets/Chart.h"
#include "widgets/Controls.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <cmath>

namespace {
// "arm" (a box) with its pivot at (0, 1, 0) and a child "hand"; both animated, identity frames.
void LoadArm(FormFixture& fx, int frames = 2)
{
    TP3dBuilder b;
    b.AddSelection("arm", b.AddBox(0, 1, 0, 2, 1.5f, 0.5f));
    b.AddSelection("hand", b.AddBox(2, 1, 0, 2.5f, 1.5f, 0.5f));
    b.AddSelection("base", b.AddBox(-1, -1, -1, 1, 0, 1));
    b.WriteTo(fx.Path("arm.p3d"));
    TLpvBuilder l;
    l.Add("arm", "", 0, 1, 0);
    l.Add("hand", "arm", 2, 1, 0);
    WriteBytesFile(fx.Path("LinkData/arm.lpv"), l.Build());
    RtmBuild::TFile anim = RtmBuild::TFile::Regular({"arm", "hand"}, frames);
    for (auto& f : anim.Frames)
        for (auto& r : f.Records)
            r.Matrix = RtmBuild::Identity;
    fx.Write("arm.rtm", RtmBuild::Build(anim));
    fx.Form->LoadModel(fx.Path("arm.p3d"));
    fx.Form->LoadAnimation(fx.Path("arm.rtm"));
    fx.Dialogs.Messages.clear();
}

TSelection* Sel(TMainForm& f, const char* name) { return TMainForm::SelectionOf(f.FindNodeByName(name)); }

void Select(TMainForm& f, const char* name)
{
    f.TV_EditComponents->clearSelection();
    f.FindNodeByName(name)->setSelected(true);
    f.TV_EditComponents->setCurrentItem(f.FindNodeByName(name), 0, QItemSelectionModel::NoUpdate);
}

TVec3 Pivot(const TSelection* s) { return {s->Pivot[0], s->Pivot[1], s->Pivot[2]}; }

bool Near(const TVec3& a, const TVec3& b, double eps = 1e-9)
{
    return std::abs(a.x - b.x) < eps && std::abs(a.y - b.y) < eps && std::abs(a.z - b.z) < eps;
}

// The segments of a view as (x1, y1, x2, y2) in drawing order, in one colour.
QList<QLineF> Segments(const TChart* view, uint32_t color)
{
    QList<QLineF> out;
    const TChartItems& items = view->Items();
    const auto& runs = items.Runs();
    QPointF last;
    for (size_t i = 0; i < items.Items().size(); ++i) {
        uint32_t c = 0;
        for (const TChartColorRun& r : runs)
            if (r.First <= i)
                c = r.Color;
        const TChartItem& it = items.Items()[i];
        if (it.Kind == TChartItemKind::Line && c == color)
            out << QLineF(last, QPointF(it.X, it.Y));
        if (it.Kind == TChartItemKind::Move || it.Kind == TChartItemKind::Line)
            last = QPointF(it.X, it.Y);
    }
    return out;
}
}  // namespace

class EditFormTest : public QObject {
    Q_OBJECT
private slots:
    void refusals()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        QTest::mouseClick(f.B_Editing, Qt::LeftButton);
        QCOMPARE(fx.Dialogs.Messages, QStringList{"Nothing to edit!"});
        fx.Write("a.rtm", RtmBuild::Build(RtmBuild::TFile::Regular({"arm"}, 2)));
        f.LoadAnimation(fx.Path("a.rtm"));
        fx.Dialogs.Messages.clear();
        QTest::mouseClick(f.B_Editing, Qt::LeftButton);
        QCOMPARE(fx.Dialogs.Messages, QStringList{"No Components found!"});
        QVERIFY(!f.EditMode());
        f.ClearAnimation();
        fx.Dialogs.Messages.clear();
        QTest::mouseClick(f.B_ResetMatrix, Qt::LeftButton);
        QCOMPARE(fx.Dialogs.Messages, QStringList{"No Anim Steps!"});
    }

    void enteringAndLeavingSwitchesPanels()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        LoadArm(fx);
        QTest::mouseClick(f.B_Editing, Qt::LeftButton);
        QVERIFY(f.EditMode());
        QVERIFY(f.EditTimer->isActive());
        QCOMPARE(f.EditTimer->interval(), 50);
        QVERIFY(f.P_EditAnim->isVisible());
        QVERIFY(!f.P_Timing->isVisible() && !f.P_AnimControl->isVisible());
        QVERIFY(!F_FileBrowser->P_Files->isEnabled());
        // The frame timer moves no frame under the edit either.
        QVERIFY(!F_FrameManipulator->RChart->isEnabled() && !F_FrameManipulator->SelectAll1->isEnabled());
        QVERIFY(!f.AssignNewName1->isEnabled());
        QTest::mouseClick(f.B_CancelEdit, Qt::LeftButton);
        QVERIFY(!f.EditMode());
        QVERIFY(!f.EditTimer->isActive());
        QVERIFY(f.P_Timing->isVisible() && !f.P_EditAnim->isVisible());
        QVERIFY(F_FileBrowser->P_Files->isEnabled());
        QVERIFY(F_FrameManipulator->RChart->isEnabled() && F_FrameManipulator->SelectAll1->isEnabled());
    }

    void ticks_data()
    {
        QTest::addColumn<bool>("rotate");
        QTest::addColumn<bool>("relative");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("z");
        QTest::addColumn<int>("ticks");
        QTest::newRow("rotate about the pivot") << true << true << 0 << 10 << 1;
        QTest::newRow("rotate about the origin") << true << false << 0 << 10 << 1;
        QTest::newRow("move") << false << true << -10 << 0 << 3;
        QTest::newRow("centred sliders") << true << true << 0 << 0 << 4;
    }
    void ticks()
    {
        QFETCH(bool, rotate);
        QFETCH(bool, relative);
        QFETCH(int, x);
        QFETCH(int, z);
        QFETCH(int, ticks);
        FormFixture fx;
        TMainForm& f = fx.Start();
        LoadArm(fx);
        Select(f, "arm");
        QTest::mouseClick(f.B_Editing, Qt::LeftButton);
        f.B_EditOperation->setChecked(rotate);
        f.B_RotType->setChecked(relative);
        QCOMPARE(f.B_EditOperation->text(), rotate ? QStringLiteral("Rotate") : QStringLiteral("Move"));
        f.Chg_X->setValue(x * 100);
        f.Chg_Z->setValue(z * 100);
        for (int i = 0; i < ticks; ++i)
            f.EditTimerTimer();
        const TSelection* arm = Sel(f, "arm");
        const TSelection* hand = Sel(f, "hand");
        const TVec3 pivot = arm->ActTransform.Apply(Pivot(arm));
        const TVec3 tip = hand->ActTransform.Apply({2, 1, 0});
        if (x == 0 && z == 0) {
            QCOMPARE(arm->ActTransform, TTransform::Identity());
        } else if (!rotate) {
            QVERIFY(Near(pivot, {-0.03, 1, 0}));
            QVERIFY(Near(tip, {2 - 0.03, 1, 0}));  // the child moves with it
        } else if (relative) {
            QVERIFY(Near(pivot, {0, 1, 0}));  // turning about the pivot leaves it in place
            QVERIFY(Near(tip, {2 * std::cos(0.1), 1 + 2 * std::sin(0.1), 0}));
        } else {
            QVERIFY(Near(pivot, {-std::sin(0.1), std::cos(0.1), 0}));  // about the origin
        }
        QCOMPARE(Sel(f, "base")->ActTransform, TTransform::Identity());  // not edited
    }

    // A press on the slider's track moves the arm for as long as it is held; after the
    // release no tick moves it further, so Apply writes exactly what was seen.
    void heldSliderMovesOnlyWhileHeld()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        LoadArm(fx);
        Select(f, "arm");
        QTest::mousePress(f.B_Editing, Qt::LeftButton);  // acts on the press
        QVERIFY(f.EditMode());
        f.B_EditOperation->setChecked(false);
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        const QPoint track(f.Chg_Y->width() - 5, f.Chg_Y->height() / 2);
        QTest::mousePress(f.Chg_Y, Qt::LeftButton, {}, track);
        f.EditTimerTimer();
        const double moved = Sel(f, "arm")->EditMove[1];
        QVERIFY(moved > 0);
        QTest::mouseRelease(f.Chg_Y, Qt::LeftButton, {}, track);
        QCOMPARE(f.Chg_Y->value(), 0);
        f.EditTimerTimer();
        QCOMPARE(Sel(f, "arm")->EditMove[1], moved);
        QTest::mousePress(f.B_ApplyEdit, Qt::LeftButton);
        QCOMPARE(f.Doc.AnimFrames[0].Entries[0].Matrix[10], float(moved));
    }

    // Whatever changes the document, the model or the mode, the views end up showing the
    // current frame: here the arm is shifted by 5 in x in every frame.
    void viewsFollowTheDocument()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        LoadArm(fx);
        RtmBuild::TFile shifted = RtmBuild::TFile::Regular({"arm", "hand"}, 2);
        for (auto& frame : shifted.Frames)
            for (auto& r : frame.Records)
                r.Matrix = {1, 0, 0, 0, 1, 0, 0, 0, 1, 5, 0, 0};
        fx.Write("shift.rtm", RtmBuild::Build(shifted));
        const auto shownX = [&f] { return f.MainModel()->DisplayPoints[0].X; };  // stored x is 0
        f.LoadAnimation(fx.Path("shift.rtm"));
        QCOMPARE(shownX(), 5.0f);
        f.LoadModel(fx.Path("arm.p3d"));  // a model loaded under the animation is posed at once
        QCOMPARE(shownX(), 5.0f);
        f.B_ChangePivot->setChecked(true);  // pivots are placed at rest ...
        QCOMPARE(shownX(), 0.0f);
        f.B_ChangePivot->setChecked(false);  // ... and the frame comes back when the mode ends
        QCOMPARE(shownX(), 5.0f);
        fx.Write("bad.rtm", "not an animation");
        f.LoadAnimation(fx.Path("bad.rtm"));  // the failed load leaves no animation to show
        QCOMPARE(shownX(), 0.0f);
    }

    void restoreCancelApply()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        RtmBuild::TFile anim = RtmBuild::TFile::Regular({"arm", "hand"}, 3);
        fx.Write("odd.rtm", RtmBuild::Build(anim));
        LoadArm(fx);
        f.LoadAnimation(fx.Path("odd.rtm"));  // frames with awkward values
        fx.Dialogs.Messages.clear();
        f.SetActStep(1);
        const std::vector<TAnimEntry> stored = f.Doc.AnimFrames[1].Entries;
        Select(f, "arm");
        QTest::mouseClick(f.B_Editing, Qt::LeftButton);
        f.Chg_X->setValue(730);
        f.Chg_Z->setValue(-420);
        for (int i = 0; i < 5; ++i)
            f.EditTimerTimer();
        QVERIFY(Narrow(Sel(f, "arm")->ActTransform) != stored[0].Matrix);
        QTest::mouseClick(f.B_ResetEdit, Qt::LeftButton);  // Restore: exactly the stored frame
        QCOMPARE(Narrow(Sel(f, "arm")->ActTransform), stored[0].Matrix);
        QCOMPARE(Sel(f, "arm")->ActTransform, Widen(stored[0].Matrix));
        QVERIFY(f.EditMode());

        for (int i = 0; i < 5; ++i)
            f.EditTimerTimer();
        QTest::mouseClick(f.B_CancelEdit, Qt::LeftButton);
        for (size_t e = 0; e < stored.size(); ++e)
            QCOMPARE(f.Doc.AnimFrames[1].Entries[e].Matrix, stored[e].Matrix);
        QCOMPARE(Sel(f, "hand")->ActTransform, Widen(stored[1].Matrix));

        QTest::mouseClick(f.B_Editing, Qt::LeftButton);
        for (int i = 0; i < 5; ++i)
            f.EditTimerTimer();
        const TMatrix12f edited = Narrow(Sel(f, "hand")->ActTransform);
        QTest::mouseClick(f.B_ApplyEdit, Qt::LeftButton);
        QVERIFY(!f.EditMode());
        QCOMPARE(f.Doc.AnimFrames[1].Entries[1].Matrix, edited);
        QVERIFY(f.SaveAnimationTo(fx.Path("saved.rtm")));
        f.LoadAnimation(fx.Path("saved.rtm"));
        QCOMPARE(f.Doc.AnimFrames[1].Entries[1].Matrix, edited);
    }

    void applyStopsAtUnknownComponent()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        LoadArm(fx);
        fx.Write("ghost.rtm", RtmBuild::Build(RtmBuild::TFile::Regular({"arm", "ghost"}, 2)));
        f.LoadAnimation(fx.Path("ghost.rtm"));
        fx.Dialogs.Messages.clear();
        QTest::mouseClick(f.B_Editing, Qt::LeftButton);
        QTest::mouseClick(f.B_ApplyEdit, Qt::LeftButton);
        QCOMPARE(fx.Dialogs.Messages, QStringList{"[ApplyEdit] Selection not found!"});
        QVERIFY(f.EditMode());
    }

    void resetFrame()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        LoadArm(fx);
        fx.Write("w.rtm", RtmBuild::Build(RtmBuild::TFile::Regular({"arm", "hand"}, 3)));
        f.LoadAnimation(fx.Path("w.rtm"));
        f.SetActStep(2);
        QTest::mouseClick(f.B_ResetMatrix, Qt::LeftButton);
        for (const TAnimEntry& e : f.Doc.AnimFrames[2].Entries)
            QCOMPARE(e.Matrix, IdentityMatrix12f);
        QCOMPARE(Sel(f, "arm")->ActTransform, TTransform::Identity());
        QVERIFY(f.Doc.AnimFrames[1].Entries[0].Matrix != IdentityMatrix12f);
    }

    void axesFollowMenu()
    {
        // The outlines themselves are checked view by view in the view geometry tests.
        FormFixture fx;
        TMainForm& f = fx.Start();
        LoadArm(fx);
        QCOMPARE(Segments(f.FrontView1, 0x00FFFF).size(), 2);
        f.ShowAxes1->setChecked(false);
        QCOMPARE(Segments(f.FrontView1, 0x00FFFF).size(), 0);
    }

    void noComponentLeavesRanges()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        LoadArm(fx);
        const TChartRange before = f.FrontView1->Range();
        f.AbLED1->setChecked(true);
        QCOMPARE(f.FrontView1->Items().LineCount(), 2);  // the axes only
        QCOMPARE(f.FrontView1->Range().X1, before.X1);
        QCOMPARE(f.FrontView1->Range().Y2, before.Y2);
    }

    void pivotEditing()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        LoadArm(fx);
        Select(f, "hand");
        f.FrontView1MouseDown(f.TopView1, 2, 3, Qt::LeftButton, Qt::ShiftModifier);  // pivot mode off
        QVERIFY(Near(Pivot(Sel(f, "hand")), {2, 1, 0}));
        f.B_ChangePivot->setChecked(true);
        QCOMPARE(Sel(f, "arm")->ActTransform, TTransform::Identity());
        Select(f, "hand");
        f.FrontView1MouseDown(f.TopView1, 2, 3, Qt::LeftButton, Qt::ShiftModifier);
        QVERIFY(Near(Pivot(Sel(f, "hand")), {2, 1, 3}));
        f.FrontView1MouseMove(f.LeftView1, 5, 6, Qt::LeftButton, Qt::ShiftModifier);
        QVERIFY(Near(Pivot(Sel(f, "hand")), {2, 6, 5}));
        QCOMPARE(f.LeftView1->MouseAction(), TChart::TMouseAction::None);
        // The pivot mark is drawn in yellow at the pivot.
        bool marked = false;
        for (const TChartItem& it : f.FrontView1->Items().Items())
            marked |= it.Kind == TChartItemKind::Mark && it.Aux == 24 && it.X == 2 && it.Y == 6;
        QVERIFY(marked);
        f.FrontView1MouseMove(f.LeftView1, 0, 0, Qt::LeftButton, Qt::ControlModifier);
        QCOMPARE(f.LeftView1->MouseAction(), TChart::TMouseAction::Pan);
        f.FrontView1MouseMove(f.LeftView1, 0, 0, Qt::LeftButton, {});
        QCOMPARE(f.LeftView1->MouseAction(), TChart::TMouseAction::DragZoom);
    }

    void viewsEmptyWhilePlaying()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        LoadArm(fx);
        QVERIFY(f.FrontView1->Items().LineCount() > 0);
        f.B_Play->setChecked(true);
        f.RefreshDisplay();
        QCOMPARE(f.FrontView1->Items().LineCount(), 0);
        QCOMPARE(f.TopView1->Items().LineCount(), 0);
        f.B_Play->setChecked(false);
        QVERIFY(f.FrontView1->Items().LineCount() > 0);
    }

    void animatedOnlyCollapsesOthersToOrigin()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        LoadArm(fx);
        QVERIFY(Sel(f, "base")->Hidden);
        const uint32_t c = Sel(f, "base")->Color;
        QVERIFY(Segments(f.FrontView1, c).isEmpty());
        f.RB_AllSelections->setChecked(true);
        const QList<QLineF> collapsed = Segments(f.FrontView1, c);
        QVERIFY(!collapsed.isEmpty());
        for (const QLineF& l : collapsed)
            QCOMPARE(l, QLineF(0, 0, 0, 0));
    }

    void gridFollowsMenu()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        f.ShowGrid1->setChecked(false);
        for (TChart* v : f.Views())
            QCOMPARE(v->GridStyle(), TChart::TGridStyle::None);
        f.ShowGrid1->setChecked(true);
        QCOMPARE(f.TopView1->GridStyle(), TChart::TGridStyle::Lines);
    }
};

TORVANE_TEST(EditFormTest)
#include "EditFormTest.moc"
