// The 3D view: its GL events, the camera under the mouse, the tool buttons and the two
// transparency sliders; the environment model shown around the edited one; and the export
// of what the window shows.
#include "app/Filebrowser.h"
#include "app/Main.h"
#include "model/Environment.h"
#include "model/P3dmodell.h"
#include "platform/Dialogs.h"
#include "platform/FileUtil.h"
#include "pose/ModelExport.h"
#include "view3d/OffscreenGl.h"
#include "view3d/Topenglqelpanel.h"
#include "widgets/Controls.h"

#include <QBoxLayout>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>
#include <QToolButton>

namespace {
constexpr int kSliderSteps = 1000;  // the sliders' 0..1 in thousandths
constexpr int kSliderInitial = 100;  // 0.1

float SliderValue(const QSlider* s) { return s ? float(s->value()) / float(kSliderSteps) : 0.1f; }
}  // namespace

// ---- Controls

void TMainForm::Wire3dView()
{
    P_3dView->OnInit = [this](TOpenGLQelPanel*) { P_3dViewInit(); };
    P_3dView->OnResize = [this](TOpenGLQelPanel*) { P_3dViewResize(); };
    P_3dView->OnPaint = [this](TOpenGLQelPanel*) { P_3dViewPaint(); };
    P_3dView->OnMouseDown = [this](TOpenGLQelPanel*, const TPanelMouse& m) { P_3dViewMouseDown(m); };
    P_3dView->OnMouseMove = [this](TOpenGLQelPanel*, const TPanelMouse& m) { P_3dViewMouseMove(m); };
    P_3dView->OnMouseUp = [this](TOpenGLQelPanel*, const TPanelMouse& m) { P_3dViewMouseUp(m); };
}

void TMainForm::BuildTransparencySliders(QWidget* parent, QGridLayout* layout, int row)
{
    const auto slider = [this, parent](const QString& name, const QString& caption) {
        auto* s = new QSlider(Qt::Horizontal, parent);
        s->setObjectName(name);
        s->setRange(0, kSliderSteps);
        s->setSingleStep(10);
        s->setPageStep(100);
        s->setValue(kSliderInitial);
        SetHint(s, caption);
        connect(s, &QSlider::valueChanged, this, [this] { Chg_Poly_TransValueChange(); });
        return s;
    };
    Chg_Poly_Trans = slider(QStringLiteral("Chg_Poly_Trans"), QStringLiteral("Polygon Transparency"));
    Chg_Env_Trans = slider(QStringLiteral("Chg_Env_Trans"), QStringLiteral("Environment Transparency"));
    for (QSlider* s : {Chg_Poly_Trans, Chg_Env_Trans}) {
        layout->addWidget(new QLabel(s->toolTip(), parent), row, 0, 1, 2);
        layout->addWidget(s, row++, 2, 1, 2);
    }
}

void TMainForm::Chg_Poly_TransValueChange()
{
    if (P_3dView)
        P_3dView->update();
}

void TMainForm::B_LightStatusChanged()
{
    // The lighting switch is applied with the rest of the picture's state on every paint,
    // so a pressed button restored from the settings before the view's context exists
    // (or a context made anew) still draws unlit.
    if (P_3dView)
        P_3dView->update();
}

void TMainForm::B_Transparent3DStatusChanged()
{
    if (P_3dView)
        P_3dView->update();
}

void TMainForm::B_GridStatusChanged()
{
    if (P_3dView)
        P_3dView->update();
}

// ---- GL events

void TMainForm::P_3dViewInit()
{
    Gl3dInit();
    Camera3d = TViewCamera{};
}

void TMainForm::P_3dViewResize()
{
    if (P_3dView)
        Gl3dResize(P_3dView->GLWidth(), P_3dView->GLHeight());
}

T3dPaintOptions TMainForm::Paint3dOptions() const
{
    T3dPaintOptions o;
    o.Lighting = !B_Light->isChecked();
    o.Transparent = B_Transparent3D->isChecked();
    o.Grid = B_Grid->isChecked();
    return o;
}

void TMainForm::Prepare3dScene(T3dScene& scene)
{
    EnsureTreeOrder();
    T3dSceneOptions o;
    o.AllPolygons = RB_AllPolygons->isChecked();
    o.Environment = B_Enviroment->isChecked();
    o.PolygonAlpha = SliderValue(Chg_Poly_Trans);
    o.EnvironmentAlpha = SliderValue(Chg_Env_Trans);
    o.CheckedSelections = RB_CheckedSelections->isChecked();
    o.AllSelections = RB_AllSelections->isChecked();
    if (B_ChangePivot->isChecked())
        o.PivotComponent = SelectedComponent();
    const std::vector<bool> edited = BeingEditedFlags(EditTree());
    Build3dScene(Models, TreeOrder_, PoseCache_, edited, o, PoseParams(), scene);
}

