// RTM reader: any bytes give the file's content or one of the reader's two messages; what
// was read writes back, and that file reads back to the same content bit for bit.
#include "FuzzSupport.h"
#include "anim/Rtm.h"
#include "anim/RtmInfo.h"
#include "filebuild/RtmBuilder.h"

#include <QJsonDocument>
#include <cstring>
#include <limits>

namespace {
bool SameBits(const void* a, const void* b, size_t n) { return n == 0 || std::memcmp(a, b, n) == 0; }

bool SameContent(const TRtmData& a, const TRtmData& b)
{
    const auto entries = [](const TRtmData& d) { return d.Frames.AllEntries(); };
    return a.Names.Names() == b.Names.Names() && a.Frames.Stride() == b.Frames.Stride() &&
           SameBits(a.TotalMove.data(), b.TotalMove.data(), sizeof a.TotalMove) && a.Frames.size() == b.Frames.size() &&
           SameBits(a.Frames.Times().data(), b.Frames.Times().data(), a.Frames.size() * sizeof(float)) &&
           entries(a).size() == entries(b).size() &&
           SameBits(entries(a).data(), entries(b).data(), entries(a).size() * sizeof(TAnimEntry));
}

TAnimDocument DocumentOf(const TRtmData& data)  // as a load fills it
{
    TAnimDocument doc;
    doc.TotalMove = data.TotalMove;
    doc.AnimSelections = data.Names;
    doc.AnimFrames = data.Frames;
    doc.AnimStepCount = doc.FrameCount();
    return doc;
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
    const TRtmData file = ReadRtm(bytes);
    if (!file.Ok()) {
        FUZZ_CHECK(file.Error == Rtm::IncorrectFormat || file.Error == Rtm::NameNotInHeader);
        FUZZ_CHECK(file.Names.IsEmpty() && file.Frames.empty() && file.Frames.Stride() == 0);
        return 0;
    }

    const int slotCount = file.Names.Count();
    FUZZ_CHECK(file.Frames.Stride() == slotCount);
    FUZZ_CHECK(file.Frames.AllEntries().size() == file.Frames.size() * size_t(slotCount));
    for (const TAnimEntry& e : file.Frames.AllEntries())
        FUZZ_CHECK(e.NameIndex >= 0 && e.NameIndex < slotCount);
    // The file can hold no more than it is long.
    FUZZ_CHECK(qint64(file.Frames.size()) * (4 + 80 * qint64(slotCount)) + 28 + 32 * qint64(slotCount) <= qint64(size));

    const QJsonDocument info = QJsonDocument::fromJson(RtmInfoJson(file).toUtf8());
    FUZZ_CHECK(info.isObject());
    (void)RtmInfoText(file);

    QByteArray written;
    FUZZ_CHECK(WriteRtm(DocumentOf(file), written).isEmpty());
    const TRtmData again = ReadRtm(written);
    FUZZ_CHECK(again.Ok());
    FUZZ_CHECK(SameContent(file, again));

    QByteArray rewritten;
    FUZZ_CHECK(WriteRtm(DocumentOf(again), rewritten).isEmpty());
    FUZZ_CHECK(rewritten == written);
    return 0;
}
