// The interpreter run: plot-list records for the driver, words, dialects and motion.

#include "interpreterharness.h"

#include "linetext/linetext.h"

#include <cmath>
#include <functional>
#include <numbers>

namespace morvilo::test {
namespace {

const auto lathe = latheA;

// Switches comments to [] for the lifetime of a test and back.
struct SquareBracketComments {
    SquareBracketComments() { SetSquareBracketComments(true); }
    ~SquareBracketComments() { SetSquareBracketComments(false); }
};

TEST(InterpreterRun, EmptyTextStoresAxisCrossAndStartPoint) {
    InterpreterHarness h;
    const auto points = h.RunAll("");
    ASSERT_EQ(points.size(), kFixedPoints);
    const double ends[6][3] = {{1000, 0, 0},  {-1000, 0, 0}, {0, 1000, 0},
                               {0, -1000, 0}, {0, 0, 1000},  {0, 0, -1000}};
    for (size_t k = 0; k < 6; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(points[k].zeilevon, -1);
        EXPECT_EQ(points[k].zeilebis, -1);
        EXPECT_EQ(points[k].typ, k % 2);
        EXPECT_EQ(points[k].col, kColourWhite);
        EXPECT_EQ(points[k].style, psDashDotDot);
        EXPECT_EQ(points[k].x, ends[k][0]);
        EXPECT_EQ(points[k].y, ends[k][1]);
        EXPECT_EQ(points[k].z, ends[k][2]);
    }
    const t9dline &start = points[6];
    EXPECT_EQ(start.typ, 0);
    EXPECT_EQ(start.x, 0);
    EXPECT_EQ(start.col, kColourWhite);
    EXPECT_EQ(start.style, psSolid);
    EXPECT_FALSE(h.flags.inrender);
}

struct EndCase {
    const char *text;
    size_t points;  // produced by the program
    double x, y, z; // the last one
    Configure configure = {};
};

// Where a program's path ends, and how many points it took to get there.
TEST(InterpreterRun, PathEnds) {
    const Configure blockDelete = [](InterpreterHarness &h) {
        h.options.donotprocessdeletedlines = true;
    };
    const EndCase cases[] = {
        {"G1 X10 (move (nested) right)", 1, 10, 0, 0},
        {"G01X5", 1, 5, 0, 0},
        {"G1.0X5", 1, 5, 0, 0},
        {"G38.2X5\nG1Y1", 1, 5, 1, 0},
        {"X10", 0, 0, 0, 0},
        {"  12G1X4", 1, 4, 0, 0},
        {"G1X10\n/G1X20", 1, 10, 0, 0, blockDelete},
        {"G1X10\n/G1X20", 2, 20, 0, 0},
        {"/M30\nG1X1", 1, 1, 0, 0, blockDelete},
        {"/M30\nG1X1", 0, 0, 0, 0},
        {"G1X1\nIF[1EQ2]G1X10", 1, 1, 0, 0},
        {"IF[1EQ1]THENG1X10", 1, 10, 0, 0},
        {"IF[1EQ1]G1X10", 1, 10, 0, 0},
        {"N5IF[1EQ1]THENG1X10", 1, 10, 0, 0},
        {"G1X[2*3]", 1, 6, 0, 0},
        {"G1X1\nM30\nG1X2", 1, 1, 0, 0},
        {"G1X1\nM99\nG1X2", 1, 1, 0, 0},
        {"G1X1\nGOTO20\nG1X2\nN20\nG1X5", 2, 5, 0, 0},
        {"G1X1\nGOTO20\nG1X2\nN0020\nG1X5", 2, 5, 0, 0},
        {"G1X1\nGOTO20\nG1X2\nN200\nG1X5", 1, 1, 0, 0},
        {"#1=4\nG1X1\nGOTO#1\nG1X2\nN4\nG1X5", 3, 5, 0, 0},
        {"WHILE[#1LT3]DO1\n#1=#1+1\nG1X#1\nEND1\nG1Y5", 4, 3, 5, 0},
        {"G1X0\nWHILE[#1LT3]DO1\n#1=#1+1\nG1X#1\nEND1\nG1Y5", 5, 3, 5, 0},
        {"G1X0\nWHILE[#1GT3]DO1\nG1X9\nEND1\nG1Y5", 2, 0, 5, 0},
        {"G1X1\nEND1\nG1X2", 2, 2, 0, 0},
        // A tab is a space; a ";" outside a comment ends the block, also for labels.
        {"G1\tX\t0.001 Y\t2", 1, 0.001, 2, 0},
        {"G1 X5 F100 ; move Z-5", 1, 5, 0, 0},
        {"G1 X6 ; (c) Y7", 1, 6, 0, 0},
        {"G1 X7 (a;b) Y8", 1, 7, 8, 0},
        {";G1X5\nG1Y1", 1, 0, 1, 0},
        {"GOTO7\nG1X1 ; N7\nN7 G1X3", 1, 3, 0, 0},
        {"GOTO20\nG1X9\nN\t20 G1\tX2", 1, 2, 0, 0},
        {"#1=0\nWHILE[#1LT2]DO1 ; END1\n#1=#1+1\nG1X#1\nEND1\nG1Y5", 3, 2, 5, 0},
        {"#1=5\nG1X#1", 1, 5, 0, 0},
        {"#1=1\n#1=#1+1#2=#1\nG1X#1Y#2", 1, 2, 1, 0},
        {"#5=7\n##5=3\nG1X#7", 1, 3, 0, 0},
        {"#7000=1\nG1X1", 1, 1, 0, 0},
        {"#1=5G1X10\nG1Y#1", 2, 10, 5, 0},
        {"G1X5\nG1X[5MOD0]Y3", 2, 5, 3, 0},
        {"#1=7\n#1=[SQRT[-1]]\nG1X#1", 1, 7, 0, 0},
        {"G1X5\nG1X5", 2, 5, 0, 0},
        {"G91G1X5\nG1X5", 2, 10, 0, 0},
        {"G91G1X5\nX5", 2, 5, 0, 0, lathe},
        {"G91G1X5\nX5", 2, 10, 0, 0, latheB},
        {"G1X20", 1, 10, 0, 0, [](InterpreterHarness &h) { h.options.diametermode = true; }},
        {"G51.1X10\nG1X4", 1, 16, 0, 0},
        {"G51.1X10\nG50.1\nG1X4", 1, 4, 0, 0},
        {"G68R90\nG1X10", 1, 0, 10, 0},
        {"G1X5\nG68R90\nG1X10", 2, 5, 5, 0},
        {"G17G68R90\nG1X10", 1, 10, 0, 0, lathe},
        {"G51P2\nG1X10", 1, 20, 0, 0},
        {"G51P2\nG50\nG1X10", 1, 10, 0, 0},
        {"M87\nG1X10", 1, -10, 0, 0},
        {"G1X5M87\nG1X10", 2, -10, 0, 0},
        {"M88\nG1Y3", 1, 0, -3, 0},
        {"M87\nM89\nG1X10", 1, 10, 0, 0},
        {"G16\nG1X10Y90", 1, 0, 10, 0},
        {"G2X10Y0\nG1Y1", 1, 10, 1, 0},
        {"M3S1000\nM8", 0, 0, 0, 0},
        {"G2X10Y0I2I3J0", 100, 6, 0, 0},
        {"G2X10Y0I2I3J0", 100, 10, 0, 0,
         [](InterpreterHarness &h) { h.options.IJKsindInkremental1 = true; }},
        {"G2X10Y0I5J0\nM8", 200, 10, 0, 0,
         [](InterpreterHarness &h) { h.options.IJKsindModal1 = true; }},
        {"G2X10Y0I5J0\nM8", 100, 10, 0, 0},
        {"G91G3X10Y0I5J0L2\nG1Y1", 200, 10, 1, 0},
        {"G53X7\nG1Y1", 1, 7, 1, 0},
        {"G1X1\nG55\nG1X2", 2, 2, 0, 0},
    };
    for (const EndCase &c : cases) {
        SCOPED_TRACE(c.text);
        InterpreterHarness h;
        if (c.configure)
            c.configure(h);
        const auto points = h.Run(c.text);
        ASSERT_EQ(points.size(), c.points);
        if (points.empty())
            continue;
        EXPECT_NEAR(points.back().x, c.x, 1e-9);
        EXPECT_NEAR(points.back().y, c.y, 1e-9);
        EXPECT_NEAR(points.back().z, c.z, 1e-9);
        EXPECT_FALSE(h.flags.inrender);
    }
}

TEST(InterpreterRun, ExpressionBracketsFollowTheCommentOption) {
    const SquareBracketComments square;
    InterpreterHarness h;
    h.options.otherbreakets = true;
    const auto points = h.Run("G1X(5*2)[move]");
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].x, 10);
}

