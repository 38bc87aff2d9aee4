// The command line's grammar: what the arguments ask for, without running anything, so
// it can be checked (and fuzzed) without the rest of the commands.
#include "app/CommandLine.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <optional>

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
    case Mode::Version: return "--version";
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
        } else if (a == QLatin1String("--format")) {
            const auto v = takesValue();
            if (v && *v == QLatin1String("obj"))
                c.Format = TExportFormat::Obj;
            else if (v && *v == QLatin1String("gltf"))
                c.Format = TExportFormat::Gltf;
            else if (v && *v == QLatin1String("glb"))
                c.Format = TExportFormat::Glb;
            else
                return fail(QStringLiteral("--format needs obj, gltf or glb"));
            given << a;
        } else if (a == QLatin1String("--play-time")) {
            const auto v = takesValue();
            bool ok = false;
            const double t = v ? v->toDouble(&ok) : 0;
            if (!ok || !(t > 0 && t <= 1e6))
                return fail(QStringLiteral("--play-time needs seconds above 0"));
            c.PlayTime = t;
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
        } else if (c.Kind == Mode::Gui && c.Files.isEmpty() && a == QLatin1String("--version")) {
            c.Kind = Mode::Version;
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
        {"--format", {Mode::Export}},
        {"--play-time", {Mode::Export}},
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
    case Mode::Version:
        if (!c.Files.isEmpty())
            return fail(QStringLiteral("--version takes no file"));
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
    return Kind == Mode::Render;
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
        "                        | --delete-range | --undo | --redo\n"
        "       torvane-anim [--home DIR] export MODEL.p3d [ANIM.rtm] [--frame N | --time T] [--offset X,Y,Z]\n"
        "                    [--no-total-move] [--environment FILE.p3d [--proxy NAME]]\n"
        "                    [--format obj|gltf|glb] [--play-time S] -o OUT.obj|OUT.gltf|OUT.glb\n"
        "       torvane-anim [--home DIR] render MODEL.p3d [ANIM.rtm] [--frame N | --time T] [--offset X,Y,Z]\n"
        "                    [--no-total-move] [--environment FILE.p3d [--proxy NAME]]\n"
        "                    [--view front|left|top|3d|all] [--size WxH] -o OUT.png\n"
        "       torvane-anim [--home DIR] new MODEL.p3d COMPONENT... -o OUT.rtm\n"
        "       torvane-anim [--home DIR] --version\n"
        "       (--view 3d and --view all need a display with OpenGL; --time T is 0 to 1)\n");
}

