#pragma once
// The model's edits (parents, pivots, names, colours, shown or hidden) as steps of the one
// undo history the animation keeps, and which of the model's files they leave unsaved.
#include "model/ModelEdits.h"

#include <QString>

class TAnimController;
class TComponentForest;

class TModelHistory {
public:
    TModelHistory(TComponentForest& forest, TAnimController& anim);
    // What the components show now is where the next edit starts, without a step: a load
    // that hid components, or a file's names or colours.
    void Rebase();
    // As Rebase, and the model's files hold what is shown: a model loaded or cleared.
    void Loaded();
    // What changed since the last commit or rebase becomes one step named name, or by what
    // it changed. Edits made with the mouse are committed when the button is released.
    void Commit(const QString& name = {});
    // The files of kinds (TModelEditKind) now hold what is shown.
    void Saved(unsigned kinds);
    // The kinds (without hidden, which is in no file) whose file differs from what is shown.
    unsigned Unsaved() const { return Files_.Unsaved(State_); }

private:
    class TStep;
    void Put(const TModelChange& change, bool undo);
    TComponentForest& Forest_;
    TAnimController& Anim_;
    TModelSnapshot State_;
    TModelFileStates Files_;
};
