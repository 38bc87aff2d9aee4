#include "ModelTestUtil.h"
#include "model/Proxies.h"
#include "support/P3dBuilder.h"
#include "support/TestMain.h"

#include <QTemporaryDir>
#include <QTest>
#include <cmath>

Q_DECLARE_METATYPE(TProxyPlacement)
Q_DECLARE_METATYPE(TVec3)

namespace {
TVec3 V(double x, double y, double z) { return {x, y, z}; }

TVec3 Row(const TTransform& t, int r) { return {t.at(r, 0), t.at(r, 1), t.at(r, 2)}; }

bool Near(const TVec3& a, const TVec3& b, double eps = 1e-9)
{
    return std::fabs(a.x - b.x) < eps && std::fabs(a.y - b.y) < eps && std::fabs(a.z - b.z) < eps;
}

QByteArray Show(const TTransform& t)
{
    QByteArray s;
    for (int i = 0; i < 12; ++i)
        s += QByteArray::number(t[i]) + (i % 3 == 2 ? " | " : " ");
    return s;
}

// A main model with a body box, a proxy triangle (right angle at its first point, legs along
// +Z and +Y) that the body also holds, and the selection "proxy:<name>.01".
TP3dBuilder ModelWithProxy(const QByteArray& proxyName, bool bodyHoldsTriangle = true)
{
    TP3dBuilder b;
    const auto box = b.AddBox(-1, -1, -1, 1, 1, 1);
    const auto tri = b.AddTriangle(2, 3, 4, 2, 3, 5, 2, 5, 4);
    auto bodyPolygons = box.Polygons;
    if (bodyHoldsTriangle)
        bodyPolygons.push_back(tri.Polygons[0]);
    b.AddSelection("body", box.Points, bodyPolygons);
    b.AddSelection("proxy:" + proxyName + ".01", tri);
    return b;
}

std::vector<TSelection*> Order(const TP3dModell& m)
{
    std::vector<TSelection*> out;
    for (const auto& s : m.Selections)
        out.push_back(s.get());
    return out;
}
}  // namespace

class ProxyTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SilenceDebug(); }
    void cleanupTestCase() { SetDebugSink({}); }
    void fileName_data();
    void fileName();
    void placement_data();
    void placement();
    void nearRightAngleGivesTransposedInverse();
    void noRightAngle();
    void proxyParentInTreeOrder();
    void firstMemberPolygonSkipsInvalid();
    void loadProxy();
    void loadProxyFailures();
};

void ProxyTest::fileName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("isProxy");
    QTest::newRow("plain") << "proxy:tank.01" << "tank" << true;
    QTest::newRow("one letter") << "proxy:a.12" << "a" << true;
    QTest::newRow("folder") << "proxy:parts\\lamp.03" << "parts\\lamp" << true;
    QTest::newRow("no file name left") << "proxy:.01" << "" << true;
    QTest::newRow("shorter than the suffix") << "proxy:" << "" << true;
    QTest::newRow("empty") << "" << "" << false;
    QTest::newRow("upper case is no proxy") << "PROXY:tank.01" << "tank" << false;
}

void ProxyTest::fileName()
{
    QFETCH(QString, name);
    QFETCH(QString, file);
    QFETCH(bool, isProxy);
    QCOMPARE(ProxyFileName(name), file);
    QCOMPARE(IsProxyName(name), isProxy);
}

