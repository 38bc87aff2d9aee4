#pragma once
// Little-endian reading and writing for the binary file formats. The reader never reads
// outside its buffer: a read past the end sets Failed() and yields zeros.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstring>

class TByteReader {
public:
    TByteReader(const char* data, qsizetype size) : Data_(data), Size_(size) {}
    explicit TByteReader(const QByteArray& bytes) : Data_(bytes.constData()), Size_(bytes.size()) {}

    qsizetype Pos() const { return Pos_; }
    qsizetype Size() const { return Size_; }
    qsizetype Remaining() const { return Size_ - Pos_; }
    bool Failed() const { return Failed_; }
    bool Has(qsizetype n) const { return n >= 0 && n <= Size_ - Pos_; }
    const char* Here() const { return Data_ + Pos_; }

    void Seek(qsizetype pos)
    {
        if (pos < 0 || pos > Size_) {
            Failed_ = true;
            Pos_ = Size_;
        } else {
            Pos_ = pos;
        }
    }
    void Skip(qsizetype n) { Seek(n < 0 || n > Size_ - Pos_ ? -1 : Pos_ + n); }

    bool Bytes(void* out, qsizetype n)
    {
        if (!Has(n)) {
            Failed_ = true;
            std::memset(out, 0, static_cast<size_t>(n > 0 ? n : 0));
            Pos_ = Size_;
            return false;
        }
        std::memcpy(out, Data_ + Pos_, static_cast<size_t>(n));
        Pos_ += n;
        return true;
    }
    uint32_t U32()
    {
        unsigned char b[4];
        Bytes(b, 4);
        return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    float F32()
    {
        const uint32_t u = U32();
        float f;
        std::memcpy(&f, &u, 4);
        return f;
    }
    // A fixed-width single-byte text field: the characters up to the first NUL, at most width.
    QString Name(qsizetype width)
    {
        if (!Has(width)) {
            Failed_ = true;
            Pos_ = Size_;
            return {};
        }
        const char* p = Data_ + Pos_;
        const void* nul = std::memchr(p, 0, static_cast<size_t>(width));
        const qsizetype len = nul ? static_cast<const char*>(nul) - p : width;
        Pos_ += width;
        return QString::fromLatin1(p, len);
    }

private:
    const char* Data_;
    qsizetype Size_;
    qsizetype Pos_ = 0;
    bool Failed_ = false;
};

namespace Binary {
inline void PutU32(QByteArray& out, uint32_t v)
{
    const char b[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char((v >> 24) & 0xFF)};
    out.append(b, 4);
}
inline void PutI32(QByteArray& out, int32_t v) { PutU32(out, static_cast<uint32_t>(v)); }
inline void PutF32(QByteArray& out, float f)
{
    uint32_t u;
    std::memcpy(&u, &f, 4);
    PutU32(out, u);
}
// Writes the name as single-byte text into a field of width bytes: at most width
// characters, zero-filled after them (no terminator when the name fills the field).
inline void PutName(QByteArray& out, const QString& name, qsizetype width)
{
    QByteArray b = name.toLatin1().left(width);
    b.append(QByteArray(width - b.size(), '\0'));
    out.append(b);
}
}  // namespace Binary
