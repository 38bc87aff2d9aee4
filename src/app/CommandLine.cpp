#include "app/CommandLine.h"
#include "anim/AnimController.h"
#include "anim/Playback.h"
#include "anim/Rtm.h"
#include "anim/RtmInfo.h"
#include "app/HeadlessEditor.h"
#include "app/Main.h"
#include "model/ModelInfo.h"
#include "pose/ObjExport.h"
#include "app/RenderView.h"
#include "modelforms/ComponentTree.h"
#include "model/P3dmodell.h"
#include "platform/FileUtil.h"
#include "widgets/Chart.h"
#include "widgets/Controls.h"

#include <QFileInfo>
#include <QPainter>
#include <QTextStream>
#include <cmath>

namespace {
using Mode = TCommandLine::Mode;

// The largest picture render accepts; keeps a typo from asking for gigabytes.
constexpr int kMaxImageSide = 8192;
constexpr qint64 kMaxImagePixels = 8192LL * 4096;
// The model offset the editor's spin edits accept.
constexpr double kMaxOffset = 360;

struct TOptionUse {
    const char* Name;
    std::initializer_list<Mode> Modes;
};

bool ParseSize(const QString& text, int& w, int& h)
{
    const QStringList parts = text.split(QLatin1Char('x'), Qt::KeepEmptyParts, Qt::CaseInsensitive);
    if (parts.size() != 2)
        return false;
    bool okW = false, okH = false;
    w = parts[0].toInt(&okW);
    h = parts[1].toInt(&okH);
    return okW && okH && w >= 1 && h >= 1 && w <= kMaxImageSide && h <= kMaxImageSide &&
           qint64(w) * h <= kMaxImagePixels;
}

bool ParseOffset(const QString& text, std::array<double, 3>& v)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 3)
        return false;
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        v[static_cast<size_t>(i)] = parts[i].trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(v[static_cast<size_t>(i)]) || std::fabs(v[static_cast<size_t>(i)]) > kMaxOffset)
            return false;
    }
    return true;
}

const char* ModeName(Mode m)
{
    switch (m) {
    case Mode::Info: return "info";
    case Mode::Check: return "check";
    case Mode::Export: return "export";
    case Mode::Render: return "render";
    case Mode::New: return "new";
    case Mode::Frames: return "frames";
    default: return "the editor";
    }
}
}  // namespace

