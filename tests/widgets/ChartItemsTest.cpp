#include "support/TestMain.h"
#include "widgets/ChartItems.h"

#include <QRandomGenerator>
#include <QTest>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The box a scan over every item gives: lowest and highest finite positions.
bool ScanBox(const TChartItems& items, TChartBox& box)
{
    bool any = false;
    for (const TChartItem& it : items.Items()) {
        if (!std::isfinite(it.X) || !std::isfinite(it.Y))
            continue;
        if (!any) {
            box = {it.X, it.Y, it.X, it.Y};
            any = true;
            continue;
        }
        if (it.X < box.MinX) box.MinX = it.X;
        if (it.X > box.MaxX) box.MaxX = it.X;
        if (it.Y < box.MinY) box.MinY = it.Y;
        if (it.Y > box.MaxY) box.MaxY = it.Y;
    }
    return any;
}

QString BoxText(const TChartBox& b)
{
    return QStringLiteral("(%1, %2)-(%3, %4)").arg(b.MinX).arg(b.MinY).arg(b.MaxX).arg(b.MaxY);
}

// Everything a list holds, compared field by field (coordinates to the bit).
QString Differs(const TChartItems& a, const TChartItems& b)
{
    if (a.Items().size() != b.Items().size())
        return QStringLiteral("%1 items against %2").arg(a.Items().size()).arg(b.Items().size());
    for (size_t i = 0; i < a.Items().size(); ++i) {
        const TChartItem &x = a.Items()[i], &y = b.Items()[i];
        if (!SameBits(x.X, y.X) || !SameBits(x.Y, y.Y) || x.Kind != y.Kind || x.Aux != y.Aux)
            return QStringLiteral("item %1 differs").arg(i);
    }
    if (a.Runs().size() != b.Runs().size())
        return QStringLiteral("colour runs differ");
    for (size_t i = 0; i < a.Runs().size(); ++i)
        if (a.Runs()[i].Color != b.Runs()[i].Color || a.Runs()[i].First != b.Runs()[i].First)
            return QStringLiteral("colour run %1 differs").arg(i);
    if (a.LineCount() != b.LineCount())
        return QStringLiteral("%1 segments against %2").arg(a.LineCount()).arg(b.LineCount());
    TChartBox ba, bb;
    const bool ha = a.BoundingBox(ba), hb = b.BoundingBox(bb);
    if (ha != hb || (ha && (!SameBits(ba.MinX, bb.MinX) || !SameBits(ba.MinY, bb.MinY) ||
                            !SameBits(ba.MaxX, bb.MaxX) || !SameBits(ba.MaxY, bb.MaxY))))
        return QStringLiteral("boxes differ");
    return {};
}

}  // namespace

class ChartItemsTest : public QObject {
    Q_OBJECT
private slots:
    void boxKeptAsItemsAreAdded_data();
    void boxKeptAsItemsAreAdded();
    void polylineEqualsMoveAndLines_data();
    void polylineEqualsMoveAndLines();
    void decorationsListMarksAndTexts();
};

void ChartItemsTest::boxKeptAsItemsAreAdded_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("oddOneIn");  // one coordinate in this many is NaN, ±Inf or ±0; 0: none
    QTest::addColumn<bool>("clears");   // now and then the list is cleared
    QTest::newRow("finite") << 1u << 0 << false;
    QTest::newRow("finite, cleared") << 2u << 0 << true;
    QTest::newRow("non-finite now and then") << 3u << 7 << false;
    QTest::newRow("mostly non-finite, cleared") << 4u << 2 << true;
    QTest::newRow("non-finite, cleared") << 5u << 5 << true;
}

