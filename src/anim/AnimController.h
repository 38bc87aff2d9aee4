#pragma once
// The animation document and the operations on it, without a window. The main window, the
// frame grid, the frame timer, playback and the command line all change the document
// through this controller and learn of its changes from its signals:
//   AboutToChange     an operation is about to change the document or the current frame
//                     (sent before anything changed, by the outermost operation only)
//   ActStepChanged    the current frame changed (the window applies it unless playing)
//   StepCountChanged  the number of frames the controls know changed
//   FramesChanged     times, order or number of frames changed (grid, frame timer)
//   TotalMoveChanged  the total move was replaced (the window's three edits)
//   Replaced          New Animation, a recovery, an import, or their undo or redo, replaced the
//                     whole document and its file name
//   AboutToClear      the document is about to be emptied or replaced (stop playback)
//   Cleared           the document was emptied outside any step (a load, an unload): what
//                     was recorded before no longer applies
//   Saved             the document is what its file holds (after a load or a save)
//   SelectionChanged  the frame timer's selection changed
//   Changed           once at the end of every operation that changed the document or the
//                     current frame: the views show the document again on this one signal
// Operations return the message that stopped them, or "" when done; the caller shows it.
//
// The document is read through Doc and changes only through the operations below. Every
// change of the saved content (frames, names, total move) is one operation that records
// one step (TAnimStep) and hands it to Recorded, the editor's command stack; PutBack puts
// a step's either side back. Making a frame current or selecting frames records nothing.
#include "anim/AnimDocument.h"
#include "anim/AnimStep.h"
#include "anim/FrameTiming.h"
#include "platform/FileUtil.h"
#include "platform/Progress.h"

#include <functional>
#include <optional>

#include <QObject>
#include <QString>
#include <QStringList>

// What an operation is about to change.
enum class TAnimChange {
    CurrentFrame,  // only which frame is current
    Document,  // the frames, the names, the total move or the file name
};

class TAnimController : public QObject {
    Q_OBJECT
    TAnimDocument Doc_;

public:
    explicit TAnimController(QObject* parent = nullptr) : QObject(parent) {}

    const TAnimDocument& Doc = Doc_;

    // Where each recorded step goes; without a receiver it is dropped.
    std::function<void(TAnimStep)> Recorded;
    // Puts the step's other side in place: what was before it (undo) or after it (redo),
    // the current frame and the frame timer's selection with it. The step then holds the
    // side that was in place, ready for the way back.
    void PutBack(TAnimStep& step, bool undo);

    // The session's state beside the document: how far playback is from the current frame
    // towards the next, whether a load is under way, and the end of the session (no frame
    // changes from then on).
    double PlayFraction() const { return PlayFraction_; }
    void SetPlayFraction(double fraction) { PlayFraction_ = fraction; }
    bool Loading() const { return Loading_; }
    bool ShuttingDown() const { return ShuttingDown_; }
    void ShutDown() { ShuttingDown_ = true; }

    // Empties the document: frames, names, counts, total move and file name, outside any
    // step (Cleared).
    void ClearAnimation();
    // Makes frame step current, clamped to the frames (0 without frames). Nothing happens
    // when it is current already or while shutting down.
    void SetActStep(int step);
    // Deletes frame index; refused with "Only two Animsteps left!" at two frames or fewer.
    QString DeleteFrame(int index);
    // True when a component of that name is in the animation (letter case ignored).
    bool IsInAnimation(const QString& name) const { return Doc_.AnimSelections.IndexOf(name) >= 0; }
    // "New Animation..." in two halves that merge into one step (merge key NewAnimationKey):
    // the document emptied when the button is pressed, then a one-frame animation at time 0
    // of the named components, each once, in the order given, with identity transforms,
    // in place of whatever the document holds then. Undo gives back the document as it was:
    // frames, names, total move, current frame, selection and file name. "Nothing
    // selected!" when names is empty; the document then stays as it was.
    void ClearForNewAnimation();
    QString CreateNewAnimation(const QStringList& names);
    static constexpr const char* NewAnimationKey = "New Animation";
    // The document replaced whole by next (frames, names, total move, file name) as the one
    // step name: a recovered copy, an imported animation. Frame 0 becomes current and no
    // frame is selected; undo gives back the document before, as for "New Animation...".
    void ReplaceAnimation(const QString& name, TAnimDocument next);

