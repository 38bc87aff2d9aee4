#include "support/TestTable.h"
#include "platform/FileUtil.h"

#include <QFile>
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
        const char c = cell[i];
        const char e = i + 1 < cell.size() ? cell[i + 1] : '\0';
        if (c != '\\' || !e) {
            out += c;
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

// The system's text for an error named as in errno.h; other text as it is.
QString ErrorText(const QByteArray& name)
{
    for (const auto& [n, code] : {std::pair{"ENOENT", ENOENT}, {"EISDIR", EISDIR}, {"EACCES", EACCES}, {"EFBIG", EFBIG}, {"ELOOP", ELOOP}})
        if (name == n)
            return SystemErrorText(code);
    return QString::fromUtf8(name);
}

double Number(const QByteArray& text)
{
    const double inf = std::numeric_limits<double>::infinity();
    return text == "nan" ? std::nan("") : text == "inf" ? inf : text == "-inf" ? -inf : std::strtod(text.constData(), nullptr);
}
}  // namespace

bool AddTableRows(const QString& file)
{
    QFile f(QFINDTESTDATA("../data/" + file));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QList<QByteArray> types;
    int rows = 0;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        QList<QByteArray> cells;  // split at each '|' not escaped
        qsizetype start = 0;
        for (qsizetype i = 0; i <= line.size(); ++i) {
            if (i == line.size() || line[i] == '|') {
                cells << line.mid(start, i - start).trimmed();
                start = i + 1;
            } else if (line[i] == '\\') {
                ++i;
            }
        }
        if (types.isEmpty()) {
            for (const QByteArray& column : cells.mid(1)) {
                const qsizetype colon = column.indexOf(':');
                const QByteArray type = colon < 0 ? QByteArray() : column.mid(colon + 1);
                types << (type.isEmpty() ? "str" : type);
                // Qt Test keeps the column name's pointer, not a copy.
                static std::deque<QByteArray> names;
                const char* name = names.emplace_back(colon < 0 ? column : column.left(colon)).constData();
                if (types.last() == "str" || types.last() == "error") QTest::addColumn<QString>(name);
                else if (types.last() == "bytes") QTest::addColumn<QByteArray>(name);
                else if (types.last() == "int") QTest::addColumn<int>(name);
                else if (types.last() == "long") QTest::addColumn<qint64>(name);
                else if (types.last() == "bool") QTest::addColumn<bool>(name);
                else if (types.last() == "double") QTest::addColumn<double>(name);
                else return false;
            }
            continue;
        }
        if (cells.size() != types.size() + 1)
            return false;
        QTestData& row = QTest::newRow(Unescape(cells[0]).constData());
        for (qsizetype c = 0; c < types.size(); ++c) {
            const QByteArray v = Unescape(cells[c + 1]), &t = types[c];
            if (t == "str") row << QString::fromUtf8(v);
            else if (t == "bytes") row << v;
            else if (t == "error") row << ErrorText(v);
            else if (t == "int") row << int(v.toLongLong());
            else if (t == "long") row << v.toLongLong();
            else if (t == "bool") row << (v == "true" || v == "1");
            else row << Number(v);
        }
        ++rows;
    }
    return rows > 0;
}
