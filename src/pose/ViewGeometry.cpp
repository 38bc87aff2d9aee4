#include "pose/ViewGeometry.h"

#include <algorithm>
#include <cmath>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
        if (v) {
            v->SetColor(ViewColor::Grey);
            v->Clear();
        }
    }
}

namespace {

void SetColor(const TViewItems& views, uint32_t color)
{
    for (TChartItems* v : views)
        if (v)
            v->SetColor(color);
}

using TPerView = std::array<uint32_t, ViewCount>;

// What one drawing of the outlines has put into the views so far: the first point of each
// point array projected (a model's display points), of each sub-model's points with a
// model offset added, and the index range of each whole polygon list, so none is added
// twice.
struct TOutlineSources {
    struct TPoints {
        const void* Key;
        TPerView Base;
    };
    struct TSource {
        const void* Key;
        double Offset[3];
        TPerView Base;
    };
    std::vector<TSource> Sources;
    struct TList {
        const void* Key;
        size_t PointCount;
        TPerView First, End;
    };
    std::vector<TPoints> Points;
    std::vector<TList> Lists;
};

// The axes each view shows: front (x, y), left (z, y), top (x, z).
constexpr int ViewAxes[ViewCount][2] = {{0, 1}, {2, 1}, {0, 2}};

// Room for n outline points in each view drawn: their first index and where to write them
// (null for a view not drawn).
void AddPoints(const TViewItems& views, size_t n, TPerView& base, double* (&out)[ViewCount])
{
    for (size_t v = 0; v < views.size(); ++v) {
        out[v] = nullptr;
        if (views[v])
            base[v] = views[v]->AddOutlinePoints(n, &out[v]);
    }
}

#if defined(__SSE2__)
// A display point's x, y and z (the fourth lane cleared or not) written into the views'
// point blocks at slot k, as each view takes them.
inline void StoreProjected(double* const* out, size_t k, __m128 p)
{
    if (out[0])
        _mm_storeu_pd(out[0] + 2 * k, _mm_cvtps_pd(p));
    if (out[1])
        _mm_storeu_pd(out[1] + 2 * k, _mm_cvtps_pd(_mm_shuffle_ps(p, p, _MM_SHUFFLE(3, 3, 1, 2))));
    if (out[2])
        _mm_storeu_pd(out[2] + 2 * k, _mm_cvtps_pd(_mm_shuffle_ps(p, p, _MM_SHUFFLE(3, 3, 2, 0))));
}
#endif

// The points, given as x, y, z, projected into each view: front (x, y), left (z, y),
// top (x, z). Returns each view's first point.
template <class Get>
TPerView ProjectPoints(const TViewItems& views, size_t n, Get get)
{
    TPerView base{};
    double* out[ViewCount];
    AddPoints(views, n, base, out);
    for (size_t i = 0; i < n; ++i) {
        const TVec3 p = get(i);
        const double xyz[3] = {p.x, p.y, p.z};
        for (size_t v = 0; v < views.size(); ++v) {
            if (out[v]) {
                out[v][2 * i] = xyz[ViewAxes[v][0]];
                out[v][2 * i + 1] = xyz[ViewAxes[v][1]];
            }
        }
    }
    return base;
}

// A model's display points (or the records d drawn in their place) in the views, projected
// on first use.
TPerView DisplayPointsIn(const TViewItems& views, TOutlineSources& s, const TP3dModell& m, const std::vector<TDisplayPoint>& d)
{
    for (const TOutlineSources::TPoints& p : s.Points)
        if (p.Key == &m)
            return p.Base;
#if defined(__SSE2__)
    // Each point as one load, its pairs (x, y), (z, y) and (x, z) widened two at a time.
    static_assert(sizeof(TDisplayPoint) == 4 * sizeof(float));
    TPerView base{};
    double* out[ViewCount];
    AddPoints(views, d.size(), base, out);
    for (size_t i = 0; i < d.size(); ++i)
        StoreProjected(out, i, _mm_loadu_ps(&d[i].X));  // x y z (share count)
#else
    const TPerView base = ProjectPoints(views, d.size(), [&d](size_t i) { return TVec3{d[i].X, d[i].Y, d[i].Z}; });
#endif
    s.Points.push_back({&m, base});
    return base;
}

// The edges of one polygon list as open polylines: each polygon's edges from corner 0 on,
// chained into the polyline before whenever an edge starts where that one ended. An edge
// the list has drawn already in the same direction is left out: it would only set the
// same pixels to the same colour again, whatever the view. Neighbouring polygons share
// edges, and strips run them in the same direction, so this keeps about one edge a
// polygon. Each point remembers the last point an edge from it went to (plus one; 0:
// none); every point so marked ends up in the index list, so Finish (or CollectPoints)
// sets them back to 0 from there, and the table is kept from one list to the next.
class TEdgeList {
public:
    void Start(size_t pointCount)
    {
        if (Last_.size() < pointCount)
            Last_.resize(pointCount);
        Index.clear();
        End_ = NoPoint;
    }