void TMainForm::P_3dViewPaint()
{
    if (!Built_)
        return;
    Prepare3dScene(Scene3d_);
    Gl3dPaint(Camera3d, Paint3dOptions(), Scene3d_);
}

QImage TMainForm::Render3d(int width, int height, const TViewCamera& camera, QString* error)
{
    TOffscreenGl gl;
    if (!gl.Create(width, height, error))
        return {};
    Gl3dInit();
    Gl3dResize(width, height);
    T3dScene scene;
    Prepare3dScene(scene);
    Gl3dPaint(camera, Paint3dOptions(), scene);
    return gl.Read();
}

// ---- Mouse

void TMainForm::P_3dViewMouseDown(const TPanelMouse& m) { ViewMouseDown(Drag3d, m.X, m.Y); }

void TMainForm::P_3dViewMouseUp(const TPanelMouse&) { ViewMouseUp(Drag3d); }

void TMainForm::P_3dViewMouseMove(const TPanelMouse& m)
{
    TViewMouse v;
    v.X = m.X;
    v.Y = m.Y;
    v.Left = m.Buttons.testFlag(Qt::LeftButton);
    v.Right = m.Buttons.testFlag(Qt::RightButton);
    v.Ctrl = m.Modifiers.testFlag(Qt::ControlModifier);
    // Only a move of the camera needs a new picture; update() folds the moves that arrive
    // while one is being drawn into the next paint, so a drag never queues paints up.
    if (ViewMouseMove(Camera3d, Drag3d, v) && P_3dView)
        P_3dView->update();
}

// ---- Environment

void TMainForm::LoadEnviromentP3d1Click()
{
    if (ModelFileName.isEmpty()) {
        dialogs().ShowMessage(QString::fromLatin1(EnvironmentText::NoMainModel));
        return;
    }
    const QString path = dialogs().OpenFile(P3dOpenDialog());
    if (path.isEmpty())
        return;
    LoadEnvironment(path);
}

TEnvironmentLoad TMainForm::LoadEnvironment(const QString& path)
{
    bool removedOld = false;
    const TEnvironmentLoad result = LoadEnvironmentModel(
        Models, !ModelFileName.isEmpty(), path,
        [](const QStringList& names) {
            return dialogs().ChooseItem(QStringLiteral("Select Proxy"),
                                        QStringLiteral("Select Proxy to replace by current model:"), names, 0);
        },
        [](const QString& text) { dialogs().ShowMessage(text); }, &removedOld);
    if (result == TEnvironmentLoad::Loaded || result == TEnvironmentLoad::NoOffset) {
        if (!B_Enviroment->isChecked())
            B_Enviroment->setChecked(true);  // its handler refreshes
        else
            RefreshDisplay();
    } else if (removedOld) {
        RefreshDisplay();  // the environment shown before is gone without one in its place
    }
    return result;
}

// ---- Export

void TMainForm::ExportModelClick(bool gltf)
{
    if (Models.empty()) {
        dialogs().ShowMessage(QStringLiteral("No P3d Model loaded!"));
        return;
    }
    const QFileInfo model(ModelFileName);
    FileDialogOptions o;
    o.Title = gltf ? QStringLiteral("Export glTF") : QStringLiteral("Export OBJ");
    o.Filter = gltf ? QStringLiteral("glTF Binary|*.glb|glTF|*.gltf") : QStringLiteral("Wavefront OBJ|*.obj");
    o.DefaultExt = gltf ? QStringLiteral("*.glb") : QStringLiteral("*.obj");
    o.InitialDir = model.absolutePath();
    o.FileName = model.completeBaseName() + (gltf ? QStringLiteral(".glb") : QStringLiteral(".obj"));
    o.OverwritePrompt = true;
    const QString path = dialogs().SaveFile(o);
    if (path.isEmpty())
        return;
    TExportRequest r;
    r.Path = path;
    r.Format = !gltf ? TExportFormat::Obj
                     : ExportFormatForFile(path) == TExportFormat::Gltf ? TExportFormat::Gltf : TExportFormat::Glb;
    r.ModelName = FileNamePart(ModelFileName);
    r.Comment = QStringLiteral("torvane-anim export of %1").arg(r.ModelName);
    r.Environment = B_Enviroment->isChecked();
    r.Animate = !Doc.AnimFrames.empty();
    r.PlayTime = E_AnimTime->value();
    r.AnimationName = QFileInfo(Doc.AnimFileName).completeBaseName();
    r.Transparent = B_Transparent3D->isChecked();
    r.EnvironmentAlpha = SliderValue(Chg_Env_Trans);
    const TExportResult result = ExportPosedModel(Models, TreeComponents(), PoseParams(), &Doc, r);
    if (!result.Error.isEmpty())
        dialogs().ShowMessage(result.Error);
    else if (!result.Notes.isEmpty())
        dialogs().ShowMessage(result.Notes.join(QLatin1Char('\n')));
}
