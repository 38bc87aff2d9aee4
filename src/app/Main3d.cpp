// The 3D view: its GL events, the camera under the mouse, the tool buttons and the two
// transparency sliders; the environment model shown around the edited one; and the export
// of what the window shows.
#include "app/ExportNote.h"
#include "app/Filebrowser.h"
#include "app/Main.h"
#include "editor/Editor.h"
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


// ---- Controls

void TMainForm::Wire3dView()
{
    P_3dArea->View()->OnInit = [this](TOpenGLQelPanel*) { P_3dViewInit(); };
    P_3dArea->View()->OnResize = [this](TOpenGLQelPanel*) { P_3dViewResize(); };
    P_3dArea->View()->OnPaint = [this](TOpenGLQelPanel*) { P_3dViewPaint(); };
    P_3dArea->View()->OnMouseDown = [this](TOpenGLQelPanel*, const TPanelMouse& m) { P_3dViewMouseDown(m); };
    P_3dArea->View()->OnMouseMove = [this](TOpenGLQelPanel*, const TPanelMouse& m) { P_3dViewMouseMove(m); };
    P_3dArea->View()->OnMouseUp = [this](TOpenGLQelPanel*, const TPanelMouse& m) { P_3dViewMouseUp(m); };
}

// ---- GL events

void TMainForm::P_3dViewInit()
{
    Gl3dInit();
    Camera3d_ = TViewCamera{};
}

void TMainForm::P_3dViewResize()
{
    if (TOpenGLQelPanel* view = P_3dArea->View())
        Gl3dResize(view->GLWidth(), view->GLHeight());
}

T3dPaintOptions TMainForm::Paint3dOptions() const
{
    T3dPaintOptions o;
    o.Lighting = !P_3dArea->LightPressed();
    o.Transparent = P_3dArea->TransparentPressed();
    o.Grid = P_3dArea->GridPressed();
    return o;
}

void TMainForm::Prepare3dScene(T3dScene& scene)
{
    Editor->Build3d(scene, P_AnimControl->PolygonTransparency(), P_AnimControl->EnvironmentTransparency());
}

void TMainForm::P_3dViewPaint()
{
    if (!Built_)
        return;
    Prepare3dScene(Scene3d_);
    Gl3dPaint(Camera3d_, Paint3dOptions(), Scene3d_);
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

void TMainForm::P_3dViewMouseDown(const TPanelMouse& m) { ViewMouseDown(Drag3d_, m.X, m.Y); }

void TMainForm::P_3dViewMouseUp(const TPanelMouse&) { ViewMouseUp(Drag3d_); }

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
    if (ViewMouseMove(Camera3d_, Drag3d_, v))
        P_3dArea->UpdateView();
}

// ---- Environment

void TMainForm::LoadEnviromentP3d1Click()
{
    if (ModelFileName().isEmpty()) {
        dialogs().ShowMessage(QString::fromLatin1(EnvironmentText::NoMainModel));
        return;
    }
    const QString path = dialogs().OpenFile(P3dOpenDialog());
    if (path.isEmpty())
        return;
    LoadEnvironment(path);
}

TEnvironmentLoad TMainForm::LoadEnvironment(const QString& path) { return Editor->LoadEnvironment(path); }

// ---- Export

void TMainForm::ExportModelClick(bool gltf)
{
    if (Models.empty()) {
        dialogs().ShowMessage(QStringLiteral("No P3d Model loaded!"));
        return;
    }
    const bool animation = gltf && !Doc.AnimFrames.empty();  // glTF keeps every frame, OBJ the one shown
    FileDialogOptions o;
    o.Title = gltf ? QStringLiteral("Export glTF") : QStringLiteral("Export OBJ");
    o.Filter = gltf ? QStringLiteral("glTF Binary|*.glb|glTF|*.gltf") : QStringLiteral("Wavefront OBJ|*.obj");
    o.DefaultExt = gltf ? QStringLiteral("*.glb") : QStringLiteral("*.obj");
    o.InitialDir = QFileInfo(ModelFileName()).absolutePath();
    o.FileName = ExportFileName(ModelFileName(), Doc.AnimFileName, animation, gltf ? QStringLiteral("glb") : QStringLiteral("obj"));
    o.OverwritePrompt = true;
    const QString path = dialogs().SaveFile(o);
    if (path.isEmpty())
        return;
    // A file the scene was read from would be lost.
    const QString refusal = Editor->OverwritesInput(path, {{QStringLiteral("settings file"), Paths.SettingsFile()}});
    if (!refusal.isEmpty()) {
        dialogs().ShowMessage(refusal);
        return;
    }
    TExportRequest r;
    r.Path = path;
    r.Format = !gltf ? TExportFormat::Obj
                     : ExportFormatForFile(path) == TExportFormat::Gltf ? TExportFormat::Gltf : TExportFormat::Glb;
    r.ModelName = FileNamePart(ModelFileName());
    r.Comment = QStringLiteral("torvane-anim export of %1").arg(r.ModelName);
    r.Environment = Editor->Options().Environment;
    r.Animate = !Doc.AnimFrames.empty();
    r.PlayTime = P_AnimControl->PlayTime();
    r.AnimationName = QFileInfo(Doc.AnimFileName).completeBaseName();
    r.Transparent = Menus.ExportTransparent1->isChecked() && P_3dArea->TransparentPressed();
    r.EnvironmentAlpha = P_AnimControl->EnvironmentTransparency();
    Editor->Pose();  // the views may not have drawn the last change yet
    const TExportResult result = Editor->Export(r);
    if (!result.Error.isEmpty()) {
        dialogs().ShowMessage(result.Error);
        return;
    }
    SetStatusNote(ExportSummary(path, QFileInfo(path).size(), animation, Doc.FrameCount(), Doc.ActAnimStep));
    if (!result.Notes.isEmpty())
        dialogs().ShowMessage(result.Notes.join(QLatin1Char('\n')));
}
