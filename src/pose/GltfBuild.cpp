// The glTF writer's small helpers: colours, normals, node transforms, membership.
#include "pose/GltfWriter.h"
#include "pose/View3dGeometry.h"

#include <cmath>

namespace GltfWrite {

float SrgbToLinear(float c) { return c <= 0.04045f ? c / 12.92f : float(std::pow((c + 0.055) / 1.055, 2.4)); }

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

int TBuilder::Material(uint32_t bgr, float alpha, bool transparent, const std::string& name)
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

void TPlainMesh::AddPolygon(const TP3dPolygon& poly, const std::vector<TVec3f>& points, const std::vector<TP3dNormal>& normals)
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
std::vector<uint32_t> Members(const TMembership& bytes, size_t n)
{
    std::vector<uint32_t> out;
    AppendNonZero(bytes, std::min(n, bytes.size()), out);
    return out;
}

bool Finite(const TVec3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

TTransform AverageTransform(const std::vector<TTransform>& byTree, const std::vector<uint32_t>& group)
{
    TTransform sum{};
    for (uint32_t t : group)
        for (size_t k = 0; k < 12; ++k)
            sum.m[k] += byTree[t].m[k];
    for (double& v : sum.m)
        v /= double(group.size());
    return sum;
}
}  // namespace GltfWrite
