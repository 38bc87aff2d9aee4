// The frame timer window driven with real mouse events on its chart, its buttons and its
// menu, on a controller of its own.
#include "anim/AnimController.h"
#include "support/ScriptedDialogs.h"
#include "support/TestMain.h"
#include "view3d/Framemanipulator.h"
#include "widgets/Chart.h"

#include <QMouseEvent>
#include <QStatusTipEvent>
#include <QTest>
#include <QToolButton>
#include <cmath>

namespace {

using FloatList = QList<float>;
using IntList = QList<int>;

// A document whose frames carry their first index in entry 0 (translation x).
void Fill(TAnimController& anim, const FloatList& times)
{
    anim.ClearAnimation();
    anim.Doc.AnimSelections.Add(QStringLiteral("arm"));
    for (qsizetype i = 0; i < times.size(); ++i)
        anim.Doc.AnimFrames.push_back({true, times[i], {{0, {1, 0, 0, 0, 1, 0, 0, 0, 1, float(i), 0, 0}}}});
    anim.SetStepCount(int(times.size()));
    anim.ValidateFrames();
}

FloatList Times(const TAnimController& anim)
{
    FloatList t;
    for (const TAnimFrame& f : anim.Doc.AnimFrames)
        t << float(std::round(f.Time * 1e5) / 1e5);
    return t;
}

IntList Ids(const TAnimController& anim)
{
    IntList ids;
    for (const TAnimFrame& f : anim.Doc.AnimFrames)
        ids << int(f.Entries[0].Matrix[9]);
    return ids;
}

struct Timer {
    ScriptedDialogs Dialogs;
    TAnimController Anim;
    TF_FrameManipulator Window{Anim, nullptr};

    explicit Timer(const FloatList& times)
    {
        Fill(Anim, times);
        Window.show();
        if (!QTest::qWaitForWindowExposed(&Window))
            qWarning("frame timer not exposed");
    }
    TChart& Chart() { return *Window.RChart; }
    // The pixel of frame i's mark.
    QPoint Mark(int i) { return Chart().ChartToPixel(i, Anim.Doc.AnimFrames[size_t(i)].Time).toPoint(); }
    void Click(QPoint at, Qt::KeyboardModifiers mods = {}) { QTest::mouseClick(&Chart(), Qt::LeftButton, mods, at); }
    QString Selection() { return Window.StatusText(1); }
};

const FloatList Six{0, 0.2f, 0.4f, 0.6f, 0.8f, 1};

}  // namespace

class FrameTimerFormTest : public QObject {
    Q_OBJECT
private slots:
    // Clicks on the chart, the first one on a fresh selection of frame 0 alone.
    void clickSelectsNearestMark_data()
    {
        QTest::addColumn<int>("frame");     // the mark aimed at
        QTest::addColumn<QPoint>("offset");  // from it, in pixels
        QTest::addColumn<Qt::KeyboardModifiers>("mods");
        QTest::addColumn<QString>("selection");
        QTest::addColumn<int>("current");
        QTest::newRow("on the mark") << 3 << QPoint(0, 0) << Qt::KeyboardModifiers() << "Selected Frames: 3 - 3" << 3;
        QTest::newRow("9 pixels off") << 2 << QPoint(0, 9) << Qt::KeyboardModifiers() << "Selected Frames: 2 - 2" << 2;
        QTest::newRow("6 and 7 pixels off") << 4 << QPoint(-6, 7) << Qt::KeyboardModifiers() << "Selected Frames: 4 - 4" << 4;
        QTest::newRow("11 pixels off") << 2 << QPoint(0, 11) << Qt::KeyboardModifiers() << "Selected Frames: None" << 0;
        // Shift keeps frame 0 and closes the gap up to the frame added.
        QTest::newRow("shift adds") << 4 << QPoint(0, 0) << Qt::KeyboardModifiers(Qt::ShiftModifier) << "Selected Frames: 0 - 4" << 0;
        QTest::newRow("shift far off keeps") << 4 << QPoint(0, 30) << Qt::KeyboardModifiers(Qt::ShiftModifier) << "Selected Frames: 0 - 0" << 0;
    }
    void clickSelectsNearestMark()
    {
        QFETCH(int, frame);
        QFETCH(QPoint, offset);
        QFETCH(Qt::KeyboardModifiers, mods);
        QFETCH(QString, selection);
        QFETCH(int, current);
        Timer t(Six);
        QCOMPARE(t.Selection(), QStringLiteral("Selected Frames: 0 - 0"));
        t.Click(t.Mark(frame) + offset, mods);
        QCOMPARE(t.Selection(), selection);
        QCOMPARE(t.Anim.Doc.ActAnimStep, current);
        QCOMPARE(Times(t.Anim), Six);  // a click retimes nothing
        QVERIFY(t.Dialogs.Messages.isEmpty());
    }

