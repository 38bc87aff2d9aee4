#include "FrameTestUtil.h"
#include "anim/RtmInfo.h"
#include "filebuild/RtmBuilder.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <algorithm>
#include <cstring>
#include <limits>

using namespace RtmBuild;
Q_DECLARE_METATYPE(RtmBuild::TFile)

namespace {
template <typename T>
bool SameBits(const T& a, const T& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool IsEmpty(const TRtmData& d)
{
    return d.Names.IsEmpty() && d.Frames.empty() && !d.Frames.Stride() && d.TotalMove == std::array<float, 3>{};
}

// A JSON number read back as a float (QJsonDocument drops the sign of zero); non-finite floats are null.
bool ReadsBackAs(const QJsonValue& v, float want)
{
    return std::isfinite(want) ? v.isDouble() && float(v.toDouble()) == want : v.isNull();
}

const QByteArray Name32 = "abcdefghijklmnopqrstuvwxyz012345";
constexpr int32_t Huge = std::numeric_limits<int32_t>::max();
}  // namespace

class RtmTest : public QObject {
    Q_OBJECT
private slots:
    void reads_data()
    {
        QTest::addColumn<TFile>("file");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QByteArray>("written");  // when accepted: the file a save of it writes
        QTest::addColumn<QList<int>>("indices");  // NameIndex of frame 1's entries, when given
        auto accept = [](const char* row, const TFile& f, const QByteArray& written, const QList<int>& indices = {}) {
            QTest::newRow(row) << f << QString() << written << indices;
        };
        auto refuse = [](const char* row, auto change, const QString& error = Rtm::IncorrectFormat) {
            TFile f = TFile::Regular({"A", "B"}, 3);
            change(f);
            QTest::newRow(row) << f << error << QByteArray() << QList<int>{};
        };
        // Two frames with these header and record names, and junk after each name's terminator.
        auto named = [](const std::vector<QByteArray>& header, const std::vector<QByteArray>& records, char fill = 'Z') {
            TFile f = TFile::Regular(header, 2);
            f.NameFill = fill;
            for (TFrame& fr : f.Frames)
                for (size_t j = 0; j < records.size(); ++j)
                    fr.Records[j].Name = records[j];
            return f;
        };
        for (const TFile& f : {TFile::Regular({"A", "B"}, 0), TFile::Regular({}, 3), TFile::Regular({"Body", "Arm", "Leg"}, 4)})
            accept(qPrintable(QStringLiteral("%1 names, %2 frames").arg(f.Names.size()).arg(f.Frames.size())), f, Build(f));
        using L = std::numeric_limits<float>;
        TFile odd = TFile::Regular({"A", "B"}, 3);
        odd.TotalMove = {-0.f, L::quiet_NaN(), L::denorm_min()};
        odd.Frames[1].Time = -L::quiet_NaN();
        odd.Frames[2].Records[0].Matrix = {-0.f, L::denorm_min(), -L::max(), L::infinity(), -L::infinity(), L::signaling_NaN(),
                                           0.1f, 1e-30f,          3.4e38f,   -1.f / 3.f,    16777217.f,     0.f};
        accept("unusual values kept bit for bit", odd, Build(odd));
        odd.FrameCount = 1;  // the counts are what the reader follows
        accept("frame count below content", odd, Build(odd).left(ExpectedSize(2, 1)));
        // A record's slot is the first header name equal without regard to case; a save uses the slot's name.
        accept("other order than header", named({"A", "B", "C"}, {"C", "A", "B"}),
               Build(named({"A", "B", "C"}, {"C", "A", "B"}, 0)), {2, 0, 1});
        accept("latin-1 letter case", named({"Kn\xe9", "\xc4rm"}, {"KN\xc9", "\xe4RM"}),
               Build(named({"Kn\xe9", "\xc4rm"}, {"Kn\xe9", "\xc4rm"}, 0)), {0, 1});
        accept("duplicate header name: first wins", named({"a", "b", "A"}, {"A", "b", "a"}),
               Build(named({"a", "b", "A"}, {"a", "b", "a"}, 0)), {0, 1, 0});
        accept("long name cut to 32", named({Name32 + "67", "x"}, {"x", Name32 + "67"}),
               Build(named({Name32, "x"}, {"x", Name32}, 0)), {1, 0});
        TFile shuffled = named({"A", "B"}, {"A", "B"});  // the same name at other positions in other frames
        std::swap(shuffled.Frames[1].Records[0], shuffled.Frames[1].Records[1]);
        TFile plain = shuffled;
        plain.NameFill = 0;
        accept("order changes between frames", shuffled, Build(plain), {1, 0});

        refuse("negative frame count", [](TFile& f) { f.FrameCount = -1; });
        refuse("huge frame count, no components", [](TFile& f) {
            f.FrameCount = Huge;
            f.ComponentCount = 0;
        });
        refuse("huge component count", [](TFile& f) { f.ComponentCount = Huge; });
        refuse("names fit, frames do not", [](TFile& f) { f.ComponentCount = 5; });
        refuse("counts multiply past 64 bits", [](TFile& f) { f.FrameCount = f.ComponentCount = Huge; });
        refuse(
            "last record's name not in header", [](TFile& f) { f.Frames[2].Records[1].Name = "C"; }, Rtm::NameNotInHeader);
        refuse(
            "record name is a prefix",
            [](TFile& f) {
                f.Names[1] = "Bone";
                f.Frames[0].Records[1].Name = "Bon";
            },
            Rtm::NameNotInHeader);
    }
    void reads()
    {
        QFETCH(TFile, file);
        QFETCH(QString, error);
        QFETCH(QByteArray, written);
        QFETCH(QList<int>, indices);
        const QByteArray bytes = Build(file);
        const TRtmData d = ReadRtm(bytes);
        QCOMPARE(d.Error, error);
        QCOMPARE(IsEmpty(d), !error.isEmpty());
        if (!error.isEmpty())
            return;
        QVERIFY(SameBits(d.TotalMove, file.TotalMove));
        for (qsizetype k = 0; k < indices.size(); ++k) {  // in the file's record order, each with its own matrix
            QCOMPARE(d.Frames.Entries(1)[size_t(k)].NameIndex, indices[k]);
            QVERIFY(SameBits(d.Frames.Entries(1)[size_t(k)].Matrix, file.Frames[1].Records[size_t(k)].Matrix));
        }
        QCOMPARE(RtmBytes(DocumentOf(ReadRtm(bytes))), written);
    }

