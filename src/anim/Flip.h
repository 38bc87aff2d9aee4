#pragma once
// Flip: a pose mirrored across the model's X = 0 plane, left and right swapped. Each
// animated component takes its partner's transform mirrored, M' = S M S with
// S = diag(-1, 1, 1) (translation included); a component without a partner mirrors its own.
//
// Partners are found by name, without regard to letter case, trying in this order:
//   _l/_r, .l/.r, -l/-r, " l"/" r" at the end;  l_/r_ at the start;
//   left/right anywhere (every occurrence swapped: LeftHand/RightHand, arm_left/arm_right).
// A name's partner is the first of these swapped names that the animation holds. Two
// names are partners only when each finds the other, so flipping is its own inverse:
// flipping twice gives back every entry bit for bit. A name that matches a pattern but
// has no partner (or a second slot of a name already taken) is reported and mirrored on
// its own.
//
// "Flip, half a cycle later", for walk cycles: the flipped poses of the selected frames
// are written half the animation's length (0.5 of the normalised time) later, wrapping
// at the end: a frame at t lands at t + 0.5 when t <= 0.5, else at t - 0.5 (so nothing
// lands on time 0, and the frame at 0.5 lands on the last frame, at 1). A target within
// SameFrameTime of a frame's time replaces that frame's entries; any other target is a
// new frame inserted in time order. Two selected frames that land on the same time: the
// earlier one is written. The total move is left as it is: it is the whole animation's
// drift, which mirrored poses do not change.
#include "anim/AnimDocument.h"
#include "anim/FrameTiming.h"

#include <QString>
#include <QStringList>
#include <span>
#include <utility>
#include <vector>

// Which slot each slot of the animation's component list takes its transform from.
struct TFlipPartners {
    std::vector<int> Partner;                      // per slot: the partner's slot, or -1 (mirrors its own)
    std::vector<std::pair<int, int>> Pairs;        // partner slots, each pair once, first slot first
    std::vector<int> Unpaired;                     // slots whose name looks like a side but found no partner
};

TFlipPartners FindFlipPartners(const QStringList& names);

// The names of the slots a name of that side would pair with, in the order tried (empty:
// the name does not look like a side). Lower case.
QStringList FlipCandidates(const QString& name);

// S M S: the elements that mix X with Y or Z, and the X translation, change sign.
TMatrix12f MirrorMatrix(const TMatrix12f& m);

// The flipped entries of one frame into out (as many as in): an entry of slot i takes the
// matrix of the entry of slot Partner[i] of the same rank counted from the frame's last
// entry of each slot (the one that counts), mirrored; an entry whose partner has no entry
// of that rank, or without a partner, mirrors its own.
void FlipEntries(std::span<const TAnimEntry> in, const TFlipPartners& partners, std::span<TAnimEntry> out);

// The frames [first, last] flipped in place. NotApplicable (nothing changed) for a range
// that is not one of the frames. The selection stays.
TTimingResult FlipFrames(TAnimFrames& frames, const TFlipPartners& partners, int first, int last);

// A target of "Flip, half a cycle later" within this much of a frame's time lands on that
// frame: half the frame timer's smallest spacing of two frames.
constexpr float SameFrameTime = 0.00005f;

// Where the flipped pose of selected frame Source goes.
struct THalfCycleTarget {
    int Source = 0;
    float Time = 0;
    int Frame = -1;  // the frame whose entries it replaces; -1: a new frame at Time
};

// The targets of [first, last], in frame order of their sources; sources landing where an
// earlier one landed are left out. Empty for a range that is not one of the frames or an
// animation of fewer than two frames (it has no length to shift by).
std::vector<THalfCycleTarget> HalfCycleTargets(const TAnimFrames& frames, int first, int last);

// The lowest and highest frame the targets replace ({-1, -1}: none), which an undo step
// keeps before they change.
TFrameRange ReplacedFrames(const std::vector<THalfCycleTarget>& targets);

// Writes the flipped poses of the targets' sources (read before anything changes) at the
// targets. New frames go in time order, before the first frame that is later. Frame
// indices given in follow keep pointing at the frame they pointed at (a selection, the
// current frame). NotApplicable when targets is empty. The selection of the result is the
// selected frames, where they are now. Throws std::bad_alloc, frames unchanged, when there
// is no memory for the new frames.
// Afterwards: SetStepCount(new count), the current frame where follow took it, ValidateFrames.
TTimingResult FlipFramesHalfCycleLater(TAnimFrames& frames, const TFlipPartners& partners, int first, int last,
                                       const std::vector<THalfCycleTarget>& targets, std::span<int> follow = {});

// What the frame timer says after a flip: the rule, the pairs it found, the names
// mirrored on their own.
QString FlipMessage(const QStringList& names, const TFlipPartners& partners);
// The pairs and the names without a partner on one line, for a status bar:
// "a_l <-> a_r, b_l <-> b_r; no partner: c_l" ("no partners" when none pair).
QString FlipSummary(const QStringList& names, const TFlipPartners& partners);
// One line per name that looks like a side but has no partner, as the command line
// reports them.
QStringList UnpairedLines(const QStringList& names, const TFlipPartners& partners);
