// The editor's long work (a model load, an animation load, a save, an export, a glTF
// import) through a runner as the window's: cancelled at any point it leaves the session
// and the files as they were; run through, its progress rises to 1. The runner here cancels
// at a reported fraction, so no test waits on a clock.
#include "app/TestModels.h"
#include "editor/Editor.h"
#include "filebuild/RtmBuilder.h"
#include "model/P3dModel.h"
#include "platform/Progress.h"
#include "support/TestMain.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

namespace {
constexpr int CrowdBoxes = 4000;  // about 3 MB of model: a dozen pieces for the reader
constexpr int WalkFrames = 20000;  // about 3 MB of animation: a few megabytes for the reader

// The robot with a crowd of boxes beside it, in a selection of their own.
QByteArray CrowdedRobot()
{
    TP3dBuilder b = Robot();
    TP3dBuilder::Range crowd;
    for (int i = 0; i < CrowdBoxes; ++i) {
        const TP3dBuilder::Range box = b.AddBox(float(i), 5, 0, float(i) + 0.5f, 5.5f, 0.5f);
        crowd.Points.insert(crowd.Points.end(), box.Points.begin(), box.Points.end());
        crowd.Polygons.insert(crowd.Polygons.end(), box.Polygons.begin(), box.Polygons.end());
    }
    b.AddSelection("crowd", crowd);
    return b.Build();
}

// Runs the work in place with a progress whose reports it keeps; it cancels task CancelIn
// (counted from 0) before the work when CancelAt is 0, else at the first report that
// reaches CancelAt.
struct TRunner {
    double CancelAt = 2;  // never
    qsizetype CancelIn = 0;
    QList<double> Reports;
    QStringList Texts;
    bool operator()(const TLongTask& task)
    {
        Texts << task.Text;
        const double cancelAt = Texts.size() - 1 == CancelIn ? CancelAt : 2;
        TProgress progress([this, &progress, cancelAt](double f) {
            Reports << f;
            if (f >= cancelAt)
                progress.Cancel();
        });
        if (cancelAt <= 0)
            progress.Cancel();
        return task.Work(&progress);
    }
};

QByteArray Hash(const void* data, size_t size)
{
    return QCryptographicHash::hash(QByteArrayView(static_cast<const char*>(data), qsizetype(size)), QCryptographicHash::Md5)
        .toHex();
}

// Everything a cancelled operation must leave alone: the models and the hierarchy, the
// document, the history, and every file in the folder (temporary ones included).
QStringList State(const TEditor& e, const QString& folder)
{
    QStringList s;
    s << "model " + e.ModelFileName() << QStringLiteral("models %1").arg(e.Models().size());
    for (const TComponentNode& n : e.Forest().Nodes()) {
        const TSelection* c = n.Component;
        s << QStringLiteral("%1%2 %3 %4,%5,%6")
                 .arg(QString(n.Level, '-'), c->Name)
                 .arg(c->Hidden)
                 .arg(c->Pivot[0])
                 .arg(c->Pivot[1])
                 .arg(c->Pivot[2]);
    }
    const TAnimDocument& doc = e.Document();
    s << "anim " + doc.AnimFileName
      << QStringLiteral("steps %1 at %2 move %3").arg(doc.AnimStepCount).arg(doc.ActAnimStep).arg(doc.TotalMove[0]);
    s << "times " + Hash(doc.AnimFrames.Times().data(), doc.AnimFrames.Times().size_bytes());
    s << "entries " + Hash(doc.AnimFrames.AllEntries().data(), doc.AnimFrames.AllEntries().size_bytes());
    s << QStringLiteral("undo %1 \"%2\" of %3, unsaved %4 %5")
             .arg(e.History().CanUndo())
             .arg(e.History().UndoName())
             .arg(e.History().Count())
             .arg(e.AnimationUnsaved())
             .arg(e.ModelUnsaved());
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
         it.hasNext();) {
        QFile f(it.next());
        s << "file " + it.fileName() + " " +
                 (f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Md5).toHex() : "?");
    }
    return s;
}

