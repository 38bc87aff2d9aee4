// P3D reader: any bytes end in one of the reader's outcomes, and what was read is
// consistent: arrays as long as their counts, memberships one byte per point and polygon,
// valid polygons indexing inside the model, share counts matching the memberships.
#include "FuzzSupport.h"
#include "model/P3dmodell.h"
#include "model/Proxies.h"
#include "platform/DebugOut.h"
#include "filebuild/P3dBuilder.h"

namespace {
FuzzSeeds MakeSeeds()
{
    FuzzSeeds seeds;
    TP3dBuilder walker;
    const auto body = walker.AddBox(-1, 0, -1, 1, 2, 1);
    const auto arm = walker.AddBox(1, 1, -0.2f, 2, 1.4f, 0.2f);
    const auto proxy = walker.AddTriangle(0, 2, 0, 0, 2, 0.5f, 0, 3, 0);
    walker.AddSelection("body", body.Points, {body.Polygons[0], body.Polygons[1], proxy.Polygons[0]});
    walker.AddTag("#Mass#", QByteArray(12, '\x01'));
    walker.AddSelection("arm", arm);
    walker.AddSelection("proxy:lamp.01", proxy);
    seeds.emplace_back("walker", walker.Build());

    TP3dBuilder twoLods = walker;
    twoLods.ExtraLods.push_back(walker.LodBytes());
    seeds.emplace_back("two_lods", twoLods.Build());

    TP3dBuilder odd;
    for (int i = 0; i < 5; ++i)
        odd.AddPoint(float(i), float(-i), 0.5f * float(i));
    odd.AddPolygon({0, 1, 2, 3});
    odd.AddPolygon({0, 9, 2});
    odd.Polygons[1].VertexCount = 5;
    odd.AddSelection(QByteArray(64, 'L'), {0, 1, 2, 4}).SizeField = 1000;
    odd.AddSelection("short", {1}).SizeField = 2;
    seeds.emplace_back("odd", odd.Build());

    TP3dBuilder empty;
    seeds.emplace_back("empty_lod", empty.Build());
    TP3dBuilder noEnd = walker;
    noEnd.EndTag = false;
    seeds.emplace_back("no_end_tag", noEnd.Build());
    return seeds;
}

void Check(const TP3dModell& m, size_t size)
{
    using S = TP3dModell::ReadStatus;
    switch (m.Status) {
    case S::Ok: FUZZ_CHECK(m.ErrorText.isEmpty()); break;
    case S::BadFormat: FUZZ_CHECK(m.ErrorText == QLatin1String("Incorrect Format!")); break;
    case S::BadLod: FUZZ_CHECK(m.ErrorText == QLatin1String("Incorrect LOD Format!")); break;
    case S::NoTags: FUZZ_CHECK(m.ErrorText == QLatin1String("No Tag Identifier found!")); break;
    case S::StreamError: FUZZ_CHECK(m.ErrorText == QLatin1String("Stream read error")); break;
    default: FUZZ_CHECK(false);
    }
    const size_t nv = m.Vertices.size(), nn = m.Normals.size(), np = m.Polygons.size();
    FUZZ_CHECK(m.DisplayPoints.size() == (m.IsProxy ? 0 : nv));  // a sub-model is posed where it is drawn
    FUZZ_CHECK(nv * 16 + nn * 12 + np * 104 <= size);
    if (nv || nn || np) {
        FUZZ_CHECK(nv == m.LodVertexCount && nn == m.LodNormalCount && np == m.LodPolygonCount);
    }
    for (const TP3dPolygon& p : m.Polygons) {
        FUZZ_CHECK(p.TextureName[31] == '\0');
        if (!p.Valid)
            continue;
        FUZZ_CHECK(p.VertexCount == 3 || p.VertexCount == 4);
        for (uint32_t k = 0; k < p.VertexCount; ++k)
            FUZZ_CHECK(p.Corners[k].PointIndex < nv);  // normals may be out of range: the 3D view falls back
    }
    std::vector<int32_t> shares(nv, 0);
    for (const auto& s : m.Selections) {
        FUZZ_CHECK(s->Model == &m);
        FUZZ_CHECK(s->VertexMembership.size() == nv && s->PolygonMembership.size() == np);
        FUZZ_CHECK(s->DisplayName == s->Name);
        for (size_t i = 0; i < nv; ++i)
            shares[i] += s->VertexMembership[i] ? 1 : 0;
    }
    for (size_t i = 0; i < nv; ++i)
        FUZZ_CHECK(m.Vertices[i].ShareCount == shares[i]);
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    WriteSeedsIfAsked(MakeSeeds);
    SetDebugSink([](const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    TP3dModell main(QString(), nullptr, nullptr, false);
    main.ReadP3dBytes(bytes, false);
    Check(main, size);

    // The same file as a proxy sub-model: the same geometry, never a selection.
    TSelection owner;
    TP3dModell sub(QString(), &owner, nullptr, true);
    sub.ReadP3dBytes(bytes, false);
    Check(sub, size);
    FUZZ_CHECK(sub.Selections.empty());
    FUZZ_CHECK(sub.Vertices.size() == main.Vertices.size() && sub.Polygons.size() == main.Polygons.size());

    // Placement on every selection's first polygon.
    std::vector<TSelection*> order;
    for (const auto& s : main.Selections)
        order.push_back(s.get());
    for (TSelection* s : order) {
        const int poly = FirstMemberPolygon(*s);
        if (poly < 0)
            continue;
        FUZZ_CHECK(main.Polygons[size_t(poly)].Valid && s->PolygonMembership[size_t(poly)]);
        TSelection* parent = FindProxyParent(order, s->Name, poly);
        FUZZ_CHECK(!parent || (parent->Name != s->Name && parent->PolygonMembership[size_t(poly)]));
        const TP3dPolygon& p = main.Polygons[size_t(poly)];
        auto point = [&](int k) {
            const TP3dVertex& v = main.Vertices[p.Corners[k].PointIndex];
            return TVec3{v.X, v.Y, v.Z};
        };
        TTransform matrix;
        (void)ComputeProxyMatrix(point(0), point(1), point(2), matrix);
    }
    return 0;
}
