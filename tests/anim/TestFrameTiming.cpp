#include "FrameTestUtil.h"
#include "anim/FrameTiming.h"
#include "support/TestMain.h"

#include <QTest>

Q_DECLARE_METATYPE(TTimingStatus)

namespace {
constexpr auto Done = TTimingStatus::Done;
constexpr auto Stopped = TTimingStatus::Stopped;
constexpr auto NotApplicable = TTimingStatus::NotApplicable;

const FloatList Five{0, 0.25f, 0.5f, 0.75f, 1};
const FloatList Six{0, 0.125f, 0.25f, 0.375f, 0.5f, 1};

template <typename T> T Fetched(const char* column)
{
    return *static_cast<T*>(QTest::qData(column, qMetaTypeId<T>()));
}

// A row of the range operations: the frames before, the operation on [first, last] (to
// target), what it says, the times (to 1e-5) and origins of the frames after, and the
// selection it hands back.
void Row(const char* name, const char* op, const FloatList& times, int first, int last, int target, TTimingStatus status,
         const QString& message, const FloatList& expected, const IntList& ids, int selFirst, int selLast)
{
    QTest::newRow(qPrintable(QStringLiteral("%1: %2").arg(op, name))) << QString(op) << first << last << target << selFirst << selLast << times << status << message << expected << ids;
}
// A row whose operation changes nothing.
void Unchanged(const char* name, const char* op, const FloatList& times, int first, int last, int target, TTimingStatus status,
               const QString& message = {})
{
    Row(name, op, times, first, last, target, status, message, times, IdsOf(FramesAt(times)), first, last);
}
}  // namespace

