#include "platform/DebugOut.h"
#include "pose/Pose.h"
#include "filebuild/P3dBuilder.h"
#include "support/TestMain.h"

#include <QRandomGenerator>
#include <QTest>
#include <QVector3D>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

TModelList MainOnly(const TP3dBuilder& b)
{
    TModelList models;
    models.push_back(std::make_unique<TP3dModell>(QString(), nullptr, nullptr, false));
    models[0]->ReadP3dBytes(b.Build(), false);
    return models;
}

TComponentNodes Nodes(const TP3dModell& m, std::vector<bool> inAnim)
{
    TComponentNodes n;
    for (size_t i = 0; i < m.Selections.size(); ++i)
        n.push_back({m.Selections[i].get(), 0, i < inAnim.size() && inAnim[i]});
    return n;
}

std::vector<TSelection*> Order(const TComponentNodes& nodes)
{
    std::vector<TSelection*> v;
    for (const TComponentNode& n : nodes)
        v.push_back(n.Component);
    return v;
}

void Pose(const TModelList& models, const TComponentNodes& nodes, const TPoseParams& params)
{
    TPoseCache cache;
    cache.Rebuild(Order(nodes));
    UpdateDisplayPoints(models, nodes, cache, params);
}

QVector3D P(const TDisplayPoint& d) { return {d.X, d.Y, d.Z}; }
// To five decimals, for results of turns that are exact only up to rounding.
QVector3D Round5(QVector3D v) { return QVector3D(std::round(v.x() * 1e5f), std::round(v.y() * 1e5f), std::round(v.z() * 1e5f)) / 1e5f; }

}  // namespace

class PoseTest : public QObject {
    Q_OBJECT
private slots:
    void proxyCornersAndEnvironment();
    void posePoint_data();
    void posePoint();
    void proxyTransformFollowsParent();
    void applyFrameTransforms();
    void posedPointsToTheBit_data();
    void posedPointsToTheBit();
    void cacheListsEveryMember_data();
    void cacheListsEveryMember();
};

void PoseTest::proxyCornersAndEnvironment()
{
    TP3dBuilder b, sb;
    b.AddTriangle(0, 0, 0, 1, 0, 0, 0, 1, 0);
    b.AddPoint(4, 4, 4);
    b.AddSelection("body", {0, 1, 2, 3}, {0});
    sb.AddPoint(3, 2, 1);
    TModelList models = MainOnly(b);
    TP3dModell& m = *models[0];
    models.push_back(std::make_unique<TP3dModell>(QString(), m.Selections[0].get(), nullptr, true));
    models[1]->ReadP3dBytes(sb.Build(), false);
    models.push_back(std::make_unique<TP3dModell>(QString()));
    models[2]->ReadP3dBytes(sb.Build(), true);
    models[2]->DisplayPoints[0] = {103, 102, 101, 0};  // environment, placed around the main model
    m.Vertices[1].IsProxyCorner = true;
    m.DisplayPoints[1] = {-7, -7, -7, 0};
    m.Selections[0]->ActTransform = TTransform::Translation(0, 0, 10);
    TPoseParams params;
    Pose(models, Nodes(m, {true}), params);
    QCOMPARE(P(m.DisplayPoints[3]), QVector3D(4, 4, 4));     // stored, no transform
    QCOMPARE(P(m.DisplayPoints[1]), QVector3D(-7, -7, -7));  // proxy corner kept
    QVERIFY(models[1]->DisplayPoints.empty());  // a sub-model is posed where it is drawn
    QCOMPARE(P(models[2]->DisplayPoints[0]), QVector3D(103, 102, 101));

    params.AnimationLoaded = true;
    Pose(models, Nodes(m, {true}), params);
    QCOMPARE(P(m.DisplayPoints[3]), QVector3D(4, 4, 14));
    QCOMPARE(P(m.DisplayPoints[1]), QVector3D(0, 0, 0));  // counted, not posed
    QCOMPARE(m.DisplayPoints[1].ShareCount, 1);
    QCOMPARE(P(models[2]->DisplayPoints[0]), QVector3D(103, 102, 101));
}

