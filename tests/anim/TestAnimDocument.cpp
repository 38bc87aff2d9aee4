#include "anim/AnimDocument.h"
#include "support/TestMain.h"

#include <QTest>
#include <limits>

using FloatList = QList<float>;
using BoolList = QList<bool>;

class TestAnimDocument : public QObject {
    Q_OBJECT
private slots:
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
        std::vector<TAnimFrame> frames;
        for (float t : times)  // flags start opposite to most results, so stale ones show
            frames.push_back({!(t > 0), t, {{7, IdentityMatrix12f}}});
        ValidateFrameTimes(frames);
        for (size_t i = 0; i < frames.size(); ++i) {
            QVERIFY(std::isnan(frames[i].Time) ? std::isnan(expectedTimes[qsizetype(i)]) : frames[i].Time == expectedTimes[qsizetype(i)]);
            QCOMPARE(frames[i].TimeValid, expectedValid[qsizetype(i)]);
            QCOMPARE(frames[i].Entries.size(), size_t(1));  // entries untouched
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

TORVANE_TEST(TestAnimDocument)
#include "TestAnimDocument.moc"
