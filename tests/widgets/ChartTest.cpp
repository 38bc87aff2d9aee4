#include "support/TestMain.h"
#include "widgets/Chart.h"

#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <limits>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();
constexpr uint32_t Red = 0x000000FFu;    // 0x00BBGGRR
constexpr uint32_t Blue = 0x00FF0000u;
constexpr uint32_t Green = 0x0000FF00u;

QRgb Rgb(uint32_t win) { return qRgb(win & 0xFF, (win >> 8) & 0xFF, (win >> 16) & 0xFF); }

// A chart of the given size with no grid, ready to be grabbed offscreen.
std::unique_ptr<TChart> MakeChart(int w, int h)
{
    auto c = std::make_unique<TChart>();
    c->resize(w, h);
    c->SetGridStyle(TChart::TGridStyle::None);
    return c;
}

QImage Grab(TChart& c) { return c.grab().toImage().convertToFormat(QImage::Format_RGB32); }

// Whether a pixel of this colour lies within `tol` pixels of (x, y).
bool ColorNear(const QImage& img, double x, double y, QRgb color, int tol = 1)
{
    const int cx = static_cast<int>(std::floor(x)), cy = static_cast<int>(std::floor(y));
    for (int dy = -tol; dy <= tol; ++dy)
        for (int dx = -tol; dx <= tol; ++dx) {
            const int px = cx + dx, py = cy + dy;
            if (px >= 0 && py >= 0 && px < img.width() && py < img.height() && img.pixel(px, py) == color)
                return true;
        }
    return false;
}

int CountColor(const QImage& img, QRgb color)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += img.pixel(x, y) == color;
    return n;
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
    void itemListKeepsPenAndCounts();
    void itemsMapToPixels_data();
    void itemsMapToPixels();
    void equalScaleWidensTheShortSide_data();
    void equalScaleWidensTheShortSide();
    void markDiscCoversItsSquare();
    void marksTakeTheColourOfTheirRun();
    void gridFollowsStyle();
    void mousePositionInChartCoordinates();
    void dragZoomSetsRangeToRectangle();
    void clickOrSliverDoesNotZoom();
    void panShiftsRangeByDrag();
    void actionNoneDuringDragCancelsZoom();
    void degenerateInputDrawsWhatItCan_data();
    void degenerateInputDrawsWhatItCan();
};

void ChartTest::itemListKeepsPenAndCounts()
{
    TChartItems it;
    it.SetColor(Red);
    it.MoveTo(0, 0);
    it.LineTo(1, 0);
    it.LineTo(NaN, 2);  // lifts the pen
    it.LineTo(5, 5);    // only moves: no segment from (1, 0)
    it.LineTo(6, 5);
    it.SetColor(Blue);
    it.Mark(Inf, 0, 24);  // dropped
    it.Mark(-3, 9, 24);
    QCOMPARE(it.LineCount(), 2);
    QCOMPARE(it.Runs().size(), size_t(2));
    QCOMPARE(it.Runs()[1].Color, Blue);

    TChartBox box;
    QVERIFY(it.BoundingBox(box));
    QCOMPARE(box.MinX, -3.0);
    QCOMPARE(box.MinY, 0.0);
    QCOMPARE(box.MaxX, 6.0);
    QCOMPARE(box.MaxY, 9.0);

    it.Clear();
    QCOMPARE(it.LineCount(), 0);
    QVERIFY(!it.BoundingBox(box));
    QCOMPARE(it.Color(), Blue);  // the drawing colour survives a clear
    it.LineTo(1, 1);             // nothing drawn yet: a move, not a segment
    QCOMPARE(it.LineCount(), 0);
}

void ChartTest::itemsMapToPixels_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<QRectF>("range");  // x, y, width, height in chart units
    QTest::addColumn<QPointF>("a");
    QTest::addColumn<QPointF>("b");
    QTest::addColumn<QPointF>("pixelA");
    QTest::addColumn<QPointF>("pixelB");
    // 100x100 pixels over 10x10 units: 10 pixels per unit, y upwards.
    QTest::newRow("square") << 100 << 100 << QRectF(0, 0, 10, 10) << QPointF(2, 3) << QPointF(8, 3)
                            << QPointF(20, 70) << QPointF(80, 70);
    // Wide view, square range: 10 pixels per unit on both axes, x widened about the centre.
    QTest::newRow("wide") << 200 << 100 << QRectF(0, 0, 10, 10) << QPointF(0, 5) << QPointF(0, 9)
                          << QPointF(50, 50) << QPointF(50, 10);
    // Tall view: y widened, still the same scale both ways.
    QTest::newRow("tall") << 100 << 200 << QRectF(-5, -5, 10, 10) << QPointF(-4, 0) << QPointF(4, 0)
                          << QPointF(10, 100) << QPointF(90, 100);
    QTest::newRow("offset range") << 120 << 80 << QRectF(100, 200, 12, 8) << QPointF(101, 201) << QPointF(111, 207)
                                  << QPointF(10, 70) << QPointF(110, 10);
}

