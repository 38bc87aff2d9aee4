// The animation as the main window shows it: the window's connections to the editor, the
// RTM file commands with their dialogs and questions, the frame buttons and playback.
#include "anim/AnimController.h"
#include "anim/Playback.h"
#include "app/FileBrowser.h"
#include "app/FrameGrid.h"
#include "app/Main.h"
#include "editor/Editor.h"
#include "modelforms/ComponentTree.h"
#include "model/ModelSetup.h"
#include "model/P3dModel.h"
#include "modelforms/ComponentSelection.h"
#include "platform/DebugOut.h"
#include "platform/Dialogs.h"
#include "platform/FileUtil.h"
#include "platform/Ini.h"
#include "app/FrameTimer.h"
#include "platform/JsonText.h"
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
void TMainForm::TPlaybackHost::SetActStep(int step) { F_.Anim.SetActStep(step); }
void TMainForm::TPlaybackHost::ShowInterpolated(double fraction) { F_.Editor_->ShowBlend(fraction); }
void TMainForm::TPlaybackHost::SetPlayFraction(double fraction) { F_.Anim.SetPlayFraction(fraction); }

void TMainForm::ConnectEditor()
{
    connect(&Anim, &TAnimController::AboutToClear, this, [this] {
        // Nothing of the old pass may finish on the frames that come next.
        Playback_->Abort();
        P_AnimControl->StopPlaying();
    });
    connect(&Anim, &TAnimController::Cleared, this, [this] { SetStatusText(2, QStringLiteral("Anim: ")); });
    connect(&Anim, &TAnimController::Replaced, this, [this] { ShowAnimFileName(); });
    // The panels follow the controller's signals themselves, as does the frame timer.
    connect(&Anim, &TAnimController::ActStepChanged, this, [this](int step) { P_Timing->Grid()->ShowCurrentFrame(step); });
    connect(&Anim, &TAnimController::FramesChanged, this, [this] { P_Timing->Grid()->SyncRows(); });
    // Whatever the editor changed, the views show it as it is now, drawn once per turn of
    // the event loop; the tree repaints its marks, the controls follow the options.
    connect(Editor_, &TEditor::Changed, this, [this](unsigned what) {
        if (what & ChangeModel)
            TV_EditComponents->viewport()->update();
        if (what & (ChangeOptions | ChangeLook))
            ShowOptions();
        if (what & ChangeEditMode)
            ShowEditMode(Editor_->Editing());
        ScheduleRefresh();
    });
    // The Edit menu and the title follow the history and what is going on.
    connect(Editor_, &TEditor::UndoStateChanged, this, [this] { ShowUndoState(); });
    connect(P_Timing->Grid(), &TFrameGrid::EditingChanged, this,
            [this](bool on) { Editor_->SetActivity(TEditor::ActivityCell, on); });

    PlaybackHost_ = std::make_unique<TPlaybackHost>(*this);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    Playback_ = std::make_unique<TPlayback>(*PlaybackHost_, [clock] { return clock->nsecsElapsed() / 1e6; });
    PlayTimer = new QTimer(this);
    PlayTimer->setObjectName(QStringLiteral("PlayTimer"));
    PlayTimer->setInterval(0);  // one turn of the loop per pass of the event loop
    connect(PlayTimer, &QTimer::timeout, this, [this] { PlayTimerTimer(); });
}

void TMainForm::CreateNewAnimation()
{
    // An animation may have been loaded while the selection window was open: it is
    // replaced only as "New Animation..." replaces one, after the same question.
    if (!Doc.AnimFrames.empty() && !ConfirmClearAnimation())
        return;
    SetStatusText(2, QStringLiteral("Anim: <NOT SAVED>"));
    const TEditTree tree = Editor_->EditTree();
    if (const QString refused = Editor_->CreateNewAnimation(SubtreeNames(tree.Nodes, tree.Selected)); !refused.isEmpty()) {
        dialogs().ShowMessage(refused);
        return;
    }
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
    if (!Editor_->LoadAnimation(path))
        return;
    P_Timing->Grid()->ShowCurrentFrame(0);
    SetStatusText(2, QStringLiteral("Anim: ") + FileNamePart(Doc.AnimFileName));
    CheckAnimComponents();
    Anim.SetSelection({-1, -1});
    P_AnimControl->SetPlayTime(Doc.FrameCount() * 0.3);
}

void TMainForm::ImportGltf1Click()
{
    // The animation is matched to the model's components by name: without a model there is
    // nothing to match.
    if (Editor_->Models().empty()) {
        dialogs().ShowMessage(QStringLiteral("No P3d Model loaded!"));
        return;
    }
    FileDialogOptions o;
    o.Title = QStringLiteral("Import glTF Animation");
    o.DefaultExt = QStringLiteral("*.glb");
    o.Filter = QStringLiteral("glTF Files|*.gltf *.glb|All Files|*.*");
    o.InitialDir = F_FileBrowser->RTMDir();
    const QString path = dialogs().OpenFile(o);
    if (path.isEmpty() || !SaveChangesFirst())
        return;
    bool cancelled = false;
    const TGltfImport imported = Editor_->ImportGltf(path, {}, &cancelled);
    if (cancelled)  // everything as it was
        return;
    if (!imported.Ok()) {
        dialogs().ShowMessage(imported.Error);
        return;
    }
    ShowNewAnimation(imported.PlayTime);
    SetStatusNote(QStringLiteral("%1: %2 frames, play time %3 s")
                      .arg(FileNamePart(path))
                      .arg(Doc.FrameCount())
                      .arg(ShortestText(float(imported.PlayTime))));
    if (!imported.Warnings.isEmpty())
        dialogs().ShowMessage(imported.Warnings.join(QLatin1Char('\n')));
}

