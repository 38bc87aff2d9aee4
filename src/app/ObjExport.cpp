#include "app/ObjExport.h"
#include "platform/JsonText.h"

#include <QStringList>
#include <unordered_map>

namespace {
void AppendVertex(QString& out, const QString& x, const QString& y, const QString& z)
{
    out += QLatin1String("v ");
    out += x;
    out += QLatin1Char(' ');
    out += y;
    out += QLatin1Char(' ');
    out += z;
    out += QLatin1Char('\n');
}

void AppendFace(QString& out, const TP3dPolygon& poly, size_t base)
{
    out += QLatin1Char('f');
    for (uint32_t k = 0; k < poly.VertexCount; ++k) {
        out += QLatin1Char(' ');
        out += QString::number(base + poly.Corners[k].PointIndex + 1);
    }
    out += QLatin1Char('\n');
}
}  // namespace

QString ObjGroupName(const QString& name)
{
    QString g = name;
    for (QChar& c : g)
        if (c.isSpace())
            c = QLatin1Char('_');
    return g.isEmpty() ? QStringLiteral("_") : g;
}

QByteArray PosedObj(const TModelList& models, const std::vector<TSelection*>& treeOrder, const TPoseParams& params,
                    const QString& comment)
{
    QString out;
    if (!comment.isEmpty())
        for (const QString& line : comment.split(QLatin1Char('\n')))
            out += QStringLiteral("# ") + line + QLatin1Char('\n');

    // The index of the first vertex line of each model's block (0-based).
    std::unordered_map<const TP3dModell*, size_t> base;
    size_t next = 0;
    const TP3dModell* main = models.empty() ? nullptr : models.front().get();
    if (main) {
        base[main] = 0;
        const size_t n = main->Vertices.size();
        for (size_t i = 0; i < n; ++i) {
            const TDisplayPoint d = i < main->DisplayPoints.size() ? main->DisplayPoints[i] : TDisplayPoint{};
            AppendVertex(out, ShortestText(d.X), ShortestText(d.Y), ShortestText(d.Z));
        }
        next = n;
    }
    for (const auto& m : models) {
        if (!m || m.get() == main || !m->IsProxy)
            continue;
        base[m.get()] = next;
        const TTransform M = ProxyTransform(*m);
        for (const TP3dVertex& v : m->Vertices) {
            const TVec3 p = PosePoint(v, M, params);
            AppendVertex(out, ShortestText(p.x), ShortestText(p.y), ShortestText(p.z));
        }
        next += m->Vertices.size();
    }
    // The environment, where the view shows it: its display points are shifted onto the
    // proxy it was placed on.
    const TP3dModell* env = nullptr;
    for (const auto& m : models)
        if (m && m->IsEnvironment && !env)
            env = m.get();
    if (env) {
        base[env] = next;
        for (size_t i = 0; i < env->Vertices.size(); ++i) {
            const TDisplayPoint d = i < env->DisplayPoints.size() ? env->DisplayPoints[i] : TDisplayPoint{};
            AppendVertex(out, ShortestText(d.X), ShortestText(d.Y), ShortestText(d.Z));
        }
    }

    for (const TSelection* c : treeOrder) {
        if (!c)
            continue;
        out += QStringLiteral("g ") + ObjGroupName(c->Name) + QLatin1Char('\n');
        if (const TP3dModell* sub = c->ProxyModel) {
            const auto b = base.find(sub);
            if (b == base.end())
                continue;
            for (const TP3dPolygon& poly : sub->Polygons)
                if (IsDrawable(poly, sub->Vertices.size()))
                    AppendFace(out, poly, b->second);
            continue;
        }
        const TP3dModell* m = c->Model;
        const auto b = m ? base.find(m) : base.end();
        if (b == base.end())
            continue;
        const size_t n = std::min(m->Polygons.size(), c->PolygonMembership.size());
        for (size_t i = 0; i < n; ++i) {
            const TP3dPolygon& poly = m->Polygons[i];
            if (c->PolygonMembership[i] == 0 || !IsDrawable(poly, m->Vertices.size()) ||
                m->Vertices[poly.Corners[0].PointIndex].IsProxyCorner)
                continue;
            AppendFace(out, poly, b->second);
        }
    }
    if (env) {
        out += QStringLiteral("g environment\n");
        for (const TP3dPolygon& poly : env->Polygons)
            if (IsDrawable(poly, env->Vertices.size()))
                AppendFace(out, poly, base[env]);
    }
    return out.toUtf8();
}
