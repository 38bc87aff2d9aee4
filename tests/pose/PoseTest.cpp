#include "platform/DebugOut.h"
#include "pose/Pose.h"
#include "support/P3dBuilder.h"
#include "support/TestMain.h"

#include <QRandomGenerator>
#include <QTest>
#include <QVector3D>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

std::unique_ptr<TP3dModell> ReadMain(const TP3dBuilder& b)
{
    auto m = std::make_unique<TP3dModell>(QString(), nullptr, nullptr, false);
    m->ReadP3dBytes(b.Build(), false);
    return m;
}

std::vector<TPoseNode> Nodes(const TP3dModell& m, std::initializer_list<bool> inAnim)
{
    std::vector<TPoseNode> n;
    auto it = inAnim.begin();
    for (const auto& s : m.Selections)
        n.push_back({s.get(), it != inAnim.end() ? *it++ : false});
    return n;
}

std::vector<TSelection*> Order(const std::vector<TPoseNode>& nodes)
{
    std::vector<TSelection*> v;
    for (const TPoseNode& n : nodes)
        v.push_back(n.Component);
    return v;
}

bool Near(const TDisplayPoint& d, double x, double y, double z, double eps = 1e-5)
{
    return std::abs(d.X - x) <= eps && std::abs(d.Y - y) <= eps && std::abs(d.Z - z) <= eps;
}

QString Str(const TDisplayPoint& d) { return QString("(%1, %2, %3)").arg(d.X).arg(d.Y).arg(d.Z); }

TTransform RotZ(double a)
{
    TTransform t = TTransform::Identity();
    RotateZ(t, a);
    return t;
}

}  // namespace

class PoseTest : public QObject {
    Q_OBJECT
private slots:
    void sharedPointsAveraged_data();
    void sharedPointsAveraged();
    void proxyCornersAndEnvironment();
    void offsetBeforeTransform_data();
    void offsetBeforeTransform();
    void offsetRoundedToFloat();
    void totalMoveByFrame_data();
    void totalMoveByFrame();
    void proxyTransformFollowsParent();
    void applyFrameTransforms();
    void posedPointsToTheBit_data();
    void posedPointsToTheBit();
    void cacheListsEveryMember_data();
    void cacheListsEveryMember();
};

void PoseTest::sharedPointsAveraged_data()
{
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<double>("moveA");
    QTest::addColumn<double>("moveB");
    QTest::addColumn<bool>("animA");
    QTest::addColumn<bool>("animB");
    QTest::addColumn<double>("shared");  // x of the point in A and B (stored x 5)
    QTest::addColumn<double>("onlyA");   // x of the point in A only (stored x 2)
    QTest::addColumn<double>("onlyB");   // x of the point in B only (stored x -3)
    QTest::addColumn<int>("shareCount");
    QTest::newRow("+1 and -1 cancel") << true << 1.0 << -1.0 << true << true << 5.0 << 3.0 << -4.0 << 2;
    QTest::newRow("+2 and +4 average") << true << 2.0 << 4.0 << true << true << 8.0 << 4.0 << 1.0 << 2;
    QTest::newRow("only A animated") << true << 1.0 << -1.0 << true << false << 6.0 << 3.0 << 0.0 << 1;
    QTest::newRow("none animated") << true << 1.0 << -1.0 << false << false << 0.0 << 0.0 << 0.0 << 0;
    QTest::newRow("no animation loaded") << false << 1.0 << -1.0 << true << true << 5.0 << 2.0 << -3.0 << 0;
}

