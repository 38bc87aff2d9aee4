// The component tree as a widget over its forest: presses and drops on the view, Ctrl+click,
// the hidden cross and the H key, and the view keeping its selection, current node and rows
// in step with every change of the forest. The tree changes nothing itself: it asks its
// model's operations, here the forest's own.
#include "model/ForestFixture.h"
#include "modelforms/ComponentTree.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <QSignalSpy>
#include <QTest>
#include <functional>

namespace {
// The robot's tree: body (arm (hand), leg), lamp.
struct TTreeFixture : TForest {
    TComponentTree Tree;
    bool Linking = true;
    int Links = 0;  // the links the tree asked for

    TTreeFixture() : TForest("body arm<body hand<arm leg<body lamp")
    {
        Tree.SetForest(&Forest);
        Tree.TreeModel()->SetHidden = [this](int node, bool hidden) { Forest.SetHidden(node, hidden); };
        Tree.TreeModel()->Link = [this](int node, int parent) {
            ++Links;
            return Forest.Link(node, parent);
        };
        Tree.LinkingEnabled = [this] { return Linking; };
        Tree.resize(300, 300);
        Tree.show();
        Tree.expandAll();
    }
    // A point on the node's text, clear of the swatch, mark and cross.
    QPoint On(const QString& name) const { return Tree.NodeRect(Node(name)).center() + QPoint(20, 0); }
    // The nodes that pass, in tree order.
    QString Names(const std::function<bool(int)>& pass) const
    {
        QStringList out;
        for (int n : Forest.TreeIndices())
            if (pass(n))
                out << Forest.Component(n)->Name;
        return out.join(' ');
    }
    // The nodes the view draws as selected.
    QString Selected() const
    {
        return Names([this](int n) { return Tree.IsNodeSelected(n); });
    }
    QString Hidden() const
    {
        return Names([this](int n) { return Forest.Component(n)->Hidden; });
    }
    bool IsCurrent(const QString& name) const { return Tree.currentIndex() == Tree.TreeModel()->IndexOf(Node(name)); }
    // Every node is drawn where the view says it is, and found there.
    bool RowsInStep() const
    {
        for (int n = 0; n < Forest.Count(); ++n)
            if (Tree.NodeAt(Tree.NodeRect(n).center()) != n)
                return false;
        return true;
    }
    // A real drag, pressed at from, moved and released at to (points in the viewport). The
    // events carry the held button, which the drag's own event loop follows.
    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QWidget* v = Tree.viewport();
        QMouseEvent e(type, QPointF(at), QPointF(v->mapToGlobal(at)), button, held, {});
        QApplication::sendEvent(v, &e);
    }
    // The linking switch is set to atDrop once the drag is under way.
    void Drag(QPoint from, QPoint to, bool atDrop)
    {
        Mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        // The drag runs its own event loop from the move that starts it; the rest comes in it.
        bool released = false;
        QTimer::singleShot(0, Tree.viewport(), [this, to, atDrop, &released] {
            Linking = atDrop;
            Mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
            Mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
            released = true;
        });
        Mouse(QEvent::MouseMove, from + QPoint(0, 1), Qt::NoButton, Qt::LeftButton);  // a drag may start
        Mouse(QEvent::MouseMove, from + QPoint(0, 3 * QApplication::startDragDistance()), Qt::NoButton, Qt::LeftButton);
        QTRY_VERIFY(released);
    }
};
}  // namespace

class ComponentTreeTest : public QObject {
    Q_OBJECT
private slots:
    // A press takes the node under the mouse as the drag source only while the linking
    // switch is down; a drop then links it, keeping the selection.
    void pressAndDrop_data() { QVERIFY(AddTableRows("modelforms/press-and-drop.table")); }
    void pressAndDrop()
    {
        QFETCH(bool, atPress);
        QFETCH(bool, atDrop);
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(QString, shape);
        TTreeFixture t;
        QVERIFY(QTest::qWaitForWindowExposed(&t.Tree));
        t.Linking = atPress;
        t.Drag(t.On(source), target.isEmpty() ? QPoint(40, t.Tree.viewport()->height() - 3) : t.On(target), atDrop);
        QCOMPARE(QStringList({t.Shape(), t.Selected()}), QStringList({shape, source}));
        const bool changed = shape != "body -arm --hand -leg lamp";
        QCOMPARE(t.Links, changed ? 1 : 0);
        QCOMPARE(t.Tree.DragNode, -1);
        QVERIFY(t.IsCurrent(source));
        QVERIFY(t.RowsInStep());
    }

