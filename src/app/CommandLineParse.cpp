// The command line's grammar: what the arguments ask for, without running anything, so
// it can be checked (and fuzzed) without the rest of the commands. Every command and
// option is one row of a table below; one generic pass reads the arguments over them.
#include "app/CommandLine.h"
#include "pose/OnionSkin.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <iterator>

namespace {
using Mode = TCommandLine::Mode;
using Step = TFrameOp::Kind;

// The largest picture render accepts; keeps a typo from asking for gigabytes.
constexpr int kMaxImageSide = 8192;
constexpr qint64 kMaxImagePixels = 8192LL * 4096;
// The model offset the editor's spin edits accept.
constexpr double kMaxOffset = 360;
static_assert(kMaxImageSide == 8192 && kMaxImagePixels == 33554432, "the --size message names the limits");

// Sets of commands, one bit per mode.
constexpr unsigned In(Mode m) { return 1u << unsigned(m); }
constexpr unsigned kEvery = ~0u;
constexpr unsigned kPosing = In(Mode::Export) | In(Mode::Render);

struct TCommandSpec {
    Mode Kind;
    const char* Word;
    int MinFiles;
    int MaxFiles;  // -1: no limit
    const char* FilesError;  // %1: the command
    bool NeedsOutput;
};

const TCommandSpec kCommands[] = {
    {Mode::Info, "info", 1, 1, "info takes one file", false},
    {Mode::Check, "check", 2, 2, "check takes a model and an animation", false},
    {Mode::Export, "export", 1, 2, "%1 takes a model and an optional animation", true},
    {Mode::Render, "render", 1, 2, "%1 takes a model and an optional animation", true},
    {Mode::New, "new", 1, -1, "new takes a model and the components to animate", true},
    {Mode::Frames, "frames", 1, 1, "frames takes one animation", false},
    {Mode::Import, "import", 2, 2, "import takes a model and a glTF file", true},
    {Mode::Version, "--version", 0, 0, "--version takes no file", false},
};

const char* CommandName(Mode m)
{
    for (const TCommandSpec& s : kCommands)
        if (s.Kind == m)
            return s.Word;
    return "the editor";
}

bool ToInt(const QString& text, int& n)
{
    bool ok = false;
    n = text.toInt(&ok);
    return ok;
}

bool ParseSize(const QString& text, int& w, int& h)
{
    const QStringList parts = text.split(QLatin1Char('x'), Qt::KeepEmptyParts, Qt::CaseInsensitive);
    if (parts.size() != 2)
        return false;
    bool okW = false, okH = false;
    w = parts[0].toInt(&okW);
    h = parts[1].toInt(&okH);
    return okW && okH && w >= 1 && h >= 1 && w <= kMaxImageSide && h <= kMaxImageSide && qint64(w) * h <= kMaxImagePixels;
}

bool ParseOffset(const QString& text, std::array<double, 3>& v)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 3)
        return false;
    for (size_t i = 0; i < 3; ++i) {
        bool ok = false;
        v[i] = parts[qsizetype(i)].trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(v[i]) || std::fabs(v[i]) > kMaxOffset)
            return false;
    }
    return true;
}

// What an option does with its value (empty for a switch); false: the value is malformed.
// A step's value goes into the operation just appended to the chain.
using TStore = bool (*)(TCommandLine& c, const QString& value);

// "an animation" as what an option needs: the command's optional animation file.
constexpr const char* kAnimation = "an animation";

struct TOptionSpec {
    const char* Name;
    const char* Alias;  // another spelling, or nullptr
    const char* Value;  // the value as the usage text names it; nullptr: a switch
    unsigned Commands;  // the commands that take it
    bool IsStep;  // an operation of a chain: known only after its command, repeatable, kept in order
    Step StepKind;  // for a step: which operation
    TStore Store;  // nullptr: nothing to store
    const char* Malformed;  // usage error for a malformed value; %1: the option as typed
    const char* Missing;  // usage error for a missing value; nullptr: as for a malformed one
    const char* Needs;  // kAnimation, or another option it needs; nullptr: nothing
    const char* Excludes;  // an option it cannot go with; nullptr: none
    const char* Help;  // what it does, for the reader of this table
};