    void AddPolygon(const TP3dPolygon& poly)
    {
        uint32_t a = poly.Corners[0].PointIndex;
        for (uint32_t k = 1; k < poly.VertexCount; ++k) {
            const uint32_t b = poly.Corners[k].PointIndex;
            uint32_t& last = Last_[a];
            if (last != b + 1) {
                last = b + 1;
                if (End_ != a)
                    Index.push_back(a | TChartItems::OutlineStart);
                Index.push_back(b);
                End_ = b;
            }
            a = b;
        }
    }

    // The points the polylines use, each once, in the order of first use; the list is done.
    void CollectPoints(std::vector<uint32_t>& out)
    {
        out.clear();
        for (uint32_t k : Index) {
            const uint32_t i = k & ~TChartItems::OutlineStart;
            if (Last_[i] != Seen) {
                Last_[i] = Seen;
                out.push_back(i);
            }
        }
        for (uint32_t i : out)
            Last_[i] = 0;
    }
    // The list is done without its points.
    void Finish()
    {
        for (uint32_t k : Index)
            Last_[k & ~TChartItems::OutlineStart] = 0;
    }

    size_t HeldBytes() const { return Last_.capacity() * sizeof(uint32_t) + Index.capacity() * sizeof(uint32_t); }
    void Release() { *this = TEdgeList(); }

    // The polylines' indices, first corners marked.
    std::vector<uint32_t> Index;

private:
    static constexpr uint32_t NoPoint = ~0u;
    // No point's mark: point indices stay below the start bit.
    static constexpr uint32_t Seen = ~0u;
    std::vector<uint32_t> Last_;
    uint32_t End_ = NoPoint;
};

TEdgeList& Edges()
{
    static thread_local TEdgeList edges;
    return edges;
}

// The box of display points in x, y and z and whether they all were finite: then it gives
// each view's box without a pass per view. Every corner of a drawn polygon ends one of the
// edges kept (a left-out edge has the same ends as one kept), so the edges' points give the
// box of the corners; each point once, in the order of first use, gives the same box.
struct TCornerBox {
    float Min[3] = {HUGE_VALF, HUGE_VALF, HUGE_VALF};
    float Max[3] = {-HUGE_VALF, -HUGE_VALF, -HUGE_VALF};
    bool NotFinite = false;
    bool Done = false;  // every point of the component taken in

