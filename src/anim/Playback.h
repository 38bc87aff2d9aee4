#pragma once
// Playback as a state machine driven by a timer: each Tick() is one turn of the drawing
// loop between two passes of the event loop. One pass through all frames takes the play
// time; frame i is reached Time[i] x P milliseconds after the pass started (P = play time
// x 1000), and between two frames the host shows a linear blend of their transforms.
//
// The steps of one segment (towards frame next = (current + 1) mod count):
//   begin:  segStart = now; segLength = (Time[next] - prev) x P
//   draw:   while now - T0 < Time[next] x P: fraction = (now - segStart) / segLength
//   finish: prev = Time[next]; the current frame advances, after the last frame back to
//           frame 0 with a new T0 (the segment back to frame 0 takes no time)
// A segment towards a frame that is not later than prev is finished without drawing.
// Every tick reads the frame count, the current step and the times afresh from the host,
// since any handler may have changed them between two ticks.
#include "anim/AnimDocument.h"
#include "base/Transform.h"

#include <functional>
#include <span>
#include <vector>

// What playback needs of the document's owner.
class IPlaybackHost {
public:
    virtual ~IPlaybackHost() = default;
    virtual int FrameCount() const = 0;
    virtual int ActStep() const = 0;
    virtual float FrameTime(int index) const = 0;
    // Makes a frame current (clamped). It applies the frame to the components only when
    // playback is off, i.e. when TPlayback::Playing() is false.
    virtual void SetActStep(int step) = 0;
    // Poses the components at fraction f between the current frame and the next one and
    // refreshes the display.
    virtual void ShowInterpolated(double fraction) = 0;
    virtual void SetPlayFraction(double fraction) = 0;
};

class TPlayback {
public:
    // now(): a monotonic clock in milliseconds.
    TPlayback(IPlaybackHost& host, std::function<double()> now);

    // Play switched on. Refuses (false: switch the button off again) when there are no
    // frames. Reads the play time once; a change during playback counts at the next start.
    // Makes frame 0 current (not applied: playback is on). A stop still waiting to finish
    // is dropped, since the new pass starts at frame 0 anyway.
    bool Start(double playTimeSeconds);

    // One turn of the loop. Returns Active(): false once playback has ended, so the
    // caller's timer can stop. When it ends by itself because the document was emptied,
    // the caller switches the Play button off (its handler calling Stop() is harmless).
    bool Tick();

    // Play switched off by the user, or by whatever clears the document. PlayFraction
    // becomes 0 at once (the caller refreshes the display); the segment in progress
    // finishes at the next Tick(): the frame it was heading for becomes current and, with
    // playback off, is applied exactly. If the document is empty by then, nothing is
    // touched.
    void Stop();
    // The document is being replaced: playback ends at once, and no segment finishes on
    // the frames that come next.
    void Abort();

    // Play is on: SetActStep must not apply frames, and the 2D outlines are not drawn.
    bool Playing() const { return Mode_ == Mode::Playing; }
    // Ticks are still wanted: playing, or a stop waiting to finish its segment.
    bool Active() const { return Mode_ != Mode::Idle; }

    // A message raised while the pose is shown (a frame that cannot be posed): true when
    // it is to be shown as a box. Within one playback, up to the frame its stop ends on,
    // a text is shown so once; its repeats (one per drawing step) go to the status bar
    // instead, so that they never bury the Play button under boxes.
    bool MessageAsBox(const QString& text);

private:
    enum class Mode { Idle, Playing, Stopping };
    void Finish(double now);

    IPlaybackHost& Host_;
    std::function<double()> Now_;
    Mode Mode_ = Mode::Idle;
    bool InSegment_ = false;
    double P_ = 0;
    double T0_ = 0;
    double Prev_ = 0;
    double SegStart_ = 0;
    double SegLength_ = 0;
    double NextTime_ = 0;
    int Next_ = 0;
    QStringList Shown_;  // the messages shown as boxes in this playback
    bool Ending_ = false;  // the stop's last frame is being applied
};

// What playback shows T (0 .. 1) of the way through one pass when every drawing step takes
// no time: the current frame and the blend fraction towards the next frame. Segments follow
// the machine above, skipped ones included; T >= 1 shows the last frame, fraction 0.
// Frame is -1 when there are no times.
struct TPlaybackPose {
    int Frame = -1;
    double Fraction = 0;
};
TPlaybackPose PlaybackPoseAt(std::span<const float> times, double T);
TPlaybackPose PlaybackPoseAt(const TAnimFrames& frames, double T);

// a + (b - a) x f for each of the 12 values, in double; the 3x3 part is not
// re-orthonormalised, so a rotation blended half-way comes out shortened.
TTransform BlendMatrix(const TMatrix12f& a, const TMatrix12f& b, double f);

// The entry pair blended for name slot nameIndex: the first entry of cur with that
// NameIndex and the entry at the same list position in nxt. Returns that position, or -1
// when cur has no such entry or nxt has fewer entries than that ("AnimEntry not found!").
int FindBlendPartner(const TAnimFrame& cur, const TAnimFrame& nxt, int nameIndex);
