// The animation document as the main window shows it: the controller's operations under
// their window names, the controls that follow its signals, the RTM file commands, the
// frame buttons and playback.
#include "anim/AnimController.h"
#include "anim/Playback.h"
#include "app/Filebrowser.h"
#include "app/FrameGrid.h"
#include "app/Main.h"
#include "editor/Editor.h"
#include "modelforms/ComponentTree.h"
#include "model/ModelSetup.h"
#include "model/P3dmodell.h"
#include "modelforms/Selectcomponents.h"
#include "platform/DebugOut.h"
#include "platform/Dialogs.h"
#include "platform/FileUtil.h"
#include "platform/Ini.h"
#include "view3d/Framemanipulator.h"
#include "widgets/Controls.h"

#include <QAbstractItemDelegate>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLCDNumber>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <utility>

int TMainForm::TPlaybackHost::FrameCount() const { return F_.Doc.FrameCount(); }
int TMainForm::TPlaybackHost::ActStep() const { return F_.Doc.ActAnimStep; }
float TMainForm::TPlaybackHost::FrameTime(int i) const { return F_.Doc.AnimFrames[size_t(i)].Time; }
void TMainForm::TPlaybackHost::SetActStep(int step) { F_.SetActStep(step); }
void TMainForm::TPlaybackHost::ShowInterpolated(double fraction) { F_.ShowInterpolated(fraction); }
void TMainForm::TPlaybackHost::SetPlayFraction(double fraction) { F_.Anim->SetPlayFraction(fraction); }

void TMainForm::ShowInterpolated(double fraction) { Editor->ShowBlend(fraction); }

void TMainForm::ConnectDocument()
{
    connect(Anim, &TAnimController::AboutToClear, this, [this] {
        // Nothing of the old pass may finish on the frames that come next.
        Playback_->Abort();
        P_AnimControl->StopPlaying();
    });
    connect(Anim, &TAnimController::Cleared, this, [this] { SetStatusText(2, QStringLiteral("Anim: ")); });
    connect(Anim, &TAnimController::Replaced, this, [this] { ShowAnimFileName(); });
    connect(Anim, &TAnimController::ActStepChanged, this, [this](int step) {
        P_AnimControl->ShowCurrentFrame(step);
        P_Timing->Grid()->ShowCurrentFrame(step);
    });
    // The frame timer follows the controller's signals itself.
    connect(Anim, &TAnimController::StepCountChanged, this, [this] { ShowStepCount(); });
    connect(Anim, &TAnimController::FramesChanged, this, [this] { P_Timing->Grid()->SyncRows(); });
    connect(Anim, &TAnimController::TotalMoveChanged, this, [this] { P_AnimControl->ShowTotalMove(Doc.TotalMove); });
    // Whatever the editor changed, the views show it as it is now, drawn once per turn of
    // the event loop; the tree repaints its marks, the controls follow the options.
    connect(Editor, &TEditor::Changed, this, [this](unsigned what) {
        if (what & ChangeModel)
            TV_EditComponents->viewport()->update();
        if (what & ChangeOptions)
            OptionsToControls();
        if (what & ChangeEditMode)
            ShowEditMode(Editor->Editing());
        ScheduleRefresh();
    });
    // The Edit menu and the title follow the history; what is offered also depends on what
    // is going on, so its starts and ends are followed too.
    connect(&Editor->History(), &TCommandStack::StateChanged, this, [this] { ShowUndoState(); });
    // A cell's edit commits while its editor is still open: undo is offered once it closed.
    connect(P_Timing->Grid()->itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this] { ShowUndoState(); },
            Qt::QueuedConnection);

    PlaybackHost_ = std::make_unique<TPlaybackHost>(*this);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    Playback_ = std::make_unique<TPlayback>(*PlaybackHost_, [clock] { return clock->nsecsElapsed() / 1e6; });
    PlayTimer = new QTimer(this);
    PlayTimer->setObjectName(QStringLiteral("PlayTimer"));
    PlayTimer->setInterval(0);  // one turn of the loop per pass of the event loop
    connect(PlayTimer, &QTimer::timeout, this, [this] { PlayTimerTimer(); });
}

// ---- The document operations under their window names

void TMainForm::ClearAnimation() { Anim->ClearAnimation(); }
void TMainForm::SetActStep(int step) { Anim->SetActStep(step); }

bool TMainForm::DeleteFrame(int index)
{
    const QString refused = Anim->DeleteFrame(index);
    if (!refused.isEmpty())
        dialogs().ShowMessage(refused);
    return refused.isEmpty();
}

