#include "app/FrameGrid.h"
#include "anim/AnimController.h"
#include "anim/FrameOps.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <algorithm>
#include <limits>

namespace {
const QColor kGrid(0x40, 0x40, 0x40);
const QColor kText(0xFF, 0xFF, 0x00);
const QColor kOlive(0x80, 0x80, 0x00);
const QColor kRed(0xFF, 0x00, 0x00);
const QColor kGridLine(0x20, 0x20, 0x20);
constexpr const char* kOriginalTime = "originalTime";
}  // namespace

// Row i is frame i; the row after the last frame stays empty. Only times of frames other
// than the last can be edited.
class TFrameGridModel final : public QAbstractTableModel {
public:
    TFrameGridModel(const TAnimDocument& doc, QObject* parent) : QAbstractTableModel(parent), Doc_(doc) {}

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : Rows_; }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 2; }

    QVariant data(const QModelIndex& index, int role) const override
    {
        const int frame = index.row();
        if ((role != Qt::DisplayRole && role != Qt::EditRole) || frame >= Doc_.FrameCount())
            return {};
        if (index.column() == 0)
            return frame;
        return FormatFrameTime(Doc_.AnimFrames[size_t(frame)].Time);
    }

    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (o != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        return section == 0 ? QStringLiteral("No") : QStringLiteral("Time Step");
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        const int frame = index.row();
        if (frame >= Doc_.FrameCount())
            return Qt::NoItemFlags;  // the empty row after the last frame
        Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (index.column() == 1 && CanRetimeFrame(frame, Doc_.FrameCount()))
            f |= Qt::ItemIsEditable;
        return f;
    }

    // Rows inserted or removed at the end to match the frames, then everything repainted.
    void Sync()
    {
        const int target = Doc_.FrameCount() + 1;
        if (target > Rows_) {
            beginInsertRows({}, Rows_, target - 1);
            Rows_ = target;
            endInsertRows();
        } else if (target < Rows_) {
            beginRemoveRows({}, target, Rows_ - 1);
            Rows_ = target;
            endRemoveRows();
        }
        emit dataChanged(index(0, 0), index(Rows_ - 1, 1));
    }

private:
    const TAnimDocument& Doc_;
    int Rows_ = 1;
};

namespace {
class TFrameGridDelegate final : public QStyledItemDelegate {
public:
    TFrameGridDelegate(TAnimController& anim, QObject* parent) : QStyledItemDelegate(parent), Anim_(anim) {}

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const TAnimDocument& doc = Anim_.Doc;
        const QRect r = option.rect;
        const int frame = index.row();
        p->fillRect(r, kGrid);
        if (frame >= doc.FrameCount())
            return;  // the empty row after the last frame
        p->setPen(kText);
        const int baseline = 1 + p->fontMetrics().ascent();
        if (index.column() == 0) {
            if (frame == doc.ActAnimStep)
                p->fillRect(r, kOlive);
            p->drawText(r.topLeft() + QPoint(2, baseline), QString::number(frame));
            return;
        }
        const TAnimFrame f = doc.AnimFrames[size_t(frame)];
        if (!doc.AnimFrames.TimeValid(size_t(frame)))
            p->fillRect(r, kRed);
        p->drawText(r.topLeft() + QPoint(5, baseline), FormatFrameTime(f.Time));
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override
    {
        auto* e = new QLineEdit(parent);
        e->setFrame(false);
        const int frame = index.row();
        // The frame takes each text that reads as a number while it is typed; the order
        // changes only when the edit is committed.
        connect(e, &QLineEdit::textEdited, this, [this, frame](const QString& text) {
            float t = 0;
            if (ParseFrameTime(text, t))
                Anim_.RetimeFrame(frame, t, false);
        });
        return e;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        const int frame = index.row();
        // Set once when the editor opens: the frame changes under the typing, and the
        // text the user is typing must not be replaced by it.
        if (frame >= Anim_.Doc.FrameCount() || editor->property(kOriginalTime).isValid())
            return;
        const float time = Anim_.Doc.AnimFrames[size_t(frame)].Time;
        editor->setProperty(kOriginalTime, time);
        static_cast<QLineEdit*>(editor)->setText(FormatFrameTime(time));
    }

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override
    {
        float t = 0;
        if (!ParseFrameTime(static_cast<QLineEdit*>(editor)->text(), t))
            t = editor->property(kOriginalTime).toFloat();  // text that is no time changes nothing
        Anim_.RetimeFrame(index.row(), t, true);
    }

private:
    TAnimController& Anim_;
};
}  // namespace

