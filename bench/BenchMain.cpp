// torvane-bench: times the editor's file operations on large inputs it generates itself
// and prints each figure next to a floor measured in the same run, so the ratios hold on
// any machine. Every operation goes through the main window, as the menu commands do.
//
// usage: torvane-bench [--runs N] [--keep] [GROUP...]
//        (groups: p3d rtm refresh hostile lookups paint3d frames timer undo browser export autosave)
// paint3d and frames need OpenGL: xvfb-run -a env QT_QPA_PLATFORM=xcb LIBGL_ALWAYS_SOFTWARE=1 ...
#include "Inputs.h"
#include "Measure.h"

#include "anim/AnimController.h"
#include "anim/Autosave.h"
#include "app/FrameGrid.h"
#include "app/FileBrowser.h"
#include "app/CommandLine.h"
#include "app/Main.h"
#include "app/RenderView.h"
#include "model/ComponentForest.h"
#include "model/ModelSetup.h"
#include "model/NamesColors.h"
#include "model/P3dFile.h"
#include "model/P3dModel.h"
#include "platform/Ini.h"
#include "platform/DebugOut.h"
#include "platform/FileUtil.h"
#include "editor/Editor.h"
#include "pose/Pose.h"
#include "support/Controls.h"
#include "support/ScriptedDialogs.h"
#include "view3d/OffscreenGl.h"
#include "app/FrameTimer.h"
#include "view3d/View3d.h"
#include "widgets/Chart.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QDirIterator>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextStream>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <unordered_set>
#include <functional>
#include <vector>

#include <GL/gl.h>

namespace {

constexpr int AnimComponents = 100;
constexpr int AnimFrames = 2000;
constexpr int ModelVertices = 100000;
constexpr int ModelPolygons = 100000;
constexpr int ModelSelections = 100;
// A refresh of the smaller model has to fit in one 60 Hz frame, one of the large model in
// the edit tick; the posing alone gets a small share of that.
constexpr double FrameMs = 16;
constexpr double EditTickMs = 50;
constexpr double DisplayPointsMs = 2;
constexpr int ViewWidth = 600;
constexpr int ViewHeight = 450;

struct TContext {
    QTemporaryDir Dir;
    ScriptedDialogs Dialogs;
    std::unique_ptr<TMainForm> Form;
    int Runs = 5;
    QString Path(const QString& name) const { return QDir(Dir.path()).filePath(name); }
};

// A figure other than a time: its text, whether it misses its goal, or what went wrong.
struct TFigure {
    QString Text;
    bool Missed = false;
    QString Error;
};

// One figure of the table.
struct TCase {
    QString Name;  // "rtm load"
    QString FloorName;  // "raw read"
    double GoalRatio = 0;  // the figure may take at most this many floors; 0: none
    qint64 FileBytes = 0;  // > 0: the operation's peak memory is measured too
    double PeakGoalFactor = 0;  // the peak must stay under this many file sizes; 0: none
    bool PeakGoalOnFirstRun = false;  // the goal holds for the first run's peak too
    std::function<void()> Prepare;  // untimed, before every run
    std::function<void()> Run;  // the operation timed
    std::function<void()> Floor;  // the floor timed; empty: FloorValue, or FloorMs
    std::function<double()> FloorValue;  // a floor Prepare timed, in ms
    double FloorMs = 0;  // a fixed floor, such as the edit tick
    std::function<QString()> Check;  // after every run: "" or what went wrong
    QString BudgetName;  // a fixed budget shown beside the floor ("frame")
    double BudgetMs = 0;  // > 0: the figure must stay within it
    int MinRuns = 0;  // short operations: at least this many runs
    // A further figure after the last run, such as bytes per item: its text for the
    // line, and whether it missed its goal.
    std::function<QString(bool& missed)> Note;
    // A figure that is no time (memory kept, say): worked out instead of the runs.
    std::function<TFigure()> Figure;
};

double Mb(double bytes) { return bytes / 1e6; }

// The lowest and highest of the runs' ratios to the floor timed beside each, for figures
// a busy machine makes noisy: "  runs 0.95-1.40".
QString RatioSpread(const std::vector<double>& times, const std::vector<double>& floors)
{
    double lo = 0, hi = 0;
    for (size_t i = 0; i < times.size() && i < floors.size(); ++i) {
        if (!(floors[i] > 0))
            continue;
        const double r = times[i] / floors[i];
        lo = i == 0 ? r : std::min(lo, r);
        hi = i == 0 ? r : std::max(hi, r);
    }
    return QStringLiteral("  runs %1-%2").arg(lo, 0, 'f', 2).arg(hi, 0, 'f', 2);
}

void Drain()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

// The window's parts as a user reaches them: what its editor holds, its controls by name.
const TAnimDocument& Doc(const TMainForm& f) { return f.Editor().Document(); }
TP3dModell* MainModel(const TMainForm& f)
{
    const TModelList& models = f.Editor().Models();
    return models.empty() ? nullptr : models.front().get();
}
// The three views in the order front, left, top.
std::array<TChart*, 3> Views(const TMainForm& f)
{
    return {Ctl<TChart>(f, "FrontView1"), Ctl<TChart>(f, "LeftView1"), Ctl<TChart>(f, "TopView1")};
}
QString StatusText(const TMainForm& f, int panel)
{
    return Ctl<QLabel>(*f.statusBar(), qPrintable(QStringLiteral("StatusPanel%1").arg(panel)))->text();
}
// Empties the window as an unload of both would, without the questions (never timed).
void ClearAll(const TMainForm& f)
{
    f.Editor().Anim().ClearAnimation();
    f.Editor().ClearModel();
}

QByteArray ReadRaw(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteInput(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QString UnexpectedMessages(const ScriptedDialogs& d)
{
    if (d.Messages.isEmpty() && d.Questions.isEmpty())
        return {};
    return QStringLiteral("the window said: ") + (d.Messages + d.Questions).join(QStringLiteral(" | ")).left(300);
}

// Children of every node in ascending text order, as the sort after linking leaves them.
bool TreeSorted(const TComponentForest& forest)
{
    for (int parent = -1; parent < forest.Count(); ++parent) {
        const std::vector<int>& kids = forest.Children(parent);
        for (size_t i = 1; i < kids.size(); ++i)
            if (QString::localeAwareCompare(forest.Component(kids[i - 1])->DisplayName, forest.Component(kids[i])->DisplayName) >
                0)
                return false;
    }
    return true;
}

// ---- Fresh processes: the bench runs itself as "torvane-bench --child MODE PATH [LINKDATA]"
// and reads one figure from its output. The child times the operation itself, so its
// start-up is left out, and everything the operation allocates is touched for the first
// time, as in a user's first load.
//   raw   the file read whole into memory (the floor)
//   read  the P3D reader alone
//   load  the model set-up as "Load P3d..." runs it: reader, set-up, proxies, linking
//   peak  the set-up's peak resident growth in bytes, the proxies' sub-models loaded
// The processor time (user and system) one call of f takes, in ms: on a machine busy with
// other work a single wall-clock sample of a first load is mostly the waits of others,
// while the time the call itself takes, copying, zeroing and mapping pages included, is
// what the figure is about.
double CpuMs(const std::function<void()>& f)
{
    timespec a{}, b{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &a);
    f();
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &b);
    return double(b.tv_sec - a.tv_sec) * 1e3 + double(b.tv_nsec - a.tv_nsec) / 1e6;
}

// The peak resident growth in bytes while f runs; -1 where it cannot be read.
double PeakGrowth(const std::function<void()>& f)
{
    const qint64 base = Bench::ResetPeak();
    f();
    const qint64 peak = Bench::PeakResident();
    return base >= 0 && peak >= 0 ? double(peak - base) : -1;
}

int RunChild(const QStringList& args)
{
    const QString mode = args.value(0), path = args.value(1);
    SetDebugSink([](const QString&) {});
    double figure = -1;
    QString error;
    if (mode == QLatin1String("raw")) {
        // Every file named, each read whole.
        std::vector<QByteArray> bytes(size_t(args.size() - 1));
        figure = CpuMs([&] {
            for (qsizetype i = 1; i < args.size(); ++i)
                bytes[size_t(i - 1)] = ReadRaw(args[i]);
        });
        if (std::any_of(bytes.begin(), bytes.end(), [](const QByteArray& b) { return b.isEmpty(); }))
            error = QStringLiteral("nothing read");
    } else if (mode == QLatin1String("command") || mode == QLatin1String("command-peak")) {
        // A command of the command line (the rest of the arguments): its processor time, or
        // its peak resident growth in bytes.
        QString out, err;
        int code = -1;
        const auto run = [&] {
            QTextStream o(&out), e(&err);
            code = RunCommand(TCommandLine::Parse(args.mid(1)), o, e);
        };
        figure = mode == QLatin1String("command") ? CpuMs(run) : PeakGrowth(run);
        if (code != 0)
            error = QStringLiteral("exit %1: %2").arg(code).arg(err.left(300));
    } else if (mode == QLatin1String("read")) {
        TP3dFile file;
        figure = CpuMs([&] { file = ReadP3dFile(path); });
        if (file.Status != TP3dReadStatus::Ok)
            error = file.ErrorText;
    } else if (mode == QLatin1String("load") || mode == QLatin1String("peak")) {
        TModelSetup setup;
        setup.LinkDataDir = args.value(2);
        QStringList messages;
        setup.Message = [&messages](const QString& m) { messages << m; };
        bool loaded = false;
        if (mode == QLatin1String("load")) {
            figure = CpuMs([&] { loaded = setup.Load(path); });
        } else {
            figure = PeakGrowth([&] { loaded = setup.Load(path); });
        }
        if (!loaded || !messages.isEmpty())
            error = QStringLiteral("not loaded: ") + messages.join(QStringLiteral(" | "));
        else if (args.size() > 3 && setup.Models.size() != size_t(args[3].toInt()))
            error = QStringLiteral("%1 models loaded").arg(setup.Models.size());
    } else if (mode == QLatin1String("anim-window") || mode == QLatin1String("window")) {
        // "Load Anim..." or "Load P3d..." in a window of its own, painted once after it.
        const bool anim = mode == QLatin1String("anim-window");
        TContext cx;
        cx.Form = std::make_unique<TMainForm>(TAppPaths::FromHome(args.value(2)));
        cx.Form->show();
        Drain();
        figure = PeakGrowth([&] {
            if (anim)
                cx.Form->LoadAnimation(path);
            else
                cx.Form->LoadModel(path);
            Drain();
        });
        // Without a model every animated name is reported missing; that message is expected.
        if (anim && !cx.Dialogs.Messages.isEmpty() &&
            cx.Dialogs.Messages[0].startsWith(QLatin1String("following Animation Components were not found")))
            cx.Dialogs.Messages.removeFirst();
        const qsizetype loaded = anim ? qsizetype(Doc(*cx.Form).AnimStepCount) : qsizetype(cx.Form->Editor().Models().size());
        if (QString m = UnexpectedMessages(cx.Dialogs); !m.isEmpty())
            error = m;
        else if (args.size() > 3 && loaded != args[3].toInt())
            error = QStringLiteral("%1 %2 loaded").arg(loaded).arg(anim ? "frames" : "models");
        cx.Dialogs.Answers.enqueue(true);  // the exit question
        cx.Form->close();
        cx.Form.reset();
    } else {
        error = QStringLiteral("unknown mode ") + mode;
    }
    if (!error.isEmpty()) {
        std::printf("ERROR %s\n", qPrintable(error.left(300)));
        return 1;
    }
    std::printf("%.6f\n", figure);
    return 0;
}

// One figure of a fresh child process, or the error it reported.
double ChildFigure(const QStringList& args, QString& error)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), QStringList{QStringLiteral("--child")} + args);
    if (!child.waitForFinished(300000) || child.exitStatus() != QProcess::NormalExit) {
        error = QStringLiteral("the child process did not finish: ") + args.join(QLatin1Char(' '));
        return -1;
    }
    const QString out = QString::fromLocal8Bit(child.readAllStandardOutput()).trimmed();
    bool ok = false;
    const double v = out.toDouble(&ok);
    if (!ok || child.exitCode() != 0)
        error = out.isEmpty() ? QStringLiteral("the child process failed") : out;
    return v;
}

// A time taken in fresh processes against the raw read of the same file, also in fresh
// processes; runs alternate, so a busy moment on the machine hits both.
TCase FreshTimeCase(TContext& cx, const QString& name, const QStringList& args, double goal, QStringList floorArgs = {},
                    const QString& floorName = QStringLiteral("raw read"))
{
    TCase c;
    c.Name = name;
    if (floorArgs.isEmpty())
        floorArgs = {QStringLiteral("raw"), args.value(1)};
    c.Figure = [&cx, args, goal, floorArgs, floorName]() -> TFigure {
        TFigure f;
        std::vector<double> times, floors;
        for (int i = 0; i < std::max(cx.Runs, 5) && f.Error.isEmpty(); ++i) {
            floors.push_back(ChildFigure(floorArgs, f.Error));
            if (f.Error.isEmpty())
                times.push_back(ChildFigure(args, f.Error));
        }
        if (!f.Error.isEmpty())
            return f;
        const double ms = Bench::Median(times), floor = Bench::Median(floors), ratio = floor > 0 ? ms / floor : 0;
        f.Missed = ratio > goal;
        f.Text = QStringLiteral("%1 ms  %2 %3 ms  ratio %4  (fresh processes, processor time, goal <= %5)%6")
                     .arg(ms, 8, 'f', 1)
                     .arg(floorName, -9)
                     .arg(floor, 7, 'f', 1)
                     .arg(ratio, 5, 'f', 2)
                     .arg(goal)
                     .arg(RatioSpread(times, floors));
        return f;
    };
    return c;
}

