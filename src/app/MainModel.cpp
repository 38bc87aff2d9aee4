// Models, the component tree, the linking file, display names and colours.
#include "app/Filebrowser.h"
#include "app/Main.h"
#include "editor/Editor.h"
#include "modelforms/ComponentTree.h"
#include "anim/AnimController.h"
#include "model/Linking.h"
#include "model/ModelEdits.h"
#include "model/ModelSetup.h"
#include "model/NamesColors.h"
#include "model/P3dmodell.h"
#include "model/Proxies.h"
#include "platform/Dialogs.h"
#include "platform/FileUtil.h"
#include "widgets/Controls.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <algorithm>

TSelection* TMainForm::FindComponent(const QString& name) const
{
    const int node = Editor->Forest().Find(name);
    return node < 0 ? nullptr : Editor->Forest().Component(node);
}

int TMainForm::SelectedNode() const { return TV_EditComponents->SelectedNode(); }

TSelection* TMainForm::SelectedComponent() const
{
    const int node = SelectedNode();
    return node < 0 ? nullptr : Editor->Forest().Component(node);
}

const QString& TMainForm::ModelFileName() const { return Editor->ModelFileName(); }
TComponentForest& TMainForm::Forest() { return Editor->Forest(); }
const TComponentForest& TMainForm::Forest() const { return Editor->Forest(); }

void TMainForm::ClearModel()
{
    Editor->ClearModel();
}

// ---- The model's edits as undo steps

void TMainForm::CommitModelEdit(const QString& name) { Editor->ModelEdits().Commit(name); }
unsigned TMainForm::ModelUnsaved() const { return Editor->ModelEdits().Unsaved(); }

void TMainForm::NoteModelSaved(unsigned kinds)
{
    Editor->ModelEdits().Saved(kinds);
    UpdateUndoActions();
}

