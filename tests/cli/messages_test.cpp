// What the commands say when something fails: a standard output that cannot be written, files
// and folders that cannot be opened, damaged profiles, values a program would write as 0. One
// wording per failure, the system's reason in words, in one language.

#include "../common/testfiles.h"
#include "../relief/testpictures.h"
#include "cli/cli.h"
#include "cli/clitext.h"
#include "cliprocess.h"
#include "machine/profilesfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <sys/wait.h>

namespace morvilo::cli {
namespace {

namespace fs = std::filesystem;

class Messages : public ::testing::Test {
protected:
    void SetUp() override {
        program = (folder / "p.nc").string();
        test::WriteFile(program, "G0 X0 Y0\nG1 X10 Y5 Z-1 F100\nG1 X-3.3 Y-11.2\nM30\n");
        picture = (folder / "pic.bmp").string();
        test::WriteBmp24(picture, test::MakePicture24({{test::kBlack, test::kWhite},
                                                       {test::Grey(200), test::kBlack}}));
    }
    void TearDown() override { SetSettingsFolder({}); }

    int run(const std::vector<std::string> &arguments) {
        out.str({});
        err.str({});
        return RunCli(arguments, out, err);
    }

    test::ScratchFolder scratch;
    const fs::path &folder = scratch.path();
    std::string program, picture;
    std::ostringstream out, err;
};

// Every command that prints to the standard output ends with status 1 and the reason when the
// output cannot be written, also when its text is small enough to sit in a buffer until the end.
TEST_F(Messages, AStandardOutputThatCannotBeWrittenEndsTheCommandWithTheReason) {
    const fs::path home = folder / "home";
    fs::create_directory(home);
    const std::vector<std::vector<std::string>> commands = {
        {"stats", program},
        {"stats", "--json", program},
        {"profiles"},
        {"eval", "1+1"},
        {"plot", program},
        {"format", "upper", program},
        {"simulate", "--tool", "flat:2", "--resolution", "0.5", program},
        {"relief", picture, "--dry-run"},
        {"--help"},
    };
    for (const std::vector<std::string> &command : commands) {
        test::CliProcess cli(folder, home, command, "/dev/full");
        const int status = cli.Wait();
        ASSERT_TRUE(WIFEXITED(status)) << command[0];
        EXPECT_EQ(WEXITSTATUS(status), 1) << command[0] << ": " << cli.Err();
        EXPECT_EQ(cli.Err(),
                  "morvilo-cli: cannot write the standard output: No space left on the disk\n")
            << command[0];
    }
}

// A file or folder that cannot be opened or written is named with the system's reason in the
// program's own words: no error numbers, no text of the system's beside ours, nothing twice.
TEST_F(Messages, EveryFailureGivesTheSystemsReasonInWords) {
    const std::string missing = (folder / "missing.nc").string();
    const std::string here = folder.string();
    const struct {
        std::vector<std::string> arguments;
        std::string said;
    } cases[] = {
        {{"plot", missing},
         "morvilo-cli plot: cannot open " + missing + ": No such file or folder\n"},
        {{"plot", here}, "morvilo-cli plot: cannot open " + here + ": This is a folder\n"},
        {{"stats", here}, "morvilo-cli stats: cannot open " + here + ": This is a folder\n"},
        {{"dxf", missing, (folder / "p.dxf").string()},
         "morvilo-cli dxf: cannot open " + missing + ": No such file or folder\n"},
        {{"simulate", "--tool", "flat:1", here},
         "morvilo-cli simulate: cannot open " + here + ": This is a folder\n"},
        {{"format", "upper", "/dev/null"},
         "morvilo-cli format: cannot open /dev/null: This is not a regular file\n"},
        {{"dxf", program, "/dev/full"},
         "morvilo-cli dxf: cannot write /dev/full: No space left on the disk\n"},
        {{"relief", picture, "/dev/full"},
         "morvilo-cli relief: cannot write /dev/full: No space left on the disk\n"},
        {{"relief", picture, (folder / "no" / "r.nc").string()},
         "morvilo-cli relief: cannot create " + (folder / "no" / "r.nc").string() +
             ": No such file or folder\n"},
        {{"relief", missing, (folder / "r.nc").string()},
         "morvilo-cli relief: cannot open " + missing + ": No such file or folder\n"},
        {{"relief", here, (folder / "r.nc").string()},
         "morvilo-cli relief: cannot open " + here + ": This is a folder\n"},
        {{"relief", picture, "/dev/full", "--strategy", "surface"},
         "morvilo-cli relief: cannot write /dev/full: No space left on the disk\n"},
        // The roughing program of its own is named, not the finishing one.
        {{"relief", picture, (folder / "f.nc").string(), "--strategy", "surface", "--rough",
          "flat:2", "--rough-output", (folder / "no" / "r.nc").string()},
         "morvilo-cli relief: cannot create " + (folder / "no" / "r.nc").string() +
             ": No such file or folder\n"},
        {{"relief", picture, (folder / "f.nc").string(), "--strategy", "surface", "--rough",
          "flat:2", "--rough-output", "/dev/full"},
         "morvilo-cli relief: cannot write /dev/full: No space left on the disk\n"},
        {{"receive", "--port", missing, (folder / "r.nc").string()},
         "morvilo-cli receive: cannot open or set up " + missing + ": No such file or folder\n"},
        {{"send", program, "--port", "/dev/null"},
         "morvilo-cli send: cannot read the settings of the port /dev/null: The device is not a "
         "serial port\n"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(run(c.arguments), kFailure) << c.said;
        EXPECT_EQ(err.str(), c.said);
    }
}

// A profiles file of binary bytes, a group given twice, a profile with a feed of 0 and one named
// like a built-in: every problem is reported, each in the run's language, by every command that
// reads the file; the readable profiles still serve.
TEST_F(Messages, ADamagedProfilesFileIsReportedInOneLanguage) {
    test::WriteFile(folder / kProfilesFileName, "[Profile1]\nName=Eins\n"
                                                "[Profile2]\nName=Null\nFeed=0\n"
                                                "[Profile3]\nName=grbl\n"
                                                "[Profile1]\nName=Zwei\n"
                                                "\x01\x02\xff binary\n");
    SetSettingsFolder(folder.string() + "/");
    const std::string english =
        "The profiles file " + (folder / kProfilesFileName).string() +
        " is damaged (lines with control characters or binary bytes: 1 "
        "(the first: line 10); [Profile1] is given more than once in the "
        "file (lines 1, 8); [Profile2] The feed rate must be greater than 0 "
        "and at most 1000000; [Profile3] the name is already taken); the "
        "built-in profiles and the readable own ones apply.\n";
    EXPECT_EQ(run({"profiles"}), kFailure);
    EXPECT_EQ(err.str(), "morvilo-cli profiles: " + english);
    EXPECT_NE(out.str().find("Eins"), std::string::npos);
    EXPECT_NE(out.str().find("Zwei"), std::string::npos);
    EXPECT_EQ(run({"stats", "--profile", "zwei", program}), kSuccess);
    EXPECT_EQ(err.str(), "morvilo-cli stats: " + english);
    EXPECT_EQ(
        run({"relief", picture, "--dry-run", "--profile", "Eins", "--safe", "5", "--depth", "-1"}),
        kSuccess);
    EXPECT_EQ(err.str(), "morvilo-cli relief: " + english);

    SetCliLanguage(CliLanguage::German);
    run({"profiles"});
    SetCliLanguage(CliLanguage::English);
    EXPECT_NE(err.str().find("[Profile3] der Name ist schon vergeben"), std::string::npos)
        << err.str();
}

// A feed or speed is checked as the program writes it: 0.0001 with three decimals is F0.
TEST_F(Messages, AFeedThatWouldBeWrittenAsZeroIsRefused) {
    const std::string output = (folder / "r.nc").string();
    const struct {
        const char *profile, *option, *value;
        std::string said;
    } cases[] = {
        {"fanuc", "--feed", "0.0001",
         "The feed 0.0001 is written with 3 decimals as F0.; it must be at least 0.001."},
        {"grbl", "--spindle", "0.4",
         "The spindle speed 0.4 is written as S0; it must be 0 (no spindle) or at least 1."},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(run({"relief", picture, output, "--profile", c.profile, "--safe", "5", "--depth",
                       "-1", c.option, c.value}),
                  kFailure);
        EXPECT_EQ(err.str(), "morvilo-cli relief: " + c.said + "\n");
        EXPECT_FALSE(fs::exists(output));
    }
}

} // namespace
} // namespace morvilo::cli
