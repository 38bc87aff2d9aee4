#include "anim/Rtm.h"

#include "platform/FileUtil.h"
#include "platform/Progress.h"

#include <QFile>

#include <algorithm>
#include <bit>
#include <new>
#include <cstring>
#include <vector>

namespace {
static_assert(sizeof(TMatrix12f) == 48, "a matrix is 12 packed floats");
constexpr bool LittleEndianHost = std::endian::native == std::endian::little;

// The fault sticks: whatever was read goes, the message stays.
void Fail(TRtmData& data, const QString& message)
{
    data = TRtmData();
    data.Error = message;
}

// Writing goes through a cursor into a buffer sized once.
char* PutU32(char* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        *p++ = char((v >> (8 * i)) & 0xFF);
    return p;
}
char* PutF32(char* p, float f) { return PutU32(p, std::bit_cast<uint32_t>(f)); }
char* PutBytes(char* p, const void* src, size_t n)
{
    if (n)  // the source of an empty copy may be null
        std::memcpy(p, src, n);
    return p + n;
}
char* PutMatrix(char* p, const TMatrix12f& m)
{
    if constexpr (LittleEndianHost)
        return PutBytes(p, m.data(), sizeof m);
    for (float v : m)
        p = PutF32(p, v);
    return p;
}

// The name field at the last frame's same position and the slot it resolved to. Files
// normally list the records in the same order in every frame, so most records are matched
// by comparing the raw field instead of building a string and hashing it.
struct TResolvedName {
    char Field[Rtm::NameFieldSize];
    int Slot = -1;
};

// The bytes of a file in memory.
class TMemoryInput {
public:
    explicit TMemoryInput(const QByteArray& bytes) : Bytes_(bytes) {}
    qint64 Size() const { return Bytes_.size(); }
    // n contiguous bytes (n small), or null at the end.
    const char* Take(qsizetype n)
    {
        if (n > Bytes_.size() - Pos_)
            return nullptr;
        const char* p = Bytes_.constData() + Pos_;
        Pos_ += n;
        return p;
    }
    // The next n bytes copied to out; false at the end.
    bool ReadInto(char* out, qsizetype n)
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

// A file read in pieces of a megabyte: a large animation is never held twice, once as
// bytes and once as the document.
class TFileInput {
public:
    TFileInput(QFile& file, TProgress* progress) : File_(file), Size_(file.size()), Progress_(progress) {}
    qint64 Size() const { return Size_; }
    const QString& Error() const { return Error_; }
    const char* Take(qsizetype n)
    {
        if (n > End_ - Pos_ && !Refill(n))
            return nullptr;
        const char* p = Buffer_.constData() + Pos_;
        Pos_ += n;
        return p;
    }

    // The next n bytes (any number) straight into out: what is buffered, then the file
    // itself; false at the end.
    bool ReadInto(char* out, qsizetype n)
    {
        const qsizetype buffered = std::min(n, End_ - Pos_);
        if (buffered > 0)
            std::memcpy(out, Buffer_.constData() + Pos_, size_t(buffered));
        Pos_ += buffered;
        for (qsizetype done = buffered; done < n;) {
            const qint64 k = File_.read(out + done, n - done);
            if (k < 0)
                Error_ = File_.errorString();
            if (k <= 0)
                return false;
            done += qsizetype(k);
        }
        return true;
    }

private:
    bool Refill(qsizetype n)
    {
        static constexpr qsizetype Chunk = 1 << 20;
        if (!Advance(Progress_, File_.pos(), Size_))  // cancelled: the input ends here
            return false;
        const qsizetype kept = End_ - Pos_;
        if (Buffer_.size() < Chunk)
            Buffer_.resize(Chunk);
        std::memmove(Buffer_.data(), Buffer_.constData() + Pos_, size_t(kept));
        Pos_ = 0;
        End_ = kept;
        while (End_ < n) {
            const qint64 k = File_.read(Buffer_.data() + End_, Chunk - End_);
            if (k < 0)
                Error_ = File_.errorString();
            if (k <= 0)
                return false;
            End_ += qsizetype(k);
        }
        return true;
    }

