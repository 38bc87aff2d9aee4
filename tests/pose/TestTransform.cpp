#include "base/Transform.h"
#include "support/TestMain.h"

#include <QTest>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

Q_DECLARE_METATYPE(TVec3)
Q_DECLARE_METATYPE(TTransform)

namespace {
constexpr double Quarter = std::numbers::pi / 2;
TTransform Make(std::array<double, 12> m) { TTransform t; t.m = m; return t; }
bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }
}  // namespace

class TestTransform : public QObject {
    Q_OBJECT
private slots:
    void rotations_data()
    {
        QTest::addColumn<TTransform>("start");
        QTest::addColumn<char>("axis");
        QTest::addColumn<QList<double>>("angles");  // turns applied one after the other
        QTest::addColumn<TVec3>("point");
        QTest::addColumn<TVec3>("expected");
        const TTransform I = TTransform::Identity();
        QTest::newRow("Z: x to y") << I << 'z' << QList<double>{Quarter} << TVec3{1, 0, 0} << TVec3{0, 1, 0};
        QTest::newRow("X: y to z") << I << 'x' << QList<double>{Quarter} << TVec3{0, 1, 0} << TVec3{0, 0, 1};
        QTest::newRow("Y: z to x") << I << 'y' << QList<double>{Quarter} << TVec3{0, 0, 1} << TVec3{1, 0, 0};
        // Turns are about the model origin, not about where the object was placed.
        QTest::newRow("translate, then turn") << TTransform::Translation(1, 0, 0) << 'z' << QList<double>{Quarter} << TVec3{} << TVec3{0, 1, 0};
        QTest::newRow("stretch, then turn") << Make({2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}) << 'z' << QList<double>{Quarter} << TVec3{1, 0, 0} << TVec3{0, 2, 0};
        QTest::newRow("Z turns add up") << TTransform::Translation(2, 0, 0) << 'z' << QList<double>{0.3, 0.5} << TVec3{} << TVec3{2 * std::cos(0.8), 2 * std::sin(0.8), 0};
        QTest::newRow("Y turns add up") << TTransform::Translation(0, 0, 3) << 'y' << QList<double>{0.25, 0.5} << TVec3{} << TVec3{3 * std::sin(0.75), 0, 3 * std::cos(0.75)};
        QTest::newRow("X turns back") << TTransform::Translation(1, 2, 3) << 'x' << QList<double>{1.1, -1.1} << TVec3{} << TVec3{1, 2, 3};
    }
    void rotations()
    {
        QFETCH(TTransform, start);
        QFETCH(char, axis);
        QFETCH(QList<double>, angles);
        QFETCH(TVec3, point);
        QFETCH(TVec3, expected);
        for (double a : angles)
            (axis == 'x' ? RotateX : axis == 'y' ? RotateY : RotateZ)(start, a);
        const TVec3 p = start.Apply(point);
        QVERIFY2(std::abs(p.x - expected.x) <= 1e-12 && std::abs(p.y - expected.y) <= 1e-12 && std::abs(p.z - expected.z) <= 1e-12,
                 qPrintable(QStringLiteral("(%1, %2, %3)").arg(p.x).arg(p.y).arg(p.z)));
    }

    void multiplyHandExample()
    {
        const TTransform A = Make({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
        const TTransform B = Make({2, 0, 1, 0, 3, -1, 1, 1, 0, 5, -6, 7});
        TTransform C = Make({99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99});  // fully replaced
        MultiplyTransform(A, B, C);
        QCOMPARE(C, Make({5, 9, -1, 14, 21, -1, 23, 33, -1, 37, 39, 6}));
    }

    void widenNarrowKeepBits()
    {
        constexpr float denorm = std::numeric_limits<float>::denorm_min(), inf = std::numeric_limits<float>::infinity();
        const TMatrix12f f{0.f, -0.f, 0.1f, -1.f / 3.f, denorm, -denorm, std::numeric_limits<float>::min(),
                           std::numeric_limits<float>::max(), -inf, inf, std::numeric_limits<float>::quiet_NaN(), 16777217.f};
        const TTransform wide = Widen(f);
        for (size_t k = 0; k < 12; ++k) {
            QVERIFY(std::isnan(f[k]) || wide.m[k] == double(f[k]));
            QVERIFY2(SameBits(Narrow(wide)[k], f[k]), qPrintable(QString::number(k)));
        }
    }

    void narrowRoundsToNearest_data()
    {
        QTest::addColumn<double>("wide");
        QTest::addColumn<float>("narrow");
        const double u = std::ldexp(1.0, -24);  // half a float step just above 1
        QTest::newRow("just above the middle rounds up") << 1 + u + u / 64 << 1 + 2 * float(u);
        QTest::newRow("just below the middle rounds down") << 1 + u - u / 64 << 1.f;
        QTest::newRow("middle to even, down") << 1 + u << 1.f;
        QTest::newRow("middle to even, up") << 1 + 3 * u << 1 + 4 * float(u);
        QTest::newRow("too large for a float") << 1e300 << std::numeric_limits<float>::infinity();
    }
    void narrowRoundsToNearest()
    {
        QFETCH(double, wide);
        QFETCH(float, narrow);
        TTransform t;
        t[7] = wide;
        const float f = Narrow(t)[7];
        QVERIFY2(SameBits(f, narrow), qPrintable(QStringLiteral("%1 vs %2").arg(f, 0, 'g', 10).arg(narrow, 0, 'g', 10)));
    }
};

TORVANE_TEST(TestTransform)
#include "TestTransform.moc"
