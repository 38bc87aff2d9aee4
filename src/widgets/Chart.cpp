#include "widgets/Chart.h"
#include "widgets/Controls.h"

#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QWheelEvent>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define TORVANE_PIXELS_AVX2 1
#endif
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

bool FiniteRange(double x1, double y1, double x2, double y2)
{
    return std::isfinite(x1) && std::isfinite(y1) && std::isfinite(x2) && std::isfinite(y2) && std::isfinite(x2 - x1) &&
           std::isfinite(y2 - y1);
}

// Segments are clipped to a rectangle a little larger than the widget before they reach
// the painter: far-away points from a deep zoom then never reach the rasteriser.
struct TClip {
    double X0, Y0, X1, Y1;

    int Code(double x, double y) const { return (x < X0 ? 1 : 0) | (x > X1 ? 2 : 0) | (y < Y0 ? 4 : 0) | (y > Y1 ? 8 : 0); }

    // Liang-Barsky; false when nothing of the segment is inside.
    bool Clip(double& ax, double& ay, double& bx, double& by) const
    {
        const int ca = Code(ax, ay), cb = Code(bx, by);
        if ((ca & cb) != 0)
            return false;
        if ((ca | cb) == 0)
            return true;
        const double dx = bx - ax, dy = by - ay;
        double t0 = 0, t1 = 1;
        const double p[4] = {-dx, dx, -dy, dy};
        const double q[4] = {ax - X0, X1 - ax, ay - Y0, Y1 - ay};
        for (int i = 0; i < 4; ++i) {
            if (p[i] == 0) {
                if (q[i] < 0)
                    return false;
                continue;
            }
            const double r = q[i] / p[i];
            if (p[i] < 0) {
                if (r > t1)
                    return false;
                t0 = std::max(t0, r);
            } else {
                if (r < t0)
                    return false;
                t1 = std::min(t1, r);
            }
        }
        const double nax = ax + t0 * dx, nay = ay + t0 * dy;
        bx = ax + t1 * dx;
        by = ay + t1 * dy;
        ax = nax;
        ay = nay;
        return true;
    }
};

}  // namespace

