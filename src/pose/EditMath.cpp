#include "pose/EditMath.h"

#include "pose/Pose.h"

#include <cmath>
#include <unordered_map>
#include <unordered_set>

const char* EditModeRefusal(int frameCount, int treeNodeCount)
{
    if (frameCount <= 0)
        return EditText::NothingToEdit;
    if (treeNodeCount <= 0)
        return EditText::NoComponents;
    return nullptr;
}

std::vector<bool> BeingEditedFlags(const TEditTree& tree)
{
    const size_t n = tree.Nodes.size();
    std::vector<bool> selected(n, false);
    for (int s : tree.Selected)
        if (s >= 0 && static_cast<size_t>(s) < n)
            selected[static_cast<size_t>(s)] = true;

    // Walk in pre-order keeping the chain of ancestors: a node is edited when it or one of
    // them is selected.
    struct TOpen {
        int Level;
        bool Edited;
    };
    std::vector<TOpen> chain;
    std::vector<bool> edited(n, false);
    for (size_t i = 0; i < n; ++i) {
        const int level = tree.Nodes[i].Level;
        while (!chain.empty() && chain.back().Level >= level)
            chain.pop_back();
        const bool e = selected[i] || (!chain.empty() && chain.back().Edited);
        edited[i] = e;
        chain.push_back({level, e});
    }

    // A component shown by more than one node goes by its first node.
    std::unordered_map<const TSelection*, size_t> first;
    first.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const auto [it, isNew] = first.try_emplace(tree.Nodes[i].Component, i);
        if (!isNew)
            edited[i] = edited[it->second];
    }
    return edited;
}

bool SlidersCentred(double x, double y, double z)
{
    return std::abs(x) < EditSliderDeadZone && std::abs(y) < EditSliderDeadZone && std::abs(z) < EditSliderDeadZone;
}

void AccumulateEditTick(TComponentPose& c, bool rotate, double x, double y, double z)
{
    if (rotate) {
        c.EditRot[0] += x * x * x * EditRotFactor;
        c.EditRot[1] += y * y * y * EditRotFactor;
        c.EditRot[2] += z * z * z * EditRotFactor;
    } else {
        c.EditMove[0] += x * EditMoveFactor;
        c.EditMove[1] += y * EditMoveFactor;
        c.EditMove[2] += z * EditMoveFactor;
    }
}

bool EditTick(const TEditTree& tree, TPose& pose, bool rotate, double x, double y, double z)
{
    if (SlidersCentred(x, y, z))
        return false;
    const std::vector<bool> edited = BeingEditedFlags(tree);
    // A component shown by two nodes still grows once per tick.
    std::unordered_set<const TSelection*> done;
    for (size_t i = 0; i < tree.Nodes.size(); ++i) {
        const TSelection* c = tree.Nodes[i].Component;
        if (c && edited[i] && done.insert(c).second)
            if (TComponentPose* p = pose.Find(c))
                AccumulateEditTick(*p, rotate, x, y, z);
    }
    return true;
}

void ApplyEditToSubtree(const TEditTree& tree, TPose& pose, const std::vector<bool>& beingEdited, int s,
                        const double modelOffset[3], bool relative)
{
    const int n = static_cast<int>(tree.Nodes.size());
    if (s < 0 || s >= n)
        return;
    const TSelection* sc = tree.Nodes[static_cast<size_t>(s)].Component;
    const int level = tree.Nodes[static_cast<size_t>(s)].Level;
    for (int i = s; i < n && (i == s || tree.Nodes[static_cast<size_t>(i)].Level > level); ++i) {
        const TComponentNode& node = tree.Nodes[static_cast<size_t>(i)];
        TComponentPose* c = pose.Find(node.Component);
        if (!c || !node.InAnimation || static_cast<size_t>(i) >= beingEdited.size() || !beingEdited[static_cast<size_t>(i)])
            continue;
        TTransform& act = c->Act;
        act = c->Base;
        // Without totals the result is the base itself; taking it as it is keeps "Restore"
        // exact where subtracting and adding back the pivot would round.
        if (c->EditRot[0] == 0 && c->EditRot[1] == 0 && c->EditRot[2] == 0 && c->EditMove[0] == 0 && c->EditMove[1] == 0 &&
            c->EditMove[2] == 0)
            continue;
        TVec3 q;
        if (relative && sc) {
            // Where S's pivot is now: for S itself under its base, for the nodes below under
            // S's freshly edited transform.
            const TVec3 p{RoundToFloat(sc->Pivot[0] + modelOffset[0]), RoundToFloat(sc->Pivot[1] + modelOffset[1]),
                          RoundToFloat(sc->Pivot[2] + modelOffset[2])};
            q = pose.Act(sc).Apply(p);
            act[9] -= q.x;
            act[10] -= q.y;
            act[11] -= q.z;
        }
        RotateX(act, c->EditRot[0]);
        RotateY(act, c->EditRot[1]);
        RotateZ(act, c->EditRot[2]);
        act[9] += c->EditMove[0];
        act[10] += c->EditMove[1];
        act[11] += c->EditMove[2];
        if (relative && sc) {
            act[9] += q.x;
            act[10] += q.y;
            act[11] += q.z;
        }
    }
}

