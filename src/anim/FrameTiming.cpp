#include "anim/FrameTiming.h"
#include "anim/FrameOps.h"
#include "anim/Rtm.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>

namespace {

const QString kInvalidFrame = QStringLiteral("Invalid Frame!");

// Times are floats in the frames; the arithmetic runs in double and each result is stored
// rounded once.
struct TTimes {
    TAnimFrames& Frames;
    double operator[](int i) const { return Frames.Time(static_cast<size_t>(i)); }
    void Set(int i, double t) { Frames.Time(static_cast<size_t>(i)) = static_cast<float>(t); }
    void Add(int i, double d) { Set(i, (*this)[i] + d); }
    int Count() const { return static_cast<int>(Frames.size()); }
};

TTimingResult Stopped(const QString& message, int first, int last) { return {TTimingStatus::Stopped, message, first, last}; }

TTimingResult NotApplicable(int first, int last) { return {TTimingStatus::NotApplicable, QString(), first, last}; }

// The time the block [first, last] starts from: the frame before it, or 0.
double LeadTime(const TTimes& t, int first) { return first > 0 ? t[first - 1] : 0.0; }

}  // namespace

TFrameTimerButtons FrameTimerButtons(int selFirst, int selLast, int frameCount)
{
    return {selLast - selFirst >= 2, selLast - selFirst >= 1, selFirst != -1, selFirst != -1 && frameCount >= 2};
}

bool IsFrameRange(int first, int last, int count) { return first >= 0 && first <= last && last < count; }

TFrameCursor MoveFrameCursor(TFrameRange sel, int cursor, TFrameKey key, bool extend, int count, int current)
{
    if (count <= 0)
        return {};
    int anchor = 0;
    if (IsFrameRange(sel.First, sel.Last, count)) {
        if (cursor != sel.First && cursor != sel.Last)
            cursor = sel.Last;
        anchor = cursor == sel.Last ? sel.First : sel.Last;
    } else {
        cursor = anchor = std::clamp(current, 0, count - 1);
    }
    int to = 0;
    switch (key) {
    case TFrameKey::Previous:
        to = std::max(cursor - 1, 0);
        break;
    case TFrameKey::Next:
        to = std::min(cursor + 1, count - 1);
        break;
    case TFrameKey::First:
        to = 0;
        break;
    case TFrameKey::Last:
        to = count - 1;
        break;
    }
    if (!extend)
        return {{to, to}, to};
    return {{std::min(anchor, to), std::max(anchor, to)}, to};
}

int ParseTargetFrame(const QString& text)
{
    bool ok = false;
    const int t = text.trimmed().toInt(&ok);
    return ok ? t : -1;
}

TTimingResult LinearizeFrames(TAnimFrames& frames, int first, int last)
{
    TTimes t{frames};
    if (!IsFrameRange(first, last, t.Count()) || last - first < 2)
        return NotApplicable(first, last);
    const double t0 = t[first];
    const double t1 = t[last];
    const int n = last - first;
    for (int i = first + 1; i < last; ++i)
        t.Set(i, (i - first) * (t1 - t0) / n + t0);
    return {TTimingStatus::Done, QString(), first, last};
}

TTimingResult MirrorFrames(TAnimFrames& frames, int first, int last)
{
    TTimes t{frames};
    if (!IsFrameRange(first, last, t.Count()) || last - first < 1)
        return NotApplicable(first, last);
    double acc = t[first];
    for (int i = last; i >= first; --i) {
        const double d = t[i] - LeadTime(t, i);  // frame i - 1 is still unchanged here
        t.Set(i, acc);
        acc += d;
    }
    SortFramesByTime(frames);
    return {TTimingStatus::Done, QStringLiteral("Finished Mirror operation"), first, last};
}

