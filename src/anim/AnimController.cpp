#include "anim/AnimController.h"
#include "anim/Flip.h"
#include "anim/FrameOps.h"
#include "anim/Rtm.h"
#include "platform/FileUtil.h"

#include <algorithm>
#include <new>
#include <utility>

TAnimController::TScope::~TScope()
{
    if (--C_.Depth_ > 0)
        return;
    // Listeners may start another operation from here: the flags are reset first.
    const bool changed = std::exchange(C_.Dirty_, false);
    const bool history = std::exchange(C_.HistoryDirty_, false);
    if (history)
        emit C_.HistoryChanged();
    if (changed)
        emit C_.Changed();
}

TDocState TAnimController::State() const { return {Doc.ActAnimStep, Selection_, Doc.TotalMove}; }

template <typename Op>
bool TAnimController::Record(const QString& name, TFrameRange keep, Op op, TStepRecorder::TKeep how)
{
    FinishPendingRetime();
    // The frames in keep are the ones the operation removes (their transforms move into
    // the step instead of being copied) or rewrites.
    TStepRecorder recorder(Doc.AnimFrames, keep, State(), how);
    if (!op()) {
        recorder.Abandon(Doc.AnimFrames);
        return false;
    }
    std::optional<TAnimStep> step = recorder.Finish(name, Doc.AnimFrames, State());
    if (!step)
        return false;
    PushStep(std::move(*step));
    return true;
}

void TAnimController::PushStep(TAnimStep step)
{
    History_.Push(std::move(step));
    HistoryDirty_ = true;
}

void TAnimController::FinishPendingRetime()
{
    if (!PendingRetime_)
        return;
    std::optional<TAnimStep> step = PendingRetime_->Finish(QStringLiteral("Retime Frame"), Doc.AnimFrames, State());
    PendingRetime_.reset();
    if (step)
        PushStep(std::move(*step));
}

void TAnimController::DropPendingRetime()
{
    if (PendingRetime_)
        PendingRetime_->Abandon(Doc.AnimFrames);
    PendingRetime_.reset();
}

void TAnimController::FramesDidChange()
{
    // A selection that reaches past the frames keeps what is left of it; without frames it
    // stays as it is for the next animation.
    if (!Doc.AnimFrames.empty()) {
        const TFrameRange fit = FitFrameSelection(Selection_.First, Selection_.Last, Doc.FrameCount());
        if (fit.First != Selection_.First || fit.Last != Selection_.Last) {
            Selection_ = fit;
            emit SelectionChanged();
        }
    }
    Dirty_ = true;
    emit FramesChanged();
}

void TAnimController::ClearAnimation()
{
    const TScope scope(*this);
    emit AboutToClear();
    DropPendingRetime();
    SetActStep(0);
    Doc.AnimFrames.Reset(0);  // its memory goes back too, not only its frames
    Doc.AnimSelections.Clear();
    Doc.AnimStepCount = 0;
    Doc.TotalMove = {0, 0, 0};
    Doc.AnimFileName.clear();
    PlayFraction_ = 0;
    History_.Clear();
    HistoryDirty_ = true;
    // The counters and the grid show the empty document, never a stale count.
    emit StepCountChanged(0);
    FramesDidChange();
    emit TotalMoveChanged();
    emit Cleared();
}

void TAnimController::SetActStep(int step)
{
    if (ShuttingDown_)
        return;
    const TScope scope(*this);
    if (step >= Doc.AnimStepCount)
        step = Doc.AnimStepCount - 1;
    if (step < 0)
        step = 0;
    if (step == Doc.ActAnimStep)
        return;
    Doc.ActAnimStep = step;
    Dirty_ = true;
    emit ActStepChanged(step);
}

void TAnimController::SetStepCount(int count)
{
    if (ShuttingDown_)
        return;
    const TScope scope(*this);
    if (count < 0)
        count = 0;
    if (count == Doc.AnimStepCount)
        return;
    Doc.AnimStepCount = count;
    Dirty_ = true;
    emit StepCountChanged(count);
    if (Doc.ActAnimStep >= Doc.AnimStepCount)
        SetActStep(Doc.AnimStepCount - 1);
}

void TAnimController::ValidateFrames()
{
    const TScope scope(*this);
    ValidateFrameTimes(Doc.AnimFrames);
    FramesDidChange();
}

