// The editing session without a window: whatever an operation changes is reported through
// Changed, and the pose the views draw is then the document's current frame (the rest pose
// without frames or in pivot mode). Edit mode: starting an edit of the selected components
// of the current frame, the slider ticks, Restore, Apply, Cancel and Reset Frame.
#include "EditorSession.h"
#include "anim/Recovery.h"
#include "anim/Rtm.h"
#include "filebuild/RtmBuilder.h"
#include "model/P3dModel.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <functional>

namespace {
using TOp = std::function<void(TEditor&, const QDir&)>;

// The robot's arm, point 8 of the main model, is stored at x = 1; frame k of the walk
// shifts it (and the hand) by 5 + k in x.
constexpr int ArmPoint = 8;
constexpr float ArmRestX = 1;

RtmBuild::TFile Walk()
{
    RtmBuild::TFile walk = RtmBuild::TFile::Regular({"arm", "hand"}, 3);
    walk.TotalMove = {0, 0, 0};  // the frames alone move the arm
    for (size_t k = 0; k < walk.Frames.size(); ++k)
        for (auto& r : walk.Frames[k].Records)
            r.Matrix = {1, 0, 0, 0, 1, 0, 0, 0, 1, 5.0f + float(k), 0, 0};
    return walk;
}

bool Near(const TVec3& a, const TVec3& b)
{
    return std::abs(a.x - b.x) < 1e-6 && std::abs(a.y - b.y) < 1e-6 && std::abs(a.z - b.z) < 1e-6;
}

float ShownArmX(TEditor& e)
{
    e.Pose();
    return e.Models().front()->DisplayPoints[ArmPoint].X;
}

// Where the arm must be drawn: at rest, or moved by the current frame's shift plus the offset.
float ExpectedArmX(const TEditor& e)
{
    const TAnimDocument& doc = e.Document();
    const float offset = float(e.Options().Offset[0]);
    if (doc.AnimFrames.empty() || e.Options().PivotMode)
        return ArmRestX + offset;
    const int arm = doc.AnimSelections.IndexOf(QStringLiteral("arm"));
    for (const TAnimEntry& entry : doc.AnimFrames[size_t(doc.ActAnimStep)].Entries)
        if (entry.NameIndex == arm)
            return ArmRestX + entry.Matrix[9] + offset;
    return ArmRestX + offset;
}

// Every segment of the three views with its colour, in drawing order: from the editor's
// views, or drawn from scratch without the edge lists it keeps between drawings.
QStringList DrawnSegments(TEditor& e, bool fromScratch)
{
    e.Pose();
    std::array<TChartItems, ViewCount> items;
    const TViewItems views{&items[0], &items[1], &items[2]};
    std::array<int, ViewCount> size{600, 600, 600};
    std::array<TChartRange, ViewCount> ranges{};
    std::array<bool, ViewCount> changed{};
    if (fromScratch) {
        const TEditorOptions& o = e.Options();
        TViewOptions options;
        options.Show = o.Show;
        options.AllPolygons = o.AllPolygons;
        options.Environment = o.Environment;
        ClearViews(views);
        DrawViews(e.Models(), e.TreeOrder(), e.Cache(), e.ComponentPoses(), options, e.Params(), views, size, size, ranges,
                  changed);
    } else {
        e.DrawViews(views, size, size, ranges, changed);
    }
    QStringList out;
    for (const TChartItems& v : items) {
        v.ForEachSegment([&out](double x0, double y0, double x1, double y1, uint32_t c) {
            out << QStringLiteral("%1 %2 %3 %4 %5").arg(x0).arg(y0).arg(x1).arg(y1).arg(c, 6, 16, QLatin1Char('0'));
        });
        out << QStringLiteral("--");
    }
    return out;
}

// An operation that only sets options.
TOp WithOptions(const std::function<void(TEditorOptions&)>& set)
{
    return [set](TEditor& e, const QDir&) { SetOptions(e, set); };
}
}  // namespace
Q_DECLARE_METATYPE(TOp)

class EditorTest : public QObject {
    Q_OBJECT
    QTemporaryDir Home_;
    QDir Dir_;

