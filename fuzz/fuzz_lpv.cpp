// Linking-file reader: any bytes give records (no more than the file holds) and at most the
// stream error; what was read writes back and reads back to the same records bit for bit.
#include "FuzzSupport.h"
#include "model/Linking.h"
#include "filebuild/LpvBuilder.h"

#include <cstring>
#include <limits>

namespace {
FuzzSeeds MakeSeeds()
{
    FuzzSeeds seeds;
    TLpvBuilder walker;
    walker.Add("body", "", 0, 1, 0).Add("hip", "body", 0, 1.2f, 0).Add("leg_l", "hip", -0.5f, 1, 0);
    walker.Add("foot_l", "leg_l", -0.5f, 0.1f, 0.2f).Add("proxy:lamp.01", "body", 0, 2, 0);
    seeds.emplace_back("walker", walker.Build());

    TLpvBuilder odd;
    odd.Add(QByteArray(32, 'x'), QByteArray("p\0junk", 6), std::numeric_limits<float>::quiet_NaN(), -0.f,
            std::numeric_limits<float>::infinity());
    odd.Add("\xe4\xf6", "", 1, 2, 3);
    odd.Count = 3;
    seeds.emplace_back("odd_short", odd.Build());
    TLpvBuilder none;
    seeds.emplace_back("none", none.Build());
    return seeds;
}

bool SameRecords(const std::vector<TLinkRecord>& a, const std::vector<TLinkRecord>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].Name != b[i].Name || a[i].ParentName != b[i].ParentName ||
            std::memcmp(a[i].Pivot, b[i].Pivot, sizeof a[i].Pivot) != 0)
            return false;
    return true;
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
    const TLinkReadResult r = ReadLinkingBytes(bytes);
    FUZZ_CHECK(r.Error.isEmpty() || r.Error == QLatin1String("Stream read error"));
    FUZZ_CHECK(8 + r.Records.size() * LinkRecordSize <= size || (size < 8 && r.Records.empty()));
    for (const TLinkRecord& rec : r.Records)
        FUZZ_CHECK(rec.Name.size() <= LinkNameSize && rec.ParentName.size() <= LinkNameSize);

    const QByteArray written = WriteLinkingBytes(r.Records);
    FUZZ_CHECK(written.size() == 8 + qsizetype(r.Records.size()) * LinkRecordSize);
    const TLinkReadResult again = ReadLinkingBytes(written);
    FUZZ_CHECK(again.Error.isEmpty());
    FUZZ_CHECK(SameRecords(r.Records, again.Records));
    FUZZ_CHECK(WriteLinkingBytes(again.Records) == written);
    return 0;
}
