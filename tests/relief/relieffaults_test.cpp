// The relief generator's output when the file system works against it: a full or read-only file
// system, a folder at the output's name, and a planted link at the name of the temporary file
// the window generates into. A failure is reported and leaves nothing half-written behind.

#include "../common/ownfilesystem.h"
#include "../common/testfiles.h"
#include "relief/reliefgenerator.h"
#include "testpictures.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace morvilo;
using namespace morvilo::test;

namespace {

// A picture whose relief takes a few hundred KiB: more than the small file systems below hold.
fs::path writeLargeReliefPicture(const fs::path &folder) {
    std::vector<std::vector<Rgb>> rows(2, std::vector<Rgb>(2));
    rows[0] = {kBlack, kWhite};
    rows[1] = {kWhite, kBlack};
    const fs::path picture = folder / "picture.bmp";
    WriteBmp24(picture, MakePicture24(rows));
    return picture;
}

ReliefParameters fineParameters() {
    ReliefParameters p;
    p.width = 10;
    p.abstandfr = 0.01; // 1000 paths of 1000 samples
    p.levels = 4;
    return p;
}

// On a file system of its own that fails, the existing output stays as it was and no
// replacement is left beside it; returns what went wrong.
std::string failedGenerationLeavesTheOldFile(const fs::path &picture, const fs::path &disk,
                                             bool readOnly, const std::string &reason) {
    const fs::path output = disk / "relief.nc";
    WriteFile(output, "old program\r\n");
    if (readOnly && !RemountReadOnly(disk))
        return "cannot remount read-only";
    std::string problems;
    for (const OutputFile::Mode mode :
         {OutputFile::Mode::Replace, OutputFile::Mode::OwnTemporary}) {
        const ReliefResult result = GenerateReliefFile(fineParameters(), picture, output, mode);
        const std::string which = mode == OutputFile::Mode::Replace ? "replace: " : "own: ";
        if (result.status == ReliefStatus::Ok)
            problems += which + "reported success; ";
        if (result.detail.find(reason) == std::string::npos)
            problems += which + "the reason is missing: " + result.detail + "; ";
        if (ReadFile(output) != "old program\r\n")
            problems += which + "the old file changed; ";
        if (FileNamesIn(disk) != std::vector<std::string>{"relief.nc"})
            problems += which + "something was left behind; ";
    }
    return problems;
}

TEST(ReliefFaults, AFullFileSystem) {
    ScratchFolder scratch;
    const fs::path picture = writeLargeReliefPicture(scratch.path());
    // The whole relief fits outside, so the file system of 64 KiB is what fails.
    const ReliefResult whole = GenerateReliefFile(fineParameters(), picture, scratch / "whole.nc");
    ASSERT_EQ(whole.status, ReliefStatus::Ok) << whole.message;
    ASSERT_GT(whole.bytes, 2u * 64 * 1024);
    fs::create_directory(scratch / "disk");
    const std::string problems = InOwnFileSystem(scratch / "disk", 64 * 1024, [&] {
        return failedGenerationLeavesTheOldFile(picture, scratch / "disk", false,
                                                "No space left on device");
    });
    if (problems.rfind("skip: ", 0) == 0)
        GTEST_SKIP() << problems;
    EXPECT_EQ(problems, "");
}

TEST(ReliefFaults, AReadOnlyFileSystem) {
    ScratchFolder scratch;
    const fs::path picture = writeLargeReliefPicture(scratch.path());
    fs::create_directory(scratch / "disk");
    const std::string problems = InOwnFileSystem(scratch / "disk", 1 << 20, [&] {
        return failedGenerationLeavesTheOldFile(picture, scratch / "disk", true,
                                                "Read-only file system");
    });
    if (problems.rfind("skip: ", 0) == 0)
        GTEST_SKIP() << problems;
    EXPECT_EQ(problems, "");
}

TEST(ReliefFaults, AFolderAtTheOutputsName) {
    ScratchFolder scratch;
    const fs::path picture = writeLargeReliefPicture(scratch.path());
    const fs::path output = scratch / "relief.nc";
    fs::create_directory(output);
    for (const OutputFile::Mode mode :
         {OutputFile::Mode::Replace, OutputFile::Mode::OwnTemporary}) {
        const ReliefResult result = GenerateReliefFile(fineParameters(), picture, output, mode);
        EXPECT_EQ(result.status, ReliefStatus::OutputNotCreated);
        EXPECT_TRUE(fs::is_directory(output));
        EXPECT_TRUE(fs::is_empty(output));
    }
    EXPECT_EQ(FileNamesIn(scratch.path()), (std::vector<std::string>{"picture.bmp", "relief.nc"}));
}

// The window generates into a temporary file of its own. A link planted at its name (after a
// cleaner removed the file, say) is never followed: neither the file it leads to nor anything
// beside that file is written.
TEST(ReliefFaults, APlantedLinkAtTheTemporaryFilesNameIsNotFollowed) {
    ScratchFolder scratch;
    const fs::path picture = writeLargeReliefPicture(scratch.path());
    fs::create_directory(scratch / "victims");
    const fs::path victim = scratch / "victims" / "precious.txt";
    WriteFile(victim, "precious");
    const fs::path temporary = scratch / "cnctemp0.dat";
    for (const fs::path &target : {victim, scratch / "victims" / "absent.txt"}) {
        fs::remove(temporary);
        fs::create_symlink(target, temporary);
        const ReliefResult result = GenerateReliefFile(fineParameters(), picture, temporary,
                                                       OutputFile::Mode::OwnTemporary);
        EXPECT_EQ(result.status, ReliefStatus::OutputNotCreated);
        EXPECT_EQ(result.message, "Konnte temporäre Datei nicht anlegen.");
        EXPECT_TRUE(fs::is_symlink(temporary));
        EXPECT_EQ(ReadFile(victim), "precious");
        EXPECT_EQ(FileNamesIn(scratch / "victims"), std::vector<std::string>{"precious.txt"});
    }
}

// The temporary file is replaced, not rewritten in place: the editor still reading the previous
// program from it keeps that program; the new file is private to its owner.
TEST(ReliefFaults, TheTemporaryFileIsReplacedNotRewritten) {
    ScratchFolder scratch;
    const fs::path picture = writeLargeReliefPicture(scratch.path());
    const fs::path temporary = scratch / "cnctemp0.dat";
    WriteFile(temporary, "previous program\r\n");
    const int reader = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    const ReliefResult result =
        GenerateReliefFile(fineParameters(), picture, temporary, OutputFile::Mode::OwnTemporary);
    ASSERT_EQ(result.status, ReliefStatus::Ok) << result.message;
    char old[18] = {};
    EXPECT_EQ(::pread(reader, old, sizeof old, 0), ssize_t(sizeof old));
    EXPECT_EQ(std::string(old, sizeof old), "previous program\r\n");
    ::close(reader);
    EXPECT_EQ(fs::file_size(temporary), result.bytes);
    struct stat st {};
    ASSERT_EQ(::lstat(temporary.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(FileNamesIn(scratch.path()),
              (std::vector<std::string>{"cnctemp0.dat", "picture.bmp"}));
}

} // namespace
