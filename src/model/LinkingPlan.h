#pragma once
// The hierarchy a linking file makes, computed without a widget. Applying the records one
// by one to the tree (each component moved with its subtree to be the last child of its
// parent, refused onto itself or one of its descendants, the tree sorted after every
// record) costs a widget row move per record; here the whole result is worked out first,
// in O(n log n), and the tree is rebuilt and sorted once. The sort after every record only
// decides the order of siblings, which the last sort decides again, except among siblings
// with equal texts: those keep the order in which they arrived, and the plan gives that
// order too.
#include "model/ComponentForest.h"
#include "model/Linking.h"

#include <QString>
#include <array>
#include <optional>
#include <vector>

// The tree before the file is applied, nodes in tree order (depth-first pre-order).
struct TLinkForest {
    std::vector<int> Parent;  // index of each node's parent, -1 at the top level
    std::vector<QString> Names;  // each node's component Name (the key in the file)
    std::vector<QString> Texts;  // each node's text (its display name), which the tree sorts by
};

struct TLinkPlan {
    std::vector<int> Parent;  // each node's parent after the file, -1 at the top level
    // Every node once: appending the nodes in this order, each as the last child of its
    // parent, and then sorting the tree gives the tree the records one by one would give.
    std::vector<int> InsertOrder;
    // Nodes that received a child (the tree expands them, as a move does).
    std::vector<bool> Expand;
    // The pivot of the last record that named the node, if any did.
    std::vector<std::optional<std::array<float, 3>>> Pivot;
    bool Moved = false;  // whether any node moved at all
};

// records in file order. Component and parent names are looked up as the tree's
// FindNodeByName would at each record: the first node in tree order with that Name (an
// empty or unknown parent puts the component at the top level; an unknown component
// skips the record).
TLinkPlan PlanLinking(const TLinkForest& forest, const std::vector<TLinkRecord>& records);
