#include "pose/Pose.h"
#include "anim/Playback.h"

#include "platform/DebugOut.h"

#include <algorithm>
#include <cstring>

TVec3 TPoseParams::TotalMoveShare() const
{
    if (!TotalMoveOn || AnimStepCount == 0)
        return {};
    const double f = static_cast<double>(ActAnimStep) + PlayFraction;
    const double n = AnimStepCount;
    return {f * TotalMove[0] / n, f * TotalMove[1] / n, f * TotalMove[2] / n};
}

namespace {

// PosePoint with the total-move share worked out once by the caller. The transform is
// TTransform::Apply written out here, term for term in the same order (so the results
// are the same to the bit): as a call per point it cost a third of the posing.
inline TVec3 PoseWithShare(float x, float y, float z, const TTransform& M, const double off[3], const TVec3& share)
{
    const double px = RoundToFloat(x + off[0]), py = RoundToFloat(y + off[1]), pz = RoundToFloat(z + off[2]);
    const std::array<double, 12>& m = M.m;
    const double qx = px * m[0] + py * m[3] + pz * m[6] + m[9];
    const double qy = px * m[1] + py * m[4] + pz * m[7] + m[10];
    const double qz = px * m[2] + py * m[5] + pz * m[8] + m[11];
    return {qx + share.x, qy + share.y, qz + share.z};
}

// Calls f(pointIndex) for every member point of the component that is inside its model's
// point and display arrays: from the cache when it fits, else from the membership bytes.
template <class F>
void ForEachMemberPoint(const TSelection& c, const TPoseCache::TEntry* entry, F&& f)
{
    const TP3dModell& m = *c.Model;
    const size_t n = std::min(m.Vertices.size(), m.DisplayPoints.size());
    if (entry) {
        for (uint32_t i : entry->Points)
            if (i < n)
                f(i);
        return;
    }
    const size_t k = std::min(n, c.VertexMembership.size());
    for (size_t i = 0; i < k; ++i)
        if (c.VertexMembership[i] != 0)
            f(static_cast<uint32_t>(i));
}

}  // namespace

TVec3 PosePoint(const float p[3], const TTransform& M, const TPoseParams& params)
{
    return PoseWithShare(p[0], p[1], p[2], M, params.ModelOffset, params.TotalMoveShare());
}

TVec3 PosePoint(const TP3dVertex& v, const TTransform& M, const TPoseParams& params)
{
    return PoseWithShare(v.X, v.Y, v.Z, M, params.ModelOffset, params.TotalMoveShare());
}

TTransform ProxyTransform(const TP3dModell& subModel)
{
    if (!subModel.ProxyParent)
        return subModel.ProxyMatrix;
    TTransform t;
    MultiplyTransform(subModel.ProxyMatrix, subModel.ProxyParent->ActTransform, t);
    return t;
}

// ---- Cache

void AppendNonZero(const std::vector<uint8_t>& bytes, size_t n, std::vector<uint32_t>& out)
{
    const uint8_t* b = bytes.data();
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t word;
        std::memcpy(&word, b + i, sizeof word);
        if (word == 0)
            continue;
        for (size_t k = i; k < i + 8; ++k)
            if (b[k] != 0)
                out.push_back(static_cast<uint32_t>(k));
    }
    for (; i < n; ++i)
        if (b[i] != 0)
            out.push_back(static_cast<uint32_t>(i));
}

void TPoseCache::Rebuild(const std::vector<TSelection*>& treeOrder)
{
    Entries_.clear();
    Entries_.resize(treeOrder.size());
    for (size_t t = 0; t < treeOrder.size(); ++t) {
        const TSelection* c = treeOrder[t];
        TEntry& e = Entries_[t];
        e.Component = c;
        if (!c || !c->Model)
            continue;
        e.Model = c->Model;
        e.VertexCount = c->Model->Vertices.size();
        e.PolygonCount = c->Model->Polygons.size();
        AppendNonZero(c->VertexMembership, std::min(e.VertexCount, c->VertexMembership.size()), e.Points);
        AppendNonZero(c->PolygonMembership, std::min(e.PolygonCount, c->PolygonMembership.size()), e.Polygons);
    }
}

const TPoseCache::TEntry* TPoseCache::Find(size_t treeIndex, const TSelection* component) const
{
    if (treeIndex >= Entries_.size() || !component)
        return nullptr;
    const TEntry& e = Entries_[treeIndex];
    if (e.Component != component || e.Model != component->Model || !e.Model ||
        e.VertexCount != e.Model->Vertices.size() || e.PolygonCount != e.Model->Polygons.size())
        return nullptr;
    return &e;
}

// ---- Display points

