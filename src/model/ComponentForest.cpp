#include "model/ComponentForest.h"
#include "model/P3dModel.h"

#include <QCollator>
#include <QHash>
#include <algorithm>

bool ComponentTextLess(const QString& a, const QString& b)
{
    // One per thread: a model may be set up on a worker while the window sorts its own.
    static thread_local const QCollator collator = [] {
        QCollator c;
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    const int order = collator.compare(a, b);
    return order != 0 ? order < 0 : a < b;
}

namespace {
template <class S>
S* FindByName(const std::vector<S*>& treeOrder, const QString& name)
{
    if (!name.isEmpty())
        for (S* s : treeOrder)
            if (s && s->Name == name)
                return s;
    return nullptr;
}

template <class S>
std::vector<S*> FindManyByName(const std::vector<S*>& treeOrder, const QStringList& names)
{
    // Each name asked for, with the first component of that name in tree order.
    QHash<QString, S*> found;
    found.reserve(names.size());
    for (const QString& name : names)
        if (!name.isEmpty())
            found.insert(name, nullptr);
    qsizetype left = found.size();
    for (S* s : treeOrder) {
        if (left == 0)
            break;
        if (!s)
            continue;
        const auto it = found.find(s->Name);
        if (it != found.end() && !*it) {
            *it = s;
            --left;
        }
    }
    std::vector<S*> out;
    out.reserve(size_t(names.size()));
    for (const QString& name : names)
        out.push_back(found.value(name, nullptr));
    return out;
}
}  // namespace

TSelection* FindComponentByName(const std::vector<TSelection*>& treeOrder, const QString& name)
{
    return FindByName(treeOrder, name);
}

const TSelection* FindComponentByName(const std::vector<const TSelection*>& treeOrder, const QString& name)
{
    return FindByName(treeOrder, name);
}

std::vector<TSelection*> FindComponentsByName(const std::vector<TSelection*>& treeOrder, const QStringList& names)
{
    return FindManyByName(treeOrder, names);
}

std::vector<const TSelection*> FindComponentsByName(const std::vector<const TSelection*>& treeOrder, const QStringList& names)
{
    return FindManyByName(treeOrder, names);
}

int FindComponentByName(const TComponentNodes& nodes, const QString& name)
{
    if (!name.isEmpty())
        for (size_t i = 0; i < nodes.size(); ++i)
            if (nodes[i].Component && nodes[i].Component->Name == name)
                return int(i);
    return -1;
}

TComponentForest::~TComponentForest()
{
    for (TForestListener* l : std::vector<TForestListener*>(Listener_.Ptrs))
        l->ForestGone();
}

void TComponentForest::AddListener(TForestListener* listener) const
{
    if (listener && std::find(Listener_.Ptrs.begin(), Listener_.Ptrs.end(), listener) == Listener_.Ptrs.end())
        Listener_.Ptrs.push_back(listener);
}

void TComponentForest::RemoveListener(TForestListener* listener) const { std::erase(Listener_.Ptrs, listener); }

void TComponentForest::AboutToChange(TForestChange change)
{
    for (TForestListener* l : Listener_.Ptrs)
        l->ForestAboutToChange(change);
}

void TComponentForest::Changed(TForestChange change)
{
    for (TForestListener* l : Listener_.Ptrs)
        l->ForestChanged(change);
}

TComponentForest::TBatch::TBatch(TComponentForest& forest) : Forest_(forest)
{
    if (Forest_.Listener_.Batch++ == 0)
        Forest_.AboutToChange(TForestChange::Hierarchy);
}

TComponentForest::TBatch::~TBatch()
{
    if (--Forest_.Listener_.Batch == 0)
        Forest_.Changed(TForestChange::Hierarchy);
}

void TComponentForest::Renumber()
{
    Row_.resize(Components_.size());
    for (const std::vector<int>& kids : Children_)
        for (size_t i = 0; i < kids.size(); ++i)
            Row_[size_t(kids[i])] = int(i);
}

void TComponentForest::Replace(TComponentForest other)
{
    AboutToChange(TForestChange::Reset);
    Components_ = std::move(other.Components_);
    Parent_ = std::move(other.Parent_);
    Children_ = std::move(other.Children_);
    if (Children_.empty())
        Children_.assign(1, {});
    other.Children_.assign(1, {});
    Renumber();
    Changed(TForestChange::Reset);
}

void TComponentForest::Clear()
{
    AboutToChange(TForestChange::Reset);
    Components_.clear();
    Parent_.clear();
    Row_.clear();
    Children_.assign(1, {});
    Changed(TForestChange::Reset);
}

int TComponentForest::Add(TSelection* component)
{
    AboutToChange(TForestChange::Reset);
    const int node = Count();
    Components_.push_back(component);
    Parent_.push_back(-1);
    Row_.push_back(int(Children_[0].size()));
    Children_.emplace_back();
    Children_[0].push_back(node);
    Changed(TForestChange::Reset);
    return node;
}

int TComponentForest::Level(int node) const
{
    int level = 0;
    for (int p = Parent(node); p >= 0; p = Parent(p))
        ++level;
    return level;
}

bool TComponentForest::InSubtree(int node, int root) const
{
    for (int n = node; n >= 0; n = Parent(n))
        if (n == root)
            return true;
    return false;
}

int TComponentForest::Find(const QString& name) const
{
    if (!name.isEmpty())
        for (int node : TreeIndices())
            if (Components_[size_t(node)]->Name == name)
                return node;
    return -1;
}

void TComponentForest::Rebuild(const std::vector<int>& parent, const std::vector<int>& insertOrder)
{
    const TBatch batch(*this);
    for (std::vector<int>& kids : Children_)
        kids.clear();
    for (int node : insertOrder) {
        Parent_[size_t(node)] = parent[size_t(node)];
        Children_[size_t(parent[size_t(node)] + 1)].push_back(node);
    }
    Renumber();
}

void TComponentForest::Sort()
{
    const TBatch batch(*this);
    for (std::vector<int>& kids : Children_)
        std::stable_sort(kids.begin(), kids.end(), [this](int a, int b) {
            return ComponentTextLess(Components_[size_t(a)]->DisplayName, Components_[size_t(b)]->DisplayName);
        });
    Renumber();
}

bool TComponentForest::Link(int node, int parent)
{
    if (node < 0 || node >= Count() || parent >= Count() || (parent >= 0 && InSubtree(parent, node)))
        return false;
    const TBatch batch(*this);
    std::vector<int>& from = Children_[size_t(Parent(node) + 1)];
    from.erase(from.begin() + Row(node));
    Parent_[size_t(node)] = parent;
    Children_[size_t(parent + 1)].push_back(node);
    Sort();
    return true;
}

bool TComponentForest::MoveUp(int node)
{
    if (node < 0 || node >= Count())
        return false;
    const int parent = Parent(node);
    return Link(node, parent < 0 ? -1 : Parent(parent));
}

std::vector<int> TComponentForest::Subtree(int node) const
{
    std::vector<int> out;
    if (node < 0 || node >= Count())
        return out;
    // Without recursion: a chain may be as deep as the model is big.
    std::vector<int> stack{node};
    while (!stack.empty()) {
        const int n = stack.back();
        stack.pop_back();
        out.push_back(n);
        const std::vector<int>& kids = Children(n);
        stack.insert(stack.end(), kids.rbegin(), kids.rend());
    }
    return out;
}

void TComponentForest::SetHidden(int node, bool hidden)
{
    if (node < 0 || node >= Count())
        return;
    AboutToChange(TForestChange::Components);
    for (int n : Subtree(node))
        Components_[size_t(n)]->Hidden = hidden;
    Changed(TForestChange::Components);
}

void TComponentForest::SetAllHidden(bool hidden)
{
    AboutToChange(TForestChange::Components);
    for (TSelection* s : Components_)
        s->Hidden = hidden;
    Changed(TForestChange::Components);
}

void TComponentForest::ComponentsChanged()
{
    AboutToChange(TForestChange::Components);
    Changed(TForestChange::Components);
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

std::vector<const TSelection*> TComponentForest::TreeOrder() const
{
    std::vector<const TSelection*> out;
    out.reserve(Components_.size());
    for (int node : TreeIndices())
        out.push_back(Components_[size_t(node)]);
    return out;
}

std::vector<TSelection*> TComponentForest::MutableTreeOrder()
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
