// The animator's aids as the editor draws them into the views' item lists: the onion skin
// under the pose (its own tints, its own points, the pose's drawing and range untouched),
// kept while only the pose changes; the motion path over it; and a flipped frame posed on
// a symmetric model, the mirror image of the frame.
#include "EditorSession.h"
#include "anim/Flip.h"
#include "filebuild/RtmBuilder.h"
#include "model/P3dModel.h"
#include "support/TestMain.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <cstring>
#include <functional>
#include <set>

namespace {

using IntList = QList<int>;

// The robot's arm (point 8, stored at x = 1, pivot (1, 1.25, 0.1)) in frame k of five is
// moved by 0.25 k along y.
constexpr int ArmPoint = 8;

RtmBuild::TFile ArmWalk()
{
    RtmBuild::TFile walk = RtmBuild::TFile::Regular({"arm"}, 5);
    walk.TotalMove = {0, 0, 0};
    for (size_t k = 0; k < walk.Frames.size(); ++k)
        walk.Frames[k].Records[0].Matrix = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0.25f * float(k), 0};
    return walk;
}

struct TDrawing {
    std::array<TChartItems, ViewCount> Items;
    std::array<TChartRange, ViewCount> Ranges{};
    std::array<bool, ViewCount> Changed{};
    // Every segment with its colour in drawing order, per view.
    std::array<QStringList, ViewCount> Segments;

    explicit TDrawing(TEditor& e)
    {
        e.Pose();
        const TViewItems views{&Items[0], &Items[1], &Items[2]};
        std::array<int, ViewCount> size{600, 450, 450};
        e.DrawViews(views, size, size, Ranges, Changed);
        for (size_t v = 0; v < Items.size(); ++v)
            Items[v].ForEachSegment([&](double x0, double y0, double x1, double y1, uint32_t c) {
                Segments[v] << QStringLiteral("%1 %2 %3 %4 %5").arg(x0).arg(y0).arg(x1).arg(y1).arg(c, 6, 16, QLatin1Char('0'));
            });
    }
    std::set<uint32_t> Colours(size_t v) const
    {
        std::set<uint32_t> out;
        for (const TChartOutlineBatch& b : Items[v].OutlineBatches())
            out.insert(b.Color);
        return out;
    }
};

// A model that is its own mirror image, with partners of three spellings, and three frames
// whose frame 1 turns and moves them unevenly.
bool WriteTwins(const QDir& dir)
{
    TP3dBuilder b;
    b.AddSelection("body", b.AddBox(-1, 0, -0.5f, 1, 2, 0.5f));
    b.AddSelection("arm_l", b.AddBox(-3, 1, -0.25f, -1.5f, 1.5f, 0.75f));
    b.AddSelection("Arm_R", b.AddBox(1.5f, 1, -0.25f, 3, 1.5f, 0.75f));
    b.AddSelection("leg.L", b.AddTriangle(-0.75f, -2, 0, -0.25f, -2, 0.5f, -0.5f, 0, 0.25f));
    b.AddSelection("leg.R", b.AddTriangle(0.75f, -2, 0, 0.25f, -2, 0.5f, 0.5f, 0, 0.25f));
    RtmBuild::TFile anim = RtmBuild::TFile::Regular({"body", "arm_l", "Arm_R", "leg.L", "leg.R"}, 3);
    anim.TotalMove = {0, 0, 3};
    const float c = 0.8f, s = 0.6f;  // turns and moves that are not symmetric
    anim.Frames[1].Records[0].Matrix = {c, s, 0, -s, c, 0, 0, 0, 1, 0.5f, 0.25f, -1};
    anim.Frames[1].Records[1].Matrix = {1, 0, 0, 0, c, s, 0, -s, c, -0.75f, 1, 2};
    anim.Frames[1].Records[2].Matrix = {c, 0, -s, 0, 1, 0, s, 0, c, 0.125f, -0.5f, 0};
    anim.Frames[1].Records[3].Matrix = {1, 0.25f, 0, 0, 1, 0, 0, 0.5f, 1, 0, 0, 0};
    return WriteBytesFile(dir.filePath("twins.p3d"), b.Build()) &&
           WriteBytesFile(dir.filePath("twins.rtm"), RtmBuild::Build(anim));
}

