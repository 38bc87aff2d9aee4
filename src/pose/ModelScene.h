#pragma once
// A model with its animation, set up and posed as the editor shows a frame, without any
// window: the model set-up (model, proxies, names, colours, linking), the document
// controller for the animation, the environment, the frame or the instant of playback
// that is shown, the pose, and the items of the three views. The command-line tools and
// the fuzzing run on it; messages the editor would show go to Message.
#include "anim/AnimController.h"
#include "model/Environment.h"
#include "model/ModelSetup.h"
#include "pose/Pose.h"
#include "pose/ViewGeometry.h"

#include <QString>
#include <QStringList>
#include <functional>

class TModelScene {
public:
    TModelScene();

    // Where the editor looks, and what it shows (as the settings file has it).
    QString LinkDataDir;
    QString TranslationFile;
    QString ColorFile;
    double Offset[3] = {0, 0, 0};  // the model offset
    bool TotalMove = true;         // the total-move switch
    bool AutoScale = true;
    bool ShowAxes = true;
    std::function<void(const QString&)> Message = [](const QString&) {};
    // The environment's proxy: an index into the names offered, or -1 for none.
    std::function<int(const QStringList&)> ChooseProxy = [](const QStringList& names) {
        return names.isEmpty() ? -1 : 0;
    };

    // As "Load P3d...": false (message out) when the model could not be read.
    bool LoadModel(const QString& path);
    // As "Load Anim...": the document, components outside the animation hidden and frame 0
    // applied. False (message out) when it could not be read. The report of names the
    // model lacks is not sent: MissingReport() gives it.
    bool LoadAnimation(const QString& path);
    QString MissingReport() const;
    // As "Load Environment P3d..." with ChooseProxy answering the proxy question.
    TEnvironmentLoad LoadEnvironment(const QString& path);
    // The frame shown: false (message out) when it cannot be applied.
    bool ShowFrame(int step);
    // What playback shows t (0 .. 1) of the way through one pass.
    bool ShowTime(double t);

    // Poses every point as the display refresh does.
    void Pose();
    TPoseParams Params() const;
    // The three views' items (front, left, top) of views this many pixels wide and high;
    // ranges[v] is set where changed[v] (auto scale). Pose() first.
    void DrawViews(const TViewItems& views, const std::array<int, ViewCount>& widthPx,
                   const std::array<int, ViewCount>& heightPx, std::array<TChartRange, ViewCount>& ranges,
                   std::array<bool, ViewCount>& changed) const;

    const TModelSetup& Setup() const { return Setup_; }
    const TModelList& Models() const { return Setup_.Models; }
    std::vector<TSelection*> TreeOrder() const { return Setup_.Forest.TreeOrder(); }
    TAnimController& Anim() { return Anim_; }
    const TAnimDocument& Document() const { return Anim_.Doc; }
    const TPoseCache& Cache() const { return Cache_; }

private:
    TModelSetup Setup_;
    TAnimController Anim_;
    TPoseCache Cache_;
};
