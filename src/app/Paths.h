#pragma once
// The folders computed once at start, before any window exists. ExeDir ends with '/'.
#include <QString>

struct TAppPaths {
    QString ExeDir;
    QString LinkDataDir;
    QString TranslationDir;
    QString ColorsDir;

    // home empty: the executable's folder.
    static TAppPaths FromHome(const QString& home);
    QString SettingsFile() const { return ExeDir + QStringLiteral("TorvaneAnim.ini"); }
    // Read only, when the current settings file is missing.
    QString LegacySettingsFile() const { return ExeDir + QStringLiteral("Zelvix.ini"); }
    // The file start-up reads: the current one, or the legacy one when only that exists.
    QString SettingsFileToRead() const;
};
