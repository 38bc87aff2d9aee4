#include "pose/OnionSkin.h"
#include "pose/View3dGeometry.h"

#include <algorithm>
#include <cmath>

std::vector<TOnionFrame> OnionFrames(int current, int count, int n)
{
    std::vector<TOnionFrame> frames;
    n = std::min(n, MaxOnionFrames);
    if (current < 0 || current >= count)
        return frames;
    for (int d = n; d >= 1; --d) {
        if (current - d >= 0)
            frames.push_back({current - d, d, false});
        if (current + d < count)
            frames.push_back({current + d, d, true});
    }
    return frames;
}

double OnionStrength(int distance, int n)
{
    n = std::clamp(n, 1, MaxOnionFrames);
    distance = std::clamp(distance, 1, n);
    return 0.5 * double(n + 1 - distance) / double(n);
}

uint32_t OnionViewColor(bool after, int distance, int n)
{
    const uint32_t tint = after ? OnionTint::After : OnionTint::Before;
    const double s = OnionStrength(distance, n);
    uint32_t color = 0;
    for (int shift : {0, 8, 16})
        color |= uint32_t(std::lround(double((tint >> shift) & 0xFFu) * s)) << shift;
    return color;
}

void OnionSceneColor(bool after, int distance, int n, float rgba[4])
{
    ComponentColor(after ? OnionTint::After : OnionTint::Before, rgba);
    // At distance 1 as faint as a component that is not being edited (alpha 0.2). The
    // colour carries its alpha already: the view keeps the brightest of the faces and
    // layers on a pixel rather than adding them up.
    rgba[3] = float(0.4 * OnionStrength(distance, n));
    for (int i = 0; i < 3; ++i)
        rgba[i] *= rgba[3];
}

namespace {
bool SameParams(const TPoseParams& a, const TPoseParams& b)
{
    return std::equal(a.ModelOffset, a.ModelOffset + 3, b.ModelOffset) && a.TotalMove == b.TotalMove &&
           a.ActAnimStep == b.ActAnimStep && a.PlayFraction == b.PlayFraction && a.AnimStepCount == b.AnimStepCount &&
           a.TotalMoveOn == b.TotalMoveOn && a.AnimationLoaded == b.AnimationLoaded;
}
}  // namespace

const std::vector<const TOnionLayer*>& TOnionSkin::Update(const TAnimDocument& doc, int n, const TModelList& models,
                                                          const TComponentNodes& tree,
                                                          const std::vector<const TSelection*>& treeOrder,
                                                          const TPoseCache& cache, const TPoseParams& params)
{
    Shown_.clear();
    const std::vector<TOnionFrame> frames = OnionFrames(params.ActAnimStep, doc.FrameCount(), n);
    const auto paramsAt = [&params](int frame) {
        TPoseParams p = params;
        p.ActAnimStep = frame;
        p.PlayFraction = 0;
        return p;
    };
    const auto wanted = [&frames](int frame) {
        return std::any_of(frames.begin(), frames.end(), [frame](const TOnionFrame& f) { return f.Frame == frame; });
    };
    for (const TOnionFrame& f : frames) {
        const TPoseParams p = paramsAt(f.Frame);
        auto kept = std::find_if(Kept_.begin(), Kept_.end(), [&](const TKept& k) {
            return k.Generation == Generation_ && k.Layer->Frame == f.Frame && SameParams(k.Layer->Params, p);
        });
        if (kept == Kept_.end()) {
            // A layer no frame shown now needs is posed again, else a new one.
            kept = std::find_if(Kept_.begin(), Kept_.end(),
                                [&](const TKept& k) { return k.Generation != Generation_ || !wanted(k.Layer->Frame); });
            if (kept == Kept_.end()) {
                Kept_.push_back({std::make_unique<TOnionLayer>(), 0, false});
                kept = Kept_.end() - 1;
            }
            TOnionLayer& layer = *kept->Layer;
            layer.Frame = f.Frame;
            layer.Params = p;
            layer.Pose.Reset(treeOrder);
            kept->Generation = Generation_;
            kept->Ok = ApplyFrameTransforms(doc, f.Frame, treeOrder, layer.Pose, true) == TApplyFrameResult::Ok;
            if (kept->Ok)
                PosePoints(models, tree, cache, layer.Pose, p, layer.Points);
            ++Posed_;
        }
        if (!kept->Ok)
            continue;
        TOnionLayer& layer = *kept->Layer;
        layer.Distance = f.Distance;
        layer.After = f.After;
        layer.ViewColor = OnionViewColor(f.After, f.Distance, n);
        OnionSceneColor(f.After, f.Distance, n, layer.SceneColor);
        Shown_.push_back(&layer);
    }
    return Shown_;
}
