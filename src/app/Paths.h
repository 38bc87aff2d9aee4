#pragma once
// The folders computed once at start, before any window exists. Folder names end with '/'
// where noted.
//
// Two layouts. Portable: the settings file and the data folders sit beside the executable
// (or in the folder --home names), as they always have. User: an installed program, whose
// folder the user cannot or should not write to, keeps the settings file in
// $XDG_CONFIG_HOME/torvane-anim/ and the data folders in $XDG_DATA_HOME/torvane-anim/.
// Copies of unsaved work go to $XDG_STATE_HOME/torvane-anim/recovery/ there, and to a
// Recovery folder beside the settings file otherwise.
#include <QString>

// What start-up finds on the disk and in the environment; the choice of layout depends on
// these alone.
struct TPathFacts {
    QString ExeDir;  // the executable's folder
    bool ExeDirHasSettings = false;  // TorvaneAnim.ini or Zelvix.ini is there
    bool ExeDirWritable = false;
    QString Home;  // --home; empty when not given
    QString UserHome;  // the user's home folder
    QString XdgConfigHome;  // the variables as set (empty when unset)
    QString XdgDataHome;
    QString XdgStateHome;

    // The facts of this process: its executable (a QCoreApplication must exist), its
    // environment and the disk.
    static TPathFacts Gather(const QString& home);
};

struct TAppPaths {
    enum class Layout { Home, Portable, User };
    Layout Kind = Layout::Portable;
    QString ExeDir;  // ends with '/'; the --home folder when one is given
    QString SettingsDir;  // ends with '/'
    QString DataDir;  // ends with '/'; holds the three below
    QString LinkDataDir;
    QString TranslationDir;
    QString ColorsDir;
    QString StartDir;  // where the file browser starts before the settings name a folder
    QString RecoveryDir;  // ends with '/'; copies of unsaved work, one folder per running editor
    // The desktop's list of recently used files (freedesktop recently-used.xbel); empty with
    // --home, whose files are a world of their own (the tests').
    QString RecentlyUsedFile;

    // home empty: the executable's folder, or the user's folders for an installed program.
    static TAppPaths FromHome(const QString& home);
    static TAppPaths Choose(const TPathFacts& facts);
    // Folders a package manager owns: an executable there is an installed one even when
    // the user (root, say) could write beside it.
    static bool IsSystemFolder(const QString& dir);

    QString SettingsFile() const { return SettingsDir + QStringLiteral("TorvaneAnim.ini"); }
    // Read only, when the current settings file is missing.
    QString LegacySettingsFile() const { return SettingsDir + QStringLiteral("Zelvix.ini"); }
    // The file start-up reads: the current one, or the legacy one when only that exists.
    QString SettingsFileToRead() const;
    // Creates the folder (and its parents) before a file is written there; false when it
    // cannot be made.
    static bool MakeFolder(const QString& dir);

private:
    // The layout and the folders of settings and data.
    static TAppPaths ChooseFolders(const TPathFacts& facts);
};

// What --version prints: the version, the layout and the folders in use.
QString VersionText(const TAppPaths& paths);
