// torvane-bench: times the editor's file operations on large inputs it generates itself
// and prints each figure next to a floor measured in the same run, so the ratios hold on
// any machine. Every operation goes through the main window, as the menu commands do.
//
// usage: torvane-bench [--runs N] [--keep] [GROUP...]   (groups: p3d rtm refresh)
#include "Inputs.h"
#include "Measure.h"

#include "app/Main.h"
#include "model/ComponentTree.h"
#include "model/P3dmodell.h"
#include "platform/DebugOut.h"
#include "platform/FileUtil.h"
#include "support/ScriptedDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTreeWidgetItem>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int AnimComponents = 100;
constexpr int AnimFrames = 2000;
constexpr int ModelVertices = 100000;
constexpr int ModelPolygons = 100000;
constexpr int ModelSelections = 100;
// A refresh is measured against the edit tick: it has to fit in one.
[[maybe_unused]] constexpr double EditTickMs = 50;

struct TContext {
    QTemporaryDir Dir;
    ScriptedDialogs Dialogs;
    std::unique_ptr<TMainForm> Form;
    int Runs = 5;
    QString Path(const QString& name) const { return QDir(Dir.path()).filePath(name); }
};

// One figure of the table.
struct TCase {
    QString Name;       // "rtm load"
    QString FloorName;  // "raw read"
    double GoalRatio = 0;        // the figure may take at most this many floors; 0: none
    qint64 FileBytes = 0;        // > 0: the operation's peak memory is measured too
    double PeakGoalFactor = 0;   // the peak must stay under this many file sizes; 0: none
    std::function<void()> Prepare;   // untimed, before every run
    std::function<void()> Run;       // the operation timed
    std::function<void()> Floor;     // the floor timed; empty: FloorMs
    double FloorMs = 0;              // a fixed floor, such as the edit tick
    std::function<QString()> Check;  // after every run: "" or what went wrong
};

void Drain()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
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
bool TreeSorted(const QTreeWidgetItem* root)
{
    for (int i = 1; i < root->childCount(); ++i)
        if (QString::localeAwareCompare(root->child(i - 1)->text(0), root->child(i)->text(0)) > 0)
            return false;
    for (int i = 0; i < root->childCount(); ++i)
        if (!TreeSorted(root->child(i)))
            return false;
    return true;
}

// ---- Models: reader, tree, proxies, linking file and sort, as "Load P3d..." runs them.
std::vector<TCase> ModelCases(TContext& cx)
{
    const QString path = cx.Path(QStringLiteral("models/bench.p3d"));
    if (!WriteInput(path, BenchInputs::Model(ModelVertices, ModelPolygons, ModelSelections)) ||
        !WriteInput(QDir(cx.Form->Paths.LinkDataDir).filePath(QStringLiteral("bench.lpv")),
                    BenchInputs::Linking(ModelSelections))) {
        std::fprintf(stderr, "cannot write the model inputs in %s\n", qPrintable(cx.Dir.path()));
        return {};
    }
    const qint64 size = QFileInfo(path).size();
    TMainForm& f = *cx.Form;

    TCase load;
    load.Name = QStringLiteral("p3d load");
    load.FloorName = QStringLiteral("raw read");
    load.GoalRatio = 3;
    load.FileBytes = size;
    load.PeakGoalFactor = 2;
    load.Prepare = [&cx, &f] {
        f.ClearAnimation();
        f.ClearModel();
        cx.Dialogs.Messages.clear();
    };
    load.Run = [&f, path] { f.LoadModel(path); };
    load.Floor = [path] { (void)ReadRaw(path); };
    load.Check = [&cx, &f]() -> QString {
        if (QString m = UnexpectedMessages(cx.Dialogs); !m.isEmpty())
            return m;
        const TP3dModell* m = f.MainModel();
        if (!m || m->Status != TP3dModell::ReadStatus::Ok || m->Vertices.size() != size_t(ModelVertices) ||
            m->Polygons.size() != size_t(ModelPolygons))
            return QStringLiteral("the model was not read whole");
        if (f.TreeNodes().size() != size_t(ModelSelections))
            return QStringLiteral("the tree holds %1 nodes").arg(f.TreeNodes().size());
        if (f.TV_EditComponents->topLevelItemCount() != 1 || !f.StatusText(5).endsWith(QLatin1String("LOADED")) ||
            f.StatusText(5).contains(QLatin1String("NOT")))
            return QStringLiteral("the linking file was not applied");
        if (!TreeSorted(f.TV_EditComponents->invisibleRootItem()))
            return QStringLiteral("the tree is not sorted");
        return {};
    };
    return {load};
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
        if (!f.MainModel() && cx.Dialogs.Messages.size() == 1 &&
            cx.Dialogs.Messages[0].startsWith(QLatin1String("following Animation Components were not found")))
            cx.Dialogs.Messages.clear();
        if (QString m = UnexpectedMessages(cx.Dialogs); !m.isEmpty())
            return m;
        if (f.Doc.AnimStepCount != AnimFrames || f.Doc.AnimSelections.Count() != AnimComponents)
            return QStringLiteral("the document holds %1 frames of %2 components")
                .arg(f.Doc.AnimStepCount)
                .arg(f.Doc.AnimSelections.Count());
        return {};
    };

    TCase load;
    load.Name = QStringLiteral("rtm load");
    load.FloorName = QStringLiteral("raw read");
    load.GoalRatio = 3;
    load.FileBytes = size;
    load.PeakGoalFactor = 2;
    load.Prepare = [&cx, &f] {
        f.ClearAnimation();
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
    save.GoalRatio = 3;
    save.FileBytes = size;  // shown, no goal: the save holds the file it writes
    save.Prepare = [&cx, &f, path] {
        if (f.Doc.AnimStepCount != AnimFrames)
            f.LoadAnimation(path);
        cx.Dialogs.Messages.clear();
    };
    save.Run = [&f, saved] { f.SaveAnimationTo(saved); };
    save.Floor = [raw, bytes] { WriteFileAtomic(raw, bytes); };
    save.Check = [&cx, saved, bytes]() -> QString {
        if (QString m = UnexpectedMessages(cx.Dialogs); !m.isEmpty())
            return m;
        return ReadRaw(saved) == bytes ? QString() : QStringLiteral("the saved file differs from the one loaded");
    };
    return {load, save};
}

