#pragma once
// The frame timer's retiming of a selected range of frames [first, last]: linearize,
// mirror, move, copy and delete, and the chart's Ctrl-drag with its order enforcement.
// Shared by the frame timer window and the command line. Nothing here shows a message or
// asks a question: each operation returns what happened, the text to show and the new
// selection, and the caller does the rest as each function says.
//
// Reordering sorts by time, ascending and stable. Move and Copy first put the block where
// it is meant to land and then sort, so frames that end up with equal times keep the
// intended order (the block stays together at its target index) instead of an arbitrary one.
#include "anim/AnimDocument.h"

#include <QString>
#include <cstdint>
#include <vector>

enum class TTimingStatus : uint8_t {
    Done,  // the frames changed
    Stopped,  // Message says why; nothing changed
    NotApplicable,  // the range is not a range of these frames, or the operation's button
    // is disabled for it; nothing changed, nothing to show
};

struct TTimingResult {
    TTimingStatus Status = TTimingStatus::NotApplicable;
    // Stopped: the message that stopped it. Done: the closing message of Mirror, Move and
    // Copy ("Finished ... operation"), empty for Linearize and Delete.
    QString Message;
    // The selection after the operation (unchanged unless Done); -1, -1 is none.
    int SelFirst = -1;
    int SelLast = -1;

    bool Done() const { return Status == TTimingStatus::Done; }
};

// A range of frames; -1, -1 is none.
struct TFrameRange {
    int First = -1;
    int Last = -1;
};

// Which buttons the selection enables: Linearize from three frames on, Mirror from two,
// Move, Copy, Delete and Flip whenever there is a selection (first != -1), "Flip, half a
// cycle later" when there is one in an animation of two frames or more.
struct TFrameTimerButtons {
    bool Linearize = false;
    bool Mirror = false;
    bool MoveCopyDelete = false;  // and Flip
    bool FlipHalfCycle = false;
};
TFrameTimerButtons FrameTimerButtons(int selFirst, int selLast, int frameCount);

// 0 <= first <= last < count.
bool IsFrameRange(int first, int last, int count);

// The answer of the "Move to Frame:" / "Copy to Frame:" box as an integer, -1 when it is
// not one.
int ParseTargetFrame(const QString& text);

// The frames strictly inside the range get evenly spaced times between the unchanged times
// of the first and the last. Needs last - first >= 2.
// Afterwards, as the chart's write-back does: ValidateFrames, SetActStep(first) unless it
// is current already, and the chart rebuilt.
TTimingResult LinearizeFrames(TAnimFrames& frames, int first, int last);

// The range plays in reverse over the same span, its intervals mirrored; then sorted.
// Needs last - first >= 1.
// Afterwards: RefreshFrameTimerChart, UpdateFrameSelection, ValidateFrames, the message.
// ActAnimStep keeps its index.
TTimingResult MirrorFrames(TAnimFrames& frames, int first, int last);

// Moves the block to target (0 .. count; count = after the last frame), keeping its inner
// spacing and taking the interval that leads into it along. An earlier move puts the
// block's first frame at index target, a later one its last frame (at the end, at time 1,
// for target >= count - 1). Stops with "Invalid Frame!" for a target outside 0 .. count and
// "Can't move inside selected Frames!" for one inside the range. The selection moves with
// the block.
// Afterwards: RefreshFrameTimerChart, UpdateFrameSelection, ValidateFrames, the message.
// ActAnimStep keeps its index.
TTimingResult MoveFrames(TAnimFrames& frames, int first, int last, int target);

