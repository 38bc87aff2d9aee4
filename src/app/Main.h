#pragma once
// The main window: it holds the animation document, the models and the settings, and its
// methods are the editor's operations. Definitions are split by concern:
//   Main.cpp          construction, menus, layout, status bar, hints
//   MainSettings.cpp  first showing, settings, layout, shutdown, about box
//   MainAnim.cpp      document operations, RTM load/save, frame grid
//   MainModel.cpp     models, component tree
//   Main3d.cpp        the 3D view, its camera and buttons, the environment model
#include "anim/AnimDocument.h"
#include "anim/Playback.h"
#include "app/MainPanels.h"
#include "app/Paths.h"
#include "model/Environment.h"
#include "app/Settings.h"
#include "pose/EditMath.h"
#include "pose/Pose.h"
#include "pose/View3dGeometry.h"
#include "view3d/View3d.h"

#include <QMainWindow>
#include <array>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QBoxLayout;
class QImage;
struct FileDialogOptions;
struct TPanelMouse;
class QLabel;
class QLCDNumber;
class QMenu;
class QSlider;
class QSplitter;
class TAnimController;
class TEditor;
class TFrameGrid;
class QTimer;
class TChart;
class QPushButton;
class QToolButton;
class TIniFile;
class TComponentTree;
class TLedButton;
class TNumberEdit;
class TOpenGLQelPanel;
class TP3dModell;
struct TSelection;
class TF_About;
class TF_FileBrowser;
class TF_SelectComponents;
class TF_FrameManipulator;
class TF_ProxySelect;

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(const TAppPaths& paths, QWidget* parent = nullptr);
    ~TMainForm() override;

    static constexpr const char* Caption = "Torvane Anim v0.98";
    static constexpr int DesignedWidth = 1200;
    static constexpr int DesignedHeight = 930;
    // The narrowest (and lowest) a view's pane may become between the splitters.
    static constexpr int MinViewSize = 160;

    // ---- Paths and settings
    TAppPaths Paths;
    // Files to open at start-up (models by their .p3d extension, the rest as animations),
    // in place of the last ones the settings name: a model replaces the last model and
    // animation, an animation alone opens on the last model.
    QStringList StartFiles;

    // ---- The editing session: the window shows it and changes it through its operations.
    TEditor* const Editor;
    TAnimController* Anim;
    const TAnimDocument& Doc;
    std::vector<std::unique_ptr<TP3dModell>>& Models;
    const QString& ModelFileName() const;

    // ---- Controls, by panel (named as in the designs)
    TMainMenus Menus;
    TComponentTree* TV_EditComponents = nullptr;
    TDisplayModePanel* P_DisplayMode = nullptr;
    TFramePanel* P_Timing = nullptr;
    TEditPanel* P_EditAnim = nullptr;
    TPlayPanel* P_AnimControl = nullptr;
    TViewPanes Panes;
    T3dArea* P_3dArea = nullptr;

    // ---- Start-up, settings, shutdown
    void FormShow();
    void LoadLayout();
    void NoteNormalGeometry();
    QRect NormalGeometryToSave() const;
    void SaveLayout();
    void SaveSettings();

    // ---- Document operations
    void ClearAnimation();
    void SetActStep(int step);
    // D_Steps and the slider's range and scale from AnimStepCount.
    void ShowStepCount();
    bool DeleteFrame(int index);
    bool IsInAnimation(const TSelection* component) const;
    // Builds the one-frame animation of the components selected in the tree
    // (AddSubtreeToAnimation: each selected node with its subtree, depth first).
    void CreateNewAnimation();
    QStringList SelectedSubtreeNames() const;

    // ---- The frame panel and playback
    void B_AppendStatusChanged();     // "Insert after"
    void B_DelAnimStatusChanged();    // "Delete Frame"
    void B_UnloadAnimStatusChanged(); // "Unload Animation"
    void B_NewAnimStatusChanged();    // "New Animation..."
    void B_PlayStatusChanged(bool on);
    void PlayTimerTimer();
    bool Playing() const;
    // The components posed at fraction f from the current frame towards the next.
    void ShowInterpolated(double fraction);

    // ---- RTM files
    void LoadAnimation(const QString& path);
    // False when the dialog was cancelled or the write failed.
    bool SaveAnimationAs();
    // Writes the document to path without a dialog; false (with the message shown) on failure.
    bool SaveAnimationTo(const QString& path);
    void CheckAnimComponents();
    // "Export glTF..." / "Export OBJ...": what the window shows, through the export the
    // command line uses.
    void ExportModelClick(bool gltf);
    // The report CheckAnimComponents shows; empty when every name is found.
    QString MissingAnimComponentsReport() const;

    // ---- Undo and unsaved changes
    // The model's edits not yet in their files (TEditorFile flags).
    unsigned ModelUnsaved() const;
    // "Save changes to MODEL?" when the model has unsaved edits; Save writes the linking
    // file and asks for the names and colour files as their Save commands do.
    bool SaveModelChangesFirst();
    void Undo1Click();
    void Redo1Click();
    // Undo and redo are not offered while playing, editing or in the middle of a cell's,
    // a slider's or a drag's change.
    bool UndoOffered() const;
    // The animation has changes that are not in its file.
    bool Unsaved() const;
    // Before unsaved work would be lost: "Save changes to NAME?", after an open edit was
    // offered to its frame. True to go on (saved, discarded, or nothing unsaved), false when
    // cancelled or the save failed.
    bool SaveChangesFirst();
    // Before the document is emptied: the save question when it is modified, otherwise
    // "Are you sure to clear the current animation?". True to go on.
    bool ConfirmClearAnimation();

    // ---- Pose and the display refresh
    // The views drawn afresh from the editor; it runs once per turn of the event loop
    // after the editor reported a change (ScheduleRefresh).
    void RefreshDisplay();
    void ScheduleRefresh();
    void ShowAnimationOnly();
    // The controls' view options handed to the editor, and back after the editor changed them.
    void OptionsFromControls();
    void OptionsToControls();
    // The three views in the order front, left, top.
    std::array<TChart*, 3> Views() const { return {Panes.FrontView1, Panes.LeftView1, Panes.TopView1}; }
    void B_ChangePivotStatusChanged(bool on);
    void ShowGrid1Click();
    // Shift+left click or drag in a view moves the selected pivot in pivot mode.
    void FrontView1MouseDown(TChart* view, double x, double y, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods);
    void FrontView1MouseMove(TChart* view, double x, double y, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods);

    // ---- Edit mode
    bool EditMode() const;
    void B_EditingStatusChanged();
    void B_ApplyEditStatusChanged();
    void B_CancelEditStatusChanged();
    void B_ResetEditStatusChanged();
    void B_ResetMatrixStatusChanged();
    void EditTimerTimer();
    // The tree as the edit maths sees it: nodes in tree order with levels, and the selection.
    TEditTree EditTree() const;
    int RefreshCount() const { return RefreshCount_; }
    const QTimer* EditTimer() const { return EditTimer_; }

    // ---- Models and the component tree
    void LoadModel(const QString& fileName);
    void ClearModel();
    TP3dModell* MainModel() const { return Models.empty() ? nullptr : Models.front().get(); }
    bool LoadLinking(const QString& fileName);
    void SetLinkingLoaded(bool loaded);
    // False when the file could not be written.
    bool B_SaveLinkingStatusChanged();
    void B_LoadLinkingStatusChanged();
    void SelectTranslationFile1Click();
    void SelectColorFile1Click();
    void ChangeColorClick();
    bool SaveColorsClick();  // false when cancelled or not written
    void AssignnewnameClick();
    bool SavenamesClick();
    void Moveonelevelup1Click();
    void ShowAll1Click();
    void HideAllClick();
    void TV_EditComponentsMouseDown(int node);
    // The component hierarchy the tree shows; nodes are its indices, -1 none.
    const TComponentForest& Forest() const;
    // The selected node; with several, the tree's current one.
    int SelectedNode() const;
    const TSelection* SelectedComponent() const;
    int FindNodeByName(const QString& name) const { return Forest().Find(name); }
    // The component of FindNodeByName, or null.
    const TSelection* FindComponent(const QString& name) const;
    // The components in tree order.
    std::vector<TSelection*> TreeComponents() const { return Forest().TreeOrder(); }

    // ---- The 3D view
    // Set when the view's context is made, moved by the mouse.
    const TViewCamera& Camera3d() const { return Camera3d_; }
    const TViewDrag& Drag3d() const { return Drag3d_; }
    void P_3dViewInit();
    void P_3dViewResize();
    void P_3dViewPaint();
    void P_3dViewMouseDown(const TPanelMouse& m);
    void P_3dViewMouseMove(const TPanelMouse& m);
    void P_3dViewMouseUp(const TPanelMouse& m);
    // What the view draws with the controls as they are now.
    void Prepare3dScene(T3dScene& scene);
    T3dPaintOptions Paint3dOptions() const;
    // The view as it paints at the given camera, drawn offscreen at width x height; a null
    // image with the reason in error when this display offers no OpenGL.
    QImage Render3d(int width, int height, const TViewCamera& camera, QString* error);

    // ---- The environment model
    void LoadEnviromentP3d1Click();
    // Everything after the file dialog: loads path as the environment, lets the user pick
    // the proxy it replaces and shifts it there. Messages are shown as the menu shows them.
    TEnvironmentLoad LoadEnvironment(const QString& path);
    // The open dialog of models, shared by the main model and the environment.
    FileDialogOptions P3dOpenDialog() const;

    // What the editor has to say: a message box, but during playback each text only once
    // (its repeats at every drawing step go to the status bar).
    void ShowEditorMessage(const QString& text);

    // Status bar panels 0..5.
    QString StatusText(int panel) const;
    void SetStatusText(int panel, const QString& text);
    // What the first panel says when no hint covers it, until the next note or the next
    // model or animation.
    void SetStatusNote(const QString& text);

    // Hint "short|long": the tooltip shows the first part, the status bar the second.
    static void SetHint(QWidget* w, const QString& hint);

