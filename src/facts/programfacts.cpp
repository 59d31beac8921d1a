#include "facts/programfacts.h"

#include "facts/arccurve.h"

#include "editor/editorcore.h"
#include "interpreter/motionreplay.h"
#include "interpreter/toolpoint.h"
#include "machine/motiontime.h"
#include "vantrel/fixedformat.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace morvilo {

void FactsBox::Add(const double (&p)[3]) {
    for (int axis = 0; axis < 3; ++axis) {
        min[axis] = empty ? p[axis] : std::min(min[axis], p[axis]);
        max[axis] = empty ? p[axis] : std::max(max[axis], p[axis]);
    }
    empty = false;
}

void FactsBox::Add(const FactsBox &box) {
    if (box.empty)
        return;
    Add(box.min);
    Add(box.max);
}

namespace {

// The facts are made by small consumers of a run's motion stream, side by side in one fan-out:
// the extents and the machine's travel, the path lengths, the run time in both models, and the
// counts and warnings. Each sees the moves from point to point.

constexpr double kMmPerInch = 25.39995; // as the interpreter switches units

using Vec = double[3];

double dot(const Vec &a, const Vec &b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

bool isRapid(MoveKind kind) {
    return kind == MoveKind::Rapid || kind == MoveKind::Pattern;
}

double mmPerUnit(MoveUnits units) {
    return units == MoveUnits::Inch ? kMmPerInch : 1;
}

// A straight move from one point of the stream to the next: the tool's points, the way between
// them and the turn of the rotary axes.
struct StraightMove {
    StraightMove(const t9dline &from, const t9dline &to) {
        const ToolPoint tipFrom = ToolPointOf(from), tipTo = ToolPointOf(to);
        a[0] = tipFrom.x, a[1] = tipFrom.y, a[2] = tipFrom.z;
        b[0] = tipTo.x, b[1] = tipTo.y, b[2] = tipTo.z;
        rotaryFrom[0] = from.a, rotaryFrom[1] = from.b, rotaryFrom[2] = from.c;
        rotaryTo[0] = to.a, rotaryTo[1] = to.b, rotaryTo[2] = to.c;
        for (int axis = 0; axis < 3; ++axis)
            rotaryLength +=
                (rotaryTo[axis] - rotaryFrom[axis]) * (rotaryTo[axis] - rotaryFrom[axis]);
        rotaryLength = std::sqrt(rotaryLength);
        for (int axis = 0; axis < 3; ++axis)
            d[axis] = b[axis] - a[axis];
        length = std::sqrt(dot(d, d));
    }
    // Not a drilling stroke of depth 0, nor the start of an arc on its circle.
    bool Moves() const { return length > 0 || rotaryLength > 0; }
    bool Straight() const { return length > 0 && std::isfinite(length); }

    Vec a, b, d, rotaryFrom, rotaryTo;
    double length = 0, rotaryLength = 0;
};

// An arc of the stream by its true curve: reached by a line to its first drawn point, ending
// at its last.
struct CurveMove {
    const MotionArc &arc;
    t9dline first, end;
    double length; // of the true curve
};

// A part of the facts that follows the tool's way: told of every straight move that moves, and
// of every arc by its true curve. Points come only through Move and Curve.
class WayPart : public MotionStream {
public:
    bool Line(const t9dline &) override { return true; }
    uint32_t Arc(const MotionArc &arc) override { return arc.count; }
    virtual void Move(const StraightMove &move, const t9dline &to) = 0;
    virtual void Curve(const CurveMove &curve) = 0;
};

// The tool's way, worked out once for all parts: a straight move from the point before (a point
// of the kind None, the axis cross and the start point, only moves the pen) and each arc's ends
// and length. The parts and the other consumers hear every other event of the run.
class ToolWay : public MotionFanOut {
public:
    // stop: when it becomes true (another thread), the replay ends.
    ToolWay(std::initializer_list<WayPart *> parts, std::initializer_list<MotionStream *> others,
            const std::atomic<bool> *stop)
        : parts(parts), stop(stop) {
        for (WayPart *part : parts)
            Add(part);
        for (MotionStream *other : others)
            Add(other);
    }

    bool Line(const t9dline &point) override {
        if (stopped())
            return false;
        if (hasFrom && point.move.kind != MoveKind::None) {
            const StraightMove move(from, point);
            if (move.Moves())
                for (WayPart *part : parts)
                    part->Move(move, point);
        }
        from = point;
        hasFrom = true;
        return true;
    }
    uint32_t Arc(const MotionArc &arc) override {
        if (stopped())
            return 0;
        CurveMove curve{arc, {}, {}, ArcCurveLength(arc)};
        arc.DrawnPoint(0, curve.first);
        arc.DrawnPoint(arc.count - 1, curve.end);
        Line(curve.first);
        for (WayPart *part : parts)
            part->Curve(curve);
        from = curve.end;
        return arc.count;
    }

private:
    bool stopped() const { return stop && stop->load(std::memory_order_relaxed); }

    std::vector<WayPart *> parts;
    const std::atomic<bool> *stop;
    t9dline from{};
    bool hasFrom = false;
};

// The boxes of all moves and of feed moves (work and machine coordinates), the rotary axes
// used, and the moves beyond the machine's travel.
class ExtentsFacts : public WayPart {
public:
    ExtentsFacts(MoveUnits units, const double (&machineOffset)[9], const MachineRates &rates,
                 ProgramFacts &facts)
        : machineOffset(machineOffset), rates(rates), facts(facts), perUnit(mmPerUnit(units)) {}

    void End(const MotionEnd &) override {
        // Machine coordinates: the final work system's place on the machine.
        const auto toMachine = [this](const FactsBox &box) {
            FactsBox shifted = box;
            for (int axis = 0; axis < 3; ++axis) {
                const double offset = machineOffset[axis] + machineOffset[axis + 6];
                shifted.min[axis] += offset, shifted.max[axis] += offset;
            }
            return shifted;
        };
        facts.allMachine = toMachine(facts.all);
        facts.feedMachine = toMachine(facts.feed);
    }

    void Move(const StraightMove &move, const t9dline &to) override {
        add(to.move.kind, move.a);
        add(to.move.kind, move.b);
        travel(move.b, move.b, to.zeilevon);
        for (int axis = 0; axis < 3; ++axis)
            facts.rotaryUsed[axis] =
                facts.rotaryUsed[axis] || move.rotaryFrom[axis] != 0 || move.rotaryTo[axis] != 0;
        facts.rotary.Add(move.rotaryFrom);
        facts.rotary.Add(move.rotaryTo);
    }
    void Curve(const CurveMove &curve) override {
        const t9dline &end = curve.end;
        const Vec offset = {curve.first.u, curve.first.v, curve.first.w};
        FactsBox box;
        ArcCurveBox(curve.arc, box.min, box.max);
        box.empty = false;
        for (int axis = 0; axis < 3; ++axis)
            box.min[axis] += offset[axis], box.max[axis] += offset[axis];
        if (!std::isfinite(box.min[0] + box.min[1] + box.min[2] + box.max[0] + box.max[1] +
                           box.max[2]))
            return;
        travel(box.min, box.max, end.zeilevon);
        facts.all.Add(box);
        if (!isRapid(end.move.kind))
            facts.feed.Add(box);
    }

private:
    void add(MoveKind kind, const Vec &p) {
        if (!std::isfinite(p[0] + p[1] + p[2]))
            return;
        facts.all.Add(p);
        if (!isRapid(kind))
            facts.feed.Add(p);
    }

    // A move that reaches from low to high (work coordinates) on the line at text offset
    // line: beyond the machine's travel on an axis, it is told once per line.
    void travel(const Vec &low, const Vec &high, int64_t line) {
        for (int axis = 0; axis < 3; ++axis) {
            const double min = rates.travel[size_t(axis)].min / perUnit;
            const double max = rates.travel[size_t(axis)].max / perUnit;
            if (!(min < max) || line < 0)
                continue;
            const double offset = machineOffset[axis] + machineOffset[axis + 6];
            const double lowest = low[axis] + offset, highest = high[axis] + offset;
            const double tolerance = 1e-9 * std::max(1.0, max - min);
            const bool below = lowest<min - tolerance, above = highest> max + tolerance;
            if (!below && !above)
                continue;
            if (!facts.travelWarnings.empty() && facts.travelWarnings.back().line == line)
                return;
            if (facts.travelWarnings.size() >= RunLog::kMaxWarnings) {
                ++facts.warningsLeftOut;
                return;
            }
            facts.travelWarnings.push_back(
                {line,
                 {"Außerhalb des Verfahrwegs: %1 %2 (Verfahrweg %3 .. %4)",
                  {std::string(1, "XYZ"[axis]), FormatFixed(below ? lowest : highest, 3),
                   FormatFixed(min, 3), FormatFixed(max, 3)}}});
            return;
        }
    }

    const double (&machineOffset)[9];
    const MachineRates &rates;
    ProgramFacts &facts;
    double perUnit;
};

// The way of rapid and of feed moves (a turn of the rotary axes alone adds none).
class LengthFacts : public WayPart {
public:
    explicit LengthFacts(ProgramFacts &facts) : facts(facts) {}

    void Move(const StraightMove &move, const t9dline &to) override {
        if (move.Straight())
            add(to.move.kind, move.length);
    }
    void Curve(const CurveMove &curve) override {
        if (curve.length > 0 && std::isfinite(curve.length))
            add(curve.end.move.kind, curve.length);
    }

private:
    void add(MoveKind kind, double length) {
        (isRapid(kind) ? facts.rapidLength : facts.feedLength) += length;
    }

    ProgramFacts &facts;
};
// The run time in both models: every move at its speed throughout, and with acceleration (the
// speed planner), dwells and tool changes added.
class TimeFacts : public WayPart {
public:
    TimeFacts(MoveUnits units, const MachineRates &rates, ProgramFacts &facts)
        : units(units), rates(rates), facts(facts), perUnit(mmPerUnit(units)),
          rapid(rates.rapidRate / 60 / perUnit), acceleration(rates.acceleration / perUnit),
          deviation(rates.junctionDeviation / perUnit),
          defaultFeed(rates.defaultFeed / 60 / perUnit), rapidDegrees(rates.rapidRate / 60),
          accelerated(rates.acceleration > 0),
          planner(accelerated ? std::max(3 * rapid * rapid / (2 * acceleration),
                                         rapidDegrees * rapidDegrees / (2 * rates.acceleration))
                              : 0) {}

    void Dwell(int64_t, double seconds, uint64_t) override {
        facts.dwellTime += seconds;
        planner.Stop();
    }
    void ToolChange(int64_t, double, uint64_t count) override {
        facts.toolChangeTime += double(count) * rates.toolChangeTime;
        planner.Stop();
    }
    void End(const MotionEnd &) override {
        facts.totalTime = facts.rapidTime + facts.feedTime + facts.dwellTime + facts.toolChangeTime;
        facts.totalTimeAccel = (accelerated ? planner.Finish() : facts.rapidTime + facts.feedTime) +
                               facts.dwellTime + facts.toolChangeTime;
    }

    void Move(const StraightMove &move, const t9dline &to) override {
        const MoveKind kind = to.move.kind;
        if (move.Straight()) {
            Vec unit = {move.d[0] / move.length, move.d[1] / move.length, move.d[2] / move.length};
            double largest = 0; // the axis that moves most bounds speed and acceleration
            for (const double component : unit)
                largest = std::max(largest, std::fabs(component));
            const double cap = rapid / largest;
            const double speed =
                isRapid(kind) ? cap : std::min(feedSpeed(to.move, move.length), cap);
            add(kind, move.length / speed);
            if (accelerated)
                planner.Add(move.length, speed, acceleration / largest, junction(unit));
            std::copy(unit, unit + 3, direction);
            hasDirection = true;
        } else if (move.rotaryLength > 0 && std::isfinite(move.rotaryLength)) {
            // A turn of the rotary axes alone: F in degrees per minute.
            const double speed =
                isRapid(kind) ? rapidDegrees
                              : std::min(feedSpeed(to.move, move.rotaryLength, 1), rapidDegrees);
            add(kind, move.rotaryLength / speed);
            planner.Stop();
            if (accelerated)
                planner.Add(move.rotaryLength, speed, rates.acceleration, 0);
            planner.Stop();
            hasDirection = false;
        }
    }
    void Curve(const CurveMove &curve) override {
        const MotionArc &arc = curve.arc;
        const t9dline &end = curve.end;
        const MoveKind kind = end.move.kind;
        const double length = curve.length;
        if (!(length > 0) || !std::isfinite(length))
            return;
        const double speed = isRapid(kind) ? rapid : std::min(feedSpeed(end.move, length), rapid);
        add(kind, length / speed);
        Vec in, out;
        ArcCurveDirection(arc, 0, in);
        ArcCurveDirection(arc, 1, out);
        // Along the curve the centripetal acceleration bounds the speed.
        const double curveSpeed = std::min(speed, std::sqrt(acceleration * ArcCurveRadius(arc)));
        if (accelerated)
            planner.Add(length, curveSpeed > 0 ? curveSpeed : speed, acceleration, junction(in));
        std::copy(out, out + 3, direction);
        hasDirection = true;
    }

private:
    void add(MoveKind kind, double seconds) {
        (isRapid(kind) ? facts.rapidTime : facts.feedTime) += seconds;
    }

    // The move's speed from its feed words, units per second (degrees for rotary moves, where
    // units do not convert).
    double feedSpeed(const TPlotMove &move, double length, double unitsFactor = 0) const {
        const double scale = unitsFactor > 0 ? unitsFactor : unitScale(move.units);
        const bool usable = move.feedGiven && move.feed > 0 && std::isfinite(move.feed);
        double speed = 0;
        if (usable) {
            switch (move.feedMode) {
            case FeedMode::PerMinute:
                speed = move.feed * scale / 60;
                break;
            case FeedMode::InverseTime:
                speed = length * move.feed / 60;
                break;
            case FeedMode::PerRevolution:
                speed = move.speed > 0 ? move.feed * move.speed * scale / 60 : 0;
                break;
            }
        }
        return speed > 0 && std::isfinite(speed) ? speed : defaultFeed;
    }

    // The program units per unit of a move's feed. A program that never chose its units is
    // in millimetres throughout; one that did was in inches until its first choice, as the
    // interpreter reads it.
    double unitScale(MoveUnits moveUnits) const {
        if (units == MoveUnits::Unset)
            return 1;
        const bool moveInch = moveUnits != MoveUnits::Millimetre;
        const bool programInch = units == MoveUnits::Inch;
        return moveInch == programInch ? 1 : moveInch ? kMmPerInch : 1 / kMmPerInch;
    }

    // The highest speed² through the corner from the last move's direction into unit: the
    // junction deviation's circle (0 for a reversal, unbounded when straight on).
    double junction(const Vec &unit) const {
        return hasDirection
                   ? SpeedPlanner::JunctionSpeedSqr(direction, unit, acceleration, deviation)
                   : 0;
    }

    MoveUnits units; // at the program's end
    const MachineRates &rates;
    ProgramFacts &facts;
    double perUnit;
    double rapid, acceleration, deviation, defaultFeed, rapidDegrees;
    bool accelerated; // an acceleration of 0 is ignored: the planner sees no moves
    SpeedPlanner planner;
    Vec direction = {};
    bool hasDirection = false;
};

// The blocks, tool changes, spindle starts and the program's oddities.
class CountFacts : public MotionStream {
public:
    explicit CountFacts(ProgramFacts &facts) : facts(facts) {}

    bool Line(const t9dline &) override { return true; }
    uint32_t Arc(const MotionArc &arc) override { return arc.count; }
    void ToolChange(int64_t, double, uint64_t count) override { facts.toolChanges += count; }
    void SpindleStart(int64_t, double, uint64_t count) override { facts.spindleStarts += count; }
    void Warning(int64_t line, const UserMessage &message) override {
        if (facts.warnings.size() < RunLog::kMaxWarnings)
            facts.warnings.push_back({line, message});
        else
            ++facts.warningsLeftOut;
    }
    void End(const MotionEnd &end) override { facts.blocks = end.blocks; }

private:
    ProgramFacts &facts;
};

} // namespace

ProgramFacts ComputeFacts(const TPlotList &lines, const RunLog &log, const MachineRates &rates,
                          const std::atomic<bool> *stop) {
    ProgramFacts facts;
    facts.inch = log.units == MoveUnits::Inch;
    ExtentsFacts extents(log.units, log.machineOffset, rates, facts);
    LengthFacts lengths(facts);
    TimeFacts time(log.units, rates, facts);
    CountFacts counts(facts);
    ToolWay way({&extents, &lengths, &time}, {&counts}, stop);
    ReplayRun(lines, &log, way);
    facts.warningsLeftOut += log.warningsLeftOut;
    return facts;
}

void LinesOfTravelWarnings(ProgramFacts &facts, TEditorCore &text) {
    if (facts.travelWarnings.empty())
        return;
    std::vector<RunWarning> &travel = facts.travelWarnings;
    std::stable_sort(travel.begin(), travel.end(),
                     [](const RunWarning &a, const RunWarning &b) { return a.line < b.line; });
    // One walk through the lines: each warning's offset lies in the line read last.
    size_t next = 0;
    text.FirstLine();
    while (next < travel.size() && text.NextLine())
        while (next < travel.size() && travel[next].line < text.lpos)
            travel[next++].line = text.alinenr + 1;
    for (; next < travel.size(); ++next)
        travel[next].line = text.alinenr + 1;
    facts.warnings.insert(facts.warnings.end(), travel.begin(), travel.end());
    travel.clear();
    std::stable_sort(facts.warnings.begin(), facts.warnings.end(),
                     [](const RunWarning &a, const RunWarning &b) { return a.line < b.line; });
}

} // namespace morvilo