void UpdateDisplayPoints(const TModelList& models, const TComponentNodes& tree, const TPoseCache& cache,
                         const TPoseParams& params)
{
    if (!params.AnimationLoaded) {
        for (const auto& m : models) {
            if (!m || m->IsEnvironment)
                continue;
            const size_t n = std::min(m->Vertices.size(), m->DisplayPoints.size());
            for (size_t i = 0; i < n; ++i) {
                const TP3dVertex& v = m->Vertices[i];
                if (v.IsProxyCorner)
                    continue;
                TDisplayPoint& d = m->DisplayPoints[i];
                d.X = v.X;
                d.Y = v.Y;
                d.Z = v.Z;
            }
        }
        return;
    }

    for (const auto& m : models) {
        if (!m || m->IsEnvironment)
            continue;
        for (TDisplayPoint& d : m->DisplayPoints)
            d = TDisplayPoint{};
    }

    for (size_t t = 0; t < tree.size(); ++t) {
        const TSelection* c = tree[t].Component;
        if (!tree[t].InAnimation || !c || !c->Model || c->Model->IsEnvironment)
            continue;
        TP3dModell& m = *c->Model;
        ForEachMemberPoint(*c, cache.Find(t, c), [&m](uint32_t i) { ++m.DisplayPoints[i].ShareCount; });
    }

    const TVec3 share = params.TotalMoveShare();
    for (size_t t = 0; t < tree.size(); ++t) {
        const TSelection* c = tree[t].Component;
        if (!tree[t].InAnimation || !c || !c->Model || c->Model->IsEnvironment)
            continue;
        TP3dModell& m = *c->Model;
        const TTransform& M = c->ActTransform;
        ForEachMemberPoint(*c, cache.Find(t, c), [&](uint32_t i) {
            const TP3dVertex& v = m.Vertices[i];
            if (v.IsProxyCorner)
                return;
            TDisplayPoint& d = m.DisplayPoints[i];
            const TVec3 q = PoseWithShare(v.X, v.Y, v.Z, M, params.ModelOffset, share);
            // Most points belong to one component; x / 1 is x, without a division.
            if (d.ShareCount == 1) {
                d.X = static_cast<float>(d.X + q.x);
                d.Y = static_cast<float>(d.Y + q.y);
                d.Z = static_cast<float>(d.Z + q.z);
                return;
            }
            const double n = d.ShareCount;
            d.X = static_cast<float>(d.X + q.x / n);
            d.Y = static_cast<float>(d.Y + q.y / n);
            d.Z = static_cast<float>(d.Z + q.z / n);
        });
    }
}

// ---- Frames

namespace {
// The first component in tree order with exactly this name; the debug line when none.
TSelection* AnimatedComponent(const std::vector<TSelection*>& treeOrder, const QString& name)
{
    if (!name.isEmpty())
        for (TSelection* t : treeOrder)
            if (t && t->Name == name)
                return t;
    DebugOut(name + " not found!");
    return nullptr;
}
}  // namespace

TApplyFrameResult ApplyFrameTransforms(const TAnimDocument& doc, int step, const std::vector<TSelection*>& treeOrder)
{
    if (step < 0 || step >= doc.FrameCount())
        return TApplyFrameResult::InvalidStep;
    const std::span<const TAnimEntry> entries = doc.AnimFrames.Entries(static_cast<size_t>(step));
    for (int i = 0; i < doc.AnimSelections.Count(); ++i) {
        TSelection* c = AnimatedComponent(treeOrder, doc.AnimSelections[i]);
        if (!c)
            continue;
        const TAnimEntry* last = nullptr;
        for (const TAnimEntry& e : entries)
            if (e.NameIndex == i)
                last = &e;
        if (!last)
            return TApplyFrameResult::EntryMissing;
        c->ActTransform = Widen(last->Matrix);
    }
    return TApplyFrameResult::Ok;
}

TApplyFrameResult ApplyBlendTransforms(const TAnimDocument& doc, int step, double fraction,
                                       const std::vector<TSelection*>& treeOrder)
{
    if (step < 0 || step + 1 >= doc.FrameCount())
        return TApplyFrameResult::InvalidStep;
    const TAnimFrame& cur = doc.AnimFrames[static_cast<size_t>(step)];
    const TAnimFrame& nxt = doc.AnimFrames[static_cast<size_t>(step) + 1];
    for (int i = 0; i < doc.AnimSelections.Count(); ++i) {
        TSelection* c = AnimatedComponent(treeOrder, doc.AnimSelections[i]);
        if (!c)
            continue;
        const int at = FindBlendPartner(cur, nxt, i);
        if (at < 0)
            return TApplyFrameResult::EntryMissing;
        c->ActTransform = BlendMatrix(cur.Entries[size_t(at)].Matrix, nxt.Entries[size_t(at)].Matrix, fraction);
    }
    return TApplyFrameResult::Ok;
}

void ShowAnimatedOnly(const std::vector<TSelection*>& treeOrder, const TAnimSelections& animated)
{
    for (TSelection* s : treeOrder) {
        const TSelection* shownWith = s->ProxyModel && s->ProxyModel->ProxyParent ? s->ProxyModel->ProxyParent : s;
        s->Hidden = animated.IndexOf(shownWith->Name) < 0;
    }
}
