// The document operations and what the controller says about them, without a window.
#include "FrameTestUtil.h"
#include "anim/Rtm.h"
#include "support/HostileFiles.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QDateTime>
#include <QFile>
#include <QSignalSpy>

using RtmBuild::TFile;

class AnimControllerTest : public QObject {
    Q_OBJECT
private slots:
    // A new animation takes each name once, in the order first reached, in place of the
    // document; its step gives back the document it replaced, names, file name, total move
    // and current frame, and redoes it again. Both halves of "New Animation..." merge.
    void createNewAnimation()
    {
        TAnimFixture fx(5);
        TRecordedSteps steps(fx.Anim);
        QCOMPARE(fx.Anim.CreateNewAnimation({}), QStringLiteral("Nothing selected!"));
        QVERIFY(steps.Done.empty() && fx.Doc.FrameCount() == 5);
        fx.Anim.SetActStep(3);
        QByteArray walk;
        QCOMPARE(WriteRtm(fx.Doc, walk), QString());
        QSignalSpy replaced(&fx.Anim, &TAnimController::Replaced);
        fx.Anim.ClearForNewAnimation();
        QCOMPARE(fx.Anim.CreateNewAnimation({"arm", "hand", "ARM", "leg"}), QString());
        QCOMPARE(fx.Doc.AnimSelections.Names(), (QStringList{"arm", "hand", "leg"}));
        QVERIFY(fx.Doc.AnimStepCount == 1 && fx.Doc.AnimFileName.isEmpty() && fx.Doc.TotalMove == (std::array<float, 3>{}));
        QCOMPARE(steps.Done.size(), size_t(2));
        for (const TAnimStep& s : steps.Done)
            QCOMPARE(std::pair(s.Name, s.MergeKey), std::pair(QStringLiteral("New Animation"), QStringLiteral("New Animation")));
        QVERIFY(steps.Undo() && steps.Undo());
        QByteArray back;
        QCOMPARE(WriteRtm(fx.Doc, back), QString());
        QCOMPARE(back, walk);
        QCOMPARE(std::pair(fx.Doc.ActAnimStep, fx.Doc.AnimFileName), std::pair(3, fx.Path("walk.rtm")));
        QCOMPARE(replaced.count(), 4);
        QVERIFY(steps.Redo() && steps.Redo());
        QCOMPARE(fx.Doc.AnimSelections.Names(), (QStringList{"arm", "hand", "leg"}));
        QVERIFY(fx.Doc.FrameCount() == 1 && fx.Doc.AnimFileName.isEmpty());
    }

