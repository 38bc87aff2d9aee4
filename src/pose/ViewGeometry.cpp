#include "pose/ViewGeometry.h"

#include <algorithm>
#include <cmath>

const char* ViewAxisLetter(TViewKind view, bool vertical)
{
    switch (view) {
    case TViewKind::Left:
        return vertical ? "y" : "z";
    case TViewKind::Top:
        return vertical ? "z" : "x";
    case TViewKind::Front:
    default:
        return vertical ? "y" : "x";
    }
}

void ClearViews(const TViewItems& views)
{
    for (TChartItems* v : views) {
        v->SetColor(ViewColor::Grey);
        v->Clear();
    }
}

namespace {

void SetColor(const TViewItems& views, uint32_t color)
{
    for (TChartItems* v : views)
        v->SetColor(color);
}

// The corners go into each of the three views as one open polyline.
inline void AddOutline(const TViewItems& views, const TVec3* corners, uint32_t count)
{
    double front[8], left[8], top[8];
    for (uint32_t k = 0; k < count; ++k) {
        front[2 * k] = corners[k].x;
        front[2 * k + 1] = corners[k].y;
        left[2 * k] = corners[k].z;
        left[2 * k + 1] = corners[k].y;
        top[2 * k] = corners[k].x;
        top[2 * k + 1] = corners[k].z;
    }
    const int n = static_cast<int>(count);
    views[0]->Polyline(front, n);
    views[1]->Polyline(left, n);
    views[2]->Polyline(top, n);
}

// Outline of a polygon of a model drawn from its display points.
inline void OutlineFromDisplay(const TViewItems& views, const TP3dModell& m, const TP3dPolygon& poly)
{
    if (!IsDrawable(poly, m.DisplayPoints.size()))
        return;
    TVec3 c[4];
    for (uint32_t k = 0; k < poly.VertexCount; ++k) {
        const TDisplayPoint& d = m.DisplayPoints[poly.Corners[k].PointIndex];
        c[k] = {d.X, d.Y, d.Z};
    }
    AddOutline(views, c, poly.VertexCount);
}

// Every visible polygon of a proxy sub-model, posed with the sub-model's placement.
void ProxyOutlines(const TViewItems& views, const TP3dModell& sub, const TPoseParams& params)
{
    const TTransform M = ProxyTransform(sub);
    const std::vector<TP3dVertex>& points = sub.DrawnVertices();
    for (const TP3dPolygon& poly : sub.DrawnPolygons()) {
        if (!IsDrawable(poly, points.size()))
            continue;
        TVec3 c[4];
        for (uint32_t k = 0; k < poly.VertexCount; ++k)
            c[k] = PosePoint(points[poly.Corners[k].PointIndex], M, params);
        AddOutline(views, c, poly.VertexCount);
    }
}

}  // namespace

void DrawViewOutlines(const TModelList& models, const std::vector<TSelection*>& treeOrder, const TPoseCache& cache,
                      const TViewOptions& options, const TPoseParams& params, const TViewItems& views)
{
    if (options.AllPolygons || options.Environment) {
        for (const auto& m : models) {
            if (!m || (m->IsEnvironment ? !options.Environment : !options.AllPolygons))
                continue;
            SetColor(views, ViewColor::Grey);
            if (m->IsProxy) {
                // The environment's sub-models stand still, as the environment does.
                ProxyOutlines(views, *m, m->IsEnvironment ? TPoseParams{} : params);
                continue;
            }
            for (const TP3dPolygon& poly : m->Polygons)
                OutlineFromDisplay(views, *m, poly);
        }
    }

    if (options.Show != TComponentShow::None) {
        for (size_t t = 0; t < treeOrder.size(); ++t) {
            const TSelection* c = treeOrder[t];
            if (!c)
                continue;
            SetColor(views, c->Color);
            if (c->Hidden && options.Show != TComponentShow::All)
                continue;
            if (c->ProxyModel) {
                ProxyOutlines(views, *c->ProxyModel, params);
                continue;
            }
            if (!c->Model)
                continue;
            const TP3dModell& m = *c->Model;
            if (const TPoseCache::TEntry* e = cache.Find(t, c)) {
                for (uint32_t i : e->Polygons)
                    if (i < m.Polygons.size())
                        OutlineFromDisplay(views, m, m.Polygons[i]);
            } else {
                const size_t n = std::min(m.Polygons.size(), c->PolygonMembership.size());
                for (size_t i = 0; i < n; ++i)
                    if (c->PolygonMembership[i] != 0)
                        OutlineFromDisplay(views, m, m.Polygons[i]);
            }
        }
    }

    if (const TSelection* c = options.PivotComponent) {
        SetColor(views, ViewColor::Yellow);
        const TVec3 p = PosePoint(c->Pivot, c->ActTransform, params);
        for (int v = 0; v < ViewCount; ++v) {
            const TViewPoint q = ViewProject(static_cast<TViewKind>(v), p.x, p.y, p.z);
            views[static_cast<size_t>(v)]->Mark(q.U, q.V, PivotMarkCode);
        }
    }
}

