#include "platform/FileUtil.h"
#include "platform/FolderFiles.h"
#include "support/HostileFiles.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {
QByteArray Chunk(int size, int seed)
{
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 31 + seed * 7) & 0xFF);
    return b;
}

QByteArray Content(const QString& path)
{
    QByteArray bytes;
    return ReadWholeFile(path, bytes) ? bytes : QByteArray("<unreadable>");
}

mode_t ModeOf(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0;
}
}  // namespace

class FileUtilTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> Dir_;
    QStringList Listing() const
    {
        return QDir(Dir_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    }
    QString In(const QString& name) const { return Dir_->filePath(name); }

private slots:
    void init()
    {
        Dir_ = std::make_unique<QTemporaryDir>();
        for (const char* folder : {"Anims/Sub", "Twin", "TWIN"})
            QVERIFY(QDir(Dir_->path()).mkpath(folder));
        for (const char* name : {"Model.p3d", "dup.rtm", "DUP.rtm", "Anims/Walk.RTM", "Anims/Sub/x.lpv", "back\\slash.rtm"}) {
            QFile f(In(name));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(name) == qint64(strlen(name)));
        }
    }

    void resolvesLetterCase_data() { QVERIFY(AddTableRows("platform/letter-case.table")); }
    void resolvesLetterCase()
    {
        QFETCH(bool, stored);
        QFETCH(QString, asked);
        QFETCH(QString, expected);
        QCOMPARE(stored ? ResolveFolder(In(asked)) : ResolveCaseInsensitive(In(asked)), In(expected));
    }

    void readsRegularFilesOnly_data() { QVERIFY(AddTableRows("platform/regular-reads.table")); }
    void readsRegularFilesOnly()
    {
        QFETCH(QString, path);
        QFETCH(QString, make);
        QFETCH(QString, error);
        const QString file = QDir::isAbsolutePath(path) ? path : In(path);
        if (make == "fifo" && !Hostile::MakeFifo(file))
            QSKIP("no FIFOs here");
        std::unique_ptr<Hostile::TNoAccessOverride> noOverride;
        if (make == "unreadable") {
            QVERIFY(Hostile::SetMode(file, 0));
            noOverride = std::make_unique<Hostile::TNoAccessOverride>();
            if (!noOverride->Active())
                QSKIP("this process reads files whatever their permissions");
        }
        QByteArray bytes = "old";
        QString got;
        Hostile::TFifoWatchdog watchdog(file);
        const bool ok = ReadWholeFile(file, bytes, &got);
        QVERIFY2(!watchdog.Fired(), "the read waited for a writer");
        QCOMPARE(got, error);
        QCOMPARE(ok, error.isEmpty());
        QCOMPARE(bytes, ok ? QFileInfo(file).fileName().toLatin1() : QByteArray("old"));
    }

    void writesWhatItIsGiven_data() { QVERIFY(AddTableRows("platform/written-pieces.table")); }
    void writesWhatItIsGiven()
    {
        QFETCH(QList<int>, sizes);
        const QString target = In("Model.p3d");
        QByteArray expected;
        TAtomicFileWriter w(target);
        for (int i = 0; i < sizes.size(); ++i) {
            const QByteArray c = Chunk(sizes[i], i);
            QVERIFY(w.Write(c));
            expected += c;
            // A piece composed in the buffer itself, as much of it as is said to be free.
            qsizetype free = 0;
            char* room = w.Room(1 + i, free);
            QVERIFY(room && free >= 1 + i);
            const QByteArray composed = Chunk(int(std::min<qsizetype>(free, 3000)), i + 1);
            std::memcpy(room, composed.constData(), size_t(composed.size()));
            w.Advance(composed.size());
            expected += composed;
        }
        QCOMPARE(Content(target), QByteArray("Model.p3d"));  // nothing replaced before the commit
        QVERIFY2(w.Commit(), qPrintable(w.Error()));
        QCOMPARE(Content(target), expected);
        QVERIFY(!Listing().join(' ').contains("Model.p3d."));  // no temporary file left
    }

    void replacedFileKeepsModeAndLink()
    {
        const QString target = In("Anims/Walk.RTM");
        QVERIFY(Hostile::SetMode(target, 0640));
        QVERIFY(QFile::link(target, In("link.rtm")));
        QVERIFY(WriteFileAtomic(In("link.rtm"), "new"));
        QVERIFY(QFileInfo(In("link.rtm")).isSymLink());
        QCOMPARE(ModeOf(target) & 07777, mode_t(0640));
        QCOMPARE(Content(target), QByteArray("new"));
        // A new file gets what the umask allows.
        const mode_t mask = ::umask(022);
        ::umask(mask);
        QVERIFY(WriteFileAtomic(In("fresh.rtm"), "x"));
        QCOMPARE(ModeOf(In("fresh.rtm")) & 07777, mode_t(0666 & ~mask));
        // A name of the folder's longest (255 bytes, two-byte letters) is replaced as well.
        const QString longest = In(QString(125, QChar(0xE9)) + "a.rtm");
        QVERIFY(WriteFileAtomic(longest, "old") && WriteFileAtomic(longest, "new"));
        QCOMPARE(Content(longest), QByteArray("new"));
    }

    void failedWritesKeepTheOldFile_data() { QVERIFY(AddTableRows("platform/failed-writes.table")); }
    void failedWritesKeepTheOldFile()
    {
        QFETCH(QString, target);
        QFETCH(QString, make);
        QFETCH(QString, error);
        const QString path = In(target);
        if (make == "fifo" && !Hostile::MakeFifo(path))
            QSKIP("no FIFOs here");
        std::unique_ptr<Hostile::TNoAccessOverride> noOverride;
        if (make == "read-only") {
            QVERIFY(Hostile::SetMode(path, 0444));
            noOverride = std::make_unique<Hostile::TNoAccessOverride>();
            if (!noOverride->Active())
                QSKIP("this process writes files whatever their permissions");
        }
        std::unique_ptr<Hostile::TFileSizeLimit> limit(make == "limit" ? new Hostile::TFileSizeLimit(1024) : nullptr);
        if (limit && !limit->Active())
            QSKIP("no file-size limit here");
        const QStringList before = Listing();
        QString got;
        QVERIFY(!WriteFileAtomic(path, QByteArray(256 * 1024, 'x'), &got));
        QCOMPARE(got, error);
        // In pieces, so that the write fails on the writer's second thread while more is
        // composed: the failure still reaches the commit.
        {
            TAtomicFileWriter w(path);
            for (int i = 0; i < 40 && w.Write(QByteArray(100000, 'x')); ++i) {
            }
            QVERIFY(!w.Commit());
            QCOMPARE(w.Error(), error);
        }
        limit.reset();
        noOverride.reset();
        QCOMPARE(Listing(), before);  // no temporary file left behind
        QCOMPARE(Content(In("Model.p3d")), QByteArray("Model.p3d"));
        if (make == "fifo")
            QVERIFY(S_ISFIFO(ModeOf(path)));  // refused, not replaced
    }

    void unfinishedWritesLeaveNoTrace()
    {
        const QStringList before = Listing();
        {
            TAtomicFileWriter w(In("Model.p3d"));
            QVERIFY(w.Write(QByteArray(100000, 'y')));
        }  // dropped without a commit
        QCOMPARE(Listing(), before);
        QCOMPARE(Content(In("Model.p3d")), QByteArray("Model.p3d"));

        // The rename fails when the target became a folder with something in it meanwhile.
        TAtomicFileWriter w(In("late.rtm"));
        QVERIFY(w.Write("abc", 3) && QDir(Dir_->path()).mkpath("late.rtm/inside"));
        QVERIFY(!w.Commit());
        QCOMPARE(w.Error(), SystemErrorText(EISDIR));
        QVERIFY(Listing().size() == before.size() + 1 && Listing().contains("late.rtm"));  // only the folder made above
        QVERIFY(!w.Write("more", 4));  // a failed writer stays failed
    }

    void writesThroughDanglingLinks_data() { QVERIFY(AddTableRows("platform/dangling-links.table")); }
    void writesThroughDanglingLinks()
    {
        QFETCH(QString, made);
        QFETCH(QString, written);
        QFETCH(QString, created);
        const QStringList links = made.split(' ');
        for (const QString& l : links) {
            const QString target = l.section('>', 1).replace('@', Dir_->path());
            QVERIFY(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(In(l.section('>', 0, 0))).constData()) ==
                    0);
        }
        const QStringList before = Listing();
        QString error;
        const bool ok = WriteFileAtomic(In(written), "through", &error);
        for (const QString& l : links)
            QVERIFY(S_ISLNK(ModeOf(In(l.section('>', 0, 0)))));  // every link is still a link
        QCOMPARE(error, created.isEmpty() ? SystemErrorText(ELOOP) : QString());
        QCOMPARE(ok, !created.isEmpty());
        if (created.isEmpty())
            QCOMPARE(Listing(), before);
        else
            QVERIFY(S_ISREG(ModeOf(In(created))) && Content(In(written)) == "through" && Content(In(created)) == "through");
    }

    // SIGTERM or SIGINT in the middle of a save removes the temporary file; the target
    // keeps its old content. Run in a child, which the signal ends.
    void signalsRemoveTheTemporaryFile_data()
    {
        QTest::addColumn<int>("sig");
        for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGQUIT})
            QTest::newRow(sigabbrev_np(sig)) << sig;
    }
    void signalsRemoveTheTemporaryFile()
    {
        QFETCH(int, sig);
        const QStringList before = Listing();
        const QByteArray target = QFile::encodeName(In("Model.p3d"));
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            // Only plain calls here: the child of a threaded process. The test framework's
            // own handler (which would attach a debugger) gives way to the default action.
            for (const int s : {SIGTERM, SIGINT, SIGHUP, SIGQUIT})
                ::signal(s, SIG_DFL);
            const struct rlimit noCore {
                0, 0
            };  // SIGQUIT would leave a core file
            ::setrlimit(RLIMIT_CORE, &noCore);
            TAtomicFileWriter w(QFile::decodeName(target));
            if (!w.Write(QByteArray(200000, 'z')) || TempFilesRegisteredForSignals() != 1)
                ::_exit(3);
            ::raise(sig);
            ::_exit(4);  // not reached when the signal ends the child
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY2(WIFSIGNALED(status), qPrintable(QString("exit %1").arg(WEXITSTATUS(status))));
        QCOMPARE(WTERMSIG(status), sig);
        QCOMPARE(Listing(), before);
        QCOMPARE(Content(In("Model.p3d")), QByteArray("Model.p3d"));

        // A finished or dropped writer leaves nothing for the handler.
        {
            TAtomicFileWriter w(In("Model.p3d"));
            QCOMPARE(TempFilesRegisteredForSignals(), 1);
        }
        QCOMPARE(TempFilesRegisteredForSignals(), 0);
        QVERIFY(WriteFileAtomic(In("x.rtm"), "x"));
        QCOMPARE(TempFilesRegisteredForSignals(), 0);
    }

    // What SIGKILL or a power cut left of a write is removed by the next write of the same
    // target, once a minute old: only regular files of the writer's own pattern.
    void staleTemporaryFilesGo()
    {
        const auto make = [this](const QString& name, int minutesOld) {
            QFile f(In(name));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("left") == 4);
            f.close();
            const struct timespec when[2] = {{::time(nullptr) - minutesOld * 60, 0}, {::time(nullptr) - minutesOld * 60, 0}};
            QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(In(name)).constData(), when, AT_SYMLINK_NOFOLLOW) == 0);
        };
        make(".out.rtm.k3x9a", 2);  // left by a killed write: goes
        make(".out.rtm.zzzzzzzz", 5);  // eight characters, the most the writer makes: goes
        make(".out.rtm.q1", 0);  // a write at work now: stays
        make(".out.rtm.K3X9A", 2);  // not the writer's characters
        make(".out.rtm.abcdefghi", 2);  // too long for the writer
        make(".out.rtm.", 2);  // nothing after the dot
        make(".other.rtm.k3x9a", 2);  // another target's
        make("out.rtm.k3x9a", 2);  // not hidden
        QVERIFY(::symlink("Model.p3d", QFile::encodeName(In(".out.rtm.link1")).constData()) == 0);
        QVERIFY(WriteFileAtomic(In("out.rtm"), "new"));
        QStringList left = Listing().filter("out.rtm");
        left.sort();
        QCOMPARE(left, QStringList({".out.rtm.", ".out.rtm.K3X9A", ".out.rtm.abcdefghi", ".out.rtm.link1", ".out.rtm.q1",
                                    "out.rtm", "out.rtm.k3x9a"}));
        QCOMPARE(Listing().filter(".other.rtm.k3x9a").size(), 1);
    }

    // File names are bytes: one that is not UTF-8 is written, listed, found in another
    // letter case and read under exactly its own bytes.
    void namesAreTheSystemsBytes()
    {
        const QByteArray raw = QFile::encodeName(Dir_->path()) + "/o\xfe\x80-\xc3(.rtm";
        const QString name = FileNameFromBytes(raw);
        QCOMPARE(FileNameToBytes(name), raw);
        QVERIFY(WriteFileAtomic(name, "bytes"));
        struct stat st {};
        QVERIFY2(::stat(raw.constData(), &st) == 0 && st.st_size == 5, "not written under its own bytes");
        QVERIFY(FolderEntries(Dir_->path()).contains(FileNameFromBytes("o\xfe\x80-\xc3(.rtm")));
        QByteArray read;
        QVERIFY(ReadWholeFile(name, read) && read == "bytes");
        const QString otherCase = FileNameFromBytes(QFile::encodeName(Dir_->path()) + "/O\xfe\x80-\xc3(.RTM");
        QCOMPARE(ResolveCaseInsensitive(otherCase), name);
        // UTF-8 names are what they say; every byte string comes back whole.
        QCOMPARE(FileNameFromBytes("J\xc3\xb6rg/\xe2\x82\xac"), QStringLiteral("J\u00f6rg/\u20ac"));
        for (const QByteArray& b : {QByteArray("\xed\xa0\x80"), QByteArray("\xf4\x90\x80\x80"), QByteArray("\xc0\xaf"),
                                    QByteArray("a\xe2\x82"), QByteArray("\xff\xfe"), QByteArray("\xf0\x9f\x98\x80x")})
            QCOMPARE(FileNameToBytes(FileNameFromBytes(b)), b);
    }

    // The same file by any of its names; another file, or none, is not.
    void sameFileByAnyName()
    {
        QVERIFY(::link(QFile::encodeName(In("Model.p3d")).constData(), QFile::encodeName(In("hard.p3d")).constData()) == 0);
        QVERIFY(::symlink("Model.p3d", QFile::encodeName(In("soft.p3d")).constData()) == 0);
        for (const char* other : {"Model.p3d", "hard.p3d", "soft.p3d", "Anims/../Model.p3d", "./Model.p3d"})
            QVERIFY2(SameFile(In("Model.p3d"), In(other)), other);
        for (const char* other : {"dup.rtm", "missing.p3d", "Anims", ""})
            QVERIFY2(!SameFile(In("Model.p3d"), In(other)), other);
        QVERIFY(!SameFile(In("missing.p3d"), In("missing.p3d")));
    }

    // Text files the editor reads whole are refused past the cap, whatever size the file
    // claims (40 GB does not fit 32 bits); a sparse file keeps the test small on disk.
    void refusesHugeTextFiles()
    {
        for (const qint64 size : {MaxTextFileSize + 1, qint64(40) << 30}) {
            QVERIFY(Hostile::WriteSparseFile(In("big.ini"), {}, size));
            QByteArray bytes("old");
            QString error;
            QVERIFY(!ReadWholeFile(In("big.ini"), bytes, &error, MaxTextFileSize));
            QCOMPARE(error, SystemErrorText(EFBIG));
            QCOMPARE(bytes, QByteArray("old"));
        }
    }
};

TORVANE_TEST(FileUtilTest)
#include "FileUtilTest.moc"
