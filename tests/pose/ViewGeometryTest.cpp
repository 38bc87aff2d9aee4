// What the 2D views and the 3D view draw of the same models, and the rules of their ranges
// and camera.
#include "PoseFixture.h"
#include "pose/View3dGeometry.h"
#include "pose/ViewGeometry.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QLineF>
#include <QTest>
#include <algorithm>
#include <set>
#include <tuple>

namespace {

constexpr uint32_t Red = 0x000000FFu;
constexpr uint32_t Blue = 0x00FF0000u;

QVector3D Pos(const T3dVertex& v) { return {v.X, v.Y, v.Z}; }
QVector3D Nrm(const T3dVertex& v) { return {v.Nx, v.Ny, v.Nz}; }
QVector3D Pt(const float p[3]) { return {p[0], p[1], p[2]}; }

// The segments with their colours in drawing order, the marks and the bounding box.
bool SameDrawing(const TChartItems& a, const TChartItems& b)
{
    const auto drawing = [](const TChartItems& items) {
        std::vector<std::tuple<double, double, double, double, uint32_t>> out;
        items.ForEachSegment([&](double x0, double y0, double x1, double y1, uint32_t c) { out.emplace_back(x0, y0, x1, y1, c); });
        for (const TChartItem& it : items.Items())
            out.emplace_back(it.X, it.Y, double(it.Aux), double(it.Kind), 0);
        TChartBox box;
        if (items.BoundingBox(box))
            out.emplace_back(box.MinX, box.MinY, box.MaxX, box.MaxY, 1);
        return out;
    };
    return a.LineCount() == b.LineCount() && drawing(a) == drawing(b);
}

// The models posed (every component animated) and drawn into the three 2D views and into
// a 3D scene, every selection of the first model a top-level node.
struct TDrawn {
    explicit TDrawn(TModelList models) : Models(std::move(models)) {}
    TModelList Models;
    TViewOptions View;
    T3dSceneOptions Scene3d;
    std::vector<bool> Edited;
    TPoseParams Params;
    std::vector<std::pair<const TSelection*, TTransform>> Acts;  // how components are posed
    TChartItems Front, Left, Top;
    T3dScene Scene;

    TViewItems Views() { return {&Front, &Left, &Top}; }
    void Draw()
    {
        const std::vector<const TSelection*> tree = TreeOf(*Models[0]);
        TPoseCache cache;
        cache.Rebuild(tree);
        TPose pose(tree);
        for (const auto& [c, act] : Acts)
            pose.Find(c)->Act = act;
        ClearViews(Views());
        UpdateDisplayPoints(Models, NodesOf(*Models[0]), cache, pose, Params);
        DrawViewOutlines(Models, tree, cache, pose, View, Params, Views());
        Build3dScene(Models, tree, cache, pose, Edited, Scene3d, Params, Scene);
        // A view drawn with the front view alone, as a picture of one view draws it, is the
        // same drawing.
        for (TChartItems* view : {&Left, &Top}) {
            TChartItems front, alone;
            TViewItems two{&front, view == &Left ? &alone : nullptr, view == &Top ? &alone : nullptr};
            ClearViews(two);
            DrawViewOutlines(Models, tree, cache, pose, View, Params, two);
            QVERIFY(SameDrawing(front, Front) && SameDrawing(alone, *view));
        }
    }
};

// The segments of an item list drawn in the given colour, in drawing order.
QList<QLineF> Segments(const TChartItems& items, uint32_t color)
{
    QList<QLineF> out;
    items.ForEachSegment([&](double x0, double y0, double x1, double y1, uint32_t c) {
        if (c == color)
            out << QLineF(x0, y0, x1, y1);
    });
    return out;
}

// Segments in a fixed order.
QList<QLineF> Sorted(QList<QLineF> lines)
{
    const auto key = [](const QLineF& l) { return std::tuple(l.x1(), l.y1(), l.x2(), l.y2()); };
    std::sort(lines.begin(), lines.end(), [&](const QLineF& a, const QLineF& b) { return key(a) < key(b); });
    return lines;
}

}  // namespace

