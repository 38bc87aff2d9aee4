#pragma once
// The "RTM_0101" animation file: a fixed header (magic, TotalMove, frame count F,
// component count C), C 32-byte name fields, then F frames of a time and C name-tagged
// records of 12 floats. Little-endian throughout.
#include "anim/AnimDocument.h"

#include <QByteArray>
#include <QLatin1String>
#include <QString>

class TAtomicFileWriter;

namespace Rtm {
inline constexpr char Magic[8] = {'R', 'T', 'M', '_', '0', '1', '0', '1'};
inline constexpr qsizetype HeaderSize = 28;
inline constexpr qsizetype NameFieldSize = 32;
inline constexpr qsizetype RecordSize = NameFieldSize + 12 * 4;

inline constexpr QLatin1String IncorrectFormat("Incorrect Format!");
inline constexpr QLatin1String NameNotInHeader("Component Name not in Header!");
inline constexpr QLatin1String FrameMissing("[internal Error] ActAnimFrame is NULL!");
inline constexpr QLatin1String EntryMissing("[internal Error] ActAnimEntry is Null!");
inline constexpr QLatin1String BadNameIndex("[internal Error] NameIndex > AnimSelections->Count!");
inline constexpr QLatin1String NegativeStepCount("[internal Error] AnimStepCount < 0!");
// What a load or an operation says when memory runs out; the document stays as it was.
inline QString OutOfMemory() { return QStringLiteral("Not enough memory for this animation!"); }
}  // namespace Rtm

// Fills an already-cleared document with the file's TotalMove, AnimComponentCount,
// AnimSelections (file order, duplicates kept) and AnimFrames (times as stored, records
// in file order, each NameIndex from the case-insensitive first-match look-up).
// AnimStepCount, ActAnimStep, AnimFileName and the time checks are the caller's.
// Returns "" on success, otherwise "Incorrect Format!" (wrong magic, negative counts,
// counts that do not fit the file, a file that ends early) or "Component Name not in
// Header!"; on failure those members are emptied again.
// Running out of memory gives Rtm::OutOfMemory() with the members emptied.
QString ReadRtm(const QByteArray& bytes, TAnimDocument& doc);
// The same from a file, read in pieces: the file is never held in memory as a whole, and
// bytes after the frames the header counts are not read. A file that cannot be opened
// gives "Cannot open file NAME", a failed read "Cannot read file NAME: REASON", NAME
// being shownName.
QString ReadRtmFile(const QString& path, TAnimDocument& doc, const QString& shownName);

// Builds the file for frames 0 .. AnimStepCount-1, writing entry j of each frame (by list
// position) for name slot j. On an inconsistent document returns its "[internal Error] ..."
// text and leaves out empty; otherwise returns "".
QString WriteRtm(const TAnimDocument& doc, QByteArray& out);
// The same, streamed into out record by record; nothing is written (and out is left for
// the caller to discard) when the document is inconsistent. The caller commits.
QString WriteRtm(const TAnimDocument& doc, TAtomicFileWriter& out);