TCommandLine TCommandLine::Parse(const QStringList& args)
{
    TCommandLine c;
    const auto fail = [&c](const QString& error) {
        c.Kind = Mode::Usage;
        c.Error = error;
        return c;
    };
    QStringList given;  // the command options, to check against the command at the end
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const auto takesValue = [&]() -> std::optional<QString> {
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };
        if (c.Kind == Mode::Frames) {
            QString opError;
            if (ParseFrameOp(args, i, c.FrameOps, opError)) {
                if (!opError.isEmpty())
                    return fail(opError);
                continue;
            }
        }
        if (a == QLatin1String("--home")) {
            const auto v = takesValue();
            if (!v)
                return fail(QStringLiteral("--home needs a folder"));
            c.Home = *v;
        } else if (a == QLatin1String("--json")) {
            c.Json = true;
            given << a;
        } else if (a == QLatin1String("--frame")) {
            const auto v = takesValue();
            bool ok = false;
            const int n = v ? v->toInt(&ok) : -1;
            if (!ok || n < 0)
                return fail(QStringLiteral("--frame needs a frame number from 0 on"));
            c.Frame = n;
            given << a;
        } else if (a == QLatin1String("--time")) {
            const auto v = takesValue();
            bool ok = false;
            const double t = v ? v->toDouble(&ok) : -1;
            if (!ok || !(t >= 0 && t <= 1))
                return fail(QStringLiteral("--time needs a number from 0 to 1"));
            c.Time = t;
            given << a;
        } else if (a == QLatin1String("--offset")) {
            const auto v = takesValue();
            std::array<double, 3> off{};
            if (!v || !ParseOffset(*v, off))
                return fail(QStringLiteral("--offset needs X,Y,Z, each from -360 to 360"));
            c.Offset = off;
            given << a;
        } else if (a == QLatin1String("--no-total-move")) {
            c.NoTotalMove = true;
            given << a;
        } else if (a == QLatin1String("--view")) {
            const auto v = takesValue();
            c.Render = TCommandLine::Picture::View2d;
            if (v && *v == QLatin1String("front"))
                c.View = TViewKind::Front;
            else if (v && *v == QLatin1String("left"))
                c.View = TViewKind::Left;
            else if (v && *v == QLatin1String("top"))
                c.View = TViewKind::Top;
            else if (v && *v == QLatin1String("3d"))
                c.Render = TCommandLine::Picture::View3d;
            else if (v && *v == QLatin1String("all"))
                c.Render = TCommandLine::Picture::All;
            else
                return fail(QStringLiteral("--view needs front, left, top, 3d or all"));
            given << a;
        } else if (a == QLatin1String("--environment")) {
            const auto v = takesValue();
            if (!v || v->isEmpty())
                return fail(QStringLiteral("--environment needs a model file"));
            c.Environment = *v;
            given << a;
        } else if (a == QLatin1String("--proxy")) {
            const auto v = takesValue();
            if (!v || v->isEmpty())
                return fail(QStringLiteral("--proxy needs the name of a proxy selection"));
            c.Proxy = *v;
            given << a;
        } else if (a == QLatin1String("--size")) {
            const auto v = takesValue();
            if (!v || !ParseSize(*v, c.Width, c.Height))
                return fail(QStringLiteral("--size needs WIDTHxHEIGHT, each from 1 to %1, at most %2 pixels")
                                .arg(kMaxImageSide)
                                .arg(kMaxImagePixels));
            given << a;
        } else if (a == QLatin1String("-o") || a == QLatin1String("--output")) {
            const auto v = takesValue();
            if (!v || v->isEmpty())
                return fail(QStringLiteral("%1 needs a file name").arg(a));
            c.Output = *v;
            given << QStringLiteral("-o");
        } else if (c.Kind == Mode::Gui && c.Files.isEmpty() && a == QLatin1String("info")) {
            c.Kind = Mode::Info;
        } else if (c.Kind == Mode::Gui && c.Files.isEmpty() && a == QLatin1String("check")) {
            c.Kind = Mode::Check;
        } else if (c.Kind == Mode::Gui && c.Files.isEmpty() && a == QLatin1String("export")) {
            c.Kind = Mode::Export;
        } else if (c.Kind == Mode::Gui && c.Files.isEmpty() && a == QLatin1String("render")) {
            c.Kind = Mode::Render;
        } else if (c.Kind == Mode::Gui && c.Files.isEmpty() && a == QLatin1String("new")) {
            c.Kind = Mode::New;
        } else if (c.Kind == Mode::Gui && c.Files.isEmpty() && a == QLatin1String("frames")) {
            c.Kind = Mode::Frames;
        } else if (a.startsWith(QLatin1String("--")) || (a.startsWith(QLatin1Char('-')) && a.size() > 1)) {
            return fail(QStringLiteral("unknown option %1").arg(a));
        } else {
            c.Files << a;
        }
    }

    static const TOptionUse uses[] = {
        {"--json", {Mode::Info, Mode::Frames}},
        {"--frame", {Mode::Export, Mode::Render}},
        {"--time", {Mode::Export, Mode::Render}},
        {"--offset", {Mode::Export, Mode::Render}},
        {"--no-total-move", {Mode::Export, Mode::Render}},
        {"-o", {Mode::Export, Mode::Render, Mode::New, Mode::Frames}},
        {"--view", {Mode::Render}},
        {"--size", {Mode::Render}},
        {"--environment", {Mode::Export, Mode::Render}},
        {"--proxy", {Mode::Export, Mode::Render}},
    };
    for (const TOptionUse& u : uses) {
        if (!given.contains(QLatin1String(u.Name)))
            continue;
        bool allowed = false;
        for (Mode m : u.Modes)
            allowed = allowed || m == c.Kind;
        if (!allowed)
            return fail(QStringLiteral("%1 does not go with %2").arg(QLatin1String(u.Name), QLatin1String(ModeName(c.Kind))));
    }

    switch (c.Kind) {
    case Mode::Info:
        if (c.Files.size() != 1)
            return fail(QStringLiteral("info takes one file"));
        break;
    case Mode::Check:
        if (c.Files.size() != 2)
            return fail(QStringLiteral("check takes a model and an animation"));
        break;
    case Mode::Frames:
        if (c.Files.size() != 1)
            return fail(QStringLiteral("frames takes one animation"));
        break;
    case Mode::Export:
    case Mode::Render:
        if (c.Files.isEmpty() || c.Files.size() > 2)
            return fail(QStringLiteral("%1 takes a model and an optional animation").arg(QLatin1String(ModeName(c.Kind))));
        if (c.Output.isEmpty())
            return fail(QStringLiteral("%1 needs -o OUTPUT").arg(QLatin1String(ModeName(c.Kind))));
        if (c.Frame && c.Files.size() < 2)
            return fail(QStringLiteral("--frame needs an animation"));
        if (c.Time && c.Files.size() < 2)
            return fail(QStringLiteral("--time needs an animation"));
        if (c.Time && c.Frame)
            return fail(QStringLiteral("--frame and --time exclude each other"));
        if (!c.Proxy.isEmpty() && c.Environment.isEmpty())
            return fail(QStringLiteral("--proxy needs --environment"));
        break;
    case Mode::New:
        if (c.Files.isEmpty())
            return fail(QStringLiteral("new takes a model and the components to animate"));
        if (c.Output.isEmpty())
            return fail(QStringLiteral("new needs -o OUTPUT"));
        break;
    default:
        break;
    }
    return c;
}

