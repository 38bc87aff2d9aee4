#include "pose/Pose.h"
#include "anim/Playback.h"
#include "model/Membership.h"

#include "platform/DebugOut.h"

#include <algorithm>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

#ifdef __SSE2__
// Two points posed by one component each, written whole as 0 + their posed value: the
// operations of PoseWithShare in the same order, a point in each lane.
inline void PosePair(const TP3dVertex& va, const TP3dVertex& vb, const TTransform& M, const double off[3], const TVec3& share,
                     TDisplayPoint& da, TDisplayPoint& db)
{
    const auto toFloat = [](__m128d v) { return _mm_cvtps_pd(_mm_cvtpd_ps(v)); };
    const __m128d px = toFloat(_mm_add_pd(_mm_set_pd(vb.X, va.X), _mm_set1_pd(off[0])));
    const __m128d py = toFloat(_mm_add_pd(_mm_set_pd(vb.Y, va.Y), _mm_set1_pd(off[1])));
    const __m128d pz = toFloat(_mm_add_pd(_mm_set_pd(vb.Z, va.Z), _mm_set1_pd(off[2])));
    const std::array<double, 12>& m = M.m;
    const auto row = [&](int r, double s) {
        const __m128d sum = _mm_add_pd(
            _mm_add_pd(_mm_add_pd(_mm_mul_pd(px, _mm_set1_pd(m[r])), _mm_mul_pd(py, _mm_set1_pd(m[r + 3]))),
                       _mm_mul_pd(pz, _mm_set1_pd(m[r + 6]))),
            _mm_set1_pd(m[r + 9]));
        return _mm_cvtpd_ps(_mm_add_pd(_mm_setzero_pd(), _mm_add_pd(sum, _mm_set1_pd(s))));
    };
    float x[4], y[4], z[4];
    _mm_storeu_ps(x, row(0, share.x));
    _mm_storeu_ps(y, row(1, share.y));
    _mm_storeu_ps(z, row(2, share.z));
    da = {x[0], y[0], z[0], 1};
    db = {x[1], y[1], z[1], 1};
}
#endif

// Calls f(pointIndex) for every member point of the component that is inside its model's
// points and the n display records posed: from the cache when it fits, else from the
// membership bytes.
template <class F>
void ForEachMemberPoint(const TSelection& c, const TPoseCache::TEntry* entry, size_t records, F&& f)
{
    const TP3dModell& m = *c.Model;
    const size_t n = std::min(m.Vertices.size(), records);
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

TTransform ProxyTransform(const TP3dModell& subModel, const TPose& pose)
{
    if (!subModel.ProxyParent)
        return subModel.ProxyMatrix;
    TTransform t;
    MultiplyTransform(subModel.ProxyMatrix, pose.Act(subModel.ProxyParent), t);
    return t;
}

// ---- Pose records

void TPose::Reset(const std::vector<const TSelection*>& components)
{
    Records_.assign(components.size(), TComponentPose{});
    Index_.clear();
    Index_.reserve(components.size());
    for (size_t i = 0; i < components.size(); ++i)
        Index_.try_emplace(components[i], int(i));
}

void TPose::Reset(const TComponentForest& forest)
{
    Records_.assign(size_t(forest.Count()), TComponentPose{});
    Index_.clear();
    Index_.reserve(size_t(forest.Count()));
    for (int n = 0; n < forest.Count(); ++n)
        Index_.try_emplace(forest.Component(n), n);
}

TComponentPose* TPose::Find(const TSelection* component)
{
    const auto it = Index_.find(component);
    return it == Index_.end() ? nullptr : &Records_[size_t(it->second)];
}

const TComponentPose* TPose::Find(const TSelection* component) const
{
    const auto it = Index_.find(component);
    return it == Index_.end() ? nullptr : &Records_[size_t(it->second)];
}

const TTransform& TPose::Act(const TSelection* component) const
{
    static const TTransform rest = TTransform::Identity();
    const TComponentPose* p = Find(component);
    return p ? p->Act : rest;
}

void TPose::ToRest()
{
    for (TComponentPose& p : Records_)
        p.Act = TTransform::Identity();
}

// ---- Cache

void AppendNonZero(const TMembership& bytes, size_t n, std::vector<uint32_t>& out, size_t from)
{
    const uint8_t* b = bytes.data();
    for (size_t i = Membership::Next(b, from, n); i < n; i = Membership::Next(b, i + 1, n))
        out.push_back(static_cast<uint32_t>(i));
}

void TPoseCache::Rebuild(const std::vector<const TSelection*>& treeOrder)
{
    Shares_.Valid = false;
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
        AppendNonZero(c->VertexMembership, std::min<size_t>({e.VertexCount, c->VertexMembership.size(), c->EndPoint}), e.Points,
                      c->FirstPoint);
        AppendNonZero(c->PolygonMembership, std::min<size_t>({e.PolygonCount, c->PolygonMembership.size(), c->EndPolygon}),
                      e.Polygons, c->FirstPolygon);
    }
}

