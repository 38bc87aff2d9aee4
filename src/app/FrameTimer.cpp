#include "app/FrameTimer.h"
#include "anim/AnimController.h"
#include "platform/Dialogs.h"
#include "widgets/Chart.h"

#include <QAction>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

constexpr int MarkStyle = TChart::MarkSquare;
constexpr int BandItems = 5;
constexpr double AutoRangeMargin = 5.0;

QToolButton* ToolButton(const QString& caption, const QString& name, const QString& hint, QWidget* parent)
{
    auto* b = new QToolButton(parent);
    b->setText(caption);
    b->setObjectName(name);
    b->setToolTip(hint);
    b->setStatusTip(hint);
    b->setAutoRaise(true);
    return b;
}

}  // namespace

TF_FrameManipulator::TF_FrameManipulator(TAnimController& anim, QWidget* parent)
    : QMainWindow(parent, Qt::Tool | Qt::WindowStaysOnTopHint), Anim_(anim)
{
    setObjectName(QStringLiteral("F_FrameManipulator"));
    setWindowTitle(QStringLiteral("Frame Timer"));
    resize(710, 495);

    QMenu* modify = menuBar()->addMenu(QStringLiteral("&Modify"));
    SelectAll1 = modify->addAction(QStringLiteral("Select &All"));
    SelectAll1->setObjectName(QStringLiteral("SelectAll1"));
    SelectAll1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    connect(SelectAll1, &QAction::triggered, this, [this] { SelectAll1Click(); });
    DeselectAll1 = modify->addAction(QStringLiteral("&Deselect All"));
    DeselectAll1->setObjectName(QStringLiteral("DeselectAll1"));
    DeselectAll1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    connect(DeselectAll1, &QAction::triggered, this, [this] { DeselectAll1Click(); });

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    BuildTools();
    column->addWidget(B_Select->parentWidget());

    RChart = new TChart(central);
    RChart->setObjectName(QStringLiteral("RChart"));
    const QString chartHint = QStringLiteral("LMB + CTRL = Move, SHIFT + LMB = add selection");
    RChart->setToolTip(chartHint);
    RChart->setStatusTip(chartHint);
    RChart->SetEqualScale(false);
    RChart->SetTitles(QStringLiteral("Frame"), QStringLiteral("rel. Time"));
    RChart->SetRims(46, 8, 30, 40);
    RChart->SetChartColor(0x00000000u);
    RChart->SetGridColor(0x00008080u);
    RChart->SetGridStyle(TChart::TGridStyle::Lines);
    RChart->SetGridSpacing(1, 0.1);
    RChart->SetColor(ItemColor);
    RChart->Items().SetClassColor(0, ItemColor);
    RChart->Items().SetClassColor(SelectedClass, SelectedColor);
    RChart->SetRange(0, 0, 10, 1);
    RChart->SetMouseAction(TChart::TMouseAction::None);
    RChart->setFocusPolicy(Qt::StrongFocus);
    RChart->installEventFilter(this);
    column->addWidget(RChart, 1);
    setCentralWidget(central);

    // The hint panel holds the longest hint (the chart's) whole.
    const int hintWidth = std::max(300, fontMetrics().horizontalAdvance(chartHint) + 16);
    const int widths[3] = {
        hintWidth, std::max(170, fontMetrics().horizontalAdvance(QStringLiteral("Selected Frames: 0000 - 0000")) + 8), 50};
    // The last panel stretches; the window is wide enough for its text too when it can be.
    const int pointerWidth = fontMetrics().horizontalAdvance(QStringLiteral("Over Timestep:0000")) + 8;
    for (int i = 0; i < 3; ++i) {
        Panels_[i] = new QLabel(this);
        Panels_[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        Panels_[i]->setMinimumWidth(widths[i]);
        if (i < 2)
            Panels_[i]->setFixedWidth(widths[i]);
        statusBar()->addWidget(Panels_[i], i == 2 ? 1 : 0);
    }
    statusBar()->setSizeGripEnabled(true);
    resize(std::max(width(), widths[0] + widths[1] + pointerWidth + 40), height());

    connect(RChart, &TChart::MouseDown, this,
            [this](double x, double y, Qt::MouseButton b, Qt::MouseButtons, Qt::KeyboardModifiers) { RChartMouseDown(x, y, b); });
    connect(RChart, &TChart::MouseMove, this,
            [this](double x, double y, Qt::MouseButtons bs, Qt::KeyboardModifiers m) { RChartMouseMove(x, y, bs, m); });
    connect(
        RChart, &TChart::MouseUp, this,
        [this](double x, double y, Qt::MouseButton b, Qt::MouseButtons, Qt::KeyboardModifiers m) { RChartMouseUp(x, y, b, m); });

    // The chart follows every change of the frames; an operation of this window rebuilds
    // it once when it is done.
    const auto follow = [this] {
        if (!Operating_)
            RefreshFrameTimerChart(false);
    };
    connect(&Anim_, &TAnimController::FramesChanged, this, follow);
    connect(&Anim_, &TAnimController::StepCountChanged, this, follow);
    connect(&Anim_, &TAnimController::SelectionChanged, this, [this] {
        if (!Operating_ && !ChartStale_) {
            RChart->Items().MarkAll(0);
            UpdateFrameSelection();
        }
    });
    RefreshFrameTimerChart();
}

void TF_FrameManipulator::BuildTools()
{
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("ToolPanel"));
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(2);
    B_Select = ToolButton(QStringLiteral("Select"), QStringLiteral("B_Select"), QStringLiteral("Select"), panel);
    AbColBitBtn4 = ToolButton(QStringLiteral("Zoom"), QStringLiteral("AbColBitBtn4"), QStringLiteral("Zoom"), panel);
    AbColBitBtn3 = ToolButton(QStringLiteral("Pan"), QStringLiteral("AbColBitBtn3"), QStringLiteral("Pan"), panel);
    Modes_ = new QButtonGroup(this);
    Modes_->setExclusive(true);
    // The ids are the group's status bits.
    Modes_->addButton(B_Select, 1);
    Modes_->addButton(AbColBitBtn4, 4);
    Modes_->addButton(AbColBitBtn3, 8);
    for (QAbstractButton* b : Modes_->buttons()) {
        b->setCheckable(true);
        row->addWidget(b);
    }
    B_Select->setChecked(true);
    connect(Modes_, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on)
            B_SelectStatusIntChanged(id);
    });
    row->addSpacing(12);
    B_Reset = ToolButton(QStringLiteral("Show All"), QStringLiteral("B_Reset"), QStringLiteral("Show All"), panel);
    B_Linearize = ToolButton(QStringLiteral("Linearize"), QStringLiteral("B_Linearize"), QStringLiteral("Linearize Frames"),
                             panel);
    B_Mirror = ToolButton(QStringLiteral("Mirror"), QStringLiteral("B_Mirror"), QStringLiteral("Mirror Frames"), panel);
    B_Copy = ToolButton(QStringLiteral("Copy"), QStringLiteral("B_Copy"), QStringLiteral("Copy Frames"), panel);
    B_Move = ToolButton(QStringLiteral("Move"), QStringLiteral("B_Move"), QStringLiteral("Move Frames"), panel);
    B_Trash = ToolButton(QStringLiteral("Delete"), QStringLiteral("B_Trash"), QStringLiteral("Delete Frames"), panel);
    B_Flip = ToolButton(QStringLiteral("Flip"), QStringLiteral("B_Flip"),
                        QStringLiteral("Flip: the selected frames' poses mirrored left and right"), panel);
    B_FlipHalfCycle = ToolButton(QStringLiteral("Flip, half a cycle later"), QStringLiteral("B_FlipHalfCycle"),
                                 QStringLiteral("Flip, half a cycle later: the selected frames' mirrored poses written "
                                                "half the animation's length later (walk cycles)"),
                                 panel);
    for (QToolButton* b : {B_Reset, B_Linearize, B_Mirror, B_Copy, B_Move, B_Trash, B_Flip, B_FlipHalfCycle}) {
        b->setEnabled(b == B_Reset);
        row->addWidget(b);
    }
    row->addStretch(1);
    connect(B_Reset, &QToolButton::clicked, this, [this] { B_ResetClick(); });
    connect(B_Linearize, &QToolButton::clicked, this, [this] { B_LinearizeClick(); });
    connect(B_Mirror, &QToolButton::clicked, this, [this] { B_MirrorClick(); });
    connect(B_Copy, &QToolButton::clicked, this, [this] { B_CopyClick(); });
    connect(B_Move, &QToolButton::clicked, this, [this] { B_MoveClick(); });
    connect(B_Trash, &QToolButton::clicked, this, [this] { B_TrashClick(); });
    connect(B_Flip, &QToolButton::clicked, this, [this] { B_FlipClick(); });
    connect(B_FlipHalfCycle, &QToolButton::clicked, this, [this] { B_FlipHalfCycleClick(); });
}

