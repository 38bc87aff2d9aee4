#include "platform/FileUtil.h"
#include "platform/Progress.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <ctime>
#include <limits>
#include <mutex>
#include <new>
#include <thread>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Every write into the file updates its times, which the file system journals call by
// call: in 64 KiB pieces a 16 MB save took 40% longer than one write of the same bytes, in
// 1 MiB pieces a few percent.
constexpr qsizetype WriteBufferSize = 1024 * 1024;

QString NotRegularText() { return QStringLiteral("Not a regular file"); }

// The text for a file that exists but is no regular file.
QString SpecialFileText(mode_t mode) { return S_ISDIR(mode) ? SystemErrorText(EISDIR) : NotRegularText(); }

bool WriteAll(int fd, const char* p, qsizetype n, int& errnum)
{
    while (n > 0) {
        const ssize_t k = ::write(fd, p, size_t(n));
        if (k < 0) {
            if (errno == EINTR)
                continue;
            errnum = errno;
            return false;
        }
        if (k == 0) {
            errnum = EIO;
            return false;
        }
        p += k;
        n -= k;
    }
    return true;
}

QString FolderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

// Follows path while it names a symbolic link, to the name at the end of the chain, which
// need not exist. Empty with errnum set for a loop (ELOOP) or an unreadable link.
QString FollowLinks(const QString& path, int& errnum)
{
    QString current = path;
    for (int hops = 0; hops < 40; ++hops) {  // the system's own limit for a chain
        const QByteArray name = FileNameToBytes(current);
        struct stat st {};
        if (::lstat(name.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        char target[PATH_MAX];
        const ssize_t n = ::readlink(name.constData(), target, sizeof target);
        if (n < 0 || n >= ssize_t(sizeof target)) {
            errnum = n < 0 ? errno : ENAMETOOLONG;
            return {};
        }
        const QString next = FileNameFromBytes(QByteArray(target, qsizetype(n)));
        current = next.startsWith(QLatin1Char('/')) ? next : FolderOf(current) + QLatin1Char('/') + next;
    }
    errnum = ELOOP;
    return {};
}

// ---- Temporary files of saves in progress, removed when a signal that ends the program
// arrives: a handler may only use what is async-signal-safe, so the names sit in fixed
// slots that it reads without locks.
constexpr int TempSlotCount = 16;
enum TempSlotState : int { SlotFree, SlotFilling, SlotReady };
struct TTempSlot {
    std::atomic<int> State{SlotFree};
    char Name[PATH_MAX];
};
TTempSlot TempSlots[TempSlotCount];
static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the slots without locks");

// The signals whose default action ends the program and that a user or the system sends
// to stop it: a terminal closed (SIGHUP), Ctrl+C, Ctrl+\\, kill. With what each did before
// the handler was put in front of it.
constexpr int EndingSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};
constexpr int EndingSignalCount = int(std::size(EndingSignals));
struct sigaction PreviousActions[EndingSignalCount] = {};

extern "C" void RemoveTempFilesAndDie(int sig)
{
    const int saved = errno;
    for (TTempSlot& slot : TempSlots)
        if (slot.State.load() == SlotReady)
            ::unlink(slot.Name);
    errno = saved;
    // Then the signal does what it did before: the default action ends the program, a
    // handler someone else installed runs.
    for (int i = 0; i < EndingSignalCount; ++i)
        if (EndingSignals[i] == sig)
            ::sigaction(sig, &PreviousActions[i], nullptr);
    ::raise(sig);
}

// Puts the handler in front of those signals, unless one is ignored (the program then
// goes on, and so must the save). Checked at every save, so a handler installed later by
// someone else is chained too.
void InstallTempFileHandlers()
{
    static std::mutex mutex;
    const std::lock_guard<std::mutex> lock(mutex);
    for (int i = 0; i < EndingSignalCount; ++i) {
        struct sigaction current {};
        if (::sigaction(EndingSignals[i], nullptr, &current) != 0 || current.sa_handler == SIG_IGN ||
            current.sa_handler == RemoveTempFilesAndDie)
            continue;
        PreviousActions[i] = current;
        struct sigaction sa {};
        sa.sa_handler = RemoveTempFilesAndDie;
        sigemptyset(&sa.sa_mask);
        ::sigaction(EndingSignals[i], &sa, nullptr);
    }
}

// The slot holding name, or -1 when all are taken (the file is then only removed the
// usual way).
int RegisterTempFile(const QByteArray& name)
{
    if (name.size() >= PATH_MAX)
        return -1;
    InstallTempFileHandlers();
    for (int i = 0; i < TempSlotCount; ++i) {
        int expected = SlotFree;
        if (!TempSlots[i].State.compare_exchange_strong(expected, SlotFilling))
            continue;
        std::memcpy(TempSlots[i].Name, name.constData(), size_t(name.size()) + 1);
        TempSlots[i].State.store(SlotReady);
        return i;
    }
    return -1;
}

void UnregisterTempFile(int& slot)
{
    if (slot >= 0)
        TempSlots[slot].State.store(SlotFree);
    slot = -1;
}

bool IsRegisteredTempFile(const QByteArray& name)
{
    for (const TTempSlot& slot : TempSlots)
        if (slot.State.load() == SlotReady && name == slot.Name)
            return true;
    return false;
}

// The characters of a temporary file's random part (QString::number(.., 36)).
bool IsTempSuffix(const char* p, size_t n)
{
    if (n < 1 || n > 8)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (!((p[i] >= '0' && p[i] <= '9') || (p[i] >= 'a' && p[i] <= 'z')))
            return false;
    return true;
}

// The start of a temporary file's name for the file name: ".NAME.", NAME cut (at a whole
// UTF-8 sequence) so that the name with its random part still fits the folder's limit: a
// file whose own name is near that limit can be saved too.
QByteArray TempPrefix(const QString& name)
{
    constexpr qsizetype room = NAME_MAX - 2 - 8;  // the two dots and the random part
    QByteArray bytes = FileNameToBytes(name);
    if (bytes.size() > room) {
        qsizetype cut = room;
        while (cut > 0 && (uchar(bytes[cut]) & 0xC0) == 0x80)
            --cut;
        bytes.truncate(cut);
    }
    return '.' + bytes + '.';
}

// Removes what a writer of target that could not clean up (SIGKILL, a power cut) left in
// folder: regular files of this user named ".NAME.xxxx" as the writer names them, last
// written over a minute ago. A writer at work writes its file often enough to stay younger.
void RemoveStaleTempFiles(const QString& folder, const QString& name)
{
    const QByteArray dirName = FileNameToBytes(folder);
    const QByteArray prefix = TempPrefix(name);
    DIR* dir = ::opendir(dirName.constData());
    if (!dir)
        return;
    const int fd = ::dirfd(dir);
    const time_t old = ::time(nullptr) - 60;
    while (const dirent* e = ::readdir(dir)) {
        const size_t length = std::strlen(e->d_name);
        if (length <= size_t(prefix.size()) || std::memcmp(e->d_name, prefix.constData(), size_t(prefix.size())) != 0 ||
            !IsTempSuffix(e->d_name + prefix.size(), length - size_t(prefix.size())))
            continue;
        struct stat st {};
        if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
            st.st_mtime > old)
            continue;
        if (IsRegisteredTempFile(dirName + '/' + e->d_name))
            continue;
        ::unlinkat(fd, e->d_name, 0);
    }
    ::closedir(dir);
}

