// The command-line grammar: any arguments (the input split at NUL bytes) give a command
// or a usage error with its text, never both, and what a command holds is what its
// checks promise: the frames command one animation and operations with well-formed
// values, a picture size within the limits, an output for the commands that write.
#include "FuzzSupport.h"
#include "app/CommandLine.h"

namespace {
FuzzSeeds MakeSeeds()
{
    const auto join = [](const QStringList& args) { return args.join(QChar(0)).toUtf8(); };
    return {
        {"frames", join({"frames", "a.rtm", "--select", "1-3", "--copy", "5", "--move", "--json", "-o", "x.rtm"})},
        {"frames_ops",
         join({"frames", "a.rtm", "--at", "2", "--insert-after", "--retime", "1=0.5", "--mirror", "--delete-range"})},
        {"frames_flip", join({"frames", "a.rtm", "--select", "0-2", "--flip", "--flip-offset", "--undo"})},
        {"render_aids", join({"render", "m.p3d", "a.rtm", "--onion", "2", "--path", "arm", "-o", "o.png"})},
        {"render", join({"--home", "/h", "render", "m.p3d", "a.rtm", "--time", "0.5", "--view", "all", "--size", "640x480", "-o",
                         "o.png"})},
        {"export",
         join({"export", "m.p3d", "--frame", "3", "--offset", "1,2,3", "--environment", "e.p3d", "--proxy", "p", "-o", "o.obj"})},
        {"new", join({"new", "m.p3d", "arm", "leg", "-o", "n.rtm"})},
        {"info", join({"info", "m.p3d", "--json"})},
    };
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    WriteSeedsIfAsked(MakeSeeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QStringList args;
    for (const QByteArray& a : bytes.split('\0')) {
        if (args.size() == 64)
            break;
        args << QString::fromUtf8(a);
    }
    using Mode = TCommandLine::Mode;
    const TCommandLine c = TCommandLine::Parse(args);
    FUZZ_CHECK((c.Kind == Mode::Usage) == !c.Error.isEmpty());
    const TCommandLine again = TCommandLine::Parse(args);
    FUZZ_CHECK(again.Kind == c.Kind && again.Error == c.Error && again.Files == c.Files);
    if (c.Kind == Mode::Usage)
        return 0;
    FUZZ_CHECK(c.Width >= 1 && c.Height >= 1 && c.Width <= 8192 && c.Height <= 8192 &&
               qint64(c.Width) * c.Height <= 8192LL * 4096);
    switch (c.Kind) {
    case Mode::Frames:
        FUZZ_CHECK(c.Files.size() == 1);
        for (const TFrameOp& op : c.FrameOps) {
            if (op.Op == TFrameOp::Kind::Select)
                FUZZ_CHECK(0 <= op.N && op.N <= op.Last);
            if (op.Op == TFrameOp::Kind::Move || op.Op == TFrameOp::Kind::Copy)
                FUZZ_CHECK(!op.Text.trimmed().isEmpty() && !op.Text.startsWith(QLatin1String("--")));
        }
        break;
    case Mode::Export:
    case Mode::Render:
        FUZZ_CHECK(!c.Output.isEmpty() && !c.Files.isEmpty() && c.Files.size() <= 2);
        FUZZ_CHECK(!(c.Frame && c.Time));
        if (c.Time)
            FUZZ_CHECK(*c.Time >= 0 && *c.Time <= 1);
        FUZZ_CHECK(c.Onion >= 0 && c.Onion <= 5);
        FUZZ_CHECK(c.MotionPath.isEmpty() || (c.Files.size() == 2 && !c.MotionPath.startsWith(QLatin1String("--"))));
        break;
    case Mode::New:
        FUZZ_CHECK(!c.Output.isEmpty() && !c.Files.isEmpty());
        break;
    case Mode::Info:
        FUZZ_CHECK(c.Files.size() == 1);
        break;
    case Mode::Check:
        FUZZ_CHECK(c.Files.size() == 2);
        break;
    default:
        FUZZ_CHECK(c.FrameOps.empty());
        break;
    }
    return 0;
}
