#include "view/linerasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace morvilo {

namespace {

// Coordinates are walked in 26.6 fixed point (1/64 pixel) with a 16.16 step along the minor
// axis, the way QPainter's aliased cosmetic lines are, so both light the same pixels. Ends are
// first clipped in double precision to a window one pixel beyond the image, which keeps every
// fixed-point value small whatever the 32-bit end points were.
constexpr int64_t kOne = 64;        // one pixel in 26.6
constexpr int64_t kHalf = kOne / 2; // square caps reach half a pixel beyond each end

struct ClipWindow {
    double xmin, xmax, ymin, ymax;
};

// From margin pixels before the first pixel to margin pixels beyond the far edge of the last.
ClipWindow windowOf(const TPixelTarget &target, int margin) {
    return {double(-margin), double(target.width + margin), double(-margin),
            double(target.height + margin)};
}

// Moves an end that lies beyond lo or hi along the line onto that bound. p are the coordinates
// being bounded, q the others. False when both ends lie beyond the same bound.
bool clipAxis(double &p1, double &q1, double &p2, double &q2, double lo, double hi) {
    if (p1 < lo) {
        if (p2 <= lo)
            return false;
        q1 += (q2 - q1) / (p2 - p1) * (lo - p1);
        p1 = lo;
    } else if (p1 > hi) {
        if (p2 >= hi)
            return false;
        q1 += (q2 - q1) / (p2 - p1) * (hi - p1);
        p1 = hi;
    }
    if (p2 < lo) {
        q2 += (q2 - q1) / (p2 - p1) * (lo - p2);
        p2 = lo;
    } else if (p2 > hi) {
        q2 += (q2 - q1) / (p2 - p1) * (hi - p2);
        p2 = hi;
    }
    return true;
}

bool clipLine(double &x1, double &y1, double &x2, double &y2, const ClipWindow &w) {
    return clipAxis(x1, y1, x2, y2, w.xmin, w.xmax) && clipAxis(y1, x1, y2, x2, w.ymin, w.ymax);
}

// A clipped line as pixels along its major axis, in increasing order: pixel j (0 .. count - 1)
// lies at major coordinate first + j and minor coordinate (minor + j * step) >> 16.
struct MajorWalk {
    bool xMajor;
    bool reversed; // walked from the line's end towards its start
    int64_t first, count;
    int64_t minor, step;
};

// reach: how far the walk goes beyond each end, in 26.6.
bool makeWalk(double x1, double y1, double x2, double y2, int64_t reach, MajorWalk &w) {
    const int64_t fx1 = int64_t(x1 * kOne), fy1 = int64_t(y1 * kOne);
    const int64_t fx2 = int64_t(x2 * kOne), fy2 = int64_t(y2 * kOne);
    w.xMajor = !(std::llabs(fx2 - fx1) < std::llabs(fy2 - fy1));
    int64_t p1 = w.xMajor ? fx1 : fy1, q1 = w.xMajor ? fy1 : fx1;
    int64_t p2 = w.xMajor ? fx2 : fy2, q2 = w.xMajor ? fy2 : fx2;
    if (p1 == p2)
        return false;
    w.reversed = p1 > p2;
    if (w.reversed) {
        std::swap(p1, p2);
        std::swap(q1, q2);
    }
    w.step = q2 == q1 ? 0 : (q2 - q1) * 65536 / (p2 - p1); // truncated toward zero
    int64_t minor = q1 * 1024 - ((w.step * reach) >> 6);
    p1 -= reach;
    p2 += reach;
    const int64_t first = (p1 + kHalf) >> 6;
    const int64_t end = (p2 + kHalf) >> 6;
    if (first >= end)
        return false;
    // The minor position at the first pixel: at its centre for a rising step, at its start for
    // a falling one.
    const int64_t round = w.step > 0 ? kHalf : 0;
    minor += ((first * kOne + round - p1) * w.step) >> 6;
    w.first = first;
    w.count = end - first;
    w.minor = minor;
    return true;
}

// Calls plot(line, minor, minorStep, minorSize) for every pixel of the line from (x1, y1) to (x2,
// y2) that the pattern draws, whose major coordinate lies inside the image and whose minor
// coordinate lies within minorMargin pixels of it. line points to the pixel at the major coordinate
// and minor coordinate 0, minorStep is the distance of two pixels along the minor axis. The line is
// first clipped to a window clipMargin pixels beyond the image; reach is how far it goes beyond its
// ends, in 26.6. The pattern counts the pixels from the line's start.
template <bool Patterned, typename Plot>
void walkLine(const TPixelTarget &target, double x1, double y1, double x2, double y2,
              int clipMargin, int minorMargin, int64_t reach, TDashPattern pattern, Plot &&plot) {
    MajorWalk w;
    if (!clipLine(x1, y1, x2, y2, windowOf(target, clipMargin)) ||
        !makeWalk(x1, y1, x2, y2, reach, w))
        return;
    const int64_t majorSize = w.xMajor ? target.width : target.height;
    const int64_t minorSize = w.xMajor ? target.height : target.width;
    const int64_t majorStep = w.xMajor ? 1 : target.stride;
    const int64_t minorStep = w.xMajor ? target.stride : 1;
    const int64_t jfrom = std::max<int64_t>(0, -w.first);
    const int64_t jto = std::min<int64_t>(w.count, majorSize - w.first);
    if (jfrom >= jto)
        return;
    const unsigned period = pattern.period;
    unsigned phase = 0;
    if constexpr (Patterned)
        phase = unsigned((w.reversed ? w.count - 1 - jfrom : jfrom) % period);
    int64_t minor = w.minor + jfrom * w.step;
    uint32_t *row = target.bits + (w.first + jfrom) * majorStep; // minor coordinate 0
    for (int64_t j = jfrom; j < jto; ++j, minor += w.step, row += majorStep) {
        if constexpr (Patterned) {
            const bool on = pattern.mask >> phase & 1u;
            if (w.reversed)
                phase = phase == 0 ? period - 1 : phase - 1;
            else
                phase = phase + 1 == period ? 0 : phase + 1;
            if (!on)
                continue;
        }
        const int64_t m = minor >> 16;
        if (m >= -minorMargin && m < minorSize + minorMargin)
            plot(row, m, minorStep, minorSize);
    }
}

bool insideImage(const TPixelTarget &target, int64_t x, int64_t y) {
    return x >= 0 && y >= 0 && x < target.width && y < target.height;
}

void setPixel(const TPixelTarget &target, int64_t x, int64_t y, uint32_t value) {
    if (insideImage(target, x, y))
        target.bits[y * target.stride + x] = value;
}

} // namespace