void PoseTest::sharedPointsAveraged()
{
    QFETCH(bool, loaded);
    QFETCH(double, moveA);
    QFETCH(double, moveB);
    QFETCH(bool, animA);
    QFETCH(bool, animB);
    QFETCH(double, shared);
    QFETCH(double, onlyA);
    QFETCH(double, onlyB);
    QFETCH(int, shareCount);

    TP3dBuilder b;
    b.AddPoint(5, 1, 1);   // in A and B
    b.AddPoint(2, 1, 1);   // in A
    b.AddPoint(-3, 1, 1);  // in B
    b.AddPoint(7, 8, 9);   // in none
    b.AddSelection("A", {0, 1});
    b.AddSelection("B", {0, 2});
    TModelList models;
    models.push_back(ReadMain(b));
    TP3dModell& m = *models[0];
    QCOMPARE(m.Selections.size(), size_t(2));
    m.Selections[0]->ActTransform = TTransform::Translation(moveA, 0, 0);
    m.Selections[1]->ActTransform = TTransform::Translation(moveB, 0, 0);
    const std::vector<TPoseNode> nodes = Nodes(m, {animA, animB});
    TPoseParams params;
    params.AnimationLoaded = loaded;

    // The same answer from a fitting cache, from none, and from one built for another tree.
    TPoseCache fitting, none, stale;
    fitting.Rebuild(Order(nodes));
    stale.Rebuild({m.Selections[1].get(), m.Selections[0].get()});
    const double yz = animA || animB || !loaded ? 1 : 0;  // y and z of the shared point
    for (const TPoseCache* cache : {&fitting, &none, &stale}) {
        for (TDisplayPoint& d : m.DisplayPoints)
            d = {99, 99, 99, 0};  // leftovers of an earlier refresh
        UpdateDisplayPoints(models, nodes, *cache, params);
        QVERIFY2(Near(m.DisplayPoints[0], shared, yz, yz), qPrintable(Str(m.DisplayPoints[0])));
        QCOMPARE(m.DisplayPoints[0].X, float(shared));
        QCOMPARE(m.DisplayPoints[1].X, float(onlyA));
        QCOMPARE(m.DisplayPoints[2].X, float(onlyB));
        if (loaded) {
            QVERIFY2(Near(m.DisplayPoints[3], 0, 0, 0), qPrintable(Str(m.DisplayPoints[3])));
            QCOMPARE(m.DisplayPoints[0].ShareCount, shareCount);
        } else {
            QVERIFY(Near(m.DisplayPoints[3], 7, 8, 9, 0));
        }
    }
}

void PoseTest::proxyCornersAndEnvironment()
{
    TP3dBuilder b;
    b.AddTriangle(0, 0, 0, 1, 0, 0, 0, 1, 0);
    b.AddPoint(4, 4, 4);
    b.AddSelection("body", {0, 1, 2, 3}, {0});
    TModelList models;
    models.push_back(ReadMain(b));
    auto sub = std::make_unique<TP3dModell>(QString(), models[0]->Selections[0].get(), nullptr, true);
    TP3dBuilder sb;
    sb.AddPoint(3, 2, 1);
    sub->ReadP3dBytes(sb.Build(), false);
    models.push_back(std::move(sub));
    auto env = std::make_unique<TP3dModell>(QString());
    env->ReadP3dBytes(sb.Build(), true);
    env->DisplayPoints[0] = {103, 102, 101, 0};  // placed around the main model
    models.push_back(std::move(env));

    TP3dModell& m = *models[0];
    m.Vertices[1].IsProxyCorner = true;
    m.DisplayPoints[1] = {-7, -7, -7, 0};
    m.Selections[0]->ActTransform = TTransform::Translation(0, 0, 10);
    const std::vector<TPoseNode> nodes = Nodes(m, {true});
    TPoseCache cache;
    cache.Rebuild(Order(nodes));

    TPoseParams params;
    params.AnimationLoaded = false;
    UpdateDisplayPoints(models, nodes, cache, params);
    QVERIFY(Near(m.DisplayPoints[3], 4, 4, 4, 0));       // stored, no transform
    QVERIFY(Near(m.DisplayPoints[1], -7, -7, -7, 0));    // proxy corner kept
    QVERIFY(Near(models[1]->DisplayPoints[0], 3, 2, 1, 0));
    QVERIFY(Near(models[2]->DisplayPoints[0], 103, 102, 101, 0));

    params.AnimationLoaded = true;
    UpdateDisplayPoints(models, nodes, cache, params);
    QVERIFY(Near(m.DisplayPoints[3], 4, 4, 14));
    QVERIFY(Near(m.DisplayPoints[1], 0, 0, 0));          // counted, not posed
    QCOMPARE(m.DisplayPoints[1].ShareCount, 1);
    QVERIFY(Near(models[1]->DisplayPoints[0], 0, 0, 0)); // sub-models are drawn from their own pose
    QVERIFY(Near(models[2]->DisplayPoints[0], 103, 102, 101, 0));
}

void PoseTest::offsetBeforeTransform_data()
{
    QTest::addColumn<double>("offsetX");
    QTest::addColumn<double>("angleZ");
    QTest::addColumn<double>("moveZ");
    QTest::addColumn<QVector3D>("stored");
    QTest::addColumn<QVector3D>("expected");
    QTest::newRow("offset, identity") << 1.0 << 0.0 << 0.0 << QVector3D(2, 3, 4) << QVector3D(3, 3, 4);
    QTest::newRow("offset turns with the point") << 1.0 << std::numbers::pi / 2 << 0.0 << QVector3D(0, 0, 0)
                                                 << QVector3D(0, 1, 0);
    QTest::newRow("translation after rotation") << 0.0 << std::numbers::pi / 2 << 5.0 << QVector3D(1, 0, 0)
                                                << QVector3D(0, 1, 5);
    QTest::newRow("negative offset, half turn") << -2.0 << std::numbers::pi << 0.0 << QVector3D(1, 1, 0)
                                                << QVector3D(1, -1, 0);
}

