#pragma once
// The frame timer: ranges of frames on a chart, retimed, mirrored, moved, copied, deleted.
#include <QWidget>

class TF_FrameManipulator : public QWidget {
    Q_OBJECT
public:
    explicit TF_FrameManipulator(QWidget* parent);
    // The selected range of frames; -1 when none.
    int SelFirst = -1;
    int SelLast = -1;
    // Rebuilds the chart from the document; counts calls until the chart exists.
    void RefreshChart() { ++RefreshCount; }
    int RefreshCount = 0;

signals:
    void Closed();

protected:
    void closeEvent(QCloseEvent* e) override;
};

extern TF_FrameManipulator* F_FrameManipulator;