TChart::TChart(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TChart::Text(double x, double y, const QString& text, int size) { Items_.Text(x, y, text.toStdString(), size); }

void TChart::SetRange(double x1, double y1, double x2, double y2)
{
    if (!FiniteRange(x1, y1, x2, y2))
        return;
    if (x2 < x1)
        std::swap(x1, x2);
    if (y2 < y1)
        std::swap(y1, y2);
    Range_ = {x1, y1, x2, y2};
    update();
}

TChart::TMapping TChart::Mapping() const
{
    const QRect plot = PlotArea();
    const double w = plot.width();
    const double h = plot.height();
    double spanX = Range_.X2 - Range_.X1;
    double spanY = Range_.Y2 - Range_.Y1;
    const double cx = Range_.X1 + spanX / 2, cy = Range_.Y1 + spanY / 2;
    // A zero span has no scale of its own: take the other axis's, or one unit.
    if (!(spanX > 0) && !(spanY > 0))
        spanX = spanY = 1;
    TMapping m;
    m.Height = h;
    m.Left = plot.left();
    m.Top = plot.top();
    if (EqualScale_) {
        double units = std::max(spanX / w, spanY / h);
        if (!(units > 0) || !std::isfinite(units))
            units = 1 / std::max(w, h);
        m.UnitsX = m.UnitsY = units;
    } else {
        m.UnitsX = spanX > 0 ? spanX / w : 1 / w;
        m.UnitsY = spanY > 0 ? spanY / h : 1 / h;
    }
    m.X0 = cx - m.UnitsX * w / 2;
    m.Y0 = cy - m.UnitsY * h / 2;
    return m;
}

QRect TChart::PlotArea() const
{
    return QRect(RimLeft_, RimTop_, std::max(1, width() - RimLeft_ - RimRight_), std::max(1, height() - RimTop_ - RimBottom_));
}

TChartRange TChart::VisibleRange() const
{
    const TMapping m = Mapping();
    const double w = PlotArea().width();
    return {m.X0, m.Y0, m.X0 + m.UnitsX * w, m.Y0 + m.UnitsY * m.Height};
}

QPointF TChart::ChartToPixel(double x, double y) const
{
    const TMapping m = Mapping();
    return {m.Left + (x - m.X0) / m.UnitsX, m.Top + m.Height - (y - m.Y0) / m.UnitsY};
}

QPointF TChart::PixelToChart(QPointF pixel) const
{
    const TMapping m = Mapping();
    return {m.X0 + (pixel.x() - m.Left) * m.UnitsX, m.Y0 + (m.Height - (pixel.y() - m.Top)) * m.UnitsY};
}

int TChart::NearestMark(QPointF pixel, double* distancePixels) const
{
    const TMapping m = Mapping();
    const std::vector<TChartItem>& items = Items_.Items();
    int best = -1;
    double bestSq = std::numeric_limits<double>::infinity();
    for (const uint32_t i : Items_.Decorations()) {
        if (i >= items.size() || !IsMarkKind(items[i].Kind))
            continue;
        const double dx = m.Left + (items[i].X - m.X0) / m.UnitsX - pixel.x();
        const double dy = m.Top + m.Height - (items[i].Y - m.Y0) / m.UnitsY - pixel.y();
        const double sq = dx * dx + dy * dy;
        if (sq < bestSq) {
            bestSq = sq;
            best = static_cast<int>(i);
        }
    }
    if (distancePixels)
        *distancePixels = best >= 0 ? std::sqrt(bestSq) : std::numeric_limits<double>::infinity();
    return best;
}

void TChart::AutoRange(double marginPercent)
{
    TChartBox b;
    if (!Items_.BoundingBox(b))
        return;
    double dx = b.MaxX - b.MinX, dy = b.MaxY - b.MinY;
    if (!(dx > 0)) {
        b.MinX -= 0.5;
        b.MaxX += 0.5;
        dx = 1;
    }
    if (!(dy > 0)) {
        b.MinY -= 0.5;
        b.MaxY += 0.5;
        dy = 1;
    }
    const double mx = dx * marginPercent / 100, my = dy * marginPercent / 100;
    SetRange(b.MinX - mx, b.MinY - my, b.MaxX + mx, b.MaxY + my);
}

void TChart::SetRims(int left, int top, int right, int bottom)
{
    RimLeft_ = std::max(0, left);
    RimTop_ = std::max(0, top);
    RimRight_ = std::max(0, right);
    RimBottom_ = std::max(0, bottom);
    update();
}

void TChart::SetTitles(const QString& abscissa, const QString& ordinate)
{
    TitleX_ = abscissa;
    TitleY_ = ordinate;
    update();
}

void TChart::SetEqualScale(bool on)
{
    EqualScale_ = on;
    update();
}

void TChart::SetChartColor(uint32_t color)
{
    ChartColor_ = color & 0x00FFFFFFu;
    update();
}

void TChart::SetGridColor(uint32_t color)
{
    GridColor_ = color & 0x00FFFFFFu;
    update();
}

void TChart::SetGridStyle(TGridStyle style)
{
    GridStyle_ = style;
    update();
}

void TChart::SetGridSpacing(double unitsX, double unitsY)
{
    if (std::isfinite(unitsX) && unitsX > 0)
        GridSpacingX_ = unitsX;
    if (std::isfinite(unitsY) && unitsY > 0)
        GridSpacingY_ = unitsY;
    update();
}

void TChart::SetMouseAction(TMouseAction action)
{
    MouseAction_ = action;
    if (Dragging_ != TMouseAction::None && Dragging_ != action) {
        // Switched during a drag (Ctrl pressed or released, or the owner took the mouse for
        // itself): the old drag ends here and the new one, if any, starts from here.
        Dragging_ = TMouseAction::None;
        if (action != TMouseAction::None)
            StartDrag(DragNow_);
        update();
    }
}

// ---- Painting

// The image the painter draws into, when the chart may set its pixels there itself: a
// raster image of 32-bit opaque pixels (RGB32, or premultiplied ARGB where 0xffRRGGBB is
// the same opaque colour), the widget placed at whole pixels without scaling, all of it
// to be painted, and nothing the painter would blend. Else null.
QImage* TChart::DirectImage(QPainter& p, QPoint& at) const
{
    QPaintEngine* engine = p.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || !engine->paintDevice() ||
        engine->paintDevice()->devType() != QInternal::Image)
        return nullptr;
    auto* image = static_cast<QImage*>(engine->paintDevice());
    if ((image->format() != QImage::Format_RGB32 && image->format() != QImage::Format_ARGB32_Premultiplied) ||
        image->devicePixelRatio() != 1.0 || p.opacity() != 1.0 || p.compositionMode() != QPainter::CompositionMode_SourceOver)
        return nullptr;
    const QTransform t = p.deviceTransform();
    if (t.type() > QTransform::TxTranslate || t.dx() != std::floor(t.dx()) || t.dy() != std::floor(t.dy()) ||
        std::abs(t.dx()) > 1e6 || std::abs(t.dy()) > 1e6)
        return nullptr;
    at = QPoint(int(t.dx()), int(t.dy()));
    const QRect area(at, size());
    const QRegion clip = engine->systemClip();
    if (!image->rect().contains(area) || (!clip.isEmpty() && !(QRegion(area) - clip).isEmpty()) || p.hasClipping())
        return nullptr;
    return image;
}

void TChart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (width() <= 0 || height() <= 0)
        return;
    // Line segments and marks are rasterised straight into pixels, which is many times
    // faster than the painter for hundreds of thousands of short outlines: into the image
    // the painter draws into when that takes them as they are (the rims' texts aside), else
    // into an image of the widget's size first, which is then drawn.
    const TMapping m = Mapping();
    const uint32_t background = ColorFromRef(ChartColor_).rgb();
    const bool rims = RimLeft_ > 0 || RimTop_ > 0 || RimRight_ > 0 || RimBottom_ > 0;
    QPoint at;
    if (QImage* image = rims ? nullptr : DirectImage(p, at)) {
        PaintStride_ = image->bytesPerLine() / 4;
        PaintBits_ = reinterpret_cast<uint32_t*>(image->bits()) + at.y() * PaintStride_ + at.x();
        for (int row = 0; row < height(); ++row)
            std::fill_n(PaintBits_ + row * PaintStride_, width(), background);
        if (GridStyle_ == TGridStyle::Lines)
            DrawGrid(p, m);
        RasterLines(m);
        MarksDrawn_ = 0;
        if (!Items_.Decorations().empty())
            DrawMarksAndTexts(p, m);
    } else {
        if (Canvas_.size() != size())
            Canvas_ = QImage(size(), QImage::Format_RGB32);
        Canvas_.fill(ColorFromRef(ChartColor_));
        PaintBits_ = reinterpret_cast<uint32_t*>(Canvas_.bits());
        PaintStride_ = Canvas_.bytesPerLine() / 4;
        if (GridStyle_ == TGridStyle::Lines) {
            QPainter cp(&Canvas_);
            DrawGrid(cp, m);
        }
        RasterLines(m);
        MarksDrawn_ = 0;
        if (!Items_.Decorations().empty()) {
            QPainter cp(&Canvas_);
            DrawMarksAndTexts(cp, m);
        }
        if (rims) {
            QPainter cp(&Canvas_);
            DrawRims(cp, m);
        }
        p.drawImage(0, 0, Canvas_);
    }
    if (Dragging_ == TMouseAction::DragZoom) {
        QPen pen(Qt::white);
        pen.setStyle(Qt::DashLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(DragStart_, DragNow_).normalized());
    }
    // A chart that takes the keyboard shows when it has it.
    if (hasFocus()) {
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
}

