// The model set-up on whatever the P3D reader returns: the model takes the record's arrays
// unchanged, gives each selection its default colour, pivot and share counts, keeps
// display points for a main model and none for a sub-model; proxy and environment
// placement on every selection stay inside the model.
#include "P3dSeeds.h"
#include "model/Environment.h"
#include "model/P3dModel.h"
#include "model/Proxies.h"
#include "platform/DebugOut.h"

#include <cmath>
#include <cstring>

namespace {
// The third member point of a selection, or the origin.
TVec3 ThirdMember(const TP3dModell& m, const std::vector<uint8_t>& members)
{
    int seen = 0;
    for (size_t i = 0; i < members.size(); ++i)
        if (members[i] && ++seen == 3)
            return {m.Vertices[i].X, m.Vertices[i].Y, m.Vertices[i].Z};
    return {};
}

bool SameFloat(float a, double b) { return a == float(b) || (std::isnan(a) && std::isnan(b)); }
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    WriteSeedsIfAsked(MakeP3dSeeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    TP3dFile read = ReadP3dFile(bytes);
    const TP3dFile file = read;
    QStringList lines;
    SetDebugSink([&lines](const QString& line) { lines << line; });
    TP3dModell m(QString(), nullptr, nullptr, false);
    m.SetUp(std::move(read));
    SetDebugSink([](const QString&) {});

    FUZZ_CHECK(m.Status == file.Status && m.ErrorText == file.ErrorText && m.LodVertexCount == file.LodVertexCount &&
               m.LodNormalCount == file.LodNormalCount && m.LodPolygonCount == file.LodPolygonCount);
    const size_t nv = file.Vertices.size();
    FUZZ_CHECK(m.Vertices.size() == nv && m.Normals.size() == file.Normals.size() && m.Polygons.size() == file.Polygons.size());
    FUZZ_CHECK(m.DisplayPoints.size() == nv);
    for (size_t i = 0; i < nv; ++i) {
        FUZZ_CHECK(std::memcmp(&m.Vertices[i], &file.Vertices[i], 16) == 0 && !m.Vertices[i].IsProxyCorner);
        const TDisplayPoint& d = m.DisplayPoints[i];
        FUZZ_CHECK(std::memcmp(&d.X, &m.Vertices[i].X, 12) == 0);
    }
    // Each tag name was sent, in file order.
    qsizetype at = 0;
    for (const TP3dTag& t : file.Tags) {
        at = lines.indexOf(t.Name, at);
        FUZZ_CHECK(at >= 0);
        ++at;
    }

    FUZZ_CHECK(m.Selections.size() == file.Selections.size());
    std::vector<int32_t> shares(nv, 0);
    for (size_t k = 0; k < m.Selections.size(); ++k) {
        const TSelection& s = *m.Selections[k];
        const TP3dFileSelection& f = file.Selections[k];
        FUZZ_CHECK(s.Model == &m && s.Name == f.Name && s.DisplayName == f.Name && s.Color == DefaultSelectionColor(int(k) + 1));
        FUZZ_CHECK(s.VertexMembership == f.Points && s.PolygonMembership == f.Polygons);
        const TVec3 pivot = ThirdMember(m, s.VertexMembership);
        FUZZ_CHECK(SameFloat(s.Pivot[0], pivot.x) && SameFloat(s.Pivot[1], pivot.y) && SameFloat(s.Pivot[2], pivot.z));
        for (size_t i = 0; i < nv; ++i)
            shares[i] += s.VertexMembership[i] ? 1 : 0;
    }
    for (size_t i = 0; i < nv; ++i)
        FUZZ_CHECK(m.Vertices[i].ShareCount == shares[i]);

    // The same file as a proxy sub-model: the same geometry, no selections, no display points.
    TSelection owner;
    TP3dModell sub(QString(), &owner, nullptr, true);
    sub.SetUp(ReadP3dFile(bytes, false));
    FUZZ_CHECK(sub.Selections.empty() && sub.DisplayPoints.empty() && sub.Vertices.size() == nv);
    for (const TP3dVertex& v : sub.Vertices)
        FUZZ_CHECK(v.ShareCount == 0);

    // Placement on every selection's first polygon, as a proxy of the model and as the
    // environment's chosen proxy.
    std::vector<TSelection*> order;
    for (const auto& s : m.Selections)
        order.push_back(s.get());
    for (TSelection* s : order) {
        const int poly = FirstMemberPolygon(*s);
        if (poly < 0)
            continue;
        FUZZ_CHECK(m.Polygons[size_t(poly)].Valid && s->PolygonMembership[size_t(poly)]);
        TSelection* parent = FindProxyParent(order, s->Name, poly);
        FUZZ_CHECK(!parent || (parent->Name != s->Name && parent->PolygonMembership[size_t(poly)]));
        const TP3dPolygon& p = m.Polygons[size_t(poly)];
        auto point = [&](int k) {
            const TP3dVertex& v = m.Vertices[p.Corners[k].PointIndex];
            return TVec3{v.X, v.Y, v.Z};
        };
        TTransform matrix;
        (void)ComputeProxyMatrix(point(0), point(1), point(2), matrix);
    }
    if (!order.empty()) {
        const TEnvironmentPlacement placed = PlaceEnvironment(m, *order.front());
        FUZZ_CHECK(!placed.Found || (placed.PolygonIndex >= 0 && m.Polygons[size_t(placed.PolygonIndex)].Hidden));
        FUZZ_CHECK(m.DisplayPoints.size() == nv);
    }
    return 0;
}
