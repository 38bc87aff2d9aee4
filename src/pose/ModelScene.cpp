#include "pose/ModelScene.h"

#include "anim/Rtm.h"
#include "model/Linking.h"
#include "model/LinkingPlan.h"
#include "model/NamesColors.h"
#include "model/Proxies.h"
#include "platform/FileUtil.h"
#include "platform/Ini.h"

#include <QFileInfo>
#include <algorithm>

template <typename Visit>
void TModelScene::Walk(Visit visit) const
{
    // Depth-first pre-order without recursion: a chain may be as deep as the model is big.
    std::vector<std::pair<int, int>> stack;  // node, level
    const std::vector<int>& top = Children_.back();
    for (auto it = top.rbegin(); it != top.rend(); ++it)
        stack.emplace_back(*it, 0);
    while (!stack.empty()) {
        const auto [node, level] = stack.back();
        stack.pop_back();
        visit(node, level);
        const std::vector<int>& kids = Children_[size_t(node)];
        for (auto it = kids.rbegin(); it != kids.rend(); ++it)
            stack.emplace_back(*it, level + 1);
    }
}

std::vector<TSelection*> TModelScene::TreeOrder() const
{
    std::vector<TSelection*> out;
    out.reserve(Nodes_.size());
    Walk([&](int node, int) { out.push_back(Nodes_[size_t(node)].Component); });
    return out;
}

std::vector<int> TModelScene::Levels() const
{
    std::vector<int> out;
    out.reserve(Nodes_.size());
    Walk([&](int, int level) { out.push_back(level); });
    return out;
}

void TModelScene::SortTree()
{
    // As the tree sorts: every level by display text, equal texts keeping their order.
    for (std::vector<int>& kids : Children_)
        std::stable_sort(kids.begin(), kids.end(), [this](int a, int b) {
            return ComponentTextLess(Nodes_[size_t(a)].Component->DisplayName, Nodes_[size_t(b)].Component->DisplayName);
        });
}

bool TModelScene::LoadModel(const QString& path)
{
    Models_.clear();
    Nodes_.clear();
    Children_.assign(1, {});
    ModelFileName_.clear();
    if (path.isEmpty())
        return false;
    auto model = std::make_unique<TP3dModell>(path, nullptr, nullptr, false);
    using RS = TP3dModell::ReadStatus;
    if (model->Status == RS::StreamError || model->Status == RS::CannotOpen) {
        Message(model->ErrorText);
        return false;
    }
    if (!model->ErrorText.isEmpty())
        Message(model->ErrorText);
    ModelFileName_ = path;
    for (const auto& s : model->Selections) {
        Nodes_.push_back({s.get(), -1});
        Children_.back().push_back(int(Nodes_.size()) - 1);
    }
    Children_.insert(Children_.begin(), Nodes_.size(), {});
    Models_.push_back(std::move(model));

    const std::vector<TSelection*> order = TreeOrder();
    TSubModelFiles subModels;
    for (TSelection* s : order) {
        if (!IsProxyName(s->Name))
            continue;
        TProxyLoad load = LoadProxy(*s, ModelFileName_, order, subModels);
        for (const QString& m : load.Messages)
            Message(m);
        if (load.Model)
            Models_.push_back(std::move(load.Model));
    }
    if (!TranslationFile.isEmpty()) {
        LoadTranslationFile(TreeOrder(), ResolveCaseInsensitive(TranslationFile));
        SortTree();
    }
    if (!ColorFile.isEmpty())
        LoadColorFile(TreeOrder(), ResolveCaseInsensitive(ColorFile));
    LoadLinking();
    return true;
}

