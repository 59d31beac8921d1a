// The picture layer: the dib record, DepthUpTo, our BMP reader, the Qt path and OpenDib.
// Fixtures and their expected colours are written by pictures/make_fixtures.py.

#include "../common/childprocess.h"
#include "../common/testfiles.h"
#include "relief/bmpreader.h"
#include "relief/dib.h"
#include "relief/grafikrw.h"
#include "relief/qtpicture.h"
#include "testpictures.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvilo {
namespace {

namespace fs = std::filesystem;

const std::string kPictures = std::string(MORVILO_TEST_DATA) + "/pictures/";

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb &) const = default;
};

std::ostream &operator<<(std::ostream &os, const Rgb &c) {
    return os << '(' << c.r << ',' << c.g << ',' << c.b << ')';
}

std::vector<uint8_t> ReadBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The colour at (x, y) of a 24-bit picture, y counted from the top row.
Rgb At(const dib &d, int x, int yFromTop) {
    const uint8_t *p = d.row(d.pmi.biHeight - 1 - yFromTop) + 3 * x;
    return {p[2], p[1], p[0]};
}

// What every successful load must hand over: a record whose rows are all there.
void ExpectWellFormed(const dib &d) {
    if (d.poi() == nullptr) {
        EXPECT_TRUE(d.pixels.empty());
        return;
    }
    const int bpp = d.pmi.biBitCount;
    EXPECT_TRUE(bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24) << bpp;
    EXPECT_GT(d.pmi.biWidth, 0);
    EXPECT_GT(d.pmi.biHeight, 0);
    EXPECT_EQ(d.bytew, DibRowBytes(d.pmi.biWidth, bpp));
    EXPECT_EQ(int64_t(d.pixels.size()), d.bytew * d.pmi.biHeight);
}

// Truncated and corrupt files make Qt's decoders complain on stderr; the tests expect that.
const QtMessageHandler kQtDefaultHandler =
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &m) {
        if (QByteArray(context.category).startsWith("qt.gui.imageio") || m.startsWith("libpng"))
            return;
        if (kQtDefaultHandler != nullptr)
            kQtDefaultHandler(type, context, m);
    });

// Lowers the pixel limit for one test and restores it.
class PixelLimit {
public:
    explicit PixelLimit(int64_t pixels) { SetDibPixelLimit(pixels); }
    ~PixelLimit() { SetDibPixelLimit(kDefaultDibPixelLimit); }
};

// ------------------------------------------------------------------ the dib record

TEST(Dib, RowsArePaddedTo32Bits) {
    struct Case {
        int64_t width;
        int bpp;
        int64_t bytes;
    };
    for (const Case c : {Case{1, 1, 4},
                         {32, 1, 4},
                         {33, 1, 8},
                         {3, 4, 4},
                         {9, 4, 8},
                         {3, 8, 4},
                         {5, 8, 8},
                         {5, 16, 12},
                         {3, 24, 12},
                         {4, 24, 12},
                         {1, 32, 4},
                         {0, 24, 0}})
        EXPECT_EQ(DibRowBytes(c.width, c.bpp), c.bytes) << c.width << " x " << c.bpp;
}

TEST(Dib, NewdibMakesBlankPicturesAndRefusesImpossibleOnes) {
    dib d;
    newdib(d, 5, 2, 24);
    ASSERT_TRUE(d.poih);
    EXPECT_EQ(d.bytew, 16);
    EXPECT_EQ(d.pixels, std::vector<uint8_t>(32, 0));

    newdib(d, 3, 3, 8);
    ASSERT_TRUE(d.poih);
    EXPECT_EQ(d.pmi.biBitCount, 8);
    EXPECT_EQ(d.pixels.size(), 12u);
    EXPECT_EQ(d.pal.rgb0[0].red, 0);
    EXPECT_EQ(d.pal.rgb0[255].blue, 255);

    struct Case {
        int32_t width, height;
        int bpp;
    };
    PixelLimit limit(100);
    for (const Case c : {Case{0, 1, 24},
                         {1, 0, 24},
                         {-1, 4, 8},
                         {4, -1, 8},
                         {2, 2, 7},
                         {2, 2, 2},
                         {2, 2, 0},
                         {11, 10, 24},
                         {INT32_MAX, INT32_MAX, 1}}) {
        newdib(d, 4, 4, 8); // an old picture must not survive a failed creation
        newdib(d, c.width, c.height, c.bpp);
        EXPECT_FALSE(d.poih) << c.width << " x " << c.height << " x " << c.bpp;
        EXPECT_EQ(d.poi(), nullptr);
    }
    newdib(d, 10, 10, 24);
    EXPECT_TRUE(d.poih) << "exactly at the limit";
}

