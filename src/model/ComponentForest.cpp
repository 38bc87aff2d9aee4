#include "model/ComponentForest.h"
#include "model/P3dmodell.h"

#include <QCollator>
#include <algorithm>

bool ComponentTextLess(const QString& a, const QString& b)
{
    static const QCollator collator = [] {
        QCollator c;
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    const int order = collator.compare(a, b);
    return order != 0 ? order < 0 : a < b;
}

TSelection* FindComponentByName(const std::vector<TSelection*>& treeOrder, const QString& name)
{
    if (!name.isEmpty())
        for (TSelection* s : treeOrder)
            if (s && s->Name == name)
                return s;
    return nullptr;
}

int FindComponentByName(const TComponentNodes& nodes, const QString& name)
{
    if (!name.isEmpty())
        for (size_t i = 0; i < nodes.size(); ++i)
            if (nodes[i].Component && nodes[i].Component->Name == name)
                return int(i);
    return -1;
}

void TComponentForest::Clear()
{
    Components_.clear();
    Parent_.clear();
    Children_.assign(1, {});
}

int TComponentForest::Add(TSelection* component)
{
    if (Children_.empty())
        Children_.assign(1, {});
    const int node = Count();
    Components_.push_back(component);
    Parent_.push_back(-1);
    Children_.emplace_back();
    Children_[0].push_back(node);
    return node;
}

void TComponentForest::Rebuild(const std::vector<int>& parent, const std::vector<int>& insertOrder)
{
    for (std::vector<int>& kids : Children_)
        kids.clear();
    for (int node : insertOrder) {
        Parent_[size_t(node)] = parent[size_t(node)];
        Children_[size_t(parent[size_t(node)] + 1)].push_back(node);
    }
}

void TComponentForest::Sort()
{
    for (std::vector<int>& kids : Children_)
        std::stable_sort(kids.begin(), kids.end(), [this](int a, int b) {
            return ComponentTextLess(Components_[size_t(a)]->DisplayName, Components_[size_t(b)]->DisplayName);
        });
}

std::vector<int> TComponentForest::TreeIndices() const
{
    std::vector<int> out;
    out.reserve(Components_.size());
    // Without recursion: a chain may be as deep as the model is big.
    std::vector<int> stack;
    if (!Children_.empty())
        stack.assign(Children_[0].rbegin(), Children_[0].rend());
    while (!stack.empty()) {
        const int node = stack.back();
        stack.pop_back();
        out.push_back(node);
        const std::vector<int>& kids = Children_[size_t(node + 1)];
        stack.insert(stack.end(), kids.rbegin(), kids.rend());
    }
    return out;
}

TComponentNodes TComponentForest::Nodes() const
{
    TComponentNodes out;
    out.reserve(Components_.size());
    std::vector<int> level(Components_.size(), 0);
    for (int node : TreeIndices()) {
        const int parent = Parent_[size_t(node)];
        level[size_t(node)] = parent < 0 ? 0 : level[size_t(parent)] + 1;
        out.push_back({Components_[size_t(node)], level[size_t(node)], false});
    }
    return out;
}

std::vector<TSelection*> TComponentForest::TreeOrder() const
{
    std::vector<TSelection*> out;
    out.reserve(Components_.size());
    for (int node : TreeIndices())
        out.push_back(Components_[size_t(node)]);
    return out;
}

QStringList SubtreeNames(const TComponentNodes& nodes, const std::vector<int>& selected)
{
    QStringList names;
    // A node already taken was taken with its whole subtree, so its subtree is skipped in
    // one step: each node is listed at most once, and looked at about once, however the
    // selected subtrees nest (every node of a deep chain may be selected).
    const size_t n = nodes.size();
    std::vector<size_t> subtreeEnd(n, n);  // one past the last node of each subtree
    std::vector<size_t> open;
    for (size_t j = 0; j < n; ++j) {
        while (!open.empty() && nodes[open.back()].Level >= nodes[j].Level) {
            subtreeEnd[open.back()] = j;
            open.pop_back();
        }
        open.push_back(j);
    }
    std::vector<bool> taken(n, false);
    for (int top : selected) {
        if (top < 0 || size_t(top) >= n || taken[size_t(top)])
            continue;
        for (size_t i = size_t(top); i < subtreeEnd[size_t(top)];) {
            if (taken[i]) {
                i = subtreeEnd[i];
                continue;
            }
            taken[i] = true;
            names << nodes[i].Component->Name;
            ++i;
        }
    }
    return names;
}
