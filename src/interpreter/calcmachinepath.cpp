// The machine's path where the drawing differs from it: the holes of drilling cycles drawn as
// strokes, and how far the machine stands from the drawn position afterwards, told to the
// motion stream (MotionHole, Apart), so that the program facts and the machining preview follow
// the machine whatever the drawing shows.

#include "interpreter/calcrunimpl.h"

#include <algorithm>

namespace morvilo {

namespace {

bool nonZero(const double (&by)[3]) {
    return by[0] != 0 || by[1] != 0 || by[2] != 0;
}

} // namespace

// Before a point is stored: the stream learns the machine's distance from the drawn point (in
// plot coordinates, through the point transforms' linear part) when it differs from the last
// one told.
void TCalcRun::recordApart() {
    double by[3], origin[3] = {0, 0, 0};
    std::copy(apart, apart + 3, by);
    transform(origin[0], origin[1], origin[2]);
    transform(by[0], by[1], by[2]);
    for (int axis = 0; axis < 3; ++axis)
        by[axis] -= origin[axis];
    if (std::equal(by, by + 3, apartTold))
        return;
    stream.Apart(by);
    std::copy(by, by + 3, apartTold);
    apartRecorded = nonZero(apartTold);
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
    if (!any)
        return;
    stream.ApartSoFar(extra);
    for (int axis = 0; axis < 3; ++axis)
        apartTold[axis] += extra[axis];
    apartRecorded = nonZero(apartTold);
}

} // namespace morvilo
