#pragma once
// The component hierarchy without a widget: each component's parent and its children in
// order, every level sorted by display text the way the component tree sorts it. The
// model set-up builds it, the command line works on it, and the main window fills its
// tree from it. Tree order is depth-first pre-order.
#include <QString>
#include <QStringList>
#include <vector>

struct TSelection;

// One component in tree order, with its depth below the top level (0) and whether the
// animation names it. Window-free code that needs the tree gets it as a list of these.
struct TComponentNode {
    TSelection* Component = nullptr;
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
int FindComponentByName(const TComponentNodes& nodes, const QString& name);

class TComponentForest {
public:
    void Clear();
    // Appends a top-level component; returns its node index (nodes count in that order).
    int Add(TSelection* component);
    int Count() const { return int(Components_.size()); }
    TSelection* Component(int node) const { return Components_[size_t(node)]; }
    int Parent(int node) const { return Parent_[size_t(node)]; }
    // The children of node in order; node -1 gives the top level.
    const std::vector<int>& Children(int node) const { return Children_[size_t(node + 1)]; }
    // Every node put back in insertOrder, each as the last child of parent[node] (-1: the
    // top level); both indexed by node. The caller keeps it a forest.
    void Rebuild(const std::vector<int>& parent, const std::vector<int>& insertOrder);
    // Every level by display text; equal texts keep their order.
    void Sort();

    // Node indices in tree order, and the same as components with their levels.
    std::vector<int> TreeIndices() const;
    TComponentNodes Nodes() const;
    std::vector<TSelection*> TreeOrder() const;

private:
    std::vector<TSelection*> Components_;
    std::vector<int> Parent_;
    std::vector<std::vector<int>> Children_;  // [0]: the top level, [n + 1]: node n's
};

// The Names of the subtrees of the selected nodes (indices into nodes, which are in tree
// order), each node followed by its descendants depth first, in the order the selection
// gives them: what a new animation takes from the tree's selection. A node inside a
// subtree already listed is not listed again (nor is its subtree).
QStringList SubtreeNames(const TComponentNodes& nodes, const std::vector<int>& selected);