// The same frames to the bit (no frames hold no memory to compare).
bool SameFrames(const TAnimFrames& a, const TAnimFrames& b)
{
    return a.size() == b.size() && a.AllEntries().size() == b.AllEntries().size() &&
           (a.empty() || (std::memcmp(a.Times().data(), b.Times().data(), a.size() * sizeof(float)) == 0 &&
                          std::memcmp(a.AllEntries().data(), b.AllEntries().data(), a.AllEntries().size_bytes()) == 0));
}

// The frames the onion skin shows, as frame numbers, negative for the frames before.
IntList Shown(const TEditor& e)
{
    IntList out;
    for (const TOnionLayer* l : e.OnionLayers())
        out << (l->After ? l->Frame : -l->Frame - 100);
    return out;
}

}  // namespace

class AnimAidsTest : public QObject {
    Q_OBJECT
    QTemporaryDir Home_;
    QDir Dir_;

    void Start(TEditor& e, const char* anim = "walk.rtm")
    {
        e.LinkDataDir = Dir_.filePath(QStringLiteral("LinkData"));
        QVERIFY(e.LoadModel(Dir_.filePath(QStringLiteral("robot.p3d"))));
        QVERIFY(e.LoadAnimation(Dir_.filePath(QLatin1String(anim))));
    }

private slots:
    void initTestCase()
    {
        Dir_ = QDir(Home_.path());
        QVERIFY(WriteRobot(Dir_) && WriteBytesFile(Dir_.filePath("walk.rtm"), RtmBuild::Build(ArmWalk())) && WriteTwins(Dir_));
    }

