#include "model/P3dFile.h"

#include "platform/Binary.h"
#include "platform/FileUtil.h"

#include <QFile>
#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <new>

// Records are copied as the file stores them and widened in place.
static_assert(std::endian::native == std::endian::little, "the P3D reader copies little-endian records as they are");
static_assert(offsetof(TP3dVertex, Flags) == 12 && sizeof(TP3dVertex) >= 16);
static_assert(sizeof(TP3dNormal) == 12);
static_assert(offsetof(TP3dCorner, V) == 12 && sizeof(TP3dCorner) == 16);
static_assert(offsetof(TP3dPolygon, VertexCount) == 32 && offsetof(TP3dPolygon, Corners) == 36 &&
              offsetof(TP3dPolygon, Flags) == 100 && sizeof(TP3dPolygon) >= 104);

namespace {
constexpr qsizetype HeaderSize = 12 + 28;  // file header, then the first LOD's header
constexpr qsizetype VertexRecordSize = 16;
constexpr qsizetype NormalRecordSize = 12;
constexpr qsizetype PolygonRecordSize = 104;
constexpr qsizetype TagNameSize = 64;

using S = TP3dReadStatus;

// Where the bytes come from, in consecutive pieces copied straight to where they belong.
class TSource {
public:
    virtual ~TSource() = default;
    virtual qsizetype Remaining() const = 0;
    // Copies the next n bytes (at most Remaining()) to out; false when the input failed,
    // which ends it.
    virtual bool Read(void* out, qsizetype n) = 0;
    // Callers skip no more than Remaining().
    virtual void Skip(qsizetype n) = 0;
};

class TMemorySource final : public TSource {
public:
    explicit TMemorySource(const QByteArray& bytes) : Bytes_(bytes) {}
    qsizetype Remaining() const override { return Bytes_.size() - Pos_; }
    bool Read(void* out, qsizetype n) override
    {
        if (n < 0 || n > Remaining())
            return false;
        if (n > 0)
            std::memcpy(out, Bytes_.constData() + Pos_, size_t(n));
        Pos_ += n;
        return true;
    }
    void Skip(qsizetype n) override { Pos_ += std::clamp<qsizetype>(n, 0, Remaining()); }

private:
    const QByteArray& Bytes_;
    qsizetype Pos_ = 0;
};

// The size is taken when the file is opened: a file that grows meanwhile cannot make the
// read go on, one that shrinks fails as a file that ends early.
class TFileSource final : public TSource {
public:
    explicit TFileSource(QFile& file) : File_(file), Remaining_(std::max<qint64>(file.size(), 0)) {}
    qsizetype Remaining() const override { return Remaining_; }
    bool Read(void* out, qsizetype n) override
    {
        if (n < 0 || n > Remaining_)
            return false;
        char* to = static_cast<char*>(out);
        for (qsizetype done = 0; done < n;) {
            const qint64 got = File_.read(to + done, n - done);
            if (got <= 0) {
                Remaining_ = 0;
                return false;
            }
            done += got;
        }
        Remaining_ -= n;
        return true;
    }
    void Skip(qsizetype n) override
    {
        const qsizetype k = std::clamp<qsizetype>(n, 0, Remaining_);
        Remaining_ = File_.seek(File_.pos() + k) ? Remaining_ - k : 0;
    }

private:
    QFile& File_;
    qsizetype Remaining_;
};

// Up to n bytes (fewer at the end of the input) into buffer, for fields read one by one.
TByteReader Piece(TSource& src, char* buffer, qsizetype n)
{
    const qsizetype k = std::min(n, src.Remaining());
    return TByteReader(buffer, src.Read(buffer, k) ? k : 0);
}

// Reads count records of recordSize bytes into out, widened in place to sizeof(T) each:
// the block lands at the front of the array, and each record moves to its slot from the
// last one down, so no record is overwritten before it has moved.
template <class T>
bool ReadRecords(TSource& src, std::vector<T>& out, uint32_t count, qsizetype recordSize)
{
    out.resize(count);
    char* base = reinterpret_cast<char*>(out.data());
    if (!src.Read(base, qsizetype(count) * recordSize))
        return false;
    if (qsizetype(sizeof(T)) != recordSize)
        for (size_t i = count; i-- > 1;)
            std::memmove(base + i * sizeof(T), base + i * size_t(recordSize), size_t(recordSize));
    return true;
}

void ReadModel(TP3dFile& f, TSource& src, bool selections)
{
    auto fail = [&f](S status, const char* text) {
        f.Status = status;
        f.ErrorText = QString::fromLatin1(text);
    };
    auto streamError = [&] { fail(S::StreamError, "Stream read error"); };
    auto isMagic = [](const char (&got)[4], const char* want) { return std::memcmp(got, want, 4) == 0; };

    char head[HeaderSize];
    TByteReader r = Piece(src, head, HeaderSize);
    char magic[4];
    if (!r.Bytes(magic, 4))
        return streamError();
    if (!isMagic(magic, "MLOD"))
        return fail(S::BadFormat, "Incorrect Format!");
    f.Reached = TP3dFile::TStage::Magic;
    r.U32();  // version
    f.LodCount = r.U32();
    if (r.Failed())
        return streamError();
    f.Reached = TP3dFile::TStage::LodCount;
    if (!r.Bytes(magic, 4))
        return streamError();
    if (!isMagic(magic, "SP3X"))
        return fail(S::BadLod, "Incorrect LOD Format!");
    r.Skip(8);  // header size, LOD version
    const uint32_t nv = r.U32();
    if (r.Failed())
        return streamError();
    f.LodVertexCount = nv;
    f.Reached = TP3dFile::TStage::VertexCount;
    const uint32_t nn = r.U32();
    if (r.Failed())
        return streamError();
    f.LodNormalCount = nn;
    f.Reached = TP3dFile::TStage::NormalCount;
    const uint32_t np = r.U32();
    if (r.Failed())
        return streamError();
    f.LodPolygonCount = np;
    f.Reached = TP3dFile::TStage::PolygonCount;
    r.Skip(4);  // LOD flags
    if (r.Failed())
        return streamError();

    // Refuse counts the file cannot hold before allocating anything for them.
    const quint64 arrays = quint64(nv) * VertexRecordSize + quint64(nn) * NormalRecordSize +
                           quint64(np) * PolygonRecordSize;
    if (arrays > quint64(src.Remaining()))
        return fail(S::BadFormat, "Incorrect Format!");
    f.Reached = TP3dFile::TStage::Arrays;

    if (!ReadRecords(src, f.Vertices, nv, VertexRecordSize) || !ReadRecords(src, f.Normals, nn, NormalRecordSize) ||
        !ReadRecords(src, f.Polygons, np, PolygonRecordSize))
        return streamError();
    // The fields after the file's part of a record were overwritten by the moves.
    for (TP3dVertex& v : f.Vertices) {
        v.ShareCount = 0;
        v.IsProxyCorner = false;
    }
    for (TP3dPolygon& p : f.Polygons) {
        p.TextureName[sizeof p.TextureName - 1] = '\0';
        p.Hidden = false;
        // A bad normal index still leaves the shape.
        p.Valid = (p.VertexCount == 3 || p.VertexCount == 4) && p.Corners[0].PointIndex < nv &&
                  p.Corners[1].PointIndex < nv && p.Corners[2].PointIndex < nv &&
                  (p.VertexCount == 3 || p.Corners[3].PointIndex < nv);
    }

    r = Piece(src, magic, 4);
    if (!r.Bytes(magic, 4))
        return streamError();
    if (!isMagic(magic, "TAGG"))
        return fail(S::NoTags, "No Tag Identifier found!");
    f.Reached = TP3dFile::TStage::Tags;
    if (!selections) {
        f.Status = S::Ok;
        return;
    }

    const quint64 membershipSize = quint64(nv) + np;
    for (;;) {
        char tagHead[TagNameSize + 4];
        r = Piece(src, tagHead, TagNameSize + 4);
        QString name = r.Name(TagNameSize);
        if (r.Failed())
            return streamError();
        TP3dTag& tag = f.Tags.emplace_back();
        tag.Name = name;
        tag.Size = r.U32();
        if (r.Failed())
            return streamError();
        tag.Read = TP3dTag::TRead::Size;
        if (name == QLatin1String("#EndOfFile#")) {
            tag.Read = TP3dTag::TRead::Whole;
            break;
        }
        if (name.startsWith(QLatin1Char('#'))) {
            if (tag.Size > quint64(src.Remaining()))
                return streamError();
            src.Skip(tag.Size);
            tag.Read = TP3dTag::TRead::Whole;
            continue;
        }
        // A selection's data is one byte per point and one per polygon, and the next tag
        // follows right after them. A tag that says it is shorter than that is damaged:
        // reading on would take the next tag's header as membership bytes.
        if (tag.Size < membershipSize)
            return fail(S::BadFormat, "Incorrect Format!");
        if (membershipSize > quint64(src.Remaining()))
            return streamError();
        TP3dFileSelection sel;
        sel.Name = std::move(name);
        sel.Points.resize(nv);
        sel.Polygons.resize(np);
        if (!src.Read(sel.Points.data(), nv) || !src.Read(sel.Polygons.data(), np))
            return streamError();
        tag.Read = TP3dTag::TRead::Whole;
        f.Selections.push_back(std::move(sel));
    }
    f.Status = S::Ok;
}
}  // namespace

TP3dFile ReadP3dFile(const QByteArray& bytes, bool selections)
{
    TP3dFile f;
    TMemorySource source(bytes);
    ReadModel(f, source, selections);
    return f;
}

TP3dFile ReadP3dFile(const QString& path, bool selections)
{
    TP3dFile f;
    QFile file;
    if (!OpenRegularFile(path, file)) {
        f.Status = S::CannotOpen;
        f.ErrorText = QStringLiteral("Cannot open file %1").arg(path);
        return f;
    }
    TFileSource source(file);
    try {
        ReadModel(f, source, selections);
    } catch (const std::bad_alloc&) {
        // A file may claim (and even hold) more than there is memory for: abandoned whole,
        // what the headers said kept.
        f.Vertices = {};
        f.Normals = {};
        f.Polygons = {};
        f.Selections = {};
        f.Status = S::StreamError;
        f.OutOfMemory = true;
        f.ErrorText = QStringLiteral("Cannot open file %1: %2").arg(path, SystemErrorText(ENOMEM));
    }
    return f;
}
