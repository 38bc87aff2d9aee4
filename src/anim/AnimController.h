#pragma once
// The animation document and the operations on it, without a window. The main window, the
// frame grid, the frame timer, playback and the command line all change the document
// through this controller and learn of its changes from its signals:
//   ActStepChanged    the current frame changed (the window applies it unless playing)
//   StepCountChanged  the number of frames the controls know changed
//   FramesChanged     times, order or number of frames changed (grid, frame timer)
//   TotalMoveChanged  the total move was replaced (the window's three edits)
//   AboutToClear      the document is about to be emptied (stop playback, leave edit mode)
//   Cleared           the document is empty (components back to rest, status text)
//   SelectionChanged  the frame timer's selection changed
//   HistoryChanged    what can be undone or redone, or whether the document is modified
//   Changed           once at the end of every operation that changed the document or the
//                     current frame: the views show the document again on this one signal
// Operations return the message that stopped them, or "" when done; the caller shows it.
// Every change of the saved content (frames, names, total move) is one operation and one
// step of the undo history; making a frame current or selecting frames is not.
#include "anim/AnimDocument.h"
#include "anim/AnimHistory.h"
#include "anim/FrameTiming.h"

#include <functional>

#include <QObject>
#include <QString>
#include <QStringList>

class TAnimController : public QObject {
    Q_OBJECT
public:
    explicit TAnimController(QObject* parent = nullptr) : QObject(parent) {}

    TAnimDocument Doc;

    // The session's state beside the document: how far playback is from the current frame
    // towards the next, whether a load is under way, and the end of the session (no frame
    // changes from then on).
    double PlayFraction() const { return PlayFraction_; }
    void SetPlayFraction(double fraction) { PlayFraction_ = fraction; }
    bool Loading() const { return Loading_; }
    bool ShuttingDown() const { return ShuttingDown_; }
    void ShutDown() { ShuttingDown_ = true; }

    // Empties the document: frames, names, counts, total move and file name; a new history.
    void ClearAnimation();
    // Makes frame step current, clamped to the frames (0 without frames). Nothing happens
    // when it is current already or while shutting down.
    void SetActStep(int step);
    // The number of frames the controls know; a current frame that fell off the end moves
    // to the new last one.
    void SetStepCount(int count);
    // The time rules (first at 0, last at 1, each later frame valid when strictly later).
    void ValidateFrames();
    // Deletes frame index; refused with "Only two Animsteps left!" at two frames or fewer.
    QString DeleteFrame(int index);
    // True when a component of that name is in the animation (letter case ignored).
    bool IsInAnimation(const QString& name) const { return Doc.AnimSelections.IndexOf(name) >= 0; }
    // A one-frame animation at time 0 of the named components, each once, in the order
    // given, with identity transforms, as one step. A document that still holds frames is
    // cleared first (the caller asks before). "Nothing selected!" when names is empty; the
    // document then stays as it was.
    QString CreateNewAnimation(const QStringList& names);

    // Reads an RTM file (found without regard to letter case) in place of the document:
    // frames, names, total move, step count, validated times, frame 0 current, the file
    // name. Loading() is true meanwhile. A failed load leaves an empty document and
    // returns its message ("Cannot open file ...", "Incorrect Format!", ...).
    QString LoadAnimation(const QString& path);
    // Writes the document to path (atomically); "No Animation found!" without frames.
    // The document is then unmodified.
    QString SaveAnimation(const QString& path);

    // The frame-list buttons and the time cell.
    // "Insert after": a copy of the current frame after it, made current.
    QString InsertFrameAfter();
    // "Delete Frame": the current frame ("No Anim Steps!" without frames).
    QString DeleteCurrentFrame();
    // A time typed into frame index's cell; committed once the cell editor closes, which
    // also sorts the frames (the current frame keeps its index). False (nothing changed)
    // for the last frame, which stays at 1. The committed retime is one step, from the
    // time the cell first changed.
    bool RetimeFrame(int index, float t, bool committed);
    // The cell's edit abandoned: its frame gets time back, nothing is sorted, no step.
    void CancelRetime(int index, float time);

    void SetTotalMove(int axis, float value);