    // The linked robot (arm under body with its pivot at (1, 1.25, 0.1), hand under arm at
    // (2, 1.25, 0.25), leg under body) and, unless anim is null, that animation.
    void Start(TEditor& e, const char* anim, bool model = true, bool linked = true)
    {
        e.LinkDataDir = Dir_.filePath(QLatin1String(linked ? "LinkData" : "Unlinked"));
        if (model)
            QVERIFY(e.LoadModel(Dir_.filePath(QStringLiteral("robot.p3d"))));
        if (anim)
            QVERIFY(e.LoadAnimation(Dir_.filePath(QLatin1String(anim))));
    }
    // The robot without links, every component at the top level.
    void Start(TEditor& e, bool animated) { Start(e, animated ? "walk.rtm" : nullptr, true, false); }
    // The tree's selection of one component, and how a component is posed.
    static std::vector<int> Node(const TEditor& e, const char* name) { return {e.Forest().Find(QLatin1String(name))}; }
    // The tree's selection: this component alone, current.
    static void Select(TEditor& e, const char* name) { e.SetSelection(Node(e, name), Node(e, name)[0]); }
    static const TTransform& Act(const TEditor& e, const char* name)
    {
        return e.ComponentPoses().Act(FindComponentByName(e.TreeOrder(), QLatin1String(name)));
    }
    // The hidden components in tree order, and the document as its file would hold it.
    static QString Hidden(const TEditor& e)
    {
        QStringList names;
        for (const TSelection* s : e.TreeOrder())
            if (s->Hidden)
                names << s->Name;
        return names.join(' ');
    }
    static QByteArray Saved(const TEditor& e)
    {
        QByteArray bytes;
        WriteRtm(e.Document(), bytes);
        return bytes;
    }
    static std::vector<TMatrix12f> Frame(const TEditor& e, int step)
    {
        std::vector<TMatrix12f> matrices;
        for (const TAnimEntry& entry : e.Document().AnimFrames.Entries(size_t(step)))
            matrices.push_back(entry.Matrix);
        return matrices;
    }

private slots:
    void initTestCase()
    {
        Dir_ = QDir(Home_.path());
        const auto write = [this](const char* name, const QByteArray& bytes) {
            return WriteBytesFile(Dir_.filePath(QLatin1String(name)), bytes);
        };
        // still: arm and hand at rest; gap: frame 1 without an entry for the hand.
        // whole: every component of the robot at rest.
        RtmBuild::TFile still = RtmBuild::TFile::Regular({"arm", "hand"}, 2), gap = still,
                        whole = RtmBuild::TFile::Regular({"body", "arm", "hand", "leg", "proxy:lamp.01"}, 2);
        for (RtmBuild::TFile* file : {&still, &whole})
            for (auto& frame : file->Frames)
                for (auto& r : frame.Records)
                    r.Matrix = RtmBuild::Identity;
        gap.Frames[1].Records[1].Name = "arm";
        QVERIFY(WriteRobot(Dir_) && write("room.p3d", Room().Build()) && write("walk.rtm", RtmBuild::Build(Walk())) &&
                write("bad.rtm", "not an animation") && write("still.rtm", RtmBuild::Build(still)) &&
                write("gap.rtm", RtmBuild::Build(gap)) &&
                write("sample.rtm", RtmBuild::Build(RtmBuild::TFile::Regular({"arm", "hand"}, 3))) &&
                write("ghost.rtm", RtmBuild::Build(RtmBuild::TFile::Regular({"arm", "ghost"}, 3))) &&
                write("whole.rtm", RtmBuild::Build(whole)));
    }

