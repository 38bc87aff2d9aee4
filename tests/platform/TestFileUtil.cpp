#include "platform/FileUtil.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {
bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray ReadBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// Lowers the largest file size this process may write, so that writing fails even for
// root, for whom folder permissions do not count.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &Old_);
        OldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim = Old_;
        lim.rlim_cur = bytes;
        Ok_ = setrlimit(RLIMIT_FSIZE, &lim) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &Old_);
        std::signal(SIGXFSZ, OldHandler_);
    }
    bool Ok() const { return Ok_; }

private:
    rlimit Old_{};
    void (*OldHandler_)(int) = nullptr;
    bool Ok_ = false;
};
}  // namespace

class TestFileUtil : public QObject {
    Q_OBJECT
private slots:
    void init();
    void resolveCaseInsensitive_data();
    void resolveCaseInsensitive();
    void writeAtomicReplaces();
    void writeAtomicKeepsOldFileOnFailure_data();
    void writeAtomicKeepsOldFileOnFailure();
    void writeAtomicKeepsOldFileWhenWritingFails();
    void writeAtomicKeepsOldFileInReadOnlyFolder();
    void readWholeFile();
    void fileNamePart_data();
    void fileNamePart();

private:
    std::unique_ptr<QTemporaryDir> Dir_;
};

void TestFileUtil::init()
{
    Dir_ = std::make_unique<QTemporaryDir>();
    QDir d(Dir_->path());
    QVERIFY(d.mkpath("Anims/Sub"));
    for (const char* name : {"Model.p3d", "dup.rtm", "DUP.rtm", "Anims/Walk.RTM", "Anims/Sub/x.lpv"})
        QVERIFY(WriteBytes(d.filePath(name), name));
}

void TestFileUtil::resolveCaseInsensitive_data()
{
    QTest::addColumn<QString>("asked");     // relative to the folder; "\" as Windows stores it
    QTest::addColumn<QString>("expected");  // relative to the folder

    QTest::newRow("exact") << "Model.p3d" << "Model.p3d";
    QTest::newRow("one match in other case") << "MODEL.P3D" << "Model.p3d";
    QTest::newRow("two matches: unchanged") << "Dup.rtm" << "Dup.rtm";
    QTest::newRow("exact among two") << "DUP.rtm" << "DUP.rtm";
    QTest::newRow("no match") << "model.p3" << "model.p3";
    QTest::newRow("backslashes") << "Anims\\walk.rtm" << "Anims/Walk.RTM";
    QTest::newRow("backslashes, exact") << "Anims\\Sub\\x.lpv" << "Anims/Sub/x.lpv";
    QTest::newRow("folder itself") << "anims" << "Anims";
}

void TestFileUtil::resolveCaseInsensitive()
{
    QFETCH(QString, asked);
    QFETCH(QString, expected);
    const QString base = Dir_->path() + "/";
    QCOMPARE(ResolveCaseInsensitive(base + asked), base + expected);
    QCOMPARE(ResolveCaseInsensitive(QString()), QString());
}

void TestFileUtil::writeAtomicReplaces()
{
    const QString path = Dir_->filePath("out.bin");
    QString error;
    QVERIFY(WriteFileAtomic(path, "first", &error));
    QCOMPARE(ReadBytes(path), QByteArray("first"));
    QVERIFY(WriteFileAtomic(path, QByteArray("\0second", 7), &error));
    QCOMPARE(ReadBytes(path), QByteArray("\0second", 7));
    QVERIFY(WriteFileAtomic(path, QByteArray(), &error));
    QCOMPARE(ReadBytes(path), QByteArray());
}

void TestFileUtil::writeAtomicKeepsOldFileOnFailure_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("target is a folder") << "Anims";
    QTest::newRow("folder is a file") << "Model.p3d/new.rtm";
    QTest::newRow("folder is missing") << "Nowhere/new.rtm";
}

void TestFileUtil::writeAtomicKeepsOldFileOnFailure()
{
    QFETCH(QString, target);
    const QStringList before = QDir(Dir_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    QString error;
    QVERIFY(!WriteFileAtomic(Dir_->filePath(target), "new", &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(ReadBytes(Dir_->filePath("Model.p3d")), QByteArray("Model.p3d"));
    QVERIFY(QFileInfo(Dir_->filePath("Anims/Walk.RTM")).isFile());
    QCOMPARE(QDir(Dir_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
}

void TestFileUtil::writeAtomicKeepsOldFileWhenWritingFails()
{
    const QString path = Dir_->filePath("Model.p3d");
    const QByteArray big(64 * 1024, 'x');
    bool ok = true;
    QString error;
    {
        FileSizeLimit limit(1024);
        QVERIFY(limit.Ok());
        ok = WriteFileAtomic(path, big, &error);
    }
    QVERIFY(!ok);
    QVERIFY(!error.isEmpty());
    QCOMPARE(ReadBytes(path), QByteArray("Model.p3d"));
    // No half-written temporary file is left beside it.
    QCOMPARE(QDir(Dir_->path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

void TestFileUtil::writeAtomicKeepsOldFileInReadOnlyFolder()
{
    if (geteuid() == 0)
        QSKIP("folder permissions do not bind root; the file-size limit case covers the failure");
    const QString folder = Dir_->filePath("Anims");
    QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    QString error;
    const bool ok = WriteFileAtomic(folder + "/Walk.RTM", "new", &error);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QVERIFY(!ok);
    QVERIFY(!error.isEmpty());
    QCOMPARE(ReadBytes(folder + "/Walk.RTM"), QByteArray("Anims/Walk.RTM"));
}

void TestFileUtil::readWholeFile()
{
    QByteArray bytes = "stale";
    QString error;
    QVERIFY(ReadWholeFile(Dir_->filePath("Anims/Walk.RTM"), bytes, &error));
    QCOMPARE(bytes, QByteArray("Anims/Walk.RTM"));
    QVERIFY(!ReadWholeFile(Dir_->filePath("absent.rtm"), bytes, &error));
    QVERIFY(!error.isEmpty());
}

void TestFileUtil::fileNamePart_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("slashes") << "/a/b/walk.rtm" << "walk.rtm";
    QTest::newRow("backslashes") << "C:\\anims\\walk.rtm" << "walk.rtm";
    QTest::newRow("mixed") << "C:\\anims/x\\y/walk.rtm" << "walk.rtm";
    QTest::newRow("name only") << "walk.rtm" << "walk.rtm";
    QTest::newRow("folder only") << "/a/b/" << "";
}

void TestFileUtil::fileNamePart()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(FileNamePart(path), name);
}

TORVANE_TEST(TestFileUtil)
#include "TestFileUtil.moc"
