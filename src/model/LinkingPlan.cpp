#include "model/LinkingPlan.h"

#include <QHash>
#include <algorithm>
#include <numeric>
#include <set>

namespace {
// A rooted forest under links and cuts that answers "is a an ancestor of b" in amortised
// O(log n): a link-cut tree (preferred paths kept in splay trees keyed by depth).
class TLinkCutForest {
public:
    explicit TLinkCutForest(size_t n) : L_(n, -1), R_(n, -1), P_(n, -1) {}

    // child must be the root of its tree.
    void Link(int child, int parent)
    {
        Access(child);
        P_[size_t(child)] = parent;
    }
    void Cut(int v)
    {
        Access(v);
        if (const int l = L_[size_t(v)]; l >= 0) {
            P_[size_t(l)] = -1;
            L_[size_t(v)] = -1;
        }
    }
    bool IsAncestorOrSelf(int a, int b)
    {
        if (a == b)
            return true;
        if (Root(a) != Root(b))
            return false;
        Access(a);
        return Access(b) == a;  // the second access ends where the two paths meet
    }

private:
    bool IsSplayRoot(int x) const
    {
        const int p = P_[size_t(x)];
        return p < 0 || (L_[size_t(p)] != x && R_[size_t(p)] != x);
    }
    void Rotate(int x)
    {
        const int p = P_[size_t(x)], g = P_[size_t(p)];
        const bool pWasRoot = IsSplayRoot(p);
        if (L_[size_t(p)] == x) {
            L_[size_t(p)] = R_[size_t(x)];
            if (R_[size_t(x)] >= 0)
                P_[size_t(R_[size_t(x)])] = p;
            R_[size_t(x)] = p;
        } else {
            R_[size_t(p)] = L_[size_t(x)];
            if (L_[size_t(x)] >= 0)
                P_[size_t(L_[size_t(x)])] = p;
            L_[size_t(x)] = p;
        }
        P_[size_t(p)] = x;
        P_[size_t(x)] = g;
        if (!pWasRoot)
            (L_[size_t(g)] == p ? L_[size_t(g)] : R_[size_t(g)]) = x;
    }
    void Splay(int x)
    {
        while (!IsSplayRoot(x)) {
            const int p = P_[size_t(x)];
            if (!IsSplayRoot(p)) {
                const int g = P_[size_t(p)];
                Rotate((L_[size_t(g)] == p) == (L_[size_t(p)] == x) ? p : x);
            }
            Rotate(x);
        }
    }
    // Makes the path from x's root to x preferred; returns the last node where it joined
    // the path that was preferred before.
    int Access(int x)
    {
        int last = -1;
        for (int y = x; y >= 0; y = P_[size_t(y)]) {
            Splay(y);
            R_[size_t(y)] = last;
            last = y;
        }
        Splay(x);
        return last;
    }
    int Root(int x)
    {
        Access(x);
        while (L_[size_t(x)] >= 0)
            x = L_[size_t(x)];
        Splay(x);
        return x;
    }

    std::vector<int> L_, R_, P_;
};

// The nodes' tree order while names repeat: then "the first node of that name in tree
// order" depends on the tree as it is at that record, sorted as the tree sorts.
class TSortedForest {
public:
    TSortedForest(const TLinkForest& f, const std::vector<int>& parent, const std::vector<int>& moveSeq)
        : Parent_(parent), MoveSeq_(moveSeq), Children_(parent.size() + 1, std::set<int, TLess>(TLess{this}))
    {
        const size_t n = parent.size();
        // Texts ranked once, so siblings compare by two integers.
        std::vector<int> byText(n);
        std::iota(byText.begin(), byText.end(), 0);
        std::stable_sort(byText.begin(), byText.end(),
                         [&f](int a, int b) { return ComponentTextLess(f.Texts[size_t(a)], f.Texts[size_t(b)]); });
        TextRank_.assign(n, 0);
        for (size_t i = 1; i < n; ++i) {
            const int a = byText[i - 1], b = byText[i];
            TextRank_[size_t(b)] = TextRank_[size_t(a)] + (ComponentTextLess(f.Texts[size_t(a)], f.Texts[size_t(b)]) ? 1 : 0);
        }
        for (size_t i = 0; i < n; ++i)
            Children_[Slot(parent[i])].insert(int(i));
    }

    // Before and after a node changes parent (its MoveSeq changes in between).
    void Remove(int v) { Children_[Slot(Parent_[size_t(v)])].erase(v); }
    void Insert(int v) { Children_[Slot(Parent_[size_t(v)])].insert(v); }

