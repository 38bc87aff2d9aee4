#include "anim/Rtm.h"
#include "support/RtmBuilder.h"
#include "support/TestMain.h"

#include <QTest>
#include <cmath>
#include <cstring>
#include <limits>

using namespace RtmBuild;

Q_DECLARE_METATYPE(RtmBuild::TFile)

namespace {
bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool SameMatrix(const TMatrix12f& a, const TMatrix& b)
{
    for (size_t k = 0; k < 12; ++k)
        if (!SameBits(a[k], b[k]))
            return false;
    return true;
}

bool DocumentIsEmpty(const TAnimDocument& d)
{
    return d.AnimSelections.Count() == 0 && d.AnimFrames.empty() && d.AnimComponentCount == 0 &&
           d.TotalMove == std::array<float, 3>{0, 0, 0};
}

// The document as the main window has it after a successful load.
TAnimDocument Load(const QByteArray& bytes)
{
    TAnimDocument d;
    const QString err = ReadRtm(bytes, d);
    if (!err.isEmpty())
        qWarning("unexpected read failure: %s", qPrintable(err));
    d.AnimStepCount = d.FrameCount();
    return d;
}

QByteArray Save(const TAnimDocument& d)
{
    QByteArray out;
    const QString err = WriteRtm(d, out);
    if (!err.isEmpty())
        qWarning("unexpected write failure: %s", qPrintable(err));
    return out;
}

const QByteArray Name32 = "abcdefghijklmnopqrstuvwxyz012345";
}  // namespace

class TestRtm : public QObject {
    Q_OBJECT
private slots:
    void readsEveryField();
    void resolvesRecordNames_data();
    void resolvesRecordNames();
    void acceptsEdgeShapes_data();
    void acceptsEdgeShapes();
    void refusesBadFiles_data();
    void refusesBadFiles();
    void refusesEveryTruncation();
    void unknownNameDiscardsEverything();
    void writesTheDocumentLayout();
    void writesOnlyAnimStepCountFrames();
    void roundTripsUnusualValues();
    void longNamesAreCutToTheField();
    void writerRefusesInconsistentDocuments_data();
    void writerRefusesInconsistentDocuments();
};

void TestRtm::readsEveryField()
{
    const TFile file = TFile::Regular({"Body", "Arm", "Leg"}, 4);
    TAnimDocument d;
    QCOMPARE(ReadRtm(Build(file), d), QString());
    QVERIFY(d.TotalMove == file.TotalMove);
    QCOMPARE(d.AnimComponentCount, 3);
    QCOMPARE(d.AnimSelections.Names(), QStringList({"Body", "Arm", "Leg"}));
    QCOMPARE(d.FrameCount(), 4);
    // The reader leaves the step count, current step and file name to the window.
    QCOMPARE(d.AnimStepCount, 0);
    QVERIFY(d.AnimFileName.isEmpty());
    for (int i = 0; i < 4; ++i) {
        const TAnimFrame& fr = d.AnimFrames[size_t(i)];
        QVERIFY(SameBits(fr.Time, file.Frames[size_t(i)].Time));
        QCOMPARE(fr.Entries.size(), size_t(3));
        for (int j = 0; j < 3; ++j) {
            QCOMPARE(fr.Entries[size_t(j)].NameIndex, j);
            QVERIFY(SameMatrix(fr.Entries[size_t(j)].Matrix, TFile::Sample(i, j)));
        }
    }
    // Written back, the bytes are the same.
    QCOMPARE(Save(Load(Build(file))), Build(file));
}

