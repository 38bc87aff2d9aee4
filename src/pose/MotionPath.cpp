#include "pose/MotionPath.h"

#include <limits>

TMotionPath MotionPath(const TAnimDocument& doc, const std::vector<const TSelection*>& treeOrder, const TSelection& c,
                       const TPoseParams& params, const TTransform* current)
{
    TMotionPath path;
    int slot = -1;
    for (int i = 0; i < doc.AnimSelections.Count(); ++i)
        if (doc.AnimSelections[i] == c.Name)
            slot = i;
    if (slot < 0 || FindComponentByName(treeOrder, c.Name) != &c)
        return path;
    const int count = doc.FrameCount();
    path.Points.reserve(size_t(count));
    path.Current = params.ActAnimStep >= 0 && params.ActAnimStep < count ? params.ActAnimStep : -1;
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    TPoseParams at = params;
    at.PlayFraction = 0;
    for (int f = 0; f < count; ++f) {
        at.ActAnimStep = f;
        if (f == path.Current && current) {
            path.Points.push_back(PosePoint(c.Pivot, *current, at));
            continue;
        }
        const std::span<const TAnimEntry> entries = doc.AnimFrames.Entries(size_t(f));
        const TAnimEntry* last = nullptr;
        for (size_t k = entries.size(); k-- > 0 && !last;)
            if (entries[k].NameIndex == slot)
                last = &entries[k];
        path.Points.push_back(last ? PosePoint(c.Pivot, Widen(last->Matrix), at) : TVec3{nan, nan, nan});
    }
    return path;
}
