// The strategy "Fläche": the target surface, the drop cutter against a brute-force reference,
// the merging within the tolerance, and the programs on a tiny picture (golden files).

#include "relief/dropcutter.h"
#include "relief/surfacepath.h"
#include "relief/surfacerelief.h"

#include "../common/testfiles.h"
#include "testpictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <random>
#include <sstream>

namespace morvilo {
namespace {

using test::Grey;
using test::MakePicture24;
using test::ReadFile;
using test::Rgb;
using test::WriteFile;
namespace fs = std::filesystem;

const std::string kTestData = MORVILO_TEST_DATA;

// The tip height of tool over the grid at (u, v), by sampling its disc densely.
double bruteDrop(const HeightGrid &grid, const MillingTool &tool, double u, double v,
                 double erosion = 0) {
    const double radius = tool.Radius(), step = radius / 150;
    double best = -INFINITY;
    for (double dv = -radius; dv <= radius + 1e-12; dv += step)
        for (double du = -radius; du <= radius + 1e-12; du += step) {
            const double r = std::hypot(du, dv);
            if (r > radius)
                continue;
            double h = grid.Height(u + du, v + dv);
            if (erosion > 0) {
                // The lowest height within the square of half-size erosion: at the corners of
                // its bilinear pieces.
                std::vector<double> us{u + du - erosion, u + du + erosion};
                std::vector<double> vs{v + dv - erosion, v + dv + erosion};
                for (int c = 0; c < grid.columns; ++c)
                    if (c * grid.pitch > us[0] && c * grid.pitch < us[1])
                        us.push_back(c * grid.pitch);
                for (int c = 0; c < grid.rows; ++c)
                    if (c * grid.pitch > vs[0] && c * grid.pitch < vs[1])
                        vs.push_back(c * grid.pitch);
                for (double a : us)
                    for (double b : vs)
                        h = std::min(h, grid.Height(a, b));
            }
            best = std::max(best, h - ToolOffset(tool, r));
        }
    if (erosion == 0)
        for (int k = 0; k < 4000; ++k) { // the rim
            const double angle = k * 2 * std::numbers::pi / 4000;
            best = std::max(
                best, grid.Height(u + radius * std::cos(angle), v + radius * std::sin(angle)) -
                          ToolOffset(tool, radius));
        }
    return best;
}

HeightGrid randomGrid(std::mt19937 &random, int columns, int rows, bool walls) {
    HeightGrid grid;
    grid.columns = columns;
    grid.rows = rows;
    grid.pitch = 0.25;
    std::uniform_real_distribution<double> any(-1, 0);
    std::bernoulli_distribution wall(0.5);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            grid.heights.push_back(
                walls ? (wall(random) ? 0.0f : -1.0f)
                      : float(-0.5 + 0.3 * std::sin(c * 0.7 + 0.3 * r) * std::cos(r * 0.5)));
    (void)any;
    return grid;
}

const MillingTool kTools[] = {
    {ToolShape::Flat, 1.0, 90},
    {ToolShape::Ball, 1.0, 90},
    {ToolShape::VBit, 1.0, 90},
};
// Tools whose radius is no whole number of lattice steps (9.4 on the grids below): the rim
// lies between lattice columns.
const MillingTool kOddTools[] = {
    {ToolShape::Flat, 0.94, 90},
    {ToolShape::Ball, 0.94, 90},
    {ToolShape::VBit, 0.94, 60},
};

// Against the densely sampled disc and rim: never above the real contact (the tool is placed
// on points of the surface), on walls never lower than the contact with the lowest surface
// within one lattice step, on a smooth surface within a fifth of the usual tolerance. Rows and
// single positions agree. Positions run beyond the picture's border.
TEST(DropCutter, MatchesBruteForceForEveryShape) {
    std::mt19937 random(7);
    for (const bool walls : {true, false}) {
        const HeightGrid grid = randomGrid(random, 7, 6, walls);
        std::vector<MillingTool> tools(std::begin(kTools), std::end(kTools));
        tools.insert(tools.end(), std::begin(kOddTools), std::end(kOddTools));
        for (const MillingTool &tool : tools) {
            // The odd tools at fewer positions: the brute force is slow.
            const int64_t stride = tool.diameter == 1.0 ? 2 : 5;
            SCOPED_TRACE(ToolText(tool) + (walls ? " walls" : " smooth"));
            const DropCutter cutter(grid, tool, DropCutter::SubdivisionsFor(grid.pitch, tool));
            std::vector<float> row(size_t(cutter.RowSamples()));
            for (const double v : {-0.3, 0.0, 0.41, 0.7, 1.25, 1.33}) {
                cutter.Row(v, row.data());
                for (int64_t k = 0; k < cutter.RowSamples(); k += stride) {
                    const double u = double(k) * cutter.Step();
                    const double mine = row[size_t(k)];
                    EXPECT_NEAR(mine, cutter.At(u, v), 1e-5);
                    const double exact = bruteDrop(grid, tool, u, v);
                    // The dense sampling itself misses up to the slope times its spacing
                    // (4 x 0.0033 on the walls).
                    EXPECT_LE(mine, exact + (walls ? 0.015 : 1e-3)) << u << " " << v;
                    if (walls)
                        EXPECT_GE(mine, bruteDrop(grid, tool, u, v, cutter.Step()) - 1e-4)
                            << u << " " << v;
                    else
                        EXPECT_GE(mine, exact - 2e-3) << u << " " << v;
                }
            }
        }
    }
}

// Rows placed 8 positions at a time give the very same heights as 4 at a time (where the
// processor has AVX2; elsewhere both are the narrow way): walls, smooth surfaces, every shape,
// rows on and between the lattice and pixel rows, rows of several tiles.
TEST(DropCutter, SameHeightsAtEitherVectorWidth) {
    std::mt19937 random(11);
    const bool wide = DropCutter::UseWideVectors(true);
    for (const bool walls : {true, false}) {
        const HeightGrid grid = randomGrid(random, 290, 9, walls);
        std::vector<MillingTool> tools(std::begin(kTools), std::end(kTools));
        tools.insert(tools.end(), std::begin(kOddTools), std::end(kOddTools));
        tools.push_back({ToolShape::Ball, 0.3, 90});
        for (const MillingTool &tool : tools) {
            SCOPED_TRACE(ToolText(tool) + (walls ? " walls" : " smooth"));
            const DropCutter cutter(grid, tool, DropCutter::SubdivisionsFor(grid.pitch, tool));
            ASSERT_GT(cutter.RowSamples(), 1024);
            std::vector<float> narrow(size_t(cutter.RowSamples())), broad(narrow.size());
            for (const double v : {-0.3, 0.0, 0.41, 0.5, 1.0 / 3, 1.25, 2.0}) {
                DropCutter::UseWideVectors(false);
                cutter.Row(v, narrow.data());
                DropCutter::UseWideVectors(true);
                cutter.Row(v, broad.data());
                for (size_t k = 0; k < narrow.size(); ++k)
                    ASSERT_EQ(narrow[k], broad[k]) << k << " " << v;
            }
        }
    }
    DropCutter::UseWideVectors(wide);
}

// The tool beside a single raised cell: a flat tool rests on it as soon as its disc reaches
// the cell's centre, a ball or V-bit by its shape.
TEST(DropCutter, ReachesOverAPeak) {
    HeightGrid grid;
    grid.columns = grid.rows = 5;
    grid.pitch = 1;
    grid.heights.assign(25, -2.0f);
    grid.heights[12] = 0; // the centre (2, 2)
    for (const MillingTool &tool : kTools) {
        const DropCutter cutter(grid, tool, 4);
        // 0.25 beside the peak along v: the disc reaches its centre.
        const double beside = cutter.At(2, 2.25);
        EXPECT_NEAR(beside, -ToolOffset(tool, 0.25), 1e-6) << ToolText(tool);
        EXPECT_NEAR(cutter.At(2, 2), 0, 1e-6);
    }
}

// The height of the merged path's piece j (from kept j - 1 to kept j) at position k, positions
// step apart.
double pieceHeight(const PathRow &row, size_t j, double k, double step) {
    const double au = row.kept[j - 1] * step, az = row.heights[j - 1];
    const double bu = row.kept[j] * step, bz = row.heights[j];
    const double u = k * step, bulge = row.bulges[j];
    if (bulge == 0)
        return az + (bz - az) * (u - au) / (bu - au);
    // The centre on the chord's perpendicular through its middle, to the right of a bulge to
    // the left.
    const double chord = std::hypot(bu - au, bz - az), half = chord / 2, sagitta = bulge * half;
    const double offset = (sagitta * sagitta - half * half) / (2 * sagitta);
    const double cu = (au + bu) / 2 - (bz - az) / chord * offset;
    const double cz = (az + bz) / 2 + (bu - au) / chord * offset;
    const double radius = std::hypot(au - cu, az - cz);
    const double rise = std::sqrt(std::max(0.0, radius * radius - (u - cu) * (u - cu)));
    return bulge > 0 ? cz + rise : cz - rise;
}

// Straight moves alone and with arcs: every position lies within the band around the path
// (up to the tolerance below it, half of it above), the ends are kept, and arcs merge a
// curve's moves further.
TEST(MergePath, KeepsEveryPositionWithinTheTolerance) {
    std::vector<float> heights;
    for (int k = 0; k < 400; ++k)
        heights.push_back(float(std::sin(k * 0.05) + (k > 200 && k < 210 ? -0.5 : 0)));
    const double tolerance = 0.01, step = 0.05;
    size_t lines = 0;
    for (const double arcStep : {0.0, step}) {
        SCOPED_TRACE(arcStep);
        PathRow row;
        MergePath(heights.data(), 0, int64_t(heights.size()), tolerance, row, arcStep);
        ASSERT_EQ(row.kept.front(), 0);
        ASSERT_EQ(row.kept.back(), 399);
        ASSERT_EQ(row.heights.size(), row.kept.size());
        ASSERT_EQ(row.bulges.size(), row.kept.size());
        EXPECT_LT(row.kept.size(), heights.size() / 6);
        EXPECT_EQ(row.heights.front(), heights.front());
        int arcs = 0;
        for (size_t j = 1; j < row.kept.size(); ++j) {
            arcs += row.bulges[j] != 0;
            if (arcStep == 0) {
                ASSERT_EQ(row.bulges[j], 0);
            }
            for (int k = row.kept[j - 1]; k <= row.kept[j]; ++k) {
                const double path = pieceHeight(row, j, k, step);
                EXPECT_GE(path, heights[size_t(k)] - tolerance / 2 - 1e-6) << k;
                EXPECT_LE(path, heights[size_t(k)] + tolerance + 1e-6) << k;
            }
        }
        if (arcStep == 0) {
            lines = row.kept.size();
        } else {
            EXPECT_GT(arcs, 3);
            EXPECT_LT(row.kept.size(), lines * 3 / 4);
        }
    }
}

ReliefParameters surfaceParameters(const std::string &profile = "plain") {
    ReliefParameters p;
    p.strategy = ReliefStrategy::Surface;
    p.width = 5;
    p.abstandfr = 1;
    p.sicher = 5;
    p.zstart = 0;
    p.tiefe = -1;
    p.nach = 3;
    p.date = "2024-01-02";
    for (const MachineProfile &built : BuiltInProfiles())
        if (built.cliName == profile)
            p.profile = built;
    return p;
}

// The tool text shared by the relief and the machining preview: read back as written, bad
// texts refused.
TEST(ToolText, ReadsWhatItWritesAndRefusesTheRest) {
    for (const MillingTool &tool : kTools)
        EXPECT_EQ(ParseTool(ToolText(tool)), tool) << ToolText(tool);
    EXPECT_EQ(ToolText({ToolShape::VBit, 0.5, 60}), "vbit:0.5:60");
    for (const char *bad : {"", "ball", "ball:", "ball:0", "ball:-1", "flat:1:2", "vbit:1",
                            "vbit:1:180", "cone:1", "ball:1e999", "ball:nan", "ball:1,5"})
        EXPECT_FALSE(ParseTool(bad).has_value()) << bad;
}

// The range divides by (max - min): a picture whose darkest pixel is grey 50 reaches Z start
// there and the full depth at its brightest; inverted, the brightest stays at Z start. Equal
// pixels map to 0; without the range the grey value counts as it is.
TEST(TargetSurface, BrightnessRangeSpansTheWholeDepth) {
    const dib picture = MakePicture24({{Grey(50), Grey(100)}, {Grey(200), Grey(150)}});
    ReliefParameters p = surfaceParameters();
    p.width = 2;
    TargetSurface s = ComputeTargetSurface(p, picture);
    ASSERT_EQ(s.columns, 2);
    ASSERT_EQ(s.rows, 2);
    EXPECT_DOUBLE_EQ(s.pitch, 2);
    EXPECT_FLOAT_EQ(float(s.Z(0, 0)), 0);
    EXPECT_FLOAT_EQ(float(s.Z(0, 1)), -1);
    EXPECT_NEAR(s.Z(1, 0), -50.0 / 150, 1e-6);
    p.invert = true;
    s = ComputeTargetSurface(p, picture);
    EXPECT_FLOAT_EQ(float(s.Z(0, 0)), -1);
    EXPECT_FLOAT_EQ(float(s.Z(0, 1)), 0);
    p.invert = false;
    p.brightnessRange = false;
    s = ComputeTargetSurface(p, picture);
    EXPECT_NEAR(s.Z(0, 1), -200.0 / 255, 1e-6);
    p.brightnessRange = true;
    s = ComputeTargetSurface(p, MakePicture24({{Grey(90), Grey(90)}}));
    EXPECT_EQ(s.Z(0, 0), 0);
    EXPECT_EQ(s.Z(1, 0), 0);
}

// The tiny picture of the golden files: 6 x 4, a bright square with a wall and a ramp.
dib tinyPicture() {
    std::vector<std::vector<Rgb>> rows;
    for (int r = 0; r < 4; ++r) {
        std::vector<Rgb> row;
        for (int c = 0; c < 6; ++c)
            row.push_back(Grey(uint8_t(c >= 2 && c <= 3 && r >= 1 && r <= 2 ? 255 : 40 * c)));
        rows.push_back(row);
    }
    return MakePicture24(rows);
}

// 30 x 20 pixels of a smooth wave.
dib wavePicture() {
    std::vector<std::vector<Rgb>> rows;
    for (int r = 0; r < 20; ++r) {
        std::vector<Rgb> row;
        for (int c = 0; c < 30; ++c)
            row.push_back(Grey(uint8_t(127 + 120 * std::sin(c * 0.3) * std::cos(r * 0.2))));
        rows.push_back(row);
    }
    return MakePicture24(rows);
}

std::string program(const ReliefParameters &p, const dib &picture) {
    test::ScratchFolder folder;
    const std::string path = (folder / "picture.bmp").string();
    test::WriteBmp24(path, picture);
    const ReliefResult result = GenerateReliefFile(p, path, (folder / "out.nc").string());
    EXPECT_EQ(result.status, ReliefStatus::Ok) << result.message;
    const ReliefResult measured = MeasureReliefFile(p, path);
    EXPECT_EQ(measured.bytes, result.bytes);
    EXPECT_GT(measured.estimate.seconds, 0);
    return ReadFile(folder / "out.nc");
}

// Each built-in profile, zigzag and one way, against its golden file
// (MORVILO_UPDATE_GOLDEN=1 rewrites them).
TEST(SurfaceProgram, MatchesGoldenFiles) {
    const dib picture = tinyPicture();
    for (const MachineProfile &profile : BuiltInProfiles())
        for (const bool oneWay : {false, true}) {
            ReliefParameters p = surfaceParameters(profile.cliName);
            p.surface.oneWay = oneWay;
            const std::string text = program(p, picture);
            const fs::path golden = kTestData + "/golden/surface-" + profile.cliName +
                                    (oneWay ? "-oneway" : "") + ".nc";
            if (std::getenv("MORVILO_UPDATE_GOLDEN"))
                WriteFile(golden, text);
            EXPECT_EQ(text, ReadFile(golden)) << golden;
        }
}

// Arcs in both planes after roughing in the same program (the wave picture, LinuxCNC), against
// its golden file: the spindle starts after each tool change only and stops before the second.
TEST(SurfaceProgram, MatchesGoldenFileWithArcsAndToolChanges) {
    ReliefParameters p = surfaceParameters("linuxcnc");
    p.width = 6;
    p.abstandfr = 0.5;
    p.surface.direction = RasterDirection::Both;
    p.surface.rough = true;
    p.surface.roughTool = {ToolShape::Flat, 2, 90};
    p.surface.stepdown = 0.5;
    const std::string text = program(p, wavePicture());
    const fs::path golden = kTestData + "/golden/surface-linuxcnc-arcs-rough.nc";
    if (std::getenv("MORVILO_UPDATE_GOLDEN"))
        WriteFile(golden, text);
    EXPECT_EQ(text, ReadFile(golden)) << golden;
}

// The spindle of a program starts once, or after each tool change, and stops before a change
// and at the end; without a spindle speed it is never started.
TEST(SurfaceProgram, SpindleStartsAfterEachToolChangeOnly) {
    const struct {
        bool rough;
        double spindle;
        std::vector<std::string> words; // the spindle's and the tool changes' lines, in order
    } cases[] = {
        {false, 10000, {"M3 S10000", "M5"}},
        {true, 10000, {"T1 M6", "M3 S10000", "M5", "T2 M6", "M3 S10000", "M5"}},
        {true, 0, {"T1 M6", "T2 M6", "M5"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.rough) + " " + std::to_string(c.spindle));
        ReliefParameters p = surfaceParameters("linuxcnc");
        p.profile.spindle = c.spindle;
        p.surface.rough = c.rough;
        p.surface.roughTool = {ToolShape::Flat, 2, 90};
        std::istringstream lines(program(p, tinyPicture()));
        std::vector<std::string> words;
        for (std::string line; std::getline(lines, line);)
            if (line.find('M') != std::string::npos && line != "M2")
                words.push_back(line);
        EXPECT_EQ(words, c.words);
    }
}

// A move of a program: to x, y, z; an arc (in the ZX plane here) with its centre.
struct Move {
    bool rapid;
    double x, y, z;
    bool arc = false;
    double centreX = NAN, centreZ = NAN;

