#pragma once
// One straight move of a tool: the lower surface of the tool swept from one tip position to the
// next, and its height over a point of the plane. Along the move the tip is a + t (b - a),
// t in [0, 1]; over a point at the distance d(t) from the axis the tool's surface lies at
// z(t) + profile(d(t)^2) wherever d(t) is within the radius. That height is convex in t on the
// interval where the tool reaches the point (a linear z plus a convex, rising profile of the
// convex d), so its lowest value is the unconstrained minimum clamped to that interval, which
// each shape has in closed form.

#include "machine/millingtool.h"

#include <algorithm>
#include <cmath>

namespace morvilo {

struct TipPoint {
    double x, y, z;
};

class ToolSweep {
public:
    ToolSweep(const MillingTool &tool, TipPoint a, TipPoint b);

    // The lowest height of the tool's lower surface over (px, py) along the move; +infinity
    // where the tool does not reach that point.
    double HeightAt(double px, double py) const {
        switch (shape) {
        case ToolShape::Flat:
            return HeightAt<ToolShape::Flat>(px, py);
        case ToolShape::Ball:
            return HeightAt<ToolShape::Ball>(px, py);
        case ToolShape::VBit:
            return HeightAt<ToolShape::VBit>(px, py);
        }
        return kNowhere;
    }

    // The same for a tool of shape Shape (which must be the tool's), for loops over many
    // points.
    template <ToolShape Shape> [[gnu::always_inline]] double HeightAt(double px, double py) const {
        const double wx = px - ax, wy = py - ay;
        if (l2 == 0) { // a plunge, a lift or a standstill
            const double d2 = wx * wx + wy * wy;
            return d2 > r2 ? kNowhere : lowest + profile<Shape>(d2);
        }
        if (dz == 0) // level: the profile at the distance from the move
            return levelHeight<Shape>(wx, wy);
        const double cross = wx * vy - wy * vx;
        const double perp2 = cross * cross * invL2; // squared distance from the line
        if (perp2 > r2)
            return kNowhere;
        const double t0 = (wx * vx + wy * vy) * invL2; // the closest point of the line
        const double s = std::sqrt((r2 - perp2) * invL2);
        const double lo = std::max(0.0, t0 - s), hi = std::min(1.0, t0 + s);
        if (lo > hi)
            return kNowhere;
        double t;
        if (Shape == ToolShape::Flat || atAnEnd)
            t = dz > 0 ? lo : hi;
        else if (Shape == ToolShape::Ball)
            t = t0 - stationary * s;
        else
            t = t0 - stationary * std::sqrt(perp2);
        t = std::clamp(t, lo, hi);
        const double dx = wx - t * vx, dy = wy - t * vy;
        return az + t * dz + profile<Shape>(std::min(r2, dx * dx + dy * dy));
    }

    ToolShape GetShape() const { return shape; }

    // A level move along X, as most moves of a relief are: over the cells whose centres lie
    // beside the move (0 < Beside(x) < 1) its height is the same on a whole row,
    // RowHeight(y), which HeightAt gives there too.
    bool LevelAlongX() const { return dz == 0 && vy == 0 && vx != 0; }
    double Beside(double px) const { return (px - ax) * vx * invL2; }
    template <ToolShape Shape> double RowHeight(double py) const {
        const double wy = py - ay;
        return wy * wy > r2 ? kNowhere : az + profile<Shape>(wy * wy);
    }
    // A height no point of the swept surface over the cells of row y with centres from xa to
    // xb lies below: the lowest tip plus the profile at the least distance of those centres
    // from the move's line (its point for a move along Z); +infinity where the tool cannot
    // reach them. Cheaper than the heights themselves, so whole runs of cells that are already
    // deeper can be passed over.
    template <ToolShape Shape> double FloorOver(double xa, double xb, double y) const {
        if constexpr (Shape == ToolShape::Flat)
            return lowest;
        const double wy = y - ay;
        double d2;
        if (l2 == 0) {
            const double dx = std::clamp(ax, xa, xb) - ax;
            d2 = dx * dx + wy * wy;
        } else {
            // the distance times sqrt(l2) is |cross|, linear in x
            const double ca = (xa - ax) * vy - wy * vx, cb = (xb - ax) * vy - wy * vx;
            const double c = (ca > 0) != (cb > 0) ? 0 : std::min(std::abs(ca), std::abs(cb));
            d2 = c * c * invL2;
        }
        return lowest + profile<Shape>(std::min(d2, r2));
    }

    // The lowest tip height of the move: no point of the swept surface lies below it.
    double Lowest() const { return lowest; }
    // The Y range of the plane the tool reaches.
    double YLow() const { return std::min(ay, ay + vy) - r; }
    double YHigh() const { return std::max(ay, ay + vy) + r; }
    // The X range the tool reaches on the line at y, a little wider than exact; false when it
    // does not reach the line.
    bool RowSpan(double y, double &xlo, double &xhi) const;

    static constexpr double kNowhere = HUGE_VAL;

private:
    // The height of a level move (l2 > 0) over the point at (wx, wy) from its start.
    template <ToolShape Shape> double levelHeight(double wx, double wy) const {
        double d2;
        if (vy == 0) { // along X: the distance from the move's line is |wy| beside it
            const double t0 = wx * vx * invL2;
            const double dx = t0 <= 0 ? wx : t0 >= 1 ? wx - vx : 0;
            d2 = dx * dx + wy * wy;
        } else {
            const double t0 = (wx * vx + wy * vy) * invL2;
            const double t = std::clamp(t0, 0.0, 1.0);
            const double dx = wx - t * vx, dy = wy - t * vy;
            d2 = dx * dx + dy * dy;
        }
        return d2 > r2 ? kNowhere : az + profile<Shape>(d2);
    }

    template <ToolShape Shape> double profile(double d2) const {
        if constexpr (Shape == ToolShape::Flat)
            return 0;
        else if constexpr (Shape == ToolShape::Ball)
            return r - std::sqrt(r2 - d2);
        else
            return slope * std::sqrt(d2);
    }

    ToolShape shape;
    double r, r2, slope;
    double ax, ay, az, vx, vy, dz;
    double l2, invL2; // the squared length of the move in the plane and its inverse
    // The unconstrained minimum of the height is at t0 - stationary * s (ball) or
    // t0 - stationary * sqrt(perp2) (V-bit) ...
    double stationary = 0;
    // ... unless it lies at an end of the reach: always for a flat tool, and for a V-bit whose
    // move falls or rises more steeply than its flank.
    bool atAnEnd = false;
    double lowest;
};

} // namespace morvilo
