#pragma once
// Folders named in stored settings and the files in them, as the file browser lists them.
#include <QString>
#include <QStringList>

// The folder as it is on disk: backslashes count as separators, and every part of the
// path that does not exist as written is replaced by the one entry of its parent that
// matches it without regard to letter case. When a part has no such single match, the
// path is returned with separators normalised and nothing else changed.
QString ResolveFolder(const QString& folder);

// Names of the plain files in folder whose names match the wildcard mask ("*.p3d"; letter
// case ignored), sorted without regard to case. Empty when the folder cannot be read.
QStringList ListFolderFiles(const QString& folder, const QString& mask);
