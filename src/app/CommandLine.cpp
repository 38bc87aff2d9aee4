#include "app/CommandLine.h"
#include "anim/AnimController.h"
#include "anim/Playback.h"
#include "anim/Rtm.h"
#include "anim/RtmInfo.h"
#include "app/FramesCommand.h"
#include "app/Paths.h"
#include "app/RenderView.h"
#include "app/Settings.h"
#include "model/Linking.h"
#include "model/ModelInfo.h"
#include "platform/AtomicFileDevice.h"
#include "platform/DebugOut.h"
#include "platform/FileUtil.h"
#include "platform/Ini.h"
#include "editor/Editor.h"
#include "platform/JsonText.h"
#include "pose/GltfImport.h"
#include "pose/ModelExport.h"

#include <QFileDevice>
#include <QFileInfo>
#include <QHash>
#include <QTextStream>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <new>

namespace {
using Mode = TCommandLine::Mode;
}  // namespace

namespace {

// The scene a command works on, set up as the editor sets a model up with the home
// folder's settings file; the editor's messages go to err and the readers' progress lines
// nowhere. Messages name the file they are about: no dialog shows which load they come from.
struct TSceneRun {
    TSettings Settings;
    TEditor Scene;
    QString SettingsFile;
    bool SettingsUnread = false;  // the settings file exists but could not be read (said so)
    QString About;  // the file the messages are about while it is set
    TSceneRun(const QString& home, QTextStream& err)
    {
        SetDebugSink([](const QString&) {});
        const TAppPaths paths = TAppPaths::FromHome(home);
        SettingsFile = paths.SettingsFileToRead();
        const TIniFile ini(SettingsFile);
        if (!ini.ReadError().isEmpty()) {
            err << AboutFile(SettingsFile, ini.ReadError()) << Qt::endl;
            SettingsUnread = true;
        }
        Settings.Read(ini, paths.StartDir, paths.DataDir);
        Scene.LinkDataDir = paths.LinkDataDir;
        Scene.TranslationFile = Settings.TranslationFile;
        Scene.ColorFile = Settings.ColorFile;
        // The views are drawn as the window shows them with these settings.
        Scene.EditOptions([this](TEditorOptions& o) { Settings.ToOptions(o); });
        Scene.NameFiles = true;
        Scene.Message = [this, &err](const QString& text) { err << AboutFile(About, text) << Qt::endl; };
    }
    ~TSceneRun() { SetDebugSink({}); }
    // The model as the editor loads it; false (message out) unless the reader took it whole
    // and the files the output depends on (needs: TModelSetup::Unread flags) could be read,
    // since a tool's output from a refused file would not be the model asked for. Without
    // the settings file nothing is known of the names and colours it selects.
    bool LoadModel(const QString& path, unsigned needs)
    {
        return !SettingsUnread && Scene.LoadModel(path) && Scene.Models().front()->Status == TP3dModell::ReadStatus::Ok &&
               !(Scene.Setup().Unread & needs);
    }
    // The animation as the editor loads it; false (message out) also when its first frame
    // could not be put on the model.
    bool LoadAnimation(const QString& path)
    {
        bool posed = true;
        About = path;
        const bool loaded = Scene.LoadAnimation(path, &posed) && posed;
        About.clear();
        return loaded;
    }
};

// What a command's output takes from the files of the model set-up.
constexpr unsigned AllSetupFiles = TModelSetup::UnreadNames | TModelSetup::UnreadColors | TModelSetup::UnreadLinking;

// An output that is one of the files the command read would be lost: refused before
// anything is written (false, message out). Same file means the same file on disk, by
// whatever path or link it is named. (frames, which edits its animation, has no other.)
bool OutputIsNoInput(const TCommandLine& cmd, const TSceneRun& run, QTextStream& err)
{
    QList<TEditor::TInputFile> extra;
    // The animation or glTF file named, also when it was not (or not yet) read.
    if (cmd.Kind != Mode::New && cmd.Files.size() > 1)
        extra.push_back({QStringLiteral("animation"), cmd.Files[1]});
    extra.push_back({QStringLiteral("settings file"), run.SettingsFile});
    if (const QString refusal = run.Scene.OverwritesInput(cmd.Output, extra); !refusal.isEmpty()) {
        err << QStringLiteral("torvane-anim: ") << refusal << Qt::endl;
        return false;
    }
    return true;
}

int RunModelInfo(const TCommandLine& cmd, QTextStream& out, QTextStream& err)
{
    TSceneRun run(cmd.Home, err);
    if (!run.LoadModel(cmd.Files[0], AllSetupFiles))
        return ExitFileError;
    const TModelSetup& setup = run.Scene.Setup();
    const TComponentNodes nodes = setup.Forest.Nodes();
    out << (cmd.Json ? ModelInfoJson(*setup.Models.front(), nodes) : ModelInfoText(*setup.Models.front(), nodes));
    out.flush();
    return ExitOk;
}

int RunCheck(const TCommandLine& cmd, QTextStream& out, QTextStream& err)
{
    TSceneRun run(cmd.Home, err);
    // The report takes display names from the translation file and nothing else from the
    // set-up.
    if (!run.LoadModel(cmd.Files[0], 0) || !run.LoadAnimation(cmd.Files[1]))
        return ExitFileError;
    const QString report = run.Scene.MissingReport();
    if (report.isEmpty())
        return ExitOk;
    if (run.Scene.Setup().Unread & TModelSetup::UnreadNames)
        return ExitFileError;  // the names would be wrong; the file's message is out
    out << report.mid(1) << Qt::endl;  // every line starts with a line break
    return ExitMissingComponents;
}

// Loads the model, the animation and the environment, shows the frame or the instant of
// playback asked for and poses the model: the display points then hold what the editor
// shows. Returns an exit code, ExitOk to go on.
int PrepareScene(const TCommandLine& cmd, TSceneRun& run, QTextStream& err)
{
    TEditor& scene = run.Scene;
    if (!run.LoadModel(cmd.Files[0], AllSetupFiles))
        return ExitFileError;
    if (cmd.Files.size() > 1) {
        if (!run.LoadAnimation(cmd.Files[1]))
            return ExitFileError;
        if (const QString report = scene.MissingReport(); !report.isEmpty())
            scene.Message(QStringLiteral("following Animation Components were not found in the Model:\n") + report);
    }
    if (!cmd.Environment.isEmpty()) {
        // The proxy named (or the first one) answers the proxy question. Every refusal is an
        // error here: the picture or file would not be what was asked for.
        scene.ChooseProxy = [&cmd, &scene](const QStringList& names) {
            if (cmd.Proxy.isEmpty())
                return names.isEmpty() ? -1 : 0;
            const int i = int(names.indexOf(cmd.Proxy));
            if (i < 0)
                scene.Message(
                    QStringLiteral("Select Proxy: \"%1\" is not one of: %2").arg(cmd.Proxy, names.join(QStringLiteral(", "))));
            return i;
        };
        run.About = cmd.Environment;
        const bool placed = scene.LoadEnvironment(cmd.Environment) == TEnvironmentLoad::Loaded;
        run.About.clear();
        if (!placed)
            return ExitFileError;
    }
    const TAnimDocument& doc = scene.Document();
    if (cmd.Frame) {
        // The editor would clamp the frame to the last one; a tool that quietly draws
        // another frame than asked for is worse than one that says so.
        if (*cmd.Frame >= doc.AnimStepCount) {
            err << QStringLiteral("torvane-anim: --frame %1 is out of range: the animation has %2 frames")
                       .arg(*cmd.Frame)
                       .arg(doc.AnimStepCount)
                << Qt::endl;
            return ExitUsage;
        }
        scene.Anim().SetActStep(*cmd.Frame);
    }
    if (cmd.Time)
        scene.ShowTime(*cmd.Time);
    TEditorOptions options = scene.Options();
    if (cmd.Offset)
        std::copy(cmd.Offset->begin(), cmd.Offset->end(), options.Offset.begin());
    options.TotalMove = !cmd.NoTotalMove;
    scene.SetOptions(options);
    scene.Pose();
    return ExitOk;
}

QString SceneComment(const TCommandLine& cmd, const TEditor& scene)
{
    QString c = QStringLiteral("torvane-anim export of %1").arg(FileNamePart(scene.Setup().ModelFileName));
    if (cmd.Files.size() > 1)
        c += QStringLiteral("\nanimation %1, frame %2 of %3")
                 .arg(FileNamePart(cmd.Files[1]), QString::number(scene.Document().ActAnimStep),
                      QString::number(scene.Document().AnimStepCount));
    else
        c += QStringLiteral("\nrest pose");
    return c;
}

// The animation "New Animation..." then "Accept" builds with the named components selected
// in the tree, in that order: each with its subtree, each name once.
int RunNew(const TCommandLine& cmd, QTextStream&, QTextStream& err)
{
    TSceneRun run(cmd.Home, err);
    // The tree order of the names (sorted by display name) and the subtrees (linking).
    if (!run.LoadModel(cmd.Files[0], TModelSetup::UnreadNames | TModelSetup::UnreadLinking) || !OutputIsNoInput(cmd, run, err))
        return ExitFileError;
    const TComponentNodes nodes = run.Scene.Setup().Forest.Nodes();
    // Indexed once: a scan of the model per name would be quadratic.
    QHash<QString, int> byName;
    byName.reserve(qsizetype(nodes.size()));
    for (size_t i = 0; i < nodes.size(); ++i)
        if (!nodes[i].Component->Name.isEmpty() && !byName.contains(nodes[i].Component->Name))
            byName.insert(nodes[i].Component->Name, int(i));
    std::vector<int> selected;
    for (const QString& name : cmd.Files.mid(1)) {
        const int node = byName.value(name, -1);
        if (node < 0) {
            err << QStringLiteral("Component %1 not found in %2").arg(name, FileNamePart(cmd.Files[0])) << Qt::endl;
            return ExitFileError;
        }
        selected.push_back(node);
    }
    const QStringList names = SubtreeNames(nodes, selected);
    for (const QString& name : names)
        if (!Rtm::FitsNameField(name)) {
            err << QStringLiteral("Component %1: its name has %2 characters, more than the 32 an RTM file holds")
                       .arg(name)
                       .arg(name.size())
                << Qt::endl;
            return ExitFileError;
        }
    TAnimController& anim = run.Scene.Anim();
    if (const QString refused = anim.CreateNewAnimation(names); !refused.isEmpty()) {
        err << refused << Qt::endl;
        return ExitFileError;
    }
    if (const QString error = anim.SaveAnimation(cmd.Output); !error.isEmpty()) {
        err << error << Qt::endl;
        return ExitFileError;
    }
    return ExitOk;
}

// A glTF animation as the model's animation: the RTM written, the play time printed.
int RunImport(const TCommandLine& cmd, QTextStream& out, QTextStream& err)
{
    TSceneRun run(cmd.Home, err);
    // Only the components' names count, which the model's own file gives.
    if (!run.LoadModel(cmd.Files[0], 0) || !OutputIsNoInput(cmd, run, err))
        return ExitFileError;
    TGltfImportOptions options;
    options.Animation = cmd.Animation;
    options.Fps = cmd.Fps.value_or(0);
    const TGltfImport imported = run.Scene.ImportGltf(ResolveCaseInsensitive(cmd.Files[1]), options);
    if (!imported.Ok()) {
        err << imported.Error << Qt::endl;
        return ExitFileError;
    }
    for (const QString& warning : imported.Warnings)
        err << QStringLiteral("torvane-anim: ") << warning << Qt::endl;
    if (const QString error = run.Scene.Anim().SaveAnimation(cmd.Output); !error.isEmpty()) {
        err << error << Qt::endl;
        return ExitFileError;
    }
    out << QStringLiteral("%1 frames, play time %2 s")
               .arg(run.Scene.Document().FrameCount())
               .arg(ShortestText(float(imported.PlayTime)))
        << Qt::endl;
    return ExitOk;
}

int RunExport(const TCommandLine& cmd, QTextStream&, QTextStream& err)
{
    TSceneRun run(cmd.Home, err);
    if (const int rc = PrepareScene(cmd, run, err); rc != ExitOk)
        return rc;
    if (!OutputIsNoInput(cmd, run, err))
        return ExitFileError;
    const TEditor& scene = run.Scene;
    TExportRequest request;
    request.Path = cmd.Output;
    request.Format = cmd.Format.value_or(ExportFormatForFile(cmd.Output));
    request.Comment = SceneComment(cmd, scene);
    request.ModelName = FileNamePart(scene.Setup().ModelFileName);
    // The whole animation unless one pose was asked for.
    request.Animate = cmd.Files.size() > 1 && !cmd.Frame && !cmd.Time;
    request.PlayTime = cmd.PlayTime.value_or(0);
    request.AnimationName = cmd.Files.size() > 1 ? QFileInfo(cmd.Files[1]).completeBaseName() : QString();
    if (request.Animate && request.Format != TExportFormat::Obj)
        request.Comment = QStringLiteral("torvane-anim export of %1\nanimation %2, %3 frames")
                              .arg(request.ModelName, FileNamePart(cmd.Files[1]))
                              .arg(scene.Document().FrameCount());
    request.Transparent = cmd.Transparent;
    const TExportResult result = scene.Export(request);
    if (!result.Error.isEmpty()) {
        err << result.Error << Qt::endl;
        return ExitFileError;
    }
    for (const QString& note : result.Notes)
        err << QStringLiteral("torvane-anim: ") << note << Qt::endl;
    return ExitOk;
}

int RunRender(const TCommandLine& cmd, QTextStream&, QTextStream& err)
{
    TSceneRun run(cmd.Home, err);
    if (const int rc = PrepareScene(cmd, run, err); rc != ExitOk)
        return rc;
    if (!OutputIsNoInput(cmd, run, err))
        return ExitFileError;
    TEditorOptions options = run.Scene.Options();
    options.OnionFrames = cmd.Onion;
    options.MotionPath = cmd.MotionPath;
    run.Scene.SetOptions(options);
    if (!cmd.MotionPath.isEmpty() && run.Scene.ShownMotionPath().IsEmpty()) {
        // A picture without the path asked for would pass for one with it.
        const bool known = run.Scene.FindComponent(cmd.MotionPath);
        err << (known ? QStringLiteral("Component %1 is not in the animation").arg(cmd.MotionPath)
                      : QStringLiteral("Component %1 not found in %2").arg(cmd.MotionPath, FileNamePart(cmd.Files[0])))
            << Qt::endl;
        return ExitFileError;
    }
    TViewPictures pictures(run.Scene);
    // The model goes before the views are painted: a large one and the picture never take
    // the memory at once.
    pictures.Drawn = [&run] { run.Scene.ClearModel(); };
    QImage image;
    QString error;
    switch (cmd.Render) {
    case TCommandLine::Picture::View2d:
        image = pictures.View(cmd.View, QSize(cmd.Width, cmd.Height));
        break;
    case TCommandLine::Picture::View3d:
        image = Render3dPicture(run.Scene, QSize(cmd.Width, cmd.Height), &error);
        break;
    case TCommandLine::Picture::All:
        image = pictures.All(QSize(cmd.Width, cmd.Height), &error);
        break;
    }
    if (image.isNull()) {
        err << QStringLiteral("torvane-anim: the 3D view needs a display with OpenGL (run under xvfb-run -a, for "
                              "example): %1")
                   .arg(error)
            << Qt::endl;
        return ExitFileError;
    }
    if (!SavePngAtomic(image, cmd.Output, &error)) {
        err << QStringLiteral("Cannot write file %1: %2").arg(cmd.Output, error) << Qt::endl;
        return ExitFileError;
    }
    return ExitOk;
}

}  // namespace

