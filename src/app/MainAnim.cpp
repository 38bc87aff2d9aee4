// The animation document as the main window shows it: the controller's operations under
// their window names, the controls that follow its signals, the RTM file commands, the
// frame buttons and playback.
#include "anim/AnimController.h"
#include "anim/Playback.h"
#include "app/Filebrowser.h"
#include "app/FrameGrid.h"
#include "app/Main.h"
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

namespace {
void SetSpin(TNumberEdit* e, double v)
{
    const QSignalBlocker block(e);
    e->setValue(v);
}
}  // namespace

int TMainForm::TPlaybackHost::FrameCount() const { return F_.Doc.FrameCount(); }
int TMainForm::TPlaybackHost::ActStep() const { return F_.Doc.ActAnimStep; }
float TMainForm::TPlaybackHost::FrameTime(int i) const { return F_.Doc.AnimFrames[size_t(i)].Time; }
void TMainForm::TPlaybackHost::SetActStep(int step) { F_.SetActStep(step); }
void TMainForm::TPlaybackHost::ShowInterpolated(double fraction) { F_.ShowInterpolated(fraction); }
void TMainForm::TPlaybackHost::SetPlayFraction(double fraction) { F_.Doc.PlayFraction = fraction; }

void TMainForm::ConnectDocument()
{
    connect(Anim, &TAnimController::AboutToClear, this, [this] {
        // Nothing of the old pass may finish on the frames that come next.
        Playback_->Abort();
        B_Play->setChecked(false);
        SetEditMode(false);
    });
    connect(Anim, &TAnimController::Cleared, this, [this] {
        for (TSelection* s : TreeComponents())
            s->ActTransform = TTransform::Identity();
        // What the last load hid comes back; what the user hid stays hidden.
        for (const QString& name : std::exchange(HiddenByLoad_, {}))
            if (TSelection* s = FindComponent(name))
                s->Hidden = false;
        Forest_.ComponentsChanged();  // shown again, and no longer animated
        ResetModelState();  // what a load or unload shows is no edit
        SetStatusText(2, QStringLiteral("Anim: "));
    });
    connect(Anim, &TAnimController::ActStepChanged, this, [this](int step) {
        {
            const QSignalBlocker block(AnimSlider);
            AnimSlider->setValue(step);
        }
        D_ActStep->display(step);
        G_Frames->ShowCurrentFrame(step);
    });
    // The frame timer follows the controller's signals itself.
    connect(Anim, &TAnimController::StepCountChanged, this, [this] { ShowStepCount(); });
    connect(Anim, &TAnimController::FramesChanged, this, [this] { G_Frames->SyncRows(); });
    connect(Anim, &TAnimController::TotalMoveChanged, this, [this] {
        SetSpin(E_TM_x, Doc.TotalMove[0]);
        SetSpin(E_TM_y, Doc.TotalMove[1]);
        SetSpin(E_TM_z, Doc.TotalMove[2]);
    });
    // Every change of the document or of the current frame ends here, once per operation:
    // the views show the document as it is now. Playback and edit mode pose the model
    // themselves.
    connect(Anim, &TAnimController::Changed, this, [this] {
        if (!Doc.LoadingAnim && !EditMode_ && !Playback_->Playing())
            ShowCurrentFrame();
    });
    connect(Anim, &TAnimController::HistoryChanged, this, [this] { UpdateUndoActions(); });
    // A cell's edit commits while its editor is still open: undo is offered once it closed.
    connect(G_Frames->itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this] { UpdateUndoActions(); },
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
void TMainForm::SetStepCount(int count) { Anim->SetStepCount(count); }
void TMainForm::ValidateFrames() { Anim->ValidateFrames(); }

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
    const int count = Doc.AnimStepCount;
    D_Steps->display(count);
    const int divisions = std::min(count - 1, 20);
    {
        const QSignalBlocker block(AnimSlider);
        AnimSlider->setRange(0, std::max(0, count - 1));
        AnimSlider->setTickInterval(divisions > 0 ? std::max(1, (count - 1 + divisions - 1) / divisions) : 1);
    }
    AnimSliderDivisions = std::max(0, divisions);
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
    if (const QString refused = Anim->CreateNewAnimation(SelectedSubtreeNames()); !refused.isEmpty()) {
        dialogs().ShowMessage(refused);
        return;
    }
    G_Frames->ShowCurrentFrame(0);
    Forest_.ComponentsChanged();  // the new animation's marks
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
    if (const QString error = Anim->LoadAnimation(path); !error.isEmpty()) {
        dialogs().ShowMessage(error);
        return;
    }
    Doc.LoadingAnim = true;  // one refresh at the end
    for (TSelection* s : TreeComponents())
        if (!s->Hidden)
            HiddenByLoad_ << s->Name;
    ShowAnimationOnly();
    HiddenByLoad_.removeIf([this](const QString& name) {
        const TSelection* s = FindComponent(name);
        return !s || !s->Hidden;
    });
    ResetModelState();
    G_Frames->ShowCurrentFrame(0);
    SetStatusText(2, QStringLiteral("Anim: ") + FileNamePart(path));
    CheckAnimComponents();
    Anim->SetSelection({-1, -1});
    E_AnimTime->setValue(Doc.FrameCount() * 0.3);
    RefreshFrameTimerChart();
    Doc.LoadingAnim = false;
    RefreshDisplay();
}

