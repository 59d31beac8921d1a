// The options of the stepped program that save machine time (level 0 left out, a clearance
// between the runs of a level, zigzag rows), and the dry run's figures found without walking
// the grid.

#include "../common/testfiles.h"
#include "relief/reliefgenerator.h"
#include "reliefprograms.h"
#include "testpictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <tuple>

namespace fs = std::filesystem;
using namespace morvilo;
using namespace morvilo::test;

namespace {

const std::string kTestData = MORVILO_TEST_DATA;

class LevelOptionsTest : public ReliefProgramTest {};

LevelOptions options(bool skipAir, double clearance, bool zigzag) {
    LevelOptions o;
    o.skipAir = skipAir;
    o.useClearance = clearance > 0;
    if (o.useClearance)
        o.clearance = clearance;
    o.zigzag = zigzag;
    return o;
}

// The worked example's levels are 0 2 2 1 / 2 2 0 0.

// Each option on the worked example, and together on a picture whose rows have several runs.
TEST_F(LevelOptionsTest, EachOptionOnSmallPictures) {
    const dib worked = workedExamplePicture();
    // Levels 1 0 1 1 0 1 / 0 1 0 0 1 0 with two levels.
    const dib striped = MakePicture24({{kWhite, kBlack, kWhite, kWhite, kBlack, kWhite},
                                       {kBlack, kWhite, kBlack, kBlack, kWhite, kBlack}});
    ReliefParameters stripedParameters = workedExampleParameters();
    stripedParameters.width = 6;
    stripedParameters.levels = 2;
    ReliefParameters upward = workedExampleParameters(); // Z up: safe 5, cuts 0 .. -2
    upward.sicher = 5;
    upward.tiefe = -2;
    ReliefParameters noDecimals = workedExampleParameters();
    noDecimals.nach = 0;
    struct Case {
        const char *what;
        ReliefParameters p;
        LevelOptions o;
        const dib &picture;
        std::vector<Group> expected;
    };
    const std::vector<Group> plain = workedExampleGroups();
    const Case cases[] = {
        {"level 0 left out",
         workedExampleParameters(),
         options(true, 0, false),
         worked,
         {plain.begin() + 2, plain.end()}},
        {"zigzag: every other row right to left",
         workedExampleParameters(),
         options(false, 0, true),
         worked,
         {
             {"G0 X0.00 Y0.00", "G1 Z0.00", "G1 X3.00 Y0.00", "G0 Z-1.00"},
             {"G0 X3.00 Y1.00", "G1 Z0.00", "G1 X0.00 Y1.00", "G0 Z-1.00"},
             {"G0 X1.00 Y0.00", "G1 Z1.00", "G1 X3.00 Y0.00", "G0 Z-1.00"},
             {"G0 X1.00 Y1.00", "G1 Z1.00", "G1 X0.00 Y1.00", "G0 Z-1.00"},
             {"G0 X1.00 Y0.00", "G1 Z2.00", "G1 X2.00 Y0.00", "G0 Z-1.00"},
             {"G0 X1.00 Y1.00", "G1 Z2.00", "G1 X0.00 Y1.00", "G0 Z-1.00"},
         }},
        {"clearance 0.5 towards the safe height below Z start",
         workedExampleParameters(),
         options(false, 0.5, false),
         worked,
         {
             {"G0 X0.00 Y0.00", "G1 Z0.00", "G1 X3.00 Y0.00", "G0 Z-0.50"},
             {"G0 X0.00 Y1.00", "G1 Z0.00", "G1 X3.00 Y1.00", "G0 Z-1.00"},
             {"G0 X1.00 Y0.00", "G1 Z1.00", "G1 X3.00 Y0.00", "G0 Z-0.50"},
             {"G0 X0.00 Y1.00", "G1 Z1.00", "G1 X1.00 Y1.00", "G0 Z-1.00"},
             {"G0 X1.00 Y0.00", "G1 Z2.00", "G1 X2.00 Y0.00", "G0 Z-0.50"},
             {"G0 X0.00 Y1.00", "G1 Z2.00", "G1 X1.00 Y1.00", "G0 Z-1.00"},
         }},
        {"clearance 0.5 towards the safe height above Z start",
         upward,
         options(false, 0.5, false),
         worked,
         {
             {"G0 X0.00 Y0.00", "G1 Z0.00", "G1 X3.00 Y0.00", "G0 Z0.50"},
             {"G0 X0.00 Y1.00", "G1 Z0.00", "G1 X3.00 Y1.00", "G0 Z5.00"},
             {"G0 X1.00 Y0.00", "G1 Z-1.00", "G1 X3.00 Y0.00", "G0 Z0.50"},
             {"G0 X0.00 Y1.00", "G1 Z-1.00", "G1 X1.00 Y1.00", "G0 Z5.00"},
             {"G0 X1.00 Y0.00", "G1 Z-2.00", "G1 X2.00 Y0.00", "G0 Z0.50"},
             {"G0 X0.00 Y1.00", "G1 Z-2.00", "G1 X1.00 Y1.00", "G0 Z5.00"},
         }},
        // A clearance that reaches the safe height, or that the decimals round onto Z start,
        // gives nothing: the safe height stays.
        {"clearance beyond the safe height", workedExampleParameters(), options(false, 1, false),
         worked, plain},
        {"clearance rounded onto Z start",
         noDecimals,
         options(false, 0.4, false),
         worked,
         {
             {"G0 X0 Y0", "G1 Z0", "G1 X3 Y0", "G0 Z-1"},
             {"G0 X0 Y1", "G1 Z0", "G1 X3 Y1", "G0 Z-1"},
             {"G0 X1 Y0", "G1 Z1", "G1 X3 Y0", "G0 Z-1"},
             {"G0 X0 Y1", "G1 Z1", "G1 X1 Y1", "G0 Z-1"},
             {"G0 X1 Y0", "G1 Z2", "G1 X2 Y0", "G0 Z-1"},
             {"G0 X0 Y1", "G1 Z2", "G1 X1 Y1", "G0 Z-1"},
         }},
        {"all three on rows of several runs",
         stripedParameters,
         options(true, 0.5, true),
         striped,
         {
             {"G0 X0.00 Y0.00", "G1 Z2.00", "G1 X0.00 Y0.00", "G0 Z-0.50"},
             {"G0 X2.00 Y0.00", "G1 Z2.00", "G1 X3.00 Y0.00", "G0 Z-0.50"},
             {"G0 X5.00 Y0.00", "G1 Z2.00", "G1 X5.00 Y0.00", "G0 Z-0.50"},
             {"G0 X4.00 Y1.00", "G1 Z2.00", "G1 X4.00 Y1.00", "G0 Z-0.50"},
             {"G0 X1.00 Y1.00", "G1 Z2.00", "G1 X1.00 Y1.00", "G0 Z-1.00"},
         }},
    };
    for (const Case &c : cases) {
        ReliefParameters p = c.p;
        p.levelOptions = c.o;
        EXPECT_EQ(relief(p, c.picture), join(c.expected)) << c.what;
    }
}

// A group of a bare program: approach, plunge, cut, retract.
struct ParsedGroup {
    double x0, y0, z, x1, y1, retract;
};

std::vector<ParsedGroup> parseGroups(const std::string &program) {
    std::vector<ParsedGroup> groups;
    std::istringstream lines(program);
    for (std::string line; std::getline(lines, line, '\n');) {
        ParsedGroup g{};
        if (std::sscanf(line.c_str(), "G0 X%lf Y%lf\rG1 Z%lf\rG1 X%lf Y%lf\rG0 Z%lf", &g.x0, &g.y0,
                        &g.z, &g.x1, &g.y1, &g.retract) != 6)
            ADD_FAILURE() << "not a group: " << line;
        groups.push_back(g);
    }
    return groups;
}

// A cut as a set member: depth, row, the columns it spans whichever way it runs.
using Cut = std::tuple<double, double, double, double>;

std::vector<Cut> cutsOf(const std::vector<ParsedGroup> &groups, double skippedZ, bool skip) {
    std::vector<Cut> cuts;
    for (const ParsedGroup &g : groups)
        if (!(skip && g.z == skippedZ))
            cuts.emplace_back(g.z, g.y0, std::min(g.x0, g.x1), std::max(g.x0, g.x1));
    std::sort(cuts.begin(), cuts.end());
    return cuts;
}

// On real pictures, Z down and Z up, every combination of the options: the program cuts the
// same runs at the same depths as without them (level 0 aside when it is left out); every
// rapid over the paths happens beyond Z start, towards the safe height; a level is left at
// the safe height; the dry run's figures are those of the program written, and the options
// save time.
TEST_F(LevelOptionsTest, ProgramsCutTheSameRunsAndNeverRapidThroughTheStock) {
    ReliefParameters down;
    down.width = 20;
    down.abstandfr = 0.2;
    down.levels = 8;
    down.sicher = -2;
    down.tiefe = 1.5;
    down.zstart = 0.25;
    down.profile = *FindProfile(BuiltInProfiles(), "plain");
    ReliefParameters up = down;
    up.sicher = 3;
    up.tiefe = -1.5;
    up.ystart = -4; // Y texts cross zero
    up.profile.acceleration = 250;
    up.profile.pathsOnly = true;
    const std::string pictures[] = {kTestData + "/pictures/bmp24.bmp",
                                    kTestData + "/../../data/sample-logo.png"};
    for (const std::string &picture : pictures)
        for (const ReliefParameters &base : {down, up}) {
            std::string plainProgram;
            const ReliefResult plain = generate(base, picture, plainProgram);
            ASSERT_EQ(plain.status, ReliefStatus::Ok) << plain.message;
            EXPECT_EQ(plain.estimate.plainSeconds, plain.estimate.seconds);
            const std::vector<ParsedGroup> plainGroups = parseGroups(plainProgram);
            const double side = base.sicher > base.zstart ? 1 : -1;
            for (int combination = 1; combination < 8; ++combination) {
                ReliefParameters p = base;
                p.levelOptions =
                    options(combination & 1, combination & 2 ? 0.4 : 0, combination & 4);
                const std::string what = picture + " options " + std::to_string(combination) +
                                         " safe " + std::to_string(base.sicher);
                std::string program;
                const ReliefResult result = generate(p, picture, program);
                ASSERT_EQ(result.status, ReliefStatus::Ok) << result.message;
                const std::vector<ParsedGroup> groups = parseGroups(program);
                EXPECT_EQ(cutsOf(groups, base.zstart, false),
                          cutsOf(plainGroups, base.zstart, p.levelOptions.skipAir))
                    << what;

                double z = base.sicher; // the tool starts at the safe height
                for (size_t k = 0; k < groups.size(); ++k) {
                    const ParsedGroup &g = groups[k];
                    ASSERT_GT(side * (z - base.zstart), 0) << what << " group " << k;
                    EXPECT_LE(side * (g.retract - base.sicher), 1e-9) << what;
                    const bool levelEnds = k + 1 == groups.size() || groups[k + 1].z != g.z;
                    if (levelEnds || !p.levelOptions.useClearance) {
                        EXPECT_DOUBLE_EQ(g.retract, base.sicher) << what << " group " << k;
                    }
                    z = g.retract;
                }

                const ReliefResult dry = MeasureReliefFile(p, picture);
                ASSERT_EQ(dry.status, ReliefStatus::Ok) << dry.message;
                EXPECT_EQ(dry.estimate.bytes, program.size()) << what;
                EXPECT_EQ(dry.estimate.cuts, result.groups) << what;
                EXPECT_EQ(result.groups, groups.size()) << what;
                EXPECT_NEAR(dry.estimate.seconds, result.estimate.seconds,
                            1e-9 * result.estimate.seconds)
                    << what;
                EXPECT_NEAR(dry.estimate.plainSeconds, plain.estimate.seconds,
                            1e-9 * plain.estimate.seconds)
                    << what;
                EXPECT_NEAR(result.estimate.plainSeconds, plain.estimate.seconds,
                            1e-9 * plain.estimate.seconds)
                    << what;
                EXPECT_LT(result.estimate.seconds, plain.estimate.seconds) << what;
                EXPECT_GT(SecondsSaved(result.estimate), 0) << what;
            }
        }
}

// The dry run measures the grid rows that sample one picture row together: on a grid of
// 19999 x 14999 over a 4 x 3 picture, with Y crossing zero and texts of every length from
// "-50.0" to "1449.9", its figures are those of the program written row by row.
TEST_F(LevelOptionsTest, DryRunAgreesWithTheProgramOnAFineGrid) {
    const std::string picture = pictureFile(MakePicture24({{kBlack, Grey(128), kWhite, kWhite},
                                                           {kWhite, Grey(64), kBlack, Grey(200)},
                                                           {Grey(100), kWhite, kWhite, kBlack}}));
    ReliefParameters p;
    p.width = 2000;
    p.abstandfr = 0.1;
    p.levels = 3;
    p.ystart = -50;
    p.nach = 1;
    for (const LevelOptions &o : {LevelOptions{}, options(true, 0.5, true)}) {
        p.levelOptions = o;
        std::string program;
        const ReliefResult written = generate(p, picture, program);
        ASSERT_EQ(written.status, ReliefStatus::Ok) << written.message;
        const ReliefResult dry = MeasureReliefFile(p, picture);
        ASSERT_EQ(dry.status, ReliefStatus::Ok) << dry.message;
        EXPECT_EQ(dry.estimate.rows, 14999);
        EXPECT_EQ(dry.estimate.bytes, program.size());
        EXPECT_EQ(dry.estimate.cuts, written.groups);
        EXPECT_NEAR(dry.estimate.seconds, written.estimate.seconds,
                    1e-9 * written.estimate.seconds);
        EXPECT_NEAR(dry.estimate.cutLength, written.estimate.cutLength,
                    1e-9 * written.estimate.cutLength);
        EXPECT_NEAR(dry.estimate.rapidLength, written.estimate.rapidLength,
                    1e-9 * written.estimate.rapidLength);
    }
}

// A grid of a billion columns: the real run is refused for the disk, the dry run used to walk
// every row of it for about an hour; now it tells the figures at once. Black - white, two
// levels: every row has one run at level 0 and one at level 1.
TEST_F(LevelOptionsTest, DryRunOfAHugeGridIsMeasuredWithoutWalkingIt) {
    const std::string picture = pictureFile(MakePicture24({{kBlack, kWhite}}));
    ReliefParameters p;
    p.width = 100000;
    p.abstandfr = 0.0001;
    p.levels = 2;
    const int64_t columns = GridColumns(p.width, p.abstandfr);
    for (const LevelOptions &o : {LevelOptions{}, options(true, 0.5, true)}) {
        p.levelOptions = o;
        const ReliefResult dry = MeasureReliefFile(p, picture);
        ASSERT_EQ(dry.status, ReliefStatus::Ok) << dry.message;
        EXPECT_EQ(dry.estimate.columns, columns);
        EXPECT_EQ(dry.estimate.rows, columns / 2);
        const uint64_t runsPerRow = o.skipAir ? 1 : 2;
        EXPECT_EQ(dry.estimate.cuts, runsPerRow * uint64_t(columns / 2));
        // Each group has at least "G0 X0.0000 Y0.0000" and its three other lines.
        EXPECT_GT(dry.estimate.bytes, dry.estimate.cuts * 50);
        EXPECT_TRUE(std::isfinite(dry.estimate.seconds));
        EXPECT_GT(dry.estimate.seconds, 0);
    }
}

TEST(LevelOptions, ClearanceOutsideItsRangeIsRefused) {
    ReliefParameters p;
    for (const double clearance : {0.0, -1.0, 1e6, std::nan("")}) {
        p.levelOptions = options(false, 0, false);
        p.levelOptions.useClearance = true;
        p.levelOptions.clearance = clearance;
        EXPECT_FALSE(CheckReliefParameters(p).empty()) << clearance;
    }
    p.levelOptions.clearance = 0.5;
    EXPECT_TRUE(CheckReliefParameters(p).empty());
    p.levelOptions.useClearance = false; // an unused value is not checked
    p.levelOptions.clearance = -1;
    EXPECT_TRUE(CheckReliefParameters(p).empty());
}

} // namespace
