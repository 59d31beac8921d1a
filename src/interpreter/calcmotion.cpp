// Motion of a block, arcs and helices, and the point sink that stores and draws every point.

#include "editor/editorcore.h"
#include "expressions/floattostr.h"
#include "interpreter/calcrunimpl.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

namespace morvilo {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
// Segments per programmed turn of an arc.
constexpr double kArcSteps = 99;
// An arc of more steps than a plot list can hold is abandoned like any failed arc.
constexpr double kMaxArcSteps = 4294967295.0;

// The plane's (u, v) frame and its third (helix) axis, as indices of x, y, z.
struct PlaneFrame {
    int u, v, h;
};

PlaneFrame planeFrame(int plane) {
    switch (plane) {
    case 18:
        return {0, 2, 1};
    case 19:
        return {1, 2, 0};
    default:
        return {0, 1, 2};
    }
}

// The angle of (x1, y1) seen from the centre (x2, y2), radians.
double getwinkel(double x1, double y1, double x2, double y2) {
    return std::atan2(y1 - y2, x1 - x2);
}

bool finite(double a, double b, double c) {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c);
}

// A value in a warning: six digits, an exponent for the huge and the tiny, never a failure.
std::string warningNumber(double value) {
    char text[32];
    return std::string(
        text, std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6).ptr);
}

} // namespace

// The block moves if X is given after the first motion code, or any of the other axes or
// I, J, K is given.
void TCalcRun::motion() {
    const bool moves = (st.gse && st.xse) || st.yse || st.zse || st.ase || st.bse || st.cse ||
                       st.use || st.vse || st.wse || st.ise || st.jse || st.kse;
    if (!moves)
        return;
    if (st.g == 0 || (st.g28 && st.g != 1)) {
        move.kind = MoveKind::Rapid;
        pencol = kColourRapid;
        penstyle = psDot;
        lineToPosition();
        if (st.g28)
            machineZeroLeg();
        penstyle = psSolid;
    } else if (st.g == 1) {
        move.kind = MoveKind::Feed;
        pencol = kColourWhite;
        lineToPosition();
        if (st.g28)
            machineZeroLeg();
    } else if (st.g == 2 || st.g == 3) {
        if (st.lse && !arcTurnsUsable())
            return;
        pencol = st.g == 2 ? kColourCw : kColourCcw;
        move.kind = st.g == 2 ? MoveKind::ArcCw : MoveKind::ArcCcw;
        if (st.rse)
            arcFromR();
        else if (st.ise || st.jse || st.kse)
            arcFromIJK();
        if (!st.absmode && st.lse) {
            // Incremental helix: every turn climbs the programmed amount, and the position
            // ends where the drawing does.
            const double n = RoundHalfEven(std::fabs(st.l));
            AxisField helix = kPosition[planeFrame(st.plane).h];
            AxisField start = kBlockStart[planeFrame(st.plane).h];
            st.*helix = st.*start + n * (st.*helix - st.*start);
        }
    }
    // G33 and G38.2 move the position without drawing.
}

// The turns L of an arc or helix, |L| rounded. With none (L0) the block does not move, as on
// the controls; with more steps than a plot list can count the run ends. Both are told with
// their line; false when the arc is not drawn (the position stays where the block started).
bool TCalcRun::arcTurnsUsable() {
    const double turns = RoundHalfEven(std::fabs(st.l));
    if (turns >= 1 && turns * kArcSteps <= kMaxArcSteps)
        return true;
    for (int axis = 0; axis < kAxes; ++axis)
        st.*kPosition[axis] = st.*kBlockStart[axis];
    apartAtBlockStartFor(7);
    const std::string l = floattostr(st.l);
    if (turns == 0) {
        warn("Bogen mit L%1 ohne Umdrehung: der Satz bewegt nicht", {l});
        return false;
    }
    const std::string steps = std::to_string(uint64_t(kMaxArcSteps));
    warn("Schraubenlinie mit L%1: mehr als %2 Schritte, Lauf beendet", {l, steps});
    endrun = true;
    if (env.notice)
        env.notice(UserMessage{"Schraubenlinie mit L%1: mehr als %2 Schritte (Zeile %3), Lauf "
                               "beendet",
                               {l, steps, std::to_string(memo1->alinenr + 1)}});
    return false;
}

void TCalcRun::lineToPosition() {
    mylineto(st.ax, st.ay, st.az, st.aaa, st.abb, st.acc, st.au, st.av, st.aw);
}

