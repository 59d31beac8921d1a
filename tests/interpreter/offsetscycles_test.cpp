// Coordinate systems, offsets and units, canned cycles and hole patterns: the plot list they
// leave.

#include "interpreterharness.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

namespace morvilo::test {
namespace {

struct PathCase {
    const char *text;
    std::vector<Xyz> path; // every point the program produced
    Configure configure = {};
    double startX = 0; // where the start point stands at the end (re-expressed by shifts)
};

void runPathCases(const std::vector<PathCase> &cases) {
    for (const PathCase &c : cases) {
        SCOPED_TRACE(c.text);
        InterpreterHarness h;
        if (c.configure)
            c.configure(h);
        const auto all = h.RunAll(c.text);
        ASSERT_GE(all.size(), kFixedPoints);
        EXPECT_NEAR(all[kFixedPoints - 1].x, c.startX, 1e-9);
        ExpectPath(std::vector<t9dline>(all.begin() + kFixedPoints, all.end()), c.path);
        EXPECT_FALSE(h.flags.inrender);
    }
}

// Work offsets, the local shift, coordinate setting and machine coordinates.
TEST(InterpreterCoordinates, ShiftsReexpressThePath) {
    runPathCases({
        // G55 with X100: what was drawn moves by -100, X0 is machine X100
        {"G1X10\nG10L2P2X100\nG55\nG1X0", {{-90, 0, 0}, {0, 0, 0}}, {}, -100},
        // G54 after G55: back by the difference of the two offsets
        {"G10L2P1X10\nG10L2P2X100\nG54\nG1X1\nG55\nG1X2", {{-89, 0, 0}, {2, 0, 0}}, {}, -100},
        // G10 L2 sets every axis not given to 0; the block itself does not move
        {"G10L2P1X5Y7\nG10L2P1X5\nG54\nG1Y0", {{-5, 0, 0}}, {}, -5},
        {"G1X1\nG10L2P1X50\nG1Y1", {{1, 0, 0}, {1, 1, 0}}},
        // changing the offset in force takes effect at the next G54 ... G59 only
        {"G54\nG10L2P1X50\nG1X1\nG54", {{-49, 0, 0}}, {}, -50},
        // P outside 1 ... 6 or another L: an ordinary block
        {"G1X1\nG10L2P7X100", {{1, 0, 0}, {100, 0, 0}}},
        {"G1X1\nG10L3P1X100\nG55", {{1, 0, 0}, {100, 0, 0}}},
        // G53 with an offset in force: machine X0 is program X-100
        {"G10L2P1X100\nG54\nG1X5\nG53X0", {{5, 0, 0}, {-100, 0, 0}}, {}, -100},
        // G52: the path and the tool keep their place on the machine
        {"G1X5\nG52X10\nG1X0", {{-5, 0, 0}, {0, 0, 0}}, {}, -10},
        {"G1X5\nG52X10\nG91G1X1", {{-5, 0, 0}, {-4, 0, 0}}, {}, -10},
        {"G52X10\nG52X0\nG1X1", {{1, 0, 0}}},
        {"G1X5\nG52X10\nG52X20\nG1X0", {{-15, 0, 0}, {0, 0, 0}}, {}, -20},
        // G92: the tool stands on the named coordinates; absolute moves land on them,
        // incremental ones start there
        {"G92X10", {}, {}, 10},
        {"G1X5\nG92X10\nG1X20", {{10, 0, 0}, {20, 0, 0}}, {}, 5},
        {"G1X5\nG92X10\nG91G1X1", {{10, 0, 0}, {11, 0, 0}}, {}, 5},
        {"G1X5Y5\nG92X0\nG1Y0", {{0, 5, 0}, {0, 0, 0}}, {}, -5},
        {"G1X5\nG92X10\nG1X20", {{10, 0, 0}, {20, 0, 0}}, latheB, 5},
        {"G1X5\nG50X10\nG1X20", {{10, 0, 0}, {20, 0, 0}}, latheA, 5},
        // G50 on a mill ends scaling, G92 on lathe system A is a turning cycle: no shift
        {"G1X5\nG50X10", {{5, 0, 0}, {10, 0, 0}}},
        // polar coordinates
        {"G16\nG1X10Y90\nG15\nG1X1", {{0, 10, 0}, {1, 10, 0}}},
        {"G16\nG1X10Y0\nG91G1Y90", {{10, 0, 0}, {0, 10, 0}}},
        {"G18G16\nG1Z10X90", {{10, 0, 0}}}, // plane 18: Z radius, X angle
        {"G19G16\nG1Y10Z90", {{0, 0, 10}}}, // plane 19: Y radius, Z angle
    });
}

TEST(InterpreterCoordinates, WorkOffsetsMoveEveryAxisOfEveryPoint) {
    InterpreterHarness h;
    const auto all = h.RunAll("G10L2P3X1Y2Z3A4B5C6U7V8W9\nG56");
    ASSERT_EQ(all.size(), kFixedPoints);
    EXPECT_EQ(all[0].x, 999); // the axis cross too
    const t9dline &start = all[kFixedPoints - 1];
    const double expected[] = {-1, -2, -3, -4, -5, -6, -7, -8, -9};
    const double got[] = {start.x, start.y, start.z, start.a, start.b,
                          start.c, start.u, start.v, start.w};
    for (int axis = 0; axis < 9; ++axis)
        EXPECT_EQ(got[axis], expected[axis]) << axis;
}

// G50 with U or W on lathe system A resets the U and W axes; the path keeps its place.
TEST(InterpreterCoordinates, LatheAUWSetting) {
    InterpreterHarness h;
    latheA(h);
    const auto points = h.Run("G1U3W4\nG50U5W6\nG1X1");
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0].u, 8);
    EXPECT_EQ(points[0].w, 10);
    EXPECT_EQ(points[1].x, 1);
    EXPECT_EQ(points[1].u, 0);
    EXPECT_EQ(points[1].w, 0);
}

