// glTF animations read as the model's animation: files written here as other tools write
// them, posed independently with Qt's matrices and quaternions at every frame.
#include "pose/GltfImport.h"
#include "support/TestMain.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMatrix4x4>
#include <QQuaternion>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// A glTF file: JSON with its one buffer embedded as a data URI (or named by a file).
struct TGltfText {
    QJsonObject Root{{"asset", QJsonObject{{"version", "2.0"}}}};
    QJsonArray Nodes, Skins, Animations, Accessors, Views;
    QByteArray Bin;
    QString BufferUri;  // empty: embedded

    int Accessor(const std::vector<float>& values, const char* type)
    {
        while (Bin.size() % 4)
            Bin.append('\0');
        const qsizetype at = Bin.size();
        Bin.append(reinterpret_cast<const char*>(values.data()), qsizetype(values.size() * 4));
        Views.append(QJsonObject{{"buffer", 0}, {"byteOffset", at}, {"byteLength", qsizetype(values.size() * 4)}});
        const int per = QByteArray(type) == "SCALAR" ? 1 : QByteArray(type) == "VEC3" ? 3 : QByteArray(type) == "VEC4" ? 4 : 16;
        Accessors.append(QJsonObject{{"bufferView", Views.size() - 1},
                                     {"componentType", 5126},
                                     {"type", type},
                                     {"count", qsizetype(values.size()) / per}});
        return int(Accessors.size() - 1);
    }
    int Node(const QJsonObject& n)
    {
        Nodes.append(n);
        return int(Nodes.size() - 1);
    }
    // One channel on its own sampler of the last animation.
    void Channel(int node, const char* path, const std::vector<float>& times, const std::vector<float>& values,
                 const char* interpolation = "LINEAR")
    {
        if (Animations.isEmpty())
            Animations.append(QJsonObject{{"name", "wave"}, {"samplers", QJsonArray{}}, {"channels", QJsonArray{}}});
        QJsonObject a = Animations.last().toObject();
        QJsonArray samplers = a["samplers"].toArray(), channels = a["channels"].toArray();
        const int in = Accessor(times, "SCALAR");
        const int out = Accessor(values, QByteArray(path) == "rotation" ? "VEC4" : "VEC3");
        samplers.append(QJsonObject{{"input", in}, {"output", out}, {"interpolation", interpolation}});
        channels.append(QJsonObject{{"sampler", samplers.size() - 1}, {"target", QJsonObject{{"node", node}, {"path", path}}}});
        a["samplers"] = samplers;
        a["channels"] = channels;
        Animations[Animations.size() - 1] = a;
    }
    QByteArray Build() const
    {
        QJsonObject r = Root;
        for (const auto& [key, list] : {std::pair{"nodes", Nodes},
                                        {"skins", Skins},
                                        {"animations", Animations},
                                        {"accessors", Accessors},
                                        {"bufferViews", Views}})
            if (!list.isEmpty())
                r[key] = list;
        if (!Bin.isEmpty())
            r["buffers"] = QJsonArray{QJsonObject{
                {"byteLength", Bin.size()},
                {"uri", BufferUri.isEmpty() ? "data:application/octet-stream;base64," + QString::fromLatin1(Bin.toBase64())
                                            : BufferUri}}};
        return QJsonDocument(r).toJson(QJsonDocument::Compact);
    }
};

QJsonArray Array(const std::vector<double>& v) { return QJsonArray::fromVariantList(QVariantList(v.begin(), v.end())); }
std::vector<float> Floats(const QQuaternion& q) { return {q.x(), q.y(), q.z(), q.scalar()}; }
std::vector<float> Columns(const QMatrix4x4& m) { return std::vector<float>(m.constData(), m.constData() + 16); }

// The editor's matrix of a frame entry as a 4x4 matrix for column vectors.
QMatrix4x4 FromEntry(const TMatrix12f& e)
{
    QMatrix4x4 m;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            m(c, r) = e[size_t(r * 3 + c)];
        m(r, 3) = e[size_t(9 + r)];
    }
    return m;
}

