#include "pose/EditMath.h"
#include "pose/Pose.h"
#include "support/TestMain.h"

#include <QTest>
#include <QVector3D>
#include <cmath>
#include <cstring>
#include <deque>

namespace {

// A tree of components named by letters, each with a pivot, given as (name, level) in tree
// order; all are animated unless listed in `notAnimated`.
struct TScene {
    std::deque<TSelection> Components;
    TEditTree Tree;
    TAnimDocument Doc;

    TSelection& Add(const QString& name, int level, QVector3D pivot = {}, bool animated = true)
    {
        TSelection& c = Components.emplace_back();
        c.Name = name;
        c.Pivot[0] = pivot.x();
        c.Pivot[1] = pivot.y();
        c.Pivot[2] = pivot.z();
        Tree.Nodes.push_back({&c, level, animated});
        return c;
    }

    // One frame with an entry per animated component, holding `base` (or identity).
    void MakeFrame(const std::vector<TMatrix12f>& bases = {})
    {
        TAnimFrame f;
        int k = 0;
        for (const TEditNode& n : Tree.Nodes) {
            if (!n.InAnimation)
                continue;
            const int slot = Doc.AnimSelections.Add(n.Component->Name);
            f.Entries.push_back({slot, k < int(bases.size()) ? bases[size_t(k)] : IdentityMatrix12f});
            ++k;
        }
        Doc.AnimFrames.push_back(f);
        ResetAllRelChanges(Tree, Doc, 0);
        for (const TEditNode& n : Tree.Nodes)
            n.Component->ActTransform = n.Component->BaseTransform;
    }

