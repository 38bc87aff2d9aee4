#include "pose/GltfExport.h"
#include "platform/FileUtil.h"
#include "model/Environment.h"
#include "pose/View3dGeometry.h"

// The only file that includes the glTF library's header: it is large, and the library
// itself is linked in.
#include <tiny_gltf.h>

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <functional>
#include <memory>
#include <unordered_map>

TExportFormat ExportFormatForFile(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.compare(QLatin1String("gltf"), Qt::CaseInsensitive) == 0)
        return TExportFormat::Gltf;
    if (suffix.compare(QLatin1String("glb"), Qt::CaseInsensitive) == 0)
        return TExportFormat::Glb;
    return TExportFormat::Obj;
}

// ---- Transform to translation, rotation, scale

namespace {
using TM3 = std::array<std::array<double, 3>, 3>;  // [row][column], column vectors

double Det(const TM3& a)
{
    return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
           a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
}

std::array<double, 3> Cross(const std::array<double, 3>& a, const std::array<double, 3>& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double Norm(const std::array<double, 3>& a) { return std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]); }

// Orthonormal columns from c by Gram-Schmidt, keeping a right-handed frame; used when the
// columns are too close to dependent for the polar iteration.
TM3 GramSchmidt(const std::array<std::array<double, 3>, 3>& cols)
{
    std::array<double, 3> x = cols[0];
    double n = Norm(x);
    if (!(n > 1e-12))
        x = {1, 0, 0}, n = 1;
    for (double& v : x)
        v /= n;
    std::array<double, 3> y = cols[1];
    const double d = x[0] * y[0] + x[1] * y[1] + x[2] * y[2];
    for (size_t i = 0; i < 3; ++i)
        y[i] -= d * x[i];
    n = Norm(y);
    if (!(n > 1e-12)) {
        y = std::fabs(x[0]) < 0.9 ? std::array<double, 3>{1, 0, 0} : std::array<double, 3>{0, 1, 0};
        const double e = x[0] * y[0] + x[1] * y[1] + x[2] * y[2];
        for (size_t i = 0; i < 3; ++i)
            y[i] -= e * x[i];
        n = Norm(y);
    }
    for (double& v : y)
        v /= n;
    const std::array<double, 3> z = Cross(x, y);
    TM3 r{};
    for (size_t i = 0; i < 3; ++i) {
        r[i][0] = x[i];
        r[i][1] = y[i];
        r[i][2] = z[i];
    }
    return r;
}
}  // namespace

TTrs DecomposeTransform(const TTransform& m)
{
    TTrs out;
    for (double v : m.m)
        if (!std::isfinite(v)) {
            out.Finite = false;
            out.Exact = false;
            out.S[0] = out.S[1] = out.S[2] = 0;
            return out;
        }
    out.T[0] = m[9];
    out.T[1] = m[10];
    out.T[2] = m[11];
    // Column j of the column-vector matrix is row j of the row-vector one: the image of axis j.
    std::array<std::array<double, 3>, 3> col{};
    double s[3];
    double largest = 0;
    for (size_t j = 0; j < 3; ++j) {
        col[j] = {m.m[j * 3], m.m[j * 3 + 1], m.m[j * 3 + 2]};
        s[j] = Norm(col[j]);
        largest = std::max(largest, s[j]);
    }
    const double tiny = std::max(largest * 1e-9, 1e-300);
    int zero = 0;
    for (size_t j = 0; j < 3; ++j) {
        if (s[j] > tiny) {
            for (double& v : col[j])
                v /= s[j];
        } else {
            ++zero;
        }
    }
    // A collapsed axis takes the direction that completes the other two.
    if (zero == 1)
        for (size_t j = 0; j < 3; ++j)
            if (!(s[j] > tiny))
                col[j] = Cross(col[(j + 1) % 3], col[(j + 2) % 3]);
    TM3 c{};
    for (size_t i = 0; i < 3; ++i)
        for (size_t j = 0; j < 3; ++j)
            c[i][j] = col[j][i];
    // Mirroring: the smallest axis turns round, the rest stays.
    if (Det(c) < 0) {
        const size_t k = size_t(std::min_element(s, s + 3) - s);
        for (size_t i = 0; i < 3; ++i)
            c[i][k] = -c[i][k];
    }
    // The nearest rotation: the orthogonal factor of the polar decomposition, by Newton's
    // iteration R = (R + R^-T) / 2.
    TM3 r = c;
    double skew = 0;  // how far the columns are from orthogonal
    for (size_t a = 0; a < 3; ++a)
        for (size_t b = a + 1; b < 3; ++b)
            skew = std::max(skew, std::fabs(c[0][a] * c[0][b] + c[1][a] * c[1][b] + c[2][a] * c[2][b]));
    const double det = Det(c);
    if (zero > 1 || std::fabs(det) < 1e-6) {
        r = GramSchmidt({std::array<double, 3>{c[0][0], c[1][0], c[2][0]}, std::array<double, 3>{c[0][1], c[1][1], c[2][1]},
                         std::array<double, 3>{c[0][2], c[1][2], c[2][2]}});
    } else if (zero > 0 || skew > 1e-7) {
        // Columns closer to orthogonal than that are a rotation stored as floats: already
        // as near as the frame's floats and the quaternion written as floats can tell.
        // The iteration converges quadratically: a step that changes less than 1e-9 leaves
        // an error far below double precision.
        for (int it = 0; it < 30; ++it) {
            const double inv = 1 / Det(r);
            TM3 invT{};  // inverse transposed = cofactor matrix / det
            for (size_t i = 0; i < 3; ++i)
                for (size_t j = 0; j < 3; ++j) {
                    const size_t i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
                    invT[i][j] = (r[i1][j1] * r[i2][j2] - r[i1][j2] * r[i2][j1]) * inv;
                }
            double change = 0;
            for (size_t i = 0; i < 3; ++i)
                for (size_t j = 0; j < 3; ++j) {
                    const double v = 0.5 * (r[i][j] + invT[i][j]);
                    change = std::max(change, std::fabs(v - r[i][j]));
                    r[i][j] = v;
                }
            if (change < 1e-9)
                break;
        }
    }
    for (size_t j = 0; j < 3; ++j)
        out.S[j] = s[j] > tiny ? s[j] : 0;
    // Whether rotation and scale give the matrix back.
    double err = 0;
    for (size_t i = 0; i < 3; ++i)
        for (size_t j = 0; j < 3; ++j)
            err = std::max(err, std::fabs(r[i][j] * out.S[j] - m.m[j * 3 + i]));
    out.Exact = err <= 1e-5 * std::max(largest, 1e-30);
    // Quaternion of r.
    const double tr = r[0][0] + r[1][1] + r[2][2];
    double q[4];
    if (tr > 0) {
        const double k = 0.5 / std::sqrt(tr + 1);
        q[3] = 0.25 / k;
        q[0] = (r[2][1] - r[1][2]) * k;
        q[1] = (r[0][2] - r[2][0]) * k;
        q[2] = (r[1][0] - r[0][1]) * k;
    } else if (r[0][0] > r[1][1] && r[0][0] > r[2][2]) {
        const double k = 2 * std::sqrt(1 + r[0][0] - r[1][1] - r[2][2]);
        q[3] = (r[2][1] - r[1][2]) / k;
        q[0] = 0.25 * k;
        q[1] = (r[0][1] + r[1][0]) / k;
        q[2] = (r[0][2] + r[2][0]) / k;
    } else if (r[1][1] > r[2][2]) {
        const double k = 2 * std::sqrt(1 + r[1][1] - r[0][0] - r[2][2]);
        q[3] = (r[0][2] - r[2][0]) / k;
        q[0] = (r[0][1] + r[1][0]) / k;
        q[1] = 0.25 * k;
        q[2] = (r[1][2] + r[2][1]) / k;
    } else {
        const double k = 2 * std::sqrt(1 + r[2][2] - r[0][0] - r[1][1]);
        q[3] = (r[1][0] - r[0][1]) / k;
        q[0] = (r[0][2] + r[2][0]) / k;
        q[1] = (r[1][2] + r[2][1]) / k;
        q[2] = 0.25 * k;
    }
    const double qn = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (int i = 0; i < 4; ++i)
        out.R[i] = q[i] / qn;
    return out;
}

