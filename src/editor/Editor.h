#pragma once
// One editing session, without a window: the models (main, proxies, environment) with the
// component forest, the document controller of the animation, the pose shown, the view
// options, and the history of everything done (History). The main window owns one and
// shows it; the command-line tools own one and print or render it. Whatever changes, the
// editor says so once per operation through Changed, and that is what the views repaint
// on. Messages the editor would show go to Message, its questions to Ask.
//
// Every change of the animation or of the model is an operation that records one step
// (TEditorStep) on the history: the animation's operations are the controller's, which
// hands each recorded step over; the model's are below. Nothing else writes a component's
// parent, pivot, name, colour or hidden mark.
#include "anim/AnimController.h"
#include "editor/CommandStack.h"
#include "editor/EditorOptions.h"
#include "editor/EditorStep.h"
#include "model/Environment.h"
#include "model/ModelSetup.h"
#include "pose/EditMath.h"
#include "pose/GltfImport.h"
#include "pose/ModelExport.h"
#include "pose/Pose.h"
#include "pose/View3dGeometry.h"
#include "pose/ViewGeometry.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <utility>

struct TRecoveryModelEdits;

// What a Changed signal reports; several may come together.
enum TEditorChange : unsigned {
    ChangeDocument = 1,  // the frames, the names, the total move, the current frame or the file name
    ChangeModel = 2,  // models, hierarchy, pivots, names, colours, hidden components
    ChangePose = 4,  // the components' transforms (a frame, a blend, an edit)
    ChangeOptions = 8,  // what the views show and how
    ChangeSelection = 16,  // the components selected in the tree
    ChangeEditMode = 32,  // edit mode began or ended
    ChangeLook = 64,  // only how the views draw (TEditorOptions::SameDrawing)
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
    // The model set-up's reader messages name their file (TModelSetup::NameFiles).
    bool NameFiles = false;
    // A question answered Yes (true) or No.
    std::function<bool(const QString&)> Ask = [](const QString&) { return false; };
    // The environment's proxy: an index into the names offered, or -1 for none.
    std::function<int(const QStringList&)> ChooseProxy = [](const QStringList& names) { return names.isEmpty() ? -1 : 0; };
    // Runs the long part of a load, a save or an export: reading or writing the file apart
    // from what is shown (platform/Progress.h). The window runs it on a worker thread while
    // it keeps painting, and lets the user cancel it; a cancelled operation changes nothing.
    // Meanwhile nothing may change the session: the window lets no input through and
    // holds its timers, and Pose() leaves the points alone.
    TLongRun RunLong = RunInPlace;

    // ---- Models
    // As "Load P3d...": the main model with its proxies, names, colours and linking; the
    // models before are gone also when this one cannot be read (false, message out). The
    // reading goes through RunLong; cancelled (false, *cancelled set) it changed nothing.
    bool LoadModel(const QString& path, bool* cancelled = nullptr);
    void ClearModel();
    // As "Load Environment P3d..." with ChooseProxy answering the proxy question; a load
    // switches the environment on. The reading goes through RunLong (before and after the
    // question); cancelled (Cancelled, *cancelled set) it changed nothing.
    TEnvironmentLoad LoadEnvironment(const QString& path, bool* cancelled = nullptr);
    // The component hierarchy, changed only by the operations below.
    const TComponentForest& Forest() const { return Setup_.Forest; }

    // ---- The model's edits, one step each; false when nothing changed. Nodes are the
    // forest's.
    bool SetColor(int node, uint32_t color);
    bool Rename(int node, const QString& displayName);
    // A pivot placed again and again while a drag lasts is one step, until CloseStep().
    bool SetPivot(int node, const std::array<float, 3>& pivot);
    // A drop: node with its subtree becomes the last child of parent (refused onto itself
    // or its own subtree).
    bool Link(int node, int parent);
    // "Move one level up".
    bool MoveUp(int node);
    // The node's component and its whole subtree.
    bool SetHidden(int node, bool hidden);
    // These three, and an animation loaded or made, also have the views show the
    // components that are not hidden ("Selected Components"), which is what they set up.
    bool ShowAll();
    bool HideAll();
    // Hides every component the animation does not animate (no animation: nothing).
    bool ShowAnimatedOnly();
    // A translation (colour) file selected: it becomes TranslationFile (ColorFile) and its
    // names (colours) are applied to every component.
    bool ApplyNamesFile(const QString& path);
    bool ApplyColorsFile(const QString& path);
    // "Load Pivots and Linking...": the .lpv file of fileName's name in LinkDataDir applied
    // over the hierarchy. False when there is no such file. expand, when given, says per
    // node whether it received a child.
    bool LoadLinking(const QString& fileName, std::vector<bool>* expand = nullptr);
    // The model's own files written from what is shown: "" or the message of the failure.
    // The .lpv file goes to LinkDataDir, made when missing.
    QString SaveLinking();
    // The .lpv file SaveLinking writes; empty without a model.
    QString LinkingFile() const;
    // Whether SaveLinking would write over changes made on disk since the model's load,
    // LoadLinking or SaveLinking last read or wrote that file: another editor or program
    // wrote, replaced, touched or made it. Gone, it is simply written again.
    bool LinkingChangedOnDisk() const;
    QString SaveNames(const QString& path);
    QString SaveColors(const QString& path);
    // What the model's own file of one kind (FileLinking, FileNames or FileColors) would
    // hold of what is shown, written anew: the bytes a recovery copy keeps.
    QByteArray ModelFileBytes(TEditorFile file) const;

