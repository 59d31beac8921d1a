#include "../common/testfiles.h"
#include "frontend/progpath.h"
#include "settings/settingsfiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace morvilo;
using morvilo::test::ReadFile;
using morvilo::test::ScratchFolder;
using morvilo::test::WriteFile;

TEST(OptionsDat, DefaultsAndTheTwentyFourBytes) {
    ScratchFolder scratch;
    const std::string path = scratch / "options.dat";
    PortOptions options;
    EXPECT_FALSE(ReadOptionsDat(path, options)); // missing: the defaults stay
    ASSERT_TRUE(WriteOptionsDat(path, options));
    EXPECT_EQ(ReadFile(path), std::string("\0\0\0\0\5\0\0\0\1\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 24));

    options.language = 1;
    options.port = -2; // stored as it is; the port dialog decides what an odd index means
    ASSERT_TRUE(WriteOptionsDat(path, options));
    PortOptions read;
    ASSERT_TRUE(ReadOptionsDat(path, read));
    EXPECT_EQ(read.language, 1);
    EXPECT_EQ(read.port, -2);
    EXPECT_EQ(read.baud, 5);

    WriteFile(path, std::string("\3\0\0\0\7\0\0", 7)); // short: whole values only
    PortOptions partial;
    ASSERT_TRUE(ReadOptionsDat(path, partial));
    EXPECT_EQ(partial.port, 3);
    EXPECT_EQ(partial.baud, 5);

    EXPECT_FALSE(WriteOptionsDat((scratch / "no" / "options.dat").string(), options));

    // A FIFO in place of the file is refused at once instead of waiting for a writer.
    const std::string fifo = scratch / "fifo.dat";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ReadOptionsDat(fifo, partial));
    RecentFiles recent;
    recent.Load(fifo);
    EXPECT_EQ(recent.Entries()[0], "");
}

TEST(RecentFiles, MostRecentFirstAndFiveAtMost) {
    ScratchFolder scratch;
    const std::string path = scratch / "fav.dat";
    RecentFiles recent;
    recent.Load(path); // missing: five empty slots
    EXPECT_EQ(recent.Entries(), (std::array<std::string, 5>{}));

    WriteFile(path, "b\r\nc\r\nd\ne\rf\r\ng\r\n"); // any break; a sixth line is not read
    recent.Load(path);
    EXPECT_EQ(recent.Entries(), (std::array<std::string, 5>{"b", "c", "d", "e", "f"}));
    recent.AddtoFavorites("d");
    EXPECT_EQ(recent.Entries(), (std::array<std::string, 5>{"d", "b", "c", "e", "f"}));
    recent.AddtoFavorites("g");
    EXPECT_EQ(recent.Entries(), (std::array<std::string, 5>{"g", "d", "b", "c", "e"}));
    recent.AddtoFavorites("G"); // another letter case is another file
    EXPECT_EQ(recent.Entries()[0], "G");
    EXPECT_EQ(recent.Entries()[1], "g");

    ASSERT_TRUE(recent.Save(path));
    EXPECT_EQ(ReadFile(path), "G\r\ng\r\nd\r\nb\r\nc\r\n");
}

TEST(FavouriteFolders, UsedFoldersMoveToTheTop) {
    ScratchFolder scratch;
    const std::string path = scratch / "folders.dat";
    FavouriteFolders folders;
    folders.Load(path);
    EXPECT_TRUE(folders.Entries().empty());

    folders.AddToPrefFolders("/pics/A/");
    folders.AddToPrefFolders("/pics/A/");
    folders.AddToPrefFolders("/pics/B/");
    EXPECT_EQ(folders.Entries(), (std::vector<std::string>{"/pics/B/", "/pics/A/"}));
    folders.AddToPrefFolders("/pics/A/");
    EXPECT_EQ(folders.Entries(), (std::vector<std::string>{"/pics/A/", "/pics/B/"}));
    folders.AddToPrefFolders("/PICS/A/");
    EXPECT_EQ(folders.Entries().size(), 3u);

    ASSERT_TRUE(folders.Save(path));
    EXPECT_EQ(ReadFile(path), "/PICS/A/\r\n/pics/A/\r\n/pics/B/\r\n");
    WriteFile(path, "x\r\n\r\nx\r\n"); // empty lines and repeats stay as they are
    folders.Load(path);
    EXPECT_EQ(folders.Entries(), (std::vector<std::string>{"x", "", "x"}));
    folders.Remove(1);
    folders.Remove(7);
    EXPECT_EQ(folders.Entries(), (std::vector<std::string>{"x", "x"}));

    // An entry of the list itself moves to the top (a fuzzed folders.dat found the aliasing).
    folders.AddToPrefFolders("y");
    folders.AddToPrefFolders(folders.Entries().back());
    EXPECT_EQ(folders.Entries(), (std::vector<std::string>{"x", "y", "x"}));
    RecentFiles recent;
    for (const char *name : {"a", "b", "c"})
        recent.AddtoFavorites(name);
    recent.AddtoFavorites(recent.Entries()[2]);
    EXPECT_EQ(recent.Entries()[0], "a");
    EXPECT_EQ(recent.Entries()[1], "c");
}

TEST(ProgramDataFolder, HomeVariableThenProgramFolderThenPerUser) {
    ScratchFolder scratch;
    ::setenv("MORVILO_HOME", scratch.path().c_str(), 1);
    EXPECT_EQ(ProgramDataFolder("/usr/bin"), scratch.path().string() + "/");
    ::unsetenv("MORVILO_HOME");
    EXPECT_EQ(ProgramDataFolder(scratch.path().string()), scratch.path().string() + "/");
    // A program folder that cannot be written: the per-user data folder, made when missing.
    ::setenv("XDG_DATA_HOME", (scratch / "data").c_str(), 1);
    const std::string perUser = ProgramDataFolder("/no/such/program/folder");
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(perUser.rfind((scratch / "data").string(), 0), 0u) << perUser;
    EXPECT_EQ(perUser.back(), '/');
    EXPECT_TRUE(std::filesystem::is_directory(perUser));
}