void PoseTest::posePoint_data()
{
    QTest::addColumn<QVector3D>("stored");
    QTest::addColumn<double>("offsetX");
    QTest::addColumn<double>("turnZ");  // in half turns
    QTest::addColumn<QPointF>("step");  // frame index and play fraction
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("on");
    QTest::addColumn<QVector3D>("expected");
    QTest::newRow("offset, identity") << QVector3D(2, 3, 4) << 1.0 << 0.0 << QPointF() << 5 << true << QVector3D(3, 3, 4);
    QTest::newRow("offset turns with the point") << QVector3D() << 1.0 << 0.5 << QPointF() << 5 << true << QVector3D(0, 1, 0);
    QTest::newRow("negative offset, half turn") << QVector3D(1, 1, 0) << -2.0 << 1.0 << QPointF() << 5 << true << QVector3D(1, -1, 0);
    // A total move of (0, 0, 10) over the frames.
    QTest::newRow("last of five") << QVector3D(1, 2, 3) << 0.0 << 0.0 << QPointF(4, 0) << 5 << true << QVector3D(1, 2, 11);
    QTest::newRow("switched off") << QVector3D(1, 2, 3) << 0.0 << 0.0 << QPointF(4, 0) << 5 << false << QVector3D(1, 2, 3);
    QTest::newRow("half way while playing") << QVector3D(1, 2, 3) << 0.0 << 0.0 << QPointF(2, 0.5) << 5 << true << QVector3D(1, 2, 8);
    QTest::newRow("no frames") << QVector3D(1, 2, 3) << 0.0 << 0.0 << QPointF(3, 0) << 0 << true << QVector3D(1, 2, 3);
    QTest::newRow("move not turned") << QVector3D(1, 0, 0) << 0.0 << 0.5 << QPointF(4, 0) << 5 << true << QVector3D(0, 1, 8);
}

void PoseTest::posePoint()
{
    QFETCH(QVector3D, stored);
    QFETCH(double, offsetX);
    QFETCH(double, turnZ);
    QFETCH(QPointF, step);
    QFETCH(int, count);
    QFETCH(bool, on);
    QFETCH(QVector3D, expected);
    TPoseParams params{{offsetX, 0, 0}, {0, 0, 10}, int(step.x()), step.y(), count, on, true};
    TTransform t = TTransform::Identity();
    RotateZ(t, turnZ * std::numbers::pi);
    const float p[3] = {stored.x(), stored.y(), stored.z()};
    const TVec3 q = PosePoint(p, t, params);
    QCOMPARE(Round5(QVector3D(q.x, q.y, q.z)), expected);

    // The offset sum is rounded to float before the transform: 1 + 1e-9 is 1 as a float,
    // so a scale of 1e9 gives exactly 1e9, not 1e9 + 1.
    TTransform scale = TTransform::Identity();
    scale[0] = 1e9;
    params = {};
    params.ModelOffset[0] = 1e-9;
    const float one[3] = {1, 0, 0};
    QVERIFY(PosePoint(one, scale, params).x == 1e9);
}

void PoseTest::proxyTransformFollowsParent()
{
    TSelection parent;
    RotateZ(parent.ActTransform, std::numbers::pi / 2);
    TP3dModell sub(QString(), nullptr, &parent, true);
    sub.ProxyMatrix = TTransform::Translation(1, 2, 3);
    const TVec3 o = ProxyTransform(sub).Apply({0, 0, 0});
    // Placed first, then turned with the parent about the model origin.
    QCOMPARE(Round5(QVector3D(o.x, o.y, o.z)), QVector3D(-2, 1, 3));
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
    for (const char* name : {"A", "Ghost", "B"})  // Ghost is not in the tree: the case differs
        doc.AnimSelections.Add(name);
    auto matrix = [](float tx) {
        TMatrix12f m = IdentityMatrix12f;
        m[9] = tx;
        return m;
    };
    TAnimFrame f0, f1;
    f0.Entries = {{0, matrix(1)}, {2, matrix(2)}, {0, matrix(3)}};  // the last entry for A counts
    f1.Entries = {{0, matrix(5)}};                                  // B has no entry
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
    QTest::addColumn<bool>("offsetAndMove");  // a model offset and a total-move share
    QTest::newRow("plain") << 13u << false;
    QTest::newRow("offset and total move") << 14u << true;
    QTest::newRow("offset and total move, other values") << 15u << true;
}

