// Start-up, settings, layout and shutdown of the main window.
#include "anim/AnimController.h"
#include "app/About.h"
#include "app/Filebrowser.h"
#include "app/Main.h"
#include "platform/Dialogs.h"
#include "platform/Ini.h"
#include "widgets/Chart.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QSplitter>
#include <QToolButton>

void TMainForm::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    if (!FirstShowDone_) {
        FirstShowDone_ = true;
        FormShow();
    }
}

void TMainForm::FormShow()
{
    SetActStep(0);
    Doc.AnimStepCount = 0;
    Doc.AnimSelections.Clear();
    Doc.AnimFrames.clear();
    SetEditMode(false);

    // The current settings file, or the one of the earlier version when only that exists.
    Ini = std::make_unique<TIniFile>(Paths.SettingsFileToRead());

    TSettings s;
    s.Layout.MainLeft = x();
    s.Layout.MainTop = y();
    s.Layout.MainWidth = width();
    s.Layout.MainHeight = height();
    s.Layout.HSplitter = P_LeftViews->width();
    s.Layout.VSplitter1 = FrontView1->height();
    s.Layout.VSplitter2 = LeftView1->height();
    s.Read(*Ini, Paths.StartDir);
    Settings = s;
    LoadLayout();
    ApplySettingsToControls(s);

    QStringList models, anims;
    for (const QString& f : StartFiles)
        (f.endsWith(QLatin1String(".p3d"), Qt::CaseInsensitive) ? models : anims) << f;
    if (models.isEmpty() && !s.LastP3d.isEmpty())
        LoadModel(s.LastP3d);
    if (models.isEmpty() && anims.isEmpty() && !s.LastRTM.isEmpty())
        LoadAnimation(s.LastRTM);
    for (const QString& f : models)
        LoadModel(f);
    for (const QString& f : anims)
        LoadAnimation(f);

    // From here on every write goes to the current file name.
    Ini = std::make_unique<TIniFile>(Paths.SettingsFile());
    F_FileBrowser->resize(185, F_FileBrowser->height());
}

void TMainForm::LoadLayout()
{
    TLayoutSettings l = Settings.Layout;
    if (Ini)
        TSettings::ReadLayout(*Ini, l);
    if (l.Maximized) {
        setWindowState(windowState() | Qt::WindowMaximized);
    } else {
        setWindowState(windowState() & ~Qt::WindowMaximized);
        move(l.MainLeft, l.MainTop);
        resize(l.MainWidth, l.MainHeight);
    }
    const auto split = [](QSplitter* s, int first) {
        const QList<int> sizes = s->sizes();
        int total = 0;
        for (int v : sizes)
            total += v;
        if (total <= first)
            total = first + 100;
        s->setSizes({first, total - first});
    };
    split(HSplitter, l.HSplitter);
    split(VSplitter1, l.VSplitter1);
    split(VSplitter2, l.VSplitter2);
    Settings.Layout = l;
}

void TMainForm::SaveLayout()
{
    if (!Ini)
        return;
    TSettings::WriteLayout(*Ini, SettingsFromControls().Layout);
}

void TMainForm::ApplySettingsToControls(const TSettings& s)
{
    F_FileBrowser->SetP3dDir(s.DirP3d);
    F_FileBrowser->SetRTMDir(s.DirRTM);
    TranslationFileName = s.TranslationFile;
    ColorFileName = s.ColorFile;
    ShowAxes1->setChecked(s.ShowAxes);
    ShowGrid1->setChecked(s.ShowGrid);
    AutoScale1->setChecked(s.AutoScale);
    B_Light->setChecked(s.Light3D);
    B_Transparent3D->setChecked(s.Transparent3D);
    B_Grid->setChecked(s.Grid3D);
    AutoSaveSettings1->setChecked(s.AutoSaveSettings);
    Anim->SetHistoryLimit(s.UndoSteps);
}

TSettings TMainForm::SettingsFromControls() const
{
    TSettings s;
    const bool maximized = isMaximized();
    // A maximised window keeps the normal geometry it returns to.
    const QRect normal = maximized ? normalGeometry() : geometry();
    const QRect frame = maximized ? normal : frameGeometry();
    s.Layout.Maximized = maximized;
    s.Layout.MainLeft = frame.x();
    s.Layout.MainTop = frame.y();
    s.Layout.MainWidth = normal.width();
    s.Layout.MainHeight = normal.height();
    s.Layout.HSplitter = P_LeftViews->width();
    s.Layout.VSplitter1 = FrontView1->height();
    s.Layout.VSplitter2 = LeftView1->height();
    s.DirP3d = F_FileBrowser->P3dDir();
    s.DirRTM = F_FileBrowser->RTMDir();
    s.LastP3d = ModelFileName;
    s.LastRTM = Doc.AnimFileName;
    s.UndoSteps = Anim->History().Limit();
    s.TranslationFile = TranslationFileName;
    s.ColorFile = ColorFileName;
    s.ShowAxes = ShowAxes1->isChecked();
    s.ShowGrid = ShowGrid1->isChecked();
    s.AutoScale = AutoScale1->isChecked();
    s.Light3D = B_Light->isChecked();
    s.Transparent3D = B_Transparent3D->isChecked();
    s.Grid3D = B_Grid->isChecked();
    s.AutoSaveSettings = AutoSaveSettings1->isChecked();
    return s;
}

void TMainForm::SaveSettings()
{
    if (!Ini)
        Ini = std::make_unique<TIniFile>(Paths.SettingsFile());
    SettingsFromControls().Write(*Ini);
    // The user's settings folder does not exist before the first save.
    TAppPaths::MakeFolder(Paths.SettingsDir);
    QString error;
    if (!Ini->UpdateFile(&error))
        dialogs().ShowMessage(error);
}

void TMainForm::SaveSettings1Click()
{
    SaveSettings();
    // A failed write has shown its own message; only a written file is confirmed.
    if (Ini && !Ini->Modified())
        dialogs().ShowMessage(QStringLiteral("Settings saved."));
}

void TMainForm::About1Click() { F_About->exec(); }

void TMainForm::closeEvent(QCloseEvent* e)
{
    if (ClosingAccepted_)
        return;
    // Unsaved work gets the save question in place of the exit question.
    const bool asked = Unsaved() || ModelUnsaved();
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
    Doc.ShuttingDown = true;
    if (AutoSaveSettings1->isChecked())
        SaveSettings();
    Ini.reset();
    ClearAnimation();
    Doc.AnimSelections.Clear();
    Doc.AnimFrames.clear();
    ClearModel();
    for (QWidget* w : {static_cast<QWidget*>(F_FileBrowser), static_cast<QWidget*>(F_About)})
        if (w)
            w->hide();
}
