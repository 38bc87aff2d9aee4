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

using TPerView = std::array<uint32_t, ViewCount>;

// What one drawing of the outlines has put into the views so far: the first point of each
// point array projected (a model's display points, a placement's posed points) and the
// index range of each whole polygon list, so neither is added twice.
struct TOutlineSources {
    struct TPoints {
        const void* Key;
        TPerView Base;
    };
    struct TList {
        const void* Key;
        size_t PointCount;
        TPerView First, End;
    };
    std::vector<TPoints> Points;
    std::vector<TList> Lists;
};

// The points, given as x, y, z, projected into each view: front (x, y), left (z, y),
// top (x, z). Returns each view's first point.
template <class Get>
TPerView ProjectPoints(const TViewItems& views, size_t n, Get get)
{
    TPerView base{};
    double* out[ViewCount];
    for (size_t v = 0; v < views.size(); ++v)
        base[v] = views[v]->AddOutlinePoints(n, &out[v]);
    double* f = out[0];
    double* l = out[1];
    double* t = out[2];
    for (size_t i = 0; i < n; ++i) {
        const TVec3 p = get(i);
        f[2 * i] = p.x;
        f[2 * i + 1] = p.y;
        l[2 * i] = p.z;
        l[2 * i + 1] = p.y;
        t[2 * i] = p.x;
        t[2 * i + 1] = p.z;
    }
    return base;
}

// A model's display points in the views, projected on first use.
TPerView DisplayPointsIn(const TViewItems& views, TOutlineSources& s, const TP3dModell& m)
{
    for (const TOutlineSources::TPoints& p : s.Points)
        if (p.Key == &m)
            return p.Base;
    const std::vector<TDisplayPoint>& d = m.DisplayPoints;
    const TPerView base = ProjectPoints(views, d.size(), [&d](size_t i) {
        return TVec3{d[i].X, d[i].Y, d[i].Z};
    });
    s.Points.push_back({&m, base});
    return base;
}

// Appends a polygon's corners to the first view's index list.
inline void AddPolygon(TChartItems& front, const TP3dPolygon& poly)
{
    uint32_t c[4];
    for (uint32_t k = 0; k < poly.VertexCount; ++k)
        c[k] = poly.Corners[k].PointIndex;
    front.AddOutlinePolygon(c, poly.VertexCount);
}

// The box of display points in x, y and z, taken in the order the corners are drawn, and
// whether they all were finite: then it gives each view's box without a pass per view.
struct TCornerBox {
    float Min[3] = {HUGE_VALF, HUGE_VALF, HUGE_VALF};
    float Max[3] = {-HUGE_VALF, -HUGE_VALF, -HUGE_VALF};
    float Zero = 0;  // x * 0 is 0 only for finite x

    void Add(const TDisplayPoint& d)
    {
        const float p[3] = {d.X, d.Y, d.Z};
        for (int i = 0; i < 3; ++i) {
            Min[i] = std::min(Min[i], p[i]);
            Max[i] = std::max(Max[i], p[i]);
        }
        Zero += d.X * 0.0f + d.Y * 0.0f + d.Z * 0.0f;
    }
    bool Finite() const { return Zero == 0; }
    // Front (x, y), left (z, y), top (x, z).
    TChartBox View(size_t v) const
    {
        const int u = v == 1 ? 2 : 0, w = v == 2 ? 2 : 1;
        return {Min[u], Min[w], Max[u], Max[w]};
    }
};

inline void AddPolygon(TChartItems& front, const TP3dPolygon& poly, const std::vector<TDisplayPoint>& points,
                       TCornerBox& box)
{
    AddPolygon(front, poly);
    for (uint32_t k = 0; k < poly.VertexCount; ++k)
        box.Add(points[poly.Corners[k].PointIndex]);
}

// The indices the first view received since `first` go to the other two views as well;
// returns each view's range.
void CopyIndices(const TViewItems& views, uint32_t first, TPerView& from, TPerView& to)
{
    const uint32_t end = views[0]->OutlineIndexCount();
    from[0] = first;
    to[0] = end;
    const uint32_t* idx = views[0]->OutlineIndex().data();
    for (size_t v = 1; v < views.size(); ++v) {
        from[v] = views[v]->OutlineIndexCount();
        views[v]->AddOutlineIndices(idx + first, end - first);
        to[v] = views[v]->OutlineIndexCount();
    }
}