// ---- Writing

namespace {
namespace tg = tinygltf;
constexpr int kNoTarget = 0;  // a buffer view that is neither vertices nor indices

// The bytes of the file go straight into the atomic writer.
class TWriterBuf final : public std::streambuf {
public:
    explicit TWriterBuf(TAtomicFileWriter& out) : Out_(out) {}

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override
    {
        return Out_.Write(s, qsizetype(n)) ? n : 0;
    }
    int_type overflow(int_type c) override
    {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        const char ch = traits_type::to_char_type(c);
        return Out_.Write(&ch, 1) ? c : traits_type::eof();
    }

private:
    TAtomicFileWriter& Out_;
};

float SrgbToLinear(float c)
{
    return c <= 0.04045f ? c / 12.92f : float(std::pow((c + 0.055) / 1.055, 2.4));
}

struct TVec3f {
    float x = 0, y = 0, z = 0;
};

TVec3f FaceNormal(const TVec3f& a, const TVec3f& b, const TVec3f& c)
{
    const double ux = double(b.x) - a.x, uy = double(b.y) - a.y, uz = double(b.z) - a.z;
    const double vx = double(c.x) - a.x, vy = double(c.y) - a.y, vz = double(c.z) - a.z;
    const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    const double n = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (!(n > 1e-30) || !std::isfinite(n))
        return {0, 1, 0};
    return {float(nx / n), float(ny / n), float(nz / n)};
}

// The file's normal, made unit length; false when it is missing or unusable.
bool FileNormal(const std::vector<TP3dNormal>& normals, uint32_t index, TVec3f& out)
{
    if (index >= normals.size())
        return false;
    const TP3dNormal& n = normals[index];
    const double l = std::sqrt(double(n.X) * n.X + double(n.Y) * n.Y + double(n.Z) * n.Z);
    if (!(l > 1e-20) || !std::isfinite(l))
        return false;
    out = {float(n.X / l), float(n.Y / l), float(n.Z / l)};
    return true;
}

// Where the buffer's bytes go: straight into the file, or into memory.
class TByteSink {
public:
    virtual ~TByteSink() = default;
    virtual void Put(const void* data, size_t size) = 0;
};

// Collects bytes and hands them on in large pieces.
class TStaging {
public:
    static constexpr size_t Capacity = 1 << 16;
    explicit TStaging(TByteSink& sink) : Sink_(sink), Bytes_(new unsigned char[Capacity]) {}
    ~TStaging() { Flush(); }
    TStaging(const TStaging&) = delete;
    TStaging& operator=(const TStaging&) = delete;
    // Room for size bytes (at most Capacity), to be filled at once.
    unsigned char* Take(size_t size)
    {
        if (Used_ + size > Capacity)
            Flush();
        unsigned char* at = Bytes_.get() + Used_;
        Used_ += size;
        return at;
    }
    void Flush()
    {
        if (Used_ > 0)
            Sink_.Put(Bytes_.get(), Used_);
        Used_ = 0;
    }

private:
    TByteSink& Sink_;
    std::unique_ptr<unsigned char[]> Bytes_;
    size_t Used_ = 0;
};

// One glTF document under construction. Its single buffer is laid out first and produced
// when the file is written: small blocks are held as bytes, the large vertex block is
// generated then, so the file never exists twice in memory.
class TBuilder {
public:
    tg::Model M;

    struct TBlock {
        size_t Offset = 0, Size = 0;
        std::vector<unsigned char> Bytes;       // held
        std::function<void(TByteSink&)> Make;  // or generated
    };
    std::vector<TBlock> Blocks;  // in offset order
    size_t Length = 0;           // of the buffer

    TBuilder()
    {
        M.asset.version = "2.0";
        M.asset.generator = "torvane-anim";
    }