void TestRtm::resolvesRecordNames_data()
{
    QTest::addColumn<TFile>("file");
    QTest::addColumn<QList<int>>("expectedSlots");            // NameIndex of frame 1's entries, in file order
    QTest::addColumn<QStringList>("writtenNames");    // record names after a save and reload, raw

    auto twoFrames = [](const std::vector<QByteArray>& header, const std::vector<QByteArray>& records) {
        TFile f;
        f.Names = header;
        for (int i = 0; i < 2; ++i) {
            TFrame fr;
            fr.Time = float(i);
            for (size_t j = 0; j < records.size(); ++j)
                fr.Records.push_back({records[j], TFile::Sample(i, int(j))});
            f.Frames.push_back(fr);
        }
        return f;
    };
    QTest::newRow("other order than header")
        << twoFrames({"A", "B", "C"}, {"C", "A", "B"}) << QList<int>{2, 0, 1} << QStringList{"C", "A", "B"};
    QTest::newRow("letter case differs")
        << twoFrames({"Arm", "leg"}, {"ARM", "Leg"}) << QList<int>{0, 1} << QStringList{"Arm", "leg"};
    QTest::newRow("latin-1 letter case")
        << twoFrames({"Kn\xe9", "\xc4rm"}, {"KN\xc9", "\xe4RM"}) << QList<int>{0, 1}
        << QStringList{"Kn\u00e9", "\u00c4rm"};
    QTest::newRow("duplicate header name: first wins")
        << twoFrames({"a", "b", "A"}, {"A", "b", "a"}) << QList<int>{0, 1, 0} << QStringList{"a", "b", "a"};
    QTest::newRow("32-character name")
        << twoFrames({Name32, "x"}, {"x", Name32}) << QList<int>{1, 0} << QStringList{"x", Name32};
    QTest::newRow("empty name")
        << twoFrames({"", "x"}, {"x", ""}) << QList<int>{1, 0} << QStringList{"x", ""};
    // The same name at different positions in different frames.
    TFile shuffled = twoFrames({"A", "B"}, {"A", "B"});
    std::swap(shuffled.Frames[1].Records[0], shuffled.Frames[1].Records[1]);
    QTest::newRow("order changes between frames") << shuffled << QList<int>{1, 0} << QStringList{"B", "A"};
    TFile filled = twoFrames({"A", "B"}, {"B", "A"});
    filled.NameFill = 'Z';
    QTest::newRow("bytes after the terminator") << filled << QList<int>{1, 0} << QStringList{"B", "A"};
}

void TestRtm::resolvesRecordNames()
{
    QFETCH(TFile, file);
    QFETCH(QList<int>, expectedSlots);
    QFETCH(QStringList, writtenNames);
    const TAnimDocument d = Load(Build(file));
    QCOMPARE(d.FrameCount(), 2);
    QCOMPARE(d.AnimSelections.Count(), int(file.Names.size()));
    for (size_t j = 0; j < file.Names.size(); ++j)
        QCOMPARE(d.AnimSelections[int(j)], QString::fromLatin1(file.Names[j]));
    const TAnimFrame& fr = d.AnimFrames[1];
    QCOMPARE(int(fr.Entries.size()), expectedSlots.size());
    for (qsizetype k = 0; k < expectedSlots.size(); ++k) {
        QCOMPARE(fr.Entries[size_t(k)].NameIndex, expectedSlots[k]);
        // Entries keep the file's record order, with their own matrices.
        QVERIFY(SameMatrix(fr.Entries[size_t(k)].Matrix, file.Frames[1].Records[size_t(k)].Matrix));
    }
    // Saving writes entry j for slot j, named after the slot it points at.
    const TAnimDocument again = Load(Save(d));
    QStringList names;
    for (const TAnimEntry& e : again.AnimFrames[1].Entries)
        names << again.AnimSelections[e.NameIndex];
    QCOMPARE(names, writtenNames);
    for (qsizetype k = 0; k < expectedSlots.size(); ++k)
        QVERIFY(SameMatrix(again.AnimFrames[1].Entries[size_t(k)].Matrix, file.Frames[1].Records[size_t(k)].Matrix));
}