    void everyChangeIsReportedAndShown_data()
    {
        QTest::addColumn<bool>("animated");  // the walk loaded before the operation
        QTest::addColumn<TOp>("op");
        QTest::addColumn<unsigned>("reported");  // flags the operation's signals must carry
        const auto row = [](const char* name, bool animated, unsigned reported, const TOp& op) {
            QTest::newRow(name) << animated << op << reported;
        };
        row("load", false, ChangeDocument | ChangeModel | ChangePose,
            [](TEditor& e, const QDir& d) { e.LoadAnimation(d.filePath("walk.rtm")); });
        row("failed load", true, ChangeDocument | ChangePose,
            [](TEditor& e, const QDir& d) { e.LoadAnimation(d.filePath("bad.rtm")); });
        row("clear", true, ChangeDocument | ChangeModel | ChangePose, [](TEditor& e, const QDir&) { e.Anim().ClearAnimation(); });
        row("delete", true, ChangeDocument | ChangePose, [](TEditor& e, const QDir&) {
            e.Anim().SetActStep(1);
            QVERIFY(e.Anim().DeleteCurrentFrame().isEmpty());
        });
        row("undo", true, ChangeDocument | ChangePose, [](TEditor& e, const QDir&) {
            e.Anim().MirrorRange(0, 2);
            QVERIFY(e.Undo());
        });
        row("new animation", true, ChangeDocument | ChangeModel | ChangePose, [](TEditor& e, const QDir&) {
            e.StartNewAnimation();
            QVERIFY(e.CreateNewAnimation({QStringLiteral("arm")}).isEmpty());
        });
        row("redo into no frames", true, ChangeDocument | ChangePose, [](TEditor& e, const QDir&) {
            e.StartNewAnimation();
            QVERIFY(e.Undo() && e.Redo());
        });
        row("undo of new animation, nothing hidden", true, ChangeDocument | ChangePose, [](TEditor& e, const QDir& d) {
            // The tree marks the animated components: a change of the names alone is the model's too.
            QVERIFY(e.LoadAnimation(d.filePath("whole.rtm")));
            e.StartNewAnimation();
            const QSignalSpy names(&e, &TEditor::Changed);
            QVERIFY(e.Undo());
            QVERIFY(Reported(names) & ChangeModel);
        });
        row("model reload", true, ChangeModel | ChangePose,
            [](TEditor& e, const QDir& d) { e.LoadModel(d.filePath("robot.p3d")); });
        row("pivot mode left", true, ChangeOptions | ChangePose, [](TEditor& e, const QDir&) {
            SetOptions(e, [](TEditorOptions& o) { o.PivotMode = true; });
            e.Anim().SetActStep(2);  // under pivot mode the model stays at rest
            QCOMPARE(ShownArmX(e), ArmRestX);
            SetOptions(e, [](TEditorOptions& o) { o.PivotMode = false; });
        });
        row("pose held", true, ChangeDocument | ChangePose, [](TEditor& e, const QDir&) {
            e.HoldPose(true);  // as playback does: the components keep what it shows
            e.Anim().SetActStep(2);
            QCOMPARE(ShownArmX(e), ArmRestX + 5);
            e.HoldPose(false);
            e.ShowCurrentFrame();
        });
    }
    void everyChangeIsReportedAndShown()
    {
        QFETCH(bool, animated);
        QFETCH(TOp, op);
        QFETCH(unsigned, reported);
        TEditor e;
        Start(e, animated);
        QCOMPARE(ShownArmX(e), ExpectedArmX(e));
        QSignalSpy spy(&e, &TEditor::Changed);
        op(e, Dir_);
        QCOMPARE(Reported(spy) & reported, reported);
        QCOMPARE(ShownArmX(e), ExpectedArmX(e));
    }

    void viewsFollowModelEdits_data()
    {
        QTest::addColumn<TOp>("op");
        QTest::newRow("hide") << TOp(
            [](TEditor& e, const QDir&) { QVERIFY(e.SetHidden(e.Forest().Find(QStringLiteral("arm")), true)); });
        QTest::newRow("colour") << TOp(
            [](TEditor& e, const QDir&) { QVERIFY(e.SetColor(e.Forest().Find(QStringLiteral("hand")), 0x0000FFu)); });
        QTest::newRow("undo") << TOp([](TEditor& e, const QDir&) {
            QVERIFY(e.SetHidden(e.Forest().Find(QStringLiteral("body")), false));  // hidden by the load
            QVERIFY(e.SetColor(e.Forest().Find(QStringLiteral("hand")), 0x0000FFu));
            QVERIFY(e.Undo());
        });
        QTest::newRow("other model") << TOp([](TEditor& e, const QDir& d) { QVERIFY(e.LoadModel(d.filePath("room.p3d"))); });
    }
    // After a drawing, an edit through the editor shows in the next one as in a drawing
    // made from scratch.
    void viewsFollowModelEdits()
    {
        QFETCH(TOp, op);
        TEditor e;
        Start(e, true);
        const QStringList before = DrawnSegments(e, false);
        QCOMPARE(before, DrawnSegments(e, true));
        op(e, Dir_);
        const QStringList after = DrawnSegments(e, true);
        QVERIFY(after != before);
        QCOMPARE(DrawnSegments(e, false), after);
    }

    // Clearing the animation shows again what its load hid, and only that (the pose at rest
    // is everyChangeIsReportedAndShown's "clear").
    void clearShowsWhatTheLoadHid()
    {
        TEditor e;
        Start(e, false);
        const auto component = [&e](const char* name) { return FindComponentByName(e.TreeOrder(), QLatin1String(name)); };
        QVERIFY(e.SetHidden(e.Forest().Find(QStringLiteral("leg")), true));  // hidden by the user before the load
        QVERIFY(e.LoadAnimation(Dir_.filePath(QStringLiteral("walk.rtm"))));
        QVERIFY(component("body")->Hidden && component("leg")->Hidden && !component("arm")->Hidden);
        e.Anim().ClearAnimation();
        QVERIFY(!component("body")->Hidden && !component("arm")->Hidden && component("leg")->Hidden);
    }