TTimingResult MoveFrames(TAnimFrames& frames, int first, int last, int target)
{
    TTimes t{frames};
    const int count = t.Count();
    if (target < 0 || target > count)
        return Stopped(kInvalidFrame, first, last);
    if (first <= target && target <= last)
        return Stopped(QStringLiteral("Can't move inside selected Frames!"), first, last);
    if (!IsFrameRange(first, last, count))
        return NotApplicable(first, last);

    const int span = last - first;
    const double p = LeadTime(t, first);
    const double D = t[last] - p;  // the block with the interval that leads into it
    int newFirst = 0;
    if (target < first) {
        const double off = target > 0 ? p - t[target - 1] : t[first];
        for (int i = target; i < first; ++i)
            t.Add(i, D);
        for (int i = first; i <= last; ++i)
            t.Add(i, -off);
        newFirst = target;
        frames.Rotate(size_t(target), size_t(first), size_t(last) + 1);
    } else {
        const int end = std::min(target, count - 1);  // target = count: past the last frame
        for (int i = last + 1; i <= end; ++i)
            t.Add(i, -D);
        const double off = target < count ? t[target] - p : (1.0 - D) - p;
        for (int i = first; i <= last; ++i)
            t.Add(i, off);
        newFirst = target < count ? target - last + first : count - 1 - span;
        frames.Rotate(size_t(first), size_t(last) + 1, size_t(end) + 1);
    }
    SortFramesByTime(frames);
    return {TTimingStatus::Done, QStringLiteral("Finished Move operation"), newFirst, newFirst + span};
}

TTimingResult CopyFrames(TAnimFrames& frames, int first, int last, int target)
{
    TTimes t{frames};
    const int count = t.Count();
    if (target < 0 || target > count)
        return Stopped(kInvalidFrame, first, last);
    if (!IsFrameRange(first, last, count))
        return NotApplicable(first, last);
    double p = LeadTime(t, first);
    double D = t[last] - p;
    // Only frames far out of order can give a block of length -1 or less; scaling by
    // 1 / (1 + D) would then turn every time infinite or negative.
    if (!(1 + D > 0))
        return NotApplicable(first, last);
    const double k = 1 / (1 + D);
    const int span = last - first;
    // The frame count is a 32-bit number in the file and everywhere else.
    if (qint64(count) + span + 1 > std::numeric_limits<int32_t>::max())
        return Stopped(Rtm::OutOfMemory(), first, last);

    // Everything that needs memory comes first: running out of it then leaves the frames
    // as they were.
    frames.MakeRoom(size_t(span) + 1);
    std::vector<double> block(static_cast<size_t>(span + 1));

    for (int i = 0; i < count; ++i)
        t.Set(i, t[i] * k);
    D *= k;
    p *= k;
    for (int j = first; j <= last; ++j)  // before the shift below
        block[static_cast<size_t>(j - first)] = t[j];

    double base = 0;
    if (target > 0)
        base = target < count ? t[target - 1] : k;
    if (target < count) {
        for (int i = target; i < count; ++i)
            t.Set(i, std::min(t[i] + D, 1.0));
    } else if (first == 0) {
        base += 0.001;  // the first copy would sit exactly on the old last frame
    }
    if (target == 0)
        base = p - block.front();

    // The copies go in as one block, with the entries of their originals.
    frames.Insert(size_t(target), frames, size_t(first), size_t(span) + 1);
    for (int j = first; j <= last; ++j)
        t.Set(target + j - first, std::min(block[static_cast<size_t>(j - first)] - p + base, 1.0));
    SortFramesByTime(frames);
    return {TTimingStatus::Done, QStringLiteral("Finished Copy operation"), target, target + span};
}

