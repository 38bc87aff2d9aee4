// The glTF export, run through the command line: every file is checked with the Khronos
// validator, read back with tinygltf, posed at each keyframe and compared with the OBJ
// export of that frame.
#include "CommandHome.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMatrix4x4>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QVector3D>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <tiny_gltf.h>

using RtmBuild::TFile;
using RtmBuild::TMatrix;

namespace {

namespace tg = tinygltf;
using TCorners = std::vector<QVector3D>;

// A string of an extras object; empty when there is none.
std::string Extra(const tg::Value& extras, const char* key)
{
    return extras.IsObject() && extras.Get(key).IsString() ? extras.Get(key).Get<std::string>() : std::string();
}

// A matrix from 16 numbers column by column, as glTF stores them.
QMatrix4x4 Columns(const double* v)
{
    QMatrix4x4 m;
    for (int i = 0; i < 16; ++i)
        m(i % 4, i / 4) = float(v[i]);
    return m;
}

// The exported file as tinygltf reads it, with what a viewer does on top: accessor
// values, keyframe sampling, the node hierarchy and skinning.
struct TGltf {
    tg::Model M;
    QString Error;
    mutable std::map<int, std::vector<double>> ReadCache;
    mutable std::map<std::pair<int, double>, QMatrix4x4> WorldCache;
    mutable std::map<std::pair<int, double>, std::vector<QMatrix4x4>> JointCache;
    std::vector<int> Parent;

    explicit TGltf(const QByteArray& file)
    {
        tg::TinyGLTF loader;
        std::string err, warn;
        const bool ok = file.startsWith("glTF")
                            ? loader.LoadBinaryFromMemory(&M, &err, &warn,
                                                          reinterpret_cast<const unsigned char*>(file.constData()),
                                                          unsigned(file.size()))
                            : loader.LoadASCIIFromString(&M, &err, &warn, file.constData(), unsigned(file.size()), "");
        if (!ok || !err.empty())
            Error = QString::fromStdString(err.empty() ? std::string("not read") : err);
        Parent.assign(M.nodes.size(), -1);
        for (size_t i = 0; i < M.nodes.size(); ++i)
            for (int c : M.nodes[i].children)
                Parent.at(size_t(c)) = int(i);
    }

    // The values of an accessor, flattened (interleaved views by their stride): floats or
    // little-endian unsigned integers. Only read after the validator has checked the bounds.
    const std::vector<double>& Read(int accessor) const
    {
        const auto [cached, fresh] = ReadCache.try_emplace(accessor);
        std::vector<double>& r = cached->second;
        if (!fresh)
            return r;
        const tg::Accessor& a = M.accessors.at(size_t(accessor));
        const tg::BufferView& v = M.bufferViews.at(size_t(a.bufferView));
        const std::vector<unsigned char>& bin = M.buffers.at(size_t(v.buffer)).data;
        const size_t per = size_t(tg::GetNumComponentsInType(uint32_t(a.type)));
        const size_t size = size_t(tg::GetComponentSizeInBytes(uint32_t(a.componentType)));
        const size_t at = v.byteOffset + a.byteOffset, stride = size_t(a.ByteStride(v));
        for (size_t e = 0; e < a.count; ++e)
            for (size_t c = 0; c < per; ++c) {
                const unsigned char* p = bin.data() + at + e * stride + c * size;
                float f = 0;
                uint32_t u = 0;
                std::memcpy(a.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT ? static_cast<void*>(&f) : &u, p, size);
                r.push_back(a.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT ? double(f) : double(u));
            }
        return r;
    }

    // Value of a sampler at time t: the last key at or before t. The tests pose the file only
    // at key times, where that is what a linear sampler gives.
    std::vector<double> Sample(const tg::Animation& anim, int sampler, double t) const
    {
        const tg::AnimationSampler& s = anim.samplers.at(size_t(sampler));
        const std::vector<double>&in = Read(s.input), &out = Read(s.output);
        const size_t comps = out.size() / in.size();
        size_t i = 0;
        while (i + 1 < in.size() && in[i + 1] <= t)
            ++i;
        return std::vector<double>(out.begin() + qsizetype(i * comps), out.begin() + qsizetype((i + 1) * comps));
    }

