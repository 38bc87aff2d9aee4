#include "ModelTestUtil.h"
#include "support/P3dBuilder.h"
#include "support/TestMain.h"

#include <QTemporaryDir>
#include <QTest>

using S = TP3dModell::ReadStatus;
Q_DECLARE_METATYPE(TP3dModell::ReadStatus)

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
}  // namespace

class P3dReaderTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SilenceDebug(); }
    void cleanupTestCase() { SetDebugSink({}); }
    void readsPointsNormalsPolygonsAndSelections();
    void debugLinesInOrder();
    void magicErrors_data();
    void magicErrors();
    void fullWidthNameAndHashTags();
    void onlyFirstLodIsRead();
    void defaultPivot_data();
    void defaultPivot();
    void defaultColours();
    void everyCutPointFailsCleanly();
    void countsThatCannotFit_data();
    void countsThatCannotFit();
    void polygonValidity_data();
    void polygonValidity();
    void selectionSizeField();
    void tagErrors_data();
    void tagErrors();
    void proxyModelsGetNoSelections();
    void filesOnDisk();
};

void P3dReaderTest::readsPointsNormalsPolygonsAndSelections()
{
    TP3dBuilder b = TwoComponentModel();
    b.Points[3].Flags = 0xDEADBEEF;
    b.Polygons[2].Corners[1].U = 0.25f;
    b.Polygons[2].Corners[1].V = 0.75f;
    b.Polygons[2].Flags = 77;
    auto m = ReadModelBytes(b.Build());
    QCOMPARE(m->Status, S::Ok);
    QVERIFY(m->ErrorText.isEmpty());
    QCOMPARE(m->Vertices.size(), size_t(11));
    QCOMPARE(m->Normals.size(), b.Normals.size());
    QCOMPARE(m->Polygons.size(), size_t(7));
    QCOMPARE(m->LodVertexCount, 11u);
    QCOMPARE(m->LodPolygonCount, 7u);
    QCOMPARE(m->LodNormalCount, uint32_t(b.Normals.size()));

    // Box corner 7 is (1, 2, 3); the flags come through untouched.
    QCOMPARE(m->Vertices[7].X, 1.f);
    QCOMPARE(m->Vertices[7].Y, 2.f);
    QCOMPARE(m->Vertices[7].Z, 3.f);
    QCOMPARE(m->Vertices[3].Flags, 0xDEADBEEFu);
    QCOMPARE(m->DisplayPoints.size(), m->Vertices.size());
    for (size_t i = 0; i < m->Vertices.size(); ++i) {
        QCOMPARE(m->DisplayPoints[i].X, m->Vertices[i].X);
        QCOMPARE(m->DisplayPoints[i].Y, m->Vertices[i].Y);
        QCOMPARE(m->DisplayPoints[i].Z, m->Vertices[i].Z);
        QVERIFY(!m->Vertices[i].IsProxyCorner);
    }
    QCOMPARE(m->Normals[5].X, b.Normals[5].X);
    QCOMPARE(m->Normals[5].Y, b.Normals[5].Y);
    QCOMPARE(m->Normals[5].Z, b.Normals[5].Z);

    const TP3dPolygon& quad = m->Polygons[2];
    QCOMPARE(QByteArray(quad.TextureName), QByteArray("tex.paa"));
    QCOMPARE(quad.VertexCount, 4u);
    QCOMPARE(quad.Corners[1].U, 0.25f);
    QCOMPARE(quad.Corners[1].V, 0.75f);
    QCOMPARE(quad.Corners[3].PointIndex, b.Polygons[2].Corners[3].PointIndex);
    QCOMPARE(quad.Corners[3].NormalIndex, b.Polygons[2].Corners[3].NormalIndex);
    QCOMPARE(quad.Flags, 77u);
    QVERIFY(quad.Valid);
    QVERIFY(!quad.Hidden);

    QCOMPARE(m->Selections.size(), size_t(2));
    const TSelection& body = *m->Selections[0];
    const TSelection& arm = *m->Selections[1];
    QCOMPARE(body.Name, QStringLiteral("body"));
    QCOMPARE(body.DisplayName, QStringLiteral("body"));
    QCOMPARE(arm.Name, QStringLiteral("arm"));
    QCOMPARE(body.Model, m.get());
    QVERIFY(!body.ProxyModel);
    QVERIFY(!body.Hidden);
    QCOMPARE(body.VertexMembership.size(), size_t(11));
    QCOMPARE(body.PolygonMembership.size(), size_t(7));
    QCOMPARE(std::count(body.VertexMembership.begin(), body.VertexMembership.end(), 1), 8);
    QCOMPARE(std::count(body.PolygonMembership.begin(), body.PolygonMembership.end(), 1), 6);
    QCOMPARE(arm.PolygonMembership[6], uint8_t(1));
    QCOMPARE(arm.PolygonMembership[0], uint8_t(0));
    QCOMPARE(body.ActTransform, TTransform::Identity());
    QCOMPARE(body.BaseTransform, TTransform::Zero());
    // Point 7 is in both selections, the triangle's points only in "arm".
    QCOMPARE(m->Vertices[7].ShareCount, 2);
    QCOMPARE(m->Vertices[0].ShareCount, 1);
    QCOMPARE(m->Vertices[8].ShareCount, 1);
    QCOMPARE(m->ProxyMatrix, TTransform::Zero());
}