void ProxyTest::placement_data()
{
    QTest::addColumn<TVec3>("p0");
    QTest::addColumn<TVec3>("p1");
    QTest::addColumn<TVec3>("p2");
    QTest::addColumn<TProxyPlacement>("result");
    QTest::addColumn<TVec3>("x");  // expected rows 0..3
    QTest::addColumn<TVec3>("y");
    QTest::addColumn<TVec3>("z");
    QTest::addColumn<TVec3>("origin");
    const TVec3 o = V(1, 2, 3);
    QTest::newRow("right angle at P0, short +Z, long +Y")
        << o << V(1, 2, 4) << V(1, 4, 3) << TProxyPlacement::Placed << V(1, 0, 0) << V(0, 1, 0) << V(0, 0, 1) << o;
    QTest::newRow("right angle at P1") << V(1, 2, 2) << o << V(4, 2, 3) << TProxyPlacement::Placed << V(0, 1, 0)
                                       << V(1, 0, 0) << V(0, 0, -1) << o;
    QTest::newRow("right angle at P2") << V(0, 5, 0) << V(0, 0, -2) << V(0, 0, 0) << TProxyPlacement::Placed
                                       << V(-1, 0, 0) << V(0, 1, 0) << V(0, 0, -1) << V(0, 0, 0);
    // With equal legs the long leg is the one ending at P(k); here k = 2, so P2.
    QTest::newRow("equal legs, P2 is the long end") << V(0, 0, 0) << V(0, 0, 1) << V(0, 1, 0)
                                                    << TProxyPlacement::Placed << V(1, 0, 0) << V(0, 1, 0)
                                                    << V(0, 0, 1) << V(0, 0, 0);
    QTest::newRow("equal legs, swapped") << V(0, 0, 0) << V(0, 1, 0) << V(0, 0, 1) << TProxyPlacement::Placed
                                         << V(-1, 0, 0) << V(0, 0, 1) << V(0, 1, 0) << V(0, 0, 0);
    QTest::newRow("zero-length leg") << V(1, 1, 1) << V(1, 1, 1) << V(3, 1, 1) << TProxyPlacement::SingularFrame
                                     << V(0, 0, 0) << V(0, 0, 0) << V(0, 0, 0) << V(1, 1, 1);
    // Within the tolerance at P1 while the legs are parallel.
    QTest::newRow("collinear legs") << V(0, 0, 0) << V(0.001, 0, 0) << V(2, 0, 0) << TProxyPlacement::SingularFrame
                                    << V(0, 0, 0) << V(0, 0, 0) << V(0, 0, 0) << V(0.001, 0, 0);
}

void ProxyTest::placement()
{
    QFETCH(TVec3, p0);
    QFETCH(TVec3, p1);
    QFETCH(TVec3, p2);
    QFETCH(TProxyPlacement, result);
    QFETCH(TVec3, x);
    QFETCH(TVec3, y);
    QFETCH(TVec3, z);
    QFETCH(TVec3, origin);
    TTransform m = TTransform::Identity();
    QCOMPARE(ComputeProxyMatrix(p0, p1, p2, m), result);
    QVERIFY2(Near(Row(m, 0), x), Show(m));
    QVERIFY2(Near(Row(m, 1), y), Show(m));
    QVERIFY2(Near(Row(m, 2), z), Show(m));
    QVERIFY2(Near(Row(m, 3), origin), Show(m));
    if (result == TProxyPlacement::Placed) {
        // The sub-model's origin lands on the right-angle corner, its unit Y on the long leg.
        QVERIFY(Near(m.Apply(V(0, 0, 0)), origin));
        QVERIFY(Near(m.Apply(V(0, 1, 0)), V(origin.x + y.x, origin.y + y.y, origin.z + y.z)));
    }
}

void ProxyTest::nearRightAngleGivesTransposedInverse()
{
    // The angle at P0 is off by a dot product of -0.008: inside the tolerance, so the frame
    // (rows c, w, u) is not orthonormal and the placement is the transpose of its inverse.
    const TVec3 p0 = V(0, 0, 0), p1 = V(0, 0.004, 1), p2 = V(0.005, 2, 0);
    TTransform m;
    QCOMPARE(ComputeProxyMatrix(p0, p1, p2, m), TProxyPlacement::Placed);
    auto unit = [](TVec3 a) {
        const double l = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
        return V(a.x / l, a.y / l, a.z / l);
    };
    const TVec3 w = unit(p2), u = unit(p1);
    const TVec3 c = V(w.y * u.z - w.z * u.y, w.z * u.x - w.x * u.z, w.x * u.y - w.y * u.x);
    const TVec3 frame[3] = {c, w, u};
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) {
            const TVec3 r = Row(m, j);
            const double dot = r.x * frame[i].x + r.y * frame[i].y + r.z * frame[i].z;
            QVERIFY2(std::fabs(dot - (i == j ? 1.0 : 0.0)) < 1e-12, Show(m));
        }
    QVERIFY(!Near(Row(m, 1), w, 1e-6));
}

void ProxyTest::noRightAngle()
{
    TDebugCapture capture;
    TTransform m;
    m[4] = 7;
    const double h = std::sqrt(3.0) / 2;
    QCOMPARE(ComputeProxyMatrix(V(0, 0, 0), V(1, 0, 0), V(0.5, h, 0), m), TProxyPlacement::NoRightAngle);
    QCOMPARE(capture.Lines, QStringList{QStringLiteral("Proxy ungültig!")});
    QCOMPARE(m[4], 7.0);  // left alone
    // Just outside the tolerance.
    QCOMPARE(ComputeProxyMatrix(V(0, 0, 0), V(0, 0.011, 1), V(0.011, 1, 0), m), TProxyPlacement::NoRightAngle);
}