const TPoseCache::TEntry* TPoseCache::Find(size_t treeIndex, const TSelection* component) const
{
    if (treeIndex >= Entries_.size() || !component)
        return nullptr;
    const TEntry& e = Entries_[treeIndex];
    if (e.Component != component || e.Model != component->Model || !e.Model || e.VertexCount != e.Model->Vertices.size() ||
        e.PolygonCount != e.Model->Polygons.size())
        return nullptr;
    return &e;
}

// ---- Display points

namespace {

// Whether every animated node of the tree has its cache entry, so that shares worked out
// now hold for as long as the cache does.
bool AllEntriesFound(const TComponentNodes& tree, const TPoseCache& cache)
{
    for (size_t t = 0; t < tree.size(); ++t) {
        const TSelection* c = tree[t].Component;
        if (tree[t].InAnimation && c && c->Model && !c->Model->IsEnvironment && !cache.Find(t, c))
            return false;
    }
    return true;
}

// The shares kept from a posing of the same models with the same components animated, or
// null.
template <class Out>
const TPoseCache::TShares* KeptShares(const TModelList& models, const TComponentNodes& tree, const TPoseCache& cache, Out&& out)
{
    const TPoseCache::TShares& s = cache.Shares();
    if (!s.Valid || s.Components.size() != tree.size())
        return nullptr;
    for (size_t t = 0; t < tree.size(); ++t)
        if (s.Components[t] != tree[t].Component || s.Animated[t] != uint8_t(tree[t].InAnimation))
            return nullptr;
    size_t j = 0;
    for (const auto& m : models) {
        if (!m || m->IsEnvironment)
            continue;
        if (j >= s.Models.size() || s.Models[j] != m.get() || s.Sizes[j] != out(*m).size())
            return nullptr;
        ++j;
    }
    return j == s.Models.size() && AllEntriesFound(tree, cache) ? &s : nullptr;
}

// Keeps the shares the counting pass has just left in the display records.
template <class Out>
void KeepShares(const TModelList& models, const TComponentNodes& tree, const TPoseCache& cache, Out&& out)
{
    TPoseCache::TShares& s = cache.Shares();
    s.Valid = false;
    if (!AllEntriesFound(tree, cache))
        return;
    s.Components.clear();
    s.Animated.clear();
    for (const TComponentNode& n : tree) {
        s.Components.push_back(n.Component);
        s.Animated.push_back(uint8_t(n.InAnimation));
    }
    s.Models.clear();
    s.Sizes.clear();
    size_t j = 0;
    for (const auto& m : models) {
        if (!m || m->IsEnvironment)
            continue;
        const std::vector<TDisplayPoint>& records = out(*m);
        s.Models.push_back(m.get());
        s.Sizes.push_back(records.size());
        if (s.Single.size() <= j) {
            s.Single.resize(j + 1);
            s.Reset.resize(j + 1);
        }
        std::vector<uint8_t>& single = s.Single[j];
        std::vector<std::pair<uint32_t, int32_t>>& reset = s.Reset[j];
        single.assign(records.size(), 0);
        reset.clear();
        const size_t posed = std::min(m->Vertices.size(), records.size());
        for (size_t i = 0; i < records.size(); ++i) {
            const int32_t n = records[i].ShareCount;
            if (n == 1 && i < posed && !m->Vertices[i].IsProxyCorner)
                single[i] = 1;
            else
                reset.emplace_back(uint32_t(i), n);
        }
        ++j;
    }
    s.Single.resize(j);
    s.Reset.resize(j);
    s.Valid = true;
}

// UpdateDisplayPoints into the records out(model) gives for each non-environment model.
template <class Out>
void PoseRecords(const TModelList& models, const TComponentNodes& tree, const TPoseCache& cache, const TPose& pose,
                 const TPoseParams& params, Out&& out)
{
    if (!params.AnimationLoaded) {
        for (const auto& m : models) {
            if (!m || m->IsEnvironment)
                continue;
            std::vector<TDisplayPoint>& records = out(*m);
            const size_t n = std::min(m->Vertices.size(), records.size());
            for (size_t i = 0; i < n; ++i) {
                const TP3dVertex& v = m->Vertices[i];
                if (v.IsProxyCorner)
                    continue;
                TDisplayPoint& d = records[i];
                d.X = v.X;
                d.Y = v.Y;
                d.Z = v.Z;
            }
        }
        return;
    }

    // Every point starts at the origin with the number of animated components that pose it;
    // with the shares of the last posing, only the points not posed by exactly one are
    // reset here, and the others are written whole below, as 0 + their posed value.
    const TPoseCache::TShares* kept = KeptShares(models, tree, cache, out);
    if (kept) {
        size_t j = 0;
        for (const auto& m : models) {
            if (!m || m->IsEnvironment)
                continue;
            TDisplayPoint* d = out(*m).data();
            for (const auto& [i, n] : kept->Reset[j++])
                d[i] = {0, 0, 0, n};
        }
    } else {
        for (const auto& m : models) {
            if (!m || m->IsEnvironment)
                continue;
            for (TDisplayPoint& d : out(*m))
                d = TDisplayPoint{};
        }
        for (size_t t = 0; t < tree.size(); ++t) {
            const TSelection* c = tree[t].Component;
            if (!tree[t].InAnimation || !c || !c->Model || c->Model->IsEnvironment)
                continue;
            std::vector<TDisplayPoint>& records = out(*c->Model);
            ForEachMemberPoint(*c, cache.Find(t, c), records.size(), [&records](uint32_t i) { ++records[i].ShareCount; });
        }
        KeepShares(models, tree, cache, out);
    }

    const TVec3 share = params.TotalMoveShare();
    for (size_t t = 0; t < tree.size(); ++t) {
        const TSelection* c = tree[t].Component;
        if (!tree[t].InAnimation || !c || !c->Model || c->Model->IsEnvironment)
            continue;
        TP3dModell& m = *c->Model;
        std::vector<TDisplayPoint>& records = out(m);
        const TTransform& M = pose.Act(c);
        const uint8_t* single = nullptr;
        if (kept)
            for (size_t j = 0; j < kept->Models.size(); ++j)
                if (kept->Models[j] == &m)
                    single = kept->Single[j].data();
        const auto posePoint = [&](uint32_t i) {
            const TP3dVertex& v = m.Vertices[i];
            if (v.IsProxyCorner)
                return;
            TDisplayPoint& d = records[i];
            const TVec3 q = PoseWithShare(v.X, v.Y, v.Z, M, params.ModelOffset, share);
            if (single && single[i]) {
                d = {static_cast<float>(0.0 + q.x), static_cast<float>(0.0 + q.y), static_cast<float>(0.0 + q.z), 1};
                return;
            }
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
        };
        const TPoseCache::TEntry* entry = cache.Find(t, c);
#ifdef __SSE2__
        if (single && entry) {
            // Two points at a time where both are written whole.
            const size_t n = std::min(m.Vertices.size(), records.size());
            const std::vector<uint32_t>& members = entry->Points;
            size_t k = 0;
            for (; k + 2 <= members.size(); k += 2) {
                const uint32_t a = members[k], b = members[k + 1];
                if (a < n && b < n && single[a] && single[b]) {
                    PosePair(m.Vertices[a], m.Vertices[b], M, params.ModelOffset, share, records[a], records[b]);
                    continue;
                }
                for (uint32_t i : {a, b})
                    if (i < n)
                        posePoint(i);
            }
            for (; k < members.size(); ++k)
                if (members[k] < n)
                    posePoint(members[k]);
            continue;
        }
#endif
        ForEachMemberPoint(*c, entry, records.size(), posePoint);
    }
}

}  // namespace

