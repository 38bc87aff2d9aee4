// What "torvane-anim export" loads, as one input: a model, the sub-model its proxies name,
// its linking file, a translation file, a colour file and an animation, separated by
// "@@FILE@@". They are written into a temporary folder and set up by the window-free
// model scene: the file source, proxy loading, the names and colours, the linking plan,
// the frame, the pose and the OBJ export. The OBJ must hold finite numbers only, a vertex
// line per point and a group per component.
#include "FuzzSupport.h"
#include "editor/Editor.h"
#include "pose/ObjExport.h"
#include "pose/View3dGeometry.h"
#include "model/P3dModel.h"
#include "platform/DebugOut.h"
#include "platform/FileUtil.h"
#include "filebuild/LpvBuilder.h"
#include "filebuild/P3dBuilder.h"
#include "filebuild/RtmBuilder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>

namespace {
const QByteArray Separator = "@@FILE@@";
// The files of one input, in order.
const char* const Files[] = {"model.p3d", "lamp.p3d", "LinkData/model.lpv", "names.tsl", "colors.clr", "anim.rtm"};
constexpr int FileCount = 6;

QByteArray Join(const QList<QByteArray>& parts) { return parts.join(Separator); }

FuzzSeeds MakeSeeds()
{
    FuzzSeeds seeds;
    TP3dBuilder m;
    m.AddSelection("body", m.AddBox(-1, 0, -1, 1, 2, 1));
    TP3dBuilder::Range arm = m.AddBox(1, 1, 0, 2, 1.5f, 0.5f);
    const TP3dBuilder::Range tri = m.AddTriangle(0, 2, 0, 0, 2, 1, 0, 4, 0);
    m.AddSelection("hand", m.AddBox(2, 1, 0, 2.5f, 1.5f, 0.5f));
    m.AddSelection("proxy:lamp.01", tri);
    m.AddSelection("proxy:lamp.02", tri);
    arm.Points.insert(arm.Points.end(), tri.Points.begin(), tri.Points.end());
    m.AddSelection("arm", arm);
    TP3dBuilder lamp;
    lamp.AddBox(0, 0, 0, 0.25f, 0.5f, 0.75f);
    TLpvBuilder l;
    l.Add("body", "", 0, 1, 0).Add("arm", "body", 1, 1.25f, 0.1f).Add("hand", "arm", 2, 1, 0).Add("body", "hand", 0, 0, 0);
    RtmBuild::TFile anim = RtmBuild::TFile::Regular({"arm", "hand", "tail"}, 3);
    anim.TotalMove = {0, 0, 2};
    seeds.emplace_back("robot", Join({m.Build(), lamp.Build(), l.Build(), "[Translation]\nbody=Torso\nARM=arm\n",
                                      "[ColorDef]\nbody=255\nhand=$00FF00\n", RtmBuild::Build(anim)}));

    // Repeated names, equal display names, a chain and no animation.
    TP3dBuilder d;
    for (const char* name : {"a", "b", "a", "c", "d"})
        d.AddSelection(name, d.AddTriangle(0, 0, 0, 1, 0, 0, 0, 1, 0));
    TLpvBuilder chain;
    chain.Add("b", "a", 1, 1, 1).Add("c", "b", 2, 2, 2).Add("d", "c", 3, 3, 3).Add("a", "d", 4, 4, 4).Add("x", "", 0, 0, 0);
    seeds.emplace_back("names", Join({d.Build(), QByteArray(), chain.Build(), "[Translation]\nb=same\nc=same\nd=Same\n"}));
    return seeds;
}

bool Finite(const TChartRange& r)
{
    return std::isfinite(r.X1) && std::isfinite(r.X2) && std::isfinite(r.Y1) && std::isfinite(r.Y2) && r.X2 > r.X1 && r.Y2 > r.Y1;
}

// The 2D views and the 3D scene of what the scene shows: auto-scaled ranges are finite and
// not empty, boxes finite; the 3D scene's corners come in whole polygons, in colours that
// are colours. (Its positions are the model's points: a file may hold non-finite ones,
// which the 2D views drop and OpenGL clips.)
void CheckViews(const TEditor& scene)
{
    std::array<TChartItems, ViewCount> items;
    const TViewItems views{&items[0], &items[1], &items[2]};
    std::array<TChartRange, ViewCount> ranges{};
    std::array<bool, ViewCount> changed{};
    scene.DrawViews(views, {600, 300, 1}, {450, 1, 300}, ranges, changed);
    for (int v = 0; v < ViewCount; ++v) {
        if (changed[size_t(v)])
            FUZZ_CHECK(Finite(ranges[size_t(v)]));
        TChartBox box;
        if (items[size_t(v)].BoundingBox(box))
            FUZZ_CHECK(std::isfinite(box.MinX) && std::isfinite(box.MaxX) && std::isfinite(box.MinY) && std::isfinite(box.MaxY));
    }
    T3dSceneOptions options;
    options.AllPolygons = true;
    options.Environment = true;
    options.AllSelections = true;
    const std::vector<const TSelection*> order = scene.TreeOrder();
    options.PivotComponent = order.empty() ? nullptr : order.front();
    T3dScene s3;
    Build3dScene(scene.Models(), order, scene.Cache(), scene.ComponentPoses(), std::vector<bool>(order.size(), true), options,
                 scene.Params(), s3);
    T3dScene shown;  // as the editor builds it, with its onion skin
    scene.Build3d(shown);
    for (const T3dBatch* batch : {&s3.Shell, &s3.Components, &shown.Onion}) {
        FUZZ_CHECK(batch->Triangles.size() % 3 == 0 && batch->Quads.size() % 4 == 0);
        for (const std::vector<T3dVertex>* list : {&batch->Triangles, &batch->Quads})
            for (const T3dVertex& c : *list)
                FUZZ_CHECK(c.R >= 0 && c.R < 1 && c.G >= 0 && c.G < 1 && c.B >= 0 && c.B < 1 && c.A >= 0 && c.A <= 1);
    }
}
QString PathOf(int file) { return FuzzFolder().filePath(QString::fromLatin1(Files[file])); }
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    WriteSeedsIfAsked(MakeSeeds);
    SetDebugSink([](const QString&) {});
    FUZZ_CHECK(QDir(FuzzFolder().path()).mkpath(QStringLiteral("LinkData")));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QList<QByteArray> files;
    {
        const QByteArray all(reinterpret_cast<const char*>(data), qsizetype(size));
        qsizetype from = 0;
        while (files.size() < FileCount) {
            const qsizetype at = all.indexOf(Separator, from);
            files << all.mid(from, at < 0 ? -1 : at - from);
            if (at < 0)
                break;
            from = at + Separator.size();
        }
    }
    for (int i = 0; i < FileCount; ++i) {
        QFile::remove(PathOf(i));
        // An empty part other than the model stands for a file that does not exist.
        if (i < files.size() && !(i > 0 && files[i].isEmpty())) {
            // Written plainly: a synced write per file would be most of the time per input.
            QFile f(PathOf(i));
            FUZZ_CHECK(f.open(QIODevice::WriteOnly) && f.write(files[i]) == files[i].size());
        }
    }

