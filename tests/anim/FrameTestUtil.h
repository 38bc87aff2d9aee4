#pragma once
// Frames made from a list of times; each carries its original index in its one entry
// (translation x), so a test sees where a frame went and what a copy was taken from.
#include "anim/AnimDocument.h"

#include <QList>
#include <cmath>
#include <vector>

using FloatList = QList<float>;
using IntList = QList<int>;

inline std::vector<TAnimFrame> FramesAt(const FloatList& times)
{
    std::vector<TAnimFrame> frames;
    for (qsizetype i = 0; i < times.size(); ++i)
        frames.push_back({true, times[i], {{0, {1, 0, 0, 0, 1, 0, 0, 0, 1, float(i), 0, 0}}}});
    return frames;
}

inline FloatList TimesOf(const std::vector<TAnimFrame>& frames, double roundTo = 0)
{
    FloatList t;  // rounded to the given step when one is given, so float noise compares equal
    for (const TAnimFrame& f : frames)
        t.append(roundTo > 0 ? float(std::round(f.Time / roundTo) * roundTo) : f.Time);
    return t;
}

inline IntList IdsOf(const std::vector<TAnimFrame>& frames)
{
    IntList ids;
    for (const TAnimFrame& f : frames)
        ids.append(f.Entries.empty() ? -1 : int(f.Entries[0].Matrix[9]));
    return ids;
}
