#pragma once
// One straight move of a tool: the lower surface of the tool swept from one tip position to the
// next, and its height over a point of the plane. Along the move the tip is a + t (b - a),
// t in [0, 1]; over a point at the distance d(t) from the axis the tool's surface lies at
// z(t) + ToolProfile(d(t)^2) wherever d(t) is within the radius. That height is convex in t on the
// interval where the tool reaches the point (a linear z plus a convex, rising profile of the
// convex d), so its lowest value is the unconstrained minimum clamped to that interval, which
// each shape has in closed form.

#include "simulate/millingtool.h"

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
