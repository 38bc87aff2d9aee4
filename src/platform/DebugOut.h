#pragma once
// The debugger output channel: one line per call, no prefix or level.
#include <QString>
#include <functional>

void DebugOut(const QString& line);
// Tests capture the lines; an empty function restores stderr.
void SetDebugSink(std::function<void(const QString&)> sink);
