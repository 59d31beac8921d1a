#include "../common/childprocess.h"
#include "../common/testfiles.h"
#include "../relief/testpictures.h"
#include "cli/cli.h"
#include "clitest.h"
#include "machine/profilesfile.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace morvilo;

namespace {

using test::CliTest;

TEST_F(CliTest, ReliefTakesEveryParameterAsGiven) {
    const std::string output = (folder / "out.nc").string();
    ASSERT_EQ(run({"relief",     picture,      output,     "--levels",  "3",     "--width=2",
                   "--distance", "1",          "--invert", "--safe",    "5.125", "--depth",
                   "-2",         "--xstart",   "10",       "--ystart",  "-0.5",  "--zstart",
                   "1",          "--decimals", "3",        "--no-range"}),
              0)
        << err.str();
    // Range off, inverted: black -> 255 -> level 2, white -> level 0, grey 200 -> 55 -> 0.
    // The safe height keeps its third decimal: no rounding to the panel's two decimals.
    const std::string expected = "G0 X10.000 Y-0.500\rG1 Z1.000\rG1 X11.000 Y-0.500\rG0 Z5.125\r\n"
                                 "G0 X10.000 Y0.500\rG1 Z1.000\rG1 X11.000 Y0.500\rG0 Z5.125\r\n"
                                 "G0 X10.000 Y-0.500\rG1 Z0.000\rG1 X10.000 Y-0.500\rG0 Z5.125\r\n"
                                 "G0 X11.000 Y0.500\rG1 Z0.000\rG1 X11.000 Y0.500\rG0 Z5.125\r\n"
                                 "G0 X10.000 Y-0.500\rG1 Z-1.000\rG1 X10.000 Y-0.500\rG0 Z5.125\r\n"
                                 "G0 X11.000 Y0.500\rG1 Z-1.000\rG1 X11.000 Y0.500\rG0 Z5.125\r\n";
    EXPECT_EQ(test::ReadFile(output), expected);
    EXPECT_TRUE(err.str().empty());
}

TEST_F(CliTest, WidthKeepsThePrecisionOfItsText) {
    const std::string output = (folder / "out.nc").string();
    // 2.2 / 0.1 gives 21 columns of pitch 2.2 / 21, the last at X 2.0952.
    ASSERT_EQ(run({"relief", picture, output, "--width", "2.2", "--distance", "0.1"}), 0);
    EXPECT_EQ(test::ReadFile(output).substr(0, 49),
              "G0 X0.0000 Y0.0000\rG1 Z0.0000\rG1 X2.0952 Y0.0000\r");
}

// A grid without two columns and a row has no cut with a length: the command says so, exits with
// 1 and leaves the output as it was, or absent.
TEST_F(CliTest, ReliefRefusesAGridWithoutTwoColumnsAndARow) {
    const std::string wide = (folder / "wide.bmp").string();
    test::WriteBmp24(wide, test::MakeUniformPicture24(400, 1, test::kWhite));
    const std::string output = (folder / "out.nc").string();
    struct Case {
        std::vector<std::string> arguments;
        const char *grid;
    } cases[] = {
        {{picture, output, "--width", "0.01", "--distance", "1"}, "(columns: 0, rows: 0)"},
        {{picture, output, "--width", "1.5", "--distance", "1"}, "(columns: 1, rows: 1)"},
        {{wide, output, "--width", "4", "--distance", "1"}, "(columns: 4, rows: 0)"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> arguments{"relief"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        for (const bool existing : {false, true}) {
            if (existing)
                test::WriteFile(output, "old program\r\n");
            EXPECT_EQ(run(arguments), cli::kFailure) << c.grid;
            EXPECT_NE(err.str().find(c.grid), std::string::npos) << err.str();
            EXPECT_NE(err.str().find("at least 2 columns and 1 row"), std::string::npos);
            EXPECT_EQ(fs::exists(output), existing) << c.grid;
            if (existing) {
                EXPECT_EQ(test::ReadFile(output), "old program\r\n") << c.grid;
            }
            fs::remove(output);
        }
    }
    EXPECT_EQ(test::FileNamesIn(folder), (std::vector<std::string>{"pic.bmp", "wide.bmp"}));
}

// Work beyond the memory left is refused before it starts, saying how large it would be: a grid
// of 15839999 columns over a picture of 16 million needs 83 MB for its arrays, more than an
// address space of 150 MiB over what the process uses leaves beside the picture (96 MB).
// Nothing is left beside the output.
TEST_F(CliTest, ReliefRefusesWorkBeyondTheMemoryLeft) {
    const std::string wide = (folder / "wide.bmp").string();
    test::WriteBytes(wide, test::RleBmp(16000000, 2, 8));
    const std::string output = (folder / "out.nc").string();
    const std::string problems = test::InChildProcess([&] {
        if (!test::LimitAddressSpace(uint64_t(150) << 20))
            return std::string("skip: no address-space limit");
        const int status =
            run({"relief", wide, output, "--width", "99000", "--distance", "0.00625"});
        std::string wrong;
        if (status != cli::kFailure)
            wrong += "exit status " + std::to_string(status) + "; ";
        if (err.str().find("The relief of 15839999 × 1 grid points needs 83.4 MB of memory; "
                           "only ") == std::string::npos)
            wrong += "message: " + err.str() + "; ";
        if (test::FileNamesIn(folder) != std::vector<std::string>{"pic.bmp", "wide.bmp"})
            wrong += "something was left behind; ";
        return wrong;
    });
    if (problems.rfind("skip: ", 0) == 0)
        GTEST_SKIP() << problems;
    EXPECT_EQ(problems, "");
}

// On a terminal the command shows how far it has come on one line, erased when it is done;
// elsewhere (a file, a pipe, the tests' streams) it writes nothing but its messages.
TEST_F(CliTest, ReliefShowsItsProgressOnATerminal) {
    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(::grantpt(terminal), 0);
    ASSERT_EQ(::unlockpt(terminal), 0);
    const std::string side = ::ptsname(terminal);
    const std::string output = (folder / "out.nc").string();
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const int fd = ::open(side.c_str(), O_RDWR | O_NOCTTY);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
        ::_exit(cli::RunCli({"relief", picture, output}, std::cout, std::cerr));
    }
    std::string shown;
    char piece[4096];
    for (ssize_t n; (n = ::read(terminal, piece, sizeof piece)) > 0 || (n < 0 && errno == EINTR);)
        if (n > 0)
            shown.append(piece, size_t(n));
    ::close(terminal);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << shown;
    EXPECT_EQ(shown.rfind("\rmorvilo-cli relief: Making the G-code... ", 0), 0u) << shown;
    EXPECT_NE(shown.find(" % ("), std::string::npos) << shown;
    EXPECT_TRUE(shown.ends_with("\r\033[K")) << shown;
    EXPECT_TRUE(fs::exists(output));
}

TEST_F(CliTest, UsageErrorsExitWithTwoAndSayWhy) {
    const std::string output = (folder / "out.nc").string();
    struct Case {
        std::vector<std::string> arguments;
        const char *says;
    } cases[] = {
        {{}, "usage"},
        {{"bogus"}, "unknown command: bogus"},
        {{"relief", picture}, "expected PICTURE and OUTPUT"},
        {{"relief", picture, output, "--levels"}, "--levels needs a value"},
        {{"relief", picture, output, "--levels", "many"}, "not a whole number: many"},
        {{"relief", picture, output, "--width", "1,5"}, "not a number: 1,5"},
        {{"relief", picture, output, "--width", "1e5000"}, "not a number"},
        {{"relief", picture, output, "--distance", "0"}, "path distance must lie between"},
        {{"relief", picture, output, "--levels", "1"}, "levels must lie between 2 and 256"},
        {{"relief", picture, output, "--decimals", "21"}, "decimals must lie between 0 and 20"},
        {{"relief", picture, output, "--invert=yes"}, "--invert takes no value"},
        {{"relief", picture, output, "--speed", "100"}, "unknown option: --speed"},
        {{"relief", picture, output, "--profile", "mazak"}, "unknown profile: mazak (known: plain"},
        {{"relief", picture, output, "--profile", "grbl", "--feed", "0"}, "feed rate must be"},
        {{"relief", picture, "--profile", "grbl"}, "expected PICTURE and OUTPUT"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(run(c.arguments), cli::kUsage);
        EXPECT_NE(err.str().find(c.says), std::string::npos) << err.str();
    }
    EXPECT_FALSE(fs::exists(output));
}

TEST_F(CliTest, HelpAndFailuresOfTheJob) {
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_NE(out.str().find("relief PICTURE OUTPUT"), std::string::npos);
    EXPECT_EQ(run({"relief", "--help"}), 0);
    EXPECT_NE(out.str().find("--no-range"), std::string::npos);

    const std::string output = (folder / "out.nc").string();
    EXPECT_EQ(run({"relief", (folder / "missing.bmp").string(), output}), cli::kFailure);
    EXPECT_NE(err.str().find("cannot open " + (folder / "missing.bmp").string() +
                             ": No such file or folder\n"),
              std::string::npos)
        << err.str();
    EXPECT_FALSE(fs::exists(output));
    test::WriteFile(folder / "text.bmp", "G1 X1\n"); // there, but no picture
    EXPECT_EQ(run({"relief", (folder / "text.bmp").string(), output}), cli::kFailure);
    EXPECT_NE(err.str().find("The picture could not be loaded."), std::string::npos);
    EXPECT_FALSE(fs::exists(output));

    EXPECT_EQ(run({"relief", picture, (folder / "no" / "out.nc").string()}), cli::kFailure);
    EXPECT_NE(err.str().find("cannot create " + (folder / "no" / "out.nc").string() +
                             ": No such file or folder\n"),
              std::string::npos)
        << err.str();

    // "--" ends the options: a picture named like an option.
    const std::string dashed = (folder / "--odd.bmp").string();
    fs::copy_file(picture, dashed);
    const fs::path previous = fs::current_path();
    fs::current_path(folder);
    EXPECT_EQ(run({"relief", "--", "--odd.bmp", "odd.nc"}), 0) << err.str();
    fs::current_path(previous);
    EXPECT_TRUE(fs::exists(folder / "odd.nc"));
}

// Machine profiles on the command line: the user's from the settings folder, the safety check
// (status 1, no output), the dry run (figures, nothing written) and the list of profiles.
TEST_F(CliTest, ProfilesDryRunAndTheSafetyCheck) {
    std::vector<MachineProfile> profiles = BuiltInProfiles();
    MachineProfile own = *FindProfile(profiles, "grbl");
    own.builtIn = false;
    own.name = own.cliName = "Portal";
    own.footer = "M5\nM2 (Portal)";
    profiles.push_back(own);
    UserMessage error;
    ASSERT_TRUE(SaveMachineProfiles((folder / kProfilesFileName).string(), profiles, error));
    cli::SetSettingsFolder(folder.string() + "/");

    const std::string output = (folder / "out.nc").string();
    EXPECT_EQ(run({"relief", picture, output, "--profile", "portal"}), cli::kFailure);
    EXPECT_NE(err.str().find("The safe height Z -1.000 does not lie above the highest cut Z "
                             "1.000"),
              std::string::npos)
        << err.str();
    EXPECT_FALSE(fs::exists(output));

    EXPECT_EQ(run({"relief", picture, output, "--profile", "Portal", "--safe", "5", "--depth", "-1",
                   "--feed", "1500", "--plunge-feed=1500", "--spindle", "0"}),
              0)
        << err.str();
    const std::string program = test::ReadFile(output);
    EXPECT_TRUE(program.starts_with("G17 G21 G90 G94\nG0 Z5.000\nF1500\nG0 X0.000 Y0.000\n"))
        << program; // no spindle start, one feed for cuts and plunges
    EXPECT_TRUE(program.ends_with("M5\nM2 (Portal)\n")) << program;

    const std::string dry = (folder / "dry.nc").string();
    EXPECT_EQ(run({"relief", picture, dry, "--profile", "linuxcnc", "--safe", "5", "--depth", "-1",
                   "--dry-run"}),
              0)
        << err.str();
    EXPECT_FALSE(fs::exists(dry));
    EXPECT_NE(out.str().find("Grid: 199 × 199\n"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("Run time: "), std::string::npos) << out.str();
    EXPECT_EQ(run({"relief", picture, "--dry-run"}), 0) << err.str();

    EXPECT_EQ(run({"profiles"}), 0);
    for (const char *name : {"plain  \"Nur Bahnen\"", "linuxcnc", "grbl", "fanuc", "Portal"})
        EXPECT_NE(out.str().find(name), std::string::npos) << name;
    EXPECT_NE(out.str().find("Footer: M5 | M2 (Portal)"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("Tool change: T{tool} M6 (10 s), arcs with \"Surface\": yes"),
              std::string::npos)
        << out.str();
    cli::SetSettingsFolder({});
}

} // namespace
