#include "model/Linking.h"
#include "platform/Binary.h"
#include "support/LpvBuilder.h"
#include "support/P3dBuilder.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class LinkingTest : public QObject {
    Q_OBJECT
private slots:
    void path_data();
    void path();
    void pathFoundWithoutCase();
    void writeLayoutAndRoundTrip();
    void readsBuilderFiles();
    void shortFiles_data();
    void shortFiles();
    void longNamesAreCut();
    void writeFile();
};

void LinkingTest::path_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("lpv");
    QTest::newRow("windows folder") << "C:\\models\\tank.p3d" << "tank.lpv";
    QTest::newRow("unix folder") << "/home/a/models/walker.p3d" << "walker.lpv";
    QTest::newRow("chosen lpv file") << "/elsewhere/tank.lpv" << "tank.lpv";
    QTest::newRow("two dots") << "my.tank.p3d" << "my.tank.lpv";
    QTest::newRow("no extension") << "tank" << "tank.lpv";
    QTest::newRow("dot in folder only") << "/a.b/tank" << "tank.lpv";
}

void LinkingTest::path()
{
    QFETCH(QString, fileName);
    QFETCH(QString, lpv);
    QCOMPARE(LinkFilePath(QStringLiteral("/nowhere/LinkData"), fileName), "/nowhere/LinkData/" + lpv);
    QCOMPARE(LinkFilePath(QStringLiteral("/nowhere/LinkData/"), fileName), "/nowhere/LinkData/" + lpv);
}

void LinkingTest::pathFoundWithoutCase()
{
    QTemporaryDir dir;
    QVERIFY(WriteBytesFile(dir.filePath("Walker.LPV"), TLpvBuilder().Build()));
    QCOMPARE(LinkFilePath(dir.path(), QStringLiteral("C:\\x\\walker.p3d")), dir.filePath("Walker.LPV"));
}

void LinkingTest::writeLayoutAndRoundTrip()
{
    std::vector<TLinkRecord> records(3);
    records[0] = {QStringLiteral("body"), QString(), {0.5f, -1.25f, 3}};
    records[1] = {QStringLiteral("arm"), QStringLiteral("body"), {1, 2, 3}};
    records[2] = {QStringLiteral("hand"), QStringLiteral("arm"), {-0.f, 1e-7f, 1e30f}};
    const QByteArray bytes = WriteLinkingBytes(records);
    QCOMPARE(bytes.size(), 8 + 3 * 76);
    TByteReader r(bytes);
    QCOMPARE(r.I32(), 1);
    QCOMPARE(r.I32(), 3);
    // Names are NUL-filled within their 32 bytes; a top-level parent is an empty field.
    QCOMPARE(bytes.mid(8, 32), QByteArray("body").append(QByteArray(28, '\0')));
    QCOMPARE(bytes.mid(40, 32), QByteArray(32, '\0'));
    QCOMPARE(bytes.mid(8 + 76 + 32, 32), QByteArray("body").append(QByteArray(28, '\0')));

    const TLinkReadResult back = ReadLinkingBytes(bytes);
    QVERIFY(back.Error.isEmpty());
    QCOMPARE(back.Records.size(), records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        QCOMPARE(back.Records[i].Name, records[i].Name);
        QCOMPARE(back.Records[i].ParentName, records[i].ParentName);
        for (int k = 0; k < 3; ++k)
            QCOMPARE(back.Records[i].Pivot[k], records[i].Pivot[k]);
    }
    QCOMPARE(WriteLinkingBytes({}), QByteArray::fromHex("0100000000000000"));
}

void LinkingTest::readsBuilderFiles()
{
    TLpvBuilder b;
    b.Version = 99;  // not checked
    b.Add(QByteArray(32, 'n'), "", 1, 2, 3);
    b.Add(QByteArray("leg\0old junk", 12), QByteArray("n\0zz", 4), 4, 5, 6);
    b.Add("\xc4rmel", "leg", 7, 8, 9);
    const TLinkReadResult r = ReadLinkingBytes(b.Build());
    QVERIFY(r.Error.isEmpty());
    QCOMPARE(r.Records.size(), size_t(3));
    QCOMPARE(r.Records[0].Name, QString(32, QLatin1Char('n')));
    QCOMPARE(r.Records[0].ParentName, QString());
    QCOMPARE(r.Records[1].Name, QStringLiteral("leg"));
    QCOMPARE(r.Records[1].ParentName, QStringLiteral("n"));
    QCOMPARE(r.Records[1].Pivot[1], 5.f);
    QCOMPARE(r.Records[2].Name, QStringLiteral("\u00c4rmel"));
    QCOMPARE(r.Records[2].Pivot[2], 9.f);
}

