#include "anim/AnimStep.h"

#include <algorithm>
#include <cstring>

namespace {
bool SameEntries(std::span<const TAnimEntry> a, std::span<const TAnimEntry> b)
{
    if (a.size() != b.size())
        return false;
    return a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(TAnimEntry)) == 0;
}

// Runs of copies as one index per frame (-1: none), and back.
std::vector<int> Dense(const std::vector<TFramesDelta::TSameRun>& runs, size_t n)
{
    std::vector<int> same;
    if (runs.empty())
        return same;
    same.assign(n, -1);
    for (const TFramesDelta::TSameRun& r : runs)
        for (int k = 0; k < r.Count; ++k)
            same[size_t(r.First + k)] = r.Original + k;
    return same;
}

std::vector<TFramesDelta::TSameRun> Runs(const std::vector<int>& same)
{
    std::vector<TFramesDelta::TSameRun> runs;
    for (size_t i = 0; i < same.size(); ++i) {
        if (same[i] < 0)
            continue;
        TFramesDelta::TSameRun* r = runs.empty() ? nullptr : &runs.back();
        if (r && size_t(r->First + r->Count) == i && r->Original + r->Count == same[i])
            ++r->Count;
        else
            runs.push_back({int(i), 1, same[i]});
    }
    return runs;
}

// [first, middle, last) when sources is the identity but for the block [first, last)
// rotated as std::rotate(first, middle, last) leaves it.
std::optional<std::array<size_t, 3>> Rotation(const std::vector<int>& sources)
{
    const size_t n = sources.size();
    size_t first = 0, last = n;
    while (first < n && sources[first] == int(first))
        ++first;
    while (last > first && sources[last - 1] == int(last - 1))
        --last;
    if (first == last)
        return std::nullopt;
    const size_t middle = size_t(sources[first]);
    if (middle <= first || middle >= last)
        return std::nullopt;
    for (size_t i = first; i < last; ++i) {
        const size_t want = i - first < last - middle ? middle + (i - first) : first + (i - first - (last - middle));
        if (size_t(sources[i]) != want)
            return std::nullopt;
    }
    return std::array<size_t, 3>{first, middle, last};
}

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool SameState(const TDocState& a, const TDocState& b)
{
    return std::equal(a.TotalMove.begin(), a.TotalMove.end(), b.TotalMove.begin(), SameBits);
}
}  // namespace