QString Differs(const QMatrix4x4& got, const QMatrix4x4& want, float tolerance)
{
    for (int i = 0; i < 16; ++i)
        if (!(std::fabs(got.constData()[i] - want.constData()[i]) <= tolerance)) {
            QString s;
            QDebug(&s) << "got" << got << "want" << want;
            return s;
        }
    return {};
}

const QStringList Components{"arm", "hand", "leg"};
}  // namespace

class GltfImportTest : public QObject {
    Q_OBJECT
private slots:
    // As other tools write a rig: a transformed root that is no joint, nested joints with
    // inverse bind matrices, channels with different key times (a LINEAR rotation that must
    // take the shorter way, a STEP translation), and a joint the model lacks. Each frame is
    // a key time of some channel, and each component's transform its joint's skinning matrix.
    void posesOfAnotherTool()
    {
        TGltfText g;
        QMatrix4x4 rootM;
        rootM.translate(1, 0, -2);
        rootM.rotate(90, 0, 1, 0);
        rootM.scale(2);
        const QQuaternion rootQ = QQuaternion::fromAxisAndAngle(0, 1, 0, 90);
        g.Node(QJsonObject{{"name", "Armature"},
                           {"translation", Array({1, 0, -2})},
                           {"rotation", Array({rootQ.x(), rootQ.y(), rootQ.z(), rootQ.scalar()})},
                           {"scale", Array({2, 2, 2})},
                           {"children", QJsonArray{1}}});
        g.Node(QJsonObject{{"name", "Arm"}, {"translation", Array({0, 1, 0})}, {"children", QJsonArray{2, 3}}});
        g.Node(QJsonObject{{"name", "hand"}, {"translation", Array({0.5, 0, 0})}});
        g.Node(QJsonObject{{"name", "tail"}});
        // Bound where the joints rest, as tools bind them.
        QMatrix4x4 armBind = rootM, handBind;
        armBind.translate(0, 1, 0);
        handBind = armBind;
        handBind.translate(0.5f, 0, 0);
        std::vector<float> ibm;
        for (const QMatrix4x4& m : {armBind, handBind, armBind})
            for (float v : Columns(m.inverted()))
                ibm.push_back(v);
        g.Skins.append(QJsonObject{{"joints", QJsonArray{1, 2, 3}}, {"inverseBindMatrices", g.Accessor(ibm, "MAT4")}});
        const QQuaternion q0, q1 = QQuaternion::fromAxisAndAngle(0, 0, 1, 90), q2 = -QQuaternion::fromAxisAndAngle(0, 0, 1, 200);
        std::vector<float> rotations = Floats(q0);
        for (const QQuaternion& q : {q1, q2})
            for (float v : Floats(q))
                rotations.push_back(v);
        g.Channel(1, "rotation", {0, 1, 2}, rotations);
        g.Channel(2, "translation", {0.5f, 1.5f}, {0.5f, 0, 0, 0.5f, 1, 0}, "STEP");

        const TGltfImport r = ImportGltfAnimation(g.Build(), "rig.gltf", {}, Components);
        QCOMPARE(r.Error, QString());
        QCOMPARE(r.Warnings, QStringList{"rig.gltf: joint \"tail\" names no component of the model; it is left out"});
        QCOMPARE(r.Document.AnimSelections.Names(), QStringList({"arm", "hand"}));
        QCOMPARE(r.PlayTime, 2.0);
        QCOMPARE(r.Document.TotalMove, (std::array<float, 3>{0, 0, 0}));
        const std::vector<float> times{0, 0.5f, 1, 1.5f, 2};
        QCOMPARE(r.Document.FrameCount(), int(times.size()));
        QCOMPARE(r.Document.AnimStepCount, int(times.size()));
        for (size_t k = 0; k < times.size(); ++k) {
            const float t = times[k];
            QCOMPARE(r.Document.AnimFrames.Time(k), t / 2);
            // The shorter way from q1 to q2 is towards -q2: 110 degrees, not 250.
            const QQuaternion arm = t <= 1 ? QQuaternion::slerp(q0, q1, t) : QQuaternion::slerp(q1, q2, t - 1);
            QMatrix4x4 armWorld = rootM;
            armWorld.translate(0, 1, 0);
            armWorld.rotate(arm);
            QMatrix4x4 handWorld = armWorld;
            handWorld.translate(0.5f, t < 1.5f ? 0 : 1, 0);
            const QMatrix4x4 want[2] = {armWorld * armBind.inverted(), handWorld * handBind.inverted()};
            for (int j = 0; j < 2; ++j) {
                QCOMPARE(r.Document.AnimFrames.Entries(k)[size_t(j)].NameIndex, j);
                const QString diff = Differs(FromEntry(r.Document.AnimFrames.Entries(k)[size_t(j)].Matrix), want[j], 2e-5f);
                QVERIFY2(diff.isEmpty(), qPrintable(QString("frame %1, component %2: %3").arg(k).arg(j).arg(diff)));
            }
        }
    }

