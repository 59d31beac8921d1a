#pragma once
// The motion stream: how an interpreter run tells what the machine does, call by call and each
// call with its source line: straight moves (rapid, feed, cycle stroke, pattern line, by the
// move's kind), arcs and helices as their true curve, dwells, tool changes, spindle starts, the
// changes of units and of the coordinate system that rewrite the path so far, the machine's
// path where the drawing leaves it (drilling cycles drawn as strokes), the program's oddities,
// and the program's end. The feed, the feed mode, the spindle speed, the tool and the units in
// force travel with every move (t9dline::move).
//
// Its consumers stand side by side: the plot list (PlotListWriter), the run log (RunLogWriter),
// the paint box (a PointSink), and, from a finished run's plot list and log replayed through
// the same calls (motionreplay.h), the program facts, the milling of the machining preview and
// the DXF writer. MotionFanOut hands one run to several of them.

#include "interpreter/plotlist.h"
#include "vantrel/usermessage.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

namespace morvilo {

// Rotation (G68), scaling (G51) and mirror (G51.1) of the points a run makes, in this order.
struct PointTransform {
    bool rotation = false, scaling = false, mirror[3] = {};
    double rotx = 0, roty = 0, rotcos = 1, rotsin = 0;
    double scalx = 0, scaly = 0, scalz = 0, scal = 1;
    double mirrorAt[3] = {};

    bool Identity() const {
        return !rotation && !scaling && !mirror[0] && !mirror[1] && !mirror[2];
    }
    void Apply(double &x, double &y, double &z) const {
        if (rotation) {
            const double dx = x - rotx, dy = y - roty;
            x = rotcos * dx - rotsin * dy + rotx;
            y = rotcos * dy + rotsin * dx + roty;
        }
        if (scaling) {
            x = (x - scalx) * scal + scalx;
            y = (y - scaly) * scal + scaly;
            z = (z - scalz) * scal + scalz;
        }
        if (mirror[0])
            x = 2 * mirrorAt[0] - x;
        if (mirror[1])
            y = 2 * mirrorAt[1] - y;
        if (mirror[2])
            z = 2 * mirrorAt[2] - z;
    }
};

// Gives the drawn points of an arc that a replay reads from a stored plot list.
class StoredArcPoints {
public:
    virtual ~StoredArcPoints() = default;
    virtual void Point(uint32_t k, t9dline &point) = 0;
};

// An arc or helix: its true curve and the points it is drawn with, in one record.
struct MotionArc {
    // The true curve after the point transforms (see TPlotArc): centre + cos(start + t sweep) u
    // + sin(start + t sweep) v + t h for t from 0 to 1. The plane is that of u and v, the turn
    // counter-clockwise in it when sweep is positive, the turns |sweep| / 2 pi, h the climb of
    // a helix to its end. A run computes it only for a stream that wants it
    // (MotionStream::WantsCurves); otherwise it is not a number. A replay always gives it.
    static constexpr double kNoCurve = std::numeric_limits<double>::quiet_NaN();
    double centre[3] = {kNoCurve, kNoCurve, kNoCurve}, u[3] = {kNoCurve, kNoCurve, kNoCurve},
           v[3] = {kNoCurve, kNoCurve, kNoCurve}, h[3] = {kNoCurve, kNoCurve, kNoCurve};
    double start = kNoCurve, sweep = kNoCurve;
    // The drawn points: count of them. Point k of the run's division, then the transform
    // (the very doubles the interpreter draws); line, pen, move, rotary and secondary axes are
    // those of `point`. A replay reads them from its list instead (stored not null).
    TPlotArcPoints division;
    PointTransform transform;
    uint32_t count;
    t9dline point;
    StoredArcPoints *stored = nullptr;
    // A live run's check whether it was stopped meanwhile (pumps the events); a consumer that
    // spends time on every drawn point asks it now and then. Null in a replay.
    const std::function<bool()> *stopped = nullptr;

