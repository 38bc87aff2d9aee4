#include "pose/View3dGeometry.h"
#include "filebuild/P3dBuilder.h"
#include "support/TestMain.h"

#include <QTest>
#include <QVector3D>
#include <QVector4D>

struct T3dMove {
    int X, Y;
    bool Left, Right, Ctrl;
};
Q_DECLARE_METATYPE(T3dMove)

namespace {
QVector3D Pos(const T3dVertex& v) { return {v.X, v.Y, v.Z}; }
QVector3D Nrm(const T3dVertex& v) { return {v.Nx, v.Ny, v.Nz}; }

std::unique_ptr<TP3dModell> Read(const TP3dBuilder& b, bool environment = false)
{
    auto m = environment ? std::make_unique<TP3dModell>(QString())
                         : std::make_unique<TP3dModell>(QString(), nullptr, nullptr, false);
    m->ReadP3dBytes(b.Build(), environment);
    return m;
}

// The scene of the models, every selection of the first one a top-level node.
struct TSceneFixture {
    TModelList Models;
    std::vector<bool> Edited;
    T3dSceneOptions Options;
    TPoseParams Params;
    T3dScene Scene;
    void Build()
    {
        std::vector<TSelection*> tree;
        for (const auto& s : Models[0]->Selections)
            tree.push_back(s.get());
        TPoseCache cache;
        cache.Rebuild(tree);
        Build3dScene(Models, tree, cache, Edited, Options, Params, Scene);
    }
};
}  // namespace

class View3dGeometryTest : public QObject {
    Q_OBJECT
private slots:
    void mouseRules_data();
    void mouseRules();
    void whichPolygonsEachPassDraws_data();
    void whichPolygonsEachPassDraws();
    void cornersNormalsAndPivot();
    void proxyPosedWithItsPlacement();
};

void View3dGeometryTest::mouseRules_data()
{
    QTest::addColumn<float>("distance");      // at the start
    QTest::addColumn<QList<T3dMove>>("moves");  // after a press at (100, 100)
    QTest::addColumn<QList<float>>("camera");  // pan x, pan y, distance, rot x, rot y
    const auto L = [](int x, int y) { return T3dMove{x, y, true, false, false}; };
    const auto R = [](int x, int y) { return T3dMove{x, y, false, true, false}; };
    const auto Z = [](int x, int y) { return T3dMove{x, y, true, false, true}; };
    QTest::newRow("rotate, a degree per pixel") << -5.f << QList<T3dMove>{L(110, 95), L(112, 90)} << QList<float>{0, 0, -5, 5, 57};
    QTest::newRow("pan follows the pointer") << -5.f << QList<T3dMove>{R(110, 104)} << QList<float>{0.1f, -0.04f, -5, 15, 45};
    QTest::newRow("pan faster when far") << -50.f << QList<T3dMove>{R(110, 100)} << QList<float>{1.0f, 0, -50, 15, 45};
    QTest::newRow("ctrl+right and left+right pan") << -5.f << QList<T3dMove>{{90, 100, false, true, true}, {80, 100, true, true, false}} << QList<float>{-0.2f, 0, -5, 15, 45};
    QTest::newRow("zoom in, 5% per pixel") << -5.f << QList<T3dMove>{Z(100, 90)} << QList<float>{0, 0, -2.5f, 15, 45};
    QTest::newRow("zoom out, compounding") << -5.f << QList<T3dMove>{Z(100, 110), Z(100, 120)} << QList<float>{0, 0, -11.25f, 15, 45};
    // 20 pixels up would put the model into the eye, more behind it.
    QTest::newRow("zoom stops before the eye") << -5.f << QList<T3dMove>{Z(100, 80), Z(100, 0)} << QList<float>{0, 0, ViewDistanceNear, 15, 45};
    QTest::newRow("zoom back out from the limit") << -5.f << QList<T3dMove>{Z(100, 40), Z(100, 60)} << QList<float>{0, 0, -0.2f, 15, 45};
    QTest::newRow("zoom stays finite") << -5.f << QList<T3dMove>{Z(100, 100000), Z(100, 200000)} << QList<float>{0, 0, ViewDistanceFar, 15, 45};
    QTest::newRow("middle button moves nothing") << -5.f << QList<T3dMove>{{150, 150, false, false, false}} << QList<float>{0, 0, -5, 15, 45};
}

