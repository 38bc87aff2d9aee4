#include "editor/ModelHistory.h"
#include "anim/AnimController.h"
#include "model/ComponentForest.h"
#include "model/P3dmodell.h"

#include <memory>

class TModelHistory::TStep final : public TExternalStep {
public:
    TStep(TModelHistory& owner, TModelChange change) : Owner_(owner), Change_(std::move(change)) {}
    void Undo() override { Owner_.Put(Change_, true); }
    void Redo() override { Owner_.Put(Change_, false); }
    size_t Bytes() const override { return Change_.Components.size() * (2 * sizeof(TComponentEdits) + sizeof(void*)); }

private:
    TModelHistory& Owner_;
    TModelChange Change_;
};

namespace {
QString StepName(unsigned kinds)
{
    if (kinds & EditLinking)
        return QStringLiteral("Linking and Pivots");
    if (kinds & EditNames)
        return QStringLiteral("Assign new Name");
    if (kinds & EditColors)
        return QStringLiteral("Change Color");
    return QStringLiteral("Show and Hide");
}
}  // namespace

TModelHistory::TModelHistory(TComponentForest& forest, TAnimController& anim) : Forest_(forest), Anim_(anim) {}

void TModelHistory::Rebase() { State_ = SnapshotModel(Forest_); }

void TModelHistory::Loaded()
{
    Rebase();
    Files_.Saved(TModelFileStates::FileKinds, State_);
}

void TModelHistory::Commit(const QString& name)
{
    TModelSnapshot now = SnapshotModel(Forest_);
    TModelChange change = DiffModel(State_, now);
    State_ = std::move(now);
    if (!change.Kinds)
        return;
    const QString step = name.isEmpty() ? StepName(change.Kinds) : name;
    Anim_.PushExternalStep(step, std::make_shared<TStep>(*this, std::move(change)));
}

void TModelHistory::Saved(unsigned kinds) { Files_.Saved(kinds, SnapshotModel(Forest_)); }

void TModelHistory::Put(const TModelChange& change, bool undo)
{
    {
        const TComponentForest::TBatch batch(Forest_);
        ApplyModelChange(change, undo, Forest_);
    }
    Forest_.ComponentsChanged();
    Rebase();
}
