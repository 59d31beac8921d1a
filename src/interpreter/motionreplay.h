#pragma once
// A finished run told again through the motion stream, from its plot list and log: consumers
// that work after a run (the program facts, the milling of the machining preview, the DXF
// writer) take the same calls as those that follow the run itself.

#include "interpreter/motionstream.h"
#include "interpreter/plotlist.h"
#include "interpreter/runlog.h"

namespace morvilo {

// Begin, then the machine's moves in point order (TMachinePath: with the log, a drilling
// cycle drawn as a stroke is told as the machine drills it; without one, the drawn points),
// each arc whose true curve the list keeps as one Arc (its drawn points read from the list),
// the log's stops and starts where they happened, its warnings, and End; before the moves of
// each stored point, At. Ends early (without End) when a consumer cannot take a move.
void ReplayRun(const TPlotList &lines, const RunLog *log, MotionStream &stream);

} // namespace morvilo
