#include "app/FramesCommand.h"
#include "platform/FileUtil.h"
#include "anim/AnimController.h"
#include "anim/Flip.h"
#include "anim/FrameOps.h"
#include "anim/Rtm.h"
#include "anim/RtmInfo.h"
#include "app/CommandLine.h"
#include "editor/Editor.h"
#include "platform/DebugOut.h"

#include <QTextStream>
#include <new>

namespace {

using Kind = TFrameOp::Kind;

struct TRunState {
    // The session's history is the editor's, as in the window; the animation's selection
    // is the frame timer's: frame 0 alone, as the window starts. Without a model, the
    // editor's notes on names it cannot pose are not printed.
    TRunState() { SetDebugSink([](const QString&) {}); }
    ~TRunState() { SetDebugSink({}); }
    TEditor Editor;
    TAnimController& Anim = Editor.Anim();
};

// Outcome of one operation: go on, or stop with an exit code and a message.
struct TStep {
    int Code = ExitOk;
    QString Message;  // a stopping message, or (Code 0) one that reports success
};

TStep Usage(const QString& text) { return {ExitUsage, text}; }
// An editor operation's answer: "" done, otherwise the message that stopped it.
TStep Stop(const QString& refused) { return {refused.isEmpty() ? int(ExitOk) : int(ExitFileError), refused}; }

TStep FromTiming(const TFrameOp& op, const TTimingResult& r, const TFrameRange& sel)
{
    switch (r.Status) {
    case TTimingStatus::Stopped:
        return {ExitFileError, r.Message};
    case TTimingStatus::NotApplicable:
        return Usage(QStringLiteral("%1 does not apply to frames %2 - %3").arg(op.Name).arg(sel.First).arg(sel.Last));
    case TTimingStatus::Done:
        break;
    }
    return {ExitOk, r.Message};
}

TStep RunTimerOp(const TFrameOp& op, TRunState& s)
{
    const int count = s.Anim.Doc.FrameCount();
    const TFrameRange sel = s.Anim.Selection();
    const TFrameTimerButtons buttons = FrameTimerButtons(sel.First, sel.Last, count);
    const bool enabled = op.Op == Kind::Linearize ? buttons.Linearize
                         : op.Op == Kind::Mirror  ? buttons.Mirror
                                                  : buttons.MoveCopyDelete;
    const QString selection = sel.First == -1 ? QStringLiteral("no frames are selected")
                                              : QStringLiteral("frames %1 - %2 are selected").arg(sel.First).arg(sel.Last);
    if (!enabled)
        return Usage(QStringLiteral("%1 is not offered when %2").arg(op.Name, selection));
    // The Delete button says this before it asks anything.
    if (op.Op == Kind::DeleteRange && count == 0)
        return {ExitFileError, QStringLiteral("No Anim Steps!")};
    if (!IsFrameRange(sel.First, sel.Last, count))
        return Usage(QStringLiteral("%1: %2, but the animation has %3 frames").arg(op.Name, selection).arg(count));
    TAnimController& anim = s.Anim;
    switch (op.Op) {
    case Kind::Linearize: return FromTiming(op, anim.LinearizeRange(sel.First, sel.Last), sel);
    case Kind::Mirror: return FromTiming(op, anim.MirrorRange(sel.First, sel.Last), sel);
    case Kind::Move: return FromTiming(op, anim.MoveRange(sel.First, sel.Last, ParseTargetFrame(op.Text)), sel);
    case Kind::Copy: return FromTiming(op, anim.CopyRange(sel.First, sel.Last, ParseTargetFrame(op.Text)), sel);
    case Kind::Flip:
    case Kind::FlipOffset: {
        const QStringList names = anim.Doc.AnimSelections.Names();
        const TTimingResult r = op.Op == Kind::Flip ? anim.FlipRange(sel.First, sel.Last)
                                                    : anim.FlipRangeHalfCycleLater(sel.First, sel.Last);
        TStep step = FromTiming(op, r, sel);
        // The pairs are the frame timer's to show; here only the names that found none.
        if (r.Done())
            step.Message = UnpairedLines(names, FindFlipPartners(names)).join(QLatin1Char('\n'));
        return step;
    }
    default: return FromTiming(op, anim.DeleteRange(sel.First, sel.Last), sel);
    }
}

TStep RunOp(const TFrameOp& op, TRunState& s)
{
    TAnimController& anim = s.Anim;
    const int count = anim.Doc.FrameCount();
    switch (op.Op) {
    case Kind::At:
        anim.SetActStep(op.N);
        return {};
    case Kind::InsertAfter:
        return Stop(anim.InsertFrameAfter());
    case Kind::Delete:
        return Stop(anim.DeleteCurrentFrame());
    case Kind::Retime: {
        if (op.N < 0 || op.N >= count)
            return Usage(QStringLiteral("--retime %1: the animation has %2 frames").arg(op.N).arg(count));
        // The last frame's time cell takes no text: saying so beats an exit that looks done.
        if (!CanRetimeFrame(op.N, count))
            return Usage(QStringLiteral("--retime %1: the last frame's time cannot be changed").arg(op.N));
        // The cell takes the text when it reads as a time; a text that does not puts the
        // frame's time back as the edit is committed, which sorts all the same.
        float t = anim.Doc.AnimFrames[size_t(op.N)].Time;
        ParseFrameTime(op.Text, t);
        anim.RetimeFrame(op.N, t, true);
        return {};
    }
    case Kind::Select:
        if (!IsFrameRange(op.N, op.Last, count))
            return Usage(QStringLiteral("--select %1-%2: the animation has %3 frames").arg(op.N).arg(op.Last).arg(count));
        anim.SetSelection({op.N, op.Last});
        return {};
    case Kind::Undo:
        return s.Editor.Undo() ? TStep{} : Usage(QStringLiteral("--undo: there is nothing to undo"));
    case Kind::Redo:
        return s.Editor.Redo() ? TStep{} : Usage(QStringLiteral("--redo: there is nothing to redo"));
    default:
        return RunTimerOp(op, s);
    }
}

}  // namespace

int RunFramesCommand(const TCommandLine& cmd, QTextStream& out, QTextStream& err)
{
    const QString path = cmd.Files.value(0);
    TRunState s;
    if (const QString error = s.Anim.LoadAnimation(path); !error.isEmpty()) {
        err << AboutFile(path, error) << Qt::endl;
        return ExitFileError;
    }
    for (const TFrameOp& op : cmd.FrameOps) {
        TStep step;
        try {
            step = RunOp(op, s);
        } catch (const std::bad_alloc&) {
            // The operations take their memory before they change anything.
            step = {ExitFileError, Rtm::OutOfMemory()};
        }
        if (step.Code == ExitUsage) {
            err << QStringLiteral("torvane-anim: ") << step.Message << Qt::endl;
            return ExitUsage;
        }
        if (!step.Message.isEmpty())
            err << step.Message << Qt::endl;
        if (step.Code != ExitOk)
            return step.Code;
    }
    if (!cmd.Output.isEmpty()) {
        if (const QString error = s.Anim.SaveAnimation(cmd.Output); !error.isEmpty()) {
            err << error << Qt::endl;
            return ExitFileError;
        }
    }
    if (cmd.Output.isEmpty() || cmd.Json) {
        // Streamed: millions of frames are never one string in memory.
        if (cmd.Json)
            WriteRtmInfoJson(s.Anim.Doc, out);
        else
            WriteRtmInfoText(s.Anim.Doc, out);
        out.flush();
    }
    err.flush();
    return ExitOk;
}
