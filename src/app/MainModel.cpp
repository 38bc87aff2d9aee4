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
#include <unordered_map>

TSelection* TMainForm::SelectionOf(const QTreeWidgetItem* node) { return TComponentTree::SelectionOf(node); }

std::vector<QTreeWidgetItem*> TMainForm::TreeNodes() const { return TV_EditComponents->Nodes(); }

std::vector<TSelection*> TMainForm::TreeComponents() const { return TV_EditComponents->Components(); }

QTreeWidgetItem* TMainForm::FindNodeByName(const QString& name) const { return TV_EditComponents->FindNodeByName(name); }

QTreeWidgetItem* TMainForm::SelectedNode() const
{
    const QList<QTreeWidgetItem*> selected = TV_EditComponents->selectedItems();
    if (selected.isEmpty())
        return nullptr;
    QTreeWidgetItem* current = TV_EditComponents->currentItem();
    return current && current->isSelected() ? current : selected.first();
}

const QString& TMainForm::ModelFileName() const { return Editor->ModelFileName(); }

void TMainForm::ClearModel()
{
    // The nodes point at the models' selections: the tree goes first.
    TV_EditComponents->DragNode = nullptr;
    TV_EditComponents->clear();
    Editor->ClearModel();
    ResetModelState();
    ModelUnsaved_ = 0;
}

// ---- The model's edits as undo steps

namespace {
class TModelStep final : public TExternalStep {
public:
    TModelStep(TMainForm& form, TModelChange change) : Form_(form), Change_(std::move(change)) {}
    void Undo() override { Form_.PutModelChange(Change_, true); }
    void Redo() override { Form_.PutModelChange(Change_, false); }
    size_t Bytes() const override { return Change_.Components.size() * (2 * sizeof(TComponentEdits) + sizeof(void*)); }

private:
    TMainForm& Form_;
    TModelChange Change_;
};

QString StepName(unsigned kinds)
{
    if (kinds & EditLinking)
        return QStringLiteral("Linking and Pivots");
    if (kinds & EditNames)
        return QStringLiteral("Assign new Name");
    if (kinds & EditColors)
        return QStringLiteral("Change Color");
    return QStringLiteral("Show and Hide");
}
}  // namespace

void TMainForm::ResetModelState()
{
    TComponentForest forest = TV_EditComponents->Forest();
    ModelState_ = SnapshotModel(forest);
    Editor->SetForest(std::move(forest));
}

void TMainForm::CommitModelEdit(const QString& name)
{
    TComponentForest forest = TV_EditComponents->Forest();
    TModelSnapshot now = SnapshotModel(forest);
    TModelChange change = DiffModel(ModelState_, now);
    ModelState_ = std::move(now);
    // The editor poses and draws the hierarchy as the tree has it now.
    Editor->SetForest(std::move(forest));
    if (!change.Kinds)
        return;
    ModelUnsaved_ |= change.Kinds & ~unsigned(EditHidden);
    const QString step = name.isEmpty() ? StepName(change.Kinds) : name;
    Anim->PushExternalStep(step, std::make_shared<TModelStep>(*this, std::move(change)));
}

void TMainForm::PutModelChange(const TModelChange& change, bool undo)
{
    const std::vector<QTreeWidgetItem*> nodes = TreeNodes();
    TComponentForest forest = TV_EditComponents->Forest();
    if (ApplyModelChange(change, undo, forest))
        TV_EditComponents->Relink(nodes, forest, std::vector<bool>(size_t(forest.Count()), false));
    for (QTreeWidgetItem* node : TreeNodes())
        TComponentTree::UpdateText(node);
    TV_EditComponents->SortTree();
    TV_EditComponents->viewport()->update();
    ResetModelState();
    ModelUnsaved_ |= change.Kinds & ~unsigned(EditHidden);
}

