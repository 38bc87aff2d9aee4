#include "model/P3dFile.h"
#include "model/Membership.h"

#include "platform/Binary.h"
#include "platform/FileUtil.h"
#include "platform/Progress.h"

#include <QFile>
#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <unistd.h>

// Fields are copied as the file stores them.
static_assert(std::endian::native == std::endian::little, "the P3D reader copies little-endian fields as they are");
static_assert(sizeof(TP3dCorner) == 16, "a polygon's corners are copied as one block");

namespace {
constexpr qsizetype HeaderSize = 12 + 28;  // file header, then the first LOD's header
constexpr qsizetype VertexRecordSize = 16;
constexpr qsizetype NormalRecordSize = 12;
constexpr qsizetype PolygonRecordSize = 104;
constexpr qsizetype TagNameSize = 64;
// Files are read in pieces of this size into one buffer that stays in the processor's
// cache; each piece is decoded from there into arrays reserved, not zeroed, beforehand,
// so every byte of the model is written once. Membership lists, stored as the file holds
// them, are read straight into place.
constexpr qsizetype PieceSize = 256 * 1024;

using S = TP3dReadStatus;

// Where the bytes come from, taken in consecutive pieces.
class TSource {
public:
    virtual ~TSource() = default;
    virtual qsizetype Remaining() const = 0;
    // The next n bytes (0 <= n <= Remaining(), n <= PieceSize), valid until the next call;
    // null when the input failed, which ends it.
    virtual const char* Take(qsizetype n) = 0;
    // Callers skip no more than Remaining().
    virtual void Skip(qsizetype n) = 0;
    // The next n bytes (0 <= n <= Remaining()) straight into out; false when the input
    // failed, which ends it.
    virtual bool ReadInto(char* out, qsizetype n) = 0;
};

class TMemorySource final : public TSource {
public:
    explicit TMemorySource(const QByteArray& bytes) : Bytes_(bytes) {}
    qsizetype Remaining() const override { return Bytes_.size() - Pos_; }
    const char* Take(qsizetype n) override
    {
        if (n < 0 || n > Remaining())
            return nullptr;
        const char* p = Bytes_.constData() + Pos_;
        Pos_ += n;
        return p;
    }
    void Skip(qsizetype n) override { Pos_ += std::clamp<qsizetype>(n, 0, Remaining()); }
    bool ReadInto(char* out, qsizetype n) override
    {
        const char* p = Take(n);
        if (p && n > 0)
            std::memcpy(out, p, size_t(n));
        return p;
    }

private:
    const QByteArray& Bytes_;
    qsizetype Pos_ = 0;
};

// The size is taken when the file is opened: a file that grows meanwhile cannot make the
// read go on, one that shrinks fails as a file that ends early.
class TFileSource final : public TSource {
public:
    TFileSource(QFile& file, TProgress* progress)
        : File_(file), Size_(std::max<qint64>(file.size(), 0)), Remaining_(Size_), Buffer_(new char[PieceSize]),
          Progress_(progress)
    {}
    qsizetype Remaining() const override { return Remaining_; }
    const char* Take(qsizetype n) override { return n <= PieceSize && ReadInto(Buffer_.get(), n) ? Buffer_.get() : nullptr; }
    bool ReadInto(char* out, qsizetype n) override
    {
        if (n < 0 || n > Remaining_)
            return false;
        if (!Advance(Progress_, Size_ - Remaining_, Size_)) {  // cancelled: the input ends here
            Remaining_ = 0;
            return false;
        }
        for (qsizetype done = 0; done < n;) {
            const qint64 got = File_.read(out + done, n - done);
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
    qsizetype Size_;
    qsizetype Remaining_;
    std::unique_ptr<char[]> Buffer_;
    TProgress* Progress_;
};

// Up to n bytes (fewer at the end of the input), for fields read one by one.
TByteReader Piece(TSource& src, qsizetype n)
{
    const qsizetype k = std::min(n, src.Remaining());
    const char* p = src.Take(k);
    return p ? TByteReader(p, k) : TByteReader(nullptr, 0);
}

// The machine's physical memory: a header that claims more than this is refused as out of
// memory at once, instead of after reading gigabytes or asking for the impossible.
quint64 PhysicalMemory()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES), size = ::sysconf(_SC_PAGESIZE);
    return pages > 0 && size > 0 ? quint64(pages) * quint64(size) : ~quint64(0);
}

// Decodes count records of recordSize bytes each into out, appended one by one. Room is
// taken for no more records than the input still holds.
template <class T, class Decode>
bool ReadRecords(TSource& src, std::vector<T>& out, uint32_t count, qsizetype recordSize, const Decode& decode)
{
    if (quint64(count) * sizeof(T) > PhysicalMemory())
        throw std::bad_alloc();
    out.reserve(std::min<quint64>(count, quint64(src.Remaining() / recordSize)));
    PrefaultForWrite(out.data() + out.size(), (out.capacity() - out.size()) * sizeof(T));
    const uint32_t perPiece = uint32_t(PieceSize / recordSize);
    for (uint32_t done = 0; done < count;) {
        const uint32_t k = std::min(count - done, perPiece);
        const char* p = src.Take(qsizetype(k) * recordSize);
        if (!p)
            return false;
        for (uint32_t i = 0; i < k; ++i, p += recordSize)
            decode(out.emplace_back(), p);
        done += k;
    }
    return true;
}

// Where the non-zero bytes of a membership list lie: [First, End), empty when none.
struct TSpan {
    uint32_t First = 0, End = 0;

