// The steps the document's operations record, put back by undo and redo and checked
// against the states the chain passed through: random chains with fixed seeds, undone and
// redone in random amounts.
#include "FrameTestUtil.h"
#include "anim/Rtm.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QRandomGenerator>
#include <QSignalSpy>

namespace {
// What undo must put back: the saved content byte for byte, the current frame, the
// frame timer's selection.
struct TSnap {
    QByteArray Bytes;
    int ActStep = 0;
    TFrameRange Sel;
    bool operator==(const TSnap& o) const
    {
        return Bytes == o.Bytes && ActStep == o.ActStep && Sel.First == o.Sel.First && Sel.Last == o.Sel.Last;
    }
};

TSnap Snap(const TAnimController& a)
{
    TSnap s;
    if (!a.Doc.AnimFrames.empty())
        WriteRtm(a.Doc, s.Bytes);
    s.ActStep = a.Doc.ActAnimStep;
    s.Sel = a.Selection();
    return s;
}

QString Describe(const TSnap& s)
{
    return QStringLiteral("%1 bytes (%5), frame %2, selection %3-%4")
        .arg(s.Bytes.size())
        .arg(s.ActStep)
        .arg(s.Sel.First)
        .arg(s.Sel.Last)
        .arg(qHash(s.Bytes));
}

// "Reset Frame": every transform of the frame back to identity.
void ResetFrame(TAnimController& a, int frame)
{
    a.EditFrame(QStringLiteral("Reset Frame"), frame, [frame](TAnimDocument& d) {
        for (TAnimEntry& e : d.AnimFrames[size_t(frame)].Entries)
            e.Matrix = IdentityMatrix12f;
        return true;
    });
}

// The frame timer's selection, from time to time none.
void RandomSelection(TAnimController& a, QRandomGenerator& rng)
{
    const int n = a.Doc.FrameCount();
    const int f = int(rng.bounded(n));
    a.SetSelection(rng.bounded(10) == 0 ? TFrameRange{} : TFrameRange{f, std::min(n - 1, f + int(rng.bounded(4)))});
}

// One random operation of any kind, steps and non-steps alike, with arguments that are
// sometimes refused. The timer's operations act on the selection.
void RandomOperation(TAnimController& a, QRandomGenerator& rng)
{
    const int n = a.Doc.FrameCount();
    const auto frame = [&] { return int(rng.bounded(n + 1)) - (rng.bounded(8) == 0 ? 1 : 0); };
    const TFrameRange sel = a.Selection();
    switch (rng.bounded(16)) {
    case 0:
        a.SetActStep(frame());
        break;
    case 1:
        a.InsertFrameAfter();
        break;
    case 2:
        a.DeleteCurrentFrame();
        break;
    case 3:
        a.RetimeFrame(frame(), float(rng.generateDouble()), true);
        break;
    case 4:
        a.LinearizeRange(sel.First, sel.Last);
        break;
    case 5:
        a.MirrorRange(sel.First, sel.Last);
        break;
    case 6:
        a.MoveRange(sel.First, sel.Last, frame());
        break;
    case 7:
        a.CopyRange(sel.First, sel.Last, frame());
        break;
    case 8:
        a.DeleteRange(sel.First, sel.Last);
        break;
    case 9:
        a.SetTotalMove(int(rng.bounded(3)), float(rng.bounded(5)));
        break;
    case 10:
        a.EditFrame(QStringLiteral("Apply Changes"), a.Doc.ActAnimStep, [&](TAnimDocument& d) {
            d.AnimFrames[size_t(d.ActAnimStep)].Entries[rng.bounded(4)].Matrix[9] = float(rng.bounded(100));
            return true;
        });
        break;
    case 11:
        ResetFrame(a, a.Doc.ActAnimStep);
        break;
    case 12: {  // a drag of the selection's marks, as the chart writes it back
        std::vector<TTimerItem> items = BuildFrameTimerItems(a.Doc.AnimFrames);
        TagFrameRange(items, sel.First, sel.Last);
        DragSelectedItems(items, rng.generateDouble() * 0.2 - 0.1);
        a.WriteBackFrameTimes(items);
        break;
    }
    case 13:
        a.FlipRange(sel.First, sel.Last);
        break;
    case 14:
        a.FlipRangeHalfCycleLater(sel.First, sel.Last);
        break;
    default:
        RandomSelection(a, rng);
        break;
    }
}
}  // namespace

