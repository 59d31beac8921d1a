// Matrix arithmetic, the point transform and its inverse.

#include "view/viewmath.h"
#include "viewtesthelpers.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <numbers>

using namespace morvilo;
using morvilo::test::Axes;
using morvilo::test::Pixel;
using morvilo::test::Project;

namespace {

constexpr double pi = std::numbers::pi;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int32_t kIntMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kIntMax = std::numeric_limits<int32_t>::max();

struct Vec3 {
    double x, y, z;
};

// The row vector (p, 1) times mat, without the homogeneous divide (w is 1 for these matrices).
Vec3 Apply(const tmat44 &mat, Vec3 p) {
    Vec3 r{};
    double *out[3] = {&r.x, &r.y, &r.z};
    for (int j = 0; j < 3; ++j)
        *out[j] = p.x * mat[0][j] + p.y * mat[1][j] + p.z * mat[2][j] + mat[3][j];
    return r;
}

void ExpectNear(Vec3 actual, Vec3 expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-12);
    EXPECT_NEAR(actual.y, expected.y, 1e-12);
    EXPECT_NEAR(actual.z, expected.z, 1e-12);
}

void ExpectMatrixNear(const tmat44 &actual, const tmat44 &expected, double tolerance) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_NEAR(actual[i][j], expected[i][j], tolerance) << "element " << i << j;
}

// A matrix with distinct entries everywhere, so that products do not commute.
tmat44 Busy(double seed) {
    tmat44 m{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m[i][j] = seed + i * 1.5 - j * 0.75 + (i == j ? 3 : 0);
    return m;
}

tmat44 Product(const tmat44 &left, const tmat44 &right) {
    tmat44 p{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k)
                p[i][j] += left[i][k] * right[k][j];
    return p;
}

} // namespace

TEST(ViewMatrixArithmetic, RotationsTurnRightHandedAboutTheirAxes) {
    const double a = 0.3;
    struct Case {
        void (*rotate)(tmat44 &, double);
        Vec3 in, out;
    } const cases[] = {
        {rotx, {0, 1, 0}, {0, std::cos(a), std::sin(a)}},
        {rotx, {1, 0, 0}, {1, 0, 0}},
        {roty, {1, 0, 0}, {std::cos(a), 0, -std::sin(a)}},
        {roty, {0, 0, 1}, {std::sin(a), 0, std::cos(a)}},
        {rotz, {1, 0, 0}, {std::cos(a), std::sin(a), 0}},
        {rotz, {0, 0, 1}, {0, 0, 1}},
    };
    for (const Case &c : cases) {
        tmat44 m = IdentityMatrix();
        c.rotate(m, a);
        ExpectNear(Apply(m, c.in), c.out);
    }
}

TEST(ViewMatrixArithmetic, StepsApplyInTheOrderTheyWereAdded) {
    tmat44 m = IdentityMatrix();
    doskalz(m, 3);
    skal(m, 2);
    translateMAT(m, 10, 20, 30);
    ExpectNear(Apply(m, {1, 2, 3}), {12, 24, 48});

    tmat44 turned = IdentityMatrix();
    translateMAT(turned, 1, 0, 0);
    rotz(turned, pi / 2); // the move happens first, then the turn
    ExpectNear(Apply(turned, {0, 0, 0}), {0, 1, 0});
}

TEST(ViewMatrixArithmetic, MulmatMultipliesSecondByFirstAndMayAlias) {
    const tmat44 a = Busy(1), b = Busy(-2);
    const tmat44 expected = Product(b, a);
    tmat44 out{};
    mulmat(a, b, out);
    EXPECT_EQ(out, expected);
    tmat44 first = a, second = b;
    mulmat(first, second, first);
    EXPECT_EQ(first, expected);
    first = a;
    mulmat(first, second, second);
    EXPECT_EQ(second, expected);
}

TEST(ViewMatrixArithmetic, Determinants) {
    EXPECT_EQ(Determinante2x2(3, 4, 5, 6), 3 * 6 - 4 * 5);
    EXPECT_EQ(Determinante3x3(1, 0, 0, 0, 1, 0, 0, 0, 1), 1);
    EXPECT_EQ(Determinante3x3(2, 0, 1, 1, 3, 2, 1, 1, 1), 2 * (3 - 2) - 0 + 1 * (1 - 3));
    EXPECT_EQ(Determinante3x3(1, 2, 3, 4, 5, 6, 7, 8, 9), 0);
}

TEST(ViewMatrixInverse, IsTheUndividedAdjugate) {
    tmat44 inv{};
    MatrixInvertieren(IdentityMatrix(), inv);
    EXPECT_EQ(inv, IdentityMatrix());

    tmat44 doubled = IdentityMatrix();
    skal(doubled, 2);
    MatrixInvertieren(doubled, inv);
    EXPECT_EQ(inv, (tmat44{{{4, 0, 0, 0}, {0, 4, 0, 0}, {0, 0, 4, 0}, {0, 0, 0, 8}}}));
    double x, y, z;
    koordmat2(2, 4, inv, x, y, z);
    EXPECT_EQ(x, 1);
    EXPECT_EQ(y, 2);
    EXPECT_EQ(z, 0);

    // A general matrix times its adjugate is its determinant times the identity.
    const tmat44 m = {{{2, 1, 0, 0.5}, {-1, 3, 2, 0}, {0.5, 0, 1, 1}, {4, -2, 1, 2}}};
    MatrixInvertieren(m, inv);
    const tmat44 product = Product(m, inv);
    const double det = product[0][0];
    EXPECT_NE(det, 0);
    tmat44 scaledIdentity{};
    for (int i = 0; i < 4; ++i)
        scaledIdentity[i][i] = det;
    ExpectMatrixNear(product, scaledIdentity, 1e-12);
}

