#pragma once
// Picking a stored point on the backplot: the one whose projection lies nearest to a click.
// Measuring starts from it.

#include "interpreter/plotlist.h"
#include "view/viewmath.h"

#include <cstdint>

namespace morvilo {

// The index of the point whose projection through mat (the view's matrix) lies nearest to the
// pixel (px, py) and at most maxPixels from it; -1 when there is none. The axis cross has no
// place on the path and is left out.
int64_t NearestPlotPoint(const TPlotList &lines, const tmat44 &mat, int px, int py, int maxPixels);

} // namespace morvilo
