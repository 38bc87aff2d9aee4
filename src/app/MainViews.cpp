// The one display refresh of the main window, the three orthographic views and the
// options they show, the environment model shown around the edited one, and the export of
// what the window shows.
#include "anim/AnimController.h"
#include "app/ExportNote.h"
#include "app/Main.h"
#include "editor/Editor.h"
#include "model/Environment.h"
#include "model/P3dModel.h"
#include "modelforms/ComponentTree.h"
#include "platform/Dialogs.h"
#include "platform/FileUtil.h"
#include "pose/ModelExport.h"
#include "pose/ViewGeometry.h"
#include "widgets/Chart.h"

#include <QAction>
#include <QFileInfo>
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
    connect(view, &TChart::MouseUp, this, [this] { Editor_->CloseStep(); });
    return view;
}

void TMainForm::ScheduleRefresh()
{
    if (std::exchange(RefreshQueued_, true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            RefreshQueued_ = false;
            RefreshDisplay();
        },
        Qt::QueuedConnection);
}

void TMainForm::RefreshDisplay()
{
    if (Anim.Loading() || Anim.ShuttingDown() || !Built_)
        return;
    ++RefreshCount_;
    const std::array<TChart*, 3> views = Views();
    const TViewItems items{&FrontView1->Items(), &LeftView1->Items(), &TopView1->Items()};
    Editor_->Pose();
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
        Editor_->DrawViews(items, w, h, ranges, changed);
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

void TMainForm::ShowOptions()
{
    const TEditorOptions& o = Editor_->Options();
    for (auto [item, on] : {std::pair{ShowAxes1, o.Axes}, {ShowGrid1, o.Grid}, {AutoScale1, o.AutoScale}}) {
        const QSignalBlocker block(item);
        item->setChecked(on);
    }
    for (TChart* v : Views())
        v->SetGridStyle(o.Grid ? TChart::TGridStyle::Lines : TChart::TGridStyle::None);
    // Linking and pivot placing work on one node at a time: in pivot mode a multi-selection
    // shrinks to the current node, which is the one the user placed the pivot of.
    const auto mode = o.PivotMode ? QAbstractItemView::SingleSelection : QAbstractItemView::ExtendedSelection;
    if (TV_EditComponents->selectionMode() != mode) {
        if (o.PivotMode)
            TV_EditComponents->ReduceSelectionToCurrent();
        TV_EditComponents->setSelectionMode(mode);
    }
}

void TMainForm::FrontView1MouseDown(TChart* view, double x, double y, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods)
{
    if (!(mods & Qt::ShiftModifier) || !(buttons & Qt::LeftButton))
        return;
    const TSelection* s = SelectedComponent();
    if (!s || !Editor_->Options().PivotMode)
        return;
    view->SetMouseAction(TChart::TMouseAction::None);  // the drag places the pivot, it does not zoom
    view->setCursor(Qt::CrossCursor);
    std::array<float, 3> pivot{s->Pivot[0], s->Pivot[1], s->Pivot[2]};
    ViewUnproject(view == FrontView1  ? TViewKind::Front
                  : view == LeftView1 ? TViewKind::Left
                                      : TViewKind::Top,
                  x, y, pivot.data());
    Editor_->SetPivot(SelectedNode(), pivot);
}

void TMainForm::FrontView1MouseMove(TChart* view, double x, double y, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods)
{
    if ((mods & Qt::ShiftModifier) && (buttons & Qt::LeftButton)) {
        FrontView1MouseDown(view, x, y, buttons, mods);
        return;
    }
    view->unsetCursor();
    view->SetMouseAction((mods & Qt::ControlModifier) ? TChart::TMouseAction::Pan : TChart::TMouseAction::DragZoom);
}

// ---- Environment

void TMainForm::LoadEnviromentP3d1Click()
{
    if (Editor_->ModelFileName().isEmpty()) {
        dialogs().ShowMessage(QString::fromLatin1(EnvironmentText::NoMainModel));
        return;
    }
    const QString path = dialogs().OpenFile(P3dOpenDialog());
    if (!path.isEmpty())
        Editor_->LoadEnvironment(path);
}

// ---- Export

void TMainForm::ExportModelClick(bool gltf)
{
    const QString& model = Editor_->ModelFileName();
    if (Editor_->Models().empty()) {
        dialogs().ShowMessage(QStringLiteral("No P3d Model loaded!"));
        return;
    }
    const bool animation = gltf && !Doc.AnimFrames.empty();  // glTF keeps every frame, OBJ the one shown
    FileDialogOptions o;
    o.Title = gltf ? QStringLiteral("Export glTF") : QStringLiteral("Export OBJ");
    o.Filter = gltf ? QStringLiteral("glTF Binary|*.glb|glTF|*.gltf") : QStringLiteral("Wavefront OBJ|*.obj");
    o.DefaultExt = gltf ? QStringLiteral("*.glb") : QStringLiteral("*.obj");
    o.InitialDir = QFileInfo(model).absolutePath();
    o.FileName = ExportFileName(model, Doc.AnimFileName, animation, gltf ? QStringLiteral("glb") : QStringLiteral("obj"));
    o.OverwritePrompt = true;
    const QString path = dialogs().SaveFile(o);
    if (path.isEmpty())
        return;
    // A file the scene was read from would be lost.
    const QString refusal = Editor_->OverwritesInput(path, {{QStringLiteral("settings file"), Paths.SettingsFile()}});
    if (!refusal.isEmpty()) {
        dialogs().ShowMessage(refusal);
        return;
    }
    const TEditorOptions& options = Editor_->Options();
    TExportRequest r;
    r.Path = path;
    r.Format = !gltf                                              ? TExportFormat::Obj
               : ExportFormatForFile(path) == TExportFormat::Gltf ? TExportFormat::Gltf
                                                                  : TExportFormat::Glb;
    r.ModelName = FileNamePart(model);
    r.Comment = QStringLiteral("torvane-anim export of %1").arg(r.ModelName);
    r.Environment = options.Environment;
    r.Animate = !Doc.AnimFrames.empty();
    r.PlayTime = P_AnimControl->PlayTime();
    r.AnimationName = QFileInfo(Doc.AnimFileName).completeBaseName();
    r.Transparent = ExportTransparent1->isChecked() && options.Transparent3d;
    r.EnvironmentAlpha = options.EnvironmentAlpha;
    Editor_->Pose();  // the views may not have drawn the last change yet
    const TExportResult result = Editor_->Export(r);
    if (result.Cancelled)  // the file as it was
        return;
    if (!result.Error.isEmpty()) {
        dialogs().ShowMessage(result.Error);
        return;
    }
    SetStatusNote(ExportSummary(path, QFileInfo(path).size(), animation, Doc.FrameCount(), Doc.ActAnimStep));
    if (!result.Notes.isEmpty())
        dialogs().ShowMessage(result.Notes.join(QLatin1Char('\n')));
}