    // What keeps "Edit Frame" and "Reset Frame" from acting; nothing changes then, and no
    // tick, Restore or Apply acts outside edit mode.
    void refusals_data() { QVERIFY(AddTableRows("editor/refusals.table")); }
    void refusals()
    {
        QFETCH(bool, model);
        QFETCH(QString, anim);
        QFETCH(QString, refusal);
        QFETCH(bool, resetFrame);
        TEditor e;
        Start(e, anim.isEmpty() ? nullptr : qPrintable(anim), model);
        if (model)
            Select(e, "arm");
        QSignalSpy spy(&e, &TEditor::Changed);
        QCOMPARE(QString::fromLatin1(e.BeginEdit().Refusal), refusal);
        // Editing, a tick that acts, what Restore counts, Apply done, and the signals: none of them.
        QCOMPARE(
            QList<int>({e.Editing(), e.EditTick(true, true, 0, 0, 10), e.RestoreEdit(true), e.ApplyEdit(), int(spy.count())}),
            QList<int>(5, 0));
        QCOMPARE(e.ResetFrame(), resetFrame);
        QCOMPARE(e.History().CanUndo(), resetFrame);
    }

    // The switches decide what the sliders do to the arm: each tick turns by the cube of
    // the deflection (0.1 at full) or moves by it; the hand below the arm follows and the
    // body above it stays. Centred sliders do nothing.
    void ticks_data() { QVERIFY(AddTableRows("editor/edit-ticks.table")); }
    void ticks()
    {
        QFETCH(bool, rotate);
        QFETCH(bool, relative);
        QFETCH(QList<double>, slider);
        QFETCH(int, ticks);
        QFETCH(QList<double>, hand);
        TEditor e;
        Start(e, "still.rtm");
        Select(e, "arm");
        QCOMPARE(e.BeginEdit().Missing, 0);
        QVERIFY(e.Editing());
        QSignalSpy spy(&e, &TEditor::Changed);
        const TVec3 to{hand[0], hand[1], hand[2]};
        const bool moves = !Near(to, {2, 1.25, 0.25});
        for (int i = 0; i < ticks; ++i)
            QCOMPARE(e.EditTick(rotate, relative, slider[0], slider[1], slider[2]), moves);
        QCOMPARE(spy.count(), moves ? ticks : 0);
        QVERIFY(Near(Act(e, "hand").Apply({2, 1.25, 0.25}), to));
        QCOMPARE(Act(e, "body"), TTransform::Identity());
    }

    // Restore brings back the stored frame exactly, Cancel leaves it stored and shows it,
    // Apply writes the edit as one undoable step and ends edit mode.
    void restoreCancelApply()
    {
        TEditor e;
        Start(e, "sample.rtm");
        e.Anim().SetActStep(1);
        const std::vector<TMatrix12f> stored = Frame(e, 1);
        Select(e, "arm");
        const auto tick5 = [&] {
            for (int i = 0; i < 5; ++i)
                e.EditTick(true, true, 7.3, 0, -4.2);
        };
        e.BeginEdit();
        tick5();
        QVERIFY(Narrow(Act(e, "arm")) != stored[0]);
        QCOMPARE(e.RestoreEdit(true), 0);
        QCOMPARE(Act(e, "arm"), Widen(stored[0]));
        QVERIFY(e.Editing());
        tick5();
        e.EndEdit();
        QVERIFY(!e.Editing() && Frame(e, 1) == stored);
        QCOMPARE(Act(e, "hand"), Widen(stored[1]));
        QVERIFY(!e.History().CanUndo());

        e.BeginEdit();
        tick5();
        const TMatrix12f edited = Narrow(Act(e, "hand"));
        QVERIFY(edited != stored[1]);
        QSignalSpy spy(&e, &TEditor::Changed);
        QVERIFY(e.ApplyEdit() && !e.Editing());
        QCOMPARE(Reported(spy) & (ChangeDocument | ChangePose), unsigned(ChangeDocument | ChangePose));
        QCOMPARE(Frame(e, 1)[1], edited);
        QCOMPARE(Act(e, "hand"), Widen(edited));
        QCOMPARE(e.History().UndoName(), QStringLiteral("Apply Changes"));
    }

