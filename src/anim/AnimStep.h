#pragma once
// A change of the animation document as its controller records it: the step that an
// operation made, which undoes it and, once undone, redoes it. A step keeps only what its
// operation changed: the frames it removed or rewrote, where each remaining frame came
// from, and the times of all frames (4 bytes a frame), never a copy of the whole document.
// The history of steps is the editor's (editor/CommandStack.h); this is the animation's own
// change format, which TAnimController::PutBack applies.
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
    // New Animation replaces the names and the file name: the other side's (before while
    // undoable, after while redoable).
    std::optional<QStringList> Names;
    std::optional<QString> FileName;
    // Steps with the same key, done one right after the other, are one step of the history
    // (a number typed into one field, the two halves of "New Animation..."); empty: none.
    QString MergeKey;
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
    // The step that undoes what was done to the frames since; nothing when they and the
    // total move are as they were, unless the operation changed what the recorder does not
    // see (names, file name: changed).
    std::optional<TAnimStep> Finish(const QString& name, TAnimFrames& frames, const TDocState& after, bool changed = false);
    // The operation was refused: what was taken out goes back.
    void Abandon(TAnimFrames& frames);

private:
    std::vector<float> Times_;
    TAnimFrames Kept_;
    TFrameRange Keep_;
    TDocState Before_;
    TKeep How_ = TKeep::Copy;
};