double TChart::GridStep(double spacing, double unitsPerPixel)
{
    constexpr double minPixels = 4;
    double step = spacing;
    while (step / unitsPerPixel < minPixels && std::isfinite(step))
        step *= 10;
    return step;
}

void TChart::DrawGrid(QPainter& p, const TMapping& m) const
{
    const double stepX = GridStep(GridSpacingX_, m.UnitsX);
    const double stepY = GridStep(GridSpacingY_, m.UnitsY);
    if (!std::isfinite(stepX) || !std::isfinite(stepY))
        return;
    p.setPen(QPen(ColorFromRef(GridColor_), 0));
    const QRect plot = PlotArea();
    p.setClipRect(plot);
    const double w = plot.width(), h = plot.height();
    const double xEnd = m.X0 + w * m.UnitsX, yEnd = m.Y0 + h * m.UnitsY;
    // Counted loops: far from the origin k + 1 may equal k in floating point.
    const double kx = std::ceil(m.X0 / stepX), ky = std::ceil(m.Y0 / stepY);
    const int nx = static_cast<int>(std::min(std::floor(xEnd / stepX) - kx, w));
    const int ny = static_cast<int>(std::min(std::floor(yEnd / stepY) - ky, h));
    for (int i = 0; i <= nx; ++i) {
        const double px = m.Left + std::round(((kx + i) * stepX - m.X0) / m.UnitsX);
        p.drawLine(QLineF(px, m.Top, px, m.Top + h));
    }
    for (int i = 0; i <= ny; ++i) {
        const double py = m.Top + std::round(m.Height - ((ky + i) * stepY - m.Y0) / m.UnitsY);
        p.drawLine(QLineF(m.Left, py, m.Left + w, py));
    }
    p.setClipping(false);
}

void TChart::DrawRims(QPainter& p, const TMapping& m) const
{
    const QRect plot = PlotArea();
    const QColor back = palette().color(QPalette::Window);
    p.fillRect(0, 0, width(), plot.top(), back);
    p.fillRect(0, plot.bottom() + 1, width(), height() - plot.bottom() - 1, back);
    p.fillRect(0, plot.top(), plot.left(), plot.height(), back);
    p.fillRect(plot.right() + 1, plot.top(), width() - plot.right() - 1, plot.height(), back);
    p.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics fm(font());
    // Scale numbers at the grid lines, thinned so that neighbours do not touch.
    const auto labels = [](double spacing, double unitsPerPixel, double minPixels) {
        double step = GridStep(spacing, unitsPerPixel);
        for (int i = 0; i < 40 && step / unitsPerPixel < minPixels; ++i)
            step *= (i % 3 == 1) ? 2.5 : 2;
        return step;
    };
    if (RimBottom_ >= fm.height() + 2) {
        const double step = labels(GridSpacingX_, m.UnitsX, fm.horizontalAdvance(QStringLiteral("00000")) + 8.0);
        if (std::isfinite(step)) {
            const double k0 = std::ceil(m.X0 / step);
            const int n = static_cast<int>(std::min(std::floor((m.X0 + plot.width() * m.UnitsX) / step) - k0, 200.0));
            for (int i = 0; i <= n; ++i) {
                const double v = (k0 + i) * step;
                const QString t = QString::number(v, 'g', 6);
                const double px = m.Left + (v - m.X0) / m.UnitsX;
                p.drawText(QPointF(px - fm.horizontalAdvance(t) / 2.0, plot.bottom() + 2 + fm.ascent()), t);
            }
        }
        if (!TitleX_.isEmpty() && RimBottom_ >= 2 * fm.height() + 4)
            p.drawText(QPointF(plot.center().x() - fm.horizontalAdvance(TitleX_) / 2.0, height() - fm.descent() - 2), TitleX_);
    }
    if (RimLeft_ >= fm.horizontalAdvance(QStringLiteral("0.00")) + 4) {
        const double step = labels(GridSpacingY_, m.UnitsY, fm.height() * 2.0);
        if (std::isfinite(step)) {
            const double k0 = std::ceil(m.Y0 / step);
            const int n = static_cast<int>(std::min(std::floor((m.Y0 + plot.height() * m.UnitsY) / step) - k0, 200.0));
            for (int i = 0; i <= n; ++i) {
                const double v = (k0 + i) * step;
                const QString t = QString::number(v, 'g', 4);
                const double py = m.Top + m.Height - (v - m.Y0) / m.UnitsY;
                p.drawText(QPointF(plot.left() - 3 - fm.horizontalAdvance(t), py + fm.ascent() / 2.0), t);
            }
        }
        if (!TitleY_.isEmpty()) {
            p.save();
            p.translate(fm.ascent() + 1, plot.center().y() + fm.horizontalAdvance(TitleY_) / 2.0);
            p.rotate(-90);
            p.drawText(QPointF(0, 0), TitleY_);
            p.restore();
        }
    }
}

