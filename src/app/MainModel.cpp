// Models, the component tree, the linking file, display names and colours.
#include "app/FileBrowser.h"
#include "app/Main.h"
#include "editor/Editor.h"
#include "modelforms/ComponentTree.h"
#include "model/ModelSetup.h"
#include "model/P3dModel.h"
#include "platform/Dialogs.h"
#include "platform/FileUtil.h"
#include "widgets/Controls.h"

#include <QFileInfo>

int TMainForm::SelectedNode() const { return TV_EditComponents->SelectedNode(); }

const TSelection* TMainForm::SelectedComponent() const
{
    const int node = SelectedNode();
    return node < 0 ? nullptr : Editor_->Forest().Component(node);
}

// ---- The model's unsaved files

bool TMainForm::SaveModelChangesFirst()
{
    const unsigned unsaved = Editor_->ModelUnsaved();
    if (!unsaved)
        return true;
    switch (dialogs().AskSaveChanges(QStringLiteral("Save changes to %1?").arg(FileNamePart(Editor_->ModelFileName())))) {
    case TSaveAnswer::Save:
        return (!(unsaved & FileLinking) || B_SaveLinkingStatusChanged()) && (!(unsaved & FileNames) || SavenamesClick()) &&
               (!(unsaved & FileColors) || SaveColorsClick());
    case TSaveAnswer::Discard:
        return true;
    case TSaveAnswer::Cancel:
        break;
    }
    return false;
}

FileDialogOptions TMainForm::P3dOpenDialog() const
{
    FileDialogOptions o;
    o.Title = QStringLiteral("Load P3d");
    o.DefaultExt = QStringLiteral("*.p3d");
    o.Filter = QStringLiteral("Torvane 3d File(*.p3d)|*.p3d|All Files|*.*");
    o.InitialDir = F_FileBrowser->P3dDir();
    return o;
}

void TMainForm::LoadP3d1Click()
{
    const QString path = dialogs().OpenFile(P3dOpenDialog());
    if (path.isEmpty())
        return;
    LoadModel(path);
    F_FileBrowser->SetP3dDir(QFileInfo(path).absolutePath());
}

void TMainForm::LoadModel(const QString& fileName)
{
    if (fileName.isEmpty() || !SaveModelChangesFirst())
        return;
    bool cancelled = false;
    const bool loaded = Editor_->LoadModel(fileName, &cancelled);
    if (cancelled)  // everything as it was
        return;
    const TModelSetup& setup = Editor_->Setup();
    // The main model's counts as its header states them, also when the file turned out
    // too short to hold them.
    SetStatusText(3, QStringLiteral("Vertexes: %1").arg(setup.LodVertexCount));
    SetStatusText(4, QStringLiteral("Polygons: %1").arg(setup.LodPolygonCount));
    SetLinkingLoaded(loaded && setup.LinkingLoaded);
    if (!loaded) {  // abandoned whole: no half-built model or tree is left behind
        SetStatusText(1, QStringLiteral("Model: EMPTY"));
        return;
    }
    TV_EditComponents->ExpandParents();
    SetStatusText(1, QStringLiteral("Model: ") + FileNamePart(Editor_->ModelFileName()));
}

// ---- Linking and pivots

void TMainForm::SetLinkingLoaded(bool loaded)
{
    P_DisplayMode->SetLinkingLoaded(loaded);
    SetStatusText(5, loaded ? QStringLiteral("Pivot and Linking: LOADED") : QStringLiteral("Pivot and Linking: NOT LOADED"));
}

bool TMainForm::B_SaveLinkingStatusChanged()
{
    if (Editor_->LinkingChangedOnDisk() &&
        !SaveOverChanged(Editor_->LinkingFile(), QStringLiteral("Save Pivots and Linking")))
        return false;
    if (const QString error = Editor_->SaveLinking(); !error.isEmpty()) {
        dialogs().ShowMessage(error);
        return false;
    }
    dialogs().ShowMessage(QStringLiteral("Linking and Pivot Info saved!"));
    return true;
}

void TMainForm::B_LoadLinkingStatusChanged()
{
    if (Editor_->ModelFileName().isEmpty()) {
        dialogs().ShowMessage(QStringLiteral("Load Modell first!"));
        return;
    }
    FileDialogOptions o;
    o.Title = QStringLiteral("Load Pivots and Linking");
    o.DefaultExt = QStringLiteral("*.lpv");
    o.Filter = QStringLiteral("Link and Pivot File(*.lpv)|*.lpv");
    o.InitialDir = Paths.LinkDataDir;
    const QString path = dialogs().OpenFile(o);
    if (path.isEmpty())
        return;
    std::vector<bool> expand;
    const bool loaded = Editor_->LoadLinking(path, &expand);
    for (int node = 0; node < int(expand.size()); ++node)
        if (expand[size_t(node)])
            TV_EditComponents->ExpandNode(node);
    SetLinkingLoaded(loaded);
}