bool TMainForm::IsInAnimation(const TSelection* component) const
{
    return component && Anim->IsInAnimation(component->Name);
}

void TMainForm::ShowStepCount()
{
    P_AnimControl->ShowFrameCount(Doc.AnimStepCount);
}

QStringList TMainForm::SelectedSubtreeNames() const
{
    const TEditTree tree = EditTree();
    return SubtreeNames(tree.Nodes, tree.Selected);
}

void TMainForm::CreateNewAnimation()
{
    // An animation may have been loaded while the selection window was open: it is
    // replaced only as "New Animation..." replaces one, after the same question.
    if (!Doc.AnimFrames.empty() && !ConfirmClearAnimation())
        return;
    SetStatusText(2, QStringLiteral("Anim: <NOT SAVED>"));
    if (const QString refused = Editor->CreateNewAnimation(SelectedSubtreeNames()); !refused.isEmpty()) {
        dialogs().ShowMessage(refused);
        return;
    }
    P_DisplayMode->ShowCheckedComponents();  // the animated components, as the new one hid the rest
    P_Timing->Grid()->ShowCurrentFrame(0);
}

// ---- RTM files

void TMainForm::LoadAnim1Click()
{
    FileDialogOptions o;
    o.Title = QStringLiteral("Load Anim");
    o.DefaultExt = QStringLiteral("*.rtm");
    o.Filter = QStringLiteral("Torvane Anim  Files|*.rtm|All Files|*.*");
    o.InitialDir = F_FileBrowser->RTMDir();
    const QString path = dialogs().OpenFile(o);
    if (path.isEmpty())
        return;
    LoadAnimation(path);
    F_FileBrowser->SetRTMDir(QFileInfo(path).absolutePath());
}

void TMainForm::LoadAnimation(const QString& path)
{
    if (path.isEmpty() || !SaveChangesFirst())
        return;
    if (!Editor->LoadAnimation(path))
        return;
    if (!Doc.AnimFrames.empty())
        P_DisplayMode->ShowCheckedComponents();  // the animated components, as the load hid the rest
    P_Timing->Grid()->ShowCurrentFrame(0);
    SetStatusText(2, QStringLiteral("Anim: ") + FileNamePart(path));
    CheckAnimComponents();
    Anim->SetSelection({-1, -1});
    P_AnimControl->SetPlayTime(Doc.FrameCount() * 0.3);
}

QString TMainForm::MissingAnimComponentsReport() const
{
    return Editor->MissingReport();
}

void TMainForm::CheckAnimComponents()
{
    const QString report = MissingAnimComponentsReport();
    if (!report.isEmpty())
        dialogs().ShowMessage(QStringLiteral("following Animation Components were not found in the Model:\n") + report);
    else if (ModelFileName().isEmpty() && !Doc.AnimFrames.empty())
        SetStatusNote(QStringLiteral("No model loaded: load the model (Ctrl+P) to see this animation."));
}

bool TMainForm::SaveAnimationAs()
{
    FileDialogOptions o;
    o.Title = QStringLiteral("Save Anim As");
    o.DefaultExt = QStringLiteral("*.rtm");
    o.Filter = QStringLiteral("Torvane Anim Files|*.rtm|All|*.*");
    o.InitialDir = F_FileBrowser->RTMDir();
    o.FileName = FileNamePart(Doc.AnimFileName);
    o.OverwritePrompt = true;
    const QString path = dialogs().SaveFile(o);
    return !path.isEmpty() && SaveAnimationTo(path);
}

bool TMainForm::SaveAnimationTo(const QString& path)
{
    if (const QString error = Anim->SaveAnimation(path); !error.isEmpty()) {
        dialogs().ShowMessage(error);
        return false;
    }
    SetStatusText(2, QStringLiteral("Anim: ") + FileNamePart(path));
    return true;
}

// ---- The frame buttons

void TMainForm::B_AppendStatusChanged()
{
    if (Doc.AnimFrames.empty()) {
        dialogs().ShowMessage(QStringLiteral("No Anim found!"));
        return;
    }
    const QModelIndex current = P_Timing->Grid()->currentIndex();
    if (!current.isValid() || current.row() >= Doc.FrameCount()) {
        dialogs().ShowMessage(QStringLiteral("Please select TimeStep first"));
        return;
    }
    if (const QString refused = Anim->InsertFrameAfter(); !refused.isEmpty())
        dialogs().ShowMessage(refused);
}

