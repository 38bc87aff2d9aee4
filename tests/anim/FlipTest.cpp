// Flip: which names pair up, the mirrored transforms, flipping twice, "Flip, half a cycle
// later" and the steps the controller records.
#include "FrameTestUtil.h"
#include "anim/Flip.h"
#include "support/TestMain.h"

#include <QSignalSpy>
#include <cstring>
#include <limits>

namespace {

// Frames at these times, one entry of slot 0 each, frame i moved by 10 + i along x (so a
// mirrored one shows -(10 + i)) and turned a little about z.
TAnimFrames Walk(const FloatList& times)
{
    TAnimFrames frames(1);
    for (qsizetype i = 0; i < times.size(); ++i) {
        const TAnimEntry e{0, {0.5f, 0.25f, 0, -0.25f, 0.5f, 0, 0, 0, 1, 10.0f + float(i), 1, 2}};
        frames.Append(times[i], std::span(&e, 1));
    }
    return frames;
}

bool SameBits(const TMatrix12f& a, const TMatrix12f& b) { return std::memcmp(a.data(), b.data(), sizeof a) == 0; }

// A controller on walk.rtm: the given names, frames of RtmBuild's sample matrices.
struct TFlipFixture : TAnimFixture {
    TRecordedSteps Steps{Anim};
    explicit TFlipFixture(const std::vector<QByteArray>& names, int frames) : TAnimFixture(0)
    {
        QVERIFY(WriteBytesFile(Path("walk.rtm"), RtmBuild::Build(RtmBuild::TFile::Regular(names, frames))));
        QCOMPARE(Anim.LoadAnimation(Path("walk.rtm")), QString());
    }
};

}  // namespace

