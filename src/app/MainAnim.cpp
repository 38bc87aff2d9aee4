// The animation document's operations and the RTM file commands of the main window.
#include "anim/Rtm.h"
#include "app/Filebrowser.h"
#include "app/Main.h"
#include "model/ComponentTree.h"
#include "model/P3dmodell.h"
#include "platform/DebugOut.h"
#include "platform/Dialogs.h"
#include "platform/FileUtil.h"
#include "platform/Ini.h"
#include "view3d/Framemanipulator.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QLCDNumber>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTableWidget>


namespace {
void SetSpin(QDoubleSpinBox* e, double v)
{
    const QSignalBlocker block(e);
    e->setValue(v);
}
}  // namespace

void TMainForm::ClearAnimation()
{
    B_Play->setChecked(false);
    SetEditMode(false);
    SetActStep(0);
    QApplication::processEvents();
    for (QTreeWidgetItem* node : TreeNodes())
        if (TSelection* s = SelectionOf(node))
            s->ActTransform = TTransform::Identity();
    Doc.AnimFrames = {};  // its memory goes back too, not only its frames
    G_Frames->setRowCount(2);
    G_Frames->setItem(0, 0, new QTableWidgetItem(QStringLiteral("No")));
    G_Frames->setItem(0, 1, new QTableWidgetItem(QStringLiteral("Time Step")));
    G_Frames->setItem(1, 0, nullptr);
    G_Frames->setItem(1, 1, nullptr);
    Doc.AnimSelections.Clear();
    Doc.AnimStepCount = 0;  // the indicators keep their last values
    Doc.TotalMove = {0, 0, 0};
    SetSpin(E_TM_x, 0);
    SetSpin(E_TM_y, 0);
    SetSpin(E_TM_z, 0);
    Doc.AnimFileName.clear();
    SetStatusText(2, QStringLiteral("Anim: "));
}

void TMainForm::SetActStep(int step)
{
    if (Doc.ShuttingDown)
        return;
    if (step >= Doc.AnimStepCount)
        step = Doc.AnimStepCount - 1;
    if (step < 0)
        step = 0;
    if (step == Doc.ActAnimStep)
        return;
    Doc.ActAnimStep = step;
    {
        const QSignalBlocker block(AnimSlider);
        AnimSlider->setValue(step);
    }
    D_ActStep->display(step);
    G_Frames->setCurrentCell(step + 1, 1);
    if (!B_Play->isChecked())
        ApplyFrame(step);
    G_Frames->viewport()->update();
}

void TMainForm::SetStepCount(int count)
{
    if (Doc.ShuttingDown)
        return;
    if (count < 0)
        count = 0;
    if (count == Doc.AnimStepCount)
        return;
    Doc.AnimStepCount = count;
    D_Steps->display(count);
    const int divisions = std::min(count - 1, 20);
    {
        const QSignalBlocker block(AnimSlider);
        AnimSlider->setRange(0, std::max(0, count - 1));
        AnimSlider->setTickInterval(divisions > 0 ? std::max(1, (count - 1 + divisions - 1) / divisions) : 1);
    }
    AnimSliderDivisions = std::max(0, divisions);
    if (Doc.ActAnimStep == Doc.AnimStepCount)
        SetActStep(Doc.AnimStepCount - 1);
    RefreshFrameTimerChart();
}

void TMainForm::ValidateFrames()
{
    ValidateFrameTimes(Doc.AnimFrames);
    G_Frames->setRowCount(Doc.AnimStepCount + 2);
    G_Frames->viewport()->update();
}

bool TMainForm::DeleteFrame(int index)
{
    if (Doc.AnimFrames.size() <= 2) {
        dialogs().ShowMessage(QStringLiteral("Only two Animsteps left!"));
        return false;
    }
    if (index < 0 || index >= Doc.FrameCount())
        return false;
    Doc.AnimFrames.erase(Doc.AnimFrames.begin() + index);
    SetStepCount(Doc.AnimStepCount - 1);
    return true;
}

bool TMainForm::IsInAnimation(const TSelection* component) const
{
    return component && Doc.AnimSelections.IndexOf(component->Name) >= 0;
}

void TMainForm::CreateNewAnimation()
{
    SetStatusText(2, QStringLiteral("Anim: <NOT SAVED>"));
    Doc.AnimFileName.clear();
    const QList<QTreeWidgetItem*> selected = TV_EditComponents->selectedItems();
    if (selected.isEmpty()) {
        dialogs().ShowMessage(QStringLiteral("Nothing selected!"));
        return;
    }
    TAnimFrame frame;
    frame.Time = 0;
    Doc.AnimFrames.push_back(std::move(frame));
    G_Frames->setRowCount(G_Frames->rowCount() + 1);
    SetStepCount(1);
    for (QTreeWidgetItem* node : selected)
        AddSubtreeToAnimation(Doc.AnimFrames.back(), node);
    TV_EditComponents->viewport()->update();
}

