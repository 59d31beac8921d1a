// Canned cycles, circle pockets and hole patterns, drawn schematically: a stroke into each hole
// and back, ten circles for a pocket, dotted lines joining the holes of a pattern.

#include "expressions/floattostr.h"
#include "interpreter/calcrunimpl.h"

#include <cmath>
#include <numbers>

namespace morvilo {

namespace {

constexpr double kDegree = 2 * std::numbers::pi / 360;
// No drawing has this many holes in one pattern; a larger count is a slip that would fill the
// memory with points, and the pattern draws no hole.
constexpr double kMaxHoles = 1000000;

// The axis a cycle drills along: the one perpendicular to the plane.
int drillAxis(int plane) {
    return plane == 18 ? kY : plane == 19 ? kX : kZ;
}

// |count| rounded, 0 for counts that are not finite or beyond kMaxHoles.
int64_t holeCount(double count) {
    const double n = RoundHalfEven(std::fabs(count));
    return n >= 0 && n <= kMaxHoles ? int64_t(n) : 0;
}

} // namespace

// A block with a cycle code: the stroke comes from the word of the plane's third axis as
// written, which then does not move the position; positioning moves are rapid.
void TCalcRun::cannedSetup() {
    const bool wasCanned = st.canned;
    st.canned = true;
    st.cannedx = st.cannedy = st.cannedz = 0;
    st.g = 0;
    const int axis = drillAxis(st.plane);
    const bool depthGiven = st.*kGiven[axis];
    const double depth = st.*kWord[axis];
    if (depthGiven) {
        (axis == kZ ? st.cannedz : axis == kY ? st.cannedy : st.cannedx) = depth;
        st.*kGiven[axis] = false;
    }
    // To scale: the level the cycle starts from, the R level (absolute, or from the initial
    // level under G91) and the hole bottom (absolute, or from R under G91); R and the depth
    // hold until a cycle block names new ones.
    if (!wasCanned) {
        st.cycleinitial = st.*kPosition[axis] + apart[axis];
        st.cyclerset = false;
    }
    if (st.rse) {
        st.cycler = st.absmode ? st.r : st.cycleinitial + st.r;
        st.cyclerset = true;
    } else if (!st.cyclerset) {
        st.cycler = st.cycleinitial;
    }
    if (depthGiven)
        st.cyclebottom = st.absmode ? depth : st.cycler + depth;
    else if (!wasCanned)
        st.cyclebottom = st.cycler;
}

// The lathe's roughing and finishing cycles (G70 ... G73): U, W, R, P and Q are the cycle's
// parameters, not positions. The finishing contour is drawn where the program has it.
void TCalcRun::latheRoughingCycle() {
    st.use = st.wse = false;
    st.u = st.w = 0;
}

// Into the hole at the current X, Y, Z by the stroke and back; false when the plot list is full.
bool TCalcRun::stroke(double x, double y, double z) {
    if (options.cyclesToScale && options.Mill())
        return holeToScale(x, y, z);
    move.kind = MoveKind::Cycle;
    if (!mylineto(x + st.cannedx, y + st.cannedy, z + st.cannedz, st.aaa, st.abb, st.acc, st.au,
                  st.av, st.aw))
        return false;
    if (keepsMachinePath())
        recordHole(x, y, z);
    move.kind = MoveKind::Rapid;
    return mylineto(x, y, z, st.aaa, st.abb, st.acc, st.au, st.av, st.aw);
}

// The hole the stroke just drawn stands for, from (x, y, z) as drawn: on the machine the R level
// and the bottom, and the level it returns to.
void TCalcRun::recordHole(double x, double y, double z) {
    const int axis = drillAxis(st.plane);
    const double drawn[3] = {x, y, z};
    MotionHole hole{};
    const auto at = [&](double level, double(&p)[3]) {
        for (int k = 0; k < 3; ++k)
            p[k] = drawn[k] + apart[k];
        p[axis] = level;
        transform(p[0], p[1], p[2]);
    };
    at(st.cycler, hole.r);
    at(st.cyclebottom, hole.bottom);
    stream.Hole(hole);
    apart[axis] = (st.cyclereturnr ? st.cycler : st.cycleinitial) - drawn[axis];
}

// A hole to scale from (x, y, z) above it: rapid to the R level, feed to the bottom, rapid back
// to the initial level (G98) or the R level (G99), where the position then stands. Pecks and
// dwells are not drawn. The pen is left as it was.
bool TCalcRun::holeToScale(double x, double y, double z) {
    const int axis = drillAxis(st.plane);
    const int32_t col = pencol;
    const uint8_t style = penstyle;
    const double returnLevel = st.cyclereturnr ? st.cycler : st.cycleinitial;
    const auto at = [&](double level, int32_t colour, uint8_t lineStyle) {
        double p[3] = {x, y, z};
        p[axis] = level;
        pencol = colour;
        penstyle = lineStyle;
        move.kind = colour == kColourRapid ? MoveKind::Rapid : MoveKind::Cycle;
        return mylineto(p[0], p[1], p[2], st.aaa, st.abb, st.acc, st.au, st.av, st.aw);
    };
    const bool drawn = at(st.cycler, kColourRapid, psDot) &&
                       at(st.cyclebottom, kColourWhite, psSolid) &&
                       at(returnLevel, kColourRapid, psDot);
    pencol = col;
    penstyle = style;
    st.*kPosition[axis] = returnLevel;
    return drawn;
}

// A hole of a pattern: the dotted line to it, and the stroke while a cycle is active. False
// when the pattern must stop (plot list full, run stopped).
bool TCalcRun::patternHole(double x, double y, int64_t e) {
    move.kind = MoveKind::Pattern;
    if (!mylineto(x, y, st.az, st.aaa, st.abb, st.acc, st.au, st.av, st.aw))
        return false;
    if (st.canned && !stroke(x, y, st.az))
        return false;
    return (e & 4095) != 4095 || !interrupted();
}

// The drilling stroke of every block of an active cycle that names a position; L0 suppresses it.
void TCalcRun::cannedStroke() {
    if (st.lse && st.l == 0)
        return;
    bool named = st.ise || st.jse || st.kse;
    for (const AxisFlag given : kGiven)
        named = named || st.*given;
    if (named)
        stroke(st.ax, st.ay, st.az);
}

// G12 (clockwise), G13 (counter-clockwise) with I: ten circles of radius I/10 ... I about the
// position, each entered by a line to its left-most point. The position stays; I, J and K are
// spent, so the block does not also move by them.
void TCalcRun::circlePockets() {
    if (!st.ise)
        return;
    const bool ccw = st.cutcircleccw;
    for (int e = 1; e <= 10; ++e) {
        const double r = e * st.i / 10;
        const double sx = st.ax - r;
        move.kind = MoveKind::Feed;
        if (!mylineto(sx, st.ay, st.az, st.aaa, st.abb, st.acc, st.au, st.av, st.aw))
            break;
        move.kind = ccw ? MoveKind::ArcCcw : MoveKind::ArcCw;
        if (!arc3d(st.ax, st.ay, r, sx, st.ay, st.az, sx, st.ay, st.az, ccw))
            break;
    }
    st.ise = st.jse = st.kse = false;
}

void TCalcRun::holePatterns() {
    if (st.BoltOnCircle || st.haasBoltOnCircle)
        boltPattern(false);
    if (st.BoltOnArc || st.haasBoltOnArc)
        boltPattern(true);
    if (st.HolesOnLine || st.haasHolesOnLine)
        holesOnLine();
    if (st.GriddPattern)
        gridPattern();
}

void TCalcRun::patternPen() {
    pencol = kColourRapid;
    penstyle = psDot;
    move.kind = MoveKind::Pattern;
}

// Bolt circle (G34, HAAS G70) and bolt arc (G36, HAAS G71): holes at radius I about X, Y from
// the start angle J, K holes (HAAS: L) 360/count apart on a circle, P (HAAS: K) degrees apart on
// an arc. The position ends on the last hole.
void TCalcRun::boltPattern(bool arc) {
    const bool haas = arc ? st.haasBoltOnArc : st.haasBoltOnCircle;
    (arc ? st.BoltOnArc : st.BoltOnCircle) = false;
    (arc ? st.haasBoltOnArc : st.haasBoltOnCircle) = false;
    const double count = haas ? st.l : st.k;
    const double step = arc ? (haas ? st.k : st.p) : 360 / count;
    st.xse = st.yse = st.ise = st.jse = false;
    if (arc)
        st.kse = false;
    (haas ? st.lse : arc ? st.pse : st.kse) = false;
    patternPen();
    const double cx = st.ax, cy = st.ay;
    if (haas)
        mylineto(cx, cy, st.az, st.aaa, st.abb, st.acc, st.au, st.av, st.aw);
    const int64_t n = holeCount(count);
    double d = 0;
    for (int64_t e = 0; e < n; ++e) {
        d = (double(e) * step + st.j) * kDegree;
        if (!patternHole(cx + st.i * std::cos(d), cy + st.i * std::sin(d), e))
            break;
    }
    st.ax = cx + st.i * std::cos(d);
    st.ay = cy + st.i * std::sin(d);
}

// Holes on a line (G35, HAAS G72): K holes (HAAS: L) I apart from X, Y in the direction J
// degrees. The position ends on the last hole.
void TCalcRun::holesOnLine() {
    const bool haas = st.haasHolesOnLine;
    st.HolesOnLine = st.haasHolesOnLine = false;
    st.xse = st.yse = st.ise = st.jse = false;
    (haas ? st.lse : st.kse) = false;
    const double count = haas ? st.l : st.k;
    patternPen();
    const double x0 = st.ax, y0 = st.ay;
    const double dx = std::cos(st.j * kDegree) * st.i, dy = std::sin(st.j * kDegree) * st.i;
    mylineto(x0, y0, st.az, st.aaa, st.abb, st.acc, st.au, st.av, st.aw);
    const int64_t n = holeCount(count);
    for (int64_t e = 0; e < n; ++e) {
        st.ax = x0 + dx * double(e);
        st.ay = y0 + dy * double(e);
        if (!patternHole(st.ax, st.ay, e))
            break;
    }
}

// Grid (G37.1): K rows J apart of P holes I apart from X, Y, visited in a zigzag.
void TCalcRun::gridPattern() {
    st.GriddPattern = false;
    st.xse = st.yse = st.ise = st.jse = st.kse = st.pse = false;
    patternPen();
    double step = st.i;
    const int64_t rows = holeCount(st.k), columns = holeCount(st.p);
    if (columns == 0 || double(rows) * double(columns) > kMaxHoles)
        return;
    int64_t e = 0;
    for (int64_t row = 0; row < rows; ++row) {
        for (int64_t column = 0; column < columns; ++column, ++e) {
            if (!patternHole(st.ax, st.ay, e))
                return;
            st.ax += step;
        }
        st.ay += st.j;
        st.ax -= step;
        step = -step;
    }
}

} // namespace morvilo