// The length of the UTF-8 sequence at p (at most n bytes) with its code point, or 0 when
// the bytes there are no valid sequence (overlong, a surrogate, beyond U+10FFFF, cut off).
int Utf8Sequence(const unsigned char* p, qsizetype n, char32_t& cp)
{
    const unsigned c = p[0];
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    int len = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (n < len)
        return 0;
    for (int k = 1; k < len; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[k] & 0x3F);
    }
    if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
        return 0;
    return len;
}
}  // namespace

bool IsValidUtf8(const char* bytes, qsizetype n)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    qsizetype i = 0;
    while (i < n) {
        if (i + 8 <= n) {  // runs of ASCII eight at a time
            uint64_t w;
            std::memcpy(&w, p + i, sizeof w);
            if (!(w & 0x8080808080808080ull)) {
                i += 8;
                continue;
            }
        }
        char32_t cp = 0;
        const int len = Utf8Sequence(p + i, n - i, cp);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

QString FileNameFromBytes(const QByteArray& bytes)
{
    // The usual name is UTF-8 through and through (fromUtf8 would drop a leading BOM).
    if (!bytes.startsWith("\xEF\xBB\xBF") && IsValidUtf8(bytes.constData(), bytes.size()))
        return QString::fromUtf8(bytes);
    QString out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        char32_t cp = 0;
        const int len = Utf8Sequence(p + i, n - i, cp);
        if (len == 0) {
            out += QChar(char16_t(0xDC00 + p[i]));  // a byte that is no UTF-8, kept as itself
            ++i;
            continue;
        }
        out += QChar::fromUcs4(cp);
        i += len;
    }
    return out;
}

