#include "anim/AnimController.h"
#include "anim/FrameOps.h"
#include "anim/Rtm.h"
#include "platform/FileUtil.h"

#include <new>

void TAnimController::ClearAnimation()
{
    emit AboutToClear();
    SetActStep(0);
    Doc.AnimFrames = {};  // its memory goes back too, not only its frames
    Doc.AnimSelections.Clear();
    Doc.AnimStepCount = 0;
    Doc.TotalMove = {0, 0, 0};
    Doc.AnimFileName.clear();
    Doc.PlayFraction = 0;
    // The counters and the grid show the empty document, never a stale count.
    emit StepCountChanged(0);
    emit FramesChanged();
    emit TotalMoveChanged();
    emit Cleared();
}

void TAnimController::SetActStep(int step)
{
    if (Doc.ShuttingDown)
        return;
    if (step >= Doc.AnimStepCount)
        step = Doc.AnimStepCount - 1;
    if (step < 0)
        step = 0;
    if (step == Doc.ActAnimStep)
        return;
    Doc.ActAnimStep = step;
    emit ActStepChanged(step);
}

void TAnimController::SetStepCount(int count)
{
    if (Doc.ShuttingDown)
        return;
    if (count < 0)
        count = 0;
    if (count == Doc.AnimStepCount)
        return;
    Doc.AnimStepCount = count;
    emit StepCountChanged(count);
    if (Doc.ActAnimStep >= Doc.AnimStepCount)
        SetActStep(Doc.AnimStepCount - 1);
}

void TAnimController::ValidateFrames()
{
    ValidateFrameTimes(Doc.AnimFrames);
    emit FramesChanged();
}

QString TAnimController::DeleteFrame(int index)
{
    if (Doc.AnimFrames.size() <= 2)
        return QStringLiteral("Only two Animsteps left!");
    if (index < 0 || index >= Doc.FrameCount())
        return {};
    Doc.AnimFrames.erase(Doc.AnimFrames.begin() + index);
    SetStepCount(Doc.AnimStepCount - 1);
    return {};
}

QString TAnimController::CreateNewAnimation(const QStringList& names)
{
    Doc.AnimFileName.clear();
    if (names.isEmpty())
        return QStringLiteral("Nothing selected!");
    TAnimFrame frame;
    frame.Time = 0;
    for (const QString& name : names) {
        if (IsInAnimation(name))
            continue;
        TAnimEntry e;
        e.NameIndex = Doc.AnimSelections.Add(name);
        frame.Entries.push_back(e);
    }
    Doc.AnimFrames.push_back(std::move(frame));
    SetStepCount(1);
    ValidateFrames();
    return {};
}

QString TAnimController::LoadAnimation(const QString& path)
{
    Doc.LoadingAnim = true;
    ClearAnimation();
    const QString error = ReadRtmFile(ResolveCaseInsensitive(path), Doc, path);
    if (!error.isEmpty()) {
        // Whatever was read before the fault goes: a failed load leaves an empty document.
        ClearAnimation();
        Doc.LoadingAnim = false;
        return error;
    }
    emit TotalMoveChanged();
    SetStepCount(Doc.FrameCount());
    if (!Doc.AnimFrames.empty())
        ValidateFrames();
    Doc.AnimFileName = path;
    Doc.LoadingAnim = false;
    return {};
}

QString TAnimController::SaveAnimation(const QString& path)
{
    if (Doc.AnimStepCount == 0)
        return QStringLiteral("No Animation found!");
    // Streamed: the file is never built in memory as a whole.
    TAtomicFileWriter out(path);
    if (const QString error = WriteRtm(Doc, out); !error.isEmpty()) {
        out.Discard();
        return error;
    }
    if (!out.Ok() || !out.Commit())
        return QStringLiteral("Cannot write file %1: %2").arg(path, out.Error());
    Doc.AnimFileName = path;
    return {};
}

QString TAnimController::InsertFrameAfter()
{
    if (Doc.AnimFrames.empty())
        return QStringLiteral("No Anim found!");
    int added = -1;
    try {
        added = ::InsertFrameAfter(Doc.AnimFrames, Doc.ActAnimStep);
    } catch (const std::bad_alloc&) {
        return Rtm::OutOfMemory();  // the frames are as they were
    }
    if (added < 0)
        return {};
    SetStepCount(Doc.AnimStepCount + 1);
    SetActStep(added);
    ValidateFrames();
    return {};
}

QString TAnimController::DeleteCurrentFrame()
{
    if (Doc.AnimStepCount == 0)
        return QStringLiteral("No Anim Steps!");
    const QString refused = DeleteFrame(Doc.ActAnimStep);
    if (refused.isEmpty())
        ValidateFrames();
    return refused;
}

bool TAnimController::RetimeFrame(int index, float t, bool committed)
{
    if (!CanRetimeFrame(index, Doc.FrameCount()))
        return false;
    ::RetimeFrame(Doc.AnimFrames, index, t, committed);
    ValidateFrames();
    return true;
}

void TAnimController::SetTotalMove(int axis, float value)
{
    if (axis >= 0 && axis < 3)
        Doc.TotalMove[size_t(axis)] = value;
}
