// The frame timer window driven with real mouse events on its chart, its buttons and its
// menu, on a controller of its own. The operations' results are the frame timing's tests.
#include "anim/AnimController.h"
#include "filebuild/P3dBuilder.h"  // WriteBytesFile
#include "filebuild/RtmBuilder.h"
#include "support/ScriptedDialogs.h"
#include "support/TestMain.h"
#include "support/TestTable.h"
#include "app/FrameTimer.h"
#include "widgets/Chart.h"

#include <QApplication>
#include <QLabel>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <cmath>

namespace {
using FloatList = QList<float>;
const FloatList Six{0, 0.2f, 0.4f, 0.6f, 0.8f, 1};

// Frames at Six, each carrying its first index in entry 0 (translation x).
struct Timer {
    ScriptedDialogs Dialogs;
    QTemporaryDir Dir;
    TAnimController Anim;
    TF_FrameManipulator Window{Anim, nullptr};

    Timer()
    {
        RtmBuild::TFile file;
        file.Names = {"arm"};
        for (qsizetype i = 0; i < Six.size(); ++i)
            file.Frames.push_back({Six[i], {{"arm", {1, 0, 0, 0, 1, 0, 0, 0, 1, float(i), 0, 0}}}});
        const QString path = Dir.filePath(QStringLiteral("six.rtm"));
        if (!WriteBytesFile(path, RtmBuild::Build(file)) || !Anim.LoadAnimation(path).isEmpty())
            qWarning("six frames not loaded");
        Window.show();
        if (!QTest::qWaitForWindowExposed(&Window))
            qWarning("frame timer not exposed");
    }
    TChart& Chart() { return *Window.RChart; }
    int Items() { return int(Chart().Items().Items().size()); }
    QPoint Mark(int i) { return Chart().ChartToPixel(i, Anim.Doc.AnimFrames[size_t(i)].Time).toPoint(); }
    void Select(int first, int last)
    {
        QTest::mouseClick(&Chart(), Qt::LeftButton, {}, Mark(first));
        QTest::mouseClick(&Chart(), Qt::LeftButton, Qt::ShiftModifier, Mark(last));
    }
    QString Selection() { return Window.StatusText(1).remove(QStringLiteral("Selected Frames: ")); }
    QString Ids()  // where each frame came from
    {
        QStringList ids;
        for (size_t i = 0; i < Anim.Doc.AnimFrames.size(); ++i)
            ids << QString::number(Anim.Doc.AnimFrames.Entries(i)[0].Matrix[9]);
        return ids.join(' ');
    }
};
}  // namespace

class FrameTimerFormTest : public QObject {
    Q_OBJECT
private slots:
    // A press and a release on the chart, on a fresh selection of frame 0 alone. Apart,
    // they select the marks inside the rectangle between them, whatever mark lies nearest
    // to the release; together they select the nearest mark within 10 pixels. Shift keeps
    // frame 0 and closes the gap to what is added. Selecting retimes nothing.
    void mouseSelects_data() { QVERIFY(AddTableRows("app/timer-mouse.table")); }
    void mouseSelects()
    {
        QFETCH(int, from);
        QFETCH(QPoint, fromOff);
        QFETCH(int, to);
        QFETCH(QPoint, toOff);
        QFETCH(bool, shift);
        const Qt::KeyboardModifiers mods = shift ? Qt::ShiftModifier : Qt::NoModifier;
        Timer t;
        const QPoint press = t.Mark(from) + fromOff, release = t.Mark(to) + toOff;
        QTest::mousePress(&t.Chart(), Qt::LeftButton, mods, press);
        if (press != release) {
            QTest::mouseMove(&t.Chart(), (press + release) / 2);
            QTest::mouseMove(&t.Chart(), release);
        }
        QTest::mouseRelease(&t.Chart(), Qt::LeftButton, mods, release);
        QTEST(t.Selection(), "selection");
        QTEST(t.Anim.Doc.ActAnimStep, "current");
        const auto times = t.Anim.Doc.AnimFrames.Times();
        QCOMPARE(FloatList(times.begin(), times.end()), Six);
    }

