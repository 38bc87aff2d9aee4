// torvane-anim frames, run in-process: chains of operations with the selection carried
// along, the exit codes, and the written file.
#include "app/CommandLine.h"
#include "filebuild/RtmBuilder.h"
#include "support/TestMain.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <cmath>

namespace {

using FloatList = QList<float>;
using IntList = QList<int>;

struct Result {
    int Code = -1;
    QString Out, Err;
};

Result Run(const QStringList& args)
{
    Result r;
    QTextStream out(&r.Out), err(&r.Err);
    r.Code = RunCommand(TCommandLine::Parse(args), out, err);
    out.flush();
    err.flush();
    return r;
}

// Frames at the times given; frame i's one entry carries i as its x translation, so the
// output shows where each frame went.
QByteArray Animation(const FloatList& times)
{
    RtmBuild::TFile f;
    f.Names = {"arm"};
    for (qsizetype i = 0; i < times.size(); ++i) {
        RtmBuild::TMatrix m = RtmBuild::Identity;
        m[9] = float(i);
        f.Frames.push_back({times[i], {{"arm", m}}});
    }
    return RtmBuild::Build(f);
}

// Times rounded to 1e-4 and frame ids from `info --json` output.
void Parse(const QString& json, FloatList& times, IntList& ids)
{
    const QJsonArray frames = QJsonDocument::fromJson(json.toUtf8()).object()["frames"].toArray();
    for (const QJsonValue& f : frames) {
        times << float(std::round(f["time"].toDouble() * 1e4) / 1e4);
        ids << f["entries"][0]["matrix"][9].toInt();
    }
}

const FloatList Five{0, 0.1f, 0.3f, 0.6f, 1};

}  // namespace

