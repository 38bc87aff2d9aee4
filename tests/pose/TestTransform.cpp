#include "pose/Transform.h"
#include "support/TestMain.h"

#include <QTest>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

Q_DECLARE_METATYPE(TVec3)

namespace {
using Rotate = void (*)(TTransform&, double);

TTransform Make(std::array<double, 12> m)
{
    TTransform t;
    t.m = m;
    return t;
}

bool Near(const TVec3& a, const TVec3& b, double eps = 1e-12)
{
    return std::abs(a.x - b.x) <= eps && std::abs(a.y - b.y) <= eps && std::abs(a.z - b.z) <= eps;
}

bool Near(const TTransform& a, const TTransform& b, double eps = 1e-12)
{
    for (int i = 0; i < 12; ++i)
        if (std::abs(a[i] - b[i]) > eps)
            return false;
    return true;
}

QByteArray Show(const TVec3& p) { return QStringLiteral("(%1, %2, %3)").arg(p.x).arg(p.y).arg(p.z).toUtf8(); }

Rotate Axis(char axis) { return axis == 'x' ? RotateX : axis == 'y' ? RotateY : RotateZ; }

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }
}  // namespace

class TestTransform : public QObject {
    Q_OBJECT
private slots:
    void applyUsesRowVectors();
    void multiplyHandExample();
    void multiplyIsApplyingInTurn();
    void rotations_data();
    void rotations();
    void rotationsTurnAboutTheOrigin();
    void rotationsCompose_data();
    void rotationsCompose();
    void widenNarrowKeepBits();
    void narrowRoundsToNearest_data();
    void narrowRoundsToNearest();
};

void TestTransform::applyUsesRowVectors()
{
    // Row i is the image of axis i; row 3 is added.
    const TTransform t = Make({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 20, 30});
    QVERIFY(Near(t.Apply({1, 0, 0}), {11, 22, 33}));
    QVERIFY(Near(t.Apply({0, 1, 0}), {14, 25, 36}));
    QVERIFY(Near(t.Apply({0, 0, 1}), {17, 28, 39}));
    QVERIFY(Near(t.Apply({2, -1, 0.5}), {2 * 1 - 4 + 3.5 + 10, 2 * 2 - 5 + 4 + 20, 2 * 3 - 6 + 4.5 + 30}));
    QVERIFY(Near(TTransform::Identity().Apply({3, -4, 5}), {3, -4, 5}));
    QVERIFY(Near(TTransform::Translation(1, 2, 3).Apply({1, 1, 1}), {2, 3, 4}));
}