void P3dReaderTest::debugLinesInOrder()
{
    TP3dBuilder b = TwoComponentModel();
    b.ExtraLods.push_back(b.LodBytes());
    TDebugCapture capture;
    auto m = ReadModelBytes(b.Build());
    QCOMPARE(m->Status, S::Ok);
    const QStringList expected = {
        "reading p3d....",       "LODs: 2",          "reading LOD....",      "Vertex Count: 11",
        "Normals Count: 6",      "Polygons Count: 7", "reading vertexes....", "reading Normals....",
        "reading polygons....", "read tags....",     "body",                 "#Mass#",
        "skip Tag..",           "Tagg Size: 40",     "arm",                  "#EndOfFile#",
    };
    QCOMPARE(capture.Lines, expected);
}

void P3dReaderTest::magicErrors_data()
{
    QTest::addColumn<QByteArray>("fileMagic");
    QTest::addColumn<QByteArray>("lodMagic");
    QTest::addColumn<QByteArray>("tagMagic");
    QTest::addColumn<S>("status");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("keepsArrays");
    QTest::newRow("file magic in lower case") << QByteArray("mlod") << QByteArray("SP3X") << QByteArray("TAGG")
                                              << S::BadFormat << "Incorrect Format!" << false;
    QTest::newRow("other file") << QByteArray("RTM_") << QByteArray("SP3X") << QByteArray("TAGG") << S::BadFormat
                                << "Incorrect Format!" << false;
    QTest::newRow("other LOD kind") << QByteArray("MLOD") << QByteArray("P3DM") << QByteArray("TAGG") << S::BadLod
                                    << "Incorrect LOD Format!" << false;
    QTest::newRow("LOD magic in lower case") << QByteArray("MLOD") << QByteArray("sp3x") << QByteArray("TAGG")
                                             << S::BadLod << "Incorrect LOD Format!" << false;
    QTest::newRow("no tag list") << QByteArray("MLOD") << QByteArray("SP3X") << QByteArray("GGAT") << S::NoTags
                                 << "No Tag Identifier found!" << true;
}

void P3dReaderTest::magicErrors()
{
    QFETCH(QByteArray, fileMagic);
    QFETCH(QByteArray, lodMagic);
    QFETCH(QByteArray, tagMagic);
    QFETCH(S, status);
    QFETCH(QString, message);
    QFETCH(bool, keepsArrays);
    TP3dBuilder b = TwoComponentModel();
    b.FileMagic = fileMagic;
    b.LodMagic = lodMagic;
    b.TagMagic = tagMagic;
    auto m = ReadModelBytes(b.Build());
    QCOMPARE(m->Status, status);
    QCOMPARE(m->ErrorText, message);
    QCOMPARE(m->Vertices.size(), keepsArrays ? size_t(11) : size_t(0));
    QCOMPARE(m->Polygons.size(), keepsArrays ? size_t(7) : size_t(0));
    QVERIFY(m->Selections.empty());
}

