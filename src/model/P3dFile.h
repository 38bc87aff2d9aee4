#pragma once
// The P3D reader: the bytes of an "MLOD" file (or the file itself) into a plain record of
// what its first LOD holds. It applies no editor defaults, fills no display buffers, finds
// no file by letter case and writes nothing to the debug channel; the model set-up
// (TP3dModell) does all that from the record.
#include "base/Unfilled.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

class TProgress;

struct TP3dVertex {
    float X = 0, Y = 0, Z = 0;
    uint32_t Flags = 0;
    int32_t ShareCount = 0;
    bool IsProxyCorner = false;
};

struct TP3dNormal {
    float X = 0, Y = 0, Z = 0;
};

struct TP3dCorner {
    uint32_t PointIndex = 0;
    uint32_t NormalIndex = 0;
    float U = 0, V = 0;
};

struct TP3dPolygon {
    char TextureName[32] = {};  // always NUL-terminated (a 32-character name loses its last one)
    uint32_t VertexCount = 0;
    TP3dCorner Corners[4];
    uint32_t Flags = 0;
    bool Hidden = false;
    // False when VertexCount is not 3 or 4 or a corner indexes outside the model's points;
    // such a polygon is never drawn or used for placement. Normal indices are not checked
    // here: only the 3D view reads normals, and it falls back on its own for a bad one.
    bool Valid = false;
};

// Whether a polygon is drawn from a model of pointCount points: not hidden, well formed,
// and every corner naming an existing point.
inline bool IsDrawable(const TP3dPolygon& poly, size_t pointCount)
{
    if (poly.Hidden || !poly.Valid || (poly.VertexCount != 3 && poly.VertexCount != 4))
        return false;
    for (uint32_t k = 0; k < poly.VertexCount; ++k)
        if (poly.Corners[k].PointIndex >= pointCount)
            return false;
    return true;
}

// What a read ended with.
//  BadFormat, BadLod, NoTags: the user is shown ErrorText and what was read is kept.
//  StreamError: the file ended early (or there was no memory for what it claims); the
//  caller abandons the load.
//  CannotOpen: the file could not be read at all.
enum class TP3dReadStatus { NotRead, Ok, BadFormat, BadLod, NoTags, StreamError, CannotOpen };

// One tag of the tag list, in file order, as far as it was read.
struct TP3dTag {
    enum class TRead : uint8_t { Name, Size, Whole };
    QString Name;
    uint32_t Size = 0;
    TRead Read = TRead::Name;  // Whole: its data was read (or skipped), or it ends the list
};

// One membership byte per point (or polygon) of a model: non-zero for a member. Read from
// the file straight into place, so its room is not filled first.
using TMembership = std::vector<uint8_t, TUnfilledAllocator<uint8_t>>;

// A named selection: one membership byte per point, then one per polygon.
struct TP3dFileSelection {
    QString Name;
    TMembership Points;
    TMembership Polygons;
    // Every non-zero byte of Points lies in [FirstPoint, EndPoint), of Polygons in
    // [FirstPolygon, EndPolygon) (empty when there is none): the reader notes it while the
    // bytes are fresh, so whoever looks for the members need not pass over the rest.
    // Unknown (anywhere) until then.
    uint32_t FirstPoint = 0, EndPoint = UINT32_MAX;
    uint32_t FirstPolygon = 0, EndPolygon = UINT32_MAX;
};

struct TP3dFile {
    // How far the read came through the headers; the set-up's progress lines follow it.
    enum class TStage : uint8_t { Nothing, Magic, LodCount, VertexCount, NormalCount, PolygonCount, Arrays, Tags };
    TStage Reached = TStage::Nothing;
    uint32_t LodCount = 0;
    // The counts as the LOD header states them (0 until read), also when the file turned
    // out too short to hold them.
    uint32_t LodVertexCount = 0;
    uint32_t LodNormalCount = 0;
    uint32_t LodPolygonCount = 0;
    // Points with ShareCount 0 and no proxy corner; polygons not hidden, Valid set.
    std::vector<TP3dVertex> Vertices;
    std::vector<TP3dNormal> Normals;
    std::vector<TP3dPolygon> Polygons;
    std::vector<TP3dTag> Tags;  // every tag met, selections and "#" tags alike
    std::vector<TP3dFileSelection> Selections;  // the selection tags read whole, in file order
    // The first failure; a read stops at it and keeps what came before.
    TP3dReadStatus Status = TP3dReadStatus::NotRead;
    QString ErrorText;
    bool OutOfMemory = false;  // StreamError because the file claims more than memory holds
};

// Reads bytes already in memory. Without selections the read ends after "TAGG" (a proxy
// sub-model is drawn whole; its tag list is never looked at).
TP3dFile ReadP3dFile(const QByteArray& bytes, bool selections = true);
// Reads the file at path exactly as named, each array and membership list straight into
// its place, so the file's bytes are never held twice. progress hears of each piece read
// and of the end; cancelled, the read stops as at a file that ends early (StreamError).
TP3dFile ReadP3dFile(const QString& path, bool selections = true, TProgress* progress = nullptr);
