// Playback and blending: the playback machine driven by a fuzzed clock, with frames
// deleted, retimed and cleared between ticks as handlers may do, over times from the
// input. The current frame always exists, every fraction drawn is finite and, while the
// times are in order, within 0 .. 1; a stop ends within two ticks. The pose of a moment
// of one pass names an existing frame, and blends of finite matrices stay finite and
// start and end on the matrices blended.
#include "FuzzSupport.h"
#include "anim/AnimDocument.h"
#include "anim/Playback.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {
FuzzSeeds MakeSeeds()
{
    return {
        {"five_frames", QByteArray("\x05\x00\x30\x60\xa0\xff"
                                   "\x01\x10\x00\x40\x00\x40\x00\x40\x02\x00\x00\x40\x01\x05",
                                   20)},
        {"retimed", QByteArray("\x04\x00\x80\x40\xff"
                               "\x01\x30\x00\x20\x04\x02\x00\x20\x00\x20\x03\x00\x00\x20",
                               19)},
        {"cleared", QByteArray("\x03\x00\x80\xff"
                               "\x01\x05\x00\x10\x05\x00\x00\x10\x00\x10",
                               14)},
    };
}

struct THost : IPlaybackHost {
    std::vector<float> Times;
    int Act = 0;
    bool Changed = false;  // frames changed since the start: a segment may outrun its frame
    int FrameCount() const override { return int(Times.size()); }
    int ActStep() const override { return Act; }
    float FrameTime(int index) const override
    {
        FUZZ_CHECK(index >= 0 && index < FrameCount());
        return Times[size_t(index)];
    }
    void SetActStep(int step) override { Act = std::clamp(step, 0, std::max(0, FrameCount() - 1)); }
    void ShowInterpolated(double fraction) override
    {
        FUZZ_CHECK(std::isfinite(fraction));
        FUZZ_CHECK(Act >= 0 && Act < FrameCount());
        if (Ordered() && !Changed)
            FUZZ_CHECK(fraction >= 0 && fraction <= 1);
    }
    void SetPlayFraction(double fraction) override { FUZZ_CHECK(std::isfinite(fraction)); }
    bool Ordered() const
    {
        for (size_t i = 0; i < Times.size(); ++i)
            if (!(Times[i] >= 0 && Times[i] <= 1) || (i > 0 && Times[i] < Times[i - 1]))
                return false;
        return !Times.empty() && Times.front() == 0;
    }
};
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    WriteSeedsIfAsked(MakeSeeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    size_t pos = 0;
    const auto next = [&]() -> int { return pos < size ? data[pos++] : 0; };
    THost host;
    const int frames = next() % 40;
    for (int i = 0; i < frames; ++i)
        host.Times.push_back(float(next()) / 255.0f);

    // The pose of each moment of a pass, by the same rules without a clock.
    for (double T : {0.0, 0.25, 0.5, 0.999, 1.0, 1.5, -0.5}) {
        const TPlaybackPose p = PlaybackPoseAt(host.Times, T);
        FUZZ_CHECK(host.Times.empty() ? p.Frame == -1 : (p.Frame >= 0 && p.Frame < frames));
        FUZZ_CHECK(std::isfinite(p.Fraction));
    }

    double now = 0;
    TPlayback play(host, [&now] { return now; });
    int stopTicks = -1;
    while (pos < size) {
        const int op = next() % 8, a = next();
        switch (op) {
        case 0:
            host.Changed = false;
            play.Start(a / 10.0);
            stopTicks = -1;
            break;
        case 1:
            now += a;
            break;
        case 2:
            now += a * 37.0;
            break;
        case 3:
            play.Stop();
            if (!play.Active())
                stopTicks = -1;
            else if (stopTicks < 0)
                stopTicks = 0;
            break;
        case 4:
            if (!host.Times.empty())
                host.Times.erase(host.Times.begin() + a % host.Times.size());
            host.SetActStep(host.Act);
            host.Changed = true;
            break;
        case 5:
            host.Times.clear();
            host.Act = 0;
            host.Changed = true;
            break;
        case 6:
            if (!host.Times.empty())
                host.Times[size_t(a) % host.Times.size()] = float(next()) / 255.0f;
            host.Changed = true;
            break;
        default:
            host.SetActStep(a % 50);
            break;
        }
        play.Tick();
        if (stopTicks >= 0 && !play.Playing()) {
            if (play.Active())
                FUZZ_CHECK(++stopTicks < 2);
            else
                stopTicks = -1;
        }
        FUZZ_CHECK(host.Act >= 0 && (host.Times.empty() || host.Act < host.FrameCount()));
    }

    // Blending two matrices from the input's remaining bytes (whatever was consumed).
    TMatrix12f a{}, b{};
    for (size_t i = 0; i < 12; ++i) {
        a[i] = float(int(data[i % size]) - 128) / 7.0f;
        b[i] = float(int(data[(i * 5 + 3) % size]) - 128) / 3.0f;
    }
    for (double f : {0.0, 1.0, 0.5, double(data[0]) / 255.0}) {
        const TTransform m = BlendMatrix(a, b, f);
        for (int i = 0; i < 12; ++i) {
            FUZZ_CHECK(std::isfinite(m[i]));
            if (f == 0)
                FUZZ_CHECK(m[i] == double(a[size_t(i)]));
            if (f == 1)
                FUZZ_CHECK(std::fabs(m[i] - double(b[size_t(i)])) <= 1e-6 * (1 + std::fabs(double(b[size_t(i)]))));
        }
    }
    return 0;
}
