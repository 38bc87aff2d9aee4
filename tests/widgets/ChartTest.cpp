#include "support/TestMain.h"
#include "support/TestTable.h"
#include "widgets/Chart.h"
#include "widgets/ChartTwoWays.h"

#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

namespace {
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();
constexpr uint32_t Red = 0x000000FFu;  // 0x00BBGGRR
constexpr uint32_t Blue = 0x00FF0000u;
constexpr uint32_t Green = 0x0000FF00u;

QRgb Rgb(uint32_t win) { return qRgb(win & 0xFF, (win >> 8) & 0xFF, (win >> 16) & 0xFF); }

std::unique_ptr<TChart> MakeChart(int w, int h, QRectF range)
{
    auto c = std::make_unique<TChart>();
    c->resize(w, h);
    c->SetGridStyle(TChart::TGridStyle::None);
    c->SetRange(range.left(), range.top(), range.left() + range.width(), range.top() + range.height());
    return c;
}

// A line in a colour of its own.
void Line(TChart& c, uint32_t color, double x0, double y0, double x1, double y1)
{
    c.SetColor(color);
    c.MoveTo(x0, y0);
    c.LineTo(x1, y1);
}

QRectF Rect(const TChartRange& r) { return QRectF(QPointF(r.X1, r.Y1), QPointF(r.X2, r.Y2)); }

QImage Grab(TChart& c) { return c.grab().toImage().convertToFormat(QImage::Format_RGB32); }

// Images here are RGB32, whose rows have no padding.
int CountColor(const QImage& img, QRgb color)
{
    const QRgb* p = reinterpret_cast<const QRgb*>(img.constBits());
    return int(std::count(p, p + img.width() * img.height(), color));
}

// Whether a pixel of this colour lies within one pixel of p.
bool ColorNear(const QImage& img, QPointF p, QRgb color)
{
    return CountColor(img.copy(int(std::floor(p.x())) - 1, int(std::floor(p.y())) - 1, 3, 3), color) > 0;
}

void SendMouse(QWidget& w, QEvent::Type type, QPointF pos, Qt::MouseButton button, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QMouseEvent e(type, pos, w.mapToGlobal(pos), button, buttons, mods);
    QCoreApplication::sendEvent(&w, &e);
}
}  // namespace

class ChartTest : public QObject {
    Q_OBJECT
private slots:
    // Chart units to pixels and back, the short side widened under equal scale.
    void itemsMapToPixels_data() { QVERIFY(AddTableRows("widgets/chart-mapping.table")); }
    void itemsMapToPixels()
    {
        QFETCH(QSize, size);
        QFETCH(bool, equal);
        QFETCH(QRectF, range);
        QFETCH(QRectF, visible);
        QFETCH(QLineF, line);
        QFETCH(QLineF, pixels);
        auto c = MakeChart(size.width(), size.height(), range);
        c->SetEqualScale(equal);
        QCOMPARE(Rect(c->VisibleRange()), visible);
        QCOMPARE(QLineF(c->ChartToPixel(line.x1(), line.y1()), c->ChartToPixel(line.x2(), line.y2())), pixels);
        const QPointF back = c->PixelToChart(pixels.p2());
        QVERIFY(std::abs(back.x() - line.x2()) < 1e-9 && std::abs(back.y() - line.y2()) < 1e-9);
    }

    // Joined marks draw the line through them and a mark on each; a non-finite one breaks
    // the line.
    void joinedMarks()
    {
        auto c = MakeChart(60, 60, QRectF(0, 0, 60, 60));  // one unit per pixel
        TChartItems& items = c->Items();
        items.SetColor(Red);
        for (auto [x, y] : {std::pair{5.5, 54.5}, {5.7, 54.6}, {25.5, 54.5}, {NaN, 54.5}, {45.5, 54.5}, {45.5, 14.5}})
            items.JoinedMark(x, y, TChart::MarkSquare);
        QCOMPARE(items.LineCount(), 3);  // 0-1, 1-2, 4-5
        const QImage img = Grab(*c);
        // Red: the line from the first marks, from the fifth to the sixth, not where the
        // non-finite point breaks it, the third mark's square.
        QCOMPARE(QList<bool>({img.pixel(15, 5) == Rgb(Red), img.pixel(45, 30) == Rgb(Red), img.pixel(35, 5) == Rgb(Red),
                              img.pixel(27, 7) == Rgb(Red)}),
                 QList<bool>({true, true, false, true}));
        QCOMPARE(c->NearestMark(QPointF(44, 44)), 5);
    }

