#include "editor/Editor.h"
#include "anim/Playback.h"

#include <utility>

TEditor::TEditor(QObject* parent) : QObject(parent)
{
    Setup_.Forest.AddListener(this);
    // Connected first, so it runs before any view that redraws on the same signal.
    connect(this, &TEditor::Changed, this, [this](unsigned what) {
        if (what & (ChangeModel | ChangeOptions))
            Outlines_.Invalidate();
        if (what & (ChangeModel | ChangeOptions | ChangeDocument))
            Onion_.Invalidate();
    });
    // Clearing the animation puts the model at rest and shows again what its load hid
    // (what the user hid stays hidden).
    connect(&Anim_, &TAnimController::Cleared, this, [this] {
        Pose_.ToRest();
        for (const QString& name : std::exchange(HiddenByLoad_, {}))
            if (TSelection* s = FindComponentByName(TreeOrder_, name))
                s->Hidden = false;
        Setup_.Forest.ComponentsChanged();  // shown again, and no longer animated
        ModelEdits_.Rebase();  // what a load or unload shows is no edit
        emit Changed(ChangePose);
    });
    // Edit mode ends before the animation it edits goes.
    connect(&Anim_, &TAnimController::AboutToClear, this, [this] { EndEdit(); });
    // Every operation on the document ends here once: the current frame is put on the
    // components unless playback or edit mode poses them.
    connect(&Anim_, &TAnimController::Changed, this, [this] {
        if (!Anim_.Loading() && !PoseHeld_ && !Editing_)
            ShowCurrentFrame();
        emit Changed(ChangeDocument);
    });
}

TEditor::~TEditor() { Setup_.Forest.RemoveListener(this); }

void TEditor::ForestAboutToChange(TForestChange) {}

void TEditor::ForestChanged(TForestChange change)
{
    // New components start at rest; a change of the hierarchy keeps how each is posed.
    if (change == TForestChange::Reset)
        Pose_.Reset(Setup_.Forest);
    if (change != TForestChange::Components)
        HierarchyChanged();
    emit Changed(ChangeModel);
}

void TEditor::ForestGone() {}

void TEditor::HierarchyChanged()
{
    TreeOrder_ = Setup_.Forest.TreeOrder();
    Nodes_ = Setup_.Forest.Nodes();
    Cache_.Rebuild(TreeOrder_);
    // Also before the Changed that follows: a pose shown on the way may be drawn.
    Outlines_.Invalidate();
}

bool TEditor::LoadModel(const QString& path)
{
    // Model steps point at the components: a new history, which keeps whether the
    // animation is modified.
    Anim_.RestartHistory();
    HiddenByLoad_.clear();
    PivotComponent_ = nullptr;
    Selection_.clear();
    Setup_.LinkDataDir = LinkDataDir;
    Setup_.TranslationFile = TranslationFile;
    Setup_.ColorFile = ColorFile;
    Setup_.Message = Message;
    const bool loaded = Setup_.Load(path);
    ModelEdits_.Loaded();
    // The new components start at rest; an open animation poses them at once.
    if (loaded && !PoseHeld_ && !Editing_)
        ShowCurrentFrame();
    emit Changed(ChangeModel | ChangePose);
    return loaded;
}

void TEditor::ClearModel()
{
    if (Setup_.Models.empty() && Setup_.ModelFileName.isEmpty())
        return;
    Anim_.RestartHistory();
    HiddenByLoad_.clear();
    PivotComponent_ = nullptr;
    Selection_.clear();
    Setup_.Load(QString());
    ModelEdits_.Loaded();
    emit Changed(ChangeModel | ChangePose);
}

TEnvironmentLoad TEditor::LoadEnvironment(const QString& path)
{
    bool removedOld = false;
    const TEnvironmentLoad result =
        LoadEnvironmentModel(Setup_.Models, !Setup_.ModelFileName.isEmpty(), path, ChooseProxy, Message, &removedOld);
    if (result == TEnvironmentLoad::Loaded || result == TEnvironmentLoad::NoOffset) {
        Options_.Environment = true;
        emit Changed(ChangeModel | ChangeOptions);
    } else if (removedOld) {  // the environment shown before is gone without one in its place
        emit Changed(ChangeModel);
    }
    return result;
}

bool TEditor::LoadAnimation(const QString& path, bool* posed)
{
    if (const QString error = Anim_.LoadAnimation(path); !error.isEmpty()) {
        Message(error);
        return false;
    }
    if (posed)
        *posed = true;
    const TAnimDocument& doc = Anim_.Doc;
    if (doc.AnimFrames.empty())
        return true;
    // Only the animated components are shown; the ones this hides come back when the
    // animation is cleared.
    HiddenByLoad_.clear();
    for (TSelection* s : TreeOrder_)
        if (!s->Hidden)
            HiddenByLoad_ << s->Name;
    ShowAnimatedOnly(TreeOrder_, doc.AnimSelections);
    Setup_.Forest.ComponentsChanged();
    HiddenByLoad_.removeIf([this](const QString& name) {
        const TSelection* s = FindComponentByName(TreeOrder_, name);
        return !s || !s->Hidden;
    });
    ModelEdits_.Rebase();
    const bool shown = PoseHeld_ || Editing_ || ShowCurrentFrame();
    if (posed)
        *posed = shown;
    emit Changed(ChangeModel | ChangePose);
    return true;
}