void View3dGeometryTest::mouseRules()
{
    QFETCH(float, distance);
    QFETCH(QList<T3dMove>, moves);
    QFETCH(QList<float>, camera);
    TViewCamera c;
    c.ViewDistance = distance;
    TViewDrag drag;
    ViewMouseDown(drag, 100, 100);
    for (const T3dMove& m : moves)
        ViewMouseMove(c, drag, {m.X, m.Y, m.Left, m.Right, m.Ctrl});
    const QList<float> got{c.ViewPanX, c.ViewPanY, c.ViewDistance, c.ViewRotX, c.ViewRotY};
    for (int i = 0; i < 5; ++i)
        QVERIFY2(qAbs(got[i] - camera[i]) < 1e-5f * qMax(1.f, qAbs(camera[i])), qPrintable(QString("%1: %2").arg(i).arg(got[i])));
    // Once the button is up, moves change nothing but the last position.
    ViewMouseUp(drag);
    QVERIFY(!ViewMouseMove(c, drag, {7, 9, true, false, false}));
    QCOMPARE(c.ViewRotY, camera[4]);
    QCOMPARE(QPoint(drag.ViewLastX, drag.ViewLastY), QPoint(7, 9));
}

void View3dGeometryTest::whichPolygonsEachPassDraws_data()
{
    // Component A (red): a triangle and a quad; B (blue): a triangle; an environment quad.
    QTest::addColumn<QString>("options");  // C checked, A all, P all polygons, E environment
    QTest::addColumn<QString>("change");
    QTest::addColumn<QList<int>>("shell");       // triangles, quads
    QTest::addColumn<QList<float>>("alphas");    // of the component polygons: triangles, then quads
    QTest::newRow("selected, none edited") << "C" << "" << QList<int>{0, 0} << QList<float>{0.2f, 0.2f, 0.2f};
    QTest::newRow("hidden B left out") << "C" << "hideB" << QList<int>{0, 0} << QList<float>{0.2f, 0.2f};
    QTest::newRow("hidden B under all") << "A" << "hideB" << QList<int>{0, 0} << QList<float>{0.2f, 0.2f, 0.2f};
    QTest::newRow("edited A stronger") << "C" << "editA" << QList<int>{0, 0} << QList<float>{0.8f, 0.2f, 0.8f};
    QTest::newRow("no component") << "" << "" << QList<int>{0, 0} << QList<float>{};
    QTest::newRow("all polygons") << "CP" << "" << QList<int>{2, 1} << QList<float>{0.2f, 0.2f, 0.2f};
    QTest::newRow("environment only") << "E" << "" << QList<int>{0, 1} << QList<float>{};
    QTest::newRow("hidden polygon in no pass") << "CPE" << "hidePoly" << QList<int>{1, 2} << QList<float>{0.2f, 0.2f};
    QTest::newRow("proxy corner skips the component only") << "CP" << "proxyCorner" << QList<int>{2, 1} << QList<float>{0.2f, 0.2f};
}