QString TAnimController::DeleteFrame(int index)
{
    if (Doc.AnimFrames.size() <= 2)
        return QStringLiteral("Only two Animsteps left!");
    if (index < 0 || index >= Doc.FrameCount())
        return {};
    const TScope scope(*this);
    Record(QStringLiteral("Delete Frame"), {index, index}, [&] {
        Doc.AnimFrames.Erase(size_t(index), 1);
        SetStepCount(Doc.AnimStepCount - 1);
        ValidateFrames();
        return true;
    });
    return {};
}

QString TAnimController::CreateNewAnimation(const QStringList& names)
{
    if (names.isEmpty())
        return QStringLiteral("Nothing selected!");
    const TScope scope(*this);
    if (!Doc.AnimFrames.empty() || !Doc.AnimSelections.IsEmpty())
        ClearAnimation();
    TStepRecorder recorder(Doc.AnimFrames, {}, State());
    std::vector<TAnimEntry> entries;
    for (const QString& name : names) {
        if (IsInAnimation(name))
            continue;
        TAnimEntry e;
        e.NameIndex = Doc.AnimSelections.Add(name);
        entries.push_back(e);
    }
    Doc.AnimFrames.Reset(int(entries.size()));
    Doc.AnimFrames.Append(0, entries);
    SetStepCount(1);
    ValidateFrames();
    if (std::optional<TAnimStep> step = recorder.Finish(QStringLiteral("New Animation"), Doc.AnimFrames, State())) {
        step->Names = QStringList();  // before it: no names
        PushStep(std::move(*step));
    }
    return {};
}

QString TAnimController::LoadAnimation(const QString& path)
{
    const TScope scope(*this);
    Loading_ = true;
    ClearAnimation();
    TRtmData data = ReadRtmFile(ResolveCaseInsensitive(path), path);
    if (!data.Ok()) {
        // A failed load leaves an empty document, announced as after a clear.
        ClearAnimation();
        Loading_ = false;
        return data.Error;
    }
    // Moved, not copied: a large animation is never held twice.
    Doc.TotalMove = data.TotalMove;
    Doc.AnimSelections = std::move(data.Names);
    Doc.AnimFrames.swap(data.Frames);
    emit TotalMoveChanged();
    SetStepCount(Doc.FrameCount());
    if (!Doc.AnimFrames.empty())
        ValidateFrames();
    Doc.AnimFileName = path;
    Loading_ = false;
    History_.MarkSaved();
    return {};
}

QString TAnimController::SaveAnimation(const QString& path)
{
    if (Doc.AnimStepCount == 0)
        return QStringLiteral("No Animation found!");
    const TScope scope(*this);
    FinishPendingRetime();
    // Streamed: the file is never built in memory as a whole.
    TAtomicFileWriter out(path);
    if (const QString error = WriteRtm(Doc, out); !error.isEmpty()) {
        out.Discard();
        return error;
    }
    if (!out.Ok() || !out.Commit())
        return QStringLiteral("Cannot write file %1: %2").arg(path, out.Error());
    Doc.AnimFileName = path;
    History_.MarkSaved();
    HistoryDirty_ = true;
    return {};
}

QString TAnimController::InsertFrameAfter()
{
    if (Doc.AnimFrames.empty())
        return QStringLiteral("No Anim found!");
    const TScope scope(*this);
    try {
        Record(QStringLiteral("Insert after"), {}, [&] {
            const int added = ::InsertFrameAfter(Doc.AnimFrames, Doc.ActAnimStep);
            if (added < 0)
                return false;
            SetStepCount(Doc.AnimStepCount + 1);
            SetActStep(added);
            ValidateFrames();
            return true;
        });
    } catch (const std::bad_alloc&) {
        return Rtm::OutOfMemory();  // the frames are as they were
    }
    return {};
}

QString TAnimController::DeleteCurrentFrame()
{
    if (Doc.AnimStepCount == 0)
        return QStringLiteral("No Anim Steps!");
    return DeleteFrame(Doc.ActAnimStep);
}

bool TAnimController::RetimeFrame(int index, float t, bool committed)
{
    if (!CanRetimeFrame(index, Doc.FrameCount()))
        return false;
    const TScope scope(*this);
    if (!PendingRetime_)
        PendingRetime_.emplace(Doc.AnimFrames, TFrameRange{}, State());
    ::RetimeFrame(Doc.AnimFrames, index, t, committed);
    ValidateFrames();
    if (committed)
        FinishPendingRetime();
    return true;
}

