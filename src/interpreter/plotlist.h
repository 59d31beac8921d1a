#pragma once
// The plot list: every point the interpreter produced, in path order, with the source line it
// came from, its nine axis values and the pen of the segment that ends at it. The view
// redraws, picks, prints and exports from it without interpreting again.

#include "vantrel/dynaarray.h"

#include <cstdint>

namespace morvilo {

// Pen styles of plot segments (the platform's pen-style values).
enum PenStyle : uint8_t { psSolid = 0, psDot = 2, psDashDotDot = 4 };

// Segment colours, red in the low byte (0x00BBGGRR).
inline constexpr int32_t kColourWhite = 0x00FFFFFF; // feed moves, axis cross, start point
inline constexpr int32_t kColourRapid = 0x00FFAC00; // rapid moves and hole patterns
inline constexpr int32_t kColourCw = 0x0000FF00;    // clockwise arcs (green)
inline constexpr int32_t kColourCcw = 0x000000FF;   // counter-clockwise arcs (red)

// One stored point, 96 bytes.
struct t9dline {
    int64_t zeilevon; // text offset of the first byte of the source line; -1: axis cross
    int64_t zeilebis; // text offset of that line's last byte, its line end included; -1: axis cross
    double x, y, z;   // linear axes
    double a, b, c;   // rotary axes, degrees
    double u, v, w;   // secondary linear axes
    int32_t col;      // pen colour of the segment ending here, 0x00BBGGRR
    int8_t typ;       // 0: pen-up point, 1: a line is drawn from the previous point
    uint8_t style;    // PenStyle of that segment
};
static_assert(sizeof(t9dline) == 96, "the plot list's records are 96 bytes");

using TPlotList = TDynaArray<t9dline>;

} // namespace morvilo
