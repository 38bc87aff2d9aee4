#include "anim/RtmInfo.h"
#include "support/TestMain.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <cmath>
#include <limits>

namespace {
// A JSON number read back as a float (QJsonDocument drops the sign of zero); non-finite floats are null.
bool ReadsBackAs(const QJsonValue& v, float want)
{
    return std::isfinite(want) ? v.isDouble() && float(v.toDouble()) == want : v.isNull();
}
}  // namespace

class TestRtmInfo : public QObject {
    Q_OBJECT
private slots:
    void showsEverythingExactly()
    {
        using L = std::numeric_limits<float>;
        const float awkward[] = {0.1f, -0.f, 1.f / 3.f, L::denorm_min(), L::min(), L::max(), -L::max(), 16777217.f, 123456789.f, L::quiet_NaN(), -L::infinity(), 0.f};
        // Quote, backslash, slash, line break, control characters and Latin-1 letters in the names.
        const QStringList names{"say \"hi\"\\/", QString::fromLatin1("tab\there\x01\nKn\xe9\xdf\xff")};
        TAnimDocument d;
        d.TotalMove = {awkward[0], awkward[9], awkward[3]};
        d.AnimSelections.Add(names[0]);
        d.AnimSelections.Add(names[1]);
        d.AnimFrames = {{true, -0.f, {{0, {}}, {1, {}}, {99, {}}}}};  // slot 99 does not exist, and gets no name
        for (size_t j = 0; j < 3; ++j)
            for (size_t k = 0; k < 12; ++k)
                d.AnimFrames[0].Entries[j].Matrix[k] = awkward[(k + j) % 12];
        const QByteArray json = RtmInfoJson(d).toUtf8();
        QJsonParseError perr;
        const QJsonObject root = QJsonDocument::fromJson(json, &perr).object();
        QVERIFY2(perr.error == QJsonParseError::NoError, json.constData());
        QVERIFY(json.contains("{\"time\":-0.0,"));  // negative zero keeps its sign for readers that can hold it
        QCOMPARE(root.keys(), QStringList({"components", "frames", "totalMove"}));
        for (int k = 0; k < 3; ++k)
            QVERIFY(ReadsBackAs(root["totalMove"][k], d.TotalMove[size_t(k)]));
        const QJsonArray entries = root["frames"][0]["entries"].toArray();
        QCOMPARE(root["frames"].toArray().size(), 1);
        QCOMPARE(entries.size(), 3);
        QCOMPARE(root["components"].toVariant().toStringList(), names);
        for (int j = 0; j < 3; ++j) {
            QCOMPARE(entries[j]["nameIndex"].toInt(), j < 2 ? j : 99);
            QCOMPARE(entries[j]["name"], j < 2 ? QJsonValue(names[j]) : QJsonValue());
            QCOMPARE(entries[j]["matrix"].toArray().size(), 12);
            for (int k = 0; k < 12; ++k)
                QVERIFY(ReadsBackAs(entries[j]["matrix"][k], d.AnimFrames[0].Entries[size_t(j)].Matrix[size_t(k)]));
        }
        QCOMPARE(QJsonDocument::fromJson(RtmInfoJson(TAnimDocument()).toUtf8())["frames"].toArray().size(), 0);

        // The text keeps one line per item (move, heading, names, heading, frame, entries) whatever the names hold.
        const QStringList lines = RtmInfoText(d).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1 + 1 + 2 + 1 + 1 + 3);
        QVERIFY2(lines[2].contains("\\x5c/") && lines[3].contains("\\x09here\\x01\\x0aKn"), qPrintable(lines[2] + lines[3]));
        const QStringList numbers = lines[6].section(':', 1).split(' ', Qt::SkipEmptyParts);  // the matrix follows the name
        QCOMPARE(numbers.size(), 12);
        for (int k = 0; k < 12; ++k)
            QVERIFY(!std::isfinite(awkward[k]) || float(numbers[k].toDouble()) == awkward[k]);
    }
};

TORVANE_TEST(TestRtmInfo)
#include "TestRtmInfo.moc"
