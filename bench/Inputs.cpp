#include "Inputs.h"

#include "filebuild/LpvBuilder.h"
#include "filebuild/P3dBuilder.h"
#include "filebuild/RtmBuilder.h"

#include <cmath>

namespace BenchInputs {

QByteArray ComponentName(int i, int count)
{
    return QByteArray("Component_") + QByteArray::number(count - 1 - i).rightJustified(4, '0');
}

namespace {
// An animation of the given size whose record of component c in frame i holds matrix(i, c).
template <typename MatrixOf>
QByteArray AnimationOf(int components, int frames, MatrixOf matrix)
{
    RtmBuild::TFile f;
    f.TotalMove = {0.5f, 0.f, -1.25f};
    for (int c = 0; c < components; ++c)
        f.Names.push_back(ComponentName(c, components));
    f.Frames.resize(size_t(frames));
    for (int i = 0; i < frames; ++i) {
        RtmBuild::TFrame& fr = f.Frames[size_t(i)];
        fr.Time = frames > 1 ? float(i) / float(frames - 1) : 0.f;
        fr.Records.resize(size_t(components));
        for (int c = 0; c < components; ++c) {
            fr.Records[size_t(c)].Name = f.Names[size_t(c)];
            fr.Records[size_t(c)].Matrix = matrix(i, c);
        }
    }
    return RtmBuild::Build(f);
}
}  // namespace

QByteArray Animation(int components, int frames)
{
    return AnimationOf(components, frames, [](int i, int c) {
        // frame + component/128 - k/16 is exact in a float for these sizes and differs for
        // every (frame, component) pair.
        RtmBuild::TMatrix m;
        for (int k = 0; k < 12; ++k)
            m[size_t(k)] = float(i) + float(c) / 128.f - float(k) / 16.f;
        return m;
    });
}

QByteArray PosedAnimation(int components, int frames)
{
    return AnimationOf(components, frames, [](int i, int c) {
        // Rotation by a about the unit axis n (Rodrigues), as rows for p' = p * L + t.
        const double a = 0.1 + 0.05 * c + 0.2 * i;
        const double nx = 0.48, ny = 0.6, nz = 0.64;
        const double s = std::sin(a), k = 1 - std::cos(a);
        const double L[3][3] = {
            {1 - k * (ny * ny + nz * nz), k * nx * ny + s * nz, k * nx * nz - s * ny},
            {k * nx * ny - s * nz, 1 - k * (nx * nx + nz * nz), k * ny * nz + s * nx},
            {k * nx * nz + s * ny, k * ny * nz - s * nx, 1 - k * (nx * nx + ny * ny)},
        };
        RtmBuild::TMatrix m;
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 3; ++col)
                m[size_t(row * 3 + col)] = float(L[row][col]);
        m[9] = float(0.02 * (c % 10));
        m[10] = float(0.03 * (c / 10));
        m[11] = float(-0.01 * i);
        return m;
    });
}

namespace {
QByteArray MixedModel(int vertices, int polygons, int selections, bool quadsOnly)
{
    TP3dBuilder b;
    b.Points.reserve(size_t(vertices));
    b.Polygons.reserve(size_t(polygons));
    for (int v = 0; v < vertices; ++v)
        b.AddPoint(float(v % 100) * 0.01f, float((v / 100) % 100) * 0.01f, float(v / 10000) * 0.01f);
    const int pointsPer = vertices / selections;
    const int polygonsPer = polygons / selections;
    const QByteArray texture = "data\\textures\\body_co.paa";
    for (int s = 0; s < selections; ++s) {
        const int normal = b.AddNormal(0, 0, 1);
        const int first = s * pointsPer;
        const int last = s == selections - 1 ? vertices : first + pointsPer;
        const int span = last - first;
        std::vector<int> points(static_cast<size_t>(span));
        for (int k = 0; k < span; ++k)
            points[size_t(k)] = first + k;
        const int firstPolygon = s * polygonsPer;
        const int lastPolygon = s == selections - 1 ? polygons : firstPolygon + polygonsPer;
        std::vector<int> owned;
        owned.reserve(size_t(lastPolygon - firstPolygon));
        for (int p = firstPolygon; p < lastPolygon; ++p) {
            TP3dBuilder::Polygon poly;
            poly.TextureName = texture;
            poly.VertexCount = quadsOnly || p % 2 ? 4 : 3;
            for (uint32_t k = 0; k < poly.VertexCount; ++k) {
                poly.Corners[k].PointIndex = uint32_t(first + (p - firstPolygon + int(k)) % span);
                poly.Corners[k].NormalIndex = uint32_t(normal);
                poly.Corners[k].U = float(k) * 0.25f;
                poly.Corners[k].V = float(p % 7) * 0.125f;
            }
            b.Polygons.push_back(poly);
            owned.push_back(p);
        }
        b.AddSelection(ComponentName(s, selections), points, owned);
    }
    return b.Build();
}
}  // namespace