void ProxyTest::proxyParentInTreeOrder()
{
    auto make = [](const char* name, std::vector<uint8_t> polys) {
        auto s = std::make_unique<TSelection>();
        s->Name = QString::fromLatin1(name);
        s->PolygonMembership = std::move(polys);
        return s;
    };
    auto proxy = make("proxy:lamp.01", {0, 1});
    auto arm = make("arm", {0, 1});
    auto leg = make("leg", {1, 1});
    auto other = make("PROXY:lamp.01", {0, 1});
    auto shortOne = make("tiny", {0});
    QCOMPARE(FindProxyParent({proxy.get(), arm.get(), leg.get()}, proxy->Name, 1), arm.get());
    QCOMPARE(FindProxyParent({leg.get(), proxy.get(), arm.get()}, proxy->Name, 1), leg.get());
    QCOMPARE(FindProxyParent({proxy.get(), other.get(), arm.get()}, proxy->Name, 1), other.get());
    QCOMPARE(FindProxyParent({proxy.get(), shortOne.get()}, proxy->Name, 1), nullptr);
    QCOMPARE(FindProxyParent({proxy.get(), arm.get()}, proxy->Name, 0), nullptr);
    QCOMPARE(FindProxyParent({arm.get()}, proxy->Name, 5), nullptr);
    QCOMPARE(FindProxyParent({arm.get()}, proxy->Name, -1), nullptr);
}

void ProxyTest::firstMemberPolygonSkipsInvalid()
{
    TP3dBuilder b;
    for (int i = 0; i < 3; ++i)
        b.AddPoint(float(i), float(i * i), 0);
    b.AddPolygon({0, 1, 2});
    b.AddPolygon({0, 1, 9});  // out of range
    b.AddPolygon({0, 1, 2});
    b.AddPolygon({2, 1, 0});
    b.AddSelection("proxy:x.01", {0, 1, 2}, {1, 3, 2});
    b.AddSelection("proxy:y.01", {0, 1, 2}, {1});
    auto m = ReadModelBytes(b.Build());
    QCOMPARE(FirstMemberPolygon(*m->Selections[0]), 2);
    QCOMPARE(FirstMemberPolygon(*m->Selections[1]), -1);
}

void ProxyTest::loadProxy()
{
    QTemporaryDir dir;
    QVERIFY(ModelWithProxy("lamp").WriteTo(dir.filePath("walker.p3d")));
    // The sub-model's own selections are not read.
    TP3dBuilder lamp;
    lamp.AddSelection("bulb", lamp.AddBox(0, 0, 0, 0.2f, 0.2f, 0.2f));
    QVERIFY(lamp.WriteTo(dir.filePath("Lamp.P3D")));

    TP3dModell main(dir.filePath("walker.p3d"), nullptr, nullptr, false);
    QCOMPARE(main.Status, TP3dModell::ReadStatus::Ok);
    TSelection& body = *main.Selections[0];
    TSelection& proxy = *main.Selections[1];
    TDebugCapture capture;
    TProxyLoad load = LoadProxy(body, main.FileName, Order(main));
    QCOMPARE(load.Outcome, TProxyLoad::TOutcome::NotProxy);
    QVERIFY(!load.Model);

    load = LoadProxy(proxy, main.FileName, Order(main));
    QCOMPARE(load.Outcome, TProxyLoad::TOutcome::Loaded);
    QVERIFY(load.Messages.isEmpty());
    QVERIFY(load.Model);
    QCOMPARE(proxy.ProxyModel, load.Model.get());
    QCOMPARE(load.Parent, &body);
    QCOMPARE(load.PolygonIndex, 6);
    QCOMPARE(load.Placement, TProxyPlacement::Placed);
    QVERIFY(capture.Lines.contains(QStringLiteral("body is proxyparent of proxy:lamp.01")));

    const TP3dModell& sub = *load.Model;
    QVERIFY(sub.IsProxy);
    QVERIFY(!sub.IsEnvironment);
    QCOMPARE(sub.ProxySelection, &proxy);
    QCOMPARE(sub.ProxyParent, &body);
    QVERIFY(sub.Selections.empty());
    QCOMPARE(sub.Vertices.size(), size_t(8));
    TTransform expected = TTransform::Identity();
    expected[9] = 2;
    expected[10] = 3;
    expected[11] = 4;
    QCOMPARE(sub.ProxyMatrix, expected);

    QVERIFY(main.Polygons[6].Hidden);
    QVERIFY(!main.Polygons[5].Hidden);
    for (int i = 0; i < 11; ++i)
        QCOMPARE(main.Vertices[size_t(i)].IsProxyCorner, i >= 8);
}

