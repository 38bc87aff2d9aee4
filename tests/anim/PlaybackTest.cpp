// Playback on a fake clock, the pose it shows at a given time, and the blend of two frames.
#include "FrameTestUtil.h"
#include "anim/Playback.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QTest>

using DoubleList = QList<double>;

namespace {
// The document side of playback on a fake clock, recording what the machine did.
struct TRig : IPlaybackHost {
    std::vector<float> Times;
    int Act = 0;
    double PlayFraction = -1, Clock = 0;
    struct Draw {
        double At;
        int Act;
        double Fraction;
    };
    std::vector<Draw> Draws;
    std::vector<int> Applied;  // frames applied exactly, with playback off
    int StepCalls = 0;
    std::function<void()> Posed = [] {};  // after a draw or an exact frame
    TPlayback Machine{*this, [this] { return Clock; }};

    explicit TRig(const std::vector<float>& times) : Times(times) {}
    int FrameCount() const override { return int(Times.size()); }
    int ActStep() const override { return Act; }
    float FrameTime(int i) const override { return Times.at(size_t(i)); }
    void SetActStep(int step) override
    {
        ++StepCalls;
        step = std::max(0, std::min(step, FrameCount() - 1));
        const bool apply = step != Act && !Machine.Playing();
        if (apply)
            Applied.push_back(step);
        Act = step;
        if (apply)
            Posed();
    }
    void ShowInterpolated(double f) override
    {
        Draws.push_back({Clock, Act, f == PlayFraction ? f : -1});
        Posed();
    }
    void SetPlayFraction(double f) override { PlayFraction = f; }
    void RunUntil(double until, double dt)  // ms
    {
        for (; Clock < until; Clock += dt)
            Machine.Tick();
    }
};
}  // namespace

class PlaybackTest : public QObject {
    Q_OBJECT
private slots:
    void segments_data() { QVERIFY(AddTableRows("anim/playback-segments.table")); }
    void segments()
    {
        QFETCH(FloatList, times);
        QFETCH(double, playTime);
        QFETCH(DoubleList, runs);
        TRig rig({times.begin(), times.end()});
        rig.Act = int(times.size()) - 1;
        QVERIFY(rig.Machine.Start(playTime));
        QCOMPARE(rig.Act, 0);  // every pass starts at frame 0
        rig.RunUntil(std::max(2 * playTime * 1000, 10.0) - 0.1, 0.1);
        DoubleList got;  // frame, first and last draw, last fraction
        for (const TRig::Draw& d : rig.Draws) {
            if (got.isEmpty() || d.Act != got[got.size() - 4] || d.Fraction < got.last())
                got << d.Act << d.At << 0 << 0;
            got[got.size() - 2] = d.At;
            got.last() = d.Fraction;
        }
        QCOMPARE(got.size() / 4, runs.size() / 3);
        for (qsizetype r = 0; r < runs.size() / 3; ++r) {
            const double* g = &got[4 * r];
            QVERIFY2(
                g[0] == runs[3 * r] && std::abs(g[2] - g[1] - runs[3 * r + 1]) <= 1 && std::abs(g[3] - runs[3 * r + 2]) <= 0.002,
                qPrintable(QStringLiteral("run %1: frame %2, %3 ms, fraction %4").arg(r).arg(g[0]).arg(g[2] - g[1]).arg(g[3])));
        }
        QVERIFY(rig.Applied.empty());  // while playing nothing is applied exactly
        QVERIFY(playTime > 0 || rig.StepCalls > 90);  // without a play time every tick moves on
    }

    void stop_data() { QVERIFY(AddTableRows("anim/playback-stop.table")); }
    void stop()
    {
        QFETCH(double, at);
        QFETCH(bool, stop);
        QFETCH(bool, empty);
        QFETCH(IntList, applied);
        QFETCH(bool, abort);
        TRig none({});
        QVERIFY(!none.Machine.Start(1) && !none.Machine.Tick() && none.StepCalls == 0);  // refused: no frames
        TRig rig({0, 0.25f, 0.5f, 0.75f, 1});
        QVERIFY(rig.Machine.Start(4));
        rig.RunUntil(at, 0.5);
        if (stop) {
            rig.Machine.Stop();
            QVERIFY(rig.PlayFraction == 0 && !rig.Machine.Playing() && rig.Machine.Active());
        }
        if (empty)
            rig.Times.clear();
        if (abort)
            rig.Machine.Abort();
        const int calls = rig.StepCalls;
        const size_t draws = rig.Draws.size();
        QVERIFY(!rig.Machine.Tick());
        QCOMPARE(IntList(rig.Applied.begin(), rig.Applied.end()), applied);  // the target, exactly
        QCOMPARE(rig.StepCalls, calls + int(applied.size()));  // an emptied document is not touched
        QCOMPARE(rig.PlayFraction, 0.0);
        rig.RunUntil(at + 1000, 1);
        QVERIFY(rig.Draws.size() == draws && rig.StepCalls == calls + int(applied.size()));
    }

