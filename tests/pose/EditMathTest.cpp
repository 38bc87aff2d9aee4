#include "pose/EditMath.h"
#include "support/TestMain.h"

#include <QTest>
#include <QVector3D>
#include <cmath>
#include <deque>

namespace {

// Components in tree order, at rest as an identity frame loads them.
struct TScene {
    std::deque<TSelection> Components;
    TEditTree Tree;
    TPose Pose;

    // Every component added so far is at rest again.
    TSelection& Add(int level, QVector3D pivot = {}, bool animated = true)
    {
        TSelection& c = Components.emplace_back();
        for (int i = 0; i < 3; ++i)
            c.Pivot[i] = pivot[i];
        Tree.Nodes.push_back({&c, level, animated});
        std::vector<TSelection*> all;
        for (TSelection& each : Components)
            all.push_back(&each);
        Pose.Reset(all);
        for (int i = 0; i < Pose.Count(); ++i)
            Pose[i].Base = TTransform::Identity();
        return c;
    }
    TComponentPose& operator[](const TSelection& c) { return *Pose.Find(&c); }
};

QVector3D Q(const TVec3& v) { return QVector3D(float(v.x), float(v.y), float(v.z)); }
QVector3D At(TScene& s, const TSelection& c, QVector3D p) { return Q(s[c].Act.Apply({p.x(), p.y(), p.z()})); }
QVector3D TurnZ(QVector3D p, double a) { return QVector3D(float(p.x() * std::cos(a) - p.y() * std::sin(a)), float(p.x() * std::sin(a) + p.y() * std::cos(a)), p.z()); }
bool Near(QVector3D a, QVector3D b, float eps = 1e-5f) { return (a - b).length() <= eps; }

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
        for (int level : {0, 1, 2, 1, 0})
            s.Add(level);
        s.Tree.Selected.assign(selected.begin(), selected.end());
        const std::vector<bool> f = BeingEditedFlags(s.Tree);
        QString got;
        for (bool edited : f)
            got += edited ? '1' : '0';
        QCOMPARE(got, flags);
    }

    void subtreeMovesTwice_data()
    {
        QTest::addColumn<double>("angle");
        QTest::addColumn<QVector3D>("move");
        QTest::addColumn<QVector3D>("offset");  // shifts the pivot the edit turns about
        QTest::newRow("rotate and move") << 0.3 << QVector3D(0.5f, -0.25f, 0) << QVector3D();
        QTest::newRow("move only") << 0.0 << QVector3D(0.5f, -0.25f, 0.125f) << QVector3D();
        QTest::newRow("rotate and move, offset") << 0.3 << QVector3D(0.5f, -0.25f, 0) << QVector3D(0, -1, 0.5f);
    }
    void subtreeMovesTwice()
    {
        QFETCH(double, angle);
        QFETCH(QVector3D, move);
        QFETCH(QVector3D, offset);
        TScene s;
        TSelection& sc = s.Add(0, {1, 2, 0});
        TSelection& child = s.Add(1, {5, 5, 5});
        s.Tree.Selected = {0};
        for (TSelection* c : {&sc, &child}) {
            s[*c].EditRot[2] = angle;
            for (int i = 0; i < 3; ++i)
                s[*c].EditMove[i] = move[i];
        }
        const double off[3] = {offset.x(), offset.y(), offset.z()};
        ApplyEditChanges(s.Tree, s.Pose, off, true);
        // S: (x - q) R + m + q; below S: (x - q - m) R + 2m + q.
        const QVector3D q = QVector3D(1, 2, 0) + offset, x(3, -1, 2);
        QVERIFY(Near(At(s, sc, x), TurnZ(x - q, angle) + move + q));
        QVERIFY(Near(At(s, child, x), TurnZ(x - q - move, angle) + 2 * move + q));
    }

    // A node and its child both selected: the child is computed in both passes, and the
    // later selection decides about which pivot it turned. An unanimated selection keeps
    // its transform but turns its children about its pivot where that transform puts it.
    void whosePivotTheChildTurnsAbout_data()
    {
        QTest::addColumn<bool>("parentAnimated");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QVector3D>("fixed");  // the point the child's turn leaves in place
        QTest::newRow("child selected last: its own") << true << QList<int>{0, 1} << QVector3D();
        QTest::newRow("child selected first: the parent's") << true << QList<int>{1, 0} << QVector3D(0, 10, 0);
        QTest::newRow("unanimated parent, moved") << false << QList<int>{0} << QVector3D(7, 10, 0);
    }
    void whosePivotTheChildTurnsAbout()
    {
        QFETCH(bool, parentAnimated);
        QFETCH(QList<int>, selected);
        QFETCH(QVector3D, fixed);
        TScene s;
        TSelection& parent = s.Add(0, {0, 10, 0}, parentAnimated);
        TSelection& child = s.Add(1);
        s[parent].Act = TTransform::Translation(7, 0, 0);
        s.Tree.Selected.assign(selected.begin(), selected.end());
        EditTick(s.Tree, s.Pose, true, 0, 0, 10);  // turns about Z by 0.1, relative to the pivot
        ApplyEditChanges(s.Tree, s.Pose, std::array<double, 3>{}.data(), true);
        QCOMPARE(s[parent].Act == TTransform::Translation(7, 0, 0), !parentAnimated);
        const QVector3D beside = fixed + QVector3D(0, 1, 0);
        QVERIFY(Near(At(s, child, fixed), fixed) && !Near(At(s, child, beside), beside, 1e-3f));
    }
};

TORVANE_TEST(EditMathTest)
#include "EditMathTest.moc"
