#include "view/nearestpoint.h"

namespace morvilo {

int64_t NearestPlotPoint(const TPlotList &lines, const tmat44 &mat, int px, int py, int maxPixels) {
    TPlotReader reader(lines);
    int64_t best = -1;
    double bestSquare = double(maxPixels) * maxPixels;
    for (uint32_t k = 0; k < lines.Count(); ++k) {
        const t9dline &p = reader[k];
        if (AxisCross(p))
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

} // namespace morvilo