    // An animated component without an entry in the current frame is counted (one message
    // each) when the edit starts and on Restore; Apply with a frame naming a component the
    // model lacks is refused whole and the edit goes on.
    void missingEntriesAndComponents()
    {
        TEditor e;
        Start(e, "gap.rtm");
        e.Anim().SetActStep(1);
        Select(e, "arm");
        QCOMPARE(QList<int>({e.BeginEdit().Missing, e.RestoreEdit(true)}), QList<int>({1, 1}));
        e.EndEdit();

        Start(e, "ghost.rtm");
        const std::vector<TMatrix12f> stored = Frame(e, 0);
        Select(e, "arm");
        QCOMPARE(e.BeginEdit().Missing, 0);
        e.EditTick(false, true, 10, 0, 0);
        QVERIFY(!e.ApplyEdit());
        QVERIFY(e.Editing() && Frame(e, 0) == stored && !e.History().CanUndo());
    }

    // Reset Frame makes the current frame's entries the identity, and only its, as one
    // undoable step; the components show it, and the views hear of both.
    void resetFrame()
    {
        TEditor e;
        Start(e, "sample.rtm");
        e.Anim().SetActStep(2);
        QSignalSpy spy(&e, &TEditor::Changed);
        QVERIFY(e.ResetFrame());
        QCOMPARE(Reported(spy) & (ChangeDocument | ChangePose), unsigned(ChangeDocument | ChangePose));
        QVERIFY(Frame(e, 2) == std::vector<TMatrix12f>(2, IdentityMatrix12f));
        QVERIFY(Frame(e, 1)[0] != IdentityMatrix12f);
        QCOMPARE(Act(e, "arm"), TTransform::Identity());
        QCOMPARE(e.History().UndoName(), QStringLiteral("Reset Frame"));
    }

    // A press in the tree during an edit: the edit goes on from where the components are,
    // so the hand keeps the arm's turn when it is moved on its own.
    void rebaseKeepsWhatWasDone()
    {
        TEditor e;
        Start(e, "still.rtm");
        Select(e, "arm");
        e.BeginEdit();
        e.EditTick(true, true, 0, 0, 10);  // about the arm's pivot, the hand with it
        Select(e, "hand");
        e.RebaseEdit();
        e.EditTick(false, true, 10, 0, 0);
        const double c = std::cos(0.1), s = std::sin(0.1);
        QVERIFY(Near(Act(e, "hand").Apply({2, 1.25, 0.25}), {1 + c + 0.01, 1.25 + s, 0.25}));
    }

    // A change of the tree's selection is reported; its current component is the one pivot
    // mode marks, and a model load empties it.
    void selection()
    {
        TEditor e;
        Start(e, "sample.rtm");
        QSignalSpy spy(&e, &TEditor::Changed);
        Select(e, "hand");
        QCOMPARE(std::pair(spy.count(), Reported(spy)), std::pair(qsizetype(1), unsigned(ChangeSelection)));
        T3dScene scene;
        const auto hasPivot = [&] {
            e.Build3d(scene);
            return scene.HasPivot;
        };
        QVERIFY(!hasPivot());
        SetOptions(e, [](TEditorOptions& o) { o.PivotMode = true; });
        QVERIFY(hasPivot());
        Start(e, nullptr);
        QVERIFY(e.Selection().empty() && !hasPivot());
    }

    // An edit belongs to its frame. When the current frame moves under it (Edit Frame
    // pressed while playing: the segment under way still ends on the next frame), an
    // untouched edit goes along and Apply writes each frame's own pose, never one frame's
    // into another; an edit with changes is offered to its own frame first.
    void editKeepsToItsFrame_data()
    {
        QTest::addColumn<bool>("ticked");  // the sliders changed the arm before the frame moved
        QTest::addColumn<bool>("apply");  // the answer to "Apply the changes to frame 0?"
        QTest::newRow("untouched") << false << false;
        QTest::newRow("changed, applied") << true << true;
        QTest::newRow("changed, dropped") << true << false;
    }
    void editKeepsToItsFrame()
    {
        QFETCH(bool, ticked);
        QFETCH(bool, apply);
        TEditor e;
        Start(e, "sample.rtm");
        QStringList asked;
        e.Ask = [&](const QString& q) {
            asked << q;
            return apply;
        };
        std::vector<TMatrix12f> frame0 = Frame(e, 0);
        const std::vector<TMatrix12f> frame1 = Frame(e, 1);
        Select(e, "arm");
        e.HoldPose(true);  // playing
        QVERIFY(e.ShowBlend(0.5));
        QCOMPARE(e.BeginEdit().Refusal, nullptr);
        e.HoldPose(false);  // Play switched off
        if (ticked)
            QVERIFY(e.EditTick(false, true, 10, 0, 0));
        QVERIFY(e.ShowBlend(0.7));  // a blend never reaches the edit
        const std::vector<TMatrix12f> edited{Narrow(Act(e, "arm")), Narrow(Act(e, "hand"))};
        e.Anim().SetActStep(1);
        QCOMPARE(asked, ticked ? QStringList{"Apply the changes to frame 0?"} : QStringList());
        QVERIFY(e.Editing());
        QCOMPARE(e.EditedFrame(), 1);
        QCOMPARE(Narrow(Act(e, "arm")), frame1[0]);  // started afresh on frame 1
        QVERIFY(e.ApplyEdit());
        QVERIFY(Frame(e, 1) == frame1);
        QVERIFY(Frame(e, 0) == (ticked && apply ? edited : frame0));
    }

