#include "anim/AnimDocument.h"

#include <QtGlobal>
#include <algorithm>
#include <cstring>

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

void TAnimFrames::Reset(int stride)
{
    Stride_ = size_t(std::max(stride, 0));
    Times_ = {};
    Entries_ = {};
    Tags_ = {};
    Tagging_ = false;
}

void TAnimFrames::Clear(int stride)
{
    Stride_ = size_t(std::max(stride, 0));
    Times_.clear();
    Entries_.clear();
    Tags_.clear();
    Tagging_ = false;
}

void TAnimFrames::Reserve(size_t frames)
{
    Times_.reserve(frames);
    Entries_.reserve(frames * Stride_);
    if (Tagging_)
        Tags_.reserve(frames);
}

void TAnimFrames::Append(float time, std::span<const TAnimEntry> entries)
{
    Q_ASSERT(entries.size() == Stride_);
    std::copy(entries.begin(), entries.end(), AppendFrame(time).begin());
}

std::span<TAnimEntry> TAnimFrames::AppendFrame(float time)
{
    Times_.push_back(time);
    try {
        Entries_.resize(Entries_.size() + Stride_);
        if (Tagging_)
            Tags_.push_back(-1);
    } catch (...) {
        Entries_.resize(Times_.size() * Stride_ - Stride_);
        Times_.pop_back();
        throw;
    }
    return Entries(size() - 1);
}

namespace {
// The capacity a vector grows to when n more items need room: geometric, so repeated
// inserts stay linear overall.
template <typename V>
void Grow(V& v, size_t n)
{
    if (v.size() + n > v.capacity())
        v.reserve(std::max(v.size() + n, v.capacity() + v.capacity() / 2));
}

template <typename V, typename T>
void InsertRange(V& v, size_t at, const T* from, size_t n)
{
    // The room was reserved (Grow): the resize writes nothing and moves nothing, and from,
    // which may point into v, stays valid.
    if (n == 0)  // frames without entries: nothing to move (and data() may be null)
        return;
    const size_t old = v.size();
    const T* data = v.data();
    const bool inside = n && from >= data && from < data + old;
    v.resize(old + n);
    T* base = v.data();
    std::memmove(base + at + n, base + at, (old - at) * sizeof(T));
    if (inside && from + n > base + at) {
        // The source lay (partly) in the shifted part: its pieces on either side of at.
        const size_t offset = size_t(from - base);
        const size_t before = offset < at ? at - offset : 0;
        std::memmove(base + at, base + offset, before * sizeof(T));
        std::memmove(base + at + before, base + std::max(offset, at) + n, (n - before) * sizeof(T));
    } else {
        std::memmove(base + at, from, n * sizeof(T));
    }
}
}  // namespace

void TAnimFrames::Insert(size_t at, const TAnimFrames& from, size_t first, size_t count)
{
    Q_ASSERT(from.Stride_ == Stride_ && at <= size() && first + count <= from.size());
    if (count == 0)
        return;
    MakeRoom(count);
    InsertRange(Entries_, at * Stride_, from.Entries_.data() + first * Stride_, count * Stride_);
    InsertRange(Times_, at, from.Times_.data() + first, count);
    if (Tagging_) {
        // A copy of a tagged frame says whose copy it is (-2 - tag); frames from elsewhere
        // are new.
        Tags_.insert(Tags_.begin() + std::ptrdiff_t(at), count, -1);
        if (&from == this)
            for (size_t k = 0; k < count; ++k) {
                const size_t src = first + k < at ? first + k : first + k + count;
                const int32_t tag = Tags_[src];
                Tags_[at + k] = tag >= 0 ? -2 - tag : tag;
            }
    }
}

void TAnimFrames::Resize(size_t frames)
{
    Entries_.resize(frames * Stride_);
    Times_.resize(frames);
    if (Tagging_)
        Tags_.resize(frames, -1);
}

void TAnimFrames::MakeRoom(size_t n)
{
    Grow(Times_, n);
    Grow(Entries_, n * Stride_);
    if (Tagging_)
        Grow(Tags_, n);
}

void TAnimFrames::Erase(size_t first, size_t count)
{
    const auto at = [](auto& v, size_t i) { return v.begin() + std::ptrdiff_t(i); };
    Times_.erase(at(Times_, first), at(Times_, first + count));
    Entries_.erase(at(Entries_, first * Stride_), at(Entries_, (first + count) * Stride_));
    if (Tagging_)
        Tags_.erase(at(Tags_, first), at(Tags_, first + count));
}

void TAnimFrames::Rotate(size_t first, size_t middle, size_t last)
{
    const auto at = [](auto& v, size_t i) { return v.begin() + std::ptrdiff_t(i); };
    std::rotate(at(Times_, first), at(Times_, middle), at(Times_, last));
    std::rotate(at(Entries_, first * Stride_), at(Entries_, middle * Stride_), at(Entries_, last * Stride_));
    if (Tagging_)
        std::rotate(at(Tags_, first), at(Tags_, middle), at(Tags_, last));
}

void TAnimFrames::Permute(std::vector<int>& order)
{
    Q_ASSERT(order.size() == size());
    // In place, cycle by cycle, with one frame of scratch: the only memory it takes comes
    // before anything moves. order is used up (each visited index is flipped negative).
    std::vector<TAnimEntry> entries(Stride_);
    const auto copyFrame = [this](size_t to, size_t from) {
        Times_[to] = Times_[from];
        std::copy_n(Entries_.data() + from * Stride_, Stride_, Entries_.data() + to * Stride_);
        if (Tagging_)
            Tags_[to] = Tags_[from];
    };
    for (size_t start = 0; start < order.size(); ++start) {
        if (order[start] < 0 || size_t(order[start]) == start)
            continue;
        const float time = Times_[start];
        std::copy_n(Entries_.data() + start * Stride_, Stride_, entries.data());
        const int32_t tag = Tagging_ ? Tags_[start] : -1;
        size_t j = start;
        for (;;) {
            const size_t from = size_t(order[j]);
            order[j] = -1 - order[j];
            if (from == start)
                break;
            copyFrame(j, from);
            j = from;
        }
        Times_[j] = time;
        std::copy_n(entries.data(), Stride_, Entries_.data() + j * Stride_);
        if (Tagging_)
            Tags_[j] = tag;
    }
}

size_t TAnimFrames::Bytes() const
{
    return Times_.capacity() * sizeof(float) + Entries_.capacity() * sizeof(TAnimEntry) + Tags_.capacity() * sizeof(int32_t);
}

void TAnimFrames::swap(TAnimFrames& other) noexcept
{
    std::swap(Stride_, other.Stride_);
    Times_.swap(other.Times_);
    Entries_.swap(other.Entries_);
    Tags_.swap(other.Tags_);
    std::swap(Tagging_, other.Tagging_);
}

void TAnimFrames::StartTags()
{
    Tags_.resize(size());
    for (size_t i = 0; i < Tags_.size(); ++i)
        Tags_[i] = static_cast<int32_t>(i);
    Tagging_ = true;
}

void TAnimFrames::StopTags()
{
    Tags_ = {};
    Tagging_ = false;
}

void ValidateFrameTimes(TAnimFrames& frames)
{
    // Validity itself is derived from the times (TAnimFrames::TimeValid).
    if (frames.empty())
        return;
    frames.Time(0) = 0;
    if (frames.size() > 1)
        frames.Time(frames.size() - 1) = 1;
}