class TestFrameTiming : public QObject {
    Q_OBJECT
private slots:
    void rangeOperations_data()
    {
        QTest::addColumn<QString>("op");
        for (const char* c : {"first", "last", "target", "selFirst", "selLast"})
            QTest::addColumn<int>(c);
        QTest::addColumn<FloatList>("times"); QTest::addColumn<TTimingStatus>("status");
        QTest::addColumn<QString>("message"); QTest::addColumn<FloatList>("expected"); QTest::addColumn<IntList>("ids");
        Row("three frames: the middle to the mean", "linearize", {0, 0.1f, 1}, 0, 2, 0, Done, {}, {0, 0.5f, 1}, IntList{0, 1, 2}, 0, 2);
        Row("inner range, outer frames kept", "linearize", {0, 0.1f, 0.15f, 0.2f, 0.7f, 1}, 1, 4, 0, Done, {}, {0, 0.1f, 0.3f, 0.5f, 0.7f, 1}, IntList{0, 1, 2, 3, 4, 5}, 1, 4);
        Unchanged("two frames: not offered", "linearize", Five, 1, 2, 0, NotApplicable);
        const QString mirrored = QStringLiteral("Finished Mirror operation");
        Row("inner block: reversed, intervals mirrored", "mirror", {0, 0.125f, 0.5f, 0.625f, 1}, 1, 3, 0, Done, mirrored, {0, 0.125f, 0.25f, 0.625f, 1}, {0, 3, 2, 1, 4}, 1, 3);
        Row("from frame 0", "mirror", {0, 0.25f, 0.75f, 1}, 0, 2, 0, Done, mirrored, {0, 0.5f, 0.75f, 1}, {2, 1, 0, 3}, 0, 2);
        Unchanged("one frame: not offered", "mirror", Five, 2, 2, 0, NotApplicable);
        const QString moved = QStringLiteral("Finished Move operation");
        const FloatList atEnd{0, 0.125f, 0.25f, 0.75f, 0.875f, 1};
        Row("earlier", "move", Six, 3, 4, 1, Done, moved, Six, {0, 3, 4, 1, 2, 5}, 1, 2);
        Row("earlier to 0", "move", Six, 3, 4, 0, Done, moved, Six, {3, 4, 0, 1, 2, 5}, 0, 1);
        Row("earlier, block holds the last frame", "move", Six, 4, 5, 1, Done, moved, {0, 0.125f, 0.625f, 0.75f, 0.875f, 1}, {0, 4, 5, 1, 2, 3}, 1, 2);
        Row("later: its last frame at T", "move", Six, 1, 2, 4, Done, moved, Six, {0, 3, 4, 1, 2, 5}, 3, 4);
        Row("later to T = count: ends at 1", "move", Six, 1, 2, 6, Done, moved, atEnd, {0, 3, 4, 5, 1, 2}, 4, 5);
        // From frame 0 the block has no leading interval: its first frame lands on frame
        // T's time, and the tie keeps the block together behind frame T.
        Row("later from frame 0", "move", Five, 0, 1, 3, Done, moved, {0.25f, 0.5f, 0.5f, 0.75f, 1}, {2, 3, 0, 1, 4}, 2, 3);
        Unchanged("T past count", "move", Six, 1, 2, 7, Stopped, QStringLiteral("Invalid Frame!"));
        Unchanged("T in the range", "move", Six, 1, 2, 2, Stopped, QStringLiteral("Can't move inside selected Frames!"));
        Unchanged("range past the frames", "move", Six, 4, 6, 1, NotApplicable);
        Unchanged("select all of nothing", "move", {}, 0, -1, 0, NotApplicable);
        // A block of length D = 0.25 (with its lead) first compresses 0, 0.25, 0.5, 0.75, 1
        // to 0, 0.2, 0.4, 0.6, 0.8.
        const QString copied = QStringLiteral("Finished Copy operation");
        const FloatList sixths{0, 0.2f, 0.4f, 0.6f, 0.8f, 1};
        Row("after the block", "copy", Five, 1, 1, 3, Done, copied, sixths, {0, 1, 2, 1, 3, 4}, 3, 3);
        Row("to the end", "copy", Five, 2, 2, 5, Done, copied, sixths, {0, 1, 2, 3, 4, 2}, 5, 5);
        Row("to the end from frame 0: 0.001 after", "copy", Five, 0, 1, 5, Done, copied, {0, 0.2f, 0.4f, 0.6f, 0.8f, 0.801f, 1}, {0, 1, 2, 3, 4, 0, 1}, 5, 6);
        Row("to 0: the block's lead follows it", "copy", Five, 2, 2, 0, Done, copied, sixths, {2, 0, 1, 2, 3, 4}, 0, 0);
        // Inside the block the copies fill [Time[T - 1], Time[T - 1] + D] with the block's
        // spacing from before the shift; the selected frames from T on follow them.
        const FloatList uneven{0, 0.25f, 0.375f, 0.5f, 1}, split{0, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 1};
        Row("T inside the block", "copy", uneven, 2, 3, 3, Done, copied, split, {0, 1, 2, 2, 3, 3, 4}, 3, 4);
        Row("T on the block's first frame", "copy", uneven, 2, 3, 2, Done, copied, split, {0, 1, 2, 3, 2, 3, 4}, 2, 3);
        Unchanged("T past count", "copy", Five, 1, 2, 6, Stopped, QStringLiteral("Invalid Frame!"));
        Unchanged("block far out of order", "copy", {0, 1, 0, 0.5f}, 2, 2, 1, NotApplicable);
        Row("middle frame: the rest stretched", "delete", Five, 2, 2, 0, Done, {}, {0, 0.33333f, 0.66667f, 1}, {0, 1, 3, 4}, -1, -1);
        Row("from frame 0", "delete", Five, 0, 1, 0, Done, {}, {0, 0.5f, 1}, {2, 3, 4}, -1, -1);
        Row("up to the last frame", "delete", Five, 3, 4, 0, Done, {}, {0, 0.5f, 1}, {0, 1, 2}, -1, -1);
        Row("all but two", "delete", Five, 1, 3, 0, Done, {}, {0, 1}, {0, 4}, -1, -1);
        Unchanged("one would be left: refused untouched", "delete", Five, 1, 4, 0, Stopped, QStringLiteral("Only two Animsteps left!"));
        Unchanged("no frames", "delete", {}, 0, -1, 0, Stopped, QStringLiteral("No Anim Steps!"));
        Unchanged("range past the frames", "delete", Five, 3, 5, 0, NotApplicable);
    }
    void rangeOperations()
    {
        QFETCH(QString, op); QFETCH(int, first); QFETCH(int, last); QFETCH(int, target);
        TAnimFrames frames = FramesAt(Fetched<FloatList>("times"));
        const TTimingResult r = op == "linearize" ? LinearizeFrames(frames, first, last)
            : op == "mirror"                      ? MirrorFrames(frames, first, last)
            : op == "move"                        ? MoveFrames(frames, first, last, target)
            : op == "copy"                        ? CopyFrames(frames, first, last, target)
                                                  : DeleteFrames(frames, first, last);
        QCOMPARE(r.Status, Fetched<TTimingStatus>("status"));
        QCOMPARE(r.Message, Fetched<QString>("message"));
        QCOMPARE(TimesOf(frames, 1e-5), Fetched<FloatList>("expected"));
        QCOMPARE(IdsOf(frames), Fetched<IntList>("ids"));
        QCOMPARE(r.SelFirst, Fetched<int>("selFirst"));
        QCOMPARE(r.SelLast, Fetched<int>("selLast"));
    }

