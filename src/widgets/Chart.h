#pragma once
// A 2D chart view: a list of items (moves, lines, marks, texts) in chart coordinates drawn
// through a range onto a background with an optional grid, with mouse events reported in
// chart coordinates, left-drag zoom, Ctrl-drag pan and wheel zoom.
//
// Colours are Windows colour integers 0x00BBGGRR (red in the low byte).
//
// The range set with SetRange is always fully visible. With equal scale on (the default)
// both axes get the same units per pixel: the range is widened, about its centre, along
// the axis that has room to spare. A range of zero width or height is widened to one unit
// about its centre; a non-finite range is refused and the old one kept.
//
// Rims (0 by default) keep a margin between the widget's edges and the plot area; the
// axis titles and the scale numbers of the grid are written into them.
#include "base/ChartItems.h"

#include <QFont>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QWidget>
#include <array>
#include <vector>

class QPainter;

class TChart : public QWidget {
    Q_OBJECT
public:
    // What a left-button drag does.
    enum class TMouseAction { None, Pan, DragZoom };
    enum class TGridStyle { None, Lines };
    // Mark codes with a look of their own; any other code draws a small cross.
    static constexpr int MarkDisc = 24;  // filled disc, 3 pixels left/above to 4 right/below
    static constexpr int MarkSquare = 9;  // filled square, 2 pixels each way

    explicit TChart(QWidget* parent = nullptr);

    // ---- Items
    // Direct access for bulk filling (see ChartItems.h); call ShowGraph() afterwards.
    TChartItems& Items() { return Items_; }
    const TChartItems& Items() const { return Items_; }
    void ClearItems() { Items_.Clear(); }
    void SetColor(uint32_t color) { Items_.SetColor(color); }
    void MoveTo(double x, double y) { Items_.MoveTo(x, y); }
    void LineTo(double x, double y) { Items_.LineTo(x, y); }
    void Mark(double x, double y, int code) { Items_.Mark(x, y, code); }
    void Text(double x, double y, const QString& text, int size);
    int LineCount() const { return Items_.LineCount(); }
    // Bytes the chart keeps for painting besides its items (canvas aside).
    size_t PaintBytes() const
    {
        return OutlinePixels_.capacity() * sizeof(uint32_t) + PlacedPixels_.capacity() * sizeof(uint32_t) +
               PlacedPoints_.capacity() * sizeof(double) + sizeof SeenKey_ + sizeof SeenBatch_;
    }
    // Bounding box of all items; false when there are none.
    bool BoundingBox(TChartBox& box) const { return Items_.BoundingBox(box); }
    // Schedules a repaint with the current items and range.
    void ShowGraph() { update(); }
    // The mark nearest to a pixel position, as an index into Items().Items(), with its
    // distance in pixels; -1 when there is no mark.
    int NearestMark(QPointF pixel, double* distancePixels = nullptr) const;
    // Fits the range to the bounding box of the items, widened by marginPercent of its
    // size on each side; a box of no height or width gets one unit. Nothing happens
    // without items.
    void AutoRange(double marginPercent);
    // How many marks the last paint drew: marks on the pixel of the one before are not
    // drawn again.
    int MarksDrawn() const { return MarksDrawn_; }

    // ---- Range and mapping
    void SetRange(double x1, double y1, double x2, double y2);
    // The range as last set (by the program, zoom or pan).
    TChartRange Range() const { return Range_; }
    // What the widget actually shows: the range widened for equal scale.
    TChartRange VisibleRange() const;
    QPointF ChartToPixel(double x, double y) const;
    QPointF PixelToChart(QPointF pixel) const;
    // Last mouse position seen over the chart, in chart coordinates.
    QPointF MousePosition() const { return MousePos_; }