TFrameOp& Last(TCommandLine& c) { return c.FrameOps.back(); }

// The options in the order their misuse is reported. Steps run on the document left to
// right (FramesCommand.h); a missing value of a step is reported as such.
const TOptionSpec kOptions[] = {
    {"--home",
     nullptr,
     "DIR",
     kEvery,
     false,
     {},
     [](TCommandLine& c, const QString& v) {
         c.Home = v;
         return true;
     },
     "%1 needs a folder",
     nullptr,
     nullptr,
     nullptr,
     "the folder of the settings file and the data folders"},
    {"--json",
     nullptr,
     nullptr,
     In(Mode::Info) | In(Mode::Frames),
     false,
     {},
     [](TCommandLine& c, const QString&) {
         c.Json = true;
         return true;
     },
     nullptr,
     nullptr,
     nullptr,
     nullptr,
     "print one JSON object"},
    {"--frame",
     nullptr,
     "N",
     kPosing,
     false,
     {},
     [](TCommandLine& c, const QString& v) {
         int n = -1;
         if (!ToInt(v, n) || n < 0)
             return false;
         c.Frame = n;
         return true;
     },
     "%1 needs a frame number from 0 on",
     nullptr,
     kAnimation,
     nullptr,
     "show frame N (from 0)"},
    {"--time",
     nullptr,
     "T",
     kPosing,
     false,
     {},
     [](TCommandLine& c, const QString& v) {
         bool ok = false;
         c.Time = v.toDouble(&ok);
         return ok && *c.Time >= 0 && *c.Time <= 1;
     },
     "%1 needs a number from 0 to 1",
     nullptr,
     kAnimation,
     "--frame",
     "show the pose playback shows T (0 to 1) of the way through one pass"},
    {"--offset",
     nullptr,
     "X,Y,Z",
     kPosing,
     false,
     {},
     [](TCommandLine& c, const QString& v) {
         std::array<double, 3> off{};
         c.Offset = off;
         return ParseOffset(v, *c.Offset);
     },
     "%1 needs X,Y,Z, each from -360 to 360",
     nullptr,
     nullptr,
     nullptr,
     "the model offset"},
    {"--no-total-move",
     nullptr,
     nullptr,
     kPosing,
     false,
     {},
     [](TCommandLine& c, const QString&) {
         c.NoTotalMove = true;
         return true;
     },
     nullptr,
     nullptr,
     nullptr,
     nullptr,
     "switch the total move off"},
    {"-o",
     "--output",
     "OUT",
     kPosing | In(Mode::New) | In(Mode::Frames) | In(Mode::Import),
     false,
     {},
     [](TCommandLine& c, const QString& v) {
         c.Output = v;
         return !v.isEmpty();
     },
     "%1 needs a file name",
     nullptr,
     nullptr,
     nullptr,
     "the file to write"},
    {"--view",
     nullptr,
     "front|left|top|3d|all",
     In(Mode::Render),
     false,
     {},
     [](TCommandLine& c, const QString& v) {
         using Picture = TCommandLine::Picture;
         static const struct {
             const char* Word;
             Picture Render;
             TViewKind View;
         } views[] = {{"front", Picture::View2d, TViewKind::Front},
                      {"left", Picture::View2d, TViewKind::Left},
                      {"top", Picture::View2d, TViewKind::Top},
                      {"3d", Picture::View3d, TViewKind::Front},
                      {"all", Picture::All, TViewKind::Front}};
         for (const auto& w : views) {
             if (v == QLatin1String(w.Word)) {
                 c.Render = w.Render;
                 if (w.Render == Picture::View2d)
                     c.View = w.View;
                 return true;
             }
         }
         return false;
     },
     "%1 needs front, left, top, 3d or all",
     nullptr,
     nullptr,
     nullptr,
     "the view to draw"},
    {"--size",
     nullptr,
     "WxH",
     In(Mode::Render),
     false,
     {},
     [](TCommandLine& c, const QString& v) { return ParseSize(v, c.Width, c.Height); },
     "%1 needs WIDTHxHEIGHT, each from 1 to 8192, at most 33554432 pixels",
     nullptr,
     nullptr,
     nullptr,
     "the picture's size in pixels"},
    {"--onion",
     nullptr,
     "N",
     In(Mode::Render),
     false,
     {},
     [](TCommandLine& c, const QString& v) { return ToInt(v, c.Onion) && c.Onion >= 0 && c.Onion <= MaxOnionFrames; },
     "%1 needs a number of frames from 0 to 5",
     nullptr,
     kAnimation,
     nullptr,
     "draw the N frames before and after the current one faintly under it"},
    {"--path",
     nullptr,
     "COMPONENT",
     In(Mode::Render),
     false,
     {},
     // An option in its place means the name was left out, as for --move.
     [](TCommandLine& c, const QString& v) {
         c.MotionPath = v;
         return !v.isEmpty() && !v.startsWith(QLatin1String("--")) && v != QLatin1String("-o");
     },
     "%1 needs a component's name",
     nullptr,
     kAnimation,
     nullptr,
     "draw the component's motion path"},
    {"--environment",
     nullptr,
     "FILE.p3d",
     kPosing,
     false,
     {},
     [](TCommandLine& c, const QString& v) {
         c.Environment = v;
         return !v.isEmpty();
     },
     "%1 needs a model file",
     nullptr,
     nullptr,
     nullptr,
     "load an environment model"},
    {"--proxy",
     nullptr,
     "NAME",
     kPosing,
     false,
     {},
     [](TCommandLine& c, const QString& v) {
         c.Proxy = v;
         return !v.isEmpty();
     },
     "%1 needs the name of a proxy selection",
     nullptr,
     "--environment",
     nullptr,
     "the environment's proxy selection to place it on (default: the first)"},
    {"--format",
     nullptr,
     "obj|gltf|glb",
     In(Mode::Export),
     false,
     {},
     [](TCommandLine& c, const QString& v) {
         if (v == QLatin1String("obj"))
             c.Format = TExportFormat::Obj;
         else if (v == QLatin1String("gltf"))
             c.Format = TExportFormat::Gltf;
         else if (v == QLatin1String("glb"))
             c.Format = TExportFormat::Glb;
         else
             return false;
         return true;
     },
     "%1 needs obj, gltf or glb",
     nullptr,
     nullptr,
     nullptr,
     "the file format, in place of the output's extension"},
    {"--play-time",
     nullptr,
     "S",
     In(Mode::Export),
     false,
     {},
     [](TCommandLine& c, const QString& v) {
         bool ok = false;
         c.PlayTime = v.toDouble(&ok);
         // Keyframe times are floats: beyond this a key would be off by more than 0.06 s.
         if (ok && *c.PlayTime > 1e6)
             c.Error = QStringLiteral("--play-time needs at most 1000000 seconds");
         return ok && *c.PlayTime > 0 && *c.PlayTime <= 1e6;
     },
     "%1 needs seconds above 0",
     nullptr,
     nullptr,
     nullptr,
     "seconds one pass of the animation takes"},
    {"--animation",
     nullptr,
     "N|NAME",
     In(Mode::Import),
     false,
     {},
     [](TCommandLine& c, const QString& v) {
         c.Animation = v;
         return !v.isEmpty();
     },
     "%1 needs the name or the number of an animation",
     nullptr,
     nullptr,
     nullptr,
     "the glTF file's animation to read (default: the first)"},
    {"--fps",
     nullptr,
     "N",
     In(Mode::Import),
     false,
     {},
     [](TCommandLine& c, const QString& v) {
         bool ok = false;
         c.Fps = v.toDouble(&ok);
         return ok && *c.Fps > 0 && *c.Fps <= 1000;
     },
     "%1 needs frames per second above 0, at most 1000",
     nullptr,
     nullptr,
     nullptr,
     "a frame every 1/N seconds in place of one per key time"},
    {"--transparent",
     nullptr,
     nullptr,
     In(Mode::Export),
     false,
     {},
     [](TCommandLine& c, const QString&) {
         c.Transparent = true;
         return true;
     },
     nullptr,
     nullptr,
     nullptr,
     nullptr,
     "glTF materials blended with the 3D view's alpha, not opaque"},

    {"--at", nullptr, "N", In(Mode::Frames), true, Step::At,
     [](TCommandLine& c, const QString& v) { return ToInt(v, Last(c).N); }, "%1 needs a frame number", "%1 needs a value",
     nullptr, nullptr, "make frame N current (clamped)"},
    {"--insert-after", nullptr, nullptr, In(Mode::Frames), true, Step::InsertAfter, nullptr, nullptr, nullptr, nullptr, nullptr,
     "insert a frame after the current one"},
    {"--delete", nullptr, nullptr, In(Mode::Frames), true, Step::Delete, nullptr, nullptr, nullptr, nullptr, nullptr,
     "delete the current frame"},
    {"--retime", nullptr, "N=TIME", In(Mode::Frames), true, Step::Retime,
     [](TCommandLine& c, const QString& v) {
         const qsizetype eq = v.indexOf(QLatin1Char('='));
         Last(c).Text = v.mid(eq + 1);
         return eq >= 0 && ToInt(v.left(eq), Last(c).N);
     },
     "%1 needs FRAME=TIME", "%1 needs a value", nullptr, nullptr, "type TIME into frame N's time cell and commit it"},
    {"--select", nullptr, "F-L", In(Mode::Frames), true, Step::Select,
     [](TCommandLine& c, const QString& v) {
         static const QRegularExpression range(QStringLiteral("^(\\d+)-(\\d+)$"));
         const QRegularExpressionMatch m = range.match(v);
         TFrameOp& op = Last(c);
         return m.hasMatch() && ToInt(m.captured(1), op.N) && ToInt(m.captured(2), op.Last) && op.N <= op.Last;
     },
     "%1 needs FIRST-LAST with FIRST <= LAST", "%1 needs a value", nullptr, nullptr, "set the frame timer's selection"},
    {"--linearize", nullptr, nullptr, In(Mode::Frames), true, Step::Linearize, nullptr, nullptr, nullptr, nullptr, nullptr,
     "the frame timer's Linearize"},
    {"--mirror", nullptr, nullptr, In(Mode::Frames), true, Step::Mirror, nullptr, nullptr, nullptr, nullptr, nullptr,
     "the frame timer's Mirror"},
    // The target as typed into the box; an option in its place means the target was left
    // out: "--copy --json" is no frame typed into the box.
    {"--move", nullptr, "T", In(Mode::Frames), true, Step::Move,
     [](TCommandLine& c, const QString& v) {
         Last(c).Text = v;
         return !v.trimmed().isEmpty() && !v.startsWith(QLatin1String("--")) && v != QLatin1String("-o");
     },
     "%1 needs a target frame", "%1 needs a value", nullptr, nullptr, "the frame timer's Move to Frame T"},
    {"--copy", nullptr, "T", In(Mode::Frames), true, Step::Copy,
     [](TCommandLine& c, const QString& v) {
         Last(c).Text = v;
         return !v.trimmed().isEmpty() && !v.startsWith(QLatin1String("--")) && v != QLatin1String("-o");
     },
     "%1 needs a target frame", "%1 needs a value", nullptr, nullptr, "the frame timer's Copy to Frame T"},
    {"--delete-range", nullptr, nullptr, In(Mode::Frames), true, Step::DeleteRange, nullptr, nullptr, nullptr, nullptr, nullptr,
     "the frame timer's Delete, answered Yes"},
    {"--flip", nullptr, nullptr, In(Mode::Frames), true, Step::Flip, nullptr, nullptr, nullptr, nullptr, nullptr,
     "the selection's poses mirrored left and right (anim/Flip.h)"},
    {"--flip-offset", nullptr, nullptr, In(Mode::Frames), true, Step::FlipOffset, nullptr, nullptr, nullptr, nullptr, nullptr,
     "the selection's flipped poses written half a cycle later"},
    {"--undo", nullptr, nullptr, In(Mode::Frames), true, Step::Undo, nullptr, nullptr, nullptr, nullptr, nullptr,
     "undo the chain's last step"},
    {"--redo", nullptr, nullptr, In(Mode::Frames), true, Step::Redo, nullptr, nullptr, nullptr, nullptr, nullptr,
     "redo the step undone last"},
};
constexpr size_t kOptionCount = std::size(kOptions);

