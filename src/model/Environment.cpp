#include "model/Environment.h"
#include "model/Proxies.h"
#include "platform/FileUtil.h"

#include <QFileInfo>
#include <algorithm>

TP3dModell* FindEnvironment(const TModelList& models)
{
    for (const auto& m : models)
        if (m && m->IsEnvironment && !m->IsProxy)
            return m.get();
    return nullptr;
}

bool RemoveEnvironment(TModelList& models)
{
    const auto it = std::find_if(models.begin(), models.end(),
                                 [](const auto& m) { return m && m->IsEnvironment && !m->IsProxy; });
    if (it == models.end())
        return false;
    const TP3dModell* env = it->get();
    // Its proxies' sub-models point into it: they go with it.
    std::erase_if(models, [env](const auto& m) {
        return m && (m.get() == env || (m->IsEnvironment && m->IsProxy && m->ProxySelection && m->ProxySelection->Model == env));
    });
    return true;
}

bool LoadEnvironmentProxies(TModelList& models, TP3dModell& env, const TSelection* replaced, const TVec3& offset,
                            TProgress* progress)
{
    TSubModelFiles files;
    const std::vector<TSelection*> proxies = EnvironmentProxies(env);
    qint64 done = 0;
    for (TSelection* s : proxies) {
        if (!Advance(progress, done++, qint64(proxies.size())))
            return false;
        if (s == replaced)
            continue;
        // A proxy whose file is missing or unreadable is simply not drawn: the environment
        // is scenery, and its sub-models' faults are not the edited model's.
        TProxyLoad load = LoadProxy(*s, env.FileName, {}, files);
        if (!load.Model)
            continue;
        load.Model->IsEnvironment = true;
        // The environment is shown shifted by the offset; its sub-models move with it.
        load.Model->ProxyMatrix[9] -= offset.x;
        load.Model->ProxyMatrix[10] -= offset.y;
        load.Model->ProxyMatrix[11] -= offset.z;
        models.push_back(std::move(load.Model));
    }
    return Advance(progress, done, qint64(proxies.size()));
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
                                      const std::function<void(const QString&)>& message, bool* removedOld, const TLongRun& run)
{
    if (removedOld)
        *removedOld = false;
    if (!hasMainModel) {
        message(QString::fromLatin1(EnvironmentText::NoMainModel));
        return TEnvironmentLoad::NoMainModel;
    }
    // Read apart from what is shown: the environment before stays until this one is placed.
    auto env = std::make_unique<TP3dModell>(QString(), nullptr, nullptr, false);
    env->IsEnvironment = true;
    const QString text = QStringLiteral("Loading %1...").arg(FileNamePart(path));
    const qint64 bytes = QFileInfo(ResolveCaseInsensitive(path)).size();
    if (!run({text, bytes, [&](TProgress* progress) {
                  env->ReadP3d(path, true, progress);
                  return !Cancelled(progress);
              }}))
        return TEnvironmentLoad::Cancelled;
    const auto replaceOld = [&] {
        const bool hadOne = RemoveEnvironment(models);
        if (removedOld)
            *removedOld = hadOne;
    };
    using RS = TP3dModell::ReadStatus;
    if (!env->ErrorText.isEmpty())
        message(env->ErrorText);
    // A file that ended early or could not be read holds nothing to rely on.
    if (env->Status == RS::StreamError || env->Status == RS::CannotOpen)
        env->Selections.clear();

    const std::vector<TSelection*> proxies = EnvironmentProxies(*env);
    if (proxies.empty()) {
        message(QString::fromLatin1(EnvironmentText::NoProxies));
        replaceOld();
        return TEnvironmentLoad::NoProxies;
    }
    QStringList names;
    for (const TSelection* s : proxies)
        names << s->Name;
    const int chosen = choose(names);
    if (chosen < 0 || chosen >= int(proxies.size())) {
        replaceOld();
        return TEnvironmentLoad::NotChosen;
    }
    const TEnvironmentPlacement placed = PlaceEnvironment(*env, *proxies[size_t(chosen)]);
    TModelList subModels;
    if (!run({text, bytes, [&](TProgress* progress) {
                  return LoadEnvironmentProxies(subModels, *env, proxies[size_t(chosen)],
                                                placed.Found ? placed.Offset : TVec3{0, 0, 0}, progress);
              }}))
        return TEnvironmentLoad::Cancelled;
    replaceOld();
    models.push_back(std::move(env));
    std::move(subModels.begin(), subModels.end(), std::back_inserter(models));
    if (!placed.Found) {
        message(QString::fromLatin1(EnvironmentText::NoOffset));
        return TEnvironmentLoad::NoOffset;
    }
    return TEnvironmentLoad::Loaded;
}
