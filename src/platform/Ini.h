#pragma once
// A small INI profile file: [Section] headers and Key=Value lines. Sections and keys
// match without regard to letter case; lines it does not touch (other sections, other
// keys, comments) are kept as they were, and a changed key is updated where it stands.
// Writes collect in memory until UpdateFile.
//
// The file is kept as the bytes it was read as, with the places of its section headers;
// the keys of a section are indexed the first time one of them is looked up. So a large
// file costs about its own size and one pass to open, and each look-up after that is
// quick, however many keys the file has.
#include <QString>
#include <memory>

class TIniFile {
public:
    TIniFile();
    explicit TIniFile(const QString& fileName);
    ~TIniFile();
    TIniFile(TIniFile&&) noexcept;
    TIniFile& operator=(TIniFile&&) noexcept;

    const QString& FileName() const;
    // Re-reads the file from disk, dropping pending writes; a missing file reads as empty.
    // A file that exists but cannot be read also reads as empty, and then is never written
    // (see ReadError).
    void Reload();
    // Why the existing file could not be read; empty when it was read or does not exist.
    const QString& ReadError() const;

    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;

    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    // Decimal with optional sign; anything else (or a missing key) yields def.
    int ReadInteger(const QString& section, const QString& key, int def) const;
    // Any integer other than 0 is true; a malformed value yields def.
    bool ReadBool(const QString& section, const QString& key, bool def) const;

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);
    void DeleteKey(const QString& section, const QString& key);

    // Writes pending changes (atomically). False with error set when the file cannot be
    // written, or when it exists but could not be read: replacing it would lose every key
    // this object never saw.
    bool UpdateFile(QString* error = nullptr);
    bool Modified() const;

    // The file's text as it would be written.
    QString Text() const;
    void SetText(const QString& text);

private:
    struct TData;
    std::unique_ptr<TData> D_;
};
