#pragma once
// Small helpers shared by the view tests.

#include "view/viewmath.h"

#include <cstdint>
#include <ostream>

namespace morvilo::test {

struct Pixel {
    int32_t x, y;
    bool operator==(const Pixel &) const = default;
};

inline std::ostream &operator<<(std::ostream &os, const Pixel &p) {
    return os << '(' << p.x << ", " << p.y << ')';
}

// The nine axis values of one plot point.
struct Axes {
    double x = 0, y = 0, z = 0, a = 0, b = 0, c = 0, u = 0, v = 0, w = 0;
};

inline Pixel Project(const tmat44 &mat, const Axes &p) {
    Pixel px{};
    koordmat(mat, p.x, p.y, p.z, p.a, p.b, p.c, p.u, p.v, p.w, px.x, px.y);
    return px;
}

} // namespace morvilo::test
