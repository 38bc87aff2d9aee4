// Start-up, settings, layout and shutdown of the main window.
#include "anim/AnimController.h"
#include "app/About.h"
#include "app/FileBrowser.h"
#include "app/Main.h"
#include "app/WorkKeeper.h"
#include "editor/Editor.h"
#include "platform/Dialogs.h"
#include "platform/FileUtil.h"
#include "platform/Ini.h"
#include "widgets/Chart.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QPointer>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <algorithm>
#include <utility>

void TMainForm::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    if (!FirstShowDone_) {
        FirstShowDone_ = true;
        FormShow();
    }
}

void TMainForm::setVisible(bool visible)
{
    // The settings hold the frame's position. Given before the native window exists, the
    // window manager puts the frame there; given once it exists but is not yet framed, Qt
    // takes it for the contents' position, and every start would creep up by the title bar.
    if (visible && !FirstShowDone_ && !testAttribute(Qt::WA_WState_Created)) {
        TLayoutSettings l;
        l.MainLeft = x();
        l.MainTop = y();
        l.MainWidth = width();
        l.MainHeight = height();
        TSettings::ReadLayout(TIniFile(Paths.SettingsFileToRead()), l);
        resize(l.MainWidth, l.MainHeight);
        move(l.MainLeft, l.MainTop);
        PrePlaced_ = QRect(l.MainLeft, l.MainTop, l.MainWidth, l.MainHeight);
    }
    QMainWindow::setVisible(visible);
}

void TMainForm::FormShow()
{
    ShowEditMode(false);

    // The current settings file, or the one of the earlier version when only that exists.
    Ini = std::make_unique<TIniFile>(Paths.SettingsFileToRead());
    if (!Ini->ReadError().isEmpty())  // said with the other start-up messages
        StartMessages_ << AboutFile(Ini->FileName(), Ini->ReadError());

    TSettings s;
    s.Layout.MainLeft = x();
    s.Layout.MainTop = y();
    s.Layout.MainWidth = width();
    s.Layout.MainHeight = height();
    s.Layout.HSplitter = P_LeftViews->width();
    s.Layout.VSplitter1 = FrontView1->height();
    s.Layout.VSplitter2 = LeftView1->height();
    s.Read(*Ini, Paths.StartDir, Paths.DataDir);
    Settings = s;
    LoadLayout();
    ApplySettings(s);

    // The loads, the start's messages and the offer of recovery copies wait until the
    // window is shown.
    windowHandle()->installEventFilter(this);

    // From here on every write goes to the current file name.
    Ini = std::make_unique<TIniFile>(Paths.SettingsFile());
    F_FileBrowser->resize(185, F_FileBrowser->height());
}

bool TMainForm::eventFilter(QObject* o, QEvent* e)
{
    // The start-up messages open once the window is mapped and drawn, over it; after the
    // turn of the event loop that shows it, so that the box opens on a window in place.
    if (o == windowHandle() && e->type() == QEvent::Expose && windowHandle()->isExposed()) {
        windowHandle()->removeEventFilter(this);
        QTimer::singleShot(0, this, [this] {
            LoadStartFiles();
            ShowStartMessages();
        });
    }
    return QMainWindow::eventFilter(o, e);
}

void TMainForm::LoadStartFiles()
{
    QStringList models, anims;
    for (const QString& f : StartFiles_)
        (f.endsWith(QLatin1String(".p3d"), Qt::CaseInsensitive) ? models : anims) << f;
    // What the loads have to say comes after what the start had to say already.
    const TKeptMessages keep(StartMessages_);
    if (models.isEmpty() && !Settings.LastP3d.isEmpty())
        LoadModel(Settings.LastP3d);
    if (models.isEmpty() && anims.isEmpty() && !Settings.LastRTM.isEmpty())
        LoadAnimation(Settings.LastRTM);
    for (const QString& f : models)
        LoadModel(f);
    for (const QString& f : anims)
        LoadAnimation(f);
}

