#include "PoseFixture.h"
#include "platform/DebugOut.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTest>
#include <cstring>
#include <numbers>
#include <numeric>

namespace {
// An entry for this name that moves by tx along x.
TAnimEntry Moved(int name, float tx)
{
    TMatrix12f m = IdentityMatrix12f;
    m[9] = tx;
    return TAnimEntry{name, m};
}
}  // namespace

class PoseTest : public QObject {
    Q_OBJECT
private slots:
    // A stored point posed: the offset turns with it, the share of the total move is added after.
    void posePoint_data() { QVERIFY(AddTableRows("pose/pose-point.table")); }
    void posePoint()
    {
        QFETCH(QList<float>, stored);
        QFETCH(double, offsetX);
        QFETCH(double, turnZ);
        QFETCH(int, frame);
        QFETCH(double, fraction);
        QFETCH(int, count);
        QFETCH(bool, on);
        QFETCH(QList<float>, expected);
        TPoseParams params{{offsetX, 0, 0}, {0, 0, 10}, frame, fraction, count, on, true};
        TTransform t = TTransform::Identity();
        RotateZ(t, turnZ * std::numbers::pi);
        QCOMPARE(Round5(Q(PosePoint(stored.constData(), t, params))), V3(expected));
    }

    // The last entry for a name counts; a name the tree lacks is reported, a step outside the
    // animation refused, and a component without an entry stops the frame part-way.
    void applyFrameTransforms()
    {
        TSelection a, b, lower, again;
        a.Name = again.Name = "A";  // the first of two in tree order is animated
        b.Name = "B";
        lower.Name = "ghost";
        TAnimDocument doc;
        for (const char* name : {"A", "Ghost", "B"})  // Ghost is not in the tree: the case differs
            doc.AnimSelections.Add(name);
        doc.AnimFrames.Reset(3);
        doc.AnimFrames.Append(0, std::vector{Moved(0, 1), Moved(2, 2), Moved(0, 3)});  // the last entry for A counts
        doc.AnimFrames.Append(1, std::vector{Moved(0, 4), Moved(1, 9), Moved(0, 5)});  // B has no entry
        const std::vector<const TSelection*> tree{&lower, &a, &b, &again};
        TPose pose(tree);
        QStringList debug;
        SetDebugSink([&](const QString& l) { debug << l; });
        const auto unhook = qScopeGuard([] { SetDebugSink({}); });  // also when a check fails
        QCOMPARE(ApplyFrameTransforms(doc, 0, tree, pose), TApplyFrameResult::Ok);
        QCOMPARE(QList<double>({pose.Act(&a)[9], pose.Act(&b)[9]}), QList<double>({3, 2}));
        QVERIFY(pose.Act(&lower) == TTransform::Identity() && pose.Act(&again) == TTransform::Identity());
        QCOMPARE(debug, QStringList{"Ghost not found!"});
        QCOMPARE(ApplyFrameTransforms(doc, 2, tree, pose), TApplyFrameResult::InvalidStep);
        QCOMPARE(ApplyFrameTransforms(doc, -1, tree, pose), TApplyFrameResult::InvalidStep);
        QCOMPARE(pose.Act(&a)[9], 3.0);
        QCOMPARE(ApplyFrameTransforms(doc, 1, tree, pose), TApplyFrameResult::EntryMissing);
        // Before the missing one: already the new frame; after it: the old frame.
        QCOMPARE(QList<double>({pose.Act(&a)[9], pose.Act(&b)[9]}), QList<double>({5, 2}));
    }

    // Playback pairs a name's first entry in a frame with the entry at the same place in
    // the next frame, whatever name that one has; a name without an entry stops the blend
    // there.
    void applyBlendTransforms()
    {
        TSelection a, b;
        a.Name = "A";
        b.Name = "B";
        TAnimDocument doc;
        doc.AnimSelections.Add("A");
        doc.AnimSelections.Add("B");
        doc.AnimFrames.Reset(2);
        doc.AnimFrames.Append(0, std::vector{Moved(1, 10), Moved(0, 20)});
        doc.AnimFrames.Append(0.3f, std::vector{Moved(0, 30), Moved(1, 40)});
        doc.AnimFrames.Append(0.6f, std::vector{Moved(0, 50), Moved(0, 60)});  // no B
        doc.AnimFrames.Append(1, std::vector{Moved(1, 70), Moved(0, 80)});
        const std::vector<const TSelection*> tree{&a, &b};
        TPose pose(tree);
        QCOMPARE(ApplyBlendTransforms(doc, 0, 0.25, tree, pose), TApplyFrameResult::Ok);
        // A: place 1 (20) towards the next frame's place 1 (40); B: place 0 (10) towards 30.
        QCOMPARE(QList<double>({pose.Act(&a)[9], pose.Act(&b)[9]}), QList<double>({25, 15}));
        QCOMPARE(ApplyBlendTransforms(doc, 2, 0.5, tree, pose), TApplyFrameResult::EntryMissing);
        QCOMPARE(QList<double>({pose.Act(&a)[9], pose.Act(&b)[9]}), QList<double>({60, 15}));  // A blended, B left
        QCOMPARE(ApplyBlendTransforms(doc, 3, 0.5, tree, pose), TApplyFrameResult::InvalidStep);
    }