namespace {

// One-pixel line between two pixels of the plot area: a DDA in 16.16 fixed point, which
// stays between its end pixels and writes the end pixel last. Without the first pixel when
// the caller knows it has that colour already (a polyline's segment after the one ending
// there): most outline segments are a pixel or two long, so this saves half the writes.
inline void PlotPixels(uint32_t* bits, qsizetype stride, int x0, int y0, int x1, int y1, uint32_t argb, bool skipFirst = false)
{
    const int dx = x1 - x0, dy = y1 - y0;
    const int n = std::max(std::abs(dx), std::abs(dy));
    if (n <= 1) {  // the end pixels are all there is
        if (!skipFirst)
            bits[y0 * stride + x0] = argb;
        bits[y1 * stride + x1] = argb;
        return;
    }
    // Along the longer axis the step is exactly one pixel; the other step fits 32 bits
    // whenever the segment is shorter than 32768 pixels, and the narrower division gives
    // the same number, only quicker.
    const auto step = [n](int d) -> int64_t {
        if (d == n || d == -n)
            return d < 0 ? -65536 : 65536;
        return n < 32768 ? (d * 65536) / n : (static_cast<int64_t>(d) << 16) / n;
    };
    const int64_t sx = step(dx), sy = step(dy);
    const int64_t fy0 = (static_cast<int64_t>(y0) << 16) + 0x8000;
    int i = skipFirst ? 1 : 0;  // pixel 0 is (x0, y0) exactly
    if ((dx == n || dx == -n) && n >= 32 && std::abs(sy) <= 65536 / 8) {
        // A long flat line: x moves one pixel a step and y less than an eighth, so a row holds a
        // run of at least eight neighbouring pixels, filled at once. Step i is on row
        // (fy0 + i sy) >> 16; the next row starts at the first step where that crosses a
        // multiple of 65536.
        const int xdir = dx < 0 ? -1 : 1;
        while (i <= n) {
            const int64_t row = (fy0 + i * sy) >> 16;
            int64_t next = n + 1;
            if (sy > 0)
                next = std::min(next, (((row + 1) << 16) - fy0 + sy - 1) / sy);
            else if (sy < 0)
                next = std::min(next, (fy0 - (row << 16)) / -sy + 1);
            const int xa = x0 + xdir * i, xb = x0 + xdir * int(next - 1);
            uint32_t* line = bits + row * stride;
            std::fill(line + std::min(xa, xb), line + std::max(xa, xb) + 1, argb);
            i = int(next);
        }
        return;
    }
    int64_t fx = (static_cast<int64_t>(x0) << 16) + 0x8000 + i * sx, fy = fy0 + i * sy;
    if (dy == n || dy == -n) {
        // A row a step: step i is on row y0 + i (or y0 - i), so the row moves by the stride.
        const qsizetype down = dy < 0 ? -stride : stride;
        for (uint32_t* row = bits + (fy >> 16) * stride; i <= n; ++i, row += down, fx += sx)
            row[fx >> 16] = argb;
        return;
    }
    for (; i <= n; ++i) {
        bits[(fy >> 16) * stride + (fx >> 16)] = argb;
        fx += sx;
        fy += sy;
    }
}

// The same between two points already clipped into the plot area.
inline void PlotLine(uint32_t* bits, qsizetype stride, double ax, double ay, double bx, double by, uint32_t argb)
{
    PlotPixels(bits, stride, static_cast<int>(ax), static_cast<int>(ay), static_cast<int>(bx), static_cast<int>(by), argb);
}

constexpr uint32_t OutsidePixel = ~0u;

// How outline points become pixels: (x, y) -> (Left + (x - X0) * IX, Bottom + (y - Y0) * NegIY),
// kept where it falls inside [Low, High] in both coordinates.
struct TPixelMap {
    double X0, Y0, IX, NegIY, Left, Bottom;
    double LowX, LowY, HighX, HighY;
};

#ifdef TORVANE_PIXELS_AVX2
// For each pattern of four points being inside (bit i for point i), all ones in the lanes
// of the points outside.
struct TOutsideLanes {
    alignas(16) int32_t Lanes[16][4] = {};
    constexpr TOutsideLanes()
    {
        for (int b = 0; b < 16; ++b)
            for (int i = 0; i < 4; ++i)
                Lanes[b][i] = b >> i & 1 ? 0 : -1;
    }
};
constexpr TOutsideLanes OutsideLanes;

// Four points a step, two in each register; the same operations in the same order as one
// at a time, so the same bits (no fused multiply-add: the target adds AVX2 only). A pixel
// inside has 0 <= x, y < 65535, so packing the 32-bit pairs into 16 bits each gives
// y << 16 | x; a point outside is then set to all ones.
__attribute__((target("avx2"))) size_t PixelsAvx2(const double* points, size_t n, uint32_t* out, const TPixelMap& p)
{
    const __m256d origin = _mm256_setr_pd(p.X0, p.Y0, p.X0, p.Y0), scale = _mm256_setr_pd(p.IX, p.NegIY, p.IX, p.NegIY);
    const __m256d offset = _mm256_setr_pd(p.Left, p.Bottom, p.Left, p.Bottom);
    const __m256d low = _mm256_setr_pd(p.LowX, p.LowY, p.LowX, p.LowY);
    const __m256d high = _mm256_setr_pd(p.HighX, p.HighY, p.HighX, p.HighY);
    size_t k = 0;
    for (; k + 4 <= n; k += 4) {
        const __m256d a = _mm256_add_pd(offset, _mm256_mul_pd(_mm256_sub_pd(_mm256_loadu_pd(points + 2 * k), origin), scale));
        const __m256d b = _mm256_add_pd(offset, _mm256_mul_pd(_mm256_sub_pd(_mm256_loadu_pd(points + 2 * k + 4), origin), scale));
        const int ma = _mm256_movemask_pd(_mm256_and_pd(_mm256_cmp_pd(a, low, _CMP_GE_OQ), _mm256_cmp_pd(a, high, _CMP_LE_OQ)));
        const int mb = _mm256_movemask_pd(_mm256_and_pd(_mm256_cmp_pd(b, low, _CMP_GE_OQ), _mm256_cmp_pd(b, high, _CMP_LE_OQ)));
        // Bits 0 and 2 of ia and ib: a point with both coordinates inside.
        const int ia = ma & (ma >> 1), ib = mb & (mb >> 1);
        const int inside = (ia & 1) | (ia >> 1 & 2) | (ib & 1) << 2 | (ib << 1 & 8);
        const __m128i packed = _mm_packus_epi32(_mm256_cvttpd_epi32(a), _mm256_cvttpd_epi32(b));
        const __m128i outside = _mm_load_si128(reinterpret_cast<const __m128i*>(OutsideLanes.Lanes[inside]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_or_si128(packed, outside));
    }
    return k;
}
#endif

// Each point's pixel (y << 16 | x) where it lies inside, else OutsidePixel.
void PointPixels(const double* points, size_t n, uint32_t* out, const TPixelMap& p)
{
    size_t k = 0;
#ifdef TORVANE_PIXELS_AVX2
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2)
        k = PixelsAvx2(points, n, out, p);
#endif
    for (; k < n; ++k) {
        const double px = p.Left + (points[2 * k] - p.X0) * p.IX;
        const double py = p.Bottom + (points[2 * k + 1] - p.Y0) * p.NegIY;
        const bool inside = px >= p.LowX && px <= p.HighX && py >= p.LowY && py <= p.HighY;
        out[k] = inside ? uint32_t(static_cast<int>(py)) << 16 | uint32_t(static_cast<int>(px)) : OutsidePixel;
    }
}
constexpr int LongSegment = 16;  // pixels

// The pixels PlotPixels sets for a segment of at most ShortReach pixels each way, the bulk
// of a dense mesh's outlines, as offsets from its first pixel: step i of n is at
// (0.5 + i d / n) in 16.16 fixed point with PlotPixels' own steps. Four offsets, steps 0 to
// 3 cut to n, cover every such segment (a pixel set twice in one colour stays as it was),
// so these segments take four stores and no branch on their length: a loop over two or
// three pixels mispredicts its end on most of them.
constexpr int ShortReach = 3;
constexpr int ShortSide = 2 * ShortReach + 1;
using TShortOffsets = std::array<std::array<int32_t, ShortReach + 1>, ShortSide * ShortSide>;

// Sets the four pixels of a short segment, the offsets read in one load: read one by one,
// they were measured to hold the segment up behind the stores of the segment before.
inline void SetShort(uint32_t* from, const std::array<int32_t, ShortReach + 1>& offsets, uint32_t argb)
{
    static_assert(ShortReach + 1 == 4);
#if defined(__SSE2__)
    const __m128i o = _mm_loadu_si128(reinterpret_cast<const __m128i*>(offsets.data()));
    from[_mm_cvtsi128_si32(o)] = argb;
    from[_mm_cvtsi128_si32(_mm_shuffle_epi32(o, 1))] = argb;
    from[_mm_cvtsi128_si32(_mm_shuffle_epi32(o, 2))] = argb;
    from[_mm_cvtsi128_si32(_mm_shuffle_epi32(o, 3))] = argb;
#else
    for (const int32_t offset : offsets)
        from[offset] = argb;
#endif
}

TShortOffsets ShortOffsets(qsizetype stride)
{
    TShortOffsets table{};
    for (int dy = -ShortReach; dy <= ShortReach; ++dy)
        for (int dx = -ShortReach; dx <= ShortReach; ++dx) {
            const int n = std::max(std::abs(dx), std::abs(dy));
            for (int step = 0; step <= ShortReach; ++step) {
                const int i = std::min(step, n);
                const int ox = n == 0 ? 0 : (0x8000 + i * ((dx * 65536) / n)) >> 16;
                const int oy = n == 0 ? 0 : (0x8000 + i * ((dy * 65536) / n)) >> 16;
                table[size_t((dy + ShortReach) * ShortSide + dx + ShortReach)][size_t(step)] = int32_t(oy * stride + ox);
            }
        }
    return table;
}

// A filled rectangle of pixels, cut to the clip rectangle.
inline void FillPixels(uint32_t* bits, qsizetype stride, const QRect& clip, int x, int y, int w, int h, uint32_t argb)
{
    const int x0 = std::max(x, clip.left()), x1 = std::min(x + w - 1, clip.right());
    const int y0 = std::max(y, clip.top()), y1 = std::min(y + h - 1, clip.bottom());
    for (int row = y0; row <= y1; ++row) {
        uint32_t* line = bits + row * stride;
        for (int col = x0; col <= x1; ++col)
            line[col] = argb;
    }
}

}  // namespace

