// A frame's transform as glTF's translation, rotation and scale.
#include "pose/GltfExport.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {
using TM3 = std::array<std::array<double, 3>, 3>;  // [row][column], column vectors

double Det(const TM3& a)
{
    return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
           a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
}

std::array<double, 3> Cross(const std::array<double, 3>& a, const std::array<double, 3>& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double Norm(const std::array<double, 3>& a) { return std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]); }

// Orthonormal columns from c by Gram-Schmidt, keeping a right-handed frame; used when the
// columns are too close to dependent for the polar iteration.
TM3 GramSchmidt(const std::array<std::array<double, 3>, 3>& cols)
{
    std::array<double, 3> x = cols[0];
    double n = Norm(x);
    if (!(n > 1e-12))
        x = {1, 0, 0}, n = 1;
    for (double& v : x)
        v /= n;
    std::array<double, 3> y = cols[1];
    const double d = x[0] * y[0] + x[1] * y[1] + x[2] * y[2];
    for (size_t i = 0; i < 3; ++i)
        y[i] -= d * x[i];
    n = Norm(y);
    if (!(n > 1e-12)) {
        y = std::fabs(x[0]) < 0.9 ? std::array<double, 3>{1, 0, 0} : std::array<double, 3>{0, 1, 0};
        const double e = x[0] * y[0] + x[1] * y[1] + x[2] * y[2];
        for (size_t i = 0; i < 3; ++i)
            y[i] -= e * x[i];
        n = Norm(y);
    }
    for (double& v : y)
        v /= n;
    const std::array<double, 3> z = Cross(x, y);
    TM3 r{};
    for (size_t i = 0; i < 3; ++i) {
        r[i][0] = x[i];
        r[i][1] = y[i];
        r[i][2] = z[i];
    }
    return r;
}
// Whether v is written as a finite float.
bool FitsFloat(double v) { return std::fabs(v) <= double(std::numeric_limits<float>::max()); }

// A transform collapsed onto the origin, for one that is not finite or whose scale does not
// fit a float (every point it moves is then not finite either).
void Collapse(TTrs& t)
{
    t = TTrs{};
    t.Finite = t.Exact = false;
    t.S[0] = t.S[1] = t.S[2] = 0;
}

// The unit quaternion (x, y, z, w) of the rotation r.
void Quaternion(const TM3& r, double out[4])
{
    const double tr = r[0][0] + r[1][1] + r[2][2];
    double q[4];
    if (tr > 0) {
        const double k = 0.5 / std::sqrt(tr + 1);
        q[3] = 0.25 / k;
        q[0] = (r[2][1] - r[1][2]) * k;
        q[1] = (r[0][2] - r[2][0]) * k;
        q[2] = (r[1][0] - r[0][1]) * k;
    } else if (r[0][0] > r[1][1] && r[0][0] > r[2][2]) {
        const double k = 2 * std::sqrt(1 + r[0][0] - r[1][1] - r[2][2]);
        q[3] = (r[2][1] - r[1][2]) / k;
        q[0] = 0.25 * k;
        q[1] = (r[0][1] + r[1][0]) / k;
        q[2] = (r[0][2] + r[2][0]) / k;
    } else if (r[1][1] > r[2][2]) {
        const double k = 2 * std::sqrt(1 + r[1][1] - r[0][0] - r[2][2]);
        q[3] = (r[0][2] - r[2][0]) / k;
        q[0] = (r[0][1] + r[1][0]) / k;
        q[1] = 0.25 * k;
        q[2] = (r[1][2] + r[2][1]) / k;
    } else {
        const double k = 2 * std::sqrt(1 + r[2][2] - r[0][0] - r[1][1]);
        q[3] = (r[1][0] - r[0][1]) / k;
        q[0] = (r[0][2] + r[2][0]) / k;
        q[1] = (r[1][2] + r[2][1]) / k;
        q[2] = 0.25 * k;
    }
    const double qn = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (int i = 0; i < 4; ++i)
        out[i] = q[i] / qn;
}
}  // namespace