protected:
    void showEvent(QShowEvent* e) override;
    void setVisible(bool visible) override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool event(QEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    std::unique_ptr<TIniFile> Ini;
    TSettings Settings;  // what was read at start-up
    QWidget* P_Left = nullptr;
    QLabel* StatusPanels[6] = {};
    QString StatusNote_;
    QTimer* EditTimer_ = nullptr;
    QTimer* PlayTimer = nullptr;  // drives playback, one turn per pass of the event loop
    TF_About* F_About = nullptr;  // created once with the main window
    TViewCamera Camera3d_;
    TViewDrag Drag3d_;
    TChart* CreateView(const QString& name, QWidget* parent);
    void Wire3dView();
    T3dScene Scene3d_;  // reused from paint to paint
    void BuildMenus();
    void BuildLayout();
    void BuildStatusBar();
    QWidget* BuildLeftColumn();
    void BuildTreePopup();
    QWidget* BuildFramePanel();
    QWidget* BuildEditPanel();
    QWidget* BuildPlayPanel();
    QWidget* Build3dArea();
    void ApplySettingsToControls(const TSettings& s);
    TSettings SettingsFromControls() const;
    void Shutdown();
    // What the loads at start-up had to say, shown once the window is on the screen.
    QStringList StartMessages_;
    void ShowStartMessages();

    void LoadAnim1Click();
    void LoadP3d1Click();
    void About1Click();
    void SaveSettings1Click();
    void E_TMChanged(int axis, double value);
    void ConnectDocument();
    bool AskClearAnimation() const;
    // The Edit menu's texts and states and the title's modified mark, as the history and
    // what is going on (playback, an edit, an open cell) have them.
    void ShowUndoState();
    // The panels of edit mode, or of the frames, as the editor is.
    void ShowEditMode(bool on);
    // The animation's panel of the status bar from the document's file name.
    void ShowAnimFileName();

    // Playback's view of the window: the controller's frames, the window's blend.
    class TPlaybackHost final : public IPlaybackHost {
    public:
        explicit TPlaybackHost(TMainForm& f) : F_(f) {}
        int FrameCount() const override;
        int ActStep() const override;
        float FrameTime(int index) const override;
        void SetActStep(int step) override;
        void ShowInterpolated(double fraction) override;
        void SetPlayFraction(double fraction) override;

    private:
        TMainForm& F_;
    };
    std::unique_ptr<TPlaybackHost> PlaybackHost_;
    std::unique_ptr<TPlayback> Playback_;

    bool Built_ = false;  // every control exists
    bool FirstShowDone_ = false;
    // The window's frame position and contents size in the normal (not maximised) state,
    // as the settings store them; kept while the window is maximised.
    QRect NormalFrame_;
    bool LayoutApplied_ = false;
    QRect PrePlaced_;  // the frame position and size given before the native window existed
    // The splitters' sizes as the settings have them, each pane kept at its minimum or more.
    void ApplySplits(const TLayoutSettings& layout);
    // Sizes saved in the maximised window, until the window is maximised (or a splitter is
    // moved before that).
    std::optional<TLayoutSettings> MaximizedSplits_;
    bool ClosingAccepted_ = false;
    bool RefreshQueued_ = false;
    int RefreshCount_ = 0;
};