TEST(Dib, PixelAccessUsesTheColourReferenceLayout) {
    dib d;
    newdib(d, 3, 2, 24);
    setpixel(d, 1, 1, 0x00332211); // red 0x11, green 0x22, blue 0x33
    const uint8_t *p = d.row(1) + 3;
    EXPECT_EQ(p[0], 0x33);
    EXPECT_EQ(p[1], 0x22);
    EXPECT_EQ(p[2], 0x11);
    EXPECT_EQ(getpixel(d, 1, 1), 0x00332211u);

    const std::vector<uint8_t> before = d.pixels;
    for (auto [x, y] : {std::pair{-1, 0}, {3, 0}, {0, 2}, {0, -1}}) {
        setpixel(d, x, y, 0xFFFFFF);
        EXPECT_EQ(getpixel(d, x, y), 0u);
    }
    EXPECT_EQ(d.pixels, before);

    // 1 bit: the leftmost pixel is the most significant bit.
    newdib(d, 10, 1, 1);
    setpixel(d, 0, 0, 1);
    setpixel(d, 9, 0, 1);
    EXPECT_EQ(d.pixels[0], 0x80);
    EXPECT_EQ(d.pixels[1], 0x40);
    EXPECT_EQ(getpixel(d, 9, 0), 1u);
    EXPECT_EQ(getpixel(d, 8, 0), 0u);
}

// ------------------------------------------------------------------ DepthUpTo

TEST(DepthUpTo, TwentyFourBitPictureIsLeftUntouched) {
    dib d;
    newdib(d, 3, 2, 24);
    for (size_t i = 0; i < d.pixels.size(); ++i)
        d.pixels[i] = uint8_t(i * 7);
    const uint8_t *memory = d.poi();
    const std::vector<uint8_t> bytes = d.pixels;
    DepthUpTo(d, 24);
    EXPECT_EQ(d.poi(), memory);
    EXPECT_EQ(d.pixels, bytes);
}

TEST(DepthUpTo, OneBitTakesPaletteEntriesZeroAndOne) {
    struct Case {
        PaletteEntry zero, one;
    };
    for (const Case c : {Case{{255, 255, 255, 0}, {0, 0, 0, 0}}, // white paper, black ink
                         Case{{250, 128, 10, 0}, {0, 90, 200, 0}}}) {
        dib d;
        newdib(d, 10, 2, 1);
        d.pal.rgb0[0] = c.zero;
        d.pal.rgb0[1] = c.one;
        d.pixels[0] = 0b10100000; // bottom row: x 0 and 2 set
        d.pixels[1] = 0b01000000; // bottom row: x 9 set
        d.row(1)[0] = 0b01000000; // top row: x 1 set
        DepthUpTo(d, 24);
        ASSERT_EQ(d.pmi.biBitCount, 24);
        const Rgb zero{c.zero.red, c.zero.green, c.zero.blue};
        const Rgb one{c.one.red, c.one.green, c.one.blue};
        for (int x = 0; x < 10; ++x) {
            const bool bottomSet = x == 0 || x == 2 || x == 9;
            EXPECT_EQ(At(d, x, 1), bottomSet ? one : zero) << "bottom row, x " << x;
            EXPECT_EQ(At(d, x, 0), x == 1 ? one : zero) << "top row, x " << x;
        }
    }
}

TEST(DepthUpTo, FourBitRowsHoldTwoPixelsPerByteHighNibbleFirst) {
    dib d;
    newdib(d, 3, 2, 4);
    for (int i = 0; i < 16; ++i)
        d.pal.rgb0[i] = {uint8_t(i), uint8_t(16 * i), uint8_t(255 - i), 0};
    d.row(0)[0] = 0x12; // pixels 0 and 1
    d.row(0)[1] = 0x3F; // pixel 2 in the high nibble; the low nibble is padding
    d.row(1)[0] = 0xAB;
    d.row(1)[1] = 0xC0;
    DepthUpTo(d, 24);
    ASSERT_EQ(d.pmi.biBitCount, 24);
    auto entry = [](int i) { return Rgb{i, 16 * i, 255 - i}; };
    EXPECT_EQ(At(d, 0, 1), entry(1));
    EXPECT_EQ(At(d, 1, 1), entry(2));
    EXPECT_EQ(At(d, 2, 1), entry(3));
    EXPECT_EQ(At(d, 0, 0), entry(0xA));
    EXPECT_EQ(At(d, 1, 0), entry(0xB));
    EXPECT_EQ(At(d, 2, 0), entry(0xC));
}

