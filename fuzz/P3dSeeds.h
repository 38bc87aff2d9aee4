#pragma once
// Seed models shared by the P3D fuzz targets (the reader and the model set-up).
#include "FuzzSupport.h"
#include "filebuild/P3dBuilder.h"

inline FuzzSeeds MakeP3dSeeds()
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
