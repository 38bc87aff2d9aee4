// The model's edits, one step each, and the model's own files: linking and pivots, display
// names, colours.
#include "editor/Editor.h"
#include "model/Linking.h"
#include "model/NamesColors.h"
#include "platform/FileUtil.h"
#include "platform/Ini.h"

#include <QDir>
#include <QFileInfo>

namespace {
bool IsNode(const TComponentForest& forest, int node) { return node >= 0 && node < forest.Count(); }
}  // namespace

bool TEditor::SetColor(int node, uint32_t color)
{
    if (!IsNode(Setup_.Forest, node))
        return false;
    return EditModel(QStringLiteral("Change Color"), {node}, [&] { Setup_.Forest.MutableComponent(node)->Color = color; });
}

bool TEditor::Rename(int node, const QString& displayName)
{
    if (!IsNode(Setup_.Forest, node))
        return false;
    return EditModel(QStringLiteral("Assign new Name"), {node}, [&] {
        Setup_.Forest.MutableComponent(node)->DisplayName = displayName;
        Setup_.Forest.Sort();
    });
}

bool TEditor::SetPivot(int node, const std::array<float, 3>& pivot)
{
    if (!IsNode(Setup_.Forest, node))
        return false;
    return EditModel(
        QStringLiteral("Move Pivot"), {node},
        [&] { std::copy(pivot.begin(), pivot.end(), Setup_.Forest.MutableComponent(node)->Pivot); },
        QStringLiteral("Move Pivot %1").arg(node));
}

bool TEditor::Link(int node, int parent)
{
    if (!IsNode(Setup_.Forest, node))
        return false;
    return EditModel(QStringLiteral("Link Component"), {node}, [&] { Setup_.Forest.Link(node, parent); });
}

bool TEditor::MoveUp(int node)
{
    if (!IsNode(Setup_.Forest, node))
        return false;
    return EditModel(QStringLiteral("Move one level up"), {node}, [&] { Setup_.Forest.MoveUp(node); });
}

bool TEditor::SetHidden(int node, bool hidden)
{
    if (!IsNode(Setup_.Forest, node))
        return false;
    return EditModel(hidden ? QStringLiteral("Hide") : QStringLiteral("Show"), Setup_.Forest.Subtree(node),
                     [&] { Setup_.Forest.SetHidden(node, hidden); });
}

bool TEditor::ShowAll()
{
    const bool changed = EditModel(QStringLiteral("Show All"), {}, [this] { Setup_.Forest.SetAllHidden(false); });
    ShowNotHidden();
    return changed;
}

bool TEditor::HideAll()
{
    const bool changed = EditModel(QStringLiteral("Hide All"), {}, [this] { Setup_.Forest.SetAllHidden(true); });
    ShowNotHidden();
    return changed;
}

bool TEditor::ShowAnimatedOnly()
{
    if (Anim_.Doc.AnimFrames.empty())
        return false;
    const bool changed = EditModel(QStringLiteral("Show Animated Only"), {},
                                   [this] { ::ShowAnimatedOnly(Setup_.Forest.MutableTreeOrder(), Anim_.Doc.AnimSelections); });
    ShowNotHidden();
    return changed;
}

void TEditor::ShowNotHidden()
{
    EditOptions([](TEditorOptions& o) { o.Show = TComponentShow::Checked; });
}

bool TEditor::ApplyNamesFile(const QString& path)
{
    if (path.isEmpty())
        return false;
    TranslationFile = path;
    QString error;
    const bool changed = EditModel(QStringLiteral("Select Translation File"), {}, [&] {
        LoadTranslationFile(Setup_.Forest.MutableTreeOrder(), ResolveCaseInsensitive(path), &error);
        Setup_.Forest.Sort();
    });
    // A file that cannot be read changed nothing; the user hears why, with its name.
    if (!error.isEmpty())
        Message(error);
    History_.MarkSaved(FileNames);  // the names are the file's now
    return changed;
}

