#include "base/Transform.h"

#include <cmath>

TTransform TTransform::Identity()
{
    TTransform t;
    t.m = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    return t;
}

TTransform TTransform::Translation(double x, double y, double z)
{
    TTransform t = Identity();
    t.m[9] = x;
    t.m[10] = y;
    t.m[11] = z;
    return t;
}

TVec3 TTransform::Apply(const TVec3& p) const
{
    return {p.x * m[0] + p.y * m[3] + p.z * m[6] + m[9], p.x * m[1] + p.y * m[4] + p.z * m[7] + m[10],
            p.x * m[2] + p.y * m[5] + p.z * m[8] + m[11]};
}

void CopyTransform(const TTransform& src, TTransform& dst) { dst = src; }

void MultiplyTransform(const TTransform& A, const TTransform& B, TTransform& C)
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j)
            C[i * 3 + j] = A.at(i, 0) * B.at(0, j) + A.at(i, 1) * B.at(1, j) + A.at(i, 2) * B.at(2, j);
    for (int j = 0; j < 3; ++j)
        C[9 + j] += B.at(3, j);
}

namespace {
void RotateBy(TTransform& M, const TTransform& R)
{
    const TTransform copy = M;
    MultiplyTransform(copy, R, M);
}
}  // namespace

void RotateX(TTransform& M, double a)
{
    const double c = std::cos(a), s = std::sin(a);
    TTransform R;
    R.m = {1, 0, 0, 0, c, s, 0, -s, c, 0, 0, 0};
    RotateBy(M, R);
}

void RotateY(TTransform& M, double a)
{
    const double c = std::cos(a), s = std::sin(a);
    TTransform R;
    R.m = {c, 0, -s, 0, 1, 0, s, 0, c, 0, 0, 0};
    RotateBy(M, R);
}

void RotateZ(TTransform& M, double a)
{
    const double c = std::cos(a), s = std::sin(a);
    TTransform R;
    R.m = {c, s, 0, -s, c, 0, 0, 0, 1, 0, 0, 0};
    RotateBy(M, R);
}

TTransform Widen(const TMatrix12f& entry)
{
    TTransform t;
    for (size_t i = 0; i < 12; ++i)
        t.m[i] = entry[i];
    return t;
}

TMatrix12f Narrow(const TTransform& t)
{
    TMatrix12f f{};
    for (size_t i = 0; i < 12; ++i)
        f[i] = static_cast<float>(t.m[i]);
    return f;
}
