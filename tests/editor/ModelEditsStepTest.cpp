// The model's edits as editor operations: each is one step of the history, named as the
// Edit menu shows it, undone and redone exactly; a pivot dragged is one step per drag; what
// a load shows is no step; and a file is unsaved while a step that changed it lies between
// its saved state and now.
#include "EditorSession.h"
#include "anim/Recovery.h"
#include "filebuild/RtmBuilder.h"
#include "model/P3dModel.h"
#include "platform/Ini.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

namespace {
struct TRobot {
    QTemporaryDir Dir;
    TEditor E;
    QString Path(const char* name) const { return QDir(Dir.path()).filePath(QLatin1String(name)); }
    TRobot()
    {
        QVERIFY(WriteRobot(Dir.path()) &&
                WriteBytesFile(Path("walk.rtm"), RtmBuild::Build(RtmBuild::TFile::Regular({"arm"}, 2))));
        E.LinkDataDir = Path("LinkData");
        QVERIFY(E.LoadModel(Path("robot.p3d")));
    }
    int Node(const char* name) const { return E.Forest().Find(QLatin1String(name)); }
    const TSelection& C(const char* name) const { return *E.Forest().Component(Node(name)); }
    // Every component in tree order: level, name, display name, colour, pivot, hidden.
    QString State() const
    {
        QStringList out;
        for (const TComponentNode& n : E.Forest().Nodes()) {
            const TSelection& s = *n.Component;
            out << QStringLiteral("%1%2=%3 %4 %5,%6,%7%8")
                       .arg(QString(n.Level, '-'), s.Name, s.DisplayName)
                       .arg(s.Color)
                       .arg(s.Pivot[0])
                       .arg(s.Pivot[1])
                       .arg(s.Pivot[2])
                       .arg(s.Hidden ? "*" : "");
        }
        return out.join(' ');
    }
};
using TEdit = std::function<bool(TRobot&)>;
}  // namespace
Q_DECLARE_METATYPE(TEdit)

