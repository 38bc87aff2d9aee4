#include "pose/ObjExport.h"
#include "platform/FileUtil.h"
#include "platform/JsonText.h"
#include "platform/Progress.h"

#include <QStringList>
#include <cmath>
#include <unordered_map>

namespace {
class TObjLines {
public:
    TObjLines(TAtomicFileWriter& out, TObjReport& report, TProgress* progress, qint64 lines)
        : Out_(out), Report_(report), Progress_(progress), Lines_(lines)
    {}

    void Vertex(double x, double y, double z, bool isFloat)
    {
        Count();
        ++Report_.Points;
        if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
            ++Report_.NonFinitePoints;
            x = y = z = 0;
        }
        Line_ = "v ";
        Number(x, isFloat);
        Line_ += ' ';
        Number(y, isFloat);
        Line_ += ' ';
        Number(z, isFloat);
        Line_ += '\n';
        Out_.Write(Line_);
    }

    void Face(const TP3dPolygon& poly, size_t base)
    {
        Count();
        Line_ = "f";
        for (uint32_t k = 0; k < poly.VertexCount; ++k) {
            Line_ += ' ';
            Line_ += QByteArray::number(qulonglong(base + poly.Corners[k].PointIndex + 1));
        }
        Line_ += '\n';
        Out_.Write(Line_);
    }

    void Text(const QString& line)
    {
        Out_.Write(line.toUtf8());
        Out_.Write("\n", 1);
    }

private:
    // Progress by lines: a cancel stops the writer, which then takes no more bytes.
    void Count()
    {
        if ((++Done_ & 4095) == 0)
            Advance(Progress_, Done_, Lines_);
    }
    void Number(double v, bool isFloat) { Line_ += (isFloat ? ShortestText(float(v)) : ShortestText(v)).toLatin1(); }

    TAtomicFileWriter& Out_;
    TObjReport& Report_;
    TProgress* Progress_;
    qint64 Lines_;  // about how many points and faces there are
    qint64 Done_ = 0;
    QByteArray Line_;  // reused for every line
};
}  // namespace

QString ObjGroupName(const QString& name)
{
    QString g = name;
    for (QChar& c : g)
        if (c.isSpace())
            c = QLatin1Char('_');
    return g.isEmpty() ? QStringLiteral("_") : g;
}

TObjReport WritePosedObj(const TModelList& models, const std::vector<const TSelection*>& treeOrder, const TPose& pose,
                         const TPoseParams& params, const QString& comment, TAtomicFileWriter& out, bool environment,
                         TProgress* progress)
{
    TObjReport report;
    qint64 total = 0;
    for (const auto& m : models)
        if (m)
            total += qint64(m->DrawnVertices().size() + m->DrawnPolygons().size());
    TObjLines lines(out, report, progress, total);
    if (!comment.isEmpty())
        for (const QString& line : comment.split(QLatin1Char('\n')))
            lines.Text(QStringLiteral("# ") + line);

    // The index of the first vertex line of each model's block (0-based).
    std::unordered_map<const TP3dModell*, size_t> base;
    size_t next = 0;
    const TP3dModell* main = models.empty() ? nullptr : models.front().get();
    if (main) {
        base[main] = 0;
        const size_t n = main->Vertices.size();
        for (size_t i = 0; i < n; ++i) {
            const TDisplayPoint d = i < main->DisplayPoints.size() ? main->DisplayPoints[i] : TDisplayPoint{};
            lines.Vertex(d.X, d.Y, d.Z, true);
        }
        next = n;
    }
    for (const auto& m : models) {
        if (!m || m.get() == main || !m->IsProxy || m->IsEnvironment)
            continue;
        base[m.get()] = next;
        const TTransform M = ProxyTransform(*m, pose);
        for (const TP3dVertex& v : m->DrawnVertices()) {
            const TVec3 p = PosePoint(v, M, params);
            lines.Vertex(p.x, p.y, p.z, false);
        }
        next += m->DrawnVertices().size();
    }
    // The environment, where the view shows it: its display points are shifted onto the
    // proxy it was placed on.
    const TP3dModell* env = nullptr;
    for (const auto& m : models)
        if (environment && m && m->IsEnvironment && !m->IsProxy && !env)
            env = m.get();
    if (env) {
        base[env] = next;
        for (size_t i = 0; i < env->Vertices.size(); ++i) {
            const TDisplayPoint d = i < env->DisplayPoints.size() ? env->DisplayPoints[i] : TDisplayPoint{};
            lines.Vertex(d.X, d.Y, d.Z, true);
        }
        next += env->Vertices.size();
        // The sub-models of its other proxies, which stand still with it.
        for (const auto& m : models) {
            if (!m || !m->IsEnvironment || !m->IsProxy)
                continue;
            base[m.get()] = next;
            const TTransform M = ProxyTransform(*m, pose);
            for (const TP3dVertex& v : m->DrawnVertices()) {
                const TVec3 p = PosePoint(v, M, TPoseParams{});
                lines.Vertex(p.x, p.y, p.z, false);
            }
            next += m->DrawnVertices().size();
        }
    }

    // A hidden component (an animation hides those it lacks, with the proxies under them)
    // is left out: its polygons would all sit at the origin.
    for (const TSelection* c : treeOrder) {
        if (!c || c->Hidden)
            continue;
        lines.Text(QStringLiteral("g ") + ObjGroupName(c->Name));
        if (const TP3dModell* sub = c->ProxyModel) {
            const auto b = base.find(sub);
            if (b == base.end())
                continue;
            for (const TP3dPolygon& poly : sub->DrawnPolygons())
                if (IsDrawable(poly, sub->DrawnVertices().size()))
                    lines.Face(poly, b->second);
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
            lines.Face(poly, b->second);
        }
    }
    if (env) {
        lines.Text(QStringLiteral("g environment"));
        for (const TP3dPolygon& poly : env->Polygons)
            if (IsDrawable(poly, env->Vertices.size()))
                lines.Face(poly, base[env]);
        for (const auto& m : models) {
            if (!m || !m->IsEnvironment || !m->IsProxy)
                continue;
            for (const TP3dPolygon& poly : m->DrawnPolygons())
                if (IsDrawable(poly, m->DrawnVertices().size()))
                    lines.Face(poly, base[m.get()]);
        }
    }
    return report;
}
