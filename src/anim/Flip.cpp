#include "anim/Flip.h"

#include <QHash>
#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>
#include <new>

namespace {

// Every "left" made "right" and every "right" made "left", in one pass, so swapping twice
// gives the name back.
QString SwapLeftRight(const QString& lower)
{
    static const QString left = QStringLiteral("left"), right = QStringLiteral("right");
    QString out;
    out.reserve(lower.size() + 8);
    for (qsizetype i = 0; i < lower.size();) {
        if (QStringView(lower).mid(i).startsWith(left)) {
            out += right;
            i += left.size();
        } else if (QStringView(lower).mid(i).startsWith(right)) {
            out += left;
            i += right.size();
        } else {
            out += lower[i++];
        }
    }
    return out;
}

QChar OtherSide(QChar c) { return c == QLatin1Char('l') ? QLatin1Char('r') : QLatin1Char('l'); }
bool IsSide(QChar c) { return c == QLatin1Char('l') || c == QLatin1Char('r'); }

}  // namespace

QStringList FlipCandidates(const QString& name)
{
    const QString lower = name.toCaseFolded();
    QStringList out;
    const auto add = [&out](const QString& c) {
        if (!out.contains(c))
            out << c;
    };
    const qsizetype n = lower.size();
    if (n >= 2 && IsSide(lower[n - 1]) && QStringLiteral("_.- ").contains(lower[n - 2])) {
        QString c = lower;
        c[n - 1] = OtherSide(lower[n - 1]);
        add(c);
    }
    if (n >= 2 && IsSide(lower[0]) && lower[1] == QLatin1Char('_')) {
        QString c = lower;
        c[0] = OtherSide(lower[0]);
        add(c);
    }
    if (lower.contains(QLatin1String("left")) || lower.contains(QLatin1String("right")))
        add(SwapLeftRight(lower));
    return out;
}

TFlipPartners FindFlipPartners(const QStringList& names)
{
    const int count = int(names.size());
    QHash<QString, int> first;  // case-folded name -> its first slot
    for (int i = count; i-- > 0;)
        first.insert(names[i].toCaseFolded(), i);
    std::vector<int> wants(size_t(count), -1);  // the slot each name would pair with
    std::vector<bool> sided(size_t(count), false);
    for (int i = 0; i < count; ++i) {
        const QStringList candidates = FlipCandidates(names[i]);
        sided[size_t(i)] = !candidates.isEmpty();
        for (const QString& c : candidates) {
            const int j = first.value(c, -1);
            if (j >= 0 && j != i) {
                wants[size_t(i)] = j;
                break;
            }
        }
    }
    TFlipPartners p;
    p.Partner.assign(size_t(count), -1);
    for (int i = 0; i < count; ++i) {
        const int j = wants[size_t(i)];
        if (j >= 0 && wants[size_t(j)] == i) {
            p.Partner[size_t(i)] = j;
            if (i < j)
                p.Pairs.emplace_back(i, j);
        } else if (sided[size_t(i)]) {
            p.Unpaired.push_back(i);
        }
    }
    return p;
}

TMatrix12f MirrorMatrix(const TMatrix12f& m)
{
    TMatrix12f r = m;
    for (size_t i : {1, 2, 3, 6, 9})
        r[i] = -r[i];
    return r;
}

void FlipEntries(std::span<const TAnimEntry> in, const TFlipPartners& partners, std::span<TAnimEntry> out)
{
    const size_t n = std::min(in.size(), out.size());
    const auto partnerOf = [&partners](int32_t slot) {
        return slot >= 0 && size_t(slot) < partners.Partner.size() ? partners.Partner[size_t(slot)] : -1;
    };
    // Usually entry k is slot k's only one.
    bool inSlotOrder = true;
    for (size_t k = 0; k < n && inSlotOrder; ++k)
        inSlotOrder = in[k].NameIndex == int32_t(k);
    if (inSlotOrder) {
        for (size_t k = 0; k < n; ++k) {
            const int p = partnerOf(int32_t(k));
            out[k] = {in[k].NameIndex, MirrorMatrix(in[p >= 0 && size_t(p) < n ? size_t(p) : k].Matrix)};
        }
        return;
    }
    // Each entry's rank among its slot's entries, counted from the last; (slot, rank) -> entry.
    QHash<qint64, size_t> at;
    std::vector<int> rank(n);
    QHash<int32_t, int> seen;
    for (size_t k = n; k-- > 0;) {
        rank[k] = seen[in[k].NameIndex]++;
        at.insert((qint64(in[k].NameIndex) << 32) | uint32_t(rank[k]), k);
    }
    for (size_t k = 0; k < n; ++k) {
        const int p = partnerOf(in[k].NameIndex);
        const size_t from = p >= 0 ? at.value((qint64(p) << 32) | uint32_t(rank[k]), k) : k;
        out[k] = {in[k].NameIndex, MirrorMatrix(in[from].Matrix)};
    }
}

