// The relief generator's output when the file system works against it: a full or read-only file
// system, a folder at the output's name, and a planted link at the name of the temporary file
// the window generates into. A failure is reported and leaves nothing half-written behind, and
// a program that cannot fit the disk is refused before it starts.

#include "../common/childprocess.h"
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

// Another program takes every byte left on the disk the first time it is called.
void fillTheDisk(const fs::path &disk) {
    const int fd = ::open((disk / "filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const std::string block(4096, 'x');
    while (fd >= 0 && ::write(fd, block.data(), block.size()) > 0) {
    }
    ::close(fd);
}

// On a file system of its own that fails, the existing output stays as it was and no
// replacement is left beside it; returns what went wrong. fillAfterFirstRow: the disk has
// room for the program when the run starts, and another program fills it meanwhile.
std::string failedGenerationLeavesTheOldFile(const fs::path &picture, const fs::path &disk,
                                             bool readOnly, const std::string &reason,
                                             bool fillAfterFirstRow = false) {
    const fs::path output = disk / "relief.nc";
    WriteFile(output, "old program\r\n");
    if (readOnly && !RemountReadOnly(disk))
        return "cannot remount read-only";
    std::string problems;
    for (const OutputFile::Mode mode :
         {OutputFile::Mode::Replace, OutputFile::Mode::OwnTemporary}) {
        ReliefProgress progress;
        if (fillAfterFirstRow)
            progress.afterRow = [&] {
                if (progress.rowsDone == 1)
                    fillTheDisk(disk);
            };
        const ReliefResult result =
            GenerateReliefFile(fineParameters(), picture, output, mode, &progress);
        std::error_code ignored;
        fs::remove(disk / "filler", ignored);
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

TEST(ReliefFaults, AFileSystemThatFillsUpWhileTheProgramIsWritten) {
    ScratchFolder scratch;
    const fs::path picture = writeLargeReliefPicture(scratch.path());
    fs::create_directory(scratch / "disk");
    const std::string problems = InOwnFileSystem(scratch / "disk", 1 << 20, [&] {
        return failedGenerationLeavesTheOldFile(picture, scratch / "disk", false,
                                                "No space left on device", true);
    });
    if (problems.rfind("skip: ", 0) == 0)
        GTEST_SKIP() << problems;
    EXPECT_EQ(problems, "");
}

// A program that cannot fit the free space of its disk is refused before a line is written,
// with its size and the space there is: the relief of 250 kB does not fit a disk of 64 KiB.
TEST(ReliefFaults, AProgramLargerThanTheFreeSpaceIsRefusedBeforeItStarts) {
    ScratchFolder scratch;
    const fs::path picture = writeLargeReliefPicture(scratch.path());
    const ReliefResult whole = GenerateReliefFile(fineParameters(), picture, scratch / "whole.nc");
    ASSERT_EQ(whole.status, ReliefStatus::Ok) << whole.message;
    ASSERT_EQ(whole.bytes, 247752u);
    fs::create_directory(scratch / "disk");
    const fs::path disk = scratch / "disk";
    const std::string problems = InOwnFileSystem(disk, 64 * 1024, [&] {
        const fs::path output = disk / "relief.nc";
        WriteFile(output, "old program\r\n");
        std::string wrong;
        for (const OutputFile::Mode mode :
             {OutputFile::Mode::Replace, OutputFile::Mode::OwnTemporary}) {
            ReliefProgress progress;
            const ReliefResult result =
                GenerateReliefFile(fineParameters(), picture, output, mode, &progress);
            if (result.status != ReliefStatus::InvalidParameters || progress.rowsDone != 0)
                wrong += "not refused before it started: " + result.message + "; ";
            if (result.message.find("mindestens 247.8 kB") == std::string::npos ||
                result.message.find(output.string() + " sind nur ") == std::string::npos ||
                result.messageParts.text != kMessageProgramTooLarge)
                wrong += "the sizes are not told: " + result.message + "; ";
            if (ReadFile(output) != "old program\r\n" ||
                FileNamesIn(disk) != std::vector<std::string>{"relief.nc"})
                wrong += "the disk changed; ";
        }
        return wrong;
    });
    if (problems.rfind("skip: ", 0) == 0)
        GTEST_SKIP() << problems;
    EXPECT_EQ(problems, "");
}

// A run killed half-way leaves the output as it was and nothing beside it.
TEST(ReliefFaults, AKilledRunLeavesNothingBehind) {
    ScratchFolder scratch;
    const fs::path picture = writeLargeReliefPicture(scratch.path());
    const fs::path output = scratch / "relief.nc";
    WriteFile(output, "old program\r\n");
    for (const OutputFile::Mode mode :
         {OutputFile::Mode::Replace, OutputFile::Mode::OwnTemporary}) {
        const bool killed = KilledWhenReady([&](const auto &ready) {
            ReliefProgress progress;
            progress.afterRow = [&] {
                if (progress.bytesWritten > 100000)
                    ready();
            };
            GenerateReliefFile(fineParameters(), picture, output, mode, &progress);
        });
        EXPECT_TRUE(killed);
    }
    EXPECT_EQ(FileNamesIn(scratch.path()), (std::vector<std::string>{"picture.bmp", "relief.nc"}));
    EXPECT_EQ(ReadFile(output), "old program\r\n");
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