TFrameGrid::TFrameGrid(TAnimController& anim, QWidget* parent)
    : QAbstractItemView(parent), Anim_(anim), Model_(new TFrameGridModel(anim.Doc, this)),
      Header_(new QHeaderView(Qt::Horizontal, this))
{
    setModel(Model_);
    setItemDelegate(new TFrameGridDelegate(anim, this));
    Header_->setModel(Model_);
    Header_->setSectionsClickable(true);
    Header_->setSectionResizeMode(QHeaderView::Fixed);
    Header_->setHighlightSections(false);
    Header_->resizeSection(0, 28);
    Header_->resizeSection(1, std::max(60, fontMetrics().horizontalAdvance(QStringLiteral("Time Step")) + 10));
    connect(Header_, &QHeaderView::geometriesChanged, this, &TFrameGrid::updateGeometries);
    // Tab leaves the grid: walking its cells would move the current frame and trap a keyboard
    // user, who steps through frames with the arrow keys.
    setTabKeyNavigation(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    setStyleSheet(QStringLiteral("TFrameGrid{background:#404040}"
                                 "QHeaderView::section{background:#404040;color:#FFFF00;border:none;"
                                 "padding-left:2px}"));
    setFixedWidth(Header_->length() + verticalScrollBar()->sizeHint().width() + 2 * frameWidth());
    // Whole rows only: a row cut in half at the bottom reads as a frame that is not there.
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        if (!Following_ && current.isValid() && current.row() < Anim_.Doc.FrameCount() && !Anim_.ShuttingDown())
            Anim_.SetActStep(current.row());
    });
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        // A click on the current row after the document moved on still selects the frame.
        if (index.isValid() && index.row() < Anim_.Doc.FrameCount())
            Anim_.SetActStep(index.row());
    });
    // An edit that is abandoned (Escape) puts the time back as it was, and nothing moves.
    connect(itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
            [this](QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
                if (hint == QAbstractItemDelegate::RevertModelCache && editor && currentIndex().isValid())
                    Anim_.CancelRetime(currentIndex().row(), editor->property(kOriginalTime).toFloat());
                NoteEditing();
            });
    SyncRows();
}

bool TFrameGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    const bool opened = QAbstractItemView::edit(index, trigger, event);
    NoteEditing();
    return opened;
}

void TFrameGrid::reset()
{
    QAbstractItemView::reset();  // closes an open cell without a word
    NoteEditing();
}

void TFrameGrid::NoteEditing()
{
    if (Editing() != SaidEditing_)
        emit EditingChanged(SaidEditing_ = Editing());
}

int TFrameGrid::Rows() const { return Model_->rowCount(); }

void TFrameGrid::SyncRows()
{
    Following_ = true;
    Model_->Sync();
    Following_ = false;
    updateGeometries();
    viewport()->update();
}

void TFrameGrid::ShowCurrentFrame(int step)
{
    Following_ = true;
    if (step < Anim_.Doc.FrameCount())
        setCurrentIndex(Model_->index(step, 1));
    Following_ = false;
    viewport()->update();
}

// ---- Layout: row r's top is (r - first) row heights below the viewport's top.

int TFrameGrid::FirstRow() const { return verticalScrollBar()->value(); }

int TFrameGrid::FullRows() const { return std::max(1, viewport()->height() / RowHeight); }

int TFrameGrid::LastFrame() const { return Anim_.Doc.FrameCount() - 1; }

int TFrameGrid::RowAt(int y) const
{
    const qint64 pixel = qint64(FirstRow()) * RowHeight + y;
    if (pixel < 0 || pixel >= qint64(Rows()) * RowHeight)
        return -1;
    return int(pixel / RowHeight);
}

int TFrameGrid::RowTop(int row) const
{
    constexpr qint64 Far = 1 << 24;
    return int(std::clamp<qint64>(qint64(row - FirstRow()) * RowHeight, -Far, Far));
}

int TFrameGrid::verticalOffset() const
{
    return int(std::min<qint64>(qint64(FirstRow()) * RowHeight, std::numeric_limits<int>::max()));
}

QRect TFrameGrid::visualRect(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != Model_)
        return {};
    // The grid line takes the last pixel of each row and column.
    return {Header_->sectionViewportPosition(index.column()), RowTop(index.row()), Header_->sectionSize(index.column()) - 1,
            RowHeight - 1};
}

QModelIndex TFrameGrid::indexAt(const QPoint& point) const
{
    const int row = RowAt(point.y()), column = Header_->logicalIndexAt(point.x());
    return row >= 0 && column >= 0 ? Model_->index(row, column) : QModelIndex();
}

void TFrameGrid::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    if (!index.isValid())
        return;
    const int row = index.row(), full = FullRows();
    QScrollBar* bar = verticalScrollBar();
    switch (hint) {
    case PositionAtTop:
        bar->setValue(row);
        break;
    case PositionAtBottom:
        bar->setValue(row - full + 1);
        break;
    case PositionAtCenter:
        bar->setValue(row - (full - 1) / 2);
        break;
    case EnsureVisible:
        if (row < bar->value())
            bar->setValue(row);
        else if (row >= bar->value() + full)
            bar->setValue(row - full + 1);
        break;
    }
    update(index);
}

