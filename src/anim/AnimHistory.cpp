#include "anim/AnimHistory.h"

#include <algorithm>
#include <cstring>

namespace {
bool SameEntries(const TAnimFrame& a, const TAnimFrame& b)
{
    if (a.Entries.size() != b.Entries.size())
        return false;
    return a.Entries.empty() || std::memcmp(a.Entries.data(), b.Entries.data(), a.Entries.size() * sizeof(TAnimEntry)) == 0;
}

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool SameState(const TDocState& a, const TDocState& b)
{
    return std::equal(a.TotalMove.begin(), a.TotalMove.end(), b.TotalMove.begin(), SameBits);
}
}  // namespace

TFramesDelta TFramesDelta::Apply(std::vector<TAnimFrame>& frames)
{
    TFramesDelta inverse;
    // Only times changed (Linearize, a drag, a total move): they are swapped in place.
    if (Frames.empty() && Sources.size() == frames.size()) {
        bool inPlace = true;
        for (size_t i = 0; i < Sources.size() && inPlace; ++i)
            inPlace = Sources[i] == static_cast<int>(i);
        if (inPlace) {
            inverse.Sources = std::move(Sources);
            inverse.Times = std::move(Times);
            for (size_t i = 0; i < frames.size(); ++i)
                std::swap(frames[i].Time, inverse.Times[i]);
            ValidateFrameTimes(frames);
            return inverse;
        }
    }
    inverse.Sources.assign(frames.size(), -1);
    inverse.Times.reserve(frames.size());
    for (const TAnimFrame& f : frames)
        inverse.Times.push_back(f.Time);

    std::vector<TAnimFrame> result(Sources.size());
    size_t next = 0;
    for (size_t i = 0; i < Sources.size(); ++i) {
        const int from = Sources[i];
        if (from >= 0) {
            result[i] = std::move(frames[size_t(from)]);
            inverse.Sources[size_t(from)] = static_cast<int>(i);
        } else {
            result[i] = std::move(Frames[next++]);
        }
        result[i].Time = Times[i];
    }
    for (size_t j = 0; j < frames.size(); ++j)
        if (inverse.Sources[j] < 0)
            inverse.Frames.push_back(std::move(frames[j]));
    frames = std::move(result);
    ValidateFrameTimes(frames);
    return inverse;
}

bool TFramesDelta::IsIdentity(const std::vector<TAnimFrame>& frames) const
{
    if (!Frames.empty() || Sources.size() != frames.size())
        return false;
    for (size_t i = 0; i < Sources.size(); ++i)
        if (Sources[i] != static_cast<int>(i) || !SameBits(Times[i], frames[i].Time))
            return false;
    return true;
}

size_t TFramesDelta::Bytes() const
{
    size_t n = Sources.capacity() * sizeof(int) + Times.capacity() * sizeof(float) + Frames.capacity() * sizeof(TAnimFrame);
    for (const TAnimFrame& f : Frames)
        n += f.Entries.capacity() * sizeof(TAnimEntry);
    return n;
}

size_t TAnimStep::Bytes() const
{
    return sizeof(TAnimStep) + Delta.Bytes() + (Names ? size_t(Names->size()) * 32 : 0) + (External ? External->Bytes() : 0);
}

TStepRecorder::TStepRecorder(std::vector<TAnimFrame>& frames, TFrameRange keep, TDocState before, TKeep how)
    : Keep_(keep), Before_(before), How_(how)
{
    Times_.reserve(frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        frames[i].Tag = static_cast<int32_t>(i);
        Times_.push_back(frames[i].Time);
    }
    if (!IsFrameRange(keep.First, keep.Last, static_cast<int>(frames.size()))) {
        Keep_ = {};
        return;
    }
    if (how == TKeep::Copy) {
        Kept_.assign(frames.begin() + keep.First, frames.begin() + keep.Last + 1);
        return;
    }
    Kept_.resize(size_t(keep.Last - keep.First + 1));
    for (size_t j = 0; j < Kept_.size(); ++j)
        Kept_[j].Entries = std::move(frames[size_t(keep.First) + j].Entries);
}