void TMainForm::ShowStartMessages()
{
    const QStringList messages = std::exchange(StartMessages_, {});
    {
        const DialogOwner owner(this);
        for (const QString& m : messages)
            dialogs().ShowMessage(m);
    }
    Keeper_->OfferRecovery(this);
}

// Only geometry the window has in the normal state is kept: while it is maximised or
// minimised (or before the settings placed it) the normal geometry stays as it was.
void TMainForm::moveEvent(QMoveEvent* e)
{
    QMainWindow::moveEvent(e);
    NoteNormalGeometry();
}

void TMainForm::resizeEvent(QResizeEvent* e)
{
    QMainWindow::resizeEvent(e);
    NoteNormalGeometry();
    if (MaximizedSplits_ && isMaximized() && size() != NormalFrame_.size())
        ApplySplits(*std::exchange(MaximizedSplits_, std::nullopt));
}

void TMainForm::NoteNormalGeometry()
{
    if (!LayoutApplied_ || !isVisible() || (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)))
        return;
    NormalFrame_ = QRect(frameGeometry().topLeft(), size());
}

QRect TMainForm::NormalGeometryToSave() const
{
    if (!LayoutApplied_)
        return QRect(frameGeometry().topLeft(), size());
    if (!isMaximized() && !isMinimized() && !isFullScreen() && isVisible())
        return QRect(frameGeometry().topLeft(), size());
    return NormalFrame_;
}