TEST(InterpreterRun, SourceOffsetsCoverTheLineAndItsBreak) {
    for (const auto &[text, von, bis] :
         {std::tuple{"G0X0\r\nG1X5\r\n", 6, 11}, std::tuple{"G0X0\nG1X5", 5, 8},
          std::tuple{"G0X0\rG1X5\r", 5, 9}}) {
        SCOPED_TRACE(text);
        InterpreterHarness h;
        const auto points = h.Run(text);
        ASSERT_EQ(points.size(), 2u);
        EXPECT_EQ(points[0].zeilevon, 0);
        EXPECT_EQ(points[1].zeilevon, von);
        EXPECT_EQ(points[1].zeilebis, bis);
    }
}

TEST(InterpreterRun, PenFollowsTheMotion) {
    InterpreterHarness h;
    const auto points = h.Run("G0X10\nG1X20\nG2X30Y0R5\nG3X40Y0R5\nG0X0");
    ASSERT_EQ(points.size(), 1u + 1 + 100 + 100 + 1);
    EXPECT_EQ(points[0].col, kColourRapid);
    EXPECT_EQ(points[0].style, psDot);
    EXPECT_EQ(points[1].col, kColourWhite);
    EXPECT_EQ(points[1].style, psSolid);
    EXPECT_EQ(points[2].col, kColourCw);
    EXPECT_EQ(points[102].col, kColourCcw);
    EXPECT_EQ(points[102].style, psSolid);
    EXPECT_EQ(points.back().style, psDot);
}