bool TMainForm::SaveModelChangesFirst()
{
    const unsigned unsaved = ModelUnsaved();
    if (!unsaved)
        return true;
    switch (dialogs().AskSaveChanges(QStringLiteral("Save changes to %1?").arg(FileNamePart(ModelFileName())))) {
    case TSaveAnswer::Save:
        return (!(unsaved & EditLinking) || B_SaveLinkingStatusChanged()) &&
               (!(unsaved & EditNames) || SavenamesClick()) && (!(unsaved & EditColors) || SaveColorsClick());
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
    ClearModel();
    const bool loaded = Editor->LoadModel(fileName);
    const TModelSetup& setup = Editor->Setup();
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
    SetStatusText(1, QStringLiteral("Model: ") + FileNamePart(ModelFileName()));
}

// ---- Linking and pivots

void TMainForm::SetLinkingLoaded(bool loaded)
{
    P_DisplayMode->SetLinkingLoaded(loaded);
    SetStatusText(5, loaded ? QStringLiteral("Pivot and Linking: LOADED") : QStringLiteral("Pivot and Linking: NOT LOADED"));
}

bool TMainForm::LoadLinking(const QString& fileName)
{
    const QString path = LinkFilePath(Paths.LinkDataDir, fileName);
    if (!FileExists(path))
        return false;
    const TLinkReadResult read = ReadLinkingFile(path);
    // The whole hierarchy is worked out first and the tree told once: a change per record
    // would cost the view far more than the records are worth.
    std::vector<bool> expand;
    {
        const TComponentForest::TBatch batch(Editor->Forest());
        expand = ApplyLinkRecords(Editor->Forest(), read.Records);
    }
    for (int node = 0; node < Editor->Forest().Count(); ++node)
        if (expand[size_t(node)])
            TV_EditComponents->ExpandNode(node);
    // A file's linking is a step of its own, undone like an edit.
    CommitModelEdit(QStringLiteral("Load Pivots and Linking"));
    // The records before a fault stay applied; the user hears of it once, with the file.
    if (!read.Error.isEmpty())
        dialogs().ShowMessage(AboutFile(path, read.Error));
    return read.Error.isEmpty() || !read.Records.empty();
}

bool TMainForm::B_SaveLinkingStatusChanged()
{
    if (ModelFileName().isEmpty()) {
        dialogs().ShowMessage(QStringLiteral("Load Modell first!"));
        return false;
    }
    TAppPaths::MakeFolder(Paths.LinkDataDir);
    std::vector<TLinkRecord> records;
    for (int node : Editor->Forest().TreeIndices()) {
        const TSelection* s = Editor->Forest().Component(node);
        TLinkRecord r;
        r.Name = s->Name;
        if (const int parent = Editor->Forest().Parent(node); parent >= 0)
            r.ParentName = Editor->Forest().Component(parent)->Name;
        for (int i = 0; i < 3; ++i)
            r.Pivot[i] = s->Pivot[i];
        records.push_back(r);
    }
    QString error;
    if (!WriteLinkingFile(LinkFilePath(Paths.LinkDataDir, ModelFileName()), records, &error)) {
        dialogs().ShowMessage(error);
        return false;
    }
    NoteModelSaved(EditLinking);
    dialogs().ShowMessage(QStringLiteral("Linking and Pivot Info saved!"));
    return true;
}

void TMainForm::B_LoadLinkingStatusChanged()
{
    if (ModelFileName().isEmpty()) {
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
    SetLinkingLoaded(LoadLinking(path));
}

// ---- Display names and colours

void TMainForm::LoadTranslation()
{
    if (Editor->TranslationFile.isEmpty())
        return;
    QString error;
    LoadTranslationFile(TreeComponents(), ResolveCaseInsensitive(Editor->TranslationFile), &error);
    if (!error.isEmpty())
        dialogs().ShowMessage(error);
    Editor->Forest().ComponentsChanged();
    Editor->Forest().Sort();
    Editor->ModelEdits().Rebase();  // the names of a file are no edit
    NoteModelSaved(EditNames);
}

void TMainForm::LoadColors()
{
    if (Editor->ColorFile.isEmpty())
        return;
    QString error;
    LoadColorFile(TreeComponents(), ResolveCaseInsensitive(Editor->ColorFile), &error);
    if (!error.isEmpty())
        dialogs().ShowMessage(error);
    Editor->Forest().ComponentsChanged();
    Editor->ModelEdits().Rebase();  // the colours of a file are no edit
    NoteModelSaved(EditColors);
}

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
    const QString path = dialogs().OpenFile(NamesDialog(TDialogUse::Open, QStringLiteral("Select Translation File"), Paths.TranslationDir));
    if (path.isEmpty())
        return;
    Editor->TranslationFile = path;
    LoadTranslation();
}

void TMainForm::SelectColorFile1Click()
{
    const QString path = dialogs().OpenFile(ColorsDialog(TDialogUse::Open, QStringLiteral("Select Color File"), Paths.ColorsDir));
    if (path.isEmpty())
        return;
    Editor->ColorFile = path;
    LoadColors();
}

void TMainForm::ChangeColorClick()
{
    TSelection* s = SelectedComponent();
    if (!s)
        return;
    unsigned color = s->Color;
    if (!dialogs().ChooseColor(color))
        return;
    s->Color = color;
    Editor->Forest().ComponentsChanged();
    CommitModelEdit(QStringLiteral("Change Color"));
}

bool TMainForm::SaveColorsClick()
{
    TAppPaths::MakeFolder(Paths.ColorsDir);  // the dialog opens there
    const QString path = dialogs().SaveFile(
        ColorsDialog(TDialogUse::Save, QStringLiteral("Save Colors"), Paths.ColorsDir, Editor->ColorFile));
    if (path.isEmpty())
        return false;
    QString error;
    if (!SaveColorsFile(TreeComponents(), path, &error)) {
        dialogs().ShowMessage(error);
        return false;
    }
    NoteModelSaved(EditColors);
    return true;
}

void TMainForm::AssignnewnameClick()
{
    TSelection* s = SelectedComponent();
    if (!s)
        return;
    QString text = s->DisplayName;
    if (!dialogs().InputQuery(QStringLiteral("Replace displayed name"), QStringLiteral("Enter new name for component:"),
                              text))
        return;
    s->DisplayName = text;
    Editor->Forest().ComponentsChanged();
    Editor->Forest().Sort();
    CommitModelEdit(QStringLiteral("Assign new Name"));
}

bool TMainForm::SavenamesClick()
{
    TAppPaths::MakeFolder(Paths.TranslationDir);  // the dialog opens there
    const QString path = dialogs().SaveFile(
        NamesDialog(TDialogUse::Save, QStringLiteral("Save Names"), Paths.TranslationDir, Editor->TranslationFile));
    if (path.isEmpty())
        return false;
    QString error;
    if (!SaveNamesFile(TreeComponents(), path, &error)) {
        dialogs().ShowMessage(error);
        return false;
    }
    NoteModelSaved(EditNames);
    return true;
}

// ---- Tree commands

void TMainForm::Moveonelevelup1Click()
{
    const int node = SelectedNode();
    if (node < 0)
        return;
    Editor->Forest().MoveUp(node);
    // The new parent shows the node, as a drop does.
    if (const int parent = Editor->Forest().Parent(node); parent >= 0)
        TV_EditComponents->ExpandNode(parent);
    CommitModelEdit(QStringLiteral("Move one level up"));
}

void TMainForm::ShowAll1Click()
{
    Editor->Forest().SetAllHidden(false);
    P_DisplayMode->ShowCheckedComponents();
    CommitModelEdit(QStringLiteral("Show All"));
}

void TMainForm::HideAllClick()
{
    Editor->Forest().SetAllHidden(true);
    P_DisplayMode->ShowCheckedComponents();
    CommitModelEdit(QStringLiteral("Hide All"));
}

void TMainForm::TV_EditComponentsMouseDown(int)
{
    if (!EditMode())
        return;
    // An edit applies to whole subtrees: a node below a selected one needs no selection.
    for (int node : Editor->Forest().TreeIndices())
        if (const int parent = Editor->Forest().Parent(node);
            parent >= 0 && TV_EditComponents->IsNodeSelected(node) && TV_EditComponents->IsNodeSelected(parent))
            TV_EditComponents->SetNodeSelected(node, false);
    Editor->RebaseEdit();
}

void TMainForm::TV_EditComponentsMouseUp()
{
    CommitModelEdit();  // a component shown or hidden with its mark
}