// ---- Display refreshes: each case times one refresh of the views (the posing plus the
// paint it causes) with FloorMs = EditTickMs and GoalRatio = 1, so the ratio says how much
// of an edit tick the refresh takes. None are measured yet.
std::vector<TCase> RefreshCases(TContext&) { return {}; }

struct TGroup {
    const char* Name;
    std::vector<TCase> (*Make)(TContext&);
};
// In this order: the animation is loaded onto the model when both groups run.
const TGroup Groups[] = {
    {"p3d", ModelCases},
    {"rtm", AnimationCases},
    {"refresh", RefreshCases},
};

struct TResult {
    double Ms = 0;
    double FloorMs = 0;
    double PeakBytes = -1;
    QString Error;
};

TResult Measure(TContext& cx, const TCase& c)
{
    TResult r;
    auto prepare = [&] {
        Drain();
        if (c.Prepare)
            c.Prepare();
        Drain();
    };
    // One run untimed: the inputs come into the file cache and lazy set-ups happen, so the
    // operation and its floor start alike.
    prepare();
    c.Run();
    if (c.Check)
        r.Error = c.Check();
    if (c.Floor)
        c.Floor();
    if (!r.Error.isEmpty())
        return r;

    std::vector<double> times, floors, peaks;
    for (int i = 0; i < cx.Runs; ++i) {
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
        floors.push_back(c.Floor ? Bench::TimeMs(c.Floor) : c.FloorMs);
    }
    r.Ms = Bench::Median(times);
    r.FloorMs = Bench::Median(floors);
    if (!peaks.empty())
        r.PeakBytes = Bench::Median(peaks);
    return r;
}

double Mb(double bytes) { return bytes / 1e6; }

// "rtm load  123.4 ms  raw read  45.6 ms  ratio 2.71  (goal <= 3)  peak +25.1 MB (file 16.0 MB, goal < 32.0 MB)"
// with "MISSED" after a goal the figure does not meet. Returns the number of goals missed.
int Print(const TCase& c, const TResult& r)
{
    if (!r.Error.isEmpty()) {
        std::printf("%-10s FAILED: %s\n", qPrintable(c.Name), qPrintable(r.Error));
        return 1;
    }
    int missed = 0;
    const double ratio = r.FloorMs > 0 ? r.Ms / r.FloorMs : 0;
    QString line = QStringLiteral("%1 %2 ms  %3 %4 ms  ratio %5")
                       .arg(c.Name, -10)
                       .arg(r.Ms, 8, 'f', 1)
                       .arg(c.FloorName, -9)
                       .arg(r.FloorMs, 7, 'f', 1)
                       .arg(ratio, 5, 'f', 2);
    if (c.GoalRatio > 0) {
        line += QStringLiteral("  (goal <= %1)").arg(c.GoalRatio);
        if (ratio > c.GoalRatio) {
            line += QStringLiteral(" MISSED");
            ++missed;
        }
    }
    if (c.FileBytes > 0) {
        if (r.PeakBytes < 0) {
            line += QStringLiteral("  peak n/a (no /proc/self/clear_refs)");
        } else {
            line += QStringLiteral("  peak +%1 MB (file %2 MB").arg(Mb(r.PeakBytes), 0, 'f', 1).arg(Mb(double(c.FileBytes)), 0, 'f', 1);
            if (c.PeakGoalFactor > 0) {
                const double limit = c.PeakGoalFactor * double(c.FileBytes);
                line += QStringLiteral(", goal < %1 MB)").arg(Mb(limit), 0, 'f', 1);
                if (r.PeakBytes >= limit) {
                    line += QStringLiteral(" MISSED");
                    ++missed;
                }
            } else {
                line += QLatin1Char(')');
            }
        }
    }
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
    return missed;
}

}  // namespace

int main(int argc, char** argv)
{
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
            std::fprintf(stderr, "usage: torvane-bench [--runs N] [--keep] [p3d|rtm|refresh...]\n");
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

    std::printf("torvane-bench: median of %d runs, inputs in %s%s\n", cx.Runs, qPrintable(cx.Dir.path()),
                keep ? " (kept)" : "");
    int missed = 0;
    for (const TGroup& g : Groups) {
        if (!only.isEmpty() && !only.contains(QLatin1String(g.Name)))
            continue;
        const std::vector<TCase> cases = g.Make(cx);
        for (const TCase& c : cases)
            missed += Print(c, Measure(cx, c));
    }
    std::printf("process peak resident %.1f MB (highest seen), now %.1f MB; %d goal%s missed\n",
                Mb(double(Bench::HighestResident())), Mb(double(Bench::CurrentResident())), missed,
                missed == 1 ? "" : "s");

    // The exit question is answered; settings land in the temporary home.
    cx.Dialogs.Answers.enqueue(true);
    cx.Form->close();
    cx.Form.reset();
    SetDebugSink({});
    return 0;  // a missed goal is news, not a failure
}