class AnimStepsTest : public QObject {
    Q_OBJECT
private slots:
    // Each step undone gives the state before it, redone the state after it; a new step
    // after undos drops what could have been redone.
    void randomChains_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u})
            QTest::addRow("seed %u", seed) << seed;
    }
    void randomChains()
    {
        QFETCH(quint32, seed);
        QRandomGenerator rng(seed);
        TAnimFixture fx;
        TAnimController& a = fx.Anim;
        TRecordedSteps h(a);
        std::vector<std::pair<TSnap, TSnap>> steps;  // before and after each step
        for (int i = 0; i < 80; ++i) {
            if (rng.bounded(2))
                RandomSelection(a, rng);
            const TSnap before = Snap(a);
            const size_t count = h.Done.size();
            RandomOperation(a, rng);
            if (h.Done.size() != count) {
                QCOMPARE(h.Done.size(), count + 1);
                steps.emplace_back(before, Snap(a));
            } else {
                QCOMPARE(Snap(a).Bytes, before.Bytes);  // no step, no change of the content
            }
        }
        QVERIFY(steps.size() > 20);
        size_t done = steps.size();
        for (int round = 0; round < 6; ++round) {
            const size_t back = rng.bounded(quint32(done + 1));
            for (size_t k = 0; k < back; ++k) {
                const QString name = h.UndoName();
                QVERIFY(h.Undo());
                --done;
                QVERIFY2(
                    Snap(a) == steps[done].first,
                    qPrintable(
                        QStringLiteral("undo %1: %2, expected %3").arg(name, Describe(Snap(a)), Describe(steps[done].first))));
            }
            const size_t forward = rng.bounded(quint32(steps.size() - done + 1));
            for (size_t k = 0; k < forward; ++k) {
                QVERIFY(h.Redo());
                QVERIFY2(
                    Snap(a) == steps[done].second,
                    qPrintable(QStringLiteral("redo: %1, expected %2").arg(Describe(Snap(a)), Describe(steps[done].second))));
                ++done;
            }
        }
        QCOMPARE(h.Done.size(), done);
        const TSnap beforeNew = Snap(a);
        a.SetTotalMove(1, 123.f);
        QVERIFY(h.Undo());
        QVERIFY(Snap(a) == beforeNew);
    }

    // Refused operations and ones that change nothing are no steps and leave the content as
    // it was, whatever a writer did before it refused; every other operation is one step
    // under its name.
    void stepsAndNames_data() { QVERIFY(AddTableRows("anim/history-steps.table")); }
    void stepsAndNames()
    {
        QFETCH(QString, op);
        QFETCH(QString, name);
        TAnimFixture fx(6);
        TAnimController& a = fx.Anim;
        TRecordedSteps h(a);
        a.SetSelection({1, 2});
        const QByteArray before = Snap(a).Bytes;
        if (op == "insert")
            a.InsertFrameAfter();
        else if (op == "delete")
            a.DeleteCurrentFrame();
        else if (op == "mirror")
            a.MirrorRange(1, 2);
        else if (op == "move inside")
            QCOMPARE(a.MoveRange(1, 2, 2).Status, TTimingStatus::Stopped);
        else if (op == "copy")
            a.CopyRange(1, 2, 6);
        else if (op == "same total move")
            a.SetTotalMove(0, 0.5f);
        else if (op == "retime same")
            a.RetimeFrame(2, a.Doc.AnimFrames[2].Time, true);
        else if (op == "at")
            a.SetActStep(3);
        else if (op == "refused edit")
            QVERIFY(!a.EditFrame(QStringLiteral("Apply Changes"), 1, [](TAnimDocument& d) {
                d.AnimFrames[1].Entries[0].Matrix[0] = 7;
                return false;
            }));
        QCOMPARE(h.Done.size(), size_t(name.isEmpty() ? 0 : 1));
        QCOMPARE(h.UndoName(), name);
        if (name.isEmpty())
            QCOMPARE(Snap(a).Bytes, before);
    }

    // A whole animation in place of the document leaves nothing selected, as a load does:
    // the frames selected before are other frames, or none. Undo brings back the selection
    // with its frames, redo takes it away again.
    void replacedDocumentDropsSelection_data()
    {
        QTest::addColumn<int>("frames");
        QTest::newRow("fewer frames") << 5;
        QTest::newRow("more frames") << 30;
    }
    void replacedDocumentDropsSelection()
    {
        QFETCH(int, frames);
        TAnimFixture fx(12);
        TAnimController& a = fx.Anim;
        TRecordedSteps h(a);
        a.SetSelection({3, 11});
        const TSnap before = Snap(a);
        {
            TAnimFixture other(frames);
            TAnimDocument next;
            next.AnimSelections = other.Doc.AnimSelections;
            next.AnimFrames = other.Doc.AnimFrames;
            a.ReplaceAnimation(QStringLiteral("Import glTF Animation"), std::move(next));
        }
        QCOMPARE(a.Doc.FrameCount(), frames);
        const TSnap after = Snap(a);
        QCOMPARE(QList<int>({after.Sel.First, after.Sel.Last}), QList<int>({-1, -1}));
        for (int round = 0; round < 2; ++round) {
            QVERIFY(h.Undo());
            QVERIFY2(Snap(a) == before, qPrintable(Describe(Snap(a))));
            QVERIFY(h.Redo());
            QVERIFY2(Snap(a) == after, qPrintable(Describe(Snap(a))));
        }
    }

    // A Copy step keeps where frames came from and their times, not the copies, undone or
    // not: memory grows with the frames, not with their transforms.
    void copyStepKeepsNoTransforms()
    {
        TAnimFixture fx(200);
        TAnimController& a = fx.Anim;
        TRecordedSteps h(a);
        QVERIFY(a.CopyRange(0, 99, 200).Done());
        const size_t perFrame = sizeof(int) + sizeof(float);
        QVERIFY(h.Bytes() < 200 * perFrame + 1024);
        QVERIFY(h.Undo());
        QCOMPARE(a.Doc.FrameCount(), 200);
        QVERIFY(h.Bytes() < 300 * perFrame + 1024);  // nor does its redo: it copies again
    }
};

TORVANE_TEST(AnimStepsTest)
#include "AnimStepsTest.moc"
