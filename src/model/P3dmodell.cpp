#include "model/P3dmodell.h"

#include "platform/Binary.h"
#include "platform/DebugOut.h"
#include "platform/FileUtil.h"

#include <cstring>

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

constexpr qsizetype VertexRecordSize = 16;
constexpr qsizetype NormalRecordSize = 12;
constexpr qsizetype PolygonRecordSize = 104;
constexpr qsizetype TagNameSize = 64;

bool IsMagic(const char (&got)[4], const char* want) { return std::memcmp(got, want, 4) == 0; }
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

TP3dModell::~TP3dModell() { Clear(); }

void TP3dModell::Clear()
{
    Vertices.clear();
    Normals.clear();
    Polygons.clear();
    DisplayPoints.clear();
}

void TP3dModell::ReadP3d(const QString& fileName, bool environment)
{
    if (fileName.isEmpty())
        return;
    Clear();
    Selections.clear();
    const QString path = ResolveCaseInsensitive(fileName);
    FileName = path;
    QByteArray bytes;
    if (!ReadWholeFile(path, bytes)) {
        Status = ReadStatus::CannotOpen;
        ErrorText = QStringLiteral("Cannot open file %1").arg(fileName);
        return;
    }
    ReadP3dBytes(bytes, environment);
}

// The environment flag only decides whether the caller adds tree nodes; reading is the same.
void TP3dModell::ReadP3dBytes(const QByteArray& bytes, [[maybe_unused]] bool environment)
{
    Clear();
    Selections.clear();
    LodVertexCount = LodNormalCount = LodPolygonCount = 0;
    Status = ReadStatus::NotRead;
    ErrorText.clear();

    auto fail = [this](ReadStatus status, const char* text) {
        Status = status;
        ErrorText = QString::fromLatin1(text);
    };
    auto streamError = [&] { fail(ReadStatus::StreamError, "Stream read error"); };

    TByteReader r(bytes);
    char magic[4];
    if (!r.Bytes(magic, 4))
        return streamError();
    if (!IsMagic(magic, "MLOD"))
        return fail(ReadStatus::BadFormat, "Incorrect Format!");

    DebugOut(QStringLiteral("reading p3d...."));
    r.U32();  // version
    const uint32_t lodCount = r.U32();
    if (r.Failed())
        return streamError();
    DebugOut(QStringLiteral("LODs: %1").arg(lodCount));

    DebugOut(QStringLiteral("reading LOD...."));
    if (!r.Bytes(magic, 4))
        return streamError();
    if (!IsMagic(magic, "SP3X"))
        return fail(ReadStatus::BadLod, "Incorrect LOD Format!");
    r.Skip(8);  // header size, LOD version
    const uint32_t nv = r.U32();
    if (r.Failed())
        return streamError();
    LodVertexCount = nv;
    DebugOut(QStringLiteral("Vertex Count: %1").arg(nv));
    const uint32_t nn = r.U32();
    if (r.Failed())
        return streamError();
    LodNormalCount = nn;
    DebugOut(QStringLiteral("Normals Count: %1").arg(nn));
    const uint32_t np = r.U32();
    if (r.Failed())
        return streamError();
    LodPolygonCount = np;
    DebugOut(QStringLiteral("Polygons Count: %1").arg(np));
    r.Skip(4);  // LOD flags
    if (r.Failed())
        return streamError();

    // Refuse counts the file cannot hold before allocating anything for them.
    const quint64 arrays = quint64(nv) * VertexRecordSize + quint64(nn) * NormalRecordSize +
                           quint64(np) * PolygonRecordSize;
    if (arrays > quint64(r.Remaining()))
        return fail(ReadStatus::BadFormat, "Incorrect Format!");

    DebugOut(QStringLiteral("reading vertexes...."));
    Vertices.resize(nv);
    DisplayPoints.resize(nv);
    for (uint32_t i = 0; i < nv; ++i) {
        TP3dVertex& v = Vertices[i];
        v.X = r.F32();
        v.Y = r.F32();
        v.Z = r.F32();
        v.Flags = r.U32();
        DisplayPoints[i].X = v.X;
        DisplayPoints[i].Y = v.Y;
        DisplayPoints[i].Z = v.Z;
    }

    DebugOut(QStringLiteral("reading Normals...."));
    Normals.resize(nn);
    for (TP3dNormal& n : Normals) {
        n.X = r.F32();
        n.Y = r.F32();
        n.Z = r.F32();
    }

    DebugOut(QStringLiteral("reading polygons...."));
    Polygons.resize(np);
    for (TP3dPolygon& p : Polygons) {
        r.Bytes(p.TextureName, sizeof p.TextureName);
        p.TextureName[sizeof p.TextureName - 1] = '\0';
        p.VertexCount = r.U32();
        for (TP3dCorner& c : p.Corners) {
            c.PointIndex = r.U32();
            c.NormalIndex = r.U32();
            c.U = r.F32();
            c.V = r.F32();
        }
        p.Flags = r.U32();
        p.Valid = p.VertexCount == 3 || p.VertexCount == 4;
        for (uint32_t k = 0; p.Valid && k < p.VertexCount; ++k)
            p.Valid = p.Corners[k].PointIndex < nv && p.Corners[k].NormalIndex < nn;
    }

    if (!r.Bytes(magic, 4))
        return streamError();
    if (!IsMagic(magic, "TAGG"))
        return fail(ReadStatus::NoTags, "No Tag Identifier found!");
    DebugOut(QStringLiteral("read tags...."));

    // A proxy sub-model is drawn as a whole; its selections are of no use.
    if (ProxySelection) {
        Status = ReadStatus::Ok;
        return;
    }

    const quint64 membershipSize = quint64(nv) + np;
    int kept = 0;
    for (;;) {
        const QString name = r.Name(TagNameSize);
        if (r.Failed())
            return streamError();
        DebugOut(name);
        const uint32_t size = r.U32();
        if (r.Failed())
            return streamError();
        if (name == QLatin1String("#EndOfFile#"))
            break;
        if (name.startsWith(QLatin1Char('#'))) {
            DebugOut(QStringLiteral("skip Tag.."));
            if (!r.Has(size))
                return streamError();
            r.Skip(size);
            DebugOut(QStringLiteral("Tagg Size: %1").arg(size));
            continue;
        }
        // A selection's data is one byte per point and one per polygon, and the next tag
        // follows right after them. A tag that says it is shorter than that is damaged:
        // reading on would take the next tag's header as membership bytes.
        if (size < membershipSize)
            return fail(ReadStatus::BadFormat, "Incorrect Format!");
        if (!r.Has(qsizetype(membershipSize)))
            return streamError();

        auto sel = std::make_unique<TSelection>();
        sel->Model = this;
        sel->Name = name;
        ++kept;
        sel->Color = DefaultSelectionColor(kept);
        const auto* data = reinterpret_cast<const uint8_t*>(r.Here());
        sel->VertexMembership.assign(data, data + nv);
        sel->PolygonMembership.assign(data + nv, data + nv + np);
        r.Skip(qsizetype(membershipSize));
        // The default pivot is the third member point; fewer than three keep the origin.
        int members = 0;
        for (uint32_t i = 0; i < nv; ++i) {
            if (!sel->VertexMembership[i])
                continue;
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
    Status = ReadStatus::Ok;
}
