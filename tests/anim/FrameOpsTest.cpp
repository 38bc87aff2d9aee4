// The frame list's own operations: insertion, typed times, retiming, sorting and the
// validity of times.
#include "FrameTestUtil.h"
#include "anim/FrameOps.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QTest>
#include <limits>

class FrameOpsTest : public QObject {
    Q_OBJECT
private slots:
    void insertFrameAfter_data() { QVERIFY(AddTableRows("anim/insert-frame.table")); }
    void insertFrameAfter()
    {
        QFETCH(FloatList, times);
        QFETCH(int, cur);
        QFETCH(FloatList, expected);
        TAnimFrames frames = FramesAt(times, true);  // a second entry, so the copy has more than one to take
        const bool done = expected.size() > times.size();
        QCOMPARE(InsertFrameAfter(frames, cur), done ? cur + 1 : -1);
        QCOMPARE(TimesOf(frames), expected);
        if (!done)
            return;
        IntList ids = IdsOf(frames);
        QCOMPARE(ids.takeAt(cur + 1), cur);  // a copy of cur; the rest in their order
        QCOMPARE(ids, IdsOf(FramesAt(times)));
        const auto copied = frames.Entries(size_t(cur + 1));
        QVERIFY(copied.size() == 2 && copied[1].NameIndex == 3 && copied[1].Matrix[9] == times[cur]);
    }

    void parseFrameTime_data() { QVERIFY(AddTableRows("anim/parse-frame-time.table")); }
    void parseFrameTime()
    {
        QFETCH(QString, text);
        QFETCH(QString, point);
        QFETCH(float, value);
        float v = 42;
        QCOMPARE(ParseFrameTime(text, v, point), !std::isnan(value));
        QCOMPARE(v, std::isnan(value) ? 42.f : value);  // a refused text leaves the value alone
    }

    void retimeFrame_data() { QVERIFY(AddTableRows("anim/retime-frame.table")); }
    void retimeFrame()
    {
        QFETCH(int, index);
        QFETCH(bool, committed);
        QFETCH(IntList, ids);
        TAnimFrames frames = FramesAt({0, 0.5f, 0.6f, 1});
        QCOMPARE(RetimeFrame(frames, index, 0.8f, committed), index < 3);
        QCOMPARE(IdsOf(frames), ids);
        QCOMPARE(frames[size_t(ids.indexOf(std::min(index, 3)))].Time, index < 3 ? 0.8f : 1.f);
    }

    void sortIsStableWithNaNLast()
    {
        // Enough equal times that a sort which is not stable would mix them up.
        FloatList times;
        for (int i = 0; i < 200; ++i)
            times << (i == 7 || i == 100 ? std::numeric_limits<float>::quiet_NaN() : 0.25f * float(i % 3));
        TAnimFrames frames = FramesAt(times);
        SortFramesByTime(frames);
        const IntList ids = IdsOf(frames);
        QCOMPARE(ids.mid(198), (IntList{7, 100}));
        for (int i = 1; i < 198; ++i) {
            const float a = frames[size_t(i - 1)].Time, b = frames[size_t(i)].Time;
            QVERIFY2(a < b || (a == b && ids[i - 1] < ids[i]), qPrintable(QString::number(i)));
        }
    }

    void validateFrameTimes_data() { QVERIFY(AddTableRows("anim/frame-times.table")); }
    void validateFrameTimes()
    {
        QFETCH(FloatList, times);
        QFETCH(FloatList, expectedTimes);
        QFETCH(IntList, expectedValid);
        TAnimFrames frames = FramesAt(times);
        ValidateFrameTimes(frames);
        for (size_t i = 0; i < frames.size(); ++i) {
            QVERIFY(std::isnan(frames[i].Time) ? std::isnan(expectedTimes[qsizetype(i)])
                                               : frames[i].Time == expectedTimes[qsizetype(i)]);
            QCOMPARE(frames.TimeValid(i), expectedValid[qsizetype(i)] == 1);
        }
    }
};

TORVANE_TEST(FrameOpsTest)
#include "FrameOpsTest.moc"