void UpdateDisplayPoints(const TModelList& models, const TComponentNodes& tree, const TPoseCache& cache, const TPose& pose,
                         const TPoseParams& params)
{
    PoseRecords(models, tree, cache, pose, params, [](TP3dModell& m) -> std::vector<TDisplayPoint>& { return m.DisplayPoints; });
}

void PosePoints(const TModelList& models, const TComponentNodes& tree, const TPoseCache& cache, const TPose& pose,
                const TPoseParams& params, TPosedPoints& out)
{
    out.Fit(models);
    PoseRecords(models, tree, cache, pose, params,
                [&out](TP3dModell& m) -> std::vector<TDisplayPoint>& { return *out.Mutable(m); });
}

void TPosedPoints::Fit(const TModelList& models)
{
    size_t j = 0;
    for (const auto& m : models) {
        if (!m || m->IsEnvironment)
            continue;
        if (Models_.size() <= j) {
            Models_.resize(j + 1);
            Points_.resize(j + 1);
        }
        Models_[j] = m.get();
        Points_[j].resize(m->DisplayPoints.size());
        ++j;
    }
    Models_.resize(j);
    Points_.resize(j);
}

size_t TPosedPoints::IndexOf(const TP3dModell& m) const
{
    return size_t(std::find(Models_.begin(), Models_.end(), &m) - Models_.begin());
}

