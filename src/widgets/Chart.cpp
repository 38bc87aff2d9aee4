#include "widgets/Chart.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {

QColor WinColor(uint32_t c)
{
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}

bool FiniteRange(double x1, double y1, double x2, double y2)
{
    return std::isfinite(x1) && std::isfinite(y1) && std::isfinite(x2) && std::isfinite(y2) &&
           std::isfinite(x2 - x1) && std::isfinite(y2 - y1);
}

// Segments are clipped to a rectangle a little larger than the widget before they reach
// the painter: far-away points from a deep zoom then never reach the rasteriser.
struct TClip {
    double X0, Y0, X1, Y1;

    int Code(double x, double y) const
    {
        return (x < X0 ? 1 : 0) | (x > X1 ? 2 : 0) | (y < Y0 ? 4 : 0) | (y > Y1 ? 8 : 0);
    }

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

void TChart::Text(double x, double y, const QString& text, int size)
{
    Items_.Text(x, y, text.toStdString(), size);
}

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
    const double w = std::max(1, width());
    const double h = std::max(1, height());
    double spanX = Range_.X2 - Range_.X1;
    double spanY = Range_.Y2 - Range_.Y1;
    const double cx = Range_.X1 + spanX / 2, cy = Range_.Y1 + spanY / 2;
    // A zero span has no scale of its own: take the other axis's, or one unit.
    if (!(spanX > 0) && !(spanY > 0))
        spanX = spanY = 1;
    TMapping m;
    m.Height = h;
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

TChartRange TChart::VisibleRange() const
{
    const TMapping m = Mapping();
    const double w = std::max(1, width());
    return {m.X0, m.Y0, m.X0 + m.UnitsX * w, m.Y0 + m.UnitsY * m.Height};
}

QPointF TChart::ChartToPixel(double x, double y) const
{
    const TMapping m = Mapping();
    return {(x - m.X0) / m.UnitsX, m.Height - (y - m.Y0) / m.UnitsY};
}

QPointF TChart::PixelToChart(QPointF pixel) const
{
    const TMapping m = Mapping();
    return {m.X0 + pixel.x() * m.UnitsX, m.Y0 + (m.Height - pixel.y()) * m.UnitsY};
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

void TChart::SetGridSpacing(double units)
{
    if (std::isfinite(units) && units > 0)
        GridSpacing_ = units;
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

void TChart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (width() <= 0 || height() <= 0)
        return;
    // Everything is drawn into an image of the widget's size first: line segments are
    // rasterised straight into its pixels, which is many times faster than the painter for
    // hundreds of thousands of short outlines.
    if (Canvas_.size() != size())
        Canvas_ = QImage(size(), QImage::Format_RGB32);
    Canvas_.fill(WinColor(ChartColor_));
    const TMapping m = Mapping();
    if (GridStyle_ == TGridStyle::Lines) {
        QPainter cp(&Canvas_);
        DrawGrid(cp, m);
    }
    RasterLines(m);
    if (!Items_.Decorations().empty()) {
        QPainter cp(&Canvas_);
        DrawMarksAndTexts(cp, m);
    }
    p.drawImage(0, 0, Canvas_);
    if (Dragging_ == TMouseAction::DragZoom) {
        QPen pen(Qt::white);
        pen.setStyle(Qt::DashLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(DragStart_, DragNow_).normalized());
    }
}

void TChart::DrawGrid(QPainter& p, const TMapping& m) const
{
    constexpr double minPixels = 4;
    double step = GridSpacing_;
    const double unitsPerPixel = std::max(m.UnitsX, m.UnitsY);
    while (step / unitsPerPixel < minPixels && std::isfinite(step))
        step *= 10;
    if (!std::isfinite(step))
        return;
    p.setPen(QPen(WinColor(GridColor_), 0));
    const double w = width(), h = height();
    const double xEnd = m.X0 + w * m.UnitsX, yEnd = m.Y0 + h * m.UnitsY;
    // Counted loops: far from the origin k + 1 may equal k in floating point.
    const double kx = std::ceil(m.X0 / step), ky = std::ceil(m.Y0 / step);
    const int nx = static_cast<int>(std::min(std::floor(xEnd / step) - kx, w));
    const int ny = static_cast<int>(std::min(std::floor(yEnd / step) - ky, h));
    for (int i = 0; i <= nx; ++i) {
        const double px = std::round(((kx + i) * step - m.X0) / m.UnitsX);
        p.drawLine(QLineF(px, 0, px, h));
    }
    for (int i = 0; i <= ny; ++i) {
        const double py = std::round(m.Height - ((ky + i) * step - m.Y0) / m.UnitsY);
        p.drawLine(QLineF(0, py, w, py));
    }
}

namespace {

// One-pixel line between two points already clipped into [0, w) x [0, h): a DDA in 16.16
// fixed point, which stays between its (inside) end points.
inline void PlotLine(uint32_t* bits, qsizetype stride, double ax, double ay, double bx, double by, uint32_t argb)
{
    const int x0 = static_cast<int>(ax), y0 = static_cast<int>(ay);
    const int x1 = static_cast<int>(bx), y1 = static_cast<int>(by);
    const int dx = x1 - x0, dy = y1 - y0;
    const int n = std::max(std::abs(dx), std::abs(dy));
    if (n == 0) {
        bits[y0 * stride + x0] = argb;
        return;
    }
    const int64_t sx = (static_cast<int64_t>(dx) << 16) / n, sy = (static_cast<int64_t>(dy) << 16) / n;
    int64_t fx = (static_cast<int64_t>(x0) << 16) + 0x8000, fy = (static_cast<int64_t>(y0) << 16) + 0x8000;
    for (int i = 0; i <= n; ++i) {
        bits[(fy >> 16) * stride + (fx >> 16)] = argb;
        fx += sx;
        fy += sy;
    }
}

}  // namespace

void TChart::RasterLines(const TMapping& m)
{
    const std::vector<TChartItem>& items = Items_.Items();
    const std::vector<TChartColorRun>& runs = Items_.Runs();
    if (items.empty())
        return;
    const int w = Canvas_.width(), h = Canvas_.height();
    // Pixel (i, j) holds the points with i <= x < i + 1 and j <= y < j + 1.
    const TClip clip{0.0, 0.0, w - 1e-6, h - 1e-6};
    uint32_t* bits = reinterpret_cast<uint32_t*>(Canvas_.bits());
    const qsizetype stride = Canvas_.bytesPerLine() / 4;
    const double ix = 1 / m.UnitsX, iy = 1 / m.UnitsY;

    bool havePrev = false;
    double prevX = 0, prevY = 0;
    for (size_t r = 0; r < runs.size(); ++r) {
        const uint32_t argb = WinColor(runs[r].Color).rgb();
        const size_t end = r + 1 < runs.size() ? runs[r + 1].First : items.size();
        for (size_t i = runs[r].First; i < end; ++i) {
            const TChartItem& it = items[i];
            if (it.Kind == TChartItemKind::Mark || it.Kind == TChartItemKind::Text)
                continue;
            const double px = (it.X - m.X0) * ix;
            const double py = m.Height - (it.Y - m.Y0) * iy;
            const bool ok = std::isfinite(px) && std::isfinite(py);
            if (it.Kind == TChartItemKind::Line && havePrev && ok) {
                double ax = prevX, ay = prevY, bx = px, by = py;
                if (clip.Clip(ax, ay, bx, by))
                    PlotLine(bits, stride, ax, ay, bx, by, argb);
            }
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
    const TClip visible{-8.0, -8.0, width() + 8.0, height() + 8.0};
    size_t r = 0;
    for (const uint32_t i : Items_.Decorations()) {
        if (i >= items.size())
            continue;
        // Decorations ascend, so the colour run only ever moves forward.
        while (r + 1 < runs.size() && runs[r + 1].First <= i)
            ++r;
        const QColor color = WinColor(runs.empty() ? 0 : runs[r].Color);
        const TChartItem& it = items[i];
        if (it.Kind != TChartItemKind::Mark && it.Kind != TChartItemKind::Text)
            continue;
        const double px = (it.X - m.X0) / m.UnitsX;
        const double py = m.Height - (it.Y - m.Y0) / m.UnitsY;
        if (!std::isfinite(px) || !std::isfinite(py) || visible.Code(px, py) != 0)
            continue;
        const int cx = static_cast<int>(std::floor(px)), cy = static_cast<int>(std::floor(py));
        if (it.Kind == TChartItemKind::Mark) {
            if (it.Aux == MarkDisc) {
                // Row by row, so the disc covers exactly 3 pixels left/above to 4
                // right/below whatever the ellipse rasteriser rounds.
                static constexpr int inset[8] = {2, 1, 0, 0, 0, 0, 1, 2};
                for (int row = 0; row < 8; ++row)
                    p.fillRect(cx - 3 + inset[row], cy - 3 + row, 8 - 2 * inset[row], 1, color);
            } else {
                p.fillRect(cx - 2, cy, 5, 1, color);
                p.fillRect(cx, cy - 2, 1, 5, color);
            }
        } else if (it.Aux < Items_.Texts().size()) {
            const TChartText& t = Items_.Texts()[it.Aux];
            QFont f = font();
            f.setPointSize(std::clamp(t.Size, 1, 200));
            p.setFont(f);
            p.setPen(color);
            p.drawText(QPointF(px, py), QString::fromStdString(t.Text));
        }
    }
}

void TChart::resizeEvent(QResizeEvent*)
{
    emit Resized();
}

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
            const double x1 = DragMapping_.X0 + r.left() * DragMapping_.UnitsX;
            const double x2 = DragMapping_.X0 + r.right() * DragMapping_.UnitsX;
            const double y1 = DragMapping_.Y0 + (DragMapping_.Height - r.bottom()) * DragMapping_.UnitsY;
            const double y2 = DragMapping_.Y0 + (DragMapping_.Height - r.top()) * DragMapping_.UnitsY;
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