TFramesDelta TFramesDelta::Apply(TAnimFrames& frames)
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
                std::swap(frames.Time(i), inverse.Times[i]);
            ValidateFrameTimes(frames);
            return inverse;
        }
    }
    const size_t n = frames.size(), m = Sources.size();
    // A frame of the list taken more than once is itself at one place of the result and a
    // copy at the others. That place is its first one, or its last when only that keeps
    // the frames that stay in their order.
    std::vector<int> primary(n, -1);
    const auto choose = [&](bool last) {
        std::fill(primary.begin(), primary.end(), -1);
        for (size_t i = 0; i < m; ++i)
            if (Sources[i] >= 0 && (last || primary[size_t(Sources[i])] < 0))
                primary[size_t(Sources[i])] = static_cast<int>(i);
        int previous = -1;
        for (int p : primary) {
            if (p < 0)
                continue;
            if (p <= previous)
                return false;
            previous = p;
        }
        return true;
    };
    bool ordered = choose(false) || choose(true);
    if (!ordered)
        choose(false);
    const auto isPrimary = [&](size_t i) { return Sources[i] >= 0 && primary[size_t(Sources[i])] == int(i); };
    // In how many runs the list changes.
    size_t runs = 0;
    for (size_t i = 0; i < m; ++i)
        runs += i == 0 || (Sources[i] < 0) != (Sources[i - 1] < 0) || isPrimary(i) != isPrimary(i - 1) ||
                (Sources[i] >= 0 && Sources[i] != Sources[i - 1] + 1);

    inverse.Times.assign(frames.Times().begin(), frames.Times().end());
    inverse.Sources.assign(n, -1);
    {
        std::vector<int> copies;
        for (size_t i = 0; i < m; ++i) {
            if (Sources[i] >= 0 && !isPrimary(i)) {
                if (copies.empty())
                    copies.assign(m, -1);
                copies[i] = primary[size_t(Sources[i])];
            }
        }
        inverse.Same = Runs(copies);
    }
    const std::vector<int> same = Dense(Same, n);
    // What the result drops goes into the inverse, in runs, unless it is a copy of a frame
    // that stays; into the room a list of frames this delta no longer needs left behind
    // (see below), so an undo and its redo take fresh memory only once.
    if (Frames.empty())
        inverse.Frames.swap(Frames);
    inverse.Frames.Clear(frames.Stride());
    const auto dropped = [&](size_t j) { return primary[j] < 0; };
    for (size_t j = 0; j < n;) {
        if (!dropped(j)) {
            inverse.Sources[j] = primary[j];
            ++j;
            continue;
        }
        if (!same.empty() && same[j] >= 0 && !dropped(size_t(same[j]))) {
            inverse.Sources[j] = primary[size_t(same[j])];
            ++j;
            continue;
        }
        size_t run = 1;
        while (j + run < n && dropped(j + run) && (same.empty() || same[j + run] < 0 || dropped(size_t(same[j + run]))))
            ++run;
        inverse.Frames.Insert(inverse.Frames.size(), frames, j, run);
        j += run;
    }

    if (Frames.empty() && inverse.Frames.empty() && inverse.Same.empty() && m == n &&
        std::none_of(primary.begin(), primary.end(), [](int p) { return p < 0; })) {
        // Only the order changed: a block moved (a move) is rotated back, anything else (a
        // mirror, a sort) permuted in place, cycle by cycle; neither takes a second list.
        if (const std::optional<std::array<size_t, 3>> r = Rotation(Sources))
            frames.Rotate((*r)[0], (*r)[1], (*r)[2]);
        else
            frames.Permute(Sources);
    } else if (ordered && runs <= 16) {
        // Frames only went and came (a copy, an insert, a delete, undone or redone): in
        // place, a block erase or insert each, which costs no copy of the whole list.
        for (size_t j = n; j-- > 0;) {
            if (!dropped(j))
                continue;
            size_t first = j;
            while (first > 0 && dropped(first - 1))
                --first;
            frames.Erase(first, j - first + 1);
            j = first;
        }
        if (frames.empty() && !Frames.empty())
            frames.Reset(Frames.Stride());
        // Result places before i are done; from i on the list holds the frames that stay, in
        // order: one at result place p > i is at i plus the number of them at [i, p).
        std::vector<size_t> before(m + 1, 0);
        for (size_t i = 0; i < m; ++i)
            before[i + 1] = before[i] + (isPrimary(i) ? 1 : 0);
        size_t next = 0;
        for (size_t i = 0; i < m;) {
            if (isPrimary(i)) {
                ++i;
                continue;
            }
            size_t run = 1;
            if (Sources[i] < 0) {
                while (i + run < m && Sources[i + run] < 0)
                    ++run;
                frames.Insert(i, Frames, next, run);
                next += run;
            } else {
                const size_t p = size_t(primary[size_t(Sources[i])]);
                while (i + run < m && Sources[i + run] >= 0 && !isPrimary(i + run) &&
                       size_t(primary[size_t(Sources[i + run])]) == p + run)
                    ++run;
                const size_t at = p < i ? p : i + before[p] - before[i];
                frames.Insert(i, frames, at, run);
            }
            i += run;
        }
    } else {
        // Gathered in runs into a new list: frames that stay neighbours are one block copy.
        TAnimFrames result(Frames.empty() ? frames.Stride() : Frames.Stride());
        result.Reserve(m);
        size_t next = 0;
        for (size_t i = 0; i < m;) {
            const int from = Sources[i];
            size_t run = 1;
            if (from >= 0) {
                while (i + run < m && Sources[i + run] == from + int(run))
                    ++run;
                result.Insert(result.size(), frames, size_t(from), run);
            } else {
                while (i + run < m && Sources[i + run] < 0)
                    ++run;
                result.Insert(result.size(), Frames, next, run);
                next += run;
            }
            i += run;
        }
        frames.swap(result);
    }
    if (inverse.Frames.empty()) {  // the frames taken in are copies now: their room stays
        inverse.Frames.swap(Frames);
        inverse.Frames.Clear(frames.Stride());
    }
    std::copy(Times.begin(), Times.end(), frames.Times().begin());
    ValidateFrameTimes(frames);
    return inverse;
}