    void Tick(bool rotate, double x, double y, double z, int ticks, const double offset[3], bool relative)
    {
        for (int i = 0; i < ticks; ++i) {
            EditTick(Tree, rotate, x, y, z);
            ApplyEditChanges(Tree, offset, relative);
        }
    }
};

const double NoOffset[3] = {0, 0, 0};

bool Near(const TVec3& a, const TVec3& b, double eps = 1e-9)
{
    return std::abs(a.x - b.x) <= eps && std::abs(a.y - b.y) <= eps && std::abs(a.z - b.z) <= eps;
}

QString Str(const TVec3& v) { return QString("(%1, %2, %3)").arg(v.x).arg(v.y).arg(v.z); }

TVec3 V(QVector3D v) { return {v.x(), v.y(), v.z()}; }

// Row vector times a rotation about Z by a.
TVec3 TurnZ(const TVec3& p, double a)
{
    const double c = std::cos(a), s = std::sin(a);
    return {p.x * c - p.y * s, p.x * s + p.y * c, p.z};
}

TVec3 Add(const TVec3& a, const TVec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
TVec3 Sub(const TVec3& a, const TVec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

}  // namespace

class EditMathTest : public QObject {
    Q_OBJECT
private slots:
    void beingEdited_data();
    void beingEdited();
    void ticksFollowTheCubeLaw_data();
    void ticksFollowTheCubeLaw();
    void relativeAndAbsolute_data();
    void relativeAndAbsolute();
    void subtreeMovesTwice_data();
    void subtreeMovesTwice();
    void laterSelectionDecides();
    void unanimatedSelectionTurnsItsChildren();
    void restoreIsExact();
    void cancelLeavesFrameBitForBit();
    void applyWritesFloatsAndStopsAtUnknownName();
    void resetRelChangesAndResetFrame();
};

void EditMathTest::beingEdited_data()
{
    // Tree: A(0) B(1) C(2) D(1) E(0)
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QString>("flags");
    QTest::newRow("nothing") << QList<int>{} << "00000";
    QTest::newRow("middle node with child") << QList<int>{1} << "01100";
    QTest::newRow("root") << QList<int>{0} << "11110";
    QTest::newRow("leaf and other root") << QList<int>{2, 4} << "00101";
    QTest::newRow("sibling after subtree") << QList<int>{3} << "00010";
}

void EditMathTest::beingEdited()
{
    QFETCH(QList<int>, selected);
    QFETCH(QString, flags);
    TScene s;
    for (auto [n, l] : std::initializer_list<std::pair<const char*, int>>{{"A", 0}, {"B", 1}, {"C", 2}, {"D", 1}, {"E", 0}})
        s.Add(n, l);
    s.Tree.Selected.assign(selected.begin(), selected.end());
    const std::vector<bool> f = BeingEditedFlags(s.Tree);
    QString got;
    for (size_t i = 0; i < f.size(); ++i) {
        got += f[i] ? '1' : '0';
        QCOMPARE(IsBeingEdited(s.Tree, &s.Components[i]), bool(f[i]));
    }
    QCOMPARE(got, flags);
}

void EditMathTest::ticksFollowTheCubeLaw_data()
{
    QTest::addColumn<QVector3D>("slider");
    QTest::addColumn<bool>("rotate");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QVector3D>("rot");
    QTest::addColumn<QVector3D>("move");
    QTest::newRow("full deflection turns 0.1") << QVector3D(0, 0, 10) << true << 1 << QVector3D(0, 0, 0.1f) << QVector3D();
    QTest::newRow("cube keeps the sign") << QVector3D(-2, 0, 0) << true << 1 << QVector3D(-0.0008f, 0, 0) << QVector3D();
    QTest::newRow("deflection 1") << QVector3D(0, 1, 0) << true << 2 << QVector3D(0, 0.0002f, 0) << QVector3D();
    QTest::newRow("move is linear") << QVector3D(-10, 0, 0) << false << 3 << QVector3D() << QVector3D(-0.03f, 0, 0);
    QTest::newRow("move all axes") << QVector3D(1, 2, -5) << false << 1 << QVector3D() << QVector3D(0.001f, 0.002f, -0.005f);
    QTest::newRow("0.0005 counts as centred") << QVector3D(0.0005f, -0.0005f, 0) << true << 4 << QVector3D() << QVector3D();
}

void EditMathTest::ticksFollowTheCubeLaw()
{
    QFETCH(QVector3D, slider);
    QFETCH(bool, rotate);
    QFETCH(int, ticks);
    QFETCH(QVector3D, rot);
    QFETCH(QVector3D, move);
    TScene s;
    TSelection& edited = s.Add("E", 0);
    TSelection& child = s.Add("C", 1, {}, false);  // not animated: still accumulates
    TSelection& other = s.Add("O", 0);
    s.Tree.Selected = {0};
    const bool centred = SlidersCentred(slider.x(), slider.y(), slider.z());
    for (int i = 0; i < ticks; ++i)
        QCOMPARE(EditTick(s.Tree, rotate, slider.x(), slider.y(), slider.z()), !centred);
    for (const TSelection* c : {&edited, &child}) {
        QVERIFY2(Near({c->EditRot[0], c->EditRot[1], c->EditRot[2]}, V(rot), 1e-7),
                 qPrintable(Str({c->EditRot[0], c->EditRot[1], c->EditRot[2]})));
        QVERIFY(Near({c->EditMove[0], c->EditMove[1], c->EditMove[2]}, V(move), 1e-7));
    }
    QVERIFY(Near({other.EditRot[0], other.EditRot[1], other.EditRot[2]}, {}, 0));
    QVERIFY(Near({other.EditMove[0], other.EditMove[1], other.EditMove[2]}, {}, 0));
}

void EditMathTest::relativeAndAbsolute_data()
{
    QTest::addColumn<bool>("relative");
    QTest::addColumn<double>("offsetY");
    QTest::addColumn<QVector3D>("pivotAfter");
    QTest::addColumn<QVector3D>("pointAfter");  // image of the stored point (1, 1, 0)
    const double c = std::cos(0.1), s = std::sin(0.1);
    QTest::newRow("relative: about the pivot") << true << 0.0 << QVector3D(0, 1, 0) << QVector3D(c, 1 + s, 0);
    QTest::newRow("absolute: about the origin") << false << 0.0 << QVector3D(-s, c, 0) << QVector3D(c - s, s + c, 0);
    // The offset moves the pivot to the origin of the posed space.
    QTest::newRow("relative with offset") << true << -1.0 << QVector3D(0, 0, 0) << QVector3D(c, s, 0);
}

void EditMathTest::relativeAndAbsolute()
{
    QFETCH(bool, relative);
    QFETCH(double, offsetY);
    QFETCH(QVector3D, pivotAfter);
    QFETCH(QVector3D, pointAfter);
    TScene s;
    TSelection& c = s.Add("C", 0, {0, 1, 0});
    s.MakeFrame();
    s.Tree.Selected = {0};
    const double offset[3] = {0, offsetY, 0};
    s.Tick(true, 0, 0, 10, 1, offset, relative);

    TPoseParams params;
    params.ModelOffset[1] = offsetY;
    const TVec3 pivot = PosePoint(c.Pivot, c.ActTransform, params);
    const float p[3] = {1, 1, 0};
    const TVec3 point = PosePoint(p, c.ActTransform, params);
    QVERIFY2(Near(pivot, V(pivotAfter), 1e-6), qPrintable(Str(pivot)));
    QVERIFY2(Near(point, V(pointAfter), 1e-6), qPrintable(Str(point)));
}

void EditMathTest::subtreeMovesTwice_data()
{
    QTest::addColumn<double>("angle");
    QTest::addColumn<QVector3D>("move");
    QTest::newRow("rotate and move") << 0.3 << QVector3D(0.5f, -0.25f, 0);
    QTest::newRow("rotate only") << 0.3 << QVector3D();
    QTest::newRow("move only") << 0.0 << QVector3D(0.5f, -0.25f, 0.125f);
}

void EditMathTest::subtreeMovesTwice()
{
    QFETCH(double, angle);
    QFETCH(QVector3D, move);
    TScene s;
    TSelection& sc = s.Add("S", 0, {1, 2, 0});
    TSelection& child = s.Add("C", 1, {5, 5, 5});
    s.MakeFrame();
    s.Tree.Selected = {0};
    for (TSelection* c : {&sc, &child}) {
        c->EditRot[2] = angle;
        c->EditMove[0] = move.x();
        c->EditMove[1] = move.y();
        c->EditMove[2] = move.z();
    }
    ApplyEditChanges(s.Tree, NoOffset, true);

    const TVec3 q{1, 2, 0}, m = V(move), x{3, -1, 2};
    // S: (x - q) R + m + q; below S: (x - q - m) R + 2m + q.
    const TVec3 wantS = Add(Add(TurnZ(Sub(x, q), angle), m), q);
    const TVec3 wantC = Add(Add(TurnZ(Sub(Sub(x, q), m), angle), Add(m, m)), q);
    QVERIFY2(Near(sc.ActTransform.Apply(x), wantS), qPrintable(Str(sc.ActTransform.Apply(x))));
    QVERIFY2(Near(child.ActTransform.Apply(x), wantC), qPrintable(Str(child.ActTransform.Apply(x))));
    if (angle == 0 || (m.x == 0 && m.y == 0 && m.z == 0))  // the subtree stays together
        QVERIFY(Near(child.ActTransform.Apply(x), sc.ActTransform.Apply(x)));
}

void EditMathTest::laterSelectionDecides()
{
    // A node and its child both selected: the child is computed twice per tick, and the
    // pass of the later selection decides about which pivot it turned.
    for (const bool childLast : {false, true}) {
        TScene s;
        s.Add("S", 0, {0, 10, 0});
        TSelection& child = s.Add("C", 1, {0, 0, 0});
        s.MakeFrame();
        s.Tree.Selected = childLast ? std::vector<int>{0, 1} : std::vector<int>{1, 0};
        s.Tick(true, 0, 0, 10, 1, NoOffset, true);
        const TVec3 img = child.ActTransform.Apply({0, 0, 0});
        // Its own pivot stays put; about S's pivot the origin swings away.
        QCOMPARE(Near(img, {0, 0, 0}), childLast);
    }
}

void EditMathTest::unanimatedSelectionTurnsItsChildren()
{
    TScene s;
    TSelection& parent = s.Add("P", 0, {0, 1, 0}, false);
    TSelection& child = s.Add("C", 1);
    s.MakeFrame();
    parent.ActTransform = TTransform::Translation(7, 0, 0);
    s.Tree.Selected = {0};
    s.Tick(true, 0, 0, 10, 1, NoOffset, true);
    QVERIFY(parent.ActTransform == TTransform::Translation(7, 0, 0));
    // The child turns about the parent's pivot where the parent's transform puts it: (7, 1, 0).
    QVERIFY(Near(child.ActTransform.Apply({7, 1, 0}), {7, 1, 0}));
    QVERIFY(!Near(child.ActTransform.Apply({0, 0, 0}), {0, 0, 0}, 1e-3));
}

void EditMathTest::restoreIsExact()
{
    TScene s;
    // Far from the pivot, subtracting and adding back the pivot would round the base.
    TSelection& a = s.Add("A", 0, {3e7f, 1, 0});
    TSelection& b = s.Add("B", 1);
    TSelection& other = s.Add("O", 0);
    TMatrix12f base = IdentityMatrix12f;
    base[9] = 0.1f;
    base[10] = -2.7f;
    base[0] = 0.8f;
    s.MakeFrame({base, base, base});
    s.Tree.Selected = {2};
    s.Tick(false, 3, 0, 0, 2, NoOffset, true);
    const TTransform otherEdited = other.ActTransform;
    QVERIFY(!(otherEdited == Widen(base)));

    s.Tree.Selected = {0};
    s.Tick(true, 4, -7, 2, 5, NoOffset, true);
    s.Tick(false, 1, 1, 1, 3, NoOffset, false);
    QVERIFY(!(a.ActTransform == Widen(base)));

    // "Restore": only the components edited now come back; the one edited earlier keeps
    // its transform.
    QCOMPARE(ResetAllRelChanges(s.Tree, s.Doc, 0), 0);
    ApplyEditChanges(s.Tree, NoOffset, true);
    QVERIFY(a.ActTransform == Widen(base));
    QVERIFY(b.ActTransform == Widen(base));
    QVERIFY(other.ActTransform == otherEdited);
}

void EditMathTest::cancelLeavesFrameBitForBit()
{
    TScene s;
    s.Add("A", 0, {1, 2, 3});
    s.Add("B", 1);
    TMatrix12f m1 = IdentityMatrix12f, m2 = IdentityMatrix12f;
    m1[4] = 0.3333333f;
    m1[11] = 1e-7f;
    m2[9] = -0.0f;
    m2[10] = 12345.678f;
    s.MakeFrame({m1, m2});
    const TAnimDocument before = s.Doc;
    s.Tree.Selected = {0};
    s.Tick(true, 10, 10, 10, 4, NoOffset, true);
    s.Tick(false, -10, 3, 0, 4, NoOffset, false);
    // Cancel: nothing was written; loading the frame again gives the stored transforms.
    const auto& e0 = before.AnimFrames[0].Entries;
    const auto& e1 = s.Doc.AnimFrames[0].Entries;
    QCOMPARE(e1.size(), e0.size());
    for (size_t i = 0; i < e0.size(); ++i)
        QVERIFY(std::memcmp(e0[i].Matrix.data(), e1[i].Matrix.data(), sizeof(TMatrix12f)) == 0);
    QCOMPARE(ApplyFrameTransforms(s.Doc, 0, {s.Tree.Nodes[0].Component, s.Tree.Nodes[1].Component}),
             TApplyFrameResult::Ok);
    QVERIFY(s.Tree.Nodes[0].Component->ActTransform == Widen(m1));
    QVERIFY(s.Tree.Nodes[1].Component->ActTransform == Widen(m2));
}

void EditMathTest::applyWritesFloatsAndStopsAtUnknownName()
{
    TScene s;
    TSelection& a = s.Add("A", 0);
    TSelection& b = s.Add("B", 0);
    TMatrix12f kept = IdentityMatrix12f;
    kept[9] = 0.1f;
    s.MakeFrame({IdentityMatrix12f, kept});
    s.Tree.Selected = {0};
    s.Tick(false, 7, 0, 0, 1, NoOffset, true);
    QVERIFY(WriteEditToFrame(s.Tree, s.Doc, 0));
    const auto& entries = s.Doc.AnimFrames[0].Entries;
    QCOMPARE(entries[0].Matrix, Narrow(a.ActTransform));
    QCOMPARE(entries[0].Matrix[9], 0.007f);
    QCOMPARE(entries[1].Matrix, kept);  // not edited: written back unchanged
    QCOMPARE(b.ActTransform[9], double(0.1f));

    // An entry naming a component that is not in the tree stops the write there.
    const int ghost = s.Doc.AnimSelections.Add("Ghost");
    s.Doc.AnimFrames[0].Entries.insert(s.Doc.AnimFrames[0].Entries.begin() + 1, TAnimEntry{ghost, IdentityMatrix12f});
    s.Tick(false, 7, 0, 0, 1, NoOffset, true);
    b.ActTransform = TTransform::Translation(9, 9, 9);
    QVERIFY(!WriteEditToFrame(s.Tree, s.Doc, 0));
    QCOMPARE(s.Doc.AnimFrames[0].Entries[0].Matrix[9], 0.014f);
    QCOMPARE(s.Doc.AnimFrames[0].Entries[2].Matrix, kept);
}

void EditMathTest::resetRelChangesAndResetFrame()
{
    TScene s;
    TSelection& a = s.Add("A", 0);
    TSelection& off = s.Add("N", 0, {}, false);
    s.MakeFrame();
    TSelection missing;
    missing.Name = "a";  // names match exactly, not by letter case
    missing.BaseTransform = TTransform::Translation(1, 2, 3);
    missing.EditRot[1] = 5;
    QVERIFY(!ResetRelChanges(missing, true, s.Doc, 0));
    QVERIFY(missing.BaseTransform == TTransform::Translation(1, 2, 3));
    QCOMPARE(missing.EditRot[1], 0.0);
    QVERIFY(!ResetRelChanges(missing, true, s.Doc, 5));  // no such frame
    off.EditMove[0] = 1;
    QVERIFY(ResetRelChanges(off, false, s.Doc, 0));
    QCOMPARE(off.EditMove[0], 0.0);

    s.Doc.AnimFrames[0].Entries[0].Matrix[9] = 4;
    QVERIFY(ResetRelChanges(a, true, s.Doc, 0));
    QCOMPARE(a.BaseTransform[9], 4.0);

    QVERIFY(ResetFrameMatrices(s.Doc, 0));
    QCOMPARE(s.Doc.AnimFrames[0].Entries[0].Matrix, IdentityMatrix12f);
    TAnimDocument empty;
    QVERIFY(!ResetFrameMatrices(empty, 0));
    QCOMPARE(QString(EditModeRefusal(0, 3)), QString(EditText::NothingToEdit));
    QCOMPARE(QString(EditModeRefusal(2, 0)), QString(EditText::NoComponents));
    QVERIFY(EditModeRefusal(2, 3) == nullptr);
}

TORVANE_TEST(EditMathTest)
#include "EditMathTest.moc"