QByteArray Model(int vertices, int polygons, int selections) { return MixedModel(vertices, polygons, selections, false); }

QByteArray QuadModel(int vertices, int quads, int selections) { return MixedModel(vertices, quads, selections, true); }

QByteArray Linking(int selections)
{
    TLpvBuilder b;
    for (int s = 0; s < selections; ++s) {
        const QByteArray parent = s == 0 ? QByteArray() : ComponentName((s - 1) / 3, selections);
        b.Add(ComponentName(s, selections), parent, float(s) * 0.5f, 1.f, -float(s) * 0.25f);
    }
    return b.Build();
}

QByteArray ManyComponents(int count)
{
    TP3dBuilder b;
    for (int i = 0; i < count; ++i)
        b.AddSelection(ComponentName(i, count), {b.AddPoint(float(i % 50), float(i / 50), 0)});
    return b.Build();
}

QByteArray SharedComponents(int count)
{
    TP3dBuilder b;
    const TP3dBuilder::Range triangle = b.AddTriangle(0, 0, 0, 0, 0, 1, 0, 2, 0);
    b.Tags.reserve(size_t(count));
    for (int i = 0; i < count; ++i)
        b.AddSelection(ComponentName(i, count), triangle);
    return b.Build();
}

QByteArray MissingProxies(int count, int proxies)
{
    TP3dBuilder b;
    for (int i = 0; i < count; ++i) {
        const float x = float(i % 20) * 3, y = float(i / 20) * 3;
        const QByteArray name = "part_" + QByteArray::number(i).rightJustified(4, '0');
        b.AddSelection(i < proxies ? "proxy:" + name + ".01" : name, b.AddTriangle(x, y, 0, x, y, 1, x, y + 2, 0));
    }
    return b.Build();
}

QByteArray ChainLinking(int count, bool flat)
{
    TLpvBuilder b;
    for (int i = 0; i < count; ++i)
        b.Add(ComponentName(i, count), flat || i == 0 ? QByteArray() : ComponentName(i - 1, count), float(i), 0, 0);
    return b.Build();
}

QByteArray ProxyModel(int count, const QByteArray& subName)
{
    TP3dBuilder b;
    const char* letters = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int i = 0; i < count; ++i) {
        const float x = float(i % 20) * 3, y = float(i / 20) * 3;
        const QByteArray suffix = QByteArray(1, letters[(i / 36) % 36]) + letters[i % 36];
        b.AddSelection("proxy:" + subName + "." + suffix, b.AddTriangle(x, y, 0, x, y, 1, x, y + 2, 0));
    }
    return b.Build();
}

QByteArray EmptyFrames(qint64 bytes)
{
    RtmBuild::TFile f;
    const qint64 frames = (bytes - RtmBuild::ExpectedSize(0, 0)) / 4;
    f.Frames.resize(size_t(frames));
    for (qint64 i = 0; i < frames; ++i)
        f.Frames[size_t(i)].Time = frames > 1 ? float(i) / float(frames - 1) : 0.f;
    return RtmBuild::Build(f);
}

}  // namespace BenchInputs