TTrs DecomposeTransform(const TTransform& m)
{
    TTrs out;
    for (double v : m.m)
        if (!FitsFloat(v)) {
            Collapse(out);
            return out;
        }
    out.T[0] = m[9];
    out.T[1] = m[10];
    out.T[2] = m[11];
    // Column j of the column-vector matrix is row j of the row-vector one: the image of axis j.
    std::array<std::array<double, 3>, 3> col{};
    double s[3];
    double largest = 0;
    for (size_t j = 0; j < 3; ++j) {
        col[j] = {m.m[j * 3], m.m[j * 3 + 1], m.m[j * 3 + 2]};
        s[j] = Norm(col[j]);
        largest = std::max(largest, s[j]);
    }
    const double tiny = std::max(largest * 1e-9, 1e-300);
    int zero = 0;
    for (size_t j = 0; j < 3; ++j) {
        if (s[j] > tiny) {
            for (double& v : col[j])
                v /= s[j];
        } else {
            ++zero;
        }
    }
    // A collapsed axis takes the direction that completes the other two.
    if (zero == 1)
        for (size_t j = 0; j < 3; ++j)
            if (!(s[j] > tiny))
                col[j] = Cross(col[(j + 1) % 3], col[(j + 2) % 3]);
    TM3 c{};
    for (size_t i = 0; i < 3; ++i)
        for (size_t j = 0; j < 3; ++j)
            c[i][j] = col[j][i];
    // Mirroring: the smallest axis turns round, the rest stays.
    if (Det(c) < 0) {
        const size_t k = size_t(std::min_element(s, s + 3) - s);
        for (size_t i = 0; i < 3; ++i)
            c[i][k] = -c[i][k];
    }
    // The nearest rotation: the orthogonal factor of the polar decomposition, by Newton's
    // iteration R = (R + R^-T) / 2.
    TM3 r = c;
    double skew = 0;  // how far the columns are from orthogonal
    for (size_t a = 0; a < 3; ++a)
        for (size_t b = a + 1; b < 3; ++b)
            skew = std::max(skew, std::fabs(c[0][a] * c[0][b] + c[1][a] * c[1][b] + c[2][a] * c[2][b]));
    const double det = Det(c);
    if (zero > 1 || std::fabs(det) < 1e-6) {
        r = GramSchmidt({std::array<double, 3>{c[0][0], c[1][0], c[2][0]}, std::array<double, 3>{c[0][1], c[1][1], c[2][1]},
                         std::array<double, 3>{c[0][2], c[1][2], c[2][2]}});
    } else if (zero > 0 || skew > 1e-7) {
        // Columns closer to orthogonal than that are a rotation stored as floats: already
        // as near as the frame's floats and the quaternion written as floats can tell.
        // The iteration converges quadratically: a step that changes less than 1e-9 leaves
        // an error far below double precision.
        for (int it = 0; it < 30; ++it) {
            const double inv = 1 / Det(r);
            TM3 invT{};  // inverse transposed = cofactor matrix / det
            for (size_t i = 0; i < 3; ++i)
                for (size_t j = 0; j < 3; ++j) {
                    const size_t i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
                    invT[i][j] = (r[i1][j1] * r[i2][j2] - r[i1][j2] * r[i2][j1]) * inv;
                }
            double change = 0;
            for (size_t i = 0; i < 3; ++i)
                for (size_t j = 0; j < 3; ++j) {
                    const double v = 0.5 * (r[i][j] + invT[i][j]);
                    change = std::max(change, std::fabs(v - r[i][j]));
                    r[i][j] = v;
                }
            if (change < 1e-9)
                break;
        }
    }
    for (size_t j = 0; j < 3; ++j)
        out.S[j] = s[j] > tiny ? s[j] : 0;
    if (!FitsFloat(out.S[0]) || !FitsFloat(out.S[1]) || !FitsFloat(out.S[2])) {
        Collapse(out);
        return out;
    }
    // Whether rotation and scale give the matrix back.
    double err = 0;
    for (size_t i = 0; i < 3; ++i)
        for (size_t j = 0; j < 3; ++j)
            err = std::max(err, std::fabs(r[i][j] * out.S[j] - m.m[j * 3 + i]));
    out.Exact = err <= 1e-5 * std::max(largest, 1e-30);
    Quaternion(r, out.R);
    return out;
}