TTimingResult FlipFrames(TAnimFrames& frames, const TFlipPartners& partners, int first, int last)
{
    if (!IsFrameRange(first, last, frames.Count()))
        return {};
    std::vector<TAnimEntry> scratch(size_t(frames.Stride()));
    for (int j = first; j <= last; ++j) {
        const std::span<TAnimEntry> entries = frames.Entries(size_t(j));
        std::copy(entries.begin(), entries.end(), scratch.begin());
        FlipEntries(scratch, partners, entries);
    }
    return {TTimingStatus::Done, {}, first, last};
}

std::vector<THalfCycleTarget> HalfCycleTargets(const TAnimFrames& frames, int first, int last)
{
    std::vector<THalfCycleTarget> targets;
    const int count = frames.Count();
    if (count < 2 || !IsFrameRange(first, last, count))
        return targets;
    const std::span<const float> times = frames.Times();
    // The frame whose time is nearest to t, if it is within SameFrameTime. The times are in
    // order unless the file was damaged; then every frame is looked at.
    const bool sorted = std::is_sorted(times.begin(), times.end());
    const auto landsOn = [&](float t) {
        int best = -1;
        float dist = SameFrameTime;
        const auto consider = [&](size_t k) {
            const float d = std::fabs(times[k] - t);
            if (d <= dist && (best < 0 || d < dist)) {
                best = int(k);
                dist = d;
            }
        };
        if (sorted) {
            const size_t k = size_t(std::lower_bound(times.begin(), times.end(), t - SameFrameTime) - times.begin());
            for (size_t i = k; i < times.size() && times[i] <= t + SameFrameTime; ++i)
                consider(i);
        } else {
            for (size_t i = 0; i < times.size(); ++i)
                consider(i);
        }
        return best;
    };
    std::vector<char> replaced(size_t(count), 0);
    std::vector<THalfCycleTarget> fresh;  // new frames, deduplicated below
    for (int s = first; s <= last; ++s) {
        const double t = times[size_t(s)];
        const float target = float(t <= 0.5 ? t + 0.5 : t - 0.5);
        if (!(target >= 0 && target <= 1))
            continue;  // a damaged time (NaN, or far outside the pass) has no place half a cycle on
        const int k = landsOn(target);
        if (k < 0)
            fresh.push_back({s, target, -1});
        else if (!std::exchange(replaced[size_t(k)], 1))
            targets.push_back({s, target, k});
    }
    // New frames closer than SameFrameTime to one another are one frame: the earliest
    // source's. Taken in time order, a run of such times is one cluster.
    std::vector<size_t> byTime(fresh.size());
    std::iota(byTime.begin(), byTime.end(), size_t(0));
    std::stable_sort(byTime.begin(), byTime.end(), [&](size_t a, size_t b) { return fresh[a].Time < fresh[b].Time; });
    for (size_t i = 0; i < byTime.size();) {
        size_t end = i + 1, keep = byTime[i];
        while (end < byTime.size() && fresh[byTime[end]].Time - fresh[byTime[end - 1]].Time <= SameFrameTime) {
            keep = std::min(keep, byTime[end]);
            ++end;
        }
        targets.push_back(fresh[keep]);
        i = end;
    }
    std::stable_sort(targets.begin(), targets.end(),
                     [](const THalfCycleTarget& a, const THalfCycleTarget& b) { return a.Source < b.Source; });
    return targets;
}

TFrameRange ReplacedFrames(const std::vector<THalfCycleTarget>& targets)
{
    TFrameRange r;
    for (const THalfCycleTarget& t : targets) {
        if (t.Frame < 0)
            continue;
        r.First = r.First < 0 ? t.Frame : std::min(r.First, t.Frame);
        r.Last = std::max(r.Last, t.Frame);
    }
    return r;
}