    // A file is read a megabyte at a time, and frames without components straight into
    // place: files that cross those pieces read as their bytes do, bit for bit.
    void readsFilesLikeBytes_data()
    {
        QTest::addColumn<int>("components");
        QTest::addColumn<int>("frames");
        QTest::newRow("times alone, past two pieces") << 0 << 600000;
        QTest::newRow("times alone, a few") << 0 << 5;
        QTest::newRow("records past a piece") << 3 << 5000;
    }
    void readsFilesLikeBytes()
    {
        QFETCH(int, components);
        QFETCH(int, frames);
        std::vector<QByteArray> names;
        for (int j = 0; j < components; ++j)
            names.push_back("C" + QByteArray::number(j));
        TFile file = TFile::Regular(names, frames);
        for (int f = 0; f < frames; ++f)
            file.Frames[size_t(f)].Time = float(f) * 0.25f + 1e-3f * float(f % 7);
        const QByteArray bytes = Build(file);
        QTemporaryDir dir;
        const QString path = dir.filePath("a.rtm");
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
        out.close();
        const TRtmData fromFile = ReadRtmFile(path, "a.rtm"), fromBytes = ReadRtm(bytes);
        QCOMPARE(fromFile.Error, QString());
        QCOMPARE(fromFile.Frames.size(), size_t(frames));
        QVERIFY(std::memcmp(fromFile.Frames.Times().data(), fromBytes.Frames.Times().data(), 4 * size_t(frames)) == 0);
        QCOMPARE(fromFile.Frames.Times().back(), file.Frames.back().Time);
        for (int f = 0; f < frames; f += std::max(1, frames / 50))
            for (int j = 0; j < components; ++j)
                QVERIFY(SameBits(fromFile.Frames.Entries(size_t(f))[size_t(j)].Matrix,
                                 file.Frames[size_t(f)].Records[size_t(j)].Matrix));
    }