class ModelEditsStepTest : public QObject {
    Q_OBJECT
private slots:
    // Each operation is one step under its name that leaves the files of what it changed
    // unsaved; undo gives back every component's state, redo the edited one.
    void eachEditIsOneStep_data()
    {
        QTest::addColumn<TEdit>("prepare");
        QTest::addColumn<TEdit>("edit");
        QTest::addColumn<QString>("name");
        QTest::addColumn<unsigned>("unsaved");  // after the edit
        QTest::addColumn<unsigned>("undone");  // after its undo
        const TEdit nothing = [](TRobot&) { return true; };
        const auto row = [&](const char* name, unsigned files, const TEdit& edit, unsigned undone = 0,
                             const TEdit& prepare = {}) {
            QTest::newRow(name) << (prepare ? prepare : nothing) << edit << QString::fromLatin1(name) << files << undone;
        };
        row("Change Color", FileColors, [](TRobot& r) { return r.E.SetColor(r.Node("leg"), 0x123456); });
        row("Assign new Name", FileNames, [](TRobot& r) { return r.E.Rename(r.Node("leg"), QStringLiteral("A leg")); });
        row("Move Pivot", FileLinking, [](TRobot& r) { return r.E.SetPivot(r.Node("hand"), {1, 2, 3}); });
        row("Link Component", FileLinking, [](TRobot& r) { return r.E.Link(r.Node("leg"), r.Node("hand")); });
        row("Move one level up", FileLinking, [](TRobot& r) { return r.E.MoveUp(r.Node("hand")); });
        row("Hide", 0, [](TRobot& r) { return r.E.SetHidden(r.Node("arm"), true); });
        row("Hide All", 0, [](TRobot& r) { return r.E.HideAll(); });
        row(
            "Show Animated Only", 0, [](TRobot& r) { return r.E.ShowAnimatedOnly(); }, 0,
            [](TRobot& r) { return r.E.LoadAnimation(r.Path("walk.rtm")) && r.E.ShowAll(); });
        row(
            "Select Translation File", 0,
            [](TRobot& r) {  // the names are the file's: saved
                TIniFile names(r.Path("n.tsl"));
                names.WriteString("Translation", "BODY", "Trunk");
                return names.UpdateFile() && r.E.ApplyNamesFile(r.Path("n.tsl"));
            },
            FileNames);
        row(
            "Select Color File", 0,
            [](TRobot& r) {
                TIniFile colors(r.Path("c.clr"));
                colors.WriteString("ColorDef", "arm", "$FF");
                return colors.UpdateFile() && r.E.ApplyColorsFile(r.Path("c.clr"));
            },
            FileColors);
        // A copy of the edits, as autosave keeps them, put back on the model as its files
        // have it: what was edited is unsaved again, and the settings name the same files.
        row("Recover", FileLinking | FileNames | FileColors, [](TRobot& r) {
            if (!r.E.Link(r.Node("leg"), r.Node("hand")) || !r.E.SetPivot(r.Node("arm"), {1, 2, 3}) ||
                !r.E.Rename(r.Node("leg"), QStringLiteral("A leg")) || !r.E.SetColor(r.Node("body"), 0x123456))
                return false;
            const QString edited = r.State();
            const TRecoveryModelEdits copy{r.E.ModelFileBytes(FileLinking), r.E.ModelFileBytes(FileNames),
                                           r.E.ModelFileBytes(FileColors)};
            for (int step = 0; step < 4; ++step)
                r.E.Undo();
            r.E.TranslationFile = r.Path("t.tsl");
            r.E.Recover({}, copy);
            return r.State() == edited && r.E.TranslationFile == r.Path("t.tsl") && r.E.ColorFile.isEmpty();
        });
        row("Load Pivots and Linking", FileLinking, [](TRobot& r) {
            TLpvBuilder l;
            l.Add("leg", "arm", 5, 5, 5);
            return WriteBytesFile(r.Path("LinkData/other.lpv"), l.Build()) && r.E.LoadLinking(r.Path("other.lpv"));
        });
    }
    void eachEditIsOneStep()
    {
        QFETCH(TEdit, prepare);
        QFETCH(TEdit, edit);
        QFETCH(QString, name);
        QFETCH(unsigned, unsaved);
        QFETCH(unsigned, undone);
        TRobot r;
        QVERIFY(prepare(r));
        const int before = r.E.History().Count();
        const QString start = r.State();
        QSignalSpy changed(&r.E, &TEditor::Changed);
        QVERIFY(edit(r));
        QVERIFY(!changed.isEmpty());
        const QString edited = r.State();
        QVERIFY(edited != start);
        QCOMPARE(std::pair(r.E.History().Count(), r.E.History().UndoName()), std::pair(before + 1, name));
        QCOMPARE(r.E.ModelUnsaved(), unsaved);
        QVERIFY(r.E.Undo());
        QCOMPARE(r.State(), start);
        QCOMPARE(r.E.ModelUnsaved(), undone);
        QVERIFY(r.E.Redo());
        QCOMPARE(r.State(), edited);
    }

