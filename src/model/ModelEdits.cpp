#include "model/ModelEdits.h"
#include "model/ComponentForest.h"
#include "model/P3dModel.h"

#include <QHash>
#include <algorithm>

namespace {
TComponentEdits EditsOf(const TSelection& s, const QString& parent)
{
    TComponentEdits e;
    e.Parent = parent;
    std::copy(s.Pivot, s.Pivot + 3, e.Pivot);
    e.DisplayName = s.DisplayName;
    e.Color = s.Color;
    e.Hidden = s.Hidden;
    return e;
}

unsigned Differences(const TComponentEdits& a, const TComponentEdits& b)
{
    unsigned kinds = 0;
    if (a.Parent != b.Parent || !std::equal(a.Pivot, a.Pivot + 3, b.Pivot))
        kinds |= EditLinking;
    if (a.DisplayName != b.DisplayName)
        kinds |= EditNames;
    if (a.Color != b.Color)
        kinds |= EditColors;
    if (a.Hidden != b.Hidden)
        kinds |= EditHidden;
    return kinds;
}

TComponentEdits EditsOf(const TComponentForest& forest, int node)
{
    const int parent = forest.Parent(node);
    return EditsOf(*forest.Component(node), parent < 0 ? QString() : forest.Component(parent)->Name);
}
}  // namespace

void TModelChange::Append(const TModelChange& next)
{
    QHash<const TSelection*, size_t> at;
    for (size_t i = 0; i < Components.size(); ++i)
        at.insert(Components[i], i);
    for (size_t i = 0; i < next.Components.size(); ++i) {
        if (const auto it = at.constFind(next.Components[i]); it != at.constEnd()) {
            After[*it] = next.After[i];
            continue;
        }
        Components.push_back(next.Components[i]);
        Before.push_back(next.Before[i]);
        After.push_back(next.After[i]);
    }
    Kinds |= next.Kinds;
}

size_t TModelChange::Bytes() const
{
    size_t n = Components.capacity() * sizeof(TSelection*) + (Before.capacity() + After.capacity()) * sizeof(TComponentEdits);
    for (const std::vector<TComponentEdits>* side : {&Before, &After})
        for (const TComponentEdits& e : *side)
            n += size_t(e.Parent.capacity() + e.DisplayName.capacity()) * sizeof(QChar);
    return n;
}

TModelRecorder::TModelRecorder(TComponentForest& forest, std::vector<int> nodes) : Forest_(forest), Nodes_(std::move(nodes))
{
    if (Nodes_.empty())
        Nodes_ = Forest_.TreeIndices();
    Before_.reserve(Nodes_.size());
    for (int node : Nodes_)
        Before_.push_back(EditsOf(Forest_, node));
}

TModelChange TModelRecorder::Finish() const
{
    TModelChange change;
    for (size_t i = 0; i < Nodes_.size(); ++i) {
        TComponentEdits after = EditsOf(Forest_, Nodes_[i]);
        const unsigned kinds = Differences(Before_[i], after);
        if (!kinds)
            continue;
        change.Components.push_back(Forest_.MutableComponent(Nodes_[i]));
        change.Before.push_back(Before_[i]);
        change.After.push_back(std::move(after));
        change.Kinds |= kinds;
    }
    return change;
}

bool ApplyModelChange(const TModelChange& change, bool undo, TComponentForest& forest)
{
    const std::vector<TComponentEdits>& side = undo ? change.Before : change.After;
    QHash<const TSelection*, int> nodeOf;
    QHash<QString, int> nodeNamed;
    for (int n = 0; n < forest.Count(); ++n) {
        nodeOf.insert(forest.Component(n), n);
        if (!nodeNamed.contains(forest.Component(n)->Name))  // the first of equal names, as look-ups do
            nodeNamed.insert(forest.Component(n)->Name, n);
    }
    std::vector<int> parent(size_t(forest.Count()));
    for (int n = 0; n < forest.Count(); ++n)
        parent[size_t(n)] = forest.Parent(n);
    bool moved = false;
    for (size_t i = 0; i < change.Components.size(); ++i) {
        TSelection* s = change.Components[i];
        const TComponentEdits& e = side[i];
        std::copy(e.Pivot, e.Pivot + 3, s->Pivot);
        s->DisplayName = e.DisplayName;
        s->Color = e.Color;
        s->Hidden = e.Hidden;
        const auto node = nodeOf.constFind(s);
        if (node == nodeOf.constEnd())
            continue;
        const int want = e.Parent.isEmpty() ? -1 : nodeNamed.value(e.Parent, -1);
        if (parent[size_t(*node)] != want) {
            parent[size_t(*node)] = want;
            moved = true;
        }
    }
    if (moved) {
        // Parents before children, so each node is inserted under a parent already placed.
        std::vector<int> order, depth(size_t(forest.Count()), -1);
        const auto depthOf = [&](int n) {
            int d = 0;
            for (int p = parent[size_t(n)]; p >= 0 && d <= forest.Count(); p = parent[size_t(p)])
                ++d;
            return d;
        };
        for (int n = 0; n < forest.Count(); ++n) {
            depth[size_t(n)] = depthOf(n);
            order.push_back(n);
        }
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return depth[size_t(a)] < depth[size_t(b)]; });
        forest.Rebuild(parent, order);
    }
    forest.Sort();
    return moved;
}
