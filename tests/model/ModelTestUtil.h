#pragma once
// Helpers shared by the model tests.
#include "model/P3dModel.h"
#include "platform/DebugOut.h"

#include <QStringList>
#include <memory>

// A main model (or, with proxy set, a proxy sub-model) read from bytes.
inline std::unique_ptr<TP3dModell> ReadModelBytes(const QByteArray& bytes, TSelection* proxy = nullptr)
{
    auto m = std::make_unique<TP3dModell>(QString(), proxy, nullptr, proxy != nullptr);
    m->ReadP3dBytes(bytes, false);
    return m;
}

// The model code reports progress on the debug channel; tests keep it quiet.
inline void SilenceDebug()
{
    SetDebugSink([](const QString&) {});
}

// Collects debug lines while it lives, then silences the channel again.
struct TDebugCapture {
    TDebugCapture()
    {
        SetDebugSink([this](const QString& line) { Lines << line; });
    }
    ~TDebugCapture() { SilenceDebug(); }
    QStringList Lines;
};
