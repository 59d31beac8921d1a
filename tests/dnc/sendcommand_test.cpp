// morvilo-cli send over a serial line made of two pseudo-terminals.

#include "cli/cli.h"

#include "../common/testfiles.h"
#include "ptypair.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sstream>
#include <termios.h>

namespace morvilo::cli {
namespace {

using test::PtyPair;
using test::Receiver;
using test::ScratchFolder;

struct CliRun {
    int status;
    std::string out, err;
};

CliRun send(const std::vector<std::string> &arguments) {
    std::ostringstream out, err;
    std::vector<std::string> all = {"send"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    const int status = RunCli(all, out, err);
    return {status, out.str(), err.str()};
}

termios portSettings(const std::string &device) {
    termios t{};
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    EXPECT_EQ(::tcgetattr(fd, &t), 0);
    ::close(fd);
    return t;
}

TEST(SendCommand, SendsTheProgramWithTheGivenLineSettings) {
    if (!PtyPair::SocatAvailable())
        GTEST_SKIP() << "socat is not installed (scripts/setup installs it)";
    ScratchFolder folder;
    PtyPair pair(folder.path());
    ASSERT_TRUE(pair.ready());
    Receiver receiver(pair.receiver());
    const std::string program = (folder / "p.nc").string();
    test::WriteFile(program, "G0 X0\r\n\r\nM30\r\n");

    const termios before = portSettings(pair.sender());
    CliRun run = send({program, "--port", pair.sender()}); // nothing asked: nothing changes
    EXPECT_EQ(run.status, kSuccess) << run.err;
    EXPECT_EQ(receiver.ReadAll(), "G0 X0\r\n\r\nM30\r\n");
    EXPECT_EQ(portSettings(pair.sender()).c_cflag, before.c_cflag);

    run = send({program, "--port=" + pair.sender(), "--baud", "19200", "--data-bits", "8",
                "--parity", "none", "--stop-bits", "2", "--eol", "lf"});
    EXPECT_EQ(run.status, kSuccess) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(receiver.ReadAll(), "G0 X0\n\nM30\n");
    const termios after = portSettings(pair.sender());
    EXPECT_EQ(cfgetospeed(&after), B19200);
    EXPECT_EQ(after.c_cflag & CSTOPB, tcflag_t(CSTOPB));
}

TEST(SendCommand, ReportsBadArgumentsAndPortsThatCannotBeOpened) {
    ScratchFolder folder;
    const std::string program = (folder / "p.nc").string();
    test::WriteFile(program, "G0\n");
    const std::string missing = (folder / "ttyMissing").string();
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string error;
    } cases[] = {
        {{program}, kUsage, "--port DEVICE is required"},
        {{"--port", missing}, kUsage, "expected one PROGRAM"},
        {{program, "--port", missing, "--baud", "115200"}, kUsage, "--baud: not one of 300"},
        {{program, "--port", missing, "--parity", "EVEN"}, kUsage, "--parity: not one of even"},
        {{program, "--port", missing, "--eol", "crcr"}, kUsage, "--eol: not one of crlf lf cr"},
        {{program, "--port", missing, "--flow"}, kUsage, "unknown option: --flow"},
        {{(folder / "none.nc").string(), "--port", missing}, kFailure, "cannot open"},
        {{program, "--port", missing},
         kFailure,
         "Das \xC3\x96"
         "ffnen des Ports schlug fehl. Fehlernummer: 2; "},
    };
    for (const auto &c : cases) {
        const CliRun run = send(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.error;
        EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
    }
    EXPECT_EQ(send({"--help"}).status, kSuccess);
}

} // namespace
} // namespace morvilo::cli
