#pragma once
// The picture record: a device-independent bitmap with its header, pixel rows and palette.
// Rows are stored bottom-up (the first stored row is the bottom row of the picture); row y
// starts at poi() + y * bytew. Pixels within a row by depth:
//   1 bit   read through getpixel (most significant bit = leftmost pixel)
//   4 bits  two pixels a byte, the left pixel in the high nibble
//   8 bits  palette index
//   16 bits little-endian word, 5 bits each of red, green, blue from high to low, bit 15 ignored
//   24 bits bytes blue, green, red
// For 1-, 4- and 8-bit pictures the colours come from pal.rgb0.

#include <cstdint>
#include <vector>

namespace morvilo {

struct BitmapInfoHeader {
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biBitCount = 0;
};

struct PaletteEntry {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t null = 0;
};

// The palette as a logical palette: version, number of entries, 256 entries.
struct LPAL {
    uint16_t ver = 0x300;
    uint16_t num = 0;
    PaletteEntry rgb0[256]{};
};

struct dib {
    BitmapInfoHeader pmi;        // width, height (positive: bottom-up), bits per pixel
    std::vector<uint8_t> pixels; // owns the pixel rows
    int64_t bytew = 0;           // distance in bytes from one pixel row to the next
    LPAL pal;
    bool poih = false; // the picture's memory was created

    // The pixel rows; empty (nullptr) when loading or creation failed.
    uint8_t *poi() { return pixels.empty() ? nullptr : pixels.data(); }
    const uint8_t *poi() const { return pixels.empty() ? nullptr : pixels.data(); }
    uint8_t *row(int64_t y) { return pixels.data() + y * bytew; }
    const uint8_t *row(int64_t y) const { return pixels.data() + y * bytew; }
};

// Row stride of an uncompressed bitmap: rows padded to 32 bits.
int64_t DibRowBytes(int64_t width, int bitsPerPixel);

// The largest picture newdib creates, in pixels (width times height). Pictures beyond it are
// refused rather than risking an allocation the machine cannot back; readers check it before
// they allocate. 2^28 pixels (256 megapixels, a 16384 x 16384 picture, 768 MiB at 24 bits) by
// default; the fuzzer lowers it so that each input stays small.
constexpr int64_t kDefaultDibPixelLimit = int64_t(1) << 28;
int64_t DibPixelLimit();
void SetDibPixelLimit(int64_t pixels);

// A new blank (zeroed) picture of the given size and depth (1, 4, 8, 16, 24 or 32 bits per
// pixel); palette depths get a grey ramp. On failure (size out of range, no memory) the
// record is left empty with poih false.
void newdib(dib &d, int32_t width, int32_t height, int bitsPerPixel, int = 0, int = 0);
// Releases everything the record owns; the record is empty afterwards.
void deldib(dib &d);

// For 1-, 4- and 8-bit pictures: the palette index at (x, y); for 16 bits the raw word;
// for 24 bits the colour as red | green << 8 | blue << 16. Outside the picture: 0.
uint32_t getpixel(const dib &d, int32_t x, int32_t y);
// For 24-bit pictures: stores the colour given as red | green << 8 | blue << 16 as bytes
// blue, green, red; for palette depths stores the index. Outside the picture: nothing.
void setpixel(dib &d, int32_t x, int32_t y, uint32_t colour);

inline int32_t DibBreit(const dib &d) {
    return d.pmi.biWidth;
}
inline int32_t DibHoch(const dib &d) {
    return d.pmi.biHeight;
}

// Raises a picture of 1, 4, 8 or 16 (5-5-5) bits per pixel to nbpp = 24 bits per pixel in
// place. A 24-bit picture is left untouched; other depths are not converted. If the
// destination cannot be created the picture stays as it was.
void DepthUpTo(dib &d, int nbpp);

} // namespace morvilo
