// A frame transform as glTF's translation, rotation and scale.
#include "pose/GltfExport.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QTest>
#include <cmath>

namespace {
// The rotation matrix (column vectors) of a unit quaternion.
std::array<std::array<double, 3>, 3> Rotation(const double* q)
{
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    return {{{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
             {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
             {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}}};
}

// Row j of the row-vector matrix (the image of axis j) as the TRS gives it back: column j
// of the rotation, scaled.
std::array<double, 3> Axis(const TTrs& t, size_t j)
{
    const auto r = Rotation(t.R);
    return {r[0][j] * t.S[j], r[1][j] * t.S[j], r[2][j] * t.S[j]};
}

std::array<double, 12> Turned(double a, double b, double sx, double sy, double sz)
{
    // About Z by a, then about X by b, scaled along the model's axes first.
    TTransform m = TTransform::Identity();
    m[0] = sx, m[4] = sy, m[8] = sz;
    RotateZ(m, a);
    RotateX(m, b);
    m[9] = 1, m[10] = -2, m[11] = 0.5;
    return m.m;
}
}  // namespace

class GltfTrsTest : public QObject {
    Q_OBJECT
private slots:
    void decompose_data() { QVERIFY(AddTableRows("pose/gltf-trs.table")); }
    // Two nodes give every finite transform back, shear and mirroring included: outer
    // translation, rotation and scale, then the inner rotation.
    void decomposeAffine_data() { QVERIFY(AddTableRows("pose/gltf-affine.table")); }
    void decomposeAffine()
    {
        QFETCH(QList<double>, m);
        QFETCH(bool, finite);
        TTransform t;
        std::copy_n(m.begin(), 12, t.m.begin());
        const TTrsPair pair = DecomposeAffine(t);
        QCOMPARE(pair.Finite, finite);
        if (!finite)
            return;
        const auto outer = Rotation(pair.Outer.R), inner = Rotation(pair.Inner);
        for (const double* q : {pair.Outer.R, pair.Inner})
            QVERIFY(std::fabs(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3] - 1) < 1e-12);
        for (size_t i = 0; i < 3; ++i) {
            QCOMPARE(pair.Outer.T[i], t.m[9 + i]);
            for (size_t j = 0; j < 3; ++j) {
                double v = 0;
                for (size_t k = 0; k < 3; ++k)
                    v += outer[i][k] * pair.Outer.S[k] * inner[k][j];
                QVERIFY2(std::fabs(v - t.m[j * 3 + i]) < 1e-12, qPrintable(QString("[%1][%2]: %3").arg(i).arg(j).arg(v)));
            }
        }
    }
    void decompose()
    {
        QFETCH(QList<double>, m);
        QFETCH(QList<double>, turned);
        QFETCH(bool, exact);
        QFETCH(bool, finite);
        TTransform t;
        t.m = Turned(turned.value(0), turned.value(1), turned.value(2), turned.value(3), turned.value(4));
        if (turned.isEmpty())
            std::copy_n(m.begin(), 12, t.m.begin());
        else
            m = QList<double>(t.m.begin(), t.m.end());
        const TTrs trs = DecomposeTransform(t);
        QCOMPARE(QList<bool>({trs.Exact, trs.Finite}), QList<bool>({exact, finite}));
        QVERIFY(std::fabs(trs.R[0] * trs.R[0] + trs.R[1] * trs.R[1] + trs.R[2] * trs.R[2] + trs.R[3] * trs.R[3] - 1) < 1e-12);
        if (!finite) {  // collapsed onto the origin
            QCOMPARE(trs.S[0] + trs.S[1] + trs.S[2] + std::fabs(trs.T[0]) + std::fabs(trs.T[1]) + std::fabs(trs.T[2]), 0.0);
            return;
        }
        for (size_t j = 0; j < 3; ++j) {
            QCOMPARE(trs.T[j], m[9 + j]);
            // Each axis keeps its length, so no scale is negative.
            QVERIFY(std::fabs(trs.S[j] - std::hypot(m[j * 3], m[j * 3 + 1], m[j * 3 + 2])) < 1e-12);
        }
        if (exact) {
            for (size_t j = 0; j < 3; ++j)
                for (size_t i = 0; i < 3; ++i)
                    QVERIFY2(std::fabs(Axis(trs, j)[i] - m[j * 3 + i]) < 1e-9, qPrintable(QString("axis %1").arg(j)));
            return;
        }
        // Nearest: the axes that keep their direction are still met within the error the
        // other axes make; a mirrored axis is the shortest one turned round.
        double err[3];
        for (size_t j = 0; j < 3; ++j) {
            const auto a = Axis(trs, j);
            err[j] = std::hypot(a[0] - m[j * 3], a[1] - m[j * 3 + 1], a[2] - m[j * 3 + 2]) / trs.S[j];
        }
        if (QTest::currentDataTag() == QLatin1String("shear")) {
            // x and y lean towards each other by the same angle; z is untouched.
            QVERIFY(std::fabs(err[0] - err[1]) < 1e-9 && err[0] > 0.1);
            QVERIFY(err[2] < 1e-12);
        } else {
            QVERIFY(err[0] < 1e-12 && err[2] < 1e-12);
            QVERIFY(std::fabs(err[1] - 2) < 1e-12);
        }
    }
};

TORVANE_TEST(GltfTrsTest)
#include "GltfTrsTest.moc"
