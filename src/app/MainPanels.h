#pragma once
// The panels of the main window and the controls each one holds, named as in the designs.
// The window builds them and wires their controls to its operations; other code reaches a
// control through its panel.
#include <QWidget>

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

// "Show...": which components and polygons the views draw, pivot mode and the linking file.
class TDisplayModePanel : public QWidget {
public:
    using QWidget::QWidget;
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
public:
    using QWidget::QWidget;
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
public:
    using QWidget::QWidget;
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
public:
    using QWidget::QWidget;
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
};

// The 3D view with its tool buttons; P_3dView is null where the display offers no OpenGL.
class T3dArea : public QWidget {
public:
    using QWidget::QWidget;
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
