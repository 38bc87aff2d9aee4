#include "model/Linking.h"

#include "platform/Binary.h"
#include "platform/FileUtil.h"

#include <algorithm>

QString LinkFilePath(const QString& linkDataDir, const QString& fileName)
{
    QString name = FileNamePart(fileName);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    QString dir = linkDataDir;
    if (dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    return ResolveCaseInsensitive(dir + QLatin1Char('/') + name + QStringLiteral(".lpv"));
}

TLinkReadResult ReadLinkingBytes(const QByteArray& bytes)
{
    TLinkReadResult result;
    TByteReader r(bytes);
    r.I32();  // version
    const int32_t count = r.I32();
    if (r.Failed()) {
        result.Error = QStringLiteral("Stream read error");
        return result;
    }
    // Never trust the count for the allocation: reserve only what the bytes can hold.
    result.Records.reserve(size_t(std::clamp<qsizetype>(count, 0, r.Remaining() / LinkRecordSize)));
    for (int32_t i = 0; i < count; ++i) {
        if (!r.Has(LinkRecordSize)) {
            result.Error = QStringLiteral("Stream read error");
            break;
        }
        TLinkRecord rec;
        rec.Name = r.Name(LinkNameSize);
        rec.ParentName = r.Name(LinkNameSize);
        for (float& f : rec.Pivot)
            f = r.F32();
        result.Records.push_back(std::move(rec));
    }
    return result;
}

TLinkReadResult ReadLinkingFile(const QString& path)
{
    QByteArray bytes;
    QString error;
    // Records of 76 bytes: a real linking file is far below the cap.
    if (!ReadWholeFile(path, bytes, &error, MaxTextFileSize)) {
        TLinkReadResult result;
        result.Error = error;
        return result;
    }
    return ReadLinkingBytes(bytes);
}

namespace {
// One record as it is stored: two name fields and the pivot.
QByteArray RecordBytes(const TLinkRecord& rec)
{
    QByteArray out;
    out.reserve(LinkRecordSize);
    Binary::PutName(out, rec.Name, LinkNameSize);
    Binary::PutName(out, rec.ParentName, LinkNameSize);
    for (float f : rec.Pivot)
        Binary::PutF32(out, f);
    return out;
}

QByteArray HeaderBytes(size_t count)
{
    QByteArray out;
    Binary::PutI32(out, 1);
    Binary::PutI32(out, int32_t(count));
    return out;
}
}  // namespace

QByteArray WriteLinkingBytes(const std::vector<TLinkRecord>& records)
{
    QByteArray out = HeaderBytes(records.size());
    out.reserve(8 + qsizetype(records.size()) * LinkRecordSize);
    for (const TLinkRecord& rec : records)
        out += RecordBytes(rec);
    return out;
}

bool WriteLinkingFile(const QString& path, const std::vector<TLinkRecord>& records, QString* error)
{
    TAtomicFileWriter out(path);
    out.Write(HeaderBytes(records.size()));
    for (size_t i = 0; i < records.size() && out.Ok(); ++i)
        out.Write(RecordBytes(records[i]));
    if (out.Ok() && out.Commit())
        return true;
    if (error)  // said over the window: which file, and why
        *error = QStringLiteral("Cannot write file %1: %2").arg(out.Path(), out.Error());
    return false;
}