    // A node's matrix at time t; at rest (its own values, no animation) for a negative t.
    QMatrix4x4 Local(int node, double t) const
    {
        const tg::Node& n = M.nodes.at(size_t(node));
        std::vector<double> T = n.translation.empty() ? std::vector<double>{0, 0, 0} : n.translation;
        std::vector<double> R = n.rotation.empty() ? std::vector<double>{0, 0, 0, 1} : n.rotation;
        std::vector<double> S = n.scale.empty() ? std::vector<double>{1, 1, 1} : n.scale;
        for (const tg::Animation& a : M.animations)
            for (const tg::AnimationChannel& c : a.channels)
                if (c.target_node == node && t >= 0)
                    (c.target_path == "translation" ? T : c.target_path == "rotation" ? R : S) = Sample(a, c.sampler, t);
        QMatrix4x4 m;
        m.translate(float(T[0]), float(T[1]), float(T[2]));
        m.rotate(QQuaternion(float(R[3]), float(R[0]), float(R[1]), float(R[2])).normalized());
        m.scale(float(S[0]), float(S[1]), float(S[2]));
        return m;
    }

    QMatrix4x4 World(int node, double t) const
    {
        const auto [cached, fresh] = WorldCache.try_emplace({node, t});
        if (fresh) {
            cached->second = Local(node, t);
            if (Parent.at(size_t(node)) >= 0)
                cached->second = World(Parent[size_t(node)], t) * cached->second;
        }
        return cached->second;
    }
    int Find(const std::function<bool(const tg::Node&)>& wanted) const
    {
        const auto it = std::ranges::find_if(M.nodes, wanted);
        return it == M.nodes.end() ? -1 : int(it - M.nodes.begin());
    }
    int NodeNamed(const std::string& name) const  // a placed mesh, by the component it shows or its own name
    {
        return Find([&name](const tg::Node& n) {
            const std::string component = Extra(n.extras, "component");
            return (component.empty() ? n.name : component) == name && n.mesh >= 0 && n.skin < 0;
        });
    }

    // What importers that rebuild a skeleton rely on, checked apart from the posing: node
    // names are unique, and each joint's global transform from the nodes' default values
    // times its inverse bind matrix is the identity (the bind pose is the rest pose).
    QString SkeletonProblem() const
    {
        std::set<std::string> names;
        for (const tg::Node& n : M.nodes)
            if (!n.name.empty() && !names.insert(n.name).second)
                return QStringLiteral("two nodes are named %1").arg(n.name.c_str());
        for (const tg::Skin& skin : M.skins)
            for (size_t j = 0; j < skin.joints.size(); ++j) {
                const QMatrix4x4 bound = World(skin.joints[j], -1) * Columns(Read(skin.inverseBindMatrices).data() + j * 16);
                if (!qFuzzyCompare(bound, QMatrix4x4()))
                    return QStringLiteral("joint %1 is not at its bind pose when at rest")
                        .arg(M.nodes.at(size_t(skin.joints[j])).name.c_str());
            }
        return {};
    }
    const std::vector<tg::Primitive>& Primitives(int node) const
    {
        return M.meshes.at(size_t(M.nodes.at(size_t(node)).mesh)).primitives;
    }

    // Each joint's world matrix times its inverse bind matrix.
    const std::vector<QMatrix4x4>& JointMatrices(int skinIndex, double t) const
    {
        const auto [cached, fresh] = JointCache.try_emplace({skinIndex, t});
        if (fresh) {
            const tg::Skin& skin = M.skins.at(size_t(skinIndex));
            for (size_t j = 0; j < skin.joints.size(); ++j)
                cached->second.push_back(World(skin.joints[j], t) * Columns(Read(skin.inverseBindMatrices).data() + j * 16));
        }
        return cached->second;
    }

