// When autosave writes (on a clock the test drives), and how its writer hands copies to its
// thread: the newest copy wins, a save's removal comes after a write under way, and shutdown
// gives a write up without waiting for it to end.
#include "anim/Autosave.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QTest>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {
// A target that records what the writer's thread does with it; writes can be held until
// the test lets them go.
struct TTarget {
    std::mutex Mutex;
    std::condition_variable Changed;
    QStringList Done;  // "write 2", "remove"
    bool Held = false;  // writes wait while held
    bool Writing = false;  // a write has started and waits
    QString Failure;  // a write fails with this, when set

    TAutosaveWriter::TWrite Write()
    {
        return [this](const TAutosaveSnapshot& s, QString* error, const std::atomic<bool>* stop) {
            std::unique_lock<std::mutex> lock(Mutex);
            Writing = true;
            Changed.notify_all();
            // A real write sees the stop between frames; this one while it waits.
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (Held && !stop->load() && std::chrono::steady_clock::now() < until)
                Changed.wait_for(lock, std::chrono::milliseconds(2));
            const bool released = !Held || stop->load();
            Writing = false;
            const bool given = stop->load();
            Done << QStringLiteral("write %1%2").arg(s.Document.TotalMove[0]).arg(given ? " given up" : "");
            if (!released || given || !Failure.isEmpty()) {
                *error = released ? Failure : QStringLiteral("held too long");
                return false;
            }
            return true;
        };
    }
    TAutosaveWriter::TRemove Remove()
    {
        return [this] {
            const std::lock_guard<std::mutex> lock(Mutex);
            Done << QStringLiteral("remove");
        };
    }
    bool WaitWriting()
    {
        std::unique_lock<std::mutex> lock(Mutex);
        return Changed.wait_for(lock, std::chrono::seconds(20), [&] { return Writing; });
    }
    void Release()
    {
        const std::lock_guard<std::mutex> lock(Mutex);
        Held = false;
        Changed.notify_all();
    }
    QStringList Log()
    {
        const std::lock_guard<std::mutex> lock(Mutex);
        return Done;
    }
};

std::unique_ptr<TAutosaveSnapshot> Copy(float tag)
{
    auto s = std::make_unique<TAutosaveSnapshot>();
    s->Document.TotalMove[0] = tag;
    return s;
}
}  // namespace

class AutosaveTest : public QObject {
    Q_OBJECT
private slots:
    void schedule_data() { QVERIFY(AddTableRows("anim/autosave-schedule.table")); }
    void schedule()
    {
        QFETCH(int, interval);
        QFETCH(QString, events);
        QFETCH(QList<int>, copies);
        QFETCH(int, removals);
        TTarget target;
        TAutosaveWriter writer(target.Write(), target.Remove());
        qint64 now = 0;
        TAutosaveScheduler scheduler(writer, [&now] { return now; });
        scheduler.SetInterval(interval);
        bool unsaved = false;
        QList<int> asked;
        scheduler.Unsaved = [&unsaved] { return unsaved; };
        scheduler.Snapshot = [&](TAutosaveSnapshot&) {
            asked << int(now);
            return false;  // nothing to write: only when it is asked for counts here
        };
        for (const QString& e : events.split(' ', Qt::SkipEmptyParts)) {
            const QStringList due = e.mid(1).split('=');
            if (e[0] == 'u') {
                unsaved = due[0] == "1";
                continue;
            }
            now = due[0].toLongLong();
            switch (e[0].toLatin1()) {
            case 'c':
                scheduler.Changed();
                break;
            case 't':
                scheduler.Tick();
                break;
            case 'f':
                scheduler.FocusLost();
                break;
            case 's':
                scheduler.Saved();
                break;
            case '?':
                QVERIFY2(scheduler.MsUntilDue() == due.value(1).toLongLong(), qPrintable(e));
                break;
            default:
                QFAIL(qPrintable("unknown event " + e));
            }
            writer.WaitIdle();
        }
        QCOMPARE(asked, copies);
        QCOMPARE(target.Log().count("remove"), removals);
    }

    // A copy handed over while one is being written waits; a newer one replaces it. A save's
    // removal replaces what waits and comes after the write under way; a copy handed over
    // after the save replaces the removal in turn (it holds the newer state).
    void newestCopyReplacesOneWaiting_data()
    {
        QTest::addColumn<QString>("after");
        QTest::addColumn<QStringList>("done");
        QTest::addRow("two copies") << "" << QStringList({"write 1", "write 3"});
        QTest::addRow("then a save") << "save" << QStringList({"write 1", "remove"});
        QTest::addRow("then a save and an edit") << "save edit" << QStringList({"write 1", "write 4"});
    }
    void newestCopyReplacesOneWaiting()
    {
        QFETCH(QString, after);
        QFETCH(QStringList, done);
        TTarget target;
        target.Held = true;
        TAutosaveWriter writer(target.Write(), target.Remove());
        writer.Submit(Copy(1));
        QVERIFY(target.WaitWriting());
        writer.Submit(Copy(2));
        writer.Submit(Copy(3));
        if (after.contains("save"))
            writer.RemoveCopy();
        if (after.contains("edit"))
            writer.Submit(Copy(4));
        target.Release();
        writer.WaitIdle();
        QCOMPARE(target.Log(), done);
        QCOMPARE(writer.Written(), int(done.filter("write").size()));
    }

    // Shutdown does not wait for a write to end: it gives it up (the target sees the stop),
    // drops what waits, and removes the copy on a normal exit; later calls do nothing.
    void shutdownGivesUpTheWriteUnderWay()
    {
        for (const bool normal : {true, false}) {
            TTarget target;
            target.Held = true;
            TAutosaveWriter writer(target.Write(), target.Remove());
            writer.Submit(Copy(1));
            QVERIFY(target.WaitWriting());
            writer.Submit(Copy(2));
            writer.Shutdown(normal);
            const QStringList log = target.Log();
            QCOMPARE(log, normal ? QStringList({"write 1 given up", "remove"}) : QStringList({"write 1 given up"}));
            QCOMPARE(writer.LastError(), QString());
            writer.Submit(Copy(3));
            writer.RemoveCopy();
            writer.Shutdown(true);
            QCOMPARE(target.Log(), log);
        }
    }

    // A failed write is reported until one succeeds.
    void failureIsReportedUntilAWriteSucceeds()
    {
        TTarget target;
        target.Failure = "No space left on device";
        TAutosaveWriter writer(target.Write(), target.Remove());
        writer.Submit(Copy(1));
        writer.WaitIdle();
        QCOMPARE(std::pair(writer.Written(), writer.LastError()), std::pair(0, QString("No space left on device")));
        target.Failure.clear();
        writer.Submit(Copy(2));
        writer.WaitIdle();
        QCOMPARE(std::pair(writer.Written(), writer.LastError()), std::pair(1, QString()));
    }
};

TORVANE_TEST(AutosaveTest)
#include "AutosaveTest.moc"
