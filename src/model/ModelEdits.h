#pragma once
// What a user edits on a model and saves to its own files (parents and pivots, display
// names, colours) or only looks at (hidden), recorded so that an edit can be undone: the
// fields of the components an edit touched, before and after it, and one side of that put
// back onto the components and the forest.
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
    EditNames = 2,  // display names: the translation file
    EditColors = 4,  // the colour file
    EditHidden = 8,  // shown or hidden: in no file
};

// The components an edit changed, with both sides; Kinds is 0 when nothing changed.
struct TModelChange {
    std::vector<TSelection*> Components;
    std::vector<TComponentEdits> Before;
    std::vector<TComponentEdits> After;
    unsigned Kinds = 0;

    bool Empty() const { return Components.empty(); }
    // next, done after this change, joins it: a component both touched keeps this
    // change's Before and takes next's After.
    void Append(const TModelChange& next);
    size_t Bytes() const;
};

// The fields of the components of some nodes before an edit; Finish gives what the edit
// changed of them.
class TModelRecorder {
public:
    // nodes empty: every node.
    TModelRecorder(TComponentForest& forest, std::vector<int> nodes);
    TModelChange Finish() const;

private:
    TComponentForest& Forest_;
    std::vector<int> Nodes_;
    std::vector<TComponentEdits> Before_;
};

// Puts the Before (undo) or After side back: the components' fields, and with a change of
// parents the forest's hierarchy, sorted again. Returns whether the hierarchy changed.
bool ApplyModelChange(const TModelChange& change, bool undo, TComponentForest& forest);
