// Recovery copies: what a killed editor leaves is found and read back byte for byte by the
// next start, a running editor's copy is never offered, a normal exit leaves nothing, and
// leftovers of crashes at any moment are handled.
#include "FrameTestUtil.h"
#include "anim/Autosave.h"
#include "anim/Recovery.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// The document a recovered animation becomes, as a save would write it.
QByteArray Bytes(const TRtmData& data)
{
    return data.Ok() ? RtmBytes(DocumentOf(data)) : QByteArray("<unread: ") + data.Error.toUtf8() + '>';
}

QStringList Folders(const QString& root) { return QDir(root).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot); }

// An editor in a process of its own: it writes its copy through the autosave writer, says
// so, and then runs until it is killed (or the test lets it go).
class TChildEditor {
public:
    bool Start(const QString& root, const TAnimDocument& doc, const TRecoveryManifest& manifest,
               const TRecoveryModelEdits& model = {})
    {
        int ready[2], hold[2];
        if (::pipe(ready) != 0 || ::pipe(hold) != 0)
            return false;
        Pid_ = ::fork();
        if (Pid_ == 0) {
            ::close(ready[0]);
            ::close(hold[1]);
            TRecoveryStore store(root);
            TAutosaveWriter writer(store);
            writer.Submit(std::make_unique<TAutosaveSnapshot>(TAutosaveSnapshot{doc, manifest, model}));
            writer.WaitIdle();
            const char c = writer.Written() == 1 ? '1' : '0';
            (void)!::write(ready[1], &c, 1);
            char x;
            (void)!::read(hold[0], &x, 1);  // until the test closes its end
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(hold[0]);
        Hold_ = hold[1];
        pollfd p{ready[0], POLLIN, 0};
        char c = 0;
        const bool ok = Pid_ > 0 && ::poll(&p, 1, 20000) == 1 && ::read(ready[0], &c, 1) == 1 && c == '1';
        ::close(ready[0]);
        return ok;
    }
    void Kill()
    {
        if (Pid_ > 0) {
            ::kill(Pid_, SIGKILL);
            ::waitpid(Pid_, nullptr, 0);
            Pid_ = -1;
        }
    }
    ~TChildEditor()
    {
        if (Hold_ >= 0)
            ::close(Hold_);
        Kill();
    }

private:
    pid_t Pid_ = -1;
    int Hold_ = -1;
};

void SetModified(const QString& path, const QDateTime& when)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
}
}  // namespace

class RecoveryTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TAnimFixture> Fx_;
    QString Root_;
    // An edited document and its manifest: a frame more and a new total move than its file.
    TRecoveryManifest Manifest_;

