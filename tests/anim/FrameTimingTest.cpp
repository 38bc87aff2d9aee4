// The frame timer's operations and its chart's drags, on plain frame lists.
#include "FrameTestUtil.h"
#include "anim/FrameTiming.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QTest>

namespace {
const FloatList Five{0, 0.25f, 0.5f, 0.75f, 1};
}  // namespace

class FrameTimingTest : public QObject {
    Q_OBJECT
private slots:
    void rangeOperations_data() { QVERIFY(AddTableRows("anim/range-operations.table")); }
    void rangeOperations()
    {
        QFETCH(QString, op);
        QFETCH(FloatList, times);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(int, target);
        TAnimFrames frames = FramesAt(times);
        const TTimingResult r = op == "linearize" ? LinearizeFrames(frames, first, last)
                                : op == "mirror"  ? MirrorFrames(frames, first, last)
                                : op == "move"    ? MoveFrames(frames, first, last, target)
                                : op == "copy"    ? CopyFrames(frames, first, last, target)
                                                  : DeleteFrames(frames, first, last);
        const char* status[] = {"Done", "Stopped", "NotApplicable"};
        QTEST(QString(status[int(r.Status)]), "status");
        QTEST(r.Message, "message");
        QTEST(TimesOf(frames, 1e-5), "expected");
        QTEST(IdsOf(frames), "ids");
        QTEST(r.SelFirst, "selFirst");
        QTEST(r.SelLast, "selLast");
    }

    void drag_data() { QVERIFY(AddTableRows("anim/timer-drag.table")); }
    void drag()
    {
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(double, dy);
        TAnimFrames frames = FramesAt(Five);
        std::vector<TTimerItem> items = BuildFrameTimerItems(frames);
        TagFrameRange(items, first, last);
        DragSelectedItems(items, dy / 2);  // two steps of the pointer
        DragSelectedItems(items, dy / 2);
        QCOMPARE(WriteBackFrameTimes(items, frames), first);
        QTEST(TimesOf(frames, 1e-5), "expected");
    }

    void frameCursor_data() { QVERIFY(AddTableRows("anim/frame-cursor.table")); }
    void frameCursor()
    {
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(int, cursor);
        QFETCH(QString, key);
        QFETCH(bool, shift);
        const TFrameKey k = key == "next"       ? TFrameKey::Next
                            : key == "previous" ? TFrameKey::Previous
                            : key == "first"    ? TFrameKey::First
                                                : TFrameKey::Last;
        const TFrameCursor c = MoveFrameCursor({first, last}, cursor, k, shift, 6, 2);
        QTEST(c.Range.First, "newFirst");
        QTEST(c.Range.Last, "newLast");
        QTEST(c.Cursor, "newCursor");
        QCOMPARE(MoveFrameCursor({first, last}, cursor, k, shift, 0, 0).Range.First, -1);
    }

    // A mark past the frames (the chart outlives a shrinking animation) is not written
    // back; Select All on no frames gives 0 .. -1, which leaves Move, Copy and Delete
    // enabled; a target frame is a whole number.
    void itemsAndSelection()
    {
        std::vector<TTimerItem> items = BuildFrameTimerItems(FramesAt({0, 0.5f, 1}));
        TagFrameRange(items, 0, 0);
        items.push_back({7, 0.3, TTimerItemKind::Mark, true});
        TAnimFrames two = FramesAt({0, 1});
        QCOMPARE(WriteBackFrameTimes(items, two), 0);
        QCOMPARE(TimesOf(two), (FloatList{0, 0.5f}));
        const TFrameTimerButtons b = FrameTimerButtons(0, -1, 3);
        QVERIFY(!b.Linearize && !b.Mirror && b.MoveCopyDelete && b.FlipHalfCycle);
        QVERIFY(!FrameTimerButtons(-1, -1, 3).MoveCopyDelete && !FrameTimerButtons(-1, -1, 3).FlipHalfCycle);
        // One frame has no length to shift a flipped pose by.
        QVERIFY(FrameTimerButtons(0, 0, 1).MoveCopyDelete && !FrameTimerButtons(0, 0, 1).FlipHalfCycle);
        QCOMPARE(ParseTargetFrame(QStringLiteral("1.5")), -1);
    }
};

TORVANE_TEST(FrameTimingTest)
#include "FrameTimingTest.moc"
