#include "facts/measure.h"

#include "interpreter/toolpoint.h"
#include "vantrel/fixedformat.h"

#include <cmath>

namespace morvilo {

namespace {
std::string number(double value) {
    return std::isfinite(value) ? FormatFixed(value, 3) : "-";
}
} // namespace

MeasurePoint PointOf(const t9dline &p) {
    const ToolPoint tip = ToolPointOf(p);
    return {tip.x, tip.y, tip.z};
}

UserMessage FirstPointText(const MeasurePoint &p, bool diametermode) {
    const double x = diametermode ? p.x * 2 : p.x;
    return {"Punkt 1: X%1 Y%2 Z%3", {number(x), number(p.y), number(p.z)}};
}

UserMessage DistanceText(const MeasurePoint &a, const MeasurePoint &b, bool diametermode) {
    const double dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
    return {"dX %1, dY %2, dZ %3, Abstand %4",
            {number(diametermode ? dx * 2 : dx), number(dy), number(dz),
             number(std::sqrt(dx * dx + dy * dy + dz * dz))}};
}

} // namespace morvilo