    void displayPointsToTheBit_data() { QVERIFY(AddTableRows("pose/display-points.table")); }
    // With an animation, every display point is, to the bit, the float sum over the
    // animated components holding it (in tree order) of PosePoint, divided by their number:
    // points held once, twice and three times, and points held only by a component that is
    // not animated (which stay at the origin). A proxy corner is counted but not posed. The
    // member lists cross word boundaries and end in a tail, as the cache scans them.
    // Without one, the stored points show and proxy corners keep their values. Sub-models
    // are posed where they are drawn; the environment is left alone.
    void displayPointsToTheBit()
    {
        QFETCH(int, seed);
        QFETCH(bool, loaded);
        QFETCH(bool, offsetAndMove);
        QRandomGenerator rng{quint32(seed)};
        auto value = [&] { return float((rng.generateDouble() - 0.5) * 20); };
        TP3dBuilder b, other;
        for (int i = 0; i < 43; ++i)
            b.AddPoint(value(), value(), value());
        for (auto [first, last] : {std::pair(0, 20), {10, 30}, {15, 43}, {30, 40}}) {  // the last one not animated
            std::vector<int> v(size_t(last - first));
            std::iota(v.begin(), v.end(), first);
            b.AddSelection(QByteArray::number(first), v);
        }
        other.AddPoint(3, 2, 1);
        TModelList models = MainOnly(b);
        TP3dModell& m = *models[0];
        // Membership bytes past the model do not count, missing ones count as zero.
        TMembership longer(50, 1);
        std::copy(m.Selections[0]->VertexMembership.begin(), m.Selections[0]->VertexMembership.end(), longer.begin());
        m.Selections[0]->VertexMembership = longer;
        m.Selections[2]->VertexMembership.erase(m.Selections[2]->VertexMembership.begin() + 41,
                                                m.Selections[2]->VertexMembership.end());
        m.Vertices[12].IsProxyCorner = true;
        models.push_back(std::make_unique<TP3dModell>(QString(), m.Selections[0].get(), nullptr, true));
        models[1]->ReadP3dBytes(other.Build(), false);
        models.push_back(ReadModel(other, true));
        models[2]->DisplayPoints[0] = {103, 102, 101, 0};  // environment, placed around the main model
        TPose pose(TreeOf(m));
        for (int c = 0; c < pose.Count(); ++c)
            for (int k = 0; k < 12; ++k)
                pose[c].Act[k] = (rng.generateDouble() - 0.5) * 3;
        TPoseParams params;
        if (offsetAndMove)
            params = {{0.1, -2.345678, 1e-3}, {1.5f, -0.25f, 3.f}, 2, 0.3, 7, true, true};
        params.AnimationLoaded = loaded;
        constexpr TDisplayPoint leftover{99, 99, 99, 0};  // of an earlier refresh
        // The same answer from a fitting cache (again, and with another component animated:
        // from what it kept of the last posing), from none, and from one built for another tree.
        TPoseCache fitting, none, stale;
        fitting.Rebuild(TreeOf(m));
        stale.Rebuild({m.Selections[2].get(), m.Selections[0].get()});
        const std::vector<bool> usual{true, true, true, false}, swapped{true, false, true, true};
        const std::pair<TPoseCache*, std::vector<bool>> runs[] = {
            {&fitting, usual}, {&fitting, usual}, {&fitting, swapped}, {&none, usual}, {&stale, usual}};
        for (const auto& [cache, animated] : runs) {
            const TComponentNodes nodes = NodesOf(m, animated);
            std::vector<TDisplayPoint> want(m.Vertices.size());
            for (size_t i = 0; i < want.size(); ++i) {
                TDisplayPoint& w = want[i];
                const TP3dVertex& v = m.Vertices[i];
                if (!loaded) {
                    w = v.IsProxyCorner ? leftover : TDisplayPoint{v.X, v.Y, v.Z, 0};
                    continue;
                }
                const auto holds = [i](const TComponentNode& n) {
                    return n.InAnimation && i < n.Component->VertexMembership.size() && n.Component->VertexMembership[i] != 0;
                };
                w.ShareCount = int(std::count_if(nodes.begin(), nodes.end(), holds));
                for (const TComponentNode& node : nodes) {
                    if (!holds(node) || v.IsProxyCorner)
                        continue;
                    const TVec3 q = PosePoint(v, pose.Act(node.Component), params);
                    w.X = float(w.X + q.x / w.ShareCount);
                    w.Y = float(w.Y + q.y / w.ShareCount);
                    w.Z = float(w.Z + q.z / w.ShareCount);
                }
            }
            std::fill(m.DisplayPoints.begin(), m.DisplayPoints.end(), leftover);
            UpdateDisplayPoints(models, nodes, *cache, pose, params);
            for (size_t i = 0; i < want.size(); ++i) {
                const TDisplayPoint &d = m.DisplayPoints[i], &w = want[i];
                QVERIFY2(std::memcmp(&d, &w, sizeof d) == 0, qPrintable(QString("point %1").arg(i)));
            }
            QVERIFY(models[1]->DisplayPoints.empty());
            const TDisplayPoint& e = models[2]->DisplayPoints[0];
            QCOMPARE(QVector3D(e.X, e.Y, e.Z), QVector3D(103, 102, 101));
        }
    }
};

TORVANE_TEST(PoseTest)
#include "PoseTest.moc"
