// RTM reader: any bytes give a document or one of the reader's two messages; a document
// that was read writes back, and that file reads back to the same document bit for bit.
#include "FuzzSupport.h"
#include "anim/Rtm.h"
#include "anim/RtmInfo.h"
#include "filebuild/RtmBuilder.h"

#include <QJsonDocument>
#include <cstring>
#include <limits>

namespace {
bool SameBits(const void* a, const void* b, size_t n) { return std::memcmp(a, b, n) == 0; }

bool SameDocument(const TAnimDocument& a, const TAnimDocument& b)
{
    if (a.AnimSelections.Names() != b.AnimSelections.Names() || a.AnimComponentCount != b.AnimComponentCount ||
        !SameBits(a.TotalMove.data(), b.TotalMove.data(), sizeof a.TotalMove) || a.AnimFrames.size() != b.AnimFrames.size())
        return false;
    for (size_t i = 0; i < a.AnimFrames.size(); ++i) {
        const TAnimFrame& fa = a.AnimFrames[i];
        const TAnimFrame& fb = b.AnimFrames[i];
        if (!SameBits(&fa.Time, &fb.Time, sizeof fa.Time) || fa.Entries.size() != fb.Entries.size())
            return false;
        for (size_t j = 0; j < fa.Entries.size(); ++j)
            if (fa.Entries[j].NameIndex != fb.Entries[j].NameIndex ||
                !SameBits(fa.Entries[j].Matrix.data(), fb.Entries[j].Matrix.data(), sizeof(TMatrix12f)))
                return false;
    }
    return true;
}

FuzzSeeds MakeSeeds()
{
    using namespace RtmBuild;
    FuzzSeeds seeds;
    seeds.emplace_back("regular", Build(TFile::Regular({"Body", "Arm", "Leg"}, 4)));
    seeds.emplace_back("one_frame", Build(TFile::Regular({"Head"}, 1)));
    seeds.emplace_back("no_frames", Build(TFile::Regular({"a", "b"}, 0)));
    seeds.emplace_back("no_components", Build(TFile::Regular({}, 3)));

    TFile shuffled = TFile::Regular({"A", "b", "a", "Kn\xe9", "abcdefghijklmnopqrstuvwxyz012345"}, 3);
    std::swap(shuffled.Frames[1].Records[0], shuffled.Frames[1].Records[3]);
    shuffled.Frames[2].Records[1].Name = "B";
    shuffled.Frames[2].Records[3].Name = "KN\xc9";
    shuffled.NameFill = '\x55';
    seeds.emplace_back("shuffled_case_duplicates", Build(shuffled));

    TFile odd = TFile::Regular({"x", "y"}, 2);
    odd.TotalMove = {std::numeric_limits<float>::quiet_NaN(), -0.f, std::numeric_limits<float>::infinity()};
    odd.Frames[0].Records[0].Matrix[4] = std::numeric_limits<float>::denorm_min();
    odd.Frames[1].Time = 0.25f;
    seeds.emplace_back("odd_values", Build(odd));

    TFile unknown = TFile::Regular({"x", "y"}, 2);
    unknown.Frames[1].Records[1].Name = "z";
    seeds.emplace_back("unknown_name", Build(unknown));

    TFile tooMany = TFile::Regular({"x"}, 2);
    tooMany.FrameCount = 3;
    seeds.emplace_back("count_too_large", Build(tooMany));
    return seeds;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    WriteSeedsIfAsked(MakeSeeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    TAnimDocument doc;
    const QString error = ReadRtm(bytes, doc);
    if (!error.isEmpty()) {
        FUZZ_CHECK(error == Rtm::IncorrectFormat || error == Rtm::NameNotInHeader);
        FUZZ_CHECK(doc.AnimSelections.IsEmpty() && doc.AnimFrames.empty() && doc.AnimComponentCount == 0);
        return 0;
    }

    const int slotCount = doc.AnimSelections.Count();
    FUZZ_CHECK(doc.AnimComponentCount == slotCount);
    for (const TAnimFrame& f : doc.AnimFrames) {
        FUZZ_CHECK(int(f.Entries.size()) == slotCount);
        for (const TAnimEntry& e : f.Entries)
            FUZZ_CHECK(e.NameIndex >= 0 && e.NameIndex < slotCount);
    }
    // The file can hold no more than it is long.
    FUZZ_CHECK(qint64(doc.AnimFrames.size()) * (4 + 80 * qint64(slotCount)) + 28 + 32 * qint64(slotCount) <= qint64(size));

    const QJsonDocument info = QJsonDocument::fromJson(RtmInfoJson(doc).toUtf8());
    FUZZ_CHECK(info.isObject());
    (void)RtmInfoText(doc);

    doc.AnimStepCount = doc.FrameCount();
    QByteArray written;
    FUZZ_CHECK(WriteRtm(doc, written).isEmpty());
    TAnimDocument again;
    FUZZ_CHECK(ReadRtm(written, again).isEmpty());
    FUZZ_CHECK(SameDocument(doc, again));

    again.AnimStepCount = again.FrameCount();
    QByteArray rewritten;
    FUZZ_CHECK(WriteRtm(again, rewritten).isEmpty());
    FUZZ_CHECK(rewritten == written);
    return 0;
}