    void mousePositionInChartCoordinates()
    {
        auto c = MakeChart(200, 100, QRectF(0, 0, 10, 10));  // 10 px per unit, visible x -5..15
        QSignalSpy down(c.get(), &TChart::MouseDown), move(c.get(), &TChart::MouseMove), up(c.get(), &TChart::MouseUp);
        c->SetMouseAction(TChart::TMouseAction::None);
        SendMouse(*c, QEvent::MouseButtonPress, QPointF(70, 30), Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier);
        SendMouse(*c, QEvent::MouseMove, QPointF(5, 95), Qt::NoButton, Qt::LeftButton, Qt::ControlModifier);
        SendMouse(*c, QEvent::MouseButtonRelease, QPointF(150, 0), Qt::RightButton, Qt::NoButton);
        QVERIFY(down.count() == 1 && move.count() == 1 && up.count() == 1);
        const auto at = [](const QList<QVariant>& args) { return QPointF(args[0].toDouble(), args[1].toDouble()); };
        QCOMPARE(QList<QPointF>({at(down[0]), at(move[0]), at(up[0]), c->MousePosition()}),
                 QList<QPointF>({{2, 7}, {-4.5, 0.5}, {10, 10}, {10, 10}}));
        QCOMPARE(
            std::tuple(down[0][4].value<Qt::KeyboardModifiers>(), move[0][3].value<Qt::KeyboardModifiers>(),
                       up[0][2].value<Qt::MouseButton>()),
            std::tuple(Qt::KeyboardModifiers(Qt::ShiftModifier), Qt::KeyboardModifiers(Qt::ControlModifier), Qt::RightButton));
    }

    void dragsZoomOrPan_data() { QVERIFY(AddTableRows("widgets/chart-drags.table")); }
    void dragsZoomOrPan()
    {
        QFETCH(int, action);
        QFETCH(QList<float>, xy);
        QFETCH(QRectF, range);
        QFETCH(int, changed);
        QList<QPointF> path;
        for (qsizetype i = 0; i + 1 < xy.size(); i += 2)
            path << QPointF(xy[i], xy[i + 1]);
        auto c = MakeChart(100, 100, QRectF(0, 0, 10, 10));  // zooms by default
        if (action == 1)
            c->SetMouseAction(TChart::TMouseAction::Pan);
        if (action == 2)  // the owner takes the mouse mid-drag
            connect(c.get(), &TChart::MouseMove, c.get(), [&] { c->SetMouseAction(TChart::TMouseAction::None); });
        QSignalSpy spy(c.get(), &TChart::RangeChanged);
        SendMouse(*c, QEvent::MouseButtonPress, path.first(), Qt::LeftButton, Qt::LeftButton);
        for (qsizetype i = 1; i + 1 < path.size(); ++i)
            SendMouse(*c, QEvent::MouseMove, path[i], Qt::NoButton, Qt::LeftButton);
        SendMouse(*c, QEvent::MouseButtonRelease, path.last(), Qt::LeftButton, Qt::NoButton);
        QCOMPARE(Rect(c->Range()), range);
        if (changed >= 0)
            QCOMPARE(spy.count(), changed);
    }

    void outlinesPaintAsPolylines_data() { QVERIFY(AddTableRows("widgets/chart-outlines.table")); }
    // Random polygons drawn from outline point blocks and index lists (in a window), and as
    // polyline items (alone), give the same pixels: overlaps in drawing order, shared edges,
    // clipping, corners whose pixel position overflows, and the item lines (axes) drawn over.
    void outlinesPaintAsPolylines()
    {
        QFETCH(QRectF, range);
        QFETCH(int, seed);
        QFETCH(int, oddOneIn);
        QRandomGenerator rng{quint32(seed)};
        TTwoWays t;
        DrawBothWays(t, rng, oddOneIn);
        QWidget window;  // the outlines' chart is drawn with it, away from its corner
        window.resize(200, 150);
        auto items = MakeChart(120, 90, range), outlines = MakeChart(120, 90, range);
        outlines->setParent(&window);
        outlines->move(37, 21);
        items->Items() = t.Items;
        outlines->Items() = t.Outlines;
        for (TChart* c : {items.get(), outlines.get()})
            Line(*c, 0x0000FFFF, range.left(), 0, range.right(), 0);
        const QImage want = Grab(*items),
                     got = window.grab().toImage().convertToFormat(QImage::Format_RGB32).copy(37, 21, 120, 90);
        QVERIFY(CountColor(want, Rgb(0x00C0C0C0)) > 0 && CountColor(want, Rgb(0x0000FFFF)) > 0);
        QCOMPARE(got, want);
    }

