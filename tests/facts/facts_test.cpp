// Program facts of small programs with hand-worked lengths, extents and times, in both time
// models, and the JSON of morvilo-cli stats.

#include "../interpreter/interpreterharness.h"
#include "../relief/testpictures.h"
#include "cli/cli.h"
#include "facts/programfacts.h"
#include "interpreter/runlog.h"
#include "machine/motiontime.h"
#include "machine/profilesfile.h"
#include "relief/reliefgenerator.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <sstream>

namespace morvilo::test {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kInch = 25.39995;

// 100 mm/s rapid, 1000 mm/s² on every axis, 10 s a tool change, 1000 mm/min without F.
MachineRates testRates() {
    MachineRates rates;
    rates.rapidRate = 6000;
    rates.acceleration = 1000;
    return rates;
}

struct FactsRun {
    ProgramFacts facts;
    RunLog log;
};

FactsRun run(const std::string &program, Configure configure = {}) {
    InterpreterHarness h;
    if (configure)
        configure(h);
    const auto path = h.scratch / "program.nc";
    WriteFile(path, program);
    EXPECT_TRUE(h.memo1.OpenFileWithName(path));
    FactsRun result;
    h.log = &result.log;
    CalcBtnClick(h.Environment());
    result.facts = ComputeFacts(h.lines, result.log, testRates());
    return result;
}

struct Box {
    double min[3], max[3];
};

void expectBox(const FactsBox &box, const Box &expected) {
    ASSERT_FALSE(box.empty);
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(box.min[axis], expected.min[axis], 1e-9) << "axis " << axis;
        EXPECT_NEAR(box.max[axis], expected.max[axis], 1e-9) << "axis " << axis;
    }
}

struct Case {
    const char *name;
    std::string program;
    double rapidLength, feedLength;
    double rapidTime, feedTime, dwell, total, totalAccel;
    Box all, feed;
    Configure configure = {};
};