    // A load or an unload while an edit is open ends the edit before anything goes: Apply
    // can no longer write (a model load would have it write the rest pose of the new
    // components), and an edit with changes is offered to its frame first, with the
    // components it was made on.
    void loadsEndTheEdit_data()
    {
        QTest::addColumn<TOp>("op");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<bool>("apply");
        QTest::addColumn<bool>("kept");  // the document is still the one edited
        const TOp reload = [](TEditor& e, const QDir& d) { QVERIFY(e.LoadModel(d.filePath("robot.p3d"))); };
        QTest::newRow("model load") << reload << false << false << true;
        QTest::newRow("model load, changed, applied") << reload << true << true << true;
        QTest::newRow("model load, changed, dropped") << reload << true << false << true;
        QTest::newRow("animation load") << TOp([](TEditor& e, const QDir& d) {
            QVERIFY(e.LoadAnimation(d.filePath("walk.rtm")));
        }) << true << true << false;
        QTest::newRow("unload") << TOp([](TEditor& e, const QDir&) { e.Anim().ClearAnimation(); }) << false << false << false;
        QTest::newRow("new animation") << TOp([](TEditor& e, const QDir&) { e.StartNewAnimation(); }) << false << false << false;
    }
    void loadsEndTheEdit()
    {
        QFETCH(TOp, op);
        QFETCH(bool, ticked);
        QFETCH(bool, apply);
        QFETCH(bool, kept);
        TEditor e;
        Start(e, "sample.rtm");
        int asked = 0;
        e.Ask = [&](const QString&) { return ++asked, apply; };
        e.Anim().SetActStep(1);
        const std::vector<TMatrix12f> stored = Frame(e, 1);
        Select(e, "arm");
        e.BeginEdit();
        if (ticked)
            e.EditTick(true, true, 0, 0, 10);
        const std::vector<TMatrix12f> edited{Narrow(Act(e, "arm")), Narrow(Act(e, "hand"))};
        QSignalSpy spy(&e, &TEditor::Changed);
        op(e, Dir_);
        QCOMPARE(asked, ticked ? 1 : 0);
        QVERIFY(!e.Editing());
        QVERIFY(Reported(spy) & ChangeEditMode);
        QVERIFY(!e.ApplyEdit());
        if (kept)
            QVERIFY(Frame(e, 1) == (ticked && apply ? edited : stored));
    }

    // "New Animation..." is one step however far apart its halves were: undo gives back
    // exactly what was there (frames, names, current frame, file name, saved state, what
    // its load hid), redo the new animation, which hides what it does not animate.
    void newAnimationIsOneStep()
    {
        TEditor e;
        Start(e, "walk.rtm");
        e.Anim().SetActStep(2);
        const QByteArray walk = Saved(e);
        const QString hidden = Hidden(e);
        QCOMPARE(hidden, QStringLiteral("body leg"));
        e.StartNewAnimation();
        QVERIFY(e.Document().AnimFrames.empty() && Hidden(e).isEmpty());
        QCOMPARE(e.CreateNewAnimation({}), QStringLiteral("Nothing selected!"));
        QVERIFY(e.CreateNewAnimation({QStringLiteral("leg")}).isEmpty());
        const QString newHidden = QStringLiteral("body arm hand proxy:lamp.01");
        QCOMPARE(Hidden(e), newHidden);
        QCOMPARE(std::pair(e.History().Count(), e.History().UndoName()), std::pair(1, QStringLiteral("New Animation")));
        QVERIFY(e.AnimationUnsaved());

        QVERIFY(e.Undo());
        QCOMPARE(Saved(e), walk);
        QCOMPARE(std::tuple(e.Document().ActAnimStep, e.Document().AnimFileName, Hidden(e)),
                 std::tuple(2, Dir_.filePath("walk.rtm"), hidden));
        QVERIFY(!e.AnimationUnsaved() && !e.History().CanUndo());
        QVERIFY(e.Redo());
        QCOMPARE(e.Document().AnimSelections.Names(), QStringList{"leg"});
        QCOMPARE(std::pair(e.Document().AnimFileName, Hidden(e)), std::pair(QString(), newHidden));
        QVERIFY(e.AnimationUnsaved());
        QVERIFY(e.Undo());
        e.Anim().ClearAnimation();  // the unload shows again what the walk's load hid
        QCOMPARE(Hidden(e), QString());
    }

