#include "anim/RtmInfo.h"

#include <charconv>
#include <cmath>

namespace {
// Shortest text that reads back to the same float; "nan"/"inf" for the non-finite ones.
QString FloatText(float v)
{
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return QString::fromLatin1(buf, res.ptr - buf);
}

void AppendJsonFloat(QString& out, float v)
{
    if (!std::isfinite(v))
        out += QLatin1String("null");
    else if (v == 0 && std::signbit(v))
        out += QLatin1String("-0.0");  // JSON readers take "-0" for the integer 0
    else
        out += FloatText(v);
}

void AppendJsonString(QString& out, const QString& s)
{
    out += QLatin1Char('"');
    for (const QChar c : s) {
        switch (c.unicode()) {
        case '"': out += QLatin1String("\\\""); break;
        case '\\': out += QLatin1String("\\\\"); break;
        case '\b': out += QLatin1String("\\b"); break;
        case '\f': out += QLatin1String("\\f"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case '\t': out += QLatin1String("\\t"); break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
}

bool HasSlot(const TAnimDocument& doc, int32_t index) { return index >= 0 && index < doc.AnimSelections.Count(); }
}  // namespace

QString RtmInfoText(const TAnimDocument& doc)
{
    QString out;
    out += QStringLiteral("TotalMove: %1 %2 %3\n")
               .arg(FloatText(doc.TotalMove[0]), FloatText(doc.TotalMove[1]), FloatText(doc.TotalMove[2]));
    out += QStringLiteral("Components: %1\n").arg(doc.AnimSelections.Count());
    for (int i = 0; i < doc.AnimSelections.Count(); ++i)
        out += QStringLiteral("  [%1] %2\n").arg(i).arg(doc.AnimSelections[i]);
    out += QStringLiteral("Frames: %1\n").arg(doc.AnimFrames.size());
    for (size_t f = 0; f < doc.AnimFrames.size(); ++f) {
        const TAnimFrame& frame = doc.AnimFrames[f];
        out += QStringLiteral("Frame %1: time %2, %3 entries\n").arg(f).arg(FloatText(frame.Time)).arg(frame.Entries.size());
        for (const TAnimEntry& e : frame.Entries) {
            const QString name = HasSlot(doc, e.NameIndex) ? doc.AnimSelections[e.NameIndex] : QStringLiteral("<no slot>");
            out += QStringLiteral("  [%1] %2:").arg(e.NameIndex).arg(name);
            for (float v : e.Matrix)
                out += QLatin1Char(' ') + FloatText(v);
            out += QLatin1Char('\n');
        }
    }
    return out;
}

QString RtmInfoJson(const TAnimDocument& doc)
{
    QString out;
    out += QLatin1String("{\"totalMove\":[");
    for (size_t i = 0; i < doc.TotalMove.size(); ++i) {
        if (i)
            out += QLatin1Char(',');
        AppendJsonFloat(out, doc.TotalMove[i]);
    }
    out += QLatin1String("],\"components\":[");
    for (int i = 0; i < doc.AnimSelections.Count(); ++i) {
        if (i)
            out += QLatin1Char(',');
        AppendJsonString(out, doc.AnimSelections[i]);
    }
    out += QLatin1String("],\"frames\":[");
    for (size_t f = 0; f < doc.AnimFrames.size(); ++f) {
        const TAnimFrame& frame = doc.AnimFrames[f];
        if (f)
            out += QLatin1Char(',');
        out += QLatin1String("{\"time\":");
        AppendJsonFloat(out, frame.Time);
        out += QLatin1String(",\"entries\":[");
        for (size_t k = 0; k < frame.Entries.size(); ++k) {
            const TAnimEntry& e = frame.Entries[k];
            if (k)
                out += QLatin1Char(',');
            out += QLatin1String("{\"name\":");
            if (HasSlot(doc, e.NameIndex))
                AppendJsonString(out, doc.AnimSelections[e.NameIndex]);
            else
                out += QLatin1String("null");
            out += QStringLiteral(",\"nameIndex\":%1,\"matrix\":[").arg(e.NameIndex);
            for (size_t m = 0; m < e.Matrix.size(); ++m) {
                if (m)
                    out += QLatin1Char(',');
                AppendJsonFloat(out, e.Matrix[m]);
            }
            out += QLatin1String("]}");
        }
        out += QLatin1String("]}");
    }
    out += QLatin1String("]}\n");
    return out;
}
