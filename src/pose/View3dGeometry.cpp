#include "pose/View3dGeometry.h"

#include <algorithm>
#include <cmath>

// ---- Camera

void ViewMouseDown(TViewDrag& drag, int x, int y)
{
    drag.ViewDragging = true;
    drag.ViewLastX = x;
    drag.ViewLastY = y;
}

void ViewMouseUp(TViewDrag& drag) { drag.ViewDragging = false; }

bool ViewMouseMove(TViewCamera& camera, TViewDrag& drag, const TViewMouse& m)
{
    bool changed = false;
    if (drag.ViewDragging) {
        const int dx = m.X - drag.ViewLastX, dy = m.Y - drag.ViewLastY;
        if (m.Left && m.Ctrl) {
            const float d = camera.ViewDistance;
            const float next = d + std::fabs(0.5f * d) * 0.1f * float(-dy);
            camera.ViewDistance = std::clamp(next, ViewDistanceFar, ViewDistanceNear);
        } else if (m.Right) {
            const float f = 0.002f * camera.ViewDistance;
            camera.ViewPanX += float(-dx) * f;
            camera.ViewPanY += float(dy) * f;
        } else if (m.Left) {
            camera.ViewRotX += float(dy);
            camera.ViewRotY += float(dx);
        }
        changed = (m.Left || m.Right) && (dx != 0 || dy != 0);
    }
    drag.ViewLastX = m.X;
    drag.ViewLastY = m.Y;
    return changed;
}

// ---- Scene

void ComponentColor(uint32_t color, float rgb[3])
{
    rgb[0] = float(color & 0xFFu) / 256.0f;
    rgb[1] = float((color >> 8) & 0xFFu) / 256.0f;
    rgb[2] = float((color >> 16) & 0xFFu) / 256.0f;
}

