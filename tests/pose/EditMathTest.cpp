#include "PoseFixture.h"
#include "pose/EditMath.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

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
        std::vector<const TSelection*> all;
        for (TSelection& each : Components)
            all.push_back(&each);
        Pose.Reset(all);
        for (int i = 0; i < Pose.Count(); ++i)
            Pose[i].Base = TTransform::Identity();
        return c;
    }
    TComponentPose& operator[](const TSelection& c) { return *Pose.Find(&c); }
};

QVector3D At(TScene& s, const TSelection& c, QVector3D p) { return Q(s[c].Act.Apply({p.x(), p.y(), p.z()})); }
QVector3D TurnZ(QVector3D p, double a)
{
    return QVector3D(float(p.x() * std::cos(a) - p.y() * std::sin(a)), float(p.x() * std::sin(a) + p.y() * std::cos(a)), p.z());
}
bool Near(QVector3D a, QVector3D b, float eps = 1e-5f) { return (a - b).length() <= eps; }

}  // namespace

class EditMathTest : public QObject {
    Q_OBJECT
private slots:
    void beingEdited_data() { QVERIFY(AddTableRows("pose/being-edited.table")); }
    void beingEdited()
    {
        QFETCH(QList<int>, selected);
        QFETCH(QString, flags);
        TScene s;
        for (int level : {0, 1, 2, 1, 0})
            s.Add(level);
        s.Tree.Selected.assign(selected.begin(), selected.end());
        QString got;
        for (bool edited : BeingEditedFlags(s.Tree))
            got += edited ? '1' : '0';
        QCOMPARE(got, flags);
    }

    void subtreeMovesTwice_data() { QVERIFY(AddTableRows("pose/subtree-moves.table")); }
    void subtreeMovesTwice()
    {
        QFETCH(double, angle);
        QFETCH(QList<float>, move);
        QFETCH(QList<float>, offset);
        const QVector3D m = V3(move), q = QVector3D(1, 2, 0) + V3(offset), x(3, -1, 2);
        TScene s;
        TSelection& sc = s.Add(0, {1, 2, 0});
        TSelection& child = s.Add(1, {5, 5, 5});
        s.Tree.Selected = {0};
        for (TSelection* c : {&sc, &child}) {
            s[*c].EditRot[2] = angle;
            for (int i = 0; i < 3; ++i)
                s[*c].EditMove[i] = move[i];
        }
        const double off[3] = {offset[0], offset[1], offset[2]};
        ApplyEditChanges(s.Tree, s.Pose, off, true);
        // S: (x - q) R + m + q; below S: (x - q - m) R + 2m + q.
        QVERIFY(Near(At(s, sc, x), TurnZ(x - q, angle) + m + q));
        QVERIFY(Near(At(s, child, x), TurnZ(x - q - m, angle) + 2 * m + q));
    }

    // A node and its child both selected: the child is computed in both passes, and the
    // later selection decides about which pivot it turned. An unanimated selection keeps
    // its transform but turns its children about its pivot where that transform puts it.
    void whosePivotTheChildTurnsAbout_data() { QVERIFY(AddTableRows("pose/child-pivot.table")); }
    void whosePivotTheChildTurnsAbout()
    {
        QFETCH(bool, parentAnimated);
        QFETCH(QList<int>, selected);
        QFETCH(QList<float>, fixed);
        const QVector3D f = V3(fixed), beside = f + QVector3D(0, 1, 0);
        TScene s;
        TSelection& parent = s.Add(0, {0, 10, 0}, parentAnimated);
        TSelection& child = s.Add(1);
        s[parent].Act = TTransform::Translation(7, 0, 0);
        s.Tree.Selected.assign(selected.begin(), selected.end());
        EditTick(s.Tree, s.Pose, true, 0, 0, 10);  // turns about Z by 0.1, relative to the pivot
        ApplyEditChanges(s.Tree, s.Pose, std::array<double, 3>{}.data(), true);
        QCOMPARE(s[parent].Act == TTransform::Translation(7, 0, 0), !parentAnimated);
        QVERIFY(Near(At(s, child, f), f) && !Near(At(s, child, beside), beside, 1e-3f));
    }
};

TORVANE_TEST(EditMathTest)
#include "EditMathTest.moc"
