#include "filebuild/RtmBuilder.h"

#include <cstring>

namespace RtmBuild {
namespace {
void PutU32(QByteArray& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}
void PutF32(QByteArray& out, float f)
{
    uint32_t u;
    std::memcpy(&u, &f, 4);
    PutU32(out, u);
}
void PutNameField(QByteArray& out, const QByteArray& name, char fill)
{
    const QByteArray cut = name.left(32);
    out.append(cut);
    if (cut.size() < 32) {
        out.append('\0');
        out.append(QByteArray(31 - cut.size(), fill));
    }
}
}  // namespace

TMatrix TFile::Sample(int frame, int component)
{
    TMatrix m;
    for (int k = 0; k < 12; ++k)
        m[size_t(k)] = float(frame) * 0.5f + float(component) * 0.25f - float(k) * 0.125f;
    return m;
}

TFile TFile::Regular(const std::vector<QByteArray>& names, int frames)
{
    TFile f;
    f.TotalMove = {1.5f, -2.25f, 0.125f};
    f.Names = names;
    for (int i = 0; i < frames; ++i) {
        TFrame fr;
        fr.Time = frames > 1 ? float(i) / float(frames - 1) : 0.f;
        for (size_t j = 0; j < names.size(); ++j)
            fr.Records.push_back({names[j], Sample(i, int(j))});
        f.Frames.push_back(fr);
    }
    return f;
}

QByteArray Build(const TFile& file)
{
    QByteArray out = file.Magic;
    for (float v : file.TotalMove)
        PutF32(out, v);
    PutU32(out, uint32_t(file.FrameCount.value_or(int32_t(file.Frames.size()))));
    PutU32(out, uint32_t(file.ComponentCount.value_or(int32_t(file.Names.size()))));
    for (const QByteArray& n : file.Names)
        PutNameField(out, n, file.NameFill);
    for (const TFrame& fr : file.Frames) {
        PutF32(out, fr.Time);
        for (const TRecord& r : fr.Records) {
            PutNameField(out, r.Name, file.NameFill);
            for (float v : r.Matrix)
                PutF32(out, v);
        }
    }
    if (file.TruncateAt && *file.TruncateAt < out.size())
        out.truncate(*file.TruncateAt);
    return out;
}

qsizetype ExpectedSize(qsizetype components, qsizetype frames) { return 28 + 32 * components + frames * (4 + 80 * components); }

}  // namespace RtmBuild
