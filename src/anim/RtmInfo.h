#pragma once
// What "torvane-anim info FILE.rtm [--json]" prints about a read animation: TotalMove, the
// header names in slot order, and every frame with its time as stored and its entries
// (the name of the slot the entry points at, that slot, the 12 matrix values).
#include "anim/AnimDocument.h"
#include "anim/Rtm.h"

#include <QString>

class QTextStream;

// What is shown: the saved content of a document, or of a file as read.
struct TRtmContent {
    const std::array<float, 3>& TotalMove;
    const TAnimSelections& Names;
    const TAnimFrames& Frames;
    TRtmContent(const TAnimDocument& doc) : TotalMove(doc.TotalMove), Names(doc.AnimSelections), Frames(doc.AnimFrames) {}
    TRtmContent(const TRtmData& data) : TotalMove(data.TotalMove), Names(data.Names), Frames(data.Frames) {}
};

// Readable text: a line per header name, per frame and per entry. Control characters
// and backslashes in names are shown as \xNN.
QString RtmInfoText(const TRtmContent& doc);

// One JSON object:
//   {"totalMove":[x,y,z],"components":["..."],
//    "frames":[{"time":t,"entries":[{"name":"...","nameIndex":i,"matrix":[12 numbers]}]}]}
// Floats are written in their shortest form that reads back to the same float. JSON has
// no NaN or infinity, so a non-finite float is written as null. An entry whose slot does
// not exist gets "name":null.
QString RtmInfoJson(const TRtmContent& doc);

// The same two, written to a stream a frame at a time, so that the text of a large file
// never has to be held whole.
void WriteRtmInfoText(const TRtmContent& doc, QTextStream& out);
void WriteRtmInfoJson(const TRtmContent& doc, QTextStream& out);
