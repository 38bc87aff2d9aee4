#pragma once
// Files and situations a careful program must survive, for tests: FIFOs that nobody
// writes, files the process may not read or write (also when it runs as root), and a
// file-size limit that makes writes fail midway.
#include <QString>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace Hostile {

// Makes a FIFO at path; false when the platform does not allow it.
bool MakeFifo(const QString& path);

// Sets the permission bits of path (e.g. 0 for "no access", 0444 for read-only).
bool SetMode(const QString& path, unsigned mode);

// While it lives, the process is bound by permission bits even as root: the effective
// capabilities that override them are dropped (and given back when it goes).
class TNoAccessOverride {
public:
    TNoAccessOverride();
    ~TNoAccessOverride();
    TNoAccessOverride(const TNoAccessOverride&) = delete;
    TNoAccessOverride& operator=(const TNoAccessOverride&) = delete;
    // False when the process keeps overriding permissions (the test should skip).
    bool Active() const { return Active_; }

private:
    bool Dropped_ = false;
    bool Active_ = false;
};

// While it lives, writing a file beyond limit bytes fails with EFBIG instead of killing
// the process with SIGXFSZ.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(long long limit);
    ~TFileSizeLimit();
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;
    bool Active() const { return Active_; }

private:
    bool Active_ = false;
    long long Old_ = 0;
    void (*OldHandler_)(int) = nullptr;
};

// Guards a call that may block on a FIFO: when the call has not returned within the
// time, it opens the FIFO for writing and closes it again, so a reader that waits for a
// writer gets an empty file instead of hanging the test. Fired() tells whether that was
// needed, i.e. whether the code under test blocked.
class TFifoWatchdog {
public:
    TFifoWatchdog(const QString& fifo, int milliseconds = 3000);
    ~TFifoWatchdog();
    bool Fired()
    {
        std::lock_guard<std::mutex> lock(Mutex_);
        return Fired_;
    }

private:
    std::mutex Mutex_;
    std::condition_variable Done_;
    bool Finished_ = false;
    bool Fired_ = false;
    std::thread Thread_;
};

// Runs body in a child process whose address space may grow by at most extraBytes
// beyond what it has when it starts, as on a machine without the memory. Returns the
// child's exit code (body's result), or 128 + the signal that ended it (134: an abort,
// also what an exception escaping body gives).
// -1 when no child could be made.
int RunWithMemoryLimit(long long extraBytes, const std::function<int()>& body);
// False where an address-space limit cannot work (the address sanitizer reserves
// terabytes up front); tests then skip.
bool MemoryLimitsWork();

// Makes path a sparse file of size bytes whose start is head.
bool WriteSparseFile(const QString& path, const QByteArray& head, long long size);

}  // namespace Hostile
