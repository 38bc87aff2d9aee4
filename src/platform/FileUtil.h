#pragma once
// File access shared by the readers and writers: reads of regular files only, writes that
// never destroy the previous file, and paths from files made on Windows.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <cstring>
#include <memory>

class QFile;
class TProgress;

// The system's text for an errno value ("No space left on device").
QString SystemErrorText(int errnum);

// File names are the system's bytes. Bytes that are not UTF-8 come in as U+DC80..U+DCFF,
// one each, and go out as those bytes again, so any name the system hands over (an
// argument, a folder entry, a link's target) names the same file on the way back. Every
// file access here goes through these two.
QString FileNameFromBytes(const QByteArray& bytes);
QByteArray FileNameToBytes(const QString& name);
// Whether bytes are UTF-8 that decodes without a fault (no overlong forms, surrogates,
// code points beyond U+10FFFF or a sequence cut off).
bool IsValidUtf8(const char* bytes, qsizetype size);

// Whether path names something that exists (links followed); whether it is a folder.
bool FileExists(const QString& path);
bool IsFolder(const QString& path);
// Empty when path is a regular file (links followed); otherwise why it cannot be read as
// one: the system's text for a missing file, a folder ("Is a directory"), or "Not a
// regular file" for a FIFO, a device or a socket.
QString RegularFileProblem(const QString& path);
// Whether a and b name one existing file, by whatever path (links, "..", other spellings).
bool SameFile(const QString& a, const QString& b);
// Which state of which file a path names (links followed), told apart without reading
// it: a write in place changes the times (and mostly the size), a replacement the inode.
// The change time is kept too, as a program may set the modification time back. Equal
// stamps mean the file is, as far as the system says, the one it was.
struct TFileStamp {
    bool Exists = false;
    quint64 Device = 0;
    quint64 Inode = 0;
    qint64 Size = 0;
    qint64 ModifiedNs = 0;
    qint64 ChangedNs = 0;
    bool operator==(const TFileStamp&) const = default;
};
// Exists false when path names nothing (or cannot be looked at).
TFileStamp FileStampOf(const QString& path);
// A file as this program last read or wrote it, its stamp taken then (one that does not
// exist when there was no file): whether a write to it would go over someone else's.
struct TDiskFile {
    QString Path;
    TFileStamp Stamp;
    // Whether path names this file. Compared as absolute, cleaned paths: a relative name
    // from the command line names the file a file dialog gives back absolutely.
    bool Is(const QString& path) const;
    // Whether writing to path would go over changes made on disk since: path is this file
    // and it is there, but not as it was. A file gone is no change (the write recreates
    // it); a file made where there was none is.
    bool ChangedOnDisk(const QString& path) const;
};
// The names in folder (without "." and ".."), as the system has them; empty when it
// cannot be read.
QStringList FolderEntries(const QString& folder);

// Opens path for reading when it names a regular file (symbolic links followed). A FIFO,
// a device, a socket or a folder is refused at once, without waiting for a writer. On
// failure returns false and sets error to the system's text.
bool OpenRegularFile(const QString& path, QFile& file, QString* error = nullptr);

// The most a text file the editor reads whole (settings, names, colours, linking) may
// hold. Real ones are a few megabytes at most; a larger one is refused, not allocated.
inline constexpr qint64 MaxTextFileSize = 64LL * 1024 * 1024;

// Reads the whole of a regular file, never more than the size it had when opened. A file
// larger than maxSize (when not negative) is refused with "File too large"; when memory
// runs out the error is the system's text for that. On failure returns false and sets
// error to the system's text.
bool ReadWholeFile(const QString& path, QByteArray& bytes, QString* error = nullptr, qint64 maxSize = -1);

// Writes a file through a small buffer into a temporary file beside it, which replaces
// the file only when Commit succeeds; the folder is synced after the rename. The previous
// file stays untouched on any failure, and the temporary file is removed whenever the
// write does not complete (a failure, Discard, or destruction without Commit). A target
// that exists but is not a regular file (a folder, a FIFO, a device) or is not writable is
// refused. A symbolic link keeps pointing at the file it named, which is replaced (or
// created, when the link dangles); a loop of links is refused. SIGTERM and SIGINT remove
// the temporary file before they end the program (unless the program handles or ignores
// them itself). Errors carry the system's own text.
class TAtomicFileWriter {
public:
    explicit TAtomicFileWriter(const QString& path);
    ~TAtomicFileWriter();
    TAtomicFileWriter(const TAtomicFileWriter&) = delete;
    TAtomicFileWriter& operator=(const TAtomicFileWriter&) = delete;

    // False once anything failed (including opening); Error() says why.
    bool Ok() const { return Error_.isEmpty(); }
    const QString& Error() const { return Error_; }
    // The file that is replaced.
    const QString& Path() const { return Target_; }