// The first load of a model placing 200 proxies of one 25,000-polygon sub-model, in a
// fresh process: the sub-model's points and polygons are read once and shared by every
// place, so the peak stays within a few times the files. With gl, only the window's load,
// its 3D view drawn too (which poses each place as it draws it).
std::vector<TCase> ProxyCases(TContext& cx, bool gl)
{
    constexpr int Proxies = 200;
    const QString proxies = cx.Path(QStringLiteral("models/proxies200.p3d"));
    const QByteArray sub = BenchInputs::Model(25000, 25000, 1);
    if (!WriteInput(proxies, BenchInputs::ProxyModel(Proxies, "sub")) ||
        !WriteInput(cx.Path(QStringLiteral("models/sub.p3d")), sub)) {
        std::fprintf(stderr, "cannot write the proxy inputs in %s\n", qPrintable(cx.Dir.path()));
        return {};
    }
    const qint64 files = QFileInfo(proxies).size() + sub.size();
    // A window child runs in an empty home of its own: the settings an earlier one saved
    // would open its model again before the measured load.
    const auto peakFigure = [files](QStringList args, const QString& what) {
        return [args, what, files]() -> TFigure {
            TFigure f;
            const QTemporaryDir home;
            QStringList a = args;
            if (a[0] == QLatin1String("window"))
                a[2] = home.path();
            const double bytes = ChildFigure(a, f.Error);
            if (!f.Error.isEmpty())
                return f;
            const double goal = 3.0 * double(files);
            f.Missed = bytes < 0 || bytes >= goal;
            f.Text = QStringLiteral(
                         "200 proxies of one sub-model, %1: peak +%2 MB in a fresh process (files %3 MB, goal < %4 MB)")
                         .arg(what)
                         .arg(Mb(bytes), 0, 'f', 1)
                         .arg(Mb(double(files)), 0, 'f', 1)
                         .arg(Mb(goal), 0, 'f', 1);
            return f;
        };
    };
    const QString models = QString::number(Proxies + 1);
    TCase peak;
    peak.Name = QStringLiteral("proxy set-up");
    peak.Figure = peakFigure({QStringLiteral("peak"), proxies, cx.Form->Editor().LinkDataDir, models}, QStringLiteral("set-up"));
    TCase window;
    window.Name = QStringLiteral("proxy window");
    if (!gl) {
        window.Figure = peakFigure({QStringLiteral("window"), proxies, QString(), models}, QStringLiteral("window and views"));
        return {peak, window};
    }
    // Drawing a 25,000-polygon sub-model at all costs the GL driver some 20 MB whatever the
    // number of places; the 3D view poses each place as it draws it, so 200 places may cost
    // no more than the files over one.
    const QString one = cx.Path(QStringLiteral("models/proxies1.p3d"));
    if (!WriteInput(one, BenchInputs::ProxyModel(1, "sub")))
        return {};
    window.Name = QStringLiteral("proxy window 3d");
    window.Figure = [proxies, one, models, files]() -> TFigure {
        TFigure f;
        const QTemporaryDir homeMany, homeOne;
        const double many = ChildFigure({QStringLiteral("window"), proxies, homeMany.path(), models}, f.Error);
        const double single = f.Error.isEmpty()
                                  ? ChildFigure({QStringLiteral("window"), one, homeOne.path(), QStringLiteral("2")}, f.Error)
                                  : -1;
        if (!f.Error.isEmpty())
            return f;
        f.Missed = many < 0 || single < 0 || many - single >= double(files);
        f.Text = QStringLiteral("window with the 3D view: 200 proxies peak +%1 MB, 1 proxy +%2 MB in fresh processes "
                                "(200 places may cost < %3 MB more, the files)")
                     .arg(Mb(many), 0, 'f', 1)
                     .arg(Mb(single), 0, 'f', 1)
                     .arg(Mb(double(files)), 0, 'f', 1);
        return f;
    };
    return {window};
}

// What `render --view front` of a 100,000-quad model holds beyond `info` of the same
// model, per quad: the peaks of the two commands in fresh processes, the median of three
// each. The same of a 10,000-quad model shows what any picture costs (the painter's and the
// fonts' code coming in, the image, its encoder).
TCase RenderMemoryCase(TContext& cx)
{
    constexpr int Quads = 100000, FewQuads = 10000;
    constexpr double GoalBytesPerQuad = 64;
    TCase c;
    c.Name = QStringLiteral("render memory");
    c.Figure = [&cx]() -> TFigure {
        TFigure f;
        const QStringList home{QStringLiteral("--home"), cx.Dir.path()};
        // Peak of render minus peak of info, of a model of this many quads.
        const auto beyondInfo = [&](int quads) -> double {
            const QString model = cx.Path(QStringLiteral("models/quads%1k.p3d").arg(quads / 1000));
            if (!QFileInfo::exists(model) && !WriteInput(model, BenchInputs::QuadModel(quads, quads, 10))) {
                f.Error = QStringLiteral("cannot write %1").arg(model);
                return -1;
            }
            std::vector<double> renders, infos;
            for (int i = 0; i < 3 && f.Error.isEmpty(); ++i) {
                renders.push_back(ChildFigure(QStringList{QStringLiteral("command-peak")} + home +
                                                  QStringList{QStringLiteral("render"), model, QStringLiteral("--view"),
                                                              QStringLiteral("front"), QStringLiteral("-o"),
                                                              cx.Path(QStringLiteral("render.png"))},
                                              f.Error));
                if (f.Error.isEmpty())
                    infos.push_back(ChildFigure(
                        QStringList{QStringLiteral("command-peak")} + home + QStringList{QStringLiteral("info"), model}, f.Error));
            }
            return f.Error.isEmpty() ? Bench::Median(renders) - Bench::Median(infos) : -1;
        };
        const double many = beyondInfo(Quads), few = beyondInfo(FewQuads);
        if (!f.Error.isEmpty())
            return f;
        const double perQuad = many / Quads;
        f.Missed = perQuad > GoalBytesPerQuad;
        f.Text = QStringLiteral("render --view front of 100k quads: peak +%1 MB beyond info in fresh processes, "
                                "%2 bytes per quad (goal <= %3); of 10k quads +%4 MB")
                     .arg(Mb(many), 0, 'f', 1)
                     .arg(perQuad, 0, 'f', 0)
                     .arg(GoalBytesPerQuad)
                     .arg(Mb(few), 0, 'f', 1);
        return f;
    };
    return c;
}

// ---- Models: reader, tree, proxies, linking file and sort, as "Load P3d..." runs them.
std::vector<TCase> ModelCases(TContext& cx)
{
    const QString path = cx.Path(QStringLiteral("models/bench.p3d"));
    if (!WriteInput(path, BenchInputs::Model(ModelVertices, ModelPolygons, ModelSelections)) ||
        !WriteInput(QDir(cx.Form->Editor().LinkDataDir).filePath(QStringLiteral("bench.lpv")),
                    BenchInputs::Linking(ModelSelections))) {
        std::fprintf(stderr, "cannot write the model inputs in %s\n", qPrintable(cx.Dir.path()));
        return {};
    }
    const qint64 size = QFileInfo(path).size();
    TMainForm& f = *cx.Form;

    TCase load;
    load.Name = QStringLiteral("p3d load");
    load.FloorName = QStringLiteral("raw read");
    load.GoalRatio = 1.2;
    load.FileBytes = size;
    load.PeakGoalFactor = 2;
    load.Prepare = [&cx, &f] {
        ClearAll(f);
        cx.Dialogs.Messages.clear();
    };
    load.Run = [&f, path] { f.LoadModel(path); };
    load.Floor = [path] { (void)ReadRaw(path); };
    load.Check = [&cx, &f]() -> QString {
        if (QString m = UnexpectedMessages(cx.Dialogs); !m.isEmpty())
            return m;
        const TP3dModell* m = MainModel(f);
        if (!m || m->Status != TP3dModell::ReadStatus::Ok || m->Vertices.size() != size_t(ModelVertices) ||
            m->Polygons.size() != size_t(ModelPolygons))
            return QStringLiteral("the model was not read whole");
        if (f.Editor().Forest().Count() != ModelSelections)
            return QStringLiteral("the tree holds %1 nodes").arg(f.Editor().Forest().Count());
        if (f.Editor().Forest().Children(-1).size() != 1 || !StatusText(f, 5).endsWith(QLatin1String("LOADED")) ||
            StatusText(f, 5).contains(QLatin1String("NOT")))
            return QStringLiteral("the linking file was not applied");
        if (!TreeSorted(f.Editor().Forest()))
            return QStringLiteral("the tree is not sorted");
        return {};
    };

    // The same load without the window, and the reader alone, each in a fresh process.
    const QString linkData = cx.Form->Editor().LinkDataDir;
    TCase fresh = FreshTimeCase(cx, QStringLiteral("p3d set-up"), {QStringLiteral("load"), path, linkData, QStringLiteral("1")},
                                1.2);
    TCase read = FreshTimeCase(cx, QStringLiteral("p3d read"), {QStringLiteral("read"), path}, 1.5);

    std::vector<TCase> cases{load, fresh, read, RenderMemoryCase(cx)};
    for (TCase& c : ProxyCases(cx, false))
        cases.push_back(c);
    return cases;
}

// ---- The first load in a fresh process: the document's load of an animation (the
// controller's, without the window) and the raw read of the same bytes, each in a child
// process of its own started after the parent wrote the file and read it once, so both
// find it in the file cache. The child prints its milliseconds and the peak above its
// resident size after start-up (VmHWM after the call minus VmRSS before it).
struct TChildFigure {
    double Ms = -1;
    double PeakBytes = -1;
    QString Error;
};

TChildFigure RunChild(const char* what, const QString& path)
{
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--rtm-child"), QLatin1String(what), path});
    if (!p.waitForFinished(600000) || p.exitCode() != 0)
        return {-1, -1,
                QStringLiteral("the child (%1) failed: %2")
                    .arg(QLatin1String(what), QString::fromLocal8Bit(p.readAllStandardError()))};
    const QList<QByteArray> parts = p.readAllStandardOutput().simplified().split(' ');
    return {parts.value(0).toDouble(), parts.value(1).toDouble(), {}};
}

