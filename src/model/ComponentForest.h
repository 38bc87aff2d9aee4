#pragma once
// The component hierarchy without a widget, and its only store: each component's parent
// and its children in order, every level sorted by display text. The model set-up builds
// it, the command line works on it, and the main window's tree is a view over it: linking,
// moving up, hiding a subtree and sorting happen here. Tree order is depth-first pre-order.
#include <QString>
#include <QStringList>
#include <vector>

struct TSelection;

// One component in tree order, with its depth below the top level (0) and whether the
// animation names it. Window-free code that needs the tree gets it as a list of these.
struct TComponentNode {
    const TSelection* Component = nullptr;
    int Level = 0;
    bool InAnimation = false;
};
using TComponentNodes = std::vector<TComponentNode>;

// The order of node texts in the tree: locale-aware and without regard to letter case,
// with letter case deciding only between texts that are otherwise equal.
bool ComponentTextLess(const QString& a, const QString& b);

// The first component in tree order whose Name equals name exactly (letter case counts);
// null, or -1, for none and for an empty name.
TSelection* FindComponentByName(const std::vector<TSelection*>& treeOrder, const QString& name);
const TSelection* FindComponentByName(const std::vector<const TSelection*>& treeOrder, const QString& name);
int FindComponentByName(const TComponentNodes& nodes, const QString& name);
// FindComponentByName for each of names, in one pass over the tree: a search of the tree
// per name would take the square of the components when an animation names them all.
std::vector<TSelection*> FindComponentsByName(const std::vector<TSelection*>& treeOrder, const QStringList& names);
std::vector<const TSelection*> FindComponentsByName(const std::vector<const TSelection*>& treeOrder, const QStringList& names);

// What changed in a forest. Reset: nodes came or went (every node index is new);
// Hierarchy: parents or the order of children, the nodes themselves the same; Components:
// what the components show (names, colours, hidden), the hierarchy the same.
enum class TForestChange { Reset, Hierarchy, Components };

// Told of each change of the forest it listens to, before and after; a view over the
// forest keeps its indexes, selection and expansion across a change this way.
class TForestListener {
public:
    virtual void ForestAboutToChange(TForestChange change) = 0;
    virtual void ForestChanged(TForestChange change) = 0;
    // The forest is being destroyed; it is not to be touched again.
    virtual void ForestGone() = 0;

protected:
    ~TForestListener() = default;
};

class TComponentForest {
public:
    TComponentForest() = default;
    // A copy is a plain forest: nobody listens to it.
    TComponentForest(const TComponentForest&) = default;
    // Assignment keeps the listeners, which hear of it as a reset.
    TComponentForest& operator=(TComponentForest other)
    {
        Replace(std::move(other));
        return *this;
    }
    ~TComponentForest();

    // Listeners are told of every change below, in the order they were added. Listening
    // changes nothing, so a view may listen to a forest it cannot change.
    void AddListener(TForestListener* listener) const;
    void RemoveListener(TForestListener* listener) const;
    // Every node replaced by other's (a reset).
    void Replace(TComponentForest other);

    void Clear();
    // Appends a top-level component; returns its node index (nodes count in that order).
    int Add(TSelection* component);
    int Count() const { return int(Components_.size()); }
    const TSelection* Component(int node) const { return Components_[size_t(node)]; }
    // For the owner of the forest, which changes the component's fields and then says so
    // (ComponentsChanged).
    TSelection* MutableComponent(int node) { return Components_[size_t(node)]; }
    int Parent(int node) const { return Parent_[size_t(node)]; }
    // The children of node in order; node -1 gives the top level.
    const std::vector<int>& Children(int node) const { return Children_[size_t(node + 1)]; }
    // The node's place among its parent's children.
    int Row(int node) const { return Row_[size_t(node)]; }
    // Depth below the top level (0).
    int Level(int node) const;
    // Whether node is root or lies in root's subtree.
    bool InSubtree(int node, int root) const;
    // node and its descendants, depth first.
    std::vector<int> Subtree(int node) const;
    // The first node in tree order whose component Name equals name exactly (letter case
    // counts); -1 for none and for an empty name.
    int Find(const QString& name) const;

    // Every node put back in insertOrder, each as the last child of parent[node] (-1: the
    // top level); both indexed by node. The caller keeps it a forest.
    void Rebuild(const std::vector<int>& parent, const std::vector<int>& insertOrder);
    // Every level by display text; equal texts keep their order.
    void Sort();
    // Moves node with its subtree to be the last child of parent (-1: the end of the top
    // level), then sorts. Refused (false, nothing changes) onto the node itself or one of
    // its descendants.
    bool Link(int node, int parent);
    // Moves node with its subtree to be the last child of its grandparent (a top-level node
    // goes to the end of the top level), then sorts.
    bool MoveUp(int node);
    // Sets Hidden of node's component and of its whole subtree.
    void SetHidden(int node, bool hidden);
    // Sets Hidden of every component.
    void SetAllHidden(bool hidden);
    // Tells the listener that components were changed directly (names, colours, hidden).
    void ComponentsChanged();

    // Groups the hierarchy changes made while it lives into one change for the listener.
    class TBatch {
    public:
        explicit TBatch(TComponentForest& forest);
        ~TBatch();
        TBatch(const TBatch&) = delete;
        TBatch& operator=(const TBatch&) = delete;

    private:
        TComponentForest& Forest_;
    };

    // Node indices in tree order, and the same as components with their levels.
    std::vector<int> TreeIndices() const;
    TComponentNodes Nodes() const;
    std::vector<const TSelection*> TreeOrder() const;
    // The components in tree order for the owner of the forest, which changes their fields
    // and then says so (ComponentsChanged).
    std::vector<TSelection*> MutableTreeOrder();

private:
    void Renumber();
    void AboutToChange(TForestChange change);
    void Changed(TForestChange change);

    // Not copied with the forest: a listener listens to one forest, and batches are open
    // on that forest.
    struct TListenerSlot {
        std::vector<TForestListener*> Ptrs;
        int Batch = 0;  // open batches
        TListenerSlot() = default;
        TListenerSlot(const TListenerSlot&) {}
        TListenerSlot& operator=(const TListenerSlot&) { return *this; }
    };

    std::vector<TSelection*> Components_;
    std::vector<int> Parent_;
    std::vector<int> Row_;
    std::vector<std::vector<int>> Children_ = std::vector<std::vector<int>>(1);  // [0]: the top level, [n + 1]: node n's
    mutable TListenerSlot Listener_;
};

// The Names of the subtrees of the selected nodes (indices into nodes, which are in tree
// order), each node followed by its descendants depth first, in the order the selection
// gives them: what a new animation takes from the tree's selection. A node inside a
// subtree already listed is not listed again (nor is its subtree).
QStringList SubtreeNames(const TComponentNodes& nodes, const std::vector<int>& selected);