private slots:
    void init()
    {
        Fx_ = std::make_unique<TAnimFixture>();
        Root_ = Fx_->Path("state/recovery");
        QCOMPARE(Fx_->Anim.InsertFrameAfter(), QString());
        Fx_->Anim.SetTotalMove(1, 7.25f);
        // The file is older than any copy made now.
        SetModified(Fx_->Path("walk.rtm"), QDateTime::currentDateTimeUtc().addSecs(-60));
        Manifest_ = {Fx_->Path("walk.rtm"), QStringLiteral("/models/walker.p3d"), 1, {}, 0, {}};
    }

    // An editor killed after an edit leaves a copy the next start offers and reads back as
    // the work was, byte for byte: the animation unless its file was saved again
    // afterwards, and the model's edits whatever the files' dates.
    void killedEditorsCopyIsOffered_data()
    {
        QTest::addColumn<bool>("saved");
        QTest::addColumn<QString>("afterwards");
        QTest::addColumn<bool>("model");  // the copy holds model edits
        QTest::addColumn<bool>("animation");  // it holds the animation
        QTest::addColumn<bool>("animationBack");  // recovering gives it back
        QTest::addRow("edited file") << true << "" << false << true << true;
        QTest::addRow("document never saved") << false << "" << false << true << true;
        QTest::addRow("file saved again since") << true << "touch" << false << true << false;
        QTest::addRow("file deleted since") << true << "delete" << false << true << true;
        QTest::addRow("model edits, file saved again since") << true << "touch" << true << true << false;
        QTest::addRow("model edits only") << true << "" << true << false << false;
    }
    void killedEditorsCopyIsOffered()
    {
        QFETCH(bool, saved);
        QFETCH(QString, afterwards);
        QFETCH(bool, model);
        QFETCH(bool, animation);
        QFETCH(bool, animationBack);
        if (!saved)
            Manifest_.Document.clear();
        const TRecoveryModelEdits edits = model ? TRecoveryModelEdits{QByteArray("\1\0\2", 3), "[Translation]\nleg=A leg\n",
                                                                      "[ColorDef]\nleg=7\n"}
                                                : TRecoveryModelEdits{};
        TChildEditor child;
        QVERIFY(child.Start(Root_, animation ? Fx_->Doc : TAnimDocument(), Manifest_, edits));
        // Its editor runs: no start may take it.
        TRecoveryStore store(Root_);
        QCOMPARE(store.Offers().size(), size_t(0));
        child.Kill();
        if (afterwards == "touch")
            SetModified(Manifest_.Document, QDateTime::currentDateTimeUtc().addSecs(60));
        if (afterwards == "delete")
            QVERIFY(QFile::remove(Manifest_.Document));

        const std::vector<TRecoveryCopy> offers = store.Offers();
        const bool offered = model || animationBack;
        QCOMPARE(offers.size(), size_t(offered ? 1 : 0));
        if (!offered) {
            QCOMPARE(Folders(Root_).size(), 1);  // kept a while, in case the later file is not the better one
            return;
        }
        const TRecoveryManifest& m = offers[0].Manifest;
        QCOMPARE(QStringList({m.Document, m.Model, QString::number(m.Frame)}),
                 QStringList({Manifest_.Document, Manifest_.Model, "1"}));
        QCOMPARE(m.Parts, (animationBack ? PartAnimation : 0u) | (model ? PartLinking | PartNames | PartColors : 0u));
        QVERIFY(qAbs(m.Written.secsTo(QDateTime::currentDateTimeUtc())) < 60);
        const TRecoveredWork work = store.Take(offers[0].Id);
        QCOMPARE(Bytes(work.Animation), animationBack ? RtmBytes(Fx_->Doc) : Bytes(TRtmData()));
        QCOMPARE(QByteArrayList({work.Model.Linking, work.Model.Names, work.Model.Colors}),
                 QByteArrayList({edits.Linking, edits.Names, edits.Colors}));
        QCOMPARE(work.Manifest.Document, Manifest_.Document);
    }

    // The stamp of the document's file goes into the manifest and comes back with the
    // copy; a manifest without one (an older editor's) or with one garbled recovers too,
    // without a stamp.
    void documentStampIsKept_data()
    {
        QTest::addColumn<QString>("stampText");  // put in the manifest in place of the one written
        QTest::addColumn<bool>("kept");
        QTest::addRow("as written") << QString() << true;
        QTest::addRow("older manifest without it") << "none" << false;
        QTest::addRow("garbled") << "1 2 x 4 5" << false;
        QTest::addRow("a number short") << "1 2 3 4" << false;
    }
    void documentStampIsKept()
    {
        QFETCH(QString, stampText);
        QFETCH(bool, kept);
        Manifest_.DocumentStamp = FileStampOf(Manifest_.Document);
        QVERIFY(Manifest_.DocumentStamp.Exists);
        {
            TRecoveryStore gone(Root_);  // dropped without RemoveOwn, as by a crash
            QVERIFY(gone.Write(Fx_->Doc, {}, Manifest_));
        }
        const QString manifestPath = Root_ + '/' + Folders(Root_).value(0) + "/manifest.json";
        if (!stampText.isEmpty()) {
            QFile f(manifestPath);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QJsonObject o = QJsonDocument::fromJson(f.readAll()).object();
            f.close();
            QVERIFY(o.contains("documentStamp"));
            if (stampText == "none")
                o.remove("documentStamp");
            else
                o.insert("documentStamp", stampText);
            QVERIFY(WriteFileAtomic(manifestPath, QJsonDocument(o).toJson()));
        }
        TRecoveryStore store(Root_);
        const std::vector<TRecoveryCopy> offers = store.Offers();
        QCOMPARE(offers.size(), size_t(1));
        const TRecoveredWork work = store.Take(offers[0].Id);
        QCOMPARE(Bytes(work.Animation), RtmBytes(Fx_->Doc));
        QCOMPARE(work.Manifest.DocumentStamp == Manifest_.DocumentStamp, kept);
        QCOMPARE(work.Manifest.DocumentStamp.Exists, kept);
    }

    // Two running editors keep a copy each and never offer each other's; once one is
    // killed, the other offers its copy, never its own.
    void twoEditorsKeepSeparateCopies()
    {
        TChildEditor child;
        QVERIFY(child.Start(Root_, Fx_->Doc, Manifest_));
        const QByteArray childBytes = RtmBytes(Fx_->Doc);
        QCOMPARE(Fx_->Anim.DeleteCurrentFrame(), QString());
        TRecoveryStore store(Root_);
        QVERIFY(store.Write(Fx_->Doc, {}, Manifest_));
        QCOMPARE(Folders(Root_).size(), 2);
        QCOMPARE(store.Offers().size(), size_t(0));

        child.Kill();
        const std::vector<TRecoveryCopy> offers = store.Offers();
        QCOMPARE(offers.size(), size_t(1));
        QVERIFY(Folders(Root_).contains(offers[0].Id));
        QVERIFY(!store.OwnFolder().endsWith('/' + offers[0].Id));
        QCOMPARE(Bytes(store.Take(offers[0].Id).Animation), childBytes);
    }

    // A normal exit, as a save, removes the copy; a process that ends without it (a crash)
    // leaves it for the next start.
    void normalExitLeavesNoCopy()
    {
        for (const bool normal : {true, false}) {
            {
                TRecoveryStore store(Root_);
                TAutosaveWriter writer(store);
                writer.Submit(std::make_unique<TAutosaveSnapshot>(TAutosaveSnapshot{Fx_->Doc, Manifest_, {}}));
                writer.WaitIdle();
                QCOMPARE(writer.Written(), 1);
                writer.Shutdown(normal);
            }
            QCOMPARE(Folders(Root_).size(), normal ? 0 : 1);
        }
        QCOMPARE(TRecoveryStore(Root_).Offers().size(), size_t(1));
    }

    // Of two editors starting together, only the first offers a copy; "Later" hands it on.
    void aCopyIsOfferedByOneStartAtATime()
    {
        {
            TRecoveryStore(Root_).Write(Fx_->Doc, {}, Manifest_);
        }
        TRecoveryStore first(Root_), second(Root_);
        const std::vector<TRecoveryCopy> offers = first.Offers();
        QCOMPARE(offers.size(), size_t(1));
        QCOMPARE(second.Offers().size(), size_t(0));
        QCOMPARE(first.Offers().size(), size_t(1));  // asking again offers it again
        first.Release(offers[0].Id);
        QCOMPARE(second.Offers().size(), size_t(1));
        QVERIFY(second.Discard(offers[0].Id));
        QCOMPARE(Folders(Root_).size(), 0);
        QVERIFY(!first.Discard(offers[0].Id));
    }

    // A recovered copy stays until this editor's own copy holds the work (or a save or
    // normal exit makes it needless): dying in between offers it again.
    void recoveredCopyStaysUntilOwnCopyIsWritten()
    {
        {
            TRecoveryStore(Root_).Write(Fx_->Doc, {}, Manifest_);
        }
        const QString old = Folders(Root_).value(0);
        {
            TRecoveryStore store(Root_);
            QVERIFY(store.Take(store.Offers().at(0).Id).Animation.Ok());
        }  // died before writing a copy of its own
        TRecoveryStore store(Root_);
        const std::vector<TRecoveryCopy> offers = store.Offers();
        QCOMPARE(offers.size(), size_t(1));
        QVERIFY(store.Take(offers[0].Id).Animation.Ok());
        QVERIFY(store.Write(Fx_->Doc, {}, Manifest_));
        QVERIFY(!Folders(Root_).contains(old));
        QCOMPARE(Folders(Root_).size(), 1);

        {
            TRecoveryStore(Root_).Write(Fx_->Doc, {}, Manifest_);
        }
        QVERIFY(store.Take(store.Offers().at(0).Id).Animation.Ok());
        store.RemoveOwn();
        QCOMPARE(Folders(Root_).size(), 0);
    }

    // A folder removed from under a running editor (a clean-up) is made anew by its next copy.
    void removedFolderIsMadeAnew()
    {
        TRecoveryStore store(Root_);
        QVERIFY(store.Write(Fx_->Doc, {}, Manifest_));
        QVERIFY(QDir(Root_).removeRecursively());
        QVERIFY(store.Write(Fx_->Doc, {}, Manifest_));
        QCOMPARE(Folders(Root_).size(), 1);
        QVERIFY(QFileInfo(store.OwnFolder() + "/manifest.json").isFile());
    }

    // A write given up keeps the copy before whole, and leaves no temporary file.
    void givenUpWriteKeepsTheCopyBefore()
    {
        auto store = std::make_unique<TRecoveryStore>(Root_);
        QVERIFY(store->Write(Fx_->Doc, {}, Manifest_));
        const QByteArray before = RtmBytes(Fx_->Doc);
        const QStringList files = QDir(store->OwnFolder()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(Fx_->Anim.DeleteCurrentFrame(), QString());
        const std::atomic<bool> stop{true};
        QString error;
        QVERIFY(!store->Write(Fx_->Doc, {}, Manifest_, &error, &stop));
        QVERIFY(!error.isEmpty());
        QCOMPARE(QDir(store->OwnFolder()).entryList(QDir::Files | QDir::Hidden), files);
        store = std::make_unique<TRecoveryStore>(Root_);  // the first one ended as a crash would end it
        QCOMPARE(Bytes(store->Take(store->Offers().at(0).Id).Animation), before);
    }

    // What a crash at any moment of a write or a removal leaves: a copy whose manifest is
    // missing or names something else is still offered from its newest animation file; a
    // folder with nothing to recover or without its lock file goes; a folder being made is
    // left alone until it is an hour old; a copy older than its file goes after two weeks.
    void leftoversOfCrashes()
    {
        for (int i = 0; i < 3; ++i) {
            TRecoveryStore s(Root_);
            QVERIFY(s.Write(Fx_->Doc, {}, Manifest_));
        }
        QStringList ids = Folders(Root_);
        QCOMPARE(ids.size(), 3);
        const QDir noManifest(Root_ + '/' + ids[0]), noAnimation(Root_ + '/' + ids[1]), noLock(Root_ + '/' + ids[2]);
        QVERIFY(QFile::remove(noManifest.filePath("manifest.json")));
        QVERIFY(QFile::copy(noManifest.filePath("animation-1.rtm"), noManifest.filePath("animation-0.rtm")));
        QVERIFY(QFile::remove(noAnimation.filePath("animation-1.rtm")));
        QVERIFY(QFile::remove(noLock.filePath("lock")));
        for (const char* name : {".new-1-young", ".new-2-old"})
            QVERIFY(QDir(Root_).mkdir(name));
        const QString old = Root_ + "/.new-2-old";
        const timeval hoursAgo[2] = {{::time(nullptr) - 7200, 0}, {::time(nullptr) - 7200, 0}};
        QVERIFY(::utimes(QFile::encodeName(old).constData(), hoursAgo) == 0);

        TRecoveryStore store(Root_);
        const std::vector<TRecoveryCopy> offers = store.Offers();
        QCOMPARE(offers.size(), size_t(1));
        QCOMPARE(offers[0].Id, ids[0]);
        QVERIFY(offers[0].Manifest.Document.isEmpty());  // unknown: offered as never saved
        QCOMPARE(Bytes(store.Take(offers[0].Id).Animation), RtmBytes(Fx_->Doc));
        QCOMPARE(Folders(Root_), QStringList({".new-1-young", ids[0]}));

        // A manifest can only name a file of its own folder.
        QFile manifest(noManifest.filePath("manifest.json"));
        QVERIFY(manifest.open(QIODevice::WriteOnly));
        manifest.write(R"({"animation": "../../walk.rtm", "document": "/x.rtm", "written": "2000-01-01T00:00:00.000Z"})");
        manifest.close();
        store.Release(ids[0]);
        const std::vector<TRecoveryCopy> again = store.Offers();
        QCOMPARE(again.size(), size_t(1));
        QCOMPARE(Bytes(store.Take(again[0].Id).Animation), RtmBytes(Fx_->Doc));

        // Older than its file: kept for two weeks, then removed.
        store.Release(ids[0]);
        manifest.open(QIODevice::WriteOnly);
        manifest.write(QStringLiteral(R"({"animation": "animation-1.rtm", "document": "%1", "written": "%2"})")
                           .arg(Manifest_.Document, QDateTime::currentDateTimeUtc().addDays(-13).toString(Qt::ISODateWithMs))
                           .toUtf8());
        manifest.close();
        SetModified(Manifest_.Document, QDateTime::currentDateTimeUtc());
        QCOMPARE(store.Offers().size(), size_t(0));
        QVERIFY(Folders(Root_).contains(ids[0]));
        manifest.open(QIODevice::WriteOnly);
        manifest.write(QStringLiteral(R"({"animation": "animation-1.rtm", "document": "%1", "written": "%2"})")
                           .arg(Manifest_.Document, QDateTime::currentDateTimeUtc().addDays(-15).toString(Qt::ISODateWithMs))
                           .toUtf8());
        manifest.close();
        QCOMPARE(store.Offers().size(), size_t(0));
        QCOMPARE(Folders(Root_), QStringList({".new-1-young"}));
    }
};

TORVANE_TEST(RecoveryTest)
#include "RecoveryTest.moc"
