#pragma once
// Writes linking-and-pivot files from a description, independently of the writer under
// test, so names can be given as raw bytes (e.g. 32 characters with no terminator).
#include <QByteArray>
#include <cstdint>
#include <optional>
#include <vector>

class TLpvBuilder {
public:
    struct Record {
        QByteArray Name;  // written into 32 bytes, zero-filled
        QByteArray Parent;  // the same
        float Pivot[3] = {0, 0, 0};
    };
    TLpvBuilder& Add(const QByteArray& name, const QByteArray& parent, float x, float y, float z);
    QByteArray Build() const;

    std::vector<Record> Records;
    int32_t Version = 1;
    std::optional<int32_t> Count;  // overrides the record count written
};