void View3dGeometryTest::whichPolygonsEachPassDraws()
{
    QFETCH(QString, options);
    QFETCH(QString, change);
    QFETCH(QList<int>, shell);
    QFETCH(QList<float>, alphas);
    TP3dBuilder b, env;
    const TP3dBuilder::Range t1 = b.AddTriangle(0, 0, 0, 1, 0, 0, 0, 1, 0);
    const int q[4] = {b.AddPoint(0, 0, 1), b.AddPoint(1, 0, 1), b.AddPoint(1, 1, 1), b.AddPoint(0, 1, 1)};
    const int quad = b.AddPolygon({uint32_t(q[0]), uint32_t(q[1]), uint32_t(q[2]), uint32_t(q[3])});
    const TP3dBuilder::Range t2 = b.AddTriangle(0, 0, 2, 1, 0, 2, 0, 1, 2);
    b.AddSelection("A", {t1.Points[0], t1.Points[1], t1.Points[2], q[0], q[1], q[2], q[3]}, {t1.Polygons[0], quad});
    b.AddSelection("B", t2);
    env.AddPolygon({uint32_t(env.AddPoint(-5, 0, -5)), uint32_t(env.AddPoint(5, 0, -5)), uint32_t(env.AddPoint(5, 0, 5)),
                    uint32_t(env.AddPoint(-5, 0, 5))});
    TSceneFixture f;
    f.Models.push_back(Read(b));
    f.Models.push_back(Read(env, true));
    f.Models[0]->Selections[0]->Color = 0x000000FF;
    f.Models[0]->Selections[1]->Color = 0x00FF0000;
    f.Options = {options.contains('P'), options.contains('E'), 0.3f, 0.6f, options.contains('C'), options.contains('A'), nullptr};
    f.Models[0]->Selections[1]->Hidden = change == "hideB";
    if (change == "editA")
        f.Edited = {true, false};
    f.Models[0]->Polygons[size_t(t1.Polygons[0])].Hidden = change == "hidePoly";
    f.Models[0]->Vertices[size_t(t2.Points[0])].IsProxyCorner = change == "proxyCorner";  // B's first corner
    f.Build();

    QCOMPARE(QList<int>({int(f.Scene.Shell.Triangles.size() / 3), int(f.Scene.Shell.Quads.size() / 4)}), shell);
    // Shell grey: the main model at its alpha, then the environment at its own.
    for (const std::vector<T3dVertex>* list : {&f.Scene.Shell.Triangles, &f.Scene.Shell.Quads})
        for (size_t i = 0; i < list->size(); ++i) {
            const bool envQuad = list == &f.Scene.Shell.Quads && f.Options.Environment && i + 4 >= list->size();
            QCOMPARE(QVector4D((*list)[i].R, (*list)[i].G, (*list)[i].B, (*list)[i].A), QVector4D(0.8f, 0.8f, 0.8f, envQuad ? 0.6f : 0.3f));
        }
    // Components: triangles in tree order (A's, then B's at z = 2), then quads; colour / 256.
    QList<float> got;
    for (const std::vector<T3dVertex>* list : {&f.Scene.Components.Triangles, &f.Scene.Components.Quads})
        for (size_t i = 0; i < list->size(); i += list == &f.Scene.Components.Quads ? 4 : 3) {
            const T3dVertex& v = (*list)[i];
            got << v.A;
            QCOMPARE(QVector3D(v.R, v.G, v.B), v.Z == 2 ? QVector3D(0, 0, 255 / 256.f) : QVector3D(255 / 256.f, 0, 0));
        }
    QCOMPARE(got, alphas);
}

