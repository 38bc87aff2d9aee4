#pragma once
// One step of the editor's history: what one operation changed of the animation (the
// steps the animation's controller recorded, in the order done) and of the model (the
// fields of each component it touched, before and after), undone and redone as one.
#include "anim/AnimStep.h"
#include "editor/CommandStack.h"
#include "model/ModelEdits.h"

#include <QStringList>
#include <optional>
#include <vector>

class TAnimController;
class TComponentForest;

// The files a step changes (TCommand::Files): the model's three as its edit kinds name them,
// and the animation's.
enum TEditorFile : unsigned {
    FileLinking = EditLinking,
    FileNames = EditNames,
    FileColors = EditColors,
    FileAnimation = 16,
    ModelFiles = FileLinking | FileNames | FileColors,
};

class TEditorStep final : public TCommand {
public:
    // What the step's undo and redo change.
    struct TTarget {
        TAnimController& Anim;
        TComponentForest& Forest;
        QStringList& HiddenByLoad;  // the editor's: the components an animation's load hid
    };
    TEditorStep(const TTarget& target, QString name, QString mergeKey = {});

    void AddAnim(TAnimStep step);
    void AddModel(const TModelChange& change);
    // The operation replaced the editor's HiddenByLoad list; before is the list it had.
    void AddHiddenByLoad(QStringList before);
    bool Empty() const { return Anim_.empty() && Model_.Empty() && !HiddenByLoad_; }

    void Undo() override;
    void Redo() override;
    size_t Bytes() const override;
    bool MergeWith(TCommand& next) override;

private:
    void PutModel(bool undo);
    TTarget Target_;
    std::vector<TAnimStep> Anim_;
    TModelChange Model_;
    std::optional<QStringList> HiddenByLoad_;  // the other side's list, swapped on the way
};