void PoseTest::offsetBeforeTransform()
{
    QFETCH(double, offsetX);
    QFETCH(double, angleZ);
    QFETCH(double, moveZ);
    QFETCH(QVector3D, stored);
    QFETCH(QVector3D, expected);
    TP3dBuilder b;
    b.AddPoint(stored.x(), stored.y(), stored.z());
    b.AddSelection("c", {0});
    TModelList models;
    models.push_back(ReadMain(b));
    TP3dModell& m = *models[0];
    TTransform t = RotZ(angleZ);
    t[11] += moveZ;
    m.Selections[0]->ActTransform = t;
    TPoseParams params;
    params.AnimationLoaded = true;
    params.ModelOffset[0] = offsetX;
    const std::vector<TPoseNode> nodes = Nodes(m, {true});
    TPoseCache cache;
    cache.Rebuild(Order(nodes));
    UpdateDisplayPoints(models, nodes, cache, params);
    QVERIFY2(Near(m.DisplayPoints[0], expected.x(), expected.y(), expected.z()), qPrintable(Str(m.DisplayPoints[0])));
}

void PoseTest::offsetRoundedToFloat()
{
    // The offset sum is rounded to float before the transform: 1 + 1e-9 is 1 as a float, so
    // a scale of 1e9 gives exactly 1e9, not 1e9 + 1.
    TTransform scale = TTransform::Identity();
    scale[0] = 1e9;
    TPoseParams params;
    params.ModelOffset[0] = 1e-9;
    const float p[3] = {1, 0, 0};
    const TVec3 q = PosePoint(p, scale, params);
    QCOMPARE(q.x, 1e9);
    QVERIFY(q.x == 1e9);
}

void PoseTest::totalMoveByFrame_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<double>("fraction");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("on");
    QTest::addColumn<double>("z");
    QTest::newRow("first frame") << 0 << 0.0 << 5 << true << 0.0;
    QTest::newRow("last of five") << 4 << 0.0 << 5 << true << 8.0;
    QTest::newRow("switched off") << 4 << 0.0 << 5 << false << 0.0;
    QTest::newRow("half way while playing") << 2 << 0.5 << 5 << true << 5.0;
    QTest::newRow("no frames") << 3 << 0.0 << 0 << true << 0.0;
}

void PoseTest::totalMoveByFrame()
{
    QFETCH(int, step);
    QFETCH(double, fraction);
    QFETCH(int, count);
    QFETCH(bool, on);
    QFETCH(double, z);
    TP3dBuilder b;
    b.AddPoint(1, 2, 3);
    b.AddSelection("c", {0});
    TModelList models;
    models.push_back(ReadMain(b));
    TPoseParams params;
    params.AnimationLoaded = true;
    params.TotalMove = {0, 0, 10};
    params.ActAnimStep = step;
    params.PlayFraction = fraction;
    params.AnimStepCount = count;
    params.TotalMoveOn = on;
    const std::vector<TPoseNode> nodes = Nodes(*models[0], {true});
    UpdateDisplayPoints(models, nodes, TPoseCache(), params);
    QVERIFY2(Near(models[0]->DisplayPoints[0], 1, 2, 3 + z), qPrintable(Str(models[0]->DisplayPoints[0])));
    // The pivot mark and proxies use the same share.
    const float origin[3] = {0, 0, 0};
    QCOMPARE(PosePoint(origin, TTransform::Identity(), params).z, z);
}

void PoseTest::proxyTransformFollowsParent()
{
    TSelection parent;
    parent.ActTransform = RotZ(std::numbers::pi / 2);
    TP3dModell sub(QString(), nullptr, &parent, true);
    sub.ProxyMatrix = TTransform::Translation(1, 2, 3);
    TTransform t = ProxyTransform(sub);
    const TVec3 o = t.Apply({0, 0, 0});
    // Placed first, then turned with the parent about the model origin.
    QVERIFY(std::abs(o.x + 2) < 1e-12 && std::abs(o.y - 1) < 1e-12 && std::abs(o.z - 3) < 1e-12);

    sub.ProxyParent = nullptr;
    QVERIFY(ProxyTransform(sub) == sub.ProxyMatrix);
}