bool AutoScaleRange(const TChartBox& box, int widthPx, int heightPx, TChartRange& range)
{
    if (!std::isfinite(box.MinX) || !std::isfinite(box.MinY) || !std::isfinite(box.MaxX) || !std::isfinite(box.MaxY))
        return false;
    // A single point (or a box turned inside out) has no extent to fit; show one unit.
    double dx = box.MaxX - box.MinX, dy = box.MaxY - box.MinY;
    if (!(dx > 0) && !(dy > 0))
        dx = dy = 1;
    dx = std::max(dx, 0.0);
    dy = std::max(dy, 0.0);
    // The range takes the view's own shape, so the chart's equal scale has nothing to widen
    // and the drawing fills the view's limiting direction with its margins. In a square
    // view this is the plain square of side 1.05 x the larger extent.
    const double w = widthPx > 0 && heightPx > 0 ? widthPx : 1;
    const double h = widthPx > 0 && heightPx > 0 ? heightPx : 1;
    const double shorter = std::min(w, h);
    const double size = 1.05 * shorter * std::max(dx / w, dy / h);
    const double x1 = box.MinX - 0.05 * size, y1 = box.MinY - 0.05 * size;
    const double x2 = x1 + 1.05 * size * w / shorter, y2 = y1 + 1.05 * size * h / shorter;
    if (!std::isfinite(size) || !std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2) ||
        !(x2 > x1) || !(y2 > y1))
        return false;
    range = {x1, y1, x2, y2};
    return true;
}

bool AutoScaleViews(const TViewItems& views, const std::array<int, ViewCount>& widthPx,
                    const std::array<int, ViewCount>& heightPx, std::array<TChartRange, ViewCount>& ranges,
                    std::array<bool, ViewCount>& changed)
{
    changed.fill(false);
    if (views[0]->LineCount() == 0)
        return false;
    for (size_t v = 0; v < views.size(); ++v) {
        TChartBox box;
        if (views[v]->BoundingBox(box))
            changed[v] = AutoScaleRange(box, widthPx[v], heightPx[v], ranges[v]);
    }
    return true;
}

void DrawAxes(TChartItems& items, TViewKind view)
{
    items.SetColor(ViewColor::Yellow);
    items.MoveTo(0, 0);
    items.LineTo(1, 0);
    items.MoveTo(0, 0);
    items.LineTo(0, 1);
    items.Text(1.1, 0, ViewAxisLetter(view, false), AxisTextSize);
    items.Text(0, 1.1, ViewAxisLetter(view, true), AxisTextSize);
}

void DrawViews(const TModelList& models, const std::vector<TSelection*>& treeOrder, const TPoseCache& cache,
               const TViewOptions& options, const TPoseParams& params, const TViewItems& views,
               const std::array<int, ViewCount>& widthPx, const std::array<int, ViewCount>& heightPx,
               std::array<TChartRange, ViewCount>& ranges, std::array<bool, ViewCount>& changed)
{
    changed.fill(false);
    DrawViewOutlines(models, treeOrder, cache, options, params, views);
    if (options.AutoScale)
        AutoScaleViews(views, widthPx, heightPx, ranges, changed);
    if (options.Axes)
        for (int v = 0; v < ViewCount; ++v)
            DrawAxes(*views[size_t(v)], TViewKind(v));
}
