#pragma once
// What a user edits on a model and saves to its own files (parents and pivots, display
// names, colours) or only looks at (hidden), taken as a state so that an edit can be
// undone: a snapshot of every component, the difference of two snapshots, and one side of
// that difference put back onto the components and the forest.
#include <QString>
#include <cstdint>
#include <vector>

class TComponentForest;
struct TSelection;

struct TComponentEdits {
    QString Parent;  // the parent's Name; empty at the top level
    float Pivot[3] = {0, 0, 0};
    QString DisplayName;
    uint32_t Color = 0;
    bool Hidden = false;
};

// What a change touched, as flags.
enum TModelEditKind : unsigned {
    EditLinking = 1,  // parents or pivots: the .lpv file
    EditNames = 2,    // display names: the translation file
    EditColors = 4,   // the colour file
    EditHidden = 8,   // shown or hidden: in no file
};

struct TModelSnapshot {
    std::vector<TSelection*> Components;  // in tree order
    std::vector<TComponentEdits> Edits;
};
TModelSnapshot SnapshotModel(const TComponentForest& forest);

// The components whose edits differ, with both sides; Kinds is 0 when nothing differs.
struct TModelChange {
    std::vector<TSelection*> Components;
    std::vector<TComponentEdits> Before;
    std::vector<TComponentEdits> After;
    unsigned Kinds = 0;
};
TModelChange DiffModel(const TModelSnapshot& before, const TModelSnapshot& after);

// What the model's own files hold (the linking file, the names file, the colour file), as
// last loaded or saved: a kind is unsaved while the components differ from its file in it,
// so an edit undone back to the file's state leaves nothing to save.
class TModelFileStates {
public:
    static constexpr unsigned FileKinds = EditLinking | EditNames | EditColors;
    // The files of kinds now hold what now shows.
    void Saved(unsigned kinds, const TModelSnapshot& now);
    // The kinds (of FileKinds) whose file differs from now.
    unsigned Unsaved(const TModelSnapshot& now) const;

private:
    TModelSnapshot Linking_, Names_, Colors_;
};

// Puts the Before (undo) or After side back: the components' fields, and with a change of
// parents the forest's hierarchy, sorted again. Returns whether the hierarchy changed.
bool ApplyModelChange(const TModelChange& change, bool undo, TComponentForest& forest);
