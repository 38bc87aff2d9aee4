// The editing session without a window: whatever an operation changes is reported through
// Changed, and the pose the views draw is then the document's current frame (the rest pose
// without frames or in pivot mode).
#include "app/TestModels.h"
#include "editor/Editor.h"
#include "filebuild/RtmBuilder.h"
#include "model/P3dmodell.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
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

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
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
        DrawViews(e.Models(), e.TreeOrder(), e.Cache(), e.ComponentPoses(), options, e.Params(), views, size, size, ranges, changed);
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
}  // namespace
Q_DECLARE_METATYPE(TOp)

class EditorTest : public QObject {
    Q_OBJECT
    QTemporaryDir Home_;
    QDir Dir_;

    void Start(TEditor& e, bool animated)
    {
        e.LinkDataDir = Dir_.filePath(QStringLiteral("LinkData"));
        QVERIFY(e.LoadModel(Dir_.filePath(QStringLiteral("robot.p3d"))));
        if (animated)
            QVERIFY(e.LoadAnimation(Dir_.filePath(QStringLiteral("walk.rtm"))));
    }

private slots:
    void initTestCase()
    {
        Dir_ = QDir(Home_.path());
        QVERIFY(Robot().WriteTo(Dir_.filePath(QStringLiteral("robot.p3d"))) &&
                Lamp().WriteTo(Dir_.filePath(QStringLiteral("lamp.p3d"))) &&
                Room().WriteTo(Dir_.filePath(QStringLiteral("room.p3d"))));
        QVERIFY(WriteFile(Dir_.filePath(QStringLiteral("walk.rtm")), RtmBuild::Build(Walk())));
        QVERIFY(WriteFile(Dir_.filePath(QStringLiteral("bad.rtm")), "not an animation"));
    }

    void everyChangeIsReportedAndShown_data()
    {
        QTest::addColumn<bool>("animated");  // the walk loaded before the operation
        QTest::addColumn<TOp>("op");
        QTest::addColumn<unsigned>("reported");  // flags the operation's signals must carry
        const auto path = [](const QDir& d, const char* name) { return d.filePath(QLatin1String(name)); };
        const auto options = [](const std::function<void(TEditorOptions&)>& set) {
            return TOp([set](TEditor& e, const QDir&) {
                TEditorOptions o = e.Options();
                set(o);
                e.SetOptions(o);
            });
        };
        QTest::newRow("load") << false << TOp([path](TEditor& e, const QDir& d) { e.LoadAnimation(path(d, "walk.rtm")); })
                              << unsigned(ChangeDocument | ChangeModel | ChangePose);
        QTest::newRow("failed load") << true
                                     << TOp([path](TEditor& e, const QDir& d) { e.LoadAnimation(path(d, "bad.rtm")); })
                                     << unsigned(ChangeDocument | ChangePose);
        QTest::newRow("clear") << true << TOp([](TEditor& e, const QDir&) { e.Anim().ClearAnimation(); })
                               << unsigned(ChangeDocument | ChangeModel | ChangePose);
        QTest::newRow("current frame") << true << TOp([](TEditor& e, const QDir&) { e.Anim().SetActStep(2); })
                                       << unsigned(ChangeDocument | ChangePose);
        QTest::newRow("delete") << true << TOp([](TEditor& e, const QDir&) {
            e.Anim().SetActStep(1);
            QVERIFY(e.Anim().DeleteCurrentFrame().isEmpty());
        }) << unsigned(ChangeDocument | ChangePose);
        QTest::newRow("timer mirror") << true << TOp([](TEditor& e, const QDir&) {
            QCOMPARE(e.Anim().MirrorRange(0, 2).Status, TTimingStatus::Done);
        }) << unsigned(ChangeDocument | ChangePose);
        QTest::newRow("undo") << true << TOp([](TEditor& e, const QDir&) {
            e.Anim().MirrorRange(0, 2);
            QVERIFY(e.Anim().Undo());
        }) << unsigned(ChangeDocument | ChangePose);
        QTest::newRow("new animation") << true << TOp([](TEditor& e, const QDir&) {
            QVERIFY(e.Anim().CreateNewAnimation({QStringLiteral("arm")}).isEmpty());
        }) << unsigned(ChangeDocument | ChangePose);
        QTest::newRow("link") << true << TOp([](TEditor& e, const QDir&) {  // the pose stays with the components
            QVERIFY(e.Forest().Link(e.Forest().Find(QStringLiteral("hand")), e.Forest().Find(QStringLiteral("arm"))));
        }) << unsigned(ChangeModel);
        QTest::newRow("model reload") << true
                                      << TOp([path](TEditor& e, const QDir& d) { e.LoadModel(path(d, "robot.p3d")); })
                                      << unsigned(ChangeModel | ChangePose);
        QTest::newRow("pivot mode") << true << options([](TEditorOptions& o) { o.PivotMode = true; })
                                    << unsigned(ChangeOptions | ChangePose);
        QTest::newRow("pivot mode left") << true << TOp([](TEditor& e, const QDir&) {
            TEditorOptions o = e.Options();
            o.PivotMode = true;
            e.SetOptions(o);
            e.Anim().SetActStep(2);  // under pivot mode the model stays at rest
            QCOMPARE(ShownArmX(e), ArmRestX);
            o.PivotMode = false;
            e.SetOptions(o);
        }) << unsigned(ChangeOptions | ChangePose);
        QTest::newRow("offset") << true << options([](TEditorOptions& o) { o.Offset = {0.5, 0, 0}; })
                                << unsigned(ChangeOptions);
        QTest::newRow("environment") << true << TOp([path](TEditor& e, const QDir& d) {
            QCOMPARE(e.LoadEnvironment(path(d, "room.p3d")), TEnvironmentLoad::Loaded);
            QVERIFY(e.Options().Environment);  // a load shows it
        }) << unsigned(ChangeModel | ChangeOptions);
        QTest::newRow("pose held") << true << TOp([](TEditor& e, const QDir&) {
            e.HoldPose(true);  // as playback does: the components keep what it shows
            e.Anim().SetActStep(2);
            QCOMPARE(ShownArmX(e), ArmRestX + 5);
            e.HoldPose(false);
            e.ShowCurrentFrame();
        }) << unsigned(ChangeDocument | ChangePose);
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
        unsigned seen = 0;
        for (const QList<QVariant>& signal : spy)
            seen |= signal.at(0).toUInt();
        QCOMPARE(seen & reported, reported);
        QCOMPARE(ShownArmX(e), ExpectedArmX(e));
    }