    // Takes in bytes [at, at + n) of the list, n > 0, after every byte before them.
    void Add(const uint8_t* b, uint32_t at, uint32_t n)
    {
        uint32_t i = 0;
        if (First == End) {  // no member yet: the first one in these bytes
            i = uint32_t(Membership::Next(b, 0, n));
            if (i == n)
                return;
            First = at + i;
        }
        // The last one, looked for from the end down to where the first was; a piece
        // without members leaves the end where it was.
        if (const uint32_t end = uint32_t(Membership::End(b + i, n - i)); end > 0)
            End = at + i + end;
    }
};

// n membership bytes read straight into out, piece by piece; each piece, still in the
// processor's cache, is looked over for where its members lie. The caller has made sure
// that the input holds n bytes.
bool ReadMembership(TSource& src, TMembership& out, uint32_t n, TSpan* span)
{
    if (quint64(n) > PhysicalMemory())
        throw std::bad_alloc();
    out.resize(n);
    PrefaultForWrite(out.data(), n);
    for (uint32_t done = 0; done < n;) {
        const uint32_t k = uint32_t(std::min<qsizetype>(n - done, PieceSize));
        if (!src.ReadInto(reinterpret_cast<char*>(out.data()) + done, k))
            return false;
        if (span)
            span->Add(out.data() + done, done, k);
        done += k;
    }
    return true;
}

void ReadModel(TP3dFile& f, TSource& src, bool selections)
{
    auto fail = [&f](S status, const char* text) {
        f.Status = status;
        f.ErrorText = QString::fromLatin1(text);
    };
    auto streamError = [&] { fail(S::StreamError, "Stream read error"); };
    auto isMagic = [](const char(&got)[4], const char* want) { return std::memcmp(got, want, 4) == 0; };

    TByteReader r = Piece(src, HeaderSize);
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
    const quint64 arrays = quint64(nv) * VertexRecordSize + quint64(nn) * NormalRecordSize + quint64(np) * PolygonRecordSize;
    if (arrays > quint64(src.Remaining()))
        return fail(S::BadFormat, "Incorrect Format!");
    f.Reached = TP3dFile::TStage::Arrays;

    const auto vertex = [](TP3dVertex& v, const char* p) {
        std::memcpy(&v.X, p, 4);
        std::memcpy(&v.Y, p + 4, 4);
        std::memcpy(&v.Z, p + 8, 4);
        std::memcpy(&v.Flags, p + 12, 4);
    };
    const auto normal = [](TP3dNormal& n, const char* p) {
        std::memcpy(&n.X, p, 4);
        std::memcpy(&n.Y, p + 4, 4);
        std::memcpy(&n.Z, p + 8, 4);
    };
    const auto polygon = [nv](TP3dPolygon& poly, const char* p) {
        std::memcpy(poly.TextureName, p, sizeof poly.TextureName - 1);
        std::memcpy(&poly.VertexCount, p + 32, 4);
        std::memcpy(poly.Corners, p + 36, sizeof poly.Corners);
        std::memcpy(&poly.Flags, p + 100, 4);
        const TP3dCorner* c = poly.Corners;
        // A bad normal index still leaves the shape.
        poly.Valid = (poly.VertexCount == 3 || poly.VertexCount == 4) && c[0].PointIndex < nv && c[1].PointIndex < nv &&
                     c[2].PointIndex < nv && (poly.VertexCount == 3 || c[3].PointIndex < nv);
    };
    if (!ReadRecords(src, f.Vertices, nv, VertexRecordSize, vertex) ||
        !ReadRecords(src, f.Normals, nn, NormalRecordSize, normal) ||
        !ReadRecords(src, f.Polygons, np, PolygonRecordSize, polygon))
        return streamError();

    r = Piece(src, 4);
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
        r = Piece(src, TagNameSize + 4);
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
        TSpan points, polygons;
        if (!ReadMembership(src, sel.Points, nv, &points) || !ReadMembership(src, sel.Polygons, np, &polygons))
            return streamError();
        sel.FirstPoint = points.First;
        sel.EndPoint = points.End;
        sel.FirstPolygon = polygons.First;
        sel.EndPolygon = polygons.End;
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

TP3dFile ReadP3dFile(const QString& path, bool selections, TProgress* progress)
{
    TP3dFile f;
    QFile file;
    if (!OpenRegularFile(path, file)) {
        f.Status = S::CannotOpen;
        f.ErrorText = QStringLiteral("Cannot open file %1").arg(path);
        return f;
    }
    TFileSource source(file, progress);
    try {
        ReadModel(f, source, selections);
        if (f.Status == S::Ok)
            Advance(progress, 1, 1);
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