    QFile& File_;
    qint64 Size_;
    TProgress* Progress_;
    QByteArray Buffer_;
    qsizetype Pos_ = 0;
    qsizetype End_ = 0;
    QString Error_;
};

uint32_t GetU32(const char* p)
{
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}
float GetF32(const char* p) { return std::bit_cast<float>(GetU32(p)); }

QString NameOfField(const char* field)
{
    const void* nul = std::memchr(field, 0, Rtm::NameFieldSize);
    const qsizetype length = nul ? static_cast<const char*>(nul) - field : Rtm::NameFieldSize;
    return QString::fromLatin1(field, length);
}

template <typename Input>
void ParseRtm(Input& in, TRtmData& data)
{
    const char* header = in.Take(Rtm::HeaderSize);
    if (!header || std::memcmp(header, Rtm::Magic, sizeof Rtm::Magic) != 0)
        return Fail(data, Rtm::IncorrectFormat);
    std::array<float, 3> totalMove{};
    for (size_t i = 0; i < 3; ++i)
        totalMove[i] = GetF32(header + 8 + 4 * i);
    const int32_t frameCount = int32_t(GetU32(header + 20));
    const int32_t componentCount = int32_t(GetU32(header + 24));
    if (frameCount < 0 || componentCount < 0)
        return Fail(data, Rtm::IncorrectFormat);

    // The header fixes the size of everything after it: counts the file cannot hold are
    // refused before anything is allocated for them. Every product stays far inside 64
    // bits: C < 2^31, so a frame is below 2^38 bytes. Bytes past the last frame are never
    // read.
    const qint64 namesSize = qint64(componentCount) * Rtm::NameFieldSize;
    const qint64 frameSize = 4 + qint64(componentCount) * Rtm::RecordSize;
    const qint64 afterHeader = in.Size() - Rtm::HeaderSize;
    if (namesSize > afterHeader || frameCount > (afterHeader - namesSize) / frameSize)
        return Fail(data, Rtm::IncorrectFormat);

    data.TotalMove = totalMove;
    data.Names.Reserve(componentCount);
    for (int32_t i = 0; i < componentCount; ++i) {
        const char* field = in.Take(Rtm::NameFieldSize);
        if (!field)
            return Fail(data, Rtm::IncorrectFormat);
        data.Names.Add(NameOfField(field));
    }

    // Sized once from the header, which the file size vouches for, so no frame allocates;
    // past half a gigabyte (a file may be sparse, or its end unreadable) the store grows
    // with what is actually read.
    static constexpr qint64 ReserveCap = qint64(1) << 29;
    const size_t batch = size_t(
        std::min<qint64>(frameCount, ReserveCap / (4 + qint64(componentCount) * qint64(sizeof(TAnimEntry))) + 1));
    data.Frames.Reset(componentCount);
    data.Frames.Reserve(batch);
    std::vector<TResolvedName> lastNames(frameCount > 0 ? size_t(componentCount) : 0);
    float* times = nullptr;
    TAnimEntry* entry = nullptr;
    for (int32_t f = 0; f < frameCount; ++f) {
        if (size_t(f) == data.Frames.size()) {  // the next batch of frames, written in place
            data.Frames.Resize(std::min(size_t(frameCount), size_t(f) + batch));
            times = data.Frames.Times().data();
            entry = data.Frames.Entries(size_t(f)).data();
        }
        if (componentCount == 0) {
            // Times alone, back to back: the batch read straight into place.
            if constexpr (LittleEndianHost) {
                const qsizetype n = qsizetype(data.Frames.size()) - f;
                if (!in.ReadInto(reinterpret_cast<char*>(times + f), 4 * n))
                    return Fail(data, Rtm::IncorrectFormat);
                f += int32_t(n) - 1;
            } else {
                const qsizetype n = std::min<qsizetype>(qsizetype(data.Frames.size()) - f, 1 << 16);
                const char* block = in.Take(4 * n);
                if (!block)
                    return Fail(data, Rtm::IncorrectFormat);
                for (qsizetype k = 0; k < n; ++k)
                    times[f + k] = GetF32(block + 4 * k);
                f += int32_t(n) - 1;
            }
            continue;
        }
        const char* time = in.Take(4);
        if (!time)
            return Fail(data, Rtm::IncorrectFormat);
        times[f] = GetF32(time);
        for (int32_t j = 0; j < componentCount; ++j, ++entry) {
            const char* field = in.Take(Rtm::RecordSize);
            if (!field)
                return Fail(data, Rtm::IncorrectFormat);
            TResolvedName& last = lastNames[size_t(j)];
            if (last.Slot < 0 || std::memcmp(last.Field, field, Rtm::NameFieldSize) != 0) {
                const int slot = data.Names.IndexOf(NameOfField(field));
                if (slot < 0)
                    return Fail(data, Rtm::NameNotInHeader);
                std::memcpy(last.Field, field, Rtm::NameFieldSize);
                last.Slot = slot;
            }
            entry->NameIndex = last.Slot;
            const char* v = field + Rtm::NameFieldSize;
            if constexpr (LittleEndianHost) {
                std::memcpy(entry->Matrix.data(), v, sizeof entry->Matrix);
            } else {
                for (size_t k = 0; k < entry->Matrix.size(); ++k)
                    entry->Matrix[k] = GetF32(v + 4 * k);
            }
        }
    }
}
}  // namespace

TRtmData ReadRtm(const QByteArray& bytes)
{
    TRtmData data;
    TMemoryInput in(bytes);
    try {
        ParseRtm(in, data);
    } catch (const std::bad_alloc&) {
        Fail(data, Rtm::OutOfMemory());
    }
    return data;
}

TRtmData ReadRtmFile(const QString& path, const QString& shownName, TProgress* progress)
{
    TRtmData data;
    QFile file;
    if (!OpenRegularFile(path, file)) {
        Fail(data, QStringLiteral("Cannot open file %1").arg(shownName));
        return data;
    }
    TFileInput in(file, progress);
    try {
        ParseRtm(in, data);
        if (!in.Error().isEmpty())  // a read failed: the file is not what it seemed
            Fail(data, QStringLiteral("Cannot read file %1: %2").arg(shownName, in.Error()));
        if (data.Ok())
            Advance(progress, 1, 1);
    } catch (const std::bad_alloc&) {
        Fail(data, Rtm::OutOfMemory());
    }
    return data;
}

namespace {
// Everything a writer checks before it writes a byte, in the order the writing meets it,
// so that an inconsistent document produces nothing.
QString CheckForWriting(const TAnimDocument& doc)
{
    const int32_t steps = doc.AnimStepCount;
    const int32_t slotCount = doc.AnimSelections.Count();
    // A negative count would make a file that no reader accepts.
    if (steps < 0)
        return Rtm::NegativeStepCount;
    for (int32_t i = 0; i < steps; ++i) {
        if (size_t(i) >= doc.AnimFrames.size())
            return Rtm::FrameMissing;
        const std::span<const TAnimEntry> entries = doc.AnimFrames.Entries(size_t(i));
        for (int32_t j = 0; j < slotCount; ++j) {
            if (size_t(j) >= entries.size())
                return Rtm::EntryMissing;
            const int32_t index = entries[size_t(j)].NameIndex;
            if (index < 0 || index >= slotCount)
                return Rtm::BadNameIndex;
        }
    }
    return {};
}

// Each slot's name field, zero-filled after the name; longer names keep 32 characters.
std::vector<char> NameFields(const TAnimDocument& doc)
{
    const int32_t slotCount = doc.AnimSelections.Count();
    std::vector<char> fields(size_t(slotCount) * Rtm::NameFieldSize, '\0');
    for (int32_t j = 0; j < slotCount; ++j) {
        const QByteArray name = doc.AnimSelections[j].toLatin1().left(Rtm::NameFieldSize);
        std::memcpy(fields.data() + size_t(j) * Rtm::NameFieldSize, name.constData(), size_t(name.size()));
    }
    return fields;
}

qint64 FileSize(const TAnimDocument& doc)
{
    const qint64 componentSlots = doc.AnimSelections.Count();
    return Rtm::HeaderSize + componentSlots * Rtm::NameFieldSize +
           qint64(doc.AnimStepCount) * (4 + componentSlots * Rtm::RecordSize);
}

// Hands the file to put(bytes, size) in pieces no larger than one record; the document
// has passed CheckForWriting.
template <typename Put>
void EmitRtm(const TAnimDocument& doc, const std::vector<char>& nameFields, Put put)
{
    const int32_t steps = doc.AnimStepCount;
    const int32_t slotCount = doc.AnimSelections.Count();
    char header[Rtm::HeaderSize];
    char* p = PutBytes(header, Rtm::Magic, sizeof Rtm::Magic);
    for (float v : doc.TotalMove)
        p = PutF32(p, v);
    // The frame count is the one the controls know; frames past it are not written.
    p = PutU32(p, uint32_t(steps));
    PutU32(p, uint32_t(slotCount));
    put(header, Rtm::HeaderSize);
    put(nameFields.data(), qsizetype(nameFields.size()));
    char record[Rtm::RecordSize];
    for (int32_t i = 0; i < steps; ++i) {
        const TAnimFrame frame = doc.AnimFrames[size_t(i)];
        char time[4];
        PutF32(time, frame.Time);
        put(time, 4);
        for (int32_t j = 0; j < slotCount; ++j) {
            const TAnimEntry& entry = frame.Entries[size_t(j)];
            PutMatrix(PutBytes(record, nameFields.data() + size_t(entry.NameIndex) * Rtm::NameFieldSize, Rtm::NameFieldSize),
                      entry.Matrix);
            put(record, Rtm::RecordSize);
        }
    }
}
}  // namespace

QString WriteRtm(const TAnimDocument& doc, QByteArray& out)
{
    out.clear();
    if (QString error = CheckForWriting(doc); !error.isEmpty())
        return error;
    const qint64 size = FileSize(doc);
    out.resize(size);
    char* p = out.data();
    EmitRtm(doc, NameFields(doc), [&p](const char* bytes, qsizetype n) { p = PutBytes(p, bytes, size_t(n)); });
    Q_ASSERT(p == out.constData() + size);
    return {};
}

QString WriteRtm(const TAnimDocument& doc, TAtomicFileWriter& out, const std::atomic<bool>* stop)
{
    if (QString error = CheckForWriting(doc); !error.isEmpty())
        return error;
    // Records are composed in the writer's buffer, so each byte is copied once.
    const std::vector<char> names = NameFields(doc);
    char header[Rtm::HeaderSize];
    char* p = PutBytes(header, Rtm::Magic, sizeof Rtm::Magic);
    for (float v : doc.TotalMove)
        p = PutF32(p, v);
    p = PutU32(p, uint32_t(doc.AnimStepCount));
    PutU32(p, uint32_t(doc.AnimSelections.Count()));
    out.Write(header, Rtm::HeaderSize);
    out.Write(names.data(), qsizetype(names.size()));
    const int32_t slotCount = doc.AnimSelections.Count();
    for (int32_t i = 0; i < doc.AnimStepCount && out.Ok(); ++i) {
        if (stop && stop->load(std::memory_order_relaxed))
            break;
        const TAnimFrame frame = doc.AnimFrames[size_t(i)];
        char* t = out.Space(4);
        if (!t)
            break;
        PutF32(t, frame.Time);
        out.Advance(4);
        for (int32_t j = 0; j < slotCount; ++j) {
            const TAnimEntry& entry = frame.Entries[size_t(j)];
            char* r = out.Space(Rtm::RecordSize);
            if (!r)
                break;
            PutMatrix(PutBytes(r, names.data() + size_t(entry.NameIndex) * Rtm::NameFieldSize, Rtm::NameFieldSize), entry.Matrix);
            out.Advance(Rtm::RecordSize);
        }
    }
    return {};
}