    // A Ctrl-drag of the tagged frames of 0, 0.25, 0.5, 0.75, 1 by dy, then written back.
    void drag_data()
    {
        QTest::addColumn<int>("first"); QTest::addColumn<int>("last"); QTest::addColumn<double>("dy"); QTest::addColumn<FloatList>("expected");
        QTest::newRow("below its predecessor") << 2 << 2 << -0.4 << FloatList{0, 0.25f, 0.2502f, 0.75f, 1};
        QTest::newRow("above its successor: pushed along") << 2 << 2 << 0.3 << FloatList{0, 0.25f, 0.8f, 0.8002f, 1};
        QTest::newRow("all up: capped at 1") << 0 << 4 << 0.3 << FloatList{0, 0.55f, 0.8f, 1, 1};
        QTest::newRow("all down: first at 0, the rest climb") << 0 << 4 << -0.5 << FloatList{0, 0.0002f, 0.0004f, 0.25f, 1};
        QTest::newRow("last frame stays at 1") << 4 << 4 << -0.5 << Five;
    }
    void drag()
    {
        QFETCH(int, first); QFETCH(int, last); QFETCH(double, dy);
        TAnimFrames frames = FramesAt(Five);
        std::vector<TTimerItem> items = BuildFrameTimerItems(frames);
        TagFrameRange(items, first, last);
        DragSelectedItems(items, dy / 2);  // two steps of the pointer
        DragSelectedItems(items, dy / 2);
        QCOMPARE(WriteBackFrameTimes(items, frames), first);
        QCOMPARE(TimesOf(frames, 1e-5), Fetched<FloatList>("expected"));
    }

    void itemsAndSelection()
    {
        std::vector<TTimerItem> items = BuildFrameTimerItems(FramesAt({0, 0.5f, 1}));
        using K = TTimerItemKind;
        QCOMPARE(items.size(), size_t(6));
        QVERIFY(items[0].Kind == K::MoveTo && items[2].Kind == K::LineTo && items[3].Kind == K::Mark && items[3].X == 1 && items[3].Y == 0.5);
        TagFrameRange(items, 0, 0);
        QVERIFY(!items[0].Selected && items[1].Selected && !items[2].Selected);  // frame 0's move-to is never tagged
        TagFrameRange(items, 2, 2);  // tags add up; the range closes the gap
        QCOMPARE(CollectFrameSelection(items).First, 0);
        QCOMPARE(CollectFrameSelection(items).Last, 2);
        items.push_back({7, 0.3, K::Mark, true});  // a mark beyond the frames is not written back
        TAnimFrames two = FramesAt({0, 1});
        QCOMPARE(WriteBackFrameTimes(items, two), 0);
        QCOMPARE(TimesOf(two), (FloatList{0, 0.5f}));
        // Select All on no frames gives 0 .. -1: Move, Copy and Delete stay enabled.
        const TFrameTimerButtons b = FrameTimerButtons(0, -1), three = FrameTimerButtons(2, 4);
        QVERIFY(!b.Linearize && !b.Mirror && b.MoveCopyDelete && three.Linearize && !FrameTimerButtons(-1, -1).MoveCopyDelete);
        QCOMPARE(ParseTargetFrame(QStringLiteral(" 3 ")), 3);
        QCOMPARE(ParseTargetFrame(QStringLiteral("1.5")), -1);
    }
};

TORVANE_TEST(TestFrameTiming)
#include "TestFrameTiming.moc"
