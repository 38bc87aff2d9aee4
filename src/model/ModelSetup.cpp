#include "model/ModelSetup.h"
#include "model/Linking.h"
#include "model/LinkingPlan.h"
#include "model/NamesColors.h"
#include "model/Proxies.h"
#include "platform/DebugOut.h"
#include "platform/FileUtil.h"
#include "platform/Ini.h"
#include "platform/Progress.h"

#include <QStringList>
#include <algorithm>
#include <memory>

bool TModelSetup::Load(const QString& path)
{
    // Whoever shows the forest lets go of the components before they go.
    Forest.Clear();
    Models.clear();
    ModelFileName.clear();
    LinkingLoaded = false;
    LinkingOnDisk = {};
    Unread = 0;
    LodVertexCount = LodPolygonCount = 0;
    if (path.isEmpty())
        return false;
    // A reader's message names its file where no dialog shows which load it comes from.
    const auto readerMessage = [this](const QString& file, const QString& text) {
        Message(NameFiles ? AboutFile(file, text) : text);
    };
    // The main model's read is the bulk of a load; its proxies share the rest.
    auto model = std::make_unique<TP3dModell>(QString(), nullptr, nullptr, false);
    SetPart(Progress, 0, 0.9);
    model->ReadP3d(path, false, Progress);
    if (Cancelled(Progress))
        return false;
    LodVertexCount = model->LodVertexCount;
    LodPolygonCount = model->LodPolygonCount;
    using RS = TP3dModell::ReadStatus;
    if (model->Status == RS::StreamError || model->Status == RS::CannotOpen) {
        readerMessage(path, model->ErrorText);  // abandoned whole: no half-built model
        return false;
    }
    if (!model->ErrorText.isEmpty())
        readerMessage(path, model->ErrorText);
    ModelFileName = path;
    // Built apart and handed over whole, so the forest's listeners hear of one change.
    TComponentForest forest;
    for (const auto& s : model->Selections)
        forest.Add(s.get());
    Models.push_back(std::move(model));

    // Proxies: every selection named "proxy:..." brings its sub-model along.
    const std::vector<TSelection*> order = forest.MutableTreeOrder();
    TSubModelFiles subModels;
    SetPart(Progress, 0.9, 1);
    const auto proxies = std::count_if(order.begin(), order.end(), [](const TSelection* s) { return IsProxyName(s->Name); });
    qint64 proxiesDone = 0;
    for (TSelection* s : order) {
        if (!IsProxyName(s->Name))
            continue;
        TProxyLoad load = LoadProxy(*s, ModelFileName, order, subModels);
        for (qsizetype i = 0; i < load.Messages.size(); ++i)
            readerMessage(i < load.FileMessages ? load.Path : QString(), load.Messages[i]);
        if (load.Model)
            Models.push_back(std::move(load.Model));
        if (!Advance(Progress, ++proxiesDone, proxies))
            return false;
    }
    // Names, colours and linking are files of their own: a fault names the file, also in
    // the window, since nothing else would say which one it was.
    QString error;
    const auto unreadable = [this, &error](unsigned which) {
        if (error.isEmpty())
            return;
        Message(error);
        Unread |= which;
        error.clear();
    };
    if (!TranslationFile.isEmpty()) {
        LoadTranslationFile(order, ResolveCaseInsensitive(TranslationFile), &error);
        unreadable(UnreadNames);
        forest.Sort();
    }
    if (!ColorFile.isEmpty()) {
        LoadColorFile(order, ResolveCaseInsensitive(ColorFile), &error);
        unreadable(UnreadColors);
    }

    const QString lpv = LinkFilePath(LinkDataDir, ModelFileName);
    // Taken before the read: a write during it makes the next save ask.
    LinkingOnDisk = {lpv, FileStampOf(lpv)};
    if (FileExists(lpv)) {
        const TLinkReadResult read = ReadLinkingFile(lpv);
        ApplyLinkRecords(forest, read.Records);
        // The records before a fault stay applied; a file that could not be read at all
        // applied nothing.
        LinkingLoaded = read.Error.isEmpty() || !read.Records.empty();
        if (!read.Error.isEmpty())
            error = AboutFile(lpv, read.Error);
        unreadable(UnreadLinking);
    }
    Forest = std::move(forest);
    SetPart(Progress, 0, 1);
    Advance(Progress, 1, 1);
    return true;
}

void TModelSetup::Take(TModelSetup&& loaded)
{
    ModelFileName = std::move(loaded.ModelFileName);
    Models = std::move(loaded.Models);
    LinkingLoaded = loaded.LinkingLoaded;
    LinkingOnDisk = std::move(loaded.LinkingOnDisk);
    Unread = loaded.Unread;
    LodVertexCount = loaded.LodVertexCount;
    LodPolygonCount = loaded.LodPolygonCount;
    Forest = std::move(loaded.Forest);
}

std::vector<bool> ApplyLinkRecords(TComponentForest& forest, const std::vector<TLinkRecord>& records)
{
    // The plan works on tree order; the forest numbers its nodes in file order.
    const std::vector<int> treeNodes = forest.TreeIndices();
    std::vector<int> position(size_t(forest.Count()));
    for (size_t i = 0; i < treeNodes.size(); ++i)
        position[size_t(treeNodes[i])] = int(i);
    TLinkForest before;
    for (int node : treeNodes) {
        const int parent = forest.Parent(node);
        before.Parent.push_back(parent < 0 ? -1 : position[size_t(parent)]);
        before.Names.push_back(forest.Component(node)->Name);
        before.Texts.push_back(forest.Component(node)->DisplayName);
    }
    const TLinkPlan plan = PlanLinking(before, records);
    for (size_t i = 0; i < treeNodes.size(); ++i)
        if (plan.Pivot[i])
            std::copy(plan.Pivot[i]->begin(), plan.Pivot[i]->end(), forest.MutableComponent(treeNodes[i])->Pivot);
    if (plan.Moved) {
        std::vector<int> parent(size_t(forest.Count())), order;
        for (size_t i = 0; i < treeNodes.size(); ++i)
            parent[size_t(treeNodes[i])] = plan.Parent[i] < 0 ? -1 : treeNodes[size_t(plan.Parent[i])];
        for (int i : plan.InsertOrder)
            order.push_back(treeNodes[size_t(i)]);
        forest.Rebuild(parent, order);
    }
    forest.Sort();
    std::vector<bool> expand(size_t(forest.Count()), false);
    for (size_t i = 0; i < treeNodes.size(); ++i)
        expand[size_t(treeNodes[i])] = plan.Expand[i];
    return expand;
}

QString MissingComponentsReport(const QStringList& animated, const std::vector<const TSelection*>& treeOrder,
                                const QString& translationFile)
{
    const std::vector<const TSelection*> found = FindComponentsByName(treeOrder, animated);
    QString report;
    report.reserve(qsizetype(std::count(found.begin(), found.end(), nullptr)) * 80);
    std::unique_ptr<TIniFile> translation;
    for (size_t i = 0; i < found.size(); ++i) {
        if (found[i])
            continue;
        const QString& name = animated[qsizetype(i)];
        DebugOut(name + QStringLiteral(" not found!"));
        if (!translation)  // read only when a name is missing
            translation = std::make_unique<TIniFile>(translationFile);
        // Put together piece by piece: a name holding "%1" is no place for an argument.
        report += u"\n ";
        report += name;
        if (name.size() < 32)
            report.resize(report.size() + 32 - name.size(), QLatin1Char(' '));
        report += u" -> ";
        report += translation->ReadString(QStringLiteral("Translation"), name, name);
    }
    return report;
}
