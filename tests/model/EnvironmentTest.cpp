// Placing an environment model on one of its proxies.
#include "model/Environment.h"
#include "filebuild/P3dBuilder.h"
#include "support/TestMain.h"

#include <QTest>
#include <QVector3D>

namespace {
using TTriangle = QList<QVector3D>;

// A floor quad with a corner at (10, 0, 10), then one proxy triangle per entry, each in a
// selection "proxy:chair.0N" (N from 1); "plain" names a selection that is no proxy.
std::unique_ptr<TP3dModell> Environment(const QList<TTriangle>& proxies)
{
    TP3dBuilder b;
    const int f[4] = {b.AddPoint(10, 0, 10), b.AddPoint(-10, 0, 10), b.AddPoint(-10, 0, -10), b.AddPoint(10, 0, -10)};
    const int floor = b.AddPolygon({uint32_t(f[0]), uint32_t(f[1]), uint32_t(f[2]), uint32_t(f[3])});
    b.AddSelection("plain", {f[0], f[1], f[2], f[3]}, {floor});
    int n = 1;
    for (const TTriangle& t : proxies) {
        const TP3dBuilder::Range r = b.AddTriangle(t[0].x(), t[0].y(), t[0].z(), t[1].x(), t[1].y(), t[1].z(),
                                                   t[2].x(), t[2].y(), t[2].z());
        b.AddSelection(QByteArray("proxy:chair.0") + QByteArray::number(n++), r);
    }
    auto env = std::make_unique<TP3dModell>(QString());
    env->ReadP3dBytes(b.Build(), true);
    return env;
}
}  // namespace

class EnvironmentTest : public QObject {
    Q_OBJECT
private slots:
    void placement_data()
    {
        QTest::addColumn<QList<TTriangle>>("proxies"); QTest::addColumn<int>("chosen"); QTest::addColumn<bool>("found");
        QTest::addColumn<QVector3D>("floorCorner");  // display point of (10, 0, 10) afterwards
        const TTriangle atFirst{{1, 2, 3}, {1, 3, 3}, {2, 2, 3}};     // right angle at its corner 0
        const TTriangle atSecond{{5, 1, 0}, {5, 0, 0}, {6, 0, 0}};    // at corner 1
        const TTriangle slanted{{0, 0, 0}, {1, 0, 0}, {0.5f, 0.8f, 0}};
        QTest::newRow("right angle at (1, 2, 3)") << QList<TTriangle>{atFirst} << 0 << true << QVector3D(9, -2, 7);
        QTest::newRow("second proxy chosen") << QList<TTriangle>{atFirst, atSecond} << 1 << true << QVector3D(5, 0, 10);
        QTest::newRow("no right angle: unshifted") << QList<TTriangle>{slanted} << 0 << false << QVector3D(10, 0, 10);
        QTest::newRow("no polygon: nothing hidden") << QList<TTriangle>{} << -1 << false << QVector3D(10, 0, 10);
    }

    void placement()
    {
        QFETCH(QList<TTriangle>, proxies); QFETCH(int, chosen); QFETCH(bool, found); QFETCH(QVector3D, floorCorner);
        std::unique_ptr<TP3dModell> env = Environment(proxies);
        const std::vector<TSelection*> list = EnvironmentProxies(*env);
        QCOMPARE(int(list.size()), int(proxies.size()));  // "plain" is no proxy
        TSelection empty;  // a proxy selection that holds no polygon
        empty.PolygonMembership.assign(env->Polygons.size(), 0);
        const TEnvironmentPlacement p = PlaceEnvironment(*env, chosen < 0 ? empty : *list[size_t(chosen)]);
        QCOMPARE(p.Found, found);
        const TDisplayPoint& d = env->DisplayPoints[0];
        QCOMPARE(QVector3D(d.X, d.Y, d.Z), floorCorner);
        // The chosen triangle is hidden and its corners marked, found or not; the others are not.
        for (int i = 0; i < int(proxies.size()); ++i)
            QCOMPARE(env->Polygons[size_t(1 + i)].Hidden, i == chosen);
        QCOMPARE(p.PolygonIndex, chosen < 0 ? -1 : 1 + chosen);
        for (size_t i = 0; i < env->Vertices.size(); ++i)
            QCOMPARE(env->Vertices[i].IsProxyCorner, chosen >= 0 && i >= size_t(4 + 3 * chosen) && i < size_t(7 + 3 * chosen));
    }

    void modelListKeepsOne()
    {
        // A proxy triangle naming a point the file lacks gives no offset and hides nothing.
        std::unique_ptr<TP3dModell> env = Environment({{{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}});
        env->Polygons[1].Corners[2].PointIndex = 99;
        QVERIFY(!PlaceEnvironment(*env, *EnvironmentProxies(*env)[0]).Found);
        QVERIFY(!env->Polygons[1].Hidden);

        TModelList models;
        models.push_back(std::make_unique<TP3dModell>(QString(), nullptr, nullptr, false));
        TP3dModell* first = models.emplace_back(std::move(env)).get();
        models.push_back(std::make_unique<TP3dModell>(QString()));
        QCOMPARE(FindEnvironment(models), first);
        QVERIFY(RemoveEnvironment(models) && RemoveEnvironment(models) && !RemoveEnvironment(models));  // one at a time
        QCOMPARE(models.size(), size_t(1));
    }
};

TORVANE_TEST(EnvironmentTest)
#include "EnvironmentTest.moc"
