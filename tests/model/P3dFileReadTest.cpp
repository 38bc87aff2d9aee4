// A model read from its file (piece by piece) must come out exactly as the same bytes
// read from memory: same status, message, counts, arrays, selections and debug lines,
// for whole files and for every length a damaged file can be cut to.
#include "ModelTestUtil.h"
#include "support/P3dBuilder.h"
#include "support/TestMain.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
struct TRead {
    std::unique_ptr<TP3dModell> Model;
    QStringList Debug;
};

TRead FromFile(const QString& path, TSelection* proxy)
{
    TDebugCapture capture;
    TRead r;
    r.Model = std::make_unique<TP3dModell>(path, proxy, nullptr, proxy != nullptr);
    r.Debug = capture.Lines;
    return r;
}

TRead FromBytes(const QByteArray& bytes, TSelection* proxy)
{
    TDebugCapture capture;
    TRead r;
    r.Model = ReadModelBytes(bytes, proxy);
    r.Debug = capture.Lines;
    return r;
}

// Empty when both reads agree, otherwise the first difference.
QString Difference(const TRead& a, const TRead& b)
{
    const TP3dModell& x = *a.Model;
    const TP3dModell& y = *b.Model;
    if (x.Status != y.Status || x.ErrorText != y.ErrorText)
        return QStringLiteral("status %1 '%2' vs %3 '%4'")
            .arg(int(x.Status))
            .arg(x.ErrorText)
            .arg(int(y.Status))
            .arg(y.ErrorText);
    if (a.Debug != b.Debug)
        return QStringLiteral("debug lines ") + a.Debug.join('|') + QStringLiteral(" vs ") + b.Debug.join('|');
    if (x.LodVertexCount != y.LodVertexCount || x.LodNormalCount != y.LodNormalCount ||
        x.LodPolygonCount != y.LodPolygonCount)
        return QStringLiteral("header counts");
    if (x.Vertices.size() != y.Vertices.size() || x.Normals.size() != y.Normals.size() ||
        x.Polygons.size() != y.Polygons.size() || x.Selections.size() != y.Selections.size())
        return QStringLiteral("array sizes");
    for (size_t i = 0; i < x.Vertices.size(); ++i) {
        const TP3dVertex &v = x.Vertices[i], &w = y.Vertices[i];
        if (v.X != w.X || v.Y != w.Y || v.Z != w.Z || v.Flags != w.Flags || v.ShareCount != w.ShareCount)
            return QStringLiteral("vertex %1").arg(i);
    }
    for (size_t i = 0; i < x.Polygons.size(); ++i) {
        const TP3dPolygon &p = x.Polygons[i], &q = y.Polygons[i];
        if (std::memcmp(p.TextureName, q.TextureName, sizeof p.TextureName) != 0 || p.VertexCount != q.VertexCount ||
            p.Flags != q.Flags || p.Valid != q.Valid || p.Corners[2].PointIndex != q.Corners[2].PointIndex ||
            p.Corners[3].V != q.Corners[3].V)
            return QStringLiteral("polygon %1").arg(i);
    }
    for (size_t i = 0; i < x.Selections.size(); ++i) {
        const TSelection &s = *x.Selections[i], &t = *y.Selections[i];
        if (s.Name != t.Name || s.Color != t.Color || s.VertexMembership != t.VertexMembership ||
            s.PolygonMembership != t.PolygonMembership || s.Pivot[0] != t.Pivot[0] || s.Pivot[1] != t.Pivot[1] ||
            s.Pivot[2] != t.Pivot[2] || s.Model != &x || t.Model != &y)
            return QStringLiteral("selection %1").arg(i);
    }
    return {};
}

TP3dBuilder Sample()
{
    TP3dBuilder b;
    const auto box = b.AddBox(0, 0, 0, 1, 2, 3);
    const auto tri = b.AddTriangle(5, 0, 0, 6, 0, 0, 5, 1, 0);
    b.Points[2].Flags = 0x20;
    b.Polygons[1].Corners[3].V = 0.5f;
    b.AddSelection("body", box);
    b.AddTag("#Mass#", QByteArray(40, 'm'));
    b.AddSelection("arm", {tri.Points[0], tri.Points[1], tri.Points[2], box.Points[7]}, tri.Polygons);
    b.AddTag("#Property#", QByteArray(3, 'p'));
    return b;
}
}  // namespace

class P3dFileReadTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SilenceDebug(); }
    void cleanupTestCase() { SetDebugSink({}); }

    void sameAsFromMemory_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("proxy");
        QTest::addColumn<bool>("everyCut");
        const TP3dBuilder good = Sample();
        QTest::newRow("model") << good.Build() << false << true;
        QTest::newRow("proxy sub-model") << good.Build() << true << true;
        {
            TP3dBuilder b = Sample();
            b.ExtraLods.push_back(b.LodBytes());
            QTest::newRow("second LOD after the end tag") << b.Build() << false << false;
        }
        {
            TP3dBuilder b = Sample();
            b.EndTag = false;
            QTest::newRow("no end tag") << b.Build() << false << false;
        }
        {
            TP3dBuilder b = Sample();
            b.Tags[1].SizeField = 1000;  // a "#" tag that claims more than is left
            QTest::newRow("hash tag past the end") << b.Build() << false << false;
        }
        {
            TP3dBuilder b = Sample();
            b.Tags[0].SizeField = 5;  // shorter than one byte per point and polygon
            QTest::newRow("short selection") << b.Build() << false << false;
        }
        {
            TP3dBuilder b = Sample();
            b.Tags[2].SizeField = 30;  // longer: the reader goes on after the membership bytes
            QTest::newRow("long selection") << b.Build() << false << false;
        }
        {
            TP3dBuilder b = Sample();
            b.PolygonCount = 0x7FFFFFFF;
            QTest::newRow("counts that cannot fit") << b.Build() << false << false;
        }
        {
            TP3dBuilder b = Sample();
            b.TagMagic = "TAGX";
            QTest::newRow("no tag magic") << b.Build() << false << false;
        }
        QTest::newRow("empty file") << QByteArray() << false << false;
    }

    void sameAsFromMemory()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, proxy);
        QFETCH(bool, everyCut);
        QTemporaryDir dir;
        const QString path = dir.filePath("m.p3d");
        TSelection proxySelection;
        TSelection* const p = proxy ? &proxySelection : nullptr;
        const qsizetype first = everyCut ? 0 : bytes.size();
        for (qsizetype cut = first; cut <= bytes.size(); ++cut) {
            const QByteArray part = bytes.left(cut);
            {
                QFile f(path);
                QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
                QCOMPARE(f.write(part), part.size());
            }
            const TRead file = FromFile(path, p);
            const TRead memory = FromBytes(part, p);
            const QString diff = Difference(file, memory);
            QVERIFY2(diff.isEmpty(), qPrintable(QStringLiteral("%1 bytes: %2").arg(cut).arg(diff)));
            QCOMPARE(file.Model->FileName, path);
        }
    }

    // The whole file still reads as a model, so the comparison above compares real content.
    void sampleIsAModel()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("m.p3d");
        QVERIFY(Sample().WriteTo(path));
        const TRead r = FromFile(path, nullptr);
        QCOMPARE(r.Model->Status, TP3dModell::ReadStatus::Ok);
        QCOMPARE(r.Model->Selections.size(), size_t(2));
        QCOMPARE(r.Model->Vertices[7].ShareCount, 2);
        QCOMPARE(r.Model->Vertices[2].Flags, 0x20u);
    }
};

TORVANE_TEST(P3dFileReadTest)
#include "P3dFileReadTest.moc"