namespace {

struct TRgba {
    float R, G, B, A;
};

constexpr float ShellGrey = 0.8f;
constexpr float EditedAlpha = 0.8f;
constexpr float OtherAlpha = 0.2f;

// Corners a polygon is drawn with, or 0 when it is not drawn: 3 or 4 corners, each naming
// one of the points. The normal indices are not checked here (see the face normal).
inline uint32_t DrawnCorners(const TP3dPolygon& poly, size_t pointCount)
{
    if (poly.Hidden || (poly.VertexCount != 3 && poly.VertexCount != 4))
        return 0;
    for (uint32_t k = 0; k < poly.VertexCount; ++k)
        if (poly.Corners[k].PointIndex >= pointCount)
            return 0;
    return poly.VertexCount;
}

// The normal of the plane through three points, for a polygon whose stored normal is
// missing: (p1 - p0) x (p2 - p0), the side the stored order turns counter-clockwise to.
TVec3 FaceNormal(const TVec3& p0, const TVec3& p1, const TVec3& p2)
{
    const TVec3 a{p1.x - p0.x, p1.y - p0.y, p1.z - p0.z}, b{p2.x - p0.x, p2.y - p0.y, p2.z - p0.z};
    const TVec3 n{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    if (n.x == 0 && n.y == 0 && n.z == 0)
        return {0, 0, 1};
    return n;
}

// Appends one polygon whose corner positions and normals are already worked out (in model
// space, X not yet mirrored), in reversed corner order.
inline void Emit(std::vector<T3dVertex>& out, uint32_t count, const TVec3* pos, const TVec3* nrm, const TRgba& c)
{
    for (uint32_t k = count; k-- > 0;) {
        out.push_back({c.R, c.G, c.B, c.A, float(-nrm[k].x), float(nrm[k].y), float(nrm[k].z), float(-pos[k].x), float(pos[k].y),
                       float(pos[k].z)});
    }
}

// A polygon of a plain model, from its display points (or the records drawn in their
// place). This is the bulk of a paint, so it writes the corners straight from the float
// records, in reversed order.
inline void PolygonFromDisplay(T3dBatch& batch, const TP3dModell& m, const std::vector<TDisplayPoint>& records,
                               const TP3dPolygon& poly, const TRgba& c)
{
    const uint32_t count = DrawnCorners(poly, records.size());
    if (count == 0)
        return;
    std::vector<T3dVertex>& out = count == 4 ? batch.Quads : batch.Triangles;
    const size_t normals = m.Normals.size();
    bool missing = false;
    for (uint32_t k = count; k-- > 0;) {
        const TP3dCorner& corner = poly.Corners[k];
        const TDisplayPoint& d = records[corner.PointIndex];
        T3dVertex v{c.R, c.G, c.B, c.A, 0, 0, 0, -d.X, d.Y, d.Z};
        if (corner.NormalIndex < normals) {
            const TP3dNormal& n = m.Normals[corner.NormalIndex];
            v.Nx = -n.X;
            v.Ny = n.Y;
            v.Nz = n.Z;
        } else {
            missing = true;
        }
        out.push_back(v);
    }
    if (!missing)
        return;
    // out[first + j] holds corner count - 1 - j, with X mirrored.
    T3dVertex* first = out.data() + (out.size() - count);
    const auto at = [&](uint32_t k) {
        const T3dVertex& v = first[count - 1 - k];
        return TVec3{-double(v.X), v.Y, v.Z};
    };
    const TVec3 f = FaceNormal(at(0), at(1), at(2));
    for (uint32_t k = 0; k < count; ++k) {
        if (poly.Corners[k].NormalIndex < normals)
            continue;
        T3dVertex& v = first[count - 1 - k];
        v.Nx = float(-f.x);
        v.Ny = float(f.y);
        v.Nz = float(f.z);
    }
}

// A proxy sub-model at its placement, drawn when the batch is.
void ProxyPolygons(T3dBatch& batch, const TP3dModell& sub, const TPose& pose, const TPoseParams& params, const TRgba& c)
{
    T3dPlacement p;
    p.Sub = &sub;
    p.Transform = ProxyTransform(sub, pose);
    p.Params = params;
    p.R = c.R, p.G = c.G, p.B = c.B, p.A = c.A;
    p.TrianglesBefore = batch.Triangles.size();
    p.QuadsBefore = batch.Quads.size();
    batch.Placements.push_back(p);
}

// The visible triangles (corners 3) or quads (corners 4) of a placed sub-model, posed, onto
// out. Normals turn with the linear part of the placement only; GL scales them back to
// unit length.
void PlacedPolygons(const T3dPlacement& p, uint32_t corners, std::vector<T3dVertex>& out)
{
    const TP3dModell& sub = *p.Sub;
    const TTransform& M = p.Transform;
    const TPoseParams& params = p.Params;
    const std::array<double, 12>& L = M.m;
    const TRgba c{p.R, p.G, p.B, p.A};
    // Sub-models of one file share its geometry; their own lists are then empty.
    const std::vector<TP3dVertex>& points = sub.DrawnVertices();
    const std::vector<TP3dNormal>& subNormals = sub.DrawnNormals();
    const size_t normals = subNormals.size();
    for (const TP3dPolygon& poly : sub.DrawnPolygons()) {
        const uint32_t count = DrawnCorners(poly, points.size());
        if (count != corners)
            continue;
        TVec3 pos[4], nrm[4];
        bool missing = false;
        for (uint32_t k = 0; k < count; ++k) {
            pos[k] = PosePoint(points[poly.Corners[k].PointIndex], M, params);
            const uint32_t ni = poly.Corners[k].NormalIndex;
            if (ni < normals) {
                const TP3dNormal& n = subNormals[ni];
                const double x = n.X, y = n.Y, z = n.Z;
                nrm[k] = {x * L[0] + y * L[3] + z * L[6], x * L[1] + y * L[4] + z * L[7], x * L[2] + y * L[5] + z * L[8]};
            } else {
                missing = true;
            }
        }
        if (missing) {
            const TVec3 f = FaceNormal(pos[0], pos[1], pos[2]);
            for (uint32_t k = 0; k < count; ++k)
                if (poly.Corners[k].NormalIndex >= normals)
                    nrm[k] = f;
        }
        Emit(out, count, pos, nrm, c);
    }
}

// What the component pass draws of the component at tree position t: a proxy's sub-model,
// or its member polygons that are not hidden and not a proxy's triangle, with corners from
// records (the display points when null).
void ComponentPolygons(T3dBatch& batch, size_t t, const TSelection& c, const TPoseCache& cache, const TPose& pose,
                       const TPoseParams& params, const TPosedPoints* records, const TRgba& color)
{
    if (c.ProxyModel) {
        ProxyPolygons(batch, *c.ProxyModel, pose, params, color);
        return;
    }
    if (!c.Model)
        return;
    const TP3dModell& m = *c.Model;
    const std::vector<TDisplayPoint>* points = records ? records->Of(m) : &m.DisplayPoints;
    if (!points)
        return;
    const size_t vertices = m.Vertices.size();
    const auto draw = [&](size_t i) {
        const TP3dPolygon& poly = m.Polygons[i];
        // A proxy's triangle is drawn as the sub-model, not as a polygon.
        if (poly.Corners[0].PointIndex < vertices && m.Vertices[poly.Corners[0].PointIndex].IsProxyCorner)
            return;
        PolygonFromDisplay(batch, m, *points, poly, color);
    };
    if (const TPoseCache::TEntry* e = cache.Find(t, &c)) {
        for (uint32_t i : e->Polygons)
            if (i < m.Polygons.size())
                draw(i);
    } else {
        const size_t n = std::min(m.Polygons.size(), c.PolygonMembership.size());
        for (size_t i = 0; i < n; ++i)
            if (c.PolygonMembership[i] != 0)
                draw(i);
    }
}

void PivotCross(const TSelection& c, const TTransform& act, const TPoseParams& params, T3dScene& scene)
{
    const TVec3 p = PosePoint(c.Pivot, act, params);
    const float h = PivotCrossHalf;
    const double ends[6][3] = {{p.x - h, p.y, p.z}, {p.x + h, p.y, p.z}, {p.x, p.y - h, p.z},
                               {p.x, p.y + h, p.z}, {p.x, p.y, p.z - h}, {p.x, p.y, p.z + h}};
    for (int i = 0; i < 6; ++i) {
        scene.Pivot[i][0] = float(-ends[i][0]);
        scene.Pivot[i][1] = float(ends[i][1]);
        scene.Pivot[i][2] = float(ends[i][2]);
    }
    scene.HasPivot = true;
}

}  // namespace

void T3dBatch::ForEachRun(bool quads, std::vector<T3dVertex>& scratch,
                          const std::function<void(const T3dVertex*, size_t)>& draw) const
{
    const std::vector<T3dVertex>& own = quads ? Quads : Triangles;
    size_t done = 0;
    for (const T3dPlacement& p : Placements) {
        const size_t before = quads ? p.QuadsBefore : p.TrianglesBefore;
        if (before > done)
            draw(own.data() + done, before - done);
        done = before;
        scratch.clear();
        PlacedPolygons(p, quads ? 4 : 3, scratch);
        if (!scratch.empty())
            draw(scratch.data(), scratch.size());
    }
    if (own.size() > done)
        draw(own.data() + done, own.size() - done);
}

void T3dBatch::Expand(std::vector<T3dVertex>& triangles, std::vector<T3dVertex>& quads) const
{
    std::vector<T3dVertex> scratch;
    triangles.clear();
    quads.clear();
    for (std::vector<T3dVertex>* out : {&triangles, &quads})
        ForEachRun(out == &quads, scratch,
                   [out](const T3dVertex* corners, size_t count) { out->insert(out->end(), corners, corners + count); });
}

size_t T3dBatch::PolygonCount() const
{
    size_t n = Triangles.size() / 3 + Quads.size() / 4;
    for (const T3dPlacement& p : Placements)
        for (const TP3dPolygon& poly : p.Sub->DrawnPolygons())
            n += DrawnCorners(poly, p.Sub->DrawnVertices().size()) != 0 ? 1 : 0;
    return n;
}

void Build3dScene(const TModelList& models, const std::vector<const TSelection*>& treeOrder, const TPoseCache& cache,
                  const TPose& pose, const std::vector<bool>& beingEdited, const T3dSceneOptions& options,
                  const TPoseParams& params, T3dScene& scene)
{
    scene.Shell.Clear();
    scene.Onion.Clear();
    scene.Components.Clear();
    scene.HasPivot = false;

    if (options.AllPolygons || options.Environment) {
        for (const auto& m : models) {
            if (!m || (m->IsEnvironment ? !options.Environment : !options.AllPolygons))
                continue;
            const TRgba grey{ShellGrey, ShellGrey, ShellGrey, m->IsEnvironment ? options.EnvironmentAlpha : options.PolygonAlpha};
            if (m->IsProxy) {
                // The environment's sub-models stand still, as the environment does.
                ProxyPolygons(scene.Shell, *m, pose, m->IsEnvironment ? TPoseParams{} : params, grey);
                continue;
            }
            for (const TP3dPolygon& poly : m->Polygons)
                PolygonFromDisplay(scene.Shell, *m, m->DisplayPoints, poly, grey);
        }
    }

    if (!options.CheckedSelections && !options.AllSelections)
        return;
    for (const TOnionLayer* layer : options.Onion) {
        const TRgba tint{layer->SceneColor[0], layer->SceneColor[1], layer->SceneColor[2], layer->SceneColor[3]};
        for (size_t t = 0; t < treeOrder.size(); ++t) {
            const TSelection* c = treeOrder[t];
            if (c && !(c->Hidden && !options.AllSelections))
                ComponentPolygons(scene.Onion, t, *c, cache, layer->Pose, layer->Params, &layer->Points, tint);
        }
    }
    for (size_t t = 0; t < treeOrder.size(); ++t) {
        const TSelection* c = treeOrder[t];
        if (!c)
            continue;
        if (options.PivotComponent == c)
            PivotCross(*c, pose.Act(c), params, scene);
        if (c->Hidden && !options.AllSelections)
            continue;
        float rgb[3];
        ComponentColor(c->Color, rgb);
        const TRgba color{rgb[0], rgb[1], rgb[2], t < beingEdited.size() && beingEdited[t] ? EditedAlpha : OtherAlpha};
        ComponentPolygons(scene.Components, t, *c, cache, pose, params, nullptr, color);
    }
}
