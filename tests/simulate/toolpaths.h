#pragma once
// Plot lists for the machining preview's tests, built point by point as the interpreter adds
// them, and the brute-force height of a swept tool.

#include "interpreter/plotlist.h"
#include "machine/millingtool.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace morvilo::test {

class ToolPath {
public:
    // A pen-up point where the path starts again.
    ToolPath &Start(double x, double y, double z) { return add(x, y, z, 0, kColourWhite); }
    ToolPath &Feed(double x, double y, double z) { return add(x, y, z, 1, kColourWhite); }
    ToolPath &Rapid(double x, double y, double z) { return add(x, y, z, 1, kColourRapid); }
    // The interpreter's axis cross: drawn, but no move of the tool (here below the stock).
    ToolPath &AxisCross() {
        add(1000, 0, -5, 0, kColourWhite, -1);
        return add(-1000, 0, -5, 1, kColourWhite, -1);
    }
    const TPlotList &Lines() const { return lines; }

private:
    ToolPath &add(double x, double y, double z, int8_t typ, int32_t col, int64_t line = -2) {
        t9dline p{};
        p.zeilevon = line == -2 ? next : line;
        p.zeilebis = line == -2 ? next + 9 : line;
        next += 10;
        p.x = x;
        p.y = y;
        p.z = z;
        p.col = col;
        p.typ = typ;
        p.style = col == kColourRapid ? psDot : psSolid;
        lines.Add(p);
        return *this;
    }

    TPlotList lines;
    int64_t next = 0;
};

// The height of the tool's lower surface above its tip at the squared distance r2 from its axis,
// r2 at most the squared radius.
inline double ToolProfile(const MillingTool &tool, double r2) {
    switch (tool.shape) {
    case ToolShape::Flat:
        return 0;
    case ToolShape::Ball: {
        const double radius = tool.Radius();
        return radius - std::sqrt(std::max(0.0, radius * radius - r2));
    }
    case ToolShape::VBit:
        return std::sqrt(r2) / std::tan(tool.angle * std::numbers::pi / 360);
    }
    return 0;
}

// The lowest height of tool over (px, py) along the move a -> b, found without the closed forms:
// the stretch of the move that reaches the point by bisection on the distance (convex in t),
// then the least height on it by ternary search. +infinity where the tool does not reach.
inline double BruteForceHeight(const MillingTool &tool, const double a[3], const double b[3],
                               double px, double py) {
    const double r2 = tool.Radius() * tool.Radius();
    const auto d2 = [&](double t) {
        const double x = a[0] + t * (b[0] - a[0]) - px, y = a[1] + t * (b[1] - a[1]) - py;
        return x * x + y * y;
    };
    const auto height = [&](double t) {
        return a[2] + t * (b[2] - a[2]) + ToolProfile(tool, std::min(r2, d2(t)));
    };
    // Ternary search for the least value of a function convex on [lo, hi].
    const auto least = [](auto f, double lo, double hi) {
        for (int k = 0; k < 300; ++k) {
            const double m1 = lo + (hi - lo) / 3, m2 = hi - (hi - lo) / 3;
            if (f(m1) < f(m2))
                hi = m2;
            else
                lo = m1;
        }
        return (lo + hi) / 2;
    };
    const double inside = least(d2, 0, 1); // the closest point of the move
    if (d2(inside) > r2)
        return std::numeric_limits<double>::infinity();
    const auto edge = [&](double out) { // bisection between inside and an end outside the reach
        if (d2(out) <= r2)
            return out;
        double in = inside;
        for (int k = 0; k < 200; ++k) {
            const double mid = (in + out) / 2;
            (d2(mid) <= r2 ? in : out) = mid;
        }
        return in;
    };
    const double lo = edge(0), hi = edge(1);
    const double t = least(height, lo, hi);
    return std::min({height(t), height(lo), height(hi)});
}

} // namespace morvilo::test