void P3dReaderTest::fullWidthNameAndHashTags()
{
    TP3dBuilder b;
    const auto box = b.AddBox(0, 0, 0, 1, 1, 1);
    const QByteArray longName = QByteArray("component_").append(QByteArray(54, 'x'));
    QCOMPARE(longName.size(), 64);
    b.AddTag("#Lock#", QByteArray());
    b.AddSelection(longName, box);
    b.AddTag("#Property#", QByteArray(300, '\0'));
    b.AddTag("#", QByteArray(3, 'z'));
    b.AddSelection("\xe9tage", {box.Points[0]});
    auto m = ReadModelBytes(b.Build());
    QCOMPARE(m->Status, S::Ok);
    QCOMPARE(m->Selections.size(), size_t(2));
    QCOMPARE(m->Selections[0]->Name, QString::fromLatin1(longName));
    // Names are single-byte text.
    QCOMPARE(m->Selections[1]->Name, QStringLiteral("\u00e9tage"));
    // Skipped tags don't count for the colours.
    QCOMPARE(m->Selections[1]->Color, DefaultSelectionColor(2));
}

void P3dReaderTest::onlyFirstLodIsRead()
{
    TP3dBuilder first;
    first.AddSelection("first", first.AddBox(0, 0, 0, 1, 1, 1));
    TP3dBuilder second;
    second.AddBox(0, 0, 0, 1, 1, 1);
    second.AddSelection("second", second.AddBox(2, 2, 2, 3, 3, 3));
    first.ExtraLods.push_back(second.LodBytes());
    TP3dBuilder notSp3x = second;
    notSp3x.LodMagic = "P3DM";
    first.ExtraLods.push_back(notSp3x.LodBytes());
    auto m = ReadModelBytes(first.Build());
    QCOMPARE(m->Status, S::Ok);
    QCOMPARE(m->Vertices.size(), size_t(8));
    QCOMPARE(m->Selections.size(), size_t(1));
    QCOMPARE(m->Selections[0]->Name, QStringLiteral("first"));
}

void P3dReaderTest::defaultPivot_data()
{
    QTest::addColumn<std::vector<int>>("members");
    QTest::addColumn<int>("pivotPoint");  // -1: stays at the origin
    QTest::newRow("one point") << std::vector<int>{4} << -1;
    QTest::newRow("two points") << std::vector<int>{4, 6} << -1;
    QTest::newRow("three points") << std::vector<int>{1, 2, 5} << 5;
    QTest::newRow("third in point order, not in list order") << std::vector<int>{6, 0, 3, 1} << 3;
    QTest::newRow("none") << std::vector<int>{} << -1;
}

void P3dReaderTest::defaultPivot()
{
    QFETCH(std::vector<int>, members);
    QFETCH(int, pivotPoint);
    TP3dBuilder b;
    for (int i = 0; i < 8; ++i)
        b.AddPoint(float(i) + 1, float(i) * 10 + 1, float(i) * 100 + 1);
    b.AddSelection("part", members).MemberByte = 0x80;
    auto m = ReadModelBytes(b.Build());
    QCOMPARE(m->Status, S::Ok);
    const TSelection& s = *m->Selections[0];
    if (pivotPoint < 0) {
        QCOMPARE(s.Pivot[0], 0.f);
        QCOMPARE(s.Pivot[1], 0.f);
        QCOMPARE(s.Pivot[2], 0.f);
    } else {
        QCOMPARE(s.Pivot[0], float(pivotPoint) + 1);
        QCOMPARE(s.Pivot[1], float(pivotPoint) * 10 + 1);
        QCOMPARE(s.Pivot[2], float(pivotPoint) * 100 + 1);
    }
    for (int i : members)
        QCOMPARE(m->Vertices[size_t(i)].ShareCount, 1);
}

