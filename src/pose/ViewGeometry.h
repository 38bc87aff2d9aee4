#pragma once
// The window-free part of the three orthographic views' refresh: which coordinates each
// view shows, the outlines of the drawn polygons in the components' colours, the pivot
// mark, the unit axes and the auto-scale range. Everything is written into chart item
// lists (base/ChartItems.h, plain C++), which the chart controls then draw as they are:
// the outlines as each model's points projected once per view with polygon index lists
// into them (a proxy sub-model's list once, drawn at each placement), the rest as items.
//
// A refresh, as the main window runs it:
//   ClearViews(views);
//   UpdateDisplayPoints(...);                       // pose/Pose.h
//   DrawViewOutlines(models, tree, cache, options, params, views, &outlines);
//   if (auto scale) AutoScaleViews(views, sizes, ranges) -> set the ranges it reports;
//   if (axes) for each view DrawAxes(*views[v], kind);
//   show the charts.
#include "pose/MotionPath.h"
#include "pose/OnionSkin.h"
#include "pose/Pose.h"
#include "base/ChartItems.h"

#include <array>
#include <optional>

enum class TViewKind { Front = 0, Left = 1, Top = 2 };
constexpr int ViewCount = 3;

namespace ViewColor {
constexpr uint32_t Grey = 0x00C0C0C0u;  // model outlines
constexpr uint32_t Yellow = 0x0000FFFFu;  // pivot mark and axes
constexpr uint32_t Path = 0x00FFFF00u;  // a motion path (cyan)
constexpr uint32_t PathNow = 0x00FFFFFFu;  // its current frame's dot (white)
}  // namespace ViewColor

constexpr int PivotMarkCode = 24;
constexpr int PathDotCode = 9;  // a small square
constexpr int PathNowCode = 24;  // a disc, larger
constexpr int AxisTextSize = 6;

struct TViewPoint {
    double U = 0, V = 0;  // chart x and y
};

// Front shows (x, y), left (z, y), top (x, z).
inline TViewPoint ViewProject(TViewKind view, double x, double y, double z)
{
    switch (view) {
    case TViewKind::Left:
        return {z, y};
    case TViewKind::Top:
        return {x, z};
    case TViewKind::Front:
    default:
        return {x, y};
    }
}

// The other way round, for placing a pivot with the mouse: the view's two coordinates of
// point p become u and v (front x, y; left z, y; top x, z); the third stays.
inline void ViewUnproject(TViewKind view, double u, double v, float p[3])
{
    switch (view) {
    case TViewKind::Left:
        p[2] = float(u);
        p[1] = float(v);
        break;
    case TViewKind::Top:
        p[0] = float(u);
        p[2] = float(v);
        break;
    case TViewKind::Front:
    default:
        p[0] = float(u);
        p[1] = float(v);
        break;
    }
}

// The letters of the view's horizontal and vertical axes: front "x"/"y", left "z"/"y",
// top "x"/"z".
const char* ViewAxisLetter(TViewKind view, bool vertical);

// Which components the views show.
enum class TComponentShow { Checked, All, None };

struct TViewOptions {
    TComponentShow Show = TComponentShow::Checked;  // not hidden / all / none
    bool AllPolygons = false;  // every polygon of the main model and the proxy sub-models, grey
    bool Environment = false;  // the environment model, grey
    // The selected component while pivot mode is on (its pivot is marked), else null.
    const TSelection* PivotComponent = nullptr;
    bool AutoScale = true;  // fit each view's range to its drawing
    bool Axes = true;  // the unit axes
    // Another pose of the models (a neighbouring frame of the onion skin): corners of the
    // main model's polygons from these records instead of its display points, and every
    // component in Tint instead of its colour.
    const TPosedPoints* Points = nullptr;
    std::optional<uint32_t> Tint{};
};

// The item lists of the front, left and top view, in that order. The left or the top view
// may be null where nobody shows it: nothing is built for it. The front view is always
// there, as the auto scale looks at its drawing.
using TViewItems = std::array<TChartItems*, ViewCount>;

// Drawing colour grey, then every item removed.
void ClearViews(const TViewItems& views);

// The edge lists DrawViewOutlines makes of the models' polygons, kept from one drawing to
// the next: reading every polygon record again on each refresh costs more than drawing the
// posed points. Only the points move from frame to frame; the lists hold as long as the
// models, the components' membership and the tree order do, so whoever owns the models
// calls Invalidate when any of them changes. Colours, hidden marks and the show options
// are read at each drawing. A list whose model or sizes no longer fit is made again.
class TViewOutlineCache {
public:
    void Invalidate()
    {
        Components_.clear();
        Wholes_.clear();
    }
    // Bytes held by the lists.
    size_t HeldBytes() const;

