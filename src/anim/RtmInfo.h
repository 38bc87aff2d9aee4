#pragma once
// What "torvane-anim info FILE.rtm [--json]" prints about a read animation: TotalMove, the
// header names in slot order, and every frame with its time as stored and its entries
// (the name of the slot the entry points at, that slot, the 12 matrix values).
#include "anim/AnimDocument.h"

#include <QString>

class QTextStream;

// Readable text: a line per header name, per frame and per entry. Control characters
// and backslashes in names are shown as \xNN.
QString RtmInfoText(const TAnimDocument& doc);

// One JSON object:
//   {"totalMove":[x,y,z],"components":["..."],
//    "frames":[{"time":t,"entries":[{"name":"...","nameIndex":i,"matrix":[12 numbers]}]}]}
// Floats are written in their shortest form that reads back to the same float. JSON has
// no NaN or infinity, so a non-finite float is written as null. An entry whose slot does
// not exist gets "name":null.
QString RtmInfoJson(const TAnimDocument& doc);

// The same two, written to a stream a frame at a time, so that the text of a large file
// never has to be held whole.
void WriteRtmInfoText(const TAnimDocument& doc, QTextStream& out);
void WriteRtmInfoJson(const TAnimDocument& doc, QTextStream& out);
