#pragma once
// Pose evaluation: how the components' current transforms, the model offset and the total
// move turn the stored points of the models into the posed points the views draw.
//
// Window-free. The editor passes its models, the component tree as a flat list in tree
// order (depth-first pre-order), how each component is posed (TPose) and the few document
// values the pose reads.
#include "anim/AnimDocument.h"
#include "model/ComponentForest.h"
#include "model/P3dModel.h"
#include "base/Transform.h"

#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

// How one component is posed now, and where an edit of it stands.
struct TComponentPose {
    TTransform Act = TTransform::Identity();  // the transform it is shown with
    TTransform Base;  // what an edit of it starts from
    double EditRot[3] = {0, 0, 0};  // the edit's totals
    double EditMove[3] = {0, 0, 0};
};

// The pose of a model: one record per component, numbered as the forest numbers its
// nodes, found also by component. Kept apart from the model, which holds only what its
// files say. A component without a record is at rest for the readers and is skipped by
// the writers.
class TPose {
public:
    TPose() = default;
    // Every component at rest, numbered in the order given.
    explicit TPose(const std::vector<const TSelection*>& components) { Reset(components); }
    void Reset(const std::vector<const TSelection*>& components);
    void Reset(const TComponentForest& forest);

    int Count() const { return int(Records_.size()); }
    TComponentPose& operator[](int node) { return Records_[size_t(node)]; }
    const TComponentPose& operator[](int node) const { return Records_[size_t(node)]; }
    TComponentPose* Find(const TSelection* component);
    const TComponentPose* Find(const TSelection* component) const;
    // The transform the component is shown with (the identity without a record).
    const TTransform& Act(const TSelection* component) const;
    // Every component back at rest.
    void ToRest();

private:
    std::vector<TComponentPose> Records_;
    std::unordered_map<const TSelection*, int> Index_;
};

// The document and window values that the pose depends on.
struct TPoseParams {
    double ModelOffset[3] = {0, 0, 0};  // added to every stored point (and pivot) first
    std::array<float, 3> TotalMove{0, 0, 0};
    int32_t ActAnimStep = 0;
    double PlayFraction = 0;  // progress from ActAnimStep towards the next frame while playing
    int32_t AnimStepCount = 0;
    bool TotalMoveOn = true;  // the total-move switch
    bool AnimationLoaded = false;  // the animation's component list is not empty

    // (ActAnimStep + PlayFraction) * TotalMove / AnimStepCount per axis when the switch is
    // on and there are frames; zero otherwise.
    TVec3 TotalMoveShare() const;
};

// v rounded to the nearest float. g++ 12's vectoriser was seen to drop a plain float cast
// between two double operations, which made posed points depend on digits that neither
// the stored point nor the frame has; the empty asm (or a volatile elsewhere) pins the
// float value down at almost no cost.
inline double RoundToFloat(double v)
{
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    float f = static_cast<float>(v);
    asm("" : "+x"(f));
#else
    volatile float f = static_cast<float>(v);
#endif
    return f;
}

// The stored point p plus the model offset, rounded to float, transformed by M in double
// precision, plus the total-move share.
TVec3 PosePoint(const float p[3], const TTransform& M, const TPoseParams& params);
TVec3 PosePoint(const TP3dVertex& v, const TTransform& M, const TPoseParams& params);

// The placement of a proxy sub-model: its proxy matrix followed by the posed transform of
// the component it hangs under, or the proxy matrix alone when it hangs under none.
TTransform ProxyTransform(const TP3dModell& subModel, const TPose& pose);

// Member point and polygon indices of every tree node's component, worked out once so that
// a refresh does not scan membership bytes. Rebuild it whenever the models or the tree
// (order, membership) change. A stale cache is detected where that is cheap (other nodes
// or other sizes) and then membership bytes are scanned directly, so results stay right.
class TPoseCache {
public:
    void Rebuild(const std::vector<const TSelection*>& treeOrder);
    void Clear()
    {
        Entries_.clear();
        Shares_.Valid = false;
    }

    struct TEntry {
        const TSelection* Component = nullptr;
        const TP3dModell* Model = nullptr;
        size_t VertexCount = 0;  // of Model when built
        size_t PolygonCount = 0;  // of Model when built
        std::vector<uint32_t> Points;  // indices of member points, ascending
        std::vector<uint32_t> Polygons;  // indices of member polygons, ascending
    };
    // The entry for the node at this tree position if it still fits that component.
    const TEntry* Find(size_t treeIndex, const TSelection* component) const;

