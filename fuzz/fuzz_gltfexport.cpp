// The glTF export of random models: the input picks a small model (points, polygons,
// components with overlapping membership, a proxy), an animation (frames, times in any
// order, transforms that shear, mirror or are not finite, a total move) and the export's
// options; the editor sets it up and exports it as "export" does. The file must read back
// and hold finite numbers only, joints within its skin, weights that add up to one, key
// times that rise, unit rotations, unique node names and a bind pose that is its rest
// pose.
#include "FuzzSupport.h"
#include "editor/Editor.h"
#include "filebuild/P3dBuilder.h"
#include "filebuild/RtmBuilder.h"
#include "platform/DebugOut.h"
#include "platform/FileUtil.h"
#include "pose/ModelExport.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <tiny_gltf.h>

#include <QDir>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>

namespace {
namespace tg = tinygltf;

QString PathOf(const char* name) { return FuzzFolder().filePath(QString::fromLatin1(name)); }

float Number(FuzzedDataProvider& in)
{
    switch (in.ConsumeIntegralInRange<int>(0, 15)) {
    case 0:
        return std::numeric_limits<float>::quiet_NaN();
    case 1:
        return std::numeric_limits<float>::infinity();
    case 2:
        return 3e38f;
    default:
        return float(in.ConsumeIntegralInRange<int>(-40, 40)) / 8;
    }
}

RtmBuild::TMatrix Matrix(FuzzedDataProvider& in)
{
    RtmBuild::TMatrix m = RtmBuild::Identity;
    const double a = in.ConsumeIntegralInRange<int>(0, 63) * 0.1;
    const float c = float(std::cos(a)), s = float(std::sin(a));
    switch (in.ConsumeIntegralInRange<int>(0, 5)) {
    case 0:  // turned about z
        m = {c, s, 0, -s, c, 0, 0, 0, 1, 0, 0, 0};
        break;
    case 1:  // turned about x and scaled
        m = {2, 0, 0, 0, 2 * c, 2 * s, 0, -2 * s, 2 * c, 0, 0, 0};
        break;
    case 2:  // any numbers: shear, mirroring, collapse, not finite
        for (float& v : m)
            v = Number(in);
        break;
    default:
        break;
    }
    for (size_t k = 9; k < 12; ++k)
        m[k] = float(in.ConsumeIntegralInRange<int>(-8, 8)) / 4;
    return m;
}

// The model, its animation and the export's options from the input; false when the
// editor does not take the model.
bool Export(FuzzedDataProvider& in, const QString& out, bool& animate)
{
    TP3dBuilder b;
    const int points = in.ConsumeIntegralInRange<int>(3, 40);
    for (int i = 0; i < points; ++i)
        b.AddPoint(Number(in), Number(in), Number(in));
    for (int i = in.ConsumeIntegralInRange<int>(0, 3); i > 0; --i)
        b.AddNormal(Number(in), Number(in), Number(in));
    const int polygons = in.ConsumeIntegralInRange<int>(0, 30);
    for (int i = 0; i < polygons; ++i) {
        std::vector<uint32_t> corners(in.ConsumeBool() ? 4 : 3);
        for (uint32_t& c : corners)
            c = in.ConsumeIntegralInRange<uint32_t>(0, uint32_t(points));  // points: one past the last
        const int p = b.AddPolygon(corners);
        for (auto& c : b.Polygons[size_t(p)].Corners)
            c.NormalIndex = in.ConsumeIntegralInRange<uint32_t>(0, 4);
    }
    const int components = in.ConsumeIntegralInRange<int>(1, 24);
    std::vector<QByteArray> names;
    for (int i = 0; i < components; ++i) {
        const int kind = in.ConsumeIntegralInRange<int>(0, 7);
        names.push_back(kind == 0            ? QByteArray("proxy:lamp.0") + QByteArray::number(i % 3)
                        : kind == 1 && i > 0 ? names.front()  // the same name twice
                                             : "c" + QByteArray::number(i));
        std::vector<int> vs, ps;
        const bool many = in.ConsumeBool();  // in most of the points: shared by many
        for (int v = 0; v < points; ++v)
            if (many ? in.ConsumeIntegralInRange<int>(0, 3) > 0 : in.ConsumeIntegralInRange<int>(0, 5) == 0)
                vs.push_back(v);
        for (int p = 0; p < polygons; ++p)
            if (in.ConsumeIntegralInRange<int>(0, 3) == 0)
                ps.push_back(p);
        b.AddSelection(names.back(), vs, ps);
    }
    TP3dBuilder lamp;
    lamp.AddBox(0, 0, 0, 0.25f, 0.5f, 0.75f);
    FUZZ_CHECK(b.WriteTo(PathOf("model.p3d")) && lamp.WriteTo(PathOf("lamp.p3d")));

    const int frames = in.ConsumeIntegralInRange<int>(0, 6);
    RtmBuild::TFile anim;
    for (const QByteArray& n : names)
        if (in.ConsumeBool())
            anim.Names.push_back(n);
    anim.Names.push_back("absent");
    for (int k = 0; k < frames; ++k) {
        RtmBuild::TFrame f;
        f.Time = in.ConsumeBool() ? float(k) / float(std::max(frames - 1, 1)) : float(in.ConsumeIntegralInRange<int>(0, 4)) / 4;
        for (const QByteArray& n : anim.Names)
            f.Records.push_back({n, Matrix(in)});
        anim.Frames.push_back(f);
    }
    anim.TotalMove = {Number(in), Number(in), Number(in)};
    QFile::remove(PathOf("anim.rtm"));
    if (frames > 0)
        FUZZ_CHECK(WriteBytesFile(PathOf("anim.rtm"), RtmBuild::Build(anim)));

    TEditor scene;
    scene.LinkDataDir = PathOf("LinkData");
    if (!scene.LoadModel(PathOf("model.p3d")))
        return false;
    const bool loaded = frames > 0 && scene.LoadAnimation(PathOf("anim.rtm"));
    if (loaded && in.ConsumeBool())
        scene.Anim().SetActStep(in.ConsumeIntegralInRange<int>(0, frames - 1));
    else if (loaded && in.ConsumeBool())
        scene.ShowTime(in.ConsumeIntegralInRange<int>(0, 8) / 8.0);
    TEditorOptions options = scene.Options();
    options.Offset = {double(in.ConsumeIntegralInRange<int>(-4, 4)) / 2, 0, 1};
    options.TotalMove = in.ConsumeBool();
    scene.SetOptions(options);
    scene.Pose();
    TExportRequest request;
    request.Path = out;
    request.Format = in.ConsumeBool() ? TExportFormat::Glb : TExportFormat::Gltf;
    request.ModelName = QStringLiteral("model.p3d");
    request.Animate = animate = loaded && in.ConsumeBool();
    request.PlayTime = in.ConsumeIntegralInRange<int>(0, 3) * 0.7;
    request.Transparent = in.ConsumeBool();
    const TExportResult result = scene.Export(request);
    FUZZ_CHECK(result.Error.isEmpty());
    return true;
}

// The values of an accessor, floats or unsigned integers, flattened; checks its bounds.
std::vector<double> Read(const tg::Model& m, int index)
{
    FUZZ_CHECK(index >= 0 && size_t(index) < m.accessors.size());
    const tg::Accessor& a = m.accessors[size_t(index)];
    FUZZ_CHECK(a.bufferView >= 0 && size_t(a.bufferView) < m.bufferViews.size());
    const tg::BufferView& v = m.bufferViews[size_t(a.bufferView)];
    const std::vector<unsigned char>& bytes = m.buffers.at(size_t(v.buffer)).data;
    const size_t per = size_t(tg::GetNumComponentsInType(uint32_t(a.type)));
    const size_t size = size_t(tg::GetComponentSizeInBytes(uint32_t(a.componentType)));
    const size_t stride = size_t(a.ByteStride(v));
    FUZZ_CHECK(a.count == 0 || v.byteOffset + a.byteOffset + (a.count - 1) * stride + per * size <= bytes.size());
    std::vector<double> r;
    for (size_t e = 0; e < a.count; ++e)
        for (size_t c = 0; c < per; ++c) {
            const unsigned char* p = bytes.data() + v.byteOffset + a.byteOffset + e * stride + c * size;
            if (a.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT) {
                float f;
                std::memcpy(&f, p, 4);
                FUZZ_CHECK(std::isfinite(f));
                r.push_back(f);
            } else {
                uint32_t u = 0;
                std::memcpy(&u, p, size);
                r.push_back(u);
            }
        }
    return r;
}

// The node's default transform as a column-major 4x4 matrix.
std::array<double, 16> Local(const tg::Node& n)
{
    const std::vector<double> t = n.translation.empty() ? std::vector<double>{0, 0, 0} : n.translation;
    const std::vector<double> q = n.rotation.empty() ? std::vector<double>{0, 0, 0, 1} : n.rotation;
    const std::vector<double> s = n.scale.empty() ? std::vector<double>{1, 1, 1} : n.scale;
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    const double r[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
                            {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
                            {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}};
    std::array<double, 16> m{};
    for (size_t i = 0; i < 3; ++i) {
        for (size_t j = 0; j < 3; ++j)
            m[j * 4 + i] = r[i][j] * s[j];
        m[12 + i] = t[i];
    }
    m[15] = 1;
    return m;
}

std::array<double, 16> Times(const std::array<double, 16>& a, const std::array<double, 16>& b)
{
    std::array<double, 16> c{};
    for (size_t i = 0; i < 4; ++i)
        for (size_t j = 0; j < 4; ++j)
            for (size_t k = 0; k < 4; ++k)
                c[j * 4 + i] += a[k * 4 + i] * b[j * 4 + k];
    return c;
}

void Check(const QString& path, bool animate)
{
    QByteArray file;
    FUZZ_CHECK(ReadWholeFile(path, file));
    tg::Model m;
    tg::TinyGLTF loader;
    std::string err, warn;
    const bool ok = file.startsWith("glTF")
                        ? loader.LoadBinaryFromMemory(&m, &err, &warn, reinterpret_cast<const unsigned char*>(file.constData()),
                                                      unsigned(file.size()))
                        : loader.LoadASCIIFromString(&m, &err, &warn, file.constData(), unsigned(file.size()), "");
    if (!ok || !err.empty()) {
        std::fprintf(stderr, "%s\n", err.c_str());
        FUZZ_CHECK(false);
    }
    std::vector<int> parent(m.nodes.size(), -1);
    std::set<std::string> names;
    for (size_t i = 0; i < m.nodes.size(); ++i) {
        const tg::Node& n = m.nodes[i];
        FUZZ_CHECK(n.name.empty() || names.insert(n.name).second);
        for (const std::vector<double>* v : {&n.translation, &n.rotation, &n.scale})
            for (double x : *v)
                FUZZ_CHECK(std::isfinite(x));
        if (n.rotation.size() == 4)
            FUZZ_CHECK(std::fabs(std::sqrt(n.rotation[0] * n.rotation[0] + n.rotation[1] * n.rotation[1] +
                                           n.rotation[2] * n.rotation[2] + n.rotation[3] * n.rotation[3]) -
                                 1) < 1e-5);
        for (int c : n.children) {
            FUZZ_CHECK(c >= 0 && size_t(c) < m.nodes.size() && parent[size_t(c)] < 0);
            parent[size_t(c)] = int(i);
        }
    }
    const auto global = [&](int node) {
        std::array<double, 16> g = Local(m.nodes[size_t(node)]);
        for (int p = parent[size_t(node)]; p >= 0; p = parent[size_t(p)])
            g = Times(Local(m.nodes[size_t(p)]), g);
        return g;
    };
    for (const tg::Skin& skin : m.skins) {
        const std::vector<double> inverse = Read(m, skin.inverseBindMatrices);
        FUZZ_CHECK(inverse.size() == skin.joints.size() * 16);
        // The bind pose is the rest pose: each joint's default global transform undoes
        // its inverse bind matrix.
        for (size_t j = 0; j < skin.joints.size(); ++j) {
            std::array<double, 16> ibm;
            std::copy_n(inverse.begin() + qsizetype(j * 16), 16, ibm.begin());
            const std::array<double, 16> product = Times(global(skin.joints[j]), ibm);
            for (size_t k = 0; k < 16; ++k)
                FUZZ_CHECK(std::fabs(product[k] - (k % 5 == 0 ? 1 : 0)) < 1e-5);
        }
    }
    for (const tg::Node& n : m.nodes) {
        if (n.mesh < 0)
            continue;
        for (const tg::Primitive& p : m.meshes.at(size_t(n.mesh)).primitives) {
            const std::vector<double> positions = Read(m, p.attributes.at("POSITION"));
            const std::vector<double> indices = Read(m, p.indices);
            for (double i : indices)
                FUZZ_CHECK(i * 3 < double(positions.size()));
            FUZZ_CHECK(!p.attributes.count("JOINTS_1"));
            if (n.skin < 0)
                continue;
            const std::vector<double> joints = Read(m, p.attributes.at("JOINTS_0")),
                                      weights = Read(m, p.attributes.at("WEIGHTS_0"));
            const size_t count = m.skins.at(size_t(n.skin)).joints.size();
            for (size_t v = 0; v < weights.size(); v += 4) {
                double sum = 0;
                for (size_t k = v; k < v + 4; ++k) {
                    FUZZ_CHECK(weights[k] >= 0 && (weights[k] == 0 || joints[k] < double(count)));
                    sum += weights[k];
                }
                FUZZ_CHECK(std::fabs(sum - 1) < 1e-6);
            }
        }
    }
    FUZZ_CHECK(m.animations.size() <= (animate ? 1u : 0u));
    for (const tg::Animation& a : m.animations)
        for (const tg::AnimationSampler& s : a.samplers) {
            const std::vector<double> times = Read(m, s.input), values = Read(m, s.output);
            for (size_t k = 1; k < times.size(); ++k)
                FUZZ_CHECK(times[k] > times[k - 1]);
            FUZZ_CHECK(!values.empty() && values.size() % times.size() == 0);
        }
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    WriteSeedsIfAsked([] {
        FuzzSeeds seeds;
        seeds.emplace_back("zeros", QByteArray(64, '\0'));
        seeds.emplace_back("ones", QByteArray(512, '\x01'));
        QByteArray counting;
        for (int i = 0; i < 1024; ++i)
            counting.append(char(i * 37));
        seeds.emplace_back("counting", counting);
        return seeds;
    });
    SetDebugSink([](const QString&) {});
    FUZZ_CHECK(QDir(FuzzFolder().path()).mkpath(QStringLiteral("LinkData")));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const QString out = PathOf("out.glb");
    QFile::remove(out);
    bool animate = false;
    if (Export(in, out, animate))
        Check(out, animate);
    return 0;
}