TEST(DepthUpTo, EightBitIndexesThePalette) {
    dib d;
    newdib(d, 2, 1, 8);
    d.pal.rgb0[200] = {1, 2, 3, 0};
    d.pal.rgb0[7] = {70, 80, 90, 0};
    d.pixels[0] = 200;
    d.pixels[1] = 7;
    DepthUpTo(d, 24);
    EXPECT_EQ(At(d, 0, 0), (Rgb{1, 2, 3}));
    EXPECT_EQ(At(d, 1, 0), (Rgb{70, 80, 90}));
}

TEST(DepthUpTo, SixteenBitIsFiveFiveFiveTimesEight) {
    struct Case {
        uint16_t word;
        Rgb colour;
    };
    const std::vector<Case> cases{{0x7FFF, {248, 248, 248}}, {0x8000, {0, 0, 0}},
                                  {0x7C00, {248, 0, 0}},     {0x03E0, {0, 248, 0}},
                                  {0x001F, {0, 0, 248}},     {0xFFFF, {248, 248, 248}},
                                  {0x0421, {8, 8, 8}},       {0x5294, {160, 160, 160}}};
    dib d;
    newdib(d, int32_t(cases.size()), 1, 16);
    for (size_t i = 0; i < cases.size(); ++i)
        setpixel(d, int32_t(i), 0, cases[i].word);
    DepthUpTo(d, 24);
    ASSERT_EQ(d.pmi.biBitCount, 24);
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(At(d, int(i), 0), cases[i].colour) << std::hex << cases[i].word;
}

TEST(DepthUpTo, KeepsRowOrder) {
    dib d;
    newdib(d, 1, 3, 8);
    d.pal.rgb0[1] = {255, 0, 0, 0};
    d.row(0)[0] = 1; // the bottom row
    DepthUpTo(d, 24);
    EXPECT_EQ(d.row(0)[2], 255);
    EXPECT_EQ(d.row(2)[2], 0);
}

TEST(DepthUpTo, LeavesOtherDepthsAndEmptyRecordsAlone) {
    dib d;
    newdib(d, 2, 2, 32);
    d.pixels[0] = 9;
    const std::vector<uint8_t> bytes = d.pixels;
    DepthUpTo(d, 24);
    EXPECT_EQ(d.pmi.biBitCount, 32);
    EXPECT_EQ(d.pixels, bytes);

    dib empty;
    DepthUpTo(empty, 24);
    EXPECT_EQ(empty.poi(), nullptr);

    // A hand-made record that claims more rows than it holds is not read.
    dib liar;
    newdib(liar, 4, 4, 8);
    liar.pmi.biHeight = 400;
    DepthUpTo(liar, 24);
    EXPECT_EQ(liar.pmi.biBitCount, 8);
}

TEST(DepthUpTo, FailedDestinationLeavesThePictureUnchanged) {
    dib d;
    newdib(d, 100, 100, 8);
    d.pixels[5] = 42;
    const std::vector<uint8_t> bytes = d.pixels;
    PixelLimit limit(100 * 100 - 1); // no room for the 24-bit copy
    DepthUpTo(d, 24);
    EXPECT_EQ(d.pmi.biBitCount, 8);
    EXPECT_EQ(d.pmi.biWidth, 100);
    EXPECT_EQ(d.pixels, bytes);
}

// ------------------------------------------------------------------ fixtures

struct Fixture {
    std::string name;
    bool mustFail = false;
    int bpp = 0, width = 0, height = 0, tolerance = 0;
    std::vector<Rgb> colours; // row by row from the top

    bool isBmp() const { return name.starts_with("bmp"); }
};

