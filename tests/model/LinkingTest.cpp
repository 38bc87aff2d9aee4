#include "model/Linking.h"
#include "filebuild/LpvBuilder.h"
#include "support/TestMain.h"

#include <QTemporaryDir>
#include <QTest>

namespace {
QString Show(const TLinkReadResult& r)
{
    const auto f = [](float x) { return QString::number(x, 'g', 9); };  // enough digits to tell floats apart
    QStringList out{r.Error};
    for (const TLinkRecord& l : r.Records)
        out << QString("%1<%2 %3 %4 %5").arg(l.Name, l.ParentName, f(l.Pivot[0]), f(l.Pivot[1]), f(l.Pivot[2]));
    return out.join('|');
}
}  // namespace

class LinkingTest : public QObject {
    Q_OBJECT
private slots:
    void path_data()
    {
        QTest::addColumn<QString>("fileName"); QTest::addColumn<QString>("lpv");
        QTest::newRow("backslash in a name") << "/models/old\\tank.p3d" << "old\\tank.lpv";
        QTest::newRow("chosen lpv file") << "/elsewhere/tank.lpv" << "tank.lpv";
        QTest::newRow("two dots") << "my.tank.p3d" << "my.tank.lpv";
        QTest::newRow("no extension") << "tank" << "tank.lpv";
        QTest::newRow("dot in folder only") << "/a.b/tank" << "tank.lpv";
    }

    void path()
    {
        QFETCH(QString, fileName); QFETCH(QString, lpv);
        QCOMPARE(LinkFilePath(QStringLiteral("/nowhere/LinkData"), fileName), "/nowhere/LinkData/" + lpv);
        QCOMPARE(LinkFilePath(QStringLiteral("/nowhere/LinkData/"), fileName), "/nowhere/LinkData/" + lpv);
    }

    void writeLayoutAndRoundTrip()
    {
        const QString longName = QStringLiteral("a_component_name_that_is_far_too_long_for_it");
        const std::vector<TLinkRecord> records{{"body", "", {0.5f, -1.25f, 3}}, {"arm", "body", {1, 2, 3}}, {longName, longName.left(31), {-0.f, 1e-7f, 1e30f}}};
        const QByteArray bytes = WriteLinkingBytes(records);
        QCOMPARE(bytes.size(), 8 + 3 * 76);
        QCOMPARE(bytes.left(8), QByteArray::fromHex("0100000003000000"));
        // Names are NUL-filled within their 32 bytes; a top-level parent is an empty field.
        QCOMPARE(bytes.mid(8, 64), "body" + QByteArray(60, '\0'));
        QCOMPARE(bytes.mid(8 + 76 + 32, 32), "body" + QByteArray(28, '\0'));
        std::vector<TLinkRecord> expected = records;
        expected[2].Name = longName.left(32);  // all a name field holds
        QCOMPARE(Show(ReadLinkingBytes(bytes)), Show({expected, {}}));
        QCOMPARE(WriteLinkingBytes({}), QByteArray::fromHex("0100000000000000"));
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
        const auto count = [&](int32_t n) { TLpvBuilder b = three; b.Count = n; return b.Build(); };
        QTest::newRow("complete") << full << 3 << false;
        QTest::newRow("last pivot cut") << full.chopped(1) << 2 << true;
        QTest::newRow("cut inside a name") << full.left(8 + 76 + 10) << 1 << true;
        QTest::newRow("header only") << full.left(8) << 0 << true;
        QTest::newRow("no count") << full.left(5) << 0 << true;
        QTest::newRow("no records") << TLpvBuilder().Build() << 0 << false;
        QTest::newRow("most negative count") << count(INT32_MIN) << 0 << false;
        QTest::newRow("huge count") << count(INT32_MAX) << 3 << true;
        QTest::newRow("count below the records") << count(2) << 2 << false;
    }

    void shortFiles()
    {
        QFETCH(QByteArray, bytes); QFETCH(int, records); QFETCH(bool, error);
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
        QVERIFY(!WriteLinkingFile(dir.filePath("missing/walker.lpv"), records, &error) && !error.isEmpty());
        const TLinkReadResult r = ReadLinkingFile(dir.filePath("absent.lpv"));
        QVERIFY(!r.Error.isEmpty() && r.Records.empty());
    }
};

TORVANE_TEST(LinkingTest)
#include "LinkingTest.moc"
