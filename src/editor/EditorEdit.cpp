// Edit mode: turning and moving the selected components of the edited frame, each with its
// subtree, and keeping the edit on its own frame whatever else happens meanwhile.
#include "editor/Editor.h"

#include <utility>

TEditTree TEditor::EditTree() const
{
    TEditTree tree;
    tree.Nodes = Nodes_;
    std::vector<int> position(size_t(Setup_.Forest.Count()), -1);
    const std::vector<int> order = Setup_.Forest.TreeIndices();
    for (size_t i = 0; i < order.size() && i < tree.Nodes.size(); ++i) {
        position[size_t(order[i])] = int(i);
        tree.Nodes[i].InAnimation = Anim_.IsInAnimation(tree.Nodes[i].Component->Name);
    }
    for (int node : Selection_)
        if (node >= 0 && node < int(position.size()) && position[size_t(node)] >= 0)
            tree.Selected.push_back(position[size_t(node)]);
    return tree;
}

TEditor::TEditStart TEditor::BeginEdit()
{
    TEditStart start;
    start.Refusal = EditModeRefusal(Anim_.Doc.FrameCount(), int(Setup_.Forest.Children(-1).size()));
    if (start.Refusal)
        return start;
    EditStep_ = Anim_.Doc.ActAnimStep;
    start.Missing = ResetAllRelChanges(EditTree(), Pose_, Anim_.Doc, EditStep_);
    Editing_ = true;
    ShowFrame(EditStep_);
    emit Changed(ChangeEditMode);
    emit UndoStateChanged();
    return start;
}

bool TEditor::EditTick(bool rotate, bool relative, double x, double y, double z)
{
    if (!Editing_ || SlidersCentred(x, y, z))
        return false;
    const TEditTree tree = EditTree();
    ::EditTick(tree, Pose_, rotate, x, y, z);
    ApplyEditChanges(tree, Pose_, Options_.Offset.data(), relative);
    emit Changed(ChangePose);
    return true;
}

int TEditor::RestoreEdit(bool relative)
{
    if (!Editing_)
        return 0;
    const TEditTree tree = EditTree();
    const int missing = ResetAllRelChanges(tree, Pose_, Anim_.Doc, EditStep_);
    ApplyEditChanges(tree, Pose_, Options_.Offset.data(), relative);
    emit Changed(ChangePose);
    return missing;
}

bool TEditor::WriteEdit()
{
    const TEditTree tree = EditTree();
    const int step = EditStep_;
    WritingEdit_ = true;
    const bool written = Anim_.EditFrame(QStringLiteral("Apply Changes"), step, [this, &tree, step](TAnimDocument& doc) {
        return WriteEditToFrame(tree, Pose_, doc, step);
    });
    WritingEdit_ = false;
    return written;
}

bool TEditor::ApplyEdit()
{
    if (!Editing_ || !WriteEdit())
        return false;
    StopEdit();
    return true;
}

void TEditor::StopEdit()
{
    RestartEdit_ = false;
    if (!std::exchange(Editing_, false))
        return;
    EditStep_ = -1;
    ShowCurrentFrame();
    emit Changed(ChangeEditMode);
    emit UndoStateChanged();
}

void TEditor::EndEdit() { StopEdit(); }

void TEditor::RestartEdit()
{
    RestartEdit_ = false;
    if (!Editing_)
        return;
    if (Anim_.Doc.AnimFrames.empty()) {
        StopEdit();
        return;
    }
    EditStep_ = Anim_.Doc.ActAnimStep;
    const int missing = ResetAllRelChanges(EditTree(), Pose_, Anim_.Doc, EditStep_);
    for (int i = 0; i < missing; ++i)
        Message(QString::fromLatin1(EditText::ResetRelEntryNotFound));
    ShowFrame(EditStep_);
}

void TEditor::LeaveEdit(TAnimChange change)
{
    if (!Editing_ || WritingEdit_)
        return;
    // Nothing is lost silently: an edit that changed its frame is offered to it first.
    if (EditChangesFrame(EditTree(), Pose_, Anim_.Doc, EditStep_) &&
        Ask(QStringLiteral("Apply the changes to frame %1?").arg(EditStep_)) && !WriteEdit())
        Message(QString::fromLatin1(EditText::ApplySelectionNotFound));
    if (change == TAnimChange::CurrentFrame)
        RestartEdit_ = true;  // once the frame is current
    else
        StopEdit();
}

void TEditor::RebaseEdit()
{
    if (Editing_)
        RebaseEdits(EditTree(), Pose_);
}

bool TEditor::ResetFrame()
{
    const int step = Anim_.Doc.ActAnimStep;
    return Anim_.EditFrame(QStringLiteral("Reset Frame"), step,
                           [step](TAnimDocument& doc) { return ResetFrameMatrices(doc, step); });
}