std::vector<Fixture> LoadExpectations() {
    std::vector<Fixture> fixtures;
    std::ifstream in(kPictures + "expected.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        Fixture f;
        std::string second;
        fields >> f.name >> second;
        if (second == "FAIL") {
            f.mustFail = true;
        } else {
            f.bpp = std::stoi(second);
            fields >> f.width >> f.height >> f.tolerance;
            std::string hex;
            while (fields >> hex) {
                const unsigned long v = std::stoul(hex, nullptr, 16);
                f.colours.push_back({int(v >> 16), int((v >> 8) & 0xFF), int(v & 0xFF)});
            }
        }
        fixtures.push_back(std::move(f));
    }
    return fixtures;
}

const std::vector<Fixture> &Fixtures() {
    static const std::vector<Fixture> fixtures = LoadExpectations();
    return fixtures;
}

void PrintTo(const Fixture &f, std::ostream *os) {
    *os << f.name;
}

std::string TestName(const testing::TestParamInfo<Fixture> &info) {
    std::string name = info.param.name;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
    return name;
}

class FixtureTest : public testing::TestWithParam<Fixture> {};

TEST_P(FixtureTest, DecodesToTheExpectedColours) {
    const Fixture &f = GetParam();
    dib d;
    OpenDib(d, kPictures + f.name, 0, 0);
    ExpectWellFormed(d);
    if (f.mustFail) {
        EXPECT_EQ(d.poi(), nullptr);
        return;
    }
    ASSERT_NE(d.poi(), nullptr);
    EXPECT_EQ(d.pmi.biBitCount, f.bpp) << "the depth as stored";
    ASSERT_EQ(DibBreit(d), f.width);
    ASSERT_EQ(DibHoch(d), f.height);
    ASSERT_EQ(f.colours.size(), size_t(f.width) * size_t(f.height));

    DepthUpTo(d, 24);
    ASSERT_EQ(d.pmi.biBitCount, 24);
    int wrong = 0;
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            const Rgb want = f.colours[size_t(y) * size_t(f.width) + size_t(x)];
            const Rgb got = At(d, x, y);
            const bool close = std::abs(got.r - want.r) <= f.tolerance &&
                               std::abs(got.g - want.g) <= f.tolerance &&
                               std::abs(got.b - want.b) <= f.tolerance;
            if (!close && ++wrong <= 5)
                ADD_FAILURE() << "(" << x << ", " << y << " from the top): " << got << ", expected "
                              << want;
        }
    EXPECT_EQ(wrong, 0);
}

// A file cut anywhere must never be read outside its bytes (the sanitizer builds watch that)
// and never hand over a broken record. A BMP that lost any of its pixel bytes is refused; the
// last row may only lose its padding, at most 3 bytes. Decoders of other formats may fill in
// what is missing, so for them only the record's shape is checked.
TEST_P(FixtureTest, TruncatedFileFailsCleanly) {
    const Fixture &f = GetParam();
    const std::vector<uint8_t> bytes = ReadBytes(kPictures + f.name);
    ASSERT_FALSE(bytes.empty());
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        // A copy of exactly `cut` bytes, so that AddressSanitizer sees any read beyond it.
        const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + std::ptrdiff_t(cut));
        dib d;
        OpenDibFromMemory(d, part.data(), part.size());
        ExpectWellFormed(d);
        if (f.isBmp() && cut + 3 < bytes.size()) {
            EXPECT_EQ(d.poi(), nullptr) << f.name << " cut to " << cut << " bytes";
        }
        DepthUpTo(d, 24);
        ExpectWellFormed(d);
        if (HasFailure())
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(Pictures, FixtureTest, testing::ValuesIn(Fixtures()), TestName);

// ------------------------------------------------------------------ BMP header oddities

// Writes a little-endian value into a copy of a fixture.
std::vector<uint8_t> Patched(const std::string &name, size_t offset, uint32_t value, int width) {
    std::vector<uint8_t> bytes = ReadBytes(kPictures + name);
    for (int i = 0; i < width; ++i)
        bytes.at(offset + size_t(i)) = uint8_t(value >> (8 * i));
    return bytes;
}

struct Patch {
    const char *what;
    const char *file;
    size_t offset;
    uint32_t value;
    int width; // bytes
};

