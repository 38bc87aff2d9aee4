#include "anim/Playback.h"

#include <algorithm>

namespace {
// A segment of no length (only a frame retimed in the middle of its segment can give one
// while drawing) shows its start rather than dividing by zero. A blend never leaves its two
// frames: when the current frame was changed under a running segment, the time gone can
// exceed the segment's length.
double SegmentFraction(double elapsed, double length) { return length > 0 ? std::clamp(elapsed / length, 0.0, 1.0) : 0; }
}  // namespace

TPlayback::TPlayback(IPlaybackHost& host, std::function<double()> now) : Host_(host), Now_(std::move(now)) {}

bool TPlayback::Start(double playTimeSeconds)
{
    InSegment_ = false;
    Shown_.clear();
    if (Host_.FrameCount() <= 0) {
        Mode_ = Mode::Idle;
        return false;
    }
    Mode_ = Mode::Playing;  // before the step change, so frame 0 is not applied
    Host_.SetActStep(0);
    T0_ = Now_();
    P_ = playTimeSeconds * 1000;
    Prev_ = 0;
    return true;
}

void TPlayback::Stop()
{
    Host_.SetPlayFraction(0);
    if (Mode_ == Mode::Playing)
        Mode_ = Mode::Stopping;
}

void TPlayback::Abort()
{
    Host_.SetPlayFraction(0);
    Mode_ = Mode::Idle;
    InSegment_ = false;
}

bool TPlayback::Tick()
{
    if (Mode_ == Mode::Idle)
        return false;
    const int count = Host_.FrameCount();
    if (count <= 0) {
        // The document was emptied under the loop: there is no frame left to finish on.
        Mode_ = Mode::Idle;
        InSegment_ = false;
        Host_.SetPlayFraction(0);
        return false;
    }
    const double now = Now_();
    if (Mode_ == Mode::Stopping) {
        // The segment in progress (or the one about to begin) ends on its frame, which the
        // host now applies since playback is off.
        Mode_ = Mode::Idle;
        InSegment_ = false;
        Host_.SetPlayFraction(0);
        Ending_ = true;
        Finish(now);
        Ending_ = false;
        return false;
    }
    if (!InSegment_) {
        Next_ = (std::max(Host_.ActStep(), 0) + 1) % count;
        NextTime_ = Host_.FrameTime(Next_);
        SegStart_ = now;
        SegLength_ = (NextTime_ - Prev_) * P_;
        InSegment_ = true;
    }
    if (Next_ < count)
        NextTime_ = Host_.FrameTime(Next_);  // the target may have been retimed meanwhile
    if (Next_ < count && now - T0_ < NextTime_ * P_) {
        const double f = SegmentFraction(now - SegStart_, SegLength_);
        Host_.SetPlayFraction(f);
        Host_.ShowInterpolated(f);
        return true;
    }
    InSegment_ = false;
    Finish(now);
    return Active();
}

bool TPlayback::MessageAsBox(const QString& text)
{
    if (!Active() && !Ending_)
        return true;
    if (Shown_.contains(text))
        return false;
    Shown_ << text;
    return true;
}

void TPlayback::Finish(double now)
{
    Prev_ = NextTime_;
    const int act = Host_.ActStep();
    if (act >= Host_.FrameCount() - 1) {
        Host_.SetActStep(0);
        T0_ = now;
    } else {
        Host_.SetActStep(act + 1);
    }
}

TPlaybackPose PlaybackPoseAt(std::span<const float> times, double T)
{
    const int n = static_cast<int>(times.size());
    if (n == 0)
        return {};
    T = std::clamp(T, 0.0, 1.0);
    // Segment k (towards frame k + 1) starts where the previous one ended and ends once
    // T reaches Time[k + 1]; one that would end before it starts ends at once.
    double segStart = 0;
    double prev = 0;
    for (int k = 0; k + 1 < n; ++k) {
        const double next = times[static_cast<size_t>(k + 1)];
        if (T < next)
            return {k, SegmentFraction(T - segStart, next - prev)};
        segStart = std::max(segStart, next);
        prev = next;
    }
    return {n - 1, 0};
}

TPlaybackPose PlaybackPoseAt(const TAnimFrames& frames, double T) { return PlaybackPoseAt(frames.Times(), T); }

TTransform BlendMatrix(const TMatrix12f& a, const TMatrix12f& b, double f)
{
    TTransform t;
    for (size_t i = 0; i < 12; ++i) {
        const double x = a[i];
        t.m[i] = x + (static_cast<double>(b[i]) - x) * f;
    }
    return t;
}

int FindBlendPartner(const TAnimFrame& cur, const TAnimFrame& nxt, int nameIndex)
{
    for (size_t j = 0; j < cur.Entries.size(); ++j) {
        if (cur.Entries[j].NameIndex == nameIndex)
            return j < nxt.Entries.size() ? static_cast<int>(j) : -1;
    }
    return -1;
}
