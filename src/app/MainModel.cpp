// Models, the component tree, the linking file, display names and colours.
#include "app/Filebrowser.h"
#include "app/Main.h"
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
    const int node = Forest_.Find(name);
    return node < 0 ? nullptr : Forest_.Component(node);
}

int TMainForm::SelectedNode() const { return TV_EditComponents->SelectedNode(); }

TSelection* TMainForm::SelectedComponent() const
{
    const int node = SelectedNode();
    return node < 0 ? nullptr : Forest_.Component(node);
}

void TMainForm::ClearModel()
{
    // Model steps point at the components: a new history, which keeps whether the
    // animation is modified.
    Anim->RestartHistory();
    // The nodes point at the models' selections: the forest goes first.
    Forest_.Clear();
    Models.clear();
    ModelFileName.clear();
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
    ModelState_ = SnapshotModel(Forest_);
}

void TMainForm::CommitModelEdit(const QString& name)
{
    TModelSnapshot now = SnapshotModel(Forest_);
    TModelChange change = DiffModel(ModelState_, now);
    ModelState_ = std::move(now);
    if (!change.Kinds)
        return;
    ModelUnsaved_ |= change.Kinds & ~unsigned(EditHidden);
    const QString step = name.isEmpty() ? StepName(change.Kinds) : name;
    Anim->PushExternalStep(step, std::make_shared<TModelStep>(*this, std::move(change)));
}

void TMainForm::PutModelChange(const TModelChange& change, bool undo)
{
    {
        const TComponentForest::TBatch batch(Forest_);
        ApplyModelChange(change, undo, Forest_);
    }
    Forest_.ComponentsChanged();
    ResetModelState();
    ModelUnsaved_ |= change.Kinds & ~unsigned(EditHidden);
}

