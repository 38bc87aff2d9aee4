#pragma once
// Autosave: when to write a recovery copy (TAutosaveScheduler) and writing it without
// stalling the window (TAutosaveWriter).
//
// The caller takes a copy of the document (a memory copy, a few milliseconds for a large
// animation) and hands it to the writer, whose own thread encodes and writes it. What
// drives the scheduler (app/WorkKeeper does this for the window):
//     Scheduler.Unsaved  = [&] { return <the animation or the model has unsaved changes>; };
//     Scheduler.Snapshot = [&](TAutosaveSnapshot& s) {
//         s.Document = <document>; s.Model = <model edits>; s.Manifest = {...}; return true; };
//     <the editor's change signal>   -> Scheduler.Changed()
//     <a one-second timer>           -> Scheduler.Tick()
//     <the application loses focus>  -> Scheduler.FocusLost()
//     <every save>                   -> Scheduler.Saved()
//     <normal exit>                  -> Writer.Shutdown(true)
#include "anim/Recovery.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

struct TAutosaveSnapshot {
    TAnimDocument Document;  // without frames when the animation is not to be kept
    TRecoveryManifest Manifest;
    TRecoveryModelEdits Model;
};

class TAutosaveWriter {
public:
    // Where copies go: a write (false with the error set, or when stop became true
    // meanwhile) and a removal, both called on the writer's thread, one at a time.
    using TWrite = std::function<bool(const TAutosaveSnapshot&, QString* error, const std::atomic<bool>* stop)>;
    using TRemove = std::function<void()>;
    // Into the store: its own copy, removed with RemoveOwn.
    explicit TAutosaveWriter(TRecoveryStore& store);
    TAutosaveWriter(TWrite write, TRemove remove);
    // Shutdown(false) unless it ran: the copy stays.
    ~TAutosaveWriter();
    TAutosaveWriter(const TAutosaveWriter&) = delete;
    TAutosaveWriter& operator=(const TAutosaveWriter&) = delete;

    // Room for the next copy: the one written last, kept with its memory, or a new one.
    // Copying a large document into memory already in use takes a fraction of the time
    // the first touch of fresh pages takes.
    std::unique_ptr<TAutosaveSnapshot> TakeSpare();
    // The copy to write next. It replaces one still waiting (never one being written):
    // only the newest state is worth the disk.
    void Submit(std::unique_ptr<TAutosaveSnapshot> snapshot);
    // The copy is to go (a save): one waiting is dropped, and the copy is removed once a
    // write under way is done; the memory kept for copies goes too.
    void RemoveCopy();
    // Waits until nothing is waiting or being written.
    void WaitIdle();
    // Ends the thread: a copy waiting is dropped and one being written is given up (its
    // temporary file removed, the copy before kept); with removeCopy the copy is then
    // removed (a normal exit). Later calls do nothing.
    void Shutdown(bool removeCopy);

    // Copies written so far, and why the last write failed ("" when it did not).
    int Written() const;
    QString LastError() const;

private:
    enum class TJob { None, Write, Remove };
    void Run();

    const TWrite Write_;
    const TRemove Remove_;
    mutable std::mutex Mutex_;
    std::condition_variable Wake_;
    std::condition_variable Idle_;
    TJob Pending_ = TJob::None;
    std::unique_ptr<TAutosaveSnapshot> Snapshot_;
    std::unique_ptr<TAutosaveSnapshot> Spare_;  // memory for the next copy; a removal frees it on this thread
    bool Busy_ = false;
    bool Quit_ = false;
    std::atomic<bool> GiveUp_{false};
    int Written_ = 0;
    QString LastError_;
    std::thread Thread_;
};

// Decides when a copy is written: AutosaveSeconds after the first change since the last
// copy, and when the application loses focus, but only while there are unsaved changes;
// never with the interval 0. Time comes from a clock the tests drive.
class TAutosaveScheduler {
public:
    using TClock = std::function<qint64()>;  // milliseconds, never going back
    static qint64 SteadyMs();

    explicit TAutosaveScheduler(TAutosaveWriter& writer, TClock clock = &TAutosaveScheduler::SteadyMs);

    // Whether the work has changes its files do not hold.
    std::function<bool()> Unsaved = [] { return false; };
    // Fills a copy of the document and its manifest; false when there is nothing to write.
    std::function<bool(TAutosaveSnapshot&)> Snapshot = [](TAutosaveSnapshot&) { return false; };

    // Seconds between copies; 0 switches autosave off (negative counts as 0).
    void SetInterval(int seconds);
    int Interval() const { return int(IntervalMs_ / 1000); }

    // Something was edited.
    void Changed();
    // A timer's tick: writes a copy when one is due. True when one was handed to the writer.
    bool Tick();
    // The application lost focus: a copy now, if there is anything new to keep.
    bool FocusLost();
    // Everything was saved: the copy goes.
    void Saved();
    // Milliseconds until a copy is due; -1 when none is.
    qint64 MsUntilDue() const;

private:
    bool WriteNow();

    TAutosaveWriter& Writer_;
    TClock Clock_;
    qint64 IntervalMs_ = 60000;
    bool Dirty_ = false;  // changed since the last copy
    qint64 DirtySince_ = 0;
};
