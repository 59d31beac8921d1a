#pragma once
// The interpreter run behind the backplot: reads the editor's text line by line, keeps the state
// of a simulated machine control and turns every motion into points of the plot list, each drawn
// at once through the point sink. Every run clears the plot list and starts at the first line.

#include "interpreter/calcinterfaces.h"

namespace morvilo {

// Millimetres per inch, as the unit switches use it.
inline constexpr double zoll2mm = 25.39995;

// Performs one run. Returns at once while a run is in progress (flags->inrender). The run ends
// at the end of the text, at M2, M30 or M99 in the main program, and after the line during
// which flags->breakprogram was set; its end (flags reset, full repaint) happens on every path.
// Errors in the program never end it early and are not reported, except a jump or call whose
// target does not exist: env.notice names it, and the run ends after that line.
void CalcBtnClick(const CalcEnvironment &env);

} // namespace morvilo
