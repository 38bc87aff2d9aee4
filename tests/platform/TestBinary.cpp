#include "platform/Binary.h"
#include "support/TestMain.h"

#include <QTest>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

namespace {
// The reader sees the first `size` bytes of a buffer whose remaining bytes are all 0xEE,
// so any read past its end would bring 0xEE bytes into the result.
struct Guarded {
    explicit Guarded(const QByteArray& visible) : Bytes(visible + QByteArray(64, '\xEE')), Size(visible.size()) {}
    TByteReader Reader() const { return TByteReader(Bytes.constData(), Size); }
    QByteArray Bytes;
    qsizetype Size;
};

using ReadStep = std::function<QByteArray(TByteReader&)>;  // what the step read, as bytes

QByteArray FromU32(uint32_t v) { return QByteArray::number(v, 16); }
}  // namespace

Q_DECLARE_METATYPE(ReadStep)

class TestBinary : public QObject {
    Q_OBJECT
private slots:
    void neverReadsPastTheEnd_data();
    void neverReadsPastTheEnd();
    void readsLittleEndian();
    void nameFields_data();
    void nameFields();
    void writersRoundTrip();
};

void TestBinary::neverReadsPastTheEnd_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<qsizetype>("startAt");
    QTest::addColumn<ReadStep>("step");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("fails");

    const ReadStep u32 = [](TByteReader& r) { return FromU32(r.U32()); };
    const ReadStep f32 = [](TByteReader& r) {
        const float f = r.F32();
        return QByteArray(reinterpret_cast<const char*>(&f), 4).toHex();
    };
    const ReadStep name8 = [](TByteReader& r) { return r.Name(8).toLatin1(); };
    const ReadStep bytes5 = [](TByteReader& r) {
        char b[5];
        std::memset(b, 'q', 5);
        r.Bytes(b, 5);
        return QByteArray(b, 5).toHex();
    };
    const ReadStep skipThenU32 = [](TByteReader& r) {
        r.Skip(2);
        return FromU32(r.U32());
    };

    const QByteArray abc("\x01\x02\x03", 3);
    QTest::newRow("u32 fits exactly") << QByteArray("\x01\x02\x03\x04", 4) << qsizetype(0) << u32 << FromU32(0x04030201) << false;
    QTest::newRow("u32 one byte short") << abc << qsizetype(0) << u32 << FromU32(0) << true;
    QTest::newRow("u32 at the end") << QByteArray("\x01\x02\x03\x04", 4) << qsizetype(4) << u32 << FromU32(0) << true;
    QTest::newRow("u32 of empty") << QByteArray() << qsizetype(0) << u32 << FromU32(0) << true;
    QTest::newRow("f32 short") << abc << qsizetype(1) << f32 << QByteArray("00000000") << true;
    QTest::newRow("name reaches the end") << QByteArray("abcdefgh") << qsizetype(0) << name8 << QByteArray("abcdefgh") << false;
    QTest::newRow("name one byte short") << QByteArray("abcdefg") << qsizetype(0) << name8 << QByteArray() << true;
    QTest::newRow("name short after seek") << QByteArray("abcdefghij") << qsizetype(4) << name8 << QByteArray() << true;
    QTest::newRow("bytes short are zeroed") << abc << qsizetype(0) << bytes5 << QByteArray("0000000000") << true;
    QTest::newRow("bytes fit") << QByteArray("abcdefg") << qsizetype(2) << bytes5 << QByteArray("cdefg").toHex() << false;
    QTest::newRow("skip then short read") << QByteArray("abcde") << qsizetype(0) << skipThenU32 << FromU32(0) << true;
    QTest::newRow("skip past the end") << abc << qsizetype(2) << skipThenU32 << FromU32(0) << true;
}

