// Drawings that must match what a control does with the program: arcs written with R or with
// I, J, K, jumps that run their target, HAAS local subprograms, missing targets, lathe roughing
// cycles, helices with turns, G92 and G28 against machine coordinates, drilling cycles to scale.

#include "interpreterharness.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace morvilo::test {
namespace {

void toScale(InterpreterHarness &h) {
    h.options.cyclesToScale = true;
}

// The same arc written with R and with I, J, K (offsets from the start) draws the same points,
// in every plane, for either direction and for the longer arc of a negative R.
TEST(MachineBehaviour, RArcsTurnLikeTheirIJKTwins) {
    const struct {
        const char *withR, *withIJK;
    } cases[] = {
        {"G17G2X10Y10R10", "G17G2X10Y10I10J0"},
        {"G17G3X10Y10R10", "G17G3X10Y10I0J10"},
        {"G18G3X10Z-10R10", "G18G3X10Z-10I0K-10"},
        {"G18G2X10Z-10R10", "G18G2X10Z-10I10K0"},
        {"G18G2X10Z10R10", "G18G2X10Z10I0K10"},
        {"G19G2Y10Z10R10", "G19G2Y10Z10J10K0"},
        {"G19G3Y10Z10R10", "G19G3Y10Z10J0K10"},
        // a negative R takes the arc longer than a half circle
        {"G17G2X10Y0R-10", "G17G2X10Y0I5J8.660254037844386"},
        {"G17G3X10Y0R-10", "G17G3X10Y0I5J-8.660254037844386"},
        {"G18G3X10Z-10R-10", "G18G3X10Z-10I10K0"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.withR);
        InterpreterHarness h;
        std::vector<Xyz> expected;
        for (const t9dline &point : h.Run(c.withIJK))
            expected.push_back({point.x, point.y, point.z});
        ExpectPath(h.Run(c.withR), expected);
    }
}

struct PathCase {
    const char *text;
    std::vector<Xyz> path;
    Configure configure = nullptr;
};

void expectPaths(const std::vector<PathCase> &cases) {
    for (const PathCase &c : cases) {
        SCOPED_TRACE(c.text);
        InterpreterHarness h;
        if (c.configure)
            c.configure(h);
        ExpectPath(h.Run(c.text), c.path);
    }
}

TEST(MachineBehaviour, JumpsAndLocalCallsRunTheirTargetBlock) {
    expectPaths({
        {"G1X1\nGOTO20\nG1X2\nN20G1X7\nG1X5", {{1, 0, 0}, {7, 0, 0}, {5, 0, 0}}},
        // the Fanuc macro loop ends
        {"#1=0\nN30#1=#1+1\nG1X#1\nN40IF[#1LT3]GOTO30\nG1Y1",
         {{1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {3, 1, 0}}},
        // a label on the first line, and leading zeros
        {"N0010G91G1X1\n#1=#1+1\nIF[#1LT2]GOTO10", {{1, 0, 0}, {2, 0, 0}}},
        // HAAS M97: the local subprogram at N100, with repeats
        {"M97P100\nG1Y1\nM30\nN100G1X5\nM99", {{5, 0, 0}, {5, 1, 0}}, haas},
        {"M97P100L2\nG1Y1\nM30\nN100G91G1X5\nG90M99", {{5, 0, 0}, {10, 0, 0}, {10, 1, 0}}, haas},
        // M98 keeps looking for O numbers
        {"M98P100\nG1Y1\nM30\nO100\nG1X5\nM99", {{5, 0, 0}, {5, 1, 0}}, haas},
    });
}

TEST(MachineBehaviour, MissingTargetsAreReportedAndEndTheRun) {
    const struct {
        const char *text;
        const char *notice;
        std::vector<Xyz> path;
        Configure configure = nullptr;
    } cases[] = {
        {"G1X1\nGOTO20\nG1X2",
         "Sprungziel N20 nicht gefunden (Zeile 2), Lauf beendet",
         {{1, 0, 0}}},
        {"G1X1\nIF[1EQ1]GOTO200\nN20G1X2",
         "Sprungziel N200 nicht gefunden (Zeile 2), Lauf beendet",
         {{1, 0, 0}}},
        {"G1X1\nWHILE[1EQ2]DO3\nG1X2",
         "Sprungziel END3 nicht gefunden (Zeile 2), Lauf beendet",
         {{1, 0, 0}}},
        {"M98P100\nG1X2", "Unterprogramm O100 nicht gefunden (Zeile 1), Lauf beendet", {}},
        {"G1X1\nG65P9\nG1X2",
         "Unterprogramm O9 nicht gefunden (Zeile 2), Lauf beendet",
         {{1, 0, 0}}},
        {"M97P7\nG1X2\nO7\nM99",
         "Unterprogramm N7 nicht gefunden (Zeile 1), Lauf beendet",
         {},
         haas},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        InterpreterHarness h;
        if (c.configure)
            c.configure(h);
        std::vector<std::string> notices;
        h.notice = [&](const UserMessage &message) { notices.push_back(message.Filled()); };
        ExpectPath(h.Run(c.text), c.path);
        EXPECT_EQ(notices, std::vector<std::string>{c.notice});
    }
    // A target that exists says nothing.
    InterpreterHarness h;
    int notices = 0;
    h.notice = [&](const UserMessage &) { ++notices; };
    h.Run("GOTO5\nN5G1X1\nM98P7\nM30\nO7\nM99");
    EXPECT_EQ(notices, 0);
}

// A run that can never end ends at once, saying where: a jump back taken again from the same
// block with the same variables, state and call stack as the last time; and a helix of more
// steps than a plot list can count. Loops that do end run to their end, and L0 makes an arc
// no move (a warning in the log).
TEST(MachineBehaviour, RunsThatCannotEndStopAtOnceWithTheirLine) {
    const std::string endless = "Endlosschleife: der Rücksprung in Zeile %1 wiederholt sich mit "
                                "denselben Werten, Lauf beendet";
    const auto loopAt = [&](int line) { return FillIn(endless, {std::to_string(line)}); };
    const struct {
        const char *name;
        std::string text;
        std::string notice; // empty: the run ends by itself
        std::vector<Xyz> path;
        std::string warning = {};
    } cases[] = {
        {"a label jumping to itself", "N10\nGOTO10", loopAt(2), {}},
        {"two labels jumping to each other", "G1X1\nN1\nGOTO2\nN2\nGOTO1", loopAt(5), {{1, 0, 0}}},
        // (the point of each pass is stored until the repetition is certain)
        {"an endless WHILE",
         "WHILE[1]DO1\nG0X5\nEND1\nG1Y1",
         loopAt(3),
         {{5, 0, 0}, {5, 0, 0}, {5, 0, 0}, {5, 0, 0}}},
        {"a variable written with its own value, a modal code set and reset",
         "#1=5\nN10#1=5\nG90\nG91\nGOTO10",
         loopAt(5),
         {}},
        {"an endless loop around a loop that ends",
         "WHILE[1]DO1\n#1=0\nWHILE[#1LT3]DO2\n#1=#1+1\nEND2\nEND1",
         loopAt(6),
         {}},
        {"an endless loop in a subprogram",
         "M98P100\nM30\nO100\nN1G0X3\nGOTO1",
         loopAt(5),
         {{3, 0, 0}, {3, 0, 0}, {3, 0, 0}, {3, 0, 0}}},
        {"a helix beyond the steps a plot list counts",
         "G0X10\nG2X10Y0I-10J0Z-10L100000000\nG1X0",
         "Schraubenlinie mit L100000000: mehr als 4294967295 Schritte (Zeile 2), Lauf beendet",
         {{10, 0, 0}},
         "Schraubenlinie mit L100000000: mehr als 4294967295 Schritte, Lauf beendet"},
        {"an arc of L0",
         "G0X10\nG2X10Y0I-10J0Z-10L0\nG1X0Y5",
         "",
         {{10, 0, 0}, {0, 5, 0}},
         "Bogen mit L0 ohne Umdrehung: der Satz bewegt nicht"},
        {"a counting WHILE", "#1=0\nWHILE[#1LT3]DO1\n#1=#1+1\nEND1\nG1X#1", "", {{3, 0, 0}}},
        {"a loop whose variable repeats a value before it changes",
         "#1=0\nN5#2=7\n#1=#1+1\nIF[#1LT4]GOTO5\nG1X#1",
         "",
         {{4, 0, 0}}},
        {"a loop that waits for the clock", "WHILE[#3001LT5]DO1\nEND1\nG1X1", "", {{1, 0, 0}}},
        {"a loop around a loop, both ending",
         "#2=0\nWHILE[#2LT2]DO1\n#1=0\nWHILE[#1LT3]DO2\n#1=#1+1\nEND2\n#2=#2+1\nEND1\nG1X#2",
         "",
         {{2, 0, 0}}},
        {"a subprogram called again and again, ending",
         "#100=0\nN1M98P100\nIF[#100LT3]GOTO1\nG1Y#100\nM30\nO100\n#100=#100+1\nM99",
         "",
         {{0, 3, 0}}},
        // M99 gives the caller its #1 back: the calling loop comes back in the same state
        {"a subprogram called again and again, the same every time",
         "#1=0\nN1M98P100\nIF[#1LT3]GOTO1\nG1Y#1\nM30\nO100\n#1=#1+1\nM99",
         loopAt(3),
         {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        InterpreterHarness h;
        uint32_t tick = 0; // the clock advances a millisecond every third reading
        h.variables->clock = [&tick] { return ClockReading{tick++ / 3}; };
        RunLog log;
        h.log = &log;
        std::vector<std::string> notices;
        h.notice = [&](const UserMessage &message) { notices.push_back(message.Filled()); };
        ExpectPath(h.Run(c.text), c.path);
        EXPECT_EQ(notices, c.notice.empty() ? std::vector<std::string>{}
                                            : std::vector<std::string>{c.notice});
        // (feed moves without F warn too)
        const bool warned = std::any_of(log.warnings.begin(), log.warnings.end(), [&](auto &w) {
            return w.message.Filled() == c.warning && w.line == 2;
        });
        EXPECT_EQ(warned, !c.warning.empty());
    }
}

// U, W, R, P and Q of G70 ... G73 are the cycle's parameters: no point carries U or W, and the
// finishing contour is drawn once, where the program has it.
TEST(MachineBehaviour, LatheRoughingCyclesMoveNoAxis) {
    const char *program = "G0X20Z2\nG71U0.5R0.5\nG71P10Q20U0.2W0.1F0.2\nN10G1X10Z0\n"
                          "N20G1X20Z-10\nG70P10Q20\nG73U1W1R3\nG72W1R0.5\nG0X30Z5";
    for (const Configure &configure : {Configure(latheA), Configure(latheB)}) {
        InterpreterHarness h;
        configure(h);
        const auto points = h.Run(program);
        ExpectPath(points, {{20, 0, 2}, {10, 0, 0}, {20, 0, -10}, {30, 0, 5}});
        for (const t9dline &point : points) {
            EXPECT_EQ(point.u, 0);
            EXPECT_EQ(point.w, 0);
        }
    }
}

// The drawing ends where the position is, and G53/G28 know what G92 did and where the work
// coordinates' intermediate point lies.
TEST(MachineBehaviour, HelicesG92AndG28EndWhereTheMachineDoes) {
    const struct {
        const char *text;
        Xyz last;         // the program's last point
        Xyz beforeLast{}; // and the one before it
        bool checkBefore = false;
    } cases[] = {
        // absolute: the programmed Z ends the helix; incremental: every turn climbs it
        {"G90G2X0Y0I5J0Z-1L3\nG1X1", {1, 0, -1}, {0, 0, -1}, true},
        {"G91G2X0Y0I5J0Z-1L3\nG1X1", {1, 0, -3}, {0, 0, -3}, true},
        {"G0Z5\nG92Z0\nG90G2X0Y0I5J0Z-1L3\nG1X1", {1, 0, -1}, {0, 0, -1}, true},
        {"G18G91G2X0Z0I5K0Y2L2\nG1X1", {1, 4, 0}, {0, 4, 0}, true},
        // G92 shifts the relation to machine coordinates as well
        {"G0X10\nG92X50\nG53X0", {40, 0, 0}},
        {"G0X10\nG53X0", {0, 0, 0}},
        {"G0X10\nG92X50\nG28X45", {40, 0, 0}, {45, 0, 0}, true},
        // G28: the intermediate point in work coordinates first, then machine zero
        {"G10L2P1X100\nG54\nG0X50\nG28X0", {-100, 0, 0}, {0, 0, 0}, true},
        {"G52X10\nG0X5\nG28X0", {-10, 0, 0}, {0, 0, 0}, true},
        {"G0Z5\nG91G28Z0", {0, 0, 0}, {0, 0, 5}, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        InterpreterHarness h;
        const auto points = h.Run(c.text);
        ASSERT_GE(points.size(), 2u);
        ExpectPath({points.back()}, {c.last});
        if (c.checkBefore)
            ExpectPath({points[points.size() - 2]}, {c.beforeLast});
    }
}

TEST(MachineBehaviour, DrillingCyclesToScale) {
    expectPaths({
        // schematic by default: a stroke of the Z word's length from the current Z
        {"G0X0Y0Z10\nG99G81X10Y10Z-5R2", {{0, 0, 10}, {10, 10, 10}, {10, 10, 5}, {10, 10, 10}}},
        // to scale: R level, bottom, back to R (G99), the next hole from there
        {"G0X0Y0Z10\nG99G81X10Y10Z-5R2\nX20\nG80G0Z20",
         {{0, 0, 10},
          {10, 10, 10},
          {10, 10, 2},
          {10, 10, -5},
          {10, 10, 2},
          {20, 10, 2},
          {20, 10, 2},
          {20, 10, -5},
          {20, 10, 2},
          {20, 10, 20}},
         toScale},
        // G98 returns to the initial level
        {"G0X0Y0Z10\nG98G83X10Y10Z-5R2Q1\nX20",
         {{0, 0, 10},
          {10, 10, 10},
          {10, 10, 2},
          {10, 10, -5},
          {10, 10, 10},
          {20, 10, 10},
          {20, 10, 2},
          {20, 10, -5},
          {20, 10, 10}},
         toScale},
        // incremental: R from the initial level, the bottom from R
        {"G0X0Y0Z10\nG91G98G81X10Y10Z-7R-8",
         {{0, 0, 10}, {10, 10, 10}, {10, 10, 2}, {10, 10, -5}, {10, 10, 10}},
         toScale},
    });
}

} // namespace
} // namespace morvilo::test