void PoseTest::applyFrameTransforms()
{
    TSelection a, b, lower;
    a.Name = "A";
    b.Name = "B";
    lower.Name = "ghost";
    const std::vector<TSelection*> tree{&lower, &a, &b};
    TAnimDocument doc;
    doc.AnimSelections.Add("A");
    doc.AnimSelections.Add("Ghost");  // not in the tree: the name differs in case
    doc.AnimSelections.Add("B");
    auto matrix = [](float tx) {
        TMatrix12f m = IdentityMatrix12f;
        m[9] = tx;
        return m;
    };
    TAnimFrame f0;
    f0.Entries = {{0, matrix(1)}, {2, matrix(2)}, {0, matrix(3)}};  // the last entry for A counts
    TAnimFrame f1;
    f1.Entries = {{0, matrix(5)}};  // B has no entry
    doc.AnimFrames = {f0, f1};

    QStringList debug;
    SetDebugSink([&](const QString& l) { debug << l; });
    QCOMPARE(ApplyFrameTransforms(doc, 0, tree), TApplyFrameResult::Ok);
    QCOMPARE(a.ActTransform[9], 3.0);
    QCOMPARE(b.ActTransform[9], 2.0);
    QVERIFY(lower.ActTransform == TTransform::Identity());
    QCOMPARE(debug, QStringList{"Ghost not found!"});

    QCOMPARE(ApplyFrameTransforms(doc, 2, tree), TApplyFrameResult::InvalidStep);
    QCOMPARE(ApplyFrameTransforms(doc, -1, tree), TApplyFrameResult::InvalidStep);
    QCOMPARE(a.ActTransform[9], 3.0);

    QCOMPARE(ApplyFrameTransforms(doc, 1, tree), TApplyFrameResult::EntryMissing);
    QCOMPARE(a.ActTransform[9], 5.0);  // before the missing one: already the new frame
    QCOMPARE(b.ActTransform[9], 2.0);  // after it: the old frame
    SetDebugSink({});
}


void PoseTest::posedPointsToTheBit_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<bool>("rigid");        // rotations and moves, else any 12 values
    QTest::addColumn<bool>("offsetAndMove");  // a model offset and a total-move share
    QTest::newRow("rigid") << 11u << true << false;
    QTest::newRow("rigid, offset and total move") << 12u << true << true;
    QTest::newRow("any matrix") << 13u << false << false;
    QTest::newRow("any matrix, offset and total move") << 14u << false << true;
}

// Every display point is, to the bit, the float sum over the animated components holding
// it (in tree order) of TTransform::Apply of its offset point, plus the total-move share,
// divided by their number: points held once, twice and three times, and points held only
// by a component that is not animated.
void PoseTest::posedPointsToTheBit()
{
    QFETCH(quint32, seed);
    QFETCH(bool, rigid);
    QFETCH(bool, offsetAndMove);
    QRandomGenerator rng(seed);
    auto value = [&] { return float((rng.generateDouble() - 0.5) * 20); };

    TP3dBuilder b;
    for (int i = 0; i < 40; ++i)
        b.AddPoint(value(), value(), value());
    auto range = [](int first, int last) {
        std::vector<int> v;
        for (int i = first; i < last; ++i)
            v.push_back(i);
        return v;
    };
    b.AddSelection("A", range(0, 20));
    b.AddSelection("B", range(10, 30));
    b.AddSelection("C", range(15, 35));
    b.AddSelection("D", range(30, 40));  // not animated
    TModelList models;
    models.push_back(ReadMain(b));
    TP3dModell& m = *models[0];
    QCOMPARE(m.Selections.size(), size_t(4));
    for (const auto& sel : m.Selections) {
        TTransform t = TTransform::Identity();
        if (rigid) {
            RotateX(t, rng.generateDouble() * 6);
            RotateY(t, rng.generateDouble() * 6);
            RotateZ(t, rng.generateDouble() * 6);
            t[9] = value();
            t[10] = value();
            t[11] = value();
        } else {
            for (int k = 0; k < 12; ++k)
                t[k] = (rng.generateDouble() - 0.5) * 3;
        }
        sel->ActTransform = t;
    }
    const std::vector<TPoseNode> nodes = Nodes(m, {true, true, true, false});
    TPoseParams params;
    params.AnimationLoaded = true;
    if (offsetAndMove) {
        params.ModelOffset[0] = 0.1;
        params.ModelOffset[1] = -2.345678;
        params.ModelOffset[2] = 1e-3;
        params.TotalMove = {1.5f, -0.25f, 3.f};
        params.ActAnimStep = 2;
        params.PlayFraction = 0.3;
        params.AnimStepCount = 7;
    }
    TPoseCache cache;
    cache.Rebuild(Order(nodes));
    UpdateDisplayPoints(models, nodes, cache, params);

    const TVec3 share = params.TotalMoveShare();
    for (size_t i = 0; i < m.Vertices.size(); ++i) {
        int n = 0;
        for (const TPoseNode& node : nodes)
            n += node.InAnimation && node.Component->VertexMembership[i] != 0;
        float x = 0, y = 0, z = 0;
        for (const TPoseNode& node : nodes) {
            if (!node.InAnimation || node.Component->VertexMembership[i] == 0)
                continue;
            const TP3dVertex& v = m.Vertices[i];
            const TVec3 p{RoundToFloat(v.X + params.ModelOffset[0]), RoundToFloat(v.Y + params.ModelOffset[1]),
                          RoundToFloat(v.Z + params.ModelOffset[2])};
            const TVec3 q = node.Component->ActTransform.Apply(p);
            x = float(x + (q.x + share.x) / n);
            y = float(y + (q.y + share.y) / n);
            z = float(z + (q.z + share.z) / n);
        }
        const TDisplayPoint& d = m.DisplayPoints[i];
        QCOMPARE(d.ShareCount, n);
        QVERIFY2(std::memcmp(&d.X, &x, 4) == 0 && std::memcmp(&d.Y, &y, 4) == 0 && std::memcmp(&d.Z, &z, 4) == 0,
                 qPrintable(QStringLiteral("point %1: %2, expected (%3, %4, %5)").arg(i).arg(Str(d)).arg(x).arg(y).arg(z)));
    }
    // PosePoint is the same sum for a point held once.
    const TVec3 p = PosePoint(m.Vertices[0], m.Selections[0]->ActTransform, params);
    QCOMPARE(float(p.x), m.DisplayPoints[0].X);
    QCOMPARE(float(p.y), m.DisplayPoints[0].Y);
    QCOMPARE(float(p.z), m.DisplayPoints[0].Z);
}

