// Long work on a worker thread as the window runs it: while it runs no input but Escape
// reaches the window, the held timers rest, and the status bar's indicator shows only once
// the work has run for the delay. The work here waits for the test, and the indicator's
// clock is the test's, so nothing depends on how fast the machine is.
#include "support/TestMain.h"
#include "widgets/LongWork.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <atomic>
#include <stdexcept>
#include <thread>

namespace {
// A window with something for every kind of input, and the indicator.
struct TWindow {
    QWidget W;
    QLineEdit* Edit = new QLineEdit(&W);
    QPushButton* Button = new QPushButton(QStringLiteral("Go"), &W);
    QSpinBox* Spin = new QSpinBox(&W);
    QAction* Undo = new QAction(QStringLiteral("Undo"), &W);
    TLongWork* Work = new TLongWork(&W);
    QTimer Playback;
    qint64 Now = 0;  // the indicator's clock
    int Asked = 0;  // how often the indicator looked at it

    TWindow()
    {
        auto* column = new QVBoxLayout(&W);
        for (QWidget* w : std::initializer_list<QWidget*>{Edit, Button, Spin, Work})
            column->addWidget(w);
        Spin->setRange(0, 100);
        Undo->setShortcut(QKeySequence::Undo);
        W.addAction(Undo);
        Playback.setInterval(1000);
        Work->Hold(&Playback);
        Work->Elapsed = [this] {
            ++Asked;
            return Now;
        };
        W.resize(300, 200);
        W.show();
    }
    QLabel* Text() const { return Work->findChild<QLabel*>(QStringLiteral("LongWorkText")); }
    QProgressBar* Bar() const { return Work->findChild<QProgressBar*>(QStringLiteral("LongWorkBar")); }
    // What the user did so far, as the window shows it.
    QString Seen() const
    {
        return QStringLiteral("%1|%2|%3").arg(Edit->text()).arg(Spin->value()).arg(W.isVisible() ? "open" : "closed");
    }
};

// Work of a few megabytes that reports half of it done and then waits until it is let go
// or cancelled.
struct TWaitingWork {
    std::atomic<bool> Go{false};
    std::atomic<bool> OnWorker{false};
    const std::thread::id MainThread = std::this_thread::get_id();
    TLongTask Task{QStringLiteral("Loading big.p3d..."), 8 << 20, [this](TProgress* progress) {
                       OnWorker = std::this_thread::get_id() != MainThread;
                       Advance(progress, 1, 2);
                       while (!Go && !Cancelled(progress))
                           std::this_thread::yield();
                       return !Cancelled(progress);
                   }};
};

// Lets the work go however the test inside the wait ends.
struct TRelease {
    TWaitingWork& Work;
    ~TRelease() { Work.Go = true; }
};
}  // namespace

