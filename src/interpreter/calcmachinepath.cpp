// The machine's path where the drawing differs from it: the holes of drilling cycles drawn as
// strokes, and how far the machine stands from the drawn position afterwards (RunHole,
// RunApart of the log). Kept for runs with a log, so that the program facts and the machining
// preview follow the machine whatever the drawing shows.

#include "interpreter/calcrunimpl.h"

#include <algorithm>
#include <new>

namespace morvilo {

// Appends a record to a list of the log; false (the run ends, the failure reported) when the
// memory ran out.
template <typename T> bool TCalcRun::logAppend(std::vector<T> &list, const T &record) {
    try {
        list.push_back(record);
        return true;
    } catch (const std::bad_alloc &) {
        ReportAllocationFailure(uint64_t(list.size() + 1) * sizeof(T) * 2);
        flags.breakprogram = true;
        return false;
    }
}

template bool TCalcRun::logAppend(std::vector<RunHole> &, const RunHole &);
template bool TCalcRun::logAppend(std::vector<RunApart> &, const RunApart &);

// Before a point is stored: a new record when the machine's distance from the drawn point (in
// plot coordinates, through the point transforms' linear part) differs from the last record's.
void TCalcRun::recordApart() {
    RunApart record{};
    record.point = lines.Count();
    double origin[3] = {0, 0, 0};
    std::copy(apart, apart + 3, record.by);
    transform(origin[0], origin[1], origin[2]);
    transform(record.by[0], record.by[1], record.by[2]);
    for (int axis = 0; axis < 3; ++axis)
        record.by[axis] -= origin[axis];
    const double zero[3] = {0, 0, 0};
    const double *last = log->apart.empty() ? zero : log->apart.back().by;
    if (std::equal(record.by, record.by + 3, last))
        return;
    if (!log->apart.empty() && log->apart.back().point == record.point)
        log->apart.pop_back(); // no point was stored with the last one
    if (logAppend(log->apart, record))
        apartRecorded = record.by[0] != 0 || record.by[1] != 0 || record.by[2] != 0;
}

// The position of the axes went back to where the block started (and with it the machine's).
void TCalcRun::apartAtBlockStartFor(unsigned axes) {
    for (int axis = 0; axis < 3; ++axis)
        if (axes & (1u << axis))
            apart[axis] = apartAtBlockStart[axis];
}

// G92 (G50): the drawn path moves by the named coordinates' difference to the drawn position,
// the machine's path by their difference to the machine's position; the given axes stand
// where they are named, on the machine too.
void TCalcRun::apartOfCoordinateSetting(const bool (&given)[3]) {
    double extra[3] = {};
    bool any = false;
    for (int axis = 0; axis < 3; ++axis) {
        if (!given[axis])
            continue;
        extra[axis] = -apartAtBlockStart[axis];
        apart[axis] = 0;
        any = any || extra[axis] != 0;
    }
    if (!any || !log)
        return;
    const uint32_t now = lines.Count();
    for (RunHole &hole : log->holes)
        for (int axis = 0; axis < 3; ++axis)
            hole.r[axis] += extra[axis], hole.bottom[axis] += extra[axis];
    if (log->apart.empty() || log->apart.front().point > 0) {
        try {
            log->apart.insert(log->apart.begin(), RunApart{});
        } catch (const std::bad_alloc &) {
            ReportAllocationFailure(uint64_t(log->apart.size() + 1) * sizeof(RunApart) * 2);
            flags.breakprogram = true;
            return;
        }
    }
    for (RunApart &record : log->apart)
        if (record.point < now)
            for (int axis = 0; axis < 3; ++axis)
                record.by[axis] += extra[axis];
    const RunApart &last = log->apart.back();
    apartRecorded = last.by[0] != 0 || last.by[1] != 0 || last.by[2] != 0;
}

} // namespace morvilo