void TMainForm::AddSubtreeToAnimation(TAnimFrame& frame, QTreeWidgetItem* node)
{
    if (!node)
        return;
    if (const TSelection* s = SelectionOf(node); s && Doc.AnimSelections.IndexOf(s->Name) < 0) {
        TAnimEntry e;
        e.NameIndex = Doc.AnimSelections.Add(s->Name);
        frame.Entries.push_back(e);
    }
    for (int i = 0; i < node->childCount(); ++i)
        AddSubtreeToAnimation(frame, node->child(i));
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
    if (path.isEmpty())
        return;
    Doc.LoadingAnim = true;
    ClearAnimation();

    const QString file = ResolveCaseInsensitive(path);
    QByteArray bytes;
    if (!ReadWholeFile(file, bytes)) {
        Doc.LoadingAnim = false;
        dialogs().ShowMessage(QStringLiteral("Cannot open file %1").arg(path));
        return;
    }
    const QString error = ReadRtm(bytes, Doc);
    bytes = QByteArray();  // the document holds it all now
    if (!error.isEmpty()) {
        // Whatever was read before the fault goes: a failed load leaves an empty document.
        ClearAnimation();
        Doc.LoadingAnim = false;
        dialogs().ShowMessage(error);
        return;
    }

    SetSpin(E_TM_x, Doc.TotalMove[0]);
    SetSpin(E_TM_y, Doc.TotalMove[1]);
    SetSpin(E_TM_z, Doc.TotalMove[2]);
    const int frames = Doc.FrameCount();
    SetStepCount(frames);
    {
        const QSignalBlocker block(AnimSlider);
        AnimSlider->setValue(0);
    }
    G_Frames->setRowCount(frames + 2);

    ShowAnimationOnly();
    SetActStep(0);
    D_ActStep->display(0);
    if (frames > 0) {
        G_Frames->setCurrentCell(1, 1);  // SetActStep(0) changed nothing: 0 was current already
        ValidateFrames();
    }
    Doc.AnimFileName = path;
    SetStatusText(2, QStringLiteral("Anim: ") + FileNamePart(path));
    CheckAnimComponents();
    F_FrameManipulator->SelFirst = -1;
    F_FrameManipulator->SelLast = -1;
    E_AnimTime->setValue(frames * 0.3);
    RefreshFrameTimerChart();
    Doc.LoadingAnim = false;
    RefreshDisplay();
}

QString TMainForm::MissingAnimComponentsReport() const
{
    const TIniFile translation(TranslationFileName);
    QString report;
    for (const QString& name : Doc.AnimSelections.Names()) {
        if (FindNodeByName(name))
            continue;
        DebugOut(name + QStringLiteral(" not found!"));
        const QString display = translation.ReadString(QStringLiteral("Translation"), name, name);
        report += QStringLiteral("\n %1 -> %2").arg(name, -32).arg(display);
    }
    return report;
}

void TMainForm::CheckAnimComponents()
{
    const QString report = MissingAnimComponentsReport();
    if (!report.isEmpty())
        dialogs().ShowMessage(QStringLiteral("following Animation Components were not found in the Model:\n") + report);
}

void TMainForm::SaveAnimationAs()
{
    FileDialogOptions o;
    o.Title = QStringLiteral("Save Anim As");
    o.DefaultExt = QStringLiteral("*.rtm");
    o.Filter = QStringLiteral("Torvane Anim Files|*.rtm|All|*.*");
    o.InitialDir = F_FileBrowser->RTMDir();
    o.FileName = FileNamePart(Doc.AnimFileName);
    o.OverwritePrompt = true;
    const QString path = dialogs().SaveFile(o);
    if (path.isEmpty())
        return;
    SaveAnimationTo(path);
}

bool TMainForm::SaveAnimationTo(const QString& path)
{
    if (Doc.AnimStepCount == 0) {
        dialogs().ShowMessage(QStringLiteral("No Animation found!"));
        return false;
    }
    // Streamed: the file is never built in memory as a whole.
    TAtomicFileWriter out(path);
    const QString error = WriteRtm(Doc, out);
    if (!error.isEmpty()) {
        out.Discard();
        dialogs().ShowMessage(error);
        return false;
    }
    if (!out.Ok() || !out.Commit()) {
        dialogs().ShowMessage(QStringLiteral("Cannot write file %1: %2").arg(path, out.Error()));
        return false;
    }
    SetStatusText(2, QStringLiteral("Anim: ") + FileNamePart(path));
    Doc.AnimFileName = path;
    return true;
}

// ---- Controls of the frame and play panels

void TMainForm::E_TMChanged(int axis, double value)
{
    Doc.TotalMove[static_cast<size_t>(axis)] = static_cast<float>(value);
    RefreshDisplay();
}

void TMainForm::G_FramesSelectCell(int row, int)
{
    if (Doc.ShuttingDown || row < 1 || row > Doc.AnimStepCount)
        return;
    SetActStep(row - 1);
}

void TMainForm::B_PlayStatusChanged(bool on)
{
    if (!on) {
        Doc.PlayFraction = 0;
        RefreshDisplay();
        return;
    }
    if (Doc.AnimFrames.empty()) {
        const QSignalBlocker block(B_Play);
        B_Play->setChecked(false);
    }
}
