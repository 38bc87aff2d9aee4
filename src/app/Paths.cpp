#include "app/Paths.h"

#include <QFileInfo>

#include <QCoreApplication>
#include <QDir>

TAppPaths TAppPaths::FromHome(const QString& home)
{
    TAppPaths p;
    QString dir = home.isEmpty() ? QCoreApplication::applicationDirPath() : QDir(home).absolutePath();
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    p.ExeDir = dir;
    p.LinkDataDir = dir + QStringLiteral("LinkData");
    p.TranslationDir = dir + QStringLiteral("Translation");
    p.ColorsDir = dir + QStringLiteral("Colors");
    return p;
}

QString TAppPaths::SettingsFileToRead() const
{
    if (!QFileInfo::exists(SettingsFile()) && QFileInfo::exists(LegacySettingsFile()))
        return LegacySettingsFile();
    return SettingsFile();
}