// The session the operations start from: the crowded robot, linked, with a long walk whose
// total move was changed afterwards (unsaved, one step to undo).
struct TSession {
    QTemporaryDir Dir;
    QDir D{Dir.path()};
    TEditor E;
    QStringList Messages;
    bool Build()
    {
        const QByteArray robot = CrowdedRobot();
        if (!WriteBytesFile(D.filePath("robot.p3d"), robot) || !WriteBytesFile(D.filePath("other.p3d"), robot) ||
            !Lamp().WriteTo(D.filePath("lamp.p3d")) || !WriteBytesFile(D.filePath("LinkData/robot.lpv"), RobotLinks()) ||
            !WriteBytesFile(D.filePath("walk.rtm"), RtmBuild::Build(RtmBuild::TFile::Regular({"arm", "hand"}, WalkFrames))) ||
            !WriteBytesFile(D.filePath("run.rtm"), RtmBuild::Build(RtmBuild::TFile::Regular({"leg", "body"}, WalkFrames))))
            return false;
        E.Message = [this](const QString& m) { Messages << m; };
        E.LinkDataDir = D.filePath("LinkData");
        if (!E.LoadModel(D.filePath("robot.p3d")) || !E.LoadAnimation(D.filePath("walk.rtm")))
            return false;
        E.Anim().SetTotalMove(0, 2.5f);
        E.CloseStep();
        return Messages.isEmpty() && E.AnimationUnsaved();
    }
};

// A glTF file of the long walk, made once, outside the sessions' folders.
QString WalkGlb()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        TSession s;
        TExportRequest r;
        r.Path = dir.filePath("walk.glb");
        r.Format = TExportFormat::Glb;
        r.Animate = true;
        if (s.Build()) {
            s.E.Pose();
            s.E.Export(r);
        }
        return r.Path;
    }();
    return path;
}

// The operations, each as the window calls it; cancelled says whether it reported a cancel.
using TOp = std::function<void(TEditor&, const QDir&, bool& cancelled)>;
std::vector<std::pair<const char*, TOp>> Ops()
{
    const auto exportAs = [](TExportFormat format, const char* name) {
        return TOp([format, name](TEditor& e, const QDir& d, bool& c) {
            TExportRequest r;
            r.Path = d.filePath(name);
            r.Format = format;
            r.Animate = format != TExportFormat::Obj;
            e.Pose();
            const TExportResult result = e.Export(r);
            QCOMPARE(result.Error, QString());
            c = result.Cancelled;
        });
    };
    return {
        {"model load", [](TEditor& e, const QDir& d, bool& c) { e.LoadModel(d.filePath("other.p3d"), &c); }},
        {"animation load", [](TEditor& e, const QDir& d, bool& c) { e.LoadAnimation(d.filePath("run.rtm"), nullptr, &c); }},
        {"save", [](TEditor& e, const QDir& d, bool& c) { QCOMPARE(e.SaveAnimation(d.filePath("walk.rtm"), &c), QString()); }},
        {"gltf export", exportAs(TExportFormat::Gltf, "robot.gltf")},
        {"obj export", exportAs(TExportFormat::Obj, "robot.obj")},
        {"gltf import", [](TEditor& e, const QDir&, bool& c) { QCOMPARE(e.ImportGltf(WalkGlb(), {}, &c).Error, QString()); }},
    };
}
}  // namespace