void TestBinary::neverReadsPastTheEnd()
{
    QFETCH(QByteArray, data);
    QFETCH(qsizetype, startAt);
    QFETCH(ReadStep, step);
    QFETCH(QByteArray, expected);
    QFETCH(bool, fails);
    const Guarded g(data);
    TByteReader r = g.Reader();
    r.Seek(startAt);
    QVERIFY(!r.Failed());
    QCOMPARE(step(r), expected);
    QCOMPARE(r.Failed(), fails);
    QVERIFY(r.Pos() >= 0 && r.Pos() <= r.Size());
    if (fails) {
        // Once failed, everything further reads as nothing.
        QCOMPARE(r.Remaining(), qsizetype(0));
        QCOMPARE(r.U32(), 0u);
        QVERIFY(r.Name(1).isEmpty());
    }
}

void TestBinary::readsLittleEndian()
{
    const Guarded g(QByteArray("\xff\xff\xff\xff\x00\x00\x80\x3f\x00\x00\x00\x80", 12));
    TByteReader r = g.Reader();
    QCOMPARE(r.I32(), -1);
    QCOMPARE(r.F32(), 1.0f);
    QCOMPARE(r.U32(), 0x80000000u);
    QVERIFY(!r.Failed());
    QCOMPARE(r.Remaining(), qsizetype(0));

    // Bad positions and sizes fail instead of moving outside the buffer.
    for (qsizetype bad : {qsizetype(-1), qsizetype(13), std::numeric_limits<qsizetype>::max()}) {
        TByteReader s = g.Reader();
        s.Seek(bad);
        QVERIFY(s.Failed());
        QCOMPARE(s.Pos(), s.Size());
    }
    for (qsizetype bad : {qsizetype(-1), qsizetype(13), std::numeric_limits<qsizetype>::max(),
                          std::numeric_limits<qsizetype>::min()}) {
        TByteReader s = g.Reader();
        s.Skip(1);
        s.Skip(bad);
        QVERIFY(s.Failed());
        QVERIFY(!s.Has(bad));
        char out[1] = {'k'};
        QVERIFY(!g.Reader().Bytes(out, -1));  // negative sizes copy nothing
        QCOMPARE(out[0], 'k');
    }
}

void TestBinary::nameFields_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QString>("name");
    QTest::newRow("terminated, junk after") << QByteArray("arm\0zzzz", 8) << "arm";
    QTest::newRow("fills the field") << QByteArray("abcdefgh") << "abcdefgh";
    QTest::newRow("empty") << QByteArray(8, '\0') << "";
    QTest::newRow("latin-1") << QByteArray("Kn\xe9\xdf\0\0\0\0", 8) << QString::fromLatin1("Kn\xe9\xdf");
}

void TestBinary::nameFields()
{
    QFETCH(QByteArray, field);
    QFETCH(QString, name);
    const Guarded g(field + "tail");
    TByteReader r = g.Reader();
    QCOMPARE(r.Name(8), name);
    QCOMPARE(r.Pos(), qsizetype(8));  // the whole field is consumed

    // Written back: the name, then zeros up to the width; a longer name is cut.
    QByteArray out;
    Binary::PutName(out, name, 8);
    QCOMPARE(out.size(), qsizetype(8));
    QCOMPARE(TByteReader(out).Name(8), name);
    QCOMPARE(out.mid(name.size()), QByteArray(8 - name.size(), '\0'));
}

void TestBinary::writersRoundTrip()
{
    QByteArray out;
    Binary::PutI32(out, -2);
    Binary::PutU32(out, 0x01020304u);
    Binary::PutF32(out, -0.f);
    Binary::PutName(out, QString::fromLatin1("a much longer name\xe9"), 6);
    QCOMPARE(out, QByteArray("\xfe\xff\xff\xff\x04\x03\x02\x01\x00\x00\x00\x80" "a much", 18));
    TByteReader r(out);
    QCOMPARE(r.I32(), -2);
    QCOMPARE(r.U32(), 0x01020304u);
    const float z = r.F32();
    QVERIFY(z == 0 && std::signbit(z));
    QCOMPARE(r.Name(6), QString("a much"));
    QVERIFY(!r.Failed());
}

TORVANE_TEST(TestBinary)
#include "TestBinary.moc"
