#include "anim/RtmInfo.h"

#include "platform/JsonText.h"

#include <QTextStream>

namespace {
QString FloatText(float v) { return ShortestText(v); }

bool HasSlot(const TRtmContent& doc, int32_t index) { return index >= 0 && index < doc.Names.Count(); }
}  // namespace

QString RtmInfoText(const TRtmContent& doc)
{
    QString text;
    QTextStream out(&text);
    WriteRtmInfoText(doc, out);
    out.flush();
    return text;
}

QString RtmInfoJson(const TRtmContent& doc)
{
    QString text;
    QTextStream out(&text);
    WriteRtmInfoJson(doc, out);
    out.flush();
    return text;
}

// Written a frame at a time: the dump of a large file is many times its size as text.
void WriteRtmInfoText(const TRtmContent& doc, QTextStream& stream)
{
    QString out;
    out += QStringLiteral("TotalMove: %1 %2 %3\n")
               .arg(FloatText(doc.TotalMove[0]), FloatText(doc.TotalMove[1]), FloatText(doc.TotalMove[2]));
    out += QStringLiteral("Components: %1\n").arg(doc.Names.Count());
    for (int i = 0; i < doc.Names.Count(); ++i)
        out += QStringLiteral("  [%1] %2\n").arg(i).arg(ReadableText(doc.Names[i]));
    out += QStringLiteral("Frames: %1\n").arg(doc.Frames.size());
    for (size_t f = 0; f < doc.Frames.size(); ++f) {
        stream << out;
        out.clear();
        const TAnimFrame frame = doc.Frames[f];
        out += QStringLiteral("Frame %1: time %2, %3 entries\n").arg(f).arg(FloatText(frame.Time)).arg(frame.Entries.size());
        for (const TAnimEntry& e : frame.Entries) {
            const QString name = HasSlot(doc, e.NameIndex) ? ReadableText(doc.Names[e.NameIndex]) : QStringLiteral("<no slot>");
            out += QStringLiteral("  [%1] %2:").arg(e.NameIndex).arg(name);
            for (float v : e.Matrix)
                out += QLatin1Char(' ') + FloatText(v);
            out += QLatin1Char('\n');
        }
    }
    stream << out;
}

void WriteRtmInfoJson(const TRtmContent& doc, QTextStream& stream)
{
    QString out;
    out += QLatin1String("{\"totalMove\":[");
    for (size_t i = 0; i < doc.TotalMove.size(); ++i) {
        if (i)
            out += QLatin1Char(',');
        AppendJsonNumber(out, doc.TotalMove[i]);
    }
    out += QLatin1String("],\"components\":[");
    for (int i = 0; i < doc.Names.Count(); ++i) {
        if (i)
            out += QLatin1Char(',');
        AppendJsonString(out, doc.Names[i]);
    }
    out += QLatin1String("],\"frames\":[");
    for (size_t f = 0; f < doc.Frames.size(); ++f) {
        stream << out;
        out.clear();
        const TAnimFrame frame = doc.Frames[f];
        if (f)
            out += QLatin1Char(',');
        out += QLatin1String("{\"time\":");
        AppendJsonNumber(out, frame.Time);
        out += QLatin1String(",\"entries\":[");
        for (size_t k = 0; k < frame.Entries.size(); ++k) {
            const TAnimEntry& e = frame.Entries[k];
            if (k)
                out += QLatin1Char(',');
            out += QLatin1String("{\"name\":");
            if (HasSlot(doc, e.NameIndex))
                AppendJsonString(out, doc.Names[e.NameIndex]);
            else
                out += QLatin1String("null");
            out += QStringLiteral(",\"nameIndex\":%1,\"matrix\":[").arg(e.NameIndex);
            for (size_t m = 0; m < e.Matrix.size(); ++m) {
                if (m)
                    out += QLatin1Char(',');
                AppendJsonNumber(out, e.Matrix[m]);
            }
            out += QLatin1String("]}");
        }
        out += QLatin1String("]}");
    }
    out += QLatin1String("]}\n");
    stream << out;
}
