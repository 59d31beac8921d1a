// Work offset data (G10 L2), the local shift (G52) and coordinate setting (G92, G50).

#include "interpreter/calcrunimpl.h"

#include <cmath>

namespace morvilo {

// The block's axis words become positions no more: the block does not move.
void TCalcRun::clearAxisFlags() {
    for (const AxisFlag given : kGiven)
        st.*given = false;
}

// G10 L2 P1 ... P6: the data of work offset P - 1, axis by axis from the block's words, 0 for
// the axes not given. The offset in force keeps its values until the next G54 ... G59. Other
// L values and P outside 1 ... 6 leave the block an ordinary one.
void TCalcRun::workOffsetData() {
    if (!st.lse || st.l != 2 || !st.pse)
        return;
    const double p = std::trunc(st.p);
    if (!(p >= 1 && p <= 6))
        return;
    double(&offset)[kAxes] = st.offsets[int(p) - 1];
    for (int axis = 0; axis < kAxes; ++axis) {
        offset[axis] = st.*kGiven[axis] ? st.*kWord[axis] : 0;
        st.*kPosition[axis] = st.*kBlockStart[axis];
    }
    apartAtBlockStartFor(7);
    clearAxisFlags();
}

// G52: the shift of each given axis is its new position (as written, absolute or incremental).
// The path drawn so far and the position of the tool keep their place on the machine and are
// re-expressed in the shifted system.
void TCalcRun::localShift() {
    double delta[kAxes];
    for (int axis = 0; axis < kAxes; ++axis) {
        st.oloc[axis] = st.loc[axis];
        if (st.*kGiven[axis])
            st.loc[axis] = st.*kPosition[axis];
        delta[axis] = st.oloc[axis] - st.loc[axis];
        st.*kPosition[axis] = st.*kBlockStart[axis] + delta[axis];
        st.*kBlockStart[axis] = st.*kPosition[axis];
    }
    apartAtBlockStartFor(7);
    clearAxisFlags();
    shiftPlot(delta);
}

// G92 (mill, lathe system B) and G50 (lathe system A): the coordinates given in the block name
// the tool's present point. The path so far moves by their difference to the position before
// the block; the tool stands on the named coordinates, so absolute moves land where they say
// and incremental moves start from there. On lathe system A, U and W reset only the U and W
// axes.
void TCalcRun::coordinateSetting() {
    if (options.Dreh1() && (st.use || st.wse)) {
        const double delta[kAxes] = {0, 0, 0, 0, 0, 0, st.au, 0, st.aw};
        stream.Shift(delta, 1u << 6 | 1u << 8);
        st.ou = st.au = st.ow = st.aw = 0;
        st.use = st.wse = false;
        return;
    }
    double delta[kAxes];
    for (int axis = 0; axis < kAxes; ++axis) {
        delta[axis] = st.*kPosition[axis] - st.*kBlockStart[axis];
        st.*kBlockStart[axis] = st.*kPosition[axis];
        st.g92shift[axis] += delta[axis];
    }
    const bool given[3] = {st.xse, st.yse, st.zse};
    clearAxisFlags();
    shiftPlot(delta);
    apartOfCoordinateSetting(given);
}

} // namespace morvilo
