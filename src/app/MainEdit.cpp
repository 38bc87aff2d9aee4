// Edit mode: turning and moving the selected components of the current frame. The editor
// keeps the rules; the window shows the panels, locks what an edit locks and shows the
// messages.
#include "app/FileBrowser.h"
#include "app/Main.h"
#include "editor/Editor.h"
#include "platform/Dialogs.h"
#include "app/FrameTimer.h"

#include <QAction>
#include <QTimer>

void TMainForm::ShowEditMode(bool on)
{
    Editor_->HoldPose(Playing());
    if (on)
        EditTimer_->start();
    else
        EditTimer_->stop();
    P_EditAnim->setVisible(on);
    P_Timing->setVisible(!on);
    P_AnimControl->setVisible(!on);
    // No file is loaded and no name or colour changes while an edit runs.
    F_FileBrowser->SetEditLock(on);
    // Nor do frames move: Apply writes the edit into the frame at the current index.
    F_FrameManipulator->SetEditLock(on);
    for (QAction* a : {ChangeColor1, SaveColors1, AssignNewName1, SaveNames1})
        a->setEnabled(!on);
}

void TMainForm::B_EditingStatusChanged()
{
    const TEditor::TEditStart start = Editor_->BeginEdit();
    if (start.Refusal) {
        dialogs().ShowMessage(QString::fromLatin1(start.Refusal));
        return;
    }
    P_AnimControl->StopPlaying();
    for (int i = 0; i < start.Missing; ++i)
        dialogs().ShowMessage(QString::fromLatin1(EditText::ResetRelEntryNotFound));
}

void TMainForm::EditTimerTimer()
{
    // Off for the length of the tick, so slow refreshes never pile ticks up.
    EditTimer_->stop();
    const auto [x, y, z] = P_EditAnim->Deflection();
    Editor_->EditTick(P_EditAnim->Rotating(), P_EditAnim->Relative(), x, y, z);
    if (Editor_->Editing())
        EditTimer_->start();
}

void TMainForm::B_ApplyEditStatusChanged()
{
    if (!Editor_->ApplyEdit())
        dialogs().ShowMessage(QString::fromLatin1(EditText::ApplySelectionNotFound));
}

void TMainForm::B_ResetEditStatusChanged()
{
    const int missing = Editor_->RestoreEdit(P_EditAnim->Relative());
    for (int i = 0; i < missing; ++i)
        dialogs().ShowMessage(QString::fromLatin1(EditText::ResetRelEntryNotFound));
}

void TMainForm::B_ResetMatrixStatusChanged()
{
    if (!Editor_->ResetFrame())
        dialogs().ShowMessage(QString::fromLatin1(EditText::NoAnimSteps));
}
