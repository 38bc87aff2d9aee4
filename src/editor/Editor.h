#pragma once
// One editing session, without a window: the models (main, proxies, environment) with the
// component forest, the document controller of the animation, the pose shown, and the view
// options. The main window owns one and shows it; the command-line tools own one and print
// or render it. Whatever changes, the editor says so once per operation through Changed, and
// that is what the views repaint on. Messages the editor would show go to Message.
#include "anim/AnimController.h"
#include "editor/ModelHistory.h"
#include "model/Environment.h"
#include "model/ModelSetup.h"
#include "pose/EditMath.h"
#include "pose/ModelExport.h"
#include "pose/Pose.h"
#include "pose/View3dGeometry.h"
#include "pose/ViewGeometry.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>

// What a Changed signal reports; several may come together.
enum TEditorChange : unsigned {
    ChangeDocument = 1,  // the frames, the names, the total move or the current frame
    ChangeModel = 2,     // models, hierarchy, pivots, names, colours, hidden components
    ChangePose = 4,      // the components' transforms (a frame, a blend, an edit)
    ChangeOptions = 8,   // what the views show and how
    ChangeSelection = 16,  // the components selected in the tree
};

// How the session is shown, apart from the document.
struct TEditorOptions {
    std::array<double, 3> Offset{0, 0, 0};  // the model offset
    bool TotalMove = true;                  // the total-move switch
    bool PivotMode = false;                 // pivots are placed on the model at rest
    TComponentShow Show = TComponentShow::Checked;
    bool AllPolygons = false;
    bool Environment = false;
    bool AutoScale = true;
    bool Axes = true;
    // The onion skin: this many frames before and after the current one (0: off, at most
    // MaxOnionFrames), drawn under the pose in the 2D and 3D views, except while playback
    // or pivot mode poses the model.
    int OnionFrames = 0;
    // The component (by Name) whose motion path the 2D views show; empty: none.
    QString MotionPath;
    bool operator==(const TEditorOptions&) const = default;
};

class TEditor : public QObject, private TForestListener {
    Q_OBJECT
public:
    explicit TEditor(QObject* parent = nullptr);
    ~TEditor() override;

    // Where the editor looks (as the settings file has it).
    QString LinkDataDir;
    QString TranslationFile;
    QString ColorFile;
    std::function<void(const QString&)> Message = [](const QString&) {};
    // The environment's proxy: an index into the names offered, or -1 for none.
    std::function<int(const QStringList&)> ChooseProxy = [](const QStringList& names) {
        return names.isEmpty() ? -1 : 0;
    };

    // ---- Models
    // As "Load P3d...": the main model with its proxies, names, colours and linking; the
    // models before are gone also when this one cannot be read (false, message out).
    bool LoadModel(const QString& path);
    void ClearModel();
    // As "Load Environment P3d..." with ChooseProxy answering the proxy question; a load
    // switches the environment on.
    TEnvironmentLoad LoadEnvironment(const QString& path);
    // The component hierarchy. Its operations (link, move up, hide, sort) are how the
    // hierarchy and the components' marks change; the editor hears of each and reports it.
    TComponentForest& Forest() { return Setup_.Forest; }
    const TComponentForest& Forest() const { return Setup_.Forest; }
    // After an edit of a component the forest does not show (a pivot).
    void ModelEdited() { emit Changed(ChangeModel); }
    // The model's edits as undo steps, and its unsaved files.
    TModelHistory& ModelEdits() { return ModelEdits_; }
    const TModelHistory& ModelEdits() const { return ModelEdits_; }

    // ---- The animation
    // As "Load Anim...": the document, components outside the animation hidden and frame 0
    // shown. False (message out) when it could not be read; posed tells whether frame 0
    // could be put on the components (else its message is out too). The report of names
    // the model lacks is not sent: MissingReport() gives it (empty without a model).
    bool LoadAnimation(const QString& path, bool* posed = nullptr);
    QString MissingReport() const;

    // ---- The pose
    // The current frame applied to the components (the rest pose in pivot mode, or without
    // frames); false (message out) when it cannot be applied.
    bool ShowCurrentFrame();
    // The frame shown: false (message out) when it cannot be applied.
    bool ShowFrame(int step);
    // The current frame blended fraction of the way towards the next, as playback shows it.
    bool ShowBlend(double fraction);
    // What playback shows t (0 .. 1) of the way through one pass, every drawing step taking
    // no time.
    bool ShowTime(double t);
    // While playback poses the components (as edit mode does), a document change does not
    // put the current frame back on them.
    void HoldPose(bool held) { PoseHeld_ = held; }
    // How each component is posed, numbered as the forest's nodes.
    const TPose& ComponentPoses() const { return Pose_; }

