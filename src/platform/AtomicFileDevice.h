#pragma once
// A write-only QIODevice over a TAtomicFileWriter, for encoders that write to a device
// (images): the bytes go straight into the temporary file instead of a buffer holding the
// whole file.
#include "platform/FileUtil.h"

#include <QIODevice>

class TAtomicFileDevice final : public QIODevice {
public:
    explicit TAtomicFileDevice(const QString& path) : Writer_(path) { open(QIODevice::WriteOnly); }
    TAtomicFileWriter& Writer() { return Writer_; }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override { return Writer_.Write(data, qsizetype(size)) ? size : -1; }

private:
    TAtomicFileWriter Writer_;
};
