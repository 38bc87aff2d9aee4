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
#include "app/Paths.h"
#include "model/Environment.h"
#include "model/ModelEdits.h"
#include "app/Settings.h"
#include "pose/EditMath.h"
#include "pose/Pose.h"
#include "pose/View3dGeometry.h"
#include "view3d/View3d.h"

#include <QMainWindow>
#include <array>
#include <memory>
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

    // ---- Paths and settings
    TAppPaths Paths;
    std::unique_ptr<TIniFile> Ini;
    TSettings Settings;  // what was read at start-up
    // Files to open at start-up (models by their .p3d extension, the rest as animations),
    // in place of the last ones the settings name: a model replaces the last model and
    // animation, an animation alone opens on the last model.
    QStringList StartFiles;

    // ---- The animation document: the controller owns it, the window shows it.
    TAnimController* Anim;
    TAnimDocument& Doc;

    // ---- Models
    std::vector<std::unique_ptr<TP3dModell>> Models;
    QString ModelFileName;
    QString TranslationFileName;
    QString ColorFileName;

    // ---- Controls (named as in the designs)
    QMenu* MenuFile = nullptr;
    QMenu* MenuEdit = nullptr;
    QMenu* MenuModify = nullptr;
    QMenu* MenuSettings = nullptr;
    QMenu* MenuExtras = nullptr;
    QAction* LoadAnim1 = nullptr;
    QAction* LoadP3d1 = nullptr;
    QAction* LoadEnviromentP3d1 = nullptr;
    QAction* SaveAnimAs1 = nullptr;
    QAction* Undo1 = nullptr;
    QAction* Redo1 = nullptr;
    QAction* ExportGltf1 = nullptr;
    QAction* ExportObj1 = nullptr;
    QAction* LoadPivotsAndLinking1 = nullptr;
    QAction* ShowAxes1 = nullptr;
    QAction* ShowGrid1 = nullptr;
    QAction* AutoScale1 = nullptr;
    QAction* SelectTranslationFile1 = nullptr;
    QAction* SelectColorFile1 = nullptr;
    QAction* SaveSettings1 = nullptr;
    QAction* AutoSaveSettings1 = nullptr;
    QAction* FileBrowser1 = nullptr;
    QAction* FrameTimer1 = nullptr;
    QAction* About1 = nullptr;

    QLabel* StatusPanels[6] = {};

    QWidget* P_Left = nullptr;
    TComponentTree* TV_EditComponents = nullptr;
    QMenu* PopupMenu_Select = nullptr;
    QAction* ShowAll1 = nullptr;
    QAction* HideAll1 = nullptr;
    QAction* ShowAnimatedOnly1 = nullptr;
    QAction* ChangeColor1 = nullptr;
    QAction* SaveColors1 = nullptr;
    QAction* AssignNewName1 = nullptr;
    QAction* SaveNames1 = nullptr;
    QAction* Moveonelevelup1 = nullptr;
    QWidget* P_DisplayMode = nullptr;
    TLedButton* RB_CheckedSelections = nullptr;
    TLedButton* RB_AllSelections = nullptr;
    TLedButton* AbLED1 = nullptr;  // "No Component"
    TLedButton* RB_AllPolygons = nullptr;
    TLedButton* B_Points = nullptr;
    TLedButton* B_ChangePivot = nullptr;
    TLedButton* LED_Linking = nullptr;
    QPushButton* B_SaveLinking = nullptr;
    QPushButton* B_LoadLinking = nullptr;

    QWidget* P_Timing = nullptr;
    TFrameGrid* G_Frames = nullptr;
    QPushButton* B_Append = nullptr;
    QPushButton* B_DelAnim = nullptr;
    QPushButton* B_UnloadAnim = nullptr;
    QPushButton* B_NewAnim = nullptr;
    QPushButton* B_Editing = nullptr;
    QPushButton* B_ResetMatrix = nullptr;

    QWidget* P_EditAnim = nullptr;
    QPushButton* B_EditOperation = nullptr;  // on: "Rotate", off: "Move"
    QPushButton* B_RotType = nullptr;        // on: "Relative", off: "Absolut"
    QSlider* Chg_X = nullptr;                // -1000..1000 hundredths of -10..10
    QSlider* Chg_Y = nullptr;
    QSlider* Chg_Z = nullptr;
    QPushButton* B_ApplyEdit = nullptr;
    QPushButton* B_CancelEdit = nullptr;
    QPushButton* B_ResetEdit = nullptr;
    QTimer* EditTimer = nullptr;

    QWidget* P_AnimControl = nullptr;
    QSlider* AnimSlider = nullptr;
    TLedButton* B_Prev = nullptr;
    TLedButton* B_Next = nullptr;
    QLCDNumber* D_Steps = nullptr;
    QLCDNumber* D_ActStep = nullptr;
    QPushButton* B_Play = nullptr;
    QTimer* PlayTimer = nullptr;  // drives playback, one turn per pass of the event loop
    TNumberEdit* E_AnimTime = nullptr;
    TNumberEdit* E_TM_x = nullptr;
    TNumberEdit* E_TM_y = nullptr;
    TNumberEdit* E_TM_z = nullptr;
    TLedButton* B_TotalMove = nullptr;
    TNumberEdit* OffX = nullptr;
    TNumberEdit* OffY = nullptr;
    TNumberEdit* OffZ = nullptr;
    TLedButton* B_Enviroment = nullptr;

    QSplitter* HSplitter = nullptr;
    QWidget* P_LeftViews = nullptr;
    QSplitter* VSplitter1 = nullptr;
    TChart* FrontView1 = nullptr;
    TChart* TopView1 = nullptr;
    QWidget* P_RightViews = nullptr;
    QSplitter* VSplitter2 = nullptr;
    TChart* LeftView1 = nullptr;
    QWidget* P_3dArea = nullptr;
    TOpenGLQelPanel* P_3dView = nullptr;
    QToolButton* B_Light = nullptr;
    QToolButton* B_Transparent3D = nullptr;
    QToolButton* B_Grid = nullptr;
    QSlider* Chg_Poly_Trans = nullptr;  // 0..1000: thousandths of 0..1
    QSlider* Chg_Env_Trans = nullptr;

    // Secondary windows, created once with the main window.
    TF_About* F_About = nullptr;

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
    void SetStepCount(int count);
    // D_Steps and the slider's range and scale from AnimStepCount.
    void ShowStepCount();
    void ValidateFrames();
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
    // After an edit of the model's parents, pivots, names, colours or shown components:
    // what changed since the last one becomes a step, named by what it changed unless name
    // is given. Edits made with the mouse (a drop, a pivot drag, a hidden mark) are taken
    // when the button is released.
    void CommitModelEdit(const QString& name = {});
    // One side of a model step put back: the components and the tree.
    void PutModelChange(const TModelChange& change, bool undo);
    // The model's edits not yet in their files (TModelEditKind flags, without hidden).
    unsigned ModelUnsaved() const { return ModelUnsaved_; }
    // "Save changes to MODEL?" when the model has unsaved edits; Save writes the linking
    // file and asks for the names and colour files as their Save commands do.
    bool SaveModelChangesFirst();
    void Undo1Click();
    void Redo1Click();
    // Undo and redo are not offered while playing, editing or in the middle of a cell's,
    // a slider's or a drag's change.
    bool UndoOffered() const;
    // The Edit menu's texts and states, and the title's modified mark.
    void UpdateUndoActions();
    // The animation has changes that are not in its file.
    bool Unsaved() const;
    // Before unsaved work would be lost: "Save changes to NAME?". True to go on (saved,
    // discarded, or nothing unsaved), false when cancelled or the save failed.
    bool SaveChangesFirst();
    // Before the document is emptied: the save question when it is modified, otherwise
    // "Are you sure to clear the current animation?". True to go on.
    bool ConfirmClearAnimation();

    // ---- Pose and the display refresh
    void ApplyFrame(int step);
    void RefreshDisplay();
    void ShowAnimationOnly();
    // The current frame applied to the components (the rest pose in pivot mode, or
    // without frames), then the refresh.
    void ShowCurrentFrame();
    void RefreshFrameTimerChart();
    TPoseParams PoseParams() const;
    // The three views in the order front, left, top.
    std::array<TChart*, 3> Views() const { return {FrontView1, LeftView1, TopView1}; }
    void B_ChangePivotStatusChanged(bool on);
    void ShowGrid1Click();
    // Shift+left click or drag in a view moves the selected pivot in pivot mode.
    void FrontView1MouseDown(TChart* view, double x, double y, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods);
    void FrontView1MouseMove(TChart* view, double x, double y, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods);

    // ---- Edit mode
    void SetEditMode(bool on);
    bool EditMode() const { return EditMode_; }
    void B_EditingStatusChanged();
    void B_ApplyEditStatusChanged();
    void B_CancelEditStatusChanged();
    void B_ResetEditStatusChanged();
    void B_ResetMatrixStatusChanged();
    void EditTimerTimer();
    void ApplyEditChanges();
    void ApplyEditChanges(const TEditTree& tree);
    bool IsBeingEdited(const TSelection* component) const;
    // The tree as the edit maths sees it: nodes in tree order with levels, and the selection.
    TEditTree EditTree() const;
    int RefreshCount() const { return RefreshCount_; }
    int AnimSliderDivisions = 0;  // labelled divisions of AnimSlider's scale

    // ---- Models and the component tree
    void LoadModel(const QString& fileName);
    void ClearModel();
    TP3dModell* MainModel() const { return Models.empty() ? nullptr : Models.front().get(); }
    void LoadTranslation();
    void LoadColors();
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
    void TV_EditComponentsMouseUp();
    // The component hierarchy the tree shows; nodes are its indices, -1 none.
    TComponentForest& Forest() { return Forest_; }
    const TComponentForest& Forest() const { return Forest_; }
    // The selected node; with several, the tree's current one.
    int SelectedNode() const;
    TSelection* SelectedComponent() const;
    int FindNodeByName(const QString& name) const { return Forest_.Find(name); }
    // The component of FindNodeByName, or null.
    TSelection* FindComponent(const QString& name) const;
    // The components in tree order.
    std::vector<TSelection*> TreeComponents() const { return Forest_.TreeOrder(); }

    // ---- The 3D view
    TViewCamera Camera3d;  // set when the view's context is made, moved by the mouse
    TViewDrag Drag3d;
    void P_3dViewInit();
    void P_3dViewResize();
    void P_3dViewPaint();
    void P_3dViewMouseDown(const TPanelMouse& m);
    void P_3dViewMouseMove(const TPanelMouse& m);
    void P_3dViewMouseUp(const TPanelMouse& m);
    void B_LightStatusChanged();
    void B_Transparent3DStatusChanged();
    void B_GridStatusChanged();
    void Chg_Poly_TransValueChange();
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

    // Status bar panels 0..5.
    QString StatusText(int panel) const;
    void SetStatusText(int panel, const QString& text);

    // Hint "short|long": the tooltip shows the first part, the status bar the second.
    static void SetHint(QWidget* w, const QString& hint);

