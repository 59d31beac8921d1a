// The options of the stepped program on the command line, and the dry run of a huge grid.

#include "../common/testfiles.h"
#include "../relief/testpictures.h"
#include "cli/cli.h"
#include "clitest.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;
using namespace morvilo;

namespace {

class ReliefLevelsCliTest : public test::CliTest {};

// --skip-air, --clearance and --zigzag change the program as the generator's options do, the
// dry run tells what they save, and a clearance out of range or a flag with a value is refused.
TEST_F(ReliefLevelsCliTest, OptionsOfTheLevels) {
    const std::string output = (folder / "out.nc").string();
    ASSERT_EQ(run({"relief", picture, output, "--levels", "2", "--width", "2", "--distance", "1",
                   "--decimals", "1", "--invert", "--skip-air", "--clearance", "0.5", "--zigzag"}),
              0)
        << err.str();
    // Inverted levels 1 0 / 0 1: level 0 left out, the first run retracts to the clearance,
    // the level's last to the safe height.
    EXPECT_EQ(test::ReadFile(output), "G0 X0.0 Y0.0\rG1 Z1.0\rG1 X0.0 Y0.0\rG0 Z-0.5\r\n"
                                      "G0 X1.0 Y1.0\rG1 Z1.0\rG1 X1.0 Y1.0\rG0 Z-1.0\r\n");

    ASSERT_EQ(run({"relief", picture, "--dry-run", "--profile", "linuxcnc", "--safe", "5",
                   "--depth", "-1", "--skip-air", "--clearance=1", "--zigzag"}),
              0)
        << err.str();
    EXPECT_NE(out.str().find("\nSaved: "), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("without the options "), std::string::npos) << out.str();
    ASSERT_EQ(run({"relief", picture, "--dry-run"}), 0) << err.str();
    EXPECT_EQ(out.str().find("Saved: "), std::string::npos) << out.str();

    EXPECT_EQ(run({"relief", picture, output, "--clearance", "0"}), cli::kUsage);
    EXPECT_NE(err.str().find("clearance must lie between 0.0001 and 100000"), std::string::npos)
        << err.str();
    EXPECT_EQ(run({"relief", picture, output, "--zigzag=yes"}), cli::kUsage);
    EXPECT_EQ(run({"relief", "--help"}), 0);
    for (const char *flag : {"--skip-air", "--clearance C", "--zigzag"})
        EXPECT_NE(out.str().find(flag), std::string::npos) << flag;
}

// A grid of a billion columns: the dry run ends with the figures instead of walking every row
// (it used to take about an hour).
TEST_F(ReliefLevelsCliTest, DryRunOfAHugeGrid) {
    ASSERT_EQ(run({"relief", picture, "--dry-run", "--width", "100000", "--distance", "0.0001"}), 0)
        << err.str();
    EXPECT_NE(out.str().find("Grid: 999999999 × 999999999\n"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("Run time: "), std::string::npos) << out.str();
}

} // namespace
