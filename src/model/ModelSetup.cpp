#include "model/ModelSetup.h"
#include "model/Linking.h"
#include "model/LinkingPlan.h"
#include "model/NamesColors.h"
#include "model/Proxies.h"
#include "platform/DebugOut.h"
#include "platform/FileUtil.h"
#include "platform/Ini.h"

#include <QFileInfo>
#include <QStringList>
#include <algorithm>

bool TModelSetup::Load(const QString& path)
{
    // Whoever shows the forest lets go of the components before they go.
    Forest.Clear();
    Models.clear();
    ModelFileName.clear();
    LinkingLoaded = false;
    LodVertexCount = LodPolygonCount = 0;
    if (path.isEmpty())
        return false;
    auto model = std::make_unique<TP3dModell>(path, nullptr, nullptr, false);
    LodVertexCount = model->LodVertexCount;
    LodPolygonCount = model->LodPolygonCount;
    using RS = TP3dModell::ReadStatus;
    if (model->Status == RS::StreamError || model->Status == RS::CannotOpen) {
        Message(model->ErrorText);  // abandoned whole: no half-built model
        return false;
    }
    if (!model->ErrorText.isEmpty())
        Message(model->ErrorText);
    ModelFileName = path;
    // Built apart and handed over whole, so the forest's listeners hear of one change.
    TComponentForest forest;
    for (const auto& s : model->Selections)
        forest.Add(s.get());
    Models.push_back(std::move(model));

    // Proxies: every selection named "proxy:..." brings its sub-model along.
    const std::vector<TSelection*> order = forest.TreeOrder();
    TSubModelFiles subModels;
    for (TSelection* s : order) {
        if (!IsProxyName(s->Name))
            continue;
        TProxyLoad load = LoadProxy(*s, ModelFileName, order, subModels);
        for (const QString& m : load.Messages)
            Message(m);
        if (load.Model)
            Models.push_back(std::move(load.Model));
    }
    if (!TranslationFile.isEmpty()) {
        LoadTranslationFile(order, ResolveCaseInsensitive(TranslationFile));
        forest.Sort();
    }
    if (!ColorFile.isEmpty())
        LoadColorFile(order, ResolveCaseInsensitive(ColorFile));

    const QString lpv = LinkFilePath(LinkDataDir, ModelFileName);
    if (QFileInfo::exists(lpv)) {
        const TLinkReadResult read = ReadLinkingFile(lpv);
        ApplyLinkRecords(forest, read.Records);
        LinkingLoaded = true;
        if (!read.Error.isEmpty())  // the records before a fault stay applied
            Message(read.Error);
    }
    Forest = std::move(forest);
    return true;
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

QString MissingComponentsReport(const QStringList& animated, const std::vector<TSelection*>& treeOrder,
                                const QString& translationFile)
{
    const TIniFile translation(translationFile);
    QString report;
    for (const QString& name : animated) {
        if (FindComponentByName(treeOrder, name))
            continue;
        DebugOut(name + QStringLiteral(" not found!"));
        const QString display = translation.ReadString(QStringLiteral("Translation"), name, name);
        // One arg() call: a name holding "%1" must not be taken as a place for the next.
        report += QStringLiteral("\n %1 -> %2").arg(name.leftJustified(32), display);
    }
    return report;
}
