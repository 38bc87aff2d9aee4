// The pose of the current frame, the three orthographic views and the one display
// refresh of the main window.
#include "app/Filebrowser.h"
#include "app/Main.h"
#include "modelforms/ComponentTree.h"
#include "model/P3dmodell.h"
#include "platform/Dialogs.h"
#include "pose/ViewGeometry.h"
#include "view3d/Framemanipulator.h"
#include "view3d/Topenglqelpanel.h"
#include "widgets/Chart.h"
#include "widgets/Controls.h"

#include <QAction>
#include <QBoxLayout>
#include "widgets/Controls.h"
#include <QLabel>
#include <QOpenGLContext>
#include <QPushButton>

namespace {
// Whether this display can give us a GL context at all. Without one (a display without
// GLX, the offscreen platform) a GL widget in the window would bring the whole window
// down when it is drawn, so the 3D view is left out and says why.
bool OpenGLAvailable()
{
    static const bool available = [] {
        QOpenGLContext probe;
        return probe.create();
    }();
    return available;
}

constexpr uint32_t kOlive = 0x00008080u;
}  // namespace

TChart* TMainForm::CreateView(const QString& name, QWidget* parent)
{
    auto* view = new TChart(parent);
    view->setObjectName(name);
    view->SetChartColor(0);
    view->SetGridColor(kOlive);
    view->SetGridSpacing(1);
    view->SetEqualScale(true);
    view->SetMouseAction(TChart::TMouseAction::DragZoom);
    view->setMinimumSize(50, 50);
    SetHint(view, QStringLiteral("\"LMB\" to Zoom, \"CTRL+ LMB\" to Pan, \"Shift+LMB\" to edit Pivot"));
    connect(view, &TChart::MouseDown, this,
            [this, view](double x, double y, Qt::MouseButton, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
                FrontView1MouseDown(view, x, y, buttons, mods);
            });
    connect(view, &TChart::MouseMove, this,
            [this, view](double x, double y, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
                FrontView1MouseMove(view, x, y, buttons, mods);
            });
    // A pivot dragged in a view is one step, taken when the button is released.
    connect(view, &TChart::MouseUp, this, [this] { CommitModelEdit(QStringLiteral("Move Pivot")); });
    return view;
}

void TMainForm::Attach3dView(QBoxLayout* layout)
{
    if (!OpenGLAvailable()) {
        auto* note = new QLabel(QStringLiteral("OpenGL is not available on this display."), P_3dArea);
        note->setObjectName(QStringLiteral("P_3dViewMissing"));
        note->setAlignment(Qt::AlignCenter);
        note->setStyleSheet(QStringLiteral("QLabel{background:black;color:#c0c0c0}"));
        layout->addWidget(note, 1);
        return;
    }
    P_3dView = new TOpenGLQelPanel(P_3dArea);
    P_3dView->setObjectName(QStringLiteral("P_3dView"));
    P_3dView->SetHint(QStringLiteral("|LMB = Rotate; RMB = Pan; LMB+Ctrl = Zoom"));
    Wire3dView();
    layout->addWidget(P_3dView, 1);
}

void TMainForm::EnsureTreeOrder()
{
    if (!TreeOrderDirty_)
        return;
    TreeOrder_ = TreeComponents();
    PoseCache_.Rebuild(TreeOrder_);
    PoseNodes_.assign(TreeOrder_.size(), TComponentNode{});
    TreeOrderDirty_ = false;
}

TPoseParams TMainForm::PoseParams() const
{
    TPoseParams p;
    p.ModelOffset[0] = OffX->value();
    p.ModelOffset[1] = OffY->value();
    p.ModelOffset[2] = OffZ->value();
    p.TotalMove = Doc.TotalMove;
    p.ActAnimStep = Doc.ActAnimStep;
    p.PlayFraction = Doc.PlayFraction;
    p.AnimStepCount = Doc.AnimStepCount;
    p.TotalMoveOn = B_TotalMove->isChecked();
    p.AnimationLoaded = !Doc.AnimSelections.IsEmpty();
    return p;
}

void TMainForm::ApplyFrame(int step)
{
    if (Doc.ShuttingDown)
        return;
    EnsureTreeOrder();
    switch (ApplyFrameTransforms(Doc, step, TreeOrder_)) {
    case TApplyFrameResult::InvalidStep:
        dialogs().ShowMessage(QStringLiteral("Invalid ActAnimStep!"));
        return;
    case TApplyFrameResult::EntryMissing:
        dialogs().ShowMessage(QStringLiteral("AnimEntry not found!"));
        return;
    case TApplyFrameResult::Ok:
        break;
    }
    RefreshDisplay();
}

