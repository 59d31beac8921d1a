#pragma once
// Measuring on the backplot: the stored point nearest to a click, and what lies between two
// points (dX, dY, dZ and the distance), in the plane views and in 3D alike.

#include "interpreter/plotlist.h"
#include "vantrel/usermessage.h"
#include "view/viewmath.h"

#include <cstdint>

namespace morvilo {

// The index of the point whose projection through mat (the view's matrix) lies nearest to the
// pixel (px, py) and at most maxPixels from it; -1 when there is none. The axis cross has no
// place on the path and is left out.
int64_t NearestPlotPoint(const TPlotList &lines, const tmat44 &mat, int px, int py, int maxPixels);

// The tool's point of a stored point: the secondary axes added to the linear ones.
struct MeasurePoint {
    double x, y, z;
};
MeasurePoint PointOf(const t9dline &p);

// "Punkt 1: X%1 Y%2 Z%3" and "dX %1, dY %2, dZ %3, Abstand %4". In the lathe's diameter view X
// and dX are diameters, as the programs and the caret marker give them; the distance is the
// length between the two points.
UserMessage FirstPointText(const MeasurePoint &p, bool diametermode = false);
UserMessage DistanceText(const MeasurePoint &a, const MeasurePoint &b, bool diametermode = false);

} // namespace morvilo