void ChartTest::itemsMapToPixels()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(QRectF, range);
    QFETCH(QPointF, a);
    QFETCH(QPointF, b);
    QFETCH(QPointF, pixelA);
    QFETCH(QPointF, pixelB);

    auto c = MakeChart(w, h);
    c->SetRange(range.left(), range.top(), range.right(), range.bottom());
    QCOMPARE(c->ChartToPixel(a.x(), a.y()), pixelA);
    QCOMPARE(c->ChartToPixel(b.x(), b.y()), pixelB);
    const QPointF back = c->PixelToChart(pixelB);
    QVERIFY(std::abs(back.x() - b.x()) < 1e-9 && std::abs(back.y() - b.y()) < 1e-9);

    c->SetColor(Red);
    c->MoveTo(a.x(), a.y());
    c->LineTo(b.x(), b.y());
    const QImage img = Grab(*c);
    QVERIFY(ColorNear(img, pixelA.x(), pixelA.y(), Rgb(Red)));
    QVERIFY(ColorNear(img, pixelB.x(), pixelB.y(), Rgb(Red)));
    const QPointF mid = (pixelA + pixelB) / 2;
    QVERIFY(ColorNear(img, mid.x(), mid.y(), Rgb(Red)));
    // Nothing else is drawn: a one-pixel line, one pixel per step along its longer axis.
    const double steps = std::max(std::abs(pixelB.x() - pixelA.x()), std::abs(pixelB.y() - pixelA.y()));
    const int n = CountColor(img, Rgb(Red));
    QVERIFY2(n >= steps - 1 && n <= steps + 2, qPrintable(QString::number(n)));
}

void ChartTest::equalScaleWidensTheShortSide_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<bool>("equal");
    QTest::addColumn<QRectF>("range");
    QTest::addColumn<QRectF>("visible");
    QTest::newRow("wide equal") << 400 << 100 << true << QRectF(0, 0, 10, 10) << QRectF(-15, 0, 40, 10);
    QTest::newRow("tall equal") << 100 << 400 << true << QRectF(0, 0, 10, 10) << QRectF(0, -15, 10, 40);
    QTest::newRow("wide free") << 400 << 100 << false << QRectF(0, 0, 10, 10) << QRectF(0, 0, 10, 10);
    QTest::newRow("zero width") << 100 << 100 << true << QRectF(3, 0, 0, 10) << QRectF(-2, 0, 10, 10);
    QTest::newRow("single point") << 100 << 50 << true << QRectF(3, 4, 0, 0) << QRectF(2, 3.5, 2, 1);
}

void ChartTest::equalScaleWidensTheShortSide()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(bool, equal);
    QFETCH(QRectF, range);
    QFETCH(QRectF, visible);
    auto c = MakeChart(w, h);
    c->SetEqualScale(equal);
    c->SetRange(range.left(), range.top(), range.right(), range.bottom());
    const TChartRange v = c->VisibleRange();
    QCOMPARE(v.X1, visible.left());
    QCOMPARE(v.Y1, visible.top());
    QCOMPARE(v.X2, visible.right());
    QCOMPARE(v.Y2, visible.bottom());
}

void ChartTest::markDiscCoversItsSquare()
{
    auto c = MakeChart(60, 60);
    c->SetRange(0, 0, 60, 60);  // one unit per pixel
    c->SetColor(Green);
    c->Mark(30.5, 29.5, TChart::MarkDisc);  // pixel (30, 30)
    const QImage img = Grab(*c);
    const QRgb g = Rgb(Green);
    QCOMPARE(img.pixel(30, 30), g);
    QCOMPARE(img.pixel(27, 30), g);  // 3 left
    QCOMPARE(img.pixel(34, 30), g);  // 4 right
    QCOMPARE(img.pixel(30, 27), g);  // 3 above
    QCOMPARE(img.pixel(30, 34), g);  // 4 below
    QVERIFY(img.pixel(25, 30) != g);
    QVERIFY(img.pixel(36, 30) != g);
    QVERIFY(img.pixel(27, 27) != g);  // round, not square
}

