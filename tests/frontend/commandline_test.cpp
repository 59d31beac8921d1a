#include "../common/testfiles.h"
#include "../relief/testpictures.h"
#include "frontend/commandline.h"
#include "frontend/panelvalues.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace morvilo;

TEST(PanelValues, TwoDecimalsHalfAwayFromZero) {
    struct Case {
        double value, shown;
    } cases[] = {{12.125, 12.13}, {0.285, 0.29}, {-0.285, -0.29},     {0.1, 0.1},     {20, 20},
                 {0.004, 0},      {0.005, 0.01}, {99999.995, 100000}, {1e300, 1e300}, {0, 0}};
    for (const Case &c : cases)
        EXPECT_EQ(RoundToTwoDecimals(c.value), c.shown) << c.value;

    EXPECT_EQ(PanelReal(0.00001, kDistanceRange), 0.01); // never 0.00
    EXPECT_EQ(PanelReal(1e9, kWidthRange), 100000);
    EXPECT_EQ(PanelReal(-5, kWidthRange), 0.01);
    EXPECT_EQ(PanelInteger(300, kLevelsRange), 256);
    EXPECT_EQ(PanelInteger(-4, kLevelsRange), 2);
}

TEST(CommandLine, ArgumentsThreeToSixInOneGuard) {
    struct Case {
        std::vector<std::string> arguments;
        int levels;
        long double width;
        double distance;
        bool invert;
    } cases[] = {
        {{"pic.bmp", "out.nc", "8", "20", "0.1", "TRUE"}, 8, 20, 0.1, true},
        {{"pic.bmp", "out.nc", "abc", "20"}, 16, 10, 0.05, false}, // stops before the width
        {{"pic.bmp", "out.nc", "8", "x", "0.3"}, 8, 10, 0.05, false},
        {{"pic.bmp", "out.nc", "8", "12.125", "y", "tRuE"}, 8, 12.13L, 0.05, true},
        {{"pic.bmp", "out.nc", "1000", "0", "1e9", "yes"}, 256, 0.01L, 100000, false},
        {{"pic.bmp", "out.nc", "8", "2.2", "0.285"}, 8, 2.2L, 0.29, false},
        {{"pic.bmp", "out.nc", "8.5", "20", "0.1"}, 16, 10, 0.05, false}, // not an integer
        {{"pic.bmp"}, 16, 10, 0.05, false},
    };
    for (const Case &c : cases) {
        ReliefParameters p = StartupReliefParameters();
        const StartupCommand command = ApplyCommandLine(c.arguments, p);
        const std::string context = c.arguments.size() > 2 ? c.arguments[2] : "one argument";
        EXPECT_EQ(command.picture, "pic.bmp");
        EXPECT_EQ(command.output, c.arguments.size() > 1 ? "out.nc" : "") << context;
        EXPECT_EQ(p.levels, c.levels) << context;
        EXPECT_EQ(p.width, c.width) << context;
        EXPECT_EQ(p.abstandfr, c.distance) << context;
        EXPECT_EQ(p.invert, c.invert) << context;
        EXPECT_EQ(p.tiefe, 1); // the other start-up values stay
        EXPECT_EQ(p.sicher, -1);
        EXPECT_EQ(p.nach, 4);
    }
}

namespace {

struct ProgramRun {
    int status;
    std::string errors;
};

ProgramRun runProgram(const std::string &arguments, const fs::path &folder) {
    const fs::path errors = folder / "stderr.txt";
    const std::string command = std::string("env -u DISPLAY -u WAYLAND_DISPLAY ") +
                                MORVILO_PROGRAM + " " + arguments + " 2>" + errors.string();
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, test::ReadFile(errors)};
}

} // namespace

TEST(CommandLine, ProgramGeneratesAndSavesWithoutADisplay) {
    test::ScratchFolder scratch;
    const fs::path &folder = scratch.path();
    const fs::path picture = folder / "pic.bmp";
    test::WriteBmp24(picture, test::MakePicture24({{test::kBlack, test::kWhite, test::Grey(90)},
                                                   {test::kWhite, test::kBlack, test::kWhite}}));

    ProgramRun run = runProgram(
        picture.string() + " " + (folder / "out.nc").string() + " 8 20 0.1 TRUE", folder);
    EXPECT_EQ(run.status, 0) << run.errors;
    ReliefParameters expected = StartupReliefParameters();
    expected.levels = 8;
    expected.width = 20;
    expected.abstandfr = 0.1;
    expected.invert = true;
    ASSERT_EQ(GenerateReliefFile(expected, picture, folder / "expected.nc").status,
              ReliefStatus::Ok);
    EXPECT_EQ(test::ReadFile(folder / "out.nc"), test::ReadFile(folder / "expected.nc"));
    EXPECT_GT(fs::file_size(folder / "out.nc"), 0u);

    run =
        runProgram((folder / "missing.png").string() + " " + (folder / "none.nc").string(), folder);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, "Das Bild konnte nicht geladen werden.\n");
    EXPECT_FALSE(fs::exists(folder / "none.nc"));
}