class FramesCommandTest : public QObject {
    Q_OBJECT
private slots:
    void operations_data()
    {
        QTest::addColumn<QStringList>("ops");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("err");  // stderr, exactly
        QTest::addColumn<FloatList>("times");
        QTest::addColumn<IntList>("ids");
        const IntList same{0, 1, 2, 3, 4};
        QTest::newRow("none") << QStringList{} << 0 << "" << Five << same;
        QTest::newRow("at, insert after") << QStringList{"--at", "3", "--insert-after"} << 0 << "" << FloatList{0, 0.1f, 0.3f, 0.6f, 0.8f, 1} << IntList{0, 1, 2, 3, 3, 4};
        QTest::newRow("at clamps, delete") << QStringList{"--at", "9", "--delete"} << 0 << "" << FloatList{0, 0.1f, 0.3f, 1} << IntList{0, 1, 2, 3};
        QTest::newRow("retime sorts") << QStringList{"--retime", "1=0.8"} << 0 << "" << FloatList{0, 0.3f, 0.6f, 0.8f, 1} << IntList{0, 2, 3, 1, 4};
        QTest::newRow("retime no number") << QStringList{"--retime", "1=0.8x"} << 0 << "" << Five << same;
        QTest::newRow("retime the last") << QStringList{"--retime", "4=0.5"} << 0 << "" << Five << same;
        QTest::newRow("mirror") << QStringList{"--select", "1-3", "--mirror"} << 0 << "Finished Mirror operation\n" << FloatList{0, 0.1f, 0.4f, 0.6f, 1} << IntList{0, 3, 2, 1, 4};
        // The selection moves with the block: the mirror acts on frames 3 - 4.
        QTest::newRow("move, then mirror") << QStringList{"--select", "1-2", "--move", "4", "--mirror"} << 0 << "Finished Move operation\nFinished Mirror operation\n" << FloatList{0, 0.3f, 0.7f, 0.8f, 1} << IntList{0, 3, 4, 2, 1};
        QTest::newRow("copy to the end") << QStringList{"--select", "1-1", "--copy", "5"} << 0 << "Finished Copy operation\n" << FloatList{0, 0.0909f, 0.2727f, 0.5455f, 0.9091f, 1} << IntList{0, 1, 2, 3, 4, 1};
        QTest::newRow("delete range") << QStringList{"--select", "1-2", "--delete-range"} << 0 << "" << FloatList{0, 0.4286f, 1} << IntList{0, 3, 4};
        QTest::newRow("linearize") << QStringList{"--select", "0-3", "--linearize"} << 0 << "" << FloatList{0, 0.2f, 0.4f, 0.6f, 1} << same;
        // Stopped by the editor's message: exit 1, nothing printed.
        QTest::newRow("two frames left") << QStringList{"--select", "0-3", "--delete-range"} << 1 << "Only two Animsteps left!\n" << FloatList{} << IntList{};
        QTest::newRow("move beyond") << QStringList{"--move", "6"} << 1 << "Invalid Frame!\n" << FloatList{} << IntList{};
        QTest::newRow("move no number") << QStringList{"--move", "two"} << 1 << "Invalid Frame!\n" << FloatList{} << IntList{};
        QTest::newRow("move inside") << QStringList{"--select", "1-3", "--move", "2"} << 1 << "Can't move inside selected Frames!\n" << FloatList{} << IntList{};
        QTest::newRow("delete down to two") << QStringList{"--delete", "--delete", "--delete", "--delete"} << 1 << "Only two Animsteps left!\n" << FloatList{} << IntList{};
        // Usage errors: a disabled button, a range outside the frames, a malformed operation.
        QTest::newRow("linearize one frame") << QStringList{"--linearize"} << 2 << "torvane-anim: --linearize is not offered when frames 0 - 0 are selected\n" << FloatList{} << IntList{};
        QTest::newRow("nothing selected after delete") << QStringList{"--select", "1-2", "--delete-range", "--copy", "1"} << 2 << "torvane-anim: --copy is not offered when no frames are selected\n" << FloatList{} << IntList{};
        QTest::newRow("select beyond") << QStringList{"--select", "3-5"} << 2 << "torvane-anim: --select 3-5: the animation has 5 frames\n" << FloatList{} << IntList{};
        QTest::newRow("selection cut by a delete") << QStringList{"--select", "3-4", "--at", "0", "--delete", "--mirror"} << 2 << "torvane-anim: --mirror is not offered when frames 3 - 3 are selected\n" << FloatList{} << IntList{};
        QTest::newRow("retime beyond") << QStringList{"--retime", "5=0.5"} << 2 << "torvane-anim: --retime 5: the animation has 5 frames\n" << FloatList{} << IntList{};
    }
    void operations()
    {
        QFETCH(QStringList, ops);
        QFETCH(int, code);
        QFETCH(QString, err);
        QFETCH(FloatList, times);
        QFETCH(IntList, ids);
        QTemporaryDir dir;
        const QString in = dir.filePath("in.rtm");
        QFile f(in);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(Animation(Five)) > 0);
        f.close();
        const Result r = Run(QStringList{"frames", in} + ops + QStringList{"--json"});
        QCOMPARE(r.Err, err);
        QCOMPARE(r.Code, code);
        FloatList gotTimes;
        IntList gotIds;
        Parse(r.Out, gotTimes, gotIds);
        QCOMPARE(gotIds, ids);
        QCOMPARE(gotTimes, times);
        QCOMPARE(r.Out.isEmpty(), code != 0);
    }

    // Malformed operations are refused before the file is read.
    void malformed_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("err");
        QTest::newRow("select backwards") << QStringList{"frames", "x.rtm", "--select", "3-1"} << "--select needs FIRST-LAST with FIRST <= LAST";
        QTest::newRow("select one number") << QStringList{"frames", "x.rtm", "--select", "3"} << "--select needs FIRST-LAST with FIRST <= LAST";
        QTest::newRow("retime without =") << QStringList{"frames", "x.rtm", "--retime", "3"} << "--retime needs FRAME=TIME";
        QTest::newRow("at without number") << QStringList{"frames", "x.rtm", "--at"} << "--at needs a value";
        QTest::newRow("two files") << QStringList{"frames", "x.rtm", "y.rtm"} << "frames takes one animation";
        QTest::newRow("op of another command") << QStringList{"info", "x.rtm", "--mirror"} << "unknown option --mirror";
    }
    void malformed()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, err);
        const Result r = Run(args);
        QCOMPARE(r.Code, 2);
        QVERIFY2(r.Err.startsWith("torvane-anim: " + err + "\n"), qPrintable(r.Err));
        QVERIFY(r.Out.isEmpty());
    }

    // -o writes what would be printed; a stopped chain writes nothing and keeps the file.
    void writesOutput()
    {
        QTemporaryDir dir;
        const QString in = dir.filePath("in.rtm"), out = dir.filePath("out.rtm");
        QFile f(in);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(Animation(Five)) > 0);
        f.close();
        const QStringList ops{"--select", "1-3", "--mirror", "--at", "2", "--insert-after"};
        const Result printed = Run(QStringList{"frames", in} + ops);
        QCOMPARE(printed.Code, 0);
        const Result written = Run(QStringList{"frames", in} + ops + QStringList{"-o", out});
        QCOMPARE(written.Code, 0);
        QVERIFY(written.Out.isEmpty());
        const Result info = Run({"info", out});
        QCOMPARE(info.Out, printed.Out);

        const QByteArray before = [&] { QFile o(out); return o.open(QIODevice::ReadOnly) ? o.readAll() : QByteArray(); }();
        const Result stopped = Run(QStringList{"frames", in, "--mirror", "-o", out});
        QCOMPARE(stopped.Code, 2);
        QFile o(out);
        QVERIFY(o.open(QIODevice::ReadOnly));
        QCOMPARE(o.readAll(), before);
        QCOMPARE(Run({"frames", dir.filePath("none.rtm")}).Code, 1);
    }
};

TORVANE_TEST(FramesCommandTest)
#include "FramesCommandTest.moc"