    // ---- Look
    void SetEqualScale(bool on);
    bool EqualScale() const { return EqualScale_; }
    void SetChartColor(uint32_t color);
    uint32_t ChartColor() const { return ChartColor_; }
    void SetGridColor(uint32_t color);
    void SetGridStyle(TGridStyle style);
    TGridStyle GridStyle() const { return GridStyle_; }
    // Distance between grid lines in chart units. When lines would be closer than a few
    // pixels only every tenth (hundredth, ...) one is drawn.
    void SetGridSpacing(double units) { SetGridSpacing(units, units); }
    void SetGridSpacing(double unitsX, double unitsY);
    // Space in pixels between the widget's edges and the plot area.
    void SetRims(int left, int top, int right, int bottom);
    QRect PlotArea() const;
    // Axis titles, written below and left of the plot area when the rims have room.
    void SetTitles(const QString& abscissa, const QString& ordinate);

    // ---- Mouse
    void SetMouseAction(TMouseAction action);
    TMouseAction MouseAction() const { return MouseAction_; }

signals:
    // Coordinates are chart coordinates. Emitted before the chart zooms or pans, so a
    // handler can still change the mouse action for this very event.
    void MouseDown(double x, double y, Qt::MouseButton button, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    void MouseMove(double x, double y, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    void MouseUp(double x, double y, Qt::MouseButton button, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    // The user zoomed or panned.
    void RangeChanged();
    void Resized();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    struct TMapping {
        double X0 = 0, Y0 = 0;  // chart coordinates at the left and bottom edge of the plot
        double UnitsX = 1, UnitsY = 1;  // chart units per pixel
        double Height = 1;  // of the plot area
        double Left = 0, Top = 0;  // the plot area's offset in the widget
    };
    TMapping Mapping() const;
    void StartDrag(QPointF pixel);
    void DrawGrid(QPainter& p, const TMapping& m) const;
    void RasterLines(const TMapping& m);
    void DrawMarksAndTexts(QPainter& p, const TMapping& m);
    template <bool ByClass>
    void RasterLinesIn(const TMapping& m);
    void DrawRims(QPainter& p, const TMapping& m) const;
    // The widget's font at a text item's size in points (1 to 200).
    const QFont& TextFont(int size);
    // The image the painter draws into when the paint may set its pixels there, the
    // widget's pixel (0, 0) at `at`; else null.
    QImage* DirectImage(QPainter& p, QPoint& at) const;
    static double GridStep(double spacing, double unitsPerPixel);

    TChartItems Items_;
    TChartRange Range_{-1, -1, 1, 1};
    QPointF MousePos_;
    bool EqualScale_ = true;
    uint32_t ChartColor_ = 0;  // black
    uint32_t GridColor_ = 0x00008080u;  // olive
    TGridStyle GridStyle_ = TGridStyle::Lines;
    double GridSpacingX_ = 1, GridSpacingY_ = 1;
    TMouseAction MouseAction_ = TMouseAction::DragZoom;
    int RimLeft_ = 0, RimTop_ = 0, RimRight_ = 0, RimBottom_ = 0;
    QString TitleX_, TitleY_;

    // Drag state.
    TMouseAction Dragging_ = TMouseAction::None;
    QPointF DragStart_;
    QPointF DragNow_;
    TChartRange DragRange_;
    TMapping DragMapping_;

    QImage Canvas_;  // reused on every paint that cannot draw into the painter's image
    // Where the paint sets pixels: the widget's pixel (0, 0), rows PaintStride_ apart.
    uint32_t* PaintBits_ = nullptr;
    qsizetype PaintStride_ = 0;
    QFont TextFontBase_, TextFont_;
    int TextFontPoints_ = 0;
    // Each outline point's pixel while painting (y << 16 | x), or OutsidePixel; reused.
    std::vector<uint32_t> OutlinePixels_;
    // The points and pixels of the placement being drawn (see TChartPlacement); reused.
    std::vector<double> PlacedPoints_;
    std::vector<uint32_t> PlacedPixels_;
    // Long outline segments drawn in the current batch, by their end pixels (a direct-mapped
    // table: a segment that finds another in its slot is simply drawn).
    static constexpr int SeenBits = 12;
    std::array<uint64_t, 1 << SeenBits> SeenKey_{};
    std::array<uint32_t, 1 << SeenBits> SeenBatch_{};
    int MarksDrawn_ = 0;
};