TTrsPair DecomposeAffine(const TTransform& m)
{
    TTrsPair out;
    const auto collapsed = [&out] {
        out.Finite = false;
        Collapse(out.Outer);
        out.Inner[0] = out.Inner[1] = out.Inner[2] = 0;
        out.Inner[3] = 1;
        return out;
    };
    for (double v : m.m)
        if (!FitsFloat(v))
            return collapsed();
    out.Outer.T[0] = m[9];
    out.Outer.T[1] = m[10];
    out.Outer.T[2] = m[11];
    // One-sided Jacobi: turn the columns of w = L (column vectors) until they are
    // orthogonal; v collects the turns, so L = w v^T with w's columns u_j * s_j.
    TM3 w{}, v{};
    for (size_t i = 0; i < 3; ++i)
        for (size_t j = 0; j < 3; ++j) {
            w[i][j] = m.m[j * 3 + i];
            v[i][j] = i == j ? 1 : 0;
        }
    for (int sweep = 0; sweep < 60; ++sweep) {
        bool turned = false;
        for (size_t p = 0; p < 2; ++p)
            for (size_t q = p + 1; q < 3; ++q) {
                double a = 0, b = 0, g = 0;
                for (size_t i = 0; i < 3; ++i) {
                    a += w[i][p] * w[i][p];
                    b += w[i][q] * w[i][q];
                    g += w[i][p] * w[i][q];
                }
                if (!(std::fabs(g) > 1e-15 * std::sqrt(a * b)))
                    continue;
                turned = true;
                const double zeta = (b - a) / (2 * g);
                const double t = (zeta >= 0 ? 1 : -1) / (std::fabs(zeta) + std::sqrt(1 + zeta * zeta));
                const double c = 1 / std::sqrt(1 + t * t), s = c * t;
                for (TM3* x : {&w, &v})
                    for (size_t i = 0; i < 3; ++i) {
                        const double xp = (*x)[i][p], xq = (*x)[i][q];
                        (*x)[i][p] = c * xp - s * xq;
                        (*x)[i][q] = s * xp + c * xq;
                    }
            }
        if (!turned)
            break;
    }
    std::array<std::array<double, 3>, 3> u{};
    double sigma[3], largest = 0;
    for (size_t j = 0; j < 3; ++j) {
        u[j] = {w[0][j], w[1][j], w[2][j]};
        sigma[j] = Norm(u[j]);
        largest = std::max(largest, sigma[j]);
    }
    const double tiny = std::max(largest * 1e-12, 1e-300);
    int zero = 0;
    for (size_t j = 0; j < 3; ++j)
        if (sigma[j] > tiny) {
            for (double& x : u[j])
                x /= sigma[j];
        } else {
            sigma[j] = 0;
            ++zero;
        }
    // Directions for the collapsed axes: whatever completes a right-handed frame.
    TM3 r{};
    if (zero == 1) {
        for (size_t j = 0; j < 3; ++j)
            if (sigma[j] == 0)
                u[j] = Cross(u[(j + 1) % 3], u[(j + 2) % 3]);
    } else if (zero > 1) {
        size_t k = 0;
        while (k < 3 && sigma[k] == 0)
            ++k;
        const size_t first = k < 3 ? k : 0;
        const TM3 g = GramSchmidt({u[first], u[(first + 1) % 3], u[(first + 2) % 3]});
        for (size_t j = 0; j < 3; ++j)
            u[(first + j) % 3] = {g[0][j], g[1][j], g[2][j]};
    }
    for (size_t i = 0; i < 3; ++i)
        for (size_t j = 0; j < 3; ++j)
            r[i][j] = u[j][i];
    // v is a product of turns, so a rotation; a mirroring makes u one, which the smallest
    // scale takes over by turning negative.
    if (Det(r) < 0) {
        const size_t k = size_t(std::min_element(sigma, sigma + 3) - sigma);
        for (size_t i = 0; i < 3; ++i)
            r[i][k] = -r[i][k];
        sigma[k] = -sigma[k];
    }
    for (size_t j = 0; j < 3; ++j)
        if (!FitsFloat(sigma[j]))
            return collapsed();
    Quaternion(r, out.Outer.R);
    for (size_t j = 0; j < 3; ++j)
        out.Outer.S[j] = sigma[j];
    TM3 vt{};
    for (size_t i = 0; i < 3; ++i)
        for (size_t j = 0; j < 3; ++j)
            vt[i][j] = v[j][i];
    Quaternion(vt, out.Inner);
    return out;
}