    void refusesEveryTruncation()
    {
        const QByteArray whole = Build(TFile::Regular({"A", "Bee"}, 3));
        for (qsizetype cut = 0; cut < whole.size(); ++cut) {
            const TRtmData d = ReadRtm(whole.left(cut));
            if (d.Error != Rtm::IncorrectFormat || !IsEmpty(d))
                QFAIL(qPrintable(QStringLiteral("cut at %1: \"%2\"").arg(cut).arg(d.Error)));
        }
    }

    void writerChecksTheDocument_data() { QVERIFY(AddTableRows("anim/rtm-writer.table")); }
    void writerChecksTheDocument()
    {
        QFETCH(int, stepCount);
        QFETCH(int, entriesPerFrame);
        QFETCH(int, nameIndex);
        QFETCH(QString, error);
        TFile file = TFile::Regular({"A", "B"}, 3);
        TAnimDocument d = DocumentOf(ReadRtm(Build(file)));
        TAnimFrames frames(entriesPerFrame);  // the first entries of each frame, an extra one for slot 0
        for (size_t i = 0; i < d.AnimFrames.size(); ++i) {
            std::vector<TAnimEntry> entries(static_cast<size_t>(entriesPerFrame));
            std::copy_n(d.AnimFrames.Entries(i).begin(), std::min(entriesPerFrame, 2), entries.begin());
            frames.Append(d.AnimFrames.Time(i), entries);
        }
        d.AnimFrames = frames;
        d.AnimFrames.Entries(1).back().NameIndex = nameIndex;
        d.AnimStepCount = stepCount;
        QByteArray out("left over from before");
        QCOMPARE(WriteRtm(d, out), error);
        file.Frames.resize(size_t(std::max(stepCount, 0)));  // what is written is the first frames, whole
        QCOMPARE(out, error.isEmpty() ? Build(file) : QByteArray());
    }

    // What "info" prints of a document: every value exactly, every name on its own line.
    void infoShowsEverythingExactly()
    {
        using L = std::numeric_limits<float>;
        const float awkward[] = {0.1f,      -0.f,       1.f / 3.f,   L::denorm_min(), L::min(),       L::max(),
                                 -L::max(), 16777217.f, 123456789.f, L::quiet_NaN(),  -L::infinity(), 0.f};
        // Quote, backslash, slash, line break, control characters and Latin-1 letters in the names.
        const QStringList names{"say \"hi\"\\/", QString::fromLatin1("tab\there\x01\nKn\xe9\xdf\xff")};
        TAnimDocument d;
        d.TotalMove = {awkward[0], awkward[9], awkward[3]};
        d.AnimSelections.Add(names[0]);
        d.AnimSelections.Add(names[1]);
        d.AnimFrames.Reset(3);
        d.AnimFrames.Append(-0.f,
                            std::vector<TAnimEntry>{{0, {}}, {1, {}}, {99, {}}});  // slot 99 does not exist, and gets no name
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
        QCOMPARE(entries.size(), 3);
        QCOMPARE(root["components"].toVariant().toStringList(), names);
        for (int j = 0; j < 3; ++j) {
            QCOMPARE(entries[j]["nameIndex"].toInt(), j < 2 ? j : 99);
            QCOMPARE(entries[j]["name"], j < 2 ? QJsonValue(names[j]) : QJsonValue());
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

TORVANE_TEST(RtmTest)
#include "RtmTest.moc"