void TestRtm::acceptsEdgeShapes_data()
{
    QTest::addColumn<TFile>("file");
    QTest::addColumn<int>("components");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("trailing");

    QTest::newRow("no frames") << TFile::Regular({"A", "B"}, 0) << 2 << 0 << 0;
    QTest::newRow("no components") << TFile::Regular({}, 3) << 0 << 3 << 0;
    QTest::newRow("nothing at all") << TFile::Regular({}, 0) << 0 << 0 << 0;
    QTest::newRow("one frame") << TFile::Regular({"A"}, 1) << 1 << 1 << 0;
    QTest::newRow("bytes after the last frame") << TFile::Regular({"A"}, 2) << 1 << 2 << 7;
    // The counts are what the reader follows: a frame count smaller than the content
    // reads only that many frames.
    TFile fewer = TFile::Regular({"A"}, 3);
    fewer.FrameCount = 1;
    QTest::newRow("frame count below content") << fewer << 1 << 1 << 0;
}

void TestRtm::acceptsEdgeShapes()
{
    QFETCH(TFile, file);
    QFETCH(int, components);
    QFETCH(int, frames);
    QFETCH(int, trailing);
    QByteArray bytes = Build(file);
    bytes.append(QByteArray(trailing, '\x7f'));
    TAnimDocument d;
    QCOMPARE(ReadRtm(bytes, d), QString());
    QCOMPARE(d.AnimComponentCount, components);
    QCOMPARE(d.AnimSelections.Count(), components);
    QCOMPARE(d.FrameCount(), frames);
    for (const TAnimFrame& fr : d.AnimFrames)
        QCOMPARE(int(fr.Entries.size()), components);
    QVERIFY(d.TotalMove == file.TotalMove);
}

void TestRtm::refusesBadFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("error");
    const QString format = Rtm::IncorrectFormat;
    const TFile good = TFile::Regular({"A", "B"}, 3);

    auto with = [&](auto change) {
        TFile f = good;
        change(f);
        return Build(f);
    };
    QTest::newRow("empty file") << QByteArray() << format;
    QTest::newRow("magic only, cut") << QByteArray("RTM_010") << format;
    QTest::newRow("older magic") << with([](TFile& f) { f.Magic = "RTM_0100"; }) << format;
    QTest::newRow("lower-case magic") << with([](TFile& f) { f.Magic = "rtm_0101"; }) << format;
    QTest::newRow("header without counts") << QByteArray("RTM_0101").append(12, '\0') << format;
    QTest::newRow("negative frame count") << with([](TFile& f) { f.FrameCount = -1; }) << format;
    QTest::newRow("negative component count") << with([](TFile& f) { f.ComponentCount = -1; }) << format;
    QTest::newRow("most negative counts")
        << with([](TFile& f) { f.FrameCount = f.ComponentCount = std::numeric_limits<int32_t>::min(); }) << format;
    QTest::newRow("one frame more than the file holds") << with([](TFile& f) { f.FrameCount = 4; }) << format;
    QTest::newRow("huge frame count") << with([](TFile& f) { f.FrameCount = std::numeric_limits<int32_t>::max(); })
                                      << format;
    QTest::newRow("huge frame count, no components")
        << with([](TFile& f) {
               f.FrameCount = std::numeric_limits<int32_t>::max();
               f.ComponentCount = 0;
           })
        << format;
    QTest::newRow("huge component count")
        << with([](TFile& f) { f.ComponentCount = std::numeric_limits<int32_t>::max(); }) << format;
    QTest::newRow("names fit, frames do not") << with([](TFile& f) { f.ComponentCount = 5; }) << format;
    QTest::newRow("huge counts multiply past 64 bits") << with([](TFile& f) {
        f.FrameCount = std::numeric_limits<int32_t>::max();
        f.ComponentCount = std::numeric_limits<int32_t>::max();
    }) << format;
    QTest::newRow("record name not in header")
        << with([](TFile& f) { f.Frames[2].Records[1].Name = "C"; }) << QString(Rtm::NameNotInHeader);
    QTest::newRow("record name is a prefix of a header name")
        << with([](TFile& f) { f.Names[1] = "Bone"; f.Frames[0].Records[1].Name = "Bon"; })
        << QString(Rtm::NameNotInHeader);
}

void TestRtm::refusesBadFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);
    TAnimDocument d;
    QCOMPARE(ReadRtm(bytes, d), error);
    QVERIFY(DocumentIsEmpty(d));
}