// Times hand-worked: a move of length L at speed v, at rest before and after, takes L/v + v/a
// when it reaches v (L >= v²/a), else 2 sqrt(L/a).
TEST(ProgramFacts, LengthsExtentsAndTimesOfSmallPrograms) {
    const double halfCircle = 10 * kPi;                         // r 10
    const double helix = std::sqrt(std::pow(10 * kPi, 2) + 36); // r 5, one turn, 6 down
    const Case cases[] = {
        {"feed per minute",
         "G21 G1 X60 F600\n",
         0,
         60,
         0,
         6,
         0,
         6,
         6 + 0.01,
         {{0, 0, 0}, {60, 0, 0}},
         {{0, 0, 0}, {60, 0, 0}}},
        {"rapid: the longest axis at the rapid rate",
         "G0 X30 Y40 Z-10\n",
         std::sqrt(2600.0),
         0,
         0.4,
         0,
         0,
         0.4,
         0,
         {{0, 0, -10}, {30, 40, 0}},
         {{}, {}}},
        {"incremental",
         "G91 G1 X10 F600\nX10\nY10\n",
         0,
         30,
         0,
         3,
         0,
         3,
         0,
         {{0, 0, 0}, {20, 10, 0}},
         {{0, 0, 0}, {20, 10, 0}}},
        // The true half circle reaches Y 10; its 99 segments have no point there.
        {"arc by its true curve",
         "G2 X20 Y0 I10 J0 F600\n",
         0,
         halfCircle,
         0,
         halfCircle / 10,
         0,
         halfCircle / 10,
         halfCircle / 10 + 0.01,
         {{0, 0, 0}, {20, 10, 0}},
         {{0, 0, 0}, {20, 10, 0}}},
        {"helix",
         "G3 X0 Y0 Z-6 I5 J0 F600\n",
         0,
         helix,
         0,
         helix / 10,
         0,
         helix / 10,
         helix / 10 + 0.01,
         {{0, -5, -6}, {10, 5, 0}},
         {{0, -5, -6}, {10, 5, 0}}},
        // An arc in the XZ plane, seen from +Y: G2 from X0 to X20 about X10 passes Z -10.
        {"arc in the XZ plane",
         "G18 G2 X20 Z0 I10 K0 F600\n",
         0,
         halfCircle,
         0,
         halfCircle / 10,
         0,
         halfCircle / 10,
         halfCircle / 10 + 0.01,
         {{0, 0, -10}, {20, 0, 0}},
         {{0, 0, -10}, {20, 0, 0}}},
        // 2 inch at 10 inch per minute.
        {"inch",
         "G20 G1 X2 F10\n",
         0,
         2,
         0,
         12,
         0,
         12,
         12 + 10 * kInch / 60 / 1000,
         {{0, 0, 0}, {2, 0, 0}},
         {{0, 0, 0}, {2, 0, 0}}},
        // An arc made in inches and rewritten into millimetres keeps its true curve; its
        // feed was inches per minute.
        {"inch arc rewritten to millimetres",
         "G20\nG2 X2 Y0 I1 J0 F10\nG21\n",
         0,
         kPi * kInch,
         0,
         kPi / 10 * 60,
         0,
         kPi / 10 * 60,
         kPi / 10 * 60 + 10 * kInch / 60 / 1000,
         {{0, 0, 0}, {2 * kInch, kInch, 0}},
         {{0, 0, 0}, {2 * kInch, kInch, 0}}},
        // Inverse time: each move takes 1/F minutes.
        {"inverse time",
         "G93 G1 X30 F2\nX40 F6\n",
         0,
         40,
         0,
         40,
         0,
         40,
         0,
         {{0, 0, 0}, {40, 0, 0}},
         {{0, 0, 0}, {40, 0, 0}}},
        // Per revolution: 0.1 mm at 500 rpm is 50 mm/min.
        {"per revolution",
         "G95 S500 M3\nG1 X10 F0.1\n",
         0,
         10,
         0,
         12,
         0,
         12,
         0,
         {{0, 0, 0}, {10, 0, 0}},
         {{0, 0, 0}, {10, 0, 0}}},
        // A lathe feeds per revolution until told otherwise (X is a radius here).
        {"lathe",
         "S1000\nG1 X10 F0.2\n",
         0,
         10,
         0,
         3,
         0,
         3,
         0,
         {{0, 0, 0}, {10, 0, 0}},
         {{0, 0, 0}, {10, 0, 0}},
         latheB},
        // P without a point is milliseconds, with one seconds.
        {"dwells",
         "G4 P1500\nG4 P2.\nG1 X10 F600\n",
         0,
         10,
         0,
         1,
         3.5,
         4.5,
         4.5 + 0.01,
         {{0, 0, 0}, {10, 0, 0}},
         {{0, 0, 0}, {10, 0, 0}}},
        // Without F the default of 1000 mm/min.
        {"no F",
         "G1 X10\n",
         0,
         10,
         0,
         0.6,
         0,
         0.6,
         0.6 + 1000.0 / 60 / 1000,
         {{0, 0, 0}, {10, 0, 0}},
         {{0, 0, 0}, {10, 0, 0}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ProgramFacts f = run(c.program, c.configure).facts;
        EXPECT_NEAR(f.rapidLength, c.rapidLength, 1e-9);
        EXPECT_NEAR(f.feedLength, c.feedLength, 1e-9);
        EXPECT_NEAR(f.rapidTime, c.rapidTime, 1e-9);
        EXPECT_NEAR(f.feedTime, c.feedTime, 1e-9);
        EXPECT_NEAR(f.dwellTime, c.dwell, 1e-12);
        EXPECT_NEAR(f.totalTime, c.total, 1e-9);
        if (c.totalAccel > 0) {
            EXPECT_NEAR(f.totalTimeAccel, c.totalAccel, 1e-6);
        }
        EXPECT_GE(f.totalTimeAccel, f.totalTime - 1e-9);
        expectBox(f.all, c.all);
        if (c.feedLength > 0)
            expectBox(f.feed, c.feed);
        else
            EXPECT_TRUE(f.feed.empty);
    }
}

// The acceleration model against closed forms (1000 mm/s², 0.01 mm junction deviation).
TEST(ProgramFacts, AccelerationModelMatchesHandWorkedCases) {
    // Never reaches 100 mm/s: a triangle.
    EXPECT_NEAR(run("G0 X1\n").facts.totalTimeAccel, 2 * std::sqrt(0.001), 1e-9);
    EXPECT_NEAR(run("G0 X100\n").facts.totalTimeAccel, 1.1, 1e-9);
    // A reversal stops: two moves from rest to rest.
    EXPECT_NEAR(run("G1 X10 F600\nX0\n").facts.totalTimeAccel, 2.02, 1e-9);
    // A square at 10 mm/s: 90 degree corners passed at sqrt(a d sin45/(1 - sin45)) =
    // 4.913465 mm/s, worked out side by side.
    EXPECT_NEAR(run("G1 X10 F600\nY10\nX0\nY0\n").facts.totalTimeAccel, 4.0177619, 1e-6);
    // 360 chords of a circle of radius 10 at 10 mm/s: corners of 1 degree allow 512 mm/s, so
    // the only ramps are at the start and the end.
    std::string circle = "F600\n";
    for (int degree = 1; degree <= 360; ++degree) {
        char line[96];
        std::snprintf(line, sizeof line, "G1 X%.10f Y%.10f\n",
                      10 - 10 * std::cos(degree * kPi / 180), 10 * std::sin(degree * kPi / 180));
        circle += line;
    }
    const double chords = 360 * 20 * std::sin(0.5 * kPi / 180);
    const ProgramFacts f = run(circle).facts;
    EXPECT_NEAR(f.feedLength, chords, 1e-6);
    EXPECT_NEAR(f.totalTimeAccel, chords / 10 + 0.01, 1e-6);
    // A dwell and a tool change stop the machine between two moves that go straight on.
    EXPECT_NEAR(run("G0 X100\nG4 P1.\nX200\n").facts.totalTimeAccel, 2 * 1.1 + 1, 1e-9);
    const ProgramFacts change = run("G0 X100\nT2 M6\nX200\n").facts;
    EXPECT_EQ(change.toolChanges, 1u);
    EXPECT_NEAR(change.totalTimeAccel, 2 * 1.1 + 10, 1e-9);
    EXPECT_NEAR(change.totalTime, 2 + 10, 1e-9);
}

// A long program is planned in pieces; the pieces give what one plan of the whole would.
TEST(ProgramFacts, PlanningInPiecesEqualsOnePlan) {
    SpeedPlanner pieces(0.5), whole(1e300);
    for (int k = 0; k < 50000; ++k) {
        const double length = 0.01 + 0.02 * (k % 7), speed = 5 + (k % 5);
        const double junction = (k % 11 == 0) ? 0 : 4.0 + (k % 3);
        pieces.Add(length, speed, 100, junction);
        whole.Add(length, speed, 100, junction);
    }
    EXPECT_NEAR(pieces.Finish(), whole.Finish(), 1e-9);
}

TEST(ProgramFacts, CountsAndWarningsNameTheirLines) {
    const FactsRun r = run("G1 X10\n"            // 1: feed before any F
                           "T3 M6\n"             // 2
                           "S1000 M3\n"          // 3: a start
                           "M3\n"                // 4: already turning
                           "M4\n"                // 5: the other way: a start
                           "G2 X20 Y0 R2 F100\n" // 6: R too small for the chord 10
                           "G2 X40 Y0 I4 J0\n"   // 7: the end is 16 from the centre, not 4
                           "G1 X1.2.3\n"         // 8: the number does not convert
                           "(comment only)\n"    // not a block
                           "M30\n");             // 10
    const ProgramFacts &f = r.facts;
    EXPECT_EQ(f.blocks, 9u);
    EXPECT_EQ(f.toolChanges, 1u);
    EXPECT_EQ(f.spindleStarts, 2u);
    std::vector<int64_t> lines;
    for (const RunWarning &warning : f.warnings)
        lines.push_back(warning.line);
    EXPECT_EQ(lines, (std::vector<int64_t>{1, 6, 7, 8}));
    ASSERT_EQ(f.warnings.size(), 4u);
    EXPECT_EQ(f.warnings[3].message.Filled(), "Wort X1.2.3 verworfen: die Zahl ist nicht lesbar");
}

// A loop that dwells and changes tools without moving keeps one record of each.
TEST(ProgramFacts, StopsOfALoopWithoutMovesAddUp) {
    const FactsRun r = run("#1=0\nWHILE[#1LT1000]DO1\nG4 P1.\nT1 M6\nM5\nM3\n#1=#1+1\nEND1\n");
    EXPECT_EQ(r.log.events.size(), 3u);
    EXPECT_NEAR(r.facts.dwellTime, 1000, 1e-9);
    EXPECT_EQ(r.facts.toolChanges, 1000u);
    EXPECT_EQ(r.facts.spindleStarts, 1000u);
    EXPECT_NEAR(r.facts.totalTime, 1000 + 10000, 1e-6);
}

// Work offsets: the path and the tool stay where they are on the machine, the machine's zero
// is at X-100 Z50 in the new work system.
TEST(ProgramFacts, MachineCoordinatesAddTheFinalWorkOffset) {
    const ProgramFacts f = run("G10 L2 P1 X100 Z-50\nG54\nG1 X10 F600\n").facts;
    expectBox(f.all, {{-100, 0, 50}, {10, 0, 50}});
    expectBox(f.allMachine, {{0, 0, 0}, {110, 0, 0}});
    EXPECT_NEAR(f.feedLength, 110, 1e-9);
}

// Drilling cycles count as the machine drills them: rapid to the R level, feed to the bottom,
// rapid back to the initial level (G98) or the R level (G99, where the next moves start),
// whether the backplot draws them to scale or as strokes. Pecks are not counted.
TEST(ProgramFacts, DrillingCyclesCountAsDrilledWhateverTheDrawing) {
    const struct {
        const char *name;
        const char *program;
        double zMin, rapidLength, feedLength; // hand-worked; rapidLength < 0: not worked out
    } cases[] = {
        {"G98", "G0 X0 Y0 Z10\nG98 G81 X10 Y0 Z-8 R2 F100\nX20\nG80\nG0 Z10\n", -8, 82, 20},
        {"G99: the next moves start from R",
         "G0 X0 Y0 Z10\nG99 G81 X10 Y0 Z-8 R2 F100\nX20\nG80\nG0 X0\nG0 Z10\n", -8, 86, 20},
        {"G83 from the issue", "G0 Z5\nG83 X0 Y0 Z-12 R1 Q3 F100\nG80\n", -12, 26, 13},
        {"incremental: R from the initial level, the bottom from R",
         "G0 Z10\nG91 G81 X10 Y0 Z-5 R-8 F100\nX10\nG90 G80\n", -3, 72, 10},
        {"a bolt circle of G99 holes",
         "G0 X0 Y0 Z5\nG99 G81 Z-2 R1 F100 L0\nG34 X0 Y0 I10 J0 K4\nG80\nG0 X0 Y0\nZ5\n", -2, -1,
         12},
        {"G99 under a work offset and a change of units",
         "G10 L2 P1 Z-5\nG0 Z10\nG99 G81 X1 Y0 Z-8 R2 F100\nX2\nG80\nG54\nG0 X0\nG21\nG0 X3\n",
         -3 * kInch, -1, -1},
        {"G99, then G92 names the position", "G0 Z10\nG99 G81 X1 Z-8 R2 F100\nG80\nG92 Z0\nG0 X0\n",
         -10, -1, 10},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const ProgramFacts drawn = run(c.program).facts;
        const ProgramFacts scaled =
            run(c.program, [](InterpreterHarness &h) { h.options.cyclesToScale = true; }).facts;
        EXPECT_NEAR(drawn.rapidLength, scaled.rapidLength, 1e-9);
        EXPECT_NEAR(drawn.feedLength, scaled.feedLength, 1e-9);
        EXPECT_NEAR(drawn.totalTime, scaled.totalTime, 1e-9);
        EXPECT_NEAR(drawn.totalTimeAccel, scaled.totalTimeAccel, 1e-9);
        expectBox(drawn.all, {{scaled.all.min[0], scaled.all.min[1], scaled.all.min[2]},
                              {scaled.all.max[0], scaled.all.max[1], scaled.all.max[2]}});
        expectBox(drawn.feed, {{scaled.feed.min[0], scaled.feed.min[1], scaled.feed.min[2]},
                               {scaled.feed.max[0], scaled.feed.max[1], scaled.feed.max[2]}});
        EXPECT_NEAR(drawn.feed.min[2], c.zMin, 1e-9);
        if (c.rapidLength >= 0) {
            EXPECT_NEAR(drawn.rapidLength, c.rapidLength, 1e-9);
        }
        if (c.feedLength >= 0) {
            EXPECT_NEAR(drawn.feedLength, c.feedLength, 1e-9);
        }
    }
}

// The sample flange's holes are 8 deep (G81 Z-8 R2 from Z2), its pocket 3.
TEST(StatsCommand, TheSampleBoltCircleIsDrilledToItsDepth) {
    std::ostringstream out, err;
    ASSERT_EQ(cli::RunCli({"stats", "--json",
                           MORVILO_TEST_DATA "/../../data/programs/mill-macro-boltcircle.nc"},
                          out, err),
              0)
        << err.str();
    const QJsonObject extents = QJsonDocument::fromJson(QByteArray::fromStdString(out.str()))
                                    .object()["extents"]
                                    .toObject();
    EXPECT_EQ(extents["feed"].toObject()["min"].toArray()[2].toDouble(), -8);
}

// A comment after ";" is no words: the program runs without a warning.
TEST(ProgramFacts, ASemicolonCommentIsNoWords) {
    EXPECT_TRUE(run("G1 X5 F100 ; move\n").facts.warnings.empty());
}

// The plot list tells what each move is, with the feed words in force.
TEST(ProgramFacts, PlotListRecordsWhatEachMoveIs) {
    InterpreterHarness h;
    const auto points = h.Run("G0 X1\nG1 X2 F300 S800 T4\nG3 X4 Y0 I1 J0\nG81 X5 Y0 Z-1 R1\n");
    ASSERT_GE(points.size(), 105u);
    EXPECT_EQ(points[0].move.kind, MoveKind::Rapid);
    EXPECT_EQ(points[1].move.kind, MoveKind::Feed);
    EXPECT_EQ(points[1].move.feed, 300);
    EXPECT_EQ(points[1].move.speed, 800);
    EXPECT_EQ(points[1].move.tool, 4);
    EXPECT_TRUE(points[1].move.feedGiven);
    EXPECT_EQ(points[2].move.kind, MoveKind::ArcCcw);
    EXPECT_EQ(points[101].move.kind, MoveKind::ArcCcw);
    EXPECT_EQ(points[102].move.kind, MoveKind::Rapid); // positioning to the hole
    EXPECT_EQ(points[103].move.kind, MoveKind::Cycle); // the stroke into it
    EXPECT_EQ(points[104].move.kind, MoveKind::Rapid); // and out
}

// An acceleration of 0 means the same for the program facts as for the profile's relief estimate:
// acceleration is ignored, every move goes at its speed throughout; the built-ins time their
// rapids alike.
TEST(ProgramFacts, AccelerationZeroIsIgnored) {
    InterpreterHarness h;
    RunLog log;
    h.log = &log;
    h.Run("G0 X100\nG1 X0 F600\nG0 Y10\n");
    MachineProfile plain = *FindProfile(BuiltInProfiles(), "plain");
    ASSERT_EQ(plain.acceleration, 0);
    const ProgramFacts ignored = ComputeFacts(h.lines, log, RatesOfProfile(plain));
    EXPECT_NEAR(ignored.totalTime, 100 / (5000 / 60.0) + 10 + 10 / (5000 / 60.0), 1e-9);
    EXPECT_EQ(ignored.totalTimeAccel, ignored.totalTime);
    plain.acceleration = 500;
    const ProgramFacts accelerated = ComputeFacts(h.lines, log, RatesOfProfile(plain));
    EXPECT_EQ(accelerated.totalTime, ignored.totalTime);
    EXPECT_GT(accelerated.totalTimeAccel, accelerated.totalTime);
}

// The relief estimate is the program facts' run time of the program written (acceleration
// ignored): the same speeds, the rapids between rows at the rapid rate on every axis. Only the
// first retract (Z0 to the safe height) is left out of the estimate.
TEST(ProgramFacts, ReliefEstimateIsTheRunTimeOfItsProgram) {
    ScratchFolder scratch;
    const dib picture = MakePicture24({{kWhite, kBlack, kWhite, kBlack, kWhite},
                                       {kBlack, kWhite, kWhite, kBlack, kBlack},
                                       {kWhite, kWhite, kBlack, kWhite, kBlack}});
    ReliefParameters p;
    p.width = 5;
    p.abstandfr = 0.5;
    p.levels = 3;
    p.sicher = 5;
    p.tiefe = -1;
    p.profile = *FindProfile(BuiltInProfiles(), "linuxcnc");
    p.profile.acceleration = 0;
    for (const bool zigzag : {false, true}) {
        p.levelOptions.zigzag = zigzag;
        const auto path = scratch / "relief.nc";
        OutputFile out;
        ASSERT_TRUE(out.Open(path.string(), OutputFile::Mode::Replace, 4096));
        WriteRelief(p, picture, out);
        ASSERT_TRUE(out.Commit());
        const ReliefEstimate estimate = MeasureRelief(p, picture);
        InterpreterHarness h;
        RunLog log;
        h.log = &log;
        ASSERT_TRUE(h.memo1.OpenFileWithName(path));
        CalcBtnClick(h.Environment());
        const ProgramFacts facts = ComputeFacts(h.lines, log, RatesOfProfile(p.profile));
        EXPECT_NEAR(facts.totalTime, estimate.seconds + 5 / (5000 / 60.0), 1e-6)
            << "zigzag " << zigzag;
        EXPECT_NEAR(facts.rapidLength, estimate.rapidLength + estimate.retractLength + 5, 1e-6);
    }
}

// A profile of the user's (through profiles.ini) gives the rates, the tool-change time and the
// travel; moves beyond the travel are warned about with their lines, in line order with the
// others.
TEST(StatsCommand, RatesAndTravelComeFromTheProfile) {
    ScratchFolder scratch;
    std::vector<MachineProfile> profiles = BuiltInProfiles();
    MachineProfile own = profiles.front();
    own.builtIn = own.pathsOnly = false;
    own.name = own.cliName = "Portal";
    own.rapidRate = 6000;
    own.acceleration = 1000;
    own.toolChangeTime = 4;
    own.travel[0] = {-10, 50}; // machine X; the work zero lies at machine X 20
    own.travel[2] = {-100, 0};
    profiles.push_back(own);
    UserMessage error;
    ASSERT_TRUE(SaveMachineProfiles((scratch / kProfilesFileName).string(), profiles, error));
    cli::SetSettingsFolder((scratch / "").string());
    const auto path = scratch / "p.nc";
    WriteFile(path, "G10 L2 P1 X20\nG54\nT1 M6\nG0 X10\nG0 X40\nG1 X-40 F600\nG1 X\nG0 "
                    "X0 Z5\n");
    std::ostringstream out, err;
    ASSERT_EQ(cli::RunCli({"stats", "--json", "--profile", "portal", path.string()}, out, err), 0)
        << err.str();
    cli::SetSettingsFolder({});
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(out.str())).object();
    // Rapids: from machine X 0 (work -20) to 10 and 40, 30 + 30 mm at 100 mm/s; feed 80 mm at
    // 10 mm/s; back to X 0: 40 mm, Z up 5 mm; one tool change of 4 s.
    EXPECT_NEAR(json["time"]["rapid"].toDouble(), (30 + 30 + 40) / 100.0, 1e-9);
    EXPECT_NEAR(json["time"]["feed"].toDouble(), 8, 1e-9);
    EXPECT_NEAR(json["time"]["toolchange"].toDouble(), 4, 1e-12);
    std::vector<std::pair<int, QString>> warnings;
    for (const QJsonValue &w : json["warnings"].toArray())
        warnings.push_back({w["line"].toInt(), w["text"].toString()});
    ASSERT_EQ(warnings.size(), 4u) << out.str();
    EXPECT_EQ(warnings[0].first, 5); // machine X 60
    EXPECT_EQ(warnings[1].first, 6); // machine X -20
    EXPECT_EQ(warnings[2].first, 7); // the word X without a number
    EXPECT_EQ(warnings[3].first, 8); // Z 5 above the travel's top
    EXPECT_EQ(warnings[0].second, "Beyond the travel: X 60.000 (travel -10.000 .. 50.000)");
    EXPECT_EQ(warnings[1].second, "Beyond the travel: X -20.000 (travel -10.000 .. 50.000)");
    EXPECT_EQ(warnings[3].second, "Beyond the travel: Z 5.000 (travel -100.000 .. 0.000)");
}

TEST(StatsCommand, JsonHasExactlyTheKeys) {
    ScratchFolder scratch;
    const auto path = scratch / "p.nc";
    WriteFile(path, "G1 X10 F600\nG4 P1.\n");
    std::ostringstream out, err;
    ASSERT_EQ(
        cli::RunCli({"stats", "--json", "--rapid-rate", "6000", "--accel", "1000", path.string()},
                    out, err),
        0)
        << err.str();
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(out.str())).object();
    EXPECT_EQ(json.keys(),
              (QStringList{"blocks", "extents", "length", "time", "time_accel", "warnings"}));
    EXPECT_EQ(json["extents"].toObject().keys(), (QStringList{"all", "feed"}));
    EXPECT_EQ(json["extents"]["feed"].toObject().keys(), (QStringList{"max", "min"}));
    EXPECT_EQ(json["extents"]["all"]["max"].toArray(), (QJsonArray{10, 0, 0}));
    EXPECT_EQ(json["length"].toObject().keys(), (QStringList{"feed", "rapid"}));
    EXPECT_EQ(json["time"].toObject().keys(),
              (QStringList{"dwell", "feed", "rapid", "toolchange", "total"}));
    EXPECT_EQ(json["blocks"].toInt(), 2);
    EXPECT_DOUBLE_EQ(json["time"]["total"].toDouble(), 2);
    EXPECT_DOUBLE_EQ(json["time_accel"].toDouble(), 2.01);
    EXPECT_EQ(json["warnings"].toArray().size(), 0);

    std::ostringstream out2, err2;
    EXPECT_EQ(cli::RunCli({"stats", "--accel", "0", path.string()}, out2, err2), 2);
    EXPECT_NE(err2.str().find("--accel"), std::string::npos);
}

} // namespace
} // namespace morvilo::test