protected:
    void showEvent(QShowEvent* e) override;
    void setVisible(bool visible) override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool event(QEvent* e) override;

private:
    TChart* CreateView(const QString& name, QWidget* parent);
    void Attach3dView(QBoxLayout* layout);
    void Wire3dView();
    // The two transparency sliders of the 3D view, rows row and row + 1 of the play panel.
    void BuildTransparencySliders(QWidget* parent, class QGridLayout* layout, int row);
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

    void LoadAnim1Click();
    void LoadP3d1Click();
    void About1Click();
    void SaveSettings1Click();
    void E_TMChanged(int axis, double value);
    void ConnectDocument();
    bool AskClearAnimation() const;
    // Components the last animation load hid; an unload shows them again.
    QStringList HiddenByLoad_;
    // The model's edits as the last step left them, and what is not saved of them.
    TModelSnapshot ModelState_;
    unsigned ModelUnsaved_ = 0;
    void ResetModelState();

    TComponentForest Forest_;
    // The tree in pre-order and each component's members, rebuilt after the tree changes.
    void EnsureTreeOrder();
    std::vector<TSelection*> TreeOrder_;
    TComponentNodes PoseNodes_;
    TPoseCache PoseCache_;
    bool TreeOrderDirty_ = true;

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
    bool EditMode_ = false;
    bool ClosingAccepted_ = false;
    bool SelectionRefreshQueued_ = false;
    int RefreshCount_ = 0;
};
