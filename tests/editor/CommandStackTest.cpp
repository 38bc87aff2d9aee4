// The history of steps on its own, with steps that add to a number: undo and redo in turn,
// merging while a gesture lasts, the limits by steps and by bytes (oldest first, the newest
// always kept), and which files are modified as steps are done, undone, dropped and saved.
#include "editor/CommandStack.h"
#include "support/TestMain.h"

#include <QSignalSpy>
#include <QTest>

namespace {
// Adds Amount to Value; holds Size bytes; changes the files given.
class TAdd final : public TCommand {
public:
    TAdd(int& value, int amount, unsigned files = 1, QString key = {}, size_t size = 10)
        : TCommand(QStringLiteral("Add %1").arg(amount), files, std::move(key)), Value_(value), Amount_(amount), Size_(size)
    {
        Value_ += Amount_;
    }
    void Undo() override { Value_ -= Amount_; }
    void Redo() override { Value_ += Amount_; }
    size_t Bytes() const override { return Size_; }
    bool MergeWith(TCommand& next) override
    {
        auto& other = static_cast<TAdd&>(next);
        Amount_ += other.Amount_;
        Size_ += other.Size_;
        return true;
    }

private:
    int& Value_;
    int Amount_;
    size_t Size_;
};

struct TStack {
    TCommandStack S;
    int Value = 0;
    void Add(int amount, unsigned files = 1, const QString& key = {}, size_t size = 10)
    {
        S.Push(std::make_unique<TAdd>(Value, amount, files, key, size));
    }
};
}  // namespace

class CommandStackTest : public QObject {
    Q_OBJECT
private slots:
    // Undo and redo walk the steps back and forth by name; a new step drops what could
    // have been redone; every change is said once.
    void undoRedo()
    {
        TStack t;
        QSignalSpy said(&t.S, &TCommandStack::StateChanged);
        t.Add(1);
        t.Add(10);
        QCOMPARE(std::pair(t.S.UndoName(), said.count()), std::pair(QStringLiteral("Add 10"), qsizetype(2)));
        QVERIFY(t.S.Undo() && t.Value == 1);
        QCOMPARE(t.S.RedoName(), QStringLiteral("Add 10"));
        QVERIFY(t.S.Undo() && t.Value == 0 && !t.S.Undo());
        QVERIFY(t.S.Redo() && t.Value == 1);
        t.Add(100);
        QVERIFY(!t.S.CanRedo() && t.S.Count() == 2);
        QCOMPARE(said.count(), 6);
    }

    // Steps with one merge key in a row are one until the gesture closes, something else
    // is done, undone or saved; steps without a key never merge.
    void merging()
    {
        TStack t;
        t.Add(1, 1, "drag");
        t.Add(2, 1, "drag");
        t.Add(3, 1, "drag");
        t.S.CloseMerge();
        t.Add(4, 1, "drag");
        t.Add(5, 1, "other");
        t.Add(6, 1, "other");
        t.S.MarkSaved(1);
        t.Add(7, 1, "other");
        t.Add(8);
        t.Add(9);
        QCOMPARE(t.S.Count(), 6);
        QStringList names;
        while (t.S.CanUndo()) {
            names << t.S.UndoName();
            t.S.Undo();
        }
        QCOMPARE(names,
                 (QStringList{"Add 9", "Add 8", "Add 7", "Add 5", "Add 4", "Add 1"}));  // a merged step keeps its first name
        QCOMPARE(t.Value, 0);
        QVERIFY(t.S.Redo());
        t.Add(1, 1, "drag");  // not into a step that was undone and redone
        QCOMPARE(t.S.Count(), 2);
    }

    // Past the step limit or the byte limit the oldest steps go, and the newest stays even
    // when it alone is over the bytes; with nothing left to undo the farthest redo goes.
    void limits_data()
    {
        QTest::addColumn<int>("steps");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<QList<int>>("sizes");  // of the steps pushed, adding 1, 2, 4, ...
        QTest::addColumn<int>("kept");
        QTest::addColumn<int>("undone");  // the value after undoing all that is kept
        QTest::newRow("steps") << 3 << 1000 << QList<int>{10, 10, 10, 10, 10} << 3 << 3;
        QTest::newRow("bytes") << 100 << 25 << QList<int>{10, 10, 10, 10} << 2 << 3;
        QTest::newRow("a big newest step") << 100 << 25 << QList<int>{10, 10, 40} << 1 << 3;
        QTest::newRow("within both") << 5 << 30 << QList<int>{10, 10, 10} << 3 << 0;
    }
    void limits()
    {
        QFETCH(int, steps);
        QFETCH(int, bytes);
        QFETCH(QList<int>, sizes);
        QFETCH(int, kept);
        QFETCH(int, undone);
        TStack t;
        t.S.SetLimits(steps, size_t(bytes));
        for (qsizetype i = 0; i < sizes.size(); ++i)
            t.Add(1 << i, 1, {}, size_t(sizes[i]));
        QCOMPARE(t.S.Count(), kept);
        QVERIFY(t.S.Bytes() <= size_t(bytes) || kept == 1);
        while (t.S.Undo()) {
        }
        QCOMPARE(t.Value, undone);
        t.S.SetLimits(1, size_t(bytes));  // nothing to undo: the last redo steps go
        QCOMPARE(t.S.Count(), 1);
        QVERIFY(t.S.Redo() && !t.S.Redo());
    }

    // A file is modified while a step that changes it lies between its saved state and now,
    // either way; steps of other files do not count, not even when they are dropped.
    void modifiedFiles()
    {
        TStack t;
        const unsigned anim = 1, colors = 2;
        QVERIFY(!t.S.IsModified(anim | colors));
        t.Add(1, anim);
        t.Add(2, colors);
        QVERIFY(t.S.IsModified(anim) && t.S.IsModified(colors));
        t.S.MarkSaved(anim);
        QVERIFY(!t.S.IsModified(anim) && t.S.IsModified(anim | colors));
        t.S.Undo();  // the colour step: the animation still as saved
        QVERIFY(!t.S.IsModified(anim) && !t.S.IsModified(colors));
        t.S.Undo();
        QVERIFY(t.S.IsModified(anim));
        t.S.Redo();
        t.Add(4, colors);  // drops the redo of a colour step only: the animation's file still matches
        QVERIFY(!t.S.IsModified(anim));
        t.S.Undo();
        t.S.Undo();
        t.Add(8, colors);  // drops the animation's step that led to its saved state
        QVERIFY(t.S.IsModified(anim));

        TStack d;  // steps dropped at the limit
        d.S.SetLimits(2, 1000);
        d.Add(1, colors);
        d.Add(2, colors);
        d.Add(4, colors);  // the first colour step goes: the state before it cannot come back
        QVERIFY(!d.S.IsModified(anim));
        d.S.Undo();
        d.S.Undo();
        QVERIFY(d.S.IsModified(colors));

        // A new history keeps what is modified: the model replaced under an edited animation.
        t.S.Clear();
        QVERIFY(t.S.IsModified(anim) && t.S.IsModified(colors) && !t.S.CanUndo());
        t.S.MarkSaved(anim | colors);
        QVERIFY(!t.S.IsModified(anim | colors));
    }
};

TORVANE_TEST(CommandStackTest)
#include "CommandStackTest.moc"
