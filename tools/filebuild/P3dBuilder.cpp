#include "filebuild/P3dBuilder.h"

#include "platform/Binary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
void PutFixed(QByteArray& out, const QByteArray& text, qsizetype width)
{
    QByteArray b = text.left(width);
    b.append(QByteArray(width - b.size(), '\0'));
    out.append(b);
}
}  // namespace

int TP3dBuilder::AddPoint(float x, float y, float z, uint32_t flags)
{
    Points.push_back({x, y, z, flags});
    return int(Points.size()) - 1;
}

int TP3dBuilder::AddNormal(float x, float y, float z)
{
    Normals.push_back({x, y, z});
    return int(Normals.size()) - 1;
}

int TP3dBuilder::AddPolygon(const std::vector<uint32_t>& points, const QByteArray& texture)
{
    if (Normals.empty())
        AddNormal(0, 0, 1);
    Polygon p;
    p.TextureName = texture;
    p.VertexCount = uint32_t(points.size());
    for (size_t i = 0; i < points.size() && i < 4; ++i)
        p.Corners[i].PointIndex = points[i];
    Polygons.push_back(p);
    return int(Polygons.size()) - 1;
}

TP3dBuilder::Range TP3dBuilder::AddBox(float x0, float y0, float z0, float x1, float y1, float z1)
{
    Range r;
    const uint32_t base = uint32_t(Points.size());
    for (int i = 0; i < 8; ++i)
        r.Points.push_back(AddPoint(i & 1 ? x1 : x0, i & 2 ? y1 : y0, i & 4 ? z1 : z0));
    // Faces by corner bits (x = 1, y = 2, z = 4), wound outwards.
    static const uint32_t faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    static const float normals[6][3] = {{0, 0, -1}, {0, 0, 1}, {0, -1, 0}, {0, 1, 0}, {-1, 0, 0}, {1, 0, 0}};
    for (int f = 0; f < 6; ++f) {
        const int n = AddNormal(normals[f][0], normals[f][1], normals[f][2]);
        const int p = AddPolygon({base + faces[f][0], base + faces[f][1], base + faces[f][2], base + faces[f][3]});
        for (Corner& c : Polygons[size_t(p)].Corners)
            c.NormalIndex = uint32_t(n);
        r.Polygons.push_back(p);
    }
    return r;
}

TP3dBuilder::Range TP3dBuilder::AddTriangle(float ax, float ay, float az, float bx, float by, float bz, float cx, float cy,
                                            float cz)
{
    Range r;
    r.Points = {AddPoint(ax, ay, az), AddPoint(bx, by, bz), AddPoint(cx, cy, cz)};
    r.Polygons = {AddPolygon({uint32_t(r.Points[0]), uint32_t(r.Points[1]), uint32_t(r.Points[2])})};
    return r;
}

TP3dBuilder::Tag& TP3dBuilder::AddSelection(const QByteArray& name, const std::vector<int>& vertices,
                                            const std::vector<int>& polygons)
{
    Tag t;
    t.Name = name;
    t.IsSelection = true;
    t.Vertices = vertices;
    t.Polygons = polygons;
    Tags.push_back(t);
    return Tags.back();
}

TP3dBuilder::Tag& TP3dBuilder::AddSelection(const QByteArray& name, const Range& range)
{
    return AddSelection(name, range.Points, range.Polygons);
}

TP3dBuilder::Tag& TP3dBuilder::AddTag(const QByteArray& name, const QByteArray& data)
{
    Tag t;
    t.Name = name;
    t.Data = data;
    Tags.push_back(t);
    return Tags.back();
}

QByteArray TP3dBuilder::LodBytes() const
{
    QByteArray out;
    out.append(LodMagic);
    Binary::PutU32(out, 28);  // header size
    Binary::PutU32(out, 0x100);  // LOD version
    Binary::PutU32(out, VertexCount.value_or(uint32_t(Points.size())));
    Binary::PutU32(out, NormalCount.value_or(uint32_t(Normals.size())));
    Binary::PutU32(out, PolygonCount.value_or(uint32_t(Polygons.size())));
    Binary::PutU32(out, 0);  // LOD flags
    for (const Point& p : Points) {
        Binary::PutF32(out, p.X);
        Binary::PutF32(out, p.Y);
        Binary::PutF32(out, p.Z);
        Binary::PutU32(out, p.Flags);
    }
    for (const Normal& n : Normals) {
        Binary::PutF32(out, n.X);
        Binary::PutF32(out, n.Y);
        Binary::PutF32(out, n.Z);
    }
    for (const Polygon& p : Polygons) {
        PutFixed(out, p.TextureName, 32);
        Binary::PutU32(out, p.VertexCount);
        for (const Corner& c : p.Corners) {
            Binary::PutU32(out, c.PointIndex);
            Binary::PutU32(out, c.NormalIndex);
            Binary::PutF32(out, c.U);
            Binary::PutF32(out, c.V);
        }
        Binary::PutU32(out, p.Flags);
    }
    out.append(TagMagic);
    for (const Tag& t : Tags) {
        QByteArray data = t.Data;
        if (t.IsSelection && !t.RawData) {
            data = QByteArray(qsizetype(Points.size() + Polygons.size()), '\0');
            for (int v : t.Vertices)
                data[v] = char(t.MemberByte);
            for (int p : t.Polygons)
                data[qsizetype(Points.size()) + p] = char(t.MemberByte);
        }
        PutFixed(out, t.Name, 64);
        Binary::PutU32(out, t.SizeField.value_or(uint32_t(data.size())));
        out.append(data);
    }
    if (EndTag) {
        PutFixed(out, "#EndOfFile#", 64);
        Binary::PutU32(out, 0);
    }
    return out;
}

QByteArray TP3dBuilder::Build() const
{
    QByteArray out;
    out.append(FileMagic);
    Binary::PutU32(out, Version);
    Binary::PutU32(out, LodCount.value_or(uint32_t(1 + ExtraLods.size())));
    out.append(LodBytes());
    for (const QByteArray& lod : ExtraLods)
        out.append(lod);
    return out;
}

bool TP3dBuilder::WriteTo(const QString& path) const { return WriteBytesFile(path, Build()); }

bool WriteBytesFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
