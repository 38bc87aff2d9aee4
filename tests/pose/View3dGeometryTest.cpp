#include "pose/View3dGeometry.h"
#include "support/P3dBuilder.h"
#include "support/TestMain.h"

#include <QTest>
#include <QVector3D>

struct T3dMove {
    int X, Y;
    bool Left, Right, Ctrl;
};
Q_DECLARE_METATYPE(T3dMove)

namespace {

QVector3D Pos(const T3dVertex& v) { return {v.X, v.Y, v.Z}; }
QVector3D Nrm(const T3dVertex& v) { return {v.Nx, v.Ny, v.Nz}; }

// A model read from the builder's bytes, its display points the stored points.
std::unique_ptr<TP3dModell> Read(const TP3dBuilder& b, bool environment = false)
{
    auto m = environment ? std::make_unique<TP3dModell>(QString())
                         : std::make_unique<TP3dModell>(QString(), nullptr, nullptr, false);
    m->ReadP3dBytes(b.Build(), environment);
    return m;
}

// Scene of the models with every selection of the main model as a top-level node.
struct TSceneFixture {
    TModelList Models;
    std::vector<TSelection*> Tree;
    std::vector<bool> Edited;
    T3dSceneOptions Options;
    TPoseParams Params;
    T3dScene Scene;

