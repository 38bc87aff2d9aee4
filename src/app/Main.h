#pragma once
// The main window: a shell over the editing session (TEditor), which holds the models, the
// animation, the pose, the view options and the history. The window shows the session in
// its panels and views, hands what the user does to the session's operations, asks the
// user what those need (files, questions) and says what they report. It follows the
// session's signals, never the code that made a change. Definitions are split by concern:
//   Main.cpp          construction, menus, layout, status bar, hints
//   MainSettings.cpp  first showing, settings, layout, shutdown, about box
//   MainAnim.cpp      the animation's commands, RTM load/save, frame buttons, playback
//   MainModel.cpp     models, component tree, linking, names and colours
//   MainEdit.cpp      edit mode
//   MainViews.cpp     the display refresh, the orthographic views, the environment, export
// The panels (MainPanels.h) keep their own controls; the secondary windows are the
// window's own.
#include "anim/Playback.h"
#include "app/MainPanels.h"
#include "app/Paths.h"
#include "app/Settings.h"

#include <QMainWindow>
#include <array>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QMenu;
class QSplitter;
class QTimer;
class TAnimController;
class TAnimDocument;
class TChart;
class TComponentTree;
class TEditor;
class TIniFile;
class TF_About;
class TF_FileBrowser;
class TF_FrameManipulator;
class TF_ProxySelect;
class TF_SelectComponents;
class TRecentFilesMenu;
class TWorkKeeper;
struct FileDialogOptions;
struct TSelection;

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

    // The editing session the window shows.
    TEditor& Editor() const { return *Editor_; }
    // Files to open at start-up (models by their .p3d extension, the rest as animations),
    // in place of the last ones the settings name: a model replaces the last model and
    // animation, an animation alone opens on the last model.
    void SetStartFiles(const QStringList& files) { StartFiles_ = files; }
    // "Load P3d..." and "Load Anim..." once a file is chosen (in a dialog, the file
    // browser, or at start-up): unsaved work is offered for saving first.
    void LoadModel(const QString& path);
    void LoadAnimation(const QString& path);

    // The views drawn afresh from the editor; it runs once per turn of the event loop
    // after the editor reported a change. RefreshCount: how many times it ran.
    void RefreshDisplay();
    int RefreshCount() const { return RefreshCount_; }
    // One turn of playback and one tick of the edit sliders, as their timers run them.
    void PlayTimerTimer();
    void EditTimerTimer();