    // A whole animation from elsewhere (a recovered copy, an import) is one step: what the
    // animation before hid shows again and what this one does not animate is hidden; undo
    // gives back the document before with its frame, file name, saved state and hidden
    // components, redo the other one with its own file name and total move. An import that
    // cannot be read changes nothing and records nothing.
    void replacedAnimationIsOneStep()
    {
        TEditor e;
        Start(e, "walk.rtm");
        e.Anim().SetActStep(2);
        const QByteArray walk = Saved(e);
        TAnimDocument next;
        const int leg = next.AnimSelections.Add(QStringLiteral("leg"));
        next.AnimFrames.Reset(1);
        for (float t : {0.0f, 0.5f, 1.0f}) {
            TAnimEntry entry;
            entry.NameIndex = leg;
            entry.Matrix[9] = t;
            next.AnimFrames.Append(t, std::span<const TAnimEntry>(&entry, 1));
        }
        next.TotalMove = {0, 0, 2};
        next.AnimFileName = Dir_.filePath(QStringLiteral("copy.rtm"));
        e.Recover(std::move(next), {});
        const auto replaced = [&e, this] {
            QCOMPARE(e.Document().AnimSelections.Names(), QStringList{"leg"});
            QCOMPARE(std::tuple(e.Document().FrameCount(), e.Document().AnimStepCount, e.Document().ActAnimStep),
                     std::tuple(3, 3, 0));
            QCOMPARE(e.Document().AnimFrames.Entries(1)[0].Matrix[9], 0.5f);
            QCOMPARE(e.Document().TotalMove, (std::array<float, 3>{0, 0, 2}));
            QCOMPARE(std::pair(e.Document().AnimFileName, Hidden(e)),
                     std::pair(Dir_.filePath(QStringLiteral("copy.rtm")), QStringLiteral("body arm hand proxy:lamp.01")));
            QVERIFY(e.AnimationUnsaved());
        };
        replaced();
        QCOMPARE(std::pair(e.History().Count(), e.History().UndoName()), std::pair(1, QStringLiteral("Recover")));
        QVERIFY(e.Undo());
        QCOMPARE(Saved(e), walk);
        QCOMPARE(std::tuple(e.Document().ActAnimStep, e.Document().AnimFileName, Hidden(e)),
                 std::tuple(2, Dir_.filePath("walk.rtm"), QStringLiteral("body leg")));
        QVERIFY(!e.AnimationUnsaved());
        QVERIFY(e.Redo());
        replaced();

        const TGltfImport bad = e.ImportGltf(Dir_.filePath(QStringLiteral("bad.rtm")));
        QVERIFY2(bad.Error.startsWith(QStringLiteral("bad.rtm: ")), qPrintable(bad.Error));
        replaced();
        QCOMPARE(std::pair(e.History().Count(), e.History().CanRedo()), std::pair(1, false));
    }

    // Undo and redo wait while something is under way that they would change the frames
    // under: playback, an open time cell, a drag in the frame timer, an edit. The Edit menu
    // hears when that starts and ends.
    void undoWaitsForWhatIsUnderWay_data()
    {
        QTest::addColumn<unsigned>("activity");  // 0: an edit
        QTest::newRow("playing") << unsigned(TEditor::ActivityPlaying);
        QTest::newRow("cell open") << unsigned(TEditor::ActivityCell);
        QTest::newRow("drag") << unsigned(TEditor::ActivityDrag);
        QTest::newRow("editing") << 0u;
    }
    void undoWaitsForWhatIsUnderWay()
    {
        QFETCH(unsigned, activity);
        TEditor e;
        Start(e, "walk.rtm");
        QVERIFY(e.Anim().InsertFrameAfter().isEmpty() && e.Anim().InsertFrameAfter().isEmpty() && e.Undo());
        const QByteArray before = Saved(e);
        QSignalSpy spy(&e, &TEditor::UndoStateChanged);
        const auto busy = [&](bool on) {
            if (activity)
                e.SetActivity(activity, on);
            else if (on)
                QVERIFY(!e.BeginEdit().Refusal);
            else
                e.EndEdit();
        };
        busy(true);
        QCOMPARE(spy.count(), 1);
        QVERIFY(e.History().CanUndo() && e.History().CanRedo() && !e.UndoOffered());
        QVERIFY(!e.Undo() && !e.Redo());
        QCOMPARE(Saved(e), before);
        if (activity) {
            e.SetActivity(activity, true);  // said once
            QCOMPARE(spy.count(), 1);
        }
        busy(false);
        QCOMPARE(spy.count(), 2);
        QVERIFY(e.UndoOffered() && e.Undo());
        QVERIFY(Saved(e) != before);
    }