    // ---- The animation
    // As "Load Anim...": the document, components outside the animation hidden and frame 0
    // shown. False (message out) when it could not be read; posed tells whether frame 0
    // could be put on the components (else its message is out too). The report of names
    // the model lacks is not sent: MissingReport() gives it (empty without a model). The
    // reading goes through RunLong; cancelled (false, *cancelled set) it changed nothing.
    bool LoadAnimation(const QString& path, bool* posed = nullptr, bool* cancelled = nullptr);
    // "Save Anim As..." once the file is chosen: the controller's save through RunLong.
    QString SaveAnimation(const QString& path, bool* cancelled = nullptr);
    QString MissingReport() const;
    // "New Animation...": the document is emptied when the button is pressed, and the
    // animation of the chosen components (CreateNewAnimation, "Nothing selected!" for none)
    // takes its place; the components it does not animate are hidden, as after a load. The
    // two are one step: its undo gives back the animation before, with what was hidden.
    void StartNewAnimation();
    QString CreateNewAnimation(const QStringList& names);
    // A whole animation from elsewhere in place of the document, as one step ("Recover",
    // "Import glTF Animation"): what the animation before had hidden shows again, what
    // this one does not animate is hidden, frame 0 is current. Its undo gives back the
    // document before with what it hid; the file name is doc's (empty: never saved), and
    // the work is unsaved until it is saved.
    void ReplaceAnimation(const QString& stepName, TAnimDocument doc);
    // "Recover": a copy of unsaved work put back as one step: its animation (when doc has
    // frames) as ReplaceAnimation puts it, and the model's edits it holds (as
    // ModelFileBytes gave them) over the components, which leaves the files of what they
    // changed unsaved, as the edits had. Neither those files nor the settings' names of
    // them (TranslationFile, ColorFile) are touched. fileStamp is doc's file as the editor
    // that made the copy last read or wrote it: a save over it asks when it changed since.
    void Recover(TAnimDocument doc, const TRecoveryModelEdits& model, const TFileStamp& fileStamp = {});
    // "Import glTF Animation...": the file's animation of the model's components
    // (pose/GltfImport.h), read through RunLong, then through ReplaceAnimation. When it
    // cannot be read, Error says why (naming the file) and nothing changed; the warnings
    // name the file too. The result's Document is handed on, empty. Cancelled (*cancelled
    // set) it changed nothing either.
    TGltfImport ImportGltf(const QString& path, TGltfImportOptions options = {}, bool* cancelled = nullptr);

