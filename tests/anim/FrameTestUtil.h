#pragma once
// Frames made from a list of times; each carries its original index in its one entry
// (translation x), so a test sees where a frame went and what a copy was taken from.
#include "anim/AnimController.h"
#include "anim/Rtm.h"
#include "filebuild/P3dBuilder.h"  // WriteBytesFile
#include "filebuild/RtmBuilder.h"

#include <QList>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <vector>

using FloatList = QList<float>;
using IntList = QList<int>;

// With second set, each frame has a second entry (slot 3) holding its time.
inline TAnimFrames FramesAt(const FloatList& times, bool second = false)
{
    TAnimFrames frames(second ? 2 : 1);
    for (qsizetype i = 0; i < times.size(); ++i) {
        const TAnimEntry entries[2] = {{0, {1, 0, 0, 0, 1, 0, 0, 0, 1, float(i), 0, 0}},
                                       {3, {2, 0, 0, 0, 2, 0, 0, 0, 2, times[i], 0, 0}}};
        frames.Append(times[i], std::span(entries, second ? 2 : 1));
    }
    return frames;
}

inline FloatList TimesOf(const TAnimFrames& frames, double roundTo = 0)
{
    FloatList t;  // rounded to the given step when one is given, so float noise compares equal
    for (float time : frames.Times())
        t.append(roundTo > 0 ? float(std::round(time / roundTo) * roundTo) : time);
    return t;
}

inline IntList IdsOf(const TAnimFrames& frames)
{
    IntList ids;
    for (size_t i = 0; i < frames.size(); ++i)
        ids.append(frames.Stride() == 0 ? -1 : int(frames.Entries(i)[0].Matrix[9]));
    return ids;
}

// The file a save of the document writes; "<refused>" when the writer refuses it.
inline QByteArray RtmBytes(const TAnimDocument& doc)
{
    QByteArray out;
    return WriteRtm(doc, out).isEmpty() ? out : QByteArray("<refused>");
}

// The document a read fills, as a load fills it.
inline TAnimDocument DocumentOf(const TRtmData& data)
{
    TAnimDocument d;
    d.TotalMove = data.TotalMove;
    d.AnimSelections = data.Names;
    d.AnimFrames = data.Frames;
    d.AnimStepCount = d.FrameCount();
    return d;
}

// The steps a controller records, kept as a history would keep them: Undo puts the last
// one back, Redo the last one undone, a new step drops what could have been redone.
struct TRecordedSteps {
    TAnimController& Anim;
    std::vector<TAnimStep> Done, Undone;
    explicit TRecordedSteps(TAnimController& anim) : Anim(anim)
    {
        Anim.Recorded = [this](TAnimStep step) {
            Done.push_back(std::move(step));
            Undone.clear();
        };
    }
    QString UndoName() const { return Done.empty() ? QString() : Done.back().Name; }
    bool Undo() { return Move(Done, Undone, true); }
    bool Redo() { return Move(Undone, Done, false); }
    size_t Bytes() const
    {
        size_t n = 0;
        for (const auto* steps : {&Done, &Undone})
            for (const TAnimStep& s : *steps)
                n += s.Bytes();
        return n;
    }

private:
    bool Move(std::vector<TAnimStep>& from, std::vector<TAnimStep>& to, bool undo)
    {
        if (from.empty())
            return false;
        Anim.PutBack(from.back(), undo);
        to.push_back(std::move(from.back()));
        from.pop_back();
        return true;
    }
};

// A controller holding a walk of four components with this many frames (none when 0),
// loaded from a folder of its own.
struct TAnimFixture {
    QTemporaryDir Dir;
    TAnimController Anim;
    const TAnimDocument& Doc = Anim.Doc;
    QString Path(const char* name) const { return Dir.filePath(QString::fromLatin1(name)); }
    explicit TAnimFixture(int frames = 12)
    {
        if (frames <= 0)
            return;
        RtmBuild::TFile f = RtmBuild::TFile::Regular({"arm", "leg", "head", "tail"}, frames);
        f.TotalMove = {0.5f, 0, -2};
        QVERIFY(WriteBytesFile(Path("walk.rtm"), RtmBuild::Build(f)));
        QCOMPARE(Anim.LoadAnimation(Path("walk.rtm")), QString());
    }
};