class ViewGeometryTest : public QObject {
    Q_OBJECT
private slots:
    void whatEachViewDraws_data() { QVERIFY(AddTableRows("pose/view-draws.table")); }
    void whatEachViewDraws()
    {
        QFETCH(QString, options);
        QFETCH(QString, change);
        QFETCH(QList<int>, outlines);
        QFETCH(QList<int>, shell);
        QFETCH(QList<float>, alphas);
        TP3dBuilder b, env;
        const TP3dBuilder::Range t1 = b.AddTriangle(0, 0, 0, 1, 0, 0, 0, 1, 0);
        const int q[4] = {b.AddPoint(0, 0, 1), b.AddPoint(1, 0, 1), b.AddPoint(1, 1, 1), b.AddPoint(0, 1, 1)};
        const int quad = b.AddPolygon({uint32_t(q[0]), uint32_t(q[1]), uint32_t(q[2]), uint32_t(q[3])});
        const TP3dBuilder::Range t2 = b.AddTriangle(0, 0, 2, 1, 0, 2, 0, 1, 2);
        b.AddTriangle(5, 5, 5, 6, 5, 5, 5, 6, 5);
        b.AddSelection("A", {t1.Points[0], t1.Points[1], t1.Points[2], q[0], q[1], q[2], q[3]}, {t1.Polygons[0], quad});
        b.AddSelection("B", t2);
        env.AddPolygon({uint32_t(env.AddPoint(-5, 0, -5)), uint32_t(env.AddPoint(5, 0, -5)), uint32_t(env.AddPoint(5, 0, 5)),
                        uint32_t(env.AddPoint(-5, 0, 5))});
        TDrawn d(MainOnly(b));
        d.Models.push_back(ReadModel(env, true));
        TP3dModell& m = *d.Models[0];
        m.Selections[0]->Color = Red;
        m.Selections[1]->Color = Blue;
        m.Selections[1]->Hidden = change == "hideB";
        // Membership bytes past the model's polygons do not count, missing ones count as zero.
        TMembership longer(7, 1);
        std::copy(m.Selections[0]->PolygonMembership.begin(), m.Selections[0]->PolygonMembership.end(), longer.begin());
        m.Selections[0]->PolygonMembership = longer;
        TMembership& cut = m.Selections[1]->PolygonMembership;
        cut.back() = 1;  // the loose triangle, then cut off
        cut.erase(cut.begin() + 3, cut.end());
        m.Polygons[size_t(t1.Polygons[0])].Hidden = change == "hidePoly";
        m.Vertices[size_t(t2.Points[0])].IsProxyCorner = change == "proxyCorner";  // B's first corner
        d.Edited = change == "editA" ? std::vector<bool>{true, false} : std::vector<bool>{};
        const bool all = options.contains('A'), P = options.contains('P'), E = options.contains('E');
        d.View = {all ? TComponentShow::All : options.contains('C') ? TComponentShow::Checked : TComponentShow::None, P, E};
        d.Scene3d = {P, E, 0.3f, 0.6f, options.contains('C'), all, nullptr};
        d.Draw();

        for (const TChartItems* v : d.Views())  // the colours' segments, then all of them
            QCOMPARE(QList<int>({int(Segments(*v, ViewColor::Grey).size()), int(Segments(*v, Red).size()),
                                 int(Segments(*v, Blue).size()), v->LineCount()}),
                     outlines + QList<int>{outlines[0] + outlines[1] + outlines[2]});
        // The grey outlines of whole models end on those models' points as each view sees them.
        for (size_t v = 0; v < ViewCount; ++v) {
            std::set<std::pair<double, double>> points;
            for (const auto& model : d.Models)
                for (const TDisplayPoint& p : model->DisplayPoints) {
                    const TViewPoint q = ViewProject(TViewKind(v), p.X, p.Y, p.Z);
                    points.insert({q.U, q.V});
                }
            for (const QLineF& l : Segments(*d.Views()[v], ViewColor::Grey))
                QVERIFY2(points.count({l.x1(), l.y1()}) && points.count({l.x2(), l.y2()}), qPrintable(QString("view %1").arg(v)));
        }
        const T3dBatch &s = d.Scene.Shell, &c = d.Scene.Components;
        QCOMPARE(QList<int>({int(s.Triangles.size() / 3), int(s.Quads.size() / 4)}), shell);
        // The components' polygons by their alpha: triangles in tree order, then quads.
        QList<float> got;
        for (const std::vector<T3dVertex>* list : {&c.Triangles, &c.Quads})
            for (size_t i = 0; i < list->size(); i += list == &c.Quads ? 4 : 3)
                got << (*list)[i].A;
        QCOMPARE(got, alphas);
    }

