#include "model/ModelInfo.h"
#include "model/P3dModel.h"
#include "platform/JsonText.h"

#include <algorithm>
#include <cstdint>

namespace {
int CountMembers(const TMembership& bytes, size_t size)
{
    const size_t n = std::min(bytes.size(), size);
    return static_cast<int>(
        std::count_if(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n), [](uint8_t b) { return b != 0; }));
}

// 0x00BBGGRR as hex digits with the decimal value the colour files hold: "0x0000FF (255)".
QString ColorText(uint32_t c)
{
    return QStringLiteral("0x%1 (%2)").arg(QString::number(c, 16).toUpper().rightJustified(6, QLatin1Char('0'))).arg(c);
}
}  // namespace

int MemberVertexCount(const TSelection& s) { return s.Model ? CountMembers(s.VertexMembership, s.Model->Vertices.size()) : 0; }

int MemberPolygonCount(const TSelection& s) { return s.Model ? CountMembers(s.PolygonMembership, s.Model->Polygons.size()) : 0; }

QString ModelInfoText(const TP3dModell& model, const TComponentNodes& tree)
{
    QString out;
    out += QStringLiteral("Model: %1\n").arg(model.FileName);
    out += QStringLiteral("Vertices: %1\n").arg(model.Vertices.size());
    out += QStringLiteral("Normals: %1\n").arg(model.Normals.size());
    out += QStringLiteral("Polygons: %1\n").arg(model.Polygons.size());
    out += QStringLiteral("Components: %1\n").arg(tree.size());
    for (const TComponentNode& n : tree) {
        const TSelection& s = *n.Component;
        const QString indent(2 * (n.Level + 1), QLatin1Char(' '));
        out += indent + ReadableText(s.Name);
        if (s.DisplayName != s.Name)
            out += QStringLiteral(" \"%1\"").arg(ReadableText(s.DisplayName));
        out += QStringLiteral(": color %1, pivot %2 %3 %4, %5 vertices, %6 polygons\n")
                   .arg(ColorText(s.Color), ShortestText(s.Pivot[0]), ShortestText(s.Pivot[1]), ShortestText(s.Pivot[2]))
                   .arg(MemberVertexCount(s))
                   .arg(MemberPolygonCount(s));
        if (const TP3dModell* sub = s.ProxyModel) {
            out += indent + QStringLiteral("  proxy %1, matrix").arg(ReadableText(sub->FileName));
            for (double v : sub->ProxyMatrix.m)
                out += QLatin1Char(' ') + ShortestText(v);
            out += QLatin1Char('\n');
        }
    }
    return out;
}

QString ModelInfoJson(const TP3dModell& model, const TComponentNodes& tree)
{
    QString out;
    out += QStringLiteral("{\"vertices\":%1,\"normals\":%2,\"polygons\":%3,\"components\":[")
               .arg(model.Vertices.size())
               .arg(model.Normals.size())
               .arg(model.Polygons.size());
    bool first = true;
    for (const TComponentNode& n : tree) {
        const TSelection& s = *n.Component;
        if (!first)
            out += QLatin1Char(',');
        first = false;
        out += QStringLiteral("{\"level\":%1,\"name\":").arg(n.Level);
        AppendJsonString(out, s.Name);
        out += QLatin1String(",\"displayName\":");
        AppendJsonString(out, s.DisplayName);
        out += QStringLiteral(",\"color\":%1,\"pivot\":[").arg(s.Color);
        for (int i = 0; i < 3; ++i) {
            if (i)
                out += QLatin1Char(',');
            AppendJsonNumber(out, s.Pivot[i]);
        }
        out += QStringLiteral("],\"vertexCount\":%1,\"polygonCount\":%2,\"proxy\":")
                   .arg(MemberVertexCount(s))
                   .arg(MemberPolygonCount(s));
        if (const TP3dModell* sub = s.ProxyModel) {
            out += QLatin1String("{\"file\":");
            AppendJsonString(out, sub->FileName);
            out += QLatin1String(",\"matrix\":[");
            for (size_t i = 0; i < sub->ProxyMatrix.m.size(); ++i) {
                if (i)
                    out += QLatin1Char(',');
                AppendJsonNumber(out, sub->ProxyMatrix.m[i]);
            }
            out += QLatin1String("]}");
        } else {
            out += QLatin1String("null");
        }
        out += QLatin1Char('}');
    }
    out += QLatin1String("]}\n");
    return out;
}