// The child's side: one operation, timed, with its peak.
int ChildMain(const QString& what, const QString& path)
{
    const qint64 base = Bench::ResetPeak();
    double ms = 0;
    if (what == QLatin1String("load")) {
        TAnimController anim;
        QString error;
        ms = Bench::TimeMs([&] { error = anim.LoadAnimation(path); });
        if (!error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    } else {
        QByteArray bytes;
        ms = Bench::TimeMs([&] { bytes = ReadRaw(path); });
        if (bytes.isEmpty())
            return 1;
    }
    const qint64 peak = Bench::PeakResident();
    std::printf("%.3f %.0f\n", ms, base >= 0 && peak >= 0 ? double(peak - base) : -1.0);
    return 0;
}

// The median of runs fresh loads against as many fresh raw reads, and the peak of the
// loads; goals: time at most ratioGoal raw reads, peak under peakGoal file sizes.
TCase FreshLoadCase(const QString& name, const QString& path, int runs, double ratioGoal, double peakGoal)
{
    TCase c;
    c.Name = name;
    c.Figure = [path, runs, ratioGoal, peakGoal]() -> TFigure {
        (void)ReadRaw(path);  // into the file cache
        std::vector<double> loads, raws, peaks;
        for (int i = 0; i < runs; ++i) {
            const TChildFigure load = RunChild("load", path), raw = RunChild("raw", path);
            if (!load.Error.isEmpty() || !raw.Error.isEmpty())
                return {{}, false, load.Error + raw.Error};
            loads.push_back(load.Ms);
            raws.push_back(raw.Ms);
            peaks.push_back(load.PeakBytes);
        }
        const double ms = Bench::Median(loads), floor = Bench::Median(raws), peak = *std::max_element(peaks.begin(), peaks.end());
        const double size = double(QFileInfo(path).size());
        TFigure f;
        f.Text = QStringLiteral("%1 ms  raw read %2 ms  ratio %3%4")
                     .arg(ms, 8, 'f', 1)
                     .arg(floor, 7, 'f', 1)
                     .arg(ms / floor, 5, 'f', 2)
                     .arg(RatioSpread(loads, raws));
        if (ratioGoal > 0) {
            f.Missed = ms / floor > ratioGoal;
            f.Text += QStringLiteral("  (goal <= %1%2)").arg(ratioGoal).arg(f.Missed ? QStringLiteral(", missed") : QString());
        }
        f.Text += QStringLiteral("  fresh-process peak +%1 MB (file %2 MB").arg(Mb(peak), 0, 'f', 1).arg(Mb(size), 0, 'f', 1);
        if (peakGoal > 0) {
            const bool missed = peak < 0 || peak >= peakGoal * size;
            f.Text += QStringLiteral(", goal < %1 MB%2)")
                          .arg(Mb(peakGoal * size), 0, 'f', 1)
                          .arg(missed ? QStringLiteral(", missed") : QString());
            f.Missed = f.Missed || missed;
        } else {
            f.Text += QLatin1Char(')');
        }
        return f;
    };
    return c;
}

// ---- Animations: "Load Anim..." and the save, onto the model of the group before when
// that one ran.
std::vector<TCase> AnimationCases(TContext& cx)
{
    const QString path = cx.Path(QStringLiteral("anims/bench.rtm"));
    if (!WriteInput(path, BenchInputs::Animation(AnimComponents, AnimFrames))) {
        std::fprintf(stderr, "cannot write the animation input in %s\n", qPrintable(cx.Dir.path()));
        return {};
    }
    const qint64 size = QFileInfo(path).size();
    TMainForm& f = *cx.Form;

    // Without a model every animated name is reported missing; that message is expected.
    auto check = [&cx, &f]() -> QString {
        if (!MainModel(f) && cx.Dialogs.Messages.size() == 1 &&
            cx.Dialogs.Messages[0].startsWith(QLatin1String("following Animation Components were not found")))
            cx.Dialogs.Messages.clear();
        if (QString m = UnexpectedMessages(cx.Dialogs); !m.isEmpty())
            return m;
        if (Doc(f).AnimStepCount != AnimFrames || Doc(f).AnimSelections.Count() != AnimComponents)
            return QStringLiteral("the document holds %1 frames of %2 components")
                .arg(Doc(f).AnimStepCount)
                .arg(Doc(f).AnimSelections.Count());
        return {};
    };

    TCase load;
    load.Name = QStringLiteral("rtm load");
    load.FloorName = QStringLiteral("raw read");
    load.GoalRatio = 1.2;
    load.FileBytes = size;
    load.PeakGoalFactor = 2;
    load.Prepare = [&cx, &f] {
        f.Editor().Anim().ClearAnimation();
        cx.Dialogs.Messages.clear();
    };
    load.Run = [&f, path] { f.LoadAnimation(path); };
    load.Floor = [path] { (void)ReadRaw(path); };
    load.Check = check;

    const QString saved = cx.Path(QStringLiteral("anims/saved.rtm"));
    const QString raw = cx.Path(QStringLiteral("anims/raw.rtm"));
    const QByteArray bytes = ReadRaw(path);
    TCase save;
    save.Name = QStringLiteral("rtm save");
    save.FloorName = QStringLiteral("raw write");
    save.GoalRatio = 1.2;
    save.FileBytes = size;
    save.PeakGoalFactor = 0.25;  // streamed: a small buffer, not a copy of the file
    save.PeakGoalOnFirstRun = true;
    // "Save Anim As..." with the file its dialog is given.
    QAction* saveAs = Ctl<QAction>(f, "SaveAnimAs1");
    save.Prepare = [&cx, &f, path, saved] {
        if (Doc(f).AnimStepCount != AnimFrames)
            f.LoadAnimation(path);
        cx.Dialogs.Messages.clear();
        cx.Dialogs.Files.enqueue(saved);
    };
    save.Run = [saveAs] { saveAs->trigger(); };
    save.Floor = [raw, bytes] { WriteFileAtomic(raw, bytes); };
    save.Check = [&cx, saved, bytes]() -> QString {
        if (QString m = UnexpectedMessages(cx.Dialogs); !m.isEmpty())
            return m;
        if (!cx.Dialogs.Files.isEmpty())
            return QStringLiteral("the save asked for no file");
        return ReadRaw(saved) == bytes ? QString() : QStringLiteral("the saved file differs from the one loaded");
    };
    const QString empty = cx.Path(QStringLiteral("anims/empty.rtm"));
    if (!WriteInput(empty, BenchInputs::EmptyFrames(16 << 20))) {
        std::fprintf(stderr, "cannot write the animation input in %s\n", qPrintable(cx.Dir.path()));
        return {};
    }
    const int runs = std::max(cx.Runs, 5);
    // The whole check of the 32 MB model and this animation in a fresh process, against
    // reading both files whole in one.
    const QString model = cx.Path(QStringLiteral("models/bench.p3d"));
    if (!QFileInfo::exists(model) && !WriteInput(model, BenchInputs::Model(ModelVertices, ModelPolygons, ModelSelections))) {
        std::fprintf(stderr, "cannot write the model input in %s\n", qPrintable(cx.Dir.path()));
        return {};
    }
    TCase checkBoth = FreshTimeCase(
        cx, QStringLiteral("check 32M+16M"),
        {QStringLiteral("command"), QStringLiteral("--home"), cx.Dir.path(), QStringLiteral("check"), model, path}, 1.5,
        {QStringLiteral("raw"), model, path}, QStringLiteral("raw reads"));
    return {load, save, checkBoth, FreshLoadCase(QStringLiteral("rtm first load"), path, runs, 1.2, 2),
            FreshLoadCase(QStringLiteral("rtm 0 comps first load"), empty, runs, 1.2, 2)};
}

// ---- Display refreshes: the posing alone (UpdateDisplayPoints, as the refresh calls it)
// against a fixed budget, and one whole RefreshDisplay with the three views painted,
// against a naive painter drawing the same segments and against a fixed budget.

// Resizes the window and its splitters until the three views have the size asked for.
// Returns the sizes reached as "600x450 600x450 600x450" (front, left, top).
QString SizeViews(TMainForm& f, int w, int h)
{
    const std::array<TChart*, 3> views = Views(f);  // front, left, top
    QSplitter* hSplit = Ctl<QSplitter>(f, "HSplitter");
    QSplitter* vSplit1 = Ctl<QSplitter>(f, "VSplitter1");
    QSplitter* vSplit2 = Ctl<QSplitter>(f, "VSplitter2");
    QWidget* leftViews = Ctl<QWidget>(f, "P_LeftViews");
    QWidget* rightViews = Ctl<QWidget>(f, "P_RightViews");
    for (int round = 0; round < 8; ++round) {
        const QSize fs = views[0]->size(), ls = views[1]->size(), ts = views[2]->size();
        if (fs == QSize(w, h) && ls == QSize(w, h) && ts == QSize(w, h))
            break;
        // Room for the columns and rows the views need, then the splitters share it out.
        const int leftCol = w + (leftViews->width() - fs.width());
        const int rightCol = w + (rightViews->width() - ls.width());
        const int wantW = leftCol + rightCol + hSplit->handleWidth();
        const int wantH = 2 * h + vSplit1->handleWidth() + (leftViews->height() - vSplit1->height());
        f.resize(f.width() + std::max(0, wantW - hSplit->width()), f.height() + std::max(0, wantH - leftViews->height()));
        Drain();
        hSplit->setSizes({leftCol, hSplit->width() - hSplit->handleWidth() - leftCol});
        vSplit1->setSizes({h, vSplit1->height() - vSplit1->handleWidth() - h});
        vSplit2->setSizes({h, vSplit2->height() - vSplit2->handleWidth() - h});
        Drain();
    }
    QStringList sizes;
    for (const TChart* v : views)
        sizes << QStringLiteral("%1x%2").arg(v->width()).arg(v->height());
    return sizes.join(QLatin1Char(' '));
}

// Counts the paint events of the three views, so a timed refresh can prove it painted.
class TPaintCounter : public QObject {
public:
    std::array<int, 3> Count{};
    std::array<TChart*, 3> Views{};
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            for (size_t v = 0; v < Views.size(); ++v)
                if (o == Views[v])
                    ++Count[v];
        return false;
    }
};

// The segments of a view in pixels, with the colour of each run, as the chart shows them.
struct TNaiveView {
    std::vector<QLineF> Lines;
    std::vector<std::pair<size_t, QColor>> Pens;  // from this line on, this colour
    QImage Image;
};

// Per component in tree order, the polygons it shows (hidden components and polygons
// aside): f(component, polygon).
template <class F>
void ForEachShownPolygon(const TP3dModell& m, const std::vector<const TSelection*>& order, F&& f)
{
    for (const TSelection* c : order) {
        if (!c || c->Hidden || c->Model != &m)
            continue;
        for (size_t i = 0; i < m.Polygons.size() && i < c->PolygonMembership.size(); ++i)
            if (c->PolygonMembership[i] && IsDrawable(m.Polygons[i], m.DisplayPoints.size()))
                f(*c, m.Polygons[i]);
    }
}

// The edges the views draw of a model: each component's distinct directed polygon edges
// (an edge again in the same direction and colour sets no other pixel).
size_t DistinctEdges(const TP3dModell& m, const std::vector<const TSelection*>& order)
{
    size_t n = 0;
    const TSelection* component = nullptr;
    std::unordered_set<uint64_t> seen;
    ForEachShownPolygon(m, order, [&](const TSelection& c, const TP3dPolygon& poly) {
        if (&c != component) {
            n += seen.size();
            seen.clear();
            component = &c;
        }
        for (uint32_t k = 1; k < poly.VertexCount; ++k)
            seen.insert(uint64_t(poly.Corners[k - 1].PointIndex) << 32 | poly.Corners[k].PointIndex);
    });
    return n + seen.size();
}

// What a painter without any shortcut draws in a view: every edge of every shown polygon
// of the main model, shared edges again, in the components' colours, then the axes; in
// pixels of the view as it is now.
TNaiveView NaiveSegments(const TMainForm& f, TViewKind kind)
{
    const TChart& view = *Views(f)[size_t(kind)];
    TNaiveView n;
    bool first = true;
    uint32_t pen = 0;
    const auto add = [&](TViewPoint a, TViewPoint b, uint32_t c) {
        if (first || c != pen)
            n.Pens.push_back({n.Lines.size(), QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF))});
        first = false;
        pen = c;
        n.Lines.emplace_back(view.ChartToPixel(a.U, a.V), view.ChartToPixel(b.U, b.V));
    };
    if (const TP3dModell* m = MainModel(f)) {
        const auto at = [&](uint32_t i) {
            const TDisplayPoint& d = m->DisplayPoints[i];
            return ViewProject(kind, d.X, d.Y, d.Z);
        };
        ForEachShownPolygon(*m, f.Editor().TreeOrder(), [&](const TSelection& c, const TP3dPolygon& poly) {
            for (uint32_t k = 1; k < poly.VertexCount; ++k)
                add(at(poly.Corners[k - 1].PointIndex), at(poly.Corners[k].PointIndex), c.Color);
        });
    }
    add({0, 0}, {1, 0}, ViewColor::Yellow);
    add({0, 0}, {0, 1}, ViewColor::Yellow);
    n.Image = QImage(view.size(), QImage::Format_RGB32);
    return n;
}

void NaiveDraw(TNaiveView& n)
{
    n.Image.fill(Qt::black);
    QPainter p(&n.Image);
    size_t pen = 0;
    for (size_t i = 0; i < n.Lines.size(); ++i) {
        while (pen < n.Pens.size() && n.Pens[pen].first == i)
            p.setPen(n.Pens[pen++].second);
        p.drawLine(n.Lines[i]);
    }
}

struct TRefreshModel {
    QString Name;  // "20k"
    QString Model;  // path of the .p3d
    QString Anim;  // path of the .rtm
    int Polygons = 0;
    int Components = 0;
    int Vertices = 0;
};

// The refresh model of polygons polygons in components components, with its linking file
// and a four-frame posed animation, written into the context's folder unless it is there.
std::shared_ptr<TRefreshModel> RefreshModel(TContext& cx, int polygons, int components)
{
    auto m = std::make_shared<TRefreshModel>();
    m->Name = QStringLiteral("%1k").arg(polygons / 1000);
    m->Polygons = m->Vertices = polygons;
    m->Components = components;
    m->Model = cx.Path(QStringLiteral("models/refresh%1.p3d").arg(m->Name));
    m->Anim = cx.Path(QStringLiteral("anims/refresh%1.rtm").arg(m->Name));
    if (QFileInfo::exists(m->Model))
        return m;
    if (!WriteInput(m->Model, BenchInputs::Model(m->Vertices, polygons, components)) ||
        !WriteInput(QDir(cx.Form->Editor().LinkDataDir).filePath(QStringLiteral("refresh%1.lpv").arg(m->Name)),
                    BenchInputs::Linking(components)) ||
        !WriteInput(m->Anim, BenchInputs::PosedAnimation(components, 4))) {
        std::fprintf(stderr, "cannot write the %s inputs in %s\n", qPrintable(m->Name), qPrintable(cx.Dir.path()));
        return nullptr;
    }
    return m;
}

// Loads the model and its animation unless they are what the window shows already, and
// moves to frame 1, so every component is turned and the total move applies.
QString EnsureLoaded(TContext& cx, const TRefreshModel& m)
{
    TMainForm& f = *cx.Form;
    const TP3dModell* main = MainModel(f);
    if (!main || main->Polygons.size() != size_t(m.Polygons) || Doc(f).AnimSelections.Count() != m.Components) {
        ClearAll(f);
        cx.Dialogs.Messages.clear();
        f.LoadModel(m.Model);
        f.LoadAnimation(m.Anim);
        if (QString e = UnexpectedMessages(cx.Dialogs); !e.isEmpty())
            return e;
        main = MainModel(f);
        if (!main || main->Polygons.size() != size_t(m.Polygons) || Doc(f).AnimSelections.Count() != m.Components)
            return QStringLiteral("the %1 model or its animation did not load").arg(m.Name);
    }
    if (Doc(f).ActAnimStep != 1)
        f.Editor().Anim().SetActStep(1);
    return {};
}

// What the 2D views keep per polygon: the three views as the window draws them (the
// render's own charts, fresh for each model) of a 100,000-quad model against a 10,000-quad
// one, the difference in the bytes their item lists hold per polygon and view.
constexpr double ViewBytesPerPolygonGoal = 64;