void TestTransform::multiplyHandExample()
{
    const TTransform A = Make({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    const TTransform B = Make({2, 0, 1, 0, 3, -1, 1, 1, 0, 5, -6, 7});
    TTransform C = Make({99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99});  // fully replaced
    MultiplyTransform(A, B, C);
    QCOMPARE(C, Make({5, 9, -1, 14, 21, -1, 23, 33, -1, 37, 39, 6}));

    // A translation followed by a quarter turn about Z takes the origin to (0, 1, 0).
    TTransform R = TTransform::Identity();
    RotateZ(R, std::numbers::pi / 2);
    TTransform T;
    MultiplyTransform(TTransform::Translation(1, 0, 0), R, T);
    QVERIFY2(Near(T.Apply({0, 0, 0}), {0, 1, 0}), Show(T.Apply({0, 0, 0})));

    TTransform copy;
    CopyTransform(A, copy);
    QCOMPARE(copy, A);
}

void TestTransform::multiplyIsApplyingInTurn()
{
    const TTransform A = Make({0.3, -1.2, 2, 0.7, 0.1, -0.4, 1.5, 0.2, 0.9, -3, 4, 0.5});
    const TTransform B = Make({1.1, 0.4, -0.6, -0.2, 0.8, 0.3, 0.5, -1.7, 1.2, 2.5, -0.5, 6});
    TTransform C;
    MultiplyTransform(A, B, C);
    for (const TVec3& p : {TVec3{0, 0, 0}, TVec3{1, 2, 3}, TVec3{-4.5, 0.25, 8}})
        QVERIFY2(Near(C.Apply(p), B.Apply(A.Apply(p)), 1e-9), Show(p));
}

void TestTransform::rotations_data()
{
    QTest::addColumn<char>("axis");
    QTest::addColumn<double>("angle");
    QTest::addColumn<TVec3>("point");
    QTest::addColumn<TVec3>("expected");
    const double q = std::numbers::pi / 2;

    QTest::newRow("Z: x to y") << 'z' << q << TVec3{1, 0, 0} << TVec3{0, 1, 0};
    QTest::newRow("Z: y to -x") << 'z' << q << TVec3{0, 1, 0} << TVec3{-1, 0, 0};
    QTest::newRow("X: y to z") << 'x' << q << TVec3{0, 1, 0} << TVec3{0, 0, 1};
    QTest::newRow("X: z to -y") << 'x' << q << TVec3{0, 0, 1} << TVec3{0, -1, 0};
    QTest::newRow("Y: z to x") << 'y' << q << TVec3{0, 0, 1} << TVec3{1, 0, 0};
    QTest::newRow("Y: x to -z") << 'y' << q << TVec3{1, 0, 0} << TVec3{0, 0, -1};
    QTest::newRow("X leaves its axis") << 'x' << 1.234 << TVec3{2, 0, 0} << TVec3{2, 0, 0};
    QTest::newRow("Y leaves its axis") << 'y' << 1.234 << TVec3{0, -3, 0} << TVec3{0, -3, 0};
    // Radians, not degrees: 90 radians is not a quarter turn.
    QTest::newRow("angle is radians") << 'z' << 90.0 << TVec3{1, 0, 0} << TVec3{std::cos(90.0), std::sin(90.0), 0};
    QTest::newRow("negative angle") << 'z' << -q << TVec3{1, 0, 0} << TVec3{0, -1, 0};
}

void TestTransform::rotations()
{
    QFETCH(char, axis);
    QFETCH(double, angle);
    QFETCH(TVec3, point);
    QFETCH(TVec3, expected);
    TTransform M = TTransform::Identity();
    Axis(axis)(M, angle);
    QVERIFY2(Near(M.Apply(point), expected), Show(M.Apply(point)));
    // The translation row of a pure rotation stays zero.
    QCOMPARE(M[9], 0.0);
    QCOMPARE(M[10], 0.0);
    QCOMPARE(M[11], 0.0);
}

void TestTransform::rotationsTurnAboutTheOrigin()
{
    // An object placed at (5, 0, 0) and then turned a quarter about Z ends at (0, 5, 0):
    // it swings about the model origin, not about its own position.
    TTransform M = TTransform::Translation(5, 0, 0);
    RotateZ(M, std::numbers::pi / 2);
    QVERIFY2(Near(M.Apply({0, 0, 0}), {0, 5, 0}), Show(M.Apply({0, 0, 0})));
    QVERIFY2(Near(M.Apply({1, 0, 0}), {0, 6, 0}), Show(M.Apply({1, 0, 0})));

    // Rotating an existing transform applies the rotation after it.
    const TTransform before = Make({0.5, 1, 0, -1, 0.5, 0, 0, 0, 2, 3, -1, 4});
    TTransform after = before;
    RotateX(after, 0.7);
    TTransform R = TTransform::Identity();
    RotateX(R, 0.7);
    for (const TVec3& p : {TVec3{1, 2, 3}, TVec3{-1, 0, 5}})
        QVERIFY2(Near(after.Apply(p), R.Apply(before.Apply(p))), Show(p));
}

void TestTransform::rotationsCompose_data()
{
    QTest::addColumn<char>("axis");
    QTest::newRow("x") << 'x';
    QTest::newRow("y") << 'y';
    QTest::newRow("z") << 'z';
}

void TestTransform::rotationsCompose()
{
    QFETCH(char, axis);
    const Rotate rotate = Axis(axis);
    const TTransform start = Make({1, 0.5, 0, 0, 1, 0.25, 0.1, 0, 1, 2, 3, 4});

    TTransform twice = start, once = start;
    rotate(twice, 0.3);
    rotate(twice, 0.5);
    rotate(once, 0.8);
    QVERIFY(Near(twice, once));

    TTransform back = start;
    rotate(back, 1.1);
    QVERIFY(!Near(back, start, 1e-3));
    rotate(back, -1.1);
    QVERIFY(Near(back, start));

    // Lengths are kept: the rotated linear rows of the identity stay unit length.
    TTransform unit = TTransform::Identity();
    rotate(unit, 2.2);
    for (int r = 0; r < 3; ++r)
        QVERIFY(std::abs(std::hypot(unit.at(r, 0), unit.at(r, 1), unit.at(r, 2)) - 1) < 1e-12);
}

void TestTransform::widenNarrowKeepBits()
{
    const float specials[] = {0.f,
                              -0.f,
                              0.1f,
                              -1.f / 3.f,
                              std::numeric_limits<float>::denorm_min(),
                              -std::numeric_limits<float>::denorm_min(),
                              std::numeric_limits<float>::min(),
                              std::numeric_limits<float>::max(),
                              -std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::quiet_NaN(),
                              16777217.f};
    TMatrix12f f;
    std::copy(std::begin(specials), std::end(specials), f.begin());
    const TTransform wide = Widen(f);
    for (size_t k = 0; k < 12; ++k)
        if (!std::isnan(f[k]))
            QCOMPARE(wide.m[k], double(f[k]));
    const TMatrix12f back = Narrow(wide);
    for (size_t k = 0; k < 12; ++k)
        QVERIFY2(SameBits(back[k], f[k]), qPrintable(QString::number(k)));
}

void TestTransform::narrowRoundsToNearest_data()
{
    QTest::addColumn<double>("wide");
    QTest::addColumn<float>("narrow");
    const double u = std::ldexp(1.0, -24);  // half a float step just above 1
    QTest::newRow("0.1") << 0.1 << 0.1f;
    QTest::newRow("just above the middle rounds up") << 1 + u + u / 64 << 1 + 2 * float(u);
    QTest::newRow("just below the middle rounds down") << 1 + u - u / 64 << 1.f;
    QTest::newRow("middle to even, down") << 1 + u << 1.f;
    QTest::newRow("middle to even, up") << 1 + 3 * u << 1 + 4 * float(u);
    QTest::newRow("negative, above the middle") << -(1 + u + u / 64) << -(1 + 2 * float(u));
    QTest::newRow("too large for a float") << 1e300 << std::numeric_limits<float>::infinity();
}

void TestTransform::narrowRoundsToNearest()
{
    QFETCH(double, wide);
    QFETCH(float, narrow);
    TTransform t = TTransform::Zero();
    t[7] = wide;
    const TMatrix12f f = Narrow(t);
    QVERIFY2(SameBits(f[7], narrow), qPrintable(QStringLiteral("%1 vs %2").arg(f[7], 0, 'g', 10).arg(narrow, 0, 'g', 10)));
    QCOMPARE(f[0], 0.f);
}

TORVANE_TEST(TestTransform)
#include "TestTransform.moc"