void TAnimController::CancelRetime(int index, float time)
{
    if (!CanRetimeFrame(index, Doc.FrameCount()))
        return;
    const TScope scope(*this);
    DropPendingRetime();
    Doc.AnimFrames.Time(size_t(index)) = time;
    ValidateFrames();
}

void TAnimController::SetTotalMove(int axis, float value)
{
    if (axis < 0 || axis >= 3)
        return;
    const TScope scope(*this);
    Record(QStringLiteral("Total Move"), {}, [&] {
        Doc.TotalMove[size_t(axis)] = value;
        Dirty_ = true;
        emit TotalMoveChanged();
        return true;
    });
}

bool TAnimController::EditFrame(const QString& name, int step, const std::function<bool(TAnimDocument&)>& writer)
{
    const TScope scope(*this);
    FinishPendingRetime();
    TStepRecorder recorder(Doc.AnimFrames, {step, step}, State());
    const bool done = writer(Doc);
    std::optional<TAnimStep> change = recorder.Finish(name, Doc.AnimFrames, State());
    if (!change)
        return done;
    if (!done) {
        change->Delta.Apply(Doc.AnimFrames);  // a refused write leaves nothing behind
        return false;
    }
    PushStep(std::move(*change));
    FramesDidChange();
    return true;
}

void TAnimController::SetSelection(TFrameRange range)
{
    if (range.First == Selection_.First && range.Last == Selection_.Last)
        return;
    Selection_ = range;
    emit SelectionChanged();
}

void TAnimController::SetHistoryLimit(int steps)
{
    const TScope scope(*this);
    History_.SetLimit(steps);
    HistoryDirty_ = true;
}

void TAnimController::PushExternalStep(const QString& name, std::shared_ptr<TExternalStep> step)
{
    const TScope scope(*this);
    FinishPendingRetime();
    TAnimStep s;
    s.Name = name;
    s.External = std::move(step);
    PushStep(std::move(s));
}

void TAnimController::RestartHistory()
{
    const TScope scope(*this);
    DropPendingRetime();
    History_.Restart();
    HistoryDirty_ = true;
}

void TAnimController::Swap(TAnimStep& step, const TDocState& state, bool undo)
{
    HistoryDirty_ = true;
    if (step.External) {
        undo ? step.External->Undo() : step.External->Redo();
        Dirty_ = true;
        return;
    }
    step.Delta = step.Delta.Apply(Doc.AnimFrames);
    if (step.Names) {
        QStringList names = Doc.AnimSelections.Names();
        Doc.AnimSelections.Clear();
        for (const QString& n : *step.Names)
            Doc.AnimSelections.Add(n);
        step.Names = std::move(names);
    }
    if (Doc.TotalMove != state.TotalMove) {
        Doc.TotalMove = state.TotalMove;
        emit TotalMoveChanged();
    }
    SetStepCount(Doc.FrameCount());
    SetActStep(state.ActStep);
    SetSelection(state.Selection);
    FramesDidChange();
    if (Doc.AnimFrames.empty())
        emit Cleared();
}

bool TAnimController::Undo()
{
    const TScope scope(*this);
    FinishPendingRetime();
    if (!History_.CanUndo())
        return false;
    TAnimStep& step = History_.TakeUndo();
    Swap(step, step.Before, true);
    return true;
}

bool TAnimController::Redo()
{
    const TScope scope(*this);
    if (PendingRetime_ || !History_.CanRedo())
        return false;
    TAnimStep& step = History_.TakeRedo();
    Swap(step, step.After, false);
    return true;
}

// ---- The frame timer's operations, shared by the frame timer window and the command line

TTimingResult TAnimController::LinearizeRange(int first, int last)
{
    const TScope scope(*this);
    TTimingResult r;
    Record(QStringLiteral("Linearize"), {}, [&] {
        r = LinearizeFrames(Doc.AnimFrames, first, last);
        if (!r.Done())
            return false;
        ValidateFrames();
        // As the chart's write-back does it: the first selected frame becomes current.
        SetActStep(first);
        SetSelection({r.SelFirst, r.SelLast});
        return true;
    });
    return r;
}