    // ---- The components selected in the tree, as forest nodes in the selection's order,
    // and the one the tree holds current (-1: none): the selection is what an edit moves,
    // the current one is the component whose pivot pivot mode places.
    void SetSelection(const std::vector<int>& nodes, int current);
    const std::vector<int>& Selection() const { return Selection_; }

    // ---- Edit mode: turning and moving the selected components of the current frame,
    // each with its subtree.
    TEditTree EditTree() const;
    struct TEditStart {
        const char* Refusal = nullptr;  // "Edit Frame" refused: nothing changed
        int Missing = 0;                // animated components without an entry in the frame
    };
    // "Edit Frame": every component's edit starts from the current frame, which is shown.
    TEditStart BeginEdit();
    bool Editing() const { return Editing_; }
    // One tick of the sliders (each -10 .. 10): rotate or move, about the selected
    // component's pivot (relative) or the model origin. False when nothing changed.
    bool EditTick(bool rotate, bool relative, double x, double y, double z);
    // "Restore": the edited components back to the stored frame; returns how many animated
    // components had no entry in it.
    int RestoreEdit(bool relative);
    // "Apply Changes": the edit written into the current frame as one undoable step, and
    // edit mode ends. False (still editing, the frame unchanged) when a component the frame
    // names is not in the tree.
    bool ApplyEdit();
    // "Cancel Changes", or edit mode ended otherwise: the stored frame is shown again.
    void EndEdit();
    // A press in the tree during an edit: the edit goes on from where the components are.
    void RebaseEdit();
    // "Reset Frame": the current frame's entries become the identity, one undoable step.
    // False when there are no frames.
    bool ResetFrame();

    // ---- What is shown
    const TEditorOptions& Options() const { return Options_; }
    void SetOptions(const TEditorOptions& options);

    // Poses every point as the display refresh does.
    void Pose();
    TPoseParams Params() const;
    // The three views' items (front, left, top) of views this many pixels wide and high;
    // ranges[v] is set where changed[v] (auto scale). Pose() first.
    void DrawViews(const TViewItems& views, const std::array<int, ViewCount>& widthPx,
                   const std::array<int, ViewCount>& heightPx, std::array<TChartRange, ViewCount>& ranges,
                   std::array<bool, ViewCount>& changed) const;

    // The 3D view's scene of the pose, the shells drawn with these alphas; the selected
    // components with their subtrees (what an edit moves) stand out.
    void Build3d(T3dScene& scene, float polygonAlpha, float environmentAlpha) const;
    // Writes what the views show to a file (Pose() first).
    TExportResult Export(const TExportRequest& request) const;

    const TModelSetup& Setup() const { return Setup_; }
    TModelList& Models() { return Setup_.Models; }
    const TModelList& Models() const { return Setup_.Models; }
    const QString& ModelFileName() const { return Setup_.ModelFileName; }
    const std::vector<TSelection*>& TreeOrder() const { return TreeOrder_; }
    TAnimController& Anim() { return Anim_; }
    const TAnimController& Anim() const { return Anim_; }
    const TAnimDocument& Document() const { return Anim_.Doc; }
    const TPoseCache& Cache() const { return Cache_; }
    // Bytes the views' edge lists kept between drawings hold.
    size_t OutlineCacheBytes() const { return Outlines_.HeldBytes(); }
    // The onion skin's frames as the views draw them now (posed on demand), and the motion
    // path; empty when the options show none.
    const std::vector<const TOnionLayer*>& OnionLayers() const;
    TMotionPath ShownMotionPath() const;
    const TOnionSkin& OnionSkin() const { return Onion_; }

signals:
    // Once at the end of every operation that changed what is shown (TEditorChange flags).
    void Changed(unsigned what);

private:
    void ForestAboutToChange(TForestChange change) override;
    void ForestChanged(TForestChange change) override;
    void ForestGone() override;
    void HierarchyChanged();
    bool Applied(TApplyFrameResult result);
    TModelSetup Setup_;
    TAnimController Anim_;
    TModelHistory ModelEdits_{Setup_.Forest, Anim_};
    TPoseCache Cache_;
    TPose Pose_;
    // The views' edge lists: made by the first drawing after a change of the models, the
    // hierarchy or the options, which every Changed with ChangeModel or ChangeOptions says.
    mutable TViewOutlineCache Outlines_;
    // The onion skin's posed frames: kept while only the current pose changes (an edit tick).
    mutable TOnionSkin Onion_;
    std::vector<TSelection*> TreeOrder_;
    TComponentNodes Nodes_;  // the forest's nodes in tree order, as the pose walks them
    TEditorOptions Options_;
    const TSelection* PivotComponent_ = nullptr;
    std::vector<int> Selection_;
    bool PoseHeld_ = false;
    bool Editing_ = false;
    // Components the last animation load hid; clearing the animation shows them again.
    QStringList HiddenByLoad_;
};
