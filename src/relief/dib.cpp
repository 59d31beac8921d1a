#include "relief/dib.h"

#include <new>
#include <stdexcept>

namespace morvilo {

namespace {

int64_t pixelLimit = kDefaultDibPixelLimit;

bool SupportedDepth(int bitsPerPixel) {
    switch (bitsPerPixel) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        return true;
    default:
        return false;
    }
}

bool Inside(const dib &d, int32_t x, int32_t y) {
    return d.poi() != nullptr && x >= 0 && y >= 0 && x < d.pmi.biWidth && y < d.pmi.biHeight;
}

} // namespace

int64_t DibRowBytes(int64_t width, int bitsPerPixel) {
    if (width <= 0 || bitsPerPixel <= 0)
        return 0;
    return (width * bitsPerPixel + 31) / 32 * 4;
}

int64_t DibPixelLimit() {
    return pixelLimit;
}

void SetDibPixelLimit(int64_t pixels) {
    pixelLimit = pixels > 0 ? pixels : 1;
}

void newdib(dib &d, int32_t width, int32_t height, int bitsPerPixel, int, int) {
    deldib(d);
    if (width <= 0 || height <= 0 || !SupportedDepth(bitsPerPixel) ||
        int64_t(width) * height > pixelLimit)
        return;
    const int64_t stride = DibRowBytes(width, bitsPerPixel);
    try {
        d.pixels.assign(size_t(stride * height), 0);
    } catch (const std::bad_alloc &) {
        deldib(d);
        return;
    } catch (const std::length_error &) {
        deldib(d);
        return;
    }
    d.pmi.biWidth = width;
    d.pmi.biHeight = height;
    d.pmi.biBitCount = uint16_t(bitsPerPixel);
    d.bytew = stride;
    if (bitsPerPixel <= 8) {
        const int entries = 1 << bitsPerPixel;
        d.pal.num = uint16_t(entries);
        for (int i = 0; i < entries; ++i) {
            const auto v = uint8_t(i * 255 / (entries - 1));
            d.pal.rgb0[i] = {v, v, v, 0};
        }
    }
    d.poih = true;
}

void deldib(dib &d) {
    d = dib{};
}

uint32_t getpixel(const dib &d, int32_t x, int32_t y) {
    if (!Inside(d, x, y))
        return 0;
    const uint8_t *row = d.row(y);
    switch (d.pmi.biBitCount) {
    case 1:
        return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4:
        return x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 0x0F;
    case 8:
        return row[x];
    case 16:
        return uint32_t(row[2 * x]) | uint32_t(row[2 * x + 1]) << 8;
    case 24:
    case 32: {
        const uint8_t *p = row + int64_t(x) * (d.pmi.biBitCount / 8);
        return uint32_t(p[2]) | uint32_t(p[1]) << 8 | uint32_t(p[0]) << 16;
    }
    default:
        return 0;
    }
}

void setpixel(dib &d, int32_t x, int32_t y, uint32_t colour) {
    if (!Inside(d, x, y))
        return;
    uint8_t *row = d.row(y);
    switch (d.pmi.biBitCount) {
    case 1: {
        const auto bit = uint8_t(0x80 >> (x % 8));
        row[x / 8] = colour != 0 ? uint8_t(row[x / 8] | bit) : uint8_t(row[x / 8] & ~bit);
        break;
    }
    case 4:
        if (x % 2 == 0)
            row[x / 2] = uint8_t((row[x / 2] & 0x0F) | (colour & 0x0F) << 4);
        else
            row[x / 2] = uint8_t((row[x / 2] & 0xF0) | (colour & 0x0F));
        break;
    case 8:
        row[x] = uint8_t(colour);
        break;
    case 16:
        row[2 * x] = uint8_t(colour);
        row[2 * x + 1] = uint8_t(colour >> 8);
        break;
    case 24:
    case 32: {
        uint8_t *p = row + int64_t(x) * (d.pmi.biBitCount / 8);
        p[0] = uint8_t(colour >> 16);
        p[1] = uint8_t(colour >> 8);
        p[2] = uint8_t(colour);
        break;
    }
    default:
        break;
    }
}

} // namespace morvilo
