#include "platform/FileUtil.h"
#include "support/TestMain.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

class TestFileUtil : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> Dir_;
    QStringList Listing() const { return QDir(Dir_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); }

private slots:
    void init()
    {
        Dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir(Dir_->path()).mkpath("Anims/Sub"));
        for (const char* name : {"Model.p3d", "dup.rtm", "DUP.rtm", "Anims/Walk.RTM", "Anims/Sub/x.lpv"})
            QVERIFY(WriteFileAtomic(Dir_->filePath(name), name));
    }

    void resolveCaseInsensitive_data()
    {
        QTest::addColumn<QString>("asked");  // relative to the folder; "\" as Windows stores it
        QTest::addColumn<QString>("expected");
        QTest::newRow("one match in other case") << "MODEL.P3D" << "Model.p3d";
        QTest::newRow("two matches: unchanged") << "Dup.rtm" << "Dup.rtm";
        QTest::newRow("exact among two") << "DUP.rtm" << "DUP.rtm";
        QTest::newRow("no match") << "model.p3" << "model.p3";
        QTest::newRow("backslashes") << "Anims\\walk.rtm" << "Anims/Walk.RTM";
        QTest::newRow("folder itself") << "anims" << "Anims";
    }
    void resolveCaseInsensitive()
    {
        QFETCH(QString, asked);
        QFETCH(QString, expected);
        QCOMPARE(ResolveCaseInsensitive(Dir_->filePath(asked)), Dir_->filePath(expected));
    }

    void writeAtomicKeepsOldFileOnFailure_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("sizeLimit");  // the largest file this process may write; 0: no limit
        QTest::newRow("target is a folder") << "Anims" << 0;
        QTest::newRow("folder is missing") << "Nowhere/new.rtm" << 0;
        // A file-size limit makes writing fail even for root, whom folder permissions do not bind.
        QTest::newRow("writing fails midway") << "Model.p3d" << 1024;
    }
    void writeAtomicKeepsOldFileOnFailure()
    {
        QFETCH(QString, target);
        QFETCH(int, sizeLimit);
        const QStringList before = Listing();
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit lim = old;
        lim.rlim_cur = sizeLimit ? rlim_t(sizeLimit) : old.rlim_cur;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &lim), 0);
        QString error;
        const bool ok = WriteFileAtomic(Dir_->filePath(target), QByteArray(64 * 1024, 'x'), &error);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!ok);
        QVERIFY(!error.isEmpty());
        QByteArray kept;
        QVERIFY(ReadWholeFile(Dir_->filePath("Model.p3d"), kept));
        QCOMPARE(kept, QByteArray("Model.p3d"));
        QVERIFY(QFileInfo(Dir_->filePath("Anims/Walk.RTM")).isFile());
        QCOMPARE(Listing(), before);  // no temporary file left behind
    }
};

TORVANE_TEST(TestFileUtil)
#include "TestFileUtil.moc"
