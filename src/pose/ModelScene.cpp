#include "pose/ModelScene.h"
#include "anim/Playback.h"

TModelScene::TModelScene()
{
    // The view's outlines of a model shown under an animation come from its frame.
    QObject::connect(&Anim_, &TAnimController::ActStepChanged, &Anim_, [this](int step) { ShowFrame(step); });
}

bool TModelScene::LoadModel(const QString& path)
{
    Setup_.LinkDataDir = LinkDataDir;
    Setup_.TranslationFile = TranslationFile;
    Setup_.ColorFile = ColorFile;
    Setup_.Message = Message;
    const bool loaded = Setup_.Load(path);
    Cache_.Rebuild(TreeOrder());
    return loaded;
}

bool TModelScene::LoadAnimation(const QString& path)
{
    if (const QString error = Anim_.LoadAnimation(path); !error.isEmpty()) {
        Message(error);
        return false;
    }
    if (Anim_.Doc.AnimFrames.empty())
        return true;
    ShowAnimatedOnly(TreeOrder(), Anim_.Doc.AnimSelections);
    return ShowFrame(Anim_.Doc.ActAnimStep);
}

QString TModelScene::MissingReport() const
{
    return MissingComponentsReport(Anim_.Doc.AnimSelections.Names(), TreeOrder(), TranslationFile);
}

TEnvironmentLoad TModelScene::LoadEnvironment(const QString& path)
{
    return LoadEnvironmentModel(Setup_.Models, !Setup_.ModelFileName.isEmpty(), path, ChooseProxy, Message);
}

bool TModelScene::ShowFrame(int step)
{
    switch (ApplyFrameTransforms(Anim_.Doc, step, TreeOrder())) {
    case TApplyFrameResult::InvalidStep:
        Message(QStringLiteral("Invalid ActAnimStep!"));
        return false;
    case TApplyFrameResult::EntryMissing:
        Message(QStringLiteral("AnimEntry not found!"));
        return false;
    case TApplyFrameResult::Ok:
        break;
    }
    return true;
}

bool TModelScene::ShowTime(double t)
{
    // As playback shows it that far through one pass, every drawing step taking no time.
    const TPlaybackPose pose = PlaybackPoseAt(Anim_.Doc.AnimFrames, t);
    Anim_.SetActStep(pose.Frame);
    Anim_.Doc.PlayFraction = pose.Fraction;
    if (pose.Fraction <= 0)
        return true;
    if (ApplyBlendTransforms(Anim_.Doc, Anim_.Doc.ActAnimStep, pose.Fraction, TreeOrder()) ==
        TApplyFrameResult::EntryMissing) {
        Message(QStringLiteral("AnimEntry not found!"));
        return false;
    }
    return true;
}

TPoseParams TModelScene::Params() const
{
    TPoseParams p;
    std::copy(Offset, Offset + 3, p.ModelOffset);
    p.TotalMove = Anim_.Doc.TotalMove;
    p.ActAnimStep = Anim_.Doc.ActAnimStep;
    p.PlayFraction = Anim_.Doc.PlayFraction;
    p.AnimStepCount = Anim_.Doc.AnimStepCount;
    p.TotalMoveOn = TotalMove;
    p.AnimationLoaded = !Anim_.Doc.AnimSelections.IsEmpty();
    return p;
}

void TModelScene::Pose()
{
    TComponentNodes nodes = Setup_.Forest.Nodes();
    for (TComponentNode& n : nodes)
        n.InAnimation = Anim_.IsInAnimation(n.Component->Name);
    UpdateDisplayPoints(Setup_.Models, nodes, Cache_, Params());
}

void TModelScene::DrawViews(const TViewItems& views, const std::array<int, ViewCount>& widthPx,
                            const std::array<int, ViewCount>& heightPx, std::array<TChartRange, ViewCount>& ranges,
                            std::array<bool, ViewCount>& changed) const
{
    ClearViews(views);
    TViewOptions options;
    options.AutoScale = AutoScale;
    options.Axes = ShowAxes;
    options.Environment = FindEnvironment(Setup_.Models) != nullptr;  // a load switches it on
    ::DrawViews(Setup_.Models, TreeOrder(), Cache_, options, Params(), views, widthPx, heightPx, ranges, changed);
}
