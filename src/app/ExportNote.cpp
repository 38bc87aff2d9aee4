#include "app/ExportNote.h"

#include <QFileInfo>
#include <QLocale>

QString ExportFileName(const QString& modelFile, const QString& animFile, bool animation, const QString& extension)
{
    const QString base = QFileInfo(animation && !animFile.isEmpty() ? animFile : modelFile).completeBaseName();
    return base + QLatin1Char('.') + extension;
}

QString ExportSummary(const QString& path, qint64 bytes, bool animation, int frameCount, int frame)
{
    QString frames;
    if (animation)
        frames = frameCount == 1 ? QStringLiteral("1 frame") : QStringLiteral("%1 frames").arg(frameCount);
    else if (frameCount > 0)
        frames = QStringLiteral("frame %1").arg(frame);
    else
        frames = QStringLiteral("rest pose");
    const QString size = QLocale::c().formattedDataSize(bytes, bytes < 1024 ? 0 : 1);
    return QStringLiteral("Exported %1 (%2, %3)").arg(QFileInfo(path).fileName(), size, frames);
}