bool TEditor::ApplyColorsFile(const QString& path)
{
    if (path.isEmpty())
        return false;
    ColorFile = path;
    QString error;
    const bool changed = EditModel(QStringLiteral("Select Color File"), {}, [&] {
        LoadColorFile(Setup_.Forest.MutableTreeOrder(), ResolveCaseInsensitive(path), &error);
    });
    if (!error.isEmpty())
        Message(error);
    History_.MarkSaved(FileColors);
    return changed;
}

bool TEditor::LoadLinking(const QString& fileName, std::vector<bool>* expand)
{
    const QString path = LinkFilePath(LinkDataDir, fileName);
    const TFileStamp stamp = FileStampOf(path);  // before the read, as a load takes it
    if (!stamp.Exists)
        return false;
    const TLinkReadResult read = ReadLinkingFile(path);
    // The model's own file read again is the state a save goes over; another file's
    // records change what is shown, not what the model's file is.
    if (path == LinkingFile())
        Setup_.LinkingOnDisk = {path, stamp};
    // The whole hierarchy is worked out first and the views told once: a change per record
    // would cost them far more than the records are worth.
    EditModel(QStringLiteral("Load Pivots and Linking"), {}, [&] {
        const TComponentForest::TBatch batch(Setup_.Forest);
        std::vector<bool> expanded = ApplyLinkRecords(Setup_.Forest, read.Records);
        if (expand)
            *expand = std::move(expanded);
    });
    // The records before a fault stay applied; the user hears of it once, with the file.
    if (!read.Error.isEmpty())
        Message(AboutFile(path, read.Error));
    return read.Error.isEmpty() || !read.Records.empty();
}

namespace {
// Every component's parent and pivot, in tree order: what the .lpv file holds.
std::vector<TLinkRecord> LinkRecords(const TComponentForest& forest)
{
    std::vector<TLinkRecord> records;
    for (int node : forest.TreeIndices()) {
        const TSelection* s = forest.Component(node);
        TLinkRecord r;
        r.Name = s->Name;
        if (const int parent = forest.Parent(node); parent >= 0)
            r.ParentName = forest.Component(parent)->Name;
        std::copy(s->Pivot, s->Pivot + 3, r.Pivot);
        records.push_back(r);
    }
    return records;
}
}  // namespace

QString TEditor::LinkingFile() const
{
    return Setup_.ModelFileName.isEmpty() ? QString() : LinkFilePath(LinkDataDir, Setup_.ModelFileName);
}

bool TEditor::LinkingChangedOnDisk() const { return Setup_.LinkingOnDisk.ChangedOnDisk(LinkingFile()); }

QString TEditor::SaveLinking()
{
    if (Setup_.ModelFileName.isEmpty())
        return QStringLiteral("Load Modell first!");
    QDir().mkpath(LinkDataDir);
    const QString path = LinkingFile();
    QString error;
    if (!WriteLinkingFile(path, LinkRecords(Setup_.Forest), &error))
        return error;
    Setup_.LinkingOnDisk = {path, FileStampOf(path)};  // at once, before anyone else can write
    History_.MarkSaved(FileLinking);
    return {};
}

QByteArray TEditor::ModelFileBytes(TEditorFile file) const
{
    if (file == FileLinking)
        return WriteLinkingBytes(LinkRecords(Setup_.Forest));
    TIniFile ini;
    if (file == FileNames)
        ::SaveNames(TreeOrder_, ini);
    else if (file == FileColors)
        ::SaveColors(TreeOrder_, ini);
    return ini.Text().toUtf8();
}

QString TEditor::SaveNames(const QString& path)
{
    QString error;
    if (!SaveNamesFile(TreeOrder_, path, &error))
        return error;
    History_.MarkSaved(FileNames);
    return {};
}

QString TEditor::SaveColors(const QString& path)
{
    QString error;
    if (!SaveColorsFile(TreeOrder_, path, &error))
        return error;
    History_.MarkSaved(FileColors);
    return {};
}
