#pragma once
// Edit mode without its controls: how the slider values grow the edit totals on every
// timer tick, how an edit is applied to the edited components and their subtrees, and the
// Restore / Apply / Reset Frame operations on the current frame, on the components' records
// in a pose store. The editor's edit mode runs them; the window shows what they report.
//
// The component tree comes as a flat list in tree order (depth-first pre-order) with each
// node's level (0 = top level) and the tree's selection list as indices into that list,
// in the selection list's own order. In single-select mode the list holds the one
// selected node.
#include "anim/AnimDocument.h"
#include "model/ComponentForest.h"
#include "model/P3dModel.h"
#include "base/Transform.h"
#include "pose/Pose.h"

#include <QString>
#include <vector>

namespace EditText {
inline const char* const NothingToEdit = "Nothing to edit!";
inline const char* const NoComponents = "No Components found!";
inline const char* const ResetRelEntryNotFound = "[ResetRelChanges] AnimEntry not found!";
inline const char* const ApplySelectionNotFound = "[ApplyEdit] Selection not found!";
inline const char* const NoAnimSteps = "No Anim Steps!";
}  // namespace EditText

struct TEditTree {
    TComponentNodes Nodes;  // tree order
    std::vector<int> Selected;  // the selection list, as indices into Nodes
};

// Slider values whose magnitudes are all below this count as centred.
constexpr double EditSliderDeadZone = 0.001;
// Per tick at deflection v: rotation v^3 * EditRotFactor radians, move v * EditMoveFactor.
constexpr double EditRotFactor = 0.0001;
constexpr double EditMoveFactor = 0.001;

// The message that keeps "Edit Frame" from entering edit mode, or null when it may.
const char* EditModeRefusal(int frameCount, int treeNodeCount);

// Per node of the tree: is the node's component being edited, i.e. is the first node
// showing that component selected or below a selected node. One pass over the tree.
std::vector<bool> BeingEditedFlags(const TEditTree& tree);

// True when all three slider values are within the dead zone (the tick does nothing).
bool SlidersCentred(double x, double y, double z);

// Grows one component's edit totals by one tick: EditRot += (x^3, y^3, z^3) * 0.0001 when
// rotating, otherwise EditMove += (x, y, z) * 0.001.
void AccumulateEditTick(TComponentPose& c, bool rotate, double x, double y, double z);

// The totals step of a timer tick: false (nothing changed) when the sliders are centred,
// otherwise every edited component's totals grow (animated or not) and the caller runs
// ApplyEditChanges and refreshes.
bool EditTick(const TEditTree& tree, TPose& pose, bool rotate, double x, double y, double z);

// Recomputes the posed transform (Act) of the edited, animated components in the subtree of the node
// at tree index s (s itself first), from their BaseTransform and edit totals:
//   Act := Base; if relative, translation -= q; rotate by EditRot about X, then Y, then Z;
//   translation += EditMove; if relative, translation += q;
// where q is the pivot of s's component plus the model offset (rounded to float) under the
// Act s's component has at that point of the pass. Absolute mode turns about the
// model origin.
void ApplyEditToSubtree(const TEditTree& tree, TPose& pose, const std::vector<bool>& beingEdited, int s,
                        const double modelOffset[3], bool relative);
// ApplyEditToSubtree for every node of the selection list, in its order. The caller
// refreshes the display afterwards.
void ApplyEditChanges(const TEditTree& tree, TPose& pose, const double modelOffset[3], bool relative);

// Clears the component's edit totals and, when it is animated, reloads Base from
// the first entry of frame `step` that names it exactly. False when an animated component
// has no such entry (Base then stays as it was; the caller shows
// EditText::ResetRelEntryNotFound).
bool ResetRelChanges(const TSelection& c, TComponentPose& pose, bool inAnimation, const TAnimDocument& doc, int step);
// ResetRelChanges for every tree node in tree order; returns how many animated components
// had no entry (one message each). Used when entering edit mode and by "Restore" (which
// then runs ApplyEditChanges, giving back the stored transforms exactly).
int ResetAllRelChanges(const TEditTree& tree, TPose& pose, const TAnimDocument& doc, int step);

// A press in the tree during an edit: the edit goes on from where the components are now.
// Every animated component's Base takes its Act; every component's edit totals go back to
// zero.
void RebaseEdits(const TEditTree& tree, TPose& pose);

// "Apply Changes": writes the posed transform (Act) of the component each entry of frame `step` names
// (first tree node with exactly that name), narrowed to float, into the entry. Stops at the
// first entry whose component is not in the tree and returns false (the caller shows
// EditText::ApplySelectionNotFound and stays in edit mode); earlier entries are written.
// An invalid step writes nothing and returns true.
bool WriteEditToFrame(const TEditTree& tree, const TPose& pose, TAnimDocument& doc, int step);

// Whether WriteEditToFrame would change an entry of frame `step`: a component one of its
// entries names is posed otherwise than the entry holds.
bool EditChangesFrame(const TEditTree& tree, const TPose& pose, const TAnimDocument& doc, int step);

// "Reset Frame": every entry of frame `step` becomes the identity. False when the
// animation has no frames (the caller shows EditText::NoAnimSteps); an invalid step changes
// nothing.
bool ResetFrameMatrices(TAnimDocument& doc, int step);