    TEditor scene;
    scene.LinkDataDir = FuzzFolder().filePath(QStringLiteral("LinkData"));
    scene.TranslationFile = PathOf(3);
    scene.ColorFile = PathOf(4);
    if (!scene.LoadModel(PathOf(0)))
        return 0;
    const bool animated = scene.LoadAnimation(PathOf(5));
    if (animated && scene.Document().AnimStepCount > 1)
        scene.Anim().SetActStep(scene.Document().AnimStepCount - 1);
    TEditorOptions options = scene.Options();
    options.Offset = {0.5, -1, 2};
    scene.SetOptions(options);
    scene.Pose();
    const TPoseParams params = scene.Params();

    const std::vector<const TSelection*> order = scene.TreeOrder();
    const TComponentNodes nodes = scene.Setup().Forest.Nodes();
    const TP3dModell& main = *scene.Models().front();
    FUZZ_CHECK(order.size() == main.Selections.size() && nodes.size() == order.size());
    for (size_t i = 0; i < nodes.size(); ++i)
        FUZZ_CHECK(nodes[i].Level <= (i == 0 ? 0 : nodes[i - 1].Level + 1));
    // "new" with every node selected, deepest first: each node listed once.
    std::vector<int> everyNode(nodes.size());
    for (size_t i = 0; i < nodes.size(); ++i)
        everyNode[i] = int(nodes.size() - 1 - i);
    FUZZ_CHECK(SubtreeNames(nodes, everyNode).size() == qsizetype(nodes.size()));

    const QString out = FuzzFolder().filePath(QStringLiteral("out.obj"));
    TAtomicFileWriter writer(out);
    const TObjReport report = WritePosedObj(scene.Models(), order, scene.ComponentPoses(), params, QStringLiteral("fuzz"),
                                            writer);
    FUZZ_CHECK(writer.Ok() && writer.Commit());
    QByteArray obj;
    FUZZ_CHECK(ReadWholeFile(out, obj));
    qint64 vertices = 0, groups = 0;
    for (const QByteArray& line : obj.split('\n')) {
        if (line.startsWith("v ")) {
            ++vertices;
            FUZZ_CHECK(!line.contains("nan") && !line.contains("inf"));
        } else if (line.startsWith("g ")) {
            ++groups;
        }
    }
    FUZZ_CHECK(vertices == report.Points &&
               groups == qint64(std::count_if(order.begin(), order.end(), [](const TSelection* c) { return !c->Hidden; })));

    // Playback's blend a third of the way through a pass, then the environment: the model
    // file itself, placed on the first of its proxies.
    if (animated)
        scene.ShowTime(1.0 / 3);
    scene.LoadEnvironment(PathOf(0));
    scene.Pose();
    CheckViews(scene);
    // With the aids: the frames around the last one, and the first component's path.
    options = scene.Options();
    options.OnionFrames = 2;
    options.MotionPath = order.empty() ? QString() : order.front()->Name;
    scene.SetOptions(options);
    scene.Pose();
    CheckViews(scene);
    return 0;
}