QString TEditor::MissingReport() const
{
    if (Setup_.ModelFileName.isEmpty())  // no model to miss anything
        return {};
    return MissingComponentsReport(Anim_.Doc.AnimSelections.Names(), TreeOrder_, TranslationFile);
}

bool TEditor::Applied(TApplyFrameResult result)
{
    switch (result) {
    case TApplyFrameResult::InvalidStep:
        Message(QStringLiteral("Invalid ActAnimStep!"));
        return false;
    case TApplyFrameResult::EntryMissing:
        Message(QStringLiteral("AnimEntry not found!"));
        return false;
    case TApplyFrameResult::Ok:
        break;
    }
    emit Changed(ChangePose);
    return true;
}

bool TEditor::ShowCurrentFrame()
{
    // In pivot mode the model stays at rest until the mode is left.
    if (Anim_.Doc.AnimFrames.empty() || Options_.PivotMode) {
        emit Changed(ChangePose);
        return true;
    }
    return ShowFrame(Anim_.Doc.ActAnimStep);
}

bool TEditor::ShowFrame(int step)
{
    if (Anim_.ShuttingDown())
        return true;
    return Applied(ApplyFrameTransforms(Anim_.Doc, step, TreeOrder_, Pose_));
}

bool TEditor::ShowBlend(double fraction)
{
    const TApplyFrameResult result = ApplyBlendTransforms(Anim_.Doc, Anim_.Doc.ActAnimStep, fraction, TreeOrder_, Pose_);
    return result == TApplyFrameResult::InvalidStep || Applied(result);  // no next frame to blend towards
}

bool TEditor::ShowTime(double t)
{
    const TPlaybackPose pose = PlaybackPoseAt(Anim_.Doc.AnimFrames, t);
    Anim_.SetActStep(pose.Frame);
    Anim_.SetPlayFraction(pose.Fraction);
    return pose.Fraction <= 0 || ShowBlend(pose.Fraction);
}

void TEditor::SetOptions(const TEditorOptions& options)
{
    if (options == Options_)
        return;
    const bool pivotModeChanged = options.PivotMode != Options_.PivotMode;
    Options_ = options;
    if (pivotModeChanged) {
        if (Options_.PivotMode) {  // pivots are placed on the model at rest
            Pose_.ToRest();
        } else if (!PoseHeld_ && !Editing_) {
            ShowCurrentFrame();
        }
    }
    emit Changed(ChangeOptions | (pivotModeChanged ? ChangePose : 0u));
}

void TEditor::SetSelection(const std::vector<int>& nodes, int current)
{
    const TSelection* pivot = current >= 0 && current < Setup_.Forest.Count() ? Setup_.Forest.Component(current) : nullptr;
    if (nodes == Selection_ && pivot == PivotComponent_)
        return;
    Selection_ = nodes;
    PivotComponent_ = pivot;
    emit Changed(ChangeSelection);
}

TPoseParams TEditor::Params() const
{
    TPoseParams p;
    std::copy(Options_.Offset.begin(), Options_.Offset.end(), p.ModelOffset);
    p.TotalMove = Anim_.Doc.TotalMove;
    p.ActAnimStep = Anim_.Doc.ActAnimStep;
    p.PlayFraction = Anim_.PlayFraction();
    p.AnimStepCount = Anim_.Doc.AnimStepCount;
    p.TotalMoveOn = Options_.TotalMove;
    p.AnimationLoaded = !Anim_.Doc.AnimSelections.IsEmpty();
    return p;
}

void TEditor::Pose()
{
    for (TComponentNode& n : Nodes_)
        n.InAnimation = Anim_.IsInAnimation(n.Component->Name);
    UpdateDisplayPoints(Setup_.Models, Nodes_, Cache_, Pose_, Params());
}

void TEditor::DrawViews(const TViewItems& views, const std::array<int, ViewCount>& widthPx,
                        const std::array<int, ViewCount>& heightPx, std::array<TChartRange, ViewCount>& ranges,
                        std::array<bool, ViewCount>& changed) const
{
    ClearViews(views);
    TViewOptions options;
    options.Show = Options_.Show;
    options.AllPolygons = Options_.AllPolygons;
    options.Environment = Options_.Environment;
    options.PivotComponent = Options_.PivotMode ? PivotComponent_ : nullptr;
    options.AutoScale = Options_.AutoScale;
    options.Axes = Options_.Axes;
    TViewAids aids;
    aids.Onion = OnionLayers();
    const TMotionPath path = ShownMotionPath();
    aids.Path = path.IsEmpty() ? nullptr : &path;
    ::DrawViews(Setup_.Models, TreeOrder_, Cache_, Pose_, options, Params(), views, widthPx, heightPx, ranges, changed,
                &Outlines_, &aids);
}