TPixelTarget TPixelTarget::Of(QImage &image) {
    TPixelTarget t;
    if (image.isNull() || image.depth() != 32)
        return t;
    t.bits = reinterpret_cast<uint32_t *>(image.bits());
    t.stride = image.bytesPerLine() / 4;
    t.width = image.width();
    t.height = image.height();
    return t;
}

TDashPattern PatternOfStyle(uint8_t style) {
    switch (style) {
    case 1: // dash: 4 on, 2 off
        return {0b001111, 6};
    case 2: // dot: 1 on, 2 off
        return {0b001, 3};
    case 3: // dash-dot: 4 on, 2 off, 1 on, 2 off
        return {0b001001111, 9};
    case 4: // dash-dot-dot: 4 on, 2 off, 1 on, 2 off, 1 on, 2 off
        return {0b001001001111, 12};
    case 5: // clear
        return {0, 1};
    default: // solid, inside-frame and anything unknown
        return kSolidPattern;
    }
}

void DrawLine(const TPixelTarget &target, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
              uint32_t value, TDashPattern pattern) {
    if (!target.bits || pattern.mask == 0 || pattern.period == 0)
        return;
    if (x0 == x1 && y0 == y1) { // a single point, drawn whatever the pattern
        setPixel(target, x0, y0, value);
        return;
    }
    auto plot = [value](uint32_t *line, int64_t minor, int64_t step, int64_t) {
        line[minor * step] = value;
    };
    if (pattern == kSolidPattern)
        walkLine<false>(target, x0, y0, x1, y1, 1, 0, kHalf, pattern, plot);
    else
        walkLine<true>(target, x0, y0, x1, y1, 1, 0, kHalf, pattern, plot);
}

void DrawWideLine(const TPixelTarget &target, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                  uint32_t value) {
    if (!target.bits)
        return;
    if (x0 == x1 && y0 == y1) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                setPixel(target, int64_t(x0) + dx, int64_t(y0) + dy, value);
        return;
    }
    // Three pixels across the major axis, reaching a pixel further than a 1-pixel line.
    auto plot = [value](uint32_t *line, int64_t minor, int64_t step, int64_t minorSize) {
        if (minor > 0)
            line[(minor - 1) * step] = value;
        if (minor >= 0 && minor < minorSize)
            line[minor * step] = value;
        if (minor + 1 < minorSize)
            line[(minor + 1) * step] = value;
    };
    walkLine<false>(target, x0, y0, x1, y1, 2, 1, kHalf + kOne, kSolidPattern, plot);
}

void DrawEndSquare(const TPixelTarget &target, int32_t cx, int32_t cy, uint32_t outline,
                   uint32_t fill, bool withOutline) {
    if (!target.bits)
        return;
    const int64_t x = cx, y = cy;
    const int64_t top = std::max<int64_t>(y - 3, 0);
    const int64_t bottom = std::min<int64_t>(y + 3, target.height - 1);
    const int64_t left = std::max<int64_t>(x - 3, 0);
    const int64_t right = std::min<int64_t>(x + 3, target.width - 1);
    if (left > right || top > bottom)
        return;
    const int64_t insideLeft = std::max(left, x - 2), insideRight = std::min(right, x + 2);
    for (int64_t row = top; row <= bottom; ++row) {
        uint32_t *line = target.bits + row * target.stride;
        if (std::llabs(row - y) == 3) { // top or bottom edge
            if (withOutline)
                std::fill(line + left, line + right + 1, outline);
            continue;
        }
        if (insideLeft <= insideRight)
            std::fill(line + insideLeft, line + insideRight + 1, fill);
        if (withOutline && x - 3 >= left)
            line[x - 3] = outline;
        if (withOutline && x + 3 <= right)
            line[x + 3] = outline;
    }
}

} // namespace morvilo
