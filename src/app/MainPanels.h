#pragma once
// The panels of the main window and the controls each one holds, named as in the designs.
// Each panel keeps its controls to itself: it reports what the user did as signals and
// takes what it shows through its methods.
#include "pose/ViewGeometry.h"

#include <QWidget>
#include <array>

class QAction;
class QLCDNumber;
class QMenu;
class QPushButton;
class QSlider;
class QSplitter;
class QToolButton;
class TChart;
class TFrameGrid;
class TLedButton;
class TNumberEdit;
class TOpenGLQelPanel;
class TAnimController;

// Hint "short|long": the tooltip shows the first part, the status bar the second.
void SetHint(QWidget* w, const QString& hint);

// "Show...": which components and polygons the views draw, pivot mode and the linking file.
class TDisplayModePanel : public QWidget {
    Q_OBJECT
public:
    explicit TDisplayModePanel(QWidget* parent);
    // Which components the three show buttons ask for.
    TComponentShow Show() const;
    bool AllPolygons() const;
    bool PivotMode() const;
    // Back to "Selected Components" (reported as a change when it was another).
    void ShowCheckedComponents();
    void SetLinkingLoaded(bool loaded);

signals:
    // One of the show buttons or "All Polygons" changed what the views draw.
    void ShowChanged();
    void PivotModeToggled(bool on);
    void SaveLinkingPressed();
    void LoadLinkingPressed();

private:
    TLedButton* RB_CheckedSelections = nullptr;
    TLedButton* RB_AllSelections = nullptr;
    TLedButton* AbLED1 = nullptr;  // "No Component"
    TLedButton* RB_AllPolygons = nullptr;
    TLedButton* B_Points = nullptr;
    TLedButton* B_ChangePivot = nullptr;
    TLedButton* LED_Linking = nullptr;
    QPushButton* B_SaveLinking = nullptr;
    QPushButton* B_LoadLinking = nullptr;
};

// The frame grid and the frame buttons.
class TFramePanel : public QWidget {
    Q_OBJECT
public:
    TFramePanel(TAnimController& anim, QWidget* parent);
    TFrameGrid* Grid() const { return G_Frames; }

signals:
    void AppendPressed();  // "Insert after"
    void DeletePressed();
    void UnloadPressed();
    void NewPressed();
    void EditPressed();
    void ResetPressed();   // "Reset Frame"

private:
    TFrameGrid* G_Frames = nullptr;
    QPushButton* B_Append = nullptr;
    QPushButton* B_DelAnim = nullptr;
    QPushButton* B_UnloadAnim = nullptr;
    QPushButton* B_NewAnim = nullptr;
    QPushButton* B_Editing = nullptr;
    QPushButton* B_ResetMatrix = nullptr;
};

// Edit mode: the operation, the rotation type, the spring sliders and the exits.
class TEditPanel : public QWidget {
    Q_OBJECT
public:
    explicit TEditPanel(QWidget* parent);
    // The sliders' deflections, -10 .. 10 each.
    std::array<double, 3> Deflection() const;
    bool Rotating() const;  // else moving
    bool Relative() const;  // else absolute

signals:
    void ApplyPressed();
    void CancelPressed();
    void ResetPressed();  // "Restore"

private:
    QPushButton* B_EditOperation = nullptr;  // on: "Rotate", off: "Move"
    QPushButton* B_RotType = nullptr;        // on: "Relative", off: "Absolut"
    QSlider* Chg_X = nullptr;                // -1000..1000 hundredths of -10..10
    QSlider* Chg_Y = nullptr;
    QSlider* Chg_Z = nullptr;
    QPushButton* B_ApplyEdit = nullptr;
    QPushButton* B_CancelEdit = nullptr;
    QPushButton* B_ResetEdit = nullptr;
};

