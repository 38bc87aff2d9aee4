#include "editor/Editor.h"
#include "anim/Playback.h"
#include "platform/FileUtil.h"

#include <QFileInfo>

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
    Anim_.Recorded = [this](TAnimStep step) { Recorded(std::move(step)); };
    connect(&History_, &TCommandStack::StateChanged, this, &TEditor::UndoStateChanged);
    // Emptied outside any step (an unload, a load): the model goes back to rest and shows
    // again what the animation's load hid (what the user hid stays hidden), and what was
    // recorded no longer applies.
    connect(&Anim_, &TAnimController::Cleared, this, [this] {
        Pose_.ToRest();
        ShowWhatTheLoadHid();
        NewHistory(FileAnimation);
        emit Changed(ChangePose);
    });
    connect(&Anim_, &TAnimController::Saved, this, [this] {
        History_.MarkSaved(FileAnimation);
        if (!Anim_.Doc.AnimFileName.isEmpty())
            emit FileUsed(Anim_.Doc.AnimFileName);
        // The document's file name may be another now (a save under another name).
        emit Changed(ChangeDocument);
    });
    connect(&Anim_, &TAnimController::AboutToChange, this, [this](TAnimChange change) { LeaveEdit(change); });
    // Every operation on the document ends here once: the current frame is put on the
    // components unless playback or edit mode poses them.
    connect(&Anim_, &TAnimController::Changed, this, [this] {
        if (RestartEdit_)
            RestartEdit();
        else if (!Anim_.Loading() && !PoseHeld_ && !Editing_)
            ShowCurrentFrame();
        // Other names mark other components in the tree, even where none is hidden or shown.
        const QStringList names = std::exchange(AnimNames_, Anim_.Doc.AnimSelections.Names());
        emit Changed(names == AnimNames_ ? ChangeDocument : ChangeDocument | ChangeModel);
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

// ---- The history

TEditor::TRecording::TRecording(TEditor& editor, const QString& name, const QString& mergeKey) : E_(editor), Outer_(!editor.Open_)
{
    if (Outer_)
        E_.Open_ = std::make_unique<TEditorStep>(E_.Target(), name, mergeKey);
}

TEditor::TRecording::~TRecording()
{
    if (!Outer_)
        return;
    std::unique_ptr<TEditorStep> step = std::move(E_.Open_);
    if (!step->Empty())
        E_.History_.Push(std::move(step));
}

TEditorStep::TTarget TEditor::Target() { return {Anim_, Setup_.Forest, HiddenByLoad_}; }

void TEditor::Recorded(TAnimStep step)
{
    if (Open_) {
        Open_->AddAnim(std::move(step));
        return;
    }
    auto own = std::make_unique<TEditorStep>(Target(), step.Name, step.MergeKey);
    own->AddAnim(std::move(step));
    History_.Push(std::move(own));
}

bool TEditor::RecordModel(const std::vector<int>& nodes, const std::function<void()>& edit)
{
    const TModelRecorder recorder(Setup_.Forest, nodes);
    edit();
    const TModelChange change = recorder.Finish();
    if (change.Empty())
        return false;
    if (Open_)
        Open_->AddModel(change);
    // The hierarchy tells its views itself; what the components show is told here.
    if (change.Kinds & (EditNames | EditColors | EditHidden))
        Setup_.Forest.ComponentsChanged();
    emit Changed(ChangeModel);
    return true;
}

bool TEditor::EditModel(const QString& name, const std::vector<int>& nodes, const std::function<void()>& edit,
                        const QString& mergeKey)
{
    const TRecording step(*this, name, mergeKey);
    return RecordModel(nodes, edit);
}

void TEditor::SetHiddenByLoad(QStringList list)
{
    if (Open_)
        Open_->AddHiddenByLoad(HiddenByLoad_);
    HiddenByLoad_ = std::move(list);
}

void TEditor::NewHistory(unsigned saved)
{
    History_.Clear();
    if (saved)
        History_.MarkSaved(saved);
}

void TEditor::SetActivity(unsigned activity, bool on)
{
    const unsigned now = on ? Activity_ | activity : Activity_ & ~activity;
    if (std::exchange(Activity_, now) != now)
        emit UndoStateChanged();
}

bool TEditor::Undo()
{
    if (!UndoOffered())
        return false;
    Anim_.CommitRetime();
    return History_.Undo();
}

bool TEditor::Redo()
{
    if (!UndoOffered() || Anim_.RetimePending())
        return false;
    return History_.Redo();
}

void TEditor::SetHistoryLimits(int steps, size_t bytes) { History_.SetLimits(steps, bytes); }

bool TEditor::AnimationUnsaved() const { return !Anim_.Doc.AnimFrames.empty() && History_.IsModified(FileAnimation); }

unsigned TEditor::ModelUnsaved() const
{
    unsigned files = 0;
    for (const unsigned file : {FileLinking, FileNames, FileColors})
        if (History_.IsModified(file))
            files |= file;
    return files;
}

// ---- Models

bool TEditor::Run(const TLongTask& task) const
{
    ++Running_;
    const bool done = RunLong(task);
    --Running_;
    return done;
}

bool TEditor::LoadModel(const QString& path, bool* cancelled)
{
    // Read apart from what is shown; its messages are said once it is in place of the
    // models before, as a load in place would have said them.
    TModelSetup read;
    read.LinkDataDir = LinkDataDir;
    read.TranslationFile = TranslationFile;
    read.ColorFile = ColorFile;
    read.NameFiles = NameFiles;
    QStringList messages;
    read.Message = [&messages](const QString& text) { messages << text; };
    bool loaded = false;
    const TLongTask task{QStringLiteral("Loading %1...").arg(FileNamePart(path)), QFileInfo(ResolveCaseInsensitive(path)).size(),
                         [&](TProgress* progress) {
                             read.Progress = progress;
                             loaded = read.Load(path);
                             return !Cancelled(progress);
                         }};
    if (!Run(task)) {
        if (cancelled)
            *cancelled = true;
        return false;
    }
    LeaveEdit(TAnimChange::Document);
    HiddenByLoad_.clear();
    PivotComponent_ = nullptr;
    Selection_.clear();
    Setup_.LinkDataDir = LinkDataDir;
    Setup_.TranslationFile = TranslationFile;
    Setup_.ColorFile = ColorFile;
    Setup_.Message = Message;
    Setup_.NameFiles = NameFiles;
    Setup_.Load(QString());  // the views let go of the components before their models go
    for (const QString& text : messages)
        Message(text);
    Setup_.Take(std::move(read));
    // Steps point at the components that went: a new history, in which the animation
    // stays as modified as it was and the model's files hold what is shown.
    NewHistory(ModelFiles);
    // The new components start at rest; an open animation poses them at once.
    if (loaded && !PoseHeld_ && !Editing_)
        ShowCurrentFrame();
    emit Changed(ChangeModel | ChangePose);
    if (loaded)
        emit FileUsed(path);
    return loaded;
}

void TEditor::ClearModel()
{
    if (Setup_.Models.empty() && Setup_.ModelFileName.isEmpty())
        return;
    LeaveEdit(TAnimChange::Document);
    HiddenByLoad_.clear();
    PivotComponent_ = nullptr;
    Selection_.clear();
    Setup_.Load(QString());
    NewHistory(ModelFiles);
    emit Changed(ChangeModel | ChangePose);
}

TEnvironmentLoad TEditor::LoadEnvironment(const QString& path, bool* cancelled)
{
    bool removedOld = false;
    const TEnvironmentLoad result = LoadEnvironmentModel(Setup_.Models, !Setup_.ModelFileName.isEmpty(), path, ChooseProxy,
                                                         Message, &removedOld,
                                                         [this](const TLongTask& task) { return Run(task); });
    if (cancelled)
        *cancelled = result == TEnvironmentLoad::Cancelled;
    if (result == TEnvironmentLoad::Loaded || result == TEnvironmentLoad::NoOffset) {
        Options_.Environment = true;
        emit Changed(ChangeModel | ChangeOptions);
    } else if (removedOld) {  // the environment shown before is gone without one in its place
        emit Changed(ChangeModel);
    }
    return result;
}

bool TEditor::LoadAnimation(const QString& path, bool* posed, bool* cancelled)
{
    bool stopped = false;
    const QString error = Anim_.LoadAnimation(
        path, [this](const TLongTask& task) { return Run(task); }, &stopped);
    if (stopped) {
        if (cancelled)
            *cancelled = true;
        return false;
    }
    if (!error.isEmpty()) {
        Message(error);
        return false;
    }
    if (posed)
        *posed = true;
    if (Anim_.Doc.AnimFrames.empty())
        return true;
    HideNotAnimated();  // what a load shows is no step
    ShowNotHidden();
    const bool shown = PoseHeld_ || Editing_ || ShowCurrentFrame();
    if (posed)
        *posed = shown;
    emit Changed(ChangeModel | ChangePose);
    return true;
}

QString TEditor::SaveAnimation(const QString& path, bool* cancelled)
{
    return Anim_.SaveAnimation(
        path, [this](const TLongTask& task) { return Run(task); }, cancelled);
}

QString TEditor::MissingReport() const
{
    if (Setup_.ModelFileName.isEmpty())  // no model to miss anything
        return {};
    return MissingComponentsReport(Anim_.Doc.AnimSelections.Names(), TreeOrder_, TranslationFile);
}

void TEditor::HideNotAnimated()
{
    // Only the animated components are shown; the ones this hides come back when the
    // animation is cleared.
    QStringList hidden;
    for (const TSelection* s : TreeOrder_)
        if (!s->Hidden)
            hidden << s->Name;
    RecordModel({}, [this] { ::ShowAnimatedOnly(Setup_.Forest.MutableTreeOrder(), Anim_.Doc.AnimSelections); });
    // Looked up in one pass: a model may have tens of thousands of components.
    const std::vector<const TSelection*> found = FindComponentsByName(TreeOrder_, hidden);
    QStringList stillHidden;
    for (size_t i = 0; i < found.size(); ++i)
        if (found[i] && found[i]->Hidden)
            stillHidden << hidden[qsizetype(i)];
    SetHiddenByLoad(stillHidden);
}

void TEditor::ShowWhatTheLoadHid()
{
    const QStringList names = HiddenByLoad_;
    RecordModel({}, [this, &names] {
        for (TSelection* s : FindComponentsByName(Setup_.Forest.MutableTreeOrder(), names))
            if (s)
                s->Hidden = false;
    });
    SetHiddenByLoad({});
}

void TEditor::StartNewAnimation()
{
    LeaveEdit(TAnimChange::Document);
    const TRecording step(*this, QString::fromLatin1(TAnimController::NewAnimationKey),
                          QString::fromLatin1(TAnimController::NewAnimationKey));
    Anim_.ClearForNewAnimation();
    ShowWhatTheLoadHid();
}

QString TEditor::CreateNewAnimation(const QStringList& names)
{
    LeaveEdit(TAnimChange::Document);
    QString refusal;
    {
        const TRecording step(*this, QString::fromLatin1(TAnimController::NewAnimationKey),
                              QString::fromLatin1(TAnimController::NewAnimationKey));
        refusal = Anim_.CreateNewAnimation(names);
        if (refusal.isEmpty())
            HideNotAnimated();
    }
    // The new animation is complete: the next one is a step of its own.
    if (refusal.isEmpty()) {
        History_.CloseMerge();
        ShowNotHidden();
    }
    return refusal;
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
    if (Editing_)  // the pose is the edit's
        return true;
    // In pivot mode the model stays at rest until the mode is left; without frames it is
    // at rest.
    if (Anim_.Doc.AnimFrames.empty() || Options_.PivotMode) {
        Pose_.ToRest();
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
    if (Editing_)  // the pose is the edit's
        return true;
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

bool TEditorOptions::SameDrawing(const TEditorOptions& other) const
{
    TEditorOptions drawing = other;
    drawing.Grid = Grid;
    drawing.Lighting = Lighting;
    drawing.Transparent3d = Transparent3d;
    drawing.Grid3d = Grid3d;
    drawing.PolygonAlpha = PolygonAlpha;
    drawing.EnvironmentAlpha = EnvironmentAlpha;
    return drawing == *this;
}

void TEditor::EditOptions(const std::function<void(TEditorOptions&)>& change)
{
    TEditorOptions options = Options_;
    change(options);
    SetOptions(options);
}

void TEditor::SetOptions(const TEditorOptions& options)
{
    if (options == Options_)
        return;
    if (options.SameDrawing(Options_)) {  // no outline or pose changes
        Options_ = options;
        emit Changed(ChangeLook);
        return;
    }
    // Pivots are placed on the model at rest; an open edit keeps its pose, which is what
    // Apply writes.
    const bool pivotModeChanged = options.PivotMode != Options_.PivotMode && !Editing_;
    Options_ = options;
    if (Options_.OnionFrames > 0)
        OnionCount_ = Options_.OnionFrames;
    if (pivotModeChanged) {
        if (Options_.PivotMode)
            Pose_.ToRest();
        else if (!PoseHeld_)
            ShowCurrentFrame();
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
    // Nothing can have changed them, and long work may be reading them.
    if (Running_)
        return;
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
    const TSelection* c = !Options_.MotionPath.isEmpty() ? FindComponentByName(TreeOrder_, Options_.MotionPath)
                          : Options_.PathOfCurrent       ? PivotComponent_
                                                         : nullptr;
    if (!c || Anim_.Doc.AnimFrames.empty())
        return {};
    // An edit under way moves the current frame's point with it.
    return MotionPath(Anim_.Doc, TreeOrder_, *c, Params(), Editing_ ? &Pose_.Act(c) : nullptr);
}

void TEditor::Build3d(T3dScene& scene) const
{
    T3dSceneOptions o;
    o.AllPolygons = Options_.AllPolygons;
    o.Environment = Options_.Environment;
    o.PolygonAlpha = Options_.PolygonAlpha;
    o.EnvironmentAlpha = Options_.EnvironmentAlpha;
    o.CheckedSelections = Options_.Show == TComponentShow::Checked;
    o.AllSelections = Options_.Show == TComponentShow::All;
    o.PivotComponent = Options_.PivotMode ? PivotComponent_ : nullptr;
    o.Onion = OnionLayers();
    Build3dScene(Setup_.Models, TreeOrder_, Cache_, Pose_, BeingEditedFlags(EditTree()), o, Params(), scene);
}

TExportResult TEditor::Export(const TExportRequest& request) const
{
    TExportResult result;
    TExportRequest r = request;
    r.Members = &Cache_;
    const TPoseParams params = Params();
    const TLongTask task{QStringLiteral("Exporting..."), ExportBytesEstimate(Setup_.Models, &Anim_.Doc, r),
                         [&](TProgress* progress) {
                             r.Progress = progress;
                             result = ExportPosedModel(Setup_.Models, TreeOrder_, Pose_, params, &Anim_.Doc, r);
                             return !result.Cancelled;
                         }};
    result.Cancelled = !Run(task);
    return result;
}