    // Triangle corners of one primitive, posed at time t: skinned by the node's skin, or
    // placed by the node's world matrix.
    TCorners Posed(int node, const tg::Primitive& prim, double t) const
    {
        const tg::Node& n = M.nodes.at(size_t(node));
        const std::vector<double>&pos = Read(prim.attributes.at("POSITION")), &idx = Read(prim.indices);
        static const std::vector<QMatrix4x4> none;
        const std::vector<QMatrix4x4>& joints = n.skin >= 0 ? JointMatrices(n.skin, t) : none;
        std::vector<std::pair<const std::vector<double>*, const std::vector<double>*>> sets;  // JOINTS_n, WEIGHTS_n
        if (n.skin >= 0) {
            for (std::string s = "0"; prim.attributes.count("JOINTS_" + s); s = std::to_string(std::stoi(s) + 1))
                sets.push_back({&Read(prim.attributes.at("JOINTS_" + s)), &Read(prim.attributes.at("WEIGHTS_" + s))});
        }
        const QMatrix4x4 world = World(node, t);
        TCorners r;
        for (double i : idx) {
            const size_t v = size_t(i);
            const QVector3D p(float(pos[v * 3]), float(pos[v * 3 + 1]), float(pos[v * 3 + 2]));
            QVector3D sum = joints.empty() ? world.map(p) : QVector3D();
            for (const auto& [J, W] : sets)
                for (size_t k = v * 4; k < v * 4 + 4; ++k)
                    sum += float((*W)[k]) * joints[size_t((*J)[k])].map(p);
            r.push_back(sum);
        }
        return r;
    }
};

// What the validator says: errors and warnings with their messages; empty when clean.
QString Validate(const QString& path)
{
    QProcess node;
    node.start(QStringLiteral("node"), {QStringLiteral(TORVANE_GLTF_VALIDATOR), path});
    if (!node.waitForFinished(60000) || node.exitCode() != 0)
        return QStringLiteral("validator failed: ") + QString::fromUtf8(node.readAllStandardError());
    const QJsonObject r = QJsonDocument::fromJson(node.readAllStandardOutput()).object();
    if (!r.contains("errors"))
        return QStringLiteral("validator printed no report");
    return r["errors"].toInt() == 0 && r["warnings"].toInt() == 0 ? QString() : QJsonDocument(r["messages"].toArray()).toJson();
}

// An OBJ file's groups and their faces as triangle corners: a quad as (1,2,4), (2,3,4),
// the triangles GL draws of the 3D view's quads.
struct TObjTriangles {
    QStringList Groups;
    QList<TCorners> Corners;
    explicit TObjTriangles(const QByteArray& file)
    {
        TCorners v;
        for (const QByteArray& line : file.split('\n')) {
            const QList<QByteArray> f = line.split(' ');
            if (line.startsWith("v ")) {
                v.emplace_back(f[1].toFloat(), f[2].toFloat(), f[3].toFloat());
            } else if (line.startsWith("g ")) {
                Groups << QString::fromUtf8(f[1]);
                Corners << TCorners{};
            } else if (line.startsWith("f ")) {
                for (int k : f.size() == 5 ? QList<int>{1, 2, 4, 2, 3, 4} : QList<int>{1, 2, 3})
                    Corners.last().push_back(v[size_t(f[k].toInt() - 1)]);
            }
        }
    }
};

// Compares every group of the OBJ with its primitive in the glTF at time t; "" when equal
// within float rounding.
QString CompareWithObj(const TGltf& g, const TObjTriangles& obj, double t)
{
    const int skinned = g.Find([](const tg::Node& n) { return n.skin >= 0; });
    static const std::vector<tg::Primitive> none;
    const std::vector<tg::Primitive>& skinnedPrims = skinned >= 0 ? g.Primitives(skinned) : none;
    int compared = 0;
    for (qsizetype gi = 0; gi < obj.Groups.size(); ++gi) {
        const QString name = obj.Groups[gi];
        const TCorners& want = obj.Corners[gi];
        std::optional<TCorners> got;
        for (const tg::Primitive& p : skinnedPrims)
            if (Extra(p.extras, "component") == name.toStdString())
                got = g.Posed(skinned, p, t);
        if (const int n = g.NodeNamed(name.toStdString()); !got && n >= 0)
            got = g.Posed(n, g.Primitives(n).at(0), t);
        if (!got && want.empty())
            continue;
        if (!got)
            return QStringLiteral("no primitive for group %1").arg(name);
        ++compared;
        if (got->size() != want.size())
            return QStringLiteral("group %1: %2 corners, OBJ has %3").arg(name).arg(got->size()).arg(want.size());
        for (size_t i = 0; i < got->size(); ++i)
            for (int c = 0; c < 3; ++c)
                if (!(std::fabs((*got)[i][c] - want[i][c]) <= 2e-5f * (1 + std::fabs(want[i][c])))) {
                    QString s;
                    QDebug(&s).nospace() << "group " << name << " corner " << i << " at t=" << t << ": " << (*got)[i] << ", OBJ "
                                         << want[i];
                    return s;
                }
    }
    // Nothing drawn that the OBJ lacks. Proxy meshes may be shared: count placements
    // rather than meshes for those.
    int drawn = int(skinnedPrims.size());
    for (const tg::Node& n : g.M.nodes)
        drawn += n.mesh >= 0 && n.skin < 0 ? 1 : 0;
    return compared == drawn ? QString() : QStringLiteral("%1 groups compared, the file draws %2").arg(compared).arg(drawn);
}

// The OBJ export of args compared with the glTF posed at time t; "" when they match.
QString ObjDiff(const CommandHome& h, const TGltf& g, const QStringList& args, double t)
{
    const CommandHome::Result r = h.Run(args + QStringList{"--format", "obj", "-o", "%1/frame.obj"});
    return r.Code != 0 ? "the OBJ export failed: " + r.Err : CompareWithObj(g, TObjTriangles(h.Read("frame.obj")), t);
}

// Runs an export that must succeed saying err and reads its file (the -o argument) back;
// the problem in Error when it did not, or the validator reported anything.
TGltf Export(const CommandHome& h, const QStringList& args, const QString& err = {})
{
    const CommandHome::Result r = h.Run(args);
    const QString out = args.last().mid(3);
    const QString problem = r.Code != 0 || r.Err != err ? QStringLiteral("exit code %1, said: %2").arg(r.Code).arg(r.Err)
                                                        : Validate(h.Path(out));
    TGltf g(h.Read(out));
    if (!problem.isEmpty())
        g.Error = problem;
    else if (g.Error.isEmpty())
        g.Error = g.SkeletonProblem();
    return g;
}

TMatrix RotZScale(double angle, float s, float tx, float ty, float tz)
{
    const float c = float(std::cos(angle)) * s, n = float(std::sin(angle)) * s;
    return {c, n, 0, -n, c, 0, 0, 0, s, tx, ty, tz};
}

// The robot's home with this robot, and a furnished room with a lamp of its own.
void WriteRobotHome(const CommandHome& h, const TP3dBuilder& robot)
{
    TP3dBuilder furnished = Room();
    furnished.AddSelection("proxy:lamp.05", furnished.AddTriangle(3, 0, 3, 3, 1, 3, 4, 0, 3));
    QVERIFY(h.WriteRobot() && robot.WriteTo(h.Path("robot.p3d")) && furnished.WriteTo(h.Path("furnished.p3d")));
}

// The robot with a second lamp held by the hand, and its leg's box also in five more
// selections, so that its points are shared by six components.
TP3dBuilder BusyRobot()
{
    TP3dBuilder b = Robot();
    const TP3dBuilder::Range tri = b.AddTriangle(2, 1, 0, 2, 1, 1, 2, 3, 0);
    for (TP3dBuilder::Tag& t : b.Tags)
        if (t.Name == "hand")
            t.Vertices.insert(t.Vertices.end(), tri.Points.begin(), tri.Points.end());
    b.AddSelection("proxy:lamp.02", tri);
    const std::vector<int> leg{27, 28, 29, 30, 31, 32, 33, 34};
    for (int k = 1; k <= 5; ++k)
        b.AddSelection("leg" + QByteArray::number(k), leg);
    return b;
}

// n components, each a triangle round one point they all share, off the origin so that
// the shared point's pose depends on the turn and not only on the move.
TP3dBuilder Hub(int n)
{
    TP3dBuilder b;
    const int centre = b.AddPoint(0.5f, 0.25f, 0.125f);
    for (int i = 0; i < n; ++i) {
        const double a = 2 * M_PI * i / n, a2 = 2 * M_PI * (i + 0.5) / n;
        const int p = b.AddPoint(float(std::cos(a)), float(std::sin(a)), 0),
                  q = b.AddPoint(float(std::cos(a2)), float(std::sin(a2)), 0);
        b.AddSelection("part" + QByteArray::number(i), {centre, p, q},
                       {b.AddPolygon({uint32_t(centre), uint32_t(p), uint32_t(q)})});
    }
    return b;
}

using TSetUp = std::function<void(const CommandHome&)>;

}  // namespace