// The second leg of G28: every axis given in the block goes to machine zero.
void TCalcRun::machineZeroLeg() {
    for (int axis = 0; axis < kAxes; ++axis)
        if (st.*kGiven[axis]) {
            st.*kPosition[axis] = -st.loc[axis] - st.glo[axis] + st.g92shift[axis];
            if (axis < 3)
                apart[axis] = 0;
        }
    lineToPosition();
}

// An arc through the programmed end point with radius R, turning like the I, J, K arc of the
// same code in the same plane: a positive R takes the shorter arc, a negative R the longer one.
// A radius too small for the chord becomes half the chord; a zero chord draws nothing.
void TCalcRun::arcFromR() {
    const PlaneFrame f = planeFrame(st.plane);
    const double start[3] = {st.ox, st.oy, st.oz}, end[3] = {st.ax, st.ay, st.az};
    const double su = start[f.u], sv = start[f.v], eu = end[f.u], ev = end[f.v];
    double r = std::fabs(st.r);
    const double chord = std::sqrt((eu - su) * (eu - su) + (ev - sv) * (ev - sv));
    if (!(chord > 0) || !std::isfinite(chord))
        return;
    if (chord / 2 > r) {
        if (chord / 2 - r > arcTolerance())
            warn("Radius R%1 zu klein für die Sehne %2: der Bogen ist mit der halben Sehne als "
                 "Radius gezeichnet",
                 {warningNumber(st.r), warningNumber(chord)});
        r = chord / 2;
    }
    const bool ccw = arcTurnsCcw();
    // The centre lies on the chord's perpendicular bisector, t chord lengths from its middle.
    const double b = std::sqrt(r * r - (chord / 2) * (chord / 2));
    double t = std::sqrt(b * b / (chord * chord));
    // The shorter arc has its centre left of the chord when it turns counter-clockwise.
    if (ccw != (st.r >= 0))
        t = -t;
    // Centre offsets from the start.
    const double i = (su + eu) / 2 - (ev - sv) * t - su;
    const double j = (sv + ev) / 2 + (eu - su) * t - sv;
    arc3d(su + i, sv + j, r, st.ox, st.oy, st.oz, st.ax, st.ay, st.az, ccw);
}

// G3 turns counter-clockwise in the (u, v) frame of planes 17 and 19; the XZ plane is seen from
// +Y, where (X, Z) is a left-handed pair, so there G2 turns counter-clockwise in that frame.
bool TCalcRun::arcTurnsCcw() const {
    return st.plane == 18 ? st.g == 2 : st.g == 3;
}

// An arc about the centre I, J, K (offsets from the start, or absolute with the option); the
// radius is the start point's distance from it.
void TCalcRun::arcFromIJK() {
    double ni = st.i, nj = st.j, nk = st.k;
    if (options.absolutecheck) {
        ni -= st.ox;
        nj -= st.oy;
        nk -= st.oz;
    }
    double mx = 0, my = 0, r = 0;
    if (st.plane == 18) {
        mx = st.ox + ni, my = st.oz + nk;
        r = std::sqrt(ni * ni + nk * nk);
    } else if (st.plane == 19) {
        mx = st.oy + nj, my = st.oz + nk;
        r = std::sqrt(nj * nj + nk * nk);
    } else {
        mx = st.ox + ni, my = st.oy + nj;
        r = std::sqrt(ni * ni + nj * nj);
    }
    const double end[3] = {st.ax, st.ay, st.az};
    const PlaneFrame f = planeFrame(st.plane);
    const double endRadius = std::hypot(end[f.u] - mx, end[f.v] - my);
    if (std::fabs(endRadius - r) > arcTolerance())
        warn("Der Endpunkt des Bogens liegt nicht auf dem Kreis: Radius am Anfang %1, am Ende %2",
             {warningNumber(r), warningNumber(endRadius)});
    arc3d(mx, my, r, st.ox, st.oy, st.oz, st.ax, st.ay, st.az, arcTurnsCcw());
}

