// The sample programs of data/programs, one per dialect: their plots by point count and a few
// sampled points.

#include "interpreterharness.h"

#include <cmath>
#include <functional>
#include <numbers>

namespace morvilo::test {
namespace {

const std::filesystem::path kPrograms =
    std::filesystem::path(MORVILO_TEST_DATA) / ".." / ".." / "data" / "programs";

struct Sample {
    size_t index; // among the points the program produced
    double x, y, z, u = 0, w = 0;
};

struct ProgramCase {
    const char *file;
    std::function<void(DialectOptions &)> dialect;
    size_t points;
    std::vector<Sample> samples;
};

TEST(InterpreterSamplePrograms, PlotsOfTheSamplePrograms) {
    const double deg = std::numbers::pi / 180;
    const ProgramCase cases[] = {
        {"mill-macro-boltcircle.nc",
         [](DialectOptions &) {},
         39,
         {{0, 0, 0, 2},
          {1, 40 * std::cos(15 * deg), 40 * std::sin(15 * deg), 2},  // first hole ...
          {2, 40 * std::cos(15 * deg), 40 * std::sin(15 * deg), -6}, // ... drilled
          {16, 40 * std::cos(315 * deg), 40 * std::sin(315 * deg), 2},
          {21, -12, -12, -3}, // the macro's pocket
          {24, 12, 12, -3},
          {34, 4, 4, -3},
          {38, -4, -4, 50}}},
        {"lathe-a-turning.nc",
         [](DialectOptions &o) { o.machine = MachineType::Dreh1; },
         118,
         {{0, 50, 0, 20, 5, 5}, // re-expressed by G50, then by G50 U W
          {2, 26, 0, -40, 5, 5},
          {3, 26, 0, -40, 5, 5}, // the cycle's stroke of length 0
          {14, 18, 0, -40, 5, 5},
          {114, 26, 0, -44, 5, 5},
          {116, 30, 0, -44, 10, 10},
          {117, 50, 0, 20}}},
        {"lathe-b-bushing.nc",
         [](DialectOptions &o) { o.machine = MachineType::Dreh2; },
         5,
         {{0, 1 * zoll2mm, 0, 0.1 * zoll2mm},
          {2, 1.2 * zoll2mm, 0, -1.1 * zoll2mm},
          {3, 2 * zoll2mm, 0, -1.1 * zoll2mm},
          {4, 60, 0, 5}}},
        {"haas-hole-patterns.nc",
         [](DialectOptions &o) { o.Haas = true; },
         53,
         {{1, 0, 0, 2}, // the bolt circle's centre
          {3, 30, 0, -4},
          {5, 30 * std::cos(45 * deg), 30 * std::sin(45 * deg), 2},
          {26, 80, 0, 2}, // the bolt arc's centre
          {33, 80, 20, 2},
          {36, 0, -60, 2}, // the line of holes
          {50, 60, -60, -4},
          {52, 60, -60, 50}}},
    };
    for (const ProgramCase &c : cases) {
        SCOPED_TRACE(c.file);
        InterpreterHarness h;
        c.dialect(h.options);
        const auto points = h.Run(ReadFile(kPrograms / c.file));
        ASSERT_EQ(points.size(), c.points);
        for (const Sample &s : c.samples) {
            SCOPED_TRACE(s.index);
            const t9dline &p = points[s.index];
            EXPECT_NEAR(p.x, s.x, 1e-9);
            EXPECT_NEAR(p.y, s.y, 1e-9);
            EXPECT_NEAR(p.z, s.z, 1e-9);
            EXPECT_NEAR(p.u, s.u, 1e-9);
            EXPECT_NEAR(p.w, s.w, 1e-9);
        }
    }
}

} // namespace
} // namespace morvilo::test