TCase ViewMemoryCase(TContext& cx)
{
    TCase c;
    c.Name = QStringLiteral("view memory");
    c.Figure = [&cx]() -> TFigure {
        TFigure f;
        struct TSize {
            int Quads;
            size_t Bytes = 0;
        };
        TSize sizes[] = {{10000}, {100000}};
        for (TSize& z : sizes) {
            const QString path = cx.Path(QStringLiteral("models/quads%1k.p3d").arg(z.Quads / 1000));
            if (!QFileInfo::exists(path) && !WriteInput(path, BenchInputs::QuadModel(z.Quads, z.Quads, 10))) {
                f.Error = QStringLiteral("cannot write %1").arg(path);
                return f;
            }
            TEditor scene;
            if (!scene.LoadModel(path)) {
                f.Error = QStringLiteral("%1 did not load").arg(path);
                return f;
            }
            scene.Pose();
            scene.EditOptions([](TEditorOptions& o) { o.Grid = true; });
            TViewPictures pictures(scene);
            const QSize size(ViewWidth, ViewHeight);
            pictures.Draw({size, size, size});
            const int lines = pictures.LineCount();
            if (lines != int(3 * (DistinctEdges(*scene.Models().front(), scene.TreeOrder()) + 2))) {
                f.Error = QStringLiteral("the views of %1 quads hold %2 segments").arg(z.Quads).arg(lines);
                return f;
            }
            z.Bytes = pictures.HeldBytes();
        }
        const double polygons = double(sizes[1].Quads - sizes[0].Quads);
        const double perPolygon = (double(sizes[1].Bytes) - double(sizes[0].Bytes)) / polygons / ViewCount;
        f.Text = QStringLiteral(
                     "%1 bytes per polygon and view (views %2 MB at 100k quads, %3 MB at 10k)  limit %4  ratio %5 (goal <= 1)")
                     .arg(perPolygon, 0, 'f', 1)
                     .arg(Mb(double(sizes[1].Bytes)), 0, 'f', 1)
                     .arg(Mb(double(sizes[0].Bytes)), 0, 'f', 1)
                     .arg(ViewBytesPerPolygonGoal)
                     .arg(perPolygon / ViewBytesPerPolygonGoal, 0, 'f', 2);
        f.Missed = perPolygon > ViewBytesPerPolygonGoal;
        return f;
    };
    return c;
}

// The refresh with the onion skin showing one frame on each side, against the plain
// refresh timed just before it in the same state. Kept: the neighbours were posed by an
// earlier refresh, as in an edit tick, which changes only the current pose; else they are
// posed anew, as after a change of frame or of the document.
void SetOnion(TMainForm& f, int frames)
{
    TEditorOptions o = f.Editor().Options();
    o.OnionFrames = frames;
    f.Editor().SetOptions(o);
}

TCase OnionRefreshCase(TContext& cx, std::shared_ptr<TRefreshModel> m, bool kept, std::shared_ptr<std::array<QImage, 3>> images,
                       std::shared_ptr<int> drawn)
{
    TMainForm& f = *cx.Form;
    const std::array<TChart*, 3> views = Views(f);
    const auto refresh = [&f, views, images] {
        f.RefreshDisplay();
        for (size_t v = 0; v < 3; ++v) {
            TChart& view = *views[v];
            if ((*images)[v].size() != view.size())
                (*images)[v] = QImage(view.size(), QImage::Format_RGB32);
            view.render(&(*images)[v]);
        }
    };
    auto plainMs = std::make_shared<double>(0);
    auto error = std::make_shared<QString>();
    TCase c;
    c.Name = QStringLiteral("onion %1%2").arg(m->Name, kept ? QString() : QStringLiteral(" posed"));
    c.FloorName = QStringLiteral("plain");
    c.GoalRatio = 3;
    c.MinRuns = 11;
    // Each timed refresh follows an untimed one in the same state, so the views' edge lists
    // (made again after a change of options) are there for both.
    c.Prepare = [&cx, &f, m, kept, refresh, plainMs, error] {
        *error = EnsureLoaded(cx, *m);
        SetOnion(f, 0);
        f.RefreshDisplay();
        *plainMs = Bench::TimeMs(refresh);
        SetOnion(f, 1);
        f.RefreshDisplay();
        if (!kept) {  // a step away and back drops the neighbours posed, as any change of frame does
            f.Editor().Anim().SetActStep(2);
            f.Editor().Anim().SetActStep(1);
        }
    };
    c.Run = refresh;
    c.FloorValue = [plainMs] { return *plainMs; };
    c.Check = [&f, views, error, drawn]() -> QString {
        const size_t layers = f.Editor().OnionLayers().size();
        SetOnion(f, 0);  // the cases after this one draw without it
        if (!error->isEmpty())
            return *error;
        if (layers != 2)
            return QStringLiteral("%1 onion frames shown, not 2").arg(layers);
        // The pose's edges and the axes, and the pose's edges again for each neighbour.
        const int want = 3 * (*drawn - 2) + 2;
        for (size_t v = 0; v < 3; ++v)
            if (views[v]->LineCount() != want)
                return QStringLiteral("view %1 holds %2 segments, not %3").arg(v).arg(views[v]->LineCount()).arg(want);
        return {};
    };
    return c;
}

std::vector<TCase> RefreshCases(TContext& cx)
{
    TMainForm& f = *cx.Form;
    const QString sizes = SizeViews(f, ViewWidth, ViewHeight);
    std::printf("views (front left top) %s, asked %dx%d\n", qPrintable(sizes), ViewWidth, ViewHeight);

    const std::array<TChart*, 3> views = Views(f);
    auto counter = std::make_shared<TPaintCounter>();
    counter->Views = views;
    for (TChart* v : views)
        v->installEventFilter(counter.get());

    const std::pair<int, int> shapes[] = {{20000, 50}, {100000, 100}};
    std::vector<TCase> cases;
    for (const auto& [polygons, components] : shapes) {
        auto m = RefreshModel(cx, polygons, components);
        if (!m)
            return {};
        // Triangles and quads alternate: 2 and 3 segments; the axes add 2 per view. The views
        // draw each distinct edge once.
        const int segments = (polygons / 2) * 2 + (polygons - polygons / 2) * 3 + 2;
        auto drawn = std::make_shared<int>(0);
        const double budget = polygons <= 20000 ? FrameMs : EditTickMs;

        // The posing alone, on the window's models and tree as its refresh poses them.
        struct TPoseState {
            TComponentNodes Nodes;
            TPoseCache Cache;
            TPoseParams Params;
            std::vector<TDisplayPoint> Expected;  // what the window's own refresh left
            QString Error;
        };
        auto ps = std::make_shared<TPoseState>();
        TCase pose;
        pose.Name = QStringLiteral("pose %1").arg(m->Name);
        pose.FloorName = QStringLiteral("budget");
        pose.FloorMs = DisplayPointsMs;
        pose.GoalRatio = 1;
        pose.MinRuns = 21;
        pose.Prepare = [&cx, &f, m, ps] {
            ps->Error = EnsureLoaded(cx, *m);
            f.RefreshDisplay();
            const std::vector<const TSelection*>& order = f.Editor().TreeOrder();
            ps->Cache.Rebuild(order);
            ps->Nodes.clear();
            for (const TSelection* s : order)
                ps->Nodes.push_back({s, 0, f.Editor().Anim().IsInAnimation(s->Name)});
            ps->Params = f.Editor().Params();
            if (const TP3dModell* main = MainModel(f))
                ps->Expected = main->DisplayPoints;
            // Start from other values, so the run has to write every point.
            if (TP3dModell* main = MainModel(f))
                for (TDisplayPoint& d : main->DisplayPoints)
                    d = {1e9f, 1e9f, 1e9f, 7};
        };
        pose.Run = [&f, ps] {
            UpdateDisplayPoints(f.Editor().Models(), ps->Nodes, ps->Cache, f.Editor().ComponentPoses(), ps->Params);
        };
        pose.Check = [&f, ps]() -> QString {
            if (!ps->Error.isEmpty())
                return ps->Error;
            const TP3dModell* main = MainModel(f);
            if (!main || main->DisplayPoints.size() != ps->Expected.size())
                return QStringLiteral("no display points");
            size_t moved = 0;
            for (size_t i = 0; i < ps->Expected.size(); ++i) {
                const TDisplayPoint& a = main->DisplayPoints[i];
                const TDisplayPoint& b = ps->Expected[i];
                if (a.X != b.X || a.Y != b.Y || a.Z != b.Z || a.ShareCount != b.ShareCount)
                    return QStringLiteral("display point %1 differs from the refresh's").arg(i);
                const TP3dVertex& v = main->Vertices[i];
                moved += a.X != v.X || a.Y != v.Y || a.Z != v.Z;
            }
            return moved * 2 > ps->Expected.size() ? QString() : QStringLiteral("the frame left most points where they were");
        };
        cases.push_back(pose);

        // One whole refresh with the paints it causes.
        auto naive = std::make_shared<std::array<TNaiveView, 3>>();
        auto before = std::make_shared<std::array<int, 3>>();
        auto error = std::make_shared<QString>();
        TCase refresh;
        refresh.Name = QStringLiteral("refresh %1").arg(m->Name);
        refresh.FloorName = QStringLiteral("naive");
        refresh.BudgetName = budget == FrameMs ? QStringLiteral("frame") : QStringLiteral("edit tick");
        refresh.BudgetMs = budget;
        refresh.MinRuns = 11;
        // The goal, 4 ms at 20k and 8 ms at 100k polygons where the refresh took 6.8 and 27 ms
        // at ratios 0.28 and 0.22 to the naive painter, as a ratio to that painter.
        refresh.GoalRatio = polygons <= 20000 ? 0.165 : 0.065;
        refresh.Prepare = [&cx, &f, m, naive, error, drawn] {
            *error = EnsureLoaded(cx, *m);
            SetOnion(f, 0);  // the plain refresh; the onion skin shows from the first start on
            if (!(*naive)[0].Lines.empty())
                return;
            f.RefreshDisplay();
            for (size_t v = 0; v < 3; ++v)
                (*naive)[v] = NaiveSegments(f, TViewKind(v));
            if (const TP3dModell* main = MainModel(f))
                *drawn = int(DistinctEdges(*main, f.Editor().TreeOrder())) + 2;
        };
        // The views are painted into images of their own size: one paint event each, as the
        // event loop would send after the refresh, without waiting for it.
        auto images = std::make_shared<std::array<QImage, 3>>();
        refresh.Run = [&f, views, counter, before, images] {
            *before = counter->Count;
            f.RefreshDisplay();
            for (size_t v = 0; v < 3; ++v) {
                TChart& view = *views[v];
                if ((*images)[v].size() != view.size())
                    (*images)[v] = QImage(view.size(), QImage::Format_RGB32);
                view.render(&(*images)[v]);
            }
        };
        refresh.Floor = [naive] {
            for (TNaiveView& n : *naive)
                NaiveDraw(n);
        };
        refresh.Check = [&cx, views, counter, before, error, segments, naive, drawn]() -> QString {
            if (!error->isEmpty())
                return *error;
            if (QString e = UnexpectedMessages(cx.Dialogs); !e.isEmpty())
                return e;
            for (size_t v = 0; v < 3; ++v) {
                if (counter->Count[v] == (*before)[v])
                    return QStringLiteral("view %1 was not painted").arg(v);
                if (views[v]->LineCount() != *drawn)
                    return QStringLiteral("view %1 holds %2 segments, not %3").arg(v).arg(views[v]->LineCount()).arg(*drawn);
                if ((*naive)[v].Lines.size() != size_t(segments))
                    return QStringLiteral("the naive view %1 holds %2 segments").arg(v).arg((*naive)[v].Lines.size());
            }
            return {};
        };
        cases.push_back(refresh);
        if (polygons > 20000)
            for (const bool kept : {true, false})
                cases.push_back(OnionRefreshCase(cx, m, kept, images, drawn));
    }
    cases.push_back(ViewMemoryCase(cx));
    return cases;
}

// ---- One picture of the 3D view, 640x480, against the same triangles drawn from a vertex
// array prepared beforehand with one call, in the same context and state. Needs a display
// with OpenGL (xvfb-run -a with QT_QPA_PLATFORM=xcb); the software renderer when
// LIBGL_ALWAYS_SOFTWARE=1.
constexpr int Paint3dWidth = 640;
constexpr int Paint3dHeight = 480;

struct TPaint3dState {
    TOffscreenGl Gl;
    bool Ready = false;
    QString Error;
    T3dScene Scene;
    std::vector<T3dVertex> Prepared;  // the floor's triangles: quads split in two
};

// The camera and state the paint sets up, for the floor.
void Floor3dSetUp(const TViewCamera& c)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glTranslatef(c.ViewPanX, c.ViewPanY, c.ViewDistance);
    glRotatef(c.ViewRotX, 1, 0, 0);
    glRotatef(c.ViewRotY, 0, 1, 0);
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
}

