#include "platform/DebugOut.h"
#include <QLoggingCategory>
#include <cstdio>
#include <mutex>

namespace {
// Below Qt's debug level by default: only a logging rule switches it on.
Q_LOGGING_CATEGORY(debugChannel, "torvane", QtInfoMsg)

// Lines come from worker threads too (a model read in the background).
std::recursive_mutex& sinkMutex()
{
    static std::recursive_mutex m;
    return m;
}

std::function<void(const QString&)>& sink()
{
    static std::function<void(const QString&)> s;
    return s;
}

bool Asked()
{
    static const bool byEnvironment = [] {
        const QByteArray value = qgetenv("TORVANE_DEBUG");
        return !value.isEmpty() && value != "0";
    }();
    return byEnvironment || debugChannel().isDebugEnabled();
}
}  // namespace

void DebugOut(const QString& line)
{
    const std::lock_guard lock(sinkMutex());
    if (sink()) {
        sink()(line);
        return;
    }
    if (!Asked())
        return;
    const QByteArray bytes = line.toLocal8Bit();
    std::fprintf(stderr, "%s\n", bytes.constData());
}

void SetDebugSink(std::function<void(const QString&)> s)
{
    const std::lock_guard lock(sinkMutex());
    sink() = std::move(s);
}
