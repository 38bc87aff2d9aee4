#pragma once
// The component tree: a view over the component forest, which holds the hierarchy. The
// item model follows the forest (a reset when nodes come or go, a layout change when the
// hierarchy changes, data changes when components change), so the view keeps its
// selection, current node and expansion across every change and repaints because the model
// says so. The view draws each component's colour swatch, its animation mark and its
// hidden cross. It changes nothing itself: a press on the swatch-and-cross cell or the H key
// sets the hidden mark through the model (setData), a drop links through the model
// (dropMimeData), and the model hands both to the operations it is given.
#include "model/ComponentForest.h"

#include <QAbstractItemModel>
#include <QTreeView>
#include <functional>
#include <vector>

struct TSelection;

// One column; an index's internal id is its forest node, which stays the node's across
// hierarchy changes.
class TComponentTreeModel final : public QAbstractItemModel, private TForestListener {
    Q_OBJECT
public:
    enum Role { ColorRole = Qt::UserRole + 1, AnimatedRole, HiddenRole };

    // Listens to forest until either is gone; null shows nothing.
    explicit TComponentTreeModel(const TComponentForest* forest, QObject* parent = nullptr);
    ~TComponentTreeModel() override;

    const TComponentForest* Forest() const { return Forest_; }
    QModelIndex IndexOf(int node) const;
    static int NodeOf(const QModelIndex& index) { return index.isValid() ? int(index.internalId()) : -1; }

    // Whether a component is in the animation (the "A" mark).
    std::function<bool(const TSelection*)> IsAnimated;
    // The edits the tree asks for: node (with its subtree) hidden or shown, node linked
    // below parent (true when the hierarchy changed). Without them the tree only shows.
    std::function<void(int node, bool hidden)> SetHidden;
    std::function<bool(int node, int parent)> Link;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // HiddenRole: the node's hidden mark, through SetHidden.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    // A drag carries its nodes; a drop onto a node links the first of them below it.
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column, const QModelIndex& parent) override;

private:
    void ForestAboutToChange(TForestChange change) override;
    void ForestChanged(TForestChange change) override;
    void ForestGone() override;

    const TComponentForest* Forest_ = nullptr;
    QModelIndexList Moving_;  // persistent indexes during a hierarchy change
};

class TComponentTree : public QTreeView {
    Q_OBJECT
public:
    explicit TComponentTree(QWidget* parent = nullptr);

    static constexpr int Indent = 25;
    // The width of the cell before a node's text: colour swatch, animation mark, cross.
    static constexpr int MarkCellWidth = 30;

    // Shows forest (null: nothing); the view's model is made for it and keeps the edit
    // operations the old one had.
    void SetForest(const TComponentForest* forest);
    TComponentTreeModel* TreeModel() const { return Model_; }
    const TComponentForest* Forest() const { return Model_ ? Model_->Forest() : nullptr; }

    // Nodes are forest node indices; -1 is none.
    int NodeAt(QPoint viewportPos) const;
    QRect NodeRect(int node) const;
    int CurrentNode() const;
    // Makes node current and the only selected one.
    void SetCurrentNode(int node);
    bool IsNodeSelected(int node) const;
    void SetNodeSelected(int node, bool selected);
    // The selected nodes in the order they were selected.
    std::vector<int> SelectedNodes() const;
    // The current node when it is selected, else the first selected one; -1 for none.
    int SelectedNode() const;
    void ExpandNode(int node);
    // Expands every node that has children, as after a load.
    void ExpandParents();

    // The x range (viewport coordinates, from first up to but not including second) of
    // the cell with a node's colour swatch and hidden cross, where a press hides or shows.
    std::pair<int, int> CrossArea(int node) const;
    // A multi-selection becomes the current node alone (the first selected one when the
    // current node is not selected).
    void ReduceSelectionToCurrent();

    // Whether dropping a dragged node links it (the pivot-and-linking switch is down).
    std::function<bool()> LinkingEnabled;

    // The node under the mouse at the last press; the source of a drag.
    int DragNode = -1;
    // The drop of DragNode onto target: links it through the model when linking is
    // enabled. Always clears DragNode. Returns whether the hierarchy changed.
    bool DropOn(int target);

signals:
    // Raised after the tree's own handling of a press, with the node under the mouse.
    void NodePressed(int node, QPoint pos, Qt::MouseButton button);
    void SelectionChanged();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    // H hides the selected node, or shows it again.
    void keyPressEvent(QKeyEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    // However a drag ends, dropped or not, it leaves no drag source behind.
    void startDrag(Qt::DropActions supportedActions) override;
    // The nodes below a selected one are drawn darker: a change of selection repaints all.
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

private:
    // Turns the node's hidden mark over, through the model.
    void ToggleHidden(int node);
    TComponentTreeModel* Model_ = nullptr;
};