    // Corners go to GL in reversed order with X mirrored, from the posed display points;
    // a missing normal gives the face's own (the triangle is tilted so that every
    // component of it counts), a corner naming no point drops the polygon.
    void cornersAndNormals3d()
    {
        TP3dBuilder b;
        const int n[4] = {b.AddNormal(1, 2, 3), b.AddNormal(4, 5, 6), b.AddNormal(7, 8, 9), b.AddNormal(0, 1, 0)};
        const int p[4] = {b.AddPoint(0, 0, 0), b.AddPoint(2, 0, 1), b.AddPoint(0, 2, 1), b.AddPoint(-1, -2, -3)};
        const int tri = b.AddPolygon({uint32_t(p[0]), uint32_t(p[1]), uint32_t(p[2])});
        const int quad = b.AddPolygon({uint32_t(p[0]), uint32_t(p[1]), uint32_t(p[2]), uint32_t(p[3])});
        for (int poly : {tri, quad})
            for (int k = 0; k < 4; ++k)
                b.Polygons[size_t(poly)].Corners[k].NormalIndex = uint32_t(n[k]);
        b.AddSelection("c", {p[0], p[1], p[2], p[3]}, {tri, quad});
        TDrawn d(MainOnly(b));
        TP3dModell& m = *d.Models[0];
        m.Polygons[0].Corners[1].NormalIndex = 9;  // a missing normal: the face's own, the polygon kept
        m.Polygons[0].Valid = false;
        d.Acts = {{m.Selections[0].get(), TTransform::Translation(0, 0, 1)}};
        d.Params.ModelOffset[0] = 1;
        d.Params.AnimationLoaded = true;  // every point moved by (1, 0, 1)
        d.Draw();
        const auto &t = d.Scene.Components.Triangles, &q = d.Scene.Components.Quads;
        QCOMPARE(QList<QVector3D>({Pos(t[0]), Pos(t[1]), Pos(t[2])}), QList<QVector3D>({{-1, 2, 2}, {-3, 0, 2}, {-1, 0, 1}}));
        QCOMPARE(QList<QVector3D>({Nrm(t[0]), Nrm(t[1]).normalized(), Nrm(t[2])}),
                 QList<QVector3D>({{-7, 8, 9}, QVector3D(2, -2, 4).normalized(), {-1, 2, 3}}));
        QCOMPARE(q.size(), size_t(4));
        QCOMPARE(QList<QVector3D>({Pos(q[0]), Nrm(q[0]), Nrm(q[3])}), QList<QVector3D>({{0, -2, -2}, {0, 1, 0}, {-1, 2, 3}}));
        m.Polygons[1].Corners[3].PointIndex = 4;
        d.Draw();
        QCOMPARE(d.Scene.Components.PolygonCount(), size_t(1));
    }

