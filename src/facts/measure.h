#pragma once
// Measuring on the backplot: what lies between two stored points (dX, dY, dZ and the distance),
// in the plane views and in 3D alike. The view picks the points (view/nearestpoint.h).

#include "interpreter/plotlist.h"
#include "vantrel/usermessage.h"

namespace morvilo {

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