// ---- Chart and selection

int TF_FrameManipulator::SelFirst() const { return Anim_.Selection().First; }
int TF_FrameManipulator::SelLast() const { return Anim_.Selection().Last; }

void TF_FrameManipulator::RefreshFrameTimerChart(bool reRange)
{
    const TAnimFrames& frames = Anim_.Doc.AnimFrames;
    TChartItems& items = RChart->Items();
    items.Clear();
    // A hidden window builds its chart when it is shown: two chart items per frame are
    // no cost worth paying for a window nobody looks at (millions of frames are possible).
    ChartStale_ = !isVisible();
    if (ChartStale_)
        return;
    // One joined mark per frame: the line through the frames and the mark on each are
    // the same item, a few tens of bytes a frame.
    items.Reserve(frames.size() + BandItems, frames.size());
    items.SetColor(ItemColor);
    for (size_t i = 0; i < frames.size(); ++i)
        items.JoinedMark(static_cast<double>(i), frames[i].Time, MarkStyle);
    BandShown = false;
    if (reRange || ChartFrames_ != int(frames.size()))
        RChart->AutoRange(AutoRangeMargin);
    ChartFrames_ = int(frames.size());
    UpdateFrameSelection();
}

void TF_FrameManipulator::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    if (!Placed_) {
        // The first time, at the bottom left of the main window: over the left column and
        // the lower 2D view, not over the 3D view at the bottom right. Later showings keep
        // where the user put it.
        Placed_ = true;
        if (QWidget* owner = parentWidget()) {
            const QRect g = owner->window()->geometry();
            // Narrower, where that keeps it off the 3D view.
            if (const QWidget* view = owner->window()->findChild<QWidget*>(QStringLiteral("P_3dArea"))) {
                const int room = view->mapToGlobal(QPoint(0, 0)).x() - g.left() - 8;
                if (room < width())
                    resize(std::max(room, minimumSizeHint().width()), height());
            }
            move(g.left(), std::max(g.top(), g.bottom() - height() - 40));
        }
    }
    if (ChartStale_)
        RefreshFrameTimerChart(false);
}

