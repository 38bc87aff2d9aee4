#include "ForestFixture.h"
#include "filebuild/LpvBuilder.h"
#include "model/Linking.h"
#include "model/ModelSetup.h"
#include "model/LinkingPlan.h"
#include "model/P3dModel.h"
#include "platform/FileUtil.h"
#include "support/HostileFiles.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <memory>

namespace {
QString Show(const TLinkReadResult& r)
{
    const auto f = [](float x) { return QString::number(x, 'g', 9); };  // enough digits to tell floats apart
    QStringList out{r.Error};
    for (const TLinkRecord& l : r.Records)
        out << QString("%1<%2 %3 %4 %5").arg(l.Name, l.ParentName, f(l.Pivot[0]), f(l.Pivot[1]), f(l.Pivot[2]));
    return out.join('|');
}

// The linking file applied in one pass is checked against the way it was applied before:
// record by record, each a link in the forest followed by a sort of the whole forest. A case
// is a forest to start from (as ForestFixture.h reads it) and the records to apply.
struct TLinkCase {
    QString Forest;
    std::vector<TLinkRecord> Records;
};

struct TTree : TForest {
    explicit TTree(const TLinkCase& c) : TForest(c.Forest) {}

    // As the tree did it before: one move and one sort per record.
    void ApplyOneByOne(const std::vector<TLinkRecord>& records)
    {
        for (const TLinkRecord& r : records) {
            if (const int node = Forest.Find(r.Name); node >= 0) {
                const int parent = Forest.Find(r.ParentName);
                Forest.Link(node, parent);
                std::copy(r.Pivot, r.Pivot + 3, Forest.MutableComponent(node)->Pivot);
            }
            Forest.Sort();
        }
        Forest.Sort();
    }

    // As LoadLinking does it now: the whole result worked out first, in one pass.
    void ApplyPlanned(const std::vector<TLinkRecord>& records) { ApplyLinkRecords(Forest, records); }

    // Every node in tree order with its level and pivot; the component's place
    // in the list tells nodes with equal names and texts apart.
    QStringList Dump() const
    {
        QStringList out;
        for (int node : Forest.TreeIndices()) {
            const TSelection* s = Forest.Component(node);
            out << QString("%1#%2 %3/%4 %5,%6,%7")
                       .arg(QString(Forest.Level(node), '.'))
                       .arg(node)
                       .arg(s->Name, s->DisplayName)
                       .arg(s->Pivot[0])
                       .arg(s->Pivot[1])
                       .arg(s->Pivot[2]);
        }
        return out;
    }
};

TLinkRecord Rec(const QString& name, const QString& parent, float pivot = 0) { return {name, parent, {pivot, -pivot, 1}}; }

// Names and texts drawn from small pools, so that names repeat, texts tie and differ only
// in letter case, records move nodes back and forth and into cycles.
TLinkCase Random(quint32 seed, int nodes, int records)
{
    QRandomGenerator rnd(seed);
    const QStringList names{"arm", "leg", "head", "body", "tail", "wing", "arm", "eye"};
    const QStringList texts{"Arm", "arm", "Leg", "b", "B", "c", "Arm", "zz"};
    TLinkCase c;
    QStringList made;
    for (int i = 0; i < nodes; ++i) {
        made << (i < 6 ? names[i] : names[rnd.bounded(names.size())] + QString::number(rnd.bounded(nodes / 2)));
        c.Forest += QString(" %1=%2").arg(made.last(), texts[rnd.bounded(texts.size())]);
        if (i > 0 && rnd.bounded(3) == 0)
            c.Forest += '<' + made[rnd.bounded(i)];
    }
    for (int k = 0; k < records; ++k) {
        const auto pick = [&] {
            const int r = rnd.bounded(20);
            return r == 0 ? QString("missing") : r == 1 ? QString() : made[rnd.bounded(nodes)];
        };
        c.Records.push_back(Rec(pick(), pick(), float(k)));
    }
    return c;
}
}  // namespace

class LinkingTest : public QObject {
    Q_OBJECT
private slots:
    void path_data() { QVERIFY(AddTableRows("model/linking-paths.table")); }

