#pragma once
// The desktop's list of recently used files: the freedesktop recently-used.xbel that file
// choosers, docks and file managers read. Other programs keep their entries there too, so
// a use is merged into the text as it stands: the file's bookmark (made when missing) gets
// the new times and this program's application entry, and every other byte of the file
// stays as it was. A file this cannot read safely is left alone.
#include <QDateTime>
#include <QString>

struct TRecentUse {
    QString File;  // absolute path
    QString MimeType;  // "model/x-p3d"
    QDateTime When;
};

// The name and command line this program is listed under in the desktop's list.
inline constexpr char RecentlyUsedApp[] = "torvane-anim";
inline constexpr char RecentlyUsedExec[] = "'torvane-anim %u'";

// The type the desktop knows the editor's files by, from the name's extension.
QString RecentMimeType(const QString& path);

// text with use merged in (an empty text is a new list). Empty with error set when text is
// not a list that can be changed without harm (not XML, another root element).
QString MergeRecentlyUsed(const QString& text, const TRecentUse& use, QString* error = nullptr);

// Reads the list at xbelPath (missing: a new one, its folder made), merges use in and
// writes the list atomically. False with error set when the list could not be read, could
// not be merged into or not be written; it is then as it was.
bool PublishRecentlyUsed(const QString& xbelPath, const TRecentUse& use, QString* error = nullptr);