    // A press, moves and a release: the rectangle selects the marks inside it, whatever
    // mark lies nearest to the release.
    void rectangleSelects_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<Qt::KeyboardModifiers>("mods");
        QTest::addColumn<QString>("selection");
        QTest::newRow("frames 1 to 3") << 1 << 3 << Qt::KeyboardModifiers() << "Selected Frames: 1 - 3";
        QTest::newRow("backwards") << 4 << 2 << Qt::KeyboardModifiers() << "Selected Frames: 2 - 4";
        QTest::newRow("shift keeps frame 0") << 3 << 4 << Qt::KeyboardModifiers(Qt::ShiftModifier) << "Selected Frames: 0 - 4";
    }
    void rectangleSelects()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(Qt::KeyboardModifiers, mods);
        QFETCH(QString, selection);
        Timer t(Six);
        const int items = int(t.Chart().Items().Items().size());
        // From just outside the first mark to just outside the last, diagonally.
        const int sx = to > from ? 1 : -1;
        const QPoint press = t.Mark(from) + QPoint(-4 * sx, 4 * sx);
        const QPoint release = t.Mark(to) + QPoint(5 * sx, -5 * sx);
        QTest::mousePress(&t.Chart(), Qt::LeftButton, mods, press);
        QTest::mouseMove(&t.Chart(), release - QPoint(sx, -sx));
        QVERIFY(t.Window.BandShown);
        QCOMPARE(int(t.Chart().Items().Items().size()), items + 5);
        QTest::mouseMove(&t.Chart(), release);
        QCOMPARE(int(t.Chart().Items().Items().size()), items + 5);  // the old rectangle went
        QTest::mouseRelease(&t.Chart(), Qt::LeftButton, mods, release);
        QVERIFY(!t.Window.BandShown);
        QCOMPARE(t.Selection(), selection);
        QCOMPARE(int(t.Chart().Items().Items().size()), items);
        QCOMPARE(t.Anim.Doc.ActAnimStep, t.Window.SelFirst);
    }

    // Ctrl-drag retimes the selection; the document changes on release, in order.
    void ctrlDragRetimesInOrder_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<double>("dy");  // in chart units, up
        QTest::addColumn<FloatList>("times");
        QTest::addColumn<bool>("exact");  // false: the pointer's whole pixels blur the move
        QTest::newRow("up a little") << 2 << 3 << 0.05 << FloatList{0, 0.2f, 0.45f, 0.65f, 0.8f, 1} << false;
        // Pulled below frame 1: each item (line and mark) lands 0.0001 above the one before.
        QTest::newRow("below the predecessor") << 2 << 3 << -0.5 << FloatList{0, 0.2f, 0.2002f, 0.2004f, 0.8f, 1} << true;
        QTest::newRow("past the end") << 3 << 3 << 0.5 << FloatList{0, 0.2f, 0.4f, 1, 1, 1} << true;
        // The first and the last frame stay where they are.
        QTest::newRow("everything") << 0 << 5 << 0.1 << FloatList{0, 0.3f, 0.5f, 0.7f, 0.9f, 1} << false;
    }
    void ctrlDragRetimesInOrder()
    {
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(double, dy);
        QFETCH(FloatList, times);
        QFETCH(bool, exact);
            Timer t(Six);
        t.Click(t.Mark(first));
        if (last != first)
            t.Click(t.Mark(last), Qt::ShiftModifier);
        QCOMPARE(t.Selection(), QStringLiteral("Selected Frames: %1 - %2").arg(first).arg(last));
        const QPoint from = t.Mark(first);
        const QPointF world = t.Chart().PixelToChart(from);
        const QPoint to = t.Chart().ChartToPixel(world.x(), world.y() + dy).toPoint();
        const double pixel = t.Chart().PixelToChart(QPointF(0, 0)).y() - t.Chart().PixelToChart(QPointF(0, 1)).y();
        QTest::mousePress(&t.Chart(), Qt::LeftButton, Qt::ControlModifier, from);
        // QTest::mouseMove carries no modifiers: the moves say that Ctrl is held.
        QTest::mouseEvent(QTest::MouseMove, &t.Chart(), Qt::NoButton, Qt::ControlModifier, (from + to) / 2);
        QTest::mouseEvent(QTest::MouseMove, &t.Chart(), Qt::NoButton, Qt::ControlModifier, to);
        QCOMPARE(Times(t.Anim), Six);  // nothing written before the release
        QTest::mouseRelease(&t.Chart(), Qt::LeftButton, Qt::ControlModifier, to);
        const FloatList got = Times(t.Anim);
        const double tolerance = exact ? 2e-5 : 1.5 * pixel;
        QCOMPARE(got.size(), times.size());
        for (qsizetype i = 0; i < got.size(); ++i)
            QVERIFY2(std::fabs(got[i] - times[i]) <= tolerance,
                     qPrintable(QStringLiteral("frame %1: %2, want %3").arg(i).arg(got[i]).arg(times[i])));
        for (qsizetype i = 1; i < got.size(); ++i)
            QVERIFY(times[i] > times[i - 1] ? got[i] > got[i - 1] : got[i] == got[i - 1]);
        QCOMPARE(t.Anim.Doc.ActAnimStep, first);
        QVERIFY(t.Dialogs.Messages.isEmpty());
    }

    // The selection decides which buttons act; the menu selects all and nothing.
    void buttonsFollowSelection()
    {
        Timer t(Six);
        const auto enabled = [&t] {
            return QList<bool>{t.Window.B_Linearize->isEnabled(), t.Window.B_Mirror->isEnabled(), t.Window.B_Move->isEnabled(),
                               t.Window.B_Copy->isEnabled(), t.Window.B_Trash->isEnabled()};
        };
        QCOMPARE(enabled(), (QList<bool>{false, false, true, true, true}));
        t.Click(t.Mark(1));
        t.Click(t.Mark(2), Qt::ShiftModifier);
        QCOMPARE(enabled(), (QList<bool>{false, true, true, true, true}));
        t.Click(t.Mark(3), Qt::ShiftModifier);
        QCOMPARE(enabled(), (QList<bool>{true, true, true, true, true}));
        QTest::keyClick(&t.Window, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(t.Selection(), QStringLiteral("Selected Frames: None"));
        QCOMPARE(enabled(), (QList<bool>{false, false, false, false, false}));
        QTest::keyClick(&t.Window, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(t.Selection(), QStringLiteral("Selected Frames: 0 - 5"));
        // Every frame's items are drawn yellow now, none before Select All.
        int tagged = 0;
        for (const TChartItem& it : t.Chart().Items().Items())
            tagged += it.Class == TF_FrameManipulator::SelectedClass;
        QCOMPARE(tagged, 11);  // all but frame 0's move-to
        // A hint over a button lands in the first panel.
        QStatusTipEvent tip(t.Window.B_Mirror->statusTip());
        QCoreApplication::sendEvent(t.Window.B_Mirror, &tip);
        QCOMPARE(t.Window.StatusText(0), QStringLiteral("Mirror Frames"));
        const QPoint over = t.Mark(4) + QPoint(20, 0);
        QMouseEvent hover(QEvent::MouseMove, over, t.Chart().mapToGlobal(over), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&t.Chart(), &hover);
        QCOMPARE(t.Window.StatusText(2), QStringLiteral("Over Timestep:4"));
    }

    // The buttons with their boxes and questions; a stopped or refused operation changes
    // nothing, a finished one says so and moves the selection along.
    void buttonsRunOperations_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<QString>("input");  // the box's answer, or Yes/No for the question
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<IntList>("ids");
        QTest::addColumn<QString>("selection");
        const IntList same{0, 1, 2, 3, 4, 5};
        QTest::newRow("move later") << "B_Move" << 1 << 2 << "4" << QStringList{"Finished Move operation"} << IntList{0, 3, 4, 1, 2, 5} << "Selected Frames: 3 - 4";
        QTest::newRow("move inside") << "B_Move" << 1 << 3 << "2" << QStringList{"Can't move inside selected Frames!"} << same << "Selected Frames: 1 - 3";
        QTest::newRow("move nowhere") << "B_Move" << 1 << 3 << "x" << QStringList{"Invalid Frame!"} << same << "Selected Frames: 1 - 3";
        QTest::newRow("move cancelled") << "B_Move" << 1 << 3 << "" << QStringList{} << same << "Selected Frames: 1 - 3";
        QTest::newRow("copy to the end") << "B_Copy" << 1 << 2 << "6" << QStringList{"Finished Copy operation"} << IntList{0, 1, 2, 3, 4, 5, 1, 2} << "Selected Frames: 6 - 7";
        QTest::newRow("copy beyond") << "B_Copy" << 1 << 2 << "7" << QStringList{"Invalid Frame!"} << same << "Selected Frames: 1 - 2";
        QTest::newRow("mirror") << "B_Mirror" << 1 << 3 << "" << QStringList{"Finished Mirror operation"} << IntList{0, 3, 2, 1, 4, 5} << "Selected Frames: 1 - 3";
        QTest::newRow("delete yes") << "B_Trash" << 1 << 2 << "Yes" << QStringList{} << IntList{0, 3, 4, 5} << "Selected Frames: None";
        QTest::newRow("delete no") << "B_Trash" << 1 << 2 << "No" << QStringList{} << same << "Selected Frames: 1 - 2";
        QTest::newRow("delete to one") << "B_Trash" << 0 << 4 << "Yes" << QStringList{"Only two Animsteps left!"} << same << "Selected Frames: 0 - 4";
    }
    void buttonsRunOperations()
    {
        QFETCH(QString, button);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(QString, input);
        QFETCH(QStringList, messages);
        QFETCH(IntList, ids);
        QFETCH(QString, selection);
        Timer t(Six);
        t.Click(t.Mark(first));
        t.Click(t.Mark(last), Qt::ShiftModifier);
        const FloatList before = Times(t.Anim);
        if (input == QLatin1String("Yes") || input == QLatin1String("No"))
            t.Dialogs.Answers.enqueue(input == QLatin1String("Yes"));
        else
            t.Dialogs.Inputs.enqueue(input);
        QTest::mouseClick(t.Window.findChild<QToolButton*>(button), Qt::LeftButton);
        QCOMPARE(t.Dialogs.Messages, messages);
        QCOMPARE(Ids(t.Anim), ids);
        QCOMPARE(t.Selection(), selection);
        if (ids.size() == 6 && ids == IntList({0, 1, 2, 3, 4, 5}))
            QCOMPARE(Times(t.Anim), before);
        // The chart shows the document as it is now.
        QCOMPARE(int(t.Chart().Items().Items().size()), 2 * t.Anim.Doc.FrameCount());
        QCOMPARE(t.Anim.Doc.AnimStepCount, t.Anim.Doc.FrameCount());
    }

    // Zoom and Pan give the mouse to the chart: a click then selects nothing.
    void modesOtherThanSelectLeaveSelection()
    {
        Timer t(Six);
        QTest::mouseClick(t.Window.AbColBitBtn3, Qt::LeftButton);
        QCOMPARE(t.Chart().MouseAction(), TChart::TMouseAction::Pan);
        t.Click(t.Mark(3));
        QCOMPARE(t.Selection(), QStringLiteral("Selected Frames: 0 - 0"));
        QTest::mouseClick(t.Window.B_Select, Qt::LeftButton);
        QCOMPARE(t.Chart().MouseAction(), TChart::TMouseAction::None);
        t.Click(t.Mark(3));
        QCOMPARE(t.Selection(), QStringLiteral("Selected Frames: 3 - 3"));
    }

    // Frames deleted elsewhere: the selection keeps only what is still there.
    void selectionFollowsShrinkingFrames()
    {
        Timer t(Six);
        t.Click(t.Mark(3));
        t.Click(t.Mark(5), Qt::ShiftModifier);
        t.Anim.SetActStep(0);
        QVERIFY(t.Anim.DeleteCurrentFrame().isEmpty());
        QVERIFY(t.Anim.DeleteCurrentFrame().isEmpty());
        QCOMPARE(t.Selection(), QStringLiteral("Selected Frames: 3 - 3"));
        QVERIFY(!t.Window.B_Mirror->isEnabled());
    }
};

TORVANE_TEST(FrameTimerFormTest)
#include "FrameTimerFormTest.moc"