    void Add(const TDisplayPoint& d)
    {
        const float p[3] = {d.X, d.Y, d.Z};
        for (int i = 0; i < 3; ++i) {
            Min[i] = std::min(Min[i], p[i]);
            Max[i] = std::max(Max[i], p[i]);
            NotFinite |= !(p[i] - p[i] == 0);  // x - x is 0 only for finite x
        }
    }
    // The points of a list, by their indices; with out set, each is also written into the
    // point blocks of the views drawn (front (x, y), left (z, y), top (x, z), at the
    // point's index; a view's block is null when it is not drawn).
    void AddAll(const std::vector<TDisplayPoint>& d, const std::vector<uint32_t>& points, double* const* out = nullptr)
    {
#if defined(__SSE2__)
        // All three coordinates at once, with the same comparisons as Add: min(p, lo) is
        // p < lo ? p : lo, as std::min(lo, p), and max(p, hi) is p > hi ? p : hi. The share
        // count's lane is cleared, so no odd bit pattern reaches the arithmetic.
        static_assert(sizeof(TDisplayPoint) == 4 * sizeof(float));
        const __m128 xyz = _mm_castsi128_ps(_mm_setr_epi32(-1, -1, -1, 0));
        const __m128 zero = _mm_setzero_ps();
        __m128 lo = _mm_setr_ps(Min[0], Min[1], Min[2], 0), hi = _mm_setr_ps(Max[0], Max[1], Max[2], 0);
        __m128 finite = xyz;
        const auto take = [&](const __m128 p) {
            lo = _mm_min_ps(p, lo);
            hi = _mm_max_ps(p, hi);
            finite = _mm_and_ps(finite, _mm_cmpeq_ps(_mm_sub_ps(p, p), zero));
        };
        if (out) {
            for (const uint32_t k : points) {
                const __m128 p = _mm_and_ps(_mm_loadu_ps(&d[k].X), xyz);
                take(p);
                StoreProjected(out, k, p);
            }
        } else {
            for (const uint32_t k : points)
                take(_mm_and_ps(_mm_loadu_ps(&d[k].X), xyz));
        }
        alignas(16) float l[4], h[4];
        _mm_store_ps(l, lo);
        _mm_store_ps(h, hi);
        for (int i = 0; i < 3; ++i) {
            Min[i] = l[i];
            Max[i] = h[i];
        }
        NotFinite |= (_mm_movemask_ps(finite) & 7) != 7;
#else
        for (const uint32_t k : points) {
            Add(d[k]);
            if (out) {
                const double p[3] = {d[k].X, d[k].Y, d[k].Z};
                for (size_t v = 0; v < ViewCount; ++v) {
                    if (out[v]) {
                        out[v][2 * size_t(k)] = p[ViewAxes[v][0]];
                        out[v][2 * size_t(k) + 1] = p[ViewAxes[v][1]];
                    }
                }
            }
        }
#endif
    }
    bool Finite() const { return !NotFinite; }
    // Front (x, y), left (z, y), top (x, z).
    TChartBox View(size_t v) const
    {
        const int u = v == 1 ? 2 : 0, w = v == 2 ? 2 : 1;
        return {Min[u], Min[w], Max[u], Max[w]};
    }
};

// The edge list goes to every view; returns each view's index range.
void AddIndices(const TViewItems& views, const std::vector<uint32_t>& index, TPerView& from, TPerView& to)
{
    for (size_t v = 0; v < views.size(); ++v) {
        if (!views[v])
            continue;
        from[v] = views[v]->OutlineIndexCount();
        views[v]->AddOutlineIndices(index.data(), index.size());
        to[v] = views[v]->OutlineIndexCount();
    }
}

// The index ranges of every drawable polygon of a list, appended on first use.
const TOutlineSources::TList& WholeList(const TViewItems& views, TOutlineSources& s, TViewOutlineCache& cache,
                                        const std::vector<TP3dPolygon>& polygons, size_t pointCount)
{
    for (const TOutlineSources::TList& l : s.Lists)
        if (l.Key == &polygons && l.PointCount == pointCount)
            return l;
    TViewOutlineCache::TList& c = cache.Whole(&polygons, pointCount);
    if (!c.Built || c.PolygonCount != polygons.size()) {
        TEdgeList& edges = Edges();
        edges.Start(pointCount);
        for (const TP3dPolygon& poly : polygons)
            if (IsDrawable(poly, pointCount))
                edges.AddPolygon(poly);
        c.Index.assign(edges.Index.begin(), edges.Index.end());
        edges.Finish();
        c.PolygonCount = polygons.size();
        c.Built = true;
    }
    TOutlineSources::TList l{&polygons, pointCount, {}, {}};
    AddIndices(views, c.Index, l.First, l.End);
    s.Lists.push_back(l);
    return s.Lists.back();
}

// The edge list of a component's visible polygons, from the cache when it still fits.
const TViewOutlineCache::TList& ComponentList(TViewOutlineCache& cache, size_t t, const TSelection& c,
                                              const TPoseCache& poseCache)
{
    const TP3dModell& m = *c.Model;
    const size_t pointCount = m.DisplayPoints.size();
    TViewOutlineCache::TList& l = cache.Component(t);
    if (l.Built && l.Key == &m && l.PointCount == pointCount && l.PolygonCount == m.Polygons.size())
        return l;
    TEdgeList& edges = Edges();
    edges.Start(pointCount);
    if (const TPoseCache::TEntry* e = poseCache.Find(t, &c)) {
        for (uint32_t i : e->Polygons)
            if (i < m.Polygons.size() && IsDrawable(m.Polygons[i], pointCount))
                edges.AddPolygon(m.Polygons[i]);
    } else {
        const size_t n = std::min(m.Polygons.size(), c.PolygonMembership.size());
        for (size_t i = 0; i < n; ++i)
            if (c.PolygonMembership[i] != 0 && IsDrawable(m.Polygons[i], pointCount))
                edges.AddPolygon(m.Polygons[i]);
    }
    l.Key = &m;
    l.PointCount = pointCount;
    l.PolygonCount = m.Polygons.size();
    l.Index.assign(edges.Index.begin(), edges.Index.end());
    edges.CollectPoints(l.Points);
    l.Built = true;
    return l;
}

void Batch(const TViewItems& views, const TPerView& base, const TPerView& first, const TPerView& end)
{
    for (size_t v = 0; v < views.size(); ++v)
        if (views[v])
            views[v]->AddOutlineBatch(base[v], first[v], end[v]);
}

// A sub-model's points with the model offset added, as PosePoint rounds them, in the views
// as outline source points: once for all placements with that offset.
TPerView SourcePointsIn(const TViewItems& views, TOutlineSources& s, const std::vector<TP3dVertex>& points, const double off[3])
{
    for (const TOutlineSources::TSource& p : s.Sources)
        if (p.Key == &points && p.Offset[0] == off[0] && p.Offset[1] == off[1] && p.Offset[2] == off[2])
            return p.Base;
    TOutlineSources::TSource src{&points, {off[0], off[1], off[2]}, {}};
    float* x = nullptr;
    const size_t n = points.size();
    for (size_t v = 0; v < views.size(); ++v) {
        if (!views[v])
            continue;
        float* out = nullptr;
        src.Base[v] = views[v]->AddOutlineSource(n, &out);
        if (x) {
            std::copy(x, x + 3 * n, out);
            continue;
        }
        x = out;
        for (size_t i = 0; i < n; ++i) {
            x[i] = float(RoundToFloat(points[i].X + off[0]));
            x[n + i] = float(RoundToFloat(points[i].Y + off[1]));
            x[2 * n + i] = float(RoundToFloat(points[i].Z + off[2]));
        }
    }
    s.Sources.push_back(src);
    return src.Base;
}

// Every visible polygon of a proxy sub-model at the sub-model's placement: the sub-model's
// one polygon list over its points as each view takes them through the placement, the
// transform's rows (PosePoint's sums, term for term) and the total-move share.
void ProxyOutlines(const TViewItems& views, TOutlineSources& s, TViewOutlineCache& cache, const TP3dModell& sub,
                   const TPose& pose, const TPoseParams& params)
{
    const std::vector<TP3dVertex>& points = sub.DrawnVertices();
    const TOutlineSources::TList& list = WholeList(views, s, cache, sub.DrawnPolygons(), points.size());
    if (list.First[0] == list.End[0])
        return;
    const TPerView base = SourcePointsIn(views, s, points, params.ModelOffset);
    const TTransform M = ProxyTransform(sub, pose);
    const std::array<double, 12>& m = M.m;
    const TVec3 share = params.TotalMoveShare();
    // Rows of x, y and z; front shows (x, y), left (z, y), top (x, z).
    const std::array<double, 5> row[3] = {
        {m[0], m[3], m[6], m[9], share.x}, {m[1], m[4], m[7], m[10], share.y}, {m[2], m[5], m[8], m[11], share.z}};
    for (size_t v = 0; v < views.size(); ++v) {
        if (!views[v])
            continue;
        const uint32_t placement = views[v]->AddOutlinePlacement(
            {base[v], uint32_t(points.size()), row[ViewAxes[v][0]], row[ViewAxes[v][1]]});
        views[v]->AddPlacedOutlineBatch(placement, list.First[v], list.End[v]);
    }
}

}  // namespace

