// torvane-anim frames: chains of operations with the selection carried along, the exit
// codes, and the written file. The operations' own results are the frame timing's tests.
#include "CommandHome.h"
#include "anim/Rtm.h"
#include "filebuild/RtmBuilder.h"
#include "support/HostileFiles.h"
#include "support/TestMain.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <cmath>

namespace {
using FloatList = QList<float>;
using IntList = QList<int>;

// in.rtm with frames at 0, 0.1, 0.3, 0.6, 1; frame i's one entry carries i as its x
// translation, so the output shows where each frame went.
void WriteFive(const CommandHome& h)
{
    RtmBuild::TFile f;
    f.Names = {"arm"};
    const FloatList times{0, 0.1f, 0.3f, 0.6f, 1};
    for (qsizetype i = 0; i < times.size(); ++i) {
        RtmBuild::TMatrix m = RtmBuild::Identity;
        m[9] = float(i);
        f.Frames.push_back({times[i], {{"arm", m}}});
    }
    QVERIFY(h.Write("in.rtm", RtmBuild::Build(f)));
}
}  // namespace

class FramesCommandTest : public QObject {
    Q_OBJECT
private slots:
    // ops run on in.rtm; "x.rtm" in them is no file: what is refused there is refused
    // before the file is read. err is stderr exactly (its start for exit code 2).
    void operations_data()
    {
        QTest::addColumn<QString>("ops");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("err");
        QTest::addColumn<FloatList>("times");  // to 1e-4
        QTest::addColumn<IntList>("ids");
        const auto row = [](const char* name, const char* ops, int code, const QString& err, const FloatList& times = {}, const IntList& ids = {}) {
            QTest::newRow(name) << QString(ops) << code << err << times << ids;
        };
        row("none", "", 0, "", {0, 0.1f, 0.3f, 0.6f, 1}, {0, 1, 2, 3, 4});
        row("at, insert after", "--at 3 --insert-after", 0, "", {0, 0.1f, 0.3f, 0.6f, 0.8f, 1}, {0, 1, 2, 3, 3, 4});
        row("at clamps, delete", "--at 9 --delete", 0, "", {0, 0.1f, 0.3f, 1}, {0, 1, 2, 3});
        row("retime sorts", "--retime 1=0.8", 0, "", {0, 0.3f, 0.6f, 0.8f, 1}, {0, 2, 3, 1, 4});
        row("retime the last", "--retime 4=0.5", 0, "", {0, 0.1f, 0.3f, 0.6f, 1}, {0, 1, 2, 3, 4});
        // The selection moves with the block: the mirror acts on frames 3 - 4.
        row("move, then mirror", "--select 1-2 --move 4 --mirror", 0, "Finished Move operation\nFinished Mirror operation\n", {0, 0.3f, 0.7f, 0.8f, 1}, {0, 3, 4, 2, 1});
        row("copy to the end", "--select 1-1 --copy 5", 0, "Finished Copy operation\n", {0, 0.0909f, 0.2727f, 0.5455f, 0.9091f, 1}, {0, 1, 2, 3, 4, 1});
        row("delete range", "--select 1-2 --delete-range", 0, "", {0, 0.4286f, 1}, {0, 3, 4});
        // Stopped by the editor's message: exit 1, nothing printed.
        row("two frames left", "--select 0-3 --delete-range", 1, "Only two Animsteps left!\n");
        row("delete down to two", "--delete --delete --delete --delete", 1, "Only two Animsteps left!\n");
        row("move no number", "--move two", 1, "Invalid Frame!\n");
        // A disabled button, a range outside the frames, a malformed operation.
        row("linearize one frame", "--linearize", 2, "torvane-anim: --linearize is not offered when frames 0 - 0 are selected\n");
        row("nothing selected after delete", "--select 1-2 --delete-range --copy 1", 2, "torvane-anim: --copy is not offered when no frames are selected\n");
        row("select beyond", "--select 3-5", 2, "torvane-anim: --select 3-5: the animation has 5 frames\n");
        row("selection cut by a delete", "--select 3-4 --at 0 --delete --mirror", 2, "torvane-anim: --mirror is not offered when frames 3 - 3 are selected\n");
        row("retime beyond", "--retime 5=0.5", 2, "torvane-anim: --retime 5: the animation has 5 frames\n");
        row("select backwards", "x.rtm --select 3-1", 2, "torvane-anim: --select needs FIRST-LAST with FIRST <= LAST\n");
        row("select one number", "x.rtm --select 3", 2, "torvane-anim: --select needs FIRST-LAST with FIRST <= LAST\n");
        row("retime without =", "x.rtm --retime 3", 2, "torvane-anim: --retime needs FRAME=TIME\n");
        row("at without number", "x.rtm --at", 2, "torvane-anim: --at needs a value\n");
        row("two files", "x.rtm y.rtm", 2, "torvane-anim: frames takes one animation\n");
        // An option where the target belongs means the target was left out.
        row("copy to an option", "x.rtm --copy --json", 2, "torvane-anim: --copy needs a target frame\n");
        row("move to an option", "x.rtm --move -o", 2, "torvane-anim: --move needs a target frame\n");
        row("copy without target", "x.rtm --copy", 2, "torvane-anim: --copy needs a value\n");
    }
    void operations()
    {
        QFETCH(QString, ops);
        QFETCH(int, code);
        QFETCH(QString, err);
        QFETCH(FloatList, times);
        QFETCH(IntList, ids);
        CommandHome h;
        WriteFive(h);
        const bool noFile = ops.startsWith("x.rtm");
        const QStringList args{"frames", noFile ? "x.rtm" : "%1/in.rtm", "--json"};
        const CommandHome::Result r = h.Run(args + ops.mid(noFile ? 5 : 0).split(' ', Qt::SkipEmptyParts));
        QCOMPARE(code == 2 ? r.Err.left(err.size()) : r.Err, err);
        QCOMPARE(r.Code, code);
        FloatList gotTimes;
        IntList gotIds;
        for (const QJsonValue& f : QJsonDocument::fromJson(r.Out.toUtf8()).object()["frames"].toArray()) {
            gotTimes << float(std::round(f["time"].toDouble() * 1e4) / 1e4);
            gotIds << f["entries"][0]["matrix"][9].toInt();
        }
        QCOMPARE(gotIds, ids);
        QCOMPARE(gotTimes, times);
        QCOMPARE(r.Out.isEmpty(), code != 0);
    }

