#pragma once
// The frame timer: the frames on a chart (frame index across, time up), where a contiguous
// range is selected by click, rectangle or Shift, retimed by Ctrl-drag, and linearized,
// mirrored, moved, copied or deleted. It changes the document only through the animation
// controller and rebuilds its chart whenever the controller says the frames changed.
#include "anim/FrameTiming.h"

#include <QMainWindow>
#include <vector>

class QAbstractButton;
class QAction;
class QButtonGroup;
class QLabel;
class QToolButton;
class TAnimController;
class TChart;

class TF_FrameManipulator : public QMainWindow {
    Q_OBJECT
public:
    TF_FrameManipulator(TAnimController& anim, QWidget* parent);

    static constexpr uint8_t SelectedClass = 99;
    static constexpr uint32_t SelectedColor = 0x0000FFFFu;  // yellow, 0x00BBGGRR
    static constexpr uint32_t ItemColor = 0x00C0C0C0u;  // silver
    // A click selects the nearest mark when it lies closer than this.
    static constexpr double ClickPixels = 10;
    // Ctrl+Up and Ctrl+Down retime the selection by this much of a pass.
    static constexpr double KeyTimeStep = 0.01;

    // Controls, under the names the window's handlers refer to.
    TChart* RChart = nullptr;
    QToolButton* B_Select = nullptr;
    QToolButton* AbColBitBtn4 = nullptr;  // Zoom
    QToolButton* AbColBitBtn3 = nullptr;  // Pan
    QToolButton* B_Reset = nullptr;
    QToolButton* B_Linearize = nullptr;
    QToolButton* B_Mirror = nullptr;
    QToolButton* B_Copy = nullptr;
    QToolButton* B_Move = nullptr;
    QToolButton* B_Trash = nullptr;
    QToolButton* B_Flip = nullptr;  // "Flip"
    QToolButton* B_FlipHalfCycle = nullptr;  // "Flip, half a cycle later"
    QAction* SelectAll1 = nullptr;
    QAction* DeselectAll1 = nullptr;

    // The selected range of frames; -1, -1 when none. The controller keeps it, so undo
    // puts it back.
    int SelFirst() const;
    int SelLast() const;
    // Where the left button went down, in chart coordinates; DragTime follows a Ctrl-drag.
    double DragFrame = 0;
    double DragTime = 0;
    // A selection rectangle (the last five chart items) is on the chart.
    bool BandShown = false;

    // The left button is down on the chart: a selection or a Ctrl-drag is under way
    // (DraggingChanged says when that changes).
    bool Dragging() const { return Pressed_; }
    // Rebuilds the chart from the document and tags the selection. The user's zoom and
    // pan stay unless reRange, or the number of frames changed.
    void RefreshFrameTimerChart(bool reRange = true);
    void UpdateFrameSelection();
    void CollectFrameSelection();
    void WriteBackFrameTimes();
    // Status panels 0 (hints), 1 (selection), 2 (frame under the pointer).
    QString StatusText(int panel) const;
    // While the main window edits the current frame's transforms, the frames must keep
    // their places: the timer then changes nothing.
    void SetEditLock(bool locked);

    // Handlers.
    void B_SelectStatusIntChanged(int status);
    void B_ResetClick();
    void B_LinearizeClick();
    void B_MirrorClick();
    void B_MoveClick();
    void B_CopyClick();
    void B_TrashClick();
    void B_FlipClick();
    void B_FlipHalfCycleClick();
    void SelectAll1Click();
    void DeselectAll1Click();

signals:
    void Closed();
    void DraggingChanged(bool dragging);

protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void BuildTools();
    void RChartMouseDown(double x, double y, Qt::MouseButton button);
    void RChartMouseMove(double x, double y, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods);
    void RChartMouseUp(double x, double y, Qt::MouseButton button, Qt::KeyboardModifiers mods);
    // The keyboard in the chart, in Select mode: arrows, Home and End select (Shift extends),
    // Ctrl+Up and Ctrl+Down retime the selection as a Ctrl-drag does. False when not taken.
    bool RChartKeyPress(int key, Qt::KeyboardModifiers mods);
    // The frames' items of the chart (without a selection rectangle) as the retiming maths
    // takes them, and their y values back.
    std::vector<TTimerItem> TimerItems() const;
    void SetItemYs(const std::vector<TTimerItem>& items);
    bool Selecting() const;
    void SetPressed(bool pressed);
    // Runs a retiming of the controller with the chart rebuilt once at the end.
    template <typename Op>
    void RunOperation(Op op, bool reRange = true);

    TAnimController& Anim_;
    QButtonGroup* Modes_ = nullptr;
    QLabel* Panels_[3] = {nullptr, nullptr, nullptr};
    bool Pressed_ = false;  // the left button went down on the chart in Select mode
    // The end of the selection the keys move, and the selection the keys made; a selection
    // made otherwise since has no cursor.
    int Cursor_ = -1;
    TFrameRange KeySelection_;
    bool Operating_ = false;  // an operation runs: the controller's signals wait for its end
    bool Placed_ = false;  // placed beside the 3D view on its first showing
    bool ChartStale_ = false;  // the frames changed while the window was hidden
    int ChartFrames_ = -1;  // the number of frames the chart's range was made for
};