protected:
    void showEvent(QShowEvent* e) override;
    void setVisible(bool visible) override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool event(QEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    // ---- Building (Main.cpp)
    void BuildMenus();
    void BuildTreePopup();
    void BuildLayout();
    void BuildStatusBar();
    QWidget* BuildLeftColumn();
    QWidget* BuildFramePanel();
    QWidget* BuildEditPanel();
    QWidget* BuildPlayPanel();
    TChart* CreateView(const QString& name, QWidget* parent);
    void BuildSecondaryWindows();
    void ConnectEditor();
    // The three views in the order front, left, top.
    std::array<TChart*, 3> Views() const { return {FrontView1, LeftView1, TopView1}; }
    // Status bar panels 0..5; the first shows hints.
    QString StatusText(int panel) const;
    void SetStatusText(int panel, const QString& text);
    // The result of the last command (an import, an export, a flip), in a panel of its own
    // beside the hints, until the next note or the next model or animation.
    void SetStatusNote(const QString& text);
    // The hint panel gives way to the note while no hint shows.
    void ShareHintRoom();
    // What the editor has to say: a message box, but during playback each text only once
    // (its repeats at every drawing step go to the status bar).
    void ShowEditorMessage(const QString& text);

    // ---- Start-up, settings, shutdown (MainSettings.cpp)
    void FormShow();
    // The files named at start-up, or else the last ones, loaded once the window is on the
    // screen, so that a long load shows its progress and Escape cancels it.
    void LoadStartFiles();
    void ShowStartMessages();
    void LoadLayout();
    void ApplySplits(const TLayoutSettings& layout);
    void NoteNormalGeometry();
    QRect NormalGeometryToSave() const;
    void ApplySettings(const TSettings& s);
    TSettings CurrentSettings() const;
    void SaveSettings();
    void SaveSettings1Click();
    void About1Click();
    void Shutdown();

    // ---- The animation (MainAnim.cpp)
    void LoadAnim1Click();
    // "Import glTF Animation...": after the save question, the editor's import (one step).
    void ImportGltf1Click();
    // A whole animation in place of the one before (an import, a recovered copy): the
    // controls as after a load, with this play time.
    void ShowNewAnimation(double playTime);
    bool SaveAnimationAs();  // false when cancelled or not written
    bool SaveAnimationTo(const QString& path);
    // Asks before a save writes over path, changed on disk since it was read or saved
    // here: true to save over it.
    static bool SaveOverChanged(const QString& path, const QString& caption);
    void CheckAnimComponents();
    void ShowAnimFileName();
    void CreateNewAnimation();
    void B_AppendStatusChanged();
    void B_DelAnimStatusChanged();
    void B_UnloadAnimStatusChanged();
    void B_NewAnimStatusChanged();
    // Before unsaved work would be lost: "Save changes to NAME?", after an open edit was
    // offered to its frame. True to go on (saved, discarded, or nothing unsaved).
    bool SaveChangesFirst();
    // Before the document is emptied: the save question when it is modified, otherwise
    // "Are you sure to clear the current animation?". True to go on.
    bool ConfirmClearAnimation();
    void Undo1Click();
    void Redo1Click();
    // The Edit menu's texts and states and the title's modified mark, as the editor has them.
    void ShowUndoState();
    void B_PlayStatusChanged(bool on);
    bool Playing() const;

    // ---- Models and the component tree (MainModel.cpp)
    void LoadP3d1Click();
    FileDialogOptions P3dOpenDialog() const;
    // "Save changes to MODEL?" when the model has unsaved edits; Save writes the linking
    // file and asks for the names and colour files as their Save commands do.
    bool SaveModelChangesFirst();
    void SetLinkingLoaded(bool loaded);
    bool B_SaveLinkingStatusChanged();  // false when cancelled or the file could not be written
    void B_LoadLinkingStatusChanged();
    void SelectTranslationFile1Click();
    void SelectColorFile1Click();
    void ChangeColorClick();
    bool SaveColorsClick();  // false when cancelled or not written
    void AssignnewnameClick();
    bool SavenamesClick();
    void Moveonelevelup1Click();
    void TV_EditComponentsMouseDown(int node);
    // The selected node; with several, the tree's current one; -1 for none.
    int SelectedNode() const;
    const TSelection* SelectedComponent() const;

    // ---- Edit mode (MainEdit.cpp)
    // The panels of edit mode, or of the frames, as the editor is.
    void ShowEditMode(bool on);
    void B_EditingStatusChanged();
    void B_ApplyEditStatusChanged();
    void B_ResetEditStatusChanged();
    void B_ResetMatrixStatusChanged();

    // ---- Views, environment, export (MainViews.cpp)
    void ScheduleRefresh();
    // The menu's check marks, the views' grid and the tree's selection mode as the
    // editor's options have them.
    void ShowOptions();
    // Shift+left click or drag in a view moves the selected pivot in pivot mode.
    void FrontView1MouseDown(TChart* view, double x, double y, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods);
    void FrontView1MouseMove(TChart* view, double x, double y, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods);
    void LoadEnviromentP3d1Click();
    void ExportModelClick(bool gltf);

    // ---- The session and the window's state
    TAppPaths Paths;
    TEditor* const Editor_;
    TAnimController& Anim;
    const TAnimDocument& Doc;
    QStringList StartFiles_;
    std::unique_ptr<TIniFile> Ini;
    TSettings Settings;  // what was read at start-up or last saved
    // What the loads at start-up had to say, shown once the window is on the screen.
    QStringList StartMessages_;

    // ---- Controls, by panel (named as in the designs), and the secondary windows
    // The menu bar's menus and commands, and the component tree's popup menu.
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
    QAction* ExportTransparent1 = nullptr;  // checked: glTF materials follow the 3D view's transparency
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

    QMenu* PopupMenu_Select = nullptr;
    QAction* Hide1 = nullptr;
    QAction* ShowAll1 = nullptr;
    QAction* HideAll1 = nullptr;
    QAction* ShowAnimatedOnly1 = nullptr;
    QAction* ChangeColor1 = nullptr;
    QAction* SaveColors1 = nullptr;
    QAction* AssignNewName1 = nullptr;
    QAction* SaveNames1 = nullptr;
    QAction* Moveonelevelup1 = nullptr;
    // The three orthographic views and the splitters between them and the 3D area.
    QSplitter* HSplitter = nullptr;
    QWidget* P_LeftViews = nullptr;
    QSplitter* VSplitter1 = nullptr;
    TChart* FrontView1 = nullptr;
    TChart* TopView1 = nullptr;
    QWidget* P_RightViews = nullptr;
    QSplitter* VSplitter2 = nullptr;
    TChart* LeftView1 = nullptr;
    QWidget* P_Left = nullptr;
    TComponentTree* TV_EditComponents = nullptr;
    TDisplayModePanel* P_DisplayMode = nullptr;
    TFramePanel* P_Timing = nullptr;
    TEditPanel* P_EditAnim = nullptr;
    TPlayPanel* P_AnimControl = nullptr;
    T3dArea* P_3dArea = nullptr;
    QLabel* StatusPanels[6] = {};
    QLabel* NotePanel_ = nullptr;
    TF_About* F_About = nullptr;
    TF_FileBrowser* F_FileBrowser = nullptr;
    TF_SelectComponents* F_SelectComponents = nullptr;
    TF_FrameManipulator* F_FrameManipulator = nullptr;
    TF_ProxySelect* F_ProxySelect = nullptr;

    // ---- Timers and playback
    QTimer* EditTimer_ = nullptr;
    QTimer* PlayTimer = nullptr;  // drives playback, one turn per pass of the event loop
    // Playback's view of the window: the controller's frames, the editor's blend.
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
    // Sizes saved in the maximised window, until the window is maximised (or a splitter is
    // moved before that).
    std::optional<TLayoutSettings> MaximizedSplits_;
    bool ClosingAccepted_ = false;
    // Recovery copies and the start's offer of them; the recent files (app/WorkKeeper.h,
    // app/RecentFilesMenu.h).
    TWorkKeeper* Keeper_ = nullptr;
    TRecentFilesMenu* Recent_ = nullptr;
    bool RefreshQueued_ = false;
    int RefreshCount_ = 0;
};
