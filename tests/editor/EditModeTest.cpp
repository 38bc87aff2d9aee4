// Edit mode without a window: starting an edit of the selected components of the current
// frame, the slider ticks, Restore, Apply, Cancel and Reset Frame, and what each reports.
#include "app/TestModels.h"
#include "editor/Editor.h"
#include "filebuild/RtmBuilder.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

Q_DECLARE_METATYPE(TVec3)

namespace {
bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

bool Near(const TVec3& a, const TVec3& b) { return std::abs(a.x - b.x) < 1e-6 && std::abs(a.y - b.y) < 1e-6 && std::abs(a.z - b.z) < 1e-6; }

unsigned Reported(const QSignalSpy& spy)
{
    unsigned seen = 0;
    for (const QList<QVariant>& signal : spy)
        seen |= signal.at(0).toUInt();
    return seen;
}
}  // namespace

class EditModeTest : public QObject {
    Q_OBJECT
    QTemporaryDir Home_;
    QDir Dir_;

    // The linked robot (arm under body with its pivot at (1, 1.25, 0.1), hand under arm at
    // (2, 1.25, 0.25)) and, unless anim is null, that animation.
    void Start(TEditor& e, const char* anim, bool model = true)
    {
        e.LinkDataDir = Dir_.filePath(QStringLiteral("LinkData"));
        if (model)
            QVERIFY(e.LoadModel(Dir_.filePath(QStringLiteral("robot.p3d"))));
        if (anim)
            QVERIFY(e.LoadAnimation(Dir_.filePath(QLatin1String(anim))));
    }
    // The tree's selection of one component, and how a component is posed.
    static std::vector<int> Node(const TEditor& e, const char* name) { return {e.Forest().Find(QLatin1String(name))}; }
    static const TTransform& Act(const TEditor& e, const char* name)
    {
        return e.ComponentPoses().Act(FindComponentByName(e.TreeOrder(), QLatin1String(name)));
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
            return WriteFile(Dir_.filePath(QLatin1String(name)), bytes);
        };
        RtmBuild::TFile still = RtmBuild::TFile::Regular({"arm", "hand"}, 2), gap = still;
        for (auto& frame : still.Frames)
            for (auto& r : frame.Records)
                r.Matrix = RtmBuild::Identity;
        gap.Frames[1].Records[1].Name = "arm";  // frame 1 has no entry for the hand
        QVERIFY(Dir_.mkpath(QStringLiteral("LinkData")) && write("robot.p3d", Robot().Build()) &&
                write("lamp.p3d", Lamp().Build()) && write("LinkData/robot.lpv", RobotLinks()) &&
                write("still.rtm", RtmBuild::Build(still)) && write("gap.rtm", RtmBuild::Build(gap)) &&
                write("walk.rtm", RtmBuild::Build(RtmBuild::TFile::Regular({"arm", "hand"}, 3))) &&
                write("ghost.rtm", RtmBuild::Build(RtmBuild::TFile::Regular({"arm", "ghost"}, 3))));
    }

    // What keeps "Edit Frame" and "Reset Frame" from acting; nothing changes then, and no
    // tick, Restore or Apply acts outside edit mode.
    void refusals_data()
    {
        QTest::addColumn<bool>("model");
        QTest::addColumn<QString>("anim");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<bool>("resetFrame");  // "Reset Frame" does its work
        QTest::newRow("no frames") << true << QString() << "Nothing to edit!" << false;
        QTest::newRow("no components") << false << "walk.rtm" << "No Components found!" << true;
    }
    void refusals()
    {
        QFETCH(bool, model);
        QFETCH(QString, anim);
        QFETCH(QString, refusal);
        QFETCH(bool, resetFrame);
        TEditor e;
        Start(e, anim.isEmpty() ? nullptr : qPrintable(anim), model);
        QSignalSpy spy(&e, &TEditor::Changed);
        QCOMPARE(QString::fromLatin1(e.BeginEdit(Node(e, "arm")).Refusal), refusal);
        QVERIFY(!e.Editing());
        QVERIFY(!e.EditTick(Node(e, "arm"), true, true, 0, 0, 10));
        QCOMPARE(e.RestoreEdit(Node(e, "arm"), true), 0);
        QVERIFY(!e.ApplyEdit(Node(e, "arm")));
        QCOMPARE(spy.count(), 0);
        QCOMPARE(e.ResetFrame(), resetFrame);
        QCOMPARE(e.Anim().CanUndo(), resetFrame);
    }

    // The switches decide what the sliders do to the arm: each tick turns by the cube of
    // the deflection (0.1 at full) or moves by it; the hand below the arm follows and the
    // body above it stays. Centred sliders do nothing.
    void ticks_data()
    {
        QTest::addColumn<bool>("rotate");
        QTest::addColumn<bool>("relative");
        QTest::addColumn<TVec3>("slider");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<TVec3>("hand");  // where the hand's pivot (2, 1.25, 0.25) goes
        const double c = std::cos(0.1), s = std::sin(0.1), c2 = std::cos(0.025), s2 = std::sin(0.025);
        QTest::newRow("about the pivot") << true << true << TVec3{0, 0, 10} << 1 << TVec3{1 + c, 1.25 + s, 0.25};
        QTest::newRow("about the origin") << true << false << TVec3{0, 0, 10} << 1 << TVec3{2 * c - 1.25 * s, 2 * s + 1.25 * c, 0.25};
        QTest::newRow("cube keeps the sign, adds up") << true << true << TVec3{0, 0, -5} << 2 << TVec3{1 + c2, 1.25 - s2, 0.25};
        QTest::newRow("x, then y") << true << true << TVec3{10, -10, 0} << 1
                                   << TVec3{1 + c - 0.15 * c * s, 1.25 - 0.15 * s, 0.1 + s + 0.15 * c * c};
        QTest::newRow("move is linear") << false << true << TVec3{-10, 5, 2} << 3 << TVec3{1.97, 1.265, 0.256};
        QTest::newRow("centred") << true << true << TVec3{0.0005, -0.0005, 0} << 2 << TVec3{2, 1.25, 0.25};
    }
    void ticks()
    {
        QFETCH(bool, rotate);
        QFETCH(bool, relative);
        QFETCH(TVec3, slider);
        QFETCH(int, ticks);
        QFETCH(TVec3, hand);
        TEditor e;
        Start(e, "still.rtm");
        const std::vector<int> arm = Node(e, "arm");
        QCOMPARE(e.BeginEdit(arm).Missing, 0);
        QVERIFY(e.Editing());
        QSignalSpy spy(&e, &TEditor::Changed);
        const bool moves = !Near(hand, {2, 1.25, 0.25});
        for (int i = 0; i < ticks; ++i)
            QCOMPARE(e.EditTick(arm, rotate, relative, slider.x, slider.y, slider.z), moves);
        QCOMPARE(spy.count(), moves ? ticks : 0);
        QVERIFY(Near(Act(e, "hand").Apply({2, 1.25, 0.25}), hand));
        QCOMPARE(Act(e, "body"), TTransform::Identity());
    }

    // Restore brings back the stored frame exactly, Cancel leaves it stored and shows it,
    // Apply writes the edit as one undoable step and ends edit mode.
    void restoreCancelApply()
    {
        TEditor e;
        Start(e, "walk.rtm");
        e.Anim().SetActStep(1);
        const std::vector<TMatrix12f> stored = Frame(e, 1);
        const std::vector<int> arm = Node(e, "arm");
        const auto tick5 = [&] {
            for (int i = 0; i < 5; ++i)
                e.EditTick(arm, true, true, 7.3, 0, -4.2);
        };
        e.BeginEdit(arm);
        tick5();
        QVERIFY(Narrow(Act(e, "arm")) != stored[0]);
        QCOMPARE(e.RestoreEdit(arm, true), 0);
        QCOMPARE(Act(e, "arm"), Widen(stored[0]));
        QVERIFY(e.Editing());
        tick5();
        e.EndEdit();
        QVERIFY(!e.Editing() && Frame(e, 1) == stored);
        QCOMPARE(Act(e, "hand"), Widen(stored[1]));
        QVERIFY(!e.Anim().CanUndo());

        e.BeginEdit(arm);
        tick5();
        const TMatrix12f edited = Narrow(Act(e, "hand"));
        QVERIFY(edited != stored[1]);
        QSignalSpy spy(&e, &TEditor::Changed);
        QVERIFY(e.ApplyEdit(arm));
        QVERIFY(!e.Editing());
        QCOMPARE(Reported(spy) & (ChangeDocument | ChangePose), unsigned(ChangeDocument | ChangePose));
        QCOMPARE(Frame(e, 1)[1], edited);
        QCOMPARE(Act(e, "hand"), Widen(edited));
        QCOMPARE(e.Anim().UndoName(), QStringLiteral("Apply Changes"));
        QVERIFY(e.Anim().Undo() && Frame(e, 1) == stored);
        QCOMPARE(Act(e, "hand"), Widen(stored[1]));
    }

    // An animated component without an entry in the current frame is counted (one message
    // each) when the edit starts and on Restore; Apply with a frame naming a component the
    // model lacks is refused whole and the edit goes on.
    void missingEntriesAndComponents()
    {
        TEditor e;
        Start(e, "gap.rtm");
        e.Anim().SetActStep(1);
        QCOMPARE(e.BeginEdit(Node(e, "arm")).Missing, 1);
        QCOMPARE(e.RestoreEdit(Node(e, "arm"), true), 1);
        e.EndEdit();

        Start(e, "ghost.rtm");
        const std::vector<TMatrix12f> stored = Frame(e, 0);
        const std::vector<int> arm = Node(e, "arm");
        QCOMPARE(e.BeginEdit(arm).Missing, 0);
        e.EditTick(arm, false, true, 10, 0, 0);
        QVERIFY(!e.ApplyEdit(arm));
        QVERIFY(e.Editing() && Frame(e, 0) == stored && !e.Anim().CanUndo());
    }

    // Reset Frame makes the current frame's entries the identity, and only its, as one
    // undoable step; the components show it, and the views hear of both.
    void resetFrame()
    {
        TEditor e;
        Start(e, "walk.rtm");
        e.Anim().SetActStep(2);
        QSignalSpy spy(&e, &TEditor::Changed);
        QVERIFY(e.ResetFrame());
        QCOMPARE(Reported(spy) & (ChangeDocument | ChangePose), unsigned(ChangeDocument | ChangePose));
        QVERIFY(Frame(e, 2) == std::vector<TMatrix12f>(2, IdentityMatrix12f));
        QVERIFY(Frame(e, 1)[0] != IdentityMatrix12f);
        QCOMPARE(Act(e, "arm"), TTransform::Identity());
        QCOMPARE(e.Anim().UndoName(), QStringLiteral("Reset Frame"));
    }

    // A press in the tree during an edit: the edit goes on from where the components are,
    // so the hand keeps the arm's turn when it is moved on its own.
    void rebaseKeepsWhatWasDone()
    {
        TEditor e;
        Start(e, "still.rtm");
        e.BeginEdit(Node(e, "arm"));
        e.EditTick(Node(e, "arm"), true, true, 0, 0, 10);  // about the arm's pivot, the hand with it
        e.RebaseEdit(Node(e, "hand"));
        e.EditTick(Node(e, "hand"), false, true, 10, 0, 0);
        const double c = std::cos(0.1), s = std::sin(0.1);
        QVERIFY(Near(Act(e, "hand").Apply({2, 1.25, 0.25}), {1 + c + 0.01, 1.25 + s, 0.25}));
    }

    // Edit mode ends when its animation goes: afterwards the document poses the model again.
    void clearingTheAnimationEndsTheEdit()
    {
        TEditor e;
        Start(e, "walk.rtm");
        e.BeginEdit(Node(e, "arm"));
        e.Anim().ClearAnimation();
        QVERIFY(!e.Editing());
        QVERIFY(e.LoadAnimation(Dir_.filePath(QStringLiteral("walk.rtm"))));
        QCOMPARE(Narrow(Act(e, "arm")), RtmBuild::TFile::Sample(0, 0));
    }
};

TORVANE_TEST(EditModeTest)
#include "EditModeTest.moc"
