#pragma once
// The one transform type: a 3x3 linear part (rows 0-2) and a translation (row 3), applied
// to row vectors: p' = p * L + t. Frames and animation files hold the same 12 values as
// floats.
#include <array>
#include <cstddef>

using TMatrix12f = std::array<float, 12>;

struct TVec3 {
    double x = 0, y = 0, z = 0;
};

struct TTransform {
    std::array<double, 12> m{};

    double& operator[](int i) { return m[static_cast<std::size_t>(i)]; }
    double operator[](int i) const { return m[static_cast<std::size_t>(i)]; }
    double at(int row, int col) const { return m[static_cast<std::size_t>(row * 3 + col)]; }

    static TTransform Identity();
    static TTransform Zero() { return {}; }
    static TTransform Translation(double x, double y, double z);

    TVec3 Apply(const TVec3& p) const;
    bool operator==(const TTransform&) const = default;
};

inline constexpr TMatrix12f IdentityMatrix12f{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};

void CopyTransform(const TTransform& src, TTransform& dst);
// C = A followed by B: L_C = L_A * L_B, t_C = t_A * L_B + t_B. C must not alias A or B.
void MultiplyTransform(const TTransform& A, const TTransform& B, TTransform& C);
// M becomes M followed by a rotation of a radians about that axis through the origin.
void RotateX(TTransform& M, double a);
void RotateY(TTransform& M, double a);
void RotateZ(TTransform& M, double a);

TTransform Widen(const TMatrix12f& entry);
// Rounds each element to the nearest float.
TMatrix12f Narrow(const TTransform& t);
