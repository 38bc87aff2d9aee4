#pragma once
// The component tree: the only store of the component hierarchy. Each node carries one
// component (a TSelection of the main model); a node's parent is the component it is
// linked to. The tree draws each component's colour swatch, its animation mark and its
// hidden cross, and sorts every level by display text after each change of hierarchy.
#include <QTreeWidget>
#include <functional>
#include <vector>

struct TSelection;
class TComponentForest;

class TComponentTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit TComponentTree(QWidget* parent = nullptr);

    static constexpr int Indent = 25;

    static TSelection* SelectionOf(const QTreeWidgetItem* node);
    // Appends a top-level node for the component.
    QTreeWidgetItem* AddComponent(TSelection* component);
    // Replaces every node with the forest's components in its order, each parent expanded,
    // in one pass (no row is moved).
    void Fill(const TComponentForest& forest);

    // Every node in depth-first pre-order.
    std::vector<QTreeWidgetItem*> Nodes() const;
    // Their components, in the same order.
    std::vector<TSelection*> Components() const;
    // The first node in tree order whose component Name equals name exactly; null for "".
    QTreeWidgetItem* FindNodeByName(const QString& name) const;
    static int Level(const QTreeWidgetItem* node);
    static bool IsDescendant(const QTreeWidgetItem* node, const QTreeWidgetItem* ancestor);

    // Moves node with its subtree to be the last child of newParent (the end of the top
    // level when null). Refused (false) onto the node itself or one of its descendants.
    bool MoveNode(QTreeWidgetItem* node, QTreeWidgetItem* newParent);
    // A multi-selection becomes the current node alone (the first selected one when the
    // current node is not selected).
    void ReduceSelectionToCurrent();
    // Sorts every level by node text, locale-aware; selection and expansion are kept.
    void SortTree();
    // Rebuilds the hierarchy of nodes (every node of the tree, in tree order, as Forest()
    // gave them) as forest says, in one pass and in the forest's order; selection, the
    // current node and expansion are kept, and the nodes flagged in expand are expanded.
    void Relink(const std::vector<QTreeWidgetItem*>& nodes, const TComponentForest& forest,
                const std::vector<bool>& expand);
    // The hierarchy as a forest whose node i is Nodes()[i].
    TComponentForest Forest() const;
    // Sets the node text from its component's DisplayName.
    static void UpdateText(QTreeWidgetItem* node);

    // The x range (viewport coordinates) of a node's hidden-cross click area, exclusive.
    std::pair<int, int> CrossArea(const QTreeWidgetItem* node) const;
    // Toggles Hidden of the node's component and sets its whole subtree to the new value.
    void ToggleHidden(QTreeWidgetItem* node);

    // Whether dropping a dragged node links it (the pivot-and-linking switch is down).
    std::function<bool()> LinkingEnabled;
    // Whether a component is in the animation (the "A" mark).
    std::function<bool(const TSelection*)> IsAnimated;

    // The node under the mouse at the last press; the source of a drag.
    QTreeWidgetItem* DragNode = nullptr;
    // The drop of DragNode onto target: links it when linking is enabled. Always clears
    // DragNode. Returns whether the hierarchy changed.
    bool DropOn(QTreeWidgetItem* target);

signals:
    // Raised after the tree's own handling of a press/release, with the node under the mouse.
    void NodePressed(QTreeWidgetItem* node, QPoint pos, Qt::MouseButton button);
    void MouseReleased();
    void HierarchyChanged();

private:
    void RestoreSelection(const QList<QTreeWidgetItem*>& selected, QTreeWidgetItem* current);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
};