class LongWorkTest : public QObject {
    Q_OBJECT
private slots:
    // Cancelled before the work starts or midway, an operation changes nothing: no model,
    // frame, step or file. Cancelled at its last report it either still changes nothing
    // (a load's result dropped, a file not yet in place) or is done: never half of each.
    void cancelChangesNothing_data()
    {
        QTest::addColumn<TOp>("op");
        QTest::addColumn<double>("cancelAt");
        QTest::addColumn<int>("cancelIn");
        for (const auto& [name, op] : Ops())
            for (const auto& [when, at] : {std::pair{"before", 0.0}, {"midway", 0.3}, {"at the end", 1.0}})
                QTest::addRow("%s, %s", name, when) << op << at << 0;
        // Its file is read before the proxy question, the other proxies' models after it.
        const TOp environment = [](TEditor& e, const QDir& d, bool& c) { e.LoadEnvironment(d.filePath("other.p3d"), &c); };
        QTest::addRow("environment load, midway") << environment << 0.3 << 0;
        QTest::addRow("environment load, after the question") << environment << 0.0 << 1;
    }
    void cancelChangesNothing()
    {
        QFETCH(TOp, op);
        QFETCH(double, cancelAt);
        QFETCH(int, cancelIn);
        TSession s;
        QVERIFY(s.Build());
        const QStringList before = State(s.E, s.Dir.path());
        TRunner runner;
        runner.CancelAt = cancelAt;
        runner.CancelIn = cancelIn;
        s.E.RunLong = std::ref(runner);
        bool cancelled = false;
        op(s.E, s.D, cancelled);
        const QStringList after = State(s.E, s.Dir.path());
        QCOMPARE(s.Messages, QStringList());
        QCOMPARE(runner.Texts.size(), cancelIn + 1);
        if (cancelAt < 1)
            QVERIFY(cancelled);
        if (cancelled)
            QCOMPARE(after, before);
        else
            QVERIFY(after != before);
        if (cancelAt > 0 && cancelAt < 1)  // it stopped on its way, where it was told
            QVERIFY(!runner.Reports.isEmpty() && runner.Reports.last() >= 0.3 && runner.Reports.last() < 1);
    }

    // Run through, the work reports a few dozen rising fractions that end at 1, under the
    // task's text, and its result is the one an operation in place gives.
    void progressRisesToOne_data()
    {
        QTest::addColumn<TOp>("op");
        QTest::addColumn<QString>("text");
        const QStringList texts{"Loading other.p3d...", "Loading run.rtm...", "Saving...",
                                "Exporting...",         "Exporting...",       "Importing walk.glb..."};
        int i = 0;
        for (const auto& [name, op] : Ops())
            QTest::newRow(name) << op << texts[i++];
    }
    void progressRisesToOne()
    {
        QFETCH(TOp, op);
        QFETCH(QString, text);
        TSession s;
        QVERIFY(s.Build());
        TRunner runner;
        s.E.RunLong = std::ref(runner);
        bool cancelled = false;
        op(s.E, s.D, cancelled);
        QVERIFY(!cancelled);
        QCOMPARE(s.Messages, QStringList());
        QCOMPARE(runner.Texts, QStringList{text});
        const QList<double>& r = runner.Reports;
        QVERIFY2(r.size() >= 4 && r.size() <= TProgress::Steps + 1, qPrintable(QString::number(r.size())));
        for (qsizetype i = 1; i < r.size(); ++i)
            QVERIFY2(r[i] > r[i - 1], qPrintable(QStringLiteral("report %1: %2 after %3").arg(i).arg(r[i]).arg(r[i - 1])));
        QCOMPARE(r.last(), 1.0);

        // The same operation in place on a session of its own ends the same.
        TSession inPlace;
        QVERIFY(inPlace.Build());
        op(inPlace.E, inPlace.D, cancelled);
        QVERIFY(!cancelled);
        QStringList a = State(s.E, s.Dir.path()), b = State(inPlace.E, inPlace.Dir.path());
        a.replaceInStrings(s.Dir.path(), "HOME");
        b.replaceInStrings(inPlace.Dir.path(), "HOME");
        QCOMPARE(a, b);
    }
};

TORVANE_TEST(LongWorkTest)
#include "LongWorkTest.moc"
