#include "ModelTestUtil.h"
#include "filebuild/P3dBuilder.h"
#include "model/Environment.h"
#include "model/Proxies.h"
#include "platform/FileUtil.h"
#include "support/HostileFiles.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

using TOutcome = TProxyLoad::TOutcome;
using Rows = QList<double>;  // points one after another, or the 12 values of a matrix

namespace {
TVec3 V(const Rows& r, int i) { return {r[3 * i], r[3 * i + 1], r[3 * i + 2]}; }
Rows Values(const TTransform& t) { return Rows(t.m.begin(), t.m.end()); }

// An environment: a floor quad with a corner at (10, 0, 10), then one proxy triangle per
// nine numbers, each in a selection "proxy:chair.0N" (N from 1); "plain" is no proxy.
std::unique_ptr<TP3dModell> Environment(const Rows& t)
{
    TP3dBuilder b;
    const int f[4] = {b.AddPoint(10, 0, 10), b.AddPoint(-10, 0, 10), b.AddPoint(-10, 0, -10), b.AddPoint(10, 0, -10)};
    const int floor = b.AddPolygon({uint32_t(f[0]), uint32_t(f[1]), uint32_t(f[2]), uint32_t(f[3])});
    b.AddSelection("plain", {f[0], f[1], f[2], f[3]}, {floor});
    for (qsizetype i = 0; i + 9 <= t.size(); i += 9)
        b.AddSelection("proxy:chair.0" + QByteArray::number(i / 9 + 1),
                       b.AddTriangle(t[i], t[i + 1], t[i + 2], t[i + 3], t[i + 4], t[i + 5], t[i + 6], t[i + 7], t[i + 8]));
    auto env = std::make_unique<TP3dModell>(QString());
    env->ReadP3dBytes(b.Build(), true);
    return env;
}
}  // namespace

class ProxyTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SilenceDebug(); }

    void fileName_data() { QVERIFY(AddTableRows("model/proxy-names.table")); }

    void fileName()
    {
        QFETCH(QString, name);
        QFETCH(QString, file);
        QFETCH(bool, isProxy);
        QCOMPARE(ProxyFileName(name), file);
        QCOMPARE(IsProxyName(name), isProxy);
    }

    void placement_data() { QVERIFY(AddTableRows("model/proxy-placement.table")); }

    void placement()
    {
        QFETCH(Rows, p);
        QFETCH(QString, result);
        QFETCH(Rows, matrix);
        TTransform m = TTransform::Identity();
        const QStringList results{"placed", "none", "singular"};  // in the enum's order
        QCOMPARE(results.value(int(ComputeProxyMatrix(V(p, 0), V(p, 1), V(p, 2), m))), result);
        for (int i = 0; i < 12; ++i)
            QVERIFY2(std::fabs(m[i] - matrix.value(i, NAN)) < 1e-9, qPrintable(QString("value %1 is %2").arg(i).arg(m[i])));
    }

    void proxyParentInTreeOrder()
    {
        TSelection proxy, arm, leg, other, tiny;
        for (auto [s, name, polys] : {std::tuple{&proxy, "proxy:lamp.01", TMembership{0, 1}},
                                      {&arm, "arm", {0, 1}},
                                      {&leg, "leg", {1, 1}},
                                      {&other, "PROXY:lamp.01", {0, 1}},
                                      {&tiny, "tiny", {0}}})
            s->Name = QString::fromLatin1(name), s->PolygonMembership = polys;
        QCOMPARE(FindProxyParent({&proxy, &arm, &leg}, proxy.Name, 1), &arm);
        QCOMPARE(FindProxyParent({&leg, &proxy, &arm}, proxy.Name, 1), &leg);
        QCOMPARE(FindProxyParent({&proxy, &other, &arm}, proxy.Name, 1), &other);
        QCOMPARE(FindProxyParent({&proxy, &tiny}, proxy.Name, 1), nullptr);
        QCOMPARE(FindProxyParent({&proxy, &arm}, proxy.Name, 0), nullptr);
        QCOMPARE(FindProxyParent({&arm}, proxy.Name, 5), nullptr);
        QCOMPARE(FindProxyParent({&arm}, proxy.Name, -1), nullptr);
    }

    void load_data() { QVERIFY(AddTableRows("model/proxy-loads.table")); }

    void load()
    {
        QFETCH(QString, name);
        QFETCH(QString, subModel);
        QFETCH(int, triangle);
        QFETCH(QString, outcomeName);
        QFETCH(QStringList, messages);
        QFETCH(int, fileMessages);
        QFETCH(Rows, matrix);
        const QStringList outcomes{"NotProxy",    "BadName",    "NoPolygon",
                                   "FileMissing", "ReadFailed", "Loaded"};  // in the enum's order
        const TOutcome outcome = TOutcome(outcomes.indexOf(outcomeName));
        TP3dBuilder lamp;
        lamp.AddSelection("bulb", lamp.AddBox(0, 0, 0, 0.2f, 0.2f, 0.2f));  // the sub-model's selections are not read
        lamp.TagMagic = subModel == "no tags" ? "XXXX" : lamp.TagMagic;
        const QByteArray lampBytes = lamp.Build(),
                         lampFile = subModel == "cut" ? lampBytes.left(lampBytes.indexOf("TAGG") + 2) : lampBytes;
        TP3dBuilder b;
        const auto box = b.AddBox(-1, -1, -1, 1, 1, 1);
        const auto bad = b.AddTriangle(0, 0, 0, 0, 0, 1, 0, 1, 0).Polygons[0];
        b.Polygons[size_t(bad)].Corners[2].PointIndex = 99;
        const auto tri = triangle == 1 ? b.AddTriangle(1, 1, 1, 1, 1, 1, 3, 1, 1) : b.AddTriangle(2, 3, 4, 2, 3, 5, 2, 5, 4);
        b.AddSelection("body", box.Points, {0, 1, 2, 3, 4, 5, 7});
        b.AddSelection(name.toLatin1(), tri.Points,
                       triangle == 3   ? std::vector<int>{bad}
                       : triangle == 2 ? std::vector<int>{bad, 7}
                                       : tri.Polygons);
        const auto main = ReadModelBytes(b.Build());
        QTemporaryDir dir;
        // The model's folder is taken literally; the backslash in the proxy name separates folders.
        QVERIFY(WriteBytesFile(dir.filePath("my\\models/parts/Lamp.P3D"), lampFile));
        QVERIFY(QDir(dir.path()).mkpath("my\\models/dir.p3d") && Hostile::MakeFifo(dir.filePath("my\\models/pipe.p3d")));
        TSelection &body = *main->Selections[0], &proxy = *main->Selections[1];
        TSubModelFiles files;
        const TProxyLoad load = LoadProxy(proxy, dir.filePath("my\\models/walker.p3d"), {&body, &proxy}, files);
        QCOMPARE(load.Outcome, outcome);
        QCOMPARE(load.Messages, messages.replaceInStrings("EISDIR", SystemErrorText(EISDIR)));
        QCOMPARE(load.FileMessages, fileMessages);
        if (fileMessages > 0)
            QCOMPARE(load.Path, dir.filePath("my\\models/parts/Lamp.P3D"));
        const bool loaded = outcome == TOutcome::Loaded;
        QVERIFY(bool(load.Model) == loaded && proxy.ProxyModel == load.Model.get() && main->Polygons[7].Hidden == loaded);
        if (loaded) {
            QVERIFY(load.Parent == &body && load.Model->ProxyParent == &body && load.Model->ProxySelection == &proxy &&
                    load.PolygonIndex == 7);
            QVERIFY(load.Model->IsProxy && load.Model->Selections.empty() && load.Model->DrawnVertices().size() == 8);
            QCOMPARE(Values(load.Model->ProxyMatrix), matrix);
        }
    }

    void environmentPlacement_data() { QVERIFY(AddTableRows("model/environment-placement.table")); }
    void environmentPlacement()
    {
        QFETCH(Rows, triangles);
        QFETCH(int, chosen);
        QFETCH(bool, found);
        QFETCH(Rows, floorCorner);
        std::unique_ptr<TP3dModell> env = Environment(triangles);
        const std::vector<TSelection*> list = EnvironmentProxies(*env);
        QCOMPARE(int(list.size()), int(triangles.size() / 9));  // "plain" is no proxy
        TSelection empty;  // a proxy selection that holds no polygon
        empty.PolygonMembership.assign(env->Polygons.size(), 0);
        const TEnvironmentPlacement p = PlaceEnvironment(*env, chosen < 0 ? empty : *list[size_t(chosen)]);
        QCOMPARE(p.Found, found);
        const TDisplayPoint& d = env->DisplayPoints[0];
        QCOMPARE(Rows({d.X, d.Y, d.Z}), floorCorner);
        QCOMPARE(p.PolygonIndex, chosen < 0 ? -1 : 1 + chosen);
    }

    // A proxy triangle naming a point the file lacks gives no offset and hides nothing.
    void badCornerGivesNoOffset()
    {
        std::unique_ptr<TP3dModell> env = Environment({0, 0, 0, 0, 1, 0, 1, 0, 0});
        env->Polygons[1].Corners[2].PointIndex = 99;
        QVERIFY(!PlaceEnvironment(*env, *EnvironmentProxies(*env)[0]).Found);
        QVERIFY(!env->Polygons[1].Hidden);
    }

    // The environment's other proxies bring their sub-models along, which point into it: they
    // go when the environment goes.
    void environmentProxiesComeAndGoWithIt()
    {
        QTemporaryDir dir;
        TP3dBuilder chair;
        chair.AddBox(0, 0, 0, 1, 1, 1);
        TP3dBuilder room;
        room.AddSelection("floor", room.AddBox(-5, -1, -5, 5, 0, 5));
        room.AddSelection("proxy:place.01", room.AddTriangle(1, 2, 3, 1, 4, 3, 1, 2, 4));
        room.AddSelection("proxy:chair.01", room.AddTriangle(4, 0, 1, 4, 2, 1, 4, 0, 2));
        QVERIFY(chair.WriteTo(dir.filePath("chair.p3d")) && room.WriteTo(dir.filePath("room.p3d")));
        TModelList models;
        models.push_back(std::make_unique<TP3dModell>(QString(), nullptr, nullptr, false));
        QCOMPARE(LoadEnvironmentModel(
                     models, true, dir.filePath("room.p3d"), [](const QStringList&) { return 0; }, [](const QString&) {}),
                 TEnvironmentLoad::Loaded);
        QCOMPARE(models.size(), size_t(3));
        QVERIFY(models[2]->IsProxy && models[2]->ProxySelection->Model == FindEnvironment(models));
        QVERIFY(RemoveEnvironment(models));
        QCOMPARE(models.size(), size_t(1));
        QVERIFY(!FindEnvironment(models));
    }
};

TORVANE_TEST(ProxyTest)
#include "ProxyTest.moc"
