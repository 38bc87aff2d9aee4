#pragma once
// The window's side of keeping work through a crash: recovery copies written while there
// are unsaved changes (anim/Autosave.h into anim/Recovery.h), and at start the copies of
// editors that are gone offered back.
//
// The editor's history says when the work changes and when its files hold it again; a
// one-second timer and the application losing focus say when a copy may be due. A normal
// exit (Exit) removes the copy; any other end leaves it for the next start.
#include "anim/Autosave.h"

#include <QObject>
#include <functional>
#include <memory>

class QTimer;
class QWidget;
class TEditor;

class TWorkKeeper : public QObject {
    Q_OBJECT
public:
    // Copies go to a folder of this process's own in recoveryDir.
    TWorkKeeper(TEditor& editor, const QString& recoveryDir, QObject* parent = nullptr);
    ~TWorkKeeper() override;

    // Seconds from the first change to its copy; 0: no copies (AutosaveSeconds).
    void SetInterval(int seconds);

    // What recovering needs of the window: the save question before the document is
    // replaced (false: cancelled), and a model opened as "Load P3d..." opens it.
    std::function<bool()> SaveChangesFirst = [] { return true; };
    std::function<void(const QString&)> OpenModel = [](const QString&) {};
    // After a copy became the document: the window shows it as after a load.
    std::function<void()> Recovered = [] {};
    // A copy could not be written (said once until one is written again): the user is to
    // know that the work is not kept.
    std::function<void(const QString&)> Failed = [](const QString&) {};

    // Asks about each copy of an editor that is gone, newest first, over owner:
    // "Recover unsaved work from DATE?" with Recover (the copy becomes the document, as one
    // step, unsaved, with its own file name), Discard (the copy is deleted) and Later
    // (it waits for the next start).
    void OfferRecovery(QWidget* owner);

    // A normal exit: the copy goes, and no other is written.
    void Exit();

    // Milliseconds until the next copy is due; -1 when none is.
    qint64 MsUntilCopy() const { return Scheduler_.MsUntilDue(); }
    // Waits until the copy handed over is written (or removed).
    void WaitIdle() { Writer_.WaitIdle(); }
    int CopiesWritten() const { return Writer_.Written(); }
    const TRecoveryStore& Store() const { return Store_; }

private:
    void HistoryChanged();
    // The writer's last failure, told once.
    void TellFailure();
    bool Recover(const TRecoveryCopy& copy);

    TEditor& Editor_;
    TRecoveryStore Store_;
    TAutosaveWriter Writer_;
    TAutosaveScheduler Scheduler_;
    QTimer* Timer_ = nullptr;
    bool Unsaved_ = false;  // as the history said last
    bool Exited_ = false;
    QString Told_;  // the failure told last
};
