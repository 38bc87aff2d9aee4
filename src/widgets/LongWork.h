#pragma once
// Long work (a load, a save, an export: platform/Progress.h) run on a worker thread while
// the GUI thread waits in an event loop of its own. The windows keep painting and timers
// keep running, but no input reaches them except Escape, which cancels the work: no
// handler can start anything while the worker reads or writes what they show. Input that
// comes while the caller finishes the operation after Run is dropped as well. (A modal box
// that opens meanwhile takes input as usual.)
//
// Work expected to be short (Bytes below DirectBytes) runs in place as it always did, and
// so does any work while the window is not on the screen. The widget sits in the status
// bar: after ShowAfterMs it shows the task's text ("Loading walker.p3d...") with a
// progress bar, and after a cancel "Cancelled" for a few seconds.
#include "platform/Progress.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

class QLabel;
class QProgressBar;
class QTimer;

class TLongWork : public QWidget {
    Q_OBJECT
public:
    explicit TLongWork(QWidget* parent = nullptr);

    qint64 DirectBytes = 1 << 20;
    int ShowAfterMs = 500;
    // Called on the worker thread with each fraction the work reports (tests hold the
    // work there).
    std::function<void(double)> OnReport;
    // Milliseconds since the work started; empty: the wall clock (tests set their own).
    std::function<qint64()> Elapsed;

    // A timer that changes what the work may be reading (playback, an edit's ticks): it is
    // stopped while work runs on the worker, and started again after if it ran before.
    void Hold(QTimer* timer);

    // Runs the task; false when it was cancelled.
    bool Run(const TLongTask& task);
    bool Running() const { return Progress_ != nullptr; }
    // What Escape does.
    void Cancel();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowProgress();
    // Input reaches the windows again, once what came during the work is dropped.
    void LetInputIn();
    // Whether input to o goes to a modal box that opened while the work runs.
    bool ToNewModal(QObject* o) const;

    QLabel* Text_;
    QProgressBar* Bar_;
    QTimer* Tick_;  // the indicator follows the work
    QTimer* Linger_;  // how long "Cancelled" stays
    QElapsedTimer Clock_;
    TProgress* Progress_ = nullptr;
    bool Holding_ = false;  // the filter is on: from the start of work until the loop is back
    QPointer<QWidget> ModalAtStart_;
    std::vector<QPointer<QTimer>> Held_;
};
