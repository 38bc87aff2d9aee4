// The hierarchy's operations (linking, moving up, hiding a subtree, look-up by name) and
// what a new animation takes from the tree's selection: each selected node with its
// subtree, each node once, whatever the nesting of the selection.
#include "ForestFixture.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QTest>

class ComponentForestTest : public QObject {
    Q_OBJECT
private slots:
    void hierarchyOperations_data() { QVERIFY(AddTableRows("model/forest-operations.table")); }
    void hierarchyOperations()
    {
        QFETCH(QString, forest);
        QFETCH(QString, op);
        QFETCH(bool, done);
        QFETCH(QString, shape);
        TForest f(forest);
        const QStringList w = op.split(' ');
        const int node = f.Node(w[1]);
        QCOMPARE(w[0] == "up" ? f.Forest.MoveUp(node) : f.Forest.Link(node, f.Node(w[2] == "-" ? "" : w[2])), done);
        QCOMPARE(f.Shape(), shape);
        // One change heard for the whole operation, or none.
        QCOMPARE(f.Heard, done ? QStringList({"<1", ">1"}) : QStringList());
    }

    void setHidden_data() { QVERIFY(AddTableRows("model/forest-hidden.table")); }
    void setHidden()
    {
        QFETCH(QString, hidden);
        QFETCH(QString, node);
        QFETCH(bool, hide);
        QFETCH(QString, shape);
        TForest f("body arm<body hand<arm leg<body");
        for (const QString& name : hidden.split(' ', Qt::SkipEmptyParts))
            f.Forest.MutableComponent(f.Node(name))->Hidden = true;
        f.Forest.SetHidden(f.Node(node), hide);
        QCOMPARE(f.Shape(), shape);
        QCOMPARE(f.Heard, (QStringList{"<2", ">2"}));
    }

    // Names compare exactly.
    void find()
    {
        TForest f("arm Arm");
        QCOMPARE((QList<int>{f.Forest.Find("arm"), f.Forest.Find("Arm"), f.Forest.Find("ARM"), f.Forest.Find("")}),
                 (QList<int>{0, 1, -1, -1}));
    }

    // Many names at once find what one at a time finds: exactly, and of two components of
    // one name the first in tree order (here the later one in the file, sorted first).
    void findMany()
    {
        TForest f("zed twin<zed twin");
        f.Forest.Sort();
        const std::vector<TSelection*> order = f.Forest.MutableTreeOrder();
        QCOMPARE(order.front(), &f.Components[2]);
        const QStringList names{"twin", "Twin", "", "zed", "ghost", "twin"};
        const std::vector<TSelection*> found = FindComponentsByName(order, names);
        QCOMPARE(QList<TSelection*>(found.begin(), found.end()),
                 (QList<TSelection*>{&f.Components[2], nullptr, nullptr, &f.Components[0], nullptr, &f.Components[2]}));
        for (qsizetype i = 0; i < names.size(); ++i)
            QCOMPARE(found[size_t(i)], FindComponentByName(order, names[i]));
        QVERIFY(FindComponentsByName(order, {}).empty());
    }

    void subtreeNames_data() { QVERIFY(AddTableRows("model/subtree-names.table")); }
    void subtreeNames()
    {
        QFETCH(QString, forest);
        QFETCH(QList<int>, selected);
        QFETCH(QString, names);
        QCOMPARE(SubtreeNames(TForest(forest).Forest.Nodes(), {selected.begin(), selected.end()}).join(' '), names);
    }
};

TORVANE_TEST(ComponentForestTest)
#include "ComponentForestTest.moc"
