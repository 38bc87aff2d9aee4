#pragma once
// The frame grid: a two-column list of the frames ("No", "Time Step") over the document,
// one row per frame and an empty row after the last, painted only where it is visible so
// that ten thousand frames cost no more than ten. The current frame's number sits on
// olive, a time that does not follow its predecessor on red. Selecting a frame row (mouse
// or keys) makes that frame current; typing into a time cell retimes the frame as the text
// changes, and the frames are sorted once the edit is committed. The last frame keeps its
// time.
#include <QTableView>

class TAnimController;
class TFrameGridModel;

class TFrameGrid : public QTableView {
    Q_OBJECT
public:
    TFrameGrid(TAnimController& anim, QWidget* parent);

    // Brings the rows in line with the document's frames and repaints.
    void SyncRows();
    // Moves the current cell to frame step's time cell, without making it current again.
    void ShowCurrentFrame(int step);
    // Rows of the model: one per frame and the empty row after them.
    int Rows() const;
    // A time cell is open for editing.
    bool Editing() const { return state() == QAbstractItemView::EditingState; }

    static constexpr int RowHeight = 15;

private:
    TAnimController& Anim_;
    TFrameGridModel* Model_;
    bool Following_ = false;  // moving the cell to the document's frame, not the user
};
