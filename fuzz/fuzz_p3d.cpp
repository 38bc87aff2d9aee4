// P3D reader alone: any bytes end in one of the reader's outcomes, and the record is
// consistent: arrays as long as the header's counts, memberships one byte per point and
// polygon, valid polygons indexing inside the model, the tag list matching the selections,
// nothing set that belongs to the set-up. A read without selections takes the same arrays.
#include "P3dSeeds.h"
#include "model/P3dFile.h"

#include <algorithm>
#include <cstring>

namespace {
using S = TP3dReadStatus;
using St = TP3dFile::TStage;

void Check(const TP3dFile& f, size_t size, bool selections)
{
    switch (f.Status) {
    case S::Ok:
        FUZZ_CHECK(f.ErrorText.isEmpty() && f.Reached == St::Tags);
        break;
    case S::BadFormat:
        FUZZ_CHECK(f.ErrorText == QLatin1String("Incorrect Format!"));
        break;
    case S::BadLod:
        FUZZ_CHECK(f.ErrorText == QLatin1String("Incorrect LOD Format!") && f.Reached == St::LodCount);
        break;
    case S::NoTags:
        FUZZ_CHECK(f.ErrorText == QLatin1String("No Tag Identifier found!") && f.Reached == St::Arrays);
        break;
    case S::StreamError:
        FUZZ_CHECK(f.ErrorText == QLatin1String("Stream read error"));
        break;
    default:
        FUZZ_CHECK(false);
    }
    FUZZ_CHECK(!f.OutOfMemory);
    const size_t nv = f.Vertices.size(), nn = f.Normals.size(), np = f.Polygons.size();
    FUZZ_CHECK(nv * 16 + nn * 12 + np * 104 <= size);
    if (f.Reached >= St::Arrays)  // from memory the arrays are read whole once they fit
        FUZZ_CHECK(nv == f.LodVertexCount && nn == f.LodNormalCount && np == f.LodPolygonCount);
    else
        FUZZ_CHECK(nv == 0 && nn == 0 && np == 0);
    for (const TP3dVertex& v : f.Vertices)
        FUZZ_CHECK(v.ShareCount == 0 && !v.IsProxyCorner);
    for (const TP3dPolygon& p : f.Polygons) {
        FUZZ_CHECK(p.TextureName[31] == '\0' && !p.Hidden);
        bool valid = p.VertexCount == 3 || p.VertexCount == 4;
        for (uint32_t k = 0; valid && k < p.VertexCount; ++k)
            valid = p.Corners[k].PointIndex < nv;  // normals may be out of range: the 3D view falls back
        FUZZ_CHECK(p.Valid == valid);
    }
    if (!selections)
        FUZZ_CHECK(f.Tags.empty() && f.Selections.empty());
    // Every tag but the last was read whole; the selections are the whole non-"#" ones.
    size_t next = 0, membership = 0;
    for (size_t i = 0; i < f.Tags.size(); ++i) {
        const TP3dTag& t = f.Tags[i];
        FUZZ_CHECK(i + 1 == f.Tags.size() || t.Read == TP3dTag::TRead::Whole);
        if (t.Read != TP3dTag::TRead::Whole || t.Name.startsWith(QLatin1Char('#')))
            continue;
        FUZZ_CHECK(next < f.Selections.size() && f.Selections[next].Name == t.Name && t.Size >= nv + np);
        ++next;
    }
    FUZZ_CHECK(next == f.Selections.size());
    if (f.Status == S::Ok && selections)
        FUZZ_CHECK(!f.Tags.empty() && f.Tags.back().Name == QLatin1String("#EndOfFile#"));
    for (const TP3dFileSelection& s : f.Selections) {
        FUZZ_CHECK(s.Points.size() == nv && s.Polygons.size() == np);
        membership += nv + np;
        // The members' span: from the first member to one past the last, empty for none.
        const auto first = std::find_if(s.Points.begin(), s.Points.end(), [](uint8_t b) { return b != 0; });
        const auto last = std::find_if(s.Points.rbegin(), s.Points.rend(), [](uint8_t b) { return b != 0; });
        if (first == s.Points.end())
            FUZZ_CHECK(s.FirstPoint == s.EndPoint);
        else
            FUZZ_CHECK(s.FirstPoint == size_t(first - s.Points.begin()) && s.EndPoint == size_t(s.Points.rend() - last));
    }
    FUZZ_CHECK(nv * 16 + nn * 12 + np * 104 + membership <= size);
}

template <class T>
bool SameBytes(const std::vector<T>& a, const std::vector<T>& b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    WriteSeedsIfAsked(MakeP3dSeeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const TP3dFile main = ReadP3dFile(bytes);
    Check(main, size, true);

    // As a proxy sub-model: the same arrays, the tag list never looked at.
    const TP3dFile sub = ReadP3dFile(bytes, false);
    Check(sub, size, false);
    FUZZ_CHECK(sub.Reached == std::min(main.Reached, St::Tags) && sub.LodVertexCount == main.LodVertexCount);
    if (main.Reached >= St::Tags)
        FUZZ_CHECK(sub.Status == S::Ok);
    // The file's part of each record, byte for byte (NaNs compare unequal as floats).
    FUZZ_CHECK(sub.Vertices.size() == main.Vertices.size() && sub.Polygons.size() == main.Polygons.size());
    FUZZ_CHECK(SameBytes(sub.Normals, main.Normals));
    for (size_t i = 0; i < sub.Vertices.size(); ++i)
        FUZZ_CHECK(std::memcmp(&sub.Vertices[i], &main.Vertices[i], 16) == 0);
    for (size_t i = 0; i < sub.Polygons.size(); ++i)
        FUZZ_CHECK(std::memcmp(&sub.Polygons[i], &main.Polygons[i], 104) == 0 && sub.Polygons[i].Valid == main.Polygons[i].Valid);
    return 0;
}
