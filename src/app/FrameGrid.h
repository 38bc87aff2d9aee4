#pragma once
// The frame grid: a two-column list of the frames ("No", "Time Step") over the document,
// one row per frame and an empty row after the last, painted only where it is visible so
// that ten thousand frames cost no more than ten. The current frame's number sits on
// olive, a time that does not follow its predecessor on red. Selecting a frame row (mouse
// or keys) makes that frame current; typing into a time cell retimes the frame as the text
// changes, and the frames are sorted once the edit is committed. The last frame keeps its
// time.
//
// The rows all have one height and are laid out by arithmetic: the view keeps nothing per
// row (a table view's row header keeps a record per row, which for an animation of
// millions of empty frames costs twice the document). It scrolls a row at a time.
#include <QAbstractItemView>

class QHeaderView;
class TAnimController;
class TFrameGridModel;

class TFrameGrid : public QAbstractItemView {
    Q_OBJECT
public:
    TFrameGrid(TAnimController& anim, QWidget* parent);

    // Brings the rows in line with the document's frames and repaints.
    void SyncRows();
    // Moves the current cell to frame step's time cell, without making it current again.
    void ShowCurrentFrame(int step);
    // Rows of the model: one per frame and the empty row after them.
    int Rows() const;
    // A time cell is open for editing; EditingChanged says when that changes.
    bool Editing() const { return state() == QAbstractItemView::EditingState; }

    static constexpr int RowHeight = 15;
    // Rows the grid shows whole: twelve frames (the demo's walk) and the empty row.
    static constexpr int ShownRows = 13;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;
    void reset() override;

signals:
    void EditingChanged(bool editing);

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override { return 0; }
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex&) const override { return false; }
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles = {}) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int FirstRow() const;
    // Rows wholly inside the viewport, at least one.
    int FullRows() const;
    // The row at viewport height y, or -1 above the first row or below the last.
    int RowAt(int y) const;
    // The viewport's y of row's top; far rows are kept far outside, never wrapped.
    int RowTop(int row) const;
    int LastFrame() const;
    int HeaderHeight() const;
    // EditingChanged when Editing() is not what was said last.
    void NoteEditing();

    TAnimController& Anim_;
    TFrameGridModel* Model_;
    QHeaderView* Header_;
    bool Following_ = false;  // moving the cell to the document's frame, not the user
    bool Laying_ = false;  // the viewport margins change under updateGeometries
    bool SaidEditing_ = false;
};