    // The switches of how the views draw (the grid, the 3D view's) change no outline or
    // pose: they are reported as such, and the rest as options.
    void lookAndOptionsReportedApart_data()
    {
        QTest::addColumn<TOp>("op");
        QTest::addColumn<unsigned>("reported");  // exactly these flags
        const auto row = [](const char* name, unsigned reported, void (*set)(TEditorOptions&)) {
            QTest::newRow(name) << WithOptions(set) << reported;
        };
        row("2D grid", ChangeLook, [](TEditorOptions& o) { o.Grid = false; });
        row("shell alphas", ChangeLook, [](TEditorOptions& o) { o.PolygonAlpha = o.EnvironmentAlpha = 0.5f; });
        row("axes", ChangeOptions, [](TEditorOptions& o) { o.Axes = false; });
        row("axes and grid", ChangeOptions, [](TEditorOptions& o) { o.Axes = o.Grid = false; });
        row("components shown", ChangeOptions, [](TEditorOptions& o) { o.Show = TComponentShow::All; });
        row("nothing", 0, [](TEditorOptions&) {});
    }
    void lookAndOptionsReportedApart()
    {
        QFETCH(TOp, op);
        QFETCH(unsigned, reported);
        TEditor e;
        Start(e, true);
        QSignalSpy spy(&e, &TEditor::Changed);
        op(e, Dir_);
        QCOMPARE(Reported(spy), reported);
    }

    // What sets up which components are hidden also has the views show the components
    // that are not hidden.
    void hidingShowsTheComponentsNotHidden_data()
    {
        QTest::addColumn<TOp>("op");
        QTest::newRow("show all") << TOp([](TEditor& e, const QDir&) { e.ShowAll(); });
        QTest::newRow("hide all") << TOp([](TEditor& e, const QDir&) { e.HideAll(); });
        QTest::newRow("animated only") << TOp([](TEditor& e, const QDir&) {
            QVERIFY(e.ShowAll());  // the load hid the rest already
            SetOptions(e, [](TEditorOptions& o) { o.Show = TComponentShow::None; });
            QVERIFY(e.ShowAnimatedOnly());
        });
        QTest::newRow("animation loaded") << TOp(
            [](TEditor& e, const QDir& d) { QVERIFY(e.LoadAnimation(d.filePath("sample.rtm"))); });
        QTest::newRow("new animation") << TOp([](TEditor& e, const QDir&) {
            e.StartNewAnimation();
            QVERIFY(e.CreateNewAnimation({QStringLiteral("leg")}).isEmpty());
        });
    }
    void hidingShowsTheComponentsNotHidden()
    {
        QFETCH(TOp, op);
        TEditor e;
        Start(e, true);
        SetOptions(e, [](TEditorOptions& o) { o.Show = TComponentShow::None; });
        op(e, Dir_);
        QCOMPARE(e.Options().Show, TComponentShow::Checked);
    }

    // Pivot mode switched on and off during an edit leaves the edit's pose alone: Apply
    // writes what was edited, not the rest pose pivot mode shows outside an edit.
    void pivotModeKeepsTheEdit()
    {
        TEditor e;
        Start(e, "sample.rtm");
        Select(e, "arm");
        e.BeginEdit();
        e.EditTick(true, true, 0, 0, 10);
        const TMatrix12f edited = Narrow(Act(e, "arm"));
        SetOptions(e, [](TEditorOptions& o) { o.PivotMode = true; });
        QCOMPARE(Narrow(Act(e, "arm")), edited);
        SetOptions(e, [](TEditorOptions& o) { o.PivotMode = false; });
        QVERIFY(e.ApplyEdit());
        QCOMPARE(Frame(e, 0)[0], edited);
    }
};

TORVANE_TEST(EditorTest)
#include "EditorTest.moc"