void TF_FrameManipulator::UpdateFrameSelection()
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    const TFrameRange sel = Anim_.Selection();
    RChart->Items().MarkInRect(sel.First, -inf, sel.Last, inf, SelectedClass);
    RChart->update();
    Panels_[1]->setText(sel.First == -1 ? QStringLiteral("Selected Frames: None")
                                        : QStringLiteral("Selected Frames: %1 - %2").arg(sel.First).arg(sel.Last));
    const TFrameTimerButtons on = FrameTimerButtons(sel.First, sel.Last, Anim_.Doc.FrameCount());
    B_Linearize->setEnabled(on.Linearize);
    B_Mirror->setEnabled(on.Mirror);
    B_Move->setEnabled(on.MoveCopyDelete);
    B_Copy->setEnabled(on.MoveCopyDelete);
    B_Trash->setEnabled(on.MoveCopyDelete);
    B_Flip->setEnabled(on.MoveCopyDelete);
    B_FlipHalfCycle->setEnabled(on.FlipHalfCycle);
}

std::vector<TTimerItem> TF_FrameManipulator::TimerItems() const
{
    // Each frame's joined mark stands for the frame's line point and its mark, which sit
    // at the same place: the timing rules see both. Frame 0's move-to is never tagged.
    const std::vector<TChartItem>& chart = RChart->Items().Items();
    size_t n = chart.size();
    if (BandShown)
        n -= std::min<size_t>(n, BandItems);
    std::vector<TTimerItem> items;
    items.reserve(2 * n);
    for (size_t i = 0; i < n; ++i) {
        const bool selected = chart[i].Class == SelectedClass;
        items.push_back({chart[i].X, chart[i].Y, i == 0 ? TTimerItemKind::MoveTo : TTimerItemKind::LineTo, selected && i > 0});
        items.push_back({chart[i].X, chart[i].Y, TTimerItemKind::Mark, selected});
    }
    return items;
}

void TF_FrameManipulator::SetItemYs(const std::vector<TTimerItem>& items)
{
    // The marks carry the times; a line point drawn through them goes where its mark is.
    TChartItems& chart = RChart->Items();
    for (size_t i = 0; 2 * i + 1 < items.size(); ++i)
        chart.SetY(i, items[2 * i + 1].Y);
}

void TF_FrameManipulator::CollectFrameSelection()
{
    Operating_ = true;  // the chart's tags are the selection already
    Anim_.SetSelection(::CollectFrameSelection(TimerItems()));
    Operating_ = false;
    UpdateFrameSelection();
}

void TF_FrameManipulator::WriteBackFrameTimes() { Anim_.WriteBackFrameTimes(TimerItems()); }

QString TF_FrameManipulator::StatusText(int panel) const { return panel >= 0 && panel < 3 ? Panels_[panel]->text() : QString(); }