    // Which points the animated components share, as a posing worked it out, kept for the
    // next posing with the same components animated: a point posed by one component is
    // written whole, the others are reset first. Only the posing reads and writes it.
    struct TShares {
        bool Valid = false;
        std::vector<const TSelection*> Components;  // the tree's, with their InAnimation
        std::vector<uint8_t> Animated;
        std::vector<const TP3dModell*> Models;  // the non-environment models
        std::vector<size_t> Sizes;  // their display point counts
        std::vector<std::vector<uint8_t>> Single;  // per model and point: one component poses it
        std::vector<std::vector<std::pair<uint32_t, int32_t>>> Reset;  // the other points, share counts
    };
    TShares& Shares() const { return Shares_; }

private:
    std::vector<TEntry> Entries_;
    mutable TShares Shares_;
};

// Fills DisplayPoints of every non-environment model:
//  - no animation loaded: the stored points (proxy corners keep their old display values);
//  - otherwise: each point is the average of PosePoint over the animated components that
//    contain it (share count = their number); points in none of them stay at the origin;
//    proxy corners are counted but not posed.
// Environment models are left untouched. Allocates nothing once the cache has kept the
// shares of the components animated.
void UpdateDisplayPoints(const TModelList& models, const TComponentNodes& tree, const TPoseCache& cache, const TPose& pose,
                         const TPoseParams& params);

// Posed points kept apart from the models' own display points: a record array per
// non-environment model, as long as its display points. A neighbouring frame of the onion
// skin is posed into one while the current pose stays in the models.
class TPosedPoints {
public:
    // The records of m; null for a model that has none (an environment).
    const std::vector<TDisplayPoint>* Of(const TP3dModell& m) const;
    std::vector<TDisplayPoint>* Mutable(const TP3dModell& m);
    // One record array per non-environment model of the list, sized as its display points.
    void Fit(const TModelList& models);

private:
    size_t IndexOf(const TP3dModell& m) const;
    std::vector<const TP3dModell*> Models_;
    std::vector<std::vector<TDisplayPoint>> Points_;
};

// UpdateDisplayPoints into out (fitted to the models first); the models' own display
// points are not touched.
void PosePoints(const TModelList& models, const TComponentNodes& tree, const TPoseCache& cache, const TPose& pose,
                const TPoseParams& params, TPosedPoints& out);

// What loading a frame into the components ended with.
enum class TApplyFrameResult {
    Ok,  // every animated component found in the tree has the frame's transform
    InvalidStep,  // step outside the frame list: nothing changed ("Invalid ActAnimStep!")
    EntryMissing,  // an animated component has no entry ("AnimEntry not found!"); the
    // components before it in the animation's list already show the frame
};

// Widens frame `step`'s matrices into the posed transforms of the components, in the order of the
// animation's component list. A name with no component in the tree (exact, first in tree
// order) is skipped with the debug line "<name> not found!" (unless quiet: a frame posed
// beside the one shown says nothing new); of several entries for one name the last
// counts. The caller shows the message and refreshes only on Ok.
TApplyFrameResult ApplyFrameTransforms(const TAnimDocument& doc, int step, const std::vector<const TSelection*>& treeOrder,
                                       TPose& pose, bool quiet = false);

// Playback's pose between frame step and the next one: each animated component's
// posed transform becomes the blend at fraction of its entry in frame step and the entry at
// the same list position in the next frame. InvalidStep when there is no next frame;
// EntryMissing ("AnimEntry not found!") stops at a name without an entry, no refresh.
TApplyFrameResult ApplyBlendTransforms(const TAnimDocument& doc, int step, double fraction,
                                       const std::vector<const TSelection*>& treeOrder, TPose& pose);

// Appends the positions of the non-zero bytes of bytes[from, n) to out, ascending (n at
// most bytes.size()).
void AppendNonZero(const TMembership& bytes, size_t n, std::vector<uint32_t>& out, size_t from = 0);

// "Show Animated Only": every component outside the animation is hidden, the others shown;
// a proxy shows with the component it hangs under.
void ShowAnimatedOnly(const std::vector<TSelection*>& treeOrder, const TAnimSelections& animated);