void TStepRecorder::Abandon(std::vector<TAnimFrame>& frames)
{
    if (How_ != TKeep::Take || Keep_.First < 0)
        return;
    for (size_t j = 0; j < Kept_.size(); ++j)
        frames[size_t(Keep_.First) + j].Entries = std::move(Kept_[j].Entries);
    Kept_.clear();
}

std::optional<TAnimStep> TStepRecorder::Finish(const QString& name, std::vector<TAnimFrame>& frames,
                                               const TDocState& after)
{
    // Where each frame of before stands now: the first frame carrying its tag. A copy
    // carries the tag of its original too; its entries are the same, so either serves.
    std::vector<int> now(Times_.size(), -1);
    for (size_t i = 0; i < frames.size(); ++i) {
        const int32_t tag = frames[i].Tag;
        if (tag >= 0 && size_t(tag) < now.size() && now[size_t(tag)] < 0)
            now[size_t(tag)] = static_cast<int>(i);
    }
    TAnimStep step;
    step.Name = name;
    step.Before = Before_;
    step.After = after;
    TFramesDelta& d = step.Delta;
    d.Times = std::move(Times_);
    d.Sources.resize(d.Times.size());
    for (size_t j = 0; j < d.Sources.size(); ++j) {
        int source = now[j];
        if (Keep_.First >= 0 && int(j) >= Keep_.First && int(j) <= Keep_.Last) {
            TAnimFrame& old = Kept_[j - size_t(Keep_.First)];
            if (How_ == TKeep::Take && source >= 0) {  // it stayed after all: it gets its transforms back
                frames[size_t(source)].Entries = std::move(old.Entries);
                d.Sources[j] = source;
                continue;
            }
            // A kept frame is stored only when it went or its transforms changed.
            if (source < 0 || !SameEntries(old, frames[size_t(source)])) {
                d.Frames.push_back(std::move(old));
                source = -1;
            }
        }
        d.Sources[j] = source;
    }
    if (d.IsIdentity(frames) && SameState(Before_, after))
        return std::nullopt;
    return step;
}

void TAnimHistory::Push(TAnimStep step)
{
    if (Saved_ > static_cast<long>(Index_))
        Saved_ = -1;  // the saved state could only have been reached by redoing
    Steps_.erase(Steps_.begin() + static_cast<std::ptrdiff_t>(Index_), Steps_.end());
    Steps_.push_back(std::move(step));
    ++Index_;
    while (Steps_.size() > size_t(std::max(Limit_, 1))) {
        Steps_.pop_front();
        --Index_;
        Saved_ = Saved_ > 0 ? Saved_ - 1 : -1;
    }
}

void TAnimHistory::Clear()
{
    Steps_.clear();
    Index_ = 0;
    Saved_ = 0;
}

bool TAnimHistory::IsModified() const
{
    if (Saved_ < 0)
        return true;
    const size_t from = std::min(size_t(Saved_), Index_), to = std::max(size_t(Saved_), Index_);
    for (size_t i = from; i < to; ++i)
        if (!Steps_[i].External)
            return true;
    return false;
}

void TAnimHistory::Restart()
{
    const bool modified = IsModified();
    Clear();
    Saved_ = modified ? -1 : 0;
}

void TAnimHistory::SetLimit(int steps)
{
    Limit_ = std::max(steps, 1);
    while (Steps_.size() > size_t(Limit_)) {
        if (Index_ == 0) {
            Steps_.pop_back();  // only redo steps are left to drop
            continue;
        }
        Steps_.pop_front();
        --Index_;
        Saved_ = Saved_ > 0 ? Saved_ - 1 : -1;
    }
}

size_t TAnimHistory::Bytes() const
{
    size_t n = 0;
    for (const TAnimStep& s : Steps_)
        n += s.Bytes();
    return n;
}
