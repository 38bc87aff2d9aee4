#include "model/P3dmodell.h"

#include "platform/Binary.h"
#include "platform/DebugOut.h"
#include "platform/FileUtil.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
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

TP3dModell::TP3dModell(const TP3dModell& read, std::shared_ptr<const TP3dGeometry> geometry, TSelection* proxySelection,
                       TSelection* proxyParent)
    : FileName(read.FileName),
      ProxySelection(proxySelection),
      ProxyParent(proxyParent),
      IsProxy(true),
      SharedGeometry(std::move(geometry)),
      LodVertexCount(read.LodVertexCount),
      LodNormalCount(read.LodNormalCount),
      LodPolygonCount(read.LodPolygonCount),
      Status(read.Status),
      ErrorText(read.ErrorText)
{
}

TP3dModell::~TP3dModell() { Clear(); }

void TP3dModell::Clear()
{
    Vertices.clear();
    Normals.clear();
    Polygons.clear();
    DisplayPoints.clear();
}

namespace {
// Where the reader's bytes come from, taken in consecutive pieces. Each piece is read
// through its own TByteReader, which ends where the piece ends; a piece is cut short only
// by the end of the input, so a short file fails at the same field from either source.
class TP3dSource {
public:
    virtual ~TP3dSource() = default;
    virtual qsizetype Remaining() const = 0;
    // The next n bytes, fewer at the end of the input; valid until the next call.
    virtual TByteReader Take(qsizetype n) = 0;
    // Callers skip no more than Remaining().
    virtual void Skip(qsizetype n) = 0;
};

class TMemorySource final : public TP3dSource {
public:
    explicit TMemorySource(const QByteArray& bytes) : Bytes_(bytes) {}
    qsizetype Remaining() const override { return Bytes_.size() - Pos_; }
    TByteReader Take(qsizetype n) override
    {
        const qsizetype k = std::clamp<qsizetype>(n, 0, Remaining());
        TByteReader r(Bytes_.constData() + Pos_, k);
        Pos_ += k;
        return r;
    }
    void Skip(qsizetype n) override { Pos_ += std::clamp<qsizetype>(n, 0, Remaining()); }

private:
    const QByteArray& Bytes_;
    qsizetype Pos_ = 0;
};

// The selections' membership bytes are most of a large model file. Reading the file piece
// by piece, each tag on its own, keeps the whole file and the model's copy of those bytes
// from being in memory at the same time.
class TFileSource final : public TP3dSource {
public:
    explicit TFileSource(QFile& file) : File_(file), Remaining_(file.size()) {}
    qsizetype Remaining() const override { return Remaining_; }
    TByteReader Take(qsizetype n) override
    {
        const qsizetype k = std::clamp<qsizetype>(n, 0, Remaining_);
        Piece_ = QByteArray();  // a large earlier piece is freed, not kept as capacity
        Piece_.resize(k);
        const qint64 got = k > 0 ? File_.read(Piece_.data(), k) : 0;
        // A failed read ends the input: what follows reads as a file that ends early.
        Remaining_ = got == k ? Remaining_ - k : 0;
        return TByteReader(Piece_.constData(), got > 0 ? qsizetype(got) : 0);
    }
    void Skip(qsizetype n) override
    {
        const qsizetype k = std::clamp<qsizetype>(n, 0, Remaining_);
        Remaining_ = File_.seek(File_.pos() + k) ? Remaining_ - k : 0;
    }

private:
    QFile& File_;
    qsizetype Remaining_;
    QByteArray Piece_;
};

void ReadModel(TP3dModell& m, TP3dSource& src)
{
    using ReadStatus = TP3dModell::ReadStatus;
    m.Clear();
    m.Selections.clear();
    m.LodVertexCount = m.LodNormalCount = m.LodPolygonCount = 0;
    m.Status = ReadStatus::NotRead;
    m.ErrorText.clear();

    auto fail = [&m](ReadStatus status, const char* text) {
        m.Status = status;
        m.ErrorText = QString::fromLatin1(text);
    };
    auto streamError = [&] { fail(ReadStatus::StreamError, "Stream read error"); };

    // File header (magic, version, LOD count) and LOD header (magic, header size,
    // version, the three counts, flags).
    TByteReader r = src.Take(12 + 28);
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
    m.LodVertexCount = nv;
    DebugOut(QStringLiteral("Vertex Count: %1").arg(nv));
    const uint32_t nn = r.U32();
    if (r.Failed())
        return streamError();
    m.LodNormalCount = nn;
    DebugOut(QStringLiteral("Normals Count: %1").arg(nn));
    const uint32_t np = r.U32();
    if (r.Failed())
        return streamError();
    m.LodPolygonCount = np;
    DebugOut(QStringLiteral("Polygons Count: %1").arg(np));
    r.Skip(4);  // LOD flags
    if (r.Failed())
        return streamError();

    // Refuse counts the file cannot hold before allocating anything for them.
    const quint64 arrays = quint64(nv) * VertexRecordSize + quint64(nn) * NormalRecordSize +
                           quint64(np) * PolygonRecordSize;
    if (arrays > quint64(src.Remaining()))
        return fail(ReadStatus::BadFormat, "Incorrect Format!");
    r = src.Take(qsizetype(arrays));

    DebugOut(QStringLiteral("reading vertexes...."));
    m.Vertices.resize(nv);
    // A sub-model is posed where it is drawn; only the others keep posed points.
    if (!m.IsProxy)
        m.DisplayPoints.resize(nv);
    for (uint32_t i = 0; i < nv; ++i) {
        TP3dVertex& v = m.Vertices[i];
        v.X = r.F32();
        v.Y = r.F32();
        v.Z = r.F32();
        v.Flags = r.U32();
    }
    for (size_t i = 0; i < m.DisplayPoints.size(); ++i) {
        m.DisplayPoints[i].X = m.Vertices[i].X;
        m.DisplayPoints[i].Y = m.Vertices[i].Y;
        m.DisplayPoints[i].Z = m.Vertices[i].Z;
    }

    DebugOut(QStringLiteral("reading Normals...."));
    m.Normals.resize(nn);
    for (TP3dNormal& n : m.Normals) {
        n.X = r.F32();
        n.Y = r.F32();
        n.Z = r.F32();
    }

    DebugOut(QStringLiteral("reading polygons...."));
    m.Polygons.resize(np);
    for (TP3dPolygon& p : m.Polygons) {
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
            p.Valid = p.Corners[k].PointIndex < nv;  // a bad normal index still leaves the shape
    }

    r = src.Take(4);
    if (!r.Bytes(magic, 4))
        return streamError();
    if (!IsMagic(magic, "TAGG"))
        return fail(ReadStatus::NoTags, "No Tag Identifier found!");
    DebugOut(QStringLiteral("read tags...."));

    // A proxy sub-model is drawn as a whole; its selections are of no use.
    if (m.IsProxy) {
        m.Status = ReadStatus::Ok;
        return;
    }

    const quint64 membershipSize = quint64(nv) + np;
    int kept = 0;
    for (;;) {
        r = src.Take(TagNameSize + 4);
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
            if (size > quint64(src.Remaining()))
                return streamError();
            src.Skip(size);
            DebugOut(QStringLiteral("Tagg Size: %1").arg(size));
            continue;
        }
        // A selection's data is one byte per point and one per polygon, and the next tag
        // follows right after them. A tag that says it is shorter than that is damaged:
        // reading on would take the next tag's header as membership bytes.
        if (size < membershipSize)
            return fail(ReadStatus::BadFormat, "Incorrect Format!");
        if (membershipSize > quint64(src.Remaining()))
            return streamError();
        r = src.Take(qsizetype(membershipSize));
        if (r.Size() != qsizetype(membershipSize))
            return streamError();

        auto sel = std::make_unique<TSelection>();
        sel->Model = &m;
        sel->Name = name;
        ++kept;
        sel->Color = DefaultSelectionColor(kept);
        const auto* data = reinterpret_cast<const uint8_t*>(r.Here());
        sel->VertexMembership.assign(data, data + nv);
        sel->PolygonMembership.assign(data + nv, data + nv + np);
        // The default pivot is the third member point; fewer than three keep the origin.
        int members = 0;
        for (uint32_t i = 0; i < nv; ++i) {
            if (!sel->VertexMembership[i])
                continue;
            ++m.Vertices[i].ShareCount;
            if (++members == 3) {
                sel->Pivot[0] = m.Vertices[i].X;
                sel->Pivot[1] = m.Vertices[i].Y;
                sel->Pivot[2] = m.Vertices[i].Z;
            }
        }
        sel->DisplayName = sel->Name;
        m.Selections.push_back(std::move(sel));
    }
    m.Status = ReadStatus::Ok;
}
}  // namespace

void TP3dModell::ReadP3d(const QString& fileName, [[maybe_unused]] bool environment)
{
    if (fileName.isEmpty())
        return;
    Clear();
    Selections.clear();
    const QString path = ResolveCaseInsensitive(fileName);
    FileName = path;
    QFile file;
    if (!OpenRegularFile(path, file)) {
        Status = ReadStatus::CannotOpen;
        ErrorText = QStringLiteral("Cannot open file %1").arg(fileName);
        return;
    }
    TFileSource source(file);
    try {
        ReadModel(*this, source);
    } catch (const std::bad_alloc&) {
        // A file may claim (and even hold) more than there is memory for: abandoned whole.
        Clear();
        Selections.clear();
        Status = ReadStatus::StreamError;
        ErrorText = QStringLiteral("Cannot open file %1: %2").arg(fileName, SystemErrorText(ENOMEM));
    }
}

// The environment flag only decides whether the caller adds tree nodes; reading is the same.
void TP3dModell::ReadP3dBytes(const QByteArray& bytes, [[maybe_unused]] bool environment)
{
    TMemorySource source(bytes);
    ReadModel(*this, source);
}