// Every display point is, to the bit, the float sum over the animated components holding
// it (in tree order) of TTransform::Apply of its offset point, plus the total-move share,
// divided by their number: points held once, twice and three times, and points held only
// by a component that is not animated (which stay at the origin).
void PoseTest::posedPointsToTheBit()
{
    QFETCH(quint32, seed);
    QFETCH(bool, offsetAndMove);
    QRandomGenerator rng(seed);
    auto value = [&] { return float((rng.generateDouble() - 0.5) * 20); };
    TP3dBuilder b;
    for (int i = 0; i < 40; ++i)
        b.AddPoint(value(), value(), value());
    for (auto [first, last] : {std::pair(0, 20), {10, 30}, {15, 35}, {30, 40}}) {  // the last one not animated
        std::vector<int> v;
        for (int i = first; i < last; ++i)
            v.push_back(i);
        b.AddSelection(QByteArray::number(first), v);
    }
    TModelList models = MainOnly(b);
    TP3dModell& m = *models[0];
    for (const auto& sel : m.Selections)
        for (int k = 0; k < 12; ++k)
            sel->ActTransform[k] = (rng.generateDouble() - 0.5) * 3;
    const TComponentNodes nodes = Nodes(m, {true, true, true, false});
    TPoseParams params;
    if (offsetAndMove)
        params = {{0.1, -2.345678, 1e-3}, {1.5f, -0.25f, 3.f}, 2, 0.3, 7, true, true};
    params.AnimationLoaded = true;
    const TVec3 share = params.TotalMoveShare();
    std::vector<TDisplayPoint> want(m.Vertices.size());
    for (size_t i = 0; i < want.size(); ++i) {
        TDisplayPoint& w = want[i];
        for (const TComponentNode& node : nodes)
            w.ShareCount += node.InAnimation && node.Component->VertexMembership[i] != 0;
        const TP3dVertex& v = m.Vertices[i];
        const TVec3 p{RoundToFloat(v.X + params.ModelOffset[0]), RoundToFloat(v.Y + params.ModelOffset[1]),
                      RoundToFloat(v.Z + params.ModelOffset[2])};
        for (const TComponentNode& node : nodes) {
            if (!node.InAnimation || node.Component->VertexMembership[i] == 0)
                continue;
            const TVec3 q = node.Component->ActTransform.Apply(p);
            w.X = float(w.X + (q.x + share.x) / w.ShareCount);
            w.Y = float(w.Y + (q.y + share.y) / w.ShareCount);
            w.Z = float(w.Z + (q.z + share.z) / w.ShareCount);
        }
    }
    // The same answer from a fitting cache, from none, and from one built for another tree.
    TPoseCache fitting, none, stale;
    fitting.Rebuild(Order(nodes));
    stale.Rebuild({m.Selections[2].get(), m.Selections[0].get()});
    for (const TPoseCache* cache : {&fitting, &none, &stale}) {
        for (TDisplayPoint& d : m.DisplayPoints)
            d = {99, 99, 99, 0};  // leftovers of an earlier refresh
        UpdateDisplayPoints(models, nodes, *cache, params);
        for (size_t i = 0; i < want.size(); ++i) {
            const TDisplayPoint &d = m.DisplayPoints[i], &w = want[i];
            QVERIFY2(std::memcmp(&d, &w, sizeof d) == 0,
                     qPrintable(QString("point %1: (%2, %3, %4) held %5 times, expected (%6, %7, %8) held %9")
                                    .arg(i).arg(d.X).arg(d.Y).arg(d.Z).arg(d.ShareCount).arg(w.X).arg(w.Y).arg(w.Z)
                                    .arg(w.ShareCount)));
        }
    }
}

void PoseTest::cacheListsEveryMember_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("membershipSize");  // may disagree with the model
    QTest::addColumn<QByteArray>("pattern");  // repeated over the membership bytes
    QTest::newRow("empty") << 0 << 0 << QByteArray("\x01");
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
    std::vector<uint32_t> members, polygons;
    for (int i = 0; i < membershipSize; ++i) {
        s.VertexMembership.push_back(uint8_t(pattern[i % pattern.size()]));
        s.PolygonMembership.push_back(uint8_t(pattern[(i + 1) % pattern.size()]));
        if (i < points && s.VertexMembership.back() != 0)
            members.push_back(uint32_t(i));
        if (i < points && s.PolygonMembership.back() != 0)
            polygons.push_back(uint32_t(i));
    }
    TPoseCache cache;
    cache.Rebuild({&s});
    const TPoseCache::TEntry* e = cache.Find(0, &s);
    QVERIFY(e);
    QCOMPARE(e->Points, members);
    QCOMPARE(e->Polygons, polygons);
}

TORVANE_TEST(PoseTest)
#include "PoseTest.moc"