// Offsets: 10 pixel offset, 14 header size, 18 width, 22 height, 26 planes, 28 bits per
// pixel, 30 compression, 46 colours used.
TEST(BmpReader, RefusesCorruptOrUnsupportedHeaders) {
    const Patch patches[] = {
        {"width 0", "bmp24.bmp", 18, 0, 4},
        {"negative width", "bmp24.bmp", 18, uint32_t(-11), 4},
        {"height 0", "bmp24.bmp", 22, 0, 4},
        {"height INT32_MIN", "bmp24.bmp", 22, 0x80000000u, 4},
        {"one row more than stored", "bmp24.bmp", 22, 5, 4},
        {"2 bits per pixel", "bmp24.bmp", 28, 2, 2},
        {"7 bits per pixel", "bmp24.bmp", 28, 7, 2},
        {"64 bits per pixel", "bmp24.bmp", 28, 64, 2},
        {"embedded JPEG", "bmp24.bmp", 30, 4, 4},
        {"embedded PNG", "bmp24.bmp", 30, 5, 4},
        {"unknown compression", "bmp24.bmp", 30, 0xFFFFFFFFu, 4},
        {"RLE8 on 24 bits", "bmp24.bmp", 30, 1, 4},
        {"bit fields on 24 bits", "bmp24.bmp", 30, 3, 4},
        {"header size 41", "bmp24.bmp", 14, 41, 4},
        {"header size 64 (OS/2 2.x)", "bmp24.bmp", 14, 64, 4},
        {"header size beyond the file", "bmp24.bmp", 14, 0xFFFFFFF0u, 4},
        {"pixel offset beyond the file", "bmp24.bmp", 10, 0xFFFFFF00u, 4},
        {"pixel offset into the last row", "bmp24.bmp", 10, 60, 4},
        {"width times height beyond any memory", "bmp32.bmp", 18, 0x7FFFFFFF, 4},
        {"core header with 16 bits per pixel", "bmp1-core.bmp", 24, 16, 2},
        {"RLE4 with 8 bits per pixel", "bmp4-rle.bmp", 28, 8, 2},
        {"top-down RLE", "bmp8-rle.bmp", 22, uint32_t(-4), 4},
        {"signature BA", "bmp24.bmp", 1, 'A', 1},
    };
    for (const Patch &p : patches) {
        const std::vector<uint8_t> bytes = Patched(p.file, p.offset, p.value, p.width);
        dib d;
        OpenDibFromMemory(d, bytes.data(), bytes.size());
        EXPECT_EQ(d.poi(), nullptr) << p.what;
        ExpectWellFormed(d);
    }
}

TEST(BmpReader, ToleratesHarmlessOddities) {
    const Patch patches[] = {
        {"planes 0", "bmp24.bmp", 26, 0, 2},
        {"pixel offset 0 (right behind the palette)", "bmp8-clrused.bmp", 10, 0, 4},
        {"more colours used than the depth allows", "bmp8-clrused.bmp", 46, 1000, 4},
        {"file size field wrong", "bmp4.bmp", 2, 7, 4},
        {"image size field wrong", "bmp8-rle.bmp", 34, 3, 4},
    };
    for (const Patch &p : patches) {
        const std::vector<uint8_t> original = ReadBytes(kPictures + p.file);
        const std::vector<uint8_t> bytes = Patched(p.file, p.offset, p.value, p.width);
        dib want, got;
        OpenDibFromMemory(want, original.data(), original.size());
        OpenDibFromMemory(got, bytes.data(), bytes.size());
        ASSERT_NE(got.poi(), nullptr) << p.what;
        DepthUpTo(want, 24);
        DepthUpTo(got, 24);
        EXPECT_EQ(got.pixels, want.pixels) << p.what;
    }

    // The last row without its padding still holds all its pixels.
    std::vector<uint8_t> bytes = ReadBytes(kPictures + "bmp24.bmp");
    dib want, got;
    OpenDibFromMemory(want, bytes.data(), bytes.size());
    bytes.resize(bytes.size() - 3);
    OpenDibFromMemory(got, bytes.data(), bytes.size());
    ASSERT_NE(got.poi(), nullptr);
    EXPECT_EQ(got.pixels, want.pixels);

    // Bit fields whose masks are all zero mean the usual layout, here 5-5-5.
    bytes = ReadBytes(kPictures + "bmp16-555-v3.bmp");
    OpenDibFromMemory(want, bytes.data(), bytes.size());
    std::fill(bytes.begin() + 54, bytes.begin() + 66, 0);
    OpenDibFromMemory(got, bytes.data(), bytes.size());
    ASSERT_NE(got.poi(), nullptr);
    EXPECT_EQ(got.pmi.biBitCount, 16);
    EXPECT_EQ(got.pixels, want.pixels);
}

