#include "interpreter/machinepath.h"

#include <algorithm>

namespace morvilo {

TMachinePath::TMachinePath(const TPlotList &lines, const RunLog *log) : reader(lines) {
    if (!log)
        return;
    holes = log->holes.data();
    holeCount = uint32_t(std::min<size_t>(log->holes.size(), UINT32_MAX));
    apart = log->apart.data();
    apartCount = uint32_t(std::min<size_t>(log->apart.size(), UINT32_MAX));
    apartAt = apartCount;
}

void TMachinePath::Apart(uint32_t k, double (&by)[3]) {
    by[0] = by[1] = by[2] = 0;
    if (apartCount == 0)
        return;
    // The record in force at k: the last one starting at or before it.
    const auto holds = [&](uint32_t r) {
        return r < apartCount && apart[r].point <= k &&
               (r + 1 == apartCount || apart[r + 1].point > k);
    };
    if (!holds(apartAt)) {
        if (apartAt + 1 < apartCount && holds(apartAt + 1)) {
            ++apartAt;
        } else {
            const RunApart *after =
                std::upper_bound(apart, apart + apartCount, k,
                                 [](uint32_t point, const RunApart &r) { return point < r.point; });
            apartAt = after == apart ? apartCount : uint32_t(after - apart - 1);
        }
    }
    if (apartAt < apartCount)
        std::copy(apart[apartAt].by, apart[apartAt].by + 3, by);
}

uint32_t TMachinePath::Moves(uint32_t k, t9dline (&moves)[2]) {
    const t9dline &point = reader[k];
    if (holeCount > 0) {
        const RunHole *hole =
            std::lower_bound(holes, holes + holeCount, k,
                             [](const RunHole &h, uint32_t point) { return h.point < point; });
        if (hole != holes + holeCount && hole->point == k) {
            moves[0] = moves[1] = point;
            moves[0].x = hole->r[0], moves[0].y = hole->r[1], moves[0].z = hole->r[2];
            moves[0].move.kind = MoveKind::Rapid;
            moves[0].col = kColourRapid;
            moves[0].style = psDot;
            moves[1].x = hole->bottom[0], moves[1].y = hole->bottom[1];
            moves[1].z = hole->bottom[2];
            moves[1].move.kind = MoveKind::Cycle;
            return 2;
        }
    }
    moves[0] = point;
    double by[3];
    Apart(k, by);
    moves[0].x += by[0], moves[0].y += by[1], moves[0].z += by[2];
    return 1;
}

} // namespace morvilo
