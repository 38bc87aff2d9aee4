#include "platform/DebugOut.h"
#include <QLoggingCategory>
#include <cstdio>

namespace {
// Below Qt's debug level by default: only a logging rule switches it on.
Q_LOGGING_CATEGORY(debugChannel, "torvane", QtInfoMsg)

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
    if (sink()) {
        sink()(line);
        return;
    }
    if (!Asked())
        return;
    const QByteArray bytes = line.toLocal8Bit();
    std::fprintf(stderr, "%s\n", bytes.constData());
}

void SetDebugSink(std::function<void(const QString&)> s) { sink() = std::move(s); }
