#pragma once
// The motion path of one component: where its pivot is at every frame of the animation,
// posed as the views pose the pivot mark (model offset, the frame's transform, the frame's
// share of the total move). The views draw it as a line through those points with a dot
// per frame and the current frame's dot stressed (pose/ViewGeometry.h).
#include "pose/Pose.h"

#include <vector>

struct TMotionPath {
    std::vector<TVec3> Points;  // one per frame; not finite where a frame has no entry for it
    int Current = -1;  // the current frame's point
    bool IsEmpty() const { return Points.empty(); }
};

// The path of c's pivot over the frames of doc. The component takes its transform from the
// slot the frames give it (the last slot of its name, when it is the first component of
// that name in tree order, as ApplyFrameTransforms finds it) and, in each frame, from that
// slot's last entry. current, when given, is the current frame's transform in its place
// (an edit under way). Empty when c is not animated.
TMotionPath MotionPath(const TAnimDocument& doc, const std::vector<const TSelection*>& treeOrder, const TSelection& c,
                       const TPoseParams& params, const TTransform* current = nullptr);
