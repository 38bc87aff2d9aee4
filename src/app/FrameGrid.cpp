#include "app/FrameGrid.h"
#include "anim/AnimController.h"
#include "anim/FrameOps.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace {
const QColor kGrid(0x40, 0x40, 0x40);
const QColor kText(0xFF, 0xFF, 0x00);
const QColor kOlive(0x80, 0x80, 0x00);
const QColor kRed(0xFF, 0x00, 0x00);
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
    : QTableView(parent), Anim_(anim), Model_(new TFrameGridModel(anim.Doc, this))
{
    setModel(Model_);
    setItemDelegate(new TFrameGridDelegate(anim, this));
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(RowHeight);
    verticalHeader()->setDefaultSectionSize(RowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    setColumnWidth(0, 28);
    setColumnWidth(1, std::max(60, fontMetrics().horizontalAdvance(QStringLiteral("Time Step")) + 10));
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setStyleSheet(QStringLiteral("QTableView{background:#404040;gridline-color:#202020}"
                                 "QHeaderView::section{background:#404040;color:#FFFF00;border:none;"
                                 "padding-left:2px}"));
    setFixedWidth(columnWidth(0) + columnWidth(1) + verticalScrollBar()->sizeHint().width() + 2 * frameWidth());
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
            });
    SyncRows();
}

int TFrameGrid::Rows() const { return Model_->rowCount(); }

void TFrameGrid::SyncRows()
{
    Following_ = true;
    Model_->Sync();
    Following_ = false;
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