void TestRtm::refusesEveryTruncation()
{
    const QByteArray whole = Build(TFile::Regular({"A", "Bee"}, 3));
    QCOMPARE(whole.size(), ExpectedSize(2, 3));
    for (qsizetype cut = 0; cut < whole.size(); ++cut) {
        TAnimDocument d;
        const QString err = ReadRtm(whole.left(cut), d);
        if (err != Rtm::IncorrectFormat || !DocumentIsEmpty(d))
            QFAIL(qPrintable(QStringLiteral("cut at %1: \"%2\"").arg(cut).arg(err)));
    }
}

void TestRtm::unknownNameDiscardsEverything()
{
    // The bad record sits in the last frame, after names and frames have been read.
    TFile f = TFile::Regular({"A", "B"}, 3);
    f.Frames.back().Records.back().Name = "Z";
    TAnimDocument d;
    QCOMPARE(ReadRtm(Build(f), d), QString(Rtm::NameNotInHeader));
    QVERIFY(DocumentIsEmpty(d));
    // The same document then reads a good file as if it had never seen the bad one.
    QCOMPARE(ReadRtm(Build(TFile::Regular({"C"}, 2)), d), QString());
    QCOMPARE(d.AnimSelections.Names(), QStringList{"C"});
    QCOMPARE(d.AnimSelections.IndexOf("a"), -1);
    QCOMPARE(d.FrameCount(), 2);
}

void TestRtm::writesTheDocumentLayout()
{
    // One component, two frames: 28 + 32 + 2 * (4 + 80) bytes.
    TAnimDocument d;
    d.TotalMove = {0.5f, 0, -3};
    d.AnimSelections.Add("Head");
    for (int i = 0; i < 2; ++i) {
        TAnimFrame fr;
        fr.Time = float(i);
        fr.Entries.push_back({0, TFile::Sample(i, 0)});
        d.AnimFrames.push_back(fr);
    }
    d.AnimStepCount = 2;
    const QByteArray out = Save(d);
    QCOMPARE(out.size(), qsizetype(228));

    TFile expected;
    expected.TotalMove = d.TotalMove;
    expected.Names = {"Head"};
    expected.Frames = {{0.f, {{"Head", TFile::Sample(0, 0)}}}, {1.f, {{"Head", TFile::Sample(1, 0)}}}};
    QCOMPARE(out, Build(expected));
}

void TestRtm::writesOnlyAnimStepCountFrames()
{
    TAnimDocument d = Load(Build(TFile::Regular({"A", "B"}, 4)));
    d.AnimStepCount = 2;
    const TAnimDocument back = Load(Save(d));
    QCOMPARE(back.FrameCount(), 2);
    QVERIFY(SameMatrix(back.AnimFrames[1].Entries[1].Matrix, TFile::Sample(1, 1)));

    // Entries past the slot count are not written.
    d.AnimStepCount = 1;
    d.AnimFrames[0].Entries.push_back({1, IdentityMatrix12f});
    QCOMPARE(Save(d).size(), ExpectedSize(2, 1));
}

void TestRtm::roundTripsUnusualValues()
{
    const float values[] = {0.f,
                            -0.f,
                            std::numeric_limits<float>::denorm_min(),
                            -std::numeric_limits<float>::max(),
                            std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN(),
                            0.1f,
                            1e-30f,
                            3.4e38f,
                            -1.f / 3.f,
                            16777217.f};
    TAnimDocument d;
    d.TotalMove = {values[1], values[6], values[2]};
    d.AnimSelections.Add(QString::fromLatin1("w\xe9ird name"));
    d.AnimSelections.Add("");
    TAnimFrame fr;
    fr.Time = values[6];
    TMatrix12f m;
    std::copy(std::begin(values), std::end(values), m.begin());
    TMatrix12f reversed(m);
    std::reverse(reversed.begin(), reversed.end());
    fr.Entries = {{1, m}, {0, reversed}};
    d.AnimFrames = {fr, fr, fr};
    d.AnimStepCount = 3;

    const TAnimDocument back = Load(Save(d));
    QCOMPARE(back.AnimSelections.Names(), d.AnimSelections.Names());
    for (size_t k = 0; k < 3; ++k)
        QVERIFY(SameBits(back.TotalMove[k], d.TotalMove[k]));
    QCOMPARE(back.FrameCount(), 3);
    for (const TAnimFrame& b : back.AnimFrames) {
        QVERIFY(SameBits(b.Time, fr.Time));
        QCOMPARE(b.Entries.size(), size_t(2));
        QCOMPARE(b.Entries[0].NameIndex, 1);
        QCOMPARE(b.Entries[1].NameIndex, 0);
        QVERIFY(SameMatrix(b.Entries[0].Matrix, m));
        QVERIFY(SameMatrix(b.Entries[1].Matrix, reversed));
    }
}