void View3dGeometryTest::cornersNormalsAndPivot()
{
    TP3dBuilder b;
    const int n[4] = {b.AddNormal(1, 2, 3), b.AddNormal(4, 5, 6), b.AddNormal(7, 8, 9), b.AddNormal(0, 1, 0)};
    const int p[4] = {b.AddPoint(0, 0, 0), b.AddPoint(2, 0, 0), b.AddPoint(0, 2, 0), b.AddPoint(-1, -2, -3)};
    const int tri = b.AddPolygon({uint32_t(p[0]), uint32_t(p[1]), uint32_t(p[2])});
    const int quad = b.AddPolygon({uint32_t(p[0]), uint32_t(p[1]), uint32_t(p[2]), uint32_t(p[3])});
    for (int poly : {tri, quad})
        for (int k = 0; k < 4; ++k)
            b.Polygons[size_t(poly)].Corners[k].NormalIndex = uint32_t(n[k]);
    b.AddSelection("c", {p[0], p[1], p[2], p[3]}, {tri, quad});
    TSceneFixture f;
    f.Models.push_back(Read(b));
    TP3dModell& m = *f.Models[0];
    m.DisplayPoints[3] = {10, 20, 30, 1};  // drawn from the display points, not the stored ones
    m.Polygons[0].Corners[1].NormalIndex = 9;  // a missing normal: the face's own, the polygon kept
    m.Polygons[0].Valid = false;
    TSelection& c = *m.Selections[0];
    c.Pivot[0] = 1, c.Pivot[1] = 0, c.Pivot[2] = 0;  // the cross: pivot + offset, posed, X mirrored, 0.1 each way
    c.ActTransform = TTransform::Translation(0, 0, 1);
    c.Hidden = true;
    f.Params.ModelOffset[0] = 1;
    f.Options.PivotComponent = &c;
    f.Build();
    QVERIFY(f.Scene.HasPivot);
    QCOMPARE(f.Scene.Components.PolygonCount(), size_t(0));  // hidden: only its cross
    QCOMPARE(QVector3D(f.Scene.Pivot[0][0], f.Scene.Pivot[0][1], f.Scene.Pivot[0][2]), QVector3D(-1.9f, 0, 1));
    QCOMPARE(QVector3D(f.Scene.Pivot[5][0], f.Scene.Pivot[5][1], f.Scene.Pivot[5][2]), QVector3D(-2, 0, 1.1f));

    c.Hidden = false;
    f.Build();
    const auto& t = f.Scene.Components.Triangles;
    const auto& q = f.Scene.Components.Quads;
    QCOMPARE(t.size(), size_t(3));  // corners 3, 2, 1
    QCOMPARE(QList<QVector3D>({Pos(t[0]), Pos(t[1]), Pos(t[2])}), QList<QVector3D>({{0, 2, 0}, {-2, 0, 0}, {0, 0, 0}}));
    QCOMPARE(QList<QVector3D>({Nrm(t[0]), Nrm(t[2])}), QList<QVector3D>({{-7, 8, 9}, {-1, 2, 3}}));
    QCOMPARE(Nrm(t[1]).normalized(), QVector3D(0, 0, 1));  // (p1 - p0) x (p2 - p0)
    QCOMPARE(q.size(), size_t(4));  // corners 4, 3, 2, 1
    QCOMPARE(QList<QVector3D>({Pos(q[0]), Nrm(q[0]), Nrm(q[3])}), QList<QVector3D>({{-10, 20, 30}, {0, 1, 0}, {-1, 2, 3}}));
    // A corner naming no point drops the polygon; buffers are reused.
    const T3dVertex* buffer = q.data();
    m.Polygons[1].Corners[3].PointIndex = 4;
    f.Build();
    QCOMPARE(f.Scene.Components.PolygonCount(), size_t(1));
    f.Options.CheckedSelections = false;  // no component pass: no cross either
    m.Polygons[1].Corners[3].PointIndex = 3;
    f.Build();
    QVERIFY(!f.Scene.HasPivot && f.Scene.Components.PolygonCount() == 0);
    f.Options.CheckedSelections = true;
    f.Build();
    QCOMPARE(f.Scene.Components.Quads.data(), buffer);
}

void View3dGeometryTest::proxyPosedWithItsPlacement()
{
    TP3dBuilder b, lamp;
    b.AddSelection("body", b.AddTriangle(0, 0, 0, 1, 0, 0, 0, 1, 0));
    b.AddSelection("proxy:lamp.01", std::vector<int>{});
    lamp.AddTriangle(1, 0, 0, 0, 1, 0, 0, 0, 1);
    lamp.Normals[0] = {1, 0, 0};
    TSceneFixture f;
    f.Models.push_back(Read(b));
    f.Models.push_back(Read(lamp));
    TP3dModell& sub = *f.Models[1];
    TSelection& body = *f.Models[0]->Selections[0];
    sub.IsProxy = true;
    sub.ProxyParent = &body;
    f.Models[0]->Selections[1]->ProxyModel = &sub;
    // Placement: a quarter turn about Z (x to y), then 10 along x; the parent lifts it by 1.
    sub.ProxyMatrix = TTransform::Zero();
    sub.ProxyMatrix[1] = 1;
    sub.ProxyMatrix[3] = -1;
    sub.ProxyMatrix[8] = 1;
    sub.ProxyMatrix[9] = 10;
    body.ActTransform = TTransform::Translation(0, 1, 0);
    f.Params.ModelOffset[2] = 0.5;
    f.Options.AllPolygons = true;
    f.Build();
    // (1,0,0), (0,1,0), (0,0,1) plus (0,0,0.5), turned, moved, lifted; last corner first, X mirrored.
    for (const auto* list : {&f.Scene.Components.Triangles, &f.Scene.Shell.Triangles}) {
        QCOMPARE(list->size(), size_t(6));  // body's triangle, then the lamp's
        QCOMPARE(QList<QVector3D>({Pos((*list)[3]), Pos((*list)[4]), Pos((*list)[5])}),
                 QList<QVector3D>({{-10, 1, 1.5f}, {-9, 1, 0.5f}, {-10, 2, 0.5f}}));
        QCOMPARE(Nrm((*list)[3]), QVector3D(0, 1, 0));  // turned by the linear part only
    }
}

TORVANE_TEST(View3dGeometryTest)
#include "View3dGeometryTest.moc"