bool TMainForm::SaveModelChangesFirst()
{
    if (!ModelUnsaved_)
        return true;
    switch (dialogs().AskSaveChanges(QStringLiteral("Save changes to %1?").arg(FileNamePart(ModelFileName())))) {
    case TSaveAnswer::Save:
        return (!(ModelUnsaved_ & EditLinking) || B_SaveLinkingStatusChanged()) &&
               (!(ModelUnsaved_ & EditNames) || SavenamesClick()) && (!(ModelUnsaved_ & EditColors) || SaveColorsClick());
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
    TV_EditComponents->Fill(setup.Forest);
    ResetModelState();
    SetStatusText(1, QStringLiteral("Model: ") + FileNamePart(ModelFileName()));
}

// ---- Linking and pivots

void TMainForm::SetLinkingLoaded(bool loaded)
{
    P_DisplayMode->LED_Linking->setChecked(loaded);
    SetStatusText(5, loaded ? QStringLiteral("Pivot and Linking: LOADED") : QStringLiteral("Pivot and Linking: NOT LOADED"));
}

bool TMainForm::LoadLinking(const QString& fileName)
{
    const QString path = LinkFilePath(Paths.LinkDataDir, fileName);
    if (!QFileInfo::exists(path))
        return false;
    const TLinkReadResult read = ReadLinkingFile(path);
    // The whole hierarchy is worked out first and the tree rebuilt once: moving rows one
    // record at a time costs the tree widget far more than the records are worth.
    const std::vector<QTreeWidgetItem*> nodes = TreeNodes();
    TComponentForest forest = TV_EditComponents->Forest();
    const std::vector<bool> expand = ApplyLinkRecords(forest, read.Records);
    TV_EditComponents->Relink(nodes, forest, expand);
    // A file's linking is a step of its own, undone like an edit.
    CommitModelEdit(QStringLiteral("Load Pivots and Linking"));
    // The records before a fault stay applied; the user hears of it once.
    if (!read.Error.isEmpty())
        dialogs().ShowMessage(read.Error);
    return true;
}

bool TMainForm::B_SaveLinkingStatusChanged()
{
    if (ModelFileName().isEmpty()) {
        dialogs().ShowMessage(QStringLiteral("Load Modell first!"));
        return false;
    }
    TAppPaths::MakeFolder(Paths.LinkDataDir);
    std::vector<TLinkRecord> records;
    for (QTreeWidgetItem* node : TreeNodes()) {
        const TSelection* s = SelectionOf(node);
        TLinkRecord r;
        r.Name = s->Name;
        if (const TSelection* p = SelectionOf(node->parent()))
            r.ParentName = p->Name;
        for (int i = 0; i < 3; ++i)
            r.Pivot[i] = s->Pivot[i];
        records.push_back(r);
    }
    QString error;
    if (!WriteLinkingFile(LinkFilePath(Paths.LinkDataDir, ModelFileName()), records, &error)) {
        dialogs().ShowMessage(error);
        return false;
    }
    ModelUnsaved_ &= ~unsigned(EditLinking);
    UpdateUndoActions();
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
    LoadTranslationFile(TreeComponents(), ResolveCaseInsensitive(Editor->TranslationFile));
    for (QTreeWidgetItem* node : TreeNodes())
        TComponentTree::UpdateText(node);
    TV_EditComponents->SortTree();
    ResetModelState();  // the names of a file are no edit
}

void TMainForm::LoadColors()
{
    if (Editor->ColorFile.isEmpty())
        return;
    LoadColorFile(TreeComponents(), ResolveCaseInsensitive(Editor->ColorFile));
    ResetModelState();
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
    TV_EditComponents->viewport()->update();
}

void TMainForm::ChangeColorClick()
{
    TSelection* s = SelectionOf(SelectedNode());
    if (!s)
        return;
    unsigned color = s->Color;
    if (!dialogs().ChooseColor(color))
        return;
    s->Color = color;
    TV_EditComponents->viewport()->update();
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
    ModelUnsaved_ &= ~unsigned(EditColors);
    UpdateUndoActions();
    return true;
}

void TMainForm::AssignnewnameClick()
{
    QTreeWidgetItem* node = SelectedNode();
    TSelection* s = SelectionOf(node);
    if (!s)
        return;
    QString text = node->text(0);
    if (!dialogs().InputQuery(QStringLiteral("Replace displayed name"), QStringLiteral("Enter new name for component:"),
                              text))
        return;
    s->DisplayName = text;
    node->setText(0, text);
    TV_EditComponents->SortTree();
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
    ModelUnsaved_ &= ~unsigned(EditNames);
    UpdateUndoActions();
    return true;
}

// ---- Tree commands

void TMainForm::Moveonelevelup1Click()
{
    QTreeWidgetItem* node = SelectedNode();
    if (!node)
        return;
    QTreeWidgetItem* parent = node->parent();
    TV_EditComponents->MoveNode(node, parent ? parent->parent() : nullptr);
    TV_EditComponents->SortTree();
    CommitModelEdit(QStringLiteral("Move one level up"));
}

void TMainForm::ShowAll1Click()
{
    for (TSelection* s : TreeComponents())
        s->Hidden = false;
    P_DisplayMode->RB_CheckedSelections->setChecked(true);
    TV_EditComponents->viewport()->update();
    CommitModelEdit(QStringLiteral("Show All"));
}

void TMainForm::HideAllClick()
{
    for (TSelection* s : TreeComponents())
        s->Hidden = true;
    P_DisplayMode->RB_CheckedSelections->setChecked(true);
    TV_EditComponents->viewport()->update();
    CommitModelEdit(QStringLiteral("Hide All"));
}

void TMainForm::TV_EditComponentsMouseDown(QTreeWidgetItem*)
{
    if (!EditMode_)
        return;
    // An edit applies to whole subtrees: a node below a selected one needs no selection.
    for (QTreeWidgetItem* node : TreeNodes())
        if (node->isSelected() && node->parent() && node->parent()->isSelected())
            node->setSelected(false);
    RebaseEdits(EditTree());
}

void TMainForm::TV_EditComponentsMouseUp()
{
    TV_EditComponents->viewport()->update();
    CommitModelEdit();  // a component shown or hidden with its mark
}
