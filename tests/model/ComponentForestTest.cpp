// What a new animation takes from the tree's selection: each selected node with its
// subtree, each node once, whatever the nesting of the selection.
#include "model/ComponentForest.h"
#include "model/P3dmodell.h"
#include "support/TestMain.h"

#include <QTest>
#include <deque>

using IntList = QList<int>;

namespace {
// Nodes in tree order from their levels; node i is named "n<i>".
struct TNodes {
    std::deque<TSelection> Components;
    TComponentNodes Nodes;
    explicit TNodes(const IntList& levels)
    {
        for (int level : levels) {
            TSelection& s = Components.emplace_back();
            s.Name = QStringLiteral("n%1").arg(Components.size() - 1);
            Nodes.push_back({&s, level, false});
        }
    }
};

std::vector<int> Vector(const IntList& l) { return {l.begin(), l.end()}; }
}  // namespace

class ComponentForestTest : public QObject {
    Q_OBJECT
private slots:
    void subtreeNames_data()
    {
        QTest::addColumn<IntList>("levels");
        QTest::addColumn<IntList>("selected");
        QTest::addColumn<QString>("names");
        //                                   n0 n1 n2 n3 n4 n5
        const IntList tree{0, 1, 2, 1, 0, 1};
        QTest::newRow("one subtree") << tree << IntList{0} << "n0 n1 n2 n3";
        QTest::newRow("a leaf") << tree << IntList{2} << "n2";
        QTest::newRow("inner node after its parent") << tree << IntList{0, 1} << "n0 n1 n2 n3";
        QTest::newRow("inner node before its parent") << tree << IntList{1, 0} << "n1 n2 n0 n3";
        QTest::newRow("two trees, later first") << tree << IntList{4, 3, 0} << "n4 n5 n3 n0 n1 n2";
        QTest::newRow("same node twice") << tree << IntList{3, 3} << "n3";
        QTest::newRow("out of range skipped") << tree << IntList{-1, 6, 5} << "n5";
        QTest::newRow("chain, every node, deepest first") << IntList{0, 1, 2, 3} << IntList{3, 2, 1, 0} << "n3 n2 n1 n0";
    }
    void subtreeNames()
    {
        QFETCH(IntList, levels); QFETCH(IntList, selected); QFETCH(QString, names);
        const TNodes t(levels);
        QCOMPARE(SubtreeNames(t.Nodes, Vector(selected)).join(' '), names);
    }

    // A deep chain with every node selected lists each node once, not a subtree per node
    // (20,000 nodes would otherwise be 200 million names).
    void deepChainListsEachNodeOnce()
    {
        constexpr int depth = 20000;
        IntList levels, selected;
        for (int i = 0; i < depth; ++i) {
            levels << i;
            selected << i;
        }
        const TNodes t(levels);
        const QStringList names = SubtreeNames(t.Nodes, Vector(selected));
        QCOMPARE(names.size(), depth);
        QCOMPARE(names.first(), QStringLiteral("n0"));
        QCOMPARE(names.last(), QStringLiteral("n19999"));
    }
};

TORVANE_TEST(ComponentForestTest)
#include "ComponentForestTest.moc"
