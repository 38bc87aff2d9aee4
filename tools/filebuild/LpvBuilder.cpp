#include "filebuild/LpvBuilder.h"

#include "platform/Binary.h"

TLpvBuilder& TLpvBuilder::Add(const QByteArray& name, const QByteArray& parent, float x, float y, float z)
{
    Records.push_back({name, parent, {x, y, z}});
    return *this;
}

QByteArray TLpvBuilder::Build() const
{
    QByteArray out;
    Binary::PutI32(out, Version);
    Binary::PutI32(out, Count.value_or(int32_t(Records.size())));
    for (const Record& r : Records) {
        for (const QByteArray* name : {&r.Name, &r.Parent}) {
            QByteArray b = name->left(32);
            b.append(QByteArray(32 - b.size(), '\0'));
            out.append(b);
        }
        for (float f : r.Pivot)
            Binary::PutF32(out, f);
    }
    return out;
}
