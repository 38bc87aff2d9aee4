#include "ModelTestUtil.h"
#include "filebuild/P3dBuilder.h"
#include "platform/FileUtil.h"
#include "support/HostileFiles.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>

using S = TP3dModell::ReadStatus;

namespace {
// A box component, a "#" tag between selections, and a second component sharing a point.
TP3dBuilder TwoComponentModel()
{
    TP3dBuilder b;
    const auto box = b.AddBox(0, 0, 0, 1, 2, 3);
    const auto tri = b.AddTriangle(5, 0, 0, 6, 0, 0, 5, 1, 0);
    b.AddSelection("body", box);
    b.AddTag("#Mass#", QByteArray(40, 'm'));
    b.AddSelection("arm", {tri.Points[0], tri.Points[1], tri.Points[2], box.Points[7]}, tri.Polygons);
    return b;
}

QByteArray Variant(const std::function<void(TP3dBuilder&)>& change)
{
    TP3dBuilder b = TwoComponentModel();
    change(b);
    return b.Build();
}

// Everything a read leaves behind, as text.
QStringList Dump(const TP3dModell& m)
{
    const auto f = [](float x) { return QString::number(x, 'g', 9); };
    const auto hex = [](const TMembership& b) {
        return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size())).toHex();
    };
    QStringList out{QString("%1 %2 %3 %4 %5")
                        .arg(int(m.Status))
                        .arg(m.ErrorText)
                        .arg(m.LodVertexCount)
                        .arg(m.LodNormalCount)
                        .arg(m.LodPolygonCount)};
    for (const TP3dVertex& v : m.Vertices)
        out << QString("v %1 %2 %3 %4 %5").arg(f(v.X), f(v.Y), f(v.Z)).arg(v.Flags).arg(v.ShareCount);
    for (const TP3dNormal& n : m.Normals)
        out << QString("n %1 %2 %3").arg(f(n.X), f(n.Y), f(n.Z));
    for (const TP3dPolygon& p : m.Polygons) {
        out << QString("p %1 %2 %3 %4").arg(QString::fromLatin1(p.TextureName)).arg(p.VertexCount).arg(p.Flags).arg(p.Valid);
        for (const TP3dCorner& c : p.Corners)
            out.last() += QString(" %1/%2/%3/%4").arg(c.PointIndex).arg(c.NormalIndex).arg(f(c.U), f(c.V));
    }
    for (const auto& s : m.Selections)
        out << QString("s %1 %2 %3 %4 %5 %6 %7 %8")
                   .arg(s->Name, QString::number(s->Color), hex(s->VertexMembership), hex(s->PolygonMembership), f(s->Pivot[0]),
                        f(s->Pivot[1]), f(s->Pivot[2]))
                   .arg(s->Model == &m);
    return out;
}

// Files are read piece by piece, so every read here goes both ways, from memory and from a
// file. Null (with both logged) when the two differ in anything, debug lines included.
std::unique_ptr<TP3dModell> ReadBoth(const QByteArray& bytes, TSelection* proxy = nullptr)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath("m.p3d");
    TDebugCapture capture;
    auto memory = ReadModelBytes(bytes, proxy);
    const QStringList fromMemory = capture.Lines + Dump(*memory);
    capture.Lines.clear();
    QFile::remove(path);  // a fresh file: ext4 flushes one rewritten in place on every close
    const bool written = WriteBytesFile(path, bytes);
    const TP3dModell file(path, proxy, nullptr, proxy != nullptr);
    const QStringList fromFile = capture.Lines + Dump(file);
    if (written && file.FileName == path && fromFile == fromMemory)
        return memory;
    qWarning().noquote() << bytes.size() << "bytes, from memory:" << fromMemory.join('|').left(3000)
                         << "\nfrom file:" << fromFile.join('|').left(3000);
    return nullptr;
}
}  // namespace