bool TCommandLine::IsModelInfo() const
{
    return Kind == Mode::Info && Files.value(0).endsWith(QLatin1String(".p3d"), Qt::CaseInsensitive);
}

bool TCommandLine::NeedsWidgets() const
{
    return Kind == Mode::Check || Kind == Mode::Export || Kind == Mode::Render || Kind == Mode::New || IsModelInfo();
}

bool TCommandLine::NeedsOpenGL() const { return Kind == Mode::Render && Render != Picture::View2d; }

QString UsageText()
{
    return QStringLiteral(
        "usage: torvane-anim [--home DIR] [FILE.p3d] [FILE.rtm]\n"
        "       torvane-anim info FILE.rtm [--json]\n"
        "       torvane-anim [--home DIR] info MODEL.p3d [--json]\n"
        "       torvane-anim [--home DIR] check MODEL.p3d ANIM.rtm\n"
        "       torvane-anim frames ANIM.rtm OP... [--json] [-o OUT.rtm]\n"
        "                    OP: --at N | --insert-after | --delete | --retime N=TIME\n"
        "                        | --select F-L | --linearize | --mirror | --move T | --copy T\n"
        "                        | --delete-range\n"
        "       torvane-anim [--home DIR] export MODEL.p3d [ANIM.rtm] [--frame N | --time T] [--offset X,Y,Z]\n"
        "                    [--no-total-move] [--environment FILE.p3d [--proxy NAME]] -o OUT.obj\n"
        "       torvane-anim [--home DIR] render MODEL.p3d [ANIM.rtm] [--frame N | --time T] [--offset X,Y,Z]\n"
        "                    [--no-total-move] [--environment FILE.p3d [--proxy NAME]]\n"
        "                    [--view front|left|top|3d|all] [--size WxH] -o OUT.png\n"
        "       torvane-anim [--home DIR] new MODEL.p3d COMPONENT... -o OUT.rtm\n"
        "       (--view 3d and --view all need a display with OpenGL; --time T is 0 to 1)\n");
}