    // One list: indices as the views take them (first corners of polylines marked) and the
    // points they use, each once, in the order of first use.
    struct TList {
        const void* Key = nullptr;  // the model, or the polygon array of a whole list
        size_t PointCount = 0, PolygonCount = 0;
        bool Built = false;
        std::vector<uint32_t> Index;
        std::vector<uint32_t> Points;
    };
    // The list of the component at tree position t (slot made on first use).
    TList& Component(size_t t);
    // The whole list of a polygon array over this many points (slot made on first use).
    TList& Whole(const void* polygons, size_t pointCount);

private:
    std::vector<TList> Components_;
    std::vector<TList> Wholes_;
};

// Appends the grey model outlines, the component outlines and the pivot mark to all three
// views. Outlines are open: corner 0 to 1 to 2 (to 3 for a quad), never back to 0; an
// edge one component (or one model's grey list) has drawn already in the same direction
// is not added again, as it would set no other pixel, and edges that meet end to start
// form one polyline, so a view holds about one index per polygon of a mesh. Main
// model corners come from DisplayPoints (so UpdateDisplayPoints runs first), proxy
// sub-model corners are posed with their ProxyTransform. Hidden polygons are skipped.
// With an outline cache the edge lists come from it (and are made there when missing).
void DrawViewOutlines(const TModelList& models, const std::vector<const TSelection*>& treeOrder, const TPoseCache& cache,
                      const TPose& pose, const TViewOptions& options, const TPoseParams& params, const TViewItems& views,
                      TViewOutlineCache* outlines = nullptr);

// The bytes DrawViewOutlines keeps between drawings in this thread, for all views: a
// table as large as the largest model's points and one component's edge list.
size_t OutlineScratchBytes();
// Frees them, where no drawing follows.
void ReleaseOutlineScratch();

// The range that fits a bounding box into a view of the given pixel size, filling the
// view's limiting direction with a 5% margin:
//   size = 1.05 * min(w, h) * max(box width / w, box height / h),
//   range from (MinX - 0.05 size, MinY - 0.05 size), 1.05 size * w / min(w, h) wide and
//   1.05 size * h / min(w, h) high (in a square view: up to (MinX + size, MinY + size)).
// A view without pixels counts as square, a box of a single point as one unit wide.
// False (range untouched) when the box is not finite or too large to scale.
bool AutoScaleRange(const TChartBox& box, int widthPx, int heightPx, TChartRange& range);

// Auto scale of all three views: when the front view holds at least one line segment,
// each view with items gets its range in ranges[v] and changed[v] is set. Returns whether
// the front view had a segment (nothing changes otherwise).
bool AutoScaleViews(const TViewItems& views, const std::array<int, ViewCount>& widthPx,
                    const std::array<int, ViewCount>& heightPx, std::array<TChartRange, ViewCount>& ranges,
                    std::array<bool, ViewCount>& changed);

// Yellow unit axes: lines (0,0)-(1,0) and (0,0)-(0,1), the axis letters at (1.1, 0) and
// (0, 1.1) in text size 6.
void DrawAxes(TChartItems& items, TViewKind view);

// A motion path in all three views: a line through its finite points with a dot at each
// (joined marks, PathDotCode, colour Path), then the current frame's dot over them
// (PathNowCode, colour PathNow).
void DrawMotionPath(const TMotionPath& path, const TViewItems& views);

// What the views draw besides the pose.
struct TViewAids {
    // Neighbouring frames, farthest first: drawn under the pose, each component in the
    // layer's view colour, as the options show components (no grey outlines, no pivot).
    // The auto scale does not take them in, so the pose keeps the pixels it has without them.
    std::vector<const TOnionLayer*> Onion;
    // Drawn over the pose, and taken in by the auto scale.
    const TMotionPath* Path = nullptr;
};

// The views' part of the display refresh, after ClearViews and the pose: the outlines and
// the pivot mark, the motion path, the auto-scale ranges of views of the given pixel sizes
// (ranges[v] set where changed[v]), the onion skin under it all, then the axes, as the
// options and aids say.
void DrawViews(const TModelList& models, const std::vector<const TSelection*>& treeOrder, const TPoseCache& cache,
               const TPose& pose, const TViewOptions& options, const TPoseParams& params, const TViewItems& views,
               const std::array<int, ViewCount>& widthPx, const std::array<int, ViewCount>& heightPx,
               std::array<TChartRange, ViewCount>& ranges, std::array<bool, ViewCount>& changed,
               TViewOutlineCache* outlines = nullptr, const TViewAids* aids = nullptr);
