#pragma once
// Small pictures built in memory for the generator's tests.

#include "relief/dib.h"

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace morvilo::test {

struct Rgb {
    uint8_t r, g, b;
};
constexpr Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255};
inline Rgb Grey(uint8_t v) {
    return {v, v, v};
}

// A 24-bit picture; rows are listed first-stored (bottom) first.
inline dib MakePicture24(const std::vector<std::vector<Rgb>> &rows) {
    dib d;
    d.pmi.biWidth = int32_t(rows.at(0).size());
    d.pmi.biHeight = int32_t(rows.size());
    d.pmi.biBitCount = 24;
    d.bytew = (int64_t(d.pmi.biWidth) * 3 + 3) / 4 * 4;
    d.pixels.assign(size_t(d.bytew) * rows.size(), 0);
    d.poih = true;
    for (size_t y = 0; y < rows.size(); ++y)
        for (size_t x = 0; x < rows[y].size(); ++x) {
            uint8_t *p = d.row(int64_t(y)) + x * 3;
            p[0] = rows[y][x].b;
            p[1] = rows[y][x].g;
            p[2] = rows[y][x].r;
        }
    return d;
}

inline dib MakeUniformPicture24(int width, int height, Rgb colour) {
    return MakePicture24(
        std::vector<std::vector<Rgb>>(size_t(height), std::vector<Rgb>(size_t(width), colour)));
}

// Writes a 24-bit picture as an uncompressed BMP file.
inline void WriteBmp24(const std::string &path, const dib &d) {
    auto le32 = [](std::ofstream &out, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.put(char((v >> (8 * i)) & 0xFF));
    };
    auto le16 = [](std::ofstream &out, uint16_t v) {
        out.put(char(v & 0xFF));
        out.put(char(v >> 8));
    };
    std::ofstream out(path, std::ios::binary);
    const uint32_t pixelBytes = uint32_t(d.pixels.size());
    out.write("BM", 2);
    le32(out, 54 + pixelBytes);
    le32(out, 0);
    le32(out, 54);
    le32(out, 40);
    le32(out, uint32_t(d.pmi.biWidth));
    le32(out, uint32_t(d.pmi.biHeight));
    le16(out, 1);
    le16(out, 24);
    for (int i = 0; i < 6; ++i)
        le32(out, 0);
    out.write(reinterpret_cast<const char *>(d.pixels.data()), std::streamsize(pixelBytes));
}

// The bytes of a run-length BMP (8 or 4 bits per pixel) of any announced size whose stream ends
// at once: a few hundred bytes that stand for a picture of width x height pixels.
inline std::string RleBmp(int32_t width, int32_t height, int bpp) {
    std::string bytes;
    auto le = [&bytes](uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            bytes += char((v >> (8 * i)) & 0xFF);
    };
    const uint32_t entries = 1u << bpp, pixelStart = 54 + 4 * entries;
    bytes += "BM";
    le(pixelStart + 2, 4); // file size
    le(0, 4);
    le(pixelStart, 4);
    le(40, 4);
    le(uint32_t(width), 4);
    le(uint32_t(height), 4);
    le(1, 2);
    le(uint32_t(bpp), 2);
    le(bpp == 8 ? 1 : 2, 4); // RLE8 or RLE4
    for (int i = 0; i < 5; ++i)
        le(0, 4);
    for (uint32_t i = 0; i < entries; ++i)
        le(i * 0x010101u, 4);        // a grey ramp
    bytes += std::string("\0\1", 2); // end of bitmap
    return bytes;
}

inline void WriteBytes(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace morvilo::test
