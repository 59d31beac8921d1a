#include "interpreter/motionreplay.h"

#include "interpreter/machinepath.h"

#include <algorithm>
#include <limits>

namespace morvilo {

namespace {

// The drawn points of an arc, k from its first point, on the machine's path.
class PathArcPoints : public StoredArcPoints {
public:
    PathArcPoints(TMachinePath &path, uint32_t first) : path(path), first(first) {}
    void Point(uint32_t k, t9dline &point) override {
        t9dline moves[2];
        point = moves[path.Moves(first + k, moves) - 1];
    }

private:
    TMachinePath &path;
    uint32_t first;
};

void tellEvent(const RunEvent &event, MotionStream &stream) {
    switch (event.kind) {
    case RunEventKind::Dwell:
        stream.Dwell(event.line, event.value, event.count);
        break;
    case RunEventKind::ToolChange:
        stream.ToolChange(event.line, event.value, event.count);
        break;
    case RunEventKind::SpindleStart:
        stream.SpindleStart(event.line, event.value, event.count);
        break;
    }
}

} // namespace

void ReplayRun(const TPlotList &lines, const RunLog *log, MotionStream &stream) {
    stream.Begin();
    TMachinePath path(lines, log);
    const uint32_t count = lines.Count();
    size_t event = 0;
    const auto eventsUpTo = [&](uint64_t point) {
        if (!log)
            return;
        for (; event < log->events.size() && log->events[event].point <= point; ++event)
            tellEvent(log->events[event], stream);
    };
    t9dline moves[2];
    if (count > 0)
        stream.At(0);
    bool going = count == 0 || (path.Moves(0, moves), stream.Line(moves[0]));
    uint32_t arc = 0;
    for (uint32_t k = 1; going && k < count; ++k) {
        eventsUpTo(k);
        stream.At(k);
        const uint32_t n = path.Moves(k, moves);
        for (uint32_t m = 0; going && m + 1 < n; ++m)
            going = stream.Line(moves[m]);
        const t9dline to = moves[n - 1];
        while (arc < lines.ArcCount() && lines.Arc(arc).first < k)
            ++arc; // an arc that starts at the axis cross or was rewritten away
        if (going && arc < lines.ArcCount() && lines.Arc(arc).first == k &&
            lines.Arc(arc).last < count && to.move.kind != MoveKind::None) {
            const TPlotArc &record = lines.Arc(arc++);
            MotionArc curve{};
            double by[3];
            path.Apart(k, by);
            for (int axis = 0; axis < 3; ++axis) {
                curve.centre[axis] = record.centre[axis] + by[axis];
                curve.u[axis] = record.u[axis];
                curve.v[axis] = record.v[axis];
                curve.h[axis] = record.h[axis];
            }
            curve.start = record.start;
            curve.sweep = record.sweep;
            curve.count = record.last - k + 1;
            curve.point = to;
            PathArcPoints points(path, k);
            curve.stored = &points;
            going = stream.Arc(curve) == curve.count;
            k = record.last;
            continue;
        }
        if (going)
            going = stream.Line(to);
    }
    if (!going)
        return;
    eventsUpTo(std::numeric_limits<uint64_t>::max());
    MotionEnd end;
    if (log) {
        for (const RunWarning &warning : log->warnings)
            stream.Warning(warning.line, warning.message);
        end.units = log->units;
        std::copy(log->machineOffset, log->machineOffset + 9, end.machineOffset);
        end.blocks = log->blocks;
    }
    stream.End(end);
}

} // namespace morvilo
