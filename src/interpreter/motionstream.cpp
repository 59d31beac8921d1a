#include "interpreter/motionstream.h"

#include <algorithm>

namespace morvilo {

// ---- the fan-out -----------------------------------------------------------------------------

bool MotionFanOut::WantsCurves() const {
    return std::any_of(consumers.begin(), consumers.end(),
                       [](const MotionStream *consumer) { return consumer->WantsCurves(); });
}

void MotionFanOut::Begin() {
    for (MotionStream *consumer : consumers)
        consumer->Begin();
}

bool MotionFanOut::Line(const t9dline &point) {
    for (MotionStream *consumer : consumers)
        if (!consumer->Line(point))
            return false;
    return true;
}

uint32_t MotionFanOut::Arc(const MotionArc &arc) {
    const MotionArc *shown = &arc;
    MotionArc cut; // the arc as the consumers after one that stopped inside it see it
    for (size_t k = 0; k < consumers.size(); ++k) {
        const uint32_t taken = consumers[k]->Arc(*shown);
        if (taken == 0)
            return 0;
        if (taken < shown->count) {
            cut = *shown;
            cut.count = taken;
            shown = &cut;
            for (size_t before = 0; before < k; ++before)
                consumers[before]->CutArc(taken);
        }
    }
    return shown->count;
}

void MotionFanOut::CutArc(uint32_t count) {
    for (MotionStream *consumer : consumers)
        consumer->CutArc(count);
}

void MotionFanOut::Dwell(int64_t line, double seconds, uint64_t count) {
    for (MotionStream *consumer : consumers)
        consumer->Dwell(line, seconds, count);
}

void MotionFanOut::ToolChange(int64_t line, double tool, uint64_t count) {
    for (MotionStream *consumer : consumers)
        consumer->ToolChange(line, tool, count);
}

void MotionFanOut::SpindleStart(int64_t line, double speed, uint64_t count) {
    for (MotionStream *consumer : consumers)
        consumer->SpindleStart(line, speed, count);
}

// Every consumer rewrites (a drawing consumer after the lists it draws from), whether or not
// one of them failed.
bool MotionFanOut::Units(MoveUnits units, double factor) {
    bool done = true;
    for (MotionStream *consumer : consumers)
        done = consumer->Units(units, factor) && done;
    return done;
}

bool MotionFanOut::Shift(const double (&delta)[9], unsigned which) {
    bool done = true;
    for (MotionStream *consumer : consumers)
        done = consumer->Shift(delta, which) && done;
    return done;
}

void MotionFanOut::Hole(const MotionHole &hole) {
    for (MotionStream *consumer : consumers)
        consumer->Hole(hole);
}

void MotionFanOut::Apart(const double (&by)[3]) {
    for (MotionStream *consumer : consumers)
        consumer->Apart(by);
}

void MotionFanOut::ApartSoFar(const double (&by)[3]) {
    for (MotionStream *consumer : consumers)
        consumer->ApartSoFar(by);
}

void MotionFanOut::Warning(int64_t line, const UserMessage &message) {
    for (MotionStream *consumer : consumers)
        consumer->Warning(line, message);
}

void MotionFanOut::End(const MotionEnd &end) {
    for (MotionStream *consumer : consumers)
        consumer->End(end);
}

// ---- the plot list ---------------------------------------------------------------------------

void PlotListWriter::Begin() {
    lines.Truncate();
    curvePending = false;
}

uint32_t PlotListWriter::Arc(const MotionArc &arc) {
    if (curvePending && !storeCurve())
        return 0;
    const uint32_t first = lines.Count();
    uint32_t taken = arc.count;
    if (arc.stored == nullptr && arc.count <= kMaxStoredArc && arc.transform.Identity()) {
        if (!lines.AddArcPoints(arc.division, arc.count, arc.point))
            return 0;
    } else {
        t9dline p;
        for (uint32_t k = 0; k < arc.count; ++k) {
            arc.DrawnPoint(k, p);
            if (!lines.Add(p))
                return 0;
            if (arc.StoppedAt(k)) {
                taken = k + 1;
                break;
            }
        }
    }
    if (keepCurves && taken == arc.count) {
        curve = TPlotArc{};
        curve.first = first;
        curve.last = lines.Count() - 1;
        std::copy(arc.centre, arc.centre + 3, curve.centre);
        std::copy(arc.u, arc.u + 3, curve.u);
        std::copy(arc.v, arc.v + 3, curve.v);
        std::copy(arc.h, arc.h + 3, curve.h);
        curve.start = arc.start;
        curve.sweep = arc.sweep;
        curvePending = true;
    }
    return taken;
}

void PlotListWriter::CutArc(uint32_t count) {
    curvePending = false; // a cut arc keeps no true curve
    lines.ShortenLastArc(count);
}

// False when memory ran out (reported): the run ends.
bool PlotListWriter::storeCurve() {
    curvePending = false;
    return lines.AddArc(curve);
}

bool PlotListWriter::Units(MoveUnits, double factor) {
    const bool stored = !curvePending || storeCurve();
    return lines.Scale(factor) && stored;
}

bool PlotListWriter::Shift(const double (&delta)[9], unsigned which) {
    const bool stored = !curvePending || storeCurve();
    return lines.Shift(delta, which) && stored;
}

void PlotListWriter::End(const MotionEnd &) {
    if (curvePending)
        storeCurve();
}

// ---- the paint box ---------------------------------------------------------------------------

uint32_t PointSink::Arc(const MotionArc &arc) {
    t9dline p;
    for (uint32_t k = 0; k < arc.count; ++k) {
        arc.DrawnPoint(k, p);
        Plot(p);
        if (arc.StoppedAt(k))
            return k + 1;
    }
    return arc.count;
}

} // namespace morvilo