// Marks among many lines of other colours: each is drawn in the colour that was current
// when it was added, not in that of the lines around it.
void ChartTest::marksTakeTheColourOfTheirRun()
{
    auto c = MakeChart(60, 60);
    c->SetRange(0, 0, 60, 60);  // one unit per pixel
    c->SetColor(Red);
    for (int i = 0; i < 50; ++i) {
        c->MoveTo(0.5, i + 0.5);
        c->LineTo(5.5, i + 0.5);
    }
    c->SetColor(Blue);
    c->Mark(15.5, 49.5, TChart::MarkDisc);  // pixel (15, 10)
    c->SetColor(Green);
    c->MoveTo(55.5, 0.5);
    c->LineTo(55.5, 59.5);
    c->SetColor(Red);
    c->Mark(40.5, 19.5, TChart::MarkDisc);  // pixel (40, 40)
    c->SetColor(Green);
    c->Mark(30.5, 29.5, 1);  // a cross at pixel (30, 30)
    c->MoveTo(50.5, 0.5);
    c->LineTo(50.5, 59.5);
    const QImage img = Grab(*c);
    QCOMPARE(img.pixel(15, 10), Rgb(Blue));
    QCOMPARE(img.pixel(40, 40), Rgb(Red));
    QCOMPARE(img.pixel(30, 30), Rgb(Green));
    QCOMPARE(img.pixel(32, 30), Rgb(Green));
    QCOMPARE(img.pixel(2, 30), Rgb(Red));     // the lines before
    QCOMPARE(img.pixel(55, 30), Rgb(Green));  // and after
}

void ChartTest::gridFollowsStyle()
{
    auto c = MakeChart(100, 100);
    c->SetRange(0, 0, 10, 10);
    c->SetChartColor(0);
    const QRgb olive = qRgb(0x80, 0x80, 0);
    c->SetGridStyle(TChart::TGridStyle::Lines);
    QImage img = Grab(*c);
    // Lines one unit (10 pixels) apart in both directions.
    QCOMPARE(img.pixel(50, 35), olive);
    QCOMPARE(img.pixel(35, 50), olive);
    QCOMPARE(img.pixel(35, 35), qRgb(0, 0, 0));
    QCOMPARE(CountColor(img, olive) > 1500, true);

    c->SetGridStyle(TChart::TGridStyle::None);
    img = Grab(*c);
    QCOMPARE(CountColor(img, olive), 0);

    // Zoomed far out the grid thins out instead of filling the view.
    c->SetGridStyle(TChart::TGridStyle::Lines);
    c->SetRange(0, 0, 10000, 10000);
    img = Grab(*c);
    const int n = CountColor(img, olive);
    QVERIFY2(n > 0 && n < 5000, qPrintable(QString::number(n)));
}

void ChartTest::mousePositionInChartCoordinates()
{
    auto c = MakeChart(200, 100);
    c->SetRange(0, 0, 10, 10);  // 10 px per unit, visible x -5..15
    QSignalSpy down(c.get(), &TChart::MouseDown);
    QSignalSpy move(c.get(), &TChart::MouseMove);
    QSignalSpy up(c.get(), &TChart::MouseUp);
    c->SetMouseAction(TChart::TMouseAction::None);

    SendMouse(*c, QEvent::MouseButtonPress, QPointF(70, 30), Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier);
    QCOMPARE(down.count(), 1);
    QCOMPARE(down[0][0].toDouble(), 2.0);  // (70 - 50) / 10
    QCOMPARE(down[0][1].toDouble(), 7.0);  // (100 - 30) / 10
    QCOMPARE(down[0][2].value<Qt::MouseButton>(), Qt::LeftButton);
    QCOMPARE(down[0][4].value<Qt::KeyboardModifiers>(), Qt::KeyboardModifiers(Qt::ShiftModifier));

    SendMouse(*c, QEvent::MouseMove, QPointF(5, 95), Qt::NoButton, Qt::LeftButton, Qt::ControlModifier);
    QCOMPARE(move.count(), 1);
    QCOMPARE(move[0][0].toDouble(), -4.5);
    QCOMPARE(move[0][1].toDouble(), 0.5);
    QCOMPARE(move[0][3].value<Qt::KeyboardModifiers>(), Qt::KeyboardModifiers(Qt::ControlModifier));
    QCOMPARE(c->MousePosition(), QPointF(-4.5, 0.5));

    SendMouse(*c, QEvent::MouseButtonRelease, QPointF(150, 0), Qt::RightButton, Qt::NoButton);
    QCOMPARE(up.count(), 1);
    QCOMPARE(up[0][0].toDouble(), 10.0);
    QCOMPARE(up[0][1].toDouble(), 10.0);
    QCOMPARE(up[0][2].value<Qt::MouseButton>(), Qt::RightButton);
    // Action none: the range is untouched.
    QCOMPARE(c->Range().X1, 0.0);
    QCOMPARE(c->Range().X2, 10.0);
}

