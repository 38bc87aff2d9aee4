#include "anim/AnimDocument.h"
#include "support/TestMain.h"

#include <QTest>
#include <limits>

using FloatList = QList<float>;
using BoolList = QList<bool>;

class TestAnimDocument : public QObject {
    Q_OBJECT
private slots:
    void validateFrameTimes_data();
    void validateFrameTimes();
    void selectionsLookUp_data();
    void selectionsLookUp();
    void selectionsClearStartsOver();
};

void TestAnimDocument::validateFrameTimes_data()
{
    QTest::addColumn<FloatList>("times");
    QTest::addColumn<FloatList>("expectedTimes");
    QTest::addColumn<BoolList>("expectedValid");
    const float nan = std::numeric_limits<float>::quiet_NaN();

    QTest::newRow("out of order frame is marked, not moved")
        << FloatList{0, 0.5f, 0.4f, 0.7f} << FloatList{0, 0.5f, 0.4f, 1} << BoolList{true, true, false, true};
    QTest::newRow("single frame goes to 0") << FloatList{0.3f} << FloatList{0} << BoolList{true};
    QTest::newRow("ends are pinned") << FloatList{0.2f, 0.9f} << FloatList{0, 1} << BoolList{true, true};
    QTest::newRow("equal times are invalid")
        << FloatList{0, 0.5f, 0.5f, 1} << FloatList{0, 0.5f, 0.5f, 1} << BoolList{true, true, false, true};
    // The last frame is pinned to 1 and counts as valid even behind a later time.
    QTest::newRow("time above 1 before the end")
        << FloatList{0, 1.5f, 0.8f} << FloatList{0, 1.5f, 1} << BoolList{true, true, true};
    QTest::newRow("negative second time") << FloatList{0.4f, -0.1f, 0.6f} << FloatList{0, -0.1f, 1}
                                          << BoolList{true, false, true};
    QTest::newRow("the pinned first time decides the second")
        << FloatList{-5, -1, 0.5f} << FloatList{0, -1, 1} << BoolList{true, false, true};
    // NaN compares false both ways: the NaN frame and its successor are invalid.
    QTest::newRow("NaN in the middle")
        << FloatList{0, nan, 0.5f, 0.7f, 1} << FloatList{0, nan, 0.5f, 0.7f, 1} << BoolList{true, false, false, true, true};
    QTest::newRow("no frames") << FloatList{} << FloatList{} << BoolList{};
}

void TestAnimDocument::validateFrameTimes()
{
    QFETCH(FloatList, times);
    QFETCH(FloatList, expectedTimes);
    QFETCH(BoolList, expectedValid);
    std::vector<TAnimFrame> frames;
    for (float t : times) {
        TAnimFrame f;
        f.Time = t;
        f.TimeValid = !(t > 0);  // the opposite of most results, so stale flags show
        f.Entries.push_back({7, IdentityMatrix12f});
        frames.push_back(f);
    }
    ValidateFrameTimes(frames);
    QCOMPARE(int(frames.size()), expectedTimes.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        const float want = expectedTimes[qsizetype(i)];
        if (std::isnan(want))
            QVERIFY(std::isnan(frames[i].Time));
        else
            QCOMPARE(frames[i].Time, want);
        QCOMPARE(frames[i].TimeValid, expectedValid[qsizetype(i)]);
        QCOMPARE(frames[i].Entries.size(), size_t(1));  // entries untouched
        QCOMPARE(frames[i].Entries[0].NameIndex, 7);
    }
}

void TestAnimDocument::selectionsLookUp_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("wanted");
    QTest::addColumn<int>("slot");

    QTest::newRow("exact") << QStringList{"Body", "Arm"} << "Arm" << 1;
    QTest::newRow("other case") << QStringList{"Body", "Arm"} << "aRM" << 1;
    QTest::newRow("duplicates: first wins") << QStringList{"x", "Arm", "ARM", "arm"} << "arm" << 1;
    QTest::newRow("latin-1 case") << QStringList{QString::fromLatin1("Kn\xe9"), QString::fromLatin1("\xd6l")}
                                   << QString::fromLatin1("\xf6L") << 1;
    QTest::newRow("missing") << QStringList{"Body", "Arm"} << "Arms" << -1;
    QTest::newRow("prefix is not a match") << QStringList{"Body"} << "Bod" << -1;
    QTest::newRow("empty name") << QStringList{"a", "", "b"} << "" << 1;
    QTest::newRow("empty list") << QStringList{} << "a" << -1;
    QTest::newRow("trailing space matters") << QStringList{"Arm "} << "Arm" << -1;
}

void TestAnimDocument::selectionsLookUp()
{
    QFETCH(QStringList, names);
    QFETCH(QString, wanted);
    QFETCH(int, slot);
    TAnimSelections s;
    for (qsizetype i = 0; i < names.size(); ++i)
        QCOMPARE(s.Add(names[i]), int(i));
    QCOMPARE(s.Count(), int(names.size()));
    QCOMPARE(s.Names(), names);  // kept as added, duplicates included
    QCOMPARE(s.IndexOf(wanted), slot);
}

void TestAnimDocument::selectionsClearStartsOver()
{
    TAnimSelections s;
    s.Add("A");
    s.Add("B");
    s.Clear();
    QVERIFY(s.IsEmpty());
    QCOMPARE(s.IndexOf("a"), -1);
    QCOMPARE(s.IndexOf("B"), -1);
    // Slots start at 0 again and the look-up follows the new names.
    QCOMPARE(s.Add("b"), 0);
    QCOMPARE(s.IndexOf("B"), 0);
    QCOMPARE(s.IndexOf("A"), -1);
}

TORVANE_TEST(TestAnimDocument)
#include "TestAnimDocument.moc"
