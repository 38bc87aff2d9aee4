// The glTF export, run through the command line: every file is checked with the Khronos
// validator, read back with tinygltf, posed at each keyframe and compared with the OBJ
// export of that frame.
#include "CommandHome.h"
#include "filebuild/RtmBuilder.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QDebug>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMatrix4x4>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QVector3D>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <tiny_gltf.h>

using RtmBuild::TFile;
using RtmBuild::TMatrix;

namespace {

namespace tg = tinygltf;
using TCorners = std::vector<QVector3D>;

// A string of an extras object; empty when there is none.
std::string Extra(const tg::Value& extras, const char* key)
{
    if (!extras.IsObject())
        return {};
    const tg::Value& v = extras.Get(key);
    return v.IsString() ? v.Get<std::string>() : std::string();
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

    explicit TGltf(const QByteArray& file)
    {
        tg::TinyGLTF loader;
        std::string err, warn;
        const bool ok = file.startsWith("glTF")
                            ? loader.LoadBinaryFromMemory(&M, &err, &warn, reinterpret_cast<const unsigned char*>(file.constData()),
                                                          unsigned(file.size()))
                            : loader.LoadASCIIFromString(&M, &err, &warn, file.constData(), unsigned(file.size()), "");
        if (!ok || !err.empty())
            Error = QString::fromStdString(err.empty() ? std::string("not read") : err);
    }

    // The values of an accessor, flattened (interleaved views by their stride): floats or
    // little-endian unsigned integers. Only read after the validator has checked the bounds.
    const std::vector<double>& Read(int accessor) const
    {
        const auto cached = ReadCache.find(accessor);
        if (cached != ReadCache.end())
            return cached->second;
        std::vector<double>& r = ReadCache[accessor];
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

    // Value of a sampler at time t: the key itself at a key time, linear in between.
    std::vector<double> Sample(const tg::Animation& anim, int sampler, double t) const
    {
        const tg::AnimationSampler& s = anim.samplers.at(size_t(sampler));
        const std::vector<double>&in = Read(s.input), &out = Read(s.output);
        const size_t comps = out.size() / in.size();
        size_t i = 0;
        while (i + 1 < in.size() && in[i + 1] <= t)
            ++i;
        const double f = i + 1 < in.size() && t > in[i] ? (t - in[i]) / (in[i + 1] - in[i]) : 0;
        std::vector<double> r(comps);
        for (size_t c = 0; c < comps; ++c)
            r[c] = out[i * comps + c] * (1 - f) + (f > 0 ? out[(i + 1) * comps + c] * f : 0);
        return r;
    }

    QMatrix4x4 Local(int node, double t) const
    {
        const tg::Node& n = M.nodes.at(size_t(node));
        if (n.matrix.size() == 16)
            return Columns(n.matrix.data());
        std::vector<double> T = n.translation.empty() ? std::vector<double>{0, 0, 0} : n.translation;
        std::vector<double> R = n.rotation.empty() ? std::vector<double>{0, 0, 0, 1} : n.rotation;
        std::vector<double> S = n.scale.empty() ? std::vector<double>{1, 1, 1} : n.scale;
        for (const tg::Animation& a : M.animations)
            for (const tg::AnimationChannel& c : a.channels)
                if (c.target_node == node)
                    (c.target_path == "translation" ? T : c.target_path == "rotation" ? R : S) = Sample(a, c.sampler, t);
        QMatrix4x4 m;
        m.translate(float(T[0]), float(T[1]), float(T[2]));
        m.rotate(QQuaternion(float(R[3]), float(R[0]), float(R[1]), float(R[2])).normalized());
        m.scale(float(S[0]), float(S[1]), float(S[2]));
        return m;
    }

    QMatrix4x4 World(int node, double t) const
    {
        const auto cached = WorldCache.find({node, t});
        if (cached != WorldCache.end())
            return cached->second;
        for (size_t i = 0; i < M.nodes.size(); ++i)  // the parent
            if (std::find(M.nodes[i].children.begin(), M.nodes[i].children.end(), node) != M.nodes[i].children.end())
                return WorldCache[{node, t}] = World(int(i), t) * Local(node, t);
        return WorldCache[{node, t}] = Local(node, t);
    }
    int NodeNamed(const QString& name) const  // a placed mesh
    {
        for (size_t i = 0; i < M.nodes.size(); ++i)
            if (M.nodes[i].name == name.toStdString() && M.nodes[i].mesh >= 0 && M.nodes[i].skin < 0)
                return int(i);
        return -1;
    }
    int SkinnedNode() const
    {
        for (size_t i = 0; i < M.nodes.size(); ++i)
            if (M.nodes[i].skin >= 0)
                return int(i);
        return -1;
    }
    const tg::Primitive& Primitive(int node, size_t i = 0) const
    {
        return M.meshes.at(size_t(M.nodes.at(size_t(node)).mesh)).primitives.at(i);
    }

    // Triangle corners of one primitive, posed at time t: skinned by the node's skin, or
    // placed by the node's world matrix.
    TCorners Posed(int node, const tg::Primitive& prim, double t) const
    {
        const tg::Node& n = M.nodes.at(size_t(node));
        const std::vector<double>&pos = Read(prim.attributes.at("POSITION")), &idx = Read(prim.indices);
        std::vector<QMatrix4x4> joints;
        std::vector<std::pair<const std::vector<double>*, const std::vector<double>*>> sets;  // JOINTS_n, WEIGHTS_n
        if (n.skin >= 0) {
            const tg::Skin& skin = M.skins.at(size_t(n.skin));
            for (size_t j = 0; j < skin.joints.size(); ++j)
                joints.push_back(World(skin.joints[j], t) * Columns(Read(skin.inverseBindMatrices).data() + j * 16));
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
    if (r["errors"].toInt() == 0 && r["warnings"].toInt() == 0)
        return {};
    QStringList lines;
    for (const QJsonValue& m : r["messages"].toArray())
        lines << m.toString();
    return lines.join('\n');
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
    const int skinned = g.SkinnedNode();
    int primitivesSeen = 0;
    for (qsizetype gi = 0; gi < obj.Groups.size(); ++gi) {
        const QString name = obj.Groups[gi];
        const TCorners& want = obj.Corners[gi];
        TCorners got;
        bool found = false;
        if (skinned >= 0) {
            for (const tg::Primitive& p : g.M.meshes.at(size_t(g.M.nodes[size_t(skinned)].mesh)).primitives)
                if (Extra(p.extras, "component") == name.toStdString()) {
                    got = g.Posed(skinned, p, t);
                    found = true;
                }
        }
        if (const int n = g.NodeNamed(name); !found && n >= 0) {
            got = g.Posed(n, g.Primitive(n), t);
            found = true;
        }
        if (!found && want.empty())
            continue;
        if (!found)
            return QStringLiteral("no primitive for group %1").arg(name);
        ++primitivesSeen;
        if (got.size() != want.size())
            return QStringLiteral("group %1: %2 corners, OBJ has %3").arg(name).arg(got.size()).arg(want.size());
        for (size_t i = 0; i < got.size(); ++i)
            for (int c = 0; c < 3; ++c)
                if (!(std::fabs(got[i][c] - want[i][c]) <= 2e-5f * (1 + std::fabs(want[i][c])))) {
                    QString s;
                    QDebug(&s).nospace() << "group " << name << " corner " << i << " at t=" << t << ": " << got[i] << ", OBJ " << want[i];
                    return s;
                }
    }
    // Nothing drawn that the OBJ lacks. Proxy meshes may be shared: count placements
    // rather than meshes for those.
    int placements = 0;
    for (const tg::Node& n : g.M.nodes)
        placements += n.mesh >= 0 && n.skin < 0 ? 1 : 0;
    const int skinnedPrims = skinned >= 0 ? int(g.M.meshes.at(size_t(g.M.nodes[size_t(skinned)].mesh)).primitives.size()) : 0;
    if (primitivesSeen != skinnedPrims + placements)
        return QStringLiteral("%1 groups compared, the file draws %2").arg(primitivesSeen).arg(skinnedPrims + placements);
    return {};
}

// The OBJ export of args compared with the glTF posed at time t; "" when they match.
QString ObjDiff(const CommandHome& h, const TGltf& g, const QStringList& args, double t)
{
    const CommandHome::Result r = h.Run(args + QStringList{"-o", "%1/frame.obj"});
    return r.Code != 0 ? "the OBJ export failed: " + r.Err : CompareWithObj(g, TObjTriangles(h.Read("frame.obj")), t);
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

    // Each keyframe of the glTF poses the model as the OBJ export of that frame does.
    void keyframesMatchObj_data() { QVERIFY(AddTableRows("app/gltf-keyframes.table")); }
    void keyframesMatchObj()
    {
        QFETCH(QStringList, options); QFETCH(QString, ext); QFETCH(bool, busy); QFETCH(int, frames); QFETCH(bool, oneFrame);
        CommandHome h;
        WriteRobotHome(h, busy ? BusyRobot() : Robot());
        std::vector<QByteArray> names{"arm", "body", "leg", "hand"};
        if (busy)
            names.insert(names.end(), {"leg1", "leg2", "leg3", "leg4", "leg5", "proxy:lamp.02"});
        TFile anim = TFile::Regular(names, std::max(frames, 1));
        anim.TotalMove = {0, 2, 10};
        for (int k = 0; k < frames; ++k) {
            anim.Frames[size_t(k)].Time = k == frames - 1 ? 1.f : float(k * k) / float(frames * frames);
            for (size_t j = 0; j < names.size(); ++j)  // turned, scaled and moved, differently per frame and component
                anim.Frames[size_t(k)].Records[j].Matrix =
                    RotZScale(0.7 * k + 0.3 * double(j), 1 + 0.25f * float(k) - 0.05f * float(j), 0.5f * float(k), -float(j), 0.25f);
        }
        QVERIFY(h.Write("walk.rtm", RtmBuild::Build(anim)));
        const QStringList files = frames ? QStringList{"%1/robot.p3d", "%1/walk.rtm"} : QStringList{"%1/robot.p3d"};
        const QString out = "%1/out." + ext;
        const CommandHome::Result r = h.Run(QStringList{"export"} + files + options + QStringList{"--play-time", "2", "-o", out});
        QCOMPARE(r.Err, QString());
        QCOMPARE(r.Code, 0);
        QCOMPARE(Validate(h.Path("out." + ext)), QString());
        const TGltf g(h.Read("out." + ext));
        QCOMPARE(g.Error, QString());
        QCOMPARE(int(g.M.animations.size()), frames && !oneFrame ? 1 : 0);

        // Joints: one per component in tree order with its display name, then the root.
        const tg::Skin& skin = g.M.skins.at(0);
        QStringList joints;
        for (int j : skin.joints)
            joints << QString::fromStdString(g.M.nodes.at(size_t(j)).name);
        QCOMPARE(h.Run(QStringList{"export"} + files + options + QStringList{"-o", "%1/tree.obj"}).Code, 0);
        QStringList groups = TObjTriangles(h.Read("tree.obj")).Groups;  // tree order, then the environment
        groups.removeAll("environment");
        QCOMPARE(joints.mid(0, joints.size() - 1), groups);
        const tg::Node& armJoint = g.M.nodes.at(size_t(skin.joints.at(size_t(joints.indexOf("arm")))));
        QCOMPARE(Extra(armJoint.extras, "displayName"), std::string("Upper arm"));
        if (busy) {  // both lamps are the same data, placed twice
            const int a = g.NodeNamed("proxy:lamp.01"), b = g.NodeNamed("proxy:lamp.02");
            QVERIFY(a >= 0 && b >= 0 && a != b);
            QCOMPARE(g.Primitive(a).attributes.at("POSITION"), g.Primitive(b).attributes.at("POSITION"));
        }

        const int keys = frames && !oneFrame ? frames : 1;
        for (int k = 0; k < keys; ++k) {
            const bool animated = frames && !oneFrame;
            const QStringList frame = animated ? QStringList{"--frame", QString::number(k)} : QStringList{};
            const QString diff = ObjDiff(h, g, QStringList{"export"} + files + options + frame,
                                         animated ? double(anim.Frames[size_t(k)].Time) * 2 : 0);
            QVERIFY2(diff.isEmpty(), qPrintable(QString("frame %1: %2").arg(k).arg(diff)));
        }
        if (frames && !oneFrame) {
            const tg::Animation& a = g.M.animations.at(0);
            QCOMPARE(a.name, std::string("walk"));
            for (const tg::AnimationSampler& s : a.samplers)
                QCOMPARE(s.interpolation, std::string("LINEAR"));
        }
    }

    // Normals: the file's, made unit length, or the polygon's own where the file's is
    // missing or unusable. Colours: sRGB to linear; blended as the 3D view is set.
    void surfaces_data()
    {
        QTest::addColumn<bool>("transparent");
        QTest::newRow("opaque view") << false;
        QTest::newRow("transparent view") << true;
    }
    void surfaces()
    {
        QFETCH(bool, transparent);
        CommandHome h;
        TP3dBuilder b;
        const TP3dBuilder::Range box = b.AddBox(0, 0, 0, 2, 1, 1);
        b.AddSelection("box", box);
        b.Normals = {{0, 0, 3}, {0, 0, 0}};  // the first is not unit length, the second has no direction
        for (size_t i = 0; i < b.Polygons.size(); ++i)
            for (auto& c : b.Polygons[i].Corners)
                c.NormalIndex = i == 0 ? 0 : i == 1 ? 1 : i == 2 ? 7 : 0;  // 7: no such normal
        QVERIFY(b.WriteTo(h.Path("box.p3d")) && h.Write("c.clr", "[ColorDef]\nbox=$4080FF\n") &&  // red FF, green 80, blue 40
                h.Write("TorvaneAnim.ini", "[Settings]\nColorFile=" + h.Path("c.clr").toUtf8() +
                                               (transparent ? "" : "\n[Startup]\n3DTranparent=0") + "\n"));
        const CommandHome::Result r = h.Run({"export", "%1/box.p3d", "-o", "%1/box.gltf"});
        QCOMPARE(r.Code, 0);
        QCOMPARE(Validate(h.Path("box.gltf")), QString());
        const TGltf g(h.Read("box.gltf"));
        QCOMPARE(g.Error, QString());
        const tg::Primitive& prim = g.M.meshes.at(0).primitives.at(0);
        const std::vector<double> normals = g.Read(prim.attributes.at("NORMAL")), pos = g.Read(prim.attributes.at("POSITION")),
                                  idx = g.Read(prim.indices);
        // Six quads, two triangles each, in polygon order.
        QCOMPARE(idx.size(), size_t(36));
        const auto point = [&](size_t corner) {
            const size_t v = size_t(idx[corner]);
            return QVector3D(float(pos[v * 3]), float(pos[v * 3 + 1]), float(pos[v * 3 + 2]));
        };
        for (size_t poly = 0; poly < 6; ++poly) {
            const size_t c = poly * 6;
            const QVector3D want = poly == 1 || poly == 2 ? QVector3D::normal(point(c), point(c + 1), point(c + 2)) : QVector3D(0, 0, 1);
            for (size_t k = c; k < c + 6; ++k) {
                const size_t v = size_t(idx[k]);
                QVERIFY2((QVector3D(float(normals[v * 3]), float(normals[v * 3 + 1]), float(normals[v * 3 + 2])) - want).length() < 1e-6f,
                         qPrintable(QString("polygon %1 corner %2").arg(poly).arg(k - c)));
            }
        }
        const tg::Material& material = g.M.materials.at(size_t(prim.material));
        const std::vector<double>& color = material.pbrMetallicRoughness.baseColorFactor;
        const auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
        QVERIFY(std::fabs(color[0] - linear(255 / 256.0)) < 1e-6);
        QVERIFY(std::fabs(color[1] - linear(128 / 256.0)) < 1e-6);  // 0.2158, not 0.5
        QVERIFY(std::fabs(color[2] - linear(64 / 256.0)) < 1e-6);
        QCOMPARE(color[3], transparent ? double(0.2f) : 1.0);
        QCOMPARE(material.alphaMode, std::string(transparent ? "BLEND" : "OPAQUE"));
        QCOMPARE(material.doubleSided, true);
    }

    // Animations the regular ones above do not make: keyframe times must rise, so of two
    // frames at the same time (the editor keeps them) the later one follows a float step
    // after; more components than a byte can number need 16-bit joints; shear and mirroring
    // have no rotation and scale, so the nearest ones are written (frame 1 is then not
    // compared) with a warning naming the component and the frame.
    void unusualAnimationsMatchObj_data()
    {
        QTest::addColumn<TSetUp>("setUp");  // writes robot.p3d and walk.rtm
        QTest::addColumn<QList<float>>("keys");  // keyframe times, for a play time of 3 s
        QTest::addColumn<QString>("warning");
        const auto armAt1 = [](TMatrix m) {
            return TSetUp([m](const CommandHome& h) {
                WriteRobotHome(h, Robot());
                TFile anim = TFile::Regular({"arm", "hand"}, 3);
                for (auto& f : anim.Frames)
                    f.Records[0].Matrix = f.Records[1].Matrix = RtmBuild::Identity;
                anim.Frames[1].Records[0].Matrix = m;
                QVERIFY(h.Write("walk.rtm", RtmBuild::Build(anim)));
            });
        };
        QTest::newRow("frames at the same time") << TSetUp([](const CommandHome& h) {
            WriteRobotHome(h, Robot());
            TFile anim = TFile::Regular({"arm", "hand"}, 4);
            for (int k = 0; k < 4; ++k) {
                anim.Frames[size_t(k)].Time = k == 3 ? 1 : k == 0 ? 0 : 0.5f;
                for (size_t j = 0; j < 2; ++j)
                    anim.Frames[size_t(k)].Records[j].Matrix = RotZScale(0.5 * k + double(j), 1, float(k), 0, 0);
            }
            QVERIFY(h.Write("walk.rtm", RtmBuild::Build(anim)));
        }) << QList<float>{0, 1.5f, std::nextafter(1.5f, 2.f), 3} << QString();
        QTest::newRow("300 components") << TSetUp([](const CommandHome& h) {
            TP3dBuilder b;
            std::vector<QByteArray> names;
            for (int i = 0; i < 300; ++i) {
                names.push_back("part" + QByteArray::number(i));
                b.AddSelection(names.back(), b.AddTriangle(float(i), 0, 0, float(i) + 0.5f, 0, 0, float(i), 1, 0));
            }
            TFile anim = TFile::Regular(names, 2);
            for (size_t j = 0; j < names.size(); ++j) {
                anim.Frames[0].Records[j].Matrix = RtmBuild::Identity;
                anim.Frames[1].Records[j].Matrix = RotZScale(0.01 * double(j), 1.5f, 0, float(j) * 0.1f, 0);
            }
            QVERIFY(b.WriteTo(h.Path("robot.p3d")) && h.Write("walk.rtm", RtmBuild::Build(anim)));
        }) << QList<float>{0, 3} << QString();
        QTest::newRow("shear") << armAt1({1, 0, 0, 0.5f, 1, 0, 0, 0, 1, 0, 0, 0}) << QList<float>{0, 1.5f, 3}
                               << "frame 1, component arm: shear or mirroring cannot be written as rotation and scale; the nearest rotation and scale are written";
        QTest::newRow("not finite") << armAt1({1, 0, 0, 0, std::numeric_limits<float>::infinity(), 0, 0, 0, 1, 0, 0, 0})
                                    << QList<float>{0, 1.5f, 3}
                                    << "frame 1, component arm: the transform is not finite; it is written collapsed to the origin";
        QTest::newRow("flattened, still exact") << armAt1({2, 0, 0, 0, 0, 0, 0, 0, 1, 1, 2, 3}) << QList<float>{0, 1.5f, 3} << QString();
    }
    void unusualAnimationsMatchObj()
    {
        QFETCH(TSetUp, setUp);
        QFETCH(QList<float>, keys);
        QFETCH(QString, warning);
        CommandHome h;
        setUp(h);
        const CommandHome::Result r = h.Run({"export", "%1/robot.p3d", "%1/walk.rtm", "--play-time", "3", "-o", "%1/out.glb"});
        QCOMPARE(r.Code, 0);
        QCOMPARE(r.Err, warning.isEmpty() ? QString() : "torvane-anim: " + warning + "\n");
        QCOMPARE(Validate(h.Path("out.glb")), QString());
        const TGltf g(h.Read("out.glb"));
        QCOMPARE(g.Error, QString());
        const std::vector<double> times = g.Read(g.M.animations.at(0).samplers.at(0).input);
        QCOMPARE(QList<float>(times.begin(), times.end()), keys);
        for (int k = 0; k < keys.size(); ++k) {
            const QString diff = k == 1 && !warning.isEmpty()
                                     ? QString()
                                     : ObjDiff(h, g, {"export", "%1/robot.p3d", "%1/walk.rtm", "--frame", QString::number(k)}, keys[k]);
            QVERIFY2(diff.isEmpty(), qPrintable(QString("frame %1: %2").arg(k).arg(diff)));
        }
    }

    // Points that are not finite are reported as the OBJ export reports them, and the file
    // stays valid; --format wins over the extension. (Refusals are cases of CommandLineTest.)
    void writtenDespiteOddInput_data() { QVERIFY(AddTableRows("app/gltf-odd-input.table")); }
    void writtenDespiteOddInput()
    {
        QFETCH(QStringList, args); QFETCH(QString, err);
        CommandHome h;
        WriteRobotHome(h, Robot());
        TP3dBuilder nan = Robot();
        nan.Points[3].Y = std::numeric_limits<float>::quiet_NaN();   // body
        nan.Points[27].Z = -std::numeric_limits<float>::infinity();  // leg, not animated below
        TFile anim = TFile::Regular({"body", "arm"}, 2);
        for (auto& f : anim.Frames)
            f.Records[0].Matrix = f.Records[1].Matrix = RtmBuild::Identity;
        QVERIFY(nan.WriteTo(h.Path("nan.p3d")) && h.Write("walk.rtm", RtmBuild::Build(anim)));
        QStringList after = QDir(h.Dir.path()).entryList(QDir::Files | QDir::Hidden) << args.last().mid(3);
        after.sort();
        const CommandHome::Result r = h.Run(QStringList{"export"} + args);
        QCOMPARE(r.Code, 0);
        QCOMPARE(r.Err, err);
        const QString out = args.last().mid(3);
        QCOMPARE(QDir(h.Dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), after);  // no leftovers
        QCOMPARE(Validate(h.Path(out)), QString());
        QVERIFY(h.Read(out).startsWith(out.endsWith("gltf") ? "{" : "glTF"));
    }
};

TORVANE_TEST(GltfExportTest)
#include "GltfExportTest.moc"