class P3dReaderTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SilenceDebug(); }

    void readsModel()
    {
        TP3dBuilder b = TwoComponentModel();
        b.Points[3].Flags = 0xDEADBEEF;
        b.Polygons[2].Corners[1] = {3, 4, 0.25f, 0.75f};
        b.Polygons[2].Flags = 77;
        TP3dBuilder later;  // only the first LOD is read
        later.AddSelection("second", later.AddBox(2, 2, 2, 3, 3, 3));
        b.ExtraLods.push_back(later.LodBytes());
        const auto m = ReadBoth(b.Build());
        QVERIFY(m);
        const QStringList dump = Dump(*m);  // header counts, 11 points, 6 normals, 7 polygons, 2 selections
        QCOMPARE(dump.size(), 1 + 11 + 6 + 7 + 2);
        QCOMPARE(dump[0], "1  11 6 7");  // read fine, with the counts of the first LOD
        QCOMPARE(dump[1 + 3], "v 1 2 0 3735928559 1");
        QCOMPARE(dump[1 + 7], "v 1 2 3 0 2");  // in both selections
        QCOMPARE(dump[1 + 11 + 5], "n 1 0 0");
        QCOMPARE(dump[1 + 17 + 2], "p tex.paa 4 77 1 0/2/0/0 3/4/0.25/0.75 5/2/0/0 4/2/0/0");
        QCOMPARE(dump.mid(25), (QStringList{"s body 16777215 0101010101010101000000 01010101010100 0 2 0 1",
                                            "s arm 16711680 0000000000000001010101 00000000000001 6 0 0 1"}));
        QCOMPARE(m->Selections[0]->DisplayName, QStringLiteral("body"));
    }

    void outcomes_data() { QVERIFY(AddTableRows("model/p3d-outcomes.table")); }
    void outcomes()
    {
        QFETCH(QString, change);
        QFETCH(QString, status);
        QFETCH(QString, message);
        QFETCH(QString, kept);
        const auto m = ReadBoth(Variant([&](TP3dBuilder& b) {
            for (const QString& command : change.split(';', Qt::SkipEmptyParts)) {
                const QStringList w = command.split(' ', Qt::SkipEmptyParts);
                const auto n = [&](int i) { return w.value(i).toUInt(); };
                if (w[0] == "file")
                    b.FileMagic = w[1].toLatin1();
                else if (w[0] == "lod")
                    b.LodMagic = w[1].toLatin1();
                else if (w[0] == "tags")
                    b.TagMagic = w[1].toLatin1();
                else if (w[0] == "bigtag")
                    b.AddTag("#Big#", QByteArray(10, 'x')).SizeField = n(1);
                else if (w[0] == "size")
                    b.Tags[n(1)].SizeField = n(2);
                else if (w[0] == "counts")
                    b.VertexCount = n(1), b.NormalCount = n(2), b.PolygonCount = n(3), b.EndTag = false, b.Tags.clear();
                else if (w[0] == "corner")
                    b.Polygons[6].VertexCount = w.size() > 4 ? n(4) : 3, b.Polygons[6].Corners[n(1)] = {n(2), n(3), 0, 0};
                else
                    QFAIL("unknown change");
            }
        }));
        QVERIFY(m);
        const QStringList statuses{"NotRead", "Ok",          "BadFormat", "BadLod",
                                   "NoTags",  "StreamError", "CannotOpen"};  // in the enum's order
        QCOMPARE(statuses.value(int(m->Status)), status);
        QCOMPARE(m->ErrorText, message);
        if (!kept.isEmpty())
            QCOMPARE(
                QString("%1/%2/%3/%4/%5")
                    .arg(m->Vertices.size())
                    .arg(m->Polygons.size())
                    .arg(m->Selections.size())
                    .arg(m->LodPolygonCount)
                    .arg(std::count_if(m->Polygons.begin(), m->Polygons.end(), [](const TP3dPolygon& p) { return p.Valid; })),
                kept);
    }

    // A file is read in pieces of 256 KiB: arrays and membership lists longer than that,
    // members on either side of a piece's end, at the ends of the list, or none; the
    // reader notes where the members lie, and the set-up counts them there.
    void longerThanAPiece_data()
    {
        QTest::addColumn<QList<int>>("members");
        constexpr int piece = 256 * 1024, last = 270000 - 1;
        QTest::newRow("both pieces") << QList<int>{1, 2, last};
        QTest::newRow("across the end of a piece") << QList<int>{piece - 1, piece, piece + 1};
        QTest::newRow("first and last point") << QList<int>{0, 7, last};
        QTest::newRow("second piece only") << QList<int>{piece, piece + 5, last - 1, last};
        QTest::newRow("first piece only") << QList<int>{3, 4, piece - 1};
        QTest::newRow("early in the first piece") << QList<int>{3, 4, 5};
        QTest::newRow("none") << QList<int>{};
    }
    void longerThanAPiece()
    {
        QFETCH(QList<int>, members);
        constexpr int n = 270000;
        TP3dBuilder b;
        for (int i = 0; i < n; ++i)
            b.AddPoint(float(i), 1, -float(i));
        // Ten polygons, members where the points' are: their list is noted the same way.
        b.Polygons.resize(10);
        QList<int> polygons;
        for (int i : members)
            if (i < 10)
                polygons << i;
        b.AddSelection("part", std::vector<int>(members.begin(), members.end()),
                       std::vector<int>(polygons.begin(), polygons.end()));
        const auto m = ReadBoth(b.Build());
        QVERIFY(m && m->Status == S::Ok && m->Vertices.size() == size_t(n));
        const float third = members.size() >= 3 ? float(members[2]) : 0;
        QCOMPARE(QList<float>(m->Selections[0]->Pivot, m->Selections[0]->Pivot + 3),
                 members.size() >= 3 ? (QList<float>{third, 1, -third}) : (QList<float>{0, 0, 0}));
        QList<int> counted;
        for (int i = 0; i < n; ++i)
            if (m->Vertices[size_t(i)].ShareCount != 0)
                counted << (m->Vertices[size_t(i)].ShareCount == 1 ? i : -i);
        QCOMPARE(counted, members);
        // The span noted: from the first member to one past the last.
        const TP3dFile read = ReadP3dFile(b.Build());
        QCOMPARE(read.Selections.size(), size_t(1));
        const auto span = [](const QList<int>& list) {
            return list.isEmpty() ? QList<uint32_t>{0, 0} : QList<uint32_t>{uint32_t(list.first()), uint32_t(list.last()) + 1};
        };
        const TP3dFileSelection& sel = read.Selections[0];
        QCOMPARE((QList<uint32_t>{sel.FirstPoint, sel.EndPoint}), span(members));
        QCOMPARE((QList<uint32_t>{sel.FirstPolygon, sel.EndPolygon}), span(polygons));
        // The set-up hands the spans on to the component.
        const TSelection& part = *m->Selections[0];
        QCOMPARE((QList<uint32_t>{part.FirstPoint, part.EndPoint, part.FirstPolygon, part.EndPolygon}),
                 span(members) + span(polygons));
    }

    // The read's progress lines, in their order.
    void progressLines()
    {
        TDebugCapture capture;
        ReadModelBytes(Variant([](TP3dBuilder& b) { b.LodCount = 3; }));
        QCOMPARE(capture.Lines,
                 (QStringList{"reading p3d....", "LODs: 3", "reading LOD....", "Vertex Count: 11", "Normals Count: 6",
                              "Polygons Count: 7", "reading vertexes....", "reading Normals....", "reading polygons....",
                              "read tags....", "body", "#Mass#", "skip Tag..", "Tagg Size: 40", "arm", "#EndOfFile#"}));
    }

    // Names as single-byte text, up to the 64 bytes of the field; default colours from a
    // table of 17 entries, taken in turn by the selections (#0000FF is 0xFF0000, blue).
    void namesAndDefaultColours()
    {
        const QByteArray longName = "component_" + QByteArray(54, 'x');  // 64 bytes leave no terminator
        TP3dBuilder b;
        b.AddPoint(0, 0, 0);
        b.AddTag("#Lock#", QByteArray());  // tags other than selections don't count
        for (int i = 1; i <= 18; ++i) {
            b.AddSelection(i == 1 ? longName : i == 2 ? "\xe9tage" : "s" + QByteArray::number(i), {0});
            b.AddTag(i == 1 ? "#Property#" : "#", QByteArray(i == 1 ? 300 : 3, 'z'));
        }
        const auto m = ReadBoth(b.Build());
        QVERIFY(m && m->Selections.size() == 18);
        QCOMPARE(m->Selections[0]->Name, QString::fromLatin1(longName));
        QCOMPARE(m->Selections[1]->Name, QStringLiteral("\u00e9tage"));
        QList<uint32_t> colors;
        for (const auto& s : m->Selections)
            colors << s->Color;
        QCOMPARE(colors.mid(0, 3), (QList<uint32_t>{0xFFFFFF, 0xFF0000, 0x808080}));
        QCOMPARE(colors.mid(15), (QList<uint32_t>{0x00FFFF, 0xFFFF00, 0xFFFFFF}));  // the 18th has the 1st's again
    }

    void defaultPivot_data() { QVERIFY(AddTableRows("model/default-pivot.table")); }

    void defaultPivot()
    {
        QFETCH(QList<int>, list);
        QFETCH(int, pivotPoint);
        const std::vector<int> members(list.begin(), list.end());
        TP3dBuilder b;
        for (int i = 0; i < 80; ++i)
            b.AddPoint(float(i) + 1, float(i) * 10 + 1, float(i) * 100 + 1);
        b.AddSelection("part", members).MemberByte = 0x80;  // any non-zero byte is a member
        const auto m = ReadBoth(b.Build());
        QVERIFY(m);
        const float *pivot = m->Selections[0]->Pivot, p = float(pivotPoint);
        const QList<float> want = pivotPoint < 0 ? QList<float>{0, 0, 0} : QList<float>{p + 1, p * 10 + 1, p * 100 + 1};
        QCOMPARE(QList<float>(pivot, pivot + 3), want);
        for (size_t i = 0; i < m->Vertices.size(); ++i)
            QCOMPARE(m->Vertices[i].ShareCount, int(std::count(members.begin(), members.end(), int(i))));
    }

    void everyCutPointFailsCleanly()
    {
        const TP3dBuilder b = TwoComponentModel();
        const QByteArray full = b.Build();
        // A cut inside the arrays leaves counts the file cannot hold; elsewhere the file ends early.
        const qsizetype arraysEnd = 40 + qsizetype(b.Points.size() * 16 + b.Normals.size() * 12 + b.Polygons.size() * 104);
        TSelection proxy;
        for (qsizetype cut = 0; cut < full.size(); ++cut) {
            const auto m = ReadBoth(full.left(cut));
            QVERIFY(m && ReadBoth(full.left(cut), &proxy));
            if (cut >= 40 && cut < arraysEnd)
                QVERIFY(m->Status == S::BadFormat && m->ErrorText == "Incorrect Format!" && m->Vertices.empty());
            else
                QVERIFY(m->Status == S::StreamError && m->ErrorText == "Stream read error");
        }
    }

    void proxyModelsGetNoSelections()
    {
        TSelection proxy;
        const auto m = ReadBoth(TwoComponentModel().Build(), &proxy);
        QVERIFY(m && m->Status == S::Ok && m->Selections.empty() && m->Vertices.size() == 11 && m->Vertices[7].ShareCount == 0);
        // Nothing after "TAGG" is read, so a broken tag list doesn't matter.
        QCOMPARE(ReadBoth(Variant([](auto& b) {
                              b.EndTag = false;
                              b.Tags.clear();
                          }),
                          &proxy)
                     ->Status,
                 S::Ok);
    }

    void filesOnDisk()
    {
        QTemporaryDir dir;
        QVERIFY(TwoComponentModel().WriteTo(dir.filePath("Walker.P3D")));
        TP3dModell env(dir.filePath("walker.p3d"));  // found without regard to case, selections read too
        QVERIFY(env.Status == S::Ok && env.IsEnvironment && !env.IsProxy && env.Selections.size() == 2);
        QCOMPARE(env.FileName, dir.filePath("Walker.P3D"));
    }

    // A sparse file of 40 GB whose header claims that many points: there is no memory for
    // them, and the read says so instead of ending the program.
    void hugeModelIsRefused()
    {
        QTemporaryDir dir;
        TP3dBuilder b;
        b.VertexCount = quint32((qint64(40) << 30) / 16);
        QVERIFY(Hostile::WriteSparseFile(dir.filePath("huge.p3d"), b.Build(), (qint64(40) << 30) + 200));
        TP3dModell m(dir.filePath("huge.p3d"));
        QCOMPARE(m.Status, S::StreamError);
        QCOMPARE(m.ErrorText, QStringLiteral("Cannot open file %1: %2").arg(dir.filePath("huge.p3d"), SystemErrorText(ENOMEM)));
        QVERIFY(m.Vertices.empty() && m.Selections.empty());
    }
};

TORVANE_TEST(P3dReaderTest)
#include "P3dReaderTest.moc"
