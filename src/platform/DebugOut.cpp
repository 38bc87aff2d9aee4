#include "platform/DebugOut.h"
#include <cstdio>

namespace {
std::function<void(const QString&)>& sink()
{
    static std::function<void(const QString&)> s;
    return s;
}
}  // namespace

void DebugOut(const QString& line)
{
    if (sink()) {
        sink()(line);
        return;
    }
    const QByteArray bytes = line.toLocal8Bit();
    std::fprintf(stderr, "%s\n", bytes.constData());
}

void SetDebugSink(std::function<void(const QString&)> s) { sink() = std::move(s); }