    // ---- The history of both
    const TCommandStack& History() const { return History_; }
    // What the user is in the middle of, as the window tells it (several at once).
    enum TActivity : unsigned {
        ActivityPlaying = 1,  // playback runs (the Play button is down)
        ActivityCell = 2,  // a time cell is open for typing
        ActivityDrag = 4,  // a drag that changes frames is under way
    };
    void SetActivity(unsigned activity, bool on);
    // Undo and redo are offered except while playing, editing, a cell is open or a drag is
    // under way: each would change the frames under what is going on. UndoStateChanged
    // says when this, what can be undone or redone, or the unsaved files may have changed.
    bool UndoOffered() const { return !Editing_ && Activity_ == 0; }
    // False when there is nothing to undo (redo) or it is not offered; a time still being
    // typed into a cell becomes its step first (undo) or keeps redo waiting.
    bool Undo();
    bool Redo();
    // The gesture whose steps merge into one (a drag, typing) has ended.
    void CloseStep() { History_.CloseMerge(); }
    void SetHistoryLimits(int steps, size_t bytes);
    // The animation has frames that differ from its file.
    bool AnimationUnsaved() const;
    // The model's files (TEditorFile flags) that differ from what is shown.
    unsigned ModelUnsaved() const;

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
    // each with its subtree. An edit belongs to the frame it started on. Whatever would
    // change that frame's place, the frames or the model under it ends the edit first; an
    // edit whose sliders changed something is offered to its frame then ("Apply the
    // changes to frame N?": Yes writes them as a step, No drops them). Only a change of
    // the current frame (playback reaching a frame, a frame picked) lets the edit go on:
    // it starts afresh on the new frame.
    TEditTree EditTree() const;
    struct TEditStart {
        const char* Refusal = nullptr;  // "Edit Frame" refused: nothing changed
        int Missing = 0;  // animated components without an entry in the frame
    };
    // "Edit Frame": every component's edit starts from the current frame, which is shown.
    TEditStart BeginEdit();
    bool Editing() const { return Editing_; }
    // The frame the open edit belongs to.
    int EditedFrame() const { return EditStep_; }
    // One tick of the sliders (each -10 .. 10): rotate or move, about the selected
    // component's pivot (relative) or the model origin. False when nothing changed.
    bool EditTick(bool rotate, bool relative, double x, double y, double z);
    // "Restore": the edited components back to the stored frame; returns how many animated
    // components had no entry in it.
    int RestoreEdit(bool relative);
    // "Apply Changes": the edit written into its frame as one undoable step, and edit mode
    // ends. False (still editing, the frame unchanged) when a component the frame names is
    // not in the tree.
    bool ApplyEdit();
    // "Cancel Changes": the stored frame is shown again.
    void EndEdit();
    // The edit ends as before a load: offered to its frame first when it changed something.
    void CloseEdit() { LeaveEdit(TAnimChange::Document); }
    // A press in the tree during an edit: the edit goes on from where the components are.
    void RebaseEdit();
    // "Reset Frame": the current frame's entries become the identity, one undoable step.
    // False when there are no frames.
    bool ResetFrame();

    // ---- What is shown
    const TEditorOptions& Options() const { return Options_; }
    void SetOptions(const TEditorOptions& options);
    // The options as change leaves them, the others kept.
    void EditOptions(const std::function<void(TEditorOptions&)>& change);

    // ---- The animator's aids in the window (EditorAids.cpp)
    // The onion skin on, with the count chosen last (1 at first), or off.
    void SetOnionSkin(bool on);
    // Frames shown on each side, 1 .. MaxOnionFrames: choosing a count switches it on.
    void SetOnionCount(int count);
    // The count the onion skin shows, or would show when switched on.
    int OnionCount() const { return OnionCount_; }
    // Edit > "Flip Pose": the current frame mirrored left and right, one step ("Flip").
    // Offered when there are frames and undo is offered (no edit, playback, open cell or
    // drag under way); otherwise NotApplicable, nothing changed. The message of a flip
    // done names on one line what was paired.
    bool FlipPoseOffered() const { return UndoOffered() && !Anim_.Doc.AnimFrames.empty(); }
    TTimingResult FlipPose();

    // Poses every point as the display refresh does.
    void Pose();
    TPoseParams Params() const;
    // The three views' items (front, left, top) of views this many pixels wide and high;
    // ranges[v] is set where changed[v] (auto scale). Pose() first.
    void DrawViews(const TViewItems& views, const std::array<int, ViewCount>& widthPx, const std::array<int, ViewCount>& heightPx,
                   std::array<TChartRange, ViewCount>& ranges, std::array<bool, ViewCount>& changed) const;

    // The 3D view's scene of the pose, the shells drawn with the options' alphas; the
    // selected components with their subtrees (what an edit moves) stand out.
    void Build3d(T3dScene& scene) const;
    // The files the session was read from, each with what it is ("model", "proxy's model",
    // "environment", "animation", "translation file", "colour file", "linking file").
    using TInputFile = std::pair<QString, QString>;  // what it is, its path
    QList<TInputFile> InputFiles() const;
    // An output that is one of these files, or of extra, would destroy what it is made
    // from: why it is refused ("OUT is the model PATH; it is not written over"), or "".
    // The same file by whatever path or link names it.
    QString OverwritesInput(const QString& output, const QList<TInputFile>& extra = {}) const;
    // Writes what the views show to a file (Pose() first), through RunLong.
    TExportResult Export(const TExportRequest& request) const;

