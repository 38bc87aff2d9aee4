// The hierarchy's operations (linking, moving up, hiding a subtree, look-up by name) and
// what a new animation takes from the tree's selection: each selected node with its
// subtree, each node once, whatever the nesting of the selection.
#include "ForestFixture.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QTest>

using IntList = QList<int>;

class ComponentForestTest : public QObject {
    Q_OBJECT
private slots:
    void hierarchyOperations_data() { QVERIFY(AddTableRows("model/forest-operations.table")); }
    void hierarchyOperations()
    {
        QFETCH(QString, forest); QFETCH(QString, op); QFETCH(bool, done); QFETCH(QString, shape);
        TForest f(forest);
        const QStringList w = op.split(' ');
        const int node = f.Node(w[1]);
        QCOMPARE(w[0] == "up" ? f.Forest.MoveUp(node) : f.Forest.Link(node, f.Node(w[2] == "-" ? "" : w[2])), done);
        QCOMPARE(f.Shape(), shape);
        // One change heard for the whole operation, or none; rows follow the children lists.
        QCOMPARE(f.Heard, done ? QStringList({"<1", ">1"}) : QStringList());
        for (int p = -1; p < f.Forest.Count(); ++p)
            for (size_t row = 0; row < f.Forest.Children(p).size(); ++row)
                QCOMPARE(f.Forest.Row(f.Forest.Children(p)[row]), int(row));
    }

    // The cross turns the node over; its whole subtree follows the node's new state.
    void toggleHidden_data()
    {
        QTest::addColumn<QString>("hidden");  // names hidden before
        QTest::addColumn<QString>("node");
        QTest::addColumn<QString>("shape");
        QTest::newRow("hide a subtree") << "" << "arm" << "body -arm* --hand* -leg";
        QTest::newRow("show it again") << "arm hand" << "arm" << "body -arm --hand -leg";
        QTest::newRow("mixed subtree follows") << "hand" << "arm" << "body -arm* --hand* -leg";
        QTest::newRow("a leaf alone") << "" << "leg" << "body -arm --hand -leg*";
        QTest::newRow("every level below") << "" << "body" << "body* -arm* --hand* -leg*";
    }
    void toggleHidden()
    {
        QFETCH(QString, hidden); QFETCH(QString, node); QFETCH(QString, shape);
        TForest f("body arm<body hand<arm leg<body");
        for (const QString& name : hidden.split(' ', Qt::SkipEmptyParts))
            f.Forest.Component(f.Node(name))->Hidden = true;
        f.Forest.ToggleHidden(f.Node(node));
        QCOMPARE(f.Shape(), shape);
        QCOMPARE(f.Heard, (QStringList{"<2", ">2"}));
    }

    // The first in tree order, not in file order; names compare exactly.
    void find()
    {
        TForest f("z arm<z Arm arm");
        f.Forest.Sort();  // tree order: Arm arm z -arm
        QCOMPARE(f.Forest.Find("arm"), 3);
        QCOMPARE(f.Forest.Find("Arm"), 2);
        QCOMPARE(f.Forest.Find("ARM"), -1);
        QCOMPARE(f.Forest.Find(""), -1);
    }

    void subtreeNames_data()
    {
        QTest::addColumn<QString>("forest");
        QTest::addColumn<IntList>("selected");
        QTest::addColumn<QString>("names");
        const QString tree = "n0 n1<n0 n2<n1 n3<n0 n4 n5<n4";
        QTest::newRow("one subtree") << tree << IntList{0} << "n0 n1 n2 n3";
        QTest::newRow("a leaf") << tree << IntList{2} << "n2";
        QTest::newRow("inner node after its parent") << tree << IntList{0, 1} << "n0 n1 n2 n3";
        QTest::newRow("inner node before its parent") << tree << IntList{1, 0} << "n1 n2 n0 n3";
        QTest::newRow("two trees, later first") << tree << IntList{4, 3, 0} << "n4 n5 n3 n0 n1 n2";
        QTest::newRow("same node twice") << tree << IntList{3, 3} << "n3";
        QTest::newRow("out of range skipped") << tree << IntList{-1, 6, 5} << "n5";
        QTest::newRow("chain, every node, deepest first") << "n0 n1<n0 n2<n1 n3<n2" << IntList{3, 2, 1, 0} << "n3 n2 n1 n0";
    }
    void subtreeNames()
    {
        QFETCH(QString, forest); QFETCH(IntList, selected); QFETCH(QString, names);
        const TForest f(forest);
        QCOMPARE(SubtreeNames(f.Forest.Nodes(), {selected.begin(), selected.end()}).join(' '), names);
    }
};

TORVANE_TEST(ComponentForestTest)
#include "ComponentForestTest.moc"