TEST(InterpreterRun, G28DrawsTwoLegsToMachineZero) {
    for (const auto &[first, colour, style] :
         {std::tuple{"G0", kColourRapid, psDot}, std::tuple{"G1", kColourWhite, psSolid}}) {
        SCOPED_TRACE(first);
        InterpreterHarness h;
        const auto points = h.Run(std::string(first) + "X50Y10\nG28X0\nG1Y3");
        ASSERT_EQ(points.size(), 4u);
        for (size_t k = 1; k < 3; ++k) {
            EXPECT_EQ(points[k].x, 0);
            EXPECT_EQ(points[k].y, 10); // Y was not named
            EXPECT_EQ(points[k].col, colour);
            EXPECT_EQ(points[k].style, style);
        }
        EXPECT_EQ(points[3].style, psSolid);
    }
}

struct ArcCase {
    const char *text;
    size_t skip;   // points before the arc
    size_t points; // points of the arc
    int32_t colour;
    double cu, cv, radius; // centre and radius in the plane's frame
    int side;              // +1: the arc lies on the positive side of v, -1 negative, 0 both
    int u = 0, v = 1;      // the frame's axes: 0 x, 1 y, 2 z
    Configure configure = {};
};

double axisOf(const t9dline &p, int axis) {
    return axis == 0 ? p.x : axis == 1 ? p.y : p.z;
}

