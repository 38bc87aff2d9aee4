#include "support/HostileFiles.h"

#include <QFile>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace Hostile {

bool MakeFifo(const QString& path) { return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0; }

bool SetMode(const QString& path, unsigned mode) { return ::chmod(QFile::encodeName(path).constData(), mode) == 0; }

namespace {
constexpr unsigned OverrideCaps = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);

bool Caps(bool get, __user_cap_data_struct (&data)[2])
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(get ? SYS_capget : SYS_capset, &header, data) == 0;
}
}  // namespace

TNoAccessOverride::TNoAccessOverride()
{
    __user_cap_data_struct data[2] = {};
    if (!Caps(true, data))
        return;
    if (data[0].effective & OverrideCaps) {
        data[0].effective &= ~OverrideCaps;
        if (!(Dropped_ = Caps(false, data)))
            return;
    }
    // Whether the bits now bind: a file without read permission cannot be opened.
    char name[] = "/tmp/torvane-noaccess-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd < 0)
        return;
    ::fchmod(fd, 0);
    const int probe = ::open(name, O_RDONLY);
    Active_ = probe < 0;
    if (probe >= 0)
        ::close(probe);
    ::close(fd);
    ::unlink(name);
}

TNoAccessOverride::~TNoAccessOverride()
{
    if (!Dropped_)
        return;
    __user_cap_data_struct data[2] = {};
    if (Caps(true, data)) {
        data[0].effective |= OverrideCaps & data[0].permitted;
        Caps(false, data);
    }
}

TFileSizeLimit::TFileSizeLimit(long long limit)
{
    rlimit old{};
    if (::getrlimit(RLIMIT_FSIZE, &old) != 0)
        return;
    Old_ = (long long)old.rlim_cur;
    OldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lim = old;
    lim.rlim_cur = rlim_t(limit);
    Active_ = ::setrlimit(RLIMIT_FSIZE, &lim) == 0;
}

TFileSizeLimit::~TFileSizeLimit()
{
    if (Active_) {
        rlimit lim{};
        ::getrlimit(RLIMIT_FSIZE, &lim);
        lim.rlim_cur = rlim_t(Old_);
        ::setrlimit(RLIMIT_FSIZE, &lim);
    }
    std::signal(SIGXFSZ, OldHandler_);
}

TFifoWatchdog::TFifoWatchdog(const QString& fifo, int milliseconds)
{
    const QByteArray name = QFile::encodeName(fifo);
    Thread_ = std::thread([this, name, milliseconds] {
        std::unique_lock<std::mutex> lock(Mutex_);
        if (Done_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return Finished_; }))
            return;
        Fired_ = true;
        lock.unlock();
        // A reader waiting in open() is met by this open, and the close gives it end of
        // file; without a reader the open fails at once.
        const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0)
            ::close(fd);
    });
}

TFifoWatchdog::~TFifoWatchdog()
{
    {
        std::lock_guard<std::mutex> lock(Mutex_);
        Finished_ = true;
    }
    Done_.notify_all();
    Thread_.join();
}

int RunWithMemoryLimit(long long extraBytes, const std::function<int()>& body)
{
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        // A crash here ends the child plainly: the test framework's handlers would try to
        // attach a debugger.
        for (const int sig : {SIGABRT, SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTERM, SIGINT})
            ::signal(sig, SIG_DFL);
        long long pages = 0;
        if (FILE* f = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(f, "%lld", &pages) != 1)
                pages = 0;
            std::fclose(f);
        }
        const rlim_t limit = rlim_t(pages * ::sysconf(_SC_PAGESIZE) + extraBytes);
        const struct rlimit rl {
            limit, limit
        };
        if (pages == 0 || ::setrlimit(RLIMIT_AS, &rl) != 0)
            ::_exit(125);
        // An exception must not leave the child: the test framework would catch it and go
        // on running tests in the child. Uncaught, it ends the program as terminate does.
        int code = 134;
        try {
            code = body();
        } catch (...) {
        }
        ::_exit(code);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child)
        return -1;
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

bool MemoryLimitsWork()
{
#if defined(__SANITIZE_ADDRESS__)
    return false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return false;
#else
    return true;
#endif
#else
    return true;
#endif
}

bool WriteSparseFile(const QString& path, const QByteArray& head, long long size)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(head) == head.size() && f.resize(size);
}

}  // namespace Hostile
