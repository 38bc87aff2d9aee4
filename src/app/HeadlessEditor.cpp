#include "app/HeadlessEditor.h"
#include "app/Main.h"
#include "app/Paths.h"
#include "model/P3dmodell.h"
#include "platform/DebugOut.h"
#include "platform/Ini.h"

#include <QAction>
#include <QFileInfo>
#include <QToolButton>
#include <QTextStream>

void TStreamDialogs::Write(const QString& text)
{
    Err_ << text << Qt::endl;
}

void TStreamDialogs::ShowMessage(const QString& text)
{
    if (Hold)
        Held << text;
    else
        Write(text);
}

bool TStreamDialogs::AskYesNo(const QString& text, const QString& caption)
{
    ShowMessage(caption + QStringLiteral(": ") + text + QStringLiteral(" (answered No)"));
    return false;
}

int TStreamDialogs::ChooseItem(const QString& caption, const QString&, const QStringList& items, int preselected)
{
    if (Choice.isEmpty())
        return preselected >= 0 && preselected < items.size() ? preselected : -1;
    const qsizetype i = items.indexOf(Choice);
    if (i < 0)
        ShowMessage(QStringLiteral("%1: \"%2\" is not one of: %3").arg(caption, Choice, items.join(QStringLiteral(", "))));
    return int(i);
}

THeadlessEditor::THeadlessEditor(const QString& home, QTextStream& err) : Dialogs_(err)
{
    Previous_ = setDialogs(&Dialogs_);
    // The readers' progress lines need no action and would bury the tool's own output.
    SetDebugSink([](const QString&) {});

    const TAppPaths paths = TAppPaths::FromHome(home);
    QString iniName = paths.SettingsFile();
    if (!QFileInfo::exists(iniName) && QFileInfo::exists(paths.LegacySettingsFile()))
        iniName = paths.LegacySettingsFile();
    Settings_.Read(TIniFile(iniName), paths.ExeDir);

    Form_ = std::make_unique<TMainForm>(paths);
    Form_->TranslationFileName = Settings_.TranslationFile;
    Form_->ColorFileName = Settings_.ColorFile;
    Form_->ShowAxes1->setChecked(Settings_.ShowAxes);
    Form_->AutoScale1->setChecked(Settings_.AutoScale);
    Form_->ShowGrid1->setChecked(Settings_.ShowGrid);
    Form_->ShowGrid1Click();
    Form_->B_Light->setChecked(Settings_.Light3D);
    Form_->B_Transparent3D->setChecked(Settings_.Transparent3D);
    Form_->B_Grid->setChecked(Settings_.Grid3D);
}

THeadlessEditor::~THeadlessEditor()
{
    Form_.reset();
    SetDebugSink({});
    setDialogs(Previous_);
}

bool THeadlessEditor::LoadModel(const QString& path)
{
    Form_->LoadModel(QFileInfo(path).absoluteFilePath());
    const TP3dModell* main = Form_->MainModel();
    return main && !Form_->ModelFileName.isEmpty() && main->Status == TP3dModell::ReadStatus::Ok;
}

bool THeadlessEditor::LoadAnimation(const QString& path)
{
    Form_->LoadAnimation(QFileInfo(path).absoluteFilePath());
    // Every failed load leaves the document without a file name.
    return !Form_->Doc.AnimFileName.isEmpty();
}
