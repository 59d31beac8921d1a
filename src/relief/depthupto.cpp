#include "relief/dib.h"

#include <utility>

namespace morvilo {

namespace {

// The rows the header promises must be there before they are read: a record put together by
// hand could claim more than it holds.
bool HoldsItsRows(const dib &d) {
    const int64_t width = d.pmi.biWidth, height = d.pmi.biHeight;
    if (d.poi() == nullptr || width <= 0 || height <= 0)
        return false;
    const int64_t need = DibRowBytes(width, d.pmi.biBitCount);
    return d.bytew >= need && int64_t(d.pixels.size()) >= (height - 1) * d.bytew + need;
}

void StoreColour(uint8_t *p, const PaletteEntry &e) {
    p[0] = e.blue;
    p[1] = e.green;
    p[2] = e.red;
}

} // namespace

void DepthUpTo(dib &d, int nbpp) {
    const int obpp = d.pmi.biBitCount;
    if (obpp == nbpp || nbpp != 24)
        return;
    if (obpp != 1 && obpp != 4 && obpp != 8 && obpp != 16)
        return;
    if (!HoldsItsRows(d))
        return;
    const int32_t width = d.pmi.biWidth, height = d.pmi.biHeight;

    dib dest;
    newdib(dest, width, height, 24, 0, 0);
    if (!dest.poih)
        return;

    for (int32_t y = 0; y < height; ++y) {
        const uint8_t *src = d.row(y);
        uint8_t *out = dest.row(y);
        switch (obpp) {
        case 1: {
            const PaletteEntry &c0 = d.pal.rgb0[0], &c1 = d.pal.rgb0[1];
            const uint32_t first = c0.red | uint32_t(c0.green) << 8 | uint32_t(c0.blue) << 16;
            const uint32_t second = c1.red | uint32_t(c1.green) << 8 | uint32_t(c1.blue) << 16;
            for (int32_t x = 0; x < width; ++x)
                setpixel(dest, x, y, getpixel(d, x, y) == 0 ? first : second);
            break;
        }
        case 4:
            for (int32_t x = 0; x < width; ++x) {
                const uint8_t b = src[x / 2];
                StoreColour(out + 3 * int64_t(x), d.pal.rgb0[x % 2 == 0 ? b >> 4 : b & 0x0F]);
            }
            break;
        case 8:
            for (int32_t x = 0; x < width; ++x)
                StoreColour(out + 3 * int64_t(x), d.pal.rgb0[src[x]]);
            break;
        case 16:
            for (int32_t x = 0; x < width; ++x) {
                const unsigned v = src[2 * int64_t(x)] | unsigned(src[2 * int64_t(x) + 1]) << 8;
                uint8_t *p = out + 3 * int64_t(x);
                p[0] = uint8_t((v & 31) * 8);
                p[1] = uint8_t(((v >> 5) & 31) * 8);
                p[2] = uint8_t(((v >> 10) & 31) * 8);
            }
            break;
        }
    }

    deldib(d);
    d = std::move(dest);
}

} // namespace morvilo