Q_DECLARE_METATYPE(TSetUp)

class GltfExportTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("node")).isEmpty())
            QSKIP("node is not installed: the validator cannot run (scripts/deps.sh installs it)");
    }

    // Each keyframe of the glTF poses the model as the OBJ export of that frame does, points
    // that are not finite too (reported as the OBJ export reports them); the format follows
    // the extension unless --format says otherwise.
    void keyframesMatchObj_data() { QVERIFY(AddTableRows("app/gltf-keyframes.table")); }
    void keyframesMatchObj()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, ext);
        QFETCH(QString, robot);
        QFETCH(int, frames);
        QFETCH(bool, oneFrame);
        QFETCH(QString, err);
        const bool busy = robot == "busy";
        CommandHome h;
        WriteRobotHome(h, busy ? BusyRobot() : robot == "not finite" ? NotFiniteRobot() : Robot());
        std::vector<QByteArray> names{"arm", "body", "leg", "hand"};
        if (busy)
            names.insert(names.end(), {"leg1", "leg2", "leg3", "leg4", "leg5", "proxy:lamp.02"});
        TFile anim = TFile::Regular(names, std::max(frames, 1));
        anim.TotalMove = {0, 2, 10};
        for (int k = 0; k < frames; ++k) {
            anim.Frames[size_t(k)].Time = k == frames - 1 ? 1.f : float(k * k) / float(frames * frames);
            for (size_t j = 0; j < names.size(); ++j)  // turned, scaled and moved, differently per frame and component
                anim.Frames[size_t(k)].Records[j].Matrix = RotZScale(
                    0.7 * k + 0.3 * double(j), 1 + 0.25f * float(k) - 0.05f * float(j), 0.5f * float(k), -float(j), 0.25f);
        }
        QVERIFY(h.Write("walk.rtm", RtmBuild::Build(anim)));
        const QStringList args = QStringList{"export", "%1/robot.p3d"} + (frames ? QStringList{"%1/walk.rtm"} : QStringList{}) +
                                 options;
        const TGltf g = Export(h, args + QStringList{"--play-time", "2", "-o", "%1/out." + ext}, err);
        QCOMPARE(g.Error, QString());
        QVERIFY(h.Read("out." + ext).startsWith(ext == "gltf" ? "{" : "glTF"));
        const bool animated = frames && !oneFrame;
        for (int k = 0; k < (animated ? frames : 1); ++k) {
            const QString diff = ObjDiff(h, g, args + (animated ? QStringList{"--frame", QString::number(k)} : QStringList{}),
                                         animated ? double(anim.Frames[size_t(k)].Time) * 2 : 0);
            QVERIFY2(diff.isEmpty(), qPrintable(QString("frame %1: %2").arg(k).arg(diff)));
        }

        // Joints: one per animated component (each without an animation), named by it, in
        // the OBJ's tree order, then those of the points shared by more than four, then the
        // root.
        const tg::Skin& skin = g.M.skins.at(0);
        QStringList joints;
        for (int j : skin.joints)
            joints << QString::fromStdString(g.M.nodes.at(size_t(j)).name);
        joints.removeIf([](const QString& name) { return name.startsWith("shared "); });
        QStringList groups = TObjTriangles(h.Read("frame.obj")).Groups;  // tree order, then the environment
        groups.removeAll("environment");
        if (frames)  // the animated ones; the others stay where the pose leaves them
            groups.removeIf([&names](const QString& group) { return std::ranges::find(names, group.toUtf8()) == names.end(); });
        QCOMPARE(joints.mid(0, joints.size() - 1), groups);
        if (busy) {  // both lamps are the same data, placed twice
            const int a = g.NodeNamed("proxy:lamp.01"), b = g.NodeNamed("proxy:lamp.02");
            QVERIFY(a >= 0 && b >= 0 && a != b);
            QCOMPARE(g.Primitives(a).at(0).attributes.at("POSITION"), g.Primitives(b).at(0).attributes.at("POSITION"));
        }
    }

    // A point shared by many components costs the file what the components cost, not their
    // square: 800 components round one point write at most five times what 200 write, and
    // the shared point is posed at their average (which shears) in every keyframe.
    void sharedPointSizeIsLinear()
    {
        constexpr int frames = 3;
        qint64 size[2] = {};
        for (const int n : {200, 800}) {
            CommandHome h;
            QVERIFY(Hub(n).WriteTo(h.Path("hub.p3d")));
            std::vector<QByteArray> names;
            for (int i = 0; i < n; ++i)
                names.push_back("part" + QByteArray::number(i));
            TFile anim = TFile::Regular(names, frames);
            for (int k = 0; k < frames; ++k)
                for (int j = 0; j < n; ++j)
                    anim.Frames[size_t(k)].Records[size_t(j)].Matrix = Turned(k, j);
            QVERIFY(h.Write("walk.rtm", RtmBuild::Build(anim)));
            const QStringList args{"export", "%1/hub.p3d", "%1/walk.rtm"};
            const QStringList exportArgs = args + QStringList{"--play-time", "1", "-o", "%1/hub.glb"};
            const QString note = "torvane-anim: hub.p3d: points shared by more than four components: 1; they follow joints of "
                                 "their own (\"shared 1\") keyed with the average of each group's transforms\n";
            // The validator takes seconds for the larger one, which adds nothing the smaller
            // one does not check.
            const TGltf g = n == 200 ? Export(h, exportArgs, note)
                                     : TGltf(h.Run(exportArgs).Err == note ? h.Read("hub.glb") : QByteArray());
            QCOMPARE(g.Error, QString());
            size[n == 800] = h.Read("hub.glb").size();
            for (int k = 0; k < frames; ++k) {
                const QString diff = ObjDiff(h, g, args + QStringList{"--frame", QString::number(k)},
                                             double(anim.Frames[size_t(k)].Time));
                QVERIFY2(diff.isEmpty(), qPrintable(QString("%1 components, frame %2: %3").arg(n).arg(k).arg(diff)));
            }
        }
        QVERIFY2(size[1] <= 5 * size[0], qPrintable(QString("%1 bytes, then %2").arg(size[0]).arg(size[1])));
    }

    // More components than 16 bits can number: the joints a skin's points follow come
    // first, so the last component's points still follow its own joint.
    void jointsBeyondSixteenBits()
    {
        CommandHome h;
        TP3dBuilder b;
        const TP3dBuilder::Range first = b.AddTriangle(0, 0, 0, 1, 0, 0, 0, 1, 0),
                                 last = b.AddTriangle(2, 0, 0, 3, 0, 0, 2, 1, 0);
        constexpr int n = 65537;
        for (int i = 0; i < n; ++i) {
            const QByteArray name = QByteArray::number(i).rightJustified(5, '0');
            if (i == 0 || i == n - 1)
                b.AddSelection("c" + name, i == 0 ? first : last);
            else
                b.AddSelection("c" + name, std::vector<int>{});
        }
        QVERIFY(b.WriteTo(h.Path("many.p3d")));
        const TGltf g = Export(h, {"export", "%1/many.p3d", "-o", "%1/many.glb"});
        QCOMPARE(g.Error, QString());
        const int skinned = g.Find([](const tg::Node& n) { return n.skin >= 0; });
        const tg::Skin& skin = g.M.skins.at(size_t(g.M.nodes.at(size_t(skinned)).skin));
        QCOMPARE(skin.joints.size(), size_t(n + 1));  // and the root
        QStringList followed;
        for (const tg::Primitive& p : g.Primitives(skinned)) {
            const std::vector<double>&idx = g.Read(p.indices), &joints = g.Read(p.attributes.at("JOINTS_0"));
            for (double v : idx)
                followed << Extra(p.extras, "component").c_str() + QString(" -> ") +
                                g.M.nodes.at(size_t(skin.joints.at(size_t(joints.at(size_t(v) * 4))))).name.c_str();
        }
        followed.removeDuplicates();
        QCOMPARE(followed, QStringList({"c00000 -> c00000", "c65536 -> c65536"}));
    }

    // Components an animation lacks are hidden: neither file has geometry for them (their
    // points would all sit at the origin), and the glTF has no joint for them either.
    void hiddenComponentsLeftOut()
    {
        CommandHome h;
        QVERIFY(h.WriteRobot() && h.Write("walk.rtm", RtmBuild::Build(Still({"arm", "hand"}, 2))));
        const QStringList args{"export", "%1/robot.p3d", "%1/walk.rtm"};
        const TGltf g = Export(h, args + QStringList{"-o", "%1/out.glb"});
        QCOMPARE(g.Error, QString());
        const QString diff = ObjDiff(h, g, args, 0);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
        QCOMPARE(TObjTriangles(h.Read("frame.obj")).Groups, QStringList({"proxy:lamp.01", "arm", "hand"}));
        QStringList joints;
        for (int j : g.M.skins.at(0).joints)
            joints << g.M.nodes.at(size_t(j)).name.c_str();
        QCOMPARE(joints, QStringList({"arm", "hand", "robot.p3d"}));
    }

    // Normals that are too long, zero or missing still give a file the validator passes;
    // colours are turned from sRGB to linear.
    void surfaces()
    {
        CommandHome h;
        TP3dBuilder b;
        b.AddSelection("box", b.AddBox(0, 0, 0, 2, 1, 1));
        b.Normals = {{0, 0, 3}, {0, 0, 0}};  // the first is not unit length, the second has no direction
        for (size_t i = 0; i < b.Polygons.size(); ++i)
            for (auto& c : b.Polygons[i].Corners)
                c.NormalIndex = i == 0 ? 0 : i == 1 ? 1 : i == 2 ? 7 : 0;  // 7: no such normal
        QVERIFY(b.WriteTo(h.Path("box.p3d")) && h.Write("c.clr", "[ColorDef]\nbox=$4080FF\n") &&  // red FF, green 80, blue 40
                h.Write("TorvaneAnim.ini", "[Settings]\nColorFile=" + h.Path("c.clr").toUtf8() + "\n"));
        const TGltf g = Export(h, {"export", "%1/box.p3d", "-o", "%1/box.gltf"});
        QCOMPARE(g.Error, QString());
        const tg::Material& material = g.M.materials.at(size_t(g.M.meshes.at(0).primitives.at(0).material));
        const std::vector<double>& color = material.pbrMetallicRoughness.baseColorFactor;
        QVERIFY2(std::fabs(color[1] - 0.215) < 0.005, qPrintable(QString::number(color[1])));  // linear; sRGB would be 0.5
    }

    // Animations the regular ones above do not make: keyframe times must rise, so of two
    // frames at the same time (the editor keeps them) the later one is keyed 1 ms after;
    // more components than a byte can number need 16-bit joints; a transform that is not
    // finite is written collapsed, and one that shears as the nearest rotation and scale
    // (such a frame is not compared), with one warning naming the component and the frame.
    void unusualAnimationsMatchObj_data()
    {
        QTest::addColumn<TSetUp>("setUp");  // writes robot.p3d and walk.rtm
        QTest::addColumn<QList<float>>("keys");  // keyframe times, for a play time of 3 s
        QTest::addColumn<QString>("warning");
        QTest::newRow("frames at the same time")
            << TSetUp([](const CommandHome& h) {
                   WriteRobotHome(h, Robot());
                   TFile anim = TFile::Regular({"arm", "hand"}, 4);
                   for (int k = 0; k < 4; ++k) {
                       anim.Frames[size_t(k)].Time = k == 3 ? 1 : k == 0 ? 0 : 0.5f;
                       for (size_t j = 0; j < 2; ++j)
                           anim.Frames[size_t(k)].Records[j].Matrix = RotZScale(0.5 * k + double(j), 1, float(k), 0, 0);
                   }
                   QVERIFY(h.Write("walk.rtm", RtmBuild::Build(anim)));
               })
            << QList<float>{0, 1.5f, 1.501f, 3}
            << "1 of 4 frames are not later than the frame before them; each is keyed 1 ms after that one";
        QTest::newRow("300 components") << TSetUp([](const CommandHome& h) {
            TP3dBuilder b;
            std::vector<QByteArray> names;
            for (int i = 0; i < 300; ++i) {
                names.push_back("part" + QByteArray::number(i));
                b.AddSelection(names.back(), b.AddTriangle(float(i), 0, 0, float(i) + 0.5f, 0, 0, float(i), 1, 0));
            }
            TFile anim = Still(names, 2);
            for (size_t j = 0; j < names.size(); ++j)
                anim.Frames[1].Records[j].Matrix = RotZScale(0.01 * double(j), 1.5f, 0, float(j) * 0.1f, 0);
            QVERIFY(b.WriteTo(h.Path("robot.p3d")) && h.Write("walk.rtm", RtmBuild::Build(anim)));
        }) << QList<float>{0, 3} << QString();
        QTest::newRow("shear in the first frame") << TSetUp([](const CommandHome& h) {
            WriteRobotHome(h, Robot());
            TFile anim = Still({"arm", "hand"}, 3);
            anim.Frames[0].Records[0].Matrix[3] = 0.5f;
            QVERIFY(h.Write("walk.rtm", RtmBuild::Build(anim)));
        }) << QList<float>{0, 1.5f, 3}
                                                  << "frame 0, component arm: shear or mirroring cannot be written as rotation "
                                                     "and scale; the nearest rotation and scale are written";
        QTest::newRow("not finite")
            << TSetUp([](const CommandHome& h) {
                   WriteRobotHome(h, Robot());
                   TFile anim = Still({"arm", "hand"}, 3);
                   anim.Frames[1].Records[0].Matrix[4] = std::numeric_limits<float>::infinity();
                   QVERIFY(h.Write("walk.rtm", RtmBuild::Build(anim)));
               })
            << QList<float>{0, 1.5f, 3}
            << "frame 1, component arm: the transform is not finite; it is written collapsed to the origin";
        // Every point the editor shows is then not finite: the OBJ has them at the origin.
        QTest::newRow("total move not finite")
            << TSetUp([](const CommandHome& h) {
                   WriteRobotHome(h, Robot());
                   TFile anim = Still({"arm", "hand"}, 3);
                   anim.TotalMove = {0, std::numeric_limits<float>::quiet_NaN(), 1};
                   QVERIFY(h.Write("walk.rtm", RtmBuild::Build(anim)));
               })
            << QList<float>{0, 1.5f, 3}
            << "robot.p3d: 24 of 43 points are not finite numbers; they are written at the origin\n"
               "torvane-anim: total move: it is not finite; it is written collapsed to the origin";
    }
    void unusualAnimationsMatchObj()
    {
        QFETCH(TSetUp, setUp);
        QFETCH(QList<float>, keys);
        QFETCH(QString, warning);
        CommandHome h;
        setUp(h);
        const QStringList args{"export", "%1/robot.p3d", "%1/walk.rtm"};
        const TGltf g = Export(h, args + QStringList{"--play-time", "3", "-o", "%1/out.glb"},
                               warning.isEmpty() ? QString() : "torvane-anim: " + warning + "\n");
        QCOMPARE(g.Error, QString());
        const std::vector<double> times = g.Read(g.M.animations.at(0).samplers.at(0).input);
        QCOMPARE(QList<float>(times.begin(), times.end()), keys);
        for (int k = 0; k < keys.size(); ++k) {
            const QString diff = warning.contains(QString("frame %1, component").arg(k))
                                     ? QString()
                                     : ObjDiff(h, g, args + QStringList{"--frame", QString::number(k)}, keys[k]);
            QVERIFY2(diff.isEmpty(), qPrintable(QString("frame %1: %2").arg(k).arg(diff)));
        }
    }
};

TORVANE_TEST(GltfExportTest)
#include "GltfExportTest.moc"
