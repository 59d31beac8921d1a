#include "simulate/toolsweep.h"

#include <initializer_list>
#include <utility>

namespace morvilo {

ToolSweep::ToolSweep(const MillingTool &tool, TipPoint a, TipPoint b)
    : shape(tool.shape), r(tool.Radius()), r2(r * r), slope(tool.Slope()), ax(a.x), ay(a.y),
      az(a.z), vx(b.x - a.x), vy(b.y - a.y), dz(b.z - a.z), l2(vx * vx + vy * vy),
      invL2(l2 > 0 ? 1 / l2 : 0), lowest(std::min(a.z, b.z)) {
    // Where the derivative of z(t) + profile(d(t)) is 0, with d(t)^2 = perp2 + l2 (t - t0)^2.
    switch (shape) {
    case ToolShape::Flat:
        atAnEnd = true;
        break;
    case ToolShape::Ball:
        // dz + l2 u / sqrt(r2 - perp2 - l2 u^2) = 0, u = t - t0
        stationary = dz / std::sqrt(l2 + dz * dz);
        break;
    case ToolShape::VBit: {
        // dz + slope l2 u / sqrt(perp2 + l2 u^2) = 0
        const double steep = slope * slope * l2 - dz * dz;
        atAnEnd = !(steep > 0);
        if (!atAnEnd)
            stationary = dz / std::sqrt(l2 * steep);
        break;
    }
    }
}

bool ToolSweep::RowSpan(double y, double &xlo, double &xhi) const {
    // The tool reaches the capsule of radius r around the move in the plane: the discs at both
    // ends and the band between them. The capsule is convex, so its cut with the line is one
    // interval, from the least to the greatest x of the three parts' cuts.
    const double reach = r * (1 + 1e-9) + 1e-300;
    const double reach2 = reach * reach;
    xlo = HUGE_VAL;
    xhi = -HUGE_VAL;
    const auto take = [&](double x) {
        xlo = std::min(xlo, x);
        xhi = std::max(xhi, x);
    };
    const double bx = ax + vx, by = ay + vy;
    for (const auto &[cx, cy] : {std::pair{ax, ay}, std::pair{bx, by}}) {
        const double h2 = reach2 - (y - cy) * (y - cy);
        if (h2 >= 0) {
            const double h = std::sqrt(h2);
            take(cx - h);
            take(cx + h);
        }
    }
    if (l2 > 0) {
        const double scale = reach / std::sqrt(l2);
        const double nx = -vy * scale, ny = vx * scale;
        const double corners[4][2] = {
            {ax + nx, ay + ny}, {bx + nx, by + ny}, {bx - nx, by - ny}, {ax - nx, ay - ny}};
        for (int k = 0; k < 4; ++k) {
            const double *p = corners[k], *q = corners[(k + 1) % 4];
            if ((p[1] - y) * (q[1] - y) > 0)
                continue;
            if (p[1] == q[1]) {
                take(p[0]);
                take(q[0]);
            } else {
                take(p[0] + (y - p[1]) * (q[0] - p[0]) / (q[1] - p[1]));
            }
        }
    }
    return xlo <= xhi;
}

} // namespace morvilo