void LinkingTest::shortFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("records");
    QTest::addColumn<bool>("error");
    TLpvBuilder three;
    three.Add("a", "", 1, 1, 1).Add("b", "a", 2, 2, 2).Add("c", "b", 3, 3, 3);
    const QByteArray full = three.Build();
    QTest::newRow("complete") << full << 3 << false;
    QTest::newRow("last pivot cut") << full.left(full.size() - 1) << 2 << true;
    QTest::newRow("cut inside a name") << full.left(8 + 76 + 10) << 1 << true;
    QTest::newRow("header only") << full.left(8) << 0 << true;
    QTest::newRow("no count") << full.left(5) << 0 << true;
    QTest::newRow("empty") << QByteArray() << 0 << true;
    TLpvBuilder zero;
    QTest::newRow("no records") << zero.Build() << 0 << false;
    TLpvBuilder negative = three;
    negative.Count = -1;
    QTest::newRow("negative count") << negative.Build() << 0 << false;
    negative.Count = INT32_MIN;
    QTest::newRow("most negative count") << negative.Build() << 0 << false;
    TLpvBuilder huge = three;
    huge.Count = INT32_MAX;
    QTest::newRow("huge count") << huge.Build() << 3 << true;
    TLpvBuilder fewer = three;
    fewer.Count = 2;
    QTest::newRow("count below the records") << fewer.Build() << 2 << false;
}

void LinkingTest::shortFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, records);
    QFETCH(bool, error);
    const TLinkReadResult r = ReadLinkingBytes(bytes);
    QCOMPARE(int(r.Records.size()), records);
    QCOMPARE(r.Error, error ? QStringLiteral("Stream read error") : QString());
    if (records > 0)
        QCOMPARE(r.Records[0].Name, QStringLiteral("a"));
}

void LinkingTest::longNamesAreCut()
{
    const QString longName = QStringLiteral("a_component_name_that_is_far_too_long_for_it");
    std::vector<TLinkRecord> records(1);
    records[0] = {longName, longName.left(31), {1, 2, 3}};
    const QByteArray bytes = WriteLinkingBytes(records);
    QCOMPARE(bytes.size(), 8 + 76);
    const TLinkReadResult r = ReadLinkingBytes(bytes);
    QCOMPARE(r.Records.size(), size_t(1));
    QCOMPARE(r.Records[0].Name, longName.left(32));
    QCOMPARE(r.Records[0].ParentName, longName.left(31));
    QCOMPARE(r.Records[0].Pivot[2], 3.f);
}

void LinkingTest::writeFile()
{
    QTemporaryDir dir;
    std::vector<TLinkRecord> records(1);
    records[0] = {QStringLiteral("body"), QString(), {1, 2, 3}};
    const QString path = dir.filePath("walker.lpv");
    QString error;
    QVERIFY(WriteLinkingFile(path, records, &error));
    TLinkReadResult r = ReadLinkingFile(path);
    QVERIFY(r.Error.isEmpty());
    QCOMPARE(r.Records.size(), size_t(1));

    // A failed write leaves the previous file as it was.
    QVERIFY(!WriteLinkingFile(dir.filePath("missing/walker.lpv"), records, &error));
    QVERIFY(!error.isEmpty());
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    const bool readOnly = !QFile(dir.filePath("probe")).open(QIODevice::WriteOnly);
    if (readOnly) {
        records.push_back(records[0]);
        QVERIFY(!WriteLinkingFile(path, records, &error));
        QCOMPARE(ReadLinkingFile(path).Records.size(), size_t(1));
    }
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    r = ReadLinkingFile(dir.filePath("absent.lpv"));
    QVERIFY(!r.Error.isEmpty());
    QVERIFY(r.Records.empty());
}

TORVANE_TEST(LinkingTest)
#include "LinkingTest.moc"
