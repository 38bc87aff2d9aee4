#pragma once
// The debugger output channel: one line per call, no prefix or level, on stderr. A desktop
// program started from a launcher or a terminal stays quiet, so the lines are printed only
// when asked: TORVANE_DEBUG set (to anything but 0) or Qt's logging rules enabling the
// category "torvane" at debug level (QT_LOGGING_RULES="torvane.debug=true").
#include <QString>
#include <functional>

void DebugOut(const QString& line);
// Tests capture the lines whether asked or not; an empty function restores stderr.
void SetDebugSink(std::function<void(const QString&)> sink);