TTimingResult DeleteFrames(TAnimFrames& frames, int first, int last)
{
    TTimes t{frames};
    const int count = t.Count();
    if (count == 0)
        return Stopped(QStringLiteral("No Anim Steps!"), first, last);
    if (!IsFrameRange(first, last, count))
        return NotApplicable(first, last);
    // Checked before anything changes, so a refused delete leaves the frames as they were.
    if (count - (last - first + 1) < 2)
        return Stopped(QStringLiteral("Only two Animsteps left!"), first, last);

    double D = 0;
    if (first > 0)
        D = t[last] - t[first - 1];
    else if (last + 1 < count)
        D = t[last + 1];
    for (int i = last + 1; i < count; ++i)
        t.Add(i, -D);
    // A gap as long as the whole animation (or longer, with times out of order) leaves
    // nothing to stretch: the remaining times stay as they are rather than flip sign.
    const double k = D >= 1.0 ? 1.0 : 1 / (1 - D);
    for (int i = 0; i < count; ++i) {
        if (i < first || i > last)
            t.Set(i, t[i] * k);
    }
    frames.Erase(size_t(first), size_t(last - first) + 1);
    return {TTimingStatus::Done, QString(), -1, -1};
}

TFrameRange FitFrameSelection(int selFirst, int selLast, int count)
{
    if (selFirst == -1)
        return {};
    const int last = std::min(selLast, count - 1);
    if (selFirst < 0 || selFirst > last)
        return {};
    return {selFirst, last};
}

// ---- Chart items

std::vector<TTimerItem> BuildFrameTimerItems(const TAnimFrames& frames)
{
    std::vector<TTimerItem> items;
    items.reserve(frames.size() * 2);
    for (size_t i = 0; i < frames.size(); ++i) {
        const double x = static_cast<double>(i);
        const double y = frames.Time(i);
        items.push_back({x, y, i == 0 ? TTimerItemKind::MoveTo : TTimerItemKind::LineTo, false});
        items.push_back({x, y, TTimerItemKind::Mark, false});
    }
    return items;
}

void TagFrameRange(std::vector<TTimerItem>& items, int selFirst, int selLast)
{
    const double lo = selFirst;
    const double hi = selLast;
    for (size_t i = 1; i < items.size(); ++i) {
        if (items[i].X >= lo && items[i].X <= hi)
            items[i].Selected = true;
    }
}

TFrameRange CollectFrameSelection(const std::vector<TTimerItem>& items)
{
    TFrameRange r;
    for (const TTimerItem& it : items) {
        if (it.Kind != TTimerItemKind::Mark || !it.Selected || !std::isfinite(it.X))
            continue;
        const int frame = static_cast<int>(std::trunc(it.X));
        if (r.First == -1)
            r.First = frame;
        r.Last = frame;
    }
    return r;
}

void DragSelectedItems(std::vector<TTimerItem>& items, double dy)
{
    for (TTimerItem& it : items) {
        if (it.Selected)
            it.Y += dy;
    }
    EnforceTimeOrder(items);
}

void EnforceTimeOrder(std::vector<TTimerItem>& items)
{
    const size_t n = items.size();
    for (size_t i = 0; i < std::min<size_t>(n, 2); ++i)
        items[i].Y = 0;
    for (size_t i = 2; i < n; ++i) {
        double& y = items[i].Y;
        const double prev = items[i - 1].Y;
        if (y < prev)
            y = prev + 0.0001;
        if (y > 1.0)
            y = 1.0;
    }
    if (n >= 2) {
        items[n - 1].Y = 1.0;
        items[n - 2].Y = 1.0;
    }
}

int WriteBackFrameTimes(const std::vector<TTimerItem>& items, TAnimFrames& frames)
{
    const double count = static_cast<double>(frames.size());
    int firstSelected = -1;
    for (const TTimerItem& it : items) {
        if (it.Kind != TTimerItemKind::Mark || !(it.X >= 0 && it.X < count))
            continue;
        const int frame = static_cast<int>(std::trunc(it.X));
        frames.Time(static_cast<size_t>(frame)) = static_cast<float>(it.Y);
        if (it.Selected && firstSelected == -1)
            firstSelected = frame;
    }
    return firstSelected;
}