    // Drawn point k (k < count) with its coordinates.
    void DrawnPoint(uint32_t k, t9dline &p) const {
        if (stored) {
            stored->Point(k, p);
            return;
        }
        double xyz[3];
        division.Point(double(k), xyz);
        transform.Apply(xyz[0], xyz[1], xyz[2]);
        p = point;
        p.x = xyz[0], p.y = xyz[1], p.z = xyz[2];
    }
    // Drawn points between two questions whether the run was stopped.
    static constexpr uint32_t kStopCheck = 4096;
    bool StoppedAt(uint32_t k) const {
        return stopped && (k & (kStopCheck - 1)) == kStopCheck - 1 && (*stopped)();
    }
};

// What the machine's path does beside the drawn one after a drilling cycle drawn as a stroke
// (see RunHole, RunApart in runlog.h): for the stroke just drawn, the R level and the bottom on
// the machine.
struct MotionHole {
    double r[3], bottom[3];
};

// How a run ended: the units in force, where its final work system lies on the machine (a
// stored point plus machineOffset is on the machine, X ... W), the blocks with words it read.
struct MotionEnd {
    MoveUnits units = MoveUnits::Unset;
    double machineOffset[9] = {};
    uint64_t blocks = 0;
};

class MotionStream {
public:
    virtual ~MotionStream() = default;

    // Whether the consumer reads the true curve of arcs (MotionArc::centre ... sweep); a run
    // asks when it starts and computes the curve only when some consumer does.
    virtual bool WantsCurves() const { return false; }
    // A run starts: everything of an earlier run goes.
    virtual void Begin() {}
    // A move in a straight line to point (its kind in point.move.kind, typ 0: the pen is up:
    // the axis cross and the start point, moves not drawn). False when the consumer cannot take
    // it (memory ran out, reported): the run ends.
    virtual bool Line(const t9dline &point) = 0;
    // An arc or helix. Returns the drawn points taken: arc.count, fewer when the run was
    // stopped while they were drawn, 0 when the consumer cannot take it (the run ends).
    virtual uint32_t Arc(const MotionArc &arc) = 0;
    // The run stopped inside the last arc: it ends after its first count points.
    virtual void CutArc(uint32_t count) { (void)count; }
    // The stops and starts of a block after its moves, line 1-based; count of them at the same
    // place (a replay joins them; the seconds of dwells add up).
    virtual void Dwell(int64_t line, double seconds, uint64_t count = 1) {
        (void)line, (void)seconds, (void)count;
    }
    virtual void ToolChange(int64_t line, double tool, uint64_t count = 1) {
        (void)line, (void)tool, (void)count;
    }
    virtual void SpindleStart(int64_t line, double speed, uint64_t count = 1) {
        (void)line, (void)speed, (void)count;
    }
    // G20, G21: the units change to units, and the linear coordinates (x, y, z, u, v, w) of
    // everything so far times factor. False when the consumer could not (the run ends).
    virtual bool Units(MoveUnits units, double factor) {
        (void)units, (void)factor;
        return true;
    }
    // The coordinate system moved: everything so far plus delta on the axes whose bit is set
    // in which (bit 0: x ... bit 8: w). False as for Units.
    virtual bool Shift(const double (&delta)[9], unsigned which) {
        (void)delta, (void)which;
        return true;
    }
    // The machine's path: the stroke just drawn stands for a hole (MotionHole); from the next
    // point on the machine stands `by` from the drawn point; G92 moved the drawn path so far
    // but not the machine's, which therefore stands `by` further from it.
    virtual void Hole(const MotionHole &hole) { (void)hole; }
    virtual void Apart(const double (&by)[3]) { (void)by; }
    virtual void ApartSoFar(const double (&by)[3]) { (void)by; }
    // An oddity of the program at line (1-based).
    virtual void Warning(int64_t line, const UserMessage &message) { (void)line, (void)message; }
    // The program ended (the run's last call).
    virtual void End(const MotionEnd &end) { (void)end; }
    // Only in a replay: the moves that follow, up to the next At, end at point `point` of the
    // stored list (an arc's drawn points at point and the ones after it), for consumers that
    // name a move by its place in the list.
    virtual void At(uint32_t point) { (void)point; }
};

// Hands every call to each of its consumers in their order. A consumer that cannot take a
// move ends the call there; a consumer that takes fewer points of an arc has the ones before it
// cut the arc to as many and the ones after it see the shorter arc.
class MotionFanOut : public MotionStream {
public:
    MotionFanOut() = default;
    MotionFanOut(std::initializer_list<MotionStream *> consumers) {
        for (MotionStream *consumer : consumers)
            Add(consumer);
    }
    void Add(MotionStream *consumer) {
        if (consumer)
            consumers.push_back(consumer);
    }

