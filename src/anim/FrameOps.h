#pragma once
// Operations of the frame list on the frames alone: inserting a frame after the current
// one, retiming a frame from the grid's time cell, sorting by time, and the time text.
// Nothing here touches a control; the caller sets the step count, the current step and
// validates the times afterwards, as each function says.
#include "anim/AnimDocument.h"

#include <QString>
#include <vector>

// Inserts a frame right after frame cur, with copies of cur's entries, and returns its
// index (cur + 1). Its time: 1 when there were fewer than two frames; when cur is the last
// frame, cur moves half-way from its predecessor towards 1 and the new frame takes 1;
// otherwise the midpoint between cur and its successor.
// Returns -1 and changes nothing when frames is empty or cur is not a frame. Throws
// std::bad_alloc, with the frames unchanged, when there is no memory for the new frame.
// Afterwards: SetStepCount(count + 1), SetActStep(cur + 1), ValidateFrames.
int InsertFrameAfter(TAnimFrames& frames, int cur);

// Only frames 0 .. count - 2 take a typed time; the last frame stays at 1.
bool CanRetimeFrame(int index, int count);

// A decimal number as typed into the time cell: optional sign, digits with at most one
// decimal separator ('.', ',' or the given one: a time may be typed either way whatever
// the locale, as in the other number fields) and an optional exponent, surrounding blanks
// ignored. No separator groups thousands. Anything else, and any value that is not a
// finite float, is refused.
bool ParseFrameTime(const QString& text, float& value, const QString& decimalPoint);
// The same with the system locale's decimal separator.
bool ParseFrameTime(const QString& text, float& value);

// Stores t as the time of frame index (false, nothing changed, when that frame may not be
// retimed). A committed edit also sorts the frames by time; while the cell editor is still
// open the order stays. The current step keeps its index either way.
// Afterwards: ValidateFrames and the frame timer's refresh.
bool RetimeFrame(TAnimFrames& frames, int index, float t, bool committed);

// Ascending time; equal times keep their order. A NaN time (only a damaged file can hold
// one) sorts after every number, so the order stays well defined.
void SortFramesByTime(TAnimFrames& frames);

// "0.0####": at least one and at most five decimals, with the given decimal separator.
QString FormatFrameTime(float t, const QString& decimalPoint);
// The same with the system locale's decimal separator.
QString FormatFrameTime(float t);