const std::vector<TDisplayPoint>* TPosedPoints::Of(const TP3dModell& m) const
{
    const size_t j = IndexOf(m);
    return j < Points_.size() ? &Points_[j] : nullptr;
}

std::vector<TDisplayPoint>* TPosedPoints::Mutable(const TP3dModell& m)
{
    const size_t j = IndexOf(m);
    return j < Points_.size() ? &Points_[j] : nullptr;
}

// ---- Frames

namespace {
// The component of each name slot of the animation (the first in tree order with exactly
// that name), found in one pass; the debug line for each name without one unless quiet.
std::vector<const TSelection*> AnimatedComponents(const TAnimDocument& doc, const std::vector<const TSelection*>& treeOrder,
                                                  bool quiet = false)
{
    std::vector<const TSelection*> found = FindComponentsByName(treeOrder, doc.AnimSelections.Names());
    for (size_t i = 0; i < found.size() && !quiet; ++i)
        if (!found[i])
            DebugOut(doc.AnimSelections[int(i)] + " not found!");
    return found;
}
}  // namespace

TApplyFrameResult ApplyFrameTransforms(const TAnimDocument& doc, int step, const std::vector<const TSelection*>& treeOrder,
                                       TPose& pose, bool quiet)
{
    if (step < 0 || step >= doc.FrameCount())
        return TApplyFrameResult::InvalidStep;
    const std::span<const TAnimEntry> entries = doc.AnimFrames.Entries(static_cast<size_t>(step));
    const std::vector<const TSelection*> components = AnimatedComponents(doc, treeOrder, quiet);
    // Of several entries for one slot the last counts.
    std::vector<const TAnimEntry*> last(components.size(), nullptr);
    for (const TAnimEntry& e : entries)
        if (e.NameIndex >= 0 && size_t(e.NameIndex) < last.size())
            last[size_t(e.NameIndex)] = &e;
    for (size_t i = 0; i < components.size(); ++i) {
        if (!components[i])
            continue;
        if (!last[i])
            return TApplyFrameResult::EntryMissing;
        if (TComponentPose* p = pose.Find(components[i]))
            p->Act = Widen(last[i]->Matrix);
    }
    return TApplyFrameResult::Ok;
}

TApplyFrameResult ApplyBlendTransforms(const TAnimDocument& doc, int step, double fraction,
                                       const std::vector<const TSelection*>& treeOrder, TPose& pose)
{
    if (step < 0 || step + 1 >= doc.FrameCount())
        return TApplyFrameResult::InvalidStep;
    const TAnimFrame& cur = doc.AnimFrames[static_cast<size_t>(step)];
    const TAnimFrame& nxt = doc.AnimFrames[static_cast<size_t>(step) + 1];
    const std::vector<const TSelection*> components = AnimatedComponents(doc, treeOrder);
    // Each slot's first entry in this frame, paired by position with the next frame's
    // entry (FindBlendPartner for every slot at once).
    std::vector<int> first(components.size(), -1);
    for (size_t j = cur.Entries.size(); j-- > 0;) {
        const int slot = cur.Entries[j].NameIndex;
        if (slot >= 0 && size_t(slot) < first.size())
            first[size_t(slot)] = int(j);
    }
    for (size_t i = 0; i < components.size(); ++i) {
        if (!components[i])
            continue;
        const int at = first[i] >= 0 && size_t(first[i]) < nxt.Entries.size() ? first[i] : -1;
        if (at < 0)
            return TApplyFrameResult::EntryMissing;
        if (TComponentPose* p = pose.Find(components[i]))
            p->Act = BlendMatrix(cur.Entries[size_t(at)].Matrix, nxt.Entries[size_t(at)].Matrix, fraction);
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
