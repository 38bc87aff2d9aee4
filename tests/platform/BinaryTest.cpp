#include "platform/Binary.h"
#include "support/TestMain.h"

#include <QTest>
#include <limits>

class BinaryTest : public QObject {
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

    // Seeks and skips outside the buffer fail and leave the reader at its end.
    void refusesBadMoves()
    {
        const QByteArray bytes(24, 'b');
        for (qsizetype bad :
             {qsizetype(-1), qsizetype(25), std::numeric_limits<qsizetype>::max(), std::numeric_limits<qsizetype>::min()}) {
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

TORVANE_TEST(BinaryTest)
#include "BinaryTest.moc"
