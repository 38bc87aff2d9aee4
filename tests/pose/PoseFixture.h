#pragma once
// Helpers shared by the pose tests: models read from builder bytes, their selections as a
// flat tree, and points compared as QVector3D.
#include "filebuild/P3dBuilder.h"
#include "pose/Pose.h"

#include <QVector3D>
#include <cmath>

inline std::unique_ptr<TP3dModell> ReadModel(const TP3dBuilder& b, bool environment = false)
{
    auto m = environment ? std::make_unique<TP3dModell>(QString())
                         : std::make_unique<TP3dModell>(QString(), nullptr, nullptr, false);
    m->ReadP3dBytes(b.Build(), environment);
    return m;
}

inline TModelList MainOnly(const TP3dBuilder& b)
{
    TModelList models;
    models.push_back(ReadModel(b));
    return models;
}

// Every selection of the model a top-level node, in file order.
inline std::vector<const TSelection*> TreeOf(const TP3dModell& m)
{
    std::vector<const TSelection*> tree;
    for (const auto& s : m.Selections)
        tree.push_back(s.get());
    return tree;
}

// The same as tree nodes; inAnim[i] says whether node i is animated (all when empty).
inline TComponentNodes NodesOf(const TP3dModell& m, const std::vector<bool>& inAnim = {})
{
    TComponentNodes nodes;
    for (size_t i = 0; i < m.Selections.size(); ++i)
        nodes.push_back({m.Selections[i].get(), 0, inAnim.empty() || inAnim[i]});
    return nodes;
}

inline QVector3D V3(const QList<float>& v) { return QVector3D(v.value(0), v.value(1), v.value(2)); }
inline QVector3D Q(const TVec3& v) { return QVector3D(float(v.x), float(v.y), float(v.z)); }
// To five decimals, for results of turns that are exact only up to rounding.
inline QVector3D Round5(QVector3D v)
{
    return QVector3D(std::round(v.x() * 1e5f), std::round(v.y() * 1e5f), std::round(v.z() * 1e5f)) / 1e5f;
}