    // A proxy's sub-model is drawn in place of its component's own polygons, placed by its
    // matrix, then carried by the component it hangs under.
    void proxyDrawnWithItsPlacement()
    {
        TP3dBuilder b, lamp;
        b.AddSelection("body", b.AddTriangle(0, 0, 0, 1, 0, 0, 0, 1, 0));
        b.AddSelection("proxy:lamp.01", b.AddTriangle(3, 0, 0, 3, 0, 2, 3, 1, 0));
        lamp.AddTriangle(1, 0, 0, 0, 1, 0, 0, 0, 1);
        lamp.Normals[0] = {1, 0, 0};
        TDrawn d(MainOnly(b));
        d.Models.push_back(ReadModel(lamp));
        TP3dModell& sub = *d.Models[1];
        TSelection& body = *d.Models[0]->Selections[0];
        TSelection& proxy = *d.Models[0]->Selections[1];
        sub.IsProxy = true;
        sub.ProxyParent = &body;
        proxy.ProxyModel = &sub;
        proxy.Color = Red;
        // Placement: a quarter turn about Z (x to y), then 10 along x; the parent lifts it by 1.
        sub.ProxyMatrix = TTransform::Zero();
        for (auto [i, v] : {std::pair{1, 1.0}, {3, -1.0}, {8, 1.0}, {9, 10.0}})
            sub.ProxyMatrix[i] = v;
        d.Acts = {{&body, TTransform::Translation(0, 1, 0)}};
        d.Params.ModelOffset[2] = 0.5;
        d.View.AllPolygons = d.Scene3d.AllPolygons = true;
        d.Draw();
        // (1,0,0), (0,1,0), (0,0,1) plus (0,0,0.5), turned, moved, lifted: (10, 2, 0.5),
        // (9, 1, 0.5), (10, 1, 1.5), an open outline in each view's two coordinates.
        const QList<QLineF> lampFront{{10, 2, 9, 1}, {9, 1, 10, 1}};
        QCOMPARE(Segments(d.Front, Red) + Segments(d.Left, Red) + Segments(d.Top, Red),  // front, left, top
                 (lampFront + QList<QLineF>{{0.5, 2, 0.5, 1}, {0.5, 1, 1.5, 1}, {10, 0.5, 9, 0.5}, {9, 0.5, 10, 1.5}}));
        QCOMPARE(Segments(d.Front, ViewColor::Grey).mid(4), lampFront);  // after both main triangles
        // In 3D the last corner first, X mirrored; the normal turned by the linear part only.
        std::vector<T3dVertex> components, shell, quads;
        d.Scene.Components.Expand(components, quads);
        d.Scene.Shell.Expand(shell, quads);
        for (const auto* list : {&components, &shell}) {
            QCOMPARE(list->size(), list == &shell ? size_t(9) : size_t(6));
            const size_t k = list->size() - 3;
            QCOMPARE(QList<QVector3D>({Pos((*list)[k]), Pos((*list)[k + 1]), Pos((*list)[k + 2])}),
                     QList<QVector3D>({{-10, 1, 1.5f}, {-9, 1, 0.5f}, {-10, 2, 0.5f}}));
            QCOMPARE(Nrm((*list)[k]), QVector3D(0, 1, 0));
        }
        // Hanging under nothing at half the total move (step 1 of 2): the placement alone, moved by (1, 0, 2).
        sub.ProxyParent = nullptr;
        d.Params.TotalMove = {2, 0, 4};
        d.Params.AnimStepCount = 2;
        d.Params.ActAnimStep = 1;
        d.Draw();
        QCOMPARE(Segments(d.Top, Red), (QList<QLineF>{{11, 2.5, 10, 2.5}, {10, 2.5, 11, 3.5}}));
        // A sub-model of the environment stands still while the offset and total move carry the model.
        sub.IsEnvironment = true;
        d.View.Environment = d.Scene3d.Environment = true;
        d.Draw();
        QCOMPARE(Segments(d.Top, ViewColor::Grey).mid(4), (QList<QLineF>{{10, 0, 9, 0}, {9, 0, 10, 1}}));
        d.Scene.Shell.Expand(shell, quads);
        QCOMPARE(Pos(shell.back()), QVector3D(-10, 1, 0));
    }