    // -o writes what would be printed; a stopped chain writes nothing and keeps the file.
    void writesOutput()
    {
        CommandHome h;
        WriteFive(h);
        const QStringList ops{"frames", "%1/in.rtm", "--select", "1-3", "--mirror", "--at", "2", "--insert-after"};
        const CommandHome::Result printed = h.Run(ops), written = h.Run(ops + QStringList{"-o", "%1/out.rtm"});
        QCOMPARE(printed.Code, 0);
        QCOMPARE(written.Code, 0);
        QVERIFY(written.Out.isEmpty());
        QCOMPARE(h.Run({"info", "%1/out.rtm"}).Out, printed.Out);
        const QByteArray before = h.Read("out.rtm");
        QCOMPARE(h.Run({"frames", "%1/in.rtm", "--mirror", "-o", "%1/out.rtm"}).Code, 2);
        QCOMPARE(h.Read("out.rtm"), before);
        QCOMPARE(h.Run({"frames", "%1/none.rtm"}).Code, 1);
    }

    // A chain with --undo once per step written is byte for byte the shorter chain's file;
    // --redo brings the longer one back. Undo with nothing to undo is a usage error.
    void undoIsTheShorterChain_data()
    {
        QTest::addColumn<QString>("longer");
        QTest::addColumn<QString>("undo");
        QTest::addColumn<QString>("shorter");
        QTest::newRow("mirror") << "--select 1-3 --mirror" << "--undo" << "--select 1-3";
        QTest::newRow("copy and delete") << "--select 1-2 --copy 5 --at 3 --delete" << "--undo --undo" << "--select 1-2";
        QTest::newRow("selection and frame put back") << "--at 2 --insert-after --select 0-2 --linearize --move 5"
                                                      << "--undo --undo --undo" << "--at 2 --select 0-2";
        QTest::newRow("retime, undone and redone") << "--retime 1=0.8 --insert-after" << "--undo --undo --redo" << "--retime 1=0.8";
        QTest::newRow("delete range") << "--select 1-2 --delete-range" << "--undo" << "--select 1-2";
    }
    void undoIsTheShorterChain()
    {
        QFETCH(QString, longer); QFETCH(QString, undo); QFETCH(QString, shorter);
        CommandHome h;
        WriteFive(h);
        const auto run = [&h](const QString& ops, const char* out) {
            const QStringList args = QStringList{"frames", "%1/in.rtm"} + ops.split(' ', Qt::SkipEmptyParts) +
                                     QStringList{"-o", QStringLiteral("%1/") + out};
            return h.Run(args).Code;
        };
        QCOMPARE(run(longer + ' ' + undo, "undone.rtm"), 0);
        QCOMPARE(run(shorter, "shorter.rtm"), 0);
        QCOMPARE(h.Read("undone.rtm"), h.Read("shorter.rtm"));
        // Undone and redone: the longer chain again; then the selection is the longer one's.
        QCOMPARE(run(longer + ' ' + undo + " --redo --redo --redo --redo", "redone.rtm"), 2);
        QCOMPARE(run(longer, "longer.rtm"), 0);
        const int steps = int(undo.count("--undo")) - int(undo.count("--redo"));
        QCOMPARE(run(longer + ' ' + undo + QString(" --redo").repeated(steps), "redone.rtm"), 0);
        QCOMPARE(h.Read("redone.rtm"), h.Read("longer.rtm"));
    }

    void undoWithNothingToUndo()
    {
        CommandHome h;
        WriteFive(h);
        const CommandHome::Result r = h.Run({"frames", "%1/in.rtm", "--at", "2", "--undo"});
        QCOMPARE(r.Code, 2);
        QVERIFY(r.Err.startsWith("torvane-anim: --undo: there is nothing to undo"));
        const CommandHome::Result redo = h.Run({"frames", "%1/in.rtm", "--select", "0-1", "--mirror", "--redo"});
        QCOMPARE(redo.Code, 2);
        QVERIFY(redo.Err.contains("--redo: there is nothing to redo"));
    }

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
        args << "-o" << "%1/out.rtm";
        const int code = Hostile::RunWithMemoryLimit(300LL << 20, [&h, &args] {
            const CommandHome::Result r = h.Run(args);
            if (r.Code != 1)
                return 10 + r.Code;
            if (!r.Err.endsWith("Finished Copy operation\n" + Rtm::OutOfMemory() + "\n"))
                return 2;
            return h.Read("out.rtm") == "old" && r.Out.isEmpty() ? 0 : 3;
        });
        QCOMPARE(code, 0);
    }
};

TORVANE_TEST(FramesCommandTest)
#include "FramesCommandTest.moc"
