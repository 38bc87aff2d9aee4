// The window-free commands, run in-process on files the builders write into a temporary home:
// the cases of tests/data/cli, and what a case file cannot say (pixels).
#include "CommandHome.h"
#include "platform/FileUtil.h"
#include "support/HostileFiles.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTest>
#include <unistd.h>

using RtmBuild::TFile;

namespace {

// The file sets a case's "fixture:" line names, written with the builders.
void WriteFixture(const CommandHome& h, const QString& name)
{
    if (name == "robot") {
        QVERIFY(h.WriteRobot());
    } else if (name == "broken") {
        TP3dBuilder bad = Robot(), badLod = Robot();
        bad.FileMagic = "MLOX";
        badLod.LodMagic = "P3DM";
        QVERIFY(bad.WriteTo(h.Path("bad.p3d")) && badLod.WriteTo(h.Path("badlod.p3d")));
    } else if (name == "hall") {
        // The room with a second proxy that names a file.
        TP3dBuilder hall = Room();
        hall.AddSelection("proxy:lamp.02", hall.AddTriangle(2, 0, 0, 2, 2, 0, 2, 0, 1));
        QVERIFY(hall.WriteTo(h.Path("hall.p3d")));
    } else if (name == "not-finite") {  // and walk.rtm with an infinite entry in the arm's first frame
        TFile walk = TFile::Regular({"arm"}, 2);
        walk.Frames[0].Records[0].Matrix[4] = std::numeric_limits<float>::infinity();
        QVERIFY(NotFiniteRobot().WriteTo(h.Path("robot.p3d")) && h.Write("walk.rtm", RtmBuild::Build(walk)));
    } else if (name == "arm-turn") {
        // The robot; walk.rtm: five frames of "arm" turned a quarter about Z (x goes to y,
        // y to -x) and moved by (0.5, -1, 3), with a total move of (0, 0, 10).
        QVERIFY(h.WriteRobot());
        TFile anim = TFile::Regular({"arm"}, 5);
        for (auto& f : anim.Frames)
            f.Records[0].Matrix = {0, 1, 0, -1, 0, 0, 0, 0, 1, 0.5f, -1, 3};
        anim.TotalMove = {0, 0, 10};
        QVERIFY(h.Write("walk.rtm", RtmBuild::Build(anim)));
    } else if (name == "long-names") {  // m.p3d: a triangle named with 32 characters and one with 33
        TP3dBuilder b;
        for (const QByteArray& name : {QByteArray(32, 'b'), QByteArray(33, 'c')})
            b.AddSelection(name, b.AddTriangle(0, 0, 0, 1, 0, 0, 0, 1, 0));
        QVERIFY(b.WriteTo(h.Path("m.p3d")));
    } else if (name == "five") {  // in.rtm: frame i carries i as its x translation, to show where it went
        TFile f = Still({"arm"}, 5);
        f.TotalMove = {0, 0, 0};
        for (size_t i = 0; i < 5; ++i) {
            f.Frames[i].Time = std::array{0.f, 0.1f, 0.3f, 0.6f, 1.f}[i];
            f.Frames[i].Records[0].Matrix[9] = float(i);
        }
        QVERIFY(h.Write("in.rtm", RtmBuild::Build(f)));
    } else {
        QFAIL(qPrintable("unknown fixture " + name));
    }
}

// One command of a case and what it must give.
struct TCaseRun {
    QString Args;
    int Code = 0;
    QString Out, Err;  // exactly; %1 is the home folder, a line {usage} the usage text
    QStringList Absent;  // files it must not have written
    QList<std::pair<QString, QString>> Written;  // files and their whole content
    QList<QStringList> Same;  // pairs of files that must be equal byte for byte
};

// Reads a case file (the format is in tests/data/cli/README.cases), writes its files into a
// fresh home folder and runs its commands there.
void RunCase(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    CommandHome h;
    std::vector<TCaseRun> runs;
    QStringList fifos;
    QList<std::pair<QString, QString>> texts;  // files and their content, written after the fixtures
    QList<QStringList> changes;  // folders, links, copies and unreadable files, made after the texts
    QString* block = nullptr;  // where the "| " lines go
    int lineNo = 0;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
        const QString where = QString("%1:%2").arg(QFileInfo(path).fileName()).arg(++lineNo);
        if (line.startsWith('|')) {
            QVERIFY2(block, qPrintable(where + ": text outside a block"));
            *block += line.mid(line.startsWith("| ") ? 2 : 1) + '\n';
            continue;
        }
        block = nullptr;
        if (line.trimmed().isEmpty() || line.startsWith('#'))
            continue;
        const qsizetype colon = line.indexOf(':');
        const QString key = line.left(colon), value = line.mid(colon + 1).trimmed();
        const QStringList words = value.split(' ', Qt::SkipEmptyParts);
        TCaseRun* run = runs.empty() ? nullptr : &runs.back();
        const bool forRun = QStringList{"exit", "stdout", "stderr", "absent", "same", "written"}.contains(key);
        QVERIFY2(!forRun || run, qPrintable(where + ": " + key + " before a run"));
        if (key == "fixture") {
            WriteFixture(h, value);
        } else if (key == "rtm") {  // NAME COMPONENT,COMPONENT FRAMES: a regular animation
            QVERIFY2(words.size() == 3, qPrintable(where));
            const QByteArrayList names = words[1].toUtf8().split(',');
            QVERIFY(h.Write(words[0], RtmBuild::Build(TFile::Regular({names.begin(), names.end()}, words[2].toInt()))));
        } else if (key == "text") {
            texts.push_back({value, {}});
            block = &texts.back().second;
        } else if (key == "folder" || key == "link" || key == "copy" || key == "noaccess") {
            QVERIFY2(words.size() == (key == "link" || key == "copy" ? 2 : 1), qPrintable(where));
            changes << (QStringList{key} + words);
        } else if (key == "fifo") {
            QVERIFY(Hostile::MakeFifo(h.Path(value)));
            fifos << h.Path(value);
        } else if (key == "run") {
            runs.emplace_back();
            runs.back().Args = value;
        } else if (key == "exit") {
            run->Code = value.toInt();
        } else if (key == "stdout") {
            block = &run->Out;
        } else if (key == "stderr") {
            block = &run->Err;
        } else if (key == "written") {
            run->Written.push_back({value, {}});
            block = &run->Written.back().second;
        } else if (key == "absent") {
            run->Absent << words;
        } else if (key == "same") {
            QVERIFY2(words.size() == 2, qPrintable(where));
            run->Same << words;
        } else {
            QFAIL(qPrintable(where + ": unknown key " + key));
        }
    }
    QVERIFY2(!runs.empty(), "a case without a run");
    for (const auto& [name, content] : texts)
        QVERIFY(h.Write(name, content.toUtf8()));
    std::unique_ptr<Hostile::TNoAccessOverride> noOverride;  // unreadable files stay so while the commands run
    for (const QStringList& c : changes) {
        const QByteArray path = QFile::encodeName(h.Path(c[1]));
        if (c[0] == "folder") {
            QFile::remove(h.Path(c[1]));
            QVERIFY(QDir(h.Dir.path()).mkpath(c[1]));
        } else if (c[0] == "link") {  // link: NAME TARGET
            QVERIFY(::symlink(QFile::encodeName(c[2]).constData(), path.constData()) == 0);
        } else if (c[0] == "copy") {  // copy: FROM TO
            QVERIFY(h.Write(c[2], h.Read(c[1])));
        } else {
            QVERIFY(Hostile::SetMode(h.Path(c[1]), 0));
            noOverride = std::make_unique<Hostile::TNoAccessOverride>();
            if (!noOverride->Active())
                QSKIP("this process reads files whatever their permissions");
        }
    }
    for (const TCaseRun& run : runs) {
        CommandHome::Result r;
        {
            std::vector<std::unique_ptr<Hostile::TFifoWatchdog>> watchdogs;
            for (const QString& fifo : fifos)
                watchdogs.push_back(std::make_unique<Hostile::TFifoWatchdog>(fifo));
            r = h.Run(QProcess::splitCommand(run.Args));
            for (const auto& w : watchdogs)
                QVERIFY2(!w->Fired(), qPrintable(run.Args + ": waited for a writer"));
        }
        const auto expect = [&run, &h](const QString& what, const QString& got, QString want) {
            want.replace("{usage}\n", UsageText()).replace("%1", h.Dir.path());
            QVERIFY2(got == want, qPrintable(QString("%1\n%2:\n--- got\n%3--- expected\n%4").arg(run.Args, what, got, want)));
        };
        expect("exit code", QString::number(r.Code) + '\n', QString::number(run.Code) + '\n');
        expect("stderr", r.Err, run.Err);
        expect("stdout", r.Out, run.Out);
        for (const auto& [name, content] : run.Written)
            expect(name, QString::fromUtf8(h.Read(name)), content);
        for (const QString& name : run.Absent)
            QVERIFY2(!QFileInfo::exists(h.Path(name)), qPrintable(run.Args + ": wrote " + name));
        for (const QStringList& pair : run.Same)
            QVERIFY2(QFileInfo::exists(h.Path(pair[0])) && h.Read(pair[0]) == h.Read(pair[1]),
                     qPrintable(run.Args + ": " + pair.join(" and ") + " differ"));
        if (QTest::currentTestFailed())
            return;
    }
}

}  // namespace

