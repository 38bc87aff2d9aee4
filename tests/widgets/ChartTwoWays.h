#pragma once
#include "base/ChartItems.h"

#include <QRandomGenerator>
#include <algorithm>
#include <limits>
#include <vector>

// Random polygons of 1 to 4 corners in random colours, drawn once as polylines (items) and
// once as outline batches over point blocks, some blocks drawn through an index range an
// earlier batch appended (as a sub-model placed twice).
struct TTwoWays {
    TChartItems Items, Outlines;
};

inline void DrawBothWays(TTwoWays& t, QRandomGenerator& rng, int oddOneIn)
{
    const double odd[] = {std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity(),
                          0.0,
                          -0.0,
                          1e308};
    auto coord = [&] {
        return oddOneIn > 0 && rng.bounded(oddOneIn) == 0 ? odd[rng.bounded(6)] : (rng.generateDouble() - 0.5) * 100;
    };
    struct TList {
        uint32_t First, End;
        std::vector<std::vector<uint32_t>> Polygons;
        uint32_t PointCount;
    };
    std::vector<TList> lists;
    for (int batch = 0; batch < 40; ++batch) {
        const uint32_t color = rng.bounded(3) == 0 ? rng.generate() & 0xFFFFFF : 0x00C0C0C0u;
        t.Items.SetColor(color);
        t.Outlines.SetColor(color);
        const bool reuse = !lists.empty() && rng.bounded(3) == 0;
        TList list = reuse ? lists[rng.bounded(uint32_t(lists.size()))] : TList{};
        if (!reuse) {
            list.PointCount = 1 + rng.bounded(12u);
            list.First = t.Outlines.OutlineIndexCount();
            for (int p = 0, polygons = int(rng.bounded(6)); p < polygons; ++p) {
                std::vector<uint32_t> c(1 + rng.bounded(4u));
                for (uint32_t& k : c)
                    k = rng.bounded(list.PointCount);
                t.Outlines.AddOutlinePolygon(c.data(), uint32_t(c.size()));
                list.Polygons.push_back(c);
            }
            list.End = t.Outlines.OutlineIndexCount();
            lists.push_back(list);
        }
        double* xy = nullptr;
        const uint32_t base = t.Outlines.AddOutlinePoints(list.PointCount, &xy);
        std::generate_n(xy, 2 * list.PointCount, coord);
        const std::vector<double> points(xy, xy + 2 * list.PointCount);
        t.Outlines.AddOutlineBatch(base, list.First, list.End);
        for (const std::vector<uint32_t>& c : list.Polygons) {
            double poly[8];
            for (size_t k = 0; k < 2 * c.size(); ++k)
                poly[k] = points[2 * c[k / 2] + k % 2];
            t.Items.Polyline(poly, int(c.size()));
        }
    }
}
