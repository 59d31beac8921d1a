#include "../common/childprocess.h"
#include "../common/testfiles.h"
#include "vantrel/outputfile.h"
#include "vantrel/tempfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using morvilo::MYGetTempFileName;
using morvilo::OutputFile;
using morvilo::test::FileNamesIn;
using morvilo::test::ReadFile;
using morvilo::test::WriteFile;

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

// Replace writes a new file that takes the target's place only when it is committed.
void replaceLeavesTheTargetAloneUntilCommit(const fs::path &folder) {
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

// Chooses for its lifetime whether new files may be unnamed ones.
class UnnamedFiles {
public:
    explicit UnnamedFiles(bool allowed) { OutputFile::SetUnnamedFiles(allowed); }
    ~UnnamedFiles() { OutputFile::SetUnnamedFiles(true); }
};

TEST_F(FilesTest, ReplaceLeavesTheTargetAloneUntilCommit) {
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed new file" : "named new file");
        UnnamedFiles choice(unnamed);
        fs::remove_all(folder / "out.nc");
        replaceLeavesTheTargetAloneUntilCommit(folder);
    }
}

// A write killed half-way leaves nothing beside its target, and the target as it was.
TEST_F(FilesTest, AKilledWriteLeavesNothingBehind) {
    WriteFile(folder / "old.nc", "old text");
    WriteFile(folder / "cnctemp0.dat", "previous program");
    const std::pair<fs::path, OutputFile::Mode> writes[] = {
        {folder / "old.nc", OutputFile::Mode::Replace},
        {folder / "new.nc", OutputFile::Mode::Replace},
        {folder / "cnctemp0.dat", OutputFile::Mode::OwnTemporary},
    };
    for (const auto &[target, mode] : writes) {
        const bool killed = morvilo::test::KilledWhenReady([&](const auto &ready) {
            OutputFile out;
            if (!out.Open(target, mode, 4096))
                return;
            for (int i = 0; i < 3000; ++i) // several buffers' worth
                out.Write("G1 X1\r\n");
            ready();
        });
        ASSERT_TRUE(killed) << target;
    }
    EXPECT_EQ(FileNamesIn(folder), (std::vector<std::string>{"cnctemp0.dat", "old.nc"}));
    EXPECT_EQ(ReadFile(folder / "old.nc"), "old text");
    EXPECT_EQ(ReadFile(folder / "cnctemp0.dat"), "previous program");
}

// Where new files must have names, a killed write leaves its named file; the next write to the
// same target removes it. The file of a write still going on stays, and so does every file
// that merely looks like one of ours.
TEST_F(FilesTest, FilesLeftByKilledWritesGoWithTheNextWrite) {
    const fs::path target = folder / "out.nc";
    WriteFile(target, "old text");
    const std::vector<std::string> lookalikes = {"out.nc.backup", "out.nc.morvilo-abc.tmp",
                                                 "out.nc.morvilo-abc-de.tmp",
                                                 "other.nc.morvilo-abcdef.tmp"};
    for (const std::string &name : lookalikes)
        WriteFile(folder / name, "keep");
    {
        UnnamedFiles named(false);
        ASSERT_TRUE(morvilo::test::KilledWhenReady([&](const auto &ready) {
            OutputFile out;
            if (out.Open(target, OutputFile::Mode::Replace, 4096)) {
                out.Write("half");
                out.Flush();
                ready();
            }
        }));
    }
    std::vector<std::string> left;
    for (const std::string &name : FileNamesIn(folder))
        if (name.rfind("out.nc.morvilo-", 0) == 0 &&
            std::find(lookalikes.begin(), lookalikes.end(), name) == lookalikes.end())
            left.push_back(name);
    ASSERT_EQ(left.size(), 1u) << "the killed write's file";

    for (const bool unnamed : {false, true}) {
        SCOPED_TRACE(unnamed ? "unnamed new file" : "named new file");
        UnnamedFiles choice(unnamed);
        WriteFile(folder / "out.nc.morvilo-Ab12Cd.tmp", "left by a writer that is gone");
        OutputFile going;
        ASSERT_TRUE(going.Open(target, OutputFile::Mode::Replace));
        going.Write("first");
        going.Flush();
        OutputFile next;
        ASSERT_TRUE(next.Open(target, OutputFile::Mode::Replace));
        next.Write("second");
        ASSERT_TRUE(next.Commit()) << next.Error();
        EXPECT_FALSE(fs::exists(folder / left[0]));
        EXPECT_FALSE(fs::exists(folder / "out.nc.morvilo-Ab12Cd.tmp"));
        EXPECT_EQ(ReadFile(target), "second");
        ASSERT_TRUE(going.Commit()) << going.Error();
        EXPECT_EQ(ReadFile(target), "first");
        std::vector<std::string> expected = lookalikes;
        expected.push_back("out.nc");
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(FileNamesIn(folder), expected);
    }
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