void TF_FrameManipulator::SetPressed(bool pressed)
{
    if (std::exchange(Pressed_, pressed) != pressed)
        emit DraggingChanged(pressed);
}

void TF_FrameManipulator::SetEditLock(bool locked)
{
    SetPressed(false);
    centralWidget()->setEnabled(!locked);
    SelectAll1->setEnabled(!locked);
    DeselectAll1->setEnabled(!locked);
}

// ---- Mouse

bool TF_FrameManipulator::Selecting() const { return B_Select->isChecked(); }

void TF_FrameManipulator::B_SelectStatusIntChanged(int status)
{
    switch (status) {
    case 4:
        RChart->SetMouseAction(TChart::TMouseAction::DragZoom);
        break;
    case 8:
        RChart->SetMouseAction(TChart::TMouseAction::Pan);
        break;
    default:
        RChart->SetMouseAction(TChart::TMouseAction::None);
        break;
    }
}

void TF_FrameManipulator::RChartMouseDown(double x, double y, Qt::MouseButton button)
{
    if (!Selecting() || button != Qt::LeftButton)
        return;
    DragFrame = x;
    DragTime = y;
    SetPressed(true);
}

void TF_FrameManipulator::RChartMouseMove(double x, double y, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods)
{
    // Far out in a zoomed or panned chart x can exceed any integer; the read-out stops there.
    const double nearest = std::isfinite(x) ? std::clamp(std::trunc(x + 0.5), -1e15, 1e15) : 0.0;
    Panels_[2]->setText(QStringLiteral("Over Timestep:") + QString::number(static_cast<long long>(nearest)));
    if (!Selecting() || !Pressed_ || !(buttons & Qt::LeftButton))
        return;
    TChartItems& chart = RChart->Items();
    if (mods & Qt::ControlModifier) {
        // Retime the selection; the document hears of it on release.
        chart.ShiftClassY(SelectedClass, y - DragTime);
        DragTime = y;
        std::vector<TTimerItem> items = TimerItems();
        EnforceTimeOrder(items);
        SetItemYs(items);
    } else {
        if (BandShown) {
            for (int i = 0; i < BandItems; ++i)
                chart.RemoveLast();
        }
        BandShown = true;
        chart.SetColor(ItemColor);
        chart.MoveTo(DragFrame, DragTime);
        chart.LineTo(x, DragTime);
        chart.LineTo(x, y);
        chart.LineTo(DragFrame, y);
        chart.LineTo(DragFrame, DragTime);
    }
    RChart->update();
}

void TF_FrameManipulator::RChartMouseUp(double x, double y, Qt::MouseButton button, Qt::KeyboardModifiers mods)
{
    if (!Selecting() || button != Qt::LeftButton || !Pressed_)
        return;
    SetPressed(false);
    TChartItems& chart = RChart->Items();
    if (!(mods & Qt::ControlModifier)) {
        if (!(mods & Qt::ShiftModifier))
            chart.MarkAll(0);
        if (BandShown) {
            for (int i = 0; i < BandItems; ++i)
                chart.RemoveLast();
            BandShown = false;
            chart.MarkInRect(DragFrame, DragTime, x, y, SelectedClass);
        } else {
            double pixels = 0;
            const int mark = RChart->NearestMark(RChart->ChartToPixel(x, y), &pixels);
            if (mark >= 0 && pixels < ClickPixels)
                chart.SetClass(size_t(mark), SelectedClass);
        }
        CollectFrameSelection();
    } else if (BandShown) {
        for (int i = 0; i < BandItems; ++i)
            chart.RemoveLast();
        BandShown = false;
    }
    RChart->update();
    WriteBackFrameTimes();
    BandShown = false;
}

bool TF_FrameManipulator::RChartKeyPress(int key, Qt::KeyboardModifiers mods)
{
    if (!Selecting() || Pressed_)
        return false;
    if (mods & Qt::ControlModifier) {
        if (key != Qt::Key_Up && key != Qt::Key_Down)
            return false;
        if (SelFirst() != -1) {
            std::vector<TTimerItem> items = TimerItems();
            DragSelectedItems(items, key == Qt::Key_Up ? KeyTimeStep : -KeyTimeStep);
            Anim_.WriteBackFrameTimes(items);
        }
        return true;
    }
    TFrameKey move;
    switch (key) {
    case Qt::Key_Left:
        move = TFrameKey::Previous;
        break;
    case Qt::Key_Right:
        move = TFrameKey::Next;
        break;
    case Qt::Key_Home:
        move = TFrameKey::First;
        break;
    case Qt::Key_End:
        move = TFrameKey::Last;
        break;
    default:
        return false;
    }
    const TFrameRange sel = Anim_.Selection();
    const bool ours = sel.First == KeySelection_.First && sel.Last == KeySelection_.Last;
    const TFrameCursor c = MoveFrameCursor(sel, ours ? Cursor_ : -1, move, mods & Qt::ShiftModifier, Anim_.Doc.FrameCount(),
                                           Anim_.Doc.ActAnimStep);
    if (c.Cursor == -1)
        return true;
    Anim_.SetSelection(c.Range);
    Cursor_ = c.Cursor;
    KeySelection_ = c.Range;
    // The frame the keys went to is shown, as a click shows the frame it selects.
    Anim_.SetActStep(c.Cursor);
    return true;
}

