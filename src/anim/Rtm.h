#pragma once
// The "RTM_0101" animation file: a fixed header (magic, TotalMove, frame count F,
// component count C), C 32-byte name fields, then F frames of a time and C name-tagged
// records of 12 floats. Little-endian throughout.
#include "anim/AnimDocument.h"

#include <QByteArray>
#include <QLatin1String>
#include <QString>
#include <atomic>

class TAtomicFileWriter;
class TProgress;

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
// Whether a name fits a name field (32 single-byte characters at most); a longer one would
// be cut when written and then not match its component.
inline bool FitsNameField(const QString& name) { return name.size() <= NameFieldSize; }
// What a load or an operation says when memory runs out; the document stays as it was.
inline QString OutOfMemory() { return QStringLiteral("Not enough memory for this animation!"); }
}  // namespace Rtm

// What a file holds, nothing more: the reader neither knows nor fills a document.
struct TRtmData {
    std::array<float, 3> TotalMove{0, 0, 0};
    TAnimSelections Names;  // file order, duplicates kept
    // Times as stored; records in file order, each NameIndex from the case-insensitive
    // first-match look-up. The stride is the component count.
    TAnimFrames Frames;
    // "" when the file was read whole; otherwise the first fault, and everything above empty.
    QString Error;
    bool Ok() const { return Error.isEmpty(); }
};

// Reads the file in one pass. Error is "Incorrect Format!" (wrong magic, negative counts,
// counts that do not fit the file, a file that ends early), "Component Name not in
// Header!", or Rtm::OutOfMemory(). Bytes after the frames the header counts are not read.
TRtmData ReadRtm(const QByteArray& bytes);
// The same from a file, read in pieces: the file is never held in memory as a whole. A
// file that cannot be opened gives "Cannot open file NAME", a failed read "Cannot read file
// NAME: REASON", NAME being shownName. progress hears of every megabyte and of the end;
// cancelled, the read stops with an error and keeps nothing.
TRtmData ReadRtmFile(const QString& path, const QString& shownName, TProgress* progress = nullptr);

// Builds the file for frames 0 .. AnimStepCount-1, writing entry j of each frame (by list
// position) for name slot j. On an inconsistent document returns its "[internal Error] ..."
// text and leaves out empty; otherwise returns "".
QString WriteRtm(const TAnimDocument& doc, QByteArray& out);
// The same, streamed into out record by record; nothing is written (and out is left for
// the caller to discard) when the document is inconsistent. The caller commits. When stop
// is given and becomes true (another thread gives up the write), the frames stop at the
// next one: out is then incomplete and the caller discards it.
QString WriteRtm(const TAnimDocument& doc, TAtomicFileWriter& out, const std::atomic<bool>* stop = nullptr);
