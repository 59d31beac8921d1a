#include "relief/bmpreader.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

namespace morvilo {

namespace {

enum Compression : uint32_t {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitFields = 3,
    kAlphaBitFields = 6,
};

constexpr size_t kFileHeaderBytes = 14;

// Bounds-checked little-endian access to the file. Every read goes through has() first.
struct Bytes {
    const uint8_t *data;
    size_t size;

    bool has(uint64_t offset, uint64_t count) const {
        return offset <= size && count <= size - offset;
    }
    uint16_t u16(size_t at) const { return uint16_t(data[at] | data[at + 1] << 8); }
    uint32_t u32(size_t at) const {
        return uint32_t(data[at]) | uint32_t(data[at + 1]) << 8 | uint32_t(data[at + 2]) << 16 |
               uint32_t(data[at + 3]) << 24;
    }
    int32_t i32(size_t at) const { return int32_t(u32(at)); }
};

// What the header says, after the checks that do not need the pixel data.
struct Layout {
    int32_t width = 0;
    int32_t height = 0; // always positive here
    bool topDown = false;
    int bpp = 0;
    uint32_t compression = kRgb;
    uint32_t masks[3] = {0, 0, 0}; // red, green, blue
    uint64_t paletteStart = 0;
    uint32_t paletteEntries = 0;
    int paletteEntryBytes = 4;
    uint64_t pixelStart = 0;
};

// One colour channel of a bit-field pixel: the lowest contiguous run of bits of its mask,
// scaled to 0..255 so that the largest value the field holds becomes 255.
class Channel {
public:
    explicit Channel(uint32_t mask) {
        if (mask == 0)
            return;
        shift_ = std::countr_zero(mask);
        bits_ = std::countr_one(mask >> shift_);
        field_ = bits_ == 32 ? 0xFFFFFFFFu : (1u << bits_) - 1;
        if (bits_ <= 16 && bits_ != 8) {
            table_.resize(size_t(field_) + 1);
            for (uint32_t v = 0; v <= field_; ++v)
                table_[v] = Scale(v);
        }
    }

    uint8_t operator()(uint32_t pixel) const {
        if (bits_ == 0)
            return 0;
        const uint32_t v = (pixel >> shift_) & field_;
        if (bits_ == 8)
            return uint8_t(v);
        return table_.empty() ? Scale(v) : table_[v];
    }

private:
    uint8_t Scale(uint32_t v) const { return uint8_t((uint64_t(v) * 255 + field_ / 2) / field_); }