QByteArray FileNameToBytes(const QString& name)
{
    QByteArray out;
    out.reserve(name.size());
    const qsizetype n = name.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = name[i].unicode();
        if (u < 0x80) {
            out += char(u);
            continue;
        }
        if (u >= 0xDC80 && u <= 0xDCFF) {  // a byte FileNameFromBytes kept
            out += char(u - 0xDC00);
            continue;
        }
        char32_t cp = u;
        if (QChar::isHighSurrogate(u) && i + 1 < n && name[i + 1].isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(u, name[i + 1].unicode());
            ++i;
        } else if (QChar::isSurrogate(u)) {
            cp = 0xFFFD;
        }
        const QString one = QString::fromUcs4(&cp, 1);
        out += one.toUtf8();
    }
    return out;
}

bool FileExists(const QString& path)
{
    struct stat st {};
    return !path.isEmpty() && ::stat(FileNameToBytes(path).constData(), &st) == 0;
}

bool IsFolder(const QString& path)
{
    struct stat st {};
    return !path.isEmpty() && ::stat(FileNameToBytes(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QString RegularFileProblem(const QString& path)
{
    struct stat st {};
    if (path.isEmpty() || ::stat(FileNameToBytes(path).constData(), &st) != 0)
        return SystemErrorText(path.isEmpty() ? ENOENT : errno);
    return S_ISREG(st.st_mode) ? QString() : SpecialFileText(st.st_mode);
}

bool SameFile(const QString& a, const QString& b)
{
    struct stat sa {
    }, sb{};
    return !a.isEmpty() && !b.isEmpty() && ::stat(FileNameToBytes(a).constData(), &sa) == 0 &&
           ::stat(FileNameToBytes(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

TFileStamp FileStampOf(const QString& path)
{
    struct stat st {};
    if (path.isEmpty() || ::stat(FileNameToBytes(path).constData(), &st) != 0)
        return {};
    const auto ns = [](const timespec& t) { return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec; };
    return {true, quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size), ns(st.st_mtim), ns(st.st_ctim)};
}

bool TDiskFile::Is(const QString& path) const
{
    const auto absolute = [](const QString& p) { return QDir::cleanPath(QFileInfo(p).absoluteFilePath()); };
    return !path.isEmpty() && !Path.isEmpty() && absolute(path) == absolute(Path);
}

bool TDiskFile::ChangedOnDisk(const QString& path) const
{
    if (!Is(path))
        return false;
    const TFileStamp now = FileStampOf(Path);
    return now.Exists && now != Stamp;
}

QStringList FolderEntries(const QString& folder)
{
    QStringList names;
    DIR* dir = ::opendir(FileNameToBytes(folder.isEmpty() ? QStringLiteral(".") : folder).constData());
    if (!dir)
        return names;
    while (const dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        names << FileNameFromBytes(QByteArray(e->d_name));
    }
    ::closedir(dir);
    return names;
}

int TempFilesRegisteredForSignals()
{
    int n = 0;
    for (const TTempSlot& slot : TempSlots)
        n += slot.State.load() == SlotReady;
    return n;
}

QString SystemErrorText(int errnum) { return QString::fromLocal8Bit(std::strerror(errnum)); }

bool OpenRegularFile(const QString& path, QFile& file, QString* error)
{
    const QByteArray name = FileNameToBytes(path);
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    const int fd = name.isEmpty() ? -1 : ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = SystemErrorText(name.isEmpty() ? ENOENT : errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int e = errno;
        ::close(fd);
        if (error)
            *error = SystemErrorText(e);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        if (error)
            *error = SpecialFileText(st.st_mode);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file.setFileName(path);
    if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        if (error)
            *error = file.errorString();
        ::close(fd);
        return false;
    }
    return true;
}

bool ReadWholeFile(const QString& path, QByteArray& bytes, QString* error, qint64 maxSize)
{
    QFile f;
    if (!OpenRegularFile(path, f, error))
        return false;
    // The size is taken once: a file that grows while it is read (or claims a size it
    // does not have) cannot make the read go on.
    const qint64 size = f.size();
    if (size < 0 || size > qint64(std::numeric_limits<qsizetype>::max() / 2) || (maxSize >= 0 && size > maxSize)) {
        if (error)
            *error = SystemErrorText(EFBIG);
        return false;
    }
    QByteArray out;
    try {
        out.resize(qsizetype(size));
    } catch (const std::bad_alloc&) {
        if (error)
            *error = SystemErrorText(ENOMEM);
        return false;
    }
    qint64 got = 0;
    while (got < size) {
        const qint64 k = f.read(out.data() + got, size - got);
        if (k < 0) {
            if (error)
                *error = f.errorString();
            return false;
        }
        if (k == 0)
            break;  // the file shrank meanwhile
        got += k;
    }
    out.truncate(qsizetype(got));
    bytes = std::move(out);
    return true;
}

// ---- TAtomicFileWriter

TAtomicFileWriter::TAtomicFileWriter(const QString& path) : Target_(path)
{
    if (path.isEmpty()) {
        Fail(ENOENT);
        return;
    }
    // A symbolic link stays a link: the file it names is the one replaced, or created
    // when the link dangles. A loop is refused with the system's text.
    struct stat linkStat {};
    if (::lstat(FileNameToBytes(path).constData(), &linkStat) == 0 && S_ISLNK(linkStat.st_mode)) {
        int errnum = 0;
        char resolved[PATH_MAX];
        if (::realpath(FileNameToBytes(path).constData(), resolved)) {
            Target_ = FileNameFromBytes(QByteArray(resolved));
        } else {
            Target_ = FollowLinks(path, errnum);
            if (Target_.isEmpty()) {
                Target_ = path;
                Fail(errnum);
                return;
            }
        }
    }
    const QByteArray target = FileNameToBytes(Target_);

    mode_t mode = 0666;  // narrowed by the umask for a new file
    struct stat st {};
    const bool exists = ::stat(target.constData(), &st) == 0;
    if (exists) {
        if (!S_ISREG(st.st_mode)) {
            Fail(SpecialFileText(st.st_mode));
            return;
        }
        if (::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) != 0) {
            Fail(errno);
            return;
        }
        mode = st.st_mode & 07777;
    }

    const QString folder = FolderOf(Target_);
    RemoveStaleTempFiles(folder, FileNamePart(Target_));
    const QByteArray base = FileNameToBytes(folder) + '/' + TempPrefix(FileNamePart(Target_));
    for (int attempt = 0; attempt < 100 && Fd_ < 0; ++attempt) {
        const QByteArray candidate =
            base + QByteArray::number(QRandomGenerator::global()->generate64() & 0xFFFFFFFFFFull, 36);
        const int fd = ::open(candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            Fd_ = fd;
            TempName_ = candidate;
            TempSlot_ = RegisterTempFile(TempName_);
        } else if (errno != EEXIST) {
            Fail(errno);
            return;
        }
    }
    if (Fd_ < 0) {
        Fail(EEXIST);
        return;
    }
    if (exists) {
        // The new file keeps the old one's permissions (and owner, where that is allowed).
        ::fchmod(Fd_, mode);
        if (::geteuid() == 0 && ::fchown(Fd_, st.st_uid, st.st_gid) != 0) {
            // Keeping root's ownership is no reason to refuse the save.
        }
    }
    // Not zeroed: a small file touches only the pages it fills.
    Buffer_ = std::make_unique_for_overwrite<char[]>(size_t(WriteBufferSize));
    Capacity_ = WriteBufferSize;
}

TAtomicFileWriter::~TAtomicFileWriter() { Discard(); }

bool TAtomicFileWriter::Fail(int errnum) { return Fail(SystemErrorText(errnum)); }

bool TAtomicFileWriter::Fail(const QString& text)
{
    if (Error_.isEmpty())
        Error_ = text;
    Discard();
    return false;
}

void TAtomicFileWriter::Discard()
{
    Background_.reset();  // its write ends before the file is closed
    if (Fd_ >= 0) {
        ::close(Fd_);
        Fd_ = -1;
    }
    if (!TempName_.isEmpty()) {
        ::unlink(TempName_.constData());
        UnregisterTempFile(TempSlot_);
        TempName_.clear();
    }
    Used_ = 0;
    Capacity_ = 0;  // nothing more is buffered
}

// Writes one buffer at a time into the file, in the order they are handed over.
class TAtomicFileWriter::TBackgroundWrite {
public:
    explicit TBackgroundWrite(int fd) : Fd_(fd), Thread_([this] { Loop(); }) {}
    ~TBackgroundWrite()
    {
        {
            std::lock_guard lock(Mutex_);
            Quit_ = true;
        }
        Changed_.notify_all();
        Thread_.join();
    }
    // Waits until the buffer handed over last is written; the errno of the first write that
    // failed, or 0.
    int Wait()
    {
        std::unique_lock lock(Mutex_);
        Changed_.wait(lock, [this] { return !Data_; });
        return Errnum_;
    }
    // data stays untouched until Wait returns.
    void Start(const char* data, qsizetype size)
    {
        {
            std::lock_guard lock(Mutex_);
            Data_ = data;
            Size_ = size;
        }
        Changed_.notify_all();
    }

private:
    void Loop()
    {
        std::unique_lock lock(Mutex_);
        for (;;) {
            Changed_.wait(lock, [this] { return Data_ || Quit_; });
            if (!Data_)
                return;
            const char* data = Data_;
            const qsizetype size = Size_;
            lock.unlock();
            int errnum = 0;
            const bool ok = Errnum_ != 0 || WriteAll(Fd_, data, size, errnum);
            // The disk starts on these bytes now, so the sync at the commit has less left.
            if (ok)
                ::sync_file_range(Fd_, Offset_, size, SYNC_FILE_RANGE_WRITE);
            Offset_ += size;
            lock.lock();
            if (!ok)
                Errnum_ = errnum;
            Data_ = nullptr;
            Changed_.notify_all();
        }
    }

    const int Fd_;
    std::mutex Mutex_;
    std::condition_variable Changed_;
    const char* Data_ = nullptr;
    qsizetype Size_ = 0;
    off_t Offset_ = 0;  // of the next write
    int Errnum_ = 0;
    bool Quit_ = false;
    std::thread Thread_;  // last: it starts once the rest is set up
};

bool TAtomicFileWriter::Settle()
{
    if (!Background_)
        return true;
    const int errnum = Background_->Wait();
    return errnum == 0 || Fail(errnum);
}

bool TAtomicFileWriter::Flush()
{
    if (Used_ == 0)
        return true;
    if (!Settle())
        return false;
    if (!Background_) {
        Spare_ = std::make_unique_for_overwrite<char[]>(size_t(WriteBufferSize));
        Background_ = std::make_unique<TBackgroundWrite>(Fd_);
    }
    Background_->Start(Buffer_.get(), Used_);
    std::swap(Buffer_, Spare_);
    Flushed_ += Used_;
    Used_ = 0;
    return GoOn();
}

bool TAtomicFileWriter::GoOn()
{
    if (::Advance(Progress_, Flushed_, Expected_))
        return true;
    Cancelled_ = true;
    return Fail(ECANCELED);
}

bool TAtomicFileWriter::WriteSlow(const char* data, qsizetype size)
{
    if (Fd_ < 0 || !Ok())
        return Fail(EBADF);
    if (size <= 0)
        return size == 0 || Fail(EINVAL);
    if (!Flush())
        return false;
    if (size < Capacity_) {
        std::memcpy(Buffer_.get(), data, size_t(size));
        Used_ = size;
        return true;
    }
    // A large block goes straight to the file; copying it first would gain nothing.
    if (!Settle())
        return false;
    int errnum = 0;
    if (!WriteAll(Fd_, data, size, errnum))
        return Fail(errnum);
    Flushed_ += size;
    return GoOn();
}

char* TAtomicFileWriter::SpaceSlow(qsizetype size)
{
    if (Fd_ < 0 || !Ok() || size < 0 || size > 4096 || !Flush())
        return nullptr;
    return Buffer_.get();
}

bool TAtomicFileWriter::Commit()
{
    if (Fd_ < 0 || !Ok())
        return Fail(EBADF);
    if (!Flush() || !Settle())
        return false;
    Background_.reset();
    if (::fsync(Fd_) != 0)
        return Fail(errno);
    const int fd = Fd_;
    Fd_ = -1;
    if (::close(fd) != 0)
        return Fail(errno);
    // The last moment a cancel leaves the target as it was (a sync may take long).
    if (!GoOn())
        return false;
    const QByteArray target = FileNameToBytes(Target_);
    if (::rename(TempName_.constData(), target.constData()) != 0)
        return Fail(errno);
    UnregisterTempFile(TempSlot_);
    TempName_.clear();
    // The rename lives in the folder: sync it so the new name survives a power cut.
    const QByteArray folder = FileNameToBytes(FolderOf(Target_));
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    Discard();
    return true;
}

bool WriteFileAtomic(const QString& path, const QByteArray& bytes, QString* error)
{
    TAtomicFileWriter w(path);
    w.Write(bytes);
    if (w.Ok() && w.Commit())
        return true;
    if (error)
        *error = w.Error();
    return false;
}

bool IsPlausiblePath(const QString& path)
{
    // Checked on the length first, so a value of megabytes is never encoded.
    if (path.size() >= PATH_MAX)
        return false;
    return FileNameToBytes(path).size() < PATH_MAX;
}

QString NormalizeSeparators(const QString& path)
{
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
}

QString FoldCase(const QString& text)
{
    if (text.isValidUtf16())
        return text.toCaseFolded();
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < n && text[i + 1].isLowSurrogate()) {
            const char32_t folded = QChar::toCaseFolded(QChar::surrogateToUcs4(u, text[i + 1].unicode()));
            out += QChar(QChar::highSurrogate(folded));
            out += QChar(QChar::lowSurrogate(folded));
            ++i;
        } else {
            out += QChar(QChar::isSurrogate(u) ? u : char16_t(QChar::toCaseFolded(u)));
        }
    }
    return out;
}

QString ResolveCaseInsensitive(const QString& path) { return TCaseResolver().Resolve(path); }

QString TCaseResolver::Resolve(const QString& path)
{
    if (path.isEmpty() || FileExists(path))
        return path;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = path.left(slash + 1);  // with its slash; empty for the current folder
    auto listed = Folders_.find(folder);
    if (listed == Folders_.end()) {
        QHash<QString, QString> names;
        for (const QString& entry : FolderEntries(folder)) {
            const QString folded = FoldCase(entry);
            if (const auto at = names.find(folded); at != names.end())
                at->clear();  // several entries match: none is taken
            else
                names.insert(folded, entry);
        }
        listed = Folders_.insert(folder, std::move(names));
    }
    const QString found = listed->value(FoldCase(path.mid(slash + 1)));
    return found.isEmpty() ? path : folder + found;
}

QString AboutFile(const QString& file, const QString& text)
{
    if (file.isEmpty() || text.contains(QStringLiteral("file ") + file))
        return text;
    return file + QStringLiteral(": ") + text;
}

QString FileNamePart(const QString& path) { return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1); }