void TChart::RasterLines(const TMapping& m)
{
    // Class colours cost a look-up per item: only charts that use them pay for it.
    if (Items_.HasClassColors())
        RasterLinesIn<true>(m);
    else
        RasterLinesIn<false>(m);
}

template <bool ByClass>
void TChart::RasterLinesIn(const TMapping& m)
{
    const std::vector<TChartItem>& items = Items_.Items();
    const std::vector<TChartColorRun>& runs = Items_.Runs();
    if (items.empty() && Items_.OutlineBatches().empty())
        return;
    const QRect plot = PlotArea().intersected(rect());
    if (plot.isEmpty())
        return;
    // Pixel (i, j) holds the points with i <= x < i + 1 and j <= y < j + 1.
    const TClip clip{double(plot.left()), double(plot.top()), plot.left() + plot.width() - 1e-6,
                     plot.top() + plot.height() - 1e-6};
    uint32_t* bits = PaintBits_;
    const qsizetype stride = PaintStride_;
    const double ix = 1 / m.UnitsX, iy = 1 / m.UnitsY;
    const double bottom = m.Top + m.Height;
    const TShortOffsets shortOffsets = ShortOffsets(stride);

    // The outlines first, as they were added before any item line. A corner is projected
    // to pixels as an item's point would be, so the pixels are the same; one that does not
    // land on a finite pixel draws no segment. Every point is projected once: a point inside
    // the plot keeps its pixel, and a segment between two such pixels needs no clipping;
    // the others are projected again and clipped as they come.
    const std::vector<double>& allPoints = Items_.OutlinePoints();
    const double* points = allPoints.data();
    const uint32_t* index = Items_.OutlineIndex().data();
    const bool packable = plot.right() < 0xFFFF && plot.bottom() < 0xFFFF;
    // Inside means finite and not outside the clip rectangle (x < X0 or x > X1 ...):
    // written as X0 <= x <= X1, which no NaN passes. bottom - d * iy is bottom + d * -iy
    // to the bit.
    const TPixelMap pixelMap{m.X0, m.Y0, ix, -iy, m.Left, bottom, clip.X0, clip.Y0, clip.X1, clip.Y1};
    const auto toPixels = [&](const double* xy, std::vector<uint32_t>& out, size_t n) {
        out.resize(n);
        if (packable)
            PointPixels(xy, n, out.data(), pixelMap);
        else
            std::fill(out.begin(), out.end(), OutsidePixel);
    };
    if (!Items_.OutlineBatches().empty())
        toPixels(points, OutlinePixels_, allPoints.size() / 2);
    // A placement's points are worked out when a batch draws at it, for as long as the
    // batches that follow draw there too.
    uint32_t placed = TChartOutlineBatch::NoPlacement;
    std::fill(SeenBatch_.begin(), SeenBatch_.end(), 0);
    uint32_t batch = 0;
    for (const TChartOutlineBatch& b : Items_.OutlineBatches()) {
        ++batch;
        const uint32_t argb = ColorFromRef(ByClass ? Items_.ColorOf(0, b.Color) : b.Color).rgb();
        const double* p = points + 2 * size_t(b.PointBase);
        const uint32_t* pixel = OutlinePixels_.data() + b.PointBase;
        if (b.Placement != TChartOutlineBatch::NoPlacement) {
            if (b.Placement != placed) {
                placed = b.Placement;
                PlacedPoints_.resize(2 * size_t(Items_.OutlinePlacements()[placed].SourceCount));
                Items_.PlacedPoints(placed, PlacedPoints_.data());
                toPixels(PlacedPoints_.data(), PlacedPixels_, PlacedPoints_.size() / 2);
            }
            p = PlacedPoints_.data();
            pixel = PlacedPixels_.data();
        }
        // The pixel last written, which has this batch's colour already.
        uint32_t written = OutsidePixel;
        uint32_t prevK = 0, prevPixel = OutsidePixel;
        for (uint32_t i = b.First; i < b.End; ++i) {
            const uint32_t k = index[i] & ~TChartItems::OutlineStart;
            const uint32_t at = pixel[k];
            if (i != b.First && !(index[i] & TChartItems::OutlineStart)) {
                if (at != OutsidePixel && prevPixel != OutsidePixel) {
                    const int x0 = int(prevPixel & 0xFFFF), y0 = int(prevPixel >> 16);
                    const int x1 = int(at & 0xFFFF), y1 = int(at >> 16);
                    const int dx = x1 - x0, dy = y1 - y0;
                    if (std::abs(dx) <= ShortReach && std::abs(dy) <= ShortReach) {
                        uint32_t* const from = bits + y0 * stride + x0;
                        SetShort(from, shortOffsets[size_t((dy + ShortReach) * ShortSide + dx + ShortReach)], argb);
                        written = at;
                        prevK = k;
                        prevPixel = at;
                        continue;
                    }
                    if (std::max(std::abs(dx), std::abs(dy)) >= LongSegment) {
                        // A long segment between the same two pixels as one this batch has
                        // drawn already sets no other pixel: in a view that looks along
                        // the rows of a mesh, its parallel edges fall on each other.
                        const uint64_t key = uint64_t(prevPixel) << 32 | at;
                        const size_t slot = size_t((key * 0x9E3779B97F4A7C15ull) >> (64 - SeenBits));
                        if (SeenBatch_[slot] == batch && SeenKey_[slot] == key) {
                            written = at;
                            prevK = k;
                            prevPixel = at;
                            continue;
                        }
                        SeenBatch_[slot] = batch;
                        SeenKey_[slot] = key;
                    }
                    if (at != written || prevPixel != written)
                        PlotPixels(bits, stride, x0, y0, x1, y1, argb, prevPixel == written);
                    written = at;
                } else {
                    double ax = m.Left + (p[2 * size_t(prevK)] - m.X0) * ix;
                    double ay = bottom - (p[2 * size_t(prevK) + 1] - m.Y0) * iy;
                    double bx = m.Left + (p[2 * size_t(k)] - m.X0) * ix;
                    double by = bottom - (p[2 * size_t(k) + 1] - m.Y0) * iy;
                    const bool ok = (ax - ax == 0) & (ay - ay == 0) & (bx - bx == 0) & (by - by == 0);
                    if (ok && clip.Clip(ax, ay, bx, by))
                        PlotLine(bits, stride, ax, ay, bx, by, argb);
                    written = OutsidePixel;
                }
            }
            prevK = k;
            prevPixel = at;
        }
    }

    bool havePrev = false;
    double prevX = 0, prevY = 0;
    bool haveJoined = false;  // the item before was a finite joined mark, at (joinX, joinY)
    double joinX = 0, joinY = 0;
    for (size_t r = 0; r < runs.size(); ++r) {
        const uint32_t argb = ColorFromRef(runs[r].Color).rgb();
        const size_t end = r + 1 < runs.size() ? runs[r + 1].First : items.size();
        for (size_t i = runs[r].First; i < end; ++i) {
            const TChartItem& it = items[i];
            // The segment from (ax, ay) to (bx, by), clipped, in the item's colour.
            const auto plot = [&](double ax, double ay, double bx, double by) {
                if (!clip.Clip(ax, ay, bx, by))
                    return;
                if constexpr (ByClass)
                    PlotLine(bits, stride, ax, ay, bx, by, ColorFromRef(Items_.ColorOf(it.Class, runs[r].Color)).rgb());
                else
                    PlotLine(bits, stride, ax, ay, bx, by, argb);
            };
            if (it.Kind == TChartItemKind::JoinedMark) {
                const double px = m.Left + (it.X - m.X0) * ix;
                const double py = bottom - (it.Y - m.Y0) * iy;
                const bool ok = std::isfinite(px) && std::isfinite(py);
                if (haveJoined && ok)
                    plot(joinX, joinY, px, py);
                haveJoined = ok;
                joinX = px;
                joinY = py;
                continue;
            }
            haveJoined = false;
            if (it.Kind == TChartItemKind::Mark || it.Kind == TChartItemKind::Text)
                continue;
            const double px = m.Left + (it.X - m.X0) * ix;
            const double py = bottom - (it.Y - m.Y0) * iy;
            const bool ok = std::isfinite(px) && std::isfinite(py);
            if (it.Kind == TChartItemKind::Line && havePrev && ok)
                plot(prevX, prevY, px, py);
            havePrev = ok;
            prevX = px;
            prevY = py;
        }
    }
}

