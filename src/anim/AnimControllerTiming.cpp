// The frame timer's operations on the document, shared by the frame timer window and the
// command line.
#include "anim/AnimController.h"
#include "anim/Rtm.h"

#include <algorithm>
#include <new>

TTimingResult TAnimController::LinearizeRange(int first, int last)
{
    TTimingResult r = LinearizeFrames(Doc.AnimFrames, first, last);
    if (!r.Done())
        return r;
    // As the chart's write-back does it: the first selected frame becomes current.
    ValidateFrames();
    SetActStep(first);
    return r;
}

TTimingResult TAnimController::MirrorRange(int first, int last)
{
    TTimingResult r = MirrorFrames(Doc.AnimFrames, first, last);
    if (r.Done())
        ValidateFrames();
    return r;
}

TTimingResult TAnimController::MoveRange(int first, int last, int target)
{
    TTimingResult r = MoveFrames(Doc.AnimFrames, first, last, target);
    if (r.Done())
        ValidateFrames();
    return r;
}

TTimingResult TAnimController::CopyRange(int first, int last, int target)
{
    TTimingResult r;
    try {
        r = CopyFrames(Doc.AnimFrames, first, last, target);
    } catch (const std::bad_alloc&) {
        // Nothing had changed yet: the frames are as they were.
        return {TTimingStatus::Stopped, Rtm::OutOfMemory(), first, last};
    }
    if (!r.Done())
        return r;
    SetStepCount(Doc.FrameCount());
    ValidateFrames();
    return r;
}

TTimingResult TAnimController::DeleteRange(int first, int last)
{
    TTimingResult r = DeleteFrames(Doc.AnimFrames, first, last);
    if (!r.Done())
        return r;
    const int count = Doc.FrameCount();
    SetStepCount(count);
    // The range may have held several frames past the current one.
    SetActStep(std::min(Doc.ActAnimStep, count - 1));
    ValidateFrames();
    return r;
}

int TAnimController::WriteBackFrameTimes(const std::vector<TTimerItem>& items)
{
    if (Doc.AnimFrames.empty())
        return -1;
    const int first = ::WriteBackFrameTimes(items, Doc.AnimFrames);
    ValidateFrames();
    if (first != -1)
        SetActStep(first);
    return first;
}