// Keys move over the frames' rows only: the empty row after the last is never current.
// Home and End move along the row, with Ctrl to the first and last frame; a page moves by
// the viewport's height; Tab runs through the cells and wraps round.
QModelIndex TFrameGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const int last = LastFrame();
    if (last < 0)
        return {};
    const QModelIndex current = currentIndex();
    if (!current.isValid() || current.row() > last)
        return Model_->index(0, 0);
    int row = current.row(), column = current.column();
    const int top = visualRect(current).top();
    switch (action) {
    case MoveUp:
        row = std::max(0, row - 1);
        break;
    case MoveDown:
        row = std::min(last, row + 1);
        break;
    case MoveLeft:
        column = 0;
        break;
    case MoveRight:
        column = 1;
        break;
    case MoveHome:
        column = 0;
        if (modifiers & Qt::ControlModifier)
            row = 0;
        break;
    case MoveEnd:
        column = 1;
        if (modifiers & Qt::ControlModifier)
            row = last;
        break;
    case MovePageUp: {
        const int to = RowAt(top + RowHeight - 2 - viewport()->height());
        row = to < 0 ? 0 : to;
        break;
    }
    case MovePageDown: {
        const int to = RowAt(top + viewport()->height());
        row = to < 0 ? last : std::min(last, to);
        break;
    }
    case MoveNext:
        if (column == 0)
            column = 1;
        else {
            column = 0;
            row = row == last ? 0 : row + 1;
        }
        break;
    case MovePrevious:
        if (column == 1)
            column = 0;
        else {
            column = 1;
            row = row == 0 ? last : row - 1;
        }
        break;
    }
    return Model_->index(row, column);
}

void TFrameGrid::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command)
{
    const QRect r = rect.normalized();
    const QModelIndex from = indexAt(r.topLeft()), to = indexAt(r.bottomRight());
    if (!from.isValid() || !to.isValid() || !(from.flags() & Qt::ItemIsEnabled) || !(to.flags() & Qt::ItemIsEnabled))
        return;
    selectionModel()->select(QItemSelection(from, to), command);
}

QRegion TFrameGrid::visualRegionForSelection(const QItemSelection& selection) const
{
    // Only what can be on screen: a range may span millions of rows.
    const int first = FirstRow(), last = first + FullRows() + 1;
    QRegion region;
    for (const QItemSelectionRange& range : selection) {
        const int top = std::max(range.top(), first), bottom = std::min(range.bottom(), last);
        if (top > bottom)
            continue;
        const QRect a = visualRect(Model_->index(top, range.left())), b = visualRect(Model_->index(bottom, range.right()));
        region += a.united(b).adjusted(0, 0, 1, 1);
    }
    return region;
}

void TFrameGrid::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles)
{
    if (topLeft == bottomRight) {
        QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    // The base measures every cell of the range, millions after each change of a long
    // animation; an open editor keeps the text typed into it anyway.
    viewport()->update();
}

void TFrameGrid::updateGeometries()
{
    if (Laying_)
        return;
    Laying_ = true;
    const int height = HeaderHeight();
    setViewportMargins(0, height, 0, 0);
    const QRect view = viewport()->geometry();
    Header_->setGeometry(view.left(), view.top() - height, view.width(), height);
    const int full = FullRows();
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, std::max(0, Rows() - full));
    bar->setPageStep(full);
    bar->setSingleStep(1);
    Laying_ = false;
    QAbstractItemView::updateGeometries();
}

int TFrameGrid::HeaderHeight() const
{
    return Header_->isHidden() ? 0 : qBound(Header_->minimumHeight(), Header_->sizeHint().height(), Header_->maximumHeight());
}

QSize TFrameGrid::sizeHint() const { return {width(), HeaderHeight() + ShownRows * RowHeight + 2 * frameWidth()}; }

void TFrameGrid::scrollContentsBy(int, int dy)
{
    if (dy == 0)
        return;
    updateEditorGeometries();
    viewport()->update();
}

void TFrameGrid::paintEvent(QPaintEvent* event)
{
    QPainter p(viewport());
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    // Cells and grid lines stop at the table's end; the viewport's background shows below.
    QRect dirty = event->rect();
    dirty.setRight(std::min(dirty.right(), Header_->length() - 1));
    dirty.setBottom(std::min(dirty.bottom(), RowTop(Rows()) - 1));
    if (!dirty.isValid())
        return;
    const int top = std::max(RowAt(dirty.top()), 0), bottom = RowAt(dirty.bottom());
    if (bottom < top)
        return;
    for (int row = top; row <= bottom; ++row) {
        for (int column = 0; column < 2; ++column) {
            const QModelIndex index = Model_->index(row, column);
            option.rect = visualRect(index);
            itemDelegateForIndex(index)->paint(&p, option, index);
        }
    }
    p.setPen(QPen(kGridLine, 1));
    for (int row = top; row <= bottom; ++row) {
        const int y = RowTop(row) + RowHeight - 1;
        p.drawLine(dirty.left(), y, dirty.right(), y);
    }
    for (int column = 0; column < 2; ++column) {
        const int x = Header_->sectionViewportPosition(column) + Header_->sectionSize(column) - 1;
        p.drawLine(x, dirty.top(), x, dirty.bottom());
    }
}
