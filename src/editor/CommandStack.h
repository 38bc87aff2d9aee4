#pragma once
// The session's history: the steps done, undone and redone in turn, in the style of Qt's
// QUndoStack (which lives in QtGui and so does not fit a window-free library).
//
// A step (TCommand) is pushed when its operation is done; it knows how to undo and redo
// itself, how many bytes it holds, and which of the session's files it changes. A step
// pushed right after one with the same merge key becomes part of it (a pivot dragged, a
// number typed into one field) until the gesture ends (CloseMerge) or anything else is
// pushed, undone, redone or saved.
//
// The history keeps at most StepLimit() steps and, apart from the newest, at most
// ByteLimit() bytes: the oldest go first. For each file it knows whether what is shown
// differs from what the file holds: a file is modified while a step that changes it lies
// between the state it was saved in and now. StateChanged says once per change when what
// can be undone or redone, their names, or the modified state may have changed.
#include <QObject>
#include <QString>
#include <array>
#include <cstddef>
#include <deque>
#include <memory>

class TCommand {
public:
    // files: the files the step changes, as flags of the owner's choosing.
    TCommand(QString name, unsigned files, QString mergeKey = {})
        : Name_(std::move(name)), MergeKey_(std::move(mergeKey)), Files_(files)
    {}
    virtual ~TCommand() = default;
    TCommand(const TCommand&) = delete;
    TCommand& operator=(const TCommand&) = delete;

    const QString& Name() const { return Name_; }
    const QString& MergeKey() const { return MergeKey_; }
    unsigned Files() const { return Files_; }

    virtual void Undo() = 0;
    virtual void Redo() = 0;
    virtual size_t Bytes() const = 0;
    // next, done right after this step with the same merge key, becomes part of it (true);
    // false keeps it a step of its own.
    virtual bool MergeWith(TCommand& next) = 0;

protected:
    void AddFiles(unsigned files) { Files_ |= files; }

private:
    QString Name_;
    QString MergeKey_;
    unsigned Files_ = 0;
};

class TCommandStack : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultStepLimit = 100;
    // A sixteenth of the machine's memory, at least 256 MiB (1 GiB when the memory cannot
    // be told).
    static size_t DefaultByteLimit();

    explicit TCommandStack(QObject* parent = nullptr) : QObject(parent) {}
    ~TCommandStack() override;

    bool CanUndo() const { return Index_ > 0; }
    bool CanRedo() const { return Index_ < Steps_.size(); }
    QString UndoName() const { return CanUndo() ? Steps_[Index_ - 1].Step->Name() : QString(); }
    QString RedoName() const { return CanRedo() ? Steps_[Index_].Step->Name() : QString(); }

    // A step that was just done. What could have been redone is dropped, unless the step
    // merges into the last one.
    void Push(std::unique_ptr<TCommand> step);
    // False when there is nothing to undo (redo).
    bool Undo();
    bool Redo();
    // The gesture whose steps merge has ended: the next step stands on its own.
    void CloseMerge() { MergeOpen_ = false; }

    // A new history (what the steps refer to is gone). Each file stays modified or not.
    void Clear();
    // The files hold what is shown now.
    void MarkSaved(unsigned files);
    // Whether any of the files differs from what is shown.
    bool IsModified(unsigned files) const;

    void SetLimits(int steps, size_t bytes);
    int StepLimit() const { return StepLimit_; }
    size_t ByteLimit() const { return ByteLimit_; }
    int Count() const { return int(Steps_.size()); }
    size_t Bytes() const { return Bytes_; }

signals:
    void StateChanged();

private:
    struct TEntry {
        std::unique_ptr<TCommand> Step;
        size_t Bytes = 0;
    };
    static constexpr int FileBits = 32;
    // Drops the oldest steps (with nothing left to undo, the last redo steps) while over a
    // limit, keeping one.
    void Trim();
    // Entry i is gone from the front (i = 0) or the back: the saved states move with it.
    void DropFront();
    void DropBack();
    void Resize(TEntry& e);
    bool Touches(size_t from, size_t to, int bit) const;

    std::deque<TEntry> Steps_;
    size_t Index_ = 0;  // steps before it are done, from it on undone
    size_t Bytes_ = 0;
    bool MergeOpen_ = false;
    // Per file bit: the index at which what is shown equals the file, -1 when none does.
    std::array<long, FileBits> Saved_{};
    int StepLimit_ = DefaultStepLimit;
    size_t ByteLimit_ = DefaultByteLimit();
};