    // Room for a block at a four-byte boundary; returns its offset.
    size_t Reserve(size_t size)
    {
        const size_t at = (Length + 3) & ~size_t(3);
        Length = at + size;
        return at;
    }
    // A buffer view over a copy of the bytes.
    int View(const void* bytes, size_t size, int target)
    {
        TBlock block;
        block.Offset = Reserve(size);
        block.Size = size;
        block.Bytes.assign(static_cast<const unsigned char*>(bytes), static_cast<const unsigned char*>(bytes) + size);
        Blocks.push_back(std::move(block));
        return ViewAt(Blocks.back().Offset, size, target);
    }
    // A block whose bytes make writes when the file is written (exactly size of them).
    size_t Generated(size_t size, std::function<void(TByteSink&)> make)
    {
        TBlock block;
        block.Offset = Reserve(size);
        block.Size = size;
        block.Make = std::move(make);
        Blocks.push_back(std::move(block));
        return Blocks.back().Offset;
    }
    // Every block in order, with the zeros between them and up to a four-byte end.
    void Emit(TByteSink& sink) const
    {
        static const unsigned char zeros[4] = {};
        size_t at = 0;
        for (const TBlock& b : Blocks) {
            if (b.Offset > at)
                sink.Put(zeros, b.Offset - at);
            if (b.Make)
                b.Make(sink);
            else if (!b.Bytes.empty())
                sink.Put(b.Bytes.data(), b.Bytes.size());
            at = b.Offset + b.Size;
        }
        if (const size_t end = (Length + 3) & ~size_t(3); end > at)
            sink.Put(zeros, end - at);
    }
    int ViewAt(size_t offset, size_t size, int target, size_t stride = 0)
    {
        tg::BufferView v;
        v.buffer = 0;
        v.byteOffset = offset;
        v.byteLength = size;
        v.byteStride = stride;
        v.target = target;
        M.bufferViews.push_back(std::move(v));
        return int(M.bufferViews.size() - 1);
    }
    int AccessorAt(int view, size_t offset, int componentType, int type, size_t count)
    {
        tg::Accessor a;
        a.bufferView = view;
        a.byteOffset = offset;
        a.componentType = componentType;
        a.type = type;
        a.count = count;
        M.accessors.push_back(std::move(a));
        return int(M.accessors.size() - 1);
    }
    template <class T>
    int Accessor(const std::vector<T>& values, int componentType, int type, size_t components, int target,
                 bool withBounds = false, bool normalized = false)
    {
        tg::Accessor a;
        a.bufferView = View(values.data(), values.size() * sizeof(T), target);
        a.componentType = componentType;
        a.type = type;
        a.normalized = normalized;
        a.count = values.size() / components;
        if (withBounds && a.count > 0) {
            a.minValues.assign(components, std::numeric_limits<double>::infinity());
            a.maxValues.assign(components, -std::numeric_limits<double>::infinity());
            for (size_t i = 0; i < values.size(); ++i) {
                double& lo = a.minValues[i % components];
                double& hi = a.maxValues[i % components];
                lo = std::min(lo, double(values[i]));
                hi = std::max(hi, double(values[i]));
            }
        }
        M.accessors.push_back(std::move(a));
        return int(M.accessors.size() - 1);
    }

    // A material per colour and transparency.
    int Material(uint32_t bgr, float alpha, bool transparent, const std::string& name)
    {
        const auto key = std::make_pair(uint64_t(bgr) | (uint64_t(transparent) << 32), alpha);
        if (const auto f = Materials_.find(key); f != Materials_.end())
            return f->second;
        float rgb[3];
        ComponentColor(bgr, rgb);
        tg::Material m;
        m.name = name;
        m.pbrMetallicRoughness.baseColorFactor = {SrgbToLinear(rgb[0]), SrgbToLinear(rgb[1]), SrgbToLinear(rgb[2]),
                                                  transparent ? alpha : 1.0};
        m.pbrMetallicRoughness.metallicFactor = 0;
        m.pbrMetallicRoughness.roughnessFactor = 1;
        m.alphaMode = transparent ? "BLEND" : "OPAQUE";
        m.doubleSided = true;  // the view culls no faces
        M.materials.push_back(std::move(m));
        return Materials_[key] = int(M.materials.size() - 1);
    }

    int Node(tg::Node n)
    {
        M.nodes.push_back(std::move(n));
        return int(M.nodes.size() - 1);
    }

private:
    std::map<std::pair<uint64_t, float>, int> Materials_;
};

// The corners of one polygon as triangles: 3 corners as they are, a quad as (1,2,4), (2,3,4).
// The 3D view sends a quad's corners as 4, 3, 2, 1 and GL splits it along the first and
// third corner sent: the diagonal from corner 2 to corner 4.
template <class F>
void ForEachTriangleCorner(const TP3dPolygon& poly, F&& f)
{
    static constexpr int quad[6] = {0, 1, 3, 1, 2, 3};
    if (poly.VertexCount == 4)
        for (int k : quad)
            f(poly.Corners[k]);
    else
        for (int k = 0; k < 3; ++k)
            f(poly.Corners[k]);
}

// Vertex data of a plain (unskinned) mesh: a vertex per corner.
struct TPlainMesh {
    std::vector<float> Positions, Normals;
    std::vector<uint32_t> Indices;

    void AddPolygon(const TP3dPolygon& poly, const std::vector<TVec3f>& points, const std::vector<TP3dNormal>& normals)
    {
        const TVec3f face = FaceNormal(points[poly.Corners[0].PointIndex], points[poly.Corners[1].PointIndex],
                                       points[poly.Corners[2].PointIndex]);
        ForEachTriangleCorner(poly, [&](const TP3dCorner& c) {
            const TVec3f& p = points[c.PointIndex];
            TVec3f n;
            if (!FileNormal(normals, c.NormalIndex, n))
                n = face;
            Indices.push_back(uint32_t(Positions.size() / 3));
            Positions.insert(Positions.end(), {p.x, p.y, p.z});
            Normals.insert(Normals.end(), {n.x, n.y, n.z});
        });
    }
};

// What the skinned mesh's vertex block is generated from.
struct TSkinData {
    const TP3dModell* Model = nullptr;
    std::vector<TVec3f> Bind;                // per point
    std::vector<uint32_t> First, Joints;     // the joints of point i: Joints[First[i] .. First[i + 1])
    std::vector<TVec3f> Unit;                // the file's normals, unit length
    std::vector<char> Usable;                // whether each of them is
    std::vector<std::pair<size_t, std::vector<uint32_t>>> Drawn;  // tree index, polygons
    size_t Sets = 1;
    bool Wide = false;