template <typename Op>
TTimingResult TAnimController::RunTimerOp(const QString& name, TFrameRange keep, Op op, TStepRecorder::TKeep how)
{
    const TScope scope(*this);
    TTimingResult r;
    Record(name, keep, [&] {
        r = op();
        if (!r.Done())
            return false;
        SetStepCount(Doc.FrameCount());
        SetActStep(std::min(Doc.ActAnimStep, Doc.FrameCount() - 1));
        ValidateFrames();
        SetSelection({r.SelFirst, r.SelLast});
        return true;
    }, how);
    return r;
}

TTimingResult TAnimController::MirrorRange(int first, int last)
{
    return RunTimerOp(QStringLiteral("Mirror"), {}, [&] { return MirrorFrames(Doc.AnimFrames, first, last); });
}

TTimingResult TAnimController::MoveRange(int first, int last, int target)
{
    return RunTimerOp(QStringLiteral("Move"), {}, [&] { return MoveFrames(Doc.AnimFrames, first, last, target); });
}

TTimingResult TAnimController::CopyRange(int first, int last, int target)
{
    try {
        return RunTimerOp(QStringLiteral("Copy"), {}, [&] { return CopyFrames(Doc.AnimFrames, first, last, target); });
    } catch (const std::bad_alloc&) {
        // The copies are made before anything changes: the frames are as they were.
        return {TTimingStatus::Stopped, Rtm::OutOfMemory(), first, last};
    }
}

TTimingResult TAnimController::DeleteRange(int first, int last)
{
    // The range may have held several frames past the current one: the current frame is
    // brought back among the frames.
    return RunTimerOp(QStringLiteral("Delete Frames"), {first, last},
                      [&] { return DeleteFrames(Doc.AnimFrames, first, last); });
}

TTimingResult TAnimController::FlipRange(int first, int last)
{
    const TFlipPartners partners = FindFlipPartners(Doc.AnimSelections.Names());
    TTimingResult r = RunTimerOp(
        QStringLiteral("Flip"), {first, last}, [&] { return FlipFrames(Doc.AnimFrames, partners, first, last); },
        TStepRecorder::TKeep::Copy);
    if (r.Done())
        r.Message = QStringLiteral("Finished Flip operation\n") + FlipMessage(Doc.AnimSelections.Names(), partners);
    return r;
}

TTimingResult TAnimController::FlipRangeHalfCycleLater(int first, int last)
{
    const TFlipPartners partners = FindFlipPartners(Doc.AnimSelections.Names());
    const std::vector<THalfCycleTarget> targets = HalfCycleTargets(Doc.AnimFrames, first, last);
    TTimingResult r;
    try {
        r = RunTimerOp(
            QStringLiteral("Flip, half a cycle later"), ReplacedFrames(targets),
            [&] {
                int current[1] = {Doc.ActAnimStep};
                const TTimingResult done =
                    FlipFramesHalfCycleLater(Doc.AnimFrames, partners, first, last, targets, current);
                if (done.Done()) {
                    SetStepCount(Doc.FrameCount());
                    SetActStep(current[0]);
                }
                return done;
            },
            TStepRecorder::TKeep::Copy);
    } catch (const std::bad_alloc&) {
        // The new frames are made before anything changes: the frames are as they were.
        return {TTimingStatus::Stopped, Rtm::OutOfMemory(), first, last};
    }
    if (r.Done()) {
        const auto added = std::count_if(targets.begin(), targets.end(), [](const THalfCycleTarget& t) { return t.Frame < 0; });
        r.Message = QStringLiteral("Finished Flip, half a cycle later: %1 frames written, %2 of them new\n")
                        .arg(targets.size())
                        .arg(added) +
                    FlipMessage(Doc.AnimSelections.Names(), partners);
    }
    return r;
}

int TAnimController::WriteBackFrameTimes(const std::vector<TTimerItem>& items)
{
    if (Doc.AnimFrames.empty())
        return -1;
    const TScope scope(*this);
    int first = -1;
    const bool changed = Record(QStringLiteral("Drag Frames"), {}, [&] {
        first = ::WriteBackFrameTimes(items, Doc.AnimFrames);
        ValidateFrameTimes(Doc.AnimFrames);
        if (first != -1)
            SetActStep(first);
        return true;
    });
    // Only a change of times is news for the chart and the grid: a click that moved
    // nothing is no step and leaves them alone.
    if (changed)
        FramesDidChange();
    return first;
}