    void Build()
    {
        Tree.clear();
        for (const auto& s : Models[0]->Selections)
            Tree.push_back(s.get());
        TPoseCache cache;
        cache.Rebuild(Tree);
        Build3dScene(Models, Tree, cache, Edited, Options, Params, Scene);
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
    void cornersMirroredAndReversed();
    void missingNormalFallsBackToFaceNormal();
    void proxyPosedWithItsPlacement();
    void pivotCross();
    void buffersReused();
};

void View3dGeometryTest::mouseRules_data()
{
    QTest::addColumn<float>("distance");  // start, the rest initial
    QTest::addColumn<QList<T3dMove>>("moves");  // after a press at (100, 100)
    QTest::addColumn<QList<float>>("camera");  // pan x, pan y, distance, rot x, rot y

    const auto L = [](int x, int y) { return T3dMove{x, y, true, false, false}; };
    const auto R = [](int x, int y) { return T3dMove{x, y, false, true, false}; };
    const auto Z = [](int x, int y) { return T3dMove{x, y, true, false, true}; };
    QTest::newRow("rotate, a degree per pixel") << -5.f << QList<T3dMove>{L(110, 95), L(112, 90)} << QList<float>{0, 0, -5, 5, 57};
    QTest::newRow("pan follows the pointer") << -5.f << QList<T3dMove>{R(110, 104)} << QList<float>{0.1f, -0.04f, -5, 15, 45};
    QTest::newRow("pan faster when far") << -50.f << QList<T3dMove>{R(110, 100)} << QList<float>{1.0f, 0, -50, 15, 45};
    QTest::newRow("ctrl+right pans") << -5.f << QList<T3dMove>{{90, 100, false, true, true}} << QList<float>{-0.1f, 0, -5, 15, 45};
    QTest::newRow("left and right pan") << -5.f << QList<T3dMove>{{90, 100, true, true, false}} << QList<float>{-0.1f, 0, -5, 15, 45};
    QTest::newRow("zoom in, 5% per pixel") << -5.f << QList<T3dMove>{Z(100, 90)} << QList<float>{0, 0, -2.5f, 15, 45};
    QTest::newRow("zoom out") << -5.f << QList<T3dMove>{Z(100, 110)} << QList<float>{0, 0, -7.5f, 15, 45};
    QTest::newRow("zoom steps compound") << -5.f << QList<T3dMove>{Z(100, 90), Z(100, 80)} << QList<float>{0, 0, -1.25f, 15, 45};
    // 20 pixels up would put the model into the eye, more behind it.
    QTest::newRow("zoom stops before the eye") << -5.f << QList<T3dMove>{Z(100, 80)} << QList<float>{0, 0, ViewDistanceNear, 15, 45};
    QTest::newRow("zoom never passes the eye") << -5.f << QList<T3dMove>{Z(100, 40), Z(100, 0)} << QList<float>{0, 0, ViewDistanceNear, 15, 45};
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
        QVERIFY2(qAbs(got[i] - camera[i]) < 1e-5f * qMax(1.f, qAbs(camera[i])),
                 qPrintable(QStringLiteral("value %1: %2, expected %3").arg(i).arg(got[i]).arg(camera[i])));

    // After the button is let go the same moves change nothing, but the last position follows.
    ViewMouseUp(drag);
    const TViewCamera before = c;
    QVERIFY(!ViewMouseMove(c, drag, {7, 9, true, false, false}));
    QCOMPARE(c.ViewRotX, before.ViewRotX);
    QCOMPARE(c.ViewDistance, before.ViewDistance);
    QCOMPARE(drag.ViewLastX, 7);
    QCOMPARE(drag.ViewLastY, 9);
}

void View3dGeometryTest::whichPolygonsEachPassDraws_data()
{
    // Model: component A (red) with a triangle and a quad, component B (blue) with one
    // triangle; a polygon hidden or a proxy corner where the row says; an environment of
    // one quad.
    QTest::addColumn<QString>("options");  // letters: C checked, A all, P all polygons, E environment
    QTest::addColumn<QString>("change");   // hideB, editA, hidePoly, proxyCorner
    QTest::addColumn<QList<int>>("shell");       // triangles, quads
    QTest::addColumn<QList<int>>("components");  // triangles, quads
    QTest::addColumn<QList<float>>("alphas");    // alpha of each component polygon, in order

    QTest::newRow("selected, none edited") << "C" << "" << QList<int>{0, 0} << QList<int>{2, 1} << QList<float>{0.2f, 0.2f, 0.2f};
    QTest::newRow("hidden B left out") << "C" << "hideB" << QList<int>{0, 0} << QList<int>{1, 1} << QList<float>{0.2f, 0.2f};
    QTest::newRow("hidden B under all") << "A" << "hideB" << QList<int>{0, 0} << QList<int>{2, 1} << QList<float>{0.2f, 0.2f, 0.2f};
    QTest::newRow("edited A stronger") << "C" << "editA" << QList<int>{0, 0} << QList<int>{2, 1} << QList<float>{0.8f, 0.2f, 0.8f};
    QTest::newRow("no component") << "" << "" << QList<int>{0, 0} << QList<int>{0, 0} << QList<float>{};
    QTest::newRow("all polygons") << "CP" << "" << QList<int>{2, 1} << QList<int>{2, 1} << QList<float>{0.2f, 0.2f, 0.2f};
    QTest::newRow("environment only") << "E" << "" << QList<int>{0, 1} << QList<int>{0, 0} << QList<float>{};
    QTest::newRow("shells of both") << "PE" << "" << QList<int>{2, 2} << QList<int>{0, 0} << QList<float>{};
    QTest::newRow("hidden polygon in no pass") << "CP" << "hidePoly" << QList<int>{1, 1} << QList<int>{1, 1} << QList<float>{0.2f, 0.2f};
    QTest::newRow("proxy corner skips component only") << "CP" << "proxyCorner" << QList<int>{2, 1} << QList<int>{1, 1} << QList<float>{0.2f, 0.2f};
}

void View3dGeometryTest::whichPolygonsEachPassDraws()
{
    QFETCH(QString, options);
    QFETCH(QString, change);
    QFETCH(QList<int>, shell);
    QFETCH(QList<int>, components);
    QFETCH(QList<float>, alphas);

    TP3dBuilder b;
    const TP3dBuilder::Range t1 = b.AddTriangle(0, 0, 0, 1, 0, 0, 0, 1, 0);
    const int q0 = b.AddPoint(0, 0, 1), q1 = b.AddPoint(1, 0, 1), q2 = b.AddPoint(1, 1, 1), q3 = b.AddPoint(0, 1, 1);
    const int quad = b.AddPolygon({uint32_t(q0), uint32_t(q1), uint32_t(q2), uint32_t(q3)});
    const TP3dBuilder::Range t2 = b.AddTriangle(0, 0, 2, 1, 0, 2, 0, 1, 2);
    b.AddSelection("A", {t1.Points[0], t1.Points[1], t1.Points[2], q0, q1, q2, q3}, {t1.Polygons[0], quad});
    b.AddSelection("B", t2);
    TP3dBuilder env;
    const int e[4] = {env.AddPoint(-5, 0, -5), env.AddPoint(5, 0, -5), env.AddPoint(5, 0, 5), env.AddPoint(-5, 0, 5)};
    env.AddPolygon({uint32_t(e[0]), uint32_t(e[1]), uint32_t(e[2]), uint32_t(e[3])});

    TSceneFixture f;
    f.Models.push_back(Read(b));
    f.Models.push_back(Read(env, true));
    f.Models[0]->Selections[0]->Color = 0x000000FF;
    f.Models[0]->Selections[1]->Color = 0x00FF0000;
    f.Options.CheckedSelections = options.contains('C');
    f.Options.AllSelections = options.contains('A');
    f.Options.AllPolygons = options.contains('P');
    f.Options.Environment = options.contains('E');
    f.Options.PolygonAlpha = 0.3f;
    f.Options.EnvironmentAlpha = 0.6f;
    if (change == "hideB")
        f.Models[0]->Selections[1]->Hidden = true;
    if (change == "editA")
        f.Edited = {true, false};
    if (change == "hidePoly")
        f.Models[0]->Polygons[size_t(t1.Polygons[0])].Hidden = true;
    if (change == "proxyCorner")  // the first corner of B's triangle
        f.Models[0]->Vertices[size_t(t2.Points[0])].IsProxyCorner = true;
    f.Build();

    QCOMPARE(QList<int>({int(f.Scene.Shell.Triangles.size() / 3), int(f.Scene.Shell.Quads.size() / 4)}), shell);
    QCOMPARE(QList<int>({int(f.Scene.Components.Triangles.size() / 3), int(f.Scene.Components.Quads.size() / 4)}), components);
    // Shell: the main model's polygons come first, at their alpha, then the environment's.
    for (const T3dVertex& v : f.Scene.Shell.Triangles)
        QCOMPARE(v.A, 0.3f);
    for (size_t i = 0; i < f.Scene.Shell.Quads.size(); ++i) {
        const bool envQuad = f.Options.Environment && i + 4 >= f.Scene.Shell.Quads.size();
        QCOMPARE(f.Scene.Shell.Quads[i].A, envQuad ? 0.6f : 0.3f);
        QCOMPARE(f.Scene.Shell.Quads[i].R, 0.8f);
    }
    // Components: triangles in tree order (A's then B's), then the quads; red for A, blue for B.
    QList<float> gotAlphas;
    for (size_t i = 0; i < f.Scene.Components.Triangles.size(); i += 3) {
        const T3dVertex& v = f.Scene.Components.Triangles[i];
        gotAlphas << v.A;
        const bool isB = v.Z == 2;
        QCOMPARE(QVector3D(v.R, v.G, v.B), isB ? QVector3D(0, 0, 255 / 256.f) : QVector3D(255 / 256.f, 0, 0));
    }
    for (size_t i = 0; i < f.Scene.Components.Quads.size(); i += 4)
        gotAlphas << f.Scene.Components.Quads[i].A;
    QCOMPARE(gotAlphas, alphas);
}

void View3dGeometryTest::cornersMirroredAndReversed()
{
    TP3dBuilder b;
    const int n0 = b.AddNormal(1, 2, 3), n1 = b.AddNormal(4, 5, 6), n2 = b.AddNormal(7, 8, 9), n3 = b.AddNormal(0, 1, 0);
    const int p[4] = {b.AddPoint(1, 2, 3), b.AddPoint(4, 5, 6), b.AddPoint(7, 8, 9), b.AddPoint(-1, -2, -3)};
    const int tri = b.AddPolygon({uint32_t(p[0]), uint32_t(p[1]), uint32_t(p[2])});
    const int quad = b.AddPolygon({uint32_t(p[0]), uint32_t(p[1]), uint32_t(p[2]), uint32_t(p[3])});
    for (int poly : {tri, quad})
        for (int k = 0; k < 4; ++k)
            b.Polygons[size_t(poly)].Corners[k].NormalIndex = uint32_t(std::vector<int>{n0, n1, n2, n3}[size_t(k)]);
    b.AddSelection("c", {p[0], p[1], p[2], p[3]}, {tri, quad});
    TSceneFixture f;
    f.Models.push_back(Read(b));
    f.Build();
    f.Models[0]->DisplayPoints[0] = {10, 20, 30, 1};  // drawn from the display points
    f.Build();

    const auto& tris = f.Scene.Components.Triangles;
    const auto& quads = f.Scene.Components.Quads;
    QCOMPARE(tris.size(), size_t(3));
    QCOMPARE(quads.size(), size_t(4));
    QCOMPARE(Pos(tris[0]), QVector3D(-7, 8, 9));
    QCOMPARE(Pos(tris[1]), QVector3D(-4, 5, 6));
    QCOMPARE(Pos(tris[2]), QVector3D(-10, 20, 30));
    QCOMPARE(Nrm(tris[0]), QVector3D(-7, 8, 9));
    QCOMPARE(Nrm(tris[2]), QVector3D(-1, 2, 3));
    QCOMPARE(Pos(quads[0]), QVector3D(1, -2, -3));
    QCOMPARE(Pos(quads[3]), QVector3D(-10, 20, 30));
    QCOMPARE(Nrm(quads[0]), QVector3D(0, 1, 0));
}

void View3dGeometryTest::missingNormalFallsBackToFaceNormal()
{
    TP3dBuilder b;
    const TP3dBuilder::Range t = b.AddTriangle(0, 0, 0, 2, 0, 0, 0, 2, 0);  // counter-clockwise seen from +z
    b.AddSelection("c", t);
    TSceneFixture f;
    f.Models.push_back(Read(b));
    TP3dPolygon& poly = f.Models[0]->Polygons[0];
    poly.Corners[1].NormalIndex = 7;  // only this corner's normal is missing
    poly.Valid = false;               // the reader may keep such polygons; they are drawn
    f.Build();
    const auto& tris = f.Scene.Components.Triangles;
    QCOMPARE(tris.size(), size_t(3));
    const QVector3D face = Nrm(tris[1]).normalized();  // reversed: corner 1 is in the middle
    QCOMPARE(face, QVector3D(0, 0, 1));                 // (p1 - p0) x (p2 - p0), mirrored in X
    QCOMPARE(Nrm(tris[0]), QVector3D(0, 0, 1));         // the stored normal, kept
    // A corner naming a point that does not exist drops the polygon.
    poly.Corners[2].PointIndex = 3;
    f.Build();
    QCOMPARE(f.Scene.Components.Triangles.size(), size_t(0));
}

void View3dGeometryTest::proxyPosedWithItsPlacement()
{
    // A main model with component "body" and a proxy whose sub-model holds one triangle.
    TP3dBuilder b;
    const TP3dBuilder::Range body = b.AddTriangle(0, 0, 0, 1, 0, 0, 0, 1, 0);
    b.AddSelection("body", body);
    b.AddSelection("proxy:lamp.01", std::vector<int>{});
    TP3dBuilder lamp;
    const TP3dBuilder::Range lt = lamp.AddTriangle(1, 0, 0, 0, 1, 0, 0, 0, 1);
    lamp.Normals[0] = {1, 0, 0};
    TSceneFixture f;
    f.Models.push_back(Read(b));
    f.Models.push_back(Read(lamp));
    TP3dModell& sub = *f.Models[1];
    sub.IsProxy = true;
    TSelection& bodySel = *f.Models[0]->Selections[0];
    TSelection& proxySel = *f.Models[0]->Selections[1];
    proxySel.ProxyModel = &sub;
    sub.ProxySelection = &proxySel;
    sub.ProxyParent = &bodySel;
    // Placement: a quarter turn about Z (x -> y) then 10 along x; the parent moves it 1 up.
    sub.ProxyMatrix = TTransform::Zero();
    sub.ProxyMatrix[1] = 1;
    sub.ProxyMatrix[3] = -1;
    sub.ProxyMatrix[8] = 1;
    sub.ProxyMatrix[9] = 10;
    bodySel.ActTransform = TTransform::Translation(0, 1, 0);
    f.Params.ModelOffset[2] = 0.5;
    f.Build();

    const auto& tris = f.Scene.Components.Triangles;
    QCOMPARE(tris.size(), size_t(6));  // body's triangle, then the proxy's
    // Lamp corners (1,0,0), (0,1,0), (0,0,1) plus the offset (0,0,0.5), turned, moved,
    // lifted: (10,2,0.5), (9,1,0.5), (10,1,1.5); sent last to first, X mirrored.
    QCOMPARE(Pos(tris[3]), QVector3D(-10, 1, 1.5f));
    QCOMPARE(Pos(tris[4]), QVector3D(-9, 1, 0.5f));
    QCOMPARE(Pos(tris[5]), QVector3D(-10, 2, 0.5f));
    // The normal (1,0,0) turns with the linear part only: (0,1,0), no translation in it.
    QCOMPARE(Nrm(tris[3]), QVector3D(0, 1, 0));
    // The sub-model is the proxy's drawing, also in the shell.
    f.Options.AllPolygons = true;
    f.Build();
    QCOMPARE(f.Scene.Shell.Triangles.size(), size_t(6));
    QCOMPARE(Pos(f.Scene.Shell.Triangles[5]), QVector3D(-10, 2, 0.5f));
    Q_UNUSED(lt);
}

void View3dGeometryTest::pivotCross()
{
    TP3dBuilder b;
    b.AddSelection("a", b.AddTriangle(0, 0, 0, 1, 0, 0, 0, 1, 0));
    b.AddSelection("b", b.AddTriangle(0, 0, 1, 1, 0, 1, 0, 1, 1));
    TSceneFixture f;
    f.Models.push_back(Read(b));
    TSelection& sel = *f.Models[0]->Selections[1];
    sel.Pivot[0] = 1;
    sel.Pivot[1] = 2;
    sel.Pivot[2] = 3;
    sel.ActTransform = TTransform::Translation(0, 0, 1);
    sel.Hidden = true;  // its polygons are not drawn, its cross is
    f.Params.ModelOffset[0] = 1;
    f.Options.PivotComponent = &sel;
    f.Build();
    QVERIFY(f.Scene.HasPivot);
    QCOMPARE(f.Scene.Components.Triangles.size(), size_t(3));
    // Centre (2, 2, 4); the X line from 1.9 to 2.1 before mirroring.
    QCOMPARE(QVector3D(f.Scene.Pivot[0][0], f.Scene.Pivot[0][1], f.Scene.Pivot[0][2]), QVector3D(-1.9f, 2, 4));
    QCOMPARE(QVector3D(f.Scene.Pivot[1][0], f.Scene.Pivot[1][1], f.Scene.Pivot[1][2]), QVector3D(-2.1f, 2, 4));
    QCOMPARE(QVector3D(f.Scene.Pivot[3][0], f.Scene.Pivot[3][1], f.Scene.Pivot[3][2]), QVector3D(-2, 2.1f, 4));
    QCOMPARE(QVector3D(f.Scene.Pivot[4][0], f.Scene.Pivot[4][1], f.Scene.Pivot[4][2]), QVector3D(-2, 2, 3.9f));
    // Without a component pass there is no cross either.
    f.Options.CheckedSelections = false;
    f.Build();
    QVERIFY(!f.Scene.HasPivot);
}

void View3dGeometryTest::buffersReused()
{
    TP3dBuilder b;
    b.AddSelection("box", b.AddBox(0, 0, 0, 1, 1, 1));
    TSceneFixture f;
    f.Models.push_back(Read(b));
    f.Options.AllPolygons = true;
    f.Build();
    const T3dVertex* shell = f.Scene.Shell.Quads.data();
    const T3dVertex* comps = f.Scene.Components.Quads.data();
    QCOMPARE(f.Scene.Shell.PolygonCount(), size_t(6));
    f.Build();
    QCOMPARE(f.Scene.Shell.Quads.data(), shell);
    QCOMPARE(f.Scene.Components.Quads.data(), comps);
    QCOMPARE(f.Scene.Components.PolygonCount(), size_t(6));
}

TORVANE_TEST(View3dGeometryTest)
#include "View3dGeometryTest.moc"