    void Emit(TByteSink& sink, size_t stride) const
    {
        TStaging out(sink);
        const size_t jointBytes = Wide ? 8 : 4;
        for (const auto& d : Drawn)
            for (uint32_t pi : d.second) {
                const TP3dPolygon& poly = Model->Polygons[pi];
                const auto stored = [this](uint32_t p) {
                    const TP3dVertex& v = Model->Vertices[p];
                    return TVec3f{v.X, v.Y, v.Z};
                };
                // Only where a corner lacks the file's normal; from the points as stored, so
                // that a polygon the editor collapses still has a direction.
                bool allUsable = true;
                for (uint32_t k = 0; k < poly.VertexCount; ++k) {
                    const uint32_t ni = poly.Corners[k].NormalIndex;
                    allUsable = allUsable && ni < Unit.size() && Usable[ni];
                }
                const TVec3f face = allUsable ? TVec3f{}
                                              : FaceNormal(stored(poly.Corners[0].PointIndex), stored(poly.Corners[1].PointIndex),
                                                           stored(poly.Corners[2].PointIndex));
                ForEachTriangleCorner(poly, [&](const TP3dCorner& corner) {
                    unsigned char* r = out.Take(stride);
                    const uint32_t p = corner.PointIndex;
                    std::memcpy(r, &Bind[p], 12);
                    const TVec3f& nv = corner.NormalIndex < Unit.size() && Usable[corner.NormalIndex] ? Unit[corner.NormalIndex] : face;
                    std::memcpy(r + 12, &nv, 12);
                    const uint32_t count = First[p + 1] - First[p];
                    if (count == 1 && Sets == 1 && !Wide) {  // the common case: one joint
                        const unsigned char js[4] = {uint8_t(Joints[First[p]]), 0, 0, 0};
                        const float ws[4] = {1, 0, 0, 0};
                        std::memcpy(r + 24, js, 4);
                        std::memcpy(r + 28, ws, 16);
                        return;
                    }
                    const float w = 1.0f / float(count);
                    for (size_t s = 0; s < Sets; ++s) {
                        unsigned char* js = r + 24 + s * (jointBytes + 16);
                        float ws[4];
                        for (size_t k = 0; k < 4; ++k) {
                            const size_t at = s * 4 + k;
                            const uint32_t j = at < count ? Joints[First[p] + at] : 0;
                            if (Wide) {
                                const uint16_t j16 = uint16_t(j);
                                std::memcpy(js + k * 2, &j16, 2);
                            } else {
                                js[k] = uint8_t(j);
                            }
                            ws[k] = at < count ? w : 0.0f;
                        }
                        std::memcpy(js + jointBytes, ws, 16);
                    }
                });
            }
    }
};

void SetTrs(tg::Node& n, const TTrs& t)
{
    n.translation = {t.T[0], t.T[1], t.T[2]};
    // Stored as floats by every reader; normalised again so that they stay unit length.
    float q[4] = {float(t.R[0]), float(t.R[1]), float(t.R[2]), float(t.R[3])};
    n.rotation = {q[0], q[1], q[2], q[3]};
    n.scale = {t.S[0], t.S[1], t.S[2]};
}

QString TrsWarning(const TTrs& t, const QString& where)
{
    if (!t.Finite)
        return QStringLiteral("%1: the transform is not finite; it is written collapsed to the origin").arg(where);
    return QStringLiteral("%1: shear or mirroring cannot be written as rotation and scale; the nearest rotation and "
                          "scale are written")
        .arg(where);
}

std::string Utf8(const QString& s) { return s.toStdString(); }

// The positions of the non-zero bytes among the first n, ascending.
std::vector<uint32_t> Members(const std::vector<uint8_t>& bytes, size_t n)
{
    std::vector<uint32_t> out;
    AppendNonZero(bytes, std::min(n, bytes.size()), out);
    return out;
}

bool Finite(const TVec3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }
}  // namespace

namespace {
// The writer's state while one document is built.
class TGltfWriter {
public:
    TGltfWriter(const TModelList& models_, const std::vector<TSelection*>& treeOrder_, const TPose& pose_,
                const TPoseParams& params_, const TGltfOptions& options_)
        : models(models_), treeOrder(treeOrder_), pose(pose_), params(params_), options(options_), doc(options_.Document),
          main(models_.empty() ? nullptr : models_.front().get()), treeCount(treeOrder_.size())
    {
        // Which tree nodes count for the pose: the animated ones, or every one without animation.
        posed.assign(treeCount, 0);
        for (size_t t = 0; t < treeCount; ++t)
            posed[t] = treeOrder[t] && (!params.AnimationLoaded || (doc && doc->AnimSelections.IndexOf(treeOrder[t]->Name) >= 0));
        animated = params.AnimationLoaded ? posed : std::vector<char>(treeCount, 0);
    }

    TGltfReport Run(TAtomicFileWriter& out)
    {
        // The counts the OBJ export reports: what the scene shows right now.
        if (main)
            for (size_t i = 0; i < main->Vertices.size(); ++i) {
                const TDisplayPoint d = i < main->DisplayPoints.size() ? main->DisplayPoints[i] : TDisplayPoint{};
                ++report.Points;
                report.NonFinitePoints += !(std::isfinite(d.X) && std::isfinite(d.Y) && std::isfinite(d.Z));
            }
        Nodes();
        if (main)
            SkinnedMesh();
        Proxies();
        Environment();
        if (options.Animate && doc && !doc->AnimFrames.empty())
            Animation();
        Write(out);
        return report;
    }

private:
    void Nodes();
    void SkinnedMesh();
    void Proxies();
    void Environment();
    void Animation();
    void Write(TAtomicFileWriter& out);

    const TModelList& models;
    const std::vector<TSelection*>& treeOrder;
    const TPose& pose;
    const TPoseParams& params;
    const TGltfOptions& options;
    const TAnimDocument* doc;
    const TP3dModell* main;
    const size_t treeCount;
    std::vector<char> posed, animated;

