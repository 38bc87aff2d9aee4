// The frame list's and the frame timer's operations, and "New Animation...", on a fuzzed
// animation with fuzzed arguments, through the controller as the windows and the frames
// command use it. The input is an RTM file, "@@OPS@@", then one operation per three bytes. After every
// operation the frame-time rules hold (frame 0 at 0, the last at 1, each frame's flag
// telling whether it is later than the one before), the counts agree, and an operation
// stopped by its message changed nothing. At the end undoing every step gives the loaded
// frames and redoing them the final ones, and the streamed writers must round trip: the
// file saved reads back to the document, the streamed JSON equals the string.
#include "FuzzSupport.h"
#include "anim/AnimController.h"
#include "anim/FrameOps.h"
#include "anim/FrameTiming.h"
#include "anim/Rtm.h"
#include "anim/RtmInfo.h"
#include "editor/Editor.h"
#include "filebuild/RtmBuilder.h"

#include <QTemporaryDir>
#include <QTextStream>
#include <array>
#include <cmath>
#include <cstring>

namespace {
const QByteArray Separator = "@@OPS@@";
constexpr int MaxFrames = 3000;  // copies double the frames; keep each input quick

FuzzSeeds MakeSeeds()
{
    using namespace RtmBuild;
    const auto ops = [](std::initializer_list<int> bytes) {
        QByteArray b;
        for (int v : bytes)
            b.append(char(v));
        return b;
    };
    FuzzSeeds seeds;
    seeds.emplace_back("walk_copy_move",
                       Build(TFile::Regular({"arm", "leg"}, 5)) + Separator + ops({4, 1, 3, 8, 2, 0, 7, 0, 1, 5, 0, 0}));
    seeds.emplace_back("one_frame_insert",
                       Build(TFile::Regular({"a"}, 1)) + Separator + ops({1, 0, 0, 1, 0, 0, 2, 0, 0, 9, 3, 4}));
    seeds.emplace_back("drag",
                       Build(TFile::Regular({"a", "b", "c"}, 8)) + Separator + ops({4, 2, 5, 10, 200, 7, 6, 0, 0, 3, 1, 9}));
    seeds.emplace_back("no_file", Separator + ops({0, 6, 0, 8, 1, 2, 11, 0, 0}));
    seeds.emplace_back("flips", Build(TFile::Regular({"arm_l", "arm_r", "body"}, 6)) + Separator +
                                    ops({4, 1, 2, 12, 0, 0, 13, 0, 0, 4, 0, 5, 13, 0, 0, 12, 0, 0}));
    return seeds;
}

void CheckDocument(const TAnimController& anim)
{
    const TAnimDocument& d = anim.Doc;
    const int count = d.FrameCount();
    FUZZ_CHECK(d.AnimStepCount == count);
    FUZZ_CHECK(count == 0 ? d.ActAnimStep == 0 : (d.ActAnimStep >= 0 && d.ActAnimStep < count));
    const int slotCount = d.AnimSelections.Count();
    FUZZ_CHECK(count == 0 || d.AnimFrames.Stride() == slotCount);
    FUZZ_CHECK(d.AnimFrames.AllEntries().size() == size_t(count) * size_t(d.AnimFrames.Stride()));
    for (const TAnimEntry& e : d.AnimFrames.AllEntries())
        FUZZ_CHECK(e.NameIndex >= 0 && e.NameIndex < slotCount);
    if (count > 0)
        FUZZ_CHECK(d.AnimFrames.Time(0) == 0);
    if (count > 1)
        FUZZ_CHECK(d.AnimFrames.Time(size_t(count) - 1) == 1);
}

bool SameFrames(const TAnimFrames& a, const TAnimFrames& b)
{
    const auto same = [](const auto& x, const auto& y) {  // the data of an empty span may be null
        return x.size() == y.size() && (x.empty() || std::memcmp(x.data(), y.data(), x.size() * sizeof(x[0])) == 0);
    };
    return same(a.Times(), b.Times()) && same(a.AllEntries(), b.AllEntries());
}

// The frame timer's selection, as the window keeps it.
struct TTimerSelection {
    int First = 0, Last = 0;
};

void TimerOp(TAnimController& anim, TTimerSelection& sel, int op, int a, int b)
{
    const int count = anim.Doc.FrameCount();
    if (count == 0)
        return;
    const TAnimFrames before = anim.Doc.AnimFrames;
    TTimingResult r;
    switch (op) {
    case 0:
        r = anim.LinearizeRange(sel.First, sel.Last);
        break;
    case 1:
        r = anim.MirrorRange(sel.First, sel.Last);
        break;
    case 2:
        r = anim.MoveRange(sel.First, sel.Last, a - 8);
        break;
    case 3:
        if (count + (sel.Last - sel.First + 1) > MaxFrames)
            return;
        r = anim.CopyRange(sel.First, sel.Last, a - 8);
        break;
    case 4:
        r = anim.DeleteRange(sel.First, sel.Last);
        break;
    case 5:
        r = anim.FlipRange(sel.First, sel.Last);
        break;
    default:
        if (count + (sel.Last - sel.First + 1) > MaxFrames)
            return;
        r = anim.FlipRangeHalfCycleLater(sel.First, sel.Last);
        break;
    }
    (void)b;
    if (!r.Done()) {
        FUZZ_CHECK(SameFrames(before, anim.Doc.AnimFrames));
        FUZZ_CHECK(r.Status == TTimingStatus::NotApplicable || !r.Message.isEmpty());
        return;
    }
    sel.First = r.SelFirst;
    sel.Last = r.SelLast;
    if (anim.Doc.FrameCount() > 0) {
        const TFrameRange fit = FitFrameSelection(sel.First, sel.Last, anim.Doc.FrameCount());
        sel.First = fit.First;
        sel.Last = fit.Last;
    }
}

// A Ctrl-drag of the tagged frames by dy, written back as a release does.
void Drag(TAnimController& anim, const TTimerSelection& sel, double dy)
{
    if (anim.Doc.AnimFrames.empty())
        return;
    std::vector<TTimerItem> items = BuildFrameTimerItems(anim.Doc.AnimFrames);
    TagFrameRange(items, sel.First, sel.Last);
    bool finite = true;
    for (const TTimerItem& it : items)
        finite = finite && std::isfinite(it.Y);
    DragSelectedItems(items, dy);
    for (size_t i = 0; finite && i < items.size(); ++i) {
        FUZZ_CHECK(items[i].Y >= 0 && items[i].Y <= 1);
        if (i > 0)
            FUZZ_CHECK(items[i].Y >= items[i - 1].Y);
    }
    if (finite && items.size() >= 4)  // one frame's two items are both first and last
        FUZZ_CHECK(items[0].Y == 0 && items[1].Y == 0 && items[items.size() - 1].Y == 1 && items[items.size() - 2].Y == 1);
    const TFrameRange collected = CollectFrameSelection(items);
    FUZZ_CHECK((collected.First == -1) == (collected.Last == -1));
    anim.WriteBackFrameTimes(items);
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    WriteSeedsIfAsked(MakeSeeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray all(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype at = all.indexOf(Separator);
    const QByteArray file = at < 0 ? all : all.left(at);
    const QByteArray ops = at < 0 ? QByteArray() : all.mid(at + Separator.size());
    const QString in = FuzzFolder().filePath(QStringLiteral("in.rtm"));
    {
        QFile f(in);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(file) == file.size());
    }
    TEditor editor;  // the history is the editor's, as in the window and the frames command
    TAnimController& anim = editor.Anim();
    if (!anim.LoadAnimation(in).isEmpty() || anim.Doc.FrameCount() > MaxFrames)
        return 0;
    CheckDocument(anim);
    editor.SetHistoryLimits(1 << 20, size_t(-1));  // every step of the chain stays undoable
    const TAnimFrames loaded = anim.Doc.AnimFrames;
    const QStringList loadedNames = anim.Doc.AnimSelections.Names();
    const std::array<float, 3> loadedMove = anim.Doc.TotalMove;

    TTimerSelection sel;
    for (qsizetype i = 0; i + 2 < ops.size(); i += 3) {
        const int op = uchar(ops[i]) % 15, a = uchar(ops[i + 1]), b = uchar(ops[i + 2]);
        const TAnimFrames before = anim.Doc.AnimFrames;
        switch (op) {
        case 0:
            anim.SetActStep(a - 8);
            break;
        case 1:
            if (anim.Doc.FrameCount() < MaxFrames && !anim.InsertFrameAfter().isEmpty())
                FUZZ_CHECK(SameFrames(before, anim.Doc.AnimFrames));
            break;
        case 2:
            if (!anim.DeleteCurrentFrame().isEmpty())
                FUZZ_CHECK(SameFrames(before, anim.Doc.AnimFrames));
            break;
        case 3: {
            // A time typed into a cell: a byte's worth of texts, numbers and not.
            static const char* const texts[] = {"0.5", "0,25", "1", "0", "-1", "2", "nan", "inf", "1e-9", "x", "", " .75 "};
            float t = anim.Doc.AnimFrames.empty() ? 0 : anim.Doc.AnimFrames[size_t(a % anim.Doc.FrameCount())].Time;
            ParseFrameTime(QString::fromLatin1(texts[b % 12]), t);
            if (!anim.Doc.AnimFrames.empty())
                anim.RetimeFrame(a % anim.Doc.FrameCount(), t, (b & 0x80) != 0);
            break;
        }
        case 4: {
            const int count = anim.Doc.FrameCount();
            if (count == 0)
                break;
            const int first = a % count, last = first + b % (count - first);
            if (IsFrameRange(first, last, count))
                sel = {first, last};
            break;
        }
        case 5:
        case 6:
        case 7:
        case 8:
        case 9:
        case 12:
        case 13: {
            const TFrameTimerButtons on = FrameTimerButtons(sel.First, sel.Last, anim.Doc.FrameCount());
            const bool enabled = op == 5 ? on.Linearize : op == 6 ? on.Mirror : on.MoveCopyDelete;
            if (enabled && IsFrameRange(sel.First, sel.Last, anim.Doc.FrameCount()))
                TimerOp(anim, sel, op < 12 ? op - 5 : op - 7, a, b);
            break;
        }
        case 14: {  // the two halves of a new animation, of some of the names loaded or none
            editor.StartNewAnimation();
            const QStringList names = loadedNames.mid(a % (loadedNames.size() + 1), b % 4);
            if (!editor.CreateNewAnimation(names).isEmpty())
                FUZZ_CHECK(names.isEmpty() && anim.Doc.FrameCount() == 0);
            break;
        }
        case 10:
            if (IsFrameRange(sel.First, sel.Last, anim.Doc.FrameCount()))
                Drag(anim, sel, (a - 128) / 100.0 + b / 25600.0);
            break;
        case 11: {
            const float v = float(a - 128) / float(b + 1);
            anim.SetTotalMove(b % 3, v);
            break;
        }
        }
        CheckDocument(anim);
    }

    // Undo all the way back gives the loaded frames, redo all the way the final ones; every
    // state between keeps the rules.
    {
        const TAnimFrames final = anim.Doc.AnimFrames;
        const std::array<float, 3> finalMove = anim.Doc.TotalMove;
        int undone = 0;
        while (editor.Undo()) {
            CheckDocument(anim);
            ++undone;
        }
        FUZZ_CHECK(SameFrames(loaded, anim.Doc.AnimFrames));
        FUZZ_CHECK(anim.Doc.AnimSelections.Names() == loadedNames);
        FUZZ_CHECK(std::memcmp(loadedMove.data(), anim.Doc.TotalMove.data(), sizeof loadedMove) == 0);
        FUZZ_CHECK(!editor.History().IsModified(FileAnimation));
        for (int i = 0; i < undone; ++i) {
            FUZZ_CHECK(editor.Redo());
            CheckDocument(anim);
        }
        FUZZ_CHECK(!editor.Redo());
        FUZZ_CHECK(SameFrames(final, anim.Doc.AnimFrames));
        FUZZ_CHECK(std::memcmp(finalMove.data(), anim.Doc.TotalMove.data(), sizeof finalMove) == 0);
    }

    // The streamed writers: the saved file reads back to the document, and the streamed
    // JSON is the string the info command would build.
    if (anim.Doc.AnimStepCount > 0) {
        const QString out = FuzzFolder().filePath(QStringLiteral("out.rtm"));
        FUZZ_CHECK(anim.SaveAnimation(out).isEmpty());
        const TRtmData back = ReadRtmFile(out, out);
        FUZZ_CHECK(back.Ok());
        FUZZ_CHECK(SameFrames(back.Frames, anim.Doc.AnimFrames));
        FUZZ_CHECK(back.Names.Names() == anim.Doc.AnimSelections.Names());
        FUZZ_CHECK(std::memcmp(back.TotalMove.data(), anim.Doc.TotalMove.data(), sizeof back.TotalMove) == 0);
        QByteArray bytes;
        FUZZ_CHECK(WriteRtm(anim.Doc, bytes).isEmpty());
        QFile f(out);
        FUZZ_CHECK(f.open(QIODevice::ReadOnly) && f.readAll() == bytes);
    }
    QString streamed;
    {
        QTextStream s(&streamed);
        WriteRtmInfoJson(anim.Doc, s);
    }
    FUZZ_CHECK(streamed == RtmInfoJson(anim.Doc));
    QString text;
    {
        QTextStream s(&text);
        WriteRtmInfoText(anim.Doc, s);
    }
    FUZZ_CHECK(text == RtmInfoText(anim.Doc));
    return 0;
}
