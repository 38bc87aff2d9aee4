#pragma once
// Builds RTM animation files from a description, so tests (and fuzz seeds) state what a
// file holds instead of carrying byte blobs. Every field can be set to something no
// writer would produce: counts that disagree with the content, a wrong magic, names that
// do not match the header, a cut-off end.
#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace RtmBuild {

using TMatrix = std::array<float, 12>;
inline constexpr TMatrix Identity{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};

struct TRecord {
    QByteArray Name;  // raw single-byte name; more than 32 bytes are cut to the field
    TMatrix Matrix = Identity;
};

struct TFrame {
    float Time = 0;
    std::vector<TRecord> Records;
};

struct TFile {
    QByteArray Magic = "RTM_0101";  // written as is (any length)
    std::array<float, 3> TotalMove{0, 0, 0};
    std::vector<QByteArray> Names;
    std::vector<TFrame> Frames;
    std::optional<int32_t> FrameCount;  // default: Frames.size()
    std::optional<int32_t> ComponentCount;  // default: Names.size()
    char NameFill = 0;  // bytes after a name's terminating zero
    std::optional<qsizetype> TruncateAt;  // keep only this many bytes

    // A record per header name, in header order, in every frame; frame i gets the
    // matrix Sample(i, j) for name j and times spaced evenly from 0 to 1.
    static TFile Regular(const std::vector<QByteArray>& names, int frames);
    // A distinct matrix per frame and component, values chosen to be exact floats.
    static TMatrix Sample(int frame, int component);
};

QByteArray Build(const TFile& file);

// Size of a consistent file with c components and f frames.
qsizetype ExpectedSize(qsizetype components, qsizetype frames);

}  // namespace RtmBuild