// ---- Display names and colours

namespace {
// The open and save dialogs of the translation (.tsl) and colour (.clr) files.
// Save dialogs preset the current file and ask before overwriting.
enum class TDialogUse { Open, Save };

FileDialogOptions NamesDialog(TDialogUse use, const QString& title, const QString& dir, const QString& file = {})
{
    FileDialogOptions o;
    o.Title = title;
    o.DefaultExt = QStringLiteral("*.tsl");
    o.Filter = QStringLiteral("Translation File (*.tsl)|*.tsl");
    o.InitialDir = dir;
    o.FileName = file;
    o.OverwritePrompt = use == TDialogUse::Save;
    return o;
}

FileDialogOptions ColorsDialog(TDialogUse use, const QString& title, const QString& dir, const QString& file = {})
{
    FileDialogOptions o = NamesDialog(use, title, dir, file);
    o.DefaultExt = QStringLiteral("*.clr");
    o.Filter = QStringLiteral("Color File (*.clr)|*.clr");
    return o;
}
}  // namespace

void TMainForm::SelectTranslationFile1Click()
{
    const QString path = dialogs().OpenFile(
        NamesDialog(TDialogUse::Open, QStringLiteral("Select Translation File"), Paths.TranslationDir));
    if (!path.isEmpty())
        Editor_->ApplyNamesFile(path);
}

void TMainForm::SelectColorFile1Click()
{
    const QString path = dialogs().OpenFile(ColorsDialog(TDialogUse::Open, QStringLiteral("Select Color File"), Paths.ColorsDir));
    if (!path.isEmpty())
        Editor_->ApplyColorsFile(path);
}

void TMainForm::ChangeColorClick()
{
    const TSelection* s = SelectedComponent();
    if (!s)
        return;
    unsigned color = s->Color;
    if (dialogs().ChooseColor(color))
        Editor_->SetColor(SelectedNode(), color);
}

bool TMainForm::SaveColorsClick()
{
    TAppPaths::MakeFolder(Paths.ColorsDir);  // the dialog opens there
    const QString path = dialogs().SaveFile(
        ColorsDialog(TDialogUse::Save, QStringLiteral("Save Colors"), Paths.ColorsDir, Editor_->ColorFile));
    if (path.isEmpty())
        return false;
    if (const QString error = Editor_->SaveColors(path); !error.isEmpty()) {
        dialogs().ShowMessage(error);
        return false;
    }
    return true;
}

void TMainForm::AssignnewnameClick()
{
    const TSelection* s = SelectedComponent();
    if (!s)
        return;
    QString text = s->DisplayName;
    if (dialogs().InputQuery(QStringLiteral("Replace displayed name"), QStringLiteral("Enter new name for component:"), text))
        Editor_->Rename(SelectedNode(), text);
}

bool TMainForm::SavenamesClick()
{
    TAppPaths::MakeFolder(Paths.TranslationDir);  // the dialog opens there
    const QString path = dialogs().SaveFile(
        NamesDialog(TDialogUse::Save, QStringLiteral("Save Names"), Paths.TranslationDir, Editor_->TranslationFile));
    if (path.isEmpty())
        return false;
    if (const QString error = Editor_->SaveNames(path); !error.isEmpty()) {
        dialogs().ShowMessage(error);
        return false;
    }
    return true;
}

// ---- Tree commands

void TMainForm::Moveonelevelup1Click()
{
    const int node = SelectedNode();
    if (node < 0)
        return;
    Editor_->MoveUp(node);
    // The new parent shows the node, as a drop does.
    if (const int parent = Editor_->Forest().Parent(node); parent >= 0)
        TV_EditComponents->ExpandNode(parent);
}

void TMainForm::TV_EditComponentsMouseDown(int)
{
    if (!Editor_->Editing())
        return;
    // An edit applies to whole subtrees: a node below a selected one needs no selection.
    for (int node : Editor_->Forest().TreeIndices())
        if (const int parent = Editor_->Forest().Parent(node);
            parent >= 0 && TV_EditComponents->IsNodeSelected(node) && TV_EditComponents->IsNodeSelected(parent))
            TV_EditComponents->SetNodeSelected(node, false);
    Editor_->RebaseEdit();
}