void TChart::DrawMarksAndTexts(QPainter& p, const TMapping& m)
{
    const std::vector<TChartItem>& items = Items_.Items();
    const std::vector<TChartColorRun>& runs = Items_.Runs();
    const QRect plot = PlotArea().intersected(rect());
    const TClip visible{plot.left() - 8.0, plot.top() - 8.0, plot.right() + 8.0, plot.bottom() + 8.0};
    uint32_t* bits = PaintBits_;
    const qsizetype stride = PaintStride_;
    size_t r = 0;
    // Marks falling on the pixel of the mark just drawn, in its colour and shape, would
    // only paint the same pixels again: with millions of frames most of them do.
    int lastX = 0, lastY = 0;
    uint32_t lastArgb = 0, lastCode = 0;
    bool drewMark = false;
    for (const uint32_t i : Items_.Decorations()) {
        if (i >= items.size())
            continue;
        // Decorations ascend, so the colour run only ever moves forward.
        while (r + 1 < runs.size() && runs[r + 1].First <= i)
            ++r;
        const TChartItem& it = items[i];
        const uint32_t win = Items_.ColorOf(it.Class, runs.empty() ? 0 : runs[r].Color);
        if (!IsMarkKind(it.Kind) && it.Kind != TChartItemKind::Text)
            continue;
        const double px = m.Left + (it.X - m.X0) / m.UnitsX;
        const double py = m.Top + m.Height - (it.Y - m.Y0) / m.UnitsY;
        if (!std::isfinite(px) || !std::isfinite(py) || visible.Code(px, py) != 0)
            continue;
        const int cx = static_cast<int>(std::floor(px)), cy = static_cast<int>(std::floor(py));
        if (IsMarkKind(it.Kind)) {
            const uint32_t argb = ColorFromRef(win).rgb();
            if (drewMark && cx == lastX && cy == lastY && argb == lastArgb && it.Aux == lastCode)
                continue;
            drewMark = true;
            lastX = cx;
            lastY = cy;
            lastArgb = argb;
            lastCode = it.Aux;
            ++MarksDrawn_;
            if (it.Aux == MarkDisc) {
                // Row by row, so the disc covers exactly 3 pixels left/above to 4
                // right/below.
                static constexpr int inset[8] = {2, 1, 0, 0, 0, 0, 1, 2};
                for (int row = 0; row < 8; ++row)
                    FillPixels(bits, stride, plot, cx - 3 + inset[row], cy - 3 + row, 8 - 2 * inset[row], 1, argb);
            } else if (it.Aux == MarkSquare) {
                FillPixels(bits, stride, plot, cx - 2, cy - 2, 5, 5, argb);
            } else {
                FillPixels(bits, stride, plot, cx - 2, cy, 5, 1, argb);
                FillPixels(bits, stride, plot, cx, cy - 2, 1, 5, argb);
            }
        } else if (it.Aux < Items_.Texts().size()) {
            const TChartText& t = Items_.Texts()[it.Aux];
            p.setFont(TextFont(t.Size));
            p.setPen(ColorFromRef(win));
            p.drawText(QPointF(px, py), QString::fromStdString(t.Text));
        }
    }
}