std::vector<TCase> Paint3dCases(TContext& cx)
{
    TMainForm& f = *cx.Form;
    const T3dArea* area = Ctl<T3dArea>(f, "P_3dArea");  // its camera is the paint's
    auto st = std::make_shared<TPaint3dState>();
    if (!st->Gl.Create(Paint3dWidth, Paint3dHeight, &st->Error))
        st->Error = QStringLiteral("no OpenGL here (%1); run under xvfb-run -a with QT_QPA_PLATFORM=xcb").arg(st->Error);
    else
        std::printf("3D paints at %dx%d on %s\n", Paint3dWidth, Paint3dHeight,
                    reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    std::vector<TCase> cases;
    for (const auto& [polygons, components] : {std::pair{20000, 50}, std::pair{100000, 100}}) {
        auto m = RefreshModel(cx, polygons, components);
        if (!m)
            return {};
        TCase c;
        c.Name = QStringLiteral("paint3d %1").arg(m->Name);
        c.FloorName = QStringLiteral("1 array");
        c.GoalRatio = 1.5;
        c.MinRuns = 11;
        auto error = std::make_shared<QString>();
        c.Prepare = [&cx, &f, m, st, error] {
            *error = st->Error;
            if (!error->isEmpty())
                return;
            if (QString e = EnsureLoaded(cx, *m); !e.isEmpty()) {
                *error = e;
                return;
            }
            f.Editor().EditOptions([](TEditorOptions& o) {  // lit, opaque, with the grid: the editor's usual view
                o.Lighting = true;
                o.Transparent3d = false;
                o.Grid3d = true;
            });
            f.RefreshDisplay();
            st->Gl.MakeCurrent();
            Gl3dInit();
            Gl3dResize(Paint3dWidth, Paint3dHeight);
            f.Editor().Build3d(st->Scene);
            st->Prepared.clear();
            for (const T3dVertex& v : st->Scene.Components.Triangles)
                st->Prepared.push_back(v);
            const std::vector<T3dVertex>& q = st->Scene.Components.Quads;
            for (size_t i = 0; i + 3 < q.size(); i += 4)
                for (size_t k : {0, 1, 2, 0, 2, 3})
                    st->Prepared.push_back(q[i + k]);
        };
        // What P_3dViewPaint does, then waiting for the GPU's work.
        c.Run = [&f, area, st, error] {
            if (!error->isEmpty())
                return;
            f.Editor().Build3d(st->Scene);
            Gl3dPaint(area->Camera(), Paint3dOptions(f.Editor().Options()), st->Scene);
            glFinish();
        };
        c.Floor = [area, st, error] {
            if (!error->isEmpty())
                return;
            Floor3dSetUp(area->Camera());
            glInterleavedArrays(GL_C4F_N3F_V3F, 0, st->Prepared.data());
            glDrawArrays(GL_TRIANGLES, 0, GLsizei(st->Prepared.size()));
            glDisableClientState(GL_COLOR_ARRAY);
            glDisableClientState(GL_NORMAL_ARRAY);
            glDisableClientState(GL_VERTEX_ARRAY);
            glFinish();
        };
        c.Check = [st, error, polygons]() -> QString {
            if (!error->isEmpty())
                return *error;
            if (st->Scene.Components.PolygonCount() != size_t(polygons))
                return QStringLiteral("the paint drew %1 polygons, not %2")
                    .arg(st->Scene.Components.PolygonCount())
                    .arg(polygons);
            const QImage img = st->Gl.Read();
            int lit = 0;
            for (int y = 0; y < img.height(); y += 4)
                for (int x = 0; x < img.width(); x += 4)
                    lit += (img.pixel(x, y) & 0xFFFFFF) != 0;
            return lit > 100 ? QString() : QStringLiteral("the picture is empty");
        };
        cases.push_back(c);
    }
    if (st->Error.isEmpty())
        for (TCase& c : ProxyCases(cx, true))
            cases.push_back(c);
    return cases;
}

// ---- Frames: one playback step on the 100k model against showing a frame (both as
// playback draws: no 2D outlines, the 3D paint when OpenGL is there), and the frame-list
// operations on a 10,000-frame animation through the controller, the display refresh
// left out, each within 2 ms; the grid's repaint at 10,000 frames against 10.
constexpr int LongAnimFrames = 10000;
constexpr int LongAnimComponents = 10;
constexpr double FrameOpMs = 2;

std::vector<TCase> FrameCases(TContext& cx)
{
    TMainForm& f = *cx.Form;
    const T3dArea* area = Ctl<T3dArea>(f, "P_3dArea");  // its camera is the paint's
    std::vector<TCase> cases;

    auto m = RefreshModel(cx, 100000, 100);
    if (!m)
        return {};
    auto gl = std::make_shared<TPaint3dState>();
    if (!gl->Gl.Create(Paint3dWidth, Paint3dHeight, &gl->Error))
        std::printf("play step: no OpenGL here, timed without the 3D paint (%s)\n", qPrintable(gl->Error));
    const auto paint = [&f, area, gl] {
        if (!gl->Error.isEmpty())
            return;
        f.Editor().Build3d(gl->Scene);
        Gl3dPaint(area->Camera(), Paint3dOptions(f.Editor().Options()), gl->Scene);
        glFinish();
    };
    TCase play;
    play.Name = QStringLiteral("play step 100k");
    play.FloorName = QStringLiteral("frame step");
    play.GoalRatio = 1.1;
    play.MinRuns = 11;
    auto error = std::make_shared<QString>();
    play.Prepare = [&cx, &f, m, gl, error] {
        *error = EnsureLoaded(cx, *m);
        QPushButton* play = f.findChild<QPushButton*>(QStringLiteral("B_Play"));
        const QSignalBlocker block(play);
        play->setChecked(true);  // as while playing: the 2D views stay empty
        if (gl->Error.isEmpty()) {
            gl->Gl.MakeCurrent();
            Gl3dInit();
            Gl3dResize(Paint3dWidth, Paint3dHeight);
        }
    };
    play.Run = [&f, paint] {
        f.Editor().ShowBlend(0.37);
        f.RefreshDisplay();
        paint();
    };
    play.Floor = [&f, paint] {
        f.Editor().ShowFrame(1);
        f.RefreshDisplay();
        paint();
    };
    play.Check = [&f, error]() -> QString {
        QPushButton* play = f.findChild<QPushButton*>(QStringLiteral("B_Play"));
        const QSignalBlocker block(play);
        play->setChecked(false);
        return *error;
    };
    cases.push_back(play);

    // The long animation, read once into a controller of its own: nothing is drawn.
    const QString longPath = cx.Path(QStringLiteral("anims/long.rtm"));
    if (!QFileInfo::exists(longPath) && !WriteInput(longPath, BenchInputs::Animation(LongAnimComponents, LongAnimFrames))) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(longPath));
        return cases;
    }
    auto session = std::make_shared<TEditor>();
    TAnimController* anim = &session->Anim();
    if (QString e = anim->LoadAnimation(longPath); !e.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(e));
        return cases;
    }
    const auto fresh = [session, anim] {  // every run starts from the same 10,000 frames
        while (session->Undo()) {
        }
        anim->SetActStep(LongAnimFrames / 2);
    };
    const auto op = [&](const QString& name, std::function<void()> run) {
        TCase c;
        c.Name = name;
        c.FloorName = QStringLiteral("budget");
        c.FloorMs = FrameOpMs;
        c.GoalRatio = 1;
        c.MinRuns = 11;
        c.Prepare = fresh;
        c.Run = std::move(run);
        c.Check = [anim]() -> QString {
            return anim->Doc.FrameCount() == anim->Doc.AnimStepCount ? QString() : QStringLiteral("frames and count differ");
        };
        cases.push_back(c);
    };
    op(QStringLiteral("insert after 10k"), [anim] { anim->InsertFrameAfter(); });
    op(QStringLiteral("delete frame 10k"), [anim] { anim->DeleteCurrentFrame(); });
    op(QStringLiteral("retime 10k"), [anim] { anim->RetimeFrame(100, 0.9f, true); });

    // The grid over 10,000 frames paints only the rows in sight: as fast as over 10.
    // The ten frames live as long as the grid over them (the case's copies share both).
    struct TGrids {
        TAnimController Small;
        std::unique_ptr<TFrameGrid> Long, Short;  // 10,000 frames, 10
    };
    auto grids = std::make_shared<TGrids>();
    grids->Small.CreateNewAnimation({QStringLiteral("a")});
    for (int i = 0; i < 9; ++i)
        grids->Small.InsertFrameAfter();
    grids->Long = std::make_unique<TFrameGrid>(*anim, nullptr);
    grids->Short = std::make_unique<TFrameGrid>(grids->Small, nullptr);
    auto image = std::make_shared<QImage>(grids->Long->width(), 300, QImage::Format_RGB32);
    TCase grid;
    grid.Name = QStringLiteral("grid 10k");
    grid.FloorName = QStringLiteral("grid 10");
    grid.GoalRatio = 1.5;
    grid.MinRuns = 11;
    grid.Prepare = [fresh, grids, image] {
        fresh();
        for (TFrameGrid* g : {grids->Long.get(), grids->Short.get()}) {
            g->resize(image->size());
            g->SyncRows();
        }
    };
    grid.Run = [grids, image] {
        grids->Long->SyncRows();
        grids->Long->scrollTo(grids->Long->model()->index(LongAnimFrames / 2, 0));
        grids->Long->render(image.get());
    };
    grid.Floor = [grids, image] {
        grids->Short->SyncRows();
        grids->Short->render(image.get());
    };
    cases.push_back(grid);
    return cases;
}

// ---- The frame timer on a 10,000-frame animation: the chart's rebuild and redraw and one
// Ctrl-drag step through the window, and the five operations on the document alone.
constexpr int TimerFrames = 10000;
constexpr int TimerSelection = 5000;
constexpr double OperationMs = 20;
constexpr double CopyMs = 10;  // a block copy into a flat store: its copy and a shift

// The frame timer's operations on its animation, with 5,000 of the 10,000 frames selected
// in the middle, run on a controller of their own that keeps the frames to restore.
struct TTimerOps {
    TEditor Editor;  // its history, as the window's
    TAnimController& Anim = Editor.Anim();
    QString Path;
    TAnimFrames Frames;  // a copy of the frames loaded, for the floors
    QString Error;
    double OpMs = 0;  // the operation, timed while preparing an undo
    // The frames as loaded: every step undone (in the memory the runs before took, as a
    // window's session reuses it), the first time read from the file.
    void Reload()
    {
        if (Editor.History().CanUndo()) {
            while (Editor.Undo()) {
            }
        } else if (Anim.Doc.FrameCount() == 0) {
            if (const QString e = Anim.LoadAnimation(Path); !e.isEmpty())
                Error = e;
        }
    }
};

std::shared_ptr<TTimerOps> LoadTimerOps(const QString& path)
{
    auto ops = std::make_shared<TTimerOps>();
    ops->Path = path;
    ops->Reload();
    ops->Frames = ops->Anim.Doc.AnimFrames;
    ops->Editor.SetHistoryLimits(100, size_t(-1));
    return ops;
}

struct TTimerOp {
    const char* Name;
    std::function<TTimingResult(TAnimController&)> Op;
};

std::vector<TTimerOp> TimerOps()
{
    const int first = TimerSelection / 2, last = first + TimerSelection - 1;
    return {
        {"linearize", [first, last](TAnimController& a) { return a.LinearizeRange(first, last); }},
        {"mirror", [first, last](TAnimController& a) { return a.MirrorRange(first, last); }},
        {"move", [first, last](TAnimController& a) { return a.MoveRange(first, last, TimerFrames); }},
        {"copy", [first, last](TAnimController& a) { return a.CopyRange(first, last, 1); }},
        {"delete", [first, last](TAnimController& a) { return a.DeleteRange(first, last); }},
    };
}

