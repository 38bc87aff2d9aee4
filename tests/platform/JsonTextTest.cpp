// The JSON literals of the command line's dumps: each must be valid JSON that a reader
// turns back into the value written. (The line text of the dumps is RtmTest's.)
#include "platform/JsonText.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>
#include <cmath>
#include <cstdlib>

namespace {
// The one element of "[text]" as a JSON reader sees it; undefined when it is no JSON.
QJsonValue ReadBack(const QString& text)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(('[' + text + ']').toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || doc.array().size() != 1)
        return QJsonValue(QJsonValue::Undefined);
    return doc.array().first();
}
}  // namespace

class JsonTextTest : public QObject {
    Q_OBJECT
private slots:
    void strings_data() { QVERIFY(AddTableRows("platform/json-strings.table")); }
    void strings()
    {
        QFETCH(QString, text);
        QFETCH(QString, literal);
        QString out = "x";  // appended to, not replaced
        AppendJsonString(out, text);
        QCOMPARE(out, 'x' + literal);
        const QJsonValue back = ReadBack(out.mid(1));
        QVERIFY2(back.isString(), qPrintable(out));
        QCOMPARE(back.toString(), text);
    }

    // Numbers read back to the value written (floats after rounding to float).
    void numbers_data() { QVERIFY(AddTableRows("platform/json-numbers.table")); }
    void numbers()
    {
        QFETCH(double, value);
        QFETCH(bool, isFloat);
        QFETCH(QString, literal);
        if (isFloat)
            value = double(float(value));
        QString out = "[";  // appended to, not replaced
        isFloat ? AppendJsonNumber(out, float(value)) : AppendJsonNumber(out, value);
        QCOMPARE(out, '[' + literal);
        const QJsonValue back = ReadBack(literal);
        if (!std::isfinite(value)) {
            QVERIFY(back.isNull());
            return;
        }
        QVERIFY2(back.isDouble(), qPrintable(literal));
        // Qt's reader drops the sign of zero; strtod reads the number as written.
        const double read = std::strtod(literal.toLatin1().constData(), nullptr);
        QCOMPARE(isFloat ? double(float(read)) : read, value);
        QCOMPARE(std::signbit(read), std::signbit(value));
    }
};

TORVANE_TEST(JsonTextTest)
#include "JsonTextTest.moc"