    void placedOutlinesPaintAsPolylines_data() { QVERIFY(AddTableRows("widgets/chart-placed.table")); }
    // As above for fixed polygons, from one point block or two placements of shared points,
    // with the line count and box too. The last red polygons share edges with the first
    // (drawn again over the blue one crossing them) and with each other.
    void placedOutlinesPaintAsPolylines()
    {
        QFETCH(QRectF, range);
        QFETCH(double, far);
        QFETCH(bool, placed);
        const double pts[] = {0, 0, 10, 0, 10, 10, 0, 10, 5, -1, far, 5, 5, far, NaN, 3};
        const uint32_t polys[][4] = {{0, 1, 2, 3}, {4, 2, 0, 0}, {5, 6, 3, 0}, {7, 1, 3, 0}, {0, 1, 2, 0}, {4, 1, 2, 0}};
        const uint32_t sizes[] = {4, 3, 3, 3, 3, 3};
        const uint32_t colors[] = {Red, Blue, Green, Blue, Red, Red};
        auto items = MakeChart(120, 90, range), outlines = MakeChart(120, 90, range);
        double* out = nullptr;
        const uint32_t base = outlines->Items().AddOutlinePoints(8, &out);
        std::copy(std::begin(pts), std::end(pts), out);
        // The source holds the points as (y, x, 0): placement 1 takes them back, 0 also moves
        // them by (0.75, -1). Polygons 1 and 3 on are drawn at 1, the others at 0.
        float* src = nullptr;
        TChartPlacement at[2] = {{0, 8, {0, 1, 0, 0.5, 0.25}, {1, 0, 0, -1, 0}}, {0, 8, {0, 1, 0, 0, 0}, {1, 0, 0, 0, 0}}};
        at[0].SourceBase = at[1].SourceBase = outlines->Items().AddOutlineSource(8, &src);
        for (int k = 0; k < 8; ++k)
            src[k] = float(pts[2 * k + 1]), src[8 + k] = float(pts[2 * k]), src[16 + k] = 0;
        const uint32_t placement[2] = {outlines->Items().AddOutlinePlacement(at[0]),
                                       outlines->Items().AddOutlinePlacement(at[1])};
        for (int p = 0; p < 6; ++p) {
            items->SetColor(colors[p]);
            outlines->SetColor(colors[p]);
            const int a = p >= 3 ? 1 : p % 2;
            double xy[8];
            for (uint32_t k = 0; k < 2 * sizes[p]; ++k) {
                const uint32_t i = polys[p][k / 2];
                xy[k] = !placed ? pts[2 * i + k % 2]
                                : TChartPlacement::Coordinate(src[i], src[8 + i], src[16 + i], k % 2 ? at[a].V : at[a].U);
            }
            items->Items().Polyline(xy, int(sizes[p]));
            TChartItems& o = outlines->Items();
            const uint32_t first = o.OutlineIndexCount();
            o.AddOutlinePolygon(polys[p], sizes[p]);
            placed ? o.AddPlacedOutlineBatch(placement[a], first, o.OutlineIndexCount())
                   : o.AddOutlineBatch(base, first, o.OutlineIndexCount());
        }
        for (TChart* c : {items.get(), outlines.get()})
            Line(*c, 0x0000FFFF, 0, 5, 10, 5);
        QCOMPARE(outlines->LineCount(), items->LineCount());
        TChartBox a, b;
        QVERIFY(items->BoundingBox(a) && outlines->BoundingBox(b));
        QCOMPARE(std::tuple(b.MinX, b.MinY, b.MaxX, b.MaxY), std::tuple(a.MinX, a.MinY, a.MaxX, a.MaxY));
        const QImage want = Grab(*items), got = Grab(*outlines);
        QVERIFY(CountColor(want, Rgb(Red)) + CountColor(want, Rgb(Blue)) > 0 && CountColor(want, Rgb(0x0000FFFF)) > 0);
        QCOMPARE(got, want);
    }