int RunInfoCommand(const TCommandLine& cmd, QTextStream& out, QTextStream& err)
{
    if (cmd.IsModelInfo())
        return RunModelInfo(cmd, out, err);
    const QString path = cmd.Files.value(0);
    const TRtmData data = ReadRtmFile(ResolveCaseInsensitive(path), path);
    if (!data.Ok()) {
        err << AboutFile(path, data.Error) << Qt::endl;
        return ExitFileError;
    }
    if (cmd.Json)
        WriteRtmInfoJson(data, out);
    else
        WriteRtmInfoText(data, out);
    out.flush();
    return ExitOk;
}

QString HomeProblem(const TCommandLine& cmd)
{
    if (cmd.Home.isEmpty() || IsFolder(cmd.Home))
        return {};
    return QStringLiteral("torvane-anim: --home %1: %2")
        .arg(cmd.Home, FileExists(cmd.Home) ? SystemErrorText(ENOTDIR) : SystemErrorText(ENOENT));
}

namespace {
int Dispatch(const TCommandLine& cmd, QTextStream& out, QTextStream& err)
{
    if (cmd.Kind != Mode::Usage) {
        if (const QString problem = HomeProblem(cmd); !problem.isEmpty()) {
            err << problem << Qt::endl;
            return ExitFileError;
        }
    }
    switch (cmd.Kind) {
    case Mode::Info:
        return RunInfoCommand(cmd, out, err);
    case Mode::Check:
        return RunCheck(cmd, out, err);
    case Mode::Export:
        return RunExport(cmd, out, err);
    case Mode::Render:
        return RunRender(cmd, out, err);
    case Mode::New:
        return RunNew(cmd, out, err);
    case Mode::Frames:
        return RunFramesCommand(cmd, out, err);
    case Mode::Import:
        return RunImport(cmd, out, err);
    case Mode::Version:
        out << VersionText(TAppPaths::FromHome(cmd.Home));
        out.flush();
        return ExitOk;
    case Mode::Usage:
        err << QStringLiteral("torvane-anim: ") << cmd.Error << Qt::endl << UsageText();
        err.flush();
        return ExitUsage;
    case Mode::Gui:
        break;
    }
    err << QStringLiteral("torvane-anim: no command given") << Qt::endl << UsageText();
    err.flush();
    return ExitUsage;
}
}  // namespace

int RunCommand(const TCommandLine& cmd, QTextStream& out, QTextStream& err)
{
    int code = ExitFileError;
    try {
        code = Dispatch(cmd, out, err);
    } catch (const std::bad_alloc&) {
        // Whatever ran out of memory wrote nothing: every output file is written atomically.
        err << SystemErrorText(ENOMEM) << Qt::endl;
    }
    // Output that did not arrive (a full disk, a closed pipe) is a failure, not a result.
    out.flush();
    if (out.status() == QTextStream::WriteFailed) {
        const auto* file = qobject_cast<const QFileDevice*>(out.device());
        err << QStringLiteral("torvane-anim: the output could not be written: %1")
                   .arg(file ? file->errorString() : SystemErrorText(EIO))
            << Qt::endl;
        code = ExitFileError;
    }
    err.flush();
    return code;
}
