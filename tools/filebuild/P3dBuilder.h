#pragma once
// Writes P3D model files ("MLOD" with an "SP3X" LOD) from a description, for tests, seeds
// and demo data. Every field that a reader checks can be overridden to build bad files.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

class TP3dBuilder {
public:
    struct Point {
        float X = 0, Y = 0, Z = 0;
        uint32_t Flags = 0;
    };
    struct Normal {
        float X = 0, Y = 0, Z = 1;
    };
    struct Corner {
        uint32_t PointIndex = 0;
        uint32_t NormalIndex = 0;
        float U = 0, V = 0;
    };
    struct Polygon {
        QByteArray TextureName;  // written into 32 bytes, zero-filled
        uint32_t VertexCount = 3;
        Corner Corners[4];
        uint32_t Flags = 0;
    };
    // A tag in the tag list: a named selection (membership built from the member lists at
    // Build time, or Data verbatim when RawData is set) or any other tag with its data.
    struct Tag {
        QByteArray Name;  // written into 64 bytes; 64 characters leave no terminator
        bool IsSelection = false;
        std::vector<int> Vertices;  // member points (selection)
        std::vector<int> Polygons;  // member polygons (selection)
        uint8_t MemberByte = 1;  // the byte written for a member
        bool RawData = false;
        QByteArray Data;  // data of a plain tag, or a selection's raw data
        std::optional<uint32_t> SizeField;  // overrides the size written before the data
    };

    int AddPoint(float x, float y, float z, uint32_t flags = 0);
    int AddNormal(float x, float y, float z);
    // Corners name points; normal indices default to 0 (one normal is added if none exists).
    int AddPolygon(const std::vector<uint32_t>& points, const QByteArray& texture = "tex.paa");
    // An axis-aligned box of 8 points and 6 quads; returns the indices of its points and
    // polygons so a selection can name them.
    struct Range {
        std::vector<int> Points;
        std::vector<int> Polygons;
    };
    Range AddBox(float x0, float y0, float z0, float x1, float y1, float z1);
    // A triangle; returns its point and polygon indices.
    Range AddTriangle(float ax, float ay, float az, float bx, float by, float bz, float cx, float cy, float cz);

    // The returned tag stays valid until the next tag is added.
    Tag& AddSelection(const QByteArray& name, const std::vector<int>& vertices, const std::vector<int>& polygons = {});
    Tag& AddSelection(const QByteArray& name, const Range& range);
    Tag& AddTag(const QByteArray& name, const QByteArray& data);

    // The first LOD with its tags (from its magic to the end tag).
    QByteArray LodBytes() const;
    // File header, this LOD, then the extra LODs.
    QByteArray Build() const;
    bool WriteTo(const QString& path) const;

    std::vector<Point> Points;
    std::vector<Normal> Normals;
    std::vector<Polygon> Polygons;
    std::vector<Tag> Tags;
    std::vector<QByteArray> ExtraLods;  // appended after the first LOD (e.g. another LodBytes())

    QByteArray FileMagic = "MLOD";
    QByteArray LodMagic = "SP3X";
    QByteArray TagMagic = "TAGG";
    uint32_t Version = 257;
    std::optional<uint32_t> LodCount;  // default: 1 + ExtraLods
    std::optional<uint32_t> VertexCount, NormalCount, PolygonCount;  // header overrides
    bool EndTag = true;  // write "#EndOfFile#"
};

// Writes bytes to a file, creating its folder.
bool WriteBytesFile(const QString& path, const QByteArray& bytes);
