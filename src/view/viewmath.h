#pragma once
// Matrix arithmetic of the backplot view. Points are row vectors (x, y, z, 1) multiplied from the
// left, p' = p * M, so applying M and then N is the product M * N. Every operation that changes a
// matrix in place multiplies it from the right: the new step is applied after the old ones.

#include <cstdint>

namespace morvilo {

// A 4x4 matrix of doubles, row by row: element [i][j] is row i, column j.
struct tmat44 {
    double m[4][4];

    double *operator[](int row) { return m[row]; }
    const double *operator[](int row) const { return m[row]; }
    bool operator==(const tmat44 &) const = default;
};

constexpr tmat44 IdentityMatrix() {
    return {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
}

// mat2 := mat1 * mat0. The inputs are copied first, so mat2 may be either of them.
void mulmat(const tmat44 &mat0, const tmat44 &mat1, tmat44 &mat2);

// mat := mat * T, T moving a point by (x, y, z).
void translateMAT(tmat44 &mat, double x, double y, double z);
// mat := mat * R, R turning by a radians about the X, Y or Z axis (right-handed).
void rotx(tmat44 &mat, double a);
void roty(tmat44 &mat, double a);
void rotz(tmat44 &mat, double a);
// mat := mat * diag(a, a, a, 1).
void skal(tmat44 &mat, double a);
// mat := mat * diag(1, 1, a, 1): scales Z only.
void doskalz(tmat44 &mat, double a);

// Applies the machine axes to a point: the secondary axes au, av, aw are added to x, y, z, then
// the rotary axes turn the point about X (aaa), Y (abb) and Z (acc), in degrees, in that order.
// Returns the resulting world point in xx, yy, zz.
void koordmat3(double x, double y, double z, double aaa, double abb, double acc, double au,
               double av, double aw, double &xx, double &yy, double &zz);

// A point with its nine axis values through koordmat3 and the view matrix to a pixel. Pixels are
// rounded to the nearest integer, halves to the even one. Results beyond the 32-bit range are
// clamped to it; a result that is not a number (NaN coordinates, a zero divisor with a zero
// numerator) becomes pixel 0.
void koordmat(const tmat44 &mat, double x, double y, double z, double aaa, double abb, double acc,
              double au, double av, double aw, int32_t &xx, int32_t &yy);

// Pixel (x, y) at screen depth 0 back to the world through an inverse view matrix (the adjugate
// of MatrixInvertieren). When the view matrix was singular (zoom 0) or the result is not finite,
// the pixel maps to the world origin.
void koordmat2(int32_t x, int32_t y, const tmat44 &mat, double &xx, double &yy, double &zz);

// The determinant of the rows (a, b), (c, d).
double Determinante2x2(double a, double b, double c, double d);
// The determinant of the rows (a, b, c), (d, e, f), (g, h, l).
double Determinante3x3(double a, double b, double c, double d, double e, double f, double g,
                       double h, double l);

// inv := the adjugate of mat, not divided by the determinant: mat * inv = det(mat) * identity.
// Users divide by the homogeneous coordinate, which removes the factor.
void MatrixInvertieren(const tmat44 &mat, tmat44 &inv);

} // namespace morvilo