    // The selected component's pivot, posed: a yellow mark in each 2D view, drawn whatever
    // the views show, and a cross in 3D, drawn with the component pass even when the
    // component is hidden.
    void pivotMarkAndCross()
    {
        TP3dBuilder b;
        b.AddSelection("c", b.AddTriangle(0, 0, 0, 1, 0, 0, 0, 1, 0));
        TDrawn d(MainOnly(b));
        TSelection* c = d.Models[0]->Selections[0].get();
        for (int k = 0; k < 3; ++k)
            c->Pivot[k] = float(k + 1);
        d.Acts = {{c, TTransform::Translation(1, 0, 0)}};
        c->Hidden = true;
        d.View = {TComponentShow::None};
        d.View.PivotComponent = d.Scene3d.PivotComponent = c;
        d.Params.ModelOffset[2] = 0.5;
        d.Draw();
        const QPointF want[3] = {{2, 2}, {3.5, 2}, {2, 3.5}};  // pivot (1, 2, 3.5) moved by 1 in x
        for (int v = 0; v < ViewCount; ++v) {
            const TChartItems& items = *d.Views()[size_t(v)];
            const TChartItem& last = items.Items().back();
            QCOMPARE(std::tuple(last.Kind, last.Aux, QPointF(last.X, last.Y), items.Runs().back().Color),
                     std::tuple(TChartItemKind::Mark, uint32_t(PivotMarkCode), want[v], ViewColor::Yellow));
        }
        QVERIFY(d.Scene.HasPivot && d.Scene.Components.PolygonCount() == 0);
        QCOMPARE(QList<QVector3D>({Pt(d.Scene.Pivot[0]), Pt(d.Scene.Pivot[5])}),
                 QList<QVector3D>({{-1.9f, 2, 3.5f}, {-2, 2, 3.6f}}));
    }