    int shift_ = 0;
    int bits_ = 0;
    uint32_t field_ = 0;
    std::vector<uint8_t> table_;
};

// The layouts of 16 and 32-bit pixels without bit fields: 5-5-5 and blue, green, red, unused.
void SetDefaultMasks(Layout &l) {
    if (l.bpp == 16) {
        l.masks[0] = 0x7C00;
        l.masks[1] = 0x03E0;
        l.masks[2] = 0x001F;
    } else if (l.bpp == 32) {
        l.masks[0] = 0x00FF0000;
        l.masks[1] = 0x0000FF00;
        l.masks[2] = 0x000000FF;
    }
}

bool ReadLayout(const Bytes &f, Layout &l) {
    if (!f.has(0, kFileHeaderBytes + 4) || f.data[0] != 'B' || f.data[1] != 'M')
        return false;
    const uint32_t offBits = f.u32(10);
    const uint32_t headerBytes = f.u32(kFileHeaderBytes);
    const size_t h = kFileHeaderBytes;
    if (!f.has(h, headerBytes))
        return false;

    uint32_t clrUsed = 0;
    uint64_t maskBytesAfterHeader = 0;
    if (headerBytes == 12) {
        // OS/2 1.x core header: unsigned 16-bit sizes, 3-byte palette entries, no compression.
        l.width = f.u16(h + 4);
        l.height = f.u16(h + 6);
        l.bpp = f.u16(h + 10);
        l.paletteEntryBytes = 3;
        if (l.bpp != 1 && l.bpp != 4 && l.bpp != 8 && l.bpp != 24)
            return false;
    } else if (headerBytes == 40 || headerBytes == 52 || headerBytes == 56 || headerBytes == 108 ||
               headerBytes == 124) {
        l.width = f.i32(h + 4);
        const int32_t height = f.i32(h + 8);
        l.bpp = f.u16(h + 14);
        l.compression = f.u32(h + 16);
        clrUsed = f.u32(h + 32);
        if (height == INT32_MIN)
            return false;
        l.topDown = height < 0;
        l.height = height < 0 ? -height : height;
        if (l.compression == kBitFields || l.compression == kAlphaBitFields) {
            // The masks are part of the longer headers; a 40-byte header is followed by them.
            size_t at = h + 40;
            if (headerBytes == 40) {
                maskBytesAfterHeader = l.compression == kBitFields ? 12 : 16;
                if (!f.has(at, maskBytesAfterHeader))
                    return false;
            }
            for (int i = 0; i < 3; ++i)
                l.masks[i] = f.u32(at + 4 * size_t(i));
        }
    } else {
        return false;
    }

    if (l.width <= 0 || l.height <= 0)
        return false;

    switch (l.compression) {
    case kRgb:
        if (l.bpp != 1 && l.bpp != 4 && l.bpp != 8 && l.bpp != 16 && l.bpp != 24 && l.bpp != 32)
            return false;
        SetDefaultMasks(l);
        break;
    case kRle8:
    case kRle4:
        // Run-length pictures are bottom-up by definition; a top-down one is malformed.
        if (l.bpp != (l.compression == kRle8 ? 8 : 4) || l.topDown)
            return false;
        break;
    case kBitFields:
    case kAlphaBitFields:
        if (l.bpp != 16 && l.bpp != 32)
            return false;
        // Masks left all zero would make a black picture; the writer meant the usual layout.
        if ((l.masks[0] | l.masks[1] | l.masks[2]) == 0)
            SetDefaultMasks(l);
        break;
    default:
        return false; // embedded JPEG or PNG, OS/2 Huffman, CMYK: not read
    }

    l.paletteStart = h + uint64_t(headerBytes) + maskBytesAfterHeader;
    uint64_t paletteEnd = l.paletteStart;
    if (l.bpp <= 8) {
        const uint32_t most = 1u << l.bpp;
        uint32_t entries = clrUsed != 0 ? std::min(clrUsed, most) : most;
        // Some writers store fewer entries than the depth allows and say so only through the
        // pixel offset: trust the offset when it lies behind the header.
        if (offBits >= l.paletteStart)
            entries = uint32_t(std::min<uint64_t>(entries, (offBits - l.paletteStart) /
                                                               uint64_t(l.paletteEntryBytes)));
        l.paletteEntries = entries;
        paletteEnd += uint64_t(entries) * uint64_t(l.paletteEntryBytes);
        if (!f.has(l.paletteStart, paletteEnd - l.paletteStart))
            return false;
    }
    // An offset that points into the headers (0 in some old files) means "right behind them".
    l.pixelStart = offBits >= l.paletteStart ? offBits : paletteEnd;
    return f.has(l.pixelStart, 0);
}

void ReadPalette(const Bytes &f, const Layout &l, dib &d) {
    d.pal = LPAL{};
    d.pal.num = uint16_t(1u << l.bpp);
    for (uint32_t i = 0; i < l.paletteEntries; ++i) {
        const uint8_t *e = f.data + l.paletteStart + uint64_t(i) * uint64_t(l.paletteEntryBytes);
        d.pal.rgb0[i] = {e[2], e[1], e[0], 0};
    }
}

// Walks a run-length stream; with out given it also paints the runs into it. Pixels no run
// reaches keep index 0. Returns whether the stream describes the whole picture: it reaches
// end-of-bitmap or moves past the top row before its data ends.
bool WalkRle(const uint8_t *s, size_t n, const Layout &l, dib *out) {
    const bool four = l.bpp == 4;
    int64_t x = 0, y = 0;
    size_t pos = 0;
    auto put = [&](int64_t px, unsigned index) {
        if (out != nullptr && px < l.width)
            setpixel(*out, int32_t(px), int32_t(y), index);
    };
    for (;;) {
        if (y >= l.height)
            return true; // nothing left to paint; what follows does not matter
        if (n - pos < 2)
            return false;
        const uint8_t count = s[pos], value = s[pos + 1];
        pos += 2;
        if (count > 0) {
            for (int i = 0; i < count && x + i < l.width; ++i)
                put(x + i, four ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
            x += count;
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            ++y;
            break;
        case 1: // end of bitmap
            return true;
        case 2: // delta: move right and up
            if (n - pos < 2)
                return false;
            x += s[pos];
            y += s[pos + 1];
            pos += 2;
            break;
        default: { // absolute run of `value` pixels, padded to a 16-bit boundary
            const size_t bytes = four ? (size_t(value) + 1) / 2 : value;
            if (n - pos < bytes)
                return false;
            for (int i = 0; i < value && x + i < l.width; ++i) {
                const uint8_t b = s[pos + (four ? size_t(i) / 2 : size_t(i))];
                put(x + i, four ? (i % 2 == 0 ? b >> 4 : b & 0x0F) : b);
            }
            x += value;
            pos += std::min(bytes + (bytes & 1), n - pos);
            break;
        }
        }
    }
}

bool ReadRle(const Bytes &f, const Layout &l, dib &d) {
    const uint8_t *s = f.data + l.pixelStart;
    const size_t n = f.size - size_t(l.pixelStart);
    // Check the whole stream before allocating: a few bytes can claim a huge picture.
    if (!WalkRle(s, n, l, nullptr))
        return false;
    newdib(d, l.width, l.height, l.bpp);
    if (!d.poih)
        return false;
    ReadPalette(f, l, d);
    WalkRle(s, n, l, &d);
    return true;
}

bool IsRgb555(const Layout &l) {
    return l.bpp == 16 && l.masks[0] == 0x7C00 && l.masks[1] == 0x03E0 && l.masks[2] == 0x001F;
}

// Whether the picture record keeps the stored depth (else it becomes 24 bits).
bool KeepsDepth(const Layout &l) {
    return l.bpp <= 8 || l.bpp == 24 || IsRgb555(l);
}

bool ReadUncompressed(const Bytes &f, const Layout &l, dib &d) {
    const int64_t stride = DibRowBytes(l.width, l.bpp);
    const int64_t used = (int64_t(l.width) * l.bpp + 7) / 8;
    // The last row may lack its padding; its pixels must be there.
    if (!f.has(l.pixelStart, uint64_t(stride) * uint64_t(l.height - 1) + uint64_t(used)))
        return false;

    const bool keep = KeepsDepth(l);
    newdib(d, l.width, l.height, keep ? l.bpp : 24);
    if (!d.poih)
        return false;
    if (l.bpp <= 8)
        ReadPalette(f, l, d);

    const Channel red(l.masks[0]), green(l.masks[1]), blue(l.masks[2]);
    const bool plain32 = l.bpp == 32 && l.masks[0] == 0x00FF0000 && l.masks[1] == 0x0000FF00 &&
                         l.masks[2] == 0x000000FF;
    for (int64_t i = 0; i < l.height; ++i) {
        const uint8_t *src = f.data + l.pixelStart + i * stride;
        uint8_t *dst = d.row(l.topDown ? l.height - 1 - i : i);
        if (keep) {
            std::copy(src, src + used, dst);
        } else if (plain32) {
            for (int64_t x = 0; x < l.width; ++x) {
                dst[3 * x] = src[4 * x];
                dst[3 * x + 1] = src[4 * x + 1];
                dst[3 * x + 2] = src[4 * x + 2];
            }
        } else {
            const int step = l.bpp / 8;
            for (int64_t x = 0; x < l.width; ++x) {
                const uint8_t *p = src + step * x;
                const uint32_t v = step == 2 ? uint32_t(p[0] | p[1] << 8)
                                             : uint32_t(p[0]) | uint32_t(p[1]) << 8 |
                                                   uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
                dst[3 * x] = blue(v);
                dst[3 * x + 1] = green(v);
                dst[3 * x + 2] = red(v);
            }
        }
    }
    return true;
}

} // namespace

bool ReadBmpHeader(const uint8_t *head, size_t headSize, uint64_t fileSize, BmpHeader &header) {
    header = BmpHeader{};
    // The headers lie within the first kBmpHeadBytes; past them only the file's size counts.
    if (head == nullptr || headSize < std::min<uint64_t>(fileSize, kBmpHeadBytes) ||
        fileSize > SIZE_MAX)
        return false;
    Layout l;
    if (!ReadLayout(Bytes{head, size_t(fileSize)}, l))
        return false;
    header.width = l.width;
    header.height = l.height;
    header.pictureBpp = KeepsDepth(l) ? l.bpp : 24;
    const uint64_t pixels = uint64_t(l.width) * uint64_t(l.height);
    if (l.compression == kRle8 || l.compression == kRle4) {
        // Even a wasteful stream (runs of one pixel, a move for every gap) takes at most 4 bytes
        // a pixel and 2 a row; what lies beyond is no part of the picture.
        header.bytesNeeded = l.pixelStart + 4 * pixels + 2 * uint64_t(l.height) + 2;
    } else {
        const uint64_t stride = uint64_t(DibRowBytes(l.width, l.bpp));
        header.bytesNeeded = l.pixelStart + stride * uint64_t(l.height - 1) +
                             (uint64_t(l.width) * uint64_t(l.bpp) + 7) / 8;
    }
    header.bytesNeeded = std::min(header.bytesNeeded, fileSize);
    return true;
}

bool ReadBmp(dib &d, const uint8_t *data, size_t size) {
    deldib(d);
    const Bytes f{data, data != nullptr ? size : 0};
    Layout l;
    if (!ReadLayout(f, l) || int64_t(l.width) * l.height > DibPixelLimit())
        return false;
    const bool ok = l.compression == kRle8 || l.compression == kRle4 ? ReadRle(f, l, d)
                                                                     : ReadUncompressed(f, l, d);
    if (!ok)
        deldib(d);
    return ok;
}

} // namespace morvilo