namespace {

int RunModelInfo(const TCommandLine& cmd, QTextStream& out, QTextStream& err)
{
    THeadlessEditor editor(cmd.Home, err);
    if (!editor.LoadModel(cmd.Files[0]))
        return ExitFileError;
    const TMainForm& form = editor.Form();
    std::vector<TModelInfoNode> tree;
    for (QTreeWidgetItem* node : form.TreeNodes())
        tree.push_back({TMainForm::SelectionOf(node), TComponentTree::Level(node)});
    out << (cmd.Json ? ModelInfoJson(*form.MainModel(), tree) : ModelInfoText(*form.MainModel(), tree));
    out.flush();
    return ExitOk;
}

int RunCheck(const TCommandLine& cmd, QTextStream& out, QTextStream& err)
{
    THeadlessEditor editor(cmd.Home, err);
    if (!editor.LoadModel(cmd.Files[0]))
        return ExitFileError;
    // The load shows the same report as a message; it is printed once, on out.
    TStreamDialogs& d = editor.StreamDialogs();
    d.Hold = true;
    const bool loaded = editor.LoadAnimation(cmd.Files[1]);
    d.Hold = false;
    const QString report = loaded ? editor.Form().MissingAnimComponentsReport() : QString();
    const QString shown = QStringLiteral("following Animation Components were not found in the Model:\n") + report;
    for (const QString& m : d.Held)
        if (report.isEmpty() || m != shown)
            d.Write(m);
    d.Held.clear();
    if (!loaded)
        return ExitFileError;
    if (report.isEmpty())
        return ExitOk;
    out << report.mid(1) << Qt::endl;  // every line starts with a line break
    return ExitMissingComponents;
}

// Loads the model and the animation, sets the frame and the pose options and refreshes the
// display: the display points and the views then hold what the editor shows. Returns an
// exit code, ExitOk to go on.
int PrepareScene(const TCommandLine& cmd, THeadlessEditor& editor, QTextStream& err)
{
    if (!editor.LoadModel(cmd.Files[0]))
        return ExitFileError;
    if (cmd.Files.size() > 1 && !editor.LoadAnimation(cmd.Files[1]))
        return ExitFileError;
    TMainForm& form = editor.Form();
    if (!cmd.Environment.isEmpty()) {
        // As the menu loads it, the proxy named (or the first one) taken as the dialog's answer.
        // Every refusal is an error here: the picture or file would not be what was asked for.
        editor.StreamDialogs().Choice = cmd.Proxy;
        if (form.LoadEnvironment(QFileInfo(cmd.Environment).absoluteFilePath()) != TMainForm::TEnvironmentLoad::Loaded)
            return ExitFileError;
    }
    if (cmd.Frame) {
        // The editor would clamp the frame to the last one; a tool that quietly draws
        // another frame than asked for is worse than one that says so.
        if (*cmd.Frame >= form.Doc.AnimStepCount) {
            err << QStringLiteral("torvane-anim: --frame %1 is out of range: the animation has %2 frames")
                       .arg(*cmd.Frame)
                       .arg(form.Doc.AnimStepCount)
                << Qt::endl;
            return ExitUsage;
        }
        form.SetActStep(*cmd.Frame);
    }
    if (cmd.Time) {
        // As playback shows it that far through one pass, every drawing step taking no time.
        const TPlaybackPose pose = PlaybackPoseAt(form.Doc.AnimFrames, *cmd.Time);
        form.SetActStep(pose.Frame);
        if (pose.Fraction > 0) {
            form.Doc.PlayFraction = pose.Fraction;
            form.ShowInterpolated(pose.Fraction);
        }
    }
    if (cmd.Offset) {
        form.OffX->setValue((*cmd.Offset)[0]);
        form.OffY->setValue((*cmd.Offset)[1]);
        form.OffZ->setValue((*cmd.Offset)[2]);
    }
    if (cmd.NoTotalMove)
        form.B_TotalMove->setChecked(false);
    form.RefreshDisplay();
    return ExitOk;
}

QString SceneComment(const TCommandLine& cmd, const TMainForm& form)
{
    QString c = QStringLiteral("torvane-anim export of %1").arg(FileNamePart(form.ModelFileName));
    if (cmd.Files.size() > 1)
        c += QStringLiteral("\nanimation %1, frame %2 of %3")
                 .arg(FileNamePart(cmd.Files[1]), QString::number(form.Doc.ActAnimStep),
                      QString::number(form.Doc.AnimStepCount));
    else
        c += QStringLiteral("\nrest pose");
    return c;
}

// The animation "New Animation..." then "Accept" builds with the named components selected
// in the tree, in that order: each with its subtree, each name once.
int RunNew(const TCommandLine& cmd, QTextStream&, QTextStream& err)
{
    THeadlessEditor editor(cmd.Home, err);
    if (!editor.LoadModel(cmd.Files[0]))
        return ExitFileError;
    TMainForm& form = editor.Form();
    form.TV_EditComponents->clearSelection();
    for (const QString& name : cmd.Files.mid(1)) {
        QTreeWidgetItem* node = form.FindNodeByName(name);
        if (!node) {
            err << QStringLiteral("Component %1 not found in %2").arg(name, FileNamePart(cmd.Files[0])) << Qt::endl;
            return ExitFileError;
        }
        node->setSelected(true);
    }
    if (const QString refused = form.Anim->CreateNewAnimation(form.SelectedSubtreeNames()); !refused.isEmpty()) {
        err << refused << Qt::endl;
        return ExitFileError;
    }
    if (const QString error = form.Anim->SaveAnimation(cmd.Output); !error.isEmpty()) {
        err << error << Qt::endl;
        return ExitFileError;
    }
    return ExitOk;
}

int RunExport(const TCommandLine& cmd, QTextStream&, QTextStream& err)
{
    THeadlessEditor editor(cmd.Home, err);
    if (const int rc = PrepareScene(cmd, editor, err); rc != ExitOk)
        return rc;
    const TMainForm& form = editor.Form();
    TAtomicFileWriter out(cmd.Output);
    const TObjReport report =
        WritePosedObj(form.Models, form.TreeComponents(), form.PoseParams(), SceneComment(cmd, form), out);
    if (!out.Ok() || !out.Commit()) {
        err << QStringLiteral("Cannot write file %1: %2").arg(cmd.Output, out.Error()) << Qt::endl;
        return ExitFileError;
    }
    if (report.NonFinitePoints > 0)
        err << QStringLiteral("torvane-anim: %1: %2 of %3 points are not finite numbers; they are written at the origin")
                   .arg(FileNamePart(form.ModelFileName))
                   .arg(report.NonFinitePoints)
                   .arg(report.Points)
            << Qt::endl;
    return ExitOk;
}

// The 3D view at its initial camera; a null image after saying why on err.
QImage Render3d(TMainForm& form, int width, int height, QTextStream& err)
{
    QString error;
    const QImage image = form.Render3d(width, height, TViewCamera{}, &error);
    if (image.isNull())
        err << QStringLiteral("torvane-anim: the 3D view needs a display with OpenGL (run under xvfb-run -a, for "
                              "example): %1")
                   .arg(error)
            << Qt::endl;
    return image;
}

// The four views as the main window lays them out: front over top on the left, the left
// view over the 3D view on the right.
int RenderAll(const TCommandLine& cmd, TMainForm& form, QTextStream& err)
{
    const int leftW = cmd.Width / 2, rightW = cmd.Width - leftW, topH = cmd.Height / 2, bottomH = cmd.Height - topH;
    const QRect frontR(0, 0, leftW, topH), topR(0, topH, leftW, bottomH), leftR(leftW, 0, rightW, topH),
        view3dR(leftW, topH, rightW, bottomH);
    QImage picture(cmd.Width, cmd.Height, QImage::Format_RGB32);
    picture.fill(Qt::black);
    if (!view3dR.isEmpty()) {
        const QImage view3d = Render3d(form, view3dR.width(), view3dR.height(), err);
        if (view3d.isNull())
            return ExitFileError;
        QPainter(&picture).drawImage(view3dR.topLeft(), view3d);
    }
    const std::pair<TViewKind, QRect> charts[] = {{TViewKind::Front, frontR}, {TViewKind::Top, topR}, {TViewKind::Left, leftR}};
    for (const auto& [kind, r] : charts)
        GrabChart(*form.Views()[size_t(kind)]);  // lays the hidden window out once
    for (const auto& [kind, r] : charts)
        form.Views()[size_t(kind)]->resize(r.size());
    form.RefreshDisplay();  // fits each range to its view's size
    QPainter p(&picture);
    for (const auto& [kind, r] : charts)
        if (!r.isEmpty())
            p.drawImage(r.topLeft(), GrabChart(*form.Views()[size_t(kind)]));
    p.end();
    QString error;
    if (!SavePngAtomic(picture, cmd.Output, &error)) {
        err << QStringLiteral("Cannot write file %1: %2").arg(cmd.Output, error) << Qt::endl;
        return ExitFileError;
    }
    return ExitOk;
}

int RunRender(const TCommandLine& cmd, QTextStream&, QTextStream& err)
{
    THeadlessEditor editor(cmd.Home, err);
    if (const int rc = PrepareScene(cmd, editor, err); rc != ExitOk)
        return rc;
    TMainForm& form = editor.Form();
    if (cmd.Render == TCommandLine::Picture::All)
        return RenderAll(cmd, form, err);
    if (cmd.Render == TCommandLine::Picture::View3d) {
        const QImage image = Render3d(form, cmd.Width, cmd.Height, err);
        if (image.isNull())
            return ExitFileError;
        QString error;
        if (!SavePngAtomic(image, cmd.Output, &error)) {
            err << QStringLiteral("Cannot write file %1: %2").arg(cmd.Output, error) << Qt::endl;
            return ExitFileError;
        }
        return ExitOk;
    }
    TChart* view = form.Views()[static_cast<size_t>(cmd.View)];
    // Drawing a widget of a hidden window lays the window out first, which would size the
    // view to its place in the layout; after that the view keeps the size given here, and
    // the refresh fits the range to that size as it does on screen.
    GrabChart(*view);
    view->resize(cmd.Width, cmd.Height);
    form.RefreshDisplay();
    const QImage image = GrabChart(*view);
    if (view->size() != QSize(cmd.Width, cmd.Height)) {
        err << QStringLiteral("torvane-anim: the view could not be drawn at %1x%2").arg(cmd.Width).arg(cmd.Height)
            << Qt::endl;
        return ExitFileError;
    }
    QString error;
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
    QByteArray bytes;
    if (!ReadWholeFile(ResolveCaseInsensitive(path), bytes)) {
        err << QStringLiteral("Cannot open file %1").arg(path) << Qt::endl;
        return ExitFileError;
    }
    TAnimDocument doc;
    const QString error = ReadRtm(bytes, doc);
    if (!error.isEmpty()) {
        err << error << Qt::endl;
        return ExitFileError;
    }
    bytes = QByteArray();  // the document holds it all now
    if (cmd.Json)
        WriteRtmInfoJson(doc, out);
    else
        WriteRtmInfoText(doc, out);
    out.flush();
    return ExitOk;
}

int RunCommand(const TCommandLine& cmd, QTextStream& out, QTextStream& err)
{
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