void ApplyEditChanges(const TEditTree& tree, TPose& pose, const double modelOffset[3], bool relative)
{
    const std::vector<bool> edited = BeingEditedFlags(tree);
    for (int s : tree.Selected)
        ApplyEditToSubtree(tree, pose, edited, s, modelOffset, relative);
}

bool ResetRelChanges(const TSelection& c, TComponentPose& pose, bool inAnimation, const TAnimDocument& doc, int step)
{
    for (int i = 0; i < 3; ++i) {
        pose.EditRot[i] = 0;
        pose.EditMove[i] = 0;
    }
    if (!inAnimation)
        return true;
    if (step >= 0 && step < doc.FrameCount()) {
        for (const TAnimEntry& e : doc.AnimFrames[static_cast<size_t>(step)].Entries) {
            if (e.NameIndex < 0 || e.NameIndex >= doc.AnimSelections.Count())
                continue;
            if (doc.AnimSelections[e.NameIndex] == c.Name) {
                pose.Base = Widen(e.Matrix);
                return true;
            }
        }
    }
    return false;
}

int ResetAllRelChanges(const TEditTree& tree, TPose& pose, const TAnimDocument& doc, int step)
{
    int missing = 0;
    for (const TComponentNode& node : tree.Nodes) {
        TComponentPose* p = node.Component ? pose.Find(node.Component) : nullptr;
        if (p && !ResetRelChanges(*node.Component, *p, node.InAnimation, doc, step))
            ++missing;
    }
    return missing;
}

namespace {
// The component an entry names (the first tree node with exactly that name), or null.
const TSelection* EntryComponent(const TEditTree& tree, const TAnimDocument& doc, const TAnimEntry& e)
{
    const QString name = e.NameIndex >= 0 && e.NameIndex < doc.AnimSelections.Count() ? doc.AnimSelections[e.NameIndex]
                                                                                      : QString();
    const int node = FindComponentByName(tree.Nodes, name);
    return node < 0 ? nullptr : tree.Nodes[static_cast<size_t>(node)].Component;
}
}  // namespace

bool WriteEditToFrame(const TEditTree& tree, const TPose& pose, TAnimDocument& doc, int step)
{
    if (step < 0 || step >= doc.FrameCount())
        return true;
    for (TAnimEntry& e : doc.AnimFrames[static_cast<size_t>(step)].Entries) {
        const TSelection* c = EntryComponent(tree, doc, e);
        if (!c)
            return false;
        e.Matrix = Narrow(pose.Act(c));
    }
    return true;
}

bool EditChangesFrame(const TEditTree& tree, const TPose& pose, const TAnimDocument& doc, int step)
{
    if (step < 0 || step >= doc.FrameCount())
        return false;
    for (const TAnimEntry& e : doc.AnimFrames[static_cast<size_t>(step)].Entries)
        if (const TSelection* c = EntryComponent(tree, doc, e); c && Narrow(pose.Act(c)) != e.Matrix)
            return true;
    return false;
}

bool ResetFrameMatrices(TAnimDocument& doc, int step)
{
    if (doc.FrameCount() == 0)
        return false;
    if (step < 0 || step >= doc.FrameCount())
        return true;
    for (TAnimEntry& e : doc.AnimFrames[static_cast<size_t>(step)].Entries)
        e.Matrix = IdentityMatrix12f;
    return true;
}

void RebaseEdits(const TEditTree& tree, TPose& pose)
{
    for (const TComponentNode& n : tree.Nodes) {
        TComponentPose* p = pose.Find(n.Component);
        if (!p)
            continue;
        TComponentPose& c = *p;
        if (n.InAnimation)
            c.Base = c.Act;
        for (int i = 0; i < 3; ++i)
            c.EditRot[i] = c.EditMove[i] = 0;
    }
}
