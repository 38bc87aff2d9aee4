#include "platform/RecentFiles.h"

#include "platform/FileUtil.h"
#include "platform/Ini.h"

#include <QDir>
#include <QFileInfo>

namespace {
const QString Section = QStringLiteral("Recent");

QString Key(int i) { return QStringLiteral("File%1").arg(i + 1); }

QString Absolute(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }
}  // namespace

bool TRecentFiles::SameFile(const QString& a, const QString& b) { return Absolute(a) == Absolute(b) || ::SameFile(a, b); }

void TRecentFiles::Read(const TIniFile& ini, const TPathMap& resolve)
{
    Paths_.clear();
    for (int i = 0; i < MaxCount; ++i) {
        QString value = NormalizeSeparators(ini.ReadString(Section, Key(i), QString()));
        if (resolve && !value.isEmpty())
            value = resolve(value);
        if (value.isEmpty() || !IsPlausiblePath(value))
            continue;
        bool seen = false;
        for (const QString& p : Paths_)
            seen = seen || SameFile(p, value);
        if (!seen)
            Paths_ << value;
    }
}

void TRecentFiles::Write(TIniFile& ini, const TPathMap& store) const
{
    for (int i = 0; i < MaxCount; ++i) {
        if (i < Paths_.size())
            ini.WriteString(Section, Key(i), store ? store(Paths_[i]) : Paths_[i]);
        else
            ini.DeleteKey(Section, Key(i));
    }
}

void TRecentFiles::Add(const QString& path)
{
    if (path.isEmpty() || !IsPlausiblePath(path))
        return;
    Remove(path);
    Paths_.prepend(Absolute(path));
    while (Paths_.size() > MaxCount)
        Paths_.removeLast();
}

void TRecentFiles::Remove(const QString& path)
{
    Paths_.removeIf([&path](const QString& p) { return SameFile(p, path); });
}

std::vector<TRecentFile> TRecentFiles::Entries() const
{
    std::vector<TRecentFile> entries;
    for (const QString& p : Paths_)
        entries.push_back({p, !QFileInfo(p).isFile()});
    return entries;
}