    // The selection decides which buttons act; the menu's keys select all and nothing;
    // Pan takes the mouse from the selection.
    void buttonsKeysAndModes()
    {
        Timer t;
        const auto enabled = [&t] {
            QString s;
            for (QWidget* b : {t.Window.B_Linearize, t.Window.B_Mirror, t.Window.B_Move, t.Window.B_Copy, t.Window.B_Trash,
                               t.Window.B_Flip, t.Window.B_FlipHalfCycle})
                s += b->isEnabled() ? '1' : '0';
            return s;
        };
        QCOMPARE(enabled(), QStringLiteral("0011111"));
        t.Select(1, 2);
        QCOMPARE(enabled(), QStringLiteral("0111111"));
        QTest::keyClick(&t.Window, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(t.Selection(), QStringLiteral("None"));
        QCOMPARE(enabled(), QStringLiteral("0000000"));
        QTest::keyClick(&t.Window, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(t.Selection(), QStringLiteral("0 - 5"));
        QCOMPARE(enabled(), QStringLiteral("1111111"));
        QTest::mouseClick(t.Window.AbColBitBtn3, Qt::LeftButton);
        QCOMPARE(t.Chart().MouseAction(), TChart::TMouseAction::Pan);
        t.Select(3, 3);
        QCOMPARE(t.Selection(), QStringLiteral("0 - 5"));
        QTest::mouseClick(t.Window.B_Select, Qt::LeftButton);
        t.Select(3, 3);
        QCOMPARE(t.Selection(), QStringLiteral("3 - 3"));
    }

    // The chart's keys: arrows select and show the frame, Shift extends, Ctrl+Up retimes
    // the selection as one step; outside Select mode they do nothing.
    void keysSelectAndRetime()
    {
        Timer t;
        int steps = 0;
        t.Anim.Recorded = [&steps](TAnimStep) { ++steps; };
        t.Chart().setFocus();
        QTest::keyClick(&t.Chart(), Qt::Key_Right);
        QTest::keyClick(&t.Chart(), Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(&t.Chart(), Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(t.Selection(), QStringLiteral("1 - 3"));
        QCOMPARE(t.Anim.Doc.ActAnimStep, 3);
        QTest::keyClick(&t.Chart(), Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(steps, 1);
        const FloatList up{0, 0.21f, 0.41f, 0.61f, 0.8f, 1};
        for (int i = 0; i < up.size(); ++i)
            QVERIFY2(std::abs(t.Anim.Doc.AnimFrames.Time(size_t(i)) - up[i]) < 1e-6f, qPrintable(QString::number(i)));
        QCOMPARE(t.Anim.Doc.ActAnimStep, 1);
        QTest::mouseClick(t.Window.AbColBitBtn4, Qt::LeftButton);
        t.Chart().setFocus();
        QTest::keyClick(&t.Chart(), Qt::Key_End);
        QCOMPARE(t.Selection(), QStringLiteral("1 - 3"));
    }

    // The buttons with their boxes and questions; a stopped or refused operation changes
    // nothing, a finished one says so and moves the selection along.
    void buttonsRunOperations_data() { QVERIFY(AddTableRows("app/timer-buttons.table")); }
    void buttonsRunOperations()
    {
        QFETCH(QString, button);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(QString, input);
        QFETCH(QString, ids);
        Timer t;
        t.Select(first, last);
        if (input == "Yes" || input == "No")
            t.Dialogs.Answers.enqueue(input == "Yes");
        else
            t.Dialogs.Inputs.enqueue(input == "-" ? QString() : input + "");  // "" not null: OK with nothing typed
        QTest::mouseClick(t.Window.findChild<QToolButton*>(button), Qt::LeftButton);
        QTEST(t.Dialogs.Messages, "messages");
        // Every prompt and message of the timer belongs to the timer window, whichever
        // window is active, so it opens in front of it.
        QVERIFY(!t.Dialogs.Owners.isEmpty());
        for (QWidget* owner : t.Dialogs.Owners)
            QCOMPARE(owner, &t.Window);
        QCOMPARE(t.Ids(), ids);
        QTEST(t.Selection(), "selection");
        QCOMPARE(t.Items(), t.Anim.Doc.FrameCount());  // the chart shows the document as it is now
    }

    // Frames deleted elsewhere: the selection keeps only what is still there.
    void selectionFollowsShrinkingFrames()
    {
        Timer t;
        t.Select(3, 5);
        t.Anim.SetActStep(0);
        QVERIFY(t.Anim.DeleteCurrentFrame().isEmpty());
        QVERIFY(t.Anim.DeleteCurrentFrame().isEmpty());
        QCOMPARE(t.Selection(), QStringLiteral("3 - 3"));
        QVERIFY(!t.Window.B_Mirror->isEnabled());
    }

    // The chart's hint shows whole in the hint panel.
    void hintPanelHoldsTheHint()
    {
        Timer t;
        QStatusTipEvent tip(t.Chart().statusTip());
        QApplication::sendEvent(&t.Window, &tip);
        const QLabel* panel = t.Window.findChild<QLabel*>(QStringLiteral("StatusPanel0"));
        QCOMPARE(panel->text(), t.Chart().statusTip());
        QVERIFY(panel->contentsRect().width() >= panel->fontMetrics().horizontalAdvance(panel->text()));
    }

    // A newly loaded animation is shown whole, even one as long as the zoomed one before.
    void loadShowsTheWholeAnimation()
    {
        Timer t;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("same.rtm"));
        QVERIFY(t.Anim.SaveAnimation(path).isEmpty());
        const TChartRange full = t.Chart().Range();
        QTest::mouseClick(t.Window.AbColBitBtn4, Qt::LeftButton);  // Zoom
        QTest::mousePress(&t.Chart(), Qt::LeftButton, {}, t.Mark(1) - QPoint(8, -8));
        QTest::mouseEvent(QTest::MouseMove, &t.Chart(), Qt::NoButton, {}, t.Mark(4) + QPoint(8, -8));
        QTest::mouseRelease(&t.Chart(), Qt::LeftButton, {}, t.Mark(4) + QPoint(8, -8));
        QVERIFY(t.Chart().Range().X2 - t.Chart().Range().X1 < full.X2 - full.X1);
        QVERIFY(t.Anim.LoadAnimation(path).isEmpty());
        QCOMPARE(QList<double>({t.Chart().Range().X1, t.Chart().Range().X2}), QList<double>({full.X1, full.X2}));
    }
};

TORVANE_TEST(FrameTimerFormTest)
#include "FrameTimerFormTest.moc"