// Inserts copies of the block (entries copied) at index target (0 .. count), after
// compressing the whole animation by 1 / (1 + D), D being the block's length with its
// leading interval, so everything still fits in 0 .. 1. Stops with "Invalid Frame!" for a
// target outside 0 .. count. The selection becomes the copies: target .. target + span.
//
// Placement: frames from target on move later by D, which opens the gap
// [Time[target - 1], Time[target - 1] + D]; the copies fill that gap with the block's own
// spacing, the first copy one leading interval into it and the last at its end. Their
// times are taken from the block before the shift, which matters when target lies inside
// the block or just after its first frame (0 < target <= last): the selected frames from
// target on have already moved by D, and copies taken from those would land beyond the
// gap, in among the shifted frames. At target 0 the copies start at 0; at target count
// they follow the old last frame and the last copy lands on 1 (when the block starts at
// frame 0, 0.001 after the old last frame). Times above 1 become 1.
// Afterwards: SetStepCount(new count), RefreshFrameTimerChart, UpdateFrameSelection,
// ValidateFrames, the message. ActAnimStep keeps its index. Copies that would take the
// frame count past 32 bits stop with Rtm::OutOfMemory(); so does running out of memory,
// thrown as std::bad_alloc before any frame has changed.
TTimingResult CopyFrames(TAnimFrames& frames, int first, int last, int target);

// Delete answered Yes: the frames after the range close the gap, the rest is stretched back
// over 0 .. 1, and the range goes in one erase. With no frames it stops with
// "No Anim Steps!" (the caller shows that before asking). A delete that would leave fewer
// than two frames stops with "Only two Animsteps left!" before anything is changed. The
// selection becomes none.
// Afterwards: SetStepCount(new count); ActAnimStep into range (SetActStep(min(ActAnimStep,
// count - 1)): the range may have held several frames past it); ValidateFrames;
// UpdateFrameSelection.
TTimingResult DeleteFrames(TAnimFrames& frames, int first, int last);

// The selection kept across a change of the frames: cut to the frames there are, none
// when nothing of it is left (the buttons never act on frames that are gone).
TFrameRange FitFrameSelection(int selFirst, int selLast, int count);

// The chart's keyboard way through the frames. The cursor is the end of the selection the
// keys move; a cursor that is not an end of it (a selection made with the mouse) counts as
// its last frame. Previous and Next step the cursor by one frame, First and Last send it to
// the ends, always within the frames. Alone the key selects the cursor's frame; with extend
// (Shift) the range from the selection's other end to the cursor. Without a selection the
// keys start from the current frame, which is then both ends. No frames: none.
enum class TFrameKey : uint8_t { Previous, Next, First, Last };
struct TFrameCursor {
    TFrameRange Range;
    int Cursor = -1;
};
TFrameCursor MoveFrameCursor(TFrameRange sel, int cursor, TFrameKey key, bool extend, int count, int current);

// ---- The chart's items

// For frame i: a line item to (i, Time) (a move-to for frame 0), then a mark there.
enum class TTimerItemKind : uint8_t { MoveTo, LineTo, Mark };
struct TTimerItem {
    double X = 0;
    double Y = 0;
    TTimerItemKind Kind = TTimerItemKind::Mark;
    bool Selected = false;  // class 99
};

std::vector<TTimerItem> BuildFrameTimerItems(const TAnimFrames& frames);

// Tags every item after the first whose x lies in [selFirst, selLast]; the others keep
// their tags.
void TagFrameRange(std::vector<TTimerItem>& items, int selFirst, int selLast);

// First and last frame of the tagged marks, in list order; -1, -1 when none. The range
// is contiguous whatever the tags in between.
TFrameRange CollectFrameSelection(const std::vector<TTimerItem>& items);

// One step of a Ctrl-drag: the tagged items move by dy, then EnforceTimeOrder.
void DragSelectedItems(std::vector<TTimerItem>& items, double dy);

// Along the list: the first two items at 0; an item below its predecessor goes 0.0001
// above it, and none stays above 1; the last two items at 1.
void EnforceTimeOrder(std::vector<TTimerItem>& items);

// Every mark's y becomes the time of frame trunc(x) (marks outside the frames are
// skipped). Returns the frame of the first tagged mark, -1 when none.
// Afterwards: ValidateFrames; SetActStep with the returned frame when it is not -1 and not
// already current.
int WriteBackFrameTimes(const std::vector<TTimerItem>& items, TAnimFrames& frames);