TEST(InterpreterRun, Arcs) {
    const Configure absolute = [](InterpreterHarness &h) { h.options.absolutecheck = true; };
    const ArcCase cases[] = {
        {"G2X10Y0I5J0", 0, 100, kColourCw, 5, 0, 5, +1},
        {"G3X10Y0I5J0", 0, 100, kColourCcw, 5, 0, 5, -1},
        {"G2X10Y0R5", 0, 100, kColourCw, 5, 0, 5, +1},
        {"G3X10Y0R5", 0, 100, kColourCcw, 5, 0, 5, -1},
        {"G2X10Y0R2", 0, 100, kColourCw, 5, 0, 5, +1},
        {"G2X10Y0R10", 0, 100, kColourCw, 5, -std::sqrt(75.0), 10, +1},
        {"G3X10Y0R10", 0, 100, kColourCcw, 5, std::sqrt(75.0), 10, -1},
        {"G2X0Y0I5J0", 0, 100, kColourCw, 5, 0, 5, 0},
        {"G3X0Y0Z-5I5J0L3", 0, 298, kColourCcw, 5, 0, 5, 0},
        {"G1X2\nG2X10Y0I5J0", 1, 100, kColourCw, 5, 0, 3, +1, 0, 1, absolute},
        {"G1X2\nG2X10Y0I5J0", 1, 100, kColourCw, 7, 0, 5, +1},
        {"G18G2X10Z0I5K0", 0, 100, kColourCw, 5, 0, 5, -1, 0, 2},
        {"G18G2X10Z0R5", 0, 100, kColourCw, 5, 0, 5, -1, 0, 2},
        {"G2X10I5", 0, 100, kColourCw, 5, 0, 5, -1, 0, 2, lathe},
        {"G19G3Y10Z0J5K0", 0, 100, kColourCcw, 5, 0, 5, -1, 1, 2},
    };
    for (const ArcCase &c : cases) {
        SCOPED_TRACE(c.text);
        InterpreterHarness h;
        if (c.configure)
            c.configure(h);
        const auto points = h.Run(c.text);
        ASSERT_EQ(points.size(), c.skip + c.points);
        bool seenPositive = false, seenNegative = false;
        for (size_t k = c.skip; k < points.size(); ++k) {
            const double du = axisOf(points[k], c.u) - c.cu, dv = axisOf(points[k], c.v) - c.cv;
            ASSERT_NEAR(std::hypot(du, dv), c.radius, 1e-9) << k;
            EXPECT_EQ(points[k].col, c.colour);
            EXPECT_EQ(points[k].typ, 1);
            seenPositive = seenPositive || axisOf(points[k], c.v) > 1e-9;
            seenNegative = seenNegative || axisOf(points[k], c.v) < -1e-9;
        }
        if (c.side > 0) {
            EXPECT_FALSE(seenNegative);
            EXPECT_TRUE(seenPositive);
        } else if (c.side < 0) {
            EXPECT_FALSE(seenPositive);
            EXPECT_TRUE(seenNegative);
        }
    }
}

TEST(InterpreterRun, FullCircleAndHelix) {
    InterpreterHarness h;
    auto points = h.Run("G2X0Y0I5J0");
    ASSERT_EQ(points.size(), 100u);
    EXPECT_NEAR(points.front().x, 0, 1e-9);
    EXPECT_NEAR(points.back().x, 0, 1e-9);
    EXPECT_GT(points[25].y, 4.9); // clockwise from the left: up first

    points = h.Run("G91G3X0Y0Z-5I5J0L3");
    ASSERT_EQ(points.size(), 298u);
    EXPECT_NEAR(points.back().z, -15, 1e-9);
    EXPECT_NEAR(points[99].z, -5, 1e-9);
}

TEST(InterpreterRun, ArcsThatCannotBeBuiltDrawNothing) {
    for (const char *text : {"G2X0Y0R5", "G2X0Y0R0", "G2X10Y0I5J0L0", "G2X10Y0I5J0L99999999999"}) {
        SCOPED_TRACE(text);
        InterpreterHarness h;
        EXPECT_TRUE(h.Run(std::string(text) + "\nM30").empty());
    }
}

TEST(InterpreterRun, UnitSwitchRescalesEverythingStored) {
    InterpreterHarness h;
    const auto points = h.RunAll("G1X1Y2\nG21\nG21\nG1X3");
    ASSERT_EQ(points.size(), kFixedPoints + 2);
    EXPECT_DOUBLE_EQ(points[0].x, 1000 * zoll2mm);
    EXPECT_DOUBLE_EQ(points[7].x, zoll2mm);
    EXPECT_DOUBLE_EQ(points[7].y, 2 * zoll2mm);
    EXPECT_EQ(points[8].x, 3);
}

TEST(InterpreterRun, DrawingWaitsForPlotvon) {
    InterpreterHarness h;
    h.flags.plotvon = 6; // in the second line "G1X2"
    const auto points = h.Run("G1X1\nG1X2\nG1X3");
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[0].typ, 0);
    EXPECT_EQ(points[1].typ, 1);
    EXPECT_EQ(points[2].typ, 1);
    EXPECT_EQ(h.flags.plotvon, 0);
    EXPECT_FALSE(h.flags.donotdraw);
}