    // Nodes without a skin, keyed by a cubic spline (tangents in units per second, as glTF
    // scales them): x(t) = t * t exactly, sampled at two frames a second; and an animation
    // chosen by name or by number.
    void cubicSplineSampled_data()
    {
        QTest::addColumn<QString>("animation");
        QTest::addColumn<double>("fps");
        QTest::addColumn<QList<float>>("times");  // seconds
        QTest::newRow("by name, key times") << "curve" << 0.0 << QList<float>{0, 2};
        QTest::newRow("by number, 2 a second") << "1" << 2.0 << QList<float>{0, 0.5f, 1, 1.5f, 2};
        QTest::newRow("3 a second, the last at the end")
            << "" << 3.0 << QList<float>{0, 1 / 3.f, 2 / 3.f, 1, 4 / 3.f, 5 / 3.f, 2};
    }
    void cubicSplineSampled()
    {
        QFETCH(QString, animation);
        QFETCH(double, fps);
        QFETCH(QList<float>, times);
        TGltfText g;
        g.Node(QJsonObject{{"name", "ARM"}, {"rotation", Array({0, 0, 0, 1})}});
        g.Animations.append(QJsonObject{{"name", "other"}, {"samplers", QJsonArray{}}, {"channels", QJsonArray{}}});
        g.Channel(0, "translation", {5, 6}, {0, 0, 0, 1, 1, 1});
        g.Animations.append(QJsonObject{{"name", "curve"}, {"samplers", QJsonArray{}}, {"channels", QJsonArray{}}});
        // in-tangent, value, out-tangent per key: x from 0 (slope 0) to 4 (slope 4).
        g.Channel(0, "translation", {0, 2}, {9, 9, 9, 0, 0, 0, 0, 0, 0, 4, 0, 0, 4, 0, 0, 9, 9, 9}, "CUBICSPLINE");
        if (animation.isEmpty()) {  // the first is taken
            const QJsonValue first = g.Animations[0];
            g.Animations[0] = g.Animations[1];
            g.Animations[1] = first;
        }
        TGltfImportOptions o;
        o.Animation = animation;
        o.Fps = fps;
        const TGltfImport r = ImportGltfAnimation(g.Build(), "curve.gltf", {}, Components, o);
        QCOMPARE(r.Error, QString());
        QCOMPARE(r.Warnings, QStringList());
        QCOMPARE(r.Document.FrameCount(), int(times.size()));
        for (int k = 0; k < times.size(); ++k) {
            const float t = times[k];
            QVERIFY(std::fabs(r.Document.AnimFrames.Time(size_t(k)) - t / 2) < 1e-6f);
            const TMatrix12f& m = r.Document.AnimFrames.Entries(size_t(k))[0].Matrix;
            QVERIFY2(std::fabs(m[9] - t * t) < 1e-5f, qPrintable(QString("at %1 s: %2").arg(t).arg(m[9])));
            QCOMPARE(m[10], 0.f);
            QCOMPARE(m[0], 1.f);
        }
    }

