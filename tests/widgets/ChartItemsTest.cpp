#include "support/TestMain.h"
#include "base/ChartItems.h"

#include <QRandomGenerator>
#include <QTest>
#include <cmath>
#include <limits>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

template <typename T> void Put(QByteArray& out, T v) { out.append(reinterpret_cast<const char*>(&v), sizeof v); }

// A box as bytes, so that comparisons are to the bit (-0.0 is not 0.0); empty when there is none.
QByteArray BoxBytes(bool has, const TChartBox& b)
{
    QByteArray out;
    if (has)
        for (double v : {b.MinX, b.MinY, b.MaxX, b.MaxY})
            Put(out, v);
    return out;
}

// The box a scan over every item gives: lowest and highest finite positions.
QByteArray ScanBox(const TChartItems& items)
{
    bool any = false;
    TChartBox box{};
    for (const TChartItem& it : items.Items()) {
        if (!std::isfinite(it.X) || !std::isfinite(it.Y))
            continue;
        box = any ? TChartBox{std::min(box.MinX, it.X), std::min(box.MinY, it.Y), std::max(box.MaxX, it.X),
                              std::max(box.MaxY, it.Y)}
                  : TChartBox{it.X, it.Y, it.X, it.Y};
        any = true;
    }
    return BoxBytes(any, box);
}

QByteArray KeptBox(const TChartItems& items)
{
    TChartBox box;
    return items.BoundingBox(box) ? BoxBytes(true, box) : QByteArray();
}

// Everything a list holds, coordinates to the bit.
QByteArray Dump(const TChartItems& items)
{
    QByteArray out;
    for (const TChartItem& it : items.Items())
        Put(out, it.X), Put(out, it.Y), Put(out, it.Kind), Put(out, it.Aux);
    for (const auto& run : items.Runs())
        Put(out, run.Color), Put(out, run.First);
    Put(out, items.LineCount());
    return out + KeptBox(items);
}

}  // namespace

class ChartItemsTest : public QObject {
    Q_OBJECT
private slots:
    void boxKeptAsItemsAreAdded_data();
    void boxKeptAsItemsAreAdded();
    void polylineEqualsMoveAndLines_data();
    void polylineEqualsMoveAndLines();
};

void ChartItemsTest::boxKeptAsItemsAreAdded_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("oddOneIn");  // one coordinate in this many is NaN, ±Inf or ±0; 0: none
    QTest::newRow("finite") << 1u << 0;
    QTest::newRow("non-finite now and then") << 3u << 7;
    QTest::newRow("mostly non-finite") << 4u << 2;
}

// After every operation the kept box is the one a scan over all items finds, to the bit:
// pen lifts and non-finite points never count, and a clear forgets everything.
void ChartItemsTest::boxKeptAsItemsAreAdded()
{
    QFETCH(quint32, seed);
    QFETCH(int, oddOneIn);
    QRandomGenerator rng(seed);
    const double odd[] = {NaN, Inf, -Inf, 0.0, -0.0};
    auto coord = [&]() -> double {
        if (oddOneIn > 0 && rng.bounded(oddOneIn) == 0)
            return odd[rng.bounded(5)];
        return (rng.generateDouble() - 0.5) * std::pow(10.0, rng.bounded(7) - 3);
    };
    TChartItems items;
    for (int step = 0; step < 3000; ++step) {
        switch (rng.bounded(7)) {
        case 0: items.MoveTo(coord(), coord()); break;
        case 1: items.LineTo(coord(), coord()); break;
        case 2: items.Mark(coord(), coord(), 24); break;
        case 3: items.Text(coord(), coord(), "t", 6); break;
        case 4: {
            double xy[8];
            const int n = 1 + int(rng.bounded(4));
            for (int i = 0; i < 2 * n; ++i)
                xy[i] = coord();
            items.Polyline(xy, n);
            break;
        }
        case 5: items.SetColor(rng.generate()); break;
        default:
            if (rng.bounded(20) == 0)
                items.Clear();
        }
        QVERIFY2(KeptBox(items) == ScanBox(items), qPrintable(QString("step %1").arg(step)));
    }
}

void ChartItemsTest::polylineEqualsMoveAndLines_data()
{
    QTest::addColumn<QList<double>>("xy");
    QTest::addColumn<bool>("penDownBefore");
    QTest::newRow("triangle") << QList<double>{0, 0, 1, 0, 0, 1} << false;
    QTest::newRow("quad after a line") << QList<double>{-1, -2, 3, 4, 5, -6, 7, 8} << true;
    QTest::newRow("single point") << QList<double>{2.5, -3.5} << true;
    QTest::newRow("negative zero") << QList<double>{-0.0, 0.0, 0.0, -0.0, 1, 1} << false;
    QTest::newRow("NaN first") << QList<double>{NaN, 0, 1, 0, 0, 1} << true;
    QTest::newRow("NaN in the middle") << QList<double>{0, 0, 1, NaN, 0, 1, 2, 2} << false;
    QTest::newRow("Inf last") << QList<double>{0, 0, 1, 0, 0, 1, Inf, 2} << true;
    QTest::newRow("all non-finite") << QList<double>{NaN, NaN, -Inf, 0, 0, Inf} << true;
    QTest::newRow("huge but finite") << QList<double>{1e308, -1e308, -1e308, 1e308, 0, 0} << false;
}

// The bulk path writes exactly the items, runs, count, box and pen state that MoveTo and
// LineTo calls would, whether or not it can take its fast way.
void ChartItemsTest::polylineEqualsMoveAndLines()
{
    QFETCH(QList<double>, xy);
    QFETCH(bool, penDownBefore);
    TChartItems bulk, single;
    for (TChartItems* it : {&bulk, &single}) {
        it->SetColor(0x123456);
        it->MoveTo(10, 20);
        it->LineTo(penDownBefore ? 11 : NaN, 21);
        it->SetColor(0x00FF00);
    }
    const int n = int(xy.size() / 2);
    bulk.Polyline(xy.data(), n);
    single.MoveTo(xy[0], xy[1]);
    for (int i = 1; i < n; ++i)
        single.LineTo(xy[2 * i], xy[2 * i + 1]);
    QCOMPARE(Dump(bulk), Dump(single));
    // The pen is where the last finite point left it: a further line starts there or not.
    bulk.LineTo(50, 50);
    single.LineTo(50, 50);
    QCOMPARE(Dump(bulk), Dump(single));
}

TORVANE_TEST(ChartItemsTest)
#include "ChartItemsTest.moc"