    // The models and their components are read here, and changed only by the operations
    // above.
    const TModelSetup& Setup() const { return Setup_; }
    const TModelList& Models() const { return Setup_.Models; }
    const QString& ModelFileName() const { return Setup_.ModelFileName; }
    const std::vector<const TSelection*>& TreeOrder() const { return TreeOrder_; }
    // The first component in tree order with this Name, or null.
    const TSelection* FindComponent(const QString& name) const { return FindComponentByName(TreeOrder_, name); }
    TAnimController& Anim() { return Anim_; }
    const TAnimController& Anim() const { return Anim_; }
    const TAnimDocument& Document() const { return Anim_.Doc; }
    const TPoseCache& Cache() const { return Cache_; }
    // Bytes the views' edge lists kept between drawings hold.
    size_t OutlineCacheBytes() const { return Outlines_.HeldBytes(); }
    // Frees them, where no drawing follows (they are made again when one does).
    void ReleaseOutlineCache() const { Outlines_.Invalidate(); }
    // The onion skin's frames as the views draw them now (posed on demand), and the motion
    // path; empty when the options show none.
    const std::vector<const TOnionLayer*>& OnionLayers() const;
    TMotionPath ShownMotionPath() const;
    const TOnionSkin& OnionSkin() const { return Onion_; }

signals:
    // Once at the end of every operation that changed what is shown (TEditorChange flags).
    void Changed(unsigned what);
    void UndoStateChanged();
    // A model or an animation was read from path, or the animation written to it.
    void FileUsed(const QString& path);

private:
    void ForestAboutToChange(TForestChange change) override;
    void ForestChanged(TForestChange change) override;
    void ForestGone() override;
    void HierarchyChanged();
    bool Applied(TApplyFrameResult result);

    // An operation recorded as one step: what changes of the animation and of the model
    // while the outermost one lives is pushed as one step when it ends.
    class TRecording {
    public:
        TRecording(TEditor& editor, const QString& name, const QString& mergeKey = {});
        ~TRecording();
        TRecording(const TRecording&) = delete;
        TRecording& operator=(const TRecording&) = delete;

    private:
        TEditor& E_;
        bool Outer_ = false;
    };
    TEditorStep::TTarget Target();
    void Recorded(TAnimStep step);
    // Runs edit, which changes the components of nodes (every node when empty), and
    // records what it changed into the open step. True when something changed.
    bool RecordModel(const std::vector<int>& nodes, const std::function<void()>& edit);
    // One model edit as one step.
    bool EditModel(const QString& name, const std::vector<int>& nodes, const std::function<void()>& edit,
                   const QString& mergeKey = {});
    // HiddenByLoad_ becomes list, as part of the open step.
    void SetHiddenByLoad(QStringList list);
    // Hides what the animation does not animate, and shows what that hid again.
    void HideNotAnimated();
    // The views show the components that are not hidden.
    void ShowNotHidden();
    void ShowWhatTheLoadHid();
    // A new history after the models or the document were replaced; the files of kinds
    // hold what is shown.
    void NewHistory(unsigned saved);

    // Edit mode's guard (see above), on the controller's AboutToChange and before the
    // editor's own loads.
    void LeaveEdit(TAnimChange change);
    // The edit written into its frame as the step "Apply Changes"; false when a component
    // its frame names is not in the tree.
    bool WriteEdit();
    // Edit mode ends; the document is shown again.
    void StopEdit();
    // The edit starts afresh on the current frame.
    void RestartEdit();
    // RunLong, with the points held while it runs.
    bool Run(const TLongTask& task) const;

    TModelSetup Setup_;
    TAnimController Anim_;
    TCommandStack History_;
    std::unique_ptr<TEditorStep> Open_;  // the step an operation records into
    TPoseCache Cache_;
    TPose Pose_;
    // The views' edge lists: made by the first drawing after a change of the models, the
    // hierarchy or the options, which every Changed with ChangeModel or ChangeOptions says.
    mutable TViewOutlineCache Outlines_;
    // The onion skin's posed frames: kept while only the current pose changes (an edit tick).
    mutable TOnionSkin Onion_;
    std::vector<const TSelection*> TreeOrder_;
    TComponentNodes Nodes_;  // the forest's nodes in tree order, as the pose walks them
    TEditorOptions Options_;
    const TSelection* PivotComponent_ = nullptr;
    std::vector<int> Selection_;
    bool PoseHeld_ = false;
    unsigned Activity_ = 0;
    bool Editing_ = false;
    int EditStep_ = -1;  // the frame the open edit belongs to
    bool RestartEdit_ = false;  // the current frame changed under the edit
    bool WritingEdit_ = false;  // the edit itself changes the document
    mutable int Running_ = 0;  // long work may be reading the session on another thread
    // Components the last animation load hid; clearing the animation shows them again.
    QStringList HiddenByLoad_;
    // The animation's names as the views last learnt them: the tree marks the animated
    // components.
    QStringList AnimNames_;
    int OnionCount_ = 1;  // what the onion skin shows when switched on
};