const QFont& TChart::TextFont(int size)
{
    // Kept from paint to paint: a font made afresh for every text lets Qt's font cache drop
    // its engine between paints, and loading it again costs milliseconds now and then.
    const int points = std::clamp(size, 1, 200);
    if (points != TextFontPoints_ || TextFontBase_ != font()) {
        TextFontBase_ = font();
        TextFont_ = TextFontBase_;
        TextFont_.setPointSize(points);
        TextFontPoints_ = points;
    }
    return TextFont_;
}

void TChart::resizeEvent(QResizeEvent*) { emit Resized(); }

// ---- Mouse

void TChart::StartDrag(QPointF pixel)
{
    Dragging_ = MouseAction_;
    DragStart_ = DragNow_ = pixel;
    DragRange_ = Range_;
    DragMapping_ = Mapping();
}

void TChart::mousePressEvent(QMouseEvent* event)
{
    const QPointF pixel = event->position();
    MousePos_ = PixelToChart(pixel);
    DragNow_ = pixel;
    emit MouseDown(MousePos_.x(), MousePos_.y(), event->button(), event->buttons(), event->modifiers());
    if (event->button() == Qt::LeftButton && MouseAction_ != TMouseAction::None)
        StartDrag(pixel);
}

void TChart::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF pixel = event->position();
    MousePos_ = PixelToChart(pixel);
    DragNow_ = pixel;
    emit MouseMove(MousePos_.x(), MousePos_.y(), event->buttons(), event->modifiers());
    if (!(event->buttons() & Qt::LeftButton)) {
        Dragging_ = TMouseAction::None;
        return;
    }
    if (Dragging_ == TMouseAction::Pan) {
        const double dx = (pixel.x() - DragStart_.x()) * DragMapping_.UnitsX;
        const double dy = (pixel.y() - DragStart_.y()) * DragMapping_.UnitsY;
        SetRange(DragRange_.X1 - dx, DragRange_.Y1 + dy, DragRange_.X2 - dx, DragRange_.Y2 + dy);
        emit RangeChanged();
    } else if (Dragging_ == TMouseAction::DragZoom) {
        update();
    }
}