    // Appends bytes; they reach the temporary file when the buffer fills. False after a failure.
    bool Write(const void* data, qsizetype size)
    {
        if (size > 0 && size <= Capacity_ - Used_) {
            std::memcpy(Buffer_.get() + Used_, data, size_t(size));
            Used_ += size;
            return true;
        }
        return WriteSlow(static_cast<const char*>(data), size);
    }
    bool Write(const QByteArray& bytes) { return Write(bytes.constData(), bytes.size()); }

    // Room for size bytes (at most 4 KiB) in the buffer, to be filled and then handed on
    // with Advance(size): a record is composed where it is buffered. Null after a failure.
    char* Space(qsizetype size)
    {
        if (size <= Capacity_ - Used_)
            return Buffer_.get() + Used_;
        return SpaceSlow(size);
    }
    void Advance(qsizetype size) { Used_ += size; }
    // As Space, and free says how much of the buffer is free there (at least size).
    char* Room(qsizetype size, qsizetype& free)
    {
        char* at = Space(size);
        free = at ? Capacity_ - Used_ : 0;
        return at;
    }

    // Writes what is buffered, syncs, renames the temporary file over the target and syncs
    // the folder. False (with Error set and the temporary file removed) on failure.
    bool Commit();
    // Drops the temporary file; the target stays as it was.
    void Discard();

    // Bytes written so far (buffered or not).
    qint64 Written() const { return Flushed_ + Used_; }

    // Every write into the temporary file reports its bytes of expected to progress (0:
    // none, only a cancel is looked for). A cancel fails the write ("Operation canceled")
    // at the next write into the file, or in Commit up to the rename, and the target stays
    // as it was.
    void SetProgress(TProgress* progress, qint64 expected = 0)
    {
        Progress_ = progress;
        Expected_ = expected;
    }
    // The write failed because it was cancelled.
    bool Cancelled() const { return Cancelled_; }

private:
    bool WriteSlow(const char* data, qsizetype size);
    char* SpaceSlow(qsizetype size);
    bool Flush();
    bool Fail(int errnum);
    bool Fail(const QString& text);
    // False (failed) when the write was cancelled.
    bool GoOn();
    // Waits for the buffer being written in the background; false (failed) when that failed.
    bool Settle();

    class TBackgroundWrite;

    QString Target_;
    QByteArray TempName_;  // encoded, empty when no temporary file exists
    int TempSlot_ = -1;  // its entry for the signal handler
    int Fd_ = -1;
    std::unique_ptr<char[]> Buffer_;
    // A file larger than the buffer: the full buffer is written on a thread of its own
    // while the next one fills, so composing overlaps the system's copying.
    std::unique_ptr<char[]> Spare_;
    std::unique_ptr<TBackgroundWrite> Background_;
    qsizetype Capacity_ = 0;
    qsizetype Used_ = 0;
    qint64 Flushed_ = 0;
    QString Error_;
    TProgress* Progress_ = nullptr;
    qint64 Expected_ = 0;
    bool Cancelled_ = false;
};

// How many temporary files the signal handler would remove now.
int TempFilesRegisteredForSignals();

// Writes bytes with a TAtomicFileWriter. False with error set when that fails.
bool WriteFileAtomic(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// False for a path longer than the system's limit (PATH_MAX bytes once encoded), which
// no file can have.
bool IsPlausiblePath(const QString& path);

// Backslashes become '/'. For names stored in files made on Windows (proxy names, paths
// in the settings file); paths a user types or picks are taken as they are.
QString NormalizeSeparators(const QString& path);

// The path itself when it exists; otherwise, when exactly one entry of its folder matches
// its file name without regard to letter case, that entry; otherwise the path unchanged.
// The path is taken literally: a backslash is part of a name.
QString ResolveCaseInsensitive(const QString& path);

// text with each code point case-folded, as QString::compare(Qt::CaseInsensitive) folds
// them: two texts equal without regard to case fold to the same. Unlike toCaseFolded it
// keeps an unpaired surrogate (a byte of a file name) as it is.
QString FoldCase(const QString& text);

// ResolveCaseInsensitive for many paths: each folder is listed once, the first time a
// name in it does not exist as written, and the listing is kept for the others.
class TCaseResolver {
public:
    QString Resolve(const QString& path);

private:
    // Per folder: each case-folded name, with the one entry that has it (empty when
    // several have it).
    QHash<QString, QHash<QString, QString>> Folders_;
};

// A message about a file as "FILE: text", unless it names the file already ("Cannot open
// file FILE"). For messages that would otherwise not say which file they mean.
QString AboutFile(const QString& file, const QString& text);

// File name part after the last '/'.
QString FileNamePart(const QString& path);
