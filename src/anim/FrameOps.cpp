#include "anim/FrameOps.h"

#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <string>

int InsertFrameAfter(std::vector<TAnimFrame>& frames, int cur)
{
    const int count = static_cast<int>(frames.size());
    if (cur < 0 || cur >= count)
        return -1;
    if (count >= std::numeric_limits<int32_t>::max())
        throw std::bad_alloc();  // no room for one more frame number
    const auto at = [&frames](int i) -> TAnimFrame& { return frames[static_cast<size_t>(i)]; };
    // Memory first, so running out of it leaves the frames as they were.
    TAnimFrame frame;
    frame.Entries = at(cur).Entries;
    frames.reserve(frames.size() + 1);
    double t = 1;
    if (count >= 2) {
        if (cur == count - 1)
            at(cur).Time = static_cast<float>((static_cast<double>(at(cur - 1).Time) + 1) * 0.5);
        else
            t = (static_cast<double>(at(cur + 1).Time) + at(cur).Time) * 0.5;
    }
    frame.Time = static_cast<float>(t);
    frames.insert(frames.begin() + cur + 1, std::move(frame));
    return cur + 1;
}

bool CanRetimeFrame(int index, int count)
{
    return index >= 0 && index <= count - 2;
}

bool ParseFrameTime(const QString& text, float& value, const QString& decimalPoint)
{
    const QString s = text.trimmed();
    // Rewritten into plain ASCII with '.' and checked character by character, so no
    // locale, group separator or "inf"/"nan" spelling gets through to the conversion.
    std::string ascii;
    ascii.reserve(static_cast<size_t>(s.size()));
    qsizetype i = 0;
    const auto digits = [&] {
        const qsizetype from = i;
        while (i < s.size() && s[i] >= QLatin1Char('0') && s[i] <= QLatin1Char('9'))
            ascii += static_cast<char>(s[i++].unicode());
        return i - from;
    };
    bool negative = false;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
        negative = s[i++] == QLatin1Char('-');
    qsizetype mantissa = digits();
    if (i < s.size()) {
        qsizetype sep = 0;
        if (s[i] == QLatin1Char('.'))
            sep = 1;
        else if (!decimalPoint.isEmpty() && QStringView(s).mid(i).startsWith(decimalPoint))
            sep = decimalPoint.size();
        if (sep > 0) {
            i += sep;
            ascii += '.';
            mantissa += digits();
        }
    }
    if (mantissa == 0)
        return false;
    if (i < s.size() && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
        ++i;
        ascii += 'e';
        if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
            ascii += static_cast<char>(s[i++].unicode());
        if (digits() == 0)
            return false;
    }
    if (i != s.size())
        return false;
    double d = 0;
    const auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), d);
    if (ec != std::errc() || end != ascii.data() + ascii.size())
        return false;  // also beyond the range of a double either way
    const float f = static_cast<float>(negative ? -d : d);
    if (!std::isfinite(f))
        return false;
    value = f;
    return true;
}

bool ParseFrameTime(const QString& text, float& value)
{
    return ParseFrameTime(text, value, QLocale::system().decimalPoint());
}

bool RetimeFrame(std::vector<TAnimFrame>& frames, int index, float t, bool committed)
{
    if (!CanRetimeFrame(index, static_cast<int>(frames.size())))
        return false;
    frames[static_cast<size_t>(index)].Time = t;
    if (committed)
        SortFramesByTime(frames);
    return true;
}

void SortFramesByTime(std::vector<TAnimFrame>& frames)
{
    std::stable_sort(frames.begin(), frames.end(), [](const TAnimFrame& a, const TAnimFrame& b) {
        if (std::isnan(a.Time) || std::isnan(b.Time))
            return !std::isnan(a.Time) && std::isnan(b.Time);
        return a.Time < b.Time;
    });
}

QString FormatFrameTime(float t, const QString& decimalPoint)
{
    QString s = QString::number(static_cast<double>(t), 'f', 5);
    while (s.endsWith(QLatin1Char('0')) && s.indexOf(QLatin1Char('.')) < s.size() - 2)
        s.chop(1);
    return s.replace(QLatin1Char('.'), decimalPoint);
}

QString FormatFrameTime(float t)
{
    return FormatFrameTime(t, QLocale::system().decimalPoint());
}