// After every operation the kept box is the one a scan over all items finds, to the bit:
// pen lifts and non-finite points never count, and a clear forgets everything.
void ChartItemsTest::boxKeptAsItemsAreAdded()
{
    QFETCH(quint32, seed);
    QFETCH(int, oddOneIn);
    QFETCH(bool, clears);
    QRandomGenerator rng(seed);
    const double odd[] = {NaN, Inf, -Inf, 0.0, -0.0};
    auto coord = [&]() -> double {
        if (oddOneIn > 0 && rng.bounded(oddOneIn) == 0)
            return odd[rng.bounded(5)];
        return (rng.generateDouble() - 0.5) * std::pow(10.0, rng.bounded(7) - 3);
    };
    TChartItems items;
    TChartBox box;
    QVERIFY(!items.BoundingBox(box));
    int cleared = 0;
    for (int step = 0; step < 3000; ++step) {
        const int op = static_cast<int>(rng.bounded(clears ? 7 : 6));
        switch (op) {
        case 0: items.MoveTo(coord(), coord()); break;
        case 1: items.LineTo(coord(), coord()); break;
        case 2: items.Mark(coord(), coord(), 24); break;
        case 3: items.Text(coord(), coord(), "t", 6); break;
        case 4: {
            double xy[8];
            const int n = 1 + static_cast<int>(rng.bounded(4));
            for (int i = 0; i < 2 * n; ++i)
                xy[i] = coord();
            items.Polyline(xy, n);
            break;
        }
        case 5: items.SetColor(rng.generate()); break;
        default:
            if (rng.bounded(20) == 0) {
                items.Clear();
                ++cleared;
            }
        }
        TChartBox kept, scanned;
        const bool hasKept = items.BoundingBox(kept);
        const bool hasScanned = ScanBox(items, scanned);
        QCOMPARE(hasKept, hasScanned);
        if (hasKept)
            QVERIFY2(SameBits(kept.MinX, scanned.MinX) && SameBits(kept.MinY, scanned.MinY) &&
                         SameBits(kept.MaxX, scanned.MaxX) && SameBits(kept.MaxY, scanned.MaxY),
                     qPrintable(QStringLiteral("step %1: kept %2, scan %3").arg(step).arg(BoxText(kept), BoxText(scanned))));
    }
    if (clears)
        QVERIFY(cleared > 0);
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

// The bulk path writes exactly the items, runs, count, box and pen state that a MoveTo
// and LineTo calls would, whether or not it can take its fast way.
void ChartItemsTest::polylineEqualsMoveAndLines()
{
    QFETCH(QList<double>, xy);
    QFETCH(bool, penDownBefore);
    TChartItems bulk, single;
    for (TChartItems* it : {&bulk, &single}) {
        it->SetColor(0x123456);
        it->MoveTo(10, 20);
        if (penDownBefore)
            it->LineTo(11, 21);
        else
            it->LineTo(NaN, 0);
        it->SetColor(0x00FF00);
    }
    const int n = static_cast<int>(xy.size() / 2);
    bulk.Polyline(xy.data(), n);
    single.MoveTo(xy[0], xy[1]);
    for (int i = 1; i < n; ++i)
        single.LineTo(xy[2 * i], xy[2 * i + 1]);
    QString d = Differs(bulk, single);
    QVERIFY2(d.isEmpty(), qPrintable(d));
    // The pen is where the last finite point left it: a further line starts there or not.
    bulk.LineTo(50, 50);
    single.LineTo(50, 50);
    d = Differs(bulk, single);
    QVERIFY2(d.isEmpty(), qPrintable(d));
}

void ChartItemsTest::decorationsListMarksAndTexts()
{
    TChartItems it;
    it.MoveTo(0, 0);
    it.LineTo(1, 1);
    it.Mark(2, 2, 24);
    it.Mark(NaN, 2, 24);  // dropped: not listed
    const double tri[] = {0, 0, 1, 0, 0, 1};
    it.Polyline(tri, 3);
    it.Text(Inf, 0, "gone", 6);
    it.Text(3, 3, "x", 6);
    it.LineTo(4, 4);
    it.Mark(5, 5, 1);
    const std::vector<uint32_t> expected{2, 6, 8};
    QCOMPARE(it.Decorations(), expected);
    for (uint32_t i : it.Decorations())
        QVERIFY(it.Items()[i].Kind == TChartItemKind::Mark || it.Items()[i].Kind == TChartItemKind::Text);
    QCOMPARE(it.Items()[6].Aux, 0u);  // the only text kept is text 0
    QCOMPARE(it.Texts().size(), size_t(1));

    it.Clear();
    QVERIFY(it.Decorations().empty());
    it.Mark(1, 1, 24);
    QCOMPARE(it.Decorations(), std::vector<uint32_t>{0});
}

TORVANE_TEST(ChartItemsTest)
#include "ChartItemsTest.moc"
