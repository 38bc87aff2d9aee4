#pragma once
// Pictures of the views without a window on screen: the three chart views drawn as the
// main window draws them, the 3D view through an offscreen GL framebuffer, and the four in
// the window's layout; the PNG saved without ever leaving a half-written file behind.
#include "view3d/View3d.h"
#include "pose/ViewGeometry.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class TChart;
class TEditor;
struct TEditorOptions;

// The 3D view's switches of the options, as the painter takes them.
T3dPaintOptions Paint3dOptions(const TEditorOptions& options);

// A chart set up as the main window's views are: black, an olive grid one unit apart
// (when grid is on), equal scale.
void SetUpViewChart(TChart& view, bool grid);

// The chart as it shows itself at its current size (it need not be on screen).
QImage GrabChart(TChart& chart);

// The 3D view of the scene at its initial camera, as its options show it; a null image
// with error set when there is no OpenGL to draw with.
QImage Render3dPicture(const TEditor& scene, QSize size, QString* error);

// The orthographic views of a posed scene, each fitted to the size it is drawn at, with
// the grid where the options show it.
class TViewPictures {
public:
    explicit TViewPictures(const TEditor& scene);
    ~TViewPictures();
    QImage View(TViewKind view, QSize size);
    // Front over top on the left, left over 3D on the right, as in the main window; null
    // (error set) when the 3D view cannot be drawn.
    QImage All(QSize size, QString* error);
    // Draws the views at these sizes: all three, or only the one asked for (with the front
    // view, whose drawing the auto scale looks at).
    void Draw(const std::array<QSize, ViewCount>& sizes, std::optional<TViewKind> only = std::nullopt);
    // Called when a picture's views are drawn, before they are painted: painting needs only
    // the drawing, so the caller may free the scene there.
    std::function<void()> Drawn;
    // The bytes the three views' item lists and paint tables, the editor's edge lists and
    // the drawing's scratch tables hold, and their line segments.
    size_t HeldBytes() const;
    int LineCount() const;

private:
    void ReleaseDrawing() const;
    const TEditor& Scene_;
    std::array<std::unique_ptr<TChart>, ViewCount> Charts_;
};

// Writes the image as PNG through a temporary file renamed over path. False with error set
// when it cannot be encoded or written.
bool SavePngAtomic(const QImage& image, const QString& path, QString* error);
