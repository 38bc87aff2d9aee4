#pragma once
// The onion skin: the frames around the current one, drawn faintly under the current pose
// (frames before in one tint, frames after in another, fading with distance), so that the
// animator sees where a pose comes from and goes to. Each neighbouring frame is posed
// into a pose and point records of its own; the current pose and the models' display
// points are never touched. The views draw the layers (pose/ViewGeometry.h,
// pose/View3dGeometry.h); this unit chooses and poses them and keeps them from one
// drawing to the next, since an edit tick changes only the current pose.
#include "pose/Pose.h"

#include <memory>
#include <vector>

constexpr int MaxOnionFrames = 5;

// A frame the onion skin shows: how far from the current one, and on which side.
struct TOnionFrame {
    int Frame = 0;
    int Distance = 1;
    bool After = false;
};

// The frames within n (at most MaxOnionFrames) of current among count frames, farthest
// first and, at each distance, the earlier before the later, so nearer frames are drawn
// over farther ones. Frames before the first or after the last are left out; n <= 0 gives
// none.
std::vector<TOnionFrame> OnionFrames(int current, int count, int n);

// The tints, 0x00BBGGRR as the views take colours.
namespace OnionTint {
constexpr uint32_t Before = 0x00FF9040u;  // blue
constexpr uint32_t After = 0x004090FFu;  // orange
}  // namespace OnionTint

// How strongly a frame at this distance shows when n frames are shown on a side: 0.5 at
// distance 1, falling evenly to 0.5 / n at distance n.
double OnionStrength(int distance, int n);
// The views' colour: the tint scaled towards black, the views' background, by the strength.
uint32_t OnionViewColor(bool after, int distance, int n);
// The 3D view's colour: the tint as components' colours are taken (each byte / 256),
// alpha 0.4 x the strength (0.2 at distance 1, as faint as a component that is not being
// edited), with the colour multiplied by the alpha.
void OnionSceneColor(bool after, int distance, int n, float rgba[4]);

// One neighbouring frame, posed.
struct TOnionLayer {
    int Frame = -1;
    int Distance = 1;
    bool After = false;
    TPose Pose;  // every component of the tree with this frame's transform
    TPosedPoints Points;  // the models' points in this pose
    TPoseParams Params;  // as for the current pose, at this frame (its total-move share)
    uint32_t ViewColor = 0;
    float SceneColor[4] = {0, 0, 0, 0};
};

class TOnionSkin {
public:
    // The frames, the hierarchy or the models changed: every layer is posed again.
    void Invalidate() { ++Generation_; }
    // The layers to draw around frame params.ActAnimStep, as OnionFrames orders them,
    // posed with params (their own step and no playback fraction). A layer already posed
    // for the same frame with the same params since the last Invalidate is kept as it is. A
    // frame that cannot be put on the components (an entry missing) is left out.
    const std::vector<const TOnionLayer*>& Update(const TAnimDocument& doc, int n, const TModelList& models,
                                                  const TComponentNodes& tree, const std::vector<const TSelection*>& treeOrder,
                                                  const TPoseCache& cache, const TPoseParams& params);
    const std::vector<const TOnionLayer*>& Layers() const { return Shown_; }
    // How many frames were posed (not kept) by the updates so far.
    int PosedCount() const { return Posed_; }

private:
    struct TKept {
        std::unique_ptr<TOnionLayer> Layer;
        unsigned Generation = 0;
        bool Ok = false;  // the frame could be put on the components
    };
    std::vector<TKept> Kept_;
    std::vector<const TOnionLayer*> Shown_;
    unsigned Generation_ = 1;
    int Posed_ = 0;
};