void TMainForm::ShowNewAnimation(double playTime)
{
    P_Timing->Grid()->ShowCurrentFrame(Doc.ActAnimStep);
    P_AnimControl->SetPlayTime(playTime);
}

void TMainForm::CheckAnimComponents()
{
    const QString report = Editor_->MissingReport();
    if (!report.isEmpty())
        dialogs().ShowMessage(QStringLiteral("following Animation Components were not found in the Model:\n") + report);
    else if (Editor_->ModelFileName().isEmpty() && !Doc.AnimFrames.empty())
        SetStatusNote(QStringLiteral("No model loaded: load the model (Ctrl+P) to see this animation."));
}

bool TMainForm::SaveAnimationAs()
{
    FileDialogOptions o;
    o.Title = QStringLiteral("Save Anim As");
    o.DefaultExt = QStringLiteral("*.rtm");
    o.Filter = QStringLiteral("Torvane Anim Files|*.rtm|All|*.*");
    // Where the animation is, as a save mostly goes back beside it; a new one starts in the
    // folder animations were last opened from.
    o.InitialDir = Doc.AnimFileName.isEmpty() ? F_FileBrowser->RTMDir() : QFileInfo(Doc.AnimFileName).absolutePath();
    o.FileName = FileNamePart(Doc.AnimFileName);
    o.OverwritePrompt = true;
    const QString path = dialogs().SaveFile(o);
    return !path.isEmpty() && SaveAnimationTo(path);
}

bool TMainForm::SaveOverChanged(const QString& path, const QString& caption)
{
    // Another editor or program may have written the file since it was read or saved here:
    // saving over that unasked would lose its work.
    return dialogs().AskSaveOver(
        QStringLiteral("%1 has changed on disk since it was opened here. Save over it?").arg(FileNamePart(path)), caption);
}

bool TMainForm::SaveAnimationTo(const QString& path)
{
    if (Anim.ChangedOnDisk(path) && !SaveOverChanged(path, QStringLiteral("Save Animation")))
        return false;
    bool cancelled = false;
    if (const QString error = Editor_->SaveAnimation(path, &cancelled); !error.isEmpty()) {
        dialogs().ShowMessage(error);
        return false;
    }
    if (cancelled)  // the file as it was
        return false;
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
    if (const QString refused = Anim.InsertFrameAfter(); !refused.isEmpty())
        dialogs().ShowMessage(refused);
}

void TMainForm::B_DelAnimStatusChanged()
{
    if (const QString refused = Anim.DeleteCurrentFrame(); !refused.isEmpty())
        dialogs().ShowMessage(refused);
}

bool TMainForm::ConfirmClearAnimation()
{
    if (Editor_->AnimationUnsaved())
        return SaveChangesFirst();
    return dialogs().AskYesNo(QStringLiteral("Are you sure to clear the current animation?\n\n(All changes will be lost!)"),
                              QStringLiteral("Warning"));
}

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
    Editor_->CloseEdit();
    if (!Editor_->AnimationUnsaved())
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
    Anim.ClearAnimation();
}

void TMainForm::B_NewAnimStatusChanged()
{
    if (!Doc.AnimFrames.empty() && !ConfirmClearAnimation())
        return;
    Editor_->StartNewAnimation();
    F_SelectComponents->show();
    F_SelectComponents->raise();
}

// ---- Undo

void TMainForm::Undo1Click() { Editor_->Undo(); }
void TMainForm::Redo1Click() { Editor_->Redo(); }

void TMainForm::ShowUndoState()
{
    const TCommandStack& h = Editor_->History();
    const bool offered = Editor_->UndoOffered();
    Undo1->setEnabled(offered && h.CanUndo());
    Redo1->setEnabled(offered && h.CanRedo());
    Undo1->setText(h.CanUndo() ? QStringLiteral("&Undo %1").arg(h.UndoName()) : QStringLiteral("&Undo"));
    Redo1->setText(h.CanRedo() ? QStringLiteral("&Redo %1").arg(h.RedoName()) : QStringLiteral("&Redo"));
    setWindowModified(Editor_->AnimationUnsaved() || Editor_->ModelUnsaved());
}

// ---- Playback

void TMainForm::B_PlayStatusChanged(bool on)
{
    Editor_->SetActivity(TEditor::ActivityPlaying, on);
    if (!on) {
        Playback_->Stop();
        Anim.SetPlayFraction(0);
        Editor_->HoldPose(false);
        Editor_->ShowCurrentFrame();
        return;
    }
    Editor_->HoldPose(true);
    if (!Playback_->Start(P_AnimControl->PlayTime())) {  // nothing to play
        Editor_->HoldPose(false);
        Editor_->SetActivity(TEditor::ActivityPlaying, false);
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
    Editor_->HoldPose(false);
    if (P_AnimControl->PlayPressed()) {  // it ended by itself: the document was emptied
        Editor_->SetActivity(TEditor::ActivityPlaying, false);
        P_AnimControl->ShowStopped();
    }
}

bool TMainForm::Playing() const { return Playback_ && Playback_->Playing(); }