const std::vector<const TOnionLayer*>& TEditor::OnionLayers() const
{
    static const std::vector<const TOnionLayer*> none;
    // Playback and pivot mode pose the model apart from the frames: no neighbours then.
    if (Options_.OnionFrames <= 0 || Anim_.Doc.FrameCount() < 2 || PoseHeld_ || Options_.PivotMode)
        return none;
    return Onion_.Update(Anim_.Doc, Options_.OnionFrames, Setup_.Models, Nodes_, TreeOrder_, Cache_, Params());
}

TMotionPath TEditor::ShownMotionPath() const
{
    const TSelection* c = Options_.MotionPath.isEmpty() ? nullptr : FindComponentByName(TreeOrder_, Options_.MotionPath);
    if (!c || Anim_.Doc.AnimFrames.empty())
        return {};
    // An edit under way moves the current frame's point with it.
    return MotionPath(Anim_.Doc, TreeOrder_, *c, Params(), Editing_ ? &Pose_.Act(c) : nullptr);
}

void TEditor::Build3d(T3dScene& scene, float polygonAlpha, float environmentAlpha) const
{
    T3dSceneOptions o;
    o.AllPolygons = Options_.AllPolygons;
    o.Environment = Options_.Environment;
    o.PolygonAlpha = polygonAlpha;
    o.EnvironmentAlpha = environmentAlpha;
    o.CheckedSelections = Options_.Show == TComponentShow::Checked;
    o.AllSelections = Options_.Show == TComponentShow::All;
    o.PivotComponent = Options_.PivotMode ? PivotComponent_ : nullptr;
    o.Onion = OnionLayers();
    Build3dScene(Setup_.Models, TreeOrder_, Cache_, Pose_, BeingEditedFlags(EditTree()), o, Params(), scene);
}

TExportResult TEditor::Export(const TExportRequest& request) const
{
    return ExportPosedModel(Setup_.Models, TreeOrder_, Pose_, Params(), &Anim_.Doc, request);
}

// ---- Edit mode

TEditTree TEditor::EditTree() const
{
    TEditTree tree;
    tree.Nodes = Nodes_;
    std::vector<int> position(size_t(Setup_.Forest.Count()), -1);
    const std::vector<int> order = Setup_.Forest.TreeIndices();
    for (size_t i = 0; i < order.size() && i < tree.Nodes.size(); ++i) {
        position[size_t(order[i])] = int(i);
        tree.Nodes[i].InAnimation = Anim_.IsInAnimation(tree.Nodes[i].Component->Name);
    }
    for (int node : Selection_)
        if (node >= 0 && node < int(position.size()) && position[size_t(node)] >= 0)
            tree.Selected.push_back(position[size_t(node)]);
    return tree;
}

TEditor::TEditStart TEditor::BeginEdit()
{
    TEditStart start;
    start.Refusal = EditModeRefusal(Anim_.Doc.FrameCount(), int(Setup_.Forest.Children(-1).size()));
    if (start.Refusal)
        return start;
    start.Missing = ResetAllRelChanges(EditTree(), Pose_, Anim_.Doc, Anim_.Doc.ActAnimStep);
    Editing_ = true;
    ShowFrame(Anim_.Doc.ActAnimStep);
    return start;
}

bool TEditor::EditTick(bool rotate, bool relative, double x, double y, double z)
{
    if (!Editing_ || SlidersCentred(x, y, z))
        return false;
    const TEditTree tree = EditTree();
    ::EditTick(tree, Pose_, rotate, x, y, z);
    ApplyEditChanges(tree, Pose_, Options_.Offset.data(), relative);
    emit Changed(ChangePose);
    return true;
}

int TEditor::RestoreEdit(bool relative)
{
    if (!Editing_)
        return 0;
    const TEditTree tree = EditTree();
    const int missing = ResetAllRelChanges(tree, Pose_, Anim_.Doc, Anim_.Doc.ActAnimStep);
    ApplyEditChanges(tree, Pose_, Options_.Offset.data(), relative);
    emit Changed(ChangePose);
    return missing;
}

bool TEditor::ApplyEdit()
{
    if (!Editing_)
        return false;
    const TEditTree tree = EditTree();
    const int step = Anim_.Doc.ActAnimStep;
    if (!Anim_.EditFrame(QStringLiteral("Apply Changes"), step,
                         [this, &tree, step](TAnimDocument& doc) { return WriteEditToFrame(tree, Pose_, doc, step); }))
        return false;
    EndEdit();
    return true;
}

void TEditor::EndEdit()
{
    if (!std::exchange(Editing_, false))
        return;
    if (!Anim_.Doc.AnimFrames.empty())
        ShowFrame(Anim_.Doc.ActAnimStep);
}

void TEditor::RebaseEdit()
{
    if (Editing_)
        RebaseEdits(EditTree(), Pose_);
}

bool TEditor::ResetFrame()
{
    const int step = Anim_.Doc.ActAnimStep;
    return Anim_.EditFrame(QStringLiteral("Reset Frame"), step,
                           [step](TAnimDocument& doc) { return ResetFrameMatrices(doc, step); });
}