    void path()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, lpv);
        QCOMPARE(LinkFilePath(QStringLiteral("/nowhere/LinkData"), fileName), "/nowhere/LinkData/" + lpv);
        QCOMPARE(LinkFilePath(QStringLiteral("/nowhere/LinkData/"), fileName), "/nowhere/LinkData/" + lpv);
    }

    void writeLayoutAndRoundTrip()
    {
        const QString longName = QStringLiteral("a_component_name_that_is_far_too_long_for_it");
        const std::vector<TLinkRecord> records{
            {"body", "", {0.5f, -1.25f, 3}}, {"arm", "body", {1, 2, 3}}, {longName, longName.left(31), {-0.f, 1e-7f, 1e30f}}};
        const QByteArray bytes = WriteLinkingBytes(records);
        QCOMPARE(bytes.size(), 8 + 3 * 76);
        QCOMPARE(bytes.left(8), QByteArray::fromHex("0100000003000000"));
        // Names are NUL-filled within their 32 bytes; a top-level parent is an empty field.
        QCOMPARE(bytes.mid(8, 64), "body" + QByteArray(60, '\0'));
        QCOMPARE(bytes.mid(8 + 76 + 32, 32), "body" + QByteArray(28, '\0'));
        std::vector<TLinkRecord> expected = records;
        expected[2].Name = longName.left(32);  // all a name field holds
        QCOMPARE(Show(ReadLinkingBytes(bytes)), Show({expected, {}}));
    }

    void readsRawNames()
    {
        TLpvBuilder b;
        b.Add(QByteArray(32, 'n'), "", 1, 2, 3);  // no terminator
        b.Add(QByteArray("leg\0old junk", 12), QByteArray("n\0zz", 4), 4, 5, 6);
        b.Add("\xc4rmel", "leg", 7, 8, 9);  // single-byte text
        QCOMPARE(Show(ReadLinkingBytes(b.Build())), "|" + QString(32, 'n') + "< 1 2 3|leg<n 4 5 6|\u00c4rmel<leg 7 8 9");
    }

    void shortFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("records");  // the first ones of "a", "b", "c"
        QTest::addColumn<bool>("error");
        TLpvBuilder three;
        three.Add("a", "", 1, 1, 1).Add("b", "a", 2, 2, 2).Add("c", "b", 3, 3, 3);
        const QByteArray full = three.Build();
        const auto count = [&](int32_t n) {
            TLpvBuilder b = three;
            b.Count = n;
            return b.Build();
        };
        QTest::newRow("complete") << full << 3 << false;
        QTest::newRow("last pivot cut") << full.chopped(1) << 2 << true;
        QTest::newRow("no count") << full.left(5) << 0 << true;
        QTest::newRow("no records") << TLpvBuilder().Build() << 0 << false;
        QTest::newRow("most negative count") << count(INT32_MIN) << 0 << false;
        QTest::newRow("huge count") << count(INT32_MAX) << 3 << true;
        QTest::newRow("count below the records") << count(2) << 2 << false;
    }

    void shortFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, records);
        QFETCH(bool, error);
        const QStringList all{"a< 1 1 1", "b<a 2 2 2", "c<b 3 3 3"};
        QCOMPARE(Show(ReadLinkingBytes(bytes)), (QStringList{error ? "Stream read error" : ""} + all.mid(0, records)).join('|'));
    }

    void files()
    {
        QTemporaryDir dir;
        const std::vector<TLinkRecord> records{{"body", "", {1, 2, 3}}};
        QString error;
        QVERIFY(WriteLinkingFile(dir.filePath("Walker.LPV"), records, &error));
        const QString path = LinkFilePath(dir.path(), QStringLiteral("/x/walker.p3d"));  // found without regard to case
        QCOMPARE(path, dir.filePath("Walker.LPV"));
        QCOMPARE(Show(ReadLinkingFile(path)), QStringLiteral("|body< 1 2 3"));
        QVERIFY(!WriteLinkingFile(dir.filePath("missing/walker.lpv"), records, &error));
        QCOMPARE(error, "Cannot write file " + dir.filePath("missing/walker.lpv") + ": " + SystemErrorText(ENOENT));
        // A linking file of gigabytes (sparse here) is refused, not allocated.
        QVERIFY(Hostile::WriteSparseFile(dir.filePath("huge.lpv"), {}, qint64(40) << 30));
        const TLinkReadResult big = ReadLinkingFile(dir.filePath("huge.lpv"));
        QCOMPARE(big.Error, SystemErrorText(EFBIG));
        QVERIFY(big.Records.empty());
    }

    void sameTreeAsOneByOne_data() { QVERIFY(AddTableRows("model/link-passes.table")); }
    void sameTreeAsOneByOne()
    {
        QFETCH(QString, forest);
        QFETCH(QStringList, records);
        TLinkCase c = forest.startsWith("random ") ? Random(forest.section(' ', 1).toUInt(), 40, 120) : TLinkCase{forest, {}};
        for (const QString& r : records)
            c.Records.push_back(Rec(r.section('<', 0, 0), r.section('<', 1).section('=', 0, 0), r.section('=', 1).toFloat()));
        TTree oneByOne(c), planned(c);
        oneByOne.ApplyOneByOne(c.Records);
        planned.ApplyPlanned(c.Records);
        QCOMPARE(planned.Dump(), oneByOne.Dump());
    }
};

TORVANE_TEST(LinkingTest)
#include "LinkingTest.moc"