void PoseTest::cacheListsEveryMember_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("membershipSize");  // may disagree with the model
    QTest::addColumn<QByteArray>("pattern");  // repeated over the membership bytes
    QTest::newRow("empty") << 0 << 0 << QByteArray("\x01");
    QTest::newRow("all members, 17") << 17 << 17 << QByteArray("\x01");
    QTest::newRow("none, 64") << 64 << 64 << QByteArray(1, '\0');
    QTest::newRow("every eighth, 33") << 33 << 33 << QByteArray("\x00\x00\x00\x00\x00\x00\x00\x80", 8);
    QTest::newRow("word edges, 40") << 40 << 40 << QByteArray("\xff\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02", 16);
    QTest::newRow("sparse, odd size 1001") << 1001 << 1001 << QByteArray("\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x05", 12);
    QTest::newRow("only the tail, 13") << 13 << 13 << QByteArray("\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x01", 13);
    QTest::newRow("membership longer than the model") << 9 << 24 << QByteArray("\x01\x00\x01", 3);
    QTest::newRow("membership shorter than the model") << 24 << 9 << QByteArray("\x00\x01", 2);
}

// The cache holds exactly the member points and polygons, ascending, whatever their
// pattern and wherever they fall on word boundaries; bytes past the model do not count.
void PoseTest::cacheListsEveryMember()
{
    QFETCH(int, points);
    QFETCH(int, membershipSize);
    QFETCH(QByteArray, pattern);
    TP3dModell m(QString(), nullptr, nullptr, false);
    m.Vertices.resize(size_t(points));
    m.Polygons.resize(size_t(points));
    TSelection s;
    s.Model = &m;
    for (int i = 0; i < membershipSize; ++i) {
        s.VertexMembership.push_back(uint8_t(pattern[i % pattern.size()]));
        s.PolygonMembership.push_back(uint8_t(pattern[(i + 1) % pattern.size()]));
    }
    std::vector<uint32_t> points_, polygons;
    for (int i = 0; i < std::min(points, membershipSize); ++i) {
        if (s.VertexMembership[size_t(i)] != 0)
            points_.push_back(uint32_t(i));
        if (s.PolygonMembership[size_t(i)] != 0)
            polygons.push_back(uint32_t(i));
    }
    TPoseCache cache;
    cache.Rebuild({&s});
    const TPoseCache::TEntry* e = cache.Find(0, &s);
    QVERIFY(e);
    QCOMPARE(e->Points, points_);
    QCOMPARE(e->Polygons, polygons);
}

TORVANE_TEST(PoseTest)
#include "PoseTest.moc"
