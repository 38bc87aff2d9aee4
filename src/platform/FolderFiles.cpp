#include "platform/FolderFiles.h"
#include "platform/FileUtil.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

QString ResolveFolder(const QString& folder)
{
    const QString path = NormalizeSeparators(folder);
    if (path.isEmpty() || QFileInfo(path).isDir())
        return path;
    QString done = path.startsWith(QLatin1Char('/')) ? QStringLiteral("/") : QString();
    for (const QString& part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        const QDir base(done.isEmpty() ? QStringLiteral(".") : done);
        QString name = part;
        if (!QFileInfo::exists(base.filePath(part))) {
            int matches = 0;
            for (const QString& e : base.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
                if (e.compare(part, Qt::CaseInsensitive) == 0) {
                    name = e;
                    ++matches;
                }
            }
            if (matches != 1)
                return path;
        }
        done = done.isEmpty() ? name : (done.endsWith(QLatin1Char('/')) ? done + name : done + QLatin1Char('/') + name);
    }
    return done;
}

QStringList ListFolderFiles(const QString& folder, const QString& mask)
{
    QStringList names;
    if (folder.isEmpty())
        return names;
    // The iterator reads the folder once; the mask is matched here rather than by a
    // name filter so that letter case never matters, whatever the platform.
    const QRegularExpression match(QRegularExpression::wildcardToRegularExpression(mask),
                                   QRegularExpression::CaseInsensitiveOption);
    QDirIterator it(folder, QDir::Files | QDir::Hidden);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        if (match.match(name).hasMatch())
            names << name;
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}