    void viewsFollowModelEdits_data()
    {
        QTest::addColumn<TOp>("op");
        const auto component = [](TEditor& e, const char* name) {
            return FindComponentByName(e.TreeOrder(), QLatin1String(name));
        };
        QTest::newRow("hide") << TOp([](TEditor& e, const QDir&) { e.Forest().ToggleHidden(e.Forest().Find(QStringLiteral("arm"))); });
        QTest::newRow("colour") << TOp([component](TEditor& e, const QDir&) {
            component(e, "hand")->Color = 0x0000FFu;
            e.Forest().ComponentsChanged();
        });
        QTest::newRow("show none") << TOp([](TEditor& e, const QDir&) {
            TEditorOptions o = e.Options();
            o.Show = TComponentShow::None;
            o.AllPolygons = true;
            e.SetOptions(o);
        });
        // The same components of the same model, the arm linked below the hand: the arm
        // comes to the tree position the hand had.
        QTest::newRow("hierarchy") << TOp([](TEditor& e, const QDir&) {
            QVERIFY(e.Forest().Link(e.Forest().Find(QStringLiteral("arm")), e.Forest().Find(QStringLiteral("hand"))));
        });
        QTest::newRow("other model") << TOp([](TEditor& e, const QDir& d) {
            QVERIFY(e.LoadModel(d.filePath(QStringLiteral("room.p3d"))));
        });
        QTest::newRow("environment") << TOp([](TEditor& e, const QDir& d) {
            QCOMPARE(e.LoadEnvironment(d.filePath(QStringLiteral("room.p3d"))), TEnvironmentLoad::Loaded);
        });
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

    // An option set to what it is already, or a model cleared twice, is no change.
    void noChangeIsNotReported()
    {
        TEditor e;
        Start(e, true);
        QSignalSpy spy(&e, &TEditor::Changed);
        e.SetOptions(e.Options());
        e.Anim().SetActStep(0);
        QCOMPARE(spy.count(), 0);
        e.ClearModel();
        spy.clear();
        e.ClearModel();
        QCOMPARE(spy.count(), 0);
    }

    // Clearing the animation shows again what its load hid, and only that; the model is
    // back at rest.
    void clearShowsWhatTheLoadHid()
    {
        TEditor e;
        Start(e, false);
        const auto component = [&e](const char* name) { return FindComponentByName(e.TreeOrder(), QLatin1String(name)); };
        component("leg")->Hidden = true;  // hidden by the user before the load
        QVERIFY(e.LoadAnimation(Dir_.filePath(QStringLiteral("walk.rtm"))));
        QVERIFY(component("body")->Hidden && component("leg")->Hidden && !component("arm")->Hidden);
        QVERIFY(!(e.ComponentPoses().Act(component("arm")) == TTransform::Identity()));
        e.Anim().ClearAnimation();
        QVERIFY(!component("body")->Hidden && !component("arm")->Hidden);
        QVERIFY(component("leg")->Hidden);
        QVERIFY(e.ComponentPoses().Act(component("arm")) == TTransform::Identity());
    }
};

TORVANE_TEST(EditorTest)
#include "EditorTest.moc"
