#pragma once
// File access shared by the readers and writers: whole-file reads, writes that never
// destroy the previous file, and paths from files made on Windows.
#include <QByteArray>
#include <QString>

// Reads the whole file. On failure returns false and sets error to the platform's text.
bool ReadWholeFile(const QString& path, QByteArray& bytes, QString* error = nullptr);

// Writes bytes to a temporary file beside path and renames it over path once complete.
bool WriteFileAtomic(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// Backslashes become '/'.
QString NormalizeSeparators(const QString& path);

// The path itself when it exists; otherwise, when exactly one entry of its folder matches
// its file name without regard to letter case, that entry; otherwise the path unchanged.
// Backslashes count as folder separators.
QString ResolveCaseInsensitive(const QString& path);

// File name part after the last '/' or '\'.
QString FileNamePart(const QString& path);