    // Rewrites frame step through writer (edit mode's Apply Changes, Reset Frame) as the
    // step name. writer returns false when it refused; whatever it changed is then undone.
    bool EditFrame(const QString& name, int step, const std::function<bool(TAnimDocument&)>& writer);

    // The frame timer's selection (session state, put back by undo). Frame 0 alone at first.
    TFrameRange Selection() const { return Selection_; }
    void SetSelection(TFrameRange range);

    // ---- Undo
    bool CanUndo() const { return History_.CanUndo(); }
    bool CanRedo() const { return History_.CanRedo(); }
    QString UndoName() const { return History_.UndoName(); }
    QString RedoName() const { return History_.RedoName(); }
    // The document, the current frame and the selection as they were before the last step
    // (or after the next one); false when there is nothing to undo (redo).
    bool Undo();
    bool Redo();
    // The document differs from the file it was loaded from or saved to last.
    bool IsModified() const { return History_.IsModified(); }
    const TAnimHistory& History() const { return History_; }
    // A step of the model's edits, undone and redone in turn with the document's steps.
    void PushExternalStep(const QString& name, std::shared_ptr<TExternalStep> step);
    // A new history (a model was loaded): the document keeps whether it is modified.
    void RestartHistory();
    void SetHistoryLimit(int steps);

    // The frame timer's operations on the range [first, last] (AnimControllerTiming.cpp):
    // the retiming of FrameTiming.h followed by the step count, current step, validation
    // and signals it asks for. The result says whether it was done, the message to show,
    // and the selection afterwards. Nothing changes unless Done.
    TTimingResult LinearizeRange(int first, int last);
    TTimingResult MirrorRange(int first, int last);
    TTimingResult MoveRange(int first, int last, int target);
    TTimingResult CopyRange(int first, int last, int target);
    // Delete answered Yes.
    TTimingResult DeleteRange(int first, int last);
    // Flip (anim/Flip.h) on the range: its poses mirrored left and right in place ("Flip"),
    // or written half a cycle later ("Flip, half a cycle later"). The message names the
    // pairs found; the selection and the current frame stay on the frames they were on.
    TTimingResult FlipRange(int first, int last);
    TTimingResult FlipRangeHalfCycleLater(int first, int last);
    // The chart's marks back into the frame times; the frame of the first tagged mark
    // becomes current. Returns that frame, -1 when none is tagged.
    int WriteBackFrameTimes(const std::vector<TTimerItem>& items);

signals:
    void SelectionChanged();
    void HistoryChanged();
    void Changed();
    void ActStepChanged(int step);
    void StepCountChanged(int count);
    void FramesChanged();
    void TotalMoveChanged();
    void AboutToClear();
    void Cleared();

private:
    double PlayFraction_ = 0;
    bool Loading_ = false;
    bool ShuttingDown_ = false;
    // Operations nest (Load clears, an operation sets the step count); Changed and
    // HistoryChanged go out once, when the outermost one ends.
    class TScope {
    public:
        explicit TScope(TAnimController& c) : C_(c) { ++C_.Depth_; }
        ~TScope();
    private:
        TAnimController& C_;
    };
    TDocState State() const;
    // Runs op (true: it did something) and stores what it changed as one step; true when
    // a step was stored. The frames in keep are the ones op removes (Take) or rewrites (Copy).
    template <typename Op>
    bool Record(const QString& name, TFrameRange keep, Op op, TStepRecorder::TKeep how = TStepRecorder::TKeep::Take);
    template <typename Op>
    TTimingResult RunTimerOp(const QString& name, TFrameRange keep, Op op,
                             TStepRecorder::TKeep how = TStepRecorder::TKeep::Take);
    void PushStep(TAnimStep step);
    void FinishPendingRetime();
    void DropPendingRetime();
    // Undo and redo: puts the step's other side in place.
    void Swap(TAnimStep& step, const TDocState& state, bool undo);
    void FramesDidChange();

    TAnimHistory History_;
    std::optional<TStepRecorder> PendingRetime_;
    TFrameRange Selection_{0, 0};
    int Depth_ = 0;
    bool Dirty_ = false;
    bool HistoryDirty_ = false;
};