// The arc or helix of radius r about (mx, my) in the plane's frame from (ox, oy, oz) to
// (ax, ay, az): 99 segments per turn, L whole turns if L is given, the third axis climbing
// linearly. Equal start and end angles make a full circle. False when the arc was abandoned
// (a value that is not finite, no step at all, more steps than a plot list holds, the plot
// list full, or the run stopped while drawing).
bool TCalcRun::arc3d(double mx, double my, double r, double ox, double oy, double oz, double ax,
                     double ay, double az, bool ccw) {
    const PlaneFrame f = planeFrame(st.plane);
    const double start[3] = {ox, oy, oz}, end[3] = {ax, ay, az};
    double w1 = getwinkel(start[f.u], start[f.v], mx, my);
    double w2 = getwinkel(end[f.u], end[f.v], mx, my);
    const double turns = st.lse ? RoundHalfEven(std::fabs(st.l)) : 1;
    const double extra = st.lse ? RoundHalfEven(std::fabs(st.l - 1)) * kTwoPi : 0;
    if (ccw) {
        if (w1 >= w2)
            w2 += kTwoPi;
        w2 += extra;
    } else {
        if (w1 <= w2)
            w1 += kTwoPi;
        w1 += extra;
    }
    const double steps = kArcSteps * turns;
    if (!(steps >= 1 && steps <= kMaxArcSteps) || !finite(mx, my, r) || !finite(w1, w2, 0))
        return false;
    const int64_t ton = int64_t(steps);
    // In absolute mode the programmed end is the helix's end whatever the turns; in
    // incremental mode every turn climbs the programmed amount.
    const double climb = (st.absmode ? 1 : turns) * (end[f.h] - start[f.h]);
    MotionArc arc; // the drawn points are set below, the true curve when it is wanted
    arc.division = TPlotArcPoints{
        w1, w2 - w1, steps, r, mx, my, start[f.h], climb, uint8_t(f.u), uint8_t(f.v), uint8_t(f.h)};
    arc.transform = pointTransform();
    arc.count = uint32_t(ton + 1);
    arc.point =
        pointRecord(flags.donotdraw ? 0 : 1, 0, 0, 0, st.aaa, st.abb, st.acc, st.au, st.av, st.aw);
    arc.stopped = &stopped;
    if (wantsCurves) {
        // The true curve, in the plane's frame and then through the point transforms.
        arc.start = w1;
        arc.sweep = w2 - w1;
        double centre[3], u[3] = {}, v[3] = {}, h[3] = {};
        centre[f.u] = mx, centre[f.v] = my, centre[f.h] = start[f.h];
        u[f.u] = r, v[f.v] = r, h[f.h] = climb;
        trueCurve(arc, centre, u, v, h);
    }
    moveWarnings();
    if (apart[0] != 0 || apart[1] != 0 || apart[2] != 0 || apartRecorded)
        recordApart();
    const uint32_t taken = stream.Arc(arc);
    if (taken == 0)
        flags.breakprogram = true; // as for a point that cannot be stored
    return taken == arc.count;
}

// Arcs have their end on the circle within this (0.005 mm, 0.0002 inch).
double TCalcRun::arcTolerance() const {
    return move.units == MoveUnits::Inch ? 0.0002 : 0.005;
}

// The arc's true curve from its form in the plane's frame: the centre goes through the point
// transforms, the axis vectors through their linear part.
void TCalcRun::trueCurve(MotionArc &arc, const double (&centre)[3], const double (&u)[3],
                         const double (&v)[3], const double (&h)[3]) const {
    if (arc.transform.Identity()) {
        for (int axis = 0; axis < 3; ++axis) {
            arc.centre[axis] = centre[axis];
            arc.u[axis] = u[axis], arc.v[axis] = v[axis], arc.h[axis] = h[axis];
        }
        return;
    }
    double origin[3] = {0, 0, 0};
    transform(origin[0], origin[1], origin[2]);
    const auto vector = [this, &origin](const double(&from)[3], double(&to)[3]) {
        double p[3] = {from[0], from[1], from[2]};
        transform(p[0], p[1], p[2]);
        for (int axis = 0; axis < 3; ++axis)
            to[axis] = p[axis] - origin[axis];
    };
    vector(u, arc.u);
    vector(v, arc.v);
    vector(h, arc.h);
    for (int axis = 0; axis < 3; ++axis)
        arc.centre[axis] = centre[axis];
    transform(arc.centre[0], arc.centre[1], arc.centre[2]);
}

// ---- the point sink ------------------------------------------------------------------------

bool TCalcRun::mymoveto(double x, double y, double z, double a, double b, double c, double u,
                        double v, double w) {
    return storePoint(0, x, y, z, a, b, c, u, v, w);
}

bool TCalcRun::mylineto(double x, double y, double z, double a, double b, double c, double u,
                        double v, double w) {
    return storePoint(flags.donotdraw ? 0 : 1, x, y, z, a, b, c, u, v, w);
}

void TCalcRun::line3d(double x, double y, double z, double xx, double yy, double zz) {
    mymoveto(x, y, z, 0, 0, 0, 0, 0, 0);
    mylineto(xx, yy, zz, 0, 0, 0, 0, 0, 0);
}