class CommandLineTest : public QObject {
    Q_OBJECT
private slots:
    // Every file of tests/data/cli is a case: the files of a home folder, then commands run
    // in it with their exit code, stdout and stderr (README.cases there).
    void cases_data()
    {
        QTest::addColumn<QString>("path");
        const QString dir = QFINDTESTDATA("../data/cli");
        QVERIFY2(!dir.isEmpty(), "tests/data/cli not found");
        const QFileInfoList files = QDir(dir).entryInfoList({"*.case"}, QDir::Files, QDir::Name);
        QVERIFY(!files.isEmpty());
        for (const QFileInfo& f : files)
            QTest::newRow(qPrintable(f.completeBaseName())) << f.filePath();
    }
    void cases()
    {
        QFETCH(QString, path);
        RunCase(path);
    }

    // Output that does not arrive is a failure, whatever the command: a message, exit 1.
    void failedOutputFails()
    {
        QFile full("/dev/full");
        if (!full.open(QIODevice::WriteOnly))
            QSKIP("no /dev/full here");
        CommandHome h;
        QVERIFY(h.WriteRobot() && h.Write("walk.rtm", RtmBuild::Build(TFile::Regular({"arm"}, 3))));
        for (const QStringList& args : {QStringList{"info", "%1/walk.rtm"}, QStringList{"info", "%1/robot.p3d", "--json"},
                                        QStringList{"frames", "%1/walk.rtm", "--json", "-o", "%1/out.rtm"},
                                        QStringList{"check", "%1/robot.p3d", "%1/walk.rtm"}}) {
            QString err;
            QTextStream out(&full), e(&err);
            const int code = RunCommand(
                TCommandLine::Parse(QStringList{"--home", h.Dir.path()} + QStringList(args).replaceInStrings("%1", h.Dir.path())),
                out, e);
            QCOMPARE(code, args[0] == "check" ? 0 : 1);  // check prints nothing when all is found
            if (code == 1)
                QVERIFY2(err.endsWith("the output could not be written: " + SystemErrorText(ENOSPC) + "\n"), qPrintable(err));
        }
    }

