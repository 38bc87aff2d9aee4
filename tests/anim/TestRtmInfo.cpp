#include "anim/Rtm.h"
#include "anim/RtmInfo.h"
#include "support/RtmBuilder.h"
#include "support/TestMain.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <cmath>
#include <cstring>
#include <limits>

using namespace RtmBuild;

namespace {
bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A JSON number read back as a float; NaN stands for null.
bool ReadsBackAs(const QJsonValue& v, float want)
{
    if (!std::isfinite(want))
        return v.isNull();
    if (want == 0)  // QJsonDocument drops the sign of zero whatever the text says
        return v.isDouble() && v.toDouble() == 0;
    return v.isDouble() && SameBits(float(v.toDouble()), want);
}

const float Awkward[] = {0.1f,
                         -0.f,
                         0.f,
                         1.f / 3.f,
                         std::numeric_limits<float>::denorm_min(),
                         std::numeric_limits<float>::min(),
                         std::numeric_limits<float>::max(),
                         -std::numeric_limits<float>::max(),
                         16777217.f,
                         123456789.f,
                         std::numeric_limits<float>::quiet_NaN(),
                         -std::numeric_limits<float>::infinity()};

TFile AwkwardFile()
{
    TFile f;
    f.TotalMove = {Awkward[0], Awkward[10], Awkward[4]};
    // Quote, backslash, control characters, Latin-1 letters, a slash.
    f.Names = {"plain", "say \"hi\"\\", "tab\there\x01\x1f", "Kn\xe9\xdf/\xff"};
    for (int i = 0; i < 2; ++i) {
        TFrame fr;
        fr.Time = i ? Awkward[3] : Awkward[1];
        for (size_t j = 0; j < f.Names.size(); ++j) {
            TMatrix m;
            for (size_t k = 0; k < 12; ++k)
                m[k] = Awkward[(k + j + size_t(i)) % 12];
            fr.Records.push_back({f.Names[f.Names.size() - 1 - j].toUpper(), m});
        }
        f.Frames.push_back(fr);
    }
    return f;
}
}  // namespace

class TestRtmInfo : public QObject {
    Q_OBJECT
private slots:
    void jsonReadsBackExactly();
    void textHasALinePerItem();
};

void TestRtmInfo::jsonReadsBackExactly()
{
    const TFile file = AwkwardFile();
    TAnimDocument d;
    QCOMPARE(ReadRtm(Build(file), d), QString());

    const QByteArray json = RtmInfoJson(d).toUtf8();
    QJsonParseError perr;
    const QJsonDocument jd = QJsonDocument::fromJson(json, &perr);
    QVERIFY2(perr.error == QJsonParseError::NoError, qPrintable(perr.errorString() + ": " + json));
    QVERIFY(jd.isObject());
    // Negative zero keeps its sign for readers that can hold it.
    QVERIFY(json.contains("{\"time\":-0.0,"));
    const QJsonObject root = jd.object();
    QCOMPARE(root.keys(), QStringList({"components", "frames", "totalMove"}));

    const QJsonArray tm = root["totalMove"].toArray();
    QCOMPARE(tm.size(), 3);
    for (int k = 0; k < 3; ++k)
        QVERIFY2(ReadsBackAs(tm[k], file.TotalMove[size_t(k)]), qPrintable(QString::number(k)));

    QStringList components;
    for (const QJsonValue& v : root["components"].toArray())
        components << v.toString();
    QStringList expectedNames;
    for (const QByteArray& n : file.Names)
        expectedNames << QString::fromLatin1(n);
    QCOMPARE(components, expectedNames);

    const QJsonArray frames = root["frames"].toArray();
    QCOMPARE(frames.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const QJsonObject fr = frames[i].toObject();
        QVERIFY(ReadsBackAs(fr["time"], file.Frames[size_t(i)].Time));
        const QJsonArray entries = fr["entries"].toArray();
        QCOMPARE(entries.size(), 4);
        for (int j = 0; j < 4; ++j) {
            const QJsonObject e = entries[j].toObject();
            // Records are the header names in reverse and upper case: each shows the
            // header's spelling and its slot.
            QCOMPARE(e["nameIndex"].toInt(-1), 3 - j);
            QCOMPARE(e["name"].toString(), expectedNames[3 - j]);
            const QJsonArray m = e["matrix"].toArray();
            QCOMPARE(m.size(), 12);
            for (int k = 0; k < 12; ++k)
                QVERIFY2(ReadsBackAs(m[k], file.Frames[size_t(i)].Records[size_t(j)].Matrix[size_t(k)]),
                         qPrintable(QStringLiteral("frame %1 entry %2 value %3: %4")
                                        .arg(i).arg(j).arg(k).arg(QString::fromUtf8(QJsonDocument(m).toJson()))));
        }
    }

    // An entry pointing past the slots (never read from a file) still gives valid JSON.
    d.AnimFrames[0].Entries[0].NameIndex = 99;
    const QJsonDocument odd = QJsonDocument::fromJson(RtmInfoJson(d).toUtf8(), &perr);
    QCOMPARE(perr.error, QJsonParseError::NoError);
    QVERIFY(odd["frames"][0]["entries"][0]["name"].isNull());
    QCOMPARE(odd["frames"][0]["entries"][0]["nameIndex"].toInt(), 99);

    // The empty document too.
    const QJsonDocument empty = QJsonDocument::fromJson(RtmInfoJson(TAnimDocument()).toUtf8(), &perr);
    QCOMPARE(perr.error, QJsonParseError::NoError);
    QCOMPARE(empty["frames"].toArray().size(), 0);
    QCOMPARE(empty["components"].toArray().size(), 0);
}

void TestRtmInfo::textHasALinePerItem()
{
    // A line break inside a name must not break the one-line-per-item layout.
    const TFile file = TFile::Regular({"Body", "Arm\nx"}, 3);
    TAnimDocument d;
    QCOMPARE(ReadRtm(Build(file), d), QString());
    const QStringList lines = RtmInfoText(d).split('\n', Qt::SkipEmptyParts);
    // TotalMove, component heading, 2 names, frame heading, 3 x (frame + 2 entries).
    QCOMPARE(lines.size(), 1 + 1 + 2 + 1 + 3 * 3);
    QVERIFY(lines[0].contains("1.5") && lines[0].contains("-2.25") && lines[0].contains("0.125"));
    QVERIFY2(lines[3].contains("Arm\\x0ax"), qPrintable(lines[3]));
    QVERIFY(lines[8].contains("0.5"));  // frame 1's time
    // Frame 1, entry 1 (Arm): the matrix values follow the name.
    const QString entry = lines[10];
    QVERIFY2(entry.contains("Arm"), qPrintable(entry));
    const TMatrix m = TFile::Sample(1, 1);
    QStringList numbers = entry.section(':', 1).split(' ', Qt::SkipEmptyParts);
    QCOMPARE(numbers.size(), 12);
    for (int k = 0; k < 12; ++k)
        QCOMPARE(numbers[k].toFloat(), m[size_t(k)]);
}

TORVANE_TEST(TestRtmInfo)
#include "TestRtmInfo.moc"