// The index of the option a names, or -1. A step is an option only once its command is given.
int FindOption(const QString& a, Mode kind)
{
    for (size_t k = 0; k < kOptionCount; ++k) {
        const TOptionSpec& o = kOptions[k];
        if (a != QLatin1String(o.Name) && !(o.Alias && a == QLatin1String(o.Alias)))
            continue;
        return o.IsStep && !(o.Commands & In(kind)) ? -1 : int(k);
    }
    return -1;
}

int OptionIndex(const char* name)
{
    for (size_t k = 0; k < kOptionCount; ++k)
        if (qstrcmp(kOptions[k].Name, name) == 0)
            return int(k);
    return -1;
}

// Every step with its value, as one list of alternatives wrapped before 88 columns.
QString StepsText()
{
    constexpr qsizetype kWidth = 88;
    const QString indent(24, QLatin1Char(' '));
    QString text = QString(20, QLatin1Char(' ')) + QStringLiteral("OP:");
    QString line = text;
    bool first = true;
    for (const TOptionSpec& o : kOptions) {
        if (!o.IsStep)
            continue;
        QString item = QLatin1String(o.Name);
        if (o.Value)
            item += QLatin1Char(' ') + QLatin1String(o.Value);
        const QString joined = first ? QLatin1Char(' ') + item : QStringLiteral(" | ") + item;
        if (!first && line.size() + joined.size() > kWidth) {
            text += QLatin1Char('\n');
            line = indent + QStringLiteral("| ") + item;
            text += line;
        } else {
            line += joined;
            text += joined;
        }
        first = false;
    }
    return text + QLatin1Char('\n');
}
}  // namespace

