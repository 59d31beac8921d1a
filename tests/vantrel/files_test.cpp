#include "../common/testfiles.h"
#include "vantrel/outputfile.h"
#include "vantrel/tempfile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using morvilo::MYGetTempFileName;
using morvilo::OutputFile;

namespace {

// A private temporary folder for one test, set as TMPDIR while it lives.
class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char *old = std::getenv("TMPDIR");
        oldTmpdir = old ? old : "";
        hadTmpdir = old != nullptr;
        ::setenv("TMPDIR", folder.c_str(), 1);
    }
    void TearDown() override {
        if (hadTmpdir)
            ::setenv("TMPDIR", oldTmpdir.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }
    morvilo::test::ScratchFolder scratch;
    const fs::path &folder = scratch.path();
    std::string oldTmpdir;
    bool hadTmpdir = false;
};

TEST_F(FilesTest, TempFileNameTakesTheFirstFreeNumberAndClaimsIt) {
    morvilo::test::WriteFile(folder / "cnctemp0.dat", "x");
    morvilo::test::WriteFile(folder / "cnctemp1.dat", "x");
    fs::create_symlink(folder / "elsewhere", folder / "cnctemp2.dat"); // dangling: still taken
    const std::string name = MYGetTempFileName("cnctemp", ".dat");
    EXPECT_EQ(name, (folder / "cnctemp3.dat").string());
    struct stat st {};
    ASSERT_EQ(::lstat(name.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(MYGetTempFileName("cnctemp", ".dat"), (folder / "cnctemp4.dat").string());

    ::setenv("TMPDIR", (folder / "missing").c_str(), 1);
    EXPECT_EQ(MYGetTempFileName("cnctemp", ".dat"), "");
}

TEST_F(FilesTest, ReplaceLeavesTheTargetAloneUntilCommit) {
    const fs::path target = folder / "out.nc";
    morvilo::test::WriteFile(target, "old text");
    ::chmod(target.c_str(), 0640);
    {
        OutputFile out;
        ASSERT_TRUE(out.Open(target, OutputFile::Mode::Replace, 4096));
        for (int i = 0; i < 3000; ++i) // several buffers' worth
            out.Write("G1 X1\r\n");
        EXPECT_EQ(morvilo::test::ReadFile(target), "old text");
        out.Abandon();
    }
    EXPECT_EQ(morvilo::test::ReadFile(target), "old text");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);

    OutputFile out;
    ASSERT_TRUE(out.Open(target, OutputFile::Mode::Replace));
    out.Write("new");
    ASSERT_TRUE(out.Commit());
    EXPECT_EQ(morvilo::test::ReadFile(target), "new");
    struct stat st {};
    ::stat(target.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u); // the replaced file's mode is kept
}

TEST_F(FilesTest, FailuresAreReported) {
    OutputFile out;
    EXPECT_FALSE(out.Open(folder / "no" / "such" / "folder.nc", OutputFile::Mode::Replace));
    EXPECT_NE(out.Error().find("folder.nc"), std::string::npos);

    if (fs::exists("/dev/full")) { // a device that accepts nothing: written directly, fails
        OutputFile full;
        ASSERT_TRUE(full.Open("/dev/full", OutputFile::Mode::Replace, 4096));
        for (int i = 0; i < 2000; ++i)
            full.Write("G0 Z-1\r\n");
        EXPECT_FALSE(full.Commit());
        EXPECT_NE(full.Error().find("No space"), std::string::npos) << full.Error();
    }
}

TEST_F(FilesTest, OwnTemporaryIsNeverOpenedThroughASymbolicLink) {
    const fs::path victim = folder / "victim.txt";
    morvilo::test::WriteFile(victim, "precious");
    const fs::path name = folder / "cnctemp0.dat";
    fs::create_symlink(victim, name);
    OutputFile out;
    EXPECT_FALSE(out.Open(name, OutputFile::Mode::OwnTemporary));
    EXPECT_EQ(morvilo::test::ReadFile(victim), "precious");

    fs::remove(name);
    ASSERT_TRUE(out.Open(name, OutputFile::Mode::OwnTemporary));
    out.Write("relief");
    ASSERT_TRUE(out.Commit());
    EXPECT_EQ(morvilo::test::ReadFile(name), "relief");
}

} // namespace