    // Reads an RTM file (found without regard to letter case) in place of the document:
    // frames, names, total move, step count, validated times, frame 0 current, the file's
    // name as it is on disk. A failed load leaves an empty document and returns its
    // message ("Cannot open file ...", "Incorrect Format!", ...). The file is read apart
    // from the document by run; a cancelled read (*cancelled set, "" returned) changes
    // nothing.
    QString LoadAnimation(const QString& path, const TLongRun& run = RunInPlace, bool* cancelled = nullptr);
    // Writes the document to path (atomically); "No Animation found!" without frames. The
    // write goes through run, which may do it on another thread: nothing may change the
    // document meanwhile. A cancelled write (*cancelled set, "" returned) leaves the file
    // as it was.
    QString SaveAnimation(const QString& path, const TLongRun& run = RunInPlace, bool* cancelled = nullptr);
    // Whether saving to path would write over changes made on disk since this document
    // was read from that file or last written to it: another editor or program wrote,
    // replaced or touched it. Only the document's own file counts; another path, a file
    // this document never read or wrote, and a file that is gone (the save recreates it)
    // are false.
    bool ChangedOnDisk(const QString& path) const;
    // The document's own file as this document last read or wrote it; none when it has no
    // file or never read or wrote it. A copy of the work kept for after a crash holds it,
    // and SetDiskStamp gives it back to the recovered document (a stamp of no file changes
    // nothing), so that its saves ask as they would have before the crash.
    TFileStamp DiskStamp() const;
    void SetDiskStamp(const TFileStamp& stamp);

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
    // A retime typed but not committed yet.
    bool RetimePending() const { return PendingRetime_.has_value(); }
    // A pending retime becomes its step now.
    void CommitRetime();

    // One of the three total-move numbers; the changes of one number in a row are one step.
    void SetTotalMove(int axis, float value);

    // Rewrites frame step through writer (edit mode's Apply Changes, Reset Frame) as the
    // step name. writer returns false when it refused; whatever it changed is then undone.
    bool EditFrame(const QString& name, int step, const std::function<bool(TAnimDocument&)>& writer);

    // The frame timer's selection (session state, put back by undo). Frame 0 alone at first.
    TFrameRange Selection() const { return Selection_; }
    void SetSelection(TFrameRange range);

    // The frame timer's operations on the range [first, last]: the retiming of
    // FrameTiming.h followed by the step count, current step, validation and signals it
    // asks for. The result says whether it was done, the message to show, and the
    // selection afterwards. Nothing changes unless Done.
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
    void AboutToChange(TAnimChange change);
    void SelectionChanged();
    void Changed();
    void ActStepChanged(int step);
    void StepCountChanged(int count);
    void FramesChanged();
    void TotalMoveChanged();
    void Replaced();
    void AboutToClear();
    void Cleared();
    void Saved();

private:
    double PlayFraction_ = 0;
    bool Loading_ = false;
    bool ShuttingDown_ = false;
    // Operations nest (Load clears, an operation sets the step count): AboutToChange goes
    // out when the outermost one starts, Changed when it ends.
    class TScope {
    public:
        TScope(TAnimController& c, std::optional<TAnimChange> change);
        ~TScope();

    private:
        TAnimController& C_;
    };
    TDocState State() const;
    // The number of frames the controls know; a current frame that fell off the end moves
    // to the new last one.
    void SetStepCount(int count);
    // The time rules (first at 0, last at 1, each later frame valid when strictly later).
    void ValidateFrames();
    // Runs op (true: it did something) and records what it changed as one step; true when
    // a step was recorded. The frames in keep are the ones op removes (Take) or rewrites
    // (Copy).
    template <typename Op>
    bool Record(const QString& name, TFrameRange keep, Op op, TStepRecorder::TKeep how = TStepRecorder::TKeep::Take,
                const QString& mergeKey = {});
    template <typename Op>
    TTimingResult RunTimerOp(const QString& name, TFrameRange keep, Op op, TStepRecorder::TKeep how = TStepRecorder::TKeep::Take);
    // The document replaced by next as one step.
    void ReplaceDocument(const QString& name, const QString& mergeKey, TAnimDocument next);
    void PushStep(TAnimStep step);
    void DropPendingRetime();
    void FramesDidChange();

    std::optional<TStepRecorder> PendingRetime_;
    // The file as this document last read or wrote it.
    TDiskFile Disk_;
    TFrameRange Selection_{0, 0};
    int Depth_ = 0;
    bool Dirty_ = false;
};
