#include "editor/EditorStep.h"
#include "anim/AnimController.h"
#include "model/ComponentForest.h"

#include <utility>

TEditorStep::TEditorStep(const TTarget& target, QString name, QString mergeKey)
    : TCommand(std::move(name), 0, std::move(mergeKey)), Target_(target)
{}

void TEditorStep::AddAnim(TAnimStep step)
{
    Anim_.push_back(std::move(step));
    AddFiles(FileAnimation);
}

void TEditorStep::AddModel(const TModelChange& change)
{
    Model_.Append(change);
    AddFiles(change.Kinds & ModelFiles);
}

void TEditorStep::AddHiddenByLoad(QStringList before)
{
    if (!HiddenByLoad_)  // the first side is the one the step goes back to
        HiddenByLoad_ = std::move(before);
}

void TEditorStep::PutModel(bool undo)
{
    if (!Model_.Empty()) {
        ApplyModelChange(Model_, undo, Target_.Forest);
        Target_.Forest.ComponentsChanged();
    }
    if (HiddenByLoad_)
        std::swap(*HiddenByLoad_, Target_.HiddenByLoad);
}

void TEditorStep::Undo()
{
    for (auto it = Anim_.rbegin(); it != Anim_.rend(); ++it)
        Target_.Anim.PutBack(*it, true);
    PutModel(true);
}

void TEditorStep::Redo()
{
    for (TAnimStep& step : Anim_)
        Target_.Anim.PutBack(step, false);
    PutModel(false);
}

size_t TEditorStep::Bytes() const
{
    size_t n = sizeof(*this) + Model_.Bytes();
    for (const TAnimStep& step : Anim_)
        n += step.Bytes();
    if (HiddenByLoad_)
        for (const QString& name : *HiddenByLoad_)
            n += sizeof(QString) + size_t(name.capacity()) * sizeof(QChar);
    return n;
}

bool TEditorStep::MergeWith(TCommand& next)
{
    auto* other = dynamic_cast<TEditorStep*>(&next);
    if (!other)
        return false;
    for (TAnimStep& step : other->Anim_)
        Anim_.push_back(std::move(step));
    Model_.Append(other->Model_);
    if (other->HiddenByLoad_)
        AddHiddenByLoad(std::move(*other->HiddenByLoad_));
    AddFiles(other->Files());
    return true;
}