void ChartTest::dragZoomSetsRangeToRectangle()
{
    auto c = MakeChart(100, 100);
    c->SetRange(0, 0, 10, 10);
    QCOMPARE(c->MouseAction(), TChart::TMouseAction::DragZoom);  // the default
    QSignalSpy changed(c.get(), &TChart::RangeChanged);
    // Drag from lower right to upper left: the rectangle is what counts, not the direction.
    SendMouse(*c, QEvent::MouseButtonPress, QPointF(60, 80), Qt::LeftButton, Qt::LeftButton);
    SendMouse(*c, QEvent::MouseMove, QPointF(40, 50), Qt::NoButton, Qt::LeftButton);
    SendMouse(*c, QEvent::MouseMove, QPointF(20, 40), Qt::NoButton, Qt::LeftButton);
    SendMouse(*c, QEvent::MouseButtonRelease, QPointF(20, 40), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(changed.count(), 1);
    const TChartRange r = c->Range();
    QCOMPARE(r.X1, 2.0);
    QCOMPARE(r.X2, 6.0);
    QCOMPARE(r.Y1, 2.0);
    QCOMPARE(r.Y2, 6.0);
    // And the drawing follows: chart (4, 4) is now the centre.
    QCOMPARE(c->ChartToPixel(4, 4), QPointF(50, 50));
}

void ChartTest::clickOrSliverDoesNotZoom()
{
    auto c = MakeChart(100, 100);
    c->SetRange(0, 0, 10, 10);
    QSignalSpy changed(c.get(), &TChart::RangeChanged);
    SendMouse(*c, QEvent::MouseButtonPress, QPointF(30, 30), Qt::LeftButton, Qt::LeftButton);
    SendMouse(*c, QEvent::MouseButtonRelease, QPointF(30, 30), Qt::LeftButton, Qt::NoButton);
    SendMouse(*c, QEvent::MouseButtonPress, QPointF(30, 30), Qt::LeftButton, Qt::LeftButton);
    SendMouse(*c, QEvent::MouseMove, QPointF(80, 31), Qt::NoButton, Qt::LeftButton);
    SendMouse(*c, QEvent::MouseButtonRelease, QPointF(80, 31), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(c->Range().X2, 10.0);
}

void ChartTest::panShiftsRangeByDrag()
{
    auto c = MakeChart(200, 100);
    c->SetRange(0, 0, 10, 10);  // 10 px per unit
    // The owner picks pan on a move with Ctrl down, as the views do.
    connect(c.get(), &TChart::MouseMove, c.get(), [&](double, double, Qt::MouseButtons, Qt::KeyboardModifiers m) {
        c->SetMouseAction(m & Qt::ControlModifier ? TChart::TMouseAction::Pan : TChart::TMouseAction::DragZoom);
    });
    SendMouse(*c, QEvent::MouseMove, QPointF(50, 50), Qt::NoButton, Qt::NoButton, Qt::ControlModifier);
    SendMouse(*c, QEvent::MouseButtonPress, QPointF(50, 50), Qt::LeftButton, Qt::LeftButton, Qt::ControlModifier);
    SendMouse(*c, QEvent::MouseMove, QPointF(80, 30), Qt::NoButton, Qt::LeftButton, Qt::ControlModifier);
    SendMouse(*c, QEvent::MouseMove, QPointF(90, 70), Qt::NoButton, Qt::LeftButton, Qt::ControlModifier);
    SendMouse(*c, QEvent::MouseButtonRelease, QPointF(90, 70), Qt::LeftButton, Qt::NoButton, Qt::ControlModifier);
    // Moved 40 px right and 20 px down: the content follows the mouse.
    const TChartRange r = c->Range();
    QCOMPARE(r.X1, -4.0);
    QCOMPARE(r.X2, 6.0);
    QCOMPARE(r.Y1, 2.0);
    QCOMPARE(r.Y2, 12.0);
}

void ChartTest::actionNoneDuringDragCancelsZoom()
{
    auto c = MakeChart(100, 100);
    c->SetRange(0, 0, 10, 10);
    // The owner takes the mouse for itself (Shift+drag edits a pivot).
    connect(c.get(), &TChart::MouseMove, c.get(), [&](double, double, Qt::MouseButtons, Qt::KeyboardModifiers m) {
        if (m & Qt::ShiftModifier)
            c->SetMouseAction(TChart::TMouseAction::None);
    });
    SendMouse(*c, QEvent::MouseButtonPress, QPointF(10, 10), Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier);
    SendMouse(*c, QEvent::MouseMove, QPointF(60, 60), Qt::NoButton, Qt::LeftButton, Qt::ShiftModifier);
    SendMouse(*c, QEvent::MouseButtonRelease, QPointF(60, 60), Qt::LeftButton, Qt::NoButton, Qt::ShiftModifier);
    QCOMPARE(c->Range().X1, 0.0);
    QCOMPARE(c->Range().X2, 10.0);
    QCOMPARE(c->Range().Y2, 10.0);
}

void ChartTest::degenerateInputDrawsWhatItCan_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<QRectF>("range");
    QTest::addColumn<bool>("expectLine");  // the finite line (2,2)-(8,2) is visible
    QTest::newRow("normal") << 100 << 100 << QRectF(0, 0, 10, 10) << true;
    QTest::newRow("zero size widget") << 0 << 0 << QRectF(0, 0, 10, 10) << false;
    QTest::newRow("zero height widget") << 100 << 0 << QRectF(0, 0, 10, 10) << false;
    QTest::newRow("zero size range") << 100 << 100 << QRectF(5, 2, 0, 0) << true;
    QTest::newRow("NaN range kept out") << 100 << 100 << QRectF(NaN, 0, 10, 10) << true;
    QTest::newRow("infinite range kept out") << 100 << 100 << QRectF(0, 0, Inf, 10) << true;
    QTest::newRow("huge range") << 100 << 100 << QRectF(-1e300, -1e300, 1.5e300, 1.5e300) << false;
    QTest::newRow("tiny range") << 100 << 100 << QRectF(2, 2, 1e-300, 1e-300) << false;
}

void ChartTest::degenerateInputDrawsWhatItCan()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(QRectF, range);
    QFETCH(bool, expectLine);
    auto c = MakeChart(w, h);
    c->SetRange(0, 0, 10, 10);
    c->SetRange(range.left(), range.top(), range.left() + range.width(), range.top() + range.height());
    c->SetGridStyle(TChart::TGridStyle::Lines);
    c->SetColor(Red);
    c->MoveTo(NaN, 0);
    c->LineTo(1, Inf);
    c->LineTo(2, 2);
    c->LineTo(8, 2);  // the only segment with two finite ends
    c->LineTo(-Inf, 5);
    c->Mark(NaN, NaN, 24);
    c->Text(Inf, 0, "x", 6);
    c->MoveTo(1e300, -1e300);
    c->LineTo(-1e300, 1e300);  // finite but far outside: clipped, never a crash
    c->Text(1, 1, "y", 0);
    QCOMPARE(c->LineCount(), 2);
    const QImage img = Grab(*c);
    if (w > 0 && h > 0 && expectLine) {
        const QPointF a = c->ChartToPixel(2, 2), b = c->ChartToPixel(8, 2);
        const QPointF mid = (a + b) / 2;
        if (std::abs(b.x() - a.x()) > 2)
            QVERIFY(ColorNear(img, mid.x(), mid.y(), Rgb(Red)));
        else
            QVERIFY(CountColor(img, Rgb(Red)) > 0);
    }
    const TChartRange r = c->Range();
    QVERIFY(std::isfinite(r.X1) && std::isfinite(r.X2) && std::isfinite(r.Y1) && std::isfinite(r.Y2));
}

TORVANE_TEST(ChartTest)
#include "ChartTest.moc"