    // Ctrl+click adds and takes away; the selected node is the current one while it is
    // selected, else the first selected one.
    void ctrlClick()
    {
        TTreeFixture t;
        QVERIFY(QTest::qWaitForWindowExposed(&t.Tree));
        QTest::mouseClick(t.Tree.viewport(), Qt::LeftButton, {}, t.On("arm"));
        // Each Ctrl+click, then the selection and the selected node (arm current, not selected, in the second).
        for (const auto& [name, selected, node] : {std::tuple{"leg", "arm leg", "leg"}, {"arm", "leg", "leg"}, {"leg", "", ""}}) {
            QTest::mouseClick(t.Tree.viewport(), Qt::LeftButton, Qt::ControlModifier, t.On(name));
            QCOMPARE(t.Selected(), QString(selected));
            QCOMPARE(t.Tree.SelectedNode(), *node ? t.Node(node) : -1);
        }
    }

    // A press on the swatch-and-cross cell, with any button, turns the node's hidden state
    // over for its whole subtree, also when the node is collapsed, and the rows are
    // repainted.
    void hiddenCross_data() { QVERIFY(AddTableRows("modelforms/hidden-cross.table")); }
    void hiddenCross()
    {
        QFETCH(int, x);
        QFETCH(bool, right);
        QFETCH(bool, collapsed);
        QFETCH(QString, hidden);
        TTreeFixture t;
        QVERIFY(QTest::qWaitForWindowExposed(&t.Tree));
        const int arm = t.Node("arm");
        if (collapsed)
            t.Tree.collapse(t.Tree.TreeModel()->IndexOf(arm));
        const int from = t.Tree.CrossArea(arm).first;
        QSignalSpy repaint(t.Tree.model(), &QAbstractItemModel::dataChanged);
        QTest::mouseClick(t.Tree.viewport(), right ? Qt::RightButton : Qt::LeftButton, {},
                          QPoint(from + x, t.Tree.NodeRect(arm).center().y()));
        QCOMPARE(t.Hidden(), hidden);
        QCOMPARE(repaint.isEmpty(), hidden.isEmpty());
    }

    // H on the selected node hides it with its subtree, and shows it again; with a modifier
    // it does nothing.
    void hKey()
    {
        TTreeFixture t;
        QVERIFY(QTest::qWaitForWindowExposed(&t.Tree));
        QTest::mouseClick(t.Tree.viewport(), Qt::LeftButton, {}, t.On("arm"));
        QTest::keyClick(&t.Tree, Qt::Key_H);
        QCOMPARE(t.Hidden(), QStringLiteral("arm hand"));
        QTest::keyClick(&t.Tree, Qt::Key_H, Qt::ControlModifier);
        QCOMPARE(t.Hidden(), QStringLiteral("arm hand"));
        QTest::keyClick(&t.Tree, Qt::Key_H);
        QCOMPARE(t.Hidden(), QString());
    }

    // A new forest starts with no selection, every node drawn where it now is.
    void newForestStartsUnselected()
    {
        TTreeFixture t;
        QVERIFY(QTest::qWaitForWindowExposed(&t.Tree));
        QTest::mouseClick(t.Tree.viewport(), Qt::LeftButton, {}, t.On("hand"));
        TComponentForest flat;
        for (TSelection& s : t.Components)
            flat.Add(&s);
        t.Forest.Replace(flat);
        QCOMPARE(QStringList({t.Shape(), t.Selected()}), QStringList({"body arm hand leg lamp", ""}));
        QVERIFY(t.RowsInStep());
    }
};

TORVANE_TEST(ComponentTreeTest)
#include "ComponentTreeTest.moc"