bool TMainForm::SaveModelChangesFirst()
{
    if (!ModelUnsaved_)
        return true;
    switch (dialogs().AskSaveChanges(QStringLiteral("Save changes to %1?").arg(FileNamePart(ModelFileName)))) {
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
    TModelSetup setup;
    setup.LinkDataDir = Paths.LinkDataDir;
    setup.TranslationFile = TranslationFileName;
    setup.ColorFile = ColorFileName;
    setup.Message = [](const QString& text) { dialogs().ShowMessage(text); };
    const bool loaded = setup.Load(fileName);
    // The main model's counts as its header states them, also when the file turned out
    // too short to hold them.
    SetStatusText(3, QStringLiteral("Vertexes: %1").arg(setup.LodVertexCount));
    SetStatusText(4, QStringLiteral("Polygons: %1").arg(setup.LodPolygonCount));
    if (!loaded) {  // abandoned whole: no half-built model or tree is left behind
        SetStatusText(1, QStringLiteral("Model: EMPTY"));
        SetLinkingLoaded(false);
        RefreshDisplay();
        return;
    }
    ModelFileName = setup.ModelFileName;
    Models = std::move(setup.Models);
    Forest_ = std::move(setup.Forest);
    TV_EditComponents->ExpandParents();
    ResetModelState();
    SetLinkingLoaded(setup.LinkingLoaded);
    SetStatusText(1, QStringLiteral("Model: ") + FileNamePart(ModelFileName));
    // The new components start at rest; an open animation poses them at once.
    ShowCurrentFrame();
}

// ---- Linking and pivots

void TMainForm::SetLinkingLoaded(bool loaded)
{
    LED_Linking->setChecked(loaded);
    SetStatusText(5, loaded ? QStringLiteral("Pivot and Linking: LOADED") : QStringLiteral("Pivot and Linking: NOT LOADED"));
}

bool TMainForm::LoadLinking(const QString& fileName)
{
    const QString path = LinkFilePath(Paths.LinkDataDir, fileName);
    if (!QFileInfo::exists(path))
        return false;
    const TLinkReadResult read = ReadLinkingFile(path);
    // The whole hierarchy is worked out first and the tree told once: a change per record
    // would cost the view far more than the records are worth.
    std::vector<bool> expand;
    {
        const TComponentForest::TBatch batch(Forest_);
        expand = ApplyLinkRecords(Forest_, read.Records);
    }
    for (int node = 0; node < Forest_.Count(); ++node)
        if (expand[size_t(node)])
            TV_EditComponents->ExpandNode(node);
    // A file's linking is a step of its own, undone like an edit.
    CommitModelEdit(QStringLiteral("Load Pivots and Linking"));
    // The records before a fault stay applied; the user hears of it once.
    if (!read.Error.isEmpty())
        dialogs().ShowMessage(read.Error);
    return true;
}

bool TMainForm::B_SaveLinkingStatusChanged()
{
    if (ModelFileName.isEmpty()) {
        dialogs().ShowMessage(QStringLiteral("Load Modell first!"));
        return false;
    }
    TAppPaths::MakeFolder(Paths.LinkDataDir);
    std::vector<TLinkRecord> records;
    for (int node : Forest_.TreeIndices()) {
        const TSelection* s = Forest_.Component(node);
        TLinkRecord r;
        r.Name = s->Name;
        if (const int parent = Forest_.Parent(node); parent >= 0)
            r.ParentName = Forest_.Component(parent)->Name;
        for (int i = 0; i < 3; ++i)
            r.Pivot[i] = s->Pivot[i];
        records.push_back(r);
    }
    QString error;
    if (!WriteLinkingFile(LinkFilePath(Paths.LinkDataDir, ModelFileName), records, &error)) {
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
    if (ModelFileName.isEmpty()) {
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
    RefreshDisplay();
}

// ---- Display names and colours

void TMainForm::LoadTranslation()
{
    if (TranslationFileName.isEmpty())
        return;
    LoadTranslationFile(TreeComponents(), ResolveCaseInsensitive(TranslationFileName));
    Forest_.ComponentsChanged();
    Forest_.Sort();
    ResetModelState();  // the names of a file are no edit
}

void TMainForm::LoadColors()
{
    if (ColorFileName.isEmpty())
        return;
    LoadColorFile(TreeComponents(), ResolveCaseInsensitive(ColorFileName));
    Forest_.ComponentsChanged();
    ResetModelState();
    RefreshDisplay();
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
    TranslationFileName = path;
    LoadTranslation();
}

void TMainForm::SelectColorFile1Click()
{
    const QString path = dialogs().OpenFile(ColorsDialog(TDialogUse::Open, QStringLiteral("Select Color File"), Paths.ColorsDir));
    if (path.isEmpty())
        return;
    ColorFileName = path;
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
    Forest_.ComponentsChanged();
    CommitModelEdit(QStringLiteral("Change Color"));
    RefreshDisplay();
}

bool TMainForm::SaveColorsClick()
{
    TAppPaths::MakeFolder(Paths.ColorsDir);  // the dialog opens there
    const QString path = dialogs().SaveFile(
        ColorsDialog(TDialogUse::Save, QStringLiteral("Save Colors"), Paths.ColorsDir, ColorFileName));
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
    TSelection* s = SelectedComponent();
    if (!s)
        return;
    QString text = s->DisplayName;
    if (!dialogs().InputQuery(QStringLiteral("Replace displayed name"), QStringLiteral("Enter new name for component:"),
                              text))
        return;
    s->DisplayName = text;
    Forest_.ComponentsChanged();
    Forest_.Sort();
    CommitModelEdit(QStringLiteral("Assign new Name"));
}

bool TMainForm::SavenamesClick()
{
    TAppPaths::MakeFolder(Paths.TranslationDir);  // the dialog opens there
    const QString path = dialogs().SaveFile(
        NamesDialog(TDialogUse::Save, QStringLiteral("Save Names"), Paths.TranslationDir, TranslationFileName));
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
    const int node = SelectedNode();
    if (node < 0)
        return;
    Forest_.MoveUp(node);
    // The new parent shows the node, as a drop does.
    if (const int parent = Forest_.Parent(node); parent >= 0)
        TV_EditComponents->ExpandNode(parent);
    CommitModelEdit(QStringLiteral("Move one level up"));
    RefreshDisplay();
}

void TMainForm::ShowAll1Click()
{
    Forest_.SetAllHidden(false);
    RB_CheckedSelections->setChecked(true);
    CommitModelEdit(QStringLiteral("Show All"));
    RefreshDisplay();
}

void TMainForm::HideAllClick()
{
    Forest_.SetAllHidden(true);
    RB_CheckedSelections->setChecked(true);
    CommitModelEdit(QStringLiteral("Hide All"));
    RefreshDisplay();
}

void TMainForm::TV_EditComponentsMouseDown(int)
{
    if (!EditMode_)
        return;
    // An edit applies to whole subtrees: a node below a selected one needs no selection.
    for (int node : Forest_.TreeIndices())
        if (const int parent = Forest_.Parent(node);
            parent >= 0 && TV_EditComponents->IsNodeSelected(node) && TV_EditComponents->IsNodeSelected(parent))
            TV_EditComponents->SetNodeSelected(node, false);
    RebaseEdits(EditTree());
}

void TMainForm::TV_EditComponentsMouseUp()
{
    CommitModelEdit();  // a component shown or hidden with its mark
}
