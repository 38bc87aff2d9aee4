#include "model/P3dModel.h"
#include "base/Unfilled.h"
#include "model/Membership.h"

#include "platform/DebugOut.h"
#include "platform/FileUtil.h"

#include <algorithm>
#include <cerrno>
#include <new>

namespace {
// Windows colour values (0x00BBGGRR) handed out to new selections in turn.
constexpr uint32_t DefaultColors[17] = {
    0xFFFF00,  // #00FFFF
    0xFFFFFF,  // #FFFFFF
    0xFF0000,  // #0000FF
    0x808080,  // #808080
    0xFF00FF,  // #FF00FF
    0x858585,  // #858585
    0x008000,  // #008000
    0x00FF00,  // #00FF00
    0xC0C0C0,  // #C0C0C0
    0x000080,  // #800000
    0x800000,  // #000080
    0x008080,  // #808000
    0x800080,  // #800080
    0x0000FF,  // #FF0000
    0xC0C0C0,  // #C0C0C0
    0x808000,  // #008080
    0x00FFFF,  // #FFFF00
};

}  // namespace

uint32_t DefaultSelectionColor(int n)
{
    int i = n % 17;
    if (i < 0)
        i += 17;
    return DefaultColors[i];
}

TP3dModell::TP3dModell(const QString& fileName, TSelection* proxySelection, TSelection* proxyParent, bool isProxy)
    : ProxySelection(proxySelection), ProxyParent(proxyParent), IsProxy(isProxy), IsEnvironment(false)
{
    ReadP3d(fileName, false);
}

TP3dModell::TP3dModell(const QString& fileName) : IsEnvironment(true) { ReadP3d(fileName, true); }

TP3dModell::TP3dModell(const QString& fileName, const TP3dFile& read, std::shared_ptr<const TP3dGeometry> geometry,
                       TSelection* proxySelection, TSelection* proxyParent)
    : FileName(fileName), ProxySelection(proxySelection), ProxyParent(proxyParent), IsProxy(true),
      SharedGeometry(std::move(geometry)), LodVertexCount(read.LodVertexCount), LodNormalCount(read.LodNormalCount),
      LodPolygonCount(read.LodPolygonCount), Status(read.Status), ErrorText(read.ErrorText)
{}

TP3dModell::~TP3dModell() { Clear(); }

void TP3dModell::Clear()
{
    Vertices.clear();
    Normals.clear();
    Polygons.clear();
    DisplayPoints.clear();
}

void LogP3dRead(const TP3dFile& file)
{
    using St = TP3dFile::TStage;
    const St at = file.Reached;
    if (at < St::Magic)
        return;
    DebugOut(QStringLiteral("reading p3d...."));
    if (at < St::LodCount)
        return;
    DebugOut(QStringLiteral("LODs: %1").arg(file.LodCount));
    DebugOut(QStringLiteral("reading LOD...."));
    if (at >= St::VertexCount)
        DebugOut(QStringLiteral("Vertex Count: %1").arg(file.LodVertexCount));
    if (at >= St::NormalCount)
        DebugOut(QStringLiteral("Normals Count: %1").arg(file.LodNormalCount));
    if (at >= St::PolygonCount)
        DebugOut(QStringLiteral("Polygons Count: %1").arg(file.LodPolygonCount));
    if (at < St::Arrays)
        return;
    DebugOut(QStringLiteral("reading vertexes...."));
    DebugOut(QStringLiteral("reading Normals...."));
    DebugOut(QStringLiteral("reading polygons...."));
    if (at < St::Tags)
        return;
    DebugOut(QStringLiteral("read tags...."));
    for (const TP3dTag& tag : file.Tags) {
        DebugOut(tag.Name);
        if (tag.Read == TP3dTag::TRead::Name || !tag.Name.startsWith(QLatin1Char('#')) ||
            tag.Name == QLatin1String("#EndOfFile#"))
            continue;
        DebugOut(QStringLiteral("skip Tag.."));
        if (tag.Read == TP3dTag::TRead::Whole)
            DebugOut(QStringLiteral("Tagg Size: %1").arg(tag.Size));
    }
}