std::vector<TCase> TimerCases(TContext& cx)
{
    const QString path = cx.Path(QStringLiteral("timer.rtm"));
    if (!WriteInput(path, BenchInputs::Animation(AnimComponents, TimerFrames))) {
        std::fprintf(stderr, "cannot write the timer's animation in %s\n", qPrintable(cx.Dir.path()));
        return {};
    }
    TMainForm& f = *cx.Form;
    TF_FrameManipulator& w = *Ctl<TF_FrameManipulator>(f, "F_FrameManipulator");
    auto image = std::make_shared<QImage>();
    auto error = std::make_shared<QString>();
    const auto paint = [&w, image] {
        if (image->size() != w.RChart->size())
            *image = QImage(w.RChart->size(), QImage::Format_RGB32);
        w.RChart->render(image.get());
    };
    const auto ensure = [&f, &w, path, error] {
        if (Doc(f).FrameCount() == TimerFrames && Doc(f).AnimFileName == path)
            return;
        f.LoadAnimation(path);
        if (Doc(f).FrameCount() != TimerFrames)
            *error = QStringLiteral("the animation did not load");
        w.show();
        f.Editor().Anim().SetSelection({TimerSelection / 2, TimerSelection / 2 + TimerSelection - 1});
        w.RefreshFrameTimerChart();
    };
    std::vector<TCase> cases;

    TCase refresh;
    refresh.Name = QStringLiteral("timer chart");
    refresh.FloorName = QStringLiteral("no items");
    refresh.BudgetName = QStringLiteral("frame");
    refresh.BudgetMs = FrameMs;
    refresh.MinRuns = 11;
    refresh.Prepare = ensure;
    refresh.Run = [&w, paint] {
        w.RefreshFrameTimerChart();
        paint();
    };
    // The same paint of an empty chart: what any redraw of the window costs.
    auto empty = std::make_shared<TChart>();
    refresh.Floor = [empty, &w] {
        if (empty->size() != w.RChart->size()) {
            empty->resize(w.RChart->size());
            empty->SetRims(46, 8, 30, 40);
        }
        QImage img(empty->size(), QImage::Format_RGB32);
        empty->render(&img);
    };
    refresh.Check = [&w, error]() -> QString {
        if (!error->isEmpty())
            return *error;
        return w.RChart->Items().Items().size() == size_t(TimerFrames) ? QString() : QStringLiteral("the chart lacks frames");
    };
    // What a frame costs the chart, against the least a mark can take: one item and its
    // entry in the list of marks.
    refresh.Note = [&w](bool& missed) {
        constexpr double floor = sizeof(TChartItem) + sizeof(uint32_t);
        constexpr double goal = 1.25;
        const double perMark = double(w.RChart->Items().MemoryBytes()) / TimerFrames;
        missed = perMark / floor > goal;
        return QStringLiteral("  bytes/mark %1  item+index %2  ratio %3 (goal <= %4)%5")
            .arg(perMark, 0, 'f', 1)
            .arg(floor, 0, 'f', 0)
            .arg(perMark / floor, 0, 'f', 2)
            .arg(goal)
            .arg(missed ? QStringLiteral(" MISSED") : QString());
    };
    cases.push_back(refresh);

    // A press with Ctrl on the first selected mark, then one step of the drag per run,
    // alternately up and down by a pixel.
    auto step = std::make_shared<int>(0);
    TCase drag;
    drag.Name = QStringLiteral("timer drag");
    drag.FloorName = QStringLiteral("no items");
    drag.BudgetName = QStringLiteral("frame");
    drag.BudgetMs = FrameMs;
    drag.MinRuns = 11;
    drag.Prepare = [ensure, &w, step] {
        ensure();
        const QPointF at = w.RChart->ChartToPixel(w.SelFirst(), 0.5);
        QMouseEvent press(QEvent::MouseButtonPress, at, w.RChart->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::ControlModifier);
        QCoreApplication::sendEvent(w.RChart, &press);
        *step = 0;
    };
    drag.Run = [&w, step, paint] {
        const QPointF at = w.RChart->ChartToPixel(w.SelFirst(), 0.5) + QPointF(0, (++*step % 2) ? -1 : 1);
        QMouseEvent move(QEvent::MouseMove, at, w.RChart->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::ControlModifier);
        QCoreApplication::sendEvent(w.RChart, &move);
        paint();
    };
    drag.Floor = refresh.Floor;
    drag.Check = [&w, error]() -> QString {
        if (!error->isEmpty())
            return *error;
        int tagged = 0;
        for (const TChartItem& it : w.RChart->Items().Items())
            tagged += it.Class == TF_FrameManipulator::SelectedClass;
        return tagged == TimerSelection ? QString() : QStringLiteral("%1 items selected").arg(tagged);
    };
    cases.push_back(drag);

    // The operations on a controller of their own: nothing is connected to it, so no
    // display refresh runs. The frames are restored before every run.
    auto ops = LoadTimerOps(path);
    const int first = TimerSelection / 2, last = first + TimerSelection - 1;
    for (const TTimerOp& t : TimerOps()) {
        auto result = std::make_shared<TTimingResult>();
        TCase c;
        c.Name = QStringLiteral("timer %1").arg(QLatin1String(t.Name));
        c.FloorName = QStringLiteral("validate");
        c.BudgetName = QStringLiteral("budget");
        c.BudgetMs = OperationMs;
        c.MinRuns = 7;
        c.Prepare = [ops] {
            ops->Reload();
            ops->Anim.SetActStep(0);
        };
        const auto op = t.Op;
        c.Run = [ops, op, result] { *result = op(ops->Anim); };
        // One pass of the time rules over the frames, which every operation ends with; for
        // Copy, copying the block's frames with their entries, which it cannot do without.
        if (QLatin1String(t.Name) == QLatin1String("copy")) {
            c.BudgetMs = CopyMs;
            c.FloorName = QStringLiteral("block copy");
            c.Floor = [ops, first, last] {
                TAnimFrames block(ops->Frames.Stride());
                block.Insert(0, ops->Frames, size_t(first), size_t(last - first) + 1);
                if (block.empty())
                    std::fprintf(stderr, "no block\n");
            };
        } else {
            c.Floor = [ops] { ValidateFrameTimes(ops->Frames); };
        }
        c.Check = [ops, result]() -> QString {
            if (!ops->Error.isEmpty())
                return ops->Error;
            return result->Done() ? QString() : QStringLiteral("not done: ") + result->Message;
        };
        cases.push_back(c);
    }
    return cases;
}

// ---- Undo and redo of the frame timer's operations on the timer's animation (10,000
// frames of 100 components, 5,000 selected), each against the operation itself, timed in
// the same preparation; and the history's memory after 100 Copy steps of 5,000 frames.
std::vector<TCase> UndoCases(TContext& cx)
{
    const QString path = cx.Path(QStringLiteral("anims/timer.rtm"));
    if (!QFileInfo::exists(path) && !WriteInput(path, BenchInputs::Animation(AnimComponents, TimerFrames))) {
        std::fprintf(stderr, "cannot write the timer's animation in %s\n", qPrintable(cx.Dir.path()));
        return {};
    }
    auto ops = LoadTimerOps(path);
    std::vector<TCase> cases;
    for (const TTimerOp& t : TimerOps()) {
        for (const bool redo : {false, true}) {
            TCase c;
            c.Name = QStringLiteral("%1 %2").arg(redo ? "redo" : "undo", QLatin1String(t.Name));
            c.FloorName = QStringLiteral("operation");
            c.GoalRatio = 2;
            c.MinRuns = 5;
            const auto op = t.Op;
            c.Prepare = [ops, op, redo] {
                ops->Reload();
                ops->OpMs = Bench::TimeMs([&] {
                    if (!op(ops->Anim).Done())
                        ops->Error = QStringLiteral("the operation was refused");
                });
                if (redo)
                    ops->Editor.Undo();
            };
            c.Run = [ops, redo] { redo ? ops->Editor.Redo() : ops->Editor.Undo(); };
            c.FloorValue = [ops] { return ops->OpMs; };
            c.Check = [ops, redo]() -> QString {
                if (!ops->Error.isEmpty())
                    return ops->Error;
                return ops->Editor.History().CanUndo() == redo ? QString() : QStringLiteral("the step was not taken back");
            };
            cases.push_back(c);
        }
    }

    // 100 Copy steps of the first 5,000 frames: the history against the frames they added.
    TCase memory;
    memory.Name = QStringLiteral("history 100 copies");
    memory.FloorName = QStringLiteral("validate");
    auto bytes = std::make_shared<std::pair<double, double>>();
    memory.Prepare = [ops] { ops->Reload(); };
    memory.Run = [ops, bytes] {
        for (int i = 0; i < 100; ++i)
            if (!ops->Anim.CopyRange(0, TimerSelection - 1, 0).Done())
                ops->Error = QStringLiteral("a copy was refused");
        const double frameBytes = double(sizeof(float) + AnimComponents * sizeof(TAnimEntry));
        *bytes = {double(ops->Editor.History().Bytes()), 100.0 * TimerSelection * frameBytes};
    };
    memory.Floor = [ops] { ValidateFrameTimes(ops->Frames); };
    memory.Check = [ops]() -> QString {
        if (!ops->Error.isEmpty())
            return ops->Error;
        if (ops->Editor.History().Count() != 100)
            return QStringLiteral("%1 steps kept, not 100").arg(ops->Editor.History().Count());
        return {};
    };
    memory.Note = [bytes](bool& missed) {
        missed = bytes->first > 1.1 * bytes->second;
        return QStringLiteral("  history %1 MB, the copies added %2 MB, ratio %3 (goal <= 1.1)%4")
            .arg(Mb(bytes->first), 0, 'f', 1)
            .arg(Mb(bytes->second), 0, 'f', 1)
            .arg(bytes->first / bytes->second, 0, 'f', 3)
            .arg(missed ? QStringLiteral(" MISSED") : QString());
    };
    cases.push_back(memory);
    return cases;
}

// ---- The file browser listing a folder of 20,000 animations.
constexpr int BrowserFiles = 20000;
constexpr double BrowserMs = 200;

std::vector<TCase> BrowserCases(TContext& cx)
{
    const QString dir = cx.Path(QStringLiteral("many"));
    QDir().mkpath(dir);
    for (int i = 0; i < BrowserFiles; ++i) {
        QFile f(QDir(dir).filePath(QStringLiteral("anim%1.rtm").arg(i, 5, 10, QLatin1Char('0'))));
        if (!f.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot write the browser's folder %s\n", qPrintable(dir));
            return {};
        }
    }
    TF_FileBrowser* browser = Ctl<TF_FileBrowser>(*cx.Form, "F_FileBrowser");
    TCase list;
    list.Name = QStringLiteral("browser list");
    list.FloorName = QStringLiteral("read dir");
    list.BudgetName = QStringLiteral("budget");
    list.BudgetMs = BrowserMs;
    list.Prepare = [browser] { browser->SetRTMDir(QString()); };
    list.Run = [browser, dir] { browser->SetRTMDir(dir); };
    // The folder's names read and nothing else.
    list.Floor = [dir] {
        QDirIterator it(dir, QDir::Files);
        int n = 0;
        while (it.hasNext()) {
            it.next();
            n += !it.fileName().isEmpty();
        }
        (void)n;
    };
    list.Check = [browser]() -> QString {
        const int n = browser->RTMFileListBox->count();
        return n == BrowserFiles ? QString() : QStringLiteral("%1 files listed").arg(n);
    };
    return {list};
}

// ---- Hostile shapes: a linking chain as deep as the model has components, many proxies
// of one sub-model file, an animation of empty frames. Each with its peak memory.
std::vector<TCase> HostileCases(TContext& cx)
{
    constexpr int Components = 2000, Proxies = 200;
    TMainForm& f = *cx.Form;
    const QString chain = cx.Path(QStringLiteral("models/chain.p3d")), flat = cx.Path(QStringLiteral("models/flat.p3d"));
    const QString proxies = cx.Path(QStringLiteral("models/proxies.p3d")), one = cx.Path(QStringLiteral("models/one.p3d"));
    const QString empty = cx.Path(QStringLiteral("anims/empty.rtm"));
    const QString linkData = f.Editor().LinkDataDir;
    const QByteArray components = BenchInputs::ManyComponents(Components);
    const QByteArray sub = BenchInputs::Model(25000, 25000, 1);  // about 3 MB
    if (!WriteInput(chain, components) || !WriteInput(flat, components) ||
        !WriteInput(QDir(linkData).filePath(QStringLiteral("chain.lpv")), BenchInputs::ChainLinking(Components, false)) ||
        !WriteInput(QDir(linkData).filePath(QStringLiteral("flat.lpv")), BenchInputs::ChainLinking(Components, true)) ||
        !WriteInput(proxies, BenchInputs::ProxyModel(Proxies, "sub")) || !WriteInput(one, BenchInputs::ProxyModel(1, "sub")) ||
        !WriteInput(cx.Path(QStringLiteral("models/sub.p3d")), sub) || !WriteInput(empty, BenchInputs::EmptyFrames(16 << 20))) {
        std::fprintf(stderr, "cannot write the hostile inputs in %s\n", qPrintable(cx.Dir.path()));
        return {};
    }
    const auto clear = [&cx, &f] {
        ClearAll(f);
        cx.Dialogs.Messages.clear();
    };

    TCase deep;
    deep.Name = QStringLiteral("lpv chain 2k");
    deep.FloorName = QStringLiteral("2k flat");
    deep.GoalRatio = 2;
    deep.FileBytes = QFileInfo(chain).size();
    deep.Prepare = clear;
    deep.Run = [&f, chain] { f.LoadModel(chain); };
    deep.Floor = [&f, flat, clear] {
        f.LoadModel(flat);
        clear();
    };
    deep.Check = [&cx, &f]() -> QString {
        if (QString m = UnexpectedMessages(cx.Dialogs); !m.isEmpty())
            return m;
        int depth = 0;
        for (const TComponentNode& n : f.Editor().Forest().Nodes())
            depth = std::max(depth, n.Level + 1);
        return depth == Components ? QString() : QStringLiteral("the chain is %1 deep").arg(depth);
    };

    TCase many;
    many.Name = QStringLiteral("200 proxies");
    many.FloorName = QStringLiteral("1 proxy");
    // No time goal: drawing 200 placed copies of the sub-model is the work asked for.
    many.FileBytes = QFileInfo(proxies).size() + sub.size();
    many.PeakGoalFactor = 3;  // the files once, whatever the number of proxies
    many.PeakGoalOnFirstRun = true;
    many.Prepare = clear;
    many.Run = [&f, proxies] { f.LoadModel(proxies); };
    many.Floor = [&f, one, clear] {
        f.LoadModel(one);
        clear();
    };
    many.Check = [&cx, &f]() -> QString {
        if (QString m = UnexpectedMessages(cx.Dialogs); !m.isEmpty())
            return m;
        return f.Editor().Models().size() == size_t(Proxies + 1)
                   ? QString()
                   : QStringLiteral("%1 models loaded").arg(f.Editor().Models().size());
    };

    TCase frames;
    frames.Name = QStringLiteral("rtm 0 comps");
    frames.FloorName = QStringLiteral("raw read");
    frames.FileBytes = QFileInfo(empty).size();
    frames.PeakGoalFactor = 2;
    frames.PeakGoalOnFirstRun = true;
    frames.Prepare = clear;
    frames.Run = [&f, empty] { f.LoadAnimation(empty); };
    frames.Floor = [empty] { (void)ReadRaw(empty); };
    frames.Check = [&cx, &f, bytes = frames.FileBytes]() -> QString {
        if (QString m = UnexpectedMessages(cx.Dialogs); !m.isEmpty())
            return m;
        return Doc(f).AnimStepCount == (bytes - 28) / 4 ? QString() : QStringLiteral("%1 frames").arg(Doc(f).AnimStepCount);
    };
    // The same first load in a window of its own: what a user opening the file sees the
    // editor take, the frame grid over every frame included.
    TCase framesFresh;
    framesFresh.Name = QStringLiteral("rtm 0 comps window");
    const QString count = QString::number((frames.FileBytes - 28) / 4);
    framesFresh.Figure = [empty, count, size = frames.FileBytes]() -> TFigure {
        TFigure r;
        // A home of its own: the window opens on no earlier animation.
        const QTemporaryDir home;
        const double bytes = ChildFigure({QStringLiteral("anim-window"), empty, home.path(), count}, r.Error);
        if (!r.Error.isEmpty())
            return r;
        const double goal = 2.0 * double(size);
        r.Missed = bytes < 0 || bytes >= goal;
        r.Text = QStringLiteral("first load in the window: peak +%1 MB in a fresh process (file %2 MB, goal < %3 MB)")
                     .arg(Mb(bytes), 0, 'f', 1)
                     .arg(Mb(double(size)), 0, 'f', 1)
                     .arg(Mb(goal), 0, 'f', 1);
        return r;
    };
    // Names and colours of 20,000 components from a 20,000-line file: against reading the
    // file's text into lines, which every look-up needs first.
    constexpr int Named = 20000;
    auto named = std::make_shared<std::vector<std::unique_ptr<TSelection>>>();
    auto order = std::make_shared<std::vector<TSelection*>>();
    QString text = QStringLiteral("[Translation]\n");
    for (int i = 0; i < Named; ++i) {
        named->push_back(std::make_unique<TSelection>());
        named->back()->Name = QStringLiteral("Comp%1").arg(i);
        order->push_back(named->back().get());
        text += QStringLiteral("COMP%1=Shown %1\n").arg(Named - 1 - i);
    }
    auto ini = std::make_shared<TIniFile>();
    TCase names;
    names.Name = QStringLiteral("names 20k");
    names.FloorName = QStringLiteral("index 20k");
    // The file's keys indexed (its text taken and one key looked up, which indexes the
    // section), then each component looked up and its display name set: a few times the
    // index alone, where a search of the file per component took seconds.
    names.GoalRatio = 10;
    names.Prepare = [ini, text] { ini->SetText(text); };
    names.Run = [named, order, ini] { ApplyTranslation(*order, *ini); };
    names.Floor = [text] {
        TIniFile other;
        other.SetText(text);
        other.ReadString(QStringLiteral("Translation"), QStringLiteral("Comp0"), QString());
    };
    names.Check = [order]() -> QString {
        return order->back()->DisplayName == QStringLiteral("Shown %1").arg(Named - 1) ? QString()
                                                                                       : QStringLiteral("not applied");
    };

    // "new" naming every component of a 20,000-deep chain: against listing the names once.
    auto chainNodes = std::make_shared<TComponentNodes>();
    auto selected = std::make_shared<std::vector<int>>();
    for (int i = 0; i < Named; ++i) {
        chainNodes->push_back({(*order)[size_t(i)], i, false});
        selected->push_back(i);
    }
    TCase subtrees;
    subtrees.Name = QStringLiteral("new 20k deep");
    subtrees.FloorName = QStringLiteral("20k names");
    subtrees.GoalRatio = 3;
    auto listed = std::make_shared<QStringList>();
    subtrees.Run = [chainNodes, selected, listed] { *listed = SubtreeNames(*chainNodes, *selected); };
    subtrees.Floor = [chainNodes] {
        QStringList all;
        for (const TComponentNode& n : *chainNodes)
            all << n.Component->Name;
    };
    subtrees.Check = [listed]() -> QString {
        return listed->size() == Named ? QString() : QStringLiteral("%1 names").arg(listed->size());
    };
    return {deep, many, frames, framesFresh, names, subtrees};
}

