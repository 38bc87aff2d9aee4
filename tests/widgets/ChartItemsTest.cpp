#include "support/TestMain.h"
#include "support/TestTable.h"
#include "base/ChartItems.h"
#include "widgets/ChartTwoWays.h"

#include <QRandomGenerator>
#include <algorithm>
#include <QTest>
#include <cmath>
#include <limits>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

template <typename T>
void Put(QByteArray& out, T v)
{
    out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

// A box as bytes, so that comparisons are to the bit (-0.0 is not 0.0); empty when there is none.
QByteArray BoxBytes(bool has, const TChartBox& b)
{
    return has ? QByteArray(reinterpret_cast<const char*>(&b), sizeof b) : QByteArray();
}

// The box a scan over every item gives: lowest and highest finite positions.
QByteArray ScanBox(const TChartItems& items)
{
    TChartBox box{Inf, Inf, -Inf, -Inf};
    for (const TChartItem& it : items.Items())
        if (std::isfinite(it.X) && std::isfinite(it.Y))
            box = {std::min(box.MinX, it.X), std::min(box.MinY, it.Y), std::max(box.MaxX, it.X), std::max(box.MaxY, it.Y)};
    return BoxBytes(box.MinX != Inf, box);
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
    for (uint32_t d : items.Decorations())
        Put(out, d);
    Put(out, items.LineCount());
    return out + KeptBox(items);
}

// What a list draws: its segments in order with their colours, coordinates to the bit, then
// its segment count and box.
QByteArray Drawn(const TChartItems& items)
{
    QByteArray out;
    items.ForEachSegment([&](double x0, double y0, double x1, double y1, uint32_t c) {
        Put(out, x0), Put(out, y0), Put(out, x1), Put(out, y1), Put(out, c);
    });
    Put(out, items.LineCount());
    return out + KeptBox(items);
}

}  // namespace

class ChartItemsTest : public QObject {
    Q_OBJECT
private slots:
    void boxKeptAsItemsAreAdded_data() { QVERIFY(AddTableRows("widgets/items-box.table")); }
    // After every operation the kept box is the one a scan over all items finds, to the bit:
    // pen lifts and non-finite points never count, edits in place move it, and a clear
    // forgets everything. An item added and removed again leaves the list as it was.
    void boxKeptAsItemsAreAdded()
    {
        QFETCH(int, seed);
        QFETCH(int, oddOneIn);
        QRandomGenerator rng{quint32(seed)};
        const double odd[] = {NaN, Inf, -Inf, 0.0, -0.0, -1e308};
        auto coord = [&] {
            return oddOneIn > 0 && rng.bounded(oddOneIn) == 0 ? odd[rng.bounded(6)]
                                                              : (rng.generateDouble() - 0.5) * std::pow(10.0, rng.bounded(7) - 3);
        };
        TChartItems items;
        const auto addOne = [&](int kind) {
            switch (kind) {
            case 0:
                items.MoveTo(coord(), coord());
                break;
            case 1:
                items.LineTo(coord(), coord());
                break;
            case 2:
                items.Mark(coord(), coord(), 24);
                break;
            case 3:
                items.JoinedMark(coord(), coord(), 9);
                break;
            default:
                items.Text(coord(), coord(), "t", 6);
            }
        };
        for (int step = 0; step < 4000; ++step) {
            const int op = int(rng.bounded(9));
            if (op < 5) {
                addOne(op);
            } else if (op == 5) {
                items.SetColor(rng.generate());
            } else if (op == 6) {
                // The pen too is where it was: a line drawn next starts at the same place.
                TChartItems before = items;
                const int kind = int(rng.bounded(5));
                addOne(kind);
                if (items.Items().size() > before.Items().size())  // non-finite marks add nothing
                    items.RemoveLast();
                before.LineTo(1, 1), items.LineTo(1, 1);
                QVERIFY2(Dump(items) == Dump(before), qPrintable(QString("step %1 kind %2").arg(step).arg(kind)));
            } else if (op == 7) {
                const double x = coord(), y = coord();
                const auto inside = [&](const TChartItem& it) {
                    return std::abs(it.X) <= std::abs(x) && std::abs(it.Y) <= std::abs(y);
                };
                const auto tagged = std::count_if(items.Items().begin(), items.Items().end(), inside);
                QCOMPARE(items.MarkInRect(x, y, -x, -y, 5), int(tagged));  // corners in either order, edges in
                const TChartItems before = items;
                items.ShiftClassY(5, coord());
                for (size_t i = 0; i < items.Items().size(); ++i)  // other classes stay
                    QVERIFY(before.Items()[i].Class == 5 || !(items.Items()[i].Y != before.Items()[i].Y) ||
                            std::isnan(items.Items()[i].Y));
            } else if (rng.bounded(20) == 0) {
                items.Clear();
            } else {
                items.RemoveLast();
            }
            QVERIFY2(KeptBox(items) == ScanBox(items), qPrintable(QString("step %1").arg(step)));
        }
    }

    void outlinesDrawAsPolylines_data() { QVERIFY(AddTableRows("widgets/items-outlines.table")); }
    // Outlines drawn from point blocks and index lists give the segments, colours, segment
    // count and box that the same polygons give as polylines.
    void outlinesDrawAsPolylines()
    {
        QFETCH(int, seed);
        QFETCH(int, oddOneIn);
        QRandomGenerator rng{quint32(seed)};
        TTwoWays t;
        DrawBothWays(t, rng, oddOneIn);
        QVERIFY(t.Items.LineCount() > 0);
        QCOMPARE(Drawn(t.Outlines), Drawn(t.Items));
    }
};

TORVANE_TEST(ChartItemsTest)
#include "ChartItemsTest.moc"
