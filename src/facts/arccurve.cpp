#include "facts/arccurve.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace morvilo {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

double dot(const double (&a)[3], const double (&b)[3]) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// Where the curve turns back along an axis: the derivative sweep (v cos - u sin) + h = 0,
// that is sin(phi - angle) = -h / (sweep R) with R, phi the polar form of (u, v). Of each
// family of such angles (2 pi apart) the first and the last on the arc are the extremes,
// since the climb moves them linearly.
void axisExtremes(const MotionArc &arc, int axis, double (&low)[3], double (&high)[3]) {
    const double ru = arc.u[axis], rv = arc.v[axis];
    const double r = std::hypot(ru, rv);
    if (!(r > 0))
        return;
    const double q = -arc.h[axis] / (arc.sweep * r);
    if (!(std::fabs(q) <= 1))
        return;
    const double phi = std::atan2(rv, ru), turn = std::asin(q);
    const double first = std::min(arc.start, arc.start + arc.sweep);
    const double last = std::max(arc.start, arc.start + arc.sweep);
    for (const double base : {phi - turn, phi - std::numbers::pi + turn}) {
        const double kLow = std::ceil((first - base) / kTwoPi);
        const double kHigh = std::floor((last - base) / kTwoPi);
        if (kLow > kHigh)
            continue;
        for (const double k : {kLow, kHigh}) {
            const double t = std::clamp((base + k * kTwoPi - arc.start) / arc.sweep, 0.0, 1.0);
            double p[3];
            ArcCurvePoint(arc, t, p);
            low[axis] = std::min(low[axis], p[axis]);
            high[axis] = std::max(high[axis], p[axis]);
        }
    }
}

} // namespace

void ArcCurvePoint(const MotionArc &arc, double t, double (&p)[3]) {
    const double angle = arc.start + t * arc.sweep;
    const double c = std::cos(angle), s = std::sin(angle);
    for (int axis = 0; axis < 3; ++axis)
        p[axis] = arc.centre[axis] + c * arc.u[axis] + s * arc.v[axis] + t * arc.h[axis];
}

void ArcCurveDirection(const MotionArc &arc, double t, double (&unit)[3]) {
    const double angle = arc.start + t * arc.sweep;
    const double c = std::cos(angle), s = std::sin(angle);
    for (int axis = 0; axis < 3; ++axis)
        unit[axis] = arc.sweep * (-s * arc.u[axis] + c * arc.v[axis]) + arc.h[axis];
    const double length = std::sqrt(dot(unit, unit));
    for (double &component : unit)
        component = length > 0 ? component / length : 0;
}

double ArcCurveRadius(const MotionArc &arc) {
    return std::sqrt(dot(arc.u, arc.u));
}

double ArcCurveLength(const MotionArc &arc) {
    return std::hypot(arc.sweep * ArcCurveRadius(arc), std::sqrt(dot(arc.h, arc.h)));
}

void ArcCurveBox(const MotionArc &arc, double (&low)[3], double (&high)[3]) {
    double end[3];
    ArcCurvePoint(arc, 0, low);
    ArcCurvePoint(arc, 0, high);
    ArcCurvePoint(arc, 1, end);
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] = std::min(low[axis], end[axis]);
        high[axis] = std::max(high[axis], end[axis]);
    }
    if (arc.sweep != 0)
        for (int axis = 0; axis < 3; ++axis)
            axisExtremes(arc, axis, low, high);
}

} // namespace morvilo
