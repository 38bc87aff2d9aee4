#include "anim/Rtm.h"

#include "platform/Binary.h"
#include "platform/FileUtil.h"

#include <bit>
#include <cstring>
#include <vector>

namespace {
static_assert(sizeof(TMatrix12f) == 48, "a matrix is 12 packed floats");
constexpr bool LittleEndianHost = std::endian::native == std::endian::little;

QString Fail(TAnimDocument& doc, QLatin1String message)
{
    doc.AnimSelections.Clear();
    doc.AnimFrames.clear();
    doc.AnimFrames.shrink_to_fit();
    doc.TotalMove = {0, 0, 0};
    doc.AnimComponentCount = 0;
    return message;
}

TMatrix12f ReadMatrix(TByteReader& r)
{
    TMatrix12f m;
    if constexpr (LittleEndianHost) {
        r.Bytes(m.data(), sizeof m);
    } else {
        for (float& v : m)
            v = r.F32();
    }
    return m;
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
    const char* Field = nullptr;
    int Slot = -1;
};
}  // namespace

QString ReadRtm(const QByteArray& bytes, TAnimDocument& doc)
{
    TByteReader r(bytes);
    char magic[sizeof Rtm::Magic];
    if (!r.Bytes(magic, sizeof magic) || std::memcmp(magic, Rtm::Magic, sizeof magic) != 0)
        return Fail(doc, Rtm::IncorrectFormat);

    std::array<float, 3> totalMove{};
    for (float& v : totalMove)
        v = r.F32();
    const int32_t frameCount = r.I32();
    const int32_t componentCount = r.I32();
    if (r.Failed() || frameCount < 0 || componentCount < 0)
        return Fail(doc, Rtm::IncorrectFormat);

    // Refuse counts the file cannot hold before anything is allocated for them. Every
    // product stays far inside 64 bits: C < 2^31, so a frame is below 2^38 bytes.
    const qint64 namesSize = qint64(componentCount) * Rtm::NameFieldSize;
    const qint64 frameSize = 4 + qint64(componentCount) * Rtm::RecordSize;
    const qint64 afterHeader = qint64(bytes.size()) - Rtm::HeaderSize;
    if (namesSize > afterHeader || frameCount > (afterHeader - namesSize) / frameSize)
        return Fail(doc, Rtm::IncorrectFormat);

    doc.TotalMove = totalMove;
    doc.AnimComponentCount = componentCount;
    doc.AnimSelections.Reserve(componentCount);
    for (int32_t i = 0; i < componentCount; ++i)
        doc.AnimSelections.Add(r.Name(Rtm::NameFieldSize));

    doc.AnimFrames.reserve(size_t(frameCount));
    std::vector<TResolvedName> lastNames(frameCount > 0 ? size_t(componentCount) : 0);
    for (int32_t f = 0; f < frameCount; ++f) {
        TAnimFrame& frame = doc.AnimFrames.emplace_back();
        frame.Time = r.F32();
        frame.Entries.reserve(size_t(componentCount));
        for (int32_t j = 0; j < componentCount; ++j) {
            if (!r.Has(Rtm::RecordSize))
                return Fail(doc, Rtm::IncorrectFormat);
            const char* field = r.Here();
            r.Skip(Rtm::NameFieldSize);
            TResolvedName& last = lastNames[size_t(j)];
            if (!last.Field || std::memcmp(last.Field, field, Rtm::NameFieldSize) != 0) {
                const void* nul = std::memchr(field, 0, Rtm::NameFieldSize);
                const qsizetype length = nul ? static_cast<const char*>(nul) - field : Rtm::NameFieldSize;
                const int slot = doc.AnimSelections.IndexOf(QString::fromLatin1(field, length));
                if (slot < 0)
                    return Fail(doc, Rtm::NameNotInHeader);
                last = {field, slot};
            }
            frame.Entries.push_back({last.Slot, ReadMatrix(r)});
        }
    }
    if (r.Failed())  // cannot happen after the size check; kept as the last guard
        return Fail(doc, Rtm::IncorrectFormat);
    return {};
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
        const std::vector<TAnimEntry>& entries = doc.AnimFrames[size_t(i)].Entries;
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
    return Rtm::HeaderSize + componentSlots * Rtm::NameFieldSize + qint64(doc.AnimStepCount) * (4 + componentSlots * Rtm::RecordSize);
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
        const TAnimFrame& frame = doc.AnimFrames[size_t(i)];
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

QString WriteRtm(const TAnimDocument& doc, TAtomicFileWriter& out)
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
        const TAnimFrame& frame = doc.AnimFrames[size_t(i)];
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
            PutMatrix(PutBytes(r, names.data() + size_t(entry.NameIndex) * Rtm::NameFieldSize, Rtm::NameFieldSize),
                      entry.Matrix);
            out.Advance(Rtm::RecordSize);
        }
    }
    return {};
}
