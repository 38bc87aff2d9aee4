#pragma once
// The models and animations opened last, most recent first, as File > "Open Recent" lists
// them: at most MaxCount, each file once whatever its spelling ("/a/./b.rtm", a link to
// it), kept in the settings file's section [Recent] as File1 .. File10.
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class TIniFile;

struct TRecentFile {
    QString Path;
    bool Missing = false;  // no file there now (the menu greys it)
};

class TRecentFiles {
public:
    static constexpr int MaxCount = 10;

    // How a path is kept in the file and read back (the settings' relative paths); none:
    // as it is.
    using TPathMap = std::function<QString(const QString&)>;
    // Replaces the list with the section's (keys in any letter case; paths written on
    // Windows get '/' separators; empty and implausible values and repeats are skipped),
    // each value through resolve.
    void Read(const TIniFile& ini, const TPathMap& resolve = {});
    // Writes the section: File1 .. FileN, each through store, and no key for the places
    // left empty.
    void Write(TIniFile& ini, const TPathMap& store = {}) const;

    // The file opened now goes to the top; the same file under any spelling leaves its old
    // place, and the oldest falls off past MaxCount. Relative paths are made absolute.
    void Add(const QString& path);
    // Takes the file (under any spelling) off the list.
    void Remove(const QString& path);
    void Clear() { Paths_.clear(); }

    const QStringList& Paths() const { return Paths_; }
    // The list with each entry checked on the disk now.
    std::vector<TRecentFile> Entries() const;

    // Whether two paths name the same file: the same place once cleaned and made absolute,
    // or, for files that exist, the same file on the disk (through links of either kind).
    static bool SameFile(const QString& a, const QString& b);

private:
    QStringList Paths_;
};
