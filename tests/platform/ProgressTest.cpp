// Progress of long work: coarse, rising reports of the whole through its parts, and a
// cancel that a write honours up to the moment its file replaces the target.
#include "platform/FileUtil.h"
#include "platform/Progress.h"
#include "support/TestMain.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {
QStringList Entries(const QTemporaryDir& dir)
{
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}
}  // namespace

class ProgressTest : public QObject {
    Q_OBJECT
private slots:
    // Work in parts, each advancing in many small steps, reaches the receiver as a few
    // dozen rising fractions of the whole that end at 1 exactly once.
    void reportsAreCoarseAndRise_data()
    {
        QTest::addColumn<QList<double>>("parts");  // the stretches' ends, from 0
        QTest::addColumn<int>("steps");  // Advance calls per stretch
        QTest::newRow("one part") << QList<double>{1} << 100000;
        QTest::newRow("a read, then proxies") << QList<double>{0.9, 1} << 1000;
        QTest::newRow("uneven") << QList<double>{0.01, 0.02, 0.5, 1} << 7;
        QTest::newRow("one step each") << QList<double>{0.5, 1} << 1;
    }
    void reportsAreCoarseAndRise()
    {
        QFETCH(QList<double>, parts);
        QFETCH(int, steps);
        QList<double> seen;
        TProgress p([&seen](double f) { seen << f; });
        double from = 0;
        for (double to : parts) {
            p.SetPart(from, to);
            for (int i = 0; i <= steps; ++i)
                QVERIFY(p.Advance(i, steps));
            from = to;
        }
        QVERIFY(!seen.isEmpty());
        QVERIFY2(seen.size() <= TProgress::Steps + 1, qPrintable(QString::number(seen.size())));
        for (qsizetype i = 1; i < seen.size(); ++i)
            QVERIFY2(seen[i] > seen[i - 1], qPrintable(QStringLiteral("report %1 does not rise").arg(i)));
        QCOMPARE(seen.last(), 1.0);
        QCOMPARE(seen.count(1.0), 1);
        QCOMPARE(p.Fraction(), 1.0);
        // Going over a finished part again says nothing more.
        p.SetPart(0, 0.5);
        p.Advance(1, 2);
        QCOMPARE(seen.last(), 1.0);
    }

    // Counts beyond the total, below 0 or without a total never report past the part.
    void oddCountsStayInTheirPart()
    {
        QList<double> seen;
        TProgress p([&seen](double f) { seen << f; });
        p.SetPart(0.2, 0.4);
        p.Advance(-5, 10);
        p.Advance(50, 10);
        p.Advance(3, 0);
        p.Advance(3, -1);
        QCOMPARE(seen, (QList<double>{0.2, 0.4}));  // the part begins where it is set
        QVERIFY(!Cancelled(nullptr));
        QVERIFY(Advance(nullptr, 1, 2));
    }

    // A write cancelled at any point before its file takes the target's place leaves the
    // target as it was and no temporary file behind; cancelled after the rename, the write
    // stands. The writer reports its bytes of those expected.
    void cancelledWriteKeepsTheTarget_data()
    {
        QTest::addColumn<int>("cancelAfter");  // bytes written before the cancel; -1: after Commit
        QTest::addColumn<bool>("written");
        QTest::newRow("before the first byte") << 0 << false;
        QTest::newRow("midway") << 300000 << false;
        QTest::newRow("everything written, not committed") << 1000000 << false;
        QTest::newRow("after the rename") << -1 << true;
    }
    void cancelledWriteKeepsTheTarget()
    {
        QFETCH(int, cancelAfter);
        QFETCH(bool, written);
        QTemporaryDir dir;
        const QString target = QDir(dir.path()).filePath("walk.rtm");
        QVERIFY(WriteFileAtomic(target, "the file before"));
        const QByteArray chunk(1000, 'x');
        QList<double> seen;
        TProgress p([&seen](double f) { seen << f; });
        bool committed = false;
        {
            TAtomicFileWriter out(target);
            out.SetProgress(&p, 1000000);
            for (int n = 0; n < 1000000; n += int(chunk.size())) {
                if (n == cancelAfter)
                    p.Cancel();
                out.Write(chunk);
            }
            if (cancelAfter == 1000000)
                p.Cancel();
            committed = out.Commit();
            if (cancelAfter < 0)
                p.Cancel();
            QCOMPARE(out.Cancelled(), !written);
            if (!written)
                QCOMPARE(out.Error(), SystemErrorText(ECANCELED));
        }
        QCOMPARE(committed, written);
        QByteArray now;
        QVERIFY(ReadWholeFile(target, now));
        QCOMPARE(now.size(), written ? 1000000 : 15);
        QCOMPARE(Entries(dir), QStringList{"walk.rtm"});
        QCOMPARE(TempFilesRegisteredForSignals(), 0);
        for (qsizetype i = 1; i < seen.size(); ++i)
            QVERIFY(seen[i] > seen[i - 1]);
        if (written)
            QCOMPARE(seen.last(), 1.0);
    }
};

TORVANE_TEST(ProgressTest)
#include "ProgressTest.moc"
