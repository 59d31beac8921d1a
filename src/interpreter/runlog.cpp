#include "interpreter/runlog.h"

#include "vantrel/dynaarray.h"

#include <new>

namespace morvilo {

void RunLogWriter::Begin() {
    log.Clear();
    points = lastArc = 0;
    failed = false;
}

void RunLogWriter::Dwell(int64_t line, double seconds, uint64_t count) {
    log.Event(points, RunEventKind::Dwell, seconds, line, count);
}

void RunLogWriter::ToolChange(int64_t line, double tool, uint64_t count) {
    log.Event(points, RunEventKind::ToolChange, tool, line, count);
}

void RunLogWriter::SpindleStart(int64_t line, double speed, uint64_t count) {
    log.Event(points, RunEventKind::SpindleStart, speed, line, count);
}

// The machine's path changes units with the drawn one.
bool RunLogWriter::Units(MoveUnits, double factor) {
    for (RunHole &hole : log.holes)
        for (int axis = 0; axis < 3; ++axis)
            hole.r[axis] *= factor, hole.bottom[axis] *= factor;
    for (RunApart &record : log.apart)
        for (double &by : record.by)
            by *= factor;
    return true;
}

bool RunLogWriter::Shift(const double (&delta)[9], unsigned which) {
    for (RunHole &hole : log.holes)
        for (int axis = 0; axis < 3; ++axis)
            if (which & (1u << axis))
                hole.r[axis] += delta[axis], hole.bottom[axis] += delta[axis];
    return true;
}

template <typename T> void RunLogWriter::append(std::vector<T> &list, const T &record) {
    try {
        list.push_back(record);
    } catch (const std::bad_alloc &) {
        ReportAllocationFailure(uint64_t(list.size() + 1) * sizeof(T) * 2);
        failed = true;
    }
}

void RunLogWriter::Hole(const MotionHole &hole) {
    RunHole record{};
    record.point = points - 1;
    std::copy(hole.r, hole.r + 3, record.r);
    std::copy(hole.bottom, hole.bottom + 3, record.bottom);
    append(log.holes, record);
}

void RunLogWriter::Apart(const double (&by)[3]) {
    if (!log.apart.empty() && log.apart.back().point == points)
        log.apart.pop_back(); // no point was stored with the last one
    RunApart record{};
    record.point = points;
    std::copy(by, by + 3, record.by);
    append(log.apart, record);
}

void RunLogWriter::ApartSoFar(const double (&by)[3]) {
    for (RunHole &hole : log.holes)
        for (int axis = 0; axis < 3; ++axis)
            hole.r[axis] += by[axis], hole.bottom[axis] += by[axis];
    if (log.apart.empty() || log.apart.front().point > 0) {
        try {
            log.apart.insert(log.apart.begin(), RunApart{});
        } catch (const std::bad_alloc &) {
            ReportAllocationFailure(uint64_t(log.apart.size() + 1) * sizeof(RunApart) * 2);
            failed = true;
            return;
        }
    }
    for (RunApart &record : log.apart)
        if (record.point < points)
            for (int axis = 0; axis < 3; ++axis)
                record.by[axis] += by[axis];
}

void RunLogWriter::End(const MotionEnd &end) {
    log.units = end.units;
    std::copy(end.machineOffset, end.machineOffset + 9, log.machineOffset);
    log.blocks = end.blocks;
}

} // namespace morvilo