    // What cannot be read stops the import with one message naming the file, and nothing
    // else: no frames, no names, no warnings.
    void refusals_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("error");
        const auto rig = [](const std::function<void(TGltfText&)>& change) {
            TGltfText g;
            g.Node(QJsonObject{{"name", "arm"}});
            g.Channel(0, "translation", {0, 1}, {0, 0, 0, 1, 2, 3});
            change(g);
            return g.Build();
        };
        QTest::newRow("not JSON") << QByteArray("walk.rtm, renamed") << "x.gltf: not a glTF file: ";
        QTest::newRow("JSON, not glTF") << QByteArray("{\"nodes\":[]}") << "x.gltf: not a glTF file: ";
        QTest::newRow("binary cut short") << QByteArray("glTF\x02\0\0\0\xff\0\0\0", 12)
                                          << "x.gltf: not a glTF file: not a glTF 2.0 binary file";
        QTest::newRow("binary chunk beyond the end") << QByteArray("glTF\x02\0\0\0\x1c\0\0\0\x40\0\0\0JSON{}      ", 28)
                                                     << "x.gltf: not a glTF file: the binary file's chunks do not fit it";
        QTest::newRow("JSON of too many values")
            << "{\"asset\":{\"version\":\"2.0\"},\"extras\":[" + QByteArray(4000000, ',').replace(",", "0,") + "0]}"
            << "x.gltf: its JSON holds more than 2000000 values";
        QTest::newRow("buffer missing") << rig([](TGltfText& g) { g.BufferUri = "walk.bin"; })
                                        << "x.gltf: its buffer walk.bin is missing";
        QTest::newRow("accessor beyond its buffer") << rig([](TGltfText& g) {
            QJsonObject a = g.Accessors[1].toObject();
            a["count"] = 3;
            g.Accessors[1] = a;
        }) << "x.gltf: accessor 1 lies outside its buffer";
        QTest::newRow("not finite") << rig([](TGltfText& g) {
            const float nan = std::numeric_limits<float>::quiet_NaN();
            std::memcpy(g.Bin.data() + 8 + 4 * 4, &nan, 4);
        }) << "x.gltf: accessor 1 holds a value that is not a finite number";
        QTest::newRow("keys that do not rise") << rig([](TGltfText& g) {
            const float t = 0;
            std::memcpy(g.Bin.data() + 4, &t, 4);
        }) << "x.gltf: the key times of sampler 0 do not rise";
        QTest::newRow("no animation") << rig([](TGltfText& g) { g.Animations = {}; }) << "x.gltf: it holds no animation";
        QTest::newRow("no such animation") << rig([](TGltfText& g) { g.Root["extras"] = "asks for run"; })
                                           << "x.gltf: it has no animation \"run\"; it has 0 \"wave\"";
        QTest::newRow("no joint names a component") << rig([](TGltfText& g) {
            g.Nodes[0] = QJsonObject{{"name", "wing"}};
        }) << "x.gltf: none of its nodes names a component of the model";
        QTest::newRow("nodes in a loop") << rig([](TGltfText& g) {
            g.Nodes[0] = QJsonObject{{"name", "arm"}, {"children", QJsonArray{1}}};
            g.Nodes.append(QJsonObject{{"name", "leg"}, {"children", QJsonArray{0}}});
        }) << "x.gltf: its nodes do not form a tree (node 0)";
        QTest::newRow("more frames than taken") << rig([](TGltfText& g) { g.Root["extras"] = "at most 1 entry"; })
                                                << "x.gltf: 2 frames of 1 components are more than are taken at most";
    }
    void refusals()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, error);
        QTemporaryDir dir;
        TGltfImportOptions o;
        if (file.contains("asks for run"))
            o.Animation = "run";
        if (file.contains("at most 1 entry"))
            o.MaxEntries = 1;
        const TGltfImport r = ImportGltfAnimation(file, "x.gltf", dir.path(), Components, o);
        QVERIFY2(error.endsWith(": ") ? r.Error.startsWith(error) && r.Error.size() > error.size() : r.Error == error,
                 qPrintable(r.Error));
        QCOMPARE(r.Document.FrameCount(), 0);
        QCOMPARE(r.Document.AnimSelections.Count(), 0);
        QCOMPARE(r.Warnings, QStringList());
    }
};

TORVANE_TEST(GltfImportTest)
#include "GltfImportTest.moc"