class FlipTest : public QObject {
    Q_OBJECT
private slots:
    // Partners by name, without regard to case; each must find the other; a side without
    // one is named (as the status bar's line has them).
    void partners_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("found");
        QTest::newRow("underscore") << QStringList{"arm_l", "body", "arm_r"} << "arm_l <-> arm_r";
        QTest::newRow("dot, other case") << QStringList{"Hand.L", "hand.r"} << "Hand.L <-> hand.r";
        QTest::newRow("dash and blank") << QStringList{"leg-r", "foot L", "leg-L", "FOOT r"}
                                        << "leg-r <-> leg-L, foot L <-> FOOT r";
        QTest::newRow("prefix") << QStringList{"r_eye", "l_eye", "l_"} << "r_eye <-> l_eye; no partner: l_";
        QTest::newRow("left and right anywhere")
            << QStringList{"LeftHand", "arm_left", "RightHand", "ARM_RIGHT"} << "LeftHand <-> RightHand, arm_left <-> ARM_RIGHT";
        QTest::newRow("both words swap at once")
            << QStringList{"left_to_right", "right_to_left"} << "left_to_right <-> right_to_left";
        QTest::newRow("no side") << QStringList{"body", "head", "tail", "l", "al_r"} << "no partners; no partner: al_r";
        QTest::newRow("a side alone") << QStringList{"arm_l", "body"} << "no partners; no partner: arm_l";
        // The second "Arm_L" finds arm_r, which pairs with the first: it stays alone.
        QTest::newRow("a name twice") << QStringList{"arm_l", "arm_r", "Arm_L"} << "arm_l <-> arm_r; no partner: Arm_L";
        // right_arm_l's suffix partner is missing, and left_arm_l has its own: not mutual.
        QTest::newRow("only mutual partners")
            << QStringList{"left_arm_l", "left_arm_r", "right_arm_l"} << "left_arm_l <-> left_arm_r; no partner: right_arm_l";
    }
    void partners()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, found);
        const TFlipPartners p = FindFlipPartners(names);
        QCOMPARE(FlipSummary(names, p), found);
        for (int i = 0; i < int(names.size()); ++i)  // a pairing is its own inverse
            if (const int j = p.Partner[size_t(i)]; j >= 0)
                QCOMPARE(p.Partner[size_t(j)], i);
    }

    // Each entry takes its partner's matrix mirrored; entries out of slot order, and a slot
    // with two entries, pair by rank from the last; flipping twice gives every bit back
    // (negative zeros and NaNs included).
    void flipEntriesTwice()
    {
        const TFlipPartners p = FindFlipPartners({"arm_l", "arm_r", "body"});
        const float nan = std::numeric_limits<float>::quiet_NaN();
        std::vector<TAnimEntry> in = {{2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
                                      {1, {-0.0f, 1, 0, 0, 1, 0, 0, 0, 1, nan, 0, 0}},
                                      {0, {0, 0, 1, 0, 1, 0, -1, 0, 0, 0.5f, 0, 0}},
                                      {0, {1, 0, 0, 0, 1, 0, 0, 0, 1, 7, 0, 0}}};
        std::vector<TAnimEntry> once(in.size()), twice(in.size());
        FlipEntries(in, p, once);
        // The last arm_l entry (rank 0) pairs with arm_r's only one; the earlier arm_l entry
        // has no partner of its rank and mirrors its own.
        QVERIFY(SameBits(once[3].Matrix, MirrorMatrix(in[1].Matrix)));
        QVERIFY(SameBits(once[1].Matrix, MirrorMatrix(in[3].Matrix)));
        QVERIFY(SameBits(once[2].Matrix, MirrorMatrix(in[2].Matrix)));
        QVERIFY(SameBits(once[0].Matrix, MirrorMatrix(in[0].Matrix)));
        // S M S with S = diag(-1, 1, 1): x's row and column change sign, their crossing stays.
        QCOMPARE(once[0].Matrix, (TMatrix12f{1, -2, -3, -4, 5, 6, -7, 8, 9, -10, 11, 12}));
        for (size_t k = 0; k < in.size(); ++k)
            QCOMPARE(once[k].NameIndex, in[k].NameIndex);
        FlipEntries(once, p, twice);
        QVERIFY(std::memcmp(twice.data(), in.data(), in.size() * sizeof(TAnimEntry)) == 0);
    }

    // Times of the frames, the range selected and the current frame; where each frame's pose
    // ends (its id, negative when flipped), the selection and the current frame after.
    void halfCycleLater_data()
    {
        QTest::addColumn<FloatList>("times");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<int>("current");
        QTest::addColumn<FloatList>("timesAfter");
        QTest::addColumn<IntList>("ids");
        QTest::addColumn<IntList>("after");  // selection, current
        const FloatList quarters{0, 0.25f, 0.5f, 0.75f, 1};
        QTest::newRow("first half onto the second")
            << quarters << 0 << 2 << 4 << quarters << IntList{10, 11, -10, -11, -12} << IntList{0, 2, 4};
        QTest::newRow("wraps past the end") << quarters << 3 << 4 << 1 << quarters << IntList{10, -13, -14, 13, 14}
                                            << IntList{3, 4, 1};
        // 1 lands on 0.5 as 0 does: the earlier frame is written; nothing lands on 0.
        QTest::newRow("everything") << quarters << 0 << 4 << 2 << quarters << IntList{10, -13, -10, -11, -12} << IntList{0, 4, 2};
        QTest::newRow("a new frame between")
            << FloatList{0, 0.2f, 0.4f, 0.6f, 0.8f, 1} << 1 << 1 << 5 << FloatList{0, 0.2f, 0.4f, 0.6f, 0.7f, 0.8f, 1}
            << IntList{10, 11, 12, 13, -11, 14, 15} << IntList{1, 1, 6};
        // New frames inside the selection widen it; the current frame keeps its pose.
        QTest::newRow("new frames inside the range")
            << FloatList{0, 0.1f, 0.6f, 1} << 0 << 2 << 3 << FloatList{0, 0.1f, 0.5f, 0.6f, 1} << IntList{10, -12, -10, -11, 13}
            << IntList{0, 3, 4};
        QTest::newRow("within the same time") << FloatList{0, 0.3f, 0.80003f, 1} << 1 << 1 << 0 << FloatList{0, 0.3f, 0.80003f, 1}
                                              << IntList{10, 11, -11, 13} << IntList{1, 1, 0};
        QTest::newRow("just beyond it") << FloatList{0, 0.3f, 0.80006f, 1} << 1 << 1 << 0 << FloatList{0, 0.3f, 0.8f, 0.80006f, 1}
                                        << IntList{10, 11, -11, 12, 13} << IntList{1, 1, 0};
        QTest::newRow("two land together") << FloatList{0, 0.2f, 0.20002f, 1} << 1 << 2 << 0
                                           << FloatList{0, 0.2f, 0.20002f, 0.7f, 1} << IntList{10, 11, 12, -11, 13}
                                           << IntList{1, 2, 0};
    }
    void halfCycleLater()
    {
        QFETCH(FloatList, times);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(int, current);
        QFETCH(FloatList, timesAfter);
        QFETCH(IntList, ids);
        QFETCH(IntList, after);
        TAnimFrames frames = Walk(times);
        const TFlipPartners alone = FindFlipPartners({"hip"});
        int follow[1] = {current};
        const TTimingResult r = FlipFramesHalfCycleLater(frames, alone, first, last, HalfCycleTargets(frames, first, last),
                                                         follow);
        QVERIFY(r.Done());
        QCOMPARE(TimesOf(frames), timesAfter);
        QCOMPARE(IdsOf(frames), ids);
        QCOMPARE((IntList{r.SelFirst, r.SelLast, follow[0]}), after);
        for (size_t i = 0; i < frames.size(); ++i)  // the flipped ones are mirrored whole
            if (frames.Entries(i)[0].Matrix[9] < 0)
                QCOMPARE(frames.Entries(i)[0].Matrix[1], -0.25f);
    }

    // No length to shift by with one frame; a range outside the frames does nothing.
    void halfCycleNotApplicable()
    {
        TAnimFrames one = Walk({0});
        QVERIFY(HalfCycleTargets(one, 0, 0).empty());
        TAnimFrames two = Walk({0, 1});
        QVERIFY(HalfCycleTargets(two, 1, 2).empty());
        QCOMPARE(FlipFramesHalfCycleLater(two, FindFlipPartners({"hip"}), 0, 0, {}).Status, TTimingStatus::NotApplicable);
        QCOMPARE(FlipFrames(two, FindFlipPartners({"hip"}), 0, 2).Status, TTimingStatus::NotApplicable);
        QCOMPARE(IdsOf(two), (IntList{10, 11}));
    }

    // Flip is one step under its name, with a line naming the pairs; partners swap their
    // mirrored matrices inside the range only. Undo and redo of it run in AnimStepsTest's
    // random chains.
    void flipIsOneStep()
    {
        TFlipFixture fx({"arm_l", "arm_r", "body"}, 5);
        const TAnimFrames before = fx.Doc.AnimFrames;
        fx.Anim.SetActStep(3);
        QSignalSpy changed(&fx.Anim, &TAnimController::Changed);
        const TTimingResult r = fx.Anim.FlipRange(1, 3);
        QVERIFY(r.Done());
        QCOMPARE(changed.count(), 1);
        QVERIFY(r.Message.startsWith("Finished Flip operation\n") && r.Message.contains("arm_l <-> arm_r"));
        QCOMPARE(fx.Steps.UndoName(), QStringLiteral("Flip"));
        QCOMPARE(int(fx.Steps.Done.size()), 1);
        QCOMPARE(fx.Doc.AnimFrames.Entries(2)[0].Matrix, MirrorMatrix(before.Entries(2)[1].Matrix));
        QCOMPARE(fx.Doc.AnimFrames.Entries(2)[2].Matrix, MirrorMatrix(before.Entries(2)[2].Matrix));
        QCOMPARE(fx.Doc.AnimFrames.Entries(0)[0].Matrix, before.Entries(0)[0].Matrix);  // outside the range
        QCOMPARE(fx.Doc.ActAnimStep, 3);
    }

    // Half a cycle later with frames inserted: one step, the current frame followed; a flip
    // that writes what the frames hold already is none.
    void halfCycleIsOneStep()
    {
        TFlipFixture fx({"leg_r", "leg_l"}, 4);  // times 0, 1/3, 2/3, 1
        const TAnimFrames before = fx.Doc.AnimFrames;
        fx.Anim.SetActStep(2);
        const TTimingResult r = fx.Anim.FlipRangeHalfCycleLater(0, 1);  // 0 -> 0.5 (new), 1/3 -> 5/6 (new)
        QVERIFY(r.Done());
        QVERIFY(r.Message.startsWith("Finished Flip, half a cycle later: 2 frames written, 2 of them new\n"));
        QCOMPARE(std::pair(fx.Doc.FrameCount(), fx.Doc.AnimStepCount), std::pair(6, 6));
        QCOMPARE(TimesOf(fx.Doc.AnimFrames, 1e-6), (FloatList{0, 0.333333f, 0.5f, 0.666667f, 0.833333f, 1}));
        QCOMPARE(fx.Doc.AnimFrames.Entries(2)[0].Matrix, MirrorMatrix(before.Entries(0)[1].Matrix));
        QCOMPARE(fx.Doc.AnimFrames.Entries(4)[1].Matrix, MirrorMatrix(before.Entries(1)[0].Matrix));
        QCOMPARE(fx.Doc.ActAnimStep, 3);  // still on the frame at 2/3
        QCOMPARE(fx.Steps.UndoName(), QStringLiteral("Flip, half a cycle later"));
        // 5/6 holds 1/3 flipped, so flipped onto 1/3 it changes nothing: no step.
        QVERIFY(fx.Anim.FlipRangeHalfCycleLater(4, 4).Done());
        QCOMPARE(int(fx.Steps.Done.size()), 1);
    }
};

TORVANE_TEST(FlipTest)
#include "FlipTest.moc"
