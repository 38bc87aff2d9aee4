#include "FrameTestUtil.h"
#include "anim/FrameOps.h"
#include "support/TestMain.h"

#include <QTest>
#include <limits>

using BoolList = QList<bool>;

class TestFrameOps : public QObject {
    Q_OBJECT
private slots:
    void insertFrameAfter_data()
    {
        QTest::addColumn<FloatList>("times"); QTest::addColumn<int>("cur");
        QTest::addColumn<FloatList>("expected");  // the new frame at cur + 1; unchanged: refused
        QTest::newRow("midpoint to the successor") << FloatList{0, 0.5f, 1} << 0 << FloatList{0, 0.25f, 0.5f, 1};
        QTest::newRow("after the last of two") << FloatList{0, 1} << 1 << FloatList{0, 0.5f, 1};
        QTest::newRow("after the last: half-way from its predecessor") << FloatList{0, 0.25f, 1} << 2 << FloatList{0, 0.25f, 0.625f, 1};
        QTest::newRow("one frame") << FloatList{0} << 0 << FloatList{0, 1};
        QTest::newRow("no frames") << FloatList{} << 0 << FloatList{};
        QTest::newRow("cur past the end") << FloatList{0, 1} << 2 << FloatList{0, 1};
    }
    void insertFrameAfter()
    {
        QFETCH(FloatList, times); QFETCH(int, cur); QFETCH(FloatList, expected);
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

    void parseFrameTime_data()
    {
        QTest::addColumn<QString>("text"); QTest::addColumn<QString>("point");
        QTest::addColumn<float>("value");  // NaN: refused
        const float no = std::numeric_limits<float>::quiet_NaN();
        const QList<std::tuple<const char*, const char*, float>> rows{
            {"0.8", ".", 0.8f}, {"0,8", ",", 0.8f}, {"0.8", ",", 0.8f}, {" -1.5 ", ".", -1.5f}, {"+.5", ".", 0.5f},
            {"5.", ".", 5}, {"2,5E+1", ",", 25}, {"0,8", ".", no}, {"1,000.5", ".", no}, {"1.000,5", ",", no},
            {"", ".", no}, {".", ".", no}, {"-", ".", no}, {"1e", ".", no}, {"1 2", ".", no},
            {"0x10", ".", no}, {"inf", ".", no}, {"nan", ".", no}, {"1e39", ".", no}, {"1e400", ".", no}};
        for (const auto& [text, point, value] : rows)
            QTest::newRow(qPrintable(QStringLiteral("'%1' with '%2'").arg(text, point))) << QString(text) << QString(point) << value;
    }
    void parseFrameTime()
    {
        QFETCH(QString, text); QFETCH(QString, point); QFETCH(float, value);
        float v = 42;
        QCOMPARE(ParseFrameTime(text, v, point), !std::isnan(value));
        QCOMPARE(v, std::isnan(value) ? 42.f : value);  // a refused text leaves the value alone
    }

    void formatFrameTime()
    {
        QCOMPARE(FormatFrameTime(0, QStringLiteral(".")), QStringLiteral("0.0"));
        QCOMPARE(FormatFrameTime(0.123456f, QStringLiteral(",")), QStringLiteral("0,12346"));
        QCOMPARE(FormatFrameTime(0.25f, QStringLiteral(",")), QStringLiteral("0,25"));
    }

    void retimeFrame_data()
    {
        QTest::addColumn<int>("index"); QTest::addColumn<bool>("committed");
        QTest::addColumn<IntList>("ids");  // order afterwards: frames 0, 0.5, 0.6, 1, one at 0.8
        QTest::newRow("committed: sorted") << 1 << true << IntList{0, 2, 1, 3};
        QTest::newRow("editor open: order kept") << 1 << false << IntList{0, 1, 2, 3};
        QTest::newRow("first frame takes it too") << 0 << true << IntList{1, 2, 0, 3};
        QTest::newRow("last frame refused") << 3 << true << IntList{0, 1, 2, 3};
        QTest::newRow("past the end refused") << 4 << true << IntList{0, 1, 2, 3};
    }
    void retimeFrame()
    {
        QFETCH(int, index); QFETCH(bool, committed); QFETCH(IntList, ids);
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

    void validateFrameTimes_data()
    {
        QTest::addColumn<FloatList>("times"); QTest::addColumn<FloatList>("expectedTimes"); QTest::addColumn<BoolList>("expectedValid");
        const float nan = std::numeric_limits<float>::quiet_NaN();
        QTest::newRow("out of order: marked, not moved") << FloatList{0, 0.5f, 0.4f, 0.7f} << FloatList{0, 0.5f, 0.4f, 1} << BoolList{true, true, false, true};
        QTest::newRow("single frame goes to 0") << FloatList{0.3f} << FloatList{0} << BoolList{true};
        QTest::newRow("equal times are invalid") << FloatList{0, 0.5f, 0.5f, 1} << FloatList{0, 0.5f, 0.5f, 1} << BoolList{true, true, false, true};
        QTest::newRow("the pinned last frame is valid even behind a later time") << FloatList{0, 1.5f, 0.8f} << FloatList{0, 1.5f, 1} << BoolList{true, true, true};
        QTest::newRow("the pinned first time decides the second") << FloatList{-5, -1, 0.5f} << FloatList{0, -1, 1} << BoolList{true, false, true};
        // NaN compares false both ways: the NaN frame and its successor are invalid.
        QTest::newRow("NaN in the middle") << FloatList{0, nan, 0.5f, 0.7f, 1} << FloatList{0, nan, 0.5f, 0.7f, 1} << BoolList{true, false, false, true, true};
    }
    void validateFrameTimes()
    {
        QFETCH(FloatList, times); QFETCH(FloatList, expectedTimes); QFETCH(BoolList, expectedValid);
        TAnimFrames frames = FramesAt(times);
        ValidateFrameTimes(frames);
        for (size_t i = 0; i < frames.size(); ++i) {
            QVERIFY(std::isnan(frames[i].Time) ? std::isnan(expectedTimes[qsizetype(i)]) : frames[i].Time == expectedTimes[qsizetype(i)]);
            QCOMPARE(frames.TimeValid(i), expectedValid[qsizetype(i)]);
        }
    }

    void selectionsLookUp()
    {
        // Letter case, Latin-1 and duplicates are met through the animation reader's tests.
        TAnimSelections s;
        for (const char* n : {"Arm ", "", "b"})
            s.Add(n);
        QCOMPARE(s.IndexOf("Arm"), -1);  // a trailing space matters
        QCOMPARE(s.IndexOf(""), 1);
        s.Clear();  // then slots start at 0 again and the look-up follows the new names only
        QCOMPARE(s.IndexOf(""), -1);
        QCOMPARE(s.Add("B"), 0);
        QCOMPARE(s.Add("x"), 1);
        QCOMPARE(s.IndexOf("b"), 0);
    }
};

TORVANE_TEST(TestFrameOps)
#include "TestFrameOps.moc"