    // A pivot placed again and again is one step until the drag ends; what changes nothing
    // is no step; the model's own files saved are no longer unsaved, until an undo takes
    // back what they hold.
    void dragsMergeAndSavesCount()
    {
        TRobot r;
        const TCommandStack& h = r.E.History();
        for (float x : {1.f, 2.f, 3.f})
            QVERIFY(r.E.SetPivot(r.Node("hand"), {x, 0, 0}));
        r.E.CloseStep();
        QVERIFY(r.E.SetPivot(r.Node("hand"), {4, 0, 0}));
        QVERIFY(!r.E.SetPivot(r.Node("hand"), {4, 0, 0}) && !r.E.SetColor(r.Node("leg"), r.C("leg").Color));
        // Nothing that names no node, or links a node below itself, is a step either.
        QVERIFY(!r.E.Link(r.Node("arm"), r.Node("hand")) && !r.E.Link(-1, 0) && !r.E.MoveUp(99) && !r.E.SetHidden(-1, true));
        QCOMPARE(h.Count(), 2);
        QVERIFY(r.E.Undo());
        QCOMPARE(r.C("hand").Pivot[0], 3.f);
        QCOMPARE(r.E.SaveLinking(), QString());
        QCOMPARE(r.E.ModelUnsaved(), 0u);
        QVERIFY(r.E.Undo());
        QCOMPARE(std::pair(r.C("hand").Pivot[0], r.E.ModelUnsaved()), std::pair(2.f, unsigned(FileLinking)));
        QVERIFY(r.E.Redo());
        QCOMPARE(r.E.ModelUnsaved(), 0u);
        QVERIFY(r.E.SetColor(r.Node("leg"), 7));
        QCOMPARE(r.E.SaveColors(r.Path("out.clr")), QString());
        QCOMPARE(r.E.ModelUnsaved(), 0u);

        // An animation's load and unload hide and show, but are no edits; a model load
        // starts a new history with its files as loaded.
        const int count = h.Count();
        QVERIFY(r.E.LoadAnimation(r.Path("walk.rtm")));
        QVERIFY(r.C("leg").Hidden);
        r.E.Anim().ClearAnimation();
        QVERIFY(!r.C("leg").Hidden && h.Count() == 0 && count > 0);
        QVERIFY(r.E.SetColor(r.Node("leg"), 9));
        QVERIFY(r.E.LoadModel(r.Path("robot.p3d")));
        QVERIFY(!h.CanUndo() && r.E.ModelUnsaved() == 0);
    }

    // Whether saving the linking file would write over changes made on disk since it was
    // read or written here ("append" grows it, "touch" sets its time, "replace" puts a
    // copy in its place, "create" writes one where there is none).
    void linkingChangedOnDisk_data() { QVERIFY(AddTableRows("editor/linking-changed-on-disk.table")); }
    void linkingChangedOnDisk()
    {
        QFETCH(QStringList, steps);
        QFETCH(bool, changed);
        TRobot r;
        const QString lpv = r.Path("LinkData/robot.lpv");
        const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
        QVERIFY(WriteBytesFile(r.Path("LinkData/other.lpv"), RobotLinks()));
        QFile file(lpv);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.setFileTime(hourAgo, QFileDevice::FileModificationTime));
        file.close();
        QVERIFY(r.E.LoadModel(r.Path("robot.p3d")));
        for (const QString& step : steps) {
            QFile f(lpv);
            if (step == "append") {
                QVERIFY(f.open(QIODevice::Append) && f.write("x") == 1);
            } else if (step == "touch") {
                QVERIFY(f.open(QIODevice::ReadWrite) && f.setFileTime(hourAgo.addSecs(60), QFileDevice::FileModificationTime));
            } else if (step == "replace") {
                QVERIFY(WriteFileAtomic(lpv, RobotLinks()));
            } else if (step == "delete") {
                QVERIFY(f.remove());
            } else if (step == "create") {
                QVERIFY(WriteBytesFile(lpv, RobotLinks()));
            } else if (step == "save") {
                QCOMPARE(r.E.SaveLinking(), QString());
            } else if (step.startsWith("load ")) {
                QVERIFY(r.E.LoadLinking(r.Path(qPrintable(step.mid(5)))));
            } else if (step == "model") {
                QVERIFY(r.E.LoadModel(r.Path("robot.p3d")));
            } else if (step == "clear") {
                r.E.ClearModel();
            } else {
                QFAIL(qPrintable("no such step: " + step));
            }
        }
        QCOMPARE(r.E.LinkingChangedOnDisk(), changed);
    }
};

TORVANE_TEST(ModelEditsStepTest)
#include "ModelEditsStepTest.moc"