class LongWorkTest : public QObject {
    Q_OBJECT
private slots:
    // While the work runs, typing, a shortcut, a click, the wheel and closing the window do
    // nothing; the indicator stays hidden until the clock reaches the delay and then shows
    // the task and how far it is. Escape cancels and says so; without it the work ends
    // and the indicator goes. Once the event loop is back input reaches the window again,
    // and the held timer runs again.
    void inputWaitsAndEscapeCancels_data()
    {
        QTest::addColumn<qint64>("clockAtEnd");  // the indicator's clock when the work ends
        QTest::addColumn<bool>("escape");
        QTest::newRow("Escape after the delay") << qint64(500) << true;
        QTest::newRow("Escape before the delay") << qint64(499) << true;
        QTest::newRow("done after the delay") << qint64(5000) << false;
        QTest::newRow("done before the delay") << qint64(0) << false;
    }
    void inputWaitsAndEscapeCancels()
    {
        QFETCH(qint64, clockAtEnd);
        QFETCH(bool, escape);
        TWindow w;
        QVERIFY(QTest::qWaitForWindowExposed(&w.W));
        w.Playback.start();
        QSignalSpy clicked(w.Button, &QPushButton::clicked), undone(w.Undo, &QAction::triggered);
        TWaitingWork work;
        bool inside = false;
        QTimer::singleShot(0, &w.W, [&] {
            const TRelease release{work};
            inside = true;
            QVERIFY(!w.Playback.isActive());
            // Short of the delay the indicator stays away, however often it looks.
            w.Now = 499;
            const int asked = w.Asked;
            QTRY_VERIFY(w.Asked >= asked + 2);
            QVERIFY(!w.Work->isVisible());

            QTest::keyClicks(w.Edit, QStringLiteral("abc"));
            QTest::keyClick(&w.W, Qt::Key_Z, Qt::ControlModifier);
            QTest::mouseClick(w.Button, Qt::LeftButton);
            const QPoint at = w.Spin->rect().center();
            QWheelEvent wheel(at, w.Spin->mapToGlobal(at), {}, QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                              false);
            QApplication::sendEvent(w.Spin, &wheel);
            w.W.close();
            QCoreApplication::processEvents();
            QCOMPARE(w.Seen(), QStringLiteral("|0|open"));
            QCOMPARE(clicked.size(), 0);
            QCOMPARE(undone.size(), 0);

            w.Now = clockAtEnd;
            if (clockAtEnd >= 500) {
                QTRY_VERIFY(w.Work->isVisible());
                QCOMPARE(w.Text()->text(), work.Task.Text);
                QCOMPARE(w.Bar()->value(), w.Bar()->maximum() / 2);
            } else {
                const int now = w.Asked;
                QTRY_VERIFY(w.Asked >= now + 2);
                QVERIFY(!w.Work->isVisible());
            }
            if (escape)
                QTest::keyClick(w.Edit, Qt::Key_Escape);
        });
        const bool done = w.Work->Run(work.Task);
        QVERIFY(inside);
        QVERIFY(work.OnWorker);
        QCOMPARE(done, !escape);
        QCOMPARE(w.Work->isVisible(), escape);
        if (escape) {
            QCOMPARE(w.Text()->text(), QStringLiteral("Cancelled"));
            QVERIFY(!w.Bar()->isVisible());
        }
        QVERIFY(!w.Work->Running());
        QVERIFY(w.Playback.isActive());
        // Input while the caller finishes the operation, before the event loop is back,
        // was meant for the wait too.
        QTest::keyClicks(w.Edit, QStringLiteral("y"));
        QTest::mouseClick(w.Button, Qt::LeftButton);
        QCOMPARE(w.Seen(), QStringLiteral("|0|open"));
        QCoreApplication::processEvents();
        QTest::keyClicks(w.Edit, QStringLiteral("x"));
        QTest::mouseClick(w.Button, Qt::LeftButton);
        QCOMPARE(w.Seen(), QStringLiteral("x|0|open"));
        QCOMPARE(clicked.size(), 1);
    }

    // Small work, and any work while the window is not on the screen, runs in place as it
    // always did: on the calling thread, nobody asking how far it is.
    void smallOrHiddenWorkRunsInPlace_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("inPlace");
        QTest::newRow("just under the threshold") << qint64((1 << 20) - 1) << true << true;
        QTest::newRow("at the threshold") << qint64(1 << 20) << true << false;
        QTest::newRow("big, window hidden") << qint64(8 << 20) << false << true;
    }
    void smallOrHiddenWorkRunsInPlace()
    {
        QFETCH(qint64, bytes);
        QFETCH(bool, shown);
        QFETCH(bool, inPlace);
        TWindow w;
        if (shown)
            QVERIFY(QTest::qWaitForWindowExposed(&w.W));
        else
            w.W.hide();
        std::thread::id ranOn;
        bool asked = true;
        const TLongTask task{QStringLiteral("Saving..."), bytes, [&](TProgress* progress) {
                                 ranOn = std::this_thread::get_id();
                                 asked = progress != nullptr;
                                 return true;
                             }};
        QVERIFY(w.Work->Run(task));
        QCOMPARE(ranOn == std::this_thread::get_id(), inPlace);
        QCOMPARE(asked, !inPlace);
        QVERIFY(!w.Work->isVisible());
    }

    // A failure on the worker reaches the caller as it would in place, and the window takes
    // input again.
    void failureOnTheWorkerReachesTheCaller()
    {
        TWindow w;
        QVERIFY(QTest::qWaitForWindowExposed(&w.W));
        const TLongTask task{QStringLiteral("Exporting..."), 8 << 20,
                             [](TProgress*) -> bool { throw std::runtime_error("disk gone"); }};
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, w.Work->Run(task));
        QVERIFY(!w.Work->Running());
        QCoreApplication::processEvents();
        QTest::keyClicks(w.Edit, QStringLiteral("x"));
        QCOMPARE(w.Edit->text(), QStringLiteral("x"));
    }
};

TORVANE_TEST(LongWorkTest)
#include "LongWorkTest.moc"