    void outlineCountsAndBoxes_data() { QVERIFY(AddTableRows("pose/outline-counts.table")); }
    // Each view's segments, segment count and box are those of the same outlines added as
    // polylines, with all points finite or some coordinate lost in some views only; an edge a
    // component draws again in the same direction is drawn once, reversed or in another twice.
    void outlineCountsAndBoxes()
    {
        QFETCH(float, odd);
        QFETCH(int, axis);
        TP3dBuilder b;
        const TP3dBuilder::Range t = b.AddTriangle(0, 0, 0, 1, 0, 0, 0, 1, 0);
        const uint32_t a0 = uint32_t(t.Points[0]), a1 = uint32_t(t.Points[1]), a2 = uint32_t(t.Points[2]);
        const uint32_t a3 = uint32_t(b.AddPoint(1, 1, 0));
        b.AddSelection("a", {t.Points[0], t.Points[1], t.Points[2], int(a3)},
                       {t.Polygons[0], b.AddPolygon({a1, a2, a3, a0}), b.AddPolygon({a2, a1, a3})});
        float q[9] = {0.0f, 2, 3, -1, 0.0f, 2, 4, 4, -0.0f};
        q[3 + axis] = odd;
        TP3dBuilder::Range r = b.AddTriangle(q[0], q[1], q[2], q[3], q[4], q[5], q[6], q[7], q[8]);
        const auto rp = [&r](int k) { return uint32_t(r.Points[size_t(k)]); };
        r.Polygons.push_back(b.AddPolygon({rp(1), rp(2), rp(0)}));
        r.Polygons.push_back(b.AddPolygon({a0, a1, a2}));
        b.AddSelection("b", r);
        TDrawn d(MainOnly(b));
        d.Models[0]->Selections[0]->Color = Red;
        d.Models[0]->Selections[1]->Color = Blue;
        d.Draw();
        const TP3dModell& m = *d.Models[0];
        for (size_t v = 0; v < ViewCount; ++v) {
            TChartItems want;  // each polygon's edges in turn, each one once per component
            std::set<std::pair<uint32_t, uint32_t>> edges;
            int all = 0;
            for (const TP3dPolygon& poly : m.Polygons) {
                if (&poly - &m.Polygons[0] == 3)  // component b's first
                    edges.clear();
                want.SetColor(&poly - &m.Polygons[0] < 3 ? Red : Blue);
                const auto at = [&](uint32_t k) {
                    const TDisplayPoint& p = m.DisplayPoints[poly.Corners[k].PointIndex];
                    return ViewProject(TViewKind(v), p.X, p.Y, p.Z);
                };
                for (uint32_t k = 1; k < poly.VertexCount; ++k) {
                    const TViewPoint p0 = at(k - 1), p1 = at(k);
                    all += std::isfinite(p0.U + p0.V + p1.U + p1.V);
                    if (!edges.insert({poly.Corners[k - 1].PointIndex, poly.Corners[k].PointIndex}).second)
                        continue;
                    want.MoveTo(p0.U, p0.V);
                    want.LineTo(p1.U, p1.V);
                }
            }
            const TChartItems& got = *d.Views()[v];
            QVERIFY(want.LineCount() < all);
            QCOMPARE(got.LineCount(), want.LineCount());
            QCOMPARE(Sorted(Segments(got, Red)), Sorted(Segments(want, Red)));
            QCOMPARE(Sorted(Segments(got, Blue)), Sorted(Segments(want, Blue)));
            TChartBox a, w;
            QCOMPARE(got.BoundingBox(a), want.BoundingBox(w));
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(&a), sizeof a),
                     QByteArray(reinterpret_cast<const char*>(&w), sizeof w));
        }
    }

    void autoScaleRange_data() { QVERIFY(AddTableRows("pose/auto-scale.table")); }
    void autoScaleRange()
    {
        QFETCH(QRectF, box);
        QFETCH(QSize, size);
        QFETCH(QRectF, range);
        const TChartBox b{box.x(), box.y(), box.x() + box.width(), box.y() + box.height()};
        TChartRange r{7, 7, 8, 8};
        QCOMPARE(AutoScaleRange(b, size.width(), size.height(), r), !range.isNull());
        if (range.isNull())
            range = QRectF(7, 7, 1, 1);  // untouched
        QCOMPARE(QRectF(QPointF(r.X1, r.Y1), QPointF(r.X2, r.Y2)), range);
    }

    void mouseRules_data() { QVERIFY(AddTableRows("pose/mouse-rules.table")); }
    void mouseRules()
    {
        QFETCH(float, distance);
        QFETCH(QList<int>, moves);
        QFETCH(QList<float>, camera);
        TViewCamera c;
        c.ViewDistance = distance;
        TViewDrag drag;
        ViewMouseDown(drag, 100, 100);
        for (qsizetype i = 0; i + 2 < moves.size(); i += 3)
            ViewMouseMove(c, drag,
                          {moves[i], moves[i + 1], bool(moves[i + 2] & 1), bool(moves[i + 2] & 2), bool(moves[i + 2] & 4)});
        const QList<float> got{c.ViewPanX, c.ViewPanY, c.ViewDistance, c.ViewRotX, c.ViewRotY};
        for (int i = 0; i < 5; ++i)
            QVERIFY2(qAbs(got[i] - camera[i]) < 1e-5f * qMax(1.f, qAbs(camera[i])),
                     qPrintable(QString("%1: %2").arg(i).arg(got[i])));
    }
};

TORVANE_TEST(ViewGeometryTest)
#include "ViewGeometryTest.moc"