TTimingResult FlipFramesHalfCycleLater(TAnimFrames& frames, const TFlipPartners& partners, int first, int last,
                                       const std::vector<THalfCycleTarget>& targets, std::span<int> follow)
{
    const int count = frames.Count();
    if (targets.empty() || !IsFrameRange(first, last, count))
        return {};
    // Every flipped pose is made before anything changes: the sources may be targets too.
    TAnimFrames written(frames.Stride());
    written.Reserve(targets.size());
    std::vector<size_t> fresh;  // indices into targets of the new frames, in time order
    for (size_t k = 0; k < targets.size(); ++k) {
        const THalfCycleTarget& t = targets[k];
        FlipEntries(frames.Entries(size_t(t.Source)), partners, written.AppendFrame(t.Time));
        if (t.Frame < 0)
            fresh.push_back(k);
    }
    std::stable_sort(fresh.begin(), fresh.end(), [&](size_t a, size_t b) { return targets[a].Time < targets[b].Time; });
    // A new frame goes before the first frame later than it; that place only grows with
    // its time.
    std::vector<int> place(fresh.size());
    for (size_t f = 0, k = 0; f < fresh.size(); ++f) {
        while (k < size_t(count) && !(frames.Time(k) > targets[fresh[f]].Time))
            ++k;
        place[f] = int(k);
    }
    std::vector<int> order;
    order.reserve(size_t(count) + fresh.size());
    for (int i = 0, f = 0; i <= count; ++i) {
        for (; f < int(fresh.size()) && place[size_t(f)] == i; ++f)
            order.push_back(count + f);
        if (i < count)
            order.push_back(i);
    }
    if (!fresh.empty()) {
        TAnimFrames added(frames.Stride());
        added.Reserve(fresh.size());
        for (size_t k : fresh)
            added.Append(targets[k].Time, written.Entries(k));
        frames.Insert(size_t(count), added, 0, added.size());
        try {
            frames.Permute(order);
        } catch (const std::bad_alloc&) {
            frames.Erase(size_t(count), added.size());
            throw;
        }
    }
    // The frames it lands on; their indices moved by the new frames before them.
    const auto moved = [&place](int i) {
        return i + int(std::upper_bound(place.begin(), place.end(), i) - place.begin());
    };
    for (size_t k = 0; k < targets.size(); ++k) {
        if (targets[k].Frame < 0)
            continue;
        const std::span<const TAnimEntry> from = written.Entries(k);
        std::copy(from.begin(), from.end(), frames.Entries(size_t(moved(targets[k].Frame))).begin());
    }
    for (int& i : follow)
        if (i >= 0 && i < count)
            i = moved(i);
    return {TTimingStatus::Done, {}, moved(first), moved(last)};
}

QString FlipMessage(const QStringList& names, const TFlipPartners& partners)
{
    // The blanks of " l"/" r" do not break: a message box wraps its lines there otherwise.
    QString text = QStringLiteral(
        "Mirrored across X = 0. Partners are found by name: _l/_r, .l/.r, -l/-r or \"\u00A0l\"/\"\u00A0r\" at the end, "
        "l_/r_ at the start, left/right anywhere.");
    if (partners.Pairs.empty())
        text += QStringLiteral("\nNo partners found: every component is mirrored on its own.");
    for (const auto& [a, b] : partners.Pairs)
        text += QStringLiteral("\n%1 <-> %2").arg(names.value(a), names.value(b));
    for (const QString& line : UnpairedLines(names, partners))
        text += QLatin1Char('\n') + line;
    return text;
}

QString FlipSummary(const QStringList& names, const TFlipPartners& partners)
{
    QStringList pairs, alone;
    for (const auto& [a, b] : partners.Pairs)
        pairs << QStringLiteral("%1 <-> %2").arg(names.value(a), names.value(b));
    for (int i : partners.Unpaired)
        alone << names.value(i);
    QString text = pairs.isEmpty() ? QStringLiteral("no partners") : pairs.join(QStringLiteral(", "));
    if (!alone.isEmpty())
        text += QStringLiteral("; no partner: ") + alone.join(QStringLiteral(", "));
    return text;
}

QStringList UnpairedLines(const QStringList& names, const TFlipPartners& partners)
{
    QStringList lines;
    for (int i : partners.Unpaired)
        lines << QStringLiteral("%1 looks like a side but has no partner: mirrored on its own").arg(names.value(i));
    return lines;
}
