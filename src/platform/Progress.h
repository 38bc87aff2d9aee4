#pragma once
// Long work (a load, a save, an export) and how far it has come.
//
// A reader or writer that may take long takes a TProgress* (null: nobody asks) and calls
// Advance(progress, done, total) now and then, every piece or every few thousand records:
// the call is cheap, and only a few dozen of them reach the receiver. Advance returns
// false once Cancel was asked (from any thread); the work then stops where stopping
// loses nothing (a read drops what it read, a write removes its temporary file).
//
// An operation that has long work hands it to a TLongRun as a TLongTask: the command line
// runs it in place (RunInPlace); the window runs it on a worker thread while it keeps
// painting, and lets Escape cancel it.
#include <QString>
#include <atomic>
#include <functional>

class TProgress {
public:
    using TReport = std::function<void(double fraction)>;
    // Fractions of the whole, rising, at most Steps + 1 of them; called on the working thread.
    explicit TProgress(TReport report = {}) : Report_(std::move(report)) {}
    TProgress(const TProgress&) = delete;
    TProgress& operator=(const TProgress&) = delete;

    static constexpr int Steps = 32;

    // The part of the work under way has come to done of total (a total of 0 or less says
    // nothing). False once cancelled.
    bool Advance(qint64 done, qint64 total);
    // The part under way is the stretch [from, to] of the whole (0 to 1 until set).
    void SetPart(double from, double to);

    // Any thread.
    void Cancel() { Cancelled_.store(true, std::memory_order_relaxed); }
    bool Cancelled() const { return Cancelled_.load(std::memory_order_relaxed); }
    // The fraction reported last (0 before any).
    double Fraction() const { return Shown_.load(std::memory_order_relaxed); }

private:
    TReport Report_;
    double From_ = 0, To_ = 1;
    std::atomic<double> Shown_{0};
    std::atomic<bool> Cancelled_{false};
};

// The hooks the readers and writers call; a null progress goes on and is never cancelled.
inline bool Advance(TProgress* progress, qint64 done, qint64 total) { return !progress || progress->Advance(done, total); }
inline bool Cancelled(const TProgress* progress) { return progress && progress->Cancelled(); }
inline void SetPart(TProgress* progress, double from, double to)
{
    if (progress)
        progress->SetPart(from, to);
}

// The long part of an operation.
struct TLongTask {
    QString Text;  // what the window shows meanwhile: "Loading walker.p3d...", "Saving..."
    qint64 Bytes = 0;  // about how many bytes it reads or writes: small work runs in place
    // Does the work, reporting to progress (null when nobody asks); false when it stopped
    // because progress was cancelled, having changed nothing.
    std::function<bool(TProgress* progress)> Work;
};

// Runs a task; false when it was cancelled.
using TLongRun = std::function<bool(const TLongTask& task)>;
inline bool RunInPlace(const TLongTask& task) { return task.Work(nullptr); }