TEST(PointTransform, RotaryAxesTurnThePointBeforeTheView) {
    tmat44 view = IdentityMatrix();
    rotx(view, 1.1);
    rotz(view, 0.4);
    skal(view, 40);
    translateMAT(view, 400, 300, 0);
    struct Case {
        Axes turned, plain;
    } const cases[] = {
        {{.y = 1, .a = 90}, {.z = 1}},
        {{.x = 1, .b = 90}, {.z = 1}}, // a positive B turns +X towards +Z
        {{.x = 1, .c = 90}, {.y = 1}},
        {{.y = 2, .a = -90}, {.z = -2}},
        {{.x = 3, .y = 1, .z = 2, .a = 180, .b = 180, .c = 180}, {.x = 3, .y = 1, .z = 2}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Project(view, c.turned), Project(view, c.plain));
}

TEST(PointTransform, SecondaryAxesShiftBeforeTheRotaryAxes) {
    const Axes withUvw{.x = 1, .y = 2, .z = 3, .a = 30, .b = 20, .c = 10, .u = 4, .v = -5, .w = 6};
    const Axes moved{.x = 5, .y = -3, .z = 9, .a = 30, .b = 20, .c = 10};
    double x1, y1, z1, x2, y2, z2;
    koordmat3(withUvw.x, withUvw.y, withUvw.z, withUvw.a, withUvw.b, withUvw.c, withUvw.u,
              withUvw.v, withUvw.w, x1, y1, z1);
    koordmat3(moved.x, moved.y, moved.z, moved.a, moved.b, moved.c, 0, 0, 0, x2, y2, z2);
    EXPECT_EQ(x1, x2);
    EXPECT_EQ(y1, y2);
    EXPECT_EQ(z1, z2);

    tmat44 view = IdentityMatrix();
    rotx(view, 2);
    skal(view, 13.7);
    EXPECT_EQ(Project(view, withUvw), Project(view, moved));
}

TEST(PointTransform, PixelsRoundHalvesToEven) {
    struct Case {
        double x;
        int32_t pixel;
    } const cases[] = {
        {0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {2.4999, 2}, {2.5001, 3}, {-2.6, -3},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Project(IdentityMatrix(), {.x = c.x, .y = c.x}), (Pixel{c.pixel, c.pixel}))
            << c.x;
}

TEST(PointTransform, HostileCoordinatesGiveDefinedPixels) {
    tmat44 view = IdentityMatrix();
    skal(view, 40);
    translateMAT(view, 400, 300, 0);
    struct Case {
        Axes point;
        Pixel pixel;
    } const cases[] = {
        // Not a number in any coordinate poisons both pixels (0 * NaN is NaN).
        {{.x = kNaN, .y = 1}, {0, 0}},
        {{.x = 1, .a = kNaN}, {0, 0}},
        {{.x = 1, .c = kInf}, {0, 0}}, // the sine of infinity
        {{.u = kNaN, .v = 1}, {0, 0}},
        {{.x = kInf}, {0, 0}}, // the divisor gets 0 * infinity
        {{.x = 1e300, .y = -1e300}, {kIntMax, kIntMin}},
        {{.w = 1e300}, {400, 300}},
        {{.x = 53687090, .y = -53687100}, {kIntMax, kIntMin}}, // just beyond the 32-bit range
        {{.x = -53687080, .y = 53687080}, {-2147482800, 2147483500}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Project(view, c.point), c.pixel) << c.point.x << ' ' << c.point.y;
    // Huge angles still turn the point by some angle.
    const Pixel turned = Project(view, {.x = 1, .y = 1, .a = 1e300, .b = -1e300, .c = 1e300});
    EXPECT_LE(std::abs(turned.x - 400), 57);
    EXPECT_LE(std::abs(turned.y - 300), 57);
    // A zero divisor with a zero numerator is not a number.
    EXPECT_EQ(Project(tmat44{}, {.x = 1}), (Pixel{0, 0}));
}

TEST(PixelToWorld, SingularOrBrokenMatricesMapToTheOrigin) {
    tmat44 collapsed = IdentityMatrix();
    skal(collapsed, 0);
    translateMAT(collapsed, 400, 300, 0);
    tmat44 inv{};
    MatrixInvertieren(collapsed, inv);
    tmat44 broken = IdentityMatrix();
    broken[3][0] = kNaN;
    tmat44 huge = IdentityMatrix();
    huge[3][3] = 1e-320; // dividing by it overflows to infinity
    for (const tmat44 &m : {inv, broken, tmat44{}, huge}) {
        const std::array<std::array<int32_t, 2>, 3> pixels = {
            {{0, 0}, {400, 300}, {kIntMax, kIntMin}}};
        for (const auto &[px, py] : pixels) {
            double x = -1, y = -1, z = -1;
            koordmat2(px, py, m, x, y, z);
            EXPECT_EQ(x, 0);
            EXPECT_EQ(y, 0);
            EXPECT_EQ(z, 0);
        }
    }
}