bool TFramesDelta::IsIdentity(const TAnimFrames& frames) const
{
    if (!Frames.empty() || Sources.size() != frames.size())
        return false;
    for (size_t i = 0; i < Sources.size(); ++i)
        if (Sources[i] != static_cast<int>(i) || !SameBits(Times[i], frames.Time(i)))
            return false;
    return true;
}

size_t TFramesDelta::Bytes() const
{
    return Sources.capacity() * sizeof(int) + Same.capacity() * sizeof(TSameRun) + Times.capacity() * sizeof(float) +
           Frames.Bytes();
}

size_t TAnimStep::Bytes() const
{
    return sizeof(TAnimStep) + Delta.Bytes() + (Names ? size_t(Names->size()) * 32 : 0) +
           (FileName ? size_t(FileName->size()) * 2 : 0);
}

TStepRecorder::TStepRecorder(TAnimFrames& frames, TFrameRange keep, TDocState before, TKeep how)
    : Keep_(keep), Before_(before), How_(how)
{
    Times_.assign(frames.Times().begin(), frames.Times().end());
    Kept_.Reset(frames.Stride());
    if (IsFrameRange(keep.First, keep.Last, static_cast<int>(frames.size())))
        Kept_.Insert(0, frames, size_t(keep.First), size_t(keep.Last - keep.First + 1));
    else
        Keep_ = {};
    frames.StartTags();
}

void TStepRecorder::Abandon(TAnimFrames& frames)
{
    frames.StopTags();
    Kept_.Reset(0);
}

std::optional<TAnimStep> TStepRecorder::Finish(const QString& name, TAnimFrames& frames, const TDocState& after, bool changed)
{
    // Where each frame of before stands now: the first frame carrying its tag.
    std::vector<int> now(Times_.size(), -1);
    for (size_t i = 0; i < frames.size(); ++i) {
        const int32_t tag = frames.Tag(i);
        if (tag >= 0 && size_t(tag) < now.size() && now[size_t(tag)] < 0)
            now[size_t(tag)] = static_cast<int>(i);
    }
    // A copy made by the operation is dropped by the undo and made again by the redo.
    std::vector<int> same;
    for (size_t i = 0; i < frames.size(); ++i) {
        const int32_t tag = frames.Tag(i);
        if (tag > -2 || size_t(-2 - tag) >= now.size() || now[size_t(-2 - tag)] < 0)
            continue;
        if (same.empty())
            same.assign(frames.size(), -1);
        same[i] = now[size_t(-2 - tag)];
    }
    frames.StopTags();
    TAnimStep step;
    step.Name = name;
    step.Before = Before_;
    step.After = after;
    TFramesDelta& d = step.Delta;
    d.Same = Runs(same);
    d.Times = std::move(Times_);
    d.Sources.resize(d.Times.size());
    d.Frames.Reset(Kept_.Stride());
    bool allGone = Keep_.First >= 0;
    for (int j = Keep_.First; allGone && j <= Keep_.Last; ++j)
        allGone = now[size_t(j)] < 0;
    if (allGone) {  // every kept frame went: the block moves into the step as it is
        d.Frames.swap(Kept_);
        std::copy(now.begin(), now.end(), d.Sources.begin());
    } else {
        d.Frames.Reserve(Kept_.size());
    }
    for (size_t j = 0; j < d.Sources.size() && !allGone; ++j) {
        int source = now[j];
        if (Keep_.First >= 0 && int(j) >= Keep_.First && int(j) <= Keep_.Last) {
            const size_t k = j - size_t(Keep_.First);
            // A kept frame is stored only when it went or (kept as a copy) its transforms
            // changed; one that was to be removed and stayed after all is as it was.
            if (source < 0 || (How_ == TKeep::Copy && !SameEntries(Kept_.Entries(k), frames.Entries(size_t(source))))) {
                d.Frames.Insert(d.Frames.size(), Kept_, k, 1);
                source = -1;
            }
        }
        d.Sources[j] = source;
    }
    Kept_.Reset(0);
    if (!changed && d.IsIdentity(frames) && SameState(Before_, after))
        return std::nullopt;
    return step;
}
