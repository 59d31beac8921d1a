// SIGINT and SIGTERM end a batch command cleanly: the run stops, the command says so in the
// run's language, leaves no output file, and the program ends as the signal ends programs.

#include "../common/testfiles.h"
#include "cliprocess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

namespace morvilo::test {
namespace {

namespace fs = std::filesystem;

TEST(StopSignal, EndsAnEndlessRunWithoutOutput) {
    ScratchFolder scratch;
    const fs::path english = scratch / "english", german = scratch / "german";
    fs::create_directories(english);
    fs::create_directories(german);
    WriteFile(german / "options.dat", std::string(24, '\0')); // language 0: German
    const std::string program = (scratch / "endless.nc").string();
    WriteFile(program, "N10\nG91G1X1\nGOTO10\n"); // each pass moves on: no repeated state
    const fs::path drawing = scratch / "out" / "p.dxf";
    const struct {
        std::vector<std::string> arguments;
        const fs::path &home;
        int signal;
        const char *says;
    } cases[] = {
        {{"plot", "--max-points", "1000000000", program},
         english,
         SIGINT,
         "morvilo-cli plot: stopped by signal SIGINT\n"},
        {{"dxf", "--max-blocks", "1000000000000", program, drawing.string()},
         german,
         SIGTERM,
         "morvilo-cli dxf: Durch das Signal SIGTERM abgebrochen.\n"},
        {{"dxf", program, drawing.string()},
         english,
         SIGINT,
         "morvilo-cli dxf: stopped by signal SIGINT\n"},
    };
    for (const auto &c : cases) {
        fs::create_directories(drawing.parent_path());
        CliProcess cli(scratch.path(), c.home, c.arguments);
        ASSERT_TRUE(cli.WaitUntilCatching(c.signal)) << c.says << cli.Err();
        cli.Signal(c.signal);
        const int status = cli.Wait();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << c.says << status;
        EXPECT_EQ(cli.Err(), c.says);
        EXPECT_EQ(cli.Out(), "");
        EXPECT_TRUE(fs::is_empty(drawing.parent_path())) << c.says; // no drawing, no temporary
        fs::remove_all(drawing.parent_path());
    }
}

} // namespace
} // namespace morvilo::test
