#pragma once
// The linking-and-pivot file (".lpv"): for each component its parent's name and its pivot,
// in tree order. Kept per model file in the LinkData folder.
#include <QByteArray>
#include <QString>
#include <vector>

struct TLinkRecord {
    QString Name;  // the component's selection name
    QString ParentName;  // empty for a top-level component
    float Pivot[3] = {0, 0, 0};
};

struct TLinkReadResult {
    // The records read, in file order. A file that ends early keeps the complete records
    // before the cut.
    std::vector<TLinkRecord> Records;
    // Empty, or the error the user is shown ("Stream read error", or why the file could
    // not be opened).
    QString Error;
};

// Name fields are 32 bytes; longer names are stored as their first 32 characters (with no
// terminator), which is all the format can hold.
constexpr int LinkNameSize = 32;
constexpr int LinkRecordSize = 76;

// linkDataDir + "/" + the file name part of fileName with its extension replaced by
// ".lpv", found without regard to letter case. The folder part of fileName is not used.
QString LinkFilePath(const QString& linkDataDir, const QString& fileName);

// A negative record count reads as no records.
TLinkReadResult ReadLinkingBytes(const QByteArray& bytes);
TLinkReadResult ReadLinkingFile(const QString& path);

// Version 1, the record count, then the records in the order given.
QByteArray WriteLinkingBytes(const std::vector<TLinkRecord>& records);
// Writes through a temporary file, so a failed write leaves the old file as it was;
// error is then "Cannot write file PATH: reason".
bool WriteLinkingFile(const QString& path, const std::vector<TLinkRecord>& records, QString* error = nullptr);
