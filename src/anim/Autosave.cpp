#include "anim/Autosave.h"

#include <algorithm>
#include <chrono>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

// ---- TAutosaveWriter

TAutosaveWriter::TAutosaveWriter(TRecoveryStore& store)
    : TAutosaveWriter(
          [&store](const TAutosaveSnapshot& s, QString* error, const std::atomic<bool>* stop) {
              return store.Write(s.Document, s.Model, s.Manifest, error, stop);
          },
          [&store] { store.RemoveOwn(); })
{}

TAutosaveWriter::TAutosaveWriter(TWrite write, TRemove remove)
    : Write_(std::move(write)), Remove_(std::move(remove)), Thread_([this] { Run(); })
{}

TAutosaveWriter::~TAutosaveWriter() { Shutdown(false); }

std::unique_ptr<TAutosaveSnapshot> TAutosaveWriter::TakeSpare()
{
    {
        const std::lock_guard<std::mutex> lock(Mutex_);
        if (Spare_)
            return std::move(Spare_);
    }
    return std::make_unique<TAutosaveSnapshot>();
}

void TAutosaveWriter::Submit(std::unique_ptr<TAutosaveSnapshot> snapshot)
{
    if (!snapshot)
        return;
    const std::lock_guard<std::mutex> lock(Mutex_);
    if (Quit_)
        return;
    // A copy still waiting is not written; its memory serves the next one.
    if (Snapshot_ && !Spare_)
        Spare_ = std::move(Snapshot_);
    Snapshot_ = std::move(snapshot);
    Pending_ = TJob::Write;
    Wake_.notify_one();
}

void TAutosaveWriter::RemoveCopy()
{
    const std::lock_guard<std::mutex> lock(Mutex_);
    if (Quit_)
        return;
    if (Snapshot_ && !Spare_)
        Spare_ = std::move(Snapshot_);
    Snapshot_.reset();
    Pending_ = TJob::Remove;
    Wake_.notify_one();
}

void TAutosaveWriter::WaitIdle()
{
    std::unique_lock<std::mutex> lock(Mutex_);
    Idle_.wait(lock, [this] { return (Pending_ == TJob::None && !Busy_) || Quit_; });
}

void TAutosaveWriter::Shutdown(bool removeCopy)
{
    {
        const std::lock_guard<std::mutex> lock(Mutex_);
        if (Quit_)
            return;
        Quit_ = true;
        Snapshot_.reset();
        Pending_ = removeCopy ? TJob::Remove : TJob::None;
    }
    GiveUp_ = true;
    Wake_.notify_one();
    Thread_.join();
    Idle_.notify_all();
}

int TAutosaveWriter::Written() const
{
    const std::lock_guard<std::mutex> lock(Mutex_);
    return Written_;
}

QString TAutosaveWriter::LastError() const
{
    const std::lock_guard<std::mutex> lock(Mutex_);
    return LastError_;
}

void TAutosaveWriter::Run()
{
    // Background work: the window's thread is never to wait for a processor behind it.
    // A batch thread does not preempt others when it wakes, and a nice one yields to them.
    const sched_param batch{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &batch);
    setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), 10);
    std::unique_lock<std::mutex> lock(Mutex_);
    for (;;) {
        Wake_.wait(lock, [this] { return Pending_ != TJob::None || Quit_; });
        const TJob job = Pending_;
        if (job == TJob::None)
            return;  // Quit_ with nothing left to do
        Pending_ = TJob::None;
        std::unique_ptr<TAutosaveSnapshot> snapshot = std::move(Snapshot_);
        Busy_ = true;
        lock.unlock();

        QString error;
        bool written = false;
        if (job == TJob::Write)
            written = Write_(*snapshot, &error, &GiveUp_);
        else
            Remove_();

        lock.lock();
        // The memory of a copy written serves the next one; after a removal no copy is due
        // for a while, and the memory kept goes back (here, off the window's thread).
        if ((job == TJob::Write && !Spare_ && !Quit_) || job == TJob::Remove)
            std::swap(Spare_, snapshot);
        lock.unlock();
        snapshot.reset();
        lock.lock();
        Busy_ = false;
        if (job == TJob::Write) {
            Written_ += written ? 1 : 0;
            // A write given up at shutdown is no failure worth reporting.
            LastError_ = written || GiveUp_ ? QString() : error;
        }
        if (Pending_ == TJob::None)
            Idle_.notify_all();
        if (Quit_ && Pending_ == TJob::None)
            return;
    }
}

// ---- TAutosaveScheduler

qint64 TAutosaveScheduler::SteadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

TAutosaveScheduler::TAutosaveScheduler(TAutosaveWriter& writer, TClock clock) : Writer_(writer), Clock_(std::move(clock)) {}

void TAutosaveScheduler::SetInterval(int seconds) { IntervalMs_ = qint64(std::max(seconds, 0)) * 1000; }

void TAutosaveScheduler::Changed()
{
    if (!Dirty_) {
        Dirty_ = true;
        DirtySince_ = Clock_();
    }
}

qint64 TAutosaveScheduler::MsUntilDue() const
{
    if (IntervalMs_ == 0 || !Dirty_)
        return -1;
    return std::max<qint64>(0, DirtySince_ + IntervalMs_ - Clock_());
}

bool TAutosaveScheduler::Tick()
{
    const qint64 due = MsUntilDue();
    return due == 0 && WriteNow();
}

bool TAutosaveScheduler::FocusLost() { return IntervalMs_ > 0 && Dirty_ && WriteNow(); }

void TAutosaveScheduler::Saved()
{
    Dirty_ = false;
    Writer_.RemoveCopy();
}

bool TAutosaveScheduler::WriteNow()
{
    Dirty_ = false;
    if (!Unsaved()) {
        // Undone back to what the files hold: a copy would only offer that again.
        Writer_.RemoveCopy();
        return false;
    }
    std::unique_ptr<TAutosaveSnapshot> snapshot = Writer_.TakeSpare();
    if (!Snapshot(*snapshot))
        return false;
    Writer_.Submit(std::move(snapshot));
    return true;
}