    void outlineSegmentsAreThinAndWhole_data() { QVERIFY(AddTableRows("widgets/chart-segments.table")); }
    // A segment drawn from outline points sets one pixel in each column (row, if steep)
    // between its end pixels, each within a pixel of the true line.
    void outlineSegmentsAreThinAndWhole()
    {
        QFETCH(QLineF, line);
        auto c = MakeChart(200, 100, QRectF(0, 0, 200, 100));
        c->SetEqualScale(false);
        const QPointF a = c->PixelToChart(line.p1()), b = c->PixelToChart(line.p2());
        double* out = nullptr;
        const uint32_t base = c->Items().AddOutlinePoints(2, &out);
        const double pts[] = {a.x(), a.y(), b.x(), b.y()};
        std::copy(std::begin(pts), std::end(pts), out);
        c->SetColor(Red);
        const uint32_t corners[] = {0, 1};
        c->Items().AddOutlinePolygon(corners, 2);
        c->Items().AddOutlineBatch(base, 0, c->Items().OutlineIndexCount());
        const QImage img = Grab(*c);
        const bool steep = std::abs(line.dy()) > std::abs(line.dx());
        const auto [from, to] = steep ? std::minmax({int(line.y1()), int(line.y2())})
                                      : std::minmax({int(line.x1()), int(line.x2())});
        for (int k = 0; k < (steep ? img.height() : img.width()); ++k) {
            QList<int> across;
            for (int j = 0; j < (steep ? img.width() : img.height()); ++j)
                if (img.pixel(steep ? j : k, steep ? k : j) == Rgb(Red))
                    across << j;
            QCOMPARE(across.size(), k >= from && k <= to ? 1 : 0);
            if (across.isEmpty())
                continue;
            const double t = steep ? (k + 0.5 - line.y1()) / line.dy() : (k + 0.5 - line.x1()) / line.dx();
            const double exact = steep ? line.x1() + t * line.dx() : line.y1() + t * line.dy();
            QVERIFY2(std::abs(across[0] + 0.5 - exact) <= 1, qPrintable(QStringLiteral("at %1").arg(k)));
        }
    }

    void degenerateInputDrawsWhatItCan_data() { QVERIFY(AddTableRows("widgets/chart-degenerate.table")); }
    void degenerateInputDrawsWhatItCan()
    {
        QFETCH(QSize, size);
        QFETCH(QRectF, range);
        QFETCH(bool, expectLine);
        auto c = MakeChart(size.width(), size.height(), QRectF(0, 0, 10, 10));
        c->SetRange(range.left(), range.top(), range.left() + range.width(), range.top() + range.height());
        c->SetGridStyle(TChart::TGridStyle::Lines);
        Line(*c, Red, NaN, 0, 1, Inf);
        c->LineTo(2, 2);
        c->LineTo(8, 2);  // the only segment with two finite ends
        c->LineTo(-Inf, 5);
        c->Mark(NaN, NaN, 24);
        c->Text(Inf, 0, "x", 6);
        Line(*c, Red, 1e300, -1e300, -1e300, 1e300);  // finite but far outside: clipped, never a crash
        c->Text(1, 1, "y", 0);
        QCOMPARE(c->LineCount(), 2);
        const QImage img = Grab(*c);
        if (!size.isEmpty() && expectLine) {
            const QLineF l(c->ChartToPixel(2, 2), c->ChartToPixel(8, 2));
            QVERIFY(std::abs(l.dx()) > 2 ? ColorNear(img, l.center(), Rgb(Red)) : CountColor(img, Rgb(Red)) > 0);
        }
        const TChartRange r = c->Range();
        QVERIFY(std::isfinite(r.X1) && std::isfinite(r.X2) && std::isfinite(r.Y1) && std::isfinite(r.Y2));
    }
};

TORVANE_TEST(ChartTest)
#include "ChartTest.moc"
