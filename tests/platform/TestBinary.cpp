#include "platform/Binary.h"
#include "support/TestMain.h"

#include <QTest>
#include <limits>

class TestBinary : public QObject {
    Q_OBJECT
private slots:
    void shortReadsFailAndReadNothing()
    {
        // Each reader sees only the first bytes of a buffer padded with 0xEE, so a read
        // past its end would bring 0xEE into the result.
        const QByteArray padded = QByteArray("abcdefgh") + QByteArray(64, '\xEE');
        auto first = [&](qsizetype n) { return TByteReader(padded.constData(), n); };
        TByteReader u32 = first(3), name = first(7), fits = first(8), bytes = first(3), skip = first(3);
        QCOMPARE(u32.U32(), 0u);
        QCOMPARE(name.Name(8), QString());
        QCOMPARE(fits.Name(8), QString("abcdefgh"));  // a name may fill its field
        QVERIFY(!fits.Failed());
        char out[5] = {'q', 'q', 'q', 'q', 'q'};
        QVERIFY(!bytes.Bytes(out, 5));
        QCOMPARE(QByteArray(out, 5), QByteArray(5, '\0'));
        skip.Skip(4);
        for (TByteReader* r : {&u32, &name, &bytes, &skip}) {  // once failed, everything further reads as nothing
            QVERIFY(r->Failed());
            QCOMPARE(r->Remaining(), qsizetype(0));
            QCOMPARE(r->U32(), 0u);
        }
    }

    void readsLittleEndianAndRefusesBadMoves()
    {
        const QByteArray bytes("\xff\xff\xff\xff\x00\x00\x80\x3f\x04\x03\x02\x81" "Kn\xe9\0zzzz\x05\0\0\0", 24);
        TByteReader r(bytes);
        QCOMPARE(r.I32(), -1);
        QCOMPARE(r.F32(), 1.0f);
        QCOMPARE(r.U32(), 0x81020304u);
        QCOMPARE(r.Name(8), QString::fromLatin1("Kn\xe9"));
        QCOMPARE(r.I32(), 5);  // the whole name field was consumed
        QVERIFY(!r.Failed());
        for (qsizetype bad : {qsizetype(-1), qsizetype(25), std::numeric_limits<qsizetype>::max(),
                              std::numeric_limits<qsizetype>::min()}) {
            TByteReader s(bytes), t(bytes);
            s.Seek(bad);
            t.Skip(1);
            QVERIFY(!t.Has(bad));
            t.Skip(bad);
            QVERIFY(s.Failed() && t.Failed() && s.Pos() == s.Size() && t.Pos() == t.Size());
        }
        char out[1] = {'k'};
        QVERIFY(!TByteReader(bytes).Bytes(out, -1));  // negative sizes copy nothing
        QCOMPARE(out[0], 'k');
    }
};

TORVANE_TEST(TestBinary)
#include "TestBinary.moc"
