#include "app/WorkKeeper.h"
#include "editor/Editor.h"
#include "platform/Dialogs.h"
#include "platform/FileUtil.h"
#include "platform/RecentFiles.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <QWidget>
#include <utility>

namespace {
QString WithoutSlash(QString dir)
{
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    return dir;
}

// What a copy holds and whose work it is, under the question.
QString CopyDetail(const TRecoveryManifest& m)
{
    QStringList lines;
    if (m.Parts & PartAnimation)
        lines << (m.Document.isEmpty() ? QStringLiteral("A new animation, never saved")
                                       : QStringLiteral("Animation: %1").arg(m.Document));
    if (!m.Model.isEmpty())
        lines << QStringLiteral("Model: %1").arg(m.Model);
    QStringList edits;
    for (const auto& [part, name] :
         {std::pair(PartLinking, "linking"), std::pair(PartNames, "names"), std::pair(PartColors, "colours")})
        if (m.Parts & part)
            edits << QLatin1String(name);
    if (!edits.isEmpty())
        lines << QStringLiteral("Unsaved model edits: %1").arg(edits.join(QStringLiteral(", ")));
    return lines.join(QLatin1Char('\n'));
}
}  // namespace

TWorkKeeper::TWorkKeeper(TEditor& editor, const QString& recoveryDir, QObject* parent)
    : QObject(parent), Editor_(editor), Store_(WithoutSlash(recoveryDir)), Writer_(Store_), Scheduler_(Writer_)
{
    setObjectName(QStringLiteral("WorkKeeper"));
    Scheduler_.Unsaved = [this] { return Editor_.AnimationUnsaved() || Editor_.ModelUnsaved() != 0; };
    // The copy holds what is unsaved: the animation, the model's linking, names, colours.
    Scheduler_.Snapshot = [this](TAutosaveSnapshot& s) {
        const TAnimDocument& doc = Editor_.Document();
        if (Editor_.AnimationUnsaved())
            s.Document = doc;  // into the memory of the copy before: a few milliseconds
        else
            s.Document.AnimFrames.Clear(0);
        const unsigned model = Editor_.ModelUnsaved();
        const auto bytes = [&](TEditorFile file) { return model & file ? Editor_.ModelFileBytes(file) : QByteArray(); };
        s.Model = {bytes(FileLinking), bytes(FileNames), bytes(FileColors)};
        s.Manifest.Document = doc.AnimFileName;
        s.Manifest.DocumentStamp = Editor_.Anim().DiskStamp();
        s.Manifest.Model = Editor_.ModelFileName();
        s.Manifest.Frame = doc.ActAnimStep;
        return !s.Document.AnimFrames.empty() || !s.Model.Empty();
    };
    connect(&Editor_.History(), &TCommandStack::StateChanged, this, [this] { HistoryChanged(); });
    Timer_ = new QTimer(this);
    Timer_->setObjectName(QStringLiteral("AutosaveTimer"));
    Timer_->setInterval(1000);
    connect(Timer_, &QTimer::timeout, this, [this] {
        TellFailure();
        Scheduler_.Tick();
    });
    Timer_->start();
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive) {
            TellFailure();
            Scheduler_.FocusLost();
        }
    });
}

// Whatever end this is, the writer's thread stops first; the copy stays unless Exit ran.
TWorkKeeper::~TWorkKeeper() { Writer_.Shutdown(false); }

void TWorkKeeper::SetInterval(int seconds) { Scheduler_.SetInterval(seconds); }

void TWorkKeeper::HistoryChanged()
{
    if (Exited_)
        return;
    const bool unsaved = Scheduler_.Unsaved();
    if (unsaved)
        Scheduler_.Changed();
    else if (std::exchange(Unsaved_, false))
        Scheduler_.Saved();  // a save, or undone back to the files: the copy has nothing to keep
    Unsaved_ = unsaved;
}

void TWorkKeeper::TellFailure()
{
    const QString error = Writer_.LastError();
    if (error != Told_ && !error.isEmpty())
        Failed(QStringLiteral("Unsaved work is not kept: %1").arg(error));
    Told_ = error;
}

void TWorkKeeper::Exit()
{
    Exited_ = true;
    Timer_->stop();
    Writer_.Shutdown(true);
}

void TWorkKeeper::OfferRecovery(QWidget* owner)
{
    const std::vector<TRecoveryCopy> copies = Store_.Offers();
    if (copies.empty())
        return;
    // The question belongs to the window it is about, on the screen and in front.
    const DialogOwner scope(owner);
    owner->raise();
    owner->activateWindow();
    for (const TRecoveryCopy& copy : copies) {
        const QString date = copy.Manifest.Written.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        switch (dialogs().AskRecover(QStringLiteral("Recover unsaved work from %1?").arg(date), CopyDetail(copy.Manifest))) {
        case TRecoverAnswer::Recover:
            if (!Recover(copy))
                Store_.Release(copy.Id);
            break;
        case TRecoverAnswer::Discard:
            if (!Store_.Discard(copy.Id))
                dialogs().ShowMessage(
                    QStringLiteral("Cannot delete the copy %1").arg(Store_.Root() + QLatin1Char('/') + copy.Id));
            break;
        case TRecoverAnswer::Later:
            Store_.Release(copy.Id);
            break;
        }
    }
}

bool TWorkKeeper::Recover(const TRecoveryCopy& copy)
{
    if (!SaveChangesFirst())
        return false;
    TRecoveredWork work = Store_.Take(copy.Id);
    if (!work.Animation.Ok()) {
        dialogs().ShowMessage(work.Animation.Error);
        return false;
    }
    // The copy holds the model's edits alone: the model they belong to comes from its file.
    const QString& model = work.Manifest.Model;
    if (!model.isEmpty() && !TRecentFiles::SameFile(model, Editor_.ModelFileName()) && QFileInfo(model).isFile())
        OpenModel(model);
    // Edits are never put on another model than their own; the copy stays for a start
    // that has it.
    bool keep = false;
    if (!work.Model.Empty() && !TRecentFiles::SameFile(model, Editor_.ModelFileName())) {
        dialogs().ShowMessage(
            QStringLiteral("The model %1 %2: its unsaved linking, names and colours are not recovered. "
                           "The copy is kept for a later start.")
                .arg(model, QFileInfo(model).isFile() ? QStringLiteral("is not open") : QStringLiteral("is missing")));
        work.Model = {};
        keep = true;
        if (work.Animation.Frames.empty())
            return false;
    }
    TAnimDocument doc;
    doc.AnimSelections = std::move(work.Animation.Names);
    doc.AnimFrames.swap(work.Animation.Frames);
    doc.TotalMove = work.Animation.TotalMove;
    doc.AnimFileName = work.Manifest.Document;
    const bool animation = !doc.AnimFrames.empty();
    Editor_.Recover(std::move(doc), work.Model, work.Manifest.DocumentStamp);
    if (animation) {
        Editor_.Anim().SetActStep(work.Manifest.Frame);
        Recovered();
    }
    if (keep)
        Store_.Release(copy.Id);
    return true;
}