QString TMainForm::MissingAnimComponentsReport() const
{
    return MissingComponentsReport(Doc.AnimSelections.Names(), TreeComponents(), TranslationFileName);
}

void TMainForm::CheckAnimComponents()
{
    const QString report = MissingAnimComponentsReport();
    if (!report.isEmpty())
        dialogs().ShowMessage(QStringLiteral("following Animation Components were not found in the Model:\n") + report);
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
    const QModelIndex current = G_Frames->currentIndex();
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

bool TMainForm::Unsaved() const { return Anim->IsModified() && !Doc.AnimFrames.empty(); }

bool TMainForm::SaveChangesFirst()
{
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
    ClearAnimation();
    F_SelectComponents->show();
    F_SelectComponents->raise();
}

void TMainForm::E_TMChanged(int axis, double value) { Anim->SetTotalMove(axis, static_cast<float>(value)); }

// ---- Undo

bool TMainForm::UndoOffered() const
{
    return !B_Play->isChecked() && !EditMode_ && !G_Frames->Editing() &&
           !(F_FrameManipulator && F_FrameManipulator->Dragging());
}

void TMainForm::Undo1Click()
{
    if (UndoOffered())
        Anim->Undo();
}

void TMainForm::Redo1Click()
{
    if (UndoOffered())
        Anim->Redo();
}

void TMainForm::UpdateUndoActions()
{
    const bool offered = UndoOffered();
    Undo1->setEnabled(offered && Anim->CanUndo());
    Redo1->setEnabled(offered && Anim->CanRedo());
    Undo1->setText(Anim->CanUndo() ? QStringLiteral("&Undo %1").arg(Anim->UndoName()) : QStringLiteral("&Undo"));
    Redo1->setText(Anim->CanRedo() ? QStringLiteral("&Redo %1").arg(Anim->RedoName()) : QStringLiteral("&Redo"));
    setWindowModified(Unsaved() || ModelUnsaved_);
}

// ---- Playback

void TMainForm::B_PlayStatusChanged(bool on)
{
    B_Play->setStyleSheet(on ? QStringLiteral("QPushButton{color:red}") : QString());
    if (!on) {
        Playback_->Stop();
        Doc.PlayFraction = 0;
        RefreshDisplay();
        return;
    }
    if (!Playback_->Start(E_AnimTime->value())) {  // nothing to play
        const QSignalBlocker block(B_Play);
        B_Play->setChecked(false);
        B_Play->setStyleSheet(QString());
        return;
    }
    PlayTimer->start();
}

void TMainForm::PlayTimerTimer()
{
    if (Playback_->Tick())
        return;
    PlayTimer->stop();
    if (B_Play->isChecked()) {  // it ended by itself: the document was emptied
        const QSignalBlocker block(B_Play);
        B_Play->setChecked(false);
        B_Play->setStyleSheet(QString());
    }
}

bool TMainForm::Playing() const { return Playback_ && Playback_->Playing(); }

void TMainForm::ShowInterpolated(double fraction)
{
    EnsureTreeOrder();
    switch (ApplyBlendTransforms(Doc, Doc.ActAnimStep, fraction, TreeOrder_)) {
    case TApplyFrameResult::EntryMissing:
        dialogs().ShowMessage(QStringLiteral("AnimEntry not found!"));
        return;
    case TApplyFrameResult::InvalidStep:
        return;  // no next frame to blend towards
    case TApplyFrameResult::Ok:
        break;
    }
    RefreshDisplay();
}