TEST(InterpreterRun, RefusesASecondStart) {
    InterpreterHarness h;
    h.flags.inrender = true;
    EXPECT_TRUE(h.RunAll("G1X1").empty());
    EXPECT_TRUE(h.flags.inrender);
}

TEST(InterpreterRun, MacroOutputGoesToTheMessageHook) {
    InterpreterHarness h;
    std::vector<std::string> shown;
    h.message = [&](const std::string &caption, const std::string &text) {
        shown.push_back(caption + "|" + text);
    };
    h.Run("#3000=12 (out)\n#3006=[1/4]\n#2999=1");
    EXPECT_EQ(shown, (std::vector<std::string>{"Makro Ausgabe 12|#3000=12 (out)",
                                               "Makro Ausgabe 0.25|#3006=[1/4]"}));
}

std::string repeated(const std::string &part, int times) {
    std::string text;
    for (int k = 0; k < times; ++k)
        text += part;
    return text;
}

// Megabyte lines, deep brackets and extreme numbers end the run normally.
TEST(InterpreterRun, HugeAndHostileLines) {
    struct HostileCase {
        std::string text;
        size_t points;
        double x, z; // of the last point
    };
    const std::string huge = "1" + std::string(308, '0'); // twice of it is beyond doubles
    const HostileCase cases[] = {
        {repeated("G1X[1]", 200000), 1, 1, 0},
        {repeated("#1=3", 100000) + "\nG1X#1", 1, 3, 0},
        {repeated("[", 100000) + "1" + repeated("]", 100000) + "G1X2", 1, 2, 0},
        {"G1X1Z1\nG1X[1/0]Y[1E400]Z[0^-1]", 2, 0, 1}, // 1/0 is 0; 0^-1 fails
        {"G91G1X" + huge + "\nX" + huge + "\nG3X1Y0R1", 2, INFINITY, 0},
        {"G1X1\nG1X1.2.3Y--2Z+3", 2, 1, 3},
    };
    for (const HostileCase &c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        InterpreterHarness h;
        const auto points = h.Run(c.text);
        ASSERT_EQ(points.size(), c.points);
        EXPECT_EQ(points.back().x, c.x);
        EXPECT_EQ(points.back().z, c.z);
        EXPECT_FALSE(h.flags.inrender);
    }
}

// The list shows the values from before the last block, also when a call or a return set
// #0 ... #99 in between.
TEST(InterpreterRun, TheListShowsTheValuesFromBeforeTheLastBlockAfterCallsAndReturns) {
    struct ListCase {
        std::string text;
        double ova1;
    };
    const ListCase cases[] = {
        {"#1=3\nG65P100A1\nM30\nO100\n#1=9\nM99", 3},
        {"#1=3\nG65P100A1\nM30\nO100\nM99", 3},
        {"#1=3\nG65P100A1\nM30\nO100\nG1X#1\nM30", 1},
        {"#1=3\nM98P100\nM30\nO100\n#1=9\nM99", 3},
    };
    for (const ListCase &c : cases) {
        SCOPED_TRACE(c.text);
        InterpreterHarness h;
        h.Run(c.text);
        EXPECT_EQ(h.variables->ova[1], c.ova1);
    }
}

TEST(InterpreterRun, VariablesOfTheLastBlockAreKeptForTheList) {
    InterpreterHarness h;
    h.Run("#1=1\n#2=5\n#1=#1+1");
    EXPECT_EQ(h.variables->va[1], 2);
    EXPECT_EQ(h.variables->ova[1], 1);
    EXPECT_EQ(h.variables->va[2], 5);
    EXPECT_EQ(h.variables->ova[2], 5);
}

// ---- drawing and events ------------------------------------------------------------------------

class RecordingSink : public PointSink {
public:
    void Clear() override { ++clears; }
    void Plot(const t9dline &point) override { points.push_back(point); }
    void RepaintAll() override { ++repaints; }

    std::vector<t9dline> points;
    int clears = 0, repaints = 0;
};

