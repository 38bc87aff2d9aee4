// The pose of the current frame, the three orthographic views and the one display
// refresh of the main window.
#include "app/Filebrowser.h"
#include "app/Main.h"
#include "editor/Editor.h"
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
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <utility>

namespace {
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
    // A pivot dragged in a view is one step: the drag ends when the button is released.
    connect(view, &TChart::MouseUp, this, [this] { Editor->CloseStep(); });
    return view;
}

void TMainForm::ScheduleRefresh()
{
    if (std::exchange(RefreshQueued_, true))
        return;
    QMetaObject::invokeMethod(this, [this] {
        RefreshQueued_ = false;
        RefreshDisplay();
    }, Qt::QueuedConnection);
}

void TMainForm::RefreshDisplay()
{
    if (Anim->Loading() || Anim->ShuttingDown() || !Built_)
        return;
    ++RefreshCount_;
    const std::array<TChart*, 3> views = Views();
    const TViewItems items{&Panes.FrontView1->Items(), &Panes.LeftView1->Items(), &Panes.TopView1->Items()};
    Editor->Pose();
    // While playing, the 2D views stay empty.
    if (P_AnimControl->PlayPressed()) {
        ClearViews(items);
    } else {
        std::array<int, ViewCount> w{}, h{};
        for (int v = 0; v < ViewCount; ++v) {
            w[size_t(v)] = views[size_t(v)]->width();
            h[size_t(v)] = views[size_t(v)]->height();
        }
        std::array<TChartRange, ViewCount> ranges{};
        std::array<bool, ViewCount> changed{};
        Editor->DrawViews(items, w, h, ranges, changed);
        for (int v = 0; v < ViewCount; ++v)
            if (changed[size_t(v)]) {
                const TChartRange& r = ranges[size_t(v)];
                views[size_t(v)]->SetRange(r.X1, r.Y1, r.X2, r.Y2);
            }
    }
    for (TChart* v : views)
        v->ShowGraph();
    P_3dArea->UpdateView();
}

void TMainForm::OptionsFromControls()
{
    if (!Built_)
        return;
    TEditorOptions o = Editor->Options();
    o.Offset = P_AnimControl->Offset();
    o.TotalMove = P_AnimControl->TotalMoveOn();
    o.PivotMode = P_DisplayMode->PivotMode();
    o.Show = P_DisplayMode->Show();
    o.AllPolygons = P_DisplayMode->AllPolygons();
    o.Environment = P_AnimControl->EnvironmentOn();
    o.AutoScale = Menus.AutoScale1->isChecked();
    o.Axes = Menus.ShowAxes1->isChecked();
    Editor->SetOptions(o);
}

void TMainForm::OptionsToControls()
{
    // The controls show what the editor has; setting them must not hand it back.
    P_AnimControl->ShowEnvironment(Editor->Options().Environment);
}

void TMainForm::ShowAnimationOnly()
{
    if (Doc.AnimFrames.empty())
        return;
    Editor->ShowAnimatedOnly();
    P_DisplayMode->ShowCheckedComponents();
}

void TMainForm::B_ChangePivotStatusChanged(bool on)
{
    // Linking and pivot placing work on one node at a time: a multi-selection shrinks to
    // the current node, which is the one the user placed the pivot of.
    if (on)
        TV_EditComponents->ReduceSelectionToCurrent();
    TV_EditComponents->setSelectionMode(on ? QAbstractItemView::SingleSelection : QAbstractItemView::ExtendedSelection);
    OptionsFromControls();  // the editor puts the model at rest, or the current frame back
}

void TMainForm::ShowGrid1Click()
{
    for (TChart* v : Views())
        v->SetGridStyle(Menus.ShowGrid1->isChecked() ? TChart::TGridStyle::Lines : TChart::TGridStyle::None);
}

void TMainForm::FrontView1MouseDown(TChart* view, double x, double y, Qt::MouseButtons buttons,
                                    Qt::KeyboardModifiers mods)
{
    if (!(mods & Qt::ShiftModifier) || !(buttons & Qt::LeftButton))
        return;
    const TSelection* s = SelectedComponent();
    if (!s || !P_DisplayMode->PivotMode())
        return;
    view->SetMouseAction(TChart::TMouseAction::None);  // the drag places the pivot, it does not zoom
    view->setCursor(Qt::CrossCursor);
    std::array<float, 3> pivot{s->Pivot[0], s->Pivot[1], s->Pivot[2]};
    ViewUnproject(view == Panes.FrontView1 ? TViewKind::Front : view == Panes.LeftView1 ? TViewKind::Left : TViewKind::Top, x, y,
                  pivot.data());
    Editor->SetPivot(SelectedNode(), pivot);
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

