// Edit mode: turning and moving the selected components of the current frame.
#include "anim/AnimController.h"
#include "app/Filebrowser.h"
#include "app/Main.h"
#include "editor/Editor.h"
#include "modelforms/ComponentTree.h"
#include "platform/Dialogs.h"
#include "view3d/Framemanipulator.h"

#include <QAction>
#include "widgets/Controls.h"
#include <QPushButton>
#include <QSlider>
#include <QTimer>

TEditTree TMainForm::EditTree() const
{
    TEditTree tree;
    tree.Nodes = Editor->Forest().Nodes();
    std::vector<int> position(size_t(Editor->Forest().Count()));
    const std::vector<int> order = Editor->Forest().TreeIndices();
    for (size_t i = 0; i < order.size(); ++i) {
        position[size_t(order[i])] = int(i);
        tree.Nodes[i].InAnimation = IsInAnimation(tree.Nodes[i].Component);
    }
    for (int node : TV_EditComponents->SelectedNodes())
        tree.Selected.push_back(position[size_t(node)]);
    return tree;
}

bool TMainForm::IsBeingEdited(const TSelection* component) const { return ::IsBeingEdited(EditTree(), component); }

void TMainForm::SetEditMode(bool on)
{
    EditMode_ = on;
    Editor->HoldPose(on || Playing());
    if (on)
        EditTimer_->start();
    else
        EditTimer_->stop();
    P_EditAnim->setVisible(on);
    P_Timing->setVisible(!on);
    P_AnimControl->setVisible(!on);
    // No file is loaded and no name or colour changes while an edit runs.
    if (F_FileBrowser)
        F_FileBrowser->SetEditLock(on);
    // Nor do frames move: Apply writes the edit into the frame at the current index.
    if (F_FrameManipulator)
        F_FrameManipulator->SetEditLock(on);
    for (QAction* a : {Menus.ChangeColor1, Menus.SaveColors1, Menus.AssignNewName1, Menus.SaveNames1})
        a->setEnabled(!on);
    UpdateUndoActions();
    if (!Doc.AnimFrames.empty())
        Editor->ShowFrame(Doc.ActAnimStep);
}

void TMainForm::B_EditingStatusChanged()
{
    if (const char* refusal = EditModeRefusal(Doc.FrameCount(), int(Editor->Forest().Children(-1).size()))) {
        dialogs().ShowMessage(QString::fromLatin1(refusal));
        return;
    }
    P_AnimControl->StopPlaying();
    const int missing = ResetAllRelChanges(EditTree(), Doc, Doc.ActAnimStep);
    for (int i = 0; i < missing; ++i)
        dialogs().ShowMessage(QString::fromLatin1(EditText::ResetRelEntryNotFound));
    SetEditMode(true);
}

void TMainForm::EditTimerTimer()
{
    const auto [x, y, z] = P_EditAnim->Deflection();
    if (SlidersCentred(x, y, z))
        return;
    // Off for the length of the tick, so slow refreshes never pile ticks up.
    EditTimer_->stop();
    const TEditTree tree = EditTree();
    EditTick(tree, P_EditAnim->Rotating(), x, y, z);
    ApplyEditChanges(tree);
    if (EditMode_)
        EditTimer_->start();
}

void TMainForm::ApplyEditChanges() { ApplyEditChanges(EditTree()); }

void TMainForm::ApplyEditChanges(const TEditTree& tree)
{
    ::ApplyEditChanges(tree, Editor->Options().Offset.data(), P_EditAnim->Relative());
    Editor->PoseEdited();
}

void TMainForm::B_ApplyEditStatusChanged()
{
    const TEditTree tree = EditTree();
    const int step = Doc.ActAnimStep;
    if (!Anim->EditFrame(QStringLiteral("Apply Changes"), step,
                         [&tree, step](TAnimDocument& doc) { return WriteEditToFrame(tree, doc, step); })) {
        dialogs().ShowMessage(QString::fromLatin1(EditText::ApplySelectionNotFound));
        return;
    }
    SetEditMode(false);
}

void TMainForm::B_CancelEditStatusChanged() { SetEditMode(false); }

void TMainForm::B_ResetEditStatusChanged()
{
    const int missing = ResetAllRelChanges(EditTree(), Doc, Doc.ActAnimStep);
    for (int i = 0; i < missing; ++i)
        dialogs().ShowMessage(QString::fromLatin1(EditText::ResetRelEntryNotFound));
    ApplyEditChanges();
}

void TMainForm::B_ResetMatrixStatusChanged()
{
    const int step = Doc.ActAnimStep;
    if (!Anim->EditFrame(QStringLiteral("Reset Frame"), step,
                         [step](TAnimDocument& doc) { return ResetFrameMatrices(doc, step); }))
        dialogs().ShowMessage(QString::fromLatin1(EditText::NoAnimSteps));
}