// G21 after inch moves: linear axes times 25.39995 (the axis cross included), angles as they
// were; a second G21 and a first G20 change nothing.
TEST(InterpreterCoordinates, MillimetresRescaleLinearAxesOnly) {
    InterpreterHarness h;
    const auto all = h.RunAll("G20\nG1X1Y2Z3A10U1W2\nG21\nG21");
    ASSERT_EQ(all.size(), kFixedPoints + 1);
    EXPECT_DOUBLE_EQ(all[1].x, -25399.95);
    EXPECT_DOUBLE_EQ(all[5].z, -25399.95);
    const t9dline &p = all.back();
    EXPECT_DOUBLE_EQ(p.x, 25.39995);
    EXPECT_DOUBLE_EQ(p.y, 2 * 25.39995);
    EXPECT_DOUBLE_EQ(p.z, 3 * 25.39995);
    EXPECT_DOUBLE_EQ(p.u, 25.39995);
    EXPECT_DOUBLE_EQ(p.w, 2 * 25.39995);
    EXPECT_EQ(p.a, 10);
}

// Incremental R words add up like an axis: the second arc has radius 2 + 3 = 5, so on its
// chord of 6 it bulges by 5 - 4 = 1 (radius 3 would make a half circle).
TEST(InterpreterCoordinates, IncrementalRAccumulates) {
    InterpreterHarness h;
    const auto points = h.Run("G91G2X6Y0R2\nG2X6Y0R3");
    ASSERT_EQ(points.size(), 200u);
    double bulge = 0;
    for (size_t k = 100; k < 200; ++k)
        bulge = std::max(bulge, std::fabs(points[k].y));
    EXPECT_NEAR(bulge, 1, 1e-3);
    EXPECT_NEAR(points.back().x, 12, 1e-9);
}

// ---- canned cycles and hole patterns ---------------------------------------------------------