    bool WantsCurves() const override;
    void Begin() override;
    bool Line(const t9dline &point) override;
    uint32_t Arc(const MotionArc &arc) override;
    void CutArc(uint32_t count) override;
    void Dwell(int64_t line, double seconds, uint64_t count) override;
    void ToolChange(int64_t line, double tool, uint64_t count) override;
    void SpindleStart(int64_t line, double speed, uint64_t count) override;
    bool Units(MoveUnits units, double factor) override;
    bool Shift(const double (&delta)[9], unsigned which) override;
    void Hole(const MotionHole &hole) override;
    void Apart(const double (&by)[3]) override;
    void ApartSoFar(const double (&by)[3]) override;
    void Warning(int64_t line, const UserMessage &message) override;
    void End(const MotionEnd &end) override;

private:
    std::vector<MotionStream *> consumers;
};

// The plot list as a consumer: every drawn point in order. An arc without transform and of at
// most kMaxStoredArc points is one record of the list; the others are stored point by point.
// With keepCurves the list also keeps every arc's true curve (TPlotArc).
class PlotListWriter : public MotionStream {
public:
    static constexpr uint32_t kMaxStoredArc = 1 << 20;

    explicit PlotListWriter(TPlotList &lines, bool keepCurves = false)
        : lines(lines), keepCurves(keepCurves) {}

    bool WantsCurves() const override { return keepCurves; }
    void Begin() override;
    bool Line(const t9dline &point) override {
        if (curvePending && !storeCurve())
            return false;
        return lines.Add(point);
    }
    uint32_t Arc(const MotionArc &arc) override;
    void CutArc(uint32_t count) override;
    bool Units(MoveUnits units, double factor) override;
    bool Shift(const double (&delta)[9], unsigned which) override;
    void End(const MotionEnd &end) override;

private:
    bool storeCurve();

    TPlotList &lines;
    bool keepCurves;
    // The true curve of the last arc, stored once no consumer cut the arc.
    TPlotArc curve{};
    bool curvePending = false;
};

// The paint box's side of the stream: told of every drawn point as it is added, arcs point by
// point; a box may draw it at once or later from the plot list (the window's catches up at each
// event pump).
class PointSink : public MotionStream {
public:
    // The run starts: fill the box with black.
    virtual void Clear() = 0;
    // A point just added to the plot list: typ 0 moves the pen there, typ 1 is a line from the
    // previous point in the point's colour and style.
    virtual void Plot(const t9dline &point) = 0;
    // Redraw everything from the plot list: stored points were rewritten, or the run ended.
    virtual void RepaintAll() = 0;

    void Begin() final { Clear(); }
    bool Line(const t9dline &point) final {
        Plot(point);
        return true;
    }
    uint32_t Arc(const MotionArc &arc) final;
    bool Units(MoveUnits, double) final {
        RepaintAll();
        return true;
    }
    bool Shift(const double (&)[9], unsigned) final {
        RepaintAll();
        return true;
    }
    void End(const MotionEnd &) final { RepaintAll(); }
};

} // namespace morvilo