    // A frame that cannot be posed is reported at every drawing step: one box per playback
    // (up to the frame its stop ends on), the repeats for the status bar, so the Play button
    // stays within reach. Outside playback every message is a box.
    void messagesOncePerPlayback()
    {
        TRig rig({0, 0.5f, 1});
        int boxes = 0, lines = 0;
        rig.Posed = [&] {
            if (rig.Act == 1)
                ++(rig.Machine.MessageAsBox(QStringLiteral("AnimEntry not found!")) ? boxes : lines);
        };
        QVERIFY(rig.Machine.MessageAsBox(QStringLiteral("Invalid ActAnimStep!")));
        QVERIFY(rig.Machine.MessageAsBox(QStringLiteral("Invalid ActAnimStep!")));
        QVERIFY(rig.Machine.Start(1));
        rig.RunUntil(1200, 1);  // frame 1 drawn for half a pass, then a second pass begins
        QCOMPARE(boxes, 1);
        QVERIFY2(lines > 400, qPrintable(QString::number(lines)));
        QVERIFY(rig.Machine.MessageAsBox(QStringLiteral("Invalid ActAnimStep!")));  // another text: its own box
        QVERIFY(!rig.Machine.MessageAsBox(QStringLiteral("Invalid ActAnimStep!")));
        rig.Machine.Stop();  // between frames 0 and 1: the stop ends on frame 1
        lines = 0;
        QVERIFY(!rig.Machine.Tick());
        QVERIFY(boxes == 1 && lines == 1 && rig.Act == 1);
        QVERIFY(rig.Machine.MessageAsBox(QStringLiteral("AnimEntry not found!")));  // playback is over
        QVERIFY(rig.Machine.Start(1));  // a new playback shows it again
        rig.RunUntil(1800, 1);
        QCOMPARE(boxes, 2);
    }

    void poseAtBoundaries_data() { QVERIFY(AddTableRows("anim/pose-at.table")); }
    void poseAtBoundaries()
    {
        QFETCH(FloatList, times);
        QFETCH(double, T);
        QFETCH(double, fraction);
        const TPlaybackPose p = PlaybackPoseAt(std::vector<float>(times.begin(), times.end()), T);
        QTEST(p.Frame, "frame");
        QVERIFY2(std::abs(p.Fraction - fraction) < 1e-9, qPrintable(QString::number(p.Fraction)));
    }

    // The pose at T is where the machine stands on a clock of very small steps.
    void poseAtMatchesTheMachine()
    {
        const std::vector<float> times{0, 0.1f, 0.35f, 0.3f, 0.6f, 0.6f, 0.95f, 1};
        TRig rig(times);
        QVERIFY(rig.Machine.Start(1));
        rig.RunUntil(1000, 0.01);
        int checked = 0;
        size_t next = 0;
        for (double T = 0.003; T < 1; T += 0.0173) {
            while (next < rig.Draws.size() && rig.Draws[next].At <= T * 1000)
                ++next;
            if (next == 0 || std::any_of(times.begin(), times.end(), [T](float t) { return std::abs(T - t) < 0.002; }))
                continue;
            const TPlaybackPose p = PlaybackPoseAt(times, T);
            const TRig::Draw& d = rig.Draws[next - 1];
            QVERIFY2(p.Frame == d.Act && std::abs(p.Fraction - d.Fraction) < 1e-3,
                     qPrintable(QStringLiteral("T %1: %2 / %3").arg(T).arg(p.Frame).arg(p.Fraction)));
            ++checked;
        }
        QVERIFY(checked > 40);
    }

    // Blends mix the matrices element by element. A name's partner in the next frame is
    // at the position of its first entry in this one; a next frame too short has none.
    void blend()
    {
        const TMatrix12f id = IdentityMatrix12f, turned{0, 1, 0, -1, 0, 0, 0, 0, 1, 2, 4, -6};
        QCOMPARE(BlendMatrix(id, turned, 0.5).m,
                 (std::array<double, 12>{0.5, 0.5, 0, -0.5, 0.5, 0, 0, 0, 1, 1, 2, -3}));  // shortened

        std::vector<TAnimEntry> curEntries, nxtEntries(3);  // the partner of a name: its first entry in cur, same position in nxt
        for (int i : {2, 0, 2, 1})
            curEntries.push_back({i, IdentityMatrix12f});
        const TAnimFrame cur{0, curEntries}, nxt{0, nxtEntries};
        QVERIFY(FindBlendPartner(cur, nxt, 0) == 1 && FindBlendPartner(cur, nxt, 2) == 0);
        QVERIFY(FindBlendPartner(cur, nxt, 5) == -1 && FindBlendPartner(cur, nxt, 1) == -1);  // missing; nxt too short
    }
};

TORVANE_TEST(PlaybackTest)
#include "PlaybackTest.moc"