// The index ranges of every drawable polygon of a list, appended on first use.
const TOutlineSources::TList& WholeList(const TViewItems& views, TOutlineSources& s,
                                        const std::vector<TP3dPolygon>& polygons, size_t pointCount)
{
    for (const TOutlineSources::TList& l : s.Lists)
        if (l.Key == &polygons && l.PointCount == pointCount)
            return l;
    const uint32_t first = views[0]->OutlineIndexCount();
    for (const TP3dPolygon& poly : polygons)
        if (IsDrawable(poly, pointCount))
            AddPolygon(*views[0], poly);
    TOutlineSources::TList l{&polygons, pointCount, {}, {}};
    CopyIndices(views, first, l.First, l.End);
    s.Lists.push_back(l);
    return s.Lists.back();
}

void Batch(const TViewItems& views, const TPerView& base, const TPerView& first, const TPerView& end)
{
    for (size_t v = 0; v < views.size(); ++v)
        views[v]->AddOutlineBatch(base[v], first[v], end[v]);
}

// Every visible polygon of a proxy sub-model, posed with the sub-model's placement: the
// sub-model's one polygon list over this placement's points.
void ProxyOutlines(const TViewItems& views, TOutlineSources& s, const TP3dModell& sub, const TPoseParams& params)
{
    const TTransform M = ProxyTransform(sub);
    const std::vector<TP3dVertex>& points = sub.DrawnVertices();
    const TOutlineSources::TList& list = WholeList(views, s, sub.DrawnPolygons(), points.size());
    if (list.First[0] == list.End[0])
        return;
    const TPerView base =
        ProjectPoints(views, points.size(), [&](size_t i) { return PosePoint(points[i], M, params); });
    Batch(views, base, list.First, list.End);
}

}  // namespace

void DrawViewOutlines(const TModelList& models, const std::vector<TSelection*>& treeOrder, const TPoseCache& cache,
                      const TViewOptions& options, const TPoseParams& params, const TViewItems& views)
{
    TOutlineSources sources;
    if (options.AllPolygons || options.Environment) {
        for (const auto& m : models) {
            if (!m || (m->IsEnvironment ? !options.Environment : !options.AllPolygons))
                continue;
            SetColor(views, ViewColor::Grey);
            if (m->IsProxy) {
                // The environment's sub-models stand still, as the environment does.
                ProxyOutlines(views, sources, *m, m->IsEnvironment ? TPoseParams{} : params);
                continue;
            }
            const TOutlineSources::TList& list = WholeList(views, sources, m->Polygons, m->DisplayPoints.size());
            if (list.First[0] != list.End[0])
                Batch(views, DisplayPointsIn(views, sources, *m), list.First, list.End);
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
                ProxyOutlines(views, sources, *c->ProxyModel, params);
                continue;
            }
            if (!c->Model)
                continue;
            const TP3dModell& m = *c->Model;
            const size_t pointCount = m.DisplayPoints.size();
            const uint32_t first = views[0]->OutlineIndexCount();
            TCornerBox box;
            if (const TPoseCache::TEntry* e = cache.Find(t, c)) {
                for (uint32_t i : e->Polygons)
                    if (i < m.Polygons.size() && IsDrawable(m.Polygons[i], pointCount))
                        AddPolygon(*views[0], m.Polygons[i], m.DisplayPoints, box);
            } else {
                const size_t n = std::min(m.Polygons.size(), c->PolygonMembership.size());
                for (size_t i = 0; i < n; ++i)
                    if (c->PolygonMembership[i] != 0 && IsDrawable(m.Polygons[i], pointCount))
                        AddPolygon(*views[0], m.Polygons[i], m.DisplayPoints, box);
            }
            if (views[0]->OutlineIndexCount() == first)
                continue;
            TPerView from{}, to{};
            CopyIndices(views, first, from, to);
            const TPerView base = DisplayPointsIn(views, sources, m);
            if (!box.Finite()) {
                Batch(views, base, from, to);
                continue;
            }
            for (size_t v = 0; v < views.size(); ++v)
                views[v]->AddOutlineBatch(base[v], from[v], to[v], box.View(v));
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
