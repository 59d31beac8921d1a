#pragma once
// Our own reader of BMP files (Windows and OS/2 1.x bitmaps), so that pictures keep the depth
// they were stored with and DepthUpTo sees them as the file has them:
//   1, 4, 8 bits  palette pictures, uncompressed or RLE4 / RLE8; biClrUsed is honoured and
//                 entries the file does not hold are black
//   16 bits       5-5-5 stays 16-bit; other bit-field layouts (5-6-5, 4-4-4-4 ...) become 24
//   24 bits       as stored
//   32 bits       becomes 24 bits; the alpha or unused byte is dropped
// Headers of 12 (core), 40, 52, 56, 108 (V4) and 124 (V5) bytes; BI_BITFIELDS and
// BI_ALPHABITFIELDS masks of any width. Top-down files are stored bottom-up afterwards.

#include "relief/dib.h"

#include <cstddef>
#include <cstdint>

namespace morvilo {

// The headers of a BMP file lie within its first kBmpHeadBytes bytes.
constexpr size_t kBmpHeadBytes = 14 + 124 + 16;

// What the headers of a BMP file announce.
struct BmpHeader {
    int32_t width = 0;
    int32_t height = 0;
    int pictureBpp = 0;       // the depth of the picture record ReadBmp makes of it
    uint64_t bytesNeeded = 0; // how much of the file, from its start, ReadBmp reads at most
};

// Reads the headers from head, the first headSize bytes of a file of fileSize bytes (at least
// kBmpHeadBytes of them, or all), before anything else of the file is read. False when they
// are corrupt or of a kind not read; the size is not held against DibPixelLimit().
bool ReadBmpHeader(const uint8_t *head, size_t headSize, uint64_t fileSize, BmpHeader &header);

// Decodes a whole BMP file held in memory (from the "BM" signature on) into d. Returns false,
// with d empty, when the file is truncated or corrupt, of a kind not read (embedded JPEG or
// PNG, OS/2 2.x headers, CMYK), or larger than DibPixelLimit(). Never reads outside
// data[0, size). The first bytesNeeded bytes (ReadBmpHeader) decode as the whole file does.
bool ReadBmp(dib &d, const uint8_t *data, size_t size);

} // namespace morvilo
