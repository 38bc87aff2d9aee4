#include "platform/FileUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

bool ReadWholeFile(const QString& path, QByteArray& bytes, QString* error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = f.errorString();
        return false;
    }
    bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        if (error) *error = f.errorString();
        return false;
    }
    return true;
}

bool WriteFileAtomic(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        if (error) *error = f.errorString();
        return false;
    }
    if (f.write(bytes) != bytes.size()) {
        if (error) *error = f.errorString();
        f.cancelWriting();
        return false;
    }
    if (!f.commit()) {
        if (error) *error = f.errorString();
        return false;
    }
    return true;
}

QString NormalizeSeparators(const QString& path)
{
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
}

QString ResolveCaseInsensitive(const QString& path)
{
    const QString p = NormalizeSeparators(path);
    if (p.isEmpty() || QFileInfo::exists(p))
        return p;
    const QFileInfo info(p);
    const QDir dir = info.dir();
    if (!dir.exists())
        return p;
    const QString wanted = info.fileName();
    QString found;
    int matches = 0;
    const QStringList entries = dir.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString& e : entries) {
        if (e.compare(wanted, Qt::CaseInsensitive) == 0) {
            found = e;
            ++matches;
        }
    }
    return matches == 1 ? dir.filePath(found) : p;
}

QString FileNamePart(const QString& path)
{
    const qsizetype i = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(i + 1);
}