TCommandLine TCommandLine::Parse(const QStringList& args)
{
    TCommandLine c;
    const auto fail = [&c](const QString& error) {
        c.Kind = Mode::Usage;
        c.Error = error;
        c.FrameOps.clear();
        return c;
    };
    bool given[kOptionCount] = {};  // the options other than steps, checked against the command at the end
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (const int k = FindOption(a, c.Kind); k >= 0) {
            const TOptionSpec& o = kOptions[k];
            QString value;
            if (o.Value) {
                if (i + 1 >= args.size())
                    return fail(QString::fromLatin1(o.Missing ? o.Missing : o.Malformed).arg(a));
                value = args[++i];
            }
            if (o.IsStep) {
                TFrameOp op;
                op.Op = o.StepKind;
                op.Name = a;
                c.FrameOps.push_back(op);
            } else {
                given[k] = true;
            }
            // A value that is malformed in a way of its own says so in Error.
            if (o.Store && !o.Store(c, value))
                return fail(c.Error.isEmpty() ? QString::fromLatin1(o.Malformed).arg(a) : c.Error);
            continue;
        }
        if (c.Kind == Mode::Gui && c.Files.isEmpty()) {
            const auto command = std::find_if(std::begin(kCommands), std::end(kCommands),
                                              [&a](const TCommandSpec& s) { return a == QLatin1String(s.Word); });
            if (command != std::end(kCommands)) {
                c.Kind = command->Kind;
                continue;
            }
        }
        if (a.startsWith(QLatin1String("--")) || (a.startsWith(QLatin1Char('-')) && a.size() > 1))
            return fail(QStringLiteral("unknown option %1").arg(a));
        c.Files << a;
    }

    const QString command = QLatin1String(CommandName(c.Kind));
    for (size_t k = 0; k < kOptionCount; ++k)
        if (given[k] && !(kOptions[k].Commands & In(c.Kind)))
            return fail(QStringLiteral("%1 does not go with %2").arg(QLatin1String(kOptions[k].Name), command));

    for (const TCommandSpec& s : kCommands) {
        if (s.Kind != c.Kind)
            continue;
        if (c.Files.size() < s.MinFiles || (s.MaxFiles >= 0 && c.Files.size() > s.MaxFiles)) {
            const QString text = QLatin1String(s.FilesError);
            return fail(text.contains(QLatin1String("%1")) ? text.arg(command) : text);
        }
        if (s.NeedsOutput && c.Output.isEmpty())
            return fail(QStringLiteral("%1 needs -o OUTPUT").arg(command));
    }

    for (size_t k = 0; k < kOptionCount; ++k) {
        const TOptionSpec& o = kOptions[k];
        if (!given[k])
            continue;
        const QString name = QLatin1String(o.Name);
        if (o.Needs == kAnimation && c.Files.size() < 2)
            return fail(QStringLiteral("%1 needs %2").arg(name, QLatin1String(kAnimation)));
        if (o.Needs && o.Needs != kAnimation && !given[OptionIndex(o.Needs)])
            return fail(QStringLiteral("%1 needs %2").arg(name, QLatin1String(o.Needs)));
        if (o.Excludes && given[OptionIndex(o.Excludes)])
            return fail(QStringLiteral("%1 and %2 exclude each other").arg(QLatin1String(o.Excludes), name));
    }
    return c;
}

