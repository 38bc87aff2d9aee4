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
    });
    // Clearing the animation puts the model at rest and shows again what its load hid
    // (what the user hid stays hidden).
    connect(&Anim_, &TAnimController::Cleared, this, [this] {
        for (TSelection* s : TreeOrder_)
            s->ActTransform = TTransform::Identity();
        for (const QString& name : std::exchange(HiddenByLoad_, {}))
            if (TSelection* s = FindComponentByName(TreeOrder_, name))
                s->Hidden = false;
        Setup_.Forest.ComponentsChanged();  // shown again, and no longer animated
        ModelEdits_.Rebase();  // what a load or unload shows is no edit
        emit Changed(ChangePose);
    });
    // Every operation on the document ends here once: the current frame is put on the
    // components unless playback or edit mode poses them.
    connect(&Anim_, &TAnimController::Changed, this, [this] {
        if (!Anim_.Loading() && !PoseHeld_)
            ShowCurrentFrame();
        emit Changed(ChangeDocument);
    });
}

TEditor::~TEditor() { Setup_.Forest.RemoveListener(this); }

void TEditor::ForestAboutToChange(TForestChange) {}

void TEditor::ForestChanged(TForestChange change)
{
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
    Setup_.LinkDataDir = LinkDataDir;
    Setup_.TranslationFile = TranslationFile;
    Setup_.ColorFile = ColorFile;
    Setup_.Message = Message;
    const bool loaded = Setup_.Load(path);
    ModelEdits_.Loaded();
    // The new components start at rest; an open animation poses them at once.
    if (loaded && !PoseHeld_)
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
    const bool shown = PoseHeld_ || ShowCurrentFrame();
    if (posed)
        *posed = shown;
    emit Changed(ChangeModel | ChangePose);
    return true;
}

QString TEditor::MissingReport() const
{
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
    return Applied(ApplyFrameTransforms(Anim_.Doc, step, TreeOrder_));
}

bool TEditor::ShowBlend(double fraction)
{
    const TApplyFrameResult result = ApplyBlendTransforms(Anim_.Doc, Anim_.Doc.ActAnimStep, fraction, TreeOrder_);
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
            for (TSelection* s : TreeOrder_)
                s->ActTransform = TTransform::Identity();
        } else if (!PoseHeld_) {
            ShowCurrentFrame();
        }
    }
    emit Changed(ChangeOptions | (pivotModeChanged ? ChangePose : 0u));
}

void TEditor::SetPivotComponent(const TSelection* component)
{
    if (std::exchange(PivotComponent_, component) != component && Options_.PivotMode)
        emit Changed(ChangeOptions);
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
    UpdateDisplayPoints(Setup_.Models, Nodes_, Cache_, Params());
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
    ::DrawViews(Setup_.Models, TreeOrder_, Cache_, options, Params(), views, widthPx, heightPx, ranges, changed,
                &Outlines_);
}

void TEditor::Build3d(T3dScene& scene, float polygonAlpha, float environmentAlpha,
                      const std::vector<bool>& beingEdited) const
{
    T3dSceneOptions o;
    o.AllPolygons = Options_.AllPolygons;
    o.Environment = Options_.Environment;
    o.PolygonAlpha = polygonAlpha;
    o.EnvironmentAlpha = environmentAlpha;
    o.CheckedSelections = Options_.Show == TComponentShow::Checked;
    o.AllSelections = Options_.Show == TComponentShow::All;
    o.PivotComponent = Options_.PivotMode ? PivotComponent_ : nullptr;
    Build3dScene(Setup_.Models, TreeOrder_, Cache_,
                 beingEdited.empty() ? std::vector<bool>(TreeOrder_.size(), false) : beingEdited, o, Params(), scene);
}