void TMainForm::RefreshDisplay()
{
    if (Doc.LoadingAnim || !Built_)
        return;
    ++RefreshCount_;
    EnsureTreeOrder();
    const std::array<TChart*, 3> views = Views();
    const TViewItems items{&FrontView1->Items(), &LeftView1->Items(), &TopView1->Items()};
    ClearViews(items);

    for (size_t i = 0; i < TreeOrder_.size(); ++i)
        PoseNodes_[i] = {TreeOrder_[i], 0, IsInAnimation(TreeOrder_[i])};
    const TPoseParams params = PoseParams();
    UpdateDisplayPoints(Models, PoseNodes_, PoseCache_, params);

    // While playing, the 2D views stay empty.
    if (!B_Play->isChecked()) {
        TViewOptions options;
        options.Show = RB_AllSelections->isChecked() ? TComponentShow::All
                       : AbLED1->isChecked()         ? TComponentShow::None
                                                     : TComponentShow::Checked;
        options.AllPolygons = RB_AllPolygons->isChecked();
        options.Environment = B_Enviroment->isChecked();
        if (B_ChangePivot->isChecked())
            options.PivotComponent = SelectedComponent();
        options.AutoScale = AutoScale1->isChecked();
        options.Axes = ShowAxes1->isChecked();
        std::array<int, ViewCount> w{}, h{};
        for (int v = 0; v < ViewCount; ++v) {
            w[size_t(v)] = views[size_t(v)]->width();
            h[size_t(v)] = views[size_t(v)]->height();
        }
        std::array<TChartRange, ViewCount> ranges{};
        std::array<bool, ViewCount> changed{};
        DrawViews(Models, TreeOrder_, PoseCache_, options, params, items, w, h, ranges, changed);
        for (int v = 0; v < ViewCount; ++v)
            if (changed[size_t(v)]) {
                const TChartRange& r = ranges[size_t(v)];
                views[size_t(v)]->SetRange(r.X1, r.Y1, r.X2, r.Y2);
            }
    }
    for (TChart* v : views)
        v->ShowGraph();
    if (P_3dView)
        P_3dView->update();
}

void TMainForm::ShowAnimationOnly()
{
    if (Doc.AnimFrames.empty())
        return;
    ShowAnimatedOnly(TreeComponents(), Doc.AnimSelections);
    RB_CheckedSelections->setChecked(true);
    Forest_.ComponentsChanged();
    ApplyFrame(Doc.ActAnimStep);
}

void TMainForm::B_ChangePivotStatusChanged(bool on)
{
    // Linking and pivot placing work on one node at a time: a multi-selection shrinks to
    // the current node, which is the one the user placed the pivot of.
    if (on)
        TV_EditComponents->ReduceSelectionToCurrent();
    TV_EditComponents->setSelectionMode(on ? QAbstractItemView::SingleSelection : QAbstractItemView::ExtendedSelection);
    if (on) {  // pivots are placed on the model at rest
        for (TSelection* s : TreeComponents())
            s->ActTransform = TTransform::Identity();
        RefreshDisplay();
    } else {
        ShowCurrentFrame();
    }
}

void TMainForm::ShowCurrentFrame()
{
    // In pivot mode the model stays at rest until the mode is left.
    if (!Doc.AnimFrames.empty() && !B_ChangePivot->isChecked())
        ApplyFrame(Doc.ActAnimStep);
    else
        RefreshDisplay();
}

void TMainForm::ShowGrid1Click()
{
    for (TChart* v : Views())
        v->SetGridStyle(ShowGrid1->isChecked() ? TChart::TGridStyle::Lines : TChart::TGridStyle::None);
    RefreshDisplay();
}

void TMainForm::FrontView1MouseDown(TChart* view, double x, double y, Qt::MouseButtons buttons,
                                    Qt::KeyboardModifiers mods)
{
    if (!(mods & Qt::ShiftModifier) || !(buttons & Qt::LeftButton))
        return;
    TSelection* s = SelectedComponent();
    if (!s || !B_ChangePivot->isChecked())
        return;
    view->SetMouseAction(TChart::TMouseAction::None);  // the drag places the pivot, it does not zoom
    view->setCursor(Qt::CrossCursor);
    ViewUnproject(view == FrontView1 ? TViewKind::Front : view == LeftView1 ? TViewKind::Left : TViewKind::Top, x, y,
                  s->Pivot);
    RefreshDisplay();
}

void TMainForm::FrontView1MouseMove(TChart* view, double x, double y, Qt::MouseButtons buttons,
                                    Qt::KeyboardModifiers mods)
{
    if ((mods & Qt::ShiftModifier) && (buttons & Qt::LeftButton)) {
        FrontView1MouseDown(view, x, y, buttons, mods);
        return;
    }
    view->unsetCursor();
    view->SetMouseAction((mods & Qt::ControlModifier) ? TChart::TMouseAction::Pan : TChart::TMouseAction::DragZoom);
}

void TMainForm::RefreshFrameTimerChart()
{
    if (F_FrameManipulator)
        F_FrameManipulator->RefreshFrameTimerChart();
}