// ---- Look-ups in large inputs, as the command line meets them: an animation naming every
// component of a model of 70,000, the report of 16,000 names a model lacks, 1,000 proxies
// whose files are missing beside 20,000 others, and settings and translation files of
// 64 MiB. Each against the same work where nothing is looked up many times over: the
// figure is the price of the look-ups (or of the file's size, which must be linear).
struct TCommandRun {
    int Code = -1;
    QString Out, Err;
};

TCommandRun RunCli(const QStringList& args)
{
    TCommandRun r;
    QTextStream out(&r.Out), err(&r.Err);
    r.Code = RunCommand(TCommandLine::Parse(args), out, err);
    SetDebugSink([](const QString&) {});  // a command puts the channel back when it ends
    return r;
}

// head, then as many of line(0), line(1), ... as fit in bytes.
QByteArray FilledText(const QByteArray& head, qint64 bytes, const std::function<QByteArray(int)>& line)
{
    QByteArray text = head;
    text.reserve(qsizetype(bytes));
    for (int i = 0;; ++i) {
        const QByteArray next = line(i);
        if (text.size() + next.size() > bytes)
            return text;
        text += next;
    }
}

std::vector<TCase> LookupCases(TContext& cx)
{
    constexpr int Many = 70000, Few = 7000, Missing = 16000, Proxies = 1000, CrowdFiles = 20000;
    // Just under the size over which such files are refused unread.
    constexpr qint64 Big = MaxTextFileSize - 64, Small = Big / 8;
    const auto path = [&cx](const char* name) { return cx.Path(QLatin1String(name)); };
    const QString plain = path("home-plain"), tiny = path("models/tiny.p3d");
    const QString many = path("models/shared70k.p3d"), manyAnim = path("anims/all70k.rtm");
    const QString few = path("models/shared7k.p3d"), fewAnim = path("anims/all7k.rtm");
    const QString crowd = path("crowd/proxies.p3d"), lone = path("crowd/one.p3d");
    const QString names = path("names16k.tsl");
    bool written = QDir().mkpath(plain) && WriteInput(tiny, BenchInputs::SharedComponents(1)) &&
                   WriteInput(many, BenchInputs::SharedComponents(Many)) &&
                   WriteInput(manyAnim, BenchInputs::Animation(Many, 2)) && WriteInput(few, BenchInputs::SharedComponents(Few)) &&
                   WriteInput(fewAnim, BenchInputs::Animation(Few, 2)) &&
                   WriteInput(crowd, BenchInputs::MissingProxies(Proxies, Proxies)) &&
                   WriteInput(lone, BenchInputs::MissingProxies(Proxies, 1));
    for (int i = 0; written && i < CrowdFiles; ++i)
        written = WriteInput(
            path("crowd/file_") + QString::number(i).rightJustified(5, QLatin1Char('0')) + QStringLiteral(".paa"), "x");
    // The missing names with a display name each, and as many components that have them.
    auto shown = std::make_shared<std::vector<std::unique_ptr<TSelection>>>();
    auto shownOrder = std::make_shared<std::vector<TSelection*>>();
    QStringList missingNames;
    QByteArray translation = "[Translation]\n";
    for (int i = 0; i < Missing; ++i) {
        const QByteArray name = BenchInputs::ComponentName(i, Missing);
        missingNames << QString::fromLatin1(name);
        translation += name + "=Shown " + name + "\n";
        shown->push_back(std::make_unique<TSelection>());
        shown->back()->Name = QString::fromLatin1(name);
        shownOrder->push_back(shown->back().get());
    }
    written = written && WriteInput(names, translation);
    // Settings and translation files of 64 MiB and of 8 MiB, made alike: the keys fill the
    // section the program looks in, so all of them are read and indexed.
    const auto home = [&](const char* name, qint64 bytes, bool names) {
        const QString dir = path(name);
        if (!names)
            return WriteInput(dir + QStringLiteral("/TorvaneAnim.ini"),
                              FilledText("[Layout]\nMainLeft=10\n[Settings]\nUndoSteps=50\n[Startup]\nShowAxes=0\n", bytes,
                                         [](int i) { return "Key_" + QByteArray::number(i).rightJustified(8, '0') + "=1\n"; }));
        const QString file = dir + QStringLiteral("/big.tsl");
        return WriteInput(dir + QStringLiteral("/TorvaneAnim.ini"), "[Settings]\nTranslationFile=" + file.toUtf8() + "\n") &&
               WriteInput(file, FilledText("[Translation]\n", bytes,
                                           [](int i) {
                                               return "Filler_" + QByteArray::number(i).rightJustified(8, '0') +
                                                      "=Nothing to see\n";
                                           }) +
                                    BenchInputs::ComponentName(0, 1) + "=Found\n");
    };
    written = written && home("home-set64", Big, false) && home("home-set8", Small, false) && home("home-tsl64", Big, true) &&
              home("home-tsl8", Small, true);
    if (!written) {
        std::fprintf(stderr, "cannot write the look-up inputs in %s\n", qPrintable(cx.Dir.path()));
        return {};
    }
    auto last = std::make_shared<TCommandRun>();
    const auto command = [last](QStringList args) { return [last, args] { *last = RunCli(args); }; };
    const auto expect = [last](int code, const char* inErr) {
        return [last, code, inErr]() -> QString {
            if (last->Code != code || (inErr && !last->Err.contains(QLatin1String(inErr))))
                return QStringLiteral("exit %1: %2").arg(last->Code).arg(last->Err.left(300));
            return {};
        };
    };

    TCase check;
    check.Name = QStringLiteral("check 70k");
    check.FloorName = QStringLiteral("10x 7k");
    check.GoalRatio = 3;  // per component, against a tenth of the components
    check.Run = command({QStringLiteral("--home"), plain, QStringLiteral("check"), many, manyAnim});
    check.Check = expect(ExitOk, nullptr);
    check.Floor = [plain, few, fewAnim] {
        for (int i = 0; i < 10; ++i)
            RunCli({QStringLiteral("--home"), plain, QStringLiteral("check"), few, fewAnim});
    };

    TCase report;
    report.Name = QStringLiteral("report 16k");
    report.FloorName = QStringLiteral("apply 16k");
    report.GoalRatio = 2;
    auto reported = std::make_shared<QString>();
    report.Run = [reported, missingNames, names] { *reported = MissingComponentsReport(missingNames, {}, names); };
    report.Check = [reported]() -> QString {
        const qsizetype lines = reported->count(QLatin1String("-> Shown Component_"));
        return lines == Missing ? QString() : QStringLiteral("%1 names reported").arg(lines);
    };
    report.Floor = [shown, shownOrder, names] { LoadTranslationFile(*shownOrder, names); };

    TCase proxies;
    proxies.Name = QStringLiteral("1k proxies");
    proxies.FloorName = QStringLiteral("1 proxy");  // of as many components, beside the same files
    proxies.GoalRatio = 2;
    proxies.Run = command({QStringLiteral("--home"), plain, QStringLiteral("info"), crowd});
    proxies.Check = expect(ExitOk, "part_0999.p3d not found!");
    proxies.Floor = [plain, lone] { RunCli({QStringLiteral("--home"), plain, QStringLiteral("info"), lone}); };

    const auto bigFile = [&](const char* name, const char* big, const char* small) {
        TCase c;
        c.Name = QLatin1String(name);
        c.FloorName = QStringLiteral("8x 8 MiB");
        c.GoalRatio = 2;
        c.FileBytes = Big;
        c.PeakGoalFactor = 4;
        c.PeakGoalOnFirstRun = true;
        c.Run = command({QStringLiteral("--home"), path(big), QStringLiteral("info"), tiny});
        c.Check = expect(ExitOk, nullptr);
        c.Floor = [home = path(small), tiny] {
            for (int i = 0; i < 8; ++i)
                RunCli({QStringLiteral("--home"), home, QStringLiteral("info"), tiny});
        };
        return c;
    };
    TCase settings = bigFile("settings 64M", "home-set64", "home-set8");
    TCase names64 = bigFile("names 64M", "home-tsl64", "home-tsl8");
    names64.Check = [last]() -> QString {
        return last->Code == ExitOk && last->Out.contains(QLatin1String("Found"))
                   ? QString()
                   : QStringLiteral("the name was not applied: ") + last->Err.left(300);
    };
    return {check, report, proxies, settings, names64};
}

// ---- Export: the model with its whole animation as glTF through "Export glTF...", against
// writing as many bytes raw (atomically, as the export writes).
std::vector<TCase> ExportCases(TContext& cx)
{
    constexpr int polygons = 100000, components = 50, frames = 1000;
    const QString model = cx.Path(QStringLiteral("models/export.p3d"));
    const QString anim = cx.Path(QStringLiteral("anims/export.rtm"));
    if (!WriteInput(model, BenchInputs::Model(polygons, polygons, components)) ||
        !WriteInput(QDir(cx.Form->Editor().LinkDataDir).filePath(QStringLiteral("export.lpv")),
                    BenchInputs::Linking(components)) ||
        !WriteInput(anim, BenchInputs::PosedAnimation(components, frames))) {
        std::fprintf(stderr, "cannot write the export inputs in %s\n", qPrintable(cx.Dir.path()));
        return {};
    }
    TMainForm& f = *cx.Form;
    ClearAll(f);
    f.LoadModel(model);
    f.LoadAnimation(anim);
    f.Editor().Anim().SetActStep(1);
    cx.Dialogs.Messages.clear();
    const QString out = cx.Path(QStringLiteral("export/out.glb"));
    const QString raw = cx.Path(QStringLiteral("export/raw.glb"));
    QDir().mkpath(QFileInfo(out).absolutePath());
    auto bytes = std::make_shared<QByteArray>();

    TCase gltf;
    gltf.Name = QStringLiteral("glTF export");
    gltf.FloorName = QStringLiteral("raw write");
    gltf.GoalRatio = 1.5;
    gltf.Prepare = [&cx, out] {
        cx.Dialogs.Files.enqueue(out);
        cx.Dialogs.Messages.clear();
    };
    QAction* exportGltf = Ctl<QAction>(f, "ExportGltf1");
    gltf.Run = [exportGltf] { exportGltf->trigger(); };
    gltf.Check = [&cx, &f, out, bytes]() -> QString {
        if (QString m = UnexpectedMessages(cx.Dialogs); !m.isEmpty())
            return m;
        const QByteArray file = ReadRaw(out);
        if (!file.startsWith("glTF") || Doc(f).AnimStepCount != frames || MainModel(f)->Polygons.size() != size_t(polygons))
            return QStringLiteral("no glTF of the %1-polygon model written").arg(polygons);
        if (bytes->size() != file.size())
            *bytes = QByteArray(file.size(), 'x');
        return {};
    };
    gltf.Floor = [raw, bytes] { WriteFileAtomic(raw, *bytes); };
    return {gltf};
}

