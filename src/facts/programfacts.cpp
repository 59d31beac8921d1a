#include "facts/programfacts.h"

#include "editor/editorcore.h"
#include "interpreter/motionreplay.h"
#include "interpreter/toolpoint.h"
#include "machine/motiontime.h"
#include "vantrel/fixedformat.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace morvilo {

namespace {

constexpr double kMmPerInch = 25.39995; // as the interpreter switches units
constexpr double kTwoPi = 2 * std::numbers::pi;

using Vec = double[3];

double dot(const Vec &a, const Vec &b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

bool isRapid(MoveKind kind) {
    return kind == MoveKind::Rapid || kind == MoveKind::Pattern;
}

void position(const t9dline &p, Vec &out) {
    const ToolPoint tip = ToolPointOf(p);
    out[0] = tip.x, out[1] = tip.y, out[2] = tip.z;
}

class FactsWalk {
public:
    FactsWalk(MoveUnits units, const double (&machineOffset)[9], const MachineRates &rates,
              ProgramFacts &facts)
        : units(units), machineOffset(machineOffset), rates(rates), facts(facts),
          mmPerUnit(units == MoveUnits::Inch ? kMmPerInch : 1),
          rapid(rates.rapidRate / 60 / mmPerUnit), acceleration(rates.acceleration / mmPerUnit),
          deviation(rates.junctionDeviation / mmPerUnit),
          defaultFeed(rates.defaultFeed / 60 / mmPerUnit), rapidDegrees(rates.rapidRate / 60),
          accelerated(rates.acceleration > 0),
          planner(accelerated ? std::max(3 * rapid * rapid / (2 * acceleration),
                                         rapidDegrees * rapidDegrees / (2 * rates.acceleration))
                              : 0) {
        facts.inch = units == MoveUnits::Inch;
    }

    void Dwell(double seconds) {
        facts.dwellTime += seconds;
        planner.Stop();
    }
    void ToolChange(uint64_t count) {
        facts.toolChanges += count;
        facts.toolChangeTime += double(count) * rates.toolChangeTime;
        planner.Stop();
    }

    // The straight move from one point to the next.
    void Line(const t9dline &from, const t9dline &to) {
        const MoveKind kind = to.move.kind;
        Vec a, b;
        position(from, a);
        position(to, b);
        const double rotaryFrom[3] = {from.a, from.b, from.c}, rotaryTo[3] = {to.a, to.b, to.c};
        double rotaryLength = 0;
        for (int axis = 0; axis < 3; ++axis)
            rotaryLength +=
                (rotaryTo[axis] - rotaryFrom[axis]) * (rotaryTo[axis] - rotaryFrom[axis]);
        rotaryLength = std::sqrt(rotaryLength);
        Vec d = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const double length = std::sqrt(dot(d, d));
        if (!(length > 0) && !(rotaryLength > 0))
            return; // no move: a drilling stroke of depth 0, the start of an arc on its circle
        extents(kind, a);
        extents(kind, b);
        travel(b, b, to.zeilevon);
        for (int axis = 0; axis < 3; ++axis)
            facts.rotaryUsed[axis] =
                facts.rotaryUsed[axis] || rotaryFrom[axis] != 0 || rotaryTo[axis] != 0;
        facts.rotary.Add(rotaryFrom);
        facts.rotary.Add(rotaryTo);
        if (length > 0 && std::isfinite(length)) {
            Vec unit = {d[0] / length, d[1] / length, d[2] / length};
            double largest = 0; // the axis that moves most bounds speed and acceleration
            for (const double component : unit)
                largest = std::max(largest, std::fabs(component));
            const double cap = rapid / largest;
            const double speed = isRapid(kind) ? cap : std::min(feedSpeed(to.move, length), cap);
            addLength(kind, length, speed);
            if (accelerated)
                planner.Add(length, speed, acceleration / largest, junction(unit));
            std::copy(unit, unit + 3, direction);
            hasDirection = true;
        } else if (rotaryLength > 0 && std::isfinite(rotaryLength)) {
            // A turn of the rotary axes alone: F in degrees per minute.
            const double speed = isRapid(kind)
                                     ? rapidDegrees
                                     : std::min(feedSpeed(to.move, rotaryLength, 1), rapidDegrees);
            (isRapid(kind) ? facts.rapidTime : facts.feedTime) += rotaryLength / speed;
            planner.Stop();
            if (accelerated)
                planner.Add(rotaryLength, speed, rates.acceleration, 0);
            planner.Stop();
            hasDirection = false;
        }
    }

    // The arc's true curve; its first point was reached by a line.
    void Arc(const MotionArc &arc, const t9dline &first, const t9dline &end) {
        const MoveKind kind = end.move.kind;
        const Vec offset = {first.u, first.v, first.w};
        const double radius = std::sqrt(dot(arc.u, arc.u));
        const double climb = std::sqrt(dot(arc.h, arc.h));
        const double length = std::hypot(arc.sweep * radius, climb);
        FactsBox box;
        for (const double t : {0.0, 1.0}) {
            Vec p;
            at(arc, t, p);
            box.Add(p);
        }
        if (arc.sweep != 0)
            for (int axis = 0; axis < 3; ++axis)
                axisExtremes(arc, axis, box);
        for (int axis = 0; axis < 3; ++axis)
            box.min[axis] += offset[axis], box.max[axis] += offset[axis];
        if (!box.empty && std::isfinite(box.min[0] + box.min[1] + box.min[2] + box.max[0] +
                                        box.max[1] + box.max[2])) {
            travel(box.min, box.max, end.zeilevon);
            facts.all.Add(box);
            if (!isRapid(kind))
                facts.feed.Add(box);
        }
        if (!(length > 0) || !std::isfinite(length))
            return;
        const double speed = isRapid(kind) ? rapid : std::min(feedSpeed(end.move, length), rapid);
        addLength(kind, length, speed);
        Vec in, out;
        tangent(arc, 0, in);
        tangent(arc, 1, out);
        // Along the curve the centripetal acceleration bounds the speed.
        const double curveSpeed = std::min(speed, std::sqrt(acceleration * radius));
        if (accelerated)
            planner.Add(length, curveSpeed > 0 ? curveSpeed : speed, acceleration, junction(in));
        std::copy(out, out + 3, direction);
        hasDirection = true;
    }

    double Finish() { return planner.Finish(); }

private:
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
    double unitScale(MoveUnits units) const {
        if (this->units == MoveUnits::Unset)
            return 1;
        const bool moveInch = units != MoveUnits::Millimetre;
        const bool programInch = this->units == MoveUnits::Inch;
        return moveInch == programInch ? 1 : moveInch ? kMmPerInch : 1 / kMmPerInch;
    }

    void extents(MoveKind kind, const Vec &p) {
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
            const double min = rates.travel[size_t(axis)].min / mmPerUnit;
            const double max = rates.travel[size_t(axis)].max / mmPerUnit;
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

    void addLength(MoveKind kind, double length, double speed) {
        (isRapid(kind) ? facts.rapidLength : facts.feedLength) += length;
        (isRapid(kind) ? facts.rapidTime : facts.feedTime) += length / speed;
    }

    // The highest speed² through the corner from the last move's direction into unit: the
    // junction deviation's circle (0 for a reversal, unbounded when straight on).
    double junction(const Vec &unit) const {
        return hasDirection
                   ? SpeedPlanner::JunctionSpeedSqr(direction, unit, acceleration, deviation)
                   : 0;
    }

    static void at(const MotionArc &arc, double t, Vec &p) {
        const double angle = arc.start + t * arc.sweep;
        const double c = std::cos(angle), s = std::sin(angle);
        for (int axis = 0; axis < 3; ++axis)
            p[axis] = arc.centre[axis] + c * arc.u[axis] + s * arc.v[axis] + t * arc.h[axis];
    }

    static void tangent(const MotionArc &arc, double t, Vec &unit) {
        const double angle = arc.start + t * arc.sweep;
        const double c = std::cos(angle), s = std::sin(angle);
        for (int axis = 0; axis < 3; ++axis)
            unit[axis] = arc.sweep * (-s * arc.u[axis] + c * arc.v[axis]) + arc.h[axis];
        const double length = std::sqrt(dot(unit, unit));
        for (double &component : unit)
            component = length > 0 ? component / length : 0;
    }

    // Where the curve turns back along an axis: the derivative sweep (v cos - u sin) + h = 0,
    // that is sin(phi - angle) = -h / (sweep R) with R, phi the polar form of (u, v). Of each
    // family of such angles (2 pi apart) the first and the last on the arc are the extremes,
    // since the climb moves them linearly.
    static void axisExtremes(const MotionArc &arc, int axis, FactsBox &box) {
        const double ru = arc.u[axis], rv = arc.v[axis];
        const double r = std::hypot(ru, rv);
        if (!(r > 0))
            return;
        const double q = -arc.h[axis] / (arc.sweep * r);
        if (!(std::fabs(q) <= 1))
            return;
        const double phi = std::atan2(rv, ru), turn = std::asin(q);
        const double low = std::min(arc.start, arc.start + arc.sweep);
        const double high = std::max(arc.start, arc.start + arc.sweep);
        for (const double base : {phi - turn, phi - std::numbers::pi + turn}) {
            const double kLow = std::ceil((low - base) / kTwoPi);
            const double kHigh = std::floor((high - base) / kTwoPi);
            if (kLow > kHigh)
                continue;
            for (const double k : {kLow, kHigh}) {
                const double t = std::clamp((base + k * kTwoPi - arc.start) / arc.sweep, 0.0, 1.0);
                Vec p;
                at(arc, t, p);
                box.min[axis] = std::min(box.min[axis], p[axis]);
                box.max[axis] = std::max(box.max[axis], p[axis]);
            }
        }
    }

    MoveUnits units; // at the program's end
    const double (&machineOffset)[9];
    const MachineRates &rates;
    ProgramFacts &facts;
    double mmPerUnit;
    double rapid, acceleration, deviation, defaultFeed, rapidDegrees;
    bool accelerated; // an acceleration of 0 is ignored: the planner sees no moves
    SpeedPlanner planner;
    Vec direction = {};
    bool hasDirection = false;
};

} // namespace

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

// The facts as a consumer of a run's motion stream. A move of the kind None (the axis cross,
// the start point) only moves the pen; an arc is reached by a line to its first point.
class FactsStream : public MotionStream {
public:
    FactsStream(MoveUnits units, const double (&machineOffset)[9], const MachineRates &rates,
                ProgramFacts &facts, const std::atomic<bool> *stop)
        : machineOffset(machineOffset), rates(rates), facts(facts),
          walk(units, machineOffset, rates, facts), stop(stop) {}

    bool Line(const t9dline &point) override {
        if (stop && stop->load(std::memory_order_relaxed))
            return false; // the replay ends
        if (hasFrom && point.move.kind != MoveKind::None)
            walk.Line(from, point);
        from = point;
        hasFrom = true;
        return true;
    }
    uint32_t Arc(const MotionArc &arc) override {
        if (stop && stop->load(std::memory_order_relaxed))
            return 0;
        t9dline first, end;
        arc.DrawnPoint(0, first);
        arc.DrawnPoint(arc.count - 1, end);
        Line(first);
        walk.Arc(arc, first, end);
        from = end;
        return arc.count;
    }
    void Dwell(int64_t, double seconds, uint64_t) override { walk.Dwell(seconds); }
    void ToolChange(int64_t, double, uint64_t count) override { walk.ToolChange(count); }
    void SpindleStart(int64_t, double, uint64_t count) override { facts.spindleStarts += count; }
    void Warning(int64_t line, const UserMessage &message) override {
        if (facts.warnings.size() < RunLog::kMaxWarnings)
            facts.warnings.push_back({line, message});
        else
            ++facts.warningsLeftOut;
    }
    void End(const MotionEnd &end) override {
        facts.blocks = end.blocks;
        facts.totalTime = facts.rapidTime + facts.feedTime + facts.dwellTime + facts.toolChangeTime;
        facts.totalTimeAccel =
            (rates.acceleration > 0 ? walk.Finish() : facts.rapidTime + facts.feedTime) +
            facts.dwellTime + facts.toolChangeTime;
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

private:
    const double (&machineOffset)[9];
    const MachineRates &rates;
    ProgramFacts &facts;
    FactsWalk walk;
    const std::atomic<bool> *stop;
    t9dline from{};
    bool hasFrom = false;
};

} // namespace

ProgramFacts ComputeFacts(const TPlotList &lines, const RunLog &log, const MachineRates &rates,
                          const std::atomic<bool> *stop) {
    ProgramFacts facts;
    FactsStream stream(log.units, log.machineOffset, rates, facts, stop);
    ReplayRun(lines, &log, stream);
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