bool TF_FrameManipulator::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == RChart && e->type() == QEvent::KeyPress) {
        const auto* k = static_cast<QKeyEvent*>(e);
        if (RChartKeyPress(k->key(), k->modifiers()))
            return true;
    }
    return QMainWindow::eventFilter(watched, e);
}

// ---- Buttons

void TF_FrameManipulator::B_ResetClick()
{
    RChart->AutoRange(AutoRangeMargin);
    RChart->update();
}

template <typename Op>
void TF_FrameManipulator::RunOperation(Op op, bool reRange)
{
    const DialogOwner owner(this);
    Operating_ = true;
    const TTimingResult r = op();
    Operating_ = false;
    if (r.Status == TTimingStatus::Stopped) {
        dialogs().ShowMessage(r.Message);
        return;
    }
    if (!r.Done())
        return;
    RefreshFrameTimerChart(reRange);
    if (!r.Message.isEmpty())
        dialogs().ShowMessage(r.Message);
}

void TF_FrameManipulator::B_LinearizeClick()
{
    RunOperation([this] { return Anim_.LinearizeRange(SelFirst(), SelLast()); }, false);
}

void TF_FrameManipulator::B_MirrorClick()
{
    RunOperation([this] { return Anim_.MirrorRange(SelFirst(), SelLast()); });
}

void TF_FrameManipulator::B_MoveClick()
{
    const DialogOwner owner(this);
    QString answer;
    if (!dialogs().InputQuery(QStringLiteral("Move"), QStringLiteral("Move to Frame:"), answer))
        return;
    // OK with nothing typed is no frame: the operation reports "Invalid Frame!".
    const int target = ParseTargetFrame(answer);
    RunOperation([this, target] { return Anim_.MoveRange(SelFirst(), SelLast(), target); });
}

void TF_FrameManipulator::B_CopyClick()
{
    const DialogOwner owner(this);
    QString answer;
    if (!dialogs().InputQuery(QStringLiteral("Copy"), QStringLiteral("Copy to Frame:"), answer))
        return;
    // OK with nothing typed is no frame: the operation reports "Invalid Frame!".
    const int target = ParseTargetFrame(answer);
    RunOperation([this, target] { return Anim_.CopyRange(SelFirst(), SelLast(), target); });
}

void TF_FrameManipulator::B_TrashClick()
{
    const DialogOwner owner(this);
    if (Anim_.Doc.AnimFrames.empty()) {
        dialogs().ShowMessage(QStringLiteral("No Anim Steps!"));
        return;
    }
    if (!dialogs().AskYesNo(QStringLiteral("Are you sure to delete selected frames?"), QStringLiteral("Warning")))
        return;
    RunOperation([this] { return Anim_.DeleteRange(SelFirst(), SelLast()); });
}

void TF_FrameManipulator::B_FlipClick()
{
    RunOperation([this] { return Anim_.FlipRange(SelFirst(), SelLast()); }, false);
}

void TF_FrameManipulator::B_FlipHalfCycleClick()
{
    RunOperation([this] { return Anim_.FlipRangeHalfCycleLater(SelFirst(), SelLast()); }, false);
}

void TF_FrameManipulator::SelectAll1Click() { Anim_.SetSelection({0, Anim_.Doc.AnimStepCount - 1}); }

void TF_FrameManipulator::DeselectAll1Click() { Anim_.SetSelection({-1, -1}); }

// ---- Window

bool TF_FrameManipulator::event(QEvent* e)
{
    // Hints go to the first status panel.
    if (e->type() == QEvent::StatusTip) {
        Panels_[0]->setText(static_cast<QStatusTipEvent*>(e)->tip());
        return true;
    }
    return QMainWindow::event(e);
}

void TF_FrameManipulator::closeEvent(QCloseEvent* e)
{
    QMainWindow::closeEvent(e);
    emit Closed();
}
