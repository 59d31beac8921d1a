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

int64_t NearestPlotPoint(const TPlotList &lines, const tmat44 &mat, int px, int py, int maxPixels) {
    TPlotReader reader(lines);
    int64_t best = -1;
    double bestSquare = double(maxPixels) * maxPixels;
    for (uint32_t k = 0; k < lines.Count(); ++k) {
        const t9dline &p = reader[k];
        if (p.zeilevon < 0)
            continue;
        int32_t sx = 0, sy = 0;
        koordmat(mat, p.x, p.y, p.z, p.a, p.b, p.c, p.u, p.v, p.w, sx, sy);
        const double dx = double(sx) - px, dy = double(sy) - py;
        if (dx * dx + dy * dy <= bestSquare) {
            bestSquare = dx * dx + dy * dy;
            best = k;
        }
    }
    return best;
}

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