void P3dReaderTest::defaultColours()
{
    // The table as #RRGGBB; selections hold 0x00BBGGRR.
    static const uint32_t rgb[17] = {0x00FFFF, 0xFFFFFF, 0x0000FF, 0x808080, 0xFF00FF, 0x858585,
                                     0x008000, 0x00FF00, 0xC0C0C0, 0x800000, 0x000080, 0x808000,
                                     0x800080, 0xFF0000, 0xC0C0C0, 0x008080, 0xFFFF00};
    auto bgr = [](uint32_t c) { return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF); };
    TP3dBuilder b;
    b.AddPoint(0, 0, 0);
    for (int i = 1; i <= 18; ++i)
        b.AddSelection(QByteArray("s") + QByteArray::number(i), {0});
    auto m = ReadModelBytes(b.Build());
    QCOMPARE(m->Selections.size(), size_t(18));
    for (int i = 1; i <= 18; ++i)
        QCOMPARE(m->Selections[size_t(i - 1)]->Color, bgr(rgb[i % 17]));
    QCOMPARE(m->Selections[0]->Color, 0xFFFFFFu);
    QCOMPARE(m->Selections[16]->Color, 0xFFFF00u);  // #00FFFF
    QCOMPARE(m->Selections[17]->Color, 0xFFFFFFu);
    QCOMPARE(m->Selections[1]->Color, 0xFF0000u);  // #0000FF is blue
    QCOMPARE(m->Vertices[0].ShareCount, 18);
}

void P3dReaderTest::everyCutPointFailsCleanly()
{
    const TP3dBuilder b = TwoComponentModel();
    const QByteArray full = b.Build();
    // Everything before the tag list belongs to the header and arrays.
    const qsizetype arraysEnd = 12 + 28 + qsizetype(b.Points.size()) * 16 + qsizetype(b.Normals.size()) * 12 +
                                qsizetype(b.Polygons.size()) * 104;
    for (qsizetype cut = 0; cut < full.size(); ++cut) {
        auto m = ReadModelBytes(full.left(cut));
        const QByteArray where = "cut at " + QByteArray::number(cut);
        if (cut >= 40 && cut < arraysEnd) {
            QVERIFY2(m->Status == S::BadFormat, where);
            QVERIFY2(m->ErrorText == QLatin1String("Incorrect Format!"), where);
            QVERIFY2(m->Vertices.empty(), where);
        } else {
            QVERIFY2(m->Status == S::StreamError, where);
            QVERIFY2(m->ErrorText == QLatin1String("Stream read error"), where);
        }
    }
    QCOMPARE(ReadModelBytes(full)->Status, S::Ok);
}

void P3dReaderTest::countsThatCannotFit_data()
{
    QTest::addColumn<uint32_t>("nv");
    QTest::addColumn<uint32_t>("nn");
    QTest::addColumn<uint32_t>("np");
    QTest::newRow("points") << 0xFFFFFFFFu << 7u << 7u;
    QTest::newRow("normals") << 11u << 0xFFFFFFFFu << 7u;
    QTest::newRow("polygons") << 11u << 7u << 0x7FFFFFFFu;
    QTest::newRow("one point too many") << 12u << 7u << 7u;
    QTest::newRow("all at maximum") << 0xFFFFFFFFu << 0xFFFFFFFFu << 0xFFFFFFFFu;
}