// ---- Autosave of the large animation: what the window's thread spends on a copy (the
// scheduler asked, the document copied, the copy handed to the writer's thread), against
// the frame budget and a raw copy of the file's bytes; once into the memory of the copy
// before, as every copy after the first, and once into fresh memory, as the first copy
// after a save. Then the writer thread's work, timed here, against a raw atomic write of
// the same bytes.
std::vector<TCase> AutosaveCases(TContext& cx)
{
    const QString path = cx.Path(QStringLiteral("anims/bench.rtm"));
    if (!QFileInfo::exists(path) && !WriteInput(path, BenchInputs::Animation(AnimComponents, AnimFrames))) {
        std::fprintf(stderr, "cannot write the animation input in %s\n", qPrintable(cx.Dir.path()));
        return {};
    }
    struct TAutosave {
        TRecoveryStore Store;
        TAutosaveWriter Writer{Store};
        TAutosaveScheduler Scheduler{Writer};
        QByteArray Bytes;
        explicit TAutosave(const QString& root) : Store(root) {}
    };
    TMainForm& f = *cx.Form;
    auto a = std::make_shared<TAutosave>(cx.Path(QStringLiteral("recovery")));
    a->Bytes = ReadRaw(path);
    TRecoveryManifest manifest;
    manifest.Document = path;
    a->Scheduler.Unsaved = [] { return true; };
    // The worst case: the animation and all three of the model's files unsaved.
    a->Scheduler.Snapshot = [&f, manifest](TAutosaveSnapshot& s) {
        s.Document = Doc(f);
        s.Model = {f.Editor().ModelFileBytes(FileLinking), f.Editor().ModelFileBytes(FileNames),
                   f.Editor().ModelFileBytes(FileColors)};
        s.Manifest = manifest;
        return true;
    };
    const auto prepare = [&cx, &f, a, path](bool fresh) {
        if (fresh)
            a->Writer.RemoveCopy();  // as a save does: the memory kept for copies goes
        a->Writer.WaitIdle();
        if (Doc(f).AnimStepCount != AnimFrames)
            f.LoadAnimation(path);
        cx.Dialogs.Messages.clear();
        a->Scheduler.Changed();
    };
    // The copy holds the document as loaded: its file's bytes.
    const auto check = [a]() -> QString {
        a->Writer.WaitIdle();
        if (!a->Writer.LastError().isEmpty())
            return a->Writer.LastError();
        const QDir own(a->Store.OwnFolder());
        const QStringList files = own.entryList({QStringLiteral("animation-*.rtm")}, QDir::Files);
        return files.size() == 1 && ReadRaw(own.filePath(files[0])) == a->Bytes
                   ? QString()
                   : QStringLiteral("the copy differs from the file");
    };

    std::vector<TCase> cases;
    for (const bool fresh : {false, true}) {
        TCase c;
        c.Name = fresh ? QStringLiteral("autosave 1st") : QStringLiteral("autosave gui");
        c.FloorName = QStringLiteral("raw copy");
        c.GoalRatio = 2;
        c.BudgetName = QStringLiteral("frame");
        c.BudgetMs = FrameMs;
        c.MinRuns = 11;
        c.Prepare = [prepare, fresh] { prepare(fresh); };
        // On a busy machine the wall clock also counts the waits for a processor; the
        // thread's own processor time says what the copy costs it.
        auto cpu = std::make_shared<std::vector<double>>();
        c.Run = [a, cpu] {
            timespec from{}, to{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &from);
            a->Scheduler.FocusLost();
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &to);
            cpu->push_back(double(to.tv_sec - from.tv_sec) * 1e3 + double(to.tv_nsec - from.tv_nsec) / 1e6);
        };
        c.Note = [cpu](bool& missed) {
            const double ms = Bench::Median(*cpu);
            missed = ms > FrameMs;
            return QStringLiteral("  processor time %1 ms (goal <= %2)%3")
                .arg(ms, 0, 'f', 1)
                .arg(FrameMs)
                .arg(missed ? " MISSED" : "");
        };
        c.Floor = [a] {
            QByteArray copy(a->Bytes.size(), Qt::Uninitialized);
            std::memcpy(copy.data(), a->Bytes.constData(), size_t(a->Bytes.size()));
        };
        c.Check = check;
        cases.push_back(c);
    }

    TCase write;
    write.Name = QStringLiteral("autosave write");
    write.FloorName = QStringLiteral("raw write");
    write.GoalRatio = 1.5;
    write.Prepare = [prepare] { prepare(false); };
    write.Run = [&f, a, manifest] { a->Store.Write(Doc(f), {}, manifest); };
    // The floor writes the same two files, each synced: the animation and a manifest.
    const QString raw = cx.Path(QStringLiteral("anims/raw-autosave.rtm"));
    write.Floor = [a, raw] {
        WriteFileAtomic(raw, a->Bytes);
        WriteFileAtomic(raw + QStringLiteral(".json"), QByteArray(160, ' '));
    };
    write.Check = check;
    cases.push_back(write);
    return cases;
}

struct TGroup {
    const char* Name;
    std::vector<TCase> (*Make)(TContext&);
};
// In this order: the animation is loaded onto the model when both groups run.
const TGroup Groups[] = {
    {"p3d", ModelCases},      {"rtm", AnimationCases},   {"refresh", RefreshCases}, {"hostile", HostileCases},
    {"lookups", LookupCases}, {"paint3d", Paint3dCases}, {"frames", FrameCases},    {"timer", TimerCases},
    {"undo", UndoCases},      {"browser", BrowserCases}, {"export", ExportCases},   {"autosave", AutosaveCases},
};

struct TResult {
    double Ms = 0;
    double FloorMs = 0;
    double PeakBytes = -1;
    double FirstPeakBytes = -1;  // of the first, untimed run
    QString Spread;  // of the runs' ratios
    QString Error;
};

TResult Measure(TContext& cx, const TCase& c)
{
    TResult r;
    if (c.Figure)
        return r;
    auto prepare = [&] {
        Drain();
        if (c.Prepare)
            c.Prepare();
        Drain();
    };
    // One run untimed: the inputs come into the file cache and lazy set-ups happen, so the
    // operation and its floor start alike.
    prepare();
    // The first run also shows what memory a fresh process needs: later runs may reuse
    // what the allocator and the views kept from it.
    const qint64 firstBase = c.FileBytes > 0 ? Bench::ResetPeak() : -1;
    c.Run();
    if (firstBase >= 0)
        r.FirstPeakBytes = double(Bench::PeakResident() - firstBase);
    if (c.Check)
        r.Error = c.Check();
    if (c.Floor)
        c.Floor();
    if (!r.Error.isEmpty())
        return r;

    std::vector<double> times, floors, peaks;
    const int runs = std::max(cx.Runs, c.MinRuns);
    for (int i = 0; i < runs; ++i) {
        prepare();
        qint64 base = -1;
        if (c.FileBytes > 0)
            base = Bench::ResetPeak();
        else
            Bench::TrimHeap();
        times.push_back(Bench::TimeMs(c.Run));
        const qint64 peak = base >= 0 ? Bench::PeakResident() : -1;
        if (base >= 0 && peak >= 0)
            peaks.push_back(double(peak - base));
        if (c.Check)
            r.Error = c.Check();
        if (!r.Error.isEmpty())
            return r;
        Drain();
        Bench::TrimHeap();
        // Floors alternate with the runs, so a busy moment on the machine hits both.
        floors.push_back(c.Floor ? Bench::TimeMs(c.Floor) : c.FloorValue ? c.FloorValue() : c.FloorMs);
    }
    r.Ms = Bench::Median(times);
    r.FloorMs = Bench::Median(floors);
    r.Spread = RatioSpread(times, floors);
    if (!peaks.empty())
        r.PeakBytes = Bench::Median(peaks);
    return r;
}

// "rtm load  123.4 ms  raw read  45.6 ms  ratio 2.71  (goal <= 3)  peak +25.1 MB (file 16.0 MB, goal < 32.0 MB)"
// with "MISSED" after a goal the figure does not meet. Returns the number of goals missed.
int Print(const TCase& c, const TResult& r)
{
    if (c.Figure) {
        const TFigure f = c.Figure();
        if (!f.Error.isEmpty()) {
            std::printf("%-10s FAILED: %s\n", qPrintable(c.Name), qPrintable(f.Error));
            return 1;
        }
        std::printf("%s %s%s\n", qPrintable(c.Name.leftJustified(12)), qPrintable(f.Text), f.Missed ? " MISSED" : "");
        std::fflush(stdout);
        return f.Missed ? 1 : 0;
    }
    if (!r.Error.isEmpty()) {
        std::printf("%-10s FAILED: %s\n", qPrintable(c.Name), qPrintable(r.Error));
        return 1;
    }
    int missed = 0;
    QString note;
    if (c.Note) {
        bool noteMissed = false;
        note = c.Note(noteMissed);
        missed += noteMissed ? 1 : 0;
    }
    const double ratio = r.FloorMs > 0 ? r.Ms / r.FloorMs : 0;
    QString line = QStringLiteral("%1 %2 ms  %3 %4 ms  ratio %5")
                       .arg(c.Name, -12)
                       .arg(r.Ms, 8, 'f', 1)
                       .arg(c.FloorName, -9)
                       .arg(r.FloorMs, 7, 'f', 1)
                       .arg(ratio, 5, 'f', 2);
    if (c.FloorMs == 0 && c.FloorName.size())
        line += r.Spread;
    if (c.GoalRatio > 0) {
        line += QStringLiteral("  (goal <= %1)").arg(c.GoalRatio);
        if (ratio > c.GoalRatio) {
            line += QStringLiteral(" MISSED");
            ++missed;
        }
    }
    if (c.BudgetMs > 0) {
        const double share = r.Ms / c.BudgetMs;
        line += QStringLiteral("  %1 %2 ms  ratio %3 (goal <= 1)").arg(c.BudgetName).arg(c.BudgetMs).arg(share, 0, 'f', 2);
        if (share > 1) {
            line += QStringLiteral(" MISSED");
            ++missed;
        }
    }
    if (c.FileBytes > 0) {
        if (r.PeakBytes < 0) {
            line += QStringLiteral("  peak n/a (no /proc/self/clear_refs)");
        } else {
            line += QStringLiteral("  peak +%1 MB, first run +%2 MB (file %3 MB")
                        .arg(Mb(r.PeakBytes), 0, 'f', 1)
                        .arg(Mb(r.FirstPeakBytes), 0, 'f', 1)
                        .arg(Mb(double(c.FileBytes)), 0, 'f', 1);
            if (c.PeakGoalFactor > 0) {
                const double limit = c.PeakGoalFactor * double(c.FileBytes);
                line += QStringLiteral(", goal < %1 MB)").arg(Mb(limit), 0, 'f', 1);
                if ((c.PeakGoalOnFirstRun ? std::max(r.PeakBytes, r.FirstPeakBytes) : r.PeakBytes) >= limit) {
                    line += QStringLiteral(" MISSED");
                    ++missed;
                }
            } else {
                line += QLatin1Char(')');
            }
        }
    }
    line += note;
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
    return missed;
}

}  // namespace

int main(int argc, char** argv)
{
    // An animation's fresh load or raw read, for the animation figures.
    if (argc == 4 && std::strcmp(argv[1], "--rtm-child") == 0)
        return ChildMain(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0) {
        // Only the window's figure needs a GUI application.
        if (argc > 2 && (std::strcmp(argv[2], "window") == 0 || std::strcmp(argv[2], "anim-window") == 0 ||
                         std::strcmp(argv[2], "command-peak") == 0)) {
            if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            QApplication app(argc, argv);
            return RunChild(QCoreApplication::arguments().mid(2));
        }
        QCoreApplication app(argc, argv);
        return RunChild(QCoreApplication::arguments().mid(2));
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    TContext cx;
    bool keep = false;
    QStringList only;
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            cx.Runs = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--keep"))
            keep = true;
        else if (args[i].startsWith(QLatin1Char('-'))) {
            std::fprintf(stderr, "usage: torvane-bench [--runs N] [--keep] "
                                 "[p3d|rtm|refresh|hostile|lookups|paint3d|frames|timer|undo|browser|export|autosave...]\n");
            return 2;
        } else
            only << args[i];
    }
    if (!cx.Dir.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    cx.Dir.setAutoRemove(!keep);

    // The readers' progress lines would cost a terminal write each and bury the table.
    SetDebugSink([](const QString&) {});
    cx.Form = std::make_unique<TMainForm>(TAppPaths::FromHome(cx.Dir.path()));
    cx.Form->show();
    Drain();

    std::printf("torvane-bench: median of %d runs, inputs in %s%s\n", cx.Runs, qPrintable(cx.Dir.path()), keep ? " (kept)" : "");
    int missed = 0;
    for (const TGroup& g : Groups) {
        if (!only.isEmpty() && !only.contains(QLatin1String(g.Name)))
            continue;
        const std::vector<TCase> cases = g.Make(cx);
        for (const TCase& c : cases)
            missed += Print(c, Measure(cx, c));
    }
    std::printf("process peak resident %.1f MB (highest seen), now %.1f MB; %d goal%s missed\n",
                Mb(double(Bench::HighestResident())), Mb(double(Bench::CurrentResident())), missed, missed == 1 ? "" : "s");

    // The exit question is answered; settings land in the temporary home.
    cx.Dialogs.Answers.enqueue(true);
    cx.Form->close();
    cx.Form.reset();
    SetDebugSink({});
    return 0;  // a missed goal is news, not a failure
}
