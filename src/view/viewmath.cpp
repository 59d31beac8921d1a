#include "view/viewmath.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace morvilo {

namespace {

// mat := mat * step.
void multiplyRight(tmat44 &mat, const tmat44 &step) {
    mulmat(step, mat, mat);
}

// Identity with the 2x2 block at (i, i), (i, j), (j, i), (j, j) set to a rotation by a.
tmat44 rotation(int i, int j, double a) {
    tmat44 r = IdentityMatrix();
    r[i][i] = std::cos(a);
    r[i][j] = std::sin(a);
    r[j][i] = -std::sin(a);
    r[j][j] = std::cos(a);
    return r;
}

tmat44 diagonal(double x, double y, double z) {
    tmat44 d = IdentityMatrix();
    d[0][0] = x;
    d[1][1] = y;
    d[2][2] = z;
    return d;
}

// Turns the pair (p, q) by the given angle in degrees: p' = p cos t - q sin t,
// q' = q cos t + p sin t. An angle of exactly 0 leaves the pair alone without any trigonometry.
inline void turn(double &p, double &q, double degrees) {
    if (degrees == 0)
        return;
    const double t = degrees * 2 * std::numbers::pi / 360;
    const double c = std::cos(t), s = std::sin(t);
    const double np = p * c - q * s;
    q = q * c + p * s;
    p = np;
}

inline void applyMachineAxes(double &x, double &y, double &z, double aaa, double abb, double acc,
                             double au, double av, double aw) {
    x += au;
    y += av;
    z += aw;
    turn(y, z, aaa);
    turn(x, z, abb);
    turn(x, y, acc);
}

// Rounds to the nearest integer, halves to the even one (the default rounding mode), clamped to
// the 32-bit range; NaN becomes 0.
inline int32_t toPixel(double v) {
    constexpr double lowest = std::numeric_limits<int32_t>::min();
    constexpr double highest = std::numeric_limits<int32_t>::max();
    if (std::isnan(v))
        return 0;
    if (v <= lowest)
        return std::numeric_limits<int32_t>::min();
    if (v >= highest)
        return std::numeric_limits<int32_t>::max();
    return int32_t(std::rint(v));
}

} // namespace

void mulmat(const tmat44 &mat0, const tmat44 &mat1, tmat44 &mat2) {
    const tmat44 a = mat1, b = mat0;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += a[i][k] * b[k][j];
            mat2[i][j] = sum;
        }
}

void translateMAT(tmat44 &mat, double x, double y, double z) {
    tmat44 t = IdentityMatrix();
    t[3][0] = x;
    t[3][1] = y;
    t[3][2] = z;
    multiplyRight(mat, t);
}

void rotx(tmat44 &mat, double a) {
    multiplyRight(mat, rotation(1, 2, a));
}

void roty(tmat44 &mat, double a) {
    multiplyRight(mat, rotation(2, 0, a));
}

void rotz(tmat44 &mat, double a) {
    multiplyRight(mat, rotation(0, 1, a));
}

void skal(tmat44 &mat, double a) {
    multiplyRight(mat, diagonal(a, a, a));
}

void doskalz(tmat44 &mat, double a) {
    multiplyRight(mat, diagonal(1, 1, a));
}

void koordmat3(double x, double y, double z, double aaa, double abb, double acc, double au,
               double av, double aw, double &xx, double &yy, double &zz) {
    applyMachineAxes(x, y, z, aaa, abb, acc, au, av, aw);
    xx = x;
    yy = y;
    zz = z;
}

void koordmat(const tmat44 &mat, double x, double y, double z, double aaa, double abb, double acc,
              double au, double av, double aw, int32_t &xx, int32_t &yy) {
    applyMachineAxes(x, y, z, aaa, abb, acc, au, av, aw);
    // Only the two screen columns and the divisor column are needed. They are copied into locals
    // after the rotary axes, so they stay in registers and need not survive the sine calls.
    const double m00 = mat[0][0], m10 = mat[1][0], m20 = mat[2][0], m30 = mat[3][0];
    const double m01 = mat[0][1], m11 = mat[1][1], m21 = mat[2][1], m31 = mat[3][1];
    const double m03 = mat[0][3], m13 = mat[1][3], m23 = mat[2][3], m33 = mat[3][3];
    const double w = m03 * x + m13 * y + m23 * z + m33;
    double sx = m00 * x + m10 * y + m20 * z + m30;
    double sy = m01 * x + m11 * y + m21 * z + m31;
    if (w != 1) { // the view matrices built here have no perspective: skip the divisions
        sx /= w;
        sy /= w;
    }
    xx = toPixel(sx);
    yy = toPixel(sy);
}

void koordmat2(int32_t x, int32_t y, const tmat44 &mat, double &xx, double &yy, double &zz) {
    const double px = x, py = y;
    const double w = px * mat[0][3] + py * mat[1][3] + mat[3][3];
    xx = yy = zz = 0;
    if (w == 0)
        return;
    xx = (px * mat[0][0] + py * mat[1][0] + mat[3][0]) / w;
    yy = (px * mat[0][1] + py * mat[1][1] + mat[3][1]) / w;
    zz = (px * mat[0][2] + py * mat[1][2] + mat[3][2]) / w;
    if (!std::isfinite(xx) || !std::isfinite(yy) || !std::isfinite(zz))
        xx = yy = zz = 0;
}

double Determinante2x2(double a, double b, double c, double d) {
    return a * d - b * c;
}

double Determinante3x3(double a, double b, double c, double d, double e, double f, double g,
                       double h, double l) {
    return l * Determinante2x2(a, b, d, e) - f * Determinante2x2(a, b, g, h) +
           c * Determinante2x2(d, e, g, h);
}

namespace {

// The determinant of mat without row `row` and column `column`.
double minor3x3(const tmat44 &mat, int row, int column) {
    double v[9];
    int n = 0;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (i != row && j != column)
                v[n++] = mat[i][j];
    return Determinante3x3(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]);
}

} // namespace

void MatrixInvertieren(const tmat44 &mat, tmat44 &inv) {
    const tmat44 a = mat;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            inv[j][i] = ((i + j) % 2 == 0 ? 1 : -1) * minor3x3(a, i, j);
}

} // namespace morvilo
