#include "anim/AnimController.h"
#include "anim/Flip.h"
#include "anim/FrameOps.h"
#include "anim/Rtm.h"
#include "platform/FileUtil.h"

#include <QFileInfo>
#include <algorithm>
#include <new>
#include <utility>

TAnimController::TScope::TScope(TAnimController& c, std::optional<TAnimChange> change) : C_(c)
{
    // Listeners hear of the change before anything changed; what they do then (an open
    // edit written into its frame) is an operation of its own.
    if (C_.Depth_ == 0 && change)
        emit C_.AboutToChange(*change);
    ++C_.Depth_;
}

TAnimController::TScope::~TScope()
{
    if (--C_.Depth_ > 0)
        return;
    // Listeners may start another operation from here: the flag is reset first.
    if (std::exchange(C_.Dirty_, false))
        emit C_.Changed();
}

TDocState TAnimController::State() const { return {Doc_.ActAnimStep, Selection_, Doc_.TotalMove}; }

template <typename Op>
bool TAnimController::Record(const QString& name, TFrameRange keep, Op op, TStepRecorder::TKeep how, const QString& mergeKey)
{
    CommitRetime();
    // The frames in keep are the ones the operation removes (their transforms move into
    // the step instead of being copied) or rewrites.
    TStepRecorder recorder(Doc_.AnimFrames, keep, State(), how);
    if (!op()) {
        recorder.Abandon(Doc_.AnimFrames);
        return false;
    }
    std::optional<TAnimStep> step = recorder.Finish(name, Doc_.AnimFrames, State());
    if (!step)
        return false;
    step->MergeKey = mergeKey;
    PushStep(std::move(*step));
    return true;
}

void TAnimController::PushStep(TAnimStep step)
{
    if (Recorded)
        Recorded(std::move(step));
}

void TAnimController::CommitRetime()
{
    if (!PendingRetime_)
        return;
    std::optional<TAnimStep> step = PendingRetime_->Finish(QStringLiteral("Retime Frame"), Doc_.AnimFrames, State());
    PendingRetime_.reset();
    if (step)
        PushStep(std::move(*step));
}

void TAnimController::DropPendingRetime()
{
    if (PendingRetime_)
        PendingRetime_->Abandon(Doc_.AnimFrames);
    PendingRetime_.reset();
}

