#include "support/TestTable.h"
#include "platform/FileUtil.h"

#include <QFile>
#include <QLineF>
#include <QRectF>
#include <QRgb>
#include <QTest>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <limits>

namespace {
// Unescaped cell text: bytes as given, \uHHHH as UTF-8 (a lone surrogate as U+FFFD).
QByteArray Unescape(const QByteArray& cell)
{
    QByteArray out;
    for (qsizetype i = 0; i < cell.size(); ++i) {
        const char e = i + 1 < cell.size() ? cell[i + 1] : '\0';
        if (cell[i] != '\\' || !e) {
            out += cell[i];
            continue;
        }
        const int digits = e == 'x' ? 2 : e == 'u' ? 4 : 0;
        const QByteArray code = cell.mid(i + 2, digits);
        if (digits)
            out += e == 'x' ? QByteArray(1, char(code.toInt(nullptr, 16))) : QString(QChar(code.toUShort(nullptr, 16))).toUtf8();
        else
            out += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e == 's' ? ' ' : e;
        i += 1 + digits;
    }
    return out;
}

// Declares a column (without a row) or adds a cell to the row as its column's type;
// false for a type not known.
bool Add(QTestData* row, const QByteArray& type, const char* name, const QByteArray& v)
{
    const double inf = std::numeric_limits<double>::infinity();
    const auto add = [&](auto value) {
        if (row)
            *row << value;
        else
            QTest::addColumn<decltype(value)>(name);
    };
    if (type == "bytes")
        add(v);
    else if (type == "int")
        add(int(v.toLongLong()));
    else if (type == "long")
        add(v.toLongLong());
    else if (type == "bool")
        add(v == "true" || v == "1");
    else if (type == "float")
        add(float(std::strtod(v.constData(), nullptr)));
    else if (type == "double")
        add(v == "nan" ? std::nan("") : v == "inf" ? inf : v == "-inf" ? -inf : std::strtod(v.constData(), nullptr));
    else if (type == "error") {
        QString text = QString::fromUtf8(v);
        for (const auto& [n, code] :
             {std::pair{"ENOENT", ENOENT}, {"EISDIR", EISDIR}, {"EACCES", EACCES}, {"EFBIG", EFBIG}, {"ELOOP", ELOOP}})
            if (v == n)
                text = SystemErrorText(code);
        add(text);
    } else if (type == "str")
        add(QString::fromUtf8(v));
    else if (type == "strs")
        add(v.isEmpty() ? QStringList() : QString::fromUtf8(v).split(';'));
    else if (type == "rgb")
        add(QRgb(v.mid(2).toUInt(nullptr, 16)));
    else if (type == "floats" || type == "doubles" || type == "ints" || type == "rgbs" || type == "size" || type == "point" ||
             type == "rect" || type == "line") {
        QList<double> n;  // numbers apart by spaces; hexadecimal with 0x
        for (const QByteArray& w : v.simplified().split(' '))
            if (!w.isEmpty())
                n << (w.startsWith("0x") ? double(w.mid(2).toUInt(nullptr, 16)) : std::strtod(w.constData(), nullptr));
        const auto at = [&n](qsizetype i) { return n.value(i); };
        if (type == "floats")
            add(QList<float>(n.begin(), n.end()));
        else if (type == "doubles")
            add(n);
        else if (type == "ints")
            add(QList<int>(n.begin(), n.end()));
        else if (type == "rgbs")
            add(QList<QRgb>(n.begin(), n.end()));
        else if (type == "size")
            add(QSize(int(at(0)), int(at(1))));
        else if (type == "point")
            add(QPoint(int(at(0)), int(at(1))));
        else if (type == "rect")
            add(QRectF(at(0), at(1), at(2), at(3)));
        else
            add(QLineF(at(0), at(1), at(2), at(3)));
    } else
        return false;
    return true;
}
}  // namespace

bool AddTableRows(const QString& file)
{
    QFile f(QFINDTESTDATA("../data/" + file));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QList<QByteArray> types;
    static std::deque<QByteArray> names;  // Qt Test keeps the column name's pointer, not a copy
    int rows = 0;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        QList<QByteArray> cells;  // split at each '|' not escaped
        for (qsizetype i = 0, start = 0; i <= line.size(); ++i) {
            if (i == line.size() || line[i] == '|')
                cells << line.mid(start, i - start).trimmed(), start = i + 1;
            else if (line[i] == '\\')
                ++i;
        }
        const bool header = types.isEmpty();
        if (header) {
            for (const QByteArray& column : cells.mid(1)) {
                const qsizetype colon = column.indexOf(':');
                types << (colon < 0 ? "str" : column.mid(colon + 1));
                if (!Add(nullptr, types.last(), names.emplace_back(colon < 0 ? column : column.left(colon)).constData(), {}))
                    return false;
            }
            continue;
        }
        if (cells.size() != types.size() + 1)
            return false;
        QTestData& row = QTest::newRow(Unescape(cells[0]).constData());
        for (qsizetype c = 0; c < types.size(); ++c)
            Add(&row, types[c], nullptr, Unescape(cells[c + 1]));
        ++rows;
    }
    return rows > 0;
}
