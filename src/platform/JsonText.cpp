#include "platform/JsonText.h"

#include <charconv>
#include <cmath>

namespace {
template <class T>
QString Shortest(T v)
{
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return QString::fromLatin1(buf, res.ptr - buf);
}

template <class T>
void AppendNumber(QString& out, T v)
{
    if (!std::isfinite(v))
        out += QLatin1String("null");
    else if (v == 0 && std::signbit(v))
        out += QLatin1String("-0.0");
    else
        out += Shortest(v);
}
}  // namespace

QString ShortestText(float v) { return Shortest(v); }
QString ShortestText(double v) { return Shortest(v); }

void AppendJsonNumber(QString& out, float v) { AppendNumber(out, v); }
void AppendJsonNumber(QString& out, double v) { AppendNumber(out, v); }

void AppendJsonString(QString& out, const QString& s)
{
    out += QLatin1Char('"');
    for (const QChar c : s) {
        switch (c.unicode()) {
        case '"':
            out += QLatin1String("\\\"");
            break;
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\b':
            out += QLatin1String("\\b");
            break;
        case '\f':
            out += QLatin1String("\\f");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
}

QString ReadableText(const QString& name)
{
    QString out;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c == QLatin1Char('\\'))
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}