void TP3dModell::SetUp(TP3dFile&& file)
{
    LogP3dRead(file);
    Clear();
    Selections.clear();
    LodVertexCount = file.LodVertexCount;
    LodNormalCount = file.LodNormalCount;
    LodPolygonCount = file.LodPolygonCount;
    Status = file.Status;
    ErrorText = std::move(file.ErrorText);
    Vertices = std::move(file.Vertices);
    Normals = std::move(file.Normals);
    Polygons = std::move(file.Polygons);
    // A sub-model is posed where it is drawn; only the others keep posed points.
    if (!IsProxy) {
        DisplayPoints.reserve(Vertices.size());
        PrefaultForWrite(DisplayPoints.data(), Vertices.size() * sizeof(TDisplayPoint));
        for (const TP3dVertex& v : Vertices)
            DisplayPoints.push_back({v.X, v.Y, v.Z, 0});
    }
    // A proxy sub-model is drawn as a whole; its selections are of no use.
    if (IsProxy)
        return;
    const size_t nv = Vertices.size();
    Selections.reserve(file.Selections.size());
    int kept = 0;
    for (TP3dFileSelection& read : file.Selections) {
        auto sel = std::make_unique<TSelection>();
        sel->Model = this;
        sel->Name = std::move(read.Name);
        sel->Color = DefaultSelectionColor(++kept);
        sel->VertexMembership = std::move(read.Points);
        sel->PolygonMembership = std::move(read.Polygons);
        sel->FirstPoint = read.FirstPoint;
        sel->EndPoint = read.EndPoint;
        sel->FirstPolygon = read.FirstPolygon;
        sel->EndPolygon = read.EndPolygon;
        const uint8_t* member = sel->VertexMembership.data();
        const size_t n = std::min<size_t>({nv, sel->VertexMembership.size(), read.EndPoint});
        // The default pivot is the third member point; fewer than three keep the origin.
        // The reader said where the members lie.
        int members = 0;
        for (size_t i = Membership::Next(member, read.FirstPoint, n); i < n; i = Membership::Next(member, i + 1, n)) {
            ++Vertices[i].ShareCount;
            if (++members == 3) {
                sel->Pivot[0] = Vertices[i].X;
                sel->Pivot[1] = Vertices[i].Y;
                sel->Pivot[2] = Vertices[i].Z;
            }
        }
        sel->DisplayName = sel->Name;
        Selections.push_back(std::move(sel));
    }
}

TP3dFile ReadP3dByName(const QString& fileName, bool selections, QString& path, TProgress* progress)
{
    path = ResolveCaseInsensitive(fileName);
    TP3dFile file = ReadP3dFile(path, selections, progress);
    // The user is told the name as given.
    if (file.Status == TP3dReadStatus::CannotOpen)
        file.ErrorText = QStringLiteral("Cannot open file %1").arg(fileName);
    else if (file.OutOfMemory)
        file.ErrorText = QStringLiteral("Cannot open file %1: %2").arg(fileName, SystemErrorText(ENOMEM));
    return file;
}

void TP3dModell::ReadP3d(const QString& fileName, [[maybe_unused]] bool environment, TProgress* progress)
{
    if (fileName.isEmpty())
        return;
    Clear();
    Selections.clear();
    TP3dFile file = ReadP3dByName(fileName, !IsProxy, FileName, progress);
    try {
        SetUp(std::move(file));
    } catch (const std::bad_alloc&) {
        Clear();
        Selections.clear();
        Status = ReadStatus::StreamError;
        ErrorText = QStringLiteral("Cannot open file %1: %2").arg(fileName, SystemErrorText(ENOMEM));
    }
}

// The environment flag only decides whether the caller adds tree nodes; reading is the same.
void TP3dModell::ReadP3dBytes(const QByteArray& bytes, [[maybe_unused]] bool environment) { SetUp(ReadP3dFile(bytes, !IsProxy)); }