// Stepping and playback, the total move, the model offset, the environment switch and the
// 3D view's transparencies.
class TPlayPanel : public QWidget {
    Q_OBJECT
public:
    explicit TPlayPanel(QWidget* parent);
    // The width the offsets' row needs.
    int OffsetsWidth() const { return OffsetsWidth_; }

    // The frame count on the display and the slider's range, with about 20 labelled
    // divisions at most; the current frame on the slider and its display. Neither asks
    // for a frame.
    void ShowFrameCount(int count);
    // The counters' places for a frame count: as many as it needs, three at least.
    static int CounterDigits(int count);
    int SliderDivisions() const { return SliderDivisions_; }
    void ShowCurrentFrame(int step);

    bool PlayPressed() const;
    // "Play" pressed or released by the user or by StopPlaying (a released button
    // stops the playback); ShowStopped only shows that it ended.
    void StopPlaying();
    void ShowStopped();
    double PlayTime() const;
    void SetPlayTime(double seconds);

    void ShowTotalMove(const std::array<float, 3>& move);
    bool TotalMoveOn() const;
    std::array<double, 3> Offset() const;
    bool EnvironmentOn() const;
    void ShowEnvironment(bool on);
    // The transparency sliders, 0 .. 1.
    float PolygonTransparency() const;
    float EnvironmentTransparency() const;

signals:
    void StepRequested(int step);  // the slider moved to step
    void PrevPressed();
    void NextPressed();
    void PlayToggled(bool on);
    void TotalMoveEdited(int axis, double value);
    // The total-move switch, an offset or the environment switch changed what is shown.
    void ShowChanged();
    void TransparencyChanged();

private:
    QSlider* AnimSlider = nullptr;
    TLedButton* B_Prev = nullptr;
    TLedButton* B_Next = nullptr;
    QLCDNumber* D_Steps = nullptr;
    QLCDNumber* D_ActStep = nullptr;
    QPushButton* B_Play = nullptr;
    TNumberEdit* E_AnimTime = nullptr;
    TNumberEdit* E_TM_x = nullptr;
    TNumberEdit* E_TM_y = nullptr;
    TNumberEdit* E_TM_z = nullptr;
    TLedButton* B_TotalMove = nullptr;
    TNumberEdit* OffX = nullptr;
    TNumberEdit* OffY = nullptr;
    TNumberEdit* OffZ = nullptr;
    TLedButton* B_Enviroment = nullptr;
    QSlider* Chg_Poly_Trans = nullptr;  // 0..1000: thousandths of 0..1
    QSlider* Chg_Env_Trans = nullptr;
    int OffsetsWidth_ = 0;
    int SliderDivisions_ = 0;
    bool QuietPlay_ = false;
};

// The 3D view with its tool buttons; View() is null where the display offers no OpenGL.
class T3dArea : public QWidget {
    Q_OBJECT
public:
    explicit T3dArea(QWidget* parent);
    TOpenGLQelPanel* View() const { return P_3dView; }
    // Repaints the view, where there is one.
    void UpdateView();
    bool LightPressed() const;  // "L": drawn unlit
    bool TransparentPressed() const;
    bool GridPressed() const;
    void SetModes(bool light, bool transparent, bool grid);

private:
    TOpenGLQelPanel* P_3dView = nullptr;
    QToolButton* B_Light = nullptr;
    QToolButton* B_Transparent3D = nullptr;
    QToolButton* B_Grid = nullptr;
};

// The menu bar's menus and commands, and the component tree's popup menu.
struct TMainMenus {
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
};

// The three orthographic views and the splitters between them and the 3D area.
struct TViewPanes {
    QSplitter* HSplitter = nullptr;
    QWidget* P_LeftViews = nullptr;
    QSplitter* VSplitter1 = nullptr;
    TChart* FrontView1 = nullptr;
    TChart* TopView1 = nullptr;
    QWidget* P_RightViews = nullptr;
    QSplitter* VSplitter2 = nullptr;
    TChart* LeftView1 = nullptr;
};