void TModelScene::LoadLinking()
{
    const QString path = LinkFilePath(LinkDataDir, ModelFileName_);
    if (!QFileInfo::exists(path))
        return;
    const TLinkReadResult read = ReadLinkingFile(path);
    // The plan works on tree order; the scene's nodes are numbered in file order.
    std::vector<int> treeNodes;
    Walk([&](int node, int) { treeNodes.push_back(node); });
    std::vector<int> position(Nodes_.size());
    for (size_t i = 0; i < treeNodes.size(); ++i)
        position[size_t(treeNodes[i])] = int(i);
    TLinkForest forest;
    for (int node : treeNodes) {
        const TNode& n = Nodes_[size_t(node)];
        forest.Parent.push_back(n.Parent < 0 ? -1 : position[size_t(n.Parent)]);
        forest.Names.push_back(n.Component->Name);
        forest.Texts.push_back(n.Component->DisplayName);
    }
    const TLinkPlan plan = PlanLinking(forest, read.Records);
    for (size_t i = 0; i < treeNodes.size(); ++i)
        if (plan.Pivot[i])
            std::copy(plan.Pivot[i]->begin(), plan.Pivot[i]->end(), Nodes_[size_t(treeNodes[i])].Component->Pivot);
    if (plan.Moved) {
        for (std::vector<int>& kids : Children_)
            kids.clear();
        for (int i : plan.InsertOrder) {
            const int node = treeNodes[size_t(i)];
            const int parent = plan.Parent[size_t(i)] < 0 ? -1 : treeNodes[size_t(plan.Parent[size_t(i)])];
            Nodes_[size_t(node)].Parent = parent;
            Children_[parent < 0 ? Children_.size() - 1 : size_t(parent)].push_back(node);
        }
    }
    SortTree();
    if (!read.Error.isEmpty())
        Message(read.Error);
}

bool TModelScene::LoadAnimation(const QString& path)
{
    Doc_ = TAnimDocument();
    QByteArray bytes;
    if (!ReadWholeFile(ResolveCaseInsensitive(path), bytes)) {
        Message(QStringLiteral("Cannot open file %1").arg(path));
        return false;
    }
    const QString error = ReadRtm(bytes, Doc_);
    bytes = QByteArray();
    if (!error.isEmpty()) {
        Doc_ = TAnimDocument();
        Message(error);
        return false;
    }
    Doc_.AnimStepCount = Doc_.FrameCount();
    Doc_.AnimFileName = path;
    const std::vector<TSelection*> order = TreeOrder();
    const TIniFile translation(TranslationFile);
    QString report;
    for (const QString& name : Doc_.AnimSelections.Names())
        if (std::none_of(order.begin(), order.end(), [&name](const TSelection* s) { return s->Name == name; }))
            report += QStringLiteral("\n %1 -> %2")
                          .arg(name, -32)
                          .arg(translation.ReadString(QStringLiteral("Translation"), name, name));
    if (Doc_.AnimStepCount > 0) {
        ApplyFrame(0);
        ValidateFrameTimes(Doc_.AnimFrames);
    }
    if (!report.isEmpty())
        Message(QStringLiteral("following Animation Components were not found in the Model:\n") + report);
    return true;
}

bool TModelScene::ApplyFrame(int step)
{
    switch (ApplyFrameTransforms(Doc_, step, TreeOrder())) {
    case TApplyFrameResult::InvalidStep:
        Message(QStringLiteral("Invalid ActAnimStep!"));
        return false;
    case TApplyFrameResult::EntryMissing:
        Message(QStringLiteral("AnimEntry not found!"));
        return false;
    case TApplyFrameResult::Ok:
        break;
    }
    Doc_.ActAnimStep = step;
    return true;
}

TPoseParams TModelScene::Params(const double offset[3], bool totalMove) const
{
    TPoseParams p;
    std::copy(offset, offset + 3, p.ModelOffset);
    p.TotalMove = Doc_.TotalMove;
    p.ActAnimStep = Doc_.ActAnimStep;
    p.AnimStepCount = Doc_.AnimStepCount;
    p.TotalMoveOn = totalMove;
    p.AnimationLoaded = !Doc_.AnimSelections.IsEmpty();
    return p;
}

void TModelScene::Pose(const TPoseParams& params)
{
    const std::vector<TSelection*> order = TreeOrder();
    TPoseCache cache;
    cache.Rebuild(order);
    std::vector<TPoseNode> nodes;
    nodes.reserve(order.size());
    for (TSelection* s : order)
        nodes.push_back({s, Doc_.AnimSelections.IndexOf(s->Name) >= 0});
    UpdateDisplayPoints(Models_, nodes, cache, params);
}