    TBuilder b;
    TGltfReport report;
    tg::Scene scene;
    std::string rootName;
    int root = -1, move = -1;   // the model's root node, the total move's node
    std::vector<int> jointNode;  // per tree position
};

void TGltfWriter::Nodes()
{
    // Nodes: root (the skin's last joint, for points at the origin), total move, joints.
    tg::Node rootNode;
    rootNode.name = rootName = Utf8(options.ModelName.isEmpty() ? QStringLiteral("model") : options.ModelName);
    root = b.Node(rootNode);
    tg::Node moveNode;
    moveNode.name = "total move";
    const TVec3 share = params.TotalMoveShare();
    moveNode.translation = {share.x, share.y, share.z};
    move = b.Node(moveNode);
    b.M.nodes[size_t(root)].children.push_back(move);
    jointNode.assign(treeCount, -1);
    const QString frameText = params.AnimationLoaded ? QStringLiteral("frame %1, ").arg(params.ActAnimStep) : QString();
    for (size_t t = 0; t < treeCount; ++t) {
        const TSelection* c = treeOrder[t];
        tg::Node n;
        n.name = c ? Utf8(c->Name) : std::string();
        if (c) {
            tg::Value::Object extras;
            extras["displayName"] = tg::Value(Utf8(c->DisplayName));
            n.extras = tg::Value(std::move(extras));
            const TTrs trs = DecomposeTransform(pose.Act(c));
            if (!trs.Exact)
                report.Warnings << TrsWarning(trs, frameText + QStringLiteral("component %1").arg(c->Name));
            SetTrs(n, trs);
        }
        jointNode[t] = b.Node(std::move(n));
        b.M.nodes[size_t(move)].children.push_back(jointNode[t]);
    }

    scene.nodes.push_back(root);
}

void TGltfWriter::SkinnedMesh()
{
    // The main model's skinned mesh.
    const size_t n = main->Vertices.size();
    const uint32_t rootJoint = uint32_t(treeCount);
    std::vector<std::vector<uint32_t>> members(treeCount);
    std::vector<uint32_t> shareCount(n, 0);
    for (size_t t = 0; t < treeCount; ++t) {
        const TSelection* c = treeOrder[t];
        if (!posed[t] || c->Model != main)
            continue;
        members[t] = Members(c->VertexMembership, n);
        for (uint32_t i : members[t])
            ++shareCount[i];
    }
    // Points the editor does not pose go to the root joint at what it shows.
    std::vector<TVec3f> bind(n);
    std::vector<char> onRoot(n, 0);
    for (size_t i = 0; i < n; ++i) {
        const TP3dVertex& v = main->Vertices[i];
        const bool storedFinite = std::isfinite(v.X) && std::isfinite(v.Y) && std::isfinite(v.Z);
        if (shareCount[i] == 0 || v.IsProxyCorner || !storedFinite) {
            onRoot[i] = 1;
            const TDisplayPoint d = i < main->DisplayPoints.size() ? main->DisplayPoints[i] : TDisplayPoint{};
            if (storedFinite && std::isfinite(d.X) && std::isfinite(d.Y) && std::isfinite(d.Z))
                bind[i] = {d.X, d.Y, d.Z};
        } else if (params.AnimationLoaded) {
            bind[i] = {float(RoundToFloat(v.X + params.ModelOffset[0])), float(RoundToFloat(v.Y + params.ModelOffset[1])),
                       float(RoundToFloat(v.Z + params.ModelOffset[2]))};
        } else {
            bind[i] = {v.X, v.Y, v.Z};
        }
    }
    // The joints of each point, as offsets into one list.
    std::vector<uint32_t> first(n + 1, 0);
    for (size_t i = 0; i < n; ++i)
        first[i + 1] = first[i] + (onRoot[i] ? 1 : shareCount[i]);
    std::vector<uint32_t> joints(first[n]);
    {
        std::vector<uint32_t> fill(first.begin(), first.end() - 1);
        for (size_t i = 0; i < n; ++i)
            if (onRoot[i])
                joints[fill[i]++] = rootJoint;
        for (size_t t = 0; t < treeCount; ++t) {
            const TSelection* c = treeOrder[t];
            if (!posed[t] || c->Model != main)
                continue;
            for (uint32_t i : members[t])
                if (!onRoot[i])
                    joints[fill[i]++] = uint32_t(t);
        }
    }
    uint32_t most = 1;
    for (size_t i = 0; i < n; ++i)
        most = std::max(most, first[i + 1] - first[i]);
    const size_t sets = (most + 3) / 4;
    const bool wide = treeCount + 1 > 255;

    // The polygons each component draws, then one block per attribute, written in place:
    // the buffer is laid out once, so nothing large is copied or grown on the way.
    std::vector<std::pair<size_t, std::vector<uint32_t>>> drawn;  // tree index, polygons
    size_t corners = 0;
    for (size_t t = 0; t < treeCount; ++t) {
        const TSelection* c = treeOrder[t];
        if (!c || c->ProxyModel || c->Model != main)
            continue;
        std::vector<uint32_t> polys = Members(c->PolygonMembership, main->Polygons.size());
        polys.erase(std::remove_if(polys.begin(), polys.end(),
                                   [&](uint32_t i) {
                                       const TP3dPolygon& poly = main->Polygons[i];
                                       return !IsDrawable(poly, n) || main->Vertices[poly.Corners[0].PointIndex].IsProxyCorner;
                                   }),
                    polys.end());
        for (uint32_t i : polys)
            corners += main->Polygons[i].VertexCount == 4 ? 6 : 3;
        if (!polys.empty())
            drawn.emplace_back(t, std::move(polys));
    }
    if (!drawn.empty()) {
        // One interleaved vertex record per corner: position, normal, then each set of
        // joints and weights. It is generated as the file is written.
        const size_t jointBytes = wide ? 8 : 4;
        const size_t stride = 24 + sets * (jointBytes + 16);
        auto skinData = std::make_shared<TSkinData>();
        skinData->Model = main;
        skinData->Bind = std::move(bind);
        skinData->First = std::move(first);
        skinData->Joints = std::move(joints);
        skinData->Sets = sets;
        skinData->Wide = wide;
        skinData->Unit.resize(main->Normals.size());
        skinData->Usable.resize(main->Normals.size());
        for (size_t i = 0; i < skinData->Unit.size(); ++i)
            skinData->Usable[i] = FileNormal(main->Normals, uint32_t(i), skinData->Unit[i]);
        // The bounds of the positions written: of every point a drawn corner names.
        float lo[3] = {std::numeric_limits<float>::infinity(), std::numeric_limits<float>::infinity(),
                       std::numeric_limits<float>::infinity()};
        float hi[3] = {-lo[0], -lo[1], -lo[2]};
        {
            std::vector<char> used(n, 0);
            for (const auto& d : drawn)
                for (uint32_t pi : d.second) {
                    const TP3dPolygon& poly = main->Polygons[pi];
                    for (uint32_t k = 0; k < poly.VertexCount; ++k)
                        used[poly.Corners[k].PointIndex] = 1;
                }
            for (size_t i = 0; i < n; ++i)
                if (used[i]) {
                    const TVec3f& q = skinData->Bind[i];
                    lo[0] = std::min(lo[0], q.x), lo[1] = std::min(lo[1], q.y), lo[2] = std::min(lo[2], q.z);
                    hi[0] = std::max(hi[0], q.x), hi[1] = std::max(hi[1], q.y), hi[2] = std::max(hi[2], q.z);
                }
        }
        std::vector<uint32_t> primitiveStart;
        uint32_t v = 0;
        for (const auto& d : drawn) {
            primitiveStart.push_back(v);
            for (uint32_t pi : d.second)
                v += main->Polygons[pi].VertexCount == 4 ? 6 : 3;
        }
        skinData->Drawn = std::move(drawn);
        const size_t vertexAt = b.Generated(corners * stride, [skinData, stride](TByteSink& sink) { skinData->Emit(sink, stride); });
        const size_t indexAt = b.Generated(corners * 4, [corners](TByteSink& sink) {
            TStaging out(sink);
            for (size_t i = 0; i < corners;) {
                const size_t count = std::min(corners - i, TStaging::Capacity / 4);
                uint32_t* idx = reinterpret_cast<uint32_t*>(out.Take(count * 4));
                for (size_t k = 0; k < count; ++k)
                    idx[k] = uint32_t(i + k);
                i += count;
            }
        });

        tg::Mesh mesh;
        mesh.name = rootName;
        tg::Primitive base;
        base.mode = TINYGLTF_MODE_TRIANGLES;
        const int vertexView = b.ViewAt(vertexAt, corners * stride, TINYGLTF_TARGET_ARRAY_BUFFER, stride);
        base.attributes["POSITION"] = b.AccessorAt(vertexView, 0, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, corners);
        b.M.accessors.back().minValues = {lo[0], lo[1], lo[2]};
        b.M.accessors.back().maxValues = {hi[0], hi[1], hi[2]};
        base.attributes["NORMAL"] = b.AccessorAt(vertexView, 12, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, corners);
        for (size_t s = 0; s < sets; ++s) {
            const std::string set = std::to_string(s);
            const size_t at = 24 + s * (jointBytes + 16);
            base.attributes["JOINTS_" + set] =
                b.AccessorAt(vertexView, at, wide ? TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT : TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE,
                             TINYGLTF_TYPE_VEC4, corners);
            base.attributes["WEIGHTS_" + set] =
                b.AccessorAt(vertexView, at + jointBytes, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC4, corners);
        }
        const int indexView = b.ViewAt(indexAt, corners * 4, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
        for (size_t d = 0; d < skinData->Drawn.size(); ++d) {
            const uint32_t from = primitiveStart[d], to = d + 1 < skinData->Drawn.size() ? primitiveStart[d + 1] : v;
            tg::Primitive p = base;
            p.indices = b.AccessorAt(indexView, size_t(from) * 4, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, TINYGLTF_TYPE_SCALAR,
                                     to - from);
            const TSelection* c = treeOrder[skinData->Drawn[d].first];
            tg::Value::Object extras;
            extras["component"] = tg::Value(Utf8(c->Name));
            p.extras = tg::Value(std::move(extras));
            p.material = b.Material(c->Color, 0.2f, options.Transparent,
                                    QStringLiteral("colour %1").arg(c->Color, 6, 16, QLatin1Char('0')).toStdString());
            mesh.primitives.push_back(std::move(p));
        }
        b.M.meshes.push_back(std::move(mesh));

        tg::Skin skin;
        skin.name = rootName;
        skin.skeleton = root;
        skin.joints = jointNode;
        skin.joints.push_back(root);
        std::vector<float> inverse;
        inverse.reserve(skin.joints.size() * 16);
        for (size_t j = 0; j < skin.joints.size(); ++j)
            inverse.insert(inverse.end(), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
        skin.inverseBindMatrices =
            b.Accessor(inverse, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_MAT4, 16, kNoTarget);
        b.M.skins.push_back(std::move(skin));

        // Skinned meshes sit at the root of the scene, without a transform of their own.
        tg::Node meshNode;
        meshNode.name = rootName + " mesh";
        meshNode.mesh = int(b.M.meshes.size() - 1);
        meshNode.skin = int(b.M.skins.size() - 1);
        scene.nodes.push_back(b.Node(std::move(meshNode)));
    }
}

void TGltfWriter::Proxies()
{
    // Proxies: a mesh per sub-model file (and colour), a node per placement.
    struct TProxyData {
        int Position = -1, Normal = -1, Indices = -1;
    };
    std::unordered_map<const void*, TProxyData> proxyData;
    std::map<std::pair<const void*, int>, int> proxyMesh;
    for (const auto& m : models) {
        if (!m || m.get() == main || !m->IsProxy || m->IsEnvironment)
            continue;
        const TTransform placed = ProxyTransform(*m, pose);
        for (const TP3dVertex& v : m->DrawnVertices()) {
            ++report.Points;
            report.NonFinitePoints += !Finite(PosePoint(v, placed, params));
        }
        const TSelection* owner = m->ProxySelection;
        if (!owner)
            continue;
        const void* key = m->SharedGeometry ? static_cast<const void*>(m->SharedGeometry.get()) : m.get();
        auto data = proxyData.find(key);
        if (data == proxyData.end()) {
            const std::vector<TP3dVertex>& vs = m->DrawnVertices();
            std::vector<TVec3f> points(vs.size());
            for (size_t i = 0; i < vs.size(); ++i) {
                const TVec3 p{RoundToFloat(vs[i].X + params.ModelOffset[0]), RoundToFloat(vs[i].Y + params.ModelOffset[1]),
                              RoundToFloat(vs[i].Z + params.ModelOffset[2])};
                if (Finite(p))
                    points[i] = {float(p.x), float(p.y), float(p.z)};
            }
            TPlainMesh pm;
            const std::vector<TP3dNormal>& normals = m->SharedGeometry ? m->SharedGeometry->Normals : m->Normals;
            for (const TP3dPolygon& poly : m->DrawnPolygons())
                if (IsDrawable(poly, vs.size()))
                    pm.AddPolygon(poly, points, normals);
            TProxyData d;
            if (!pm.Indices.empty()) {
                d.Position = b.Accessor(pm.Positions, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, 3,
                                        TINYGLTF_TARGET_ARRAY_BUFFER, true);
                d.Normal = b.Accessor(pm.Normals, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, 3,
                                      TINYGLTF_TARGET_ARRAY_BUFFER);
                d.Indices = b.Accessor(pm.Indices, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, TINYGLTF_TYPE_SCALAR, 1,
                                       TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
            }
            data = proxyData.emplace(key, d).first;
        }
        if (data->second.Indices < 0)
            continue;
        const int material = b.Material(owner->Color, 0.2f, options.Transparent,
                                        QStringLiteral("colour %1").arg(owner->Color, 6, 16, QLatin1Char('0')).toStdString());
        auto mesh = proxyMesh.find({key, material});
        if (mesh == proxyMesh.end()) {
            tg::Mesh pm;
            pm.name = Utf8(FileNamePart(m->FileName));
            tg::Primitive p;
            p.mode = TINYGLTF_MODE_TRIANGLES;
            p.attributes["POSITION"] = data->second.Position;
            p.attributes["NORMAL"] = data->second.Normal;
            p.indices = data->second.Indices;
            p.material = material;
            pm.primitives.push_back(std::move(p));
            b.M.meshes.push_back(std::move(pm));
            mesh = proxyMesh.emplace(std::make_pair(key, material), int(b.M.meshes.size() - 1)).first;
        }
        tg::Node n;
        n.name = Utf8(owner->Name);
        n.mesh = mesh->second;
        const TTrs trs = DecomposeTransform(m->ProxyMatrix);
        if (!trs.Exact)
            report.Warnings << TrsWarning(trs, QStringLiteral("proxy %1").arg(owner->Name));
        SetTrs(n, trs);
        int parent = move;
        for (size_t t = 0; t < treeCount; ++t)
            if (treeOrder[t] == m->ProxyParent)
                parent = jointNode[t];
        const int node = b.Node(std::move(n));
        b.M.nodes[size_t(parent)].children.push_back(node);
    }
}

void TGltfWriter::Environment()
{
    // The environment, where the view shows it.
    const TP3dModell* env = options.Environment ? FindEnvironment(models) : nullptr;
    if (env) {
        std::vector<TVec3f> points(env->Vertices.size());
        for (size_t i = 0; i < points.size(); ++i) {
            const TDisplayPoint d = i < env->DisplayPoints.size() ? env->DisplayPoints[i] : TDisplayPoint{};
            ++report.Points;
            if (std::isfinite(d.X) && std::isfinite(d.Y) && std::isfinite(d.Z))
                points[i] = {d.X, d.Y, d.Z};
            else
                ++report.NonFinitePoints;
        }
        TPlainMesh pm;
        for (const TP3dPolygon& poly : env->Polygons)
            if (IsDrawable(poly, points.size()))
                pm.AddPolygon(poly, points, env->Normals);
        // The sub-models of its other proxies stand still with it, in its mesh.
        for (const auto& m : models) {
            if (!m || !m->IsEnvironment || !m->IsProxy)
                continue;
            const TTransform placed = ProxyTransform(*m, pose);
            const std::vector<TP3dVertex>& vs = m->DrawnVertices();
            std::vector<TVec3f> sub(vs.size());
            for (size_t i = 0; i < vs.size(); ++i) {
                const TVec3 q = PosePoint(vs[i], placed, TPoseParams{});
                ++report.Points;
                if (Finite(q))
                    sub[i] = {float(q.x), float(q.y), float(q.z)};
                else
                    ++report.NonFinitePoints;
            }
            const std::vector<TP3dNormal>& normals = m->SharedGeometry ? m->SharedGeometry->Normals : m->Normals;
            for (const TP3dPolygon& poly : m->DrawnPolygons())
                if (IsDrawable(poly, sub.size()))
                    pm.AddPolygon(poly, sub, normals);
        }
        if (!pm.Indices.empty()) {
            tg::Primitive p;
            p.mode = TINYGLTF_MODE_TRIANGLES;
            p.attributes["POSITION"] = b.Accessor(pm.Positions, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, 3,
                                                  TINYGLTF_TARGET_ARRAY_BUFFER, true);
            p.attributes["NORMAL"] =
                b.Accessor(pm.Normals, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, 3, TINYGLTF_TARGET_ARRAY_BUFFER);
            p.indices = b.Accessor(pm.Indices, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, TINYGLTF_TYPE_SCALAR, 1,
                                   TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
            // The view's grey shell: 0.8 grey.
            p.material = b.Material(0xCCCCCC, options.EnvironmentAlpha, options.Transparent, "environment");
            tg::Mesh mesh;
            mesh.name = "environment";
            mesh.primitives.push_back(std::move(p));
            b.M.meshes.push_back(std::move(mesh));
            tg::Node n;
            n.name = "environment";
            n.mesh = int(b.M.meshes.size() - 1);
            scene.nodes.push_back(b.Node(std::move(n)));
        }
    }
}

void TGltfWriter::Animation()
{
    // The animation: every frame a keyframe.
    const size_t frames = doc->AnimFrames.size();
    std::vector<float> times(frames);
    for (size_t k = 0; k < frames; ++k) {
        float t = float(double(doc->AnimFrames[k].Time) * options.PlayTime);
        // Keyframe times must rise; frames at the same time follow one another closely.
        if (k > 0 && !(t > times[k - 1]))
            t = std::nextafter(times[k - 1], std::numeric_limits<float>::infinity());
        else if (!std::isfinite(t))
            t = 0;
        times[k] = t;
    }
    std::vector<size_t> channels;
    for (size_t t = 0; t < treeCount; ++t)
        if (animated[t])
            channels.push_back(t);
    std::vector<std::vector<float>> T(channels.size()), R(channels.size()), S(channels.size());
    std::vector<float> moves;
    bool moving = false;
    // The frames as the editor shows them one after the other (ApplyFrameTransforms):
    // each slot moves the first tree node of exactly its name, the last entry of a slot
    // counts, and a slot without an entry leaves it and the slotCount after it as they were.
    const int slotCount = doc->AnimSelections.Count();
    std::vector<int> slotNode(size_t(std::max(slotCount, 0)), -1);
    for (int i = 0; i < slotCount; ++i) {
        const QString& name = doc->AnimSelections[i];
        for (size_t t = 0; t < treeCount && !name.isEmpty(); ++t)
            if (treeOrder[t] && treeOrder[t]->Name == name) {
                slotNode[size_t(i)] = int(t);
                break;
            }
    }
    std::vector<TTransform> cur(treeCount);
    for (size_t t = 0; t < treeCount; ++t)
        cur[t] = pose.Act(treeOrder[t]);
    std::vector<const TAnimEntry*> last(slotNode.size());
    for (auto* v : {&T, &S})
        for (auto& list : *v)
            list.reserve(frames * 3);
    for (auto& list : R)
        list.reserve(frames * 4);
    moves.reserve(frames * 3);
    for (size_t k = 0; k < frames; ++k) {
        std::fill(last.begin(), last.end(), nullptr);
        for (const TAnimEntry& e : doc->AnimFrames[k].Entries)
            if (e.NameIndex >= 0 && e.NameIndex < slotCount)
                last[size_t(e.NameIndex)] = &e;
        for (size_t i = 0; i < last.size(); ++i) {
            if (slotNode[i] < 0)
                continue;
            if (!last[i])
                break;
            cur[size_t(slotNode[i])] = Widen(last[i]->Matrix);
        }
        for (size_t c = 0; c < channels.size(); ++c) {
            const TSelection* comp = treeOrder[channels[c]];
            const TTrs trs = DecomposeTransform(cur[channels[c]]);
            if (!trs.Exact)
                report.Warnings << TrsWarning(trs, QStringLiteral("frame %1, component %2").arg(k).arg(comp->Name));
            T[c].insert(T[c].end(), {float(trs.T[0]), float(trs.T[1]), float(trs.T[2])});
            float q[4] = {float(trs.R[0]), float(trs.R[1]), float(trs.R[2]), float(trs.R[3])};
            // The shorter way round to the next key.
            if (k > 0) {
                const float* prev = &R[c][R[c].size() - 4];
                if (prev[0] * q[0] + prev[1] * q[1] + prev[2] * q[2] + prev[3] * q[3] < 0)
                    for (float& v : q)
                        v = -v;
            }
            R[c].insert(R[c].end(), q, q + 4);
            S[c].insert(S[c].end(), {float(trs.S[0]), float(trs.S[1]), float(trs.S[2])});
        }
        TPoseParams at = params;
        at.ActAnimStep = int32_t(k);
        at.PlayFraction = 0;
        const TVec3 s = at.TotalMoveShare();
        moving = moving || s.x != 0 || s.y != 0 || s.z != 0;
        moves.insert(moves.end(), {float(s.x), float(s.y), float(s.z)});
    }

    tg::Animation anim;
    anim.name = Utf8(options.AnimationName);
    const int input = b.Accessor(times, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_SCALAR, 1, kNoTarget, true);
    const auto channel = [&](int node, const char* path, const std::vector<float>& values, int type, size_t comps) {
        tg::AnimationSampler s;
        s.input = input;
        s.output = b.Accessor(values, TINYGLTF_COMPONENT_TYPE_FLOAT, type, comps, kNoTarget);
        s.interpolation = "LINEAR";
        anim.samplers.push_back(std::move(s));
        tg::AnimationChannel ch;
        ch.sampler = int(anim.samplers.size() - 1);
        ch.target_node = node;
        ch.target_path = path;
        anim.channels.push_back(std::move(ch));
    };
    for (size_t c = 0; c < channels.size(); ++c) {
        const int node = jointNode[channels[c]];
        channel(node, "translation", T[c], TINYGLTF_TYPE_VEC3, 3);
        channel(node, "rotation", R[c], TINYGLTF_TYPE_VEC4, 4);
        channel(node, "scale", S[c], TINYGLTF_TYPE_VEC3, 3);
    }
    if (moving)
        channel(move, "translation", moves, TINYGLTF_TYPE_VEC3, 3);
    if (!anim.channels.empty())
        b.M.animations.push_back(std::move(anim));
}

void TGltfWriter::Write(TAtomicFileWriter& out)
{
    if (!options.Comment.isEmpty()) {
        tg::Value::Object extras;
        extras["comment"] = tg::Value(Utf8(options.Comment));
        b.M.asset.extras = tg::Value(std::move(extras));
    }
    b.M.scenes.push_back(std::move(scene));
    b.M.defaultScene = 0;
    tg::TinyGLTF writer;
    if (!options.Binary) {
        // JSON: the buffer goes into the file as a data URI, which the library writes.
        class TMemory final : public TByteSink {
        public:
            std::vector<unsigned char> Bytes;
            void Put(const void* data, size_t size) override
            {
                Bytes.insert(Bytes.end(), static_cast<const unsigned char*>(data), static_cast<const unsigned char*>(data) + size);
            }
        } memory;
        memory.Bytes.reserve(b.Length + 4);
        b.Emit(memory);
        if (!memory.Bytes.empty()) {
            b.M.buffers.emplace_back();
            b.M.buffers[0].data = std::move(memory.Bytes);
        }
        TWriterBuf buf(out);
        std::ostream stream(&buf);
        writer.WriteGltfSceneToStream(&b.M, stream, false, false);
        return;
    }
    // Binary: the library writes the document; the buffer, which it would copy whole
    // first, is streamed into the file behind it. The document names the buffer by its
    // length alone, as a binary file's buffer is named.
    std::ostringstream json;
    writer.WriteGltfSceneToStream(&b.M, json, false, false);
    std::string text = json.str();
    const size_t binLength = (b.Length + 3) & ~size_t(3);
    if (binLength > 0) {
        const size_t close = text.rfind('}');
        text.insert(close, ",\"buffers\":[{\"byteLength\":" + std::to_string(b.Length) + "}]");
    }
    while (text.size() % 4 != 0)
        text += ' ';
    const auto u32 = [&out](uint32_t v) { out.Write(&v, 4); };
    out.Write("glTF", 4);
    u32(2);
    u32(uint32_t(12 + 8 + text.size() + (binLength ? 8 + binLength : 0)));
    u32(uint32_t(text.size()));
    u32(0x4E4F534A);  // "JSON"
    out.Write(text.data(), qsizetype(text.size()));
    if (binLength > 0) {
        u32(uint32_t(binLength));
        u32(0x004E4942);  // "BIN"
        class TFile final : public TByteSink {
        public:
            explicit TFile(TAtomicFileWriter& w) : W(w) {}
            TAtomicFileWriter& W;
            void Put(const void* data, size_t size) override { W.Write(data, qsizetype(size)); }
        } file(out);
        b.Emit(file);
    }
}

}  // namespace

TGltfReport WritePosedGltf(const TModelList& models, const std::vector<TSelection*>& treeOrder,
                           const TPose& pose, const TPoseParams& params, const TGltfOptions& options,
                           TAtomicFileWriter& out)
{
    return TGltfWriter(models, treeOrder, pose, params, options).Run(out);
}