void TestRtm::longNamesAreCutToTheField()
{
    const QByteArray longName = Name32 + "6789";
    // In a file: the field holds 32 characters, and the record matches the header.
    TFile f = TFile::Regular({longName, "b"}, 2);
    const TAnimDocument d = Load(Build(f));
    QCOMPARE(d.AnimSelections[0], QString::fromLatin1(Name32));
    QCOMPARE(d.AnimFrames[1].Entries[0].NameIndex, 0);

    // From the document: written as its first 32 characters, which read back.
    TAnimDocument doc;
    doc.AnimSelections.Add(QString::fromLatin1(longName));
    doc.AnimFrames = {{true, 0.f, {{0, TFile::Sample(3, 3)}}}};
    doc.AnimStepCount = 1;
    const TAnimDocument back = Load(Save(doc));
    QCOMPARE(back.AnimSelections.Names(), QStringList{QString::fromLatin1(Name32)});
    QCOMPARE(back.AnimFrames[0].Entries[0].NameIndex, 0);
}

void TestRtm::writerRefusesInconsistentDocuments_data()
{
    QTest::addColumn<int>("stepCount");
    QTest::addColumn<int>("entriesInFrame1");
    QTest::addColumn<int>("nameIndex");  // of frame 1's last entry
    QTest::addColumn<QString>("error");

    QTest::newRow("consistent") << 3 << 2 << 1 << QString();
    QTest::newRow("step count past the frames") << 4 << 2 << 1 << QString(Rtm::FrameMissing);
    QTest::newRow("frame lacks an entry") << 3 << 1 << 0 << QString(Rtm::EntryMissing);
    QTest::newRow("frame has no entries") << 3 << 0 << 0 << QString(Rtm::EntryMissing);
    QTest::newRow("name index at the count") << 3 << 2 << 2 << QString(Rtm::BadNameIndex);
    QTest::newRow("negative name index") << 3 << 2 << -1 << QString(Rtm::BadNameIndex);
    // Frame 1's bad index is met before frame 3 is found missing.
    QTest::newRow("first fault wins") << 4 << 2 << 7 << QString(Rtm::BadNameIndex);
    QTest::newRow("negative step count") << -1 << 2 << 1 << QString(Rtm::NegativeStepCount);
    QTest::newRow("no frames to write") << 0 << 2 << 1 << QString();
}

void TestRtm::writerRefusesInconsistentDocuments()
{
    QFETCH(int, stepCount);
    QFETCH(int, entriesInFrame1);
    QFETCH(int, nameIndex);
    QFETCH(QString, error);
    TAnimDocument d = Load(Build(TFile::Regular({"A", "B"}, 3)));
    std::vector<TAnimEntry>& entries = d.AnimFrames[1].Entries;
    entries.resize(size_t(entriesInFrame1));
    if (!entries.empty())
        entries.back().NameIndex = nameIndex;
    d.AnimStepCount = stepCount;

    QByteArray out("left over from before");
    QCOMPARE(WriteRtm(d, out), error);
    if (error.isEmpty()) {
        QCOMPARE(out.size(), ExpectedSize(2, stepCount));
        QCOMPARE(Load(out).FrameCount(), stepCount);
    } else {
        QVERIFY(out.isEmpty());
    }
}

TORVANE_TEST(TestRtm)
#include "TestRtm.moc"