void P3dReaderTest::countsThatCannotFit()
{
    QFETCH(uint32_t, nv);
    QFETCH(uint32_t, nn);
    QFETCH(uint32_t, np);
    TP3dBuilder b = TwoComponentModel();
    b.EndTag = false;
    b.Tags.clear();
    b.VertexCount = nv;
    b.NormalCount = nn;
    b.PolygonCount = np;
    auto m = ReadModelBytes(b.Build());
    QCOMPARE(m->Status, S::BadFormat);
    QCOMPARE(m->ErrorText, QStringLiteral("Incorrect Format!"));
    QVERIFY(m->Vertices.empty());
    QVERIFY(m->Normals.empty());
    QVERIFY(m->Polygons.empty());
    // The status bar still shows what the header claimed.
    QCOMPARE(m->LodVertexCount, nv);
    QCOMPARE(m->LodPolygonCount, np);
}

void P3dReaderTest::polygonValidity_data()
{
    QTest::addColumn<uint32_t>("vertexCount");
    QTest::addColumn<int>("corner");
    QTest::addColumn<uint32_t>("pointIndex");
    QTest::addColumn<uint32_t>("normalIndex");
    QTest::addColumn<bool>("valid");
    QTest::newRow("triangle") << 3u << 0 << 0u << 0u << true;
    QTest::newRow("quad, last point") << 4u << 3 << 3u << 1u << true;
    QTest::newRow("two corners") << 2u << 0 << 0u << 0u << false;
    QTest::newRow("five corners") << 5u << 0 << 0u << 0u << false;
    QTest::newRow("no corners") << 0u << 0 << 0u << 0u << false;
    QTest::newRow("point index = count") << 3u << 2 << 4u << 0u << false;
    QTest::newRow("huge point index") << 3u << 0 << 0xFFFFFFFFu << 0u << false;
    QTest::newRow("normal index = count") << 3u << 1 << 0u << 2u << false;
    QTest::newRow("quad, fourth point out of range") << 4u << 3 << 4u << 0u << false;
    QTest::newRow("triangle ignores the unused fourth corner") << 3u << 3 << 99u << 99u << true;
}

void P3dReaderTest::polygonValidity()
{
    QFETCH(uint32_t, vertexCount);
    QFETCH(int, corner);
    QFETCH(uint32_t, pointIndex);
    QFETCH(uint32_t, normalIndex);
    QFETCH(bool, valid);
    TP3dBuilder b;
    for (int i = 0; i < 4; ++i)
        b.AddPoint(float(i), 0, 0);
    b.AddNormal(0, 0, 1);
    b.AddNormal(0, 1, 0);
    b.AddPolygon({0, 1, 2, 3});
    b.AddPolygon({0, 1, 2});
    b.Polygons[1].VertexCount = vertexCount;
    b.Polygons[1].Corners[corner].PointIndex = pointIndex;
    b.Polygons[1].Corners[corner].NormalIndex = normalIndex;
    auto m = ReadModelBytes(b.Build());
    QCOMPARE(m->Status, S::Ok);
    QVERIFY(m->Polygons[0].Valid);
    QCOMPARE(m->Polygons[1].Valid, valid);
    QCOMPARE(m->Polygons[1].Corners[corner].PointIndex, pointIndex);
}

void P3dReaderTest::selectionSizeField()
{
    // A size larger than the membership bytes is ignored: the next tag follows them.
    TP3dBuilder b;
    const auto box = b.AddBox(0, 0, 0, 1, 1, 1);
    b.AddSelection("a", box).SizeField = 5000;
    b.AddSelection("b", {box.Points[2]}).SizeField = 0xFFFFFFFF;
    b.AddSelection("c", {box.Points[3]});
    auto m = ReadModelBytes(b.Build());
    QCOMPARE(m->Status, S::Ok);
    QCOMPARE(m->Selections.size(), size_t(3));
    QCOMPARE(m->Selections[2]->Name, QStringLiteral("c"));
    QCOMPARE(m->Selections[2]->VertexMembership[3], uint8_t(1));

    // One that claims fewer bytes than the model needs is damaged: the selections before it
    // stay, and the read stops with the format message.
    TP3dBuilder shortTag = b;
    shortTag.Tags[1].SizeField = 8 + 6 - 1;
    m = ReadModelBytes(shortTag.Build());
    QCOMPARE(m->Status, S::BadFormat);
    QCOMPARE(m->ErrorText, QStringLiteral("Incorrect Format!"));
    QCOMPARE(m->Selections.size(), size_t(1));
    QCOMPARE(m->Selections[0]->Name, QStringLiteral("a"));
    QCOMPARE(m->Vertices.size(), size_t(8));
}