bool TCommandLine::IsModelInfo() const
{
    return Kind == Mode::Info && Files.value(0).endsWith(QLatin1String(".p3d"), Qt::CaseInsensitive);
}

bool TCommandLine::NeedsWidgets() const { return Kind == Mode::Render; }

bool TCommandLine::NeedsOpenGL() const { return Kind == Mode::Render && Render != Picture::View2d; }

QString UsageText()
{
    return QStringLiteral("usage: torvane-anim [--home DIR] [FILE.p3d] [FILE.rtm]\n"
                          "       torvane-anim info FILE.rtm [--json]\n"
                          "       torvane-anim [--home DIR] info MODEL.p3d [--json]\n"
                          "       torvane-anim [--home DIR] check MODEL.p3d ANIM.rtm\n"
                          "       torvane-anim frames ANIM.rtm OP... [--json] [-o OUT.rtm]\n") +
           StepsText() +
           QStringLiteral("       torvane-anim [--home DIR] export MODEL.p3d [ANIM.rtm] [--frame N | --time T] [--offset X,Y,Z]\n"
                          "                    [--no-total-move] [--environment FILE.p3d [--proxy NAME]]\n"
                          "                    [--format obj|gltf|glb] [--play-time S] [--transparent]\n"
                          "                    -o OUT.obj|OUT.gltf|OUT.glb\n"
                          "       torvane-anim [--home DIR] render MODEL.p3d [ANIM.rtm] [--frame N | --time T] [--offset X,Y,Z]\n"
                          "                    [--no-total-move] [--environment FILE.p3d [--proxy NAME]]\n"
                          "                    [--view front|left|top|3d|all] [--size WxH] [--onion N] [--path COMPONENT]\n"
                          "                    -o OUT.png\n"
                          "       torvane-anim [--home DIR] new MODEL.p3d COMPONENT... -o OUT.rtm\n"
                          "       torvane-anim [--home DIR] import MODEL.p3d ANIM.gltf|ANIM.glb [--animation N|NAME] [--fps N]\n"
                          "                    -o OUT.rtm\n"
                          "       torvane-anim [--home DIR] --version\n"
                          "       (--view 3d and --view all need a display with OpenGL; --time T is 0 to 1)\n");
}
