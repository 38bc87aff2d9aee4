#pragma once
// A small INI profile file: [Section] headers and Key=Value lines. Sections and keys
// match without regard to letter case; lines it does not touch (other sections, other
// keys, comments) are kept as they were, and a changed key is updated where it stands.
// Writes collect in memory until UpdateFile.
#include <QHash>
#include <QString>
#include <QStringList>

// A key of an INI file: equal to another when they differ only in letter case, hashed
// alike then, without making a folded copy.
struct TIniKey {
    QString Text;
    bool operator==(const TIniKey& other) const { return Text.compare(other.Text, Qt::CaseInsensitive) == 0; }
};
size_t qHash(const TIniKey& key, size_t seed = 0);

class TIniFile {
public:
    TIniFile() = default;
    explicit TIniFile(const QString& fileName);

    const QString& FileName() const { return FileName_; }
    // Re-reads the file from disk; a missing file reads as empty. A file that exists but
    // cannot be read also reads as empty, and then is never written (see ReadError).
    void Reload();
    // Why the existing file could not be read; empty when it was read or does not exist.
    const QString& ReadError() const { return ReadError_; }

    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;

    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    // Decimal with optional sign; anything else (or a missing key) yields def.
    int ReadInteger(const QString& section, const QString& key, int def) const;
    // Any integer other than 0 is true; a malformed value yields def.
    bool ReadBool(const QString& section, const QString& key, bool def) const;

    // Every key of the section with its value (the first of keys that differ only in case
    // wins, as ReadString finds it). One pass over the file, for callers that look up many
    // keys.
    QHash<TIniKey, QString> SectionValues(const QString& section) const;

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);
    void DeleteKey(const QString& section, const QString& key);

    // Writes pending changes (atomically). False with error set when the file cannot be
    // written, or when it exists but could not be read: replacing it would lose every key
    // this object never saw.
    bool UpdateFile(QString* error = nullptr);
    bool Modified() const { return Modified_; }

    // The file's text as it would be written.
    QString Text() const;
    void SetText(const QString& text);

private:
    // Index of the section header line, or -1.
    qsizetype FindSection(const QString& section) const;
    // Index of the key's line within the section starting at header index h, or -1.
    qsizetype FindKey(qsizetype h, const QString& key) const;
    // One past the last line belonging to the section starting at h.
    qsizetype SectionEnd(qsizetype h) const;

    QString FileName_;
    QStringList Lines_;
    bool Latin1_ = false;
    QString Eol_ = QStringLiteral("\n");  // files made on Windows keep their CRLF
    bool Modified_ = false;
    QString ReadError_;
};