    // A single view in the settings' colours: the box's outline, square as the left view
    // shows it.
    void renderBoxOutline()
    {
        CommandHome h;
        TP3dBuilder b;
        b.AddSelection("box", b.AddBox(-1, -1, -1, 1, 0.5f, 0.5f));
        QVERIFY(b.WriteTo(h.Path("box.p3d")) && h.Write("c.clr", "[ColorDef]\nbox=33023\n") &&  // 0x0080FF: orange
                h.Write("TorvaneAnim.ini", "[Settings]\nColorFile=" + h.Path("c.clr").toUtf8() + "\n"));
        const CommandHome::Result r = h.Run({"render", "%1/box.p3d", "--view", "left", "--size", "320x200", "-o", "%1/v.png"});
        QCOMPARE(r.Code, 0);
        QCOMPARE(r.Err, QString());
        const QImage img(h.Path("v.png"));
        QCOMPARE(img.size(), QSize(320, 200));
        QRect outline;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if ((img.pixel(x, y) & 0xFFFFFF) == 0xFF8000)
                    outline |= QRect(x, y, 1, 1);
        // Seen from the left the box is square; from the front it would be wider.
        QVERIFY2(outline.height() > 100 && qAbs(outline.width() - outline.height()) <= 2,
                 qPrintable(QString("outline %1x%2").arg(outline.width()).arg(outline.height())));
    }
};

TORVANE_TEST(CommandLineTest)
#include "CommandLineTest.moc"