void TMainForm::B_DelAnimStatusChanged()
{
    if (const QString refused = Anim->DeleteCurrentFrame(); !refused.isEmpty())
        dialogs().ShowMessage(refused);
}

bool TMainForm::AskClearAnimation() const
{
    return dialogs().AskYesNo(QStringLiteral("Are you sure to clear the current animation?\n\n(All changes will be lost!)"),
                              QStringLiteral("Warning"));
}

bool TMainForm::ConfirmClearAnimation()
{
    return Unsaved() ? SaveChangesFirst() : AskClearAnimation();
}

bool TMainForm::Unsaved() const { return Editor->AnimationUnsaved(); }

void TMainForm::ShowAnimFileName()
{
    const QString& name = Doc.AnimFileName;
    SetStatusText(2, Doc.AnimFrames.empty() ? QStringLiteral("Anim: ")
                     : name.isEmpty()       ? QStringLiteral("Anim: <NOT SAVED>")
                                            : QStringLiteral("Anim: ") + FileNamePart(name));
}

bool TMainForm::SaveChangesFirst()
{
    // An open edit is work too: it is offered to its frame before the question.
    Editor->CloseEdit();
    if (!Unsaved())
        return true;
    const QString name = Doc.AnimFileName.isEmpty() ? QStringLiteral("the new animation") : FileNamePart(Doc.AnimFileName);
    switch (dialogs().AskSaveChanges(QStringLiteral("Save changes to %1?").arg(name))) {
    case TSaveAnswer::Save:
        return Doc.AnimFileName.isEmpty() ? SaveAnimationAs() : SaveAnimationTo(Doc.AnimFileName);
    case TSaveAnswer::Discard:
        return true;
    case TSaveAnswer::Cancel:
        break;
    }
    return false;
}

void TMainForm::B_UnloadAnimStatusChanged()
{
    if (Doc.AnimFrames.empty() || !ConfirmClearAnimation())
        return;
    ClearAnimation();
}

void TMainForm::B_NewAnimStatusChanged()
{
    if (!Doc.AnimFrames.empty() && !ConfirmClearAnimation())
        return;
    Editor->StartNewAnimation();
    F_SelectComponents->show();
    F_SelectComponents->raise();
}

void TMainForm::E_TMChanged(int axis, double value) { Anim->SetTotalMove(axis, static_cast<float>(value)); }

// ---- Undo

bool TMainForm::UndoOffered() const
{
    return !P_AnimControl->PlayPressed() && !EditMode() && !P_Timing->Grid()->Editing() &&
           !(F_FrameManipulator && F_FrameManipulator->Dragging());
}

void TMainForm::Undo1Click()
{
    if (UndoOffered())
        Editor->Undo();
}

void TMainForm::Redo1Click()
{
    if (UndoOffered())
        Editor->Redo();
}

void TMainForm::ShowUndoState()
{
    const TCommandStack& h = Editor->History();
    const bool offered = UndoOffered();
    Menus.Undo1->setEnabled(offered && h.CanUndo());
    Menus.Redo1->setEnabled(offered && h.CanRedo());
    Menus.Undo1->setText(h.CanUndo() ? QStringLiteral("&Undo %1").arg(h.UndoName()) : QStringLiteral("&Undo"));
    Menus.Redo1->setText(h.CanRedo() ? QStringLiteral("&Redo %1").arg(h.RedoName()) : QStringLiteral("&Redo"));
    setWindowModified(Unsaved() || ModelUnsaved());
}

// ---- Playback

void TMainForm::B_PlayStatusChanged(bool on)
{
    if (!on) {
        Playback_->Stop();
        Anim->SetPlayFraction(0);
        Editor->HoldPose(false);
        Editor->ShowCurrentFrame();
        return;
    }
    Editor->HoldPose(true);
    if (!Playback_->Start(P_AnimControl->PlayTime())) {  // nothing to play
        Editor->HoldPose(false);
        P_AnimControl->ShowStopped();
        return;
    }
    PlayTimer->start();
}

void TMainForm::PlayTimerTimer()
{
    if (Playback_->Tick())
        return;
    PlayTimer->stop();
    Editor->HoldPose(false);
    if (P_AnimControl->PlayPressed())  // it ended by itself: the document was emptied
        P_AnimControl->ShowStopped();
}

bool TMainForm::Playing() const { return Playback_ && Playback_->Playing(); }