TEST(BmpReader, PaletteEntriesMissingFromTheFileAreBlack) {
    // An 8-bit picture whose pixel offset leaves room for 3 palette entries only.
    std::vector<uint8_t> bytes = Patched("bmp8-clrused.bmp", 46, 0, 4); // all 256 would do
    const std::vector<uint8_t> palette3(bytes.begin() + 54, bytes.begin() + 54 + 12);
    std::vector<uint8_t> file(bytes.begin(), bytes.begin() + 54);
    file.insert(file.end(), palette3.begin(), palette3.end());
    file.insert(file.end(), bytes.begin() + 54 + 20 * 4, bytes.end());
    const uint32_t offBits = 54 + 12;
    for (int i = 0; i < 4; ++i)
        file[10 + size_t(i)] = uint8_t(offBits >> (8 * i));
    dib d;
    ASSERT_TRUE(ReadBmp(d, file.data(), file.size()));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(d.pal.rgb0[i].red, bytes[54 + 4 * size_t(i) + 2]);
    for (int i = 3; i < 256; ++i) {
        const PaletteEntry &e = d.pal.rgb0[i];
        EXPECT_EQ(e.red | e.green | e.blue, 0) << "entry " << i;
    }
}

TEST(BmpReader, ObeysThePixelLimitBeforeAllocating) {
    for (const char *name : {"bmp24.bmp", "bmp8-rle.bmp", "png-rgb.png", "gif-palette.gif"}) {
        const std::vector<uint8_t> bytes = ReadBytes(kPictures + name);
        dib d;
        {
            PixelLimit limit(11 * 4 - 1);
            OpenDibFromMemory(d, bytes.data(), bytes.size());
            EXPECT_EQ(d.poi(), nullptr) << name;
        }
        PixelLimit limit(11 * 4);
        OpenDibFromMemory(d, bytes.data(), bytes.size());
        EXPECT_NE(d.poi(), nullptr) << name;
    }
}

// ------------------------------------------------------------------ Qt images

dib Converted(const QImage &image) {
    dib d;
    EXPECT_TRUE(DibFromQImage(d, image));
    return d;
}

TEST(QtPicture, TransparencyIsLaidOverWhite) {
    QImage straight(4, 1, QImage::Format_ARGB32);
    straight.setPixel(0, 0, qRgba(200, 100, 0, 255));
    straight.setPixel(1, 0, qRgba(200, 100, 0, 0));
    straight.setPixel(2, 0, qRgba(200, 100, 0, 128));
    straight.setPixel(3, 0, qRgba(0, 0, 0, 51));
    for (const QImage::Format format : {QImage::Format_ARGB32, QImage::Format_ARGB32_Premultiplied,
                                        QImage::Format_RGBA8888, QImage::Format_RGBA64}) {
        dib d = Converted(straight.convertToFormat(format));
        ASSERT_EQ(d.pmi.biBitCount, 24) << format;
        EXPECT_EQ(At(d, 0, 0), (Rgb{200, 100, 0})) << format;
        EXPECT_EQ(At(d, 1, 0), (Rgb{255, 255, 255})) << format;
        const Rgb half = At(d, 2, 0); // 200 * 128/255 + 127, 100 * 128/255 + 127, 127
        EXPECT_NEAR(half.r, 227, 1) << format;
        EXPECT_NEAR(half.g, 177, 1) << format;
        EXPECT_NEAR(half.b, 127, 1) << format;
        EXPECT_EQ(At(d, 3, 0), (Rgb{204, 204, 204})) << format;
    }

    // Palette pictures: the table's alpha is laid over white, the depth stays.
    QImage indexed(2, 1, QImage::Format_Indexed8);
    indexed.setColorTable({qRgba(10, 20, 30, 255), qRgba(10, 20, 30, 0)});
    indexed.setPixel(0, 0, 0);
    indexed.setPixel(1, 0, 1);
    dib d = Converted(indexed);
    EXPECT_EQ(d.pmi.biBitCount, 8);
    DepthUpTo(d, 24);
    EXPECT_EQ(At(d, 0, 0), (Rgb{10, 20, 30}));
    EXPECT_EQ(At(d, 1, 0), (Rgb{255, 255, 255}));
}