void P3dReaderTest::tagErrors_data()
{
    QTest::addColumn<int>("variant");
    QTest::newRow("no end tag") << 0;
    QTest::newRow("# tag runs past the end") << 1;
    QTest::newRow("selection runs past the end") << 2;
    QTest::newRow("end tag without its size") << 3;
}

void P3dReaderTest::tagErrors()
{
    QFETCH(int, variant);
    TP3dBuilder b;
    const auto box = b.AddBox(0, 0, 0, 1, 1, 1);
    b.AddSelection("first", box);
    QByteArray bytes;
    switch (variant) {
    case 0:
        b.EndTag = false;
        bytes = b.Build();
        break;
    case 1:
        b.AddTag("#Big#", QByteArray(10, 'x')).SizeField = 100;
        bytes = b.Build();
        break;
    case 2:
        b.AddSelection("second", box);
        bytes = b.Build();
        bytes.chop(68 + 5);
        break;
    default:
        bytes = b.Build();
        bytes.chop(4);
        break;
    }
    auto m = ReadModelBytes(bytes);
    QCOMPARE(m->Status, S::StreamError);
    QCOMPARE(m->ErrorText, QStringLiteral("Stream read error"));
}

void P3dReaderTest::proxyModelsGetNoSelections()
{
    TP3dBuilder b = TwoComponentModel();
    TSelection proxy;
    auto m = ReadModelBytes(b.Build(), &proxy);
    QCOMPARE(m->Status, S::Ok);
    QVERIFY(m->Selections.empty());
    QCOMPARE(m->Vertices.size(), size_t(11));
    QCOMPARE(m->Vertices[7].ShareCount, 0);
    // Nothing after "TAGG" is read, so a broken tag list doesn't matter.
    b.EndTag = false;
    b.Tags.clear();
    m = ReadModelBytes(b.Build(), &proxy);
    QCOMPARE(m->Status, S::Ok);
    QCOMPARE(m->ProxySelection, &proxy);
    QVERIFY(m->IsProxy);
}

void P3dReaderTest::filesOnDisk()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(TwoComponentModel().WriteTo(dir.filePath("Walker.P3D")));

    // Found without regard to case; the environment constructor reads selections too.
    TP3dModell env(dir.filePath("walker.p3d"));
    QCOMPARE(env.Status, S::Ok);
    QVERIFY(env.IsEnvironment);
    QVERIFY(!env.IsProxy);
    QCOMPARE(env.Selections.size(), size_t(2));
    QCOMPARE(env.FileName, dir.filePath("Walker.P3D"));

    TP3dModell main(dir.filePath("Walker.P3D"), nullptr, nullptr, false);
    QCOMPARE(main.Status, S::Ok);
    QVERIFY(!main.IsEnvironment);
    QCOMPARE(main.Selections.size(), size_t(2));

    const QString missing = dir.filePath("none.p3d");
    TP3dModell absent(missing, nullptr, nullptr, false);
    QCOMPARE(absent.Status, S::CannotOpen);
    QCOMPARE(absent.ErrorText, QStringLiteral("Cannot open file ") + missing);

    TDebugCapture capture;
    TP3dModell none(QString(), nullptr, nullptr, false);
    QCOMPARE(none.Status, S::NotRead);
    QVERIFY(capture.Lines.isEmpty());

    // Reading again replaces everything, selections included.
    main.ReadP3d(dir.filePath("Walker.P3D"), false);
    QCOMPARE(main.Selections.size(), size_t(2));
    QCOMPARE(main.Vertices[7].ShareCount, 2);
}

TORVANE_TEST(P3dReaderTest)
#include "P3dReaderTest.moc"