void TAnimController::FramesDidChange()
{
    // A selection that reaches past the frames keeps what is left of it; without frames it
    // stays as it is for the next animation.
    if (!Doc_.AnimFrames.empty()) {
        const TFrameRange fit = FitFrameSelection(Selection_.First, Selection_.Last, Doc_.FrameCount());
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
    const TScope scope(*this, TAnimChange::Document);
    emit AboutToClear();
    DropPendingRetime();
    SetActStep(0);
    Doc_.AnimFrames.Reset(0);  // its memory goes back too, not only its frames
    Doc_.AnimSelections.Clear();
    Doc_.AnimStepCount = 0;
    Doc_.TotalMove = {0, 0, 0};
    Doc_.AnimFileName.clear();
    PlayFraction_ = 0;
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
    if (step >= Doc_.AnimStepCount)
        step = Doc_.AnimStepCount - 1;
    if (step < 0)
        step = 0;
    if (step == Doc_.ActAnimStep)
        return;
    const TScope scope(*this, TAnimChange::CurrentFrame);
    Doc_.ActAnimStep = step;
    Dirty_ = true;
    emit ActStepChanged(step);
}

void TAnimController::SetStepCount(int count)
{
    if (ShuttingDown_)
        return;
    if (count < 0)
        count = 0;
    if (count == Doc_.AnimStepCount)
        return;
    Doc_.AnimStepCount = count;
    Dirty_ = true;
    emit StepCountChanged(count);
    if (Doc_.ActAnimStep >= Doc_.AnimStepCount)
        SetActStep(Doc_.AnimStepCount - 1);
}

void TAnimController::ValidateFrames()
{
    ValidateFrameTimes(Doc_.AnimFrames);
    FramesDidChange();
}

QString TAnimController::DeleteFrame(int index)
{
    if (Doc_.AnimFrames.size() <= 2)
        return QStringLiteral("Only two Animsteps left!");
    if (index < 0 || index >= Doc_.FrameCount())
        return {};
    const TScope scope(*this, TAnimChange::Document);
    Record(QStringLiteral("Delete Frame"), {index, index}, [&] {
        Doc_.AnimFrames.Erase(size_t(index), 1);
        SetStepCount(Doc_.AnimStepCount - 1);
        ValidateFrames();
        return true;
    });
    return {};
}

void TAnimController::ClearForNewAnimation()
{
    if (!Doc_.AnimFrames.empty() || !Doc_.AnimSelections.IsEmpty())
        ReplaceDocument(QString::fromLatin1(NewAnimationKey), QString::fromLatin1(NewAnimationKey), TAnimDocument());
}

QString TAnimController::CreateNewAnimation(const QStringList& names)
{
    if (names.isEmpty())
        return QStringLiteral("Nothing selected!");
    TAnimDocument next;
    std::vector<TAnimEntry> entries;
    for (const QString& name : names) {
        if (next.AnimSelections.IndexOf(name) >= 0)
            continue;
        TAnimEntry e;
        e.NameIndex = next.AnimSelections.Add(name);
        entries.push_back(e);
    }
    next.AnimFrames.Reset(int(entries.size()));
    next.AnimFrames.Append(0, entries);
    ReplaceDocument(QString::fromLatin1(NewAnimationKey), QString::fromLatin1(NewAnimationKey), std::move(next));
    return {};
}

void TAnimController::ReplaceAnimation(const QString& name, TAnimDocument next) { ReplaceDocument(name, {}, std::move(next)); }

void TAnimController::ReplaceDocument(const QString& name, const QString& mergeKey, TAnimDocument next)
{
    const TScope scope(*this, TAnimChange::Document);
    emit AboutToClear();
    CommitRetime();
    PlayFraction_ = 0;
    // Every frame goes into the step as it is: undo gives the document back whole.
    TStepRecorder recorder(Doc_.AnimFrames, {0, Doc_.FrameCount() - 1}, State(), TStepRecorder::TKeep::Take);
    QStringList oldNames = Doc_.AnimSelections.Names();
    QString oldFile = Doc_.AnimFileName;
    Doc_.AnimSelections = std::move(next.AnimSelections);
    // The new frames carry no tags: the step takes them all for new ones.
    Doc_.AnimFrames.swap(next.AnimFrames);
    next.AnimFrames.Reset(0);
    if (Doc_.TotalMove != next.TotalMove) {
        Doc_.TotalMove = next.TotalMove;
        emit TotalMoveChanged();
    }
    Doc_.AnimFileName = std::move(next.AnimFileName);
    SetStepCount(Doc_.FrameCount());
    SetActStep(0);
    // The frames selected before are other frames now, as after a load: nothing is selected.
    SetSelection({-1, -1});
    ValidateFrames();
    const bool renamed = oldNames != Doc_.AnimSelections.Names() || oldFile != Doc_.AnimFileName;
    std::optional<TAnimStep> step = recorder.Finish(name, Doc_.AnimFrames, State(), renamed);
    if (!step)
        return;
    step->Names = std::move(oldNames);
    step->FileName = std::move(oldFile);
    step->MergeKey = mergeKey;
    PushStep(std::move(*step));
    emit Replaced();
}

QString TAnimController::LoadAnimation(const QString& path, const TLongRun& run, bool* cancelled)
{
    // Read apart from the document, which stays as it is until the read is through.
    const QString file = ResolveCaseInsensitive(path);
    // Taken before the read: a write during it makes the next save ask.
    const TFileStamp stamp = FileStampOf(file);
    TRtmData data;
    const TLongTask read{QStringLiteral("Loading %1...").arg(FileNamePart(path)), QFileInfo(file).size(),
                         [&](TProgress* progress) {
                             data = ReadRtmFile(file, path, progress);
                             return !Cancelled(progress);
                         }};
    if (!run(read)) {
        if (cancelled)
            *cancelled = true;
        return {};
    }
    const TScope scope(*this, TAnimChange::Document);
    Loading_ = true;
    ClearAnimation();
    if (!data.Ok()) {
        // A failed load leaves an empty document, announced as after a clear.
        ClearAnimation();
        Loading_ = false;
        return data.Error;
    }
    // Moved, not copied: a large animation is never held twice.
    Doc_.TotalMove = data.TotalMove;
    Doc_.AnimSelections = std::move(data.Names);
    Doc_.AnimFrames.swap(data.Frames);
    emit TotalMoveChanged();
    SetStepCount(Doc_.FrameCount());
    if (!Doc_.AnimFrames.empty())
        ValidateFrames();
    Doc_.AnimFileName = file;  // the name on disk: a save goes back into the file read
    Disk_ = {file, stamp};
    Loading_ = false;
    emit Saved();
    return {};
}

QString TAnimController::SaveAnimation(const QString& path, const TLongRun& run, bool* cancelled)
{
    if (Doc_.AnimStepCount == 0)
        return QStringLiteral("No Animation found!");
    const TScope scope(*this, std::nullopt);
    CommitRetime();
    const qint64 nameCount = Doc_.AnimSelections.Count();
    const qint64 size = Rtm::HeaderSize + nameCount * Rtm::NameFieldSize +
                        qint64(Doc_.AnimStepCount) * (4 + nameCount * Rtm::RecordSize);
    QString error;
    TFileStamp stamp;
    const TLongTask write{QStringLiteral("Saving..."), size, [&](TProgress* progress) {
                              // Streamed: the file is never built in memory as a whole.
                              TAtomicFileWriter out(path);
                              out.SetProgress(progress, size);
                              if (error = WriteRtm(Doc_, out); !error.isEmpty()) {
                                  out.Discard();
                                  return true;
                              }
                              if (!out.Ok() || !out.Commit()) {
                                  if (out.Cancelled())
                                      return false;
                                  error = QStringLiteral("Cannot write file %1: %2").arg(path, out.Error());
                                  return true;
                              }
                              stamp = FileStampOf(path);  // at once, before anyone else can write
                              Advance(progress, 1, 1);
                              return true;
                          }};
    if (!run(write)) {
        if (cancelled)
            *cancelled = true;
        return {};
    }
    if (!error.isEmpty())
        return error;
    Doc_.AnimFileName = path;
    Disk_ = {path, stamp};
    emit Saved();
    return {};
}

bool TAnimController::ChangedOnDisk(const QString& path) const
{
    return Disk_.Is(Doc_.AnimFileName) && Disk_.ChangedOnDisk(path);
}

TFileStamp TAnimController::DiskStamp() const { return Disk_.Is(Doc_.AnimFileName) ? Disk_.Stamp : TFileStamp(); }

void TAnimController::SetDiskStamp(const TFileStamp& stamp)
{
    if (stamp.Exists && !Doc_.AnimFileName.isEmpty())
        Disk_ = {Doc_.AnimFileName, stamp};
}

QString TAnimController::InsertFrameAfter()
{
    if (Doc_.AnimFrames.empty())
        return QStringLiteral("No Anim found!");
    const TScope scope(*this, TAnimChange::Document);
    try {
        Record(QStringLiteral("Insert after"), {}, [&] {
            const int added = ::InsertFrameAfter(Doc_.AnimFrames, Doc_.ActAnimStep);
            if (added < 0)
                return false;
            SetStepCount(Doc_.AnimStepCount + 1);
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
    if (Doc_.AnimStepCount == 0)
        return QStringLiteral("No Anim Steps!");
    return DeleteFrame(Doc_.ActAnimStep);
}

bool TAnimController::RetimeFrame(int index, float t, bool committed)
{
    if (!CanRetimeFrame(index, Doc_.FrameCount()))
        return false;
    const TScope scope(*this, TAnimChange::Document);
    if (!PendingRetime_)
        PendingRetime_.emplace(Doc_.AnimFrames, TFrameRange{}, State());
    ::RetimeFrame(Doc_.AnimFrames, index, t, committed);
    ValidateFrames();
    if (committed)
        CommitRetime();
    return true;
}

void TAnimController::CancelRetime(int index, float time)
{
    if (!CanRetimeFrame(index, Doc_.FrameCount()))
        return;
    const TScope scope(*this, TAnimChange::Document);
    DropPendingRetime();
    Doc_.AnimFrames.Time(size_t(index)) = time;
    ValidateFrames();
}

void TAnimController::SetTotalMove(int axis, float value)
{
    if (axis < 0 || axis >= 3)
        return;
    const TScope scope(*this, TAnimChange::Document);
    Record(
        QStringLiteral("Total Move"), {},
        [&] {
            Doc_.TotalMove[size_t(axis)] = value;
            Dirty_ = true;
            emit TotalMoveChanged();
            return true;
        },
        TStepRecorder::TKeep::Take, QStringLiteral("Total Move %1").arg(axis));
}

bool TAnimController::EditFrame(const QString& name, int step, const std::function<bool(TAnimDocument&)>& writer)
{
    const TScope scope(*this, TAnimChange::Document);
    CommitRetime();
    TStepRecorder recorder(Doc_.AnimFrames, {step, step}, State());
    const bool done = writer(Doc_);
    std::optional<TAnimStep> change = recorder.Finish(name, Doc_.AnimFrames, State());
    if (!change)
        return done;
    if (!done) {
        change->Delta.Apply(Doc_.AnimFrames);  // a refused write leaves nothing behind
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

void TAnimController::PutBack(TAnimStep& step, bool undo)
{
    const TScope scope(*this, TAnimChange::Document);
    DropPendingRetime();
    const TDocState& state = undo ? step.Before : step.After;
    step.Delta = step.Delta.Apply(Doc_.AnimFrames);
    if (step.Names) {
        QStringList names = Doc_.AnimSelections.Names();
        Doc_.AnimSelections.Clear();
        for (const QString& n : *step.Names)
            Doc_.AnimSelections.Add(n);
        step.Names = std::move(names);
    }
    if (step.FileName)
        std::swap(Doc_.AnimFileName, *step.FileName);
    if (Doc_.TotalMove != state.TotalMove) {
        Doc_.TotalMove = state.TotalMove;
        emit TotalMoveChanged();
    }
    SetStepCount(Doc_.FrameCount());
    SetActStep(state.ActStep);
    SetSelection(state.Selection);
    FramesDidChange();
    if (step.FileName)
        emit Replaced();
}

// ---- The frame timer's operations, shared by the frame timer window and the command line

TTimingResult TAnimController::LinearizeRange(int first, int last)
{
    const TScope scope(*this, TAnimChange::Document);
    TTimingResult r;
    Record(QStringLiteral("Linearize"), {}, [&] {
        r = LinearizeFrames(Doc_.AnimFrames, first, last);
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
    const TScope scope(*this, TAnimChange::Document);
    TTimingResult r;
    Record(
        name, keep,
        [&] {
            r = op();
            if (!r.Done())
                return false;
            SetStepCount(Doc_.FrameCount());
            SetActStep(std::min(Doc_.ActAnimStep, Doc_.FrameCount() - 1));
            ValidateFrames();
            SetSelection({r.SelFirst, r.SelLast});
            return true;
        },
        how);
    return r;
}

TTimingResult TAnimController::MirrorRange(int first, int last)
{
    return RunTimerOp(QStringLiteral("Mirror"), {}, [&] { return MirrorFrames(Doc_.AnimFrames, first, last); });
}

TTimingResult TAnimController::MoveRange(int first, int last, int target)
{
    return RunTimerOp(QStringLiteral("Move"), {}, [&] { return MoveFrames(Doc_.AnimFrames, first, last, target); });
}

TTimingResult TAnimController::CopyRange(int first, int last, int target)
{
    try {
        return RunTimerOp(QStringLiteral("Copy"), {}, [&] { return CopyFrames(Doc_.AnimFrames, first, last, target); });
    } catch (const std::bad_alloc&) {
        // The copies are made before anything changes: the frames are as they were.
        return {TTimingStatus::Stopped, Rtm::OutOfMemory(), first, last};
    }
}

TTimingResult TAnimController::DeleteRange(int first, int last)
{
    // The range may have held several frames past the current one: the current frame is
    // brought back among the frames.
    return RunTimerOp(QStringLiteral("Delete Frames"), {first, last}, [&] { return DeleteFrames(Doc_.AnimFrames, first, last); });
}

TTimingResult TAnimController::FlipRange(int first, int last)
{
    const TFlipPartners partners = FindFlipPartners(Doc_.AnimSelections.Names());
    TTimingResult r = RunTimerOp(
        QStringLiteral("Flip"), {first, last}, [&] { return FlipFrames(Doc_.AnimFrames, partners, first, last); },
        TStepRecorder::TKeep::Copy);
    if (r.Done())
        r.Message = QStringLiteral("Finished Flip operation\n") + FlipMessage(Doc_.AnimSelections.Names(), partners);
    return r;
}

TTimingResult TAnimController::FlipRangeHalfCycleLater(int first, int last)
{
    const TFlipPartners partners = FindFlipPartners(Doc_.AnimSelections.Names());
    const std::vector<THalfCycleTarget> targets = HalfCycleTargets(Doc_.AnimFrames, first, last);
    TTimingResult r;
    try {
        r = RunTimerOp(
            QStringLiteral("Flip, half a cycle later"), ReplacedFrames(targets),
            [&] {
                int current[1] = {Doc_.ActAnimStep};
                const TTimingResult done = FlipFramesHalfCycleLater(Doc_.AnimFrames, partners, first, last, targets, current);
                if (done.Done()) {
                    SetStepCount(Doc_.FrameCount());
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
                    FlipMessage(Doc_.AnimSelections.Names(), partners);
    }
    return r;
}

int TAnimController::WriteBackFrameTimes(const std::vector<TTimerItem>& items)
{
    if (Doc_.AnimFrames.empty())
        return -1;
    const TScope scope(*this, TAnimChange::Document);
    int first = -1;
    const bool changed = Record(QStringLiteral("Drag Frames"), {}, [&] {
        first = ::WriteBackFrameTimes(items, Doc_.AnimFrames);
        ValidateFrameTimes(Doc_.AnimFrames);
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