void ProxyTest::loadProxyFailures()
{
    QTemporaryDir dir;
    // The proxy name's backslash is a folder separator.
    QVERIFY(ModelWithProxy("parts\\lamp", false).WriteTo(dir.filePath("walker.p3d")));
    TP3dModell main(dir.filePath("walker.p3d"), nullptr, nullptr, false);
    TSelection& proxy = *main.Selections[1];

    TProxyLoad load = LoadProxy(proxy, main.FileName, Order(main));
    QCOMPARE(load.Outcome, TProxyLoad::TOutcome::FileMissing);
    QCOMPARE(load.Messages, QStringList{QStringLiteral("parts\\lamp.p3d not found!")});
    QVERIFY(!proxy.ProxyModel);
    QVERIFY(!main.Polygons[6].Hidden);
    QVERIFY(!main.Vertices[8].IsProxyCorner);

    // A sub-model that ends early is not kept, and the triangle stays visible.
    TP3dBuilder lamp;
    lamp.AddBox(0, 0, 0, 1, 1, 1);
    QByteArray cut = lamp.Build();
    cut.chop(68 + 2);  // into "TAGG": a proxy reads nothing after it
    QVERIFY(WriteBytesFile(dir.filePath("parts/lamp.p3d"), cut));
    load = LoadProxy(proxy, main.FileName, Order(main));
    QCOMPARE(load.Outcome, TProxyLoad::TOutcome::ReadFailed);
    QCOMPARE(load.Messages, QStringList{QStringLiteral("Stream read error")});
    QVERIFY(!load.Model);

    lamp.TagMagic = "XXXX";
    QVERIFY(lamp.WriteTo(dir.filePath("parts/lamp.p3d")));
    load = LoadProxy(proxy, main.FileName, Order(main));
    QCOMPARE(load.Outcome, TProxyLoad::TOutcome::Loaded);
    QCOMPARE(load.Messages, QStringList{QStringLiteral("No Tag Identifier found!")});
    // Only the proxy holds the triangle here, so it hangs under no component.
    QVERIFY(!load.Parent);
    QVERIFY(main.Polygons[6].Hidden);

    // A singular triangle is reported to the user and still placed at its corner.
    TP3dBuilder flat;
    const auto tri = flat.AddTriangle(1, 1, 1, 1, 1, 1, 3, 1, 1);
    flat.AddSelection("proxy:flat.01", tri);
    QVERIFY(flat.WriteTo(dir.filePath("flatmain.p3d")));
    QVERIFY(lamp.WriteTo(dir.filePath("flat.p3d")));
    TP3dModell flatMain(dir.filePath("flatmain.p3d"), nullptr, nullptr, false);
    load = LoadProxy(*flatMain.Selections[0], flatMain.FileName, Order(flatMain));
    QCOMPARE(load.Outcome, TProxyLoad::TOutcome::Loaded);
    QCOMPARE(load.Placement, TProxyPlacement::SingularFrame);
    QVERIFY(load.Messages.contains(QStringLiteral("[internal] Determinant is zero!")));
    TTransform cornerOnly;
    cornerOnly[9] = cornerOnly[10] = cornerOnly[11] = 1;
    QCOMPARE(load.Model->ProxyMatrix, cornerOnly);

    TDebugCapture capture;
    TSelection tooShort;
    tooShort.Name = QStringLiteral("proxy:.01");
    tooShort.Model = &main;
    load = LoadProxy(tooShort, main.FileName, Order(main));
    QCOMPARE(load.Outcome, TProxyLoad::TOutcome::BadName);
    QCOMPARE(capture.Lines.size(), 1);

    TSelection noPolygon;
    noPolygon.Name = QStringLiteral("proxy:lamp.01");
    noPolygon.Model = &main;
    noPolygon.PolygonMembership.assign(main.Polygons.size(), 0);
    QCOMPARE(LoadProxy(noPolygon, main.FileName, Order(main)).Outcome, TProxyLoad::TOutcome::NoPolygon);
}

TORVANE_TEST(ProxyTest)
#include "ProxyTest.moc"