TEST(QtPicture, KeepsDepthByFormatAndStoresRowsBottomUp) {
    struct Case {
        QImage::Format format;
        int bpp;
    };
    for (const Case c : {Case{QImage::Format_Mono, 1},
                         {QImage::Format_MonoLSB, 1},
                         {QImage::Format_Indexed8, 8},
                         {QImage::Format_Grayscale8, 8},
                         {QImage::Format_Grayscale16, 8},
                         {QImage::Format_RGB32, 24},
                         {QImage::Format_RGB16, 24},
                         {QImage::Format_RGBA64, 24},
                         {QImage::Format_RGB888, 24}}) {
        // Black picture with one white pixel in the top row, near the right end.
        QImage image(9, 2, c.format);
        if (c.format == QImage::Format_Mono || c.format == QImage::Format_MonoLSB ||
            c.format == QImage::Format_Indexed8) {
            image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
            image.fill(0);
            image.setPixel(8, 0, 1);
        } else {
            image.fill(Qt::black);
            image.setPixelColor(8, 0, Qt::white);
        }
        dib d = Converted(image);
        EXPECT_EQ(d.pmi.biBitCount, c.bpp) << c.format;
        DepthUpTo(d, 24);
        ASSERT_EQ(d.pmi.biBitCount, 24);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 9; ++x) {
                const int v = x == 8 && y == 0 ? 255 : 0;
                EXPECT_EQ(At(d, x, y), (Rgb{v, v, v})) << c.format << " at " << x << "," << y;
            }
    }
}

// ------------------------------------------------------------------ OpenDib and the filter

TEST(OpenDib, FailsCleanlyOnWhatIsNoPictureFile) {
    char pattern[] = "/tmp/morvilo-picture-XXXXXX";
    const char *dir = mkdtemp(pattern);
    ASSERT_NE(dir, nullptr);
    const std::string folder = dir;
    std::ofstream(folder + "/empty.png").close();
    std::ofstream(folder + "/text.bmp") << "BM but not a bitmap";
    std::ofstream(folder + "/noise.jpg") << "\xFF\xD8\xFF\xE0 and then nothing";
    ASSERT_EQ(mkfifo((folder + "/fifo.bmp").c_str(), 0600), 0);

    for (const char *name : {"missing.bmp", "", "empty.png", "text.bmp", "noise.jpg", "fifo.bmp"}) {
        dib d;
        newdib(d, 2, 2, 24); // the record is refilled, not left with an older picture
        OpenDib(d, folder + "/" + name, 0, 0);
        EXPECT_EQ(d.poi(), nullptr) << "'" << name << "'";
    }
    dib d;
    OpenDib(d, "", 0, 0);
    EXPECT_EQ(d.poi(), nullptr);
    fs::remove_all(folder);
}

// Decompression bombs: a few hundred bytes announce a picture beyond the pixel limit (16385 x
// 16385 > 2^28 pixels). The header is read and checked before the body: the picture is refused,
// with the size it announced, before its memory is taken.
TEST(OpenPicture, PicturesBeyondThePixelLimitAreRefusedBeforeTheirMemoryIsTaken) {
    test::ScratchFolder scratch;
    const std::pair<std::string, std::string> files[] = {
        {"rle8.bmp", test::RleBmp(16385, 16385, 8)},
        {"rle4.bmp", test::RleBmp(16385, 16385, 4)},
        {"portable.ppm", "P6\n16385 16385\n255\n" + std::string(300, '\x7F')},
    };
    for (const auto &[name, bytes] : files) {
        const std::string path = scratch / name;
        test::WriteBytes(path, bytes);
        const std::string problems = test::InChildProcess([&] {
            const uint64_t before = test::PeakMemory();
            dib d;
            const PictureLoad load = OpenPicture(d, path);
            const uint64_t grown = test::PeakMemory() - before;
            std::string wrong;
            if (d.poi() != nullptr)
                wrong += "loaded; ";
            if (load.refusal != PictureRefusal::TooManyPixels)
                wrong += "not refused for its size; ";
            if (load.width != 16385 || load.height != 16385)
                wrong += "the size is not told; ";
            if (grown > (uint64_t(32) << 20))
                wrong += "took " + std::to_string(grown >> 20) + " MiB; ";
            return wrong;
        });
        EXPECT_EQ(problems, "") << name;
    }
}

