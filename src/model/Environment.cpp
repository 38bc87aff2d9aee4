#include "model/Environment.h"
#include "model/Proxies.h"

#include <algorithm>

TP3dModell* FindEnvironment(const TModelList& models)
{
    for (const auto& m : models)
        if (m && m->IsEnvironment)
            return m.get();
    return nullptr;
}

bool RemoveEnvironment(TModelList& models)
{
    const auto it = std::find_if(models.begin(), models.end(), [](const auto& m) { return m && m->IsEnvironment; });
    if (it == models.end())
        return false;
    models.erase(it);
    return true;
}

std::vector<TSelection*> EnvironmentProxies(const TP3dModell& env)
{
    std::vector<TSelection*> out;
    for (const auto& s : env.Selections)
        if (s && IsProxyName(s->Name))
            out.push_back(s.get());
    return out;
}

TEnvironmentPlacement PlaceEnvironment(TP3dModell& env, const TSelection& proxy)
{
    TEnvironmentPlacement r;
    const size_t n = std::min(env.Polygons.size(), proxy.PolygonMembership.size());
    for (size_t i = 0; i < n && r.PolygonIndex < 0; ++i)
        if (proxy.PolygonMembership[i] != 0)
            r.PolygonIndex = int(i);
    if (r.PolygonIndex < 0)
        return r;
    TP3dPolygon& poly = env.Polygons[size_t(r.PolygonIndex)];
    // A polygon naming points the model does not have gives no corner to measure from.
    if (poly.VertexCount < 3)
        return r;
    TVec3 p[3];
    for (int k = 0; k < 3; ++k) {
        const uint32_t i = poly.Corners[k].PointIndex;
        if (i >= env.Vertices.size())
            return r;
        const TP3dVertex& v = env.Vertices[i];
        p[k] = {v.X, v.Y, v.Z};
    }
    poly.Hidden = true;
    for (int k = 0; k < 3; ++k)
        env.Vertices[poly.Corners[k].PointIndex].IsProxyCorner = true;
    const int corner = RightAngleCorner(p[0], p[1], p[2]);
    if (corner < 0)
        return r;
    r.Offset = p[corner];
    r.Found = true;
    env.DisplayPoints.resize(env.Vertices.size());
    for (size_t i = 0; i < env.Vertices.size(); ++i) {
        const TP3dVertex& v = env.Vertices[i];
        TDisplayPoint& d = env.DisplayPoints[i];
        d.X = float(v.X - r.Offset.x);
        d.Y = float(v.Y - r.Offset.y);
        d.Z = float(v.Z - r.Offset.z);
    }
    return r;
}

TEnvironmentLoad LoadEnvironmentModel(TModelList& models, bool hasMainModel, const QString& path,
                                      const std::function<int(const QStringList&)>& choose,
                                      const std::function<void(const QString&)>& message, bool* removedOld)
{
    if (removedOld)
        *removedOld = false;
    if (!hasMainModel) {
        message(QString::fromLatin1(EnvironmentText::NoMainModel));
        return TEnvironmentLoad::NoMainModel;
    }
    const bool hadOne = RemoveEnvironment(models);
    if (removedOld)
        *removedOld = hadOne;
    auto env = std::make_unique<TP3dModell>(path);
    using RS = TP3dModell::ReadStatus;
    if (!env->ErrorText.isEmpty())
        message(env->ErrorText);
    // A file that ended early or could not be read holds nothing to rely on.
    if (env->Status == RS::StreamError || env->Status == RS::CannotOpen)
        env->Selections.clear();
    TP3dModell& e = *env;
    models.push_back(std::move(env));

    const std::vector<TSelection*> proxies = EnvironmentProxies(e);
    if (proxies.empty()) {
        message(QString::fromLatin1(EnvironmentText::NoProxies));
        RemoveEnvironment(models);
        return TEnvironmentLoad::NoProxies;
    }
    QStringList names;
    for (const TSelection* s : proxies)
        names << s->Name;
    const int chosen = choose(names);
    if (chosen < 0 || chosen >= int(proxies.size())) {
        RemoveEnvironment(models);
        return TEnvironmentLoad::NotChosen;
    }
    if (!PlaceEnvironment(e, *proxies[size_t(chosen)]).Found) {
        message(QString::fromLatin1(EnvironmentText::NoOffset));
        return TEnvironmentLoad::NoOffset;
    }
    return TEnvironmentLoad::Loaded;
}
