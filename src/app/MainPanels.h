#pragma once
// The panels of the main window and the controls each one holds, named as in the designs.
// Each panel keeps its controls to itself. A switch of what the views show changes the
// editor's options, and the panel shows the options as the editor reports them; what
// the window does with the rest of the user's input, a panel reports as signals.
#include "pose/View3dGeometry.h"
#include "pose/ViewGeometry.h"
#include "view3d/View3d.h"

#include <QWidget>
#include <array>

class QLCDNumber;
class QPushButton;
class QSlider;
class QToolButton;
class TFrameGrid;
class TLedButton;
class TNumberEdit;
class TOpenGLQelPanel;
class TAnimController;
class TEditor;
struct TEditorOptions;
struct TPanelMouse;

// Hint "short|long": the tooltip shows the first part, the status bar the second.
void SetHint(QWidget* w, const QString& hint);

// "Show...": which components and polygons the views draw, pivot mode and the linking file.
class TDisplayModePanel : public QWidget {
    Q_OBJECT
public:
    TDisplayModePanel(TEditor& editor, QWidget* parent);
    void SetLinkingLoaded(bool loaded);

signals:
    void SaveLinkingPressed();
    void LoadLinkingPressed();

private:
    void ShowOptions(const TEditorOptions& o);

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
    void ResetPressed();  // "Reset Frame"

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
    QPushButton* B_RotType = nullptr;  // on: "Relative", off: "Absolut"
    QSlider* Chg_X = nullptr;  // -1000..1000 hundredths of -10..10
    QSlider* Chg_Y = nullptr;
    QSlider* Chg_Z = nullptr;
    QPushButton* B_ApplyEdit = nullptr;
    QPushButton* B_CancelEdit = nullptr;
    QPushButton* B_ResetEdit = nullptr;
};

// Stepping and playback, the total move, the model offset, the environment switch and the
// 3D view's transparencies. The frame controls follow the animation controller and ask it
// for frames; playback is the window's.
class TPlayPanel : public QWidget {
    Q_OBJECT
public:
    TPlayPanel(TEditor& editor, QWidget* parent);
    // The width the offsets' row needs.
    int OffsetsWidth() const { return OffsetsWidth_; }

    bool PlayPressed() const;
    // "Play" pressed or released by the user or by StopPlaying (a released button
    // stops the playback); ShowStopped only shows that it ended.
    void StopPlaying();
    void ShowStopped();
    double PlayTime() const;
    void SetPlayTime(double seconds);

signals:
    void PlayToggled(bool on);

private:
    // The frame count on the display and the slider's range, with about 20 labelled
    // divisions at most; the current frame on the slider and its display. Neither asks
    // for a frame.
    void ShowFrameCount(int count);
    // The counters' places for a frame count: as many as it needs, three at least.
    static int CounterDigits(int count);
    void ShowCurrentFrame(int step);
    void ShowTotalMove(const std::array<float, 3>& move);
    void ShowOptions(const TEditorOptions& o);
    TEditor& Editor_;
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
    bool QuietPlay_ = false;
};

// The 3D view with its tool buttons: the editor's scene as the camera sees it, which the
// mouse turns, pans and zooms. View() is null where the display offers no OpenGL.
class T3dArea : public QWidget {
    Q_OBJECT
public:
    T3dArea(TEditor& editor, QWidget* parent);
    TOpenGLQelPanel* View() const { return P_3dView; }
    // Repaints the view, where there is one.
    void UpdateView();
    // Set when the view's context is made, moved by the mouse.
    const TViewCamera& Camera() const { return Camera_; }
    const TViewDrag& Drag() const { return Drag_; }

private:
    void ShowOptions(const TEditorOptions& o);
    // The panel's events.
    void P_3dViewInit();
    void P_3dViewResize();
    void P_3dViewPaint();
    void P_3dViewMouseMove(const TPanelMouse& m);

    TEditor& Editor_;
    TViewCamera Camera_;
    TViewDrag Drag_;
    T3dScene Scene_;  // reused from paint to paint
    TOpenGLQelPanel* P_3dView = nullptr;
    QToolButton* B_Light = nullptr;
    QToolButton* B_Transparent3D = nullptr;
    QToolButton* B_Grid = nullptr;
};
