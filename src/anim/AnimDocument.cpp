#include "anim/AnimDocument.h"

int TAnimSelections::Add(const QString& name)
{
    const int slot = Count();
    Names_.append(name);
    const QString key = Key(name);
    if (!First_.contains(key))  // an earlier equal name keeps the look-up
        First_.insert(key, slot);
    return slot;
}

int TAnimSelections::IndexOf(const QString& name) const
{
    const auto it = First_.constFind(Key(name));
    return it == First_.constEnd() ? -1 : it.value();
}

void TAnimSelections::Clear()
{
    Names_.clear();
    First_.clear();
}

void TAnimSelections::Reserve(int n)
{
    Names_.reserve(n);
    First_.reserve(n);
}

void ValidateFrameTimes(std::vector<TAnimFrame>& frames)
{
    if (frames.empty())
        return;
    frames.front().Time = 0;
    frames.front().TimeValid = true;
    for (size_t i = 1; i < frames.size(); ++i)
        frames[i].TimeValid = frames[i].Time > frames[i - 1].Time;
    if (frames.size() > 1) {
        frames.back().Time = 1;
        frames.back().TimeValid = true;
    }
}