void TMainForm::LoadLayout()
{
    TLayoutSettings l = Settings.Layout;
    if (Ini)
        TSettings::ReadLayout(*Ini, l);
    // The settings hold the frame's position and the contents' size. The normal geometry
    // goes first, so a window started maximised returns to it (and saves it again).
    setWindowState(windowState() & ~Qt::WindowMaximized);
    const QRect normal(l.MainLeft, l.MainTop, l.MainWidth, l.MainHeight);
    if (normal != PrePlaced_) {  // placed already when the settings were read before the show
        resize(l.MainWidth, l.MainHeight);
        move(l.MainLeft, l.MainTop);
    }
    NormalFrame_ = normal;
    LayoutApplied_ = true;
    if (l.Maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    ApplySplits(l);
    // Sizes saved in the maximised window are its own: once the window manager has made
    // the window that large, they are applied again, so that the panes share it as they did
    // (and share the normal window as the splitters scale them back).
    MaximizedSplits_ = l.Maximized ? std::optional<TLayoutSettings>(l) : std::nullopt;
    Settings.Layout = l;
}

void TMainForm::ApplySplits(const TLayoutSettings& l)
{
    // Sizes saved in a larger window leave each pane at least its minimum in this one.
    const auto split = [](QSplitter* s, int first) {
        int total = 0;
        for (int v : s->sizes())
            total += v;
        total = std::max(total, 2 * MinViewSize);
        first = std::clamp(first, MinViewSize, total - MinViewSize);
        s->setSizes({first, total - first});
    };
    split(HSplitter, l.HSplitter);
    split(VSplitter1, l.VSplitter1);
    split(VSplitter2, l.VSplitter2);
}

void TMainForm::ApplySettings(const TSettings& s)
{
    F_FileBrowser->SetP3dDir(s.DirP3d);
    F_FileBrowser->SetRTMDir(s.DirRTM);
    Editor_->TranslationFile = s.TranslationFile;
    Editor_->ColorFile = s.ColorFile;
    Editor_->EditOptions([&s](TEditorOptions& o) { s.ToOptions(o); });
    AutoSaveSettings1->setChecked(s.AutoSaveSettings);
    Editor_->SetHistoryLimits(s.UndoSteps, s.UndoBytes());
    Keeper_->SetInterval(s.AutosaveSeconds);
}

TSettings TMainForm::CurrentSettings() const
{
    TSettings s;
    // A maximised window keeps the normal geometry it returns to.
    const QRect normal = NormalGeometryToSave();
    s.Layout.Maximized = isMaximized();
    s.Layout.MainLeft = normal.x();
    s.Layout.MainTop = normal.y();
    s.Layout.MainWidth = normal.width();
    s.Layout.MainHeight = normal.height();
    s.Layout.HSplitter = P_LeftViews->width();
    s.Layout.VSplitter1 = FrontView1->height();
    s.Layout.VSplitter2 = LeftView1->height();
    s.DirP3d = F_FileBrowser->P3dDir();
    s.DirRTM = F_FileBrowser->RTMDir();
    s.LastP3d = Editor_->ModelFileName();
    s.LastRTM = Doc.AnimFileName;
    s.UndoSteps = Editor_->History().StepLimit();
    s.UndoMegabytes = Settings.UndoMegabytes;
    s.AutosaveSeconds = Settings.AutosaveSeconds;  // the window does not change it
    s.TranslationFile = Editor_->TranslationFile;
    s.ColorFile = Editor_->ColorFile;
    s.FromOptions(Editor_->Options());
    s.AutoSaveSettings = AutoSaveSettings1->isChecked();
    return s;
}

void TMainForm::SaveSettings()
{
    // Another window may have written the file since it was read: it is read again, and
    // only what this window changed goes over it.
    if (!Ini)
        Ini = std::make_unique<TIniFile>(Paths.SettingsFile());
    else
        Ini->Reload();
    const TSettings now = CurrentSettings();
    now.Write(*Ini, Paths.DataDir, &Settings);
    // The user's settings folder does not exist before the first save.
    TAppPaths::MakeFolder(Paths.SettingsDir);
    QString error;
    if (!Ini->UpdateFile(&error))
        dialogs().ShowMessage(error);
    else
        Settings = now;
}

void TMainForm::SaveSettings1Click()
{
    SaveSettings();
    // A failed write has shown its own message; only a written file is confirmed.
    if (Ini && !Ini->Modified())
        dialogs().ShowMessage(QStringLiteral("Settings saved."));
}

void TMainForm::About1Click() { F_About->exec(); }

namespace {
// Holds back every close of a window while it lives. Qt takes a second close arriving while
// the first one's handler still runs (the close button pressed again while the exit's
// question is open) for that close accepted, and ends the program without the answer.
class TCloseHold final : public QObject {
public:
    explicit TCloseHold(QWindow* window) : Window_(window)
    {
        if (window)
            window->installEventFilter(this);
    }
    ~TCloseHold() override
    {
        if (Window_)
            Window_->removeEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() != QEvent::Close)
            return false;
        e->ignore();
        return true;
    }

private:
    QPointer<QWindow> Window_;
};
}  // namespace

void TMainForm::closeEvent(QCloseEvent* e)
{
    if (ClosingAccepted_)
        return;
    const TCloseHold hold(windowHandle());
    // Unsaved work gets the save question in place of the exit question; an open edit is
    // offered to its frame first.
    Editor_->CloseEdit();
    const bool asked = Editor_->AnimationUnsaved() || Editor_->ModelUnsaved();
    if (asked ? !(SaveChangesFirst() && SaveModelChangesFirst())
              : !dialogs().AskYesNo(QStringLiteral("Are you sure to exit?"), QStringLiteral("Info"))) {
        e->ignore();
        return;
    }
    ClosingAccepted_ = true;
    Shutdown();
    e->accept();
    QMainWindow::closeEvent(e);
}

void TMainForm::Shutdown()
{
    Keeper_->Exit();  // the work is saved or given up: its copy goes
    Anim.ShutDown();
    if (AutoSaveSettings1->isChecked())
        SaveSettings();
    Ini.reset();
    Anim.ClearAnimation();
    Editor_->ClearModel();
    for (QWidget* w : {static_cast<QWidget*>(F_FileBrowser), static_cast<QWidget*>(F_About)})
        w->hide();
}