    // The first node in pre-order for which match(node) holds, or -1.
    template <typename Match>
    int First(Match match) const
    {
        std::vector<std::pair<std::set<int, TLess>::const_iterator, std::set<int, TLess>::const_iterator>> stack;
        stack.emplace_back(Children_.back().begin(), Children_.back().end());
        while (!stack.empty()) {
            auto& [it, end] = stack.back();
            if (it == end) {
                stack.pop_back();
                continue;
            }
            const int v = *it++;
            if (match(v))
                return v;
            const auto& kids = Children_[size_t(v)];
            if (!kids.empty())
                stack.emplace_back(kids.begin(), kids.end());
        }
        return -1;
    }

private:
    struct TLess {
        const TSortedForest* F;
        bool operator()(int a, int b) const
        {
            const int ta = F->TextRank_[size_t(a)], tb = F->TextRank_[size_t(b)];
            if (ta != tb)
                return ta < tb;
            // Equal texts keep the order they arrived in: the ones that never moved first,
            // in their old order, then the moved ones by their last move.
            const int ma = F->MoveSeq_[size_t(a)], mb = F->MoveSeq_[size_t(b)];
            return ma != mb ? ma < mb : a < b;
        }
    };
    size_t Slot(int parent) const { return parent < 0 ? Children_.size() - 1 : size_t(parent); }

    const std::vector<int>& Parent_;
    const std::vector<int>& MoveSeq_;
    std::vector<int> TextRank_;
    std::vector<std::set<int, TLess>> Children_;  // the last one holds the top level
};
}  // namespace

TLinkPlan PlanLinking(const TLinkForest& forest, const std::vector<TLinkRecord>& records)
{
    const size_t n = forest.Parent.size();
    TLinkPlan plan;
    plan.Parent = forest.Parent;
    plan.Expand.assign(n, false);
    plan.Pivot.assign(n, std::nullopt);
    std::vector<int> moveSeq(n, -1);  // the record that last moved the node

    TLinkCutForest links(n);
    for (size_t i = 0; i < n; ++i)
        if (plan.Parent[i] >= 0)
            links.Link(int(i), plan.Parent[i]);

    // Nodes of each name in tree order; an empty name finds nothing.
    QHash<QString, std::vector<int>> byName;
    bool repeated = false;
    for (size_t i = 0; i < n; ++i) {
        if (forest.Names[i].isEmpty())
            continue;
        std::vector<int>& list = byName[forest.Names[i]];
        list.push_back(int(i));
        repeated = repeated || list.size() > 1;
    }
    std::unique_ptr<TSortedForest> sorted;
    if (repeated)
        sorted = std::make_unique<TSortedForest>(forest, plan.Parent, moveSeq);

    for (size_t k = 0; k < records.size(); ++k) {
        const auto find = [&](const QString& name) -> int {
            const auto it = name.isEmpty() ? byName.constEnd() : byName.constFind(name);
            if (it == byName.constEnd())
                return -1;
            // Before the first record the tree is in its old order; after it, sorted.
            if (it->size() == 1 || k == 0)
                return it->front();
            return sorted->First([&](int v) { return forest.Names[size_t(v)] == name; });
        };
        const int node = find(records[k].Name);
        if (node < 0)
            continue;
        const int parent = find(records[k].ParentName);
        plan.Pivot[size_t(node)] = std::array<float, 3>{records[k].Pivot[0], records[k].Pivot[1], records[k].Pivot[2]};
        if (parent >= 0 && links.IsAncestorOrSelf(node, parent))
            continue;  // onto itself or below itself: the tree refuses
        if (sorted)
            sorted->Remove(node);
        if (plan.Parent[size_t(node)] >= 0)
            links.Cut(node);
        if (parent >= 0) {
            links.Link(node, parent);
            plan.Expand[size_t(parent)] = true;
        }
        plan.Parent[size_t(node)] = parent;
        moveSeq[size_t(node)] = int(k);
        if (sorted)
            sorted->Insert(node);
        plan.Moved = true;
    }

    // Nodes that never moved keep their old order; moved ones follow in the order of
    // their last move, as each went to the end of its new parent's children.
    plan.InsertOrder.reserve(n);
    std::vector<int> moved;
    for (size_t i = 0; i < n; ++i)
        (moveSeq[i] < 0 ? plan.InsertOrder : moved).push_back(int(i));
    std::sort(moved.begin(), moved.end(), [&moveSeq](int a, int b) { return moveSeq[size_t(a)] < moveSeq[size_t(b)]; });
    plan.InsertOrder.insert(plan.InsertOrder.end(), moved.begin(), moved.end());
    return plan;
}