void TChart::mouseReleaseEvent(QMouseEvent* event)
{
    const QPointF pixel = event->position();
    MousePos_ = PixelToChart(pixel);
    DragNow_ = pixel;
    const TMouseAction was = event->button() == Qt::LeftButton ? Dragging_ : TMouseAction::None;
    if (event->button() == Qt::LeftButton)
        Dragging_ = TMouseAction::None;
    emit MouseUp(MousePos_.x(), MousePos_.y(), event->button(), event->buttons(), event->modifiers());
    if (was == TMouseAction::DragZoom) {
        // A click or a sliver is not a zoom request.
        constexpr double minPixels = 3;
        const QRectF r = QRectF(DragStart_, pixel).normalized();
        if (r.width() >= minPixels && r.height() >= minPixels) {
            const TMapping& dm = DragMapping_;
            const double x1 = dm.X0 + (r.left() - dm.Left) * dm.UnitsX;
            const double x2 = dm.X0 + (r.right() - dm.Left) * dm.UnitsX;
            const double y1 = dm.Y0 + (dm.Height - (r.bottom() - dm.Top)) * dm.UnitsY;
            const double y2 = dm.Y0 + (dm.Height - (r.top() - dm.Top)) * dm.UnitsY;
            SetRange(x1, y1, x2, y2);
            emit RangeChanged();
        }
        update();
    }
}

void TChart::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (delta == 0)
        return;
    // Zoom about the point under the mouse, which stays where it is.
    const double f = delta > 0 ? 0.8 : 1.25;
    const QPointF at = PixelToChart(event->position());
    const TChartRange v = VisibleRange();
    SetRange(at.x() + (v.X1 - at.x()) * f, at.y() + (v.Y1 - at.y()) * f, at.x() + (v.X2 - at.x()) * f,
             at.y() + (v.Y2 - at.y()) * f);
    emit RangeChanged();
    event->accept();
}
