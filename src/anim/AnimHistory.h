#pragma once
// The undo history of the animation document. A step keeps only what its operation
// changed: the frames it removed or rewrote, where each remaining frame came from, and
// the times of all frames (4 bytes a frame), never a copy of the whole document.
//
// A change of the frame list is a TFramesDelta: how to turn the list it is applied to
// into another one. Applying it gives back its inverse, so one delta serves undo and,
// once undone, redo.
#include "anim/AnimDocument.h"
#include "anim/FrameTiming.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

struct TFramesDelta {
    // For each frame of the result: the index of the frame of the current list it is, or
    // -1 for the next frame of Frames.
    std::vector<int> Sources;
    // Their times are unused.
    TAnimFrames Frames;
    // The times of the result, one per frame.
    std::vector<float> Times;
    // Frames of the list it is applied to that the result drops although a frame that
    // stays has the same entries (a copy and its original), in runs: frames First ..
    // First + Count - 1 are copies of Original .. Original + Count - 1. They are not kept:
    // the inverse makes them again as copies.
    struct TSameRun {
        int First = 0, Count = 0, Original = 0;
    };
    std::vector<TSameRun> Same;

    // Turns frames into the result and returns the delta that turns it back. The times
    // are validated afterwards, as every state the history holds was.
    TFramesDelta Apply(TAnimFrames& frames);
    bool IsIdentity(const TAnimFrames& frames) const;
    size_t Bytes() const;
};

// A step of something the history does not hold itself (the model's edits): it is told to
// undo and redo.
class TExternalStep {
public:
    virtual ~TExternalStep() = default;
    virtual void Undo() = 0;
    virtual void Redo() = 0;
    virtual size_t Bytes() const = 0;
};

// What a step puts back besides the frames.
struct TDocState {
    int ActStep = 0;
    TFrameRange Selection;
    std::array<float, 3> TotalMove{0, 0, 0};
};

struct TAnimStep {
    QString Name;
    TFramesDelta Delta;  // undoes the step; after an undo it redoes it
    TDocState Before;
    TDocState After;
    // New Animation replaces the names: the other list (before while undoable, after
    // while redoable).
    std::optional<QStringList> Names;
    // Set for a step outside the document; Delta and the states are then unused.
    std::shared_ptr<TExternalStep> External;
    size_t Bytes() const;
};

// The state of the frames before an operation, as much as its step may need.
class TStepRecorder {
public:
    // How the frames in keep are kept: Copy when the operation rewrites them, Take when it
    // only removes them (a kept frame that stays is then not compared).
    enum class TKeep { Copy, Take };
    // Tags every frame with its index (until Finish or Abandon) and keeps the times and the
    // frames in keep.
    TStepRecorder(TAnimFrames& frames, TFrameRange keep, TDocState before, TKeep how = TKeep::Copy);
    // The step that undoes what was done to the frames since; nothing when they, the total
    // move and the names are as they were.
    std::optional<TAnimStep> Finish(const QString& name, TAnimFrames& frames, const TDocState& after);
    // The operation was refused: what was taken out goes back.
    void Abandon(TAnimFrames& frames);

private:
    std::vector<float> Times_;
    TAnimFrames Kept_;
    TFrameRange Keep_;
    TDocState Before_;
    TKeep How_ = TKeep::Copy;
};

class TAnimHistory {
public:
    bool CanUndo() const { return Index_ > 0; }
    bool CanRedo() const { return Index_ < Steps_.size(); }
    QString UndoName() const { return CanUndo() ? Steps_[Index_ - 1].Name : QString(); }
    QString RedoName() const { return CanRedo() ? Steps_[Index_].Name : QString(); }
    // A new step drops what could have been redone; past the limit the oldest step goes.
    void Push(TAnimStep step);
    // The step to undo or redo, which the caller applies; the index moves past it.
    TAnimStep& TakeUndo() { return Steps_[--Index_]; }
    TAnimStep& TakeRedo() { return Steps_[Index_++]; }
    // A new history: after a load, an unload or a clear.
    void Clear();
    // A new history for a document that keeps its changes: modified stays as it was.
    void Restart();
    // The document as it is now is the one on disk (after a load or a save).
    void MarkSaved() { Saved_ = static_cast<long>(Index_); }
    // A step of the document (not an external one) lies between the saved state and now.
    bool IsModified() const;
    void SetLimit(int steps);
    int Limit() const { return Limit_; }
    int Count() const { return static_cast<int>(Steps_.size()); }
    size_t Bytes() const;

private:
    std::deque<TAnimStep> Steps_;
    size_t Index_ = 0;   // steps before it are done, from it on undone
    long Saved_ = 0;     // the index at the last save; -1 when no index matches the file
    int Limit_ = 100;
};