// The sink gets every point as it is stored, in machine coordinates with its pen: the run
// knows nothing of the screen.
TEST(InterpreterDrawing, EveryPointReachesTheSinkAsStored) {
    InterpreterHarness h;
    RecordingSink sink;
    h.sink = &sink;
    h.flags.donotdraw = true;
    const auto points = h.RunAll("G1X1\nG2X3R1\nG0Z5A30");
    ASSERT_EQ(sink.points.size(), points.size());
    EXPECT_EQ(sink.clears, 1);
    EXPECT_EQ(sink.repaints, 1);
    for (size_t k = 0; k < points.size(); ++k) {
        const t9dline &a = sink.points[k], &b = points[k];
        const double ax[] = {a.x, a.y, a.z, a.a, a.b, a.c, a.u, a.v, a.w};
        const double bx[] = {b.x, b.y, b.z, b.a, b.b, b.c, b.u, b.v, b.w};
        for (int i = 0; i < 9; ++i)
            EXPECT_EQ(ax[i], bx[i]) << "point " << k << " axis " << i;
        EXPECT_EQ(a.zeilevon, b.zeilevon);
        EXPECT_EQ(a.zeilebis, b.zeilebis);
        EXPECT_EQ(a.col, b.col);
        EXPECT_EQ(a.typ, b.typ);
        EXPECT_EQ(a.style, b.style);
    }
    EXPECT_GT(points.size(), size_t(100)); // the arc's points are among them
}

class ScriptedEvents : public RunEvents {
public:
    explicit ScriptedEvents(RunFlags &flags) : flags(flags) {}
    void ProcessEvents() override {
        ++processed;
        if (onProcess)
            onProcess(processed);
    }
    void WaitForEvents() override {
        ++waits;
        flags.pause = false;
    }
    void Sleep(int32_t milliseconds) override { slept.push_back(milliseconds); }

    RunFlags &flags;
    std::function<void(int)> onProcess;
    int processed = 0, waits = 0;
    std::vector<int32_t> slept;
};

// (The loops read the clock, so they do not come back in the same state: their end is not
// certain.)
TEST(InterpreterEvents, LoopsOfJumpsAreStoppable) {
    for (const char *text :
         {"N1\nIF[#3001GE0]GOTO1", "WHILE[#3001GE0]DO1\nEND1", "N1\nG1X#3001\nGOTO1"}) {
        SCOPED_TRACE(text);
        InterpreterHarness h;
        ScriptedEvents events(h.flags);
        events.onProcess = [&](int n) {
            if (n == 3)
                h.flags.breakprogram = true;
        };
        h.events = &events;
        h.RunAll(text);
        EXPECT_EQ(events.processed, 3);
        EXPECT_FALSE(h.flags.inrender);
    }
}

TEST(InterpreterEvents, FullSpeedPumpsAreThrottled) {
    InterpreterHarness h;
    ScriptedEvents events(h.flags);
    h.events = &events;
    std::string text;
    for (int k = 0; k < 20000; ++k)
        text += "G1X" + std::to_string(k % 100) + "\n";
    EXPECT_EQ(h.Run(text).size(), 20000u);
    EXPECT_LT(events.processed, 20000 / 16);
}

TEST(InterpreterEvents, PlotbisPausesThenAnimates) {
    InterpreterHarness h;
    ScriptedEvents events(h.flags);
    h.events = &events;
    h.flags.plotbis = 6; // in the second line
    h.flags.verzoeg = 7;
    const auto points = h.Run("G1X1\nG1X2\nG1X3\nG1X4");
    EXPECT_EQ(points.size(), 4u);
    EXPECT_EQ(events.waits, 1);
    EXPECT_EQ(events.slept, (std::vector<int32_t>{7, 7, 7})); // lines 2, 3 and 4
    EXPECT_EQ(h.flags.animatesleep, 0);
    EXPECT_EQ(h.flags.plotbis, 0);
}

TEST(InterpreterEvents, StopEndsTheRunAfterTheCurrentLine) {
    InterpreterHarness h;
    ScriptedEvents events(h.flags);
    h.events = &events;
    h.flags.animatesleep = 1; // pump at every line
    events.onProcess = [&](int) { h.flags.breakprogram = true; };
    const auto points = h.Run("G1X1\nG1X2\nG1X3");
    EXPECT_EQ(points.size(), 1u);
    EXPECT_FALSE(h.flags.inrender);
    EXPECT_EQ(h.flags.animatesleep, 0);
}

} // namespace
} // namespace morvilo::test