    // The height of the way from the move before (at from) to here, at x.
    double ZAt(const Move &from, double x) const {
        if (!arc)
            return from.z + (z - from.z) * (x - from.x) / (this->x - from.x);
        const double radius = std::hypot(from.x - centreX, from.z - centreZ);
        const double rise =
            std::sqrt(std::max(0.0, radius * radius - (x - centreX) * (x - centreX)));
        return from.z >= centreZ ? centreZ + rise : centreZ - rise;
    }
};

// The moves of a program in the plain profile's form (modal G0/G1, axes left out).
std::vector<Move> movesOf(const std::string &text) {
    std::vector<Move> moves;
    std::istringstream in(text);
    std::string line;
    Move at{true, NAN, NAN, NAN};
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string word;
        bool any = false;
        const Move from = at;
        double i = 0, k = 0;
        while (words >> word) {
            const double value = std::atof(word.c_str() + 1);
            switch (word[0]) {
            case 'G':
                if (value <= 3) {
                    at.rapid = value == 0;
                    at.arc = value >= 2;
                }
                break;
            case 'I':
                i = value;
                break;
            case 'K':
                k = value;
                break;
            case 'X':
                at.x = value, any = true;
                break;
            case 'Y':
                at.y = value, any = true;
                break;
            case 'Z':
                at.z = value, any = true;
                break;
            }
        }
        at.centreX = from.x + i;
        at.centreZ = from.z + k;
        if (any)
            moves.push_back(at);
    }
    return moves;
}

// The writer's numbers are the profile's number text (ProfileNumber): rounded on the exact
// binary value with halves away from zero, trailing zeros left out, the point where the profile
// wants it, no "-0"; for every number of decimals and from the smallest values to huge ones.
TEST(SurfaceProgram, NumbersAsTheProfileWritesThem) {
    std::mt19937 random(5);
    std::vector<double> values = {0,      -0.0,    0.5,     -0.5,   0.00049999, -0.0005,
                                  0.0005, 1.00005, 2.5e-10, -3e-7,  123456.789, -99.9996,
                                  1e15,   -1e15,   4.5e18,  1.8e19, 1e30,       -7e300,
                                  1.25,   0.125,   0.0625,  1e-320, -1e-310,    9.999999999};
    std::uniform_real_distribution<double> unit(-1, 1);
    std::uniform_int_distribution<int> exponent(-12, 20);
    for (int k = 0; k < 3000; ++k)
        values.push_back(unit(random) * std::pow(10.0, exponent(random)));
    for (int k = 0; k < 500; ++k) // halves of the last decimal, exactly or nearly
        values.push_back((std::floor(unit(random) * 1e6) + 0.5) / std::pow(10.0, k % 10));
    test::ScratchFolder folder;
    for (const int decimals : {0, 1, 2, 3, 4, 6, 9, 10, 14})
        for (const bool point : {false, true}) {
            SCOPED_TRACE(std::to_string(decimals) + (point ? " point" : ""));
            ReliefParameters p = surfaceParameters("linuxcnc");
            p.profile.maxDecimals = 18;
            p.profile.decimalPoint = point;
            p.nach = decimals;
            const std::string path = (folder / "numbers.nc").string();
            std::vector<std::string> expected;
            {
                OutputFile out;
                ASSERT_TRUE(out.Open(path, OutputFile::Mode::Replace));
                GcodeWriter w(p, &out);
                w.Move(Motion::Cut, {7, 0, 0});
                for (const double value : values) {
                    // between two values a point whose X text differs from both
                    w.Move(Motion::Cut, {7, 0, 0});
                    w.Move(Motion::Cut, {value, 0, 0});
                    const std::string text = ProfileNumber(value, p.profile, decimals);
                    if (text != ProfileNumber(7, p.profile, decimals))
                        expected.push_back("X" + text);
                }
                ASSERT_TRUE(out.Commit());
            }
            std::istringstream lines(ReadFile(path));
            std::string line;
            std::vector<std::string> written;
            while (std::getline(lines, line))
                if (line != "X" + ProfileNumber(7, p.profile, decimals))
                    written.push_back(line);
            ASSERT_EQ(written.size(), expected.size() + 1);
            for (size_t k = 0; k < expected.size(); ++k)
                ASSERT_EQ(written[k + 1], expected[k]);
        }
}

// The raster on the tiny picture (pitch 1, rows every 0.7): rows at 0, 0.7, ... and the last
// on the last pixel row; zigzag steps to the next row without a rapid, one way retracts to the
// clearance between rows; both directions add a second pass along Y.
TEST(SurfaceProgram, RasterRules) {
    const dib picture = tinyPicture();
    ReliefParameters p = surfaceParameters("linuxcnc");
    p.abstandfr = 0.7;
    const std::vector<Move> zigzag = movesOf(program(p, picture));
    std::vector<double> ys;
    int rapidsWhileCutting = 0;
    for (size_t k = 0; k < zigzag.size(); ++k) {
        if (!zigzag[k].rapid && (ys.empty() || std::fabs(ys.back() - zigzag[k].y) > 1e-9))
            ys.push_back(zigzag[k].y);
        if (zigzag[k].rapid && k > 3 && k + 1 < zigzag.size())
            ++rapidsWhileCutting;
    }
    // Cut Ys: the rows and the steps between them.
    EXPECT_EQ(ys.front(), 0);
    EXPECT_NEAR(ys.back(), 3, 1e-9);
    for (const double row : {0.0, 0.7, 1.4, 2.1, 2.8, 3.0})
        EXPECT_NE(
            std::find_if(ys.begin(), ys.end(), [&](double y) { return std::fabs(y - row) < 1e-9; }),
            ys.end())
            << row;
    EXPECT_EQ(rapidsWhileCutting, 0);

    p.surface.oneWay = true;
    const std::vector<Move> oneWay = movesOf(program(p, picture));
    int retracts = 0;
    for (const Move &m : oneWay)
        if (m.rapid && std::fabs(m.z - p.surface.clearance) < 1e-9)
            ++retracts;
    EXPECT_GE(retracts, 5);
    for (size_t k = 1; k < oneWay.size(); ++k) {
        if (!oneWay[k].rapid && oneWay[k].y == oneWay[k - 1].y && !oneWay[k - 1].rapid) {
            EXPECT_GE(oneWay[k].x, oneWay[k - 1].x); // every row left to right
        }
    }

    // A clearance beyond the safe height saves nothing: the retracts stop at the safe height.
    p.surface.clearance = 2 * p.sicher;
    for (const Move &m : movesOf(program(p, picture)))
        EXPECT_LE(m.z, p.sicher);
    p.surface.clearance = 1;

    p.surface.oneWay = false;
    p.surface.direction = RasterDirection::Both;
    const std::vector<Move> both = movesOf(program(p, picture));
    bool alongY = false;
    for (size_t k = 1; k < both.size(); ++k)
        alongY |= !both[k].rapid && both[k].x == both[k - 1].x && both[k].y != both[k - 1].y &&
                  std::fabs(both[k].y - both[k - 1].y) > 0.7 + 1e-9;
    EXPECT_TRUE(alongY);
}

// Every cut of the program lies on the tool's ideal path within the tolerance: above it by at
// most the tolerance, below by at most half of it, checked at the drop cutter's positions.
TEST(SurfaceProgram, CutsFollowTheToolWithinTheTolerance) {
    const dib picture = wavePicture();
    ReliefParameters p = surfaceParameters("linuxcnc");
    p.width = 6;
    p.abstandfr = 0.2;
    p.nach = 6;
    const std::vector<Move> moves = movesOf(program(p, picture));
    const TargetSurface target = ComputeTargetSurface(p, picture);
    HeightGrid grid;
    grid.columns = target.columns;
    grid.rows = target.rows;
    grid.pitch = target.pitch;
    for (const float d : target.depth)
        grid.heights.push_back(d); // Z grows upwards here
    const DropCutter cutter(grid, p.surface.tool,
                            DropCutter::SubdivisionsFor(grid.pitch, p.surface.tool));
    int checked = 0, arcs = 0;
    for (size_t k = 1; k < moves.size(); ++k) {
        const Move &a = moves[k - 1], &b = moves[k];
        if (b.rapid || a.y != b.y || a.x == b.x)
            continue;
        const double low = std::min(a.x, b.x), high = std::max(a.x, b.x);
        for (int64_t s = int64_t(std::ceil(low / cutter.Step() - 1e-6));
             double(s) * cutter.Step() <= high + 1e-6; ++s) {
            const double x = double(s) * cutter.Step();
            const double z = b.ZAt(a, x), ideal = cutter.At(x, a.y);
            EXPECT_GE(z, ideal - p.surface.tolerance / 2 - 2e-6) << x << " " << a.y;
            EXPECT_LE(z, ideal + p.surface.tolerance + 2e-6) << x << " " << a.y;
            ++checked;
            arcs += b.arc;
        }
    }
    EXPECT_GT(checked, 500);
    EXPECT_GT(arcs, 50); // positions checked on arcs
}

// Arcs in the rows' planes only where the profile allows them and the decimals let the control
// find their radius again; the rows along Y arc in the YZ plane; the plane is XY again at the
// end.
TEST(SurfaceProgram, ArcsOnlyWhereTheProfileAllows) {
    const dib picture = wavePicture();
    const struct {
        std::string profile;
        bool allowed;
        int decimals;
        RasterDirection direction;
        const char *plane;
        bool arcs;
    } cases[] = {
        {"linuxcnc", true, 4, RasterDirection::X, "G18", true},
        {"linuxcnc", true, 4, RasterDirection::Y, "G19", true},
        {"linuxcnc", false, 4, RasterDirection::X, "", false},
        {"linuxcnc", true, 2, RasterDirection::X, "", false},
        {"grbl", true, 4, RasterDirection::X, "G18", true},
        {"fanuc", true, 4, RasterDirection::Both, "G19", true},
        {"plain", true, 4, RasterDirection::X, "G18", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.profile + " " + std::to_string(c.decimals) + (c.allowed ? "" : " no arcs"));
        ReliefParameters p = surfaceParameters(c.profile);
        p.width = 6;
        p.abstandfr = 0.2;
        p.nach = c.decimals;
        p.profile.arcs = c.allowed;
        p.surface.direction = c.direction;
        const std::string text = program(p, picture);
        const bool arcs =
            text.find("G2 ") != std::string::npos || text.find("G3 ") != std::string::npos;
        EXPECT_EQ(arcs, c.arcs);
        if (!c.arcs) {
            EXPECT_EQ(text.find(" I"), std::string::npos);
            continue;
        }
        EXPECT_NE(text.find(std::string(c.plane) + " G"), std::string::npos);
        // Back in the XY plane on the final retract.
        const std::string lineEnd = p.profile.crlf || p.profile.pathsOnly ? "\r\n" : "\n";
        EXPECT_NE(text.find(lineEnd + "G17 G0 Z"), std::string::npos);
    }
}

// The default strategy is "Stufen"; the surface options do not touch its program.
TEST(SurfaceProgram, LevelsIgnoreTheSurfaceOptions) {
    const dib picture = tinyPicture();
    ReliefParameters p = surfaceParameters("linuxcnc");
    p.strategy = ReliefStrategy::Levels;
    EXPECT_EQ(ReliefParameters().strategy, ReliefStrategy::Levels);
    const std::string levels = program(p, picture);
    p.surface.tool = {ToolShape::Flat, 3, 90};
    p.surface.oneWay = true;
    p.surface.direction = RasterDirection::Both;
    EXPECT_EQ(program(p, picture), levels);
}

TEST(SurfaceProgram, RefusesWhatItCannotDo) {
    test::ScratchFolder folder;
    const std::string path = (folder / "picture.bmp").string();
    test::WriteBmp24(path, tinyPicture());
    struct Case {
        const char *what;
        std::function<void(ReliefParameters &)> change;
        const char *message;
    } cases[] = {
        {"tolerance", [](ReliefParameters &p) { p.surface.tolerance = 0; }, "Toleranz"},
        {"tool", [](ReliefParameters &p) { p.surface.tool.diameter = -1; }, "Durchmesser"},
        {"angle",
         [](ReliefParameters &p) {
             p.surface.tool = {ToolShape::VBit, 1, 180};
         },
         "Winkel"},
        {"no tool change",
         [](ReliefParameters &p) {
             p.profile = *FindProfile(BuiltInProfiles(), "grbl");
             p.surface.rough = true;
         },
         "Werkzeugwechsel"},
        {"stepdown",
         [](ReliefParameters &p) {
             p.surface.rough = true;
             p.surface.stepdown = 0;
         },
         "Zustellung"},
    };
    for (const Case &c : cases) {
        ReliefParameters p = surfaceParameters("linuxcnc");
        c.change(p);
        const ReliefResult result = GenerateReliefFile(p, path, (folder / "out.nc").string());
        EXPECT_EQ(result.status, ReliefStatus::InvalidParameters) << c.what;
        EXPECT_NE(result.message.find(c.message), std::string::npos) << result.message;
        EXPECT_FALSE(fs::exists(folder / "out.nc")) << c.what;
    }
}

} // namespace
} // namespace morvilo