size_t TViewOutlineCache::HeldBytes() const
{
    size_t bytes = (Components_.capacity() + Wholes_.capacity()) * sizeof(TList);
    for (const std::vector<TList>* lists : {&Components_, &Wholes_})
        for (const TList& l : *lists)
            bytes += (l.Index.capacity() + l.Points.capacity()) * sizeof(uint32_t);
    return bytes;
}

TViewOutlineCache::TList& TViewOutlineCache::Component(size_t t)
{
    if (Components_.size() <= t)
        Components_.resize(t + 1);
    return Components_[t];
}

TViewOutlineCache::TList& TViewOutlineCache::Whole(const void* polygons, size_t pointCount)
{
    for (TList& l : Wholes_)
        if (l.Key == polygons && l.PointCount == pointCount)
            return l;
    TList& l = Wholes_.emplace_back();
    l.Key = polygons;
    l.PointCount = pointCount;
    return l;
}

size_t OutlineScratchBytes() { return Edges().HeldBytes(); }

void ReleaseOutlineScratch() { Edges().Release(); }

void DrawViewOutlines(const TModelList& models, const std::vector<const TSelection*>& treeOrder, const TPoseCache& cache,
                      const TPose& pose, const TViewOptions& options, const TPoseParams& params, const TViewItems& views,
                      TViewOutlineCache* outlines)
{
    TViewOutlineCache once;
    TViewOutlineCache& lists = outlines ? *outlines : once;
    TOutlineSources sources;
    // The posed points a model's polygons are drawn with (null: none to draw with).
    const auto recordsOf = [&options](const TP3dModell& m) {
        return options.Points && !m.IsEnvironment ? options.Points->Of(m) : &m.DisplayPoints;
    };
    if (options.AllPolygons || options.Environment) {
        for (const auto& m : models) {
            if (!m || (m->IsEnvironment ? !options.Environment : !options.AllPolygons))
                continue;
            SetColor(views, ViewColor::Grey);
            if (m->IsProxy) {
                // The environment's sub-models stand still, as the environment does.
                ProxyOutlines(views, sources, lists, *m, pose, m->IsEnvironment ? TPoseParams{} : params);
                continue;
            }
            const std::vector<TDisplayPoint>* records = recordsOf(*m);
            if (!records)
                continue;
            const TOutlineSources::TList& list = WholeList(views, sources, lists, m->Polygons, records->size());
            if (list.First[0] != list.End[0])
                Batch(views, DisplayPointsIn(views, sources, *m, *records), list.First, list.End);
        }
    }

    if (options.Show != TComponentShow::None) {
        // The components' points and boxes first, model by model: a model's points go into
        // the views only as far as some drawn component's edges use them, each read once
        // for its projection and its component's box. (A model drawn whole already has all
        // its points there.)
        const auto drawn = [&](const TSelection* c) {
            return c && !(c->Hidden && options.Show != TComponentShow::All) && !c->ProxyModel && c->Model && recordsOf(*c->Model);
        };
        std::vector<TCornerBox> boxes(treeOrder.size());
        for (size_t t = 0; t < treeOrder.size(); ++t) {
            if (!drawn(treeOrder[t]) || ComponentList(lists, t, *treeOrder[t], cache).Index.empty())
                continue;
            const TP3dModell& m = *treeOrder[t]->Model;
            bool known = false;
            for (const TOutlineSources::TPoints& p : sources.Points)
                known |= p.Key == &m;
            if (known)
                continue;
            // A block for the model's points, written before any other block is added.
            const std::vector<TDisplayPoint>& records = *recordsOf(m);
            TOutlineSources::TPoints block{&m, {}};
            double* out[ViewCount];
            AddPoints(views, records.size(), block.Base, out);
            sources.Points.push_back(block);
            for (size_t u = t; u < treeOrder.size(); ++u) {
                if (drawn(treeOrder[u]) && treeOrder[u]->Model == &m) {
                    boxes[u].AddAll(records, ComponentList(lists, u, *treeOrder[u], cache).Points, out);
                    boxes[u].Done = true;
                }
            }
        }
        for (size_t t = 0; t < treeOrder.size(); ++t) {
            const TSelection* c = treeOrder[t];
            if (!c)
                continue;
            SetColor(views, options.Tint.value_or(c->Color));
            if (c->Hidden && options.Show != TComponentShow::All)
                continue;
            if (c->ProxyModel) {
                ProxyOutlines(views, sources, lists, *c->ProxyModel, pose, params);
                continue;
            }
            if (!drawn(c))
                continue;
            const TP3dModell& m = *c->Model;
            const std::vector<TDisplayPoint>& records = *recordsOf(m);
            const TViewOutlineCache::TList& list = ComponentList(lists, t, *c, cache);
            if (list.Index.empty())
                continue;
            TCornerBox& box = boxes[t];
            if (!box.Done)
                box.AddAll(records, list.Points);
            TPerView from{}, to{};
            AddIndices(views, list.Index, from, to);
            const TPerView base = DisplayPointsIn(views, sources, m, records);
            if (!box.Finite()) {
                Batch(views, base, from, to);
                continue;
            }
            for (size_t v = 0; v < views.size(); ++v)
                if (views[v])
                    views[v]->AddOutlineBatch(base[v], from[v], to[v], box.View(v));
        }
    }

    if (const TSelection* c = options.PivotComponent) {
        SetColor(views, ViewColor::Yellow);
        const TVec3 p = PosePoint(c->Pivot, pose.Act(c), params);
        for (int v = 0; v < ViewCount; ++v) {
            const TViewPoint q = ViewProject(static_cast<TViewKind>(v), p.x, p.y, p.z);
            if (TChartItems* items = views[static_cast<size_t>(v)])
                items->Mark(q.U, q.V, PivotMarkCode);
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
        if (views[v] && views[v]->BoundingBox(box))
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

void DrawMotionPath(const TMotionPath& path, const TViewItems& views)
{
    for (int v = 0; v < ViewCount; ++v) {
        if (!views[size_t(v)])
            continue;
        TChartItems& items = *views[size_t(v)];
        items.SetColor(ViewColor::Path);
        for (const TVec3& p : path.Points) {
            const TViewPoint q = ViewProject(TViewKind(v), p.x, p.y, p.z);
            items.JoinedMark(q.U, q.V, PathDotCode);
        }
        if (path.Current >= 0 && size_t(path.Current) < path.Points.size()) {
            const TVec3& p = path.Points[size_t(path.Current)];
            const TViewPoint q = ViewProject(TViewKind(v), p.x, p.y, p.z);
            items.SetColor(ViewColor::PathNow);
            items.Mark(q.U, q.V, PathNowCode);
        }
    }
}

void DrawViews(const TModelList& models, const std::vector<const TSelection*>& treeOrder, const TPoseCache& cache,
               const TPose& pose, const TViewOptions& options, const TPoseParams& params, const TViewItems& views,
               const std::array<int, ViewCount>& widthPx, const std::array<int, ViewCount>& heightPx,
               std::array<TChartRange, ViewCount>& ranges, std::array<bool, ViewCount>& changed, TViewOutlineCache* outlines,
               const TViewAids* aids)
{
    changed.fill(false);
    DrawViewOutlines(models, treeOrder, cache, pose, options, params, views, outlines);
    if (aids && aids->Path)
        DrawMotionPath(*aids->Path, views);
    if (options.AutoScale)
        AutoScaleViews(views, widthPx, heightPx, ranges, changed);
    if (aids && !aids->Onion.empty()) {
        std::array<size_t, ViewCount> first{};
        for (size_t v = 0; v < views.size(); ++v)
            first[v] = views[v] ? views[v]->OutlineBatches().size() : 0;
        TViewOptions layer;
        layer.Show = options.Show;
        for (const TOnionLayer* l : aids->Onion) {
            layer.Points = &l->Points;
            layer.Tint = l->ViewColor;
            DrawViewOutlines(models, treeOrder, cache, l->Pose, layer, l->Params, views, outlines);
        }
        for (size_t v = 0; v < views.size(); ++v)
            if (views[v])
                views[v]->DrawOutlinesFirst(first[v]);
    }
    if (options.Axes)
        for (int v = 0; v < ViewCount; ++v)
            if (views[size_t(v)])
                DrawAxes(*views[size_t(v)], TViewKind(v));
}
