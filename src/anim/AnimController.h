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
// Operations return the message that stopped them, or "" when done; the caller shows it.
#include "anim/AnimDocument.h"
#include "anim/FrameTiming.h"

#include <QObject>
#include <QString>
#include <QStringList>

class TAnimController : public QObject {
    Q_OBJECT
public:
    explicit TAnimController(QObject* parent = nullptr) : QObject(parent) {}

    TAnimDocument Doc;

    // Empties the document: frames, names, counts, total move and file name.
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
    // given, with identity transforms. The document must be empty (the caller cleared it).
    // "Nothing selected!" when names is empty; the document then stays empty.
    QString CreateNewAnimation(const QStringList& names);

    // Reads an RTM file (found without regard to letter case) in place of the document:
    // frames, names, total move, step count, validated times, frame 0 current, the file
    // name. LoadingAnim is set meanwhile. A failed load leaves an empty document and
    // returns its message ("Cannot open file ...", "Incorrect Format!", ...).
    QString LoadAnimation(const QString& path);
    // Writes the document to path (atomically); "No Animation found!" without frames.
    QString SaveAnimation(const QString& path);

    // The frame-list buttons and the time cell.
    // "Insert after": a copy of the current frame after it, made current.
    QString InsertFrameAfter();
    // "Delete Frame": the current frame ("No Anim Steps!" without frames).
    QString DeleteCurrentFrame();
    // A time typed into frame index's cell; committed once the cell editor closes, which
    // also sorts the frames (the current frame keeps its index). False (nothing changed)
    // for the last frame, which stays at 1.
    bool RetimeFrame(int index, float t, bool committed);

    void SetTotalMove(int axis, float value);

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
    // The chart's marks back into the frame times; the frame of the first tagged mark
    // becomes current. Returns that frame, -1 when none is tagged.
    int WriteBackFrameTimes(const std::vector<TTimerItem>& items);

signals:
    void ActStepChanged(int step);
    void StepCountChanged(int count);
    void FramesChanged();
    void TotalMoveChanged();
    void AboutToClear();
    void Cleared();
};
