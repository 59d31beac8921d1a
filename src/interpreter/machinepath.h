#pragma once
// The path the machine takes through a run's plot list: the drawn points, except where the
// run's log says that the machine goes elsewhere (drilling cycles drawn as strokes, see
// RunHole and RunApart). The program facts and the machining preview read the moves through
// it, so that they follow the machine whatever the drawing shows.

#include "interpreter/plotlist.h"
#include "interpreter/runlog.h"

#include <cstdint>

namespace morvilo {

// Reads in point order (either way) at O(1) a point; a jump costs bisections. One reader per
// thread; the list and the log must not change meanwhile.
class TMachinePath {
public:
    // Without a log (or one without such records) the machine's path is the drawn one.
    TMachinePath(const TPlotList &lines, const RunLog *log);

    // The moves of the machine that end at plot point k (k < Count()), in order: one, or two
    // for the bottom of a stroke, which stands for the rapid move to the R level and the feed
    // to the hole's bottom. The last of them is where the machine is at point k.
    uint32_t Moves(uint32_t k, t9dline (&moves)[2]);
    // How far the machine stands from the drawn point k (to move an arc's true curve along).
    void Apart(uint32_t k, double (&by)[3]);

private:
    TPlotReader reader;
    const RunHole *holes = nullptr;
    const RunApart *apart = nullptr;
    uint32_t holeCount = 0, apartCount = 0;
    uint32_t apartAt = 0; // the record in force at the point read last, apartCount: none
};

} // namespace morvilo
