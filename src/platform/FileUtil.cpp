#include "platform/FileUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <limits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Large enough that a save costs a few system calls per megabyte, small enough to stay in
// the cache and never to be a fresh allocation worth mentioning.
constexpr qsizetype WriteBufferSize = 64 * 1024;

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
}  // namespace

QString SystemErrorText(int errnum) { return QString::fromLocal8Bit(std::strerror(errnum)); }

bool OpenRegularFile(const QString& path, QFile& file, QString* error)
{
    const QByteArray name = QFile::encodeName(path);
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

bool ReadWholeFile(const QString& path, QByteArray& bytes, QString* error)
{
    QFile f;
    if (!OpenRegularFile(path, f, error))
        return false;
    // The size is taken once: a file that grows while it is read (or claims a size it
    // does not have) cannot make the read go on.
    const qint64 size = f.size();
    if (size < 0 || size > qint64(std::numeric_limits<qsizetype>::max() / 2)) {
        if (error)
            *error = SystemErrorText(EFBIG);
        return false;
    }
    QByteArray out(qsizetype(size), Qt::Uninitialized);
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
    // A symbolic link stays a link: the file it names is the one replaced.
    const QFileInfo link(path);
    if (link.isSymLink() && link.exists())
        Target_ = link.canonicalFilePath();
    const QByteArray target = QFile::encodeName(Target_);

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
    const QString base = QStringLiteral("%1/.%2.").arg(folder, FileNamePart(Target_));
    for (int attempt = 0; attempt < 100 && Fd_ < 0; ++attempt) {
        const QByteArray candidate =
            QFile::encodeName(base + QString::number(QRandomGenerator::global()->generate64() & 0xFFFFFFFFFFull, 36));
        const int fd = ::open(candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            Fd_ = fd;
            TempName_ = candidate;
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
    Buffer_ = std::make_unique<char[]>(size_t(WriteBufferSize));
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
    if (Fd_ >= 0) {
        ::close(Fd_);
        Fd_ = -1;
    }
    if (!TempName_.isEmpty()) {
        ::unlink(TempName_.constData());
        TempName_.clear();
    }
    Used_ = 0;
    Capacity_ = 0;  // nothing more is buffered
}

bool TAtomicFileWriter::Flush()
{
    if (Used_ == 0)
        return true;
    int errnum = 0;
    if (!WriteAll(Fd_, Buffer_.get(), Used_, errnum))
        return Fail(errnum);
    Flushed_ += Used_;
    Used_ = 0;
    return true;
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
    int errnum = 0;
    if (!WriteAll(Fd_, data, size, errnum))
        return Fail(errnum);
    Flushed_ += size;
    return true;
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
    if (!Flush())
        return false;
    if (::fsync(Fd_) != 0)
        return Fail(errno);
    const int fd = Fd_;
    Fd_ = -1;
    if (::close(fd) != 0)
        return Fail(errno);
    const QByteArray target = QFile::encodeName(Target_);
    if (::rename(TempName_.constData(), target.constData()) != 0)
        return Fail(errno);
    TempName_.clear();
    // The rename lives in the folder: sync it so the new name survives a power cut.
    const QByteArray folder = QFile::encodeName(FolderOf(Target_));
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

QString NormalizeSeparators(const QString& path)
{
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
}

QString ResolveCaseInsensitive(const QString& path)
{
    if (path.isEmpty() || QFileInfo::exists(path))
        return path;
    const QFileInfo info(path);
    const QDir dir = info.dir();
    if (!dir.exists())
        return path;
    const QString wanted = info.fileName();
    QString found;
    int matches = 0;
    const QStringList entries = dir.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString& e : entries) {
        if (e.compare(wanted, Qt::CaseInsensitive) == 0) {
            found = e;
            ++matches;
        }
    }
    return matches == 1 ? dir.filePath(found) : path;
}

QString FileNamePart(const QString& path) { return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1); }
