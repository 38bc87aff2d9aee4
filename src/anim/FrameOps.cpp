#include "anim/FrameOps.h"

#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <string>

int InsertFrameAfter(TAnimFrames& frames, int cur)
{
    const int count = static_cast<int>(frames.size());
    if (cur < 0 || cur >= count)
        return -1;
    if (count >= std::numeric_limits<int32_t>::max())
        throw std::bad_alloc();  // no room for one more frame number
    // Memory first (Insert takes it before it changes anything), so running out of it
    // leaves the frames as they were.
    frames.Insert(size_t(cur) + 1, frames, size_t(cur), 1);
    const auto at = [&frames](int i) -> float& { return frames.Time(static_cast<size_t>(i)); };
    double t = 1;
    if (count >= 2) {
        if (cur == count - 1)
            at(cur) = static_cast<float>((static_cast<double>(at(cur - 1)) + 1) * 0.5);
        else
            t = (static_cast<double>(at(cur + 2)) + at(cur)) * 0.5;
    }
    at(cur + 1) = static_cast<float>(t);
    return cur + 1;
}

bool CanRetimeFrame(int index, int count) { return index >= 0 && index <= count - 2; }

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
        if (s[i] == QLatin1Char('.') || s[i] == QLatin1Char(','))
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

bool ParseFrameTime(const QString& text, float& value) { return ParseFrameTime(text, value, QLocale::system().decimalPoint()); }

bool RetimeFrame(TAnimFrames& frames, int index, float t, bool committed)
{
    if (!CanRetimeFrame(index, static_cast<int>(frames.size())))
        return false;
    frames.Time(static_cast<size_t>(index)) = t;
    if (committed)
        SortFramesByTime(frames);
    return true;
}

void SortFramesByTime(TAnimFrames& frames)
{
    const auto before = [&frames](int a, int b) {
        const float ta = frames.Time(size_t(a)), tb = frames.Time(size_t(b));
        if (std::isnan(ta) || std::isnan(tb))
            return !std::isnan(ta) && std::isnan(tb);
        return ta < tb;
    };
    // Frames are nearly always in order already: then nothing moves.
    const int n = frames.Count();
    int i = 1;
    while (i < n && !before(i, i - 1))
        ++i;
    if (i >= n)
        return;
    std::vector<int> order(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k)
        order[size_t(k)] = k;
    std::stable_sort(order.begin(), order.end(), before);
    frames.Permute(order);
}

QString FormatFrameTime(float t, const QString& decimalPoint)
{
    QString s = QString::number(static_cast<double>(t), 'f', 5);
    while (s.endsWith(QLatin1Char('0')) && s.indexOf(QLatin1Char('.')) < s.size() - 2)
        s.chop(1);
    return s.replace(QLatin1Char('.'), decimalPoint);
}

QString FormatFrameTime(float t) { return FormatFrameTime(t, QLocale::system().decimalPoint()); }
