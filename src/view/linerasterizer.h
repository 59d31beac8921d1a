#pragma once
// A line rasteriser that writes 32-bit pixel values straight into an image. It draws the
// backplot's 1-pixel segments in their pen patterns, the 3-pixel lines of the pick map and the
// small end-point squares many times faster than QPainter, and looks the same: a 1-pixel line
// lights exactly the pixels of QPainter's aliased cosmetic line with square caps (both end
// points included; the same fixed-point steps, so the same choice between two neighbouring
// pixels), and a pattern restarts at each line's first pixel and advances one place per pixel
// along the major axis, as QPainter's does.
//
// Lines are clipped in double precision to the image before they are walked, so end points
// anywhere in the 32-bit range cost no more than the pixels inside the image.

#include <QImage>

#include <cstdint>

namespace morvilo {

// The pixels of one image: bits points to row 0, stride is the distance of two rows in pixels.
struct TPixelTarget {
    uint32_t *bits = nullptr;
    int64_t stride = 0;
    int width = 0;
    int height = 0;

    // image must have 32 bits per pixel (Format_RGB32, Format_ARGB32 and the like).
    static TPixelTarget Of(QImage &image);
};

// A repeating on/off pattern along a line: bit k of mask set means that the k-th pixel of every
// period is drawn. A zero mask draws nothing.
struct TDashPattern {
    uint32_t mask = 1;
    uint8_t period = 1;
    bool operator==(const TDashPattern &) const = default;
};

inline constexpr TDashPattern kSolidPattern{1, 1};

// The pattern of a pen style of the plot list (solid, dash, dot, dash-dot, dash-dot-dot, clear,
// inside-frame); unknown styles draw solid. The lengths are QPainter's for a 1-pixel pen.
TDashPattern PatternOfStyle(uint8_t style);

// A 1-pixel line from (x0, y0) to (x1, y1), both ends included, in the given pattern.
void DrawLine(const TPixelTarget &target, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
              uint32_t value, TDashPattern pattern = kSolidPattern);

// A solid line 3 pixels wide across its major axis, reaching one pixel beyond each end (the pick
// map's lines). A line of length 0 is a 3 x 3 block.
void DrawWideLine(const TPixelTarget &target, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                  uint32_t value);

// The end-point square: the outline from (cx - 3, cy - 3) to (cx + 3, cy + 3) in outline, the
// 5 x 5 pixels inside it in fill. Without an outline (a clear pen) only the inside is filled.
void DrawEndSquare(const TPixelTarget &target, int32_t cx, int32_t cy, uint32_t outline,
                   uint32_t fill, bool withOutline = true);

} // namespace morvilo