    // Which frames show around the current one, farthest first, and which side: the first
    // and the last frame show only the side there is.
    void onionFrames_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("n");
        QTest::addColumn<IntList>("shown");
        QTest::newRow("middle, one") << 2 << 1 << IntList{-101, 3};
        QTest::newRow("middle, two") << 2 << 2 << IntList{-100, 4, -101, 3};
        QTest::newRow("first") << 0 << 2 << IntList{2, 1};
        QTest::newRow("last") << 4 << 1 << IntList{-103};
        QTest::newRow("more than there are") << 1 << 5 << IntList{4, 3, -100, 2};
        QTest::newRow("off") << 2 << 0 << IntList{};
    }
    void onionFrames()
    {
        QFETCH(int, current);
        QFETCH(int, n);
        QFETCH(IntList, shown);
        TEditor e;
        Start(e);
        e.Anim().SetActStep(current);
        SetOptions(e, [n](TEditorOptions& o) { o.OnionFrames = n; });
        e.Pose();
        QCOMPARE(Shown(e), shown);
        for (const TOnionLayer* l : e.OnionLayers())  // each posed at its own frame, in its own points
            QCOMPARE(l->Points.Of(*e.Models().front())->at(ArmPoint).Y, 1.0f + 0.25f * float(l->Frame));
    }

    // The onion skin goes under the pose: its outlines come first, in the tints faded by
    // distance, and after them the pose's drawing is the one without onion skin, with the
    // same ranges; the models' display points stay the current pose's.
    void onionUnderThePose()
    {
        TEditor e;
        Start(e);
        e.Anim().SetActStep(2);
        const TDrawing plain(e);
        const std::vector<TDisplayPoint> shown = e.Models().front()->DisplayPoints;
        SetOptions(e, [](TEditorOptions& o) { o.OnionFrames = 2; });
        const TDrawing onion(e);
        QCOMPARE(e.Models().front()->DisplayPoints.size(), shown.size());
        QVERIFY(
            std::equal(shown.begin(), shown.end(), e.Models().front()->DisplayPoints.begin(),
                       [](const TDisplayPoint& a, const TDisplayPoint& b) { return a.X == b.X && a.Y == b.Y && a.Z == b.Z; }));
        const std::set<uint32_t> tints{OnionViewColor(false, 1, 2), OnionViewColor(false, 2, 2), OnionViewColor(true, 1, 2),
                                       OnionViewColor(true, 2, 2)};
        QCOMPARE(tints.size(), size_t(4));  // four colours, none of them the arm's
        QVERIFY(!tints.count(FindComponentByName(e.TreeOrder(), "arm")->Color));
        for (size_t v = 0; v < ViewCount; ++v) {
            const QStringList& all = onion.Segments[v];
            const qsizetype under = all.size() - plain.Segments[v].size();
            QVERIFY(under > 0);
            QCOMPARE(all.mid(under), plain.Segments[v]);
            std::set<uint32_t> used;
            for (const QString& s : all.mid(0, under))
                used.insert(s.section(' ', 4).toUInt(nullptr, 16));
            QCOMPARE(used, tints);
            QCOMPARE(onion.Changed[v], plain.Changed[v]);
            QCOMPARE(QList<double>({onion.Ranges[v].X1, onion.Ranges[v].Y1, onion.Ranges[v].X2, onion.Ranges[v].Y2}),
                     QList<double>({plain.Ranges[v].X1, plain.Ranges[v].Y1, plain.Ranges[v].X2, plain.Ranges[v].Y2}));
        }
        // The tints: blue before, orange after, fainter farther away.
        QVERIFY((OnionViewColor(false, 1, 2) >> 16 & 0xFF) > (OnionViewColor(false, 1, 2) & 0xFF));
        QVERIFY((OnionViewColor(true, 1, 2) & 0xFF) > (OnionViewColor(true, 1, 2) >> 16 & 0xFF));
        QVERIFY((OnionViewColor(true, 2, 2) & 0xFF) < (OnionViewColor(true, 1, 2) & 0xFF));
    }

    // No onion skin while playback or pivot mode poses the model; an edit tick poses only
    // the current frame again, a change of the document the neighbours too.
    void onionKeptWhileOnlyThePoseChanges()
    {
        TEditor e;
        Start(e);
        e.Anim().SetActStep(2);
        SetOptions(e, [](TEditorOptions& o) { o.OnionFrames = 1; });
        e.Pose();
        QCOMPARE(e.OnionLayers().size(), size_t(2));
        const int posed = e.OnionSkin().PosedCount();
        e.SetSelection({e.Forest().Find("arm")}, e.Forest().Find("arm"));
        QVERIFY(!e.BeginEdit().Refusal);
        QVERIFY(e.EditTick(false, false, 0, 5, 0));
        {
            TDrawing d(e);
        }
        QCOMPARE(e.OnionSkin().PosedCount(), posed);
        QVERIFY(e.ApplyEdit());
        e.Pose();
        QCOMPARE(e.OnionLayers().size(), size_t(2));
        QCOMPARE(e.OnionSkin().PosedCount(), posed + 2);
        e.HoldPose(true);
        QVERIFY(e.OnionLayers().empty());
        e.HoldPose(false);
        SetOptions(e, [](TEditorOptions& o) { o.PivotMode = true; });
        QVERIFY(e.OnionLayers().empty());
        SetOptions(e, [](TEditorOptions& o) { o.PivotMode = false; });
        QCOMPARE(e.OnionLayers().size(), size_t(2));
    }

    // The arm's pivot at every frame, a line with a dot each and the current one stressed
    // over them; an edit under way moves the current point, the others stay; a component
    // the animation does not move has no path.
    void motionPath()
    {
        TEditor e;
        Start(e);
        e.Anim().SetActStep(3);
        SetOptions(e, [](TEditorOptions& o) { o.MotionPath = "arm"; });
        TMotionPath path = e.ShownMotionPath();
        QCOMPARE(path.Points.size(), size_t(5));
        QCOMPARE(path.Current, 3);
        for (size_t k = 0; k < 5; ++k)
            QVERIFY(std::abs(path.Points[k].x - 1) < 1e-6 && std::abs(path.Points[k].y - (1.25 + 0.25 * double(k))) < 1e-6 &&
                    std::abs(path.Points[k].z - 0.1) < 1e-6);
        const TDrawing d(e);
        for (size_t v = 0; v < ViewCount; ++v) {
            const std::vector<TChartItem>& items = d.Items[v].Items();
            int joined = 0, now = 0;
            for (const TChartItem& it : items)
                joined += it.Kind == TChartItemKind::JoinedMark && it.Aux == PathDotCode;
            const TChartItem& last =
                items[d.Items[v].Decorations()[d.Items[v].Decorations().size() - 3]];  // before the two axis letters
            now += last.Kind == TChartItemKind::Mark && last.Aux == PathNowCode;
            QCOMPARE(QList<int>({joined, now}), QList<int>({5, 1}));
            const TViewPoint p = ViewProject(TViewKind(v), path.Points[3].x, path.Points[3].y, path.Points[3].z);
            QCOMPARE(QList<double>({last.X, last.Y}), QList<double>({p.U, p.V}));
        }
        e.SetSelection({e.Forest().Find("arm")}, e.Forest().Find("arm"));
        QVERIFY(!e.BeginEdit().Refusal);
        QVERIFY(e.EditTick(false, false, 10, 0, 0));
        const TMotionPath edited = e.ShownMotionPath();
        QVERIFY(edited.Points[3].x > path.Points[3].x);
        QCOMPARE(edited.Points[2].x, path.Points[2].x);
        e.EndEdit();
        SetOptions(e, [](TEditorOptions& o) { o.MotionPath = "leg"; });
        QVERIFY(e.ShownMotionPath().IsEmpty());
    }

    // The window's switch and count: switching on shows the count chosen last (1 at first),
    // choosing a count switches it on, switching off keeps the count, a count the options
    // bring (the settings) is the one chosen, and counts outside 1 .. 5 are brought in.
    // How the views show is no step.
    void onionSwitch_data()
    {
        QTest::addColumn<QStringList>("ops");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("count");
        QTest::newRow("on at first") << QStringList{"on"} << 1 << 1;
        QTest::newRow("a count switches on") << QStringList{"count 3"} << 3 << 3;
        QTest::newRow("off keeps the count") << QStringList{"count 4", "off"} << 0 << 4;
        QTest::newRow("on again") << QStringList{"count 4", "off", "on"} << 4 << 4;
        QTest::newRow("too many") << QStringList{"count 9"} << 5 << 5;
        QTest::newRow("too few") << QStringList{"count 0"} << 1 << 1;
        QTest::newRow("from the options") << QStringList{"options 2", "off", "on"} << 2 << 2;
        QTest::newRow("options switch off") << QStringList{"count 3", "options 0"} << 0 << 3;
    }
    void onionSwitch()
    {
        QFETCH(QStringList, ops);
        QFETCH(int, frames);
        QFETCH(int, count);
        TEditor e;
        Start(e);
        for (const QString& op : ops) {
            const int n = op.section(' ', 1).toInt();
            if (op == "on" || op == "off")
                e.SetOnionSkin(op == "on");
            else if (op.startsWith("count"))
                e.SetOnionCount(n);
            else
                SetOptions(e, [n](TEditorOptions& o) { o.OnionFrames = n; });
        }
        QCOMPARE(e.Options().OnionFrames, frames);
        QCOMPARE(e.OnionCount(), count);
        QVERIFY(!e.History().CanUndo());
    }

    // The window's motion-path switch shows the path of the component the tree holds
    // current, following it; a component named in the options (the command line's) goes
    // first; switched off, or with none current, there is none.
    void pathOfCurrent()
    {
        TEditor e;
        QVERIFY(e.LoadModel(Dir_.filePath("twins.p3d")) && e.LoadAnimation(Dir_.filePath("twins.rtm")));
        const auto pathOf = [&e](const QString& name) {
            const TEditorOptions shown = e.Options();
            SetOptions(e, [&name](TEditorOptions& o) { o.MotionPath = name; });
            const TMotionPath path = e.ShownMotionPath();
            e.SetOptions(shown);
            return path;
        };
        const auto xs = [](const TMotionPath& p) {
            QList<double> out;
            for (const TVec3& v : p.Points)
                out << v.x;
            return out;
        };
        const int left = e.Forest().Find("arm_l"), right = e.Forest().Find("Arm_R");
        e.SetSelection({left, right}, right);
        QVERIFY(e.ShownMotionPath().IsEmpty());
        QSignalSpy changed(&e, &TEditor::Changed);
        SetOptions(e, [](TEditorOptions& o) { o.PathOfCurrent = true; });
        QCOMPARE(changed.size(), 1);
        QCOMPARE(xs(e.ShownMotionPath()), xs(pathOf("Arm_R")));
        QVERIFY(xs(pathOf("Arm_R")) != xs(pathOf("arm_l")));
        e.SetSelection({left}, left);
        QCOMPARE(xs(e.ShownMotionPath()), xs(pathOf("arm_l")));
        SetOptions(e, [](TEditorOptions& o) { o.MotionPath = "Arm_R"; });
        QCOMPARE(xs(e.ShownMotionPath()), xs(pathOf("Arm_R")));
        SetOptions(e, [](TEditorOptions& o) { o.MotionPath.clear(); });
        e.SetSelection({}, -1);
        QVERIFY(e.ShownMotionPath().IsEmpty());
    }

    // Edit > Flip Pose: the current frame alone flipped as the frame timer's Flip flips it,
    // one step "Flip" that undo takes back to the bit; the frame timer's selection and the
    // current frame stay; the status bar's line names the pairs.
    void flipPose()
    {
        TEditor e;
        QVERIFY(e.LoadModel(Dir_.filePath("twins.p3d")) && e.LoadAnimation(Dir_.filePath("twins.rtm")));
        e.Anim().SetActStep(1);
        e.Anim().SetSelection({0, 2});
        const TAnimFrames before = e.Document().AnimFrames;
        TAnimFrames expected = before;
        QVERIFY(FlipFrames(expected, FindFlipPartners(e.Document().AnimSelections.Names()), 1, 1).Done());
        QVERIFY(e.FlipPoseOffered());
        QSignalSpy changed(&e, &TEditor::Changed);
        const TTimingResult r = e.FlipPose();
        QVERIFY(r.Done());
        QCOMPARE(r.Message, QStringLiteral("Flipped frame 1: arm_l <-> Arm_R, leg.L <-> leg.R"));
        QVERIFY(SameFrames(e.Document().AnimFrames, expected));
        QVERIFY(!SameFrames(expected, before));
        QVERIFY(changed.size() > 0 && (changed.last()[0].toUInt() & ChangeDocument));
        QCOMPARE(e.History().UndoName(), QStringLiteral("Flip"));
        QCOMPARE(QList<int>({e.Anim().Selection().First, e.Anim().Selection().Last, e.Document().ActAnimStep}),
                 QList<int>({0, 2, 1}));
        QVERIFY(e.Undo());
        QVERIFY(SameFrames(e.Document().AnimFrames, before));
        QVERIFY(!e.History().CanUndo());
    }

    // Not while an edit or anything else undo waits for is under way (EditorTest has them
    // all), nor without frames: nothing changes and no step is recorded.
    void flipPoseRefused_data()
    {
        QTest::addColumn<QString>("state");
        QTest::newRow("edit mode") << "edit";
        QTest::newRow("playback") << "playback";
        QTest::newRow("no frames") << "empty";
    }
    void flipPoseRefused()
    {
        QFETCH(QString, state);
        TEditor e;
        QVERIFY(e.LoadModel(Dir_.filePath("twins.p3d")) && e.LoadAnimation(Dir_.filePath("twins.rtm")));
        e.Anim().SetActStep(1);
        if (state == "edit") {
            e.SetSelection({e.Forest().Find("body")}, e.Forest().Find("body"));
            QVERIFY(!e.BeginEdit().Refusal);
        } else if (state == "playback") {
            e.SetActivity(TEditor::ActivityPlaying, true);
        } else {
            e.Anim().ClearAnimation();
        }
        const TAnimFrames before = e.Document().AnimFrames;
        QVERIFY(!e.FlipPoseOffered());
        QCOMPARE(int(e.FlipPose().Status), int(TTimingStatus::NotApplicable));
        QVERIFY(SameFrames(e.Document().AnimFrames, before));
        QVERIFY(!e.History().CanUndo());
        QCOMPARE(e.Editing(), state == "edit");
    }

    // On a model that is its own mirror image, the posed points of a flipped frame are the
    // mirror image of the frame's posed points, to the bit: each point lands where its
    // mirror point was, with x negated. The total move (along z) does not break it.
    void flippedFrameIsTheMirrorImage()
    {
        TEditor e;
        QVERIFY(e.LoadModel(Dir_.filePath("twins.p3d")) && e.LoadAnimation(Dir_.filePath("twins.rtm")));
        e.Anim().SetActStep(1);
        e.Pose();
        const std::vector<TDisplayPoint> before = e.Models().front()->DisplayPoints;
        QVERIFY(e.Anim().FlipRange(1, 1).Done());
        e.Pose();
        const std::vector<TDisplayPoint>& after = e.Models().front()->DisplayPoints;
        const std::vector<TP3dVertex>& stored = e.Models().front()->Vertices;
        int checked = 0;
        for (size_t i = 0; i < stored.size(); ++i) {
            size_t m = stored.size();
            for (size_t j = 0; j < stored.size(); ++j)
                if (stored[j].X == -stored[i].X && stored[j].Y == stored[i].Y && stored[j].Z == stored[i].Z)
                    m = j;
            QVERIFY2(m < stored.size(), "every point has a mirror point");
            QCOMPARE(QList<float>({after[i].X, after[i].Y, after[i].Z}), QList<float>({-before[m].X, before[m].Y, before[m].Z}));
            checked += before[m].X != 0;
        }
        QVERIFY(checked > 20);
    }
};

TORVANE_TEST(AnimAidsTest)
#include "AnimAidsTest.moc"
