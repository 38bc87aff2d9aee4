#include "model/ModelEdits.h"
#include "model/ComponentForest.h"
#include "model/P3dmodell.h"

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
}  // namespace

TModelSnapshot SnapshotModel(const TComponentForest& forest)
{
    TModelSnapshot snap;
    for (int node : forest.TreeIndices()) {
        const int parent = forest.Parent(node);
        TSelection* s = forest.Component(node);
        snap.Components.push_back(s);
        snap.Edits.push_back(EditsOf(*s, parent < 0 ? QString() : forest.Component(parent)->Name));
    }
    return snap;
}

TModelChange DiffModel(const TModelSnapshot& before, const TModelSnapshot& after)
{
    TModelChange change;
    QHash<const TSelection*, size_t> earlier;
    for (size_t i = 0; i < before.Components.size(); ++i)
        earlier.insert(before.Components[i], i);
    for (size_t i = 0; i < after.Components.size(); ++i) {
        const auto it = earlier.constFind(after.Components[i]);
        if (it == earlier.constEnd())
            continue;  // not the same model: nothing to compare with
        const unsigned kinds = Differences(before.Edits[*it], after.Edits[i]);
        if (!kinds)
            continue;
        change.Components.push_back(after.Components[i]);
        change.Before.push_back(before.Edits[*it]);
        change.After.push_back(after.Edits[i]);
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

void TModelFileStates::Saved(unsigned kinds, const TModelSnapshot& now)
{
    if (kinds & EditLinking)
        Linking_ = now;
    if (kinds & EditNames)
        Names_ = now;
    if (kinds & EditColors)
        Colors_ = now;
}

unsigned TModelFileStates::Unsaved(const TModelSnapshot& now) const
{
    return (DiffModel(Linking_, now).Kinds & EditLinking) | (DiffModel(Names_, now).Kinds & EditNames) |
           (DiffModel(Colors_, now).Kinds & EditColors);
}
