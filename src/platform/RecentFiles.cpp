#include "platform/RecentFiles.h"

#include "platform/FileUtil.h"
#include "platform/Ini.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {
const QString Section = QStringLiteral("Recent");

QString Key(int i) { return QStringLiteral("File%1").arg(i + 1); }

QString Absolute(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }
}  // namespace

bool TRecentFiles::SameFile(const QString& a, const QString& b)
{
    if (Absolute(a) == Absolute(b))
        return true;
    struct stat sa {}, sb {};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void TRecentFiles::Read(const TIniFile& ini)
{
    Paths_.clear();
    for (int i = 0; i < MaxCount; ++i) {
        const QString value = NormalizeSeparators(ini.ReadString(Section, Key(i), QString()));
        if (value.isEmpty() || !IsPlausiblePath(value))
            continue;
        bool seen = false;
        for (const QString& p : Paths_)
            seen = seen || SameFile(p, value);
        if (!seen)
            Paths_ << value;
    }
}

void TRecentFiles::Write(TIniFile& ini) const
{
    for (int i = 0; i < MaxCount; ++i) {
        if (i < Paths_.size())
            ini.WriteString(Section, Key(i), Paths_[i]);
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