TEST(InterpreterCycles, StrokesAndPatterns) {
    const double r = 10, s30 = std::sin(std::numbers::pi / 6) * r,
                 c30 = std::cos(std::numbers::pi / 6) * r;
    runPathCases({
        // the stroke is relative to the hole, modal until G80
        {"G0X0Y0Z2\nG81X10Y10Z-5\nX20\nG80\nX30",
         {{0, 0, 2},
          {10, 10, 2},
          {10, 10, -3},
          {10, 10, 2},
          {20, 10, 2},
          {20, 10, -3},
          {20, 10, 2},
          {30, 10, 2}}},
        {"G0X0Y0Z2\nG81X10Y10Z-5L0", {{0, 0, 2}, {10, 10, 2}}},
        // X alone moves only after a motion code; the stroke is drawn anyway
        {"G83X1Z-1\nG19G81X-2Y5", {{1, 0, -1}, {1, 0, 0}, {1, 5, 0}, {-1, 5, 0}, {1, 5, 0}}},
        // bolt circle: position ends on the last hole
        {"G34X0Y0I10J0K4\nG1Z1", {{10, 0, 0}, {0, 10, 0}, {-10, 0, 0}, {0, -10, 0}, {0, -10, 1}}},
        {"G70X0Y0I10J0L4", {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {-10, 0, 0}, {0, -10, 0}}, haas},
        // G34 is no pattern with HAAS; G70 is a canned cycle without it
        {"G34X0Y0I10J0K4", {{0, 0, 0}}, haas},
        {"G70X3Y0I10J0L4", {{3, 0, 0}, {3, 0, 0}, {3, 0, 0}}},
        {"G34X5Y0I10J0K0\nG1Z1", {{15, 0, 1}}},
        // bolt arc
        {"G36X0Y0I10J0K3P30", {{10, 0, 0}, {c30, s30, 0}, {s30, c30, 0}}},
        {"G71X0Y0I10J0K30L3", {{0, 0, 0}, {10, 0, 0}, {c30, s30, 0}, {s30, c30, 0}}, haas},
        // holes on a line: the position ends on the last hole
        {"G35X0Y0I5J90K3\nG1Z1", {{0, 0, 0}, {0, 0, 0}, {0, 5, 0}, {0, 10, 0}, {0, 10, 1}}},
        {"G72X1Y0I5J0L2", {{1, 0, 0}, {1, 0, 0}, {6, 0, 0}}, haas},
        // grid: a zigzag
        {"G37.1X0Y0I10J5P3K2",
         {{0, 0, 0}, {10, 0, 0}, {20, 0, 0}, {20, 5, 0}, {10, 5, 0}, {0, 5, 0}}},
        {"G37.1X0Y0I10J5P0K1000000000", {}},
        {"G37.1X0Y0I10J5P100000K100000", {}}, // beyond any drawing: no hole
        // patterns with an active cycle drill every hole
        {"G81Z-1\nG37.1X0Y0I10J5P2K1",
         {{0, 0, 0}, {0, 0, -1}, {0, 0, 0}, {10, 0, 0}, {10, 0, -1}, {10, 0, 0}}},
        // lathe system A: G90, G92, G94 are cycles with a stroke of length 0
        {"G90X10Z-5", {{10, 0, -5}, {10, 0, -5}, {10, 0, -5}}, latheA},
        {"G92X10Z-5", {{10, 0, -5}, {10, 0, -5}, {10, 0, -5}}, latheA},
        {"G90X10Z-5", {{10, 0, -5}}, latheB},
    });
}

TEST(InterpreterCycles, PensOfStrokesAndPatterns) {
    InterpreterHarness h;
    const auto points = h.Run("G0X0Y0Z2\nG81X10Y10Z-5\nG80\nG35X0Y0I5J0K2\nG1X3");
    ASSERT_EQ(points.size(), 8u);
    EXPECT_EQ(points[1].style, psDot); // the rapid positioning
    for (size_t k : {2u, 3u}) {        // the stroke: the rapid colour, solid again
        EXPECT_EQ(points[k].col, kColourRapid);
        EXPECT_EQ(points[k].style, psSolid);
    }
    for (size_t k : {4u, 5u, 6u}) { // the pattern: dotted
        EXPECT_EQ(points[k].col, kColourRapid);
        EXPECT_EQ(points[k].style, psDot);
    }
    EXPECT_EQ(points[7].col, kColourWhite); // a feed move stays dotted after a pattern
    EXPECT_EQ(points[7].style, psDot);
}

// G12 I10: ten circles of radius 1 ... 10 about the position, which stays.
TEST(InterpreterCycles, CirclePocket) {
    for (const char *code : {"G12", "G13"}) {
        SCOPED_TRACE(code);
        InterpreterHarness h;
        const auto points = h.Run(std::string("G1X5\n") + code + "I10\nG1Y1");
        ASSERT_EQ(points.size(), 1 + 10 * 101 + 1u);
        for (int e = 1; e <= 10; ++e) {
            const size_t first = 1 + size_t(e - 1) * 101;
            EXPECT_NEAR(points[first].x, 5 - e, 1e-9); // the line to the circle's start
            for (size_t k = first + 1; k < first + 101; ++k)
                ASSERT_NEAR(std::hypot(points[k].x - 5, points[k].y), e, 1e-9) << k;
        }
        // G12 turns clockwise: from the left-most point it goes up first
        EXPECT_EQ(points[3].y > 0, std::string(code) == "G12");
        EXPECT_NEAR(points.back().x, 5, 1e-9);
        EXPECT_NEAR(points.back().y, 1, 1e-9);
    }
}

// Counts beyond any drawing draw no hole instead of filling the memory.
TEST(InterpreterCycles, HugeCountsAreBounded) {
    InterpreterHarness h;
    const auto points = h.Run("G34X0Y0I10J0K99999999999999999999\nG35X0Y0I1J0K-1000001");
    ExpectPath(points, {{0, 0, 0}}); // G35 visits its first hole's position only
}

} // namespace
} // namespace morvilo::test