// A picture within the pixel limit that does not fit the memory left (here an address space
// of 256 MiB more than the process uses) is refused before its memory is taken, saying how
// much it would need: 100 MB for the 8-bit picture and 300 MB for its raise to 24 bits.
TEST(OpenPicture, APictureBeyondTheMemoryLeftIsRefusedWithItsSize) {
    test::ScratchFolder scratch;
    const std::string path = scratch / "large.bmp";
    test::WriteBytes(path, test::RleBmp(10000, 10000, 8));
    const std::string problems = test::InChildProcess([&] {
        if (!test::LimitAddressSpace(uint64_t(256) << 20))
            return std::string("skip: no address-space limit");
        dib d;
        const PictureLoad load = OpenPicture(d, path);
        std::string wrong;
        if (d.poi() != nullptr || load.refusal != PictureRefusal::NotEnoughMemory)
            wrong += "not refused for want of memory; ";
        if (load.memoryNeeded < 400000000 || load.memoryNeeded > 401000000 ||
            load.memoryAvailable > (uint64_t(256) << 20))
            wrong += "wrong sizes: " + std::to_string(load.memoryNeeded) + " needed, " +
                     std::to_string(load.memoryAvailable) + " available; ";
        return wrong;
    });
    if (problems.rfind("skip: ", 0) == 0)
        GTEST_SKIP() << problems;
    EXPECT_EQ(problems, "");
}

// The bytes this process has read so far (rchar of /proc/self/io).
std::optional<uint64_t> BytesRead() {
    std::ifstream in("/proc/self/io");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("rchar:", 0) == 0)
            return std::stoull(line.substr(6));
    return std::nullopt;
}

// A large file is never read whole to find out what it holds: its first bytes decide, and no
// more of it is read than its picture needs. The large files are sparse: they take no disk.
TEST(OpenPicture, ReadsNoMoreOfAFileThanItsPictureNeeds) {
    if (!BytesRead())
        GTEST_SKIP() << "no /proc/self/io";
    test::ScratchFolder scratch;
    const uint64_t large = uint64_t(64) << 20;
    const std::vector<uint8_t> fixture = ReadBytes(kPictures + "bmp24.bmp");
    struct Case {
        const char *name;
        std::vector<uint8_t> start; // the rest of the file is zeros
        bool picture;
    } cases[] = {
        {"zeros.bmp", {}, false},
        {"zeros.png", {}, false},
        {"bm-zeros.bmp", {'B', 'M'}, false},
        {"picture-and-zeros.bmp", fixture, true},
    };
    for (const Case &c : cases) {
        const std::string path = scratch / c.name;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, c.start.data(), c.start.size()), ssize_t(c.start.size()));
        ASSERT_EQ(::ftruncate(fd, off_t(large)), 0);
        ::close(fd);
        const uint64_t before = *BytesRead();
        dib d;
        OpenDib(d, path, 0, 0);
        const uint64_t read = *BytesRead() - before;
        EXPECT_LT(read, uint64_t(1) << 20) << c.name;
        EXPECT_EQ(d.poi() != nullptr, c.picture) << c.name;
        if (c.picture) {
            dib whole;
            OpenDibFromMemory(whole, fixture.data(), fixture.size());
            EXPECT_EQ(d.pixels, whole.pixels);
        }
    }
}

TEST(GetDIBOpenFilter, ListsEveryReadableFormatOnce) {
    const std::string filter = GetDIBOpenFilter();
    std::vector<std::string> patterns;
    std::stringstream parts(filter);
    for (std::string part; std::getline(parts, part, ';');)
        patterns.push_back(part);
    ASSERT_GE(patterns.size(), 2u);
    EXPECT_EQ(patterns[0], "*.bmp");
    EXPECT_EQ(patterns[1], "*.dib");
    EXPECT_EQ(std::set<std::string>(patterns.begin(), patterns.end()).size(), patterns.size())
        << filter;
    for (const std::string &p : patterns) {
        EXPECT_TRUE(p.starts_with("*.") && p.size() > 2) << p;
        EXPECT_TRUE(std::none_of(p.begin(), p.end(), [](char c) { return std::isupper(c); })) << p;
    }
    // jpg and gif come from plugins: found without a QCoreApplication, as in this program.
    for (const char *p : {"*.png", "*.jpg", "*.jpeg", "*.gif", "*.ppm"})
        EXPECT_NE(std::find(patterns.begin(), patterns.end(), p), patterns.end()) << p;
}

} // namespace
} // namespace morvilo