// Rotation, scaling and mirror act on the stored point, not on the position.
PointTransform TCalcRun::pointTransform() const {
    PointTransform t;
    t.rotation = st.rotation, t.rotx = st.g68rotx, t.roty = st.g68roty;
    t.rotcos = rotcos, t.rotsin = rotsin;
    t.scaling = st.scaling, t.scalx = st.scalx, t.scaly = st.scaly, t.scalz = st.scalz;
    t.scal = st.scal;
    t.mirror[0] = st.xmirror, t.mirror[1] = st.ymirror, t.mirror[2] = st.zmirror;
    t.mirrorAt[0] = st.xmirrorx, t.mirrorAt[1] = st.ymirrory, t.mirrorAt[2] = st.zmirrorz;
    return t;
}

void TCalcRun::transform(double &x, double &y, double &z) const {
    if (st.rotation || st.scaling || st.xmirror || st.ymirror || st.zmirror)
        pointTransform().Apply(x, y, z);
}

// A feed move that cannot be timed as programmed is told once per run.
void TCalcRun::feedWarnings() {
    if (!st.fse) {
        if (!warnedNoFeed)
            warn("Vorschubbewegung vor dem ersten F-Wort");
        warnedNoFeed = true;
    } else if (!(st.ff > 0) || !std::isfinite(st.ff)) {
        if (!warnedZeroFeed)
            warn("Vorschubbewegung mit dem Vorschub F%1", {warningNumber(st.ff)});
        warnedZeroFeed = true;
    } else if (move.feedMode == FeedMode::PerRevolution && !(st.sss > 0)) {
        if (!warnedNoSpeed)
            warn("Vorschub pro Umdrehung ohne Drehzahl S");
        warnedNoSpeed = true;
    }
}

// The warnings a move of the current kind gives.
void TCalcRun::moveWarnings() {
    if (move.kind != MoveKind::None && move.kind != MoveKind::Rapid &&
        move.kind != MoveKind::Pattern &&
        (!st.fse || !(st.ff > 0) || move.feedMode == FeedMode::PerRevolution))
        feedWarnings();
}

// The point, transformed, goes to the motion stream. False when a consumer cannot take it (the
// plot list cannot grow).
bool TCalcRun::storePoint(int8_t typ, double x, double y, double z, double a, double b, double c,
                          double u, double v, double w) {
    transform(x, y, z);
    const t9dline point = pointRecord(typ, x, y, z, a, b, c, u, v, w);
    moveWarnings();
    if (apart[0] != 0 || apart[1] != 0 || apart[2] != 0 || apartRecorded)
        recordApart();
    if (!stream.Line(point)) {
        // The list cannot grow (the allocation failure was reported): the run ends here, also
        // without a window whose failure handler would end it.
        flags.breakprogram = true;
        return false;
    }
    return true;
}

// The record of a point of the current line in the current pen, with the move and the words in
// force.
t9dline TCalcRun::pointRecord(int8_t typ, double x, double y, double z, double a, double b,
                              double c, double u, double v, double w) const {
    t9dline point;
    if (st.ii == -1) {
        point.zeilevon = point.zeilebis = -1;
    } else if (st.mainprog == 0) {
        point.zeilevon = linevon;
        point.zeilebis = linebis;
    } else {
        point.zeilevon = st.mainlinevon;
        point.zeilebis = st.mainlinebis;
    }
    point.typ = typ;
    point.x = x, point.y = y, point.z = z;
    point.a = a, point.b = b, point.c = c;
    point.u = u, point.v = v, point.w = w;
    point.col = pencol;
    point.style = penstyle;
    point.move = move;
    if (move.kind != MoveKind::None) {
        point.move.feedGiven = st.fse;
        point.move.feed = st.ff;
        point.move.speed = st.sss;
        point.move.tool = st.tt >= INT32_MIN && st.tt <= INT32_MAX ? int32_t(st.tt) : 0;
    }
    return point;
}

// G20, G21: the linear coordinates of every stored point change units; angles stay.
void TCalcRun::rescalePlot(MoveUnits units, double factor) {
    if (!stream.Units(units, factor))
        flags.breakprogram = true; // the arcs could not be spread into points (reported)
    for (double &by : apartTold)
        by *= factor;
}

// Every stored point (the axis cross included) moves by delta.
void TCalcRun::shiftPlot(const double (&delta)[kAxes]) {
    if (!stream.Shift(delta, 0x1FF))
        flags.breakprogram = true;
}

} // namespace morvilo
