#include "anim/Rtm.h"

#include "platform/Binary.h"

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

void ReadMatrix(TByteReader& r, TMatrix12f& m)
{
    if constexpr (LittleEndianHost) {
        r.Bytes(m.data(), sizeof m);
    } else {
        for (float& v : m)
            v = r.F32();
    }
}

void PutMatrix(QByteArray& out, const TMatrix12f& m)
{
    if constexpr (LittleEndianHost) {
        out.append(reinterpret_cast<const char*>(m.data()), sizeof m);
    } else {
        for (float v : m)
            Binary::PutF32(out, v);
    }
}

// The record name at the last frame's same position and the slot it resolved to. Files
// normally list the records in the same order in every frame, so most records are matched
// by comparing raw bytes instead of building a string and hashing it.
struct TResolvedName {
    const char* Bytes = nullptr;
    qsizetype Length = -1;
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
            const char* name = r.Here();
            const void* nul = std::memchr(name, 0, Rtm::NameFieldSize);
            const qsizetype length = nul ? static_cast<const char*>(nul) - name : Rtm::NameFieldSize;
            r.Skip(Rtm::NameFieldSize);

            TResolvedName& last = lastNames[size_t(j)];
            if (last.Length != length || std::memcmp(last.Bytes, name, size_t(length)) != 0) {
                const int slot = doc.AnimSelections.IndexOf(QString::fromLatin1(name, length));
                if (slot < 0)
                    return Fail(doc, Rtm::NameNotInHeader);
                last = {name, length, slot};
            }
            TAnimEntry& entry = frame.Entries.emplace_back();
            entry.NameIndex = last.Slot;
            ReadMatrix(r, entry.Matrix);
        }
    }
    if (r.Failed())  // cannot happen after the size check; kept as the last guard
        return Fail(doc, Rtm::IncorrectFormat);
    return {};
}

QString WriteRtm(const TAnimDocument& doc, QByteArray& out)
{
    out.clear();
    const int32_t steps = doc.AnimStepCount;
    const int32_t slotCount = doc.AnimSelections.Count();
    // A negative count would make a file that no reader accepts.
    if (steps < 0)
        return Rtm::NegativeStepCount;

    // Check everything first, in the order the writing meets it, so that an inconsistent
    // document neither reserves nor produces anything.
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

    QByteArray nameFields;
    nameFields.reserve(qsizetype(slotCount) * Rtm::NameFieldSize);
    for (int32_t j = 0; j < slotCount; ++j)
        Binary::PutName(nameFields, doc.AnimSelections[j], Rtm::NameFieldSize);

    const qint64 size = Rtm::HeaderSize + nameFields.size() + qint64(steps) * (4 + qint64(slotCount) * Rtm::RecordSize);
    out.reserve(size);
    out.append(Rtm::Magic, sizeof Rtm::Magic);
    for (float v : doc.TotalMove)
        Binary::PutF32(out, v);
    // The frame count is the one the controls know; frames past it are not written.
    Binary::PutI32(out, steps);
    Binary::PutI32(out, slotCount);
    out.append(nameFields);
    for (int32_t i = 0; i < steps; ++i) {
        const TAnimFrame& frame = doc.AnimFrames[size_t(i)];
        Binary::PutF32(out, frame.Time);
        for (int32_t j = 0; j < slotCount; ++j) {
            const TAnimEntry& entry = frame.Entries[size_t(j)];
            out.append(nameFields.constData() + qsizetype(entry.NameIndex) * Rtm::NameFieldSize, Rtm::NameFieldSize);
            PutMatrix(out, entry.Matrix);
        }
    }
    Q_ASSERT(out.size() == size);
    return {};
}
