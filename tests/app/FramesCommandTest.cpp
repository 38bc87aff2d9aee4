// torvane-anim frames when memory runs out, and without a word of the session's notes. The
// chains, exit codes and written files are cases in tests/data/cli; the operations' own
// results are the frame timing's tests.
#include "CommandHome.h"
#include "anim/Rtm.h"
#include "filebuild/RtmBuilder.h"
#include "support/HostileFiles.h"
#include "platform/DebugOut.h"
#include "support/TestMain.h"

#include <QTest>

class FramesCommandTest : public QObject {
    Q_OBJECT
private slots:
    // Doubling copies until memory runs out: the operation's message, exit 1, and the
    // output file as it was.
    void runsOutOfMemory()
    {
        if (!Hostile::MemoryLimitsWork())
            QSKIP("no address-space limits under the address sanitizer");
        CommandHome h;
        QVERIFY(h.Write("in.rtm", RtmBuild::Build(RtmBuild::TFile::Regular({"arm"}, 1000))));
        QVERIFY(h.Write("out.rtm", "old"));
        QStringList args{"frames", "%1/in.rtm"};
        for (qint64 count = 1000; count < (qint64(1) << 30); count *= 2)
            args << "--select" << QString("0-%1").arg(count - 1) << "--copy" << QString::number(count);
        args << "-o"
             << "%1/out.rtm";
        const int code = Hostile::RunWithMemoryLimit(300LL << 20, [&h, &args] {
            const CommandHome::Result r = h.Run(args);  // a code that tells which check failed
            return r.Code != 1                                                                ? 10 + r.Code
                   : !r.Err.endsWith("Finished Copy operation\n" + Rtm::OutOfMemory() + "\n") ? 2
                   : h.Read("out.rtm") == "old" && r.Out.isEmpty()                            ? 0
                                                                                              : 3;
        });
        QCOMPARE(code, 0);
    }

    // The chain runs on the editor's session without a model: the notes on animated names
    // it cannot pose (the platform's debug lines) are not printed.
    void printsNoNotes()
    {
        CommandHome h;
        QVERIFY(h.Write("in.rtm", RtmBuild::Build(RtmBuild::TFile::Regular({"arm", "leg"}, 4))));
        QStringList notes;
        SetDebugSink([&notes](const QString& line) { notes << line; });
        const CommandHome::Result r = h.Run(
            {"frames", "%1/in.rtm", "--at", "2", "--insert-after", "--undo", "--redo", "-o", "%1/out.rtm"});
        SetDebugSink({});
        QCOMPARE(std::tuple(r.Code, r.Err, notes), std::tuple(0, QString(), QStringList()));
    }
};

TORVANE_TEST(FramesCommandTest)
#include "FramesCommandTest.moc"
