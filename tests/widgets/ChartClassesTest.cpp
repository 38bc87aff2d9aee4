// The chart's class tags and in-place edits, the nearest mark, the auto range and rims.
#include "support/TestMain.h"
#include "widgets/Chart.h"

#include <QTest>

namespace {

constexpr uint32_t Red = 0x000000FFu;  // 0x00BBGGRR
constexpr uint32_t Green = 0x0000FF00u;
QRgb Rgb(uint32_t win) { return qRgb(win & 0xFF, (win >> 8) & 0xFF, (win >> 16) & 0xFF); }

// Whether a pixel of this colour lies within one pixel of p.
bool Near(const QImage& img, QPointF p, uint32_t color)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (img.pixel(int(p.x()) + dx, int(p.y()) + dy) == Rgb(color))
                return true;
    return false;
}

// A polyline through (0,0), (1,2), (2,1) with a mark on each point after the first.
void Fill(TChartItems& items)
{
    items.MoveTo(0, 0);
    items.LineTo(1, 2);
    items.Mark(1, 2, 9);
    items.LineTo(2, 1);
    items.Mark(2, 1, 9);
}

}  // namespace

class ChartClassesTest : public QObject {
    Q_OBJECT
private slots:
    // What each edit leaves of the counts and the bounding box, which later fills and the
    // auto range rely on.
    void editsKeepCountsAndBox_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<int>("items");
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("marks");
        QTest::addColumn<QRectF>("box");  // min x, min y, width, height
        QTest::newRow("none") << "" << 5 << 2 << 2 << QRectF(0, 0, 2, 2);
        QTest::newRow("remove a mark") << "remove1" << 4 << 2 << 1 << QRectF(0, 0, 2, 2);
        QTest::newRow("remove mark and line") << "remove2" << 3 << 1 << 1 << QRectF(0, 0, 1, 2);
        QTest::newRow("remove all") << "remove9" << 0 << 0 << 0 << QRectF();
        QTest::newRow("shift a class") << "shift" << 5 << 2 << 2 << QRectF(0, 0, 2, 5);
        QTest::newRow("then add") << "add" << 7 << 3 << 3 << QRectF(0, -1, 3, 3);
    }
    void editsKeepCountsAndBox()
    {
        QFETCH(QString, edit);
        QFETCH(int, items);
        QFETCH(int, lines);
        QFETCH(int, marks);
        QFETCH(QRectF, box);
        TChartItems c;
        Fill(c);
        if (edit.startsWith("remove"))
            for (int i = edit.right(1).toInt(); i > 0; --i)
                c.RemoveLast();
        if (edit == "shift") {
            QCOMPARE(c.MarkInRect(0.5, 1.5, 1.5, 2.5, 7), 2);  // the line to (1,2) and its mark
            c.ShiftClassY(7, 3);
        }
        if (edit == "add") {
            c.RemoveLast();
            c.LineTo(3, -1);  // the pen is still down at (2,1)
            c.Mark(3, -1, 9);
            c.Mark(2, 1, 9);
        }
        QCOMPARE(int(c.Items().size()), items);
        QCOMPARE(c.LineCount(), lines);
        QCOMPARE(int(c.Decorations().size()), marks);
        TChartBox b;
        QCOMPARE(c.BoundingBox(b), !box.isNull());
        if (!box.isNull())
            QCOMPARE(QRectF(b.MinX, b.MinY, b.MaxX - b.MinX, b.MaxY - b.MinY), box);
    }

    // Rims move the plot; the mapping, the nearest mark and the auto range follow it, and
    // a class colour paints its items over their run's colour.
    void rimsNearestMarkAndClassColours()
    {
        TChart chart;
        chart.resize(240, 150);
        chart.SetEqualScale(false);
        chart.SetGridStyle(TChart::TGridStyle::None);
        chart.SetRims(30, 10, 10, 40);
        QCOMPARE(chart.PlotArea(), QRect(30, 10, 200, 100));
        chart.SetColor(Green);
        Fill(chart.Items());
        chart.AutoRange(5.0);
        const TChartRange r = chart.Range();
        QCOMPARE(QRectF(r.X1, r.Y1, r.X2 - r.X1, r.Y2 - r.Y1), QRectF(-0.1, -0.1, 2.2, 2.2));
        // The plot's corners are the range's.
        QCOMPARE(chart.PixelToChart(QPointF(30, 110)), QPointF(-0.1, -0.1));
        QCOMPARE(chart.ChartToPixel(2.1, 2.1), QPointF(230, 10));

        double d = 0;
        const QPointF mark2 = chart.ChartToPixel(2, 1);
        QCOMPARE(chart.NearestMark(mark2 + QPointF(3, 4), &d), 4);
        QCOMPARE(d, 5.0);
        QCOMPARE(chart.NearestMark(chart.ChartToPixel(0, 0)), 2);  // the move-to is no mark

        chart.Items().SetClassColor(7, Red);
        chart.Items().SetClass(3, 7);  // the line to (2,1)
        const QImage img = chart.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QPointF mid1 = chart.ChartToPixel(0.5, 1), mid2 = chart.ChartToPixel(1.5, 1.5);
        QVERIFY(Near(img, mid1, Green) && !Near(img, mid1, Red));
        QVERIFY(Near(img, mid2, Red) && !Near(img, mid2, Green));
        // Nothing of the plot reaches into the rims.
        QVERIFY(img.pixel(QPoint(20, 60)) != Rgb(Green) && img.pixel(QPoint(20, 60)) != Rgb(Red));
    }
};

TORVANE_TEST(ChartClassesTest)
#include "ChartClassesTest.moc"