    // A failed load never leaves the previous or a half-read document, and every counter
    // hears of the empty document. The header fixes what the file holds: a sparse file of
    // 40 GB loads only the frames it counts, and counts beyond the file are refused, neither
    // by allocating the file.
    void loads_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("frames");
        constexpr qint64 big = qint64(40) << 30;
        TFile magic = TFile::Regular({"arm", "leg"}, 3), foreign = magic, claims = TFile::Regular({"arm"}, 0);
        magic.Magic = "RTM_0102";
        foreign.Frames[2].Records[1].Name = "tail";  // met after two frames were read
        claims.FrameCount = int32_t((big - 60) / 84);  // frames of zeros: no name matches
        TFile beyond = claims;
        beyond.FrameCount = int32_t((big - 60) / 84 + 1);
        QTest::newRow("magic") << RtmBuild::Build(magic) << qint64(0) << "Incorrect Format!" << 0;
        QTest::newRow("name not in header") << RtmBuild::Build(foreign) << qint64(0) << "Component Name not in Header!" << 0;
        QTest::newRow("40 GB after two frames") << RtmBuild::Build(TFile::Regular({"arm"}, 2)) << big << QString() << 2;
        QTest::newRow("40 GB of frames") << RtmBuild::Build(claims) << big << "Component Name not in Header!" << 0;
        QTest::newRow("one frame more than the file") << RtmBuild::Build(beyond) << big << "Incorrect Format!" << 0;
    }
    void loads()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, size);
        QFETCH(QString, message);
        QFETCH(int, frames);
        TAnimFixture fx(4);
        const QString path = fx.Path("bad.rtm");
        QVERIFY(size > 0 ? Hostile::WriteSparseFile(path, bytes, size) : WriteBytesFile(path, bytes));
        QSignalSpy counts(&fx.Anim, &TAnimController::StepCountChanged);
        QCOMPARE(fx.Anim.LoadAnimation(path), message);
        QVERIFY(fx.Doc.FrameCount() == frames && fx.Doc.AnimStepCount == frames && !fx.Anim.Loading());
        QCOMPARE(fx.Doc.AnimSelections.Count(), frames > 0 ? 1 : 0);
        QCOMPARE(fx.Doc.TotalMove,
                 (frames > 0 ? std::array<float, 3>{1.5f, -2.25f, 0.125f} : std::array<float, 3>{}));  // the file's
        QCOMPARE(fx.Doc.AnimFileName, frames > 0 ? path : QString());
        QVERIFY(!counts.isEmpty());
        QCOMPARE(counts.last().at(0).toInt(), frames);
    }

    // Without the memory for what a file legitimately holds, the load says so and leaves
    // an empty document, and the controller goes on working.
    void loadWithoutMemory()
    {
        if (!Hostile::MemoryLimitsWork())
            QSKIP("no address-space limits under the address sanitizer");
        TAnimFixture fx(0);
        TFile zeros;  // one nameless component, so the zeros of a sparse file are frames
        zeros.Names = {""};
        zeros.FrameCount = 4000000;
        QVERIFY(Hostile::WriteSparseFile(fx.Path("zeros.rtm"), RtmBuild::Build(zeros), 60 + qint64(4000000) * 84));
        const int code = Hostile::RunWithMemoryLimit(200LL << 20, [&fx] {
            if (fx.Anim.LoadAnimation(fx.Path("zeros.rtm")) != Rtm::OutOfMemory())
                return 1;
            if (fx.Doc.FrameCount() != 0 || fx.Doc.AnimStepCount != 0 || fx.Doc.AnimSelections.Count() != 0)
                return 2;
            // The memory is back: a small file loads.
            TFile small = TFile::Regular({"arm"}, 3);
            if (!WriteBytesFile(fx.Path("small.rtm"), RtmBuild::Build(small)) ||
                !fx.Anim.LoadAnimation(fx.Path("small.rtm")).isEmpty())
                return 3;
            return fx.Doc.FrameCount() == 3 ? 0 : 4;
        });
        QCOMPARE(code, 0);
        // Without the limit the same file loads.
        QCOMPARE(fx.Anim.LoadAnimation(fx.Path("zeros.rtm")), QString());
        QCOMPARE(fx.Doc.FrameCount(), 4000000);
    }

    // A load or a save gives the document the file's name; a failed save changes nothing, and an
    // empty document is not written.
    void loadAndSave()
    {
        TAnimFixture fx(5);
        QCOMPARE(fx.Anim.SaveAnimation(fx.Path("no/such/folder/x.rtm")).left(17), QStringLiteral("Cannot write file"));
        QCOMPARE(fx.Doc.AnimFileName, fx.Path("walk.rtm"));  // a failed save changes nothing
        QCOMPARE(fx.Anim.SaveAnimation(fx.Path("copy.rtm")), QString());
        QCOMPARE(fx.Doc.AnimFileName, fx.Path("copy.rtm"));
        TAnimController again;
        // Named in another letter case (a file list made on Windows), the file is found and
        // the document takes its real name: a save goes back into it, not beside it.
        QCOMPARE(again.LoadAnimation(fx.Path("COPY.RTM")), QString());
        QCOMPARE(again.Doc.AnimFileName, fx.Path("copy.rtm"));
        QCOMPARE(TimesOf(again.Doc.AnimFrames), TimesOf(fx.Doc.AnimFrames));
        QCOMPARE(again.Doc.AnimFrames[3].Entries[1].Matrix, fx.Doc.AnimFrames[3].Entries[1].Matrix);
        fx.Anim.ClearAnimation();
        QCOMPARE(fx.Anim.SaveAnimation(fx.Path("copy.rtm")), QStringLiteral("No Animation found!"));
    }

    // Whether a save would write over changes made on disk meanwhile. walk.rtm is loaded
    // with its times an hour back, so any write shows in them; then each step runs
    // ("write F" rewrites F's bytes in place, "replace F" puts a copy in its place), and
    // saving to the file named is asked about.
    void changedOnDisk_data() { QVERIFY(AddTableRows("anim/changed-on-disk.table")); }
    void changedOnDisk()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, file);
        QFETCH(bool, changed);
        TAnimFixture fx(0);
        const auto path = [&](const QString& name) { return fx.Dir.filePath(name); };
        const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
        QVERIFY(WriteBytesFile(path("walk.rtm"), RtmBuild::Build(TFile::Regular({"arm"}, 3))));
        QFile walk(path("walk.rtm"));
        QVERIFY(walk.open(QIODevice::ReadWrite) && walk.setFileTime(hourAgo, QFileDevice::FileModificationTime));
        walk.close();
        QCOMPARE(fx.Anim.LoadAnimation(path("walk.rtm")), QString());
        for (const QString& step : steps) {
            const QString verb = step.section(' ', 0, 0), target = path(step.section(' ', 1));
            QFile f(target);
            if (verb == "write") {
                QVERIFY(f.open(QIODevice::ReadWrite));
                const QByteArray bytes = f.readAll();
                QVERIFY(f.seek(0) && f.write(bytes.isEmpty() ? "x" : bytes) > 0);
            } else if (verb == "append") {
                QVERIFY(f.open(QIODevice::Append) && f.write("x") == 1);
            } else if (verb == "touch") {
                QVERIFY(f.open(QIODevice::ReadWrite) && f.setFileTime(hourAgo.addSecs(60), QFileDevice::FileModificationTime));
            } else if (verb == "replace") {
                QVERIFY(f.open(QIODevice::ReadOnly));
                QVERIFY(WriteFileAtomic(target, f.readAll()));
            } else if (verb == "delete") {
                QVERIFY(f.remove());
            } else if (verb == "save") {
                QCOMPARE(fx.Anim.SaveAnimation(target), QString());
            } else if (verb == "clear") {
                fx.Anim.ClearAnimation();
            } else {
                QFAIL(qPrintable("no such step: " + step));
            }
        }
        QCOMPARE(fx.Anim.ChangedOnDisk(path(file)), changed);
    }

    // The frame buttons on no animation say why nothing happened.
    void frameButtonsWithoutFrames()
    {
        TAnimController empty;
        QCOMPARE(empty.InsertFrameAfter(), QStringLiteral("No Anim found!"));
        QCOMPARE(empty.DeleteCurrentFrame(), QStringLiteral("No Anim Steps!"));
    }

    void shutdownFreezesTheDocument()
    {
        TAnimFixture fx(3);
        fx.Anim.ShutDown();
        fx.Anim.SetActStep(2);
        QVERIFY(fx.Doc.ActAnimStep == 0 && fx.Doc.AnimStepCount == 3);
    }
};

TORVANE_TEST(AnimControllerTest)
#include "AnimControllerTest.moc"
