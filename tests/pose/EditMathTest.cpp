#include "pose/EditMath.h"
#include "support/TestMain.h"

#include <QTest>
#include <QVector3D>
#include <cmath>
#include <deque>

namespace {

// Components named by letters in tree order, at rest as an identity frame loads them;
// each node is animated unless said otherwise.
struct TScene {
    std::deque<TSelection> Components;
    TEditTree Tree;

    TSelection& Add(const QString& name, int level, QVector3D pivot = {}, bool animated = true)
    {
        TSelection& c = Components.emplace_back();
        c.Name = name;
        c.BaseTransform = TTransform::Identity();
        for (int i = 0; i < 3; ++i)
            c.Pivot[i] = pivot[i];
        Tree.Nodes.push_back({&c, level, animated});
        return c;
    }

    // One full-deflection tick turning about Z by 0.1, relative to the pivot.
    void TurnTick()
    {
        EditTick(Tree, true, 0, 0, 10);
        ApplyEditChanges(Tree, std::array<double, 3>{}.data(), true);
    }
};

bool Near(const TVec3& a, const TVec3& b, double eps = 1e-9)
{
    return std::abs(a.x - b.x) <= eps && std::abs(a.y - b.y) <= eps && std::abs(a.z - b.z) <= eps;
}

QByteArray Str(const TVec3& v) { return QString("(%1, %2, %3)").arg(v.x).arg(v.y).arg(v.z).toUtf8(); }
TVec3 V(QVector3D v) { return {v.x(), v.y(), v.z()}; }
TVec3 V(const double* v) { return {v[0], v[1], v[2]}; }
TVec3 Add(const TVec3& a, const TVec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
TVec3 Sub(const TVec3& a, const TVec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

// Row vector times a rotation about Z by a.
TVec3 TurnZ(const TVec3& p, double a) { return {p.x * std::cos(a) - p.y * std::sin(a), p.x * std::sin(a) + p.y * std::cos(a), p.z}; }

}  // namespace

class EditMathTest : public QObject {
    Q_OBJECT
private slots:
    void beingEdited_data()
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
    void beingEdited()
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

    void ticksFollowTheCubeLaw_data()
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
    void ticksFollowTheCubeLaw()
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
            QVERIFY2(Near(V(c->EditRot), V(rot), 1e-7), Str(V(c->EditRot)));
            QVERIFY2(Near(V(c->EditMove), V(move), 1e-7), Str(V(c->EditMove)));
        }
        QVERIFY(Near(V(other.EditRot), {}, 0) && Near(V(other.EditMove), {}, 0));
    }

    void subtreeMovesTwice_data()
    {
        QTest::addColumn<double>("angle");
        QTest::addColumn<QVector3D>("move");
        QTest::addColumn<QVector3D>("offset");
        QTest::newRow("rotate and move") << 0.3 << QVector3D(0.5f, -0.25f, 0) << QVector3D();
        QTest::newRow("rotate only") << 0.3 << QVector3D() << QVector3D();
        QTest::newRow("move only") << 0.0 << QVector3D(0.5f, -0.25f, 0.125f) << QVector3D();
        // The model offset shifts the pivot the edit turns about.
        QTest::newRow("rotate and move, offset") << 0.3 << QVector3D(0.5f, -0.25f, 0) << QVector3D(0, -1, 0.5f);
    }
    void subtreeMovesTwice()
    {
        QFETCH(double, angle);
        QFETCH(QVector3D, move);
        QFETCH(QVector3D, offset);
        TScene s;
        TSelection& sc = s.Add("S", 0, {1, 2, 0});
        TSelection& child = s.Add("C", 1, {5, 5, 5});
        s.Tree.Selected = {0};
        for (TSelection* c : {&sc, &child}) {
            c->EditRot[2] = angle;
            for (int i = 0; i < 3; ++i)
                c->EditMove[i] = move[i];
        }
        const double off[3] = {offset.x(), offset.y(), offset.z()};
        ApplyEditChanges(s.Tree, off, true);

        const TVec3 q = Add({1, 2, 0}, V(offset)), m = V(move), x{3, -1, 2};
        // S: (x - q) R + m + q; below S: (x - q - m) R + 2m + q.
        const TVec3 wantS = Add(Add(TurnZ(Sub(x, q), angle), m), q);
        const TVec3 wantC = Add(Add(TurnZ(Sub(Sub(x, q), m), angle), Add(m, m)), q);
        QVERIFY2(Near(sc.ActTransform.Apply(x), wantS), Str(sc.ActTransform.Apply(x)));
        QVERIFY2(Near(child.ActTransform.Apply(x), wantC), Str(child.ActTransform.Apply(x)));
    }

    void laterSelectionDecides()
    {
        // A node and its child both selected: the child is computed twice per tick, and the
        // pass of the later selection decides about which pivot it turned.
        for (const bool childLast : {false, true}) {
            TScene s;
            s.Add("S", 0, {0, 10, 0});
            TSelection& child = s.Add("C", 1, {0, 0, 0});
            s.Tree.Selected = childLast ? std::vector<int>{0, 1} : std::vector<int>{1, 0};
            s.TurnTick();
            // About its own pivot the origin stays put; about S's pivot it swings away.
            QCOMPARE(Near(child.ActTransform.Apply({0, 0, 0}), {0, 0, 0}), childLast);
        }
    }

    void unanimatedSelectionTurnsItsChildren()
    {
        TScene s;
        TSelection& parent = s.Add("P", 0, {0, 1, 0}, false);
        TSelection& child = s.Add("C", 1);
        parent.ActTransform = TTransform::Translation(7, 0, 0);
        s.Tree.Selected = {0};
        s.TurnTick();
        QCOMPARE(parent.ActTransform, TTransform::Translation(7, 0, 0));
        // The child turns about the parent's pivot where the parent's transform puts it: (7, 1, 0).
        QVERIFY(Near(child.ActTransform.Apply({7, 1, 0}), {7, 1, 0}));
        QVERIFY(!Near(child.ActTransform.Apply({0, 0, 0}), {0, 0, 0}, 1e-3));
    }
};

TORVANE_TEST(EditMathTest)
#include "EditMathTest.moc"
