#pragma once
// The animation in memory: which components are animated, the frames in play order, and
// one transform per animated component in each frame. It knows nothing of files, models
// or windows; TAnimController owns the one being edited and is the only way to change it.
#include "base/Transform.h"
#include "base/Unfilled.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>
#include <span>
#include <type_traits>
#include <utility>
#include <cstdint>
#include <vector>

struct TAnimEntry {
    int32_t NameIndex = 0;
    TMatrix12f Matrix = IdentityMatrix12f;
};

// One frame as the store shows it: its time and its entries. A view, valid until the
// store changes.
struct TAnimFrame {
    float Time = 0;
    std::span<const TAnimEntry> Entries;
};
struct TAnimFrameRef {
    float& Time;
    std::span<TAnimEntry> Entries;
    operator TAnimFrame() const { return {Time, Entries}; }
};

// The frames in play order: one array of times and one contiguous array of entries, the
// same number (the stride) in every frame, as a file stores them. Loading, copying and
// saving are then block operations, and a frame costs its time and its entries alone.
class TAnimFrames {
public:
    TAnimFrames() = default;
    explicit TAnimFrames(int stride) : Stride_(size_t(stride)) {}

    size_t size() const { return Times_.size(); }
    bool empty() const { return Times_.empty(); }
    int Count() const { return static_cast<int>(Times_.size()); }
    // Entries per frame.
    int Stride() const { return static_cast<int>(Stride_); }
    // Empties the store for frames of stride entries, giving its memory back.
    void Reset(int stride);
    void clear() { Reset(0); }
    // Empties the store for frames of stride entries, keeping its memory for what comes.
    void Clear(int stride);
    void Reserve(size_t frames);
    // Room for n more frames, growing by half at least so that repeated inserts stay
    // linear; an Insert of up to n frames then takes no memory.
    void MakeRoom(size_t n);

    float Time(size_t i) const { return Times_[i]; }
    float& Time(size_t i) { return Times_[i]; }
    std::span<const TAnimEntry> Entries(size_t i) const { return {Entries_.data() + i * Stride_, Stride_}; }
    std::span<TAnimEntry> Entries(size_t i) { return {Entries_.data() + i * Stride_, Stride_}; }
    TAnimFrame operator[](size_t i) const { return {Times_[i], Entries(i)}; }
    TAnimFrameRef operator[](size_t i) { return {Times_[i], Entries(i)}; }
    TAnimFrame back() const { return (*this)[size() - 1]; }
    TAnimFrameRef back() { return (*this)[size() - 1]; }
    std::span<const float> Times() const { return Times_; }
    std::span<float> Times() { return Times_; }
    // Every entry, frame after frame.
    std::span<const TAnimEntry> AllEntries() const { return Entries_; }
    // After ValidateFrameTimes: the first and the last frame are valid, every other one
    // when strictly later than its predecessor. Derived, so it costs no memory.
    bool TimeValid(size_t i) const { return i == 0 || i + 1 == size() || Times_[i] > Times_[i - 1]; }

    // A frame at the end; entries holds Stride() entries.
    void Append(float time, std::span<const TAnimEntry> entries);
    // A frame at the end whose entries the caller writes (they are not set).
    std::span<TAnimEntry> AppendFrame(float time);
    // frames frames in all; new ones have neither times nor entries set: the caller writes
    // them (a reader filling the store in one pass).
    void Resize(size_t frames);
    // count frames of from (which may be this store) starting at frame first, inserted
    // before frame at with their times. Memory is taken first: running out of it leaves
    // the store as it was.
    void Insert(size_t at, const TAnimFrames& from, size_t first, size_t count);
    void Erase(size_t first, size_t count);
    // Frames [middle, last) move before [first, middle), as std::rotate.
    void Rotate(size_t first, size_t middle, size_t last);
    // Frame i becomes the frame order[i] was; order, a permutation of the frames, is used
    // up. Running out of memory leaves the frames as they were.
    void Permute(std::vector<int>& order);
    size_t Bytes() const;
    void swap(TAnimFrames& other) noexcept;

    // Tags for the undo history: while tagging, every frame carries the index it had when
    // tagging started, a copy made since -2 - that index of its original, any other frame
    // made since -1, through every operation above.
    void StartTags();
    void StopTags();
    int32_t Tag(size_t i) const { return Tagging_ ? Tags_[i] : -1; }

private:
    size_t Stride_ = 0;
    std::vector<float, TUnfilledAllocator<float>> Times_;
    std::vector<TAnimEntry, TUnfilledAllocator<TAnimEntry>> Entries_;
    std::vector<int32_t> Tags_;  // one per frame while tagging, else empty
    bool Tagging_ = false;
};

// Names of the animated components, in slot order. Duplicates are kept; look-up ignores
// letter case and finds the first equal name, through a hash rather than a scan.
class TAnimSelections {
public:
    int Count() const { return static_cast<int>(Names_.size()); }
    bool IsEmpty() const { return Names_.isEmpty(); }
    const QString& operator[](int i) const { return Names_[i]; }
    const QStringList& Names() const { return Names_; }
    // Appends name and returns its slot.
    int Add(const QString& name);
    // First slot whose name equals name without regard to case, or -1.
    int IndexOf(const QString& name) const;
    void Clear();
    void Reserve(int n);

private:
    static QString Key(const QString& name) { return name.toCaseFolded(); }
    QStringList Names_;
    QHash<QString, int> First_;
};

struct TAnimDocument {
    TAnimSelections AnimSelections;
    TAnimFrames AnimFrames;
    int32_t AnimStepCount = 0;
    int32_t ActAnimStep = 0;
    std::array<float, 3> TotalMove{0, 0, 0};
    QString AnimFileName;

    int FrameCount() const { return static_cast<int>(AnimFrames.size()); }
};

// First frame at 0 and valid; every later frame valid when strictly later than its
// predecessor; with two or more frames the last at 1 and valid. Nothing is sorted.
void ValidateFrameTimes(TAnimFrames& frames);
