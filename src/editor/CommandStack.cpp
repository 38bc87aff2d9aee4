#include "editor/CommandStack.h"

#include <algorithm>
#include <unistd.h>

TCommandStack::~TCommandStack() = default;

size_t TCommandStack::DefaultByteLimit()
{
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0)
        return size_t(1) << 30;
    return std::max(size_t(pages) / 16 * size_t(pageSize), size_t(256) << 20);
}

bool TCommandStack::Touches(size_t from, size_t to, int bit) const
{
    for (size_t i = from; i < to; ++i)
        if (Steps_[i].Step->Files() & (1u << bit))
            return true;
    return false;
}

void TCommandStack::Resize(TEntry& e)
{
    Bytes_ -= e.Bytes;
    e.Bytes = e.Step->Bytes();
    Bytes_ += e.Bytes;
}

void TCommandStack::Push(std::unique_ptr<TCommand> step)
{
    if (!step)
        return;
    if (MergeOpen_ && Index_ == Steps_.size() && Index_ > 0 && !step->MergeKey().isEmpty()) {
        TEntry& top = Steps_.back();
        if (top.Step->MergeKey() == step->MergeKey() && top.Step->MergeWith(*step)) {
            Resize(top);
            Trim();
            emit StateChanged();
            return;
        }
    }
    // A saved state among the steps that could have been redone stays reachable only when
    // none of them changed its file.
    for (int b = 0; b < FileBits; ++b)
        if (Saved_[size_t(b)] > long(Index_))
            Saved_[size_t(b)] = Touches(Index_, size_t(Saved_[size_t(b)]), b) ? -1 : long(Index_);
    while (Steps_.size() > Index_) {
        Bytes_ -= Steps_.back().Bytes;
        Steps_.pop_back();
    }
    Steps_.push_back({std::move(step), 0});
    Resize(Steps_.back());
    ++Index_;
    MergeOpen_ = true;
    Trim();
    emit StateChanged();
}

bool TCommandStack::Undo()
{
    if (!CanUndo())
        return false;
    MergeOpen_ = false;
    TEntry& e = Steps_[--Index_];
    e.Step->Undo();
    Resize(e);
    Trim();
    emit StateChanged();
    return true;
}

bool TCommandStack::Redo()
{
    if (!CanRedo())
        return false;
    MergeOpen_ = false;
    TEntry& e = Steps_[Index_++];
    e.Step->Redo();
    Resize(e);
    Trim();
    emit StateChanged();
    return true;
}

void TCommandStack::Clear()
{
    for (int b = 0; b < FileBits; ++b)
        Saved_[size_t(b)] = IsModified(1u << b) ? -1 : 0;
    Steps_.clear();
    Index_ = 0;
    Bytes_ = 0;
    MergeOpen_ = false;
    emit StateChanged();
}

void TCommandStack::MarkSaved(unsigned files)
{
    for (int b = 0; b < FileBits; ++b)
        if (files & (1u << b))
            Saved_[size_t(b)] = long(Index_);
    // What merges into the last step from now on would not be in the files.
    MergeOpen_ = false;
    emit StateChanged();
}

bool TCommandStack::IsModified(unsigned files) const
{
    for (int b = 0; b < FileBits; ++b) {
        if (!(files & (1u << b)))
            continue;
        const long saved = Saved_[size_t(b)];
        if (saved < 0)
            return true;
        const size_t from = std::min(size_t(saved), Index_), to = std::max(size_t(saved), Index_);
        if (Touches(from, to, b))
            return true;
    }
    return false;
}

void TCommandStack::SetLimits(int steps, size_t bytes)
{
    StepLimit_ = std::max(steps, 1);
    ByteLimit_ = bytes;
    Trim();
    emit StateChanged();
}

void TCommandStack::DropFront()
{
    const TEntry& e = Steps_.front();
    for (int b = 0; b < FileBits; ++b) {
        long& saved = Saved_[size_t(b)];
        if (saved > 0)
            --saved;
        else if (saved == 0 && (e.Step->Files() & (1u << b)))
            saved = -1;  // the state before the step is gone with it
    }
    Bytes_ -= e.Bytes;
    Steps_.pop_front();
    --Index_;
}

void TCommandStack::DropBack()
{
    const TEntry& e = Steps_.back();
    const long last = long(Steps_.size());
    for (int b = 0; b < FileBits; ++b) {
        long& saved = Saved_[size_t(b)];
        if (saved == last)
            saved = (e.Step->Files() & (1u << b)) ? -1 : last - 1;
    }
    Bytes_ -= e.Bytes;
    Steps_.pop_back();
}

void TCommandStack::Trim()
{
    while (Steps_.size() > 1 && (Steps_.size() > size_t(StepLimit_) || Bytes_ > ByteLimit_)) {
        if (Index_ > 0)
            DropFront();
        else
            DropBack();
    }
}
