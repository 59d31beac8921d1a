// morvilo-cli send over a serial line made of two pseudo-terminals.

#include "cli/cli.h"

#include "../cli/cliprocess.h"
#include "../common/testfiles.h"
#include "linetest.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <regex>
#include <sstream>
#include <termios.h>
#include <thread>

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

void expectSameSettings(const termios &after, const termios &before) {
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
}

// A port whose output processing is on, as a terminal program or the system may leave it.
termios processingOutput(const std::string &device) {
    termios t = portSettings(device);
    t.c_oflag |= OPOST | ONLCR;
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    EXPECT_EQ(::tcsetattr(fd, TCSANOW, &t), 0);
    ::close(fd);
    return portSettings(device);
}

// Far more than the line's buffers hold, in lines of 36 bytes.
std::string longProgram() {
    std::string text;
    for (int i = 0; i < 30000; ++i)
        text += "N" + std::to_string(100000 + i) + " G1 X12.345 Y-6.789 Z-0.5\r\n";
    return text;
}

// "... N lines sent": N, or -1 when the message does not end so.
long linesSent(const std::string &message) {
    std::smatch match;
    return std::regex_search(message, match, std::regex(R"(; (\d+) lines sent\n$)"))
               ? std::stol(match[1])
               : -1;
}

// The command runs in its own process; the fixture gives it the line.
class SendCommandOnALine : public test::LineTest {};

TEST_F(SendCommandOnALine, SendsTheProgramWithTheGivenLineSettingsAndPutsThePortBack) {
    Receiver receiver(pair->receiver());
    const std::string program = (folder / "p.nc").string();
    test::WriteFile(program, "G0 X0\r\n\r\nM30\r\n");

    const termios before = processingOutput(pair->sender());
    CliRun run = send({program, "--port", pair->sender()}); // nothing asked: nothing changes
    EXPECT_EQ(run.status, kSuccess) << run.err;
    EXPECT_EQ(receiver.ReadAll(), "G0 X0\r\n\r\nM30\r\n");
    expectSameSettings(portSettings(pair->sender()), before);

    run = send({program, "--port=" + pair->sender(), "--baud", "19200", "--data-bits", "8",
                "--parity", "none", "--stop-bits", "2", "--eol", "lf"});
    EXPECT_EQ(run.status, kSuccess) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(receiver.ReadAll(), "G0 X0\n\nM30\n");
    expectSameSettings(portSettings(pair->sender()), before);

    // The fast rates of the port dialog are offered here too.
    run = send({program, "--port", pair->sender(), "--baud", "115200"});
    EXPECT_EQ(run.status, kSuccess) << run.err;
    EXPECT_EQ(receiver.ReadAll(), "G0 X0\r\n\r\nM30\r\n");
}

TEST_F(SendCommandOnALine, AHeldLineEndsTheTransferAfterTheTimeout) {
    // The receiving end is never read: the machine holds the line.
    const std::string program = (folder / "p.nc").string();
    test::WriteFile(program, longProgram());
    const termios before = processingOutput(pair->sender());
    const CliRun run = send({program, "--port", pair->sender(), "--timeout", "0.3"});
    EXPECT_EQ(run.status, kFailure);
    EXPECT_EQ(run.err.rfind("morvilo-cli send: transfer ended: no progress for 0.3 s; ", 0), 0u)
        << run.err;
    EXPECT_GE(linesSent(run.err), 0) << run.err;
    EXPECT_LT(linesSent(run.err), 30000);
    expectSameSettings(portSettings(pair->sender()), before);
}

TEST_F(SendCommandOnALine, SigintEndsAHeldTransferAndSaysHowFarItGot) {
    const std::string program = (folder / "p.nc").string();
    test::WriteFile(program, longProgram());
    const termios before = processingOutput(pair->sender());
    test::CliProcess cli(folder.path(), folder.path(), {"send", program, "--port", pair->sender()});
    ASSERT_TRUE(cli.WaitUntilCatching(SIGINT)) << cli.Err();
    cli.Signal(SIGINT);
    const int status = cli.Wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    EXPECT_EQ(cli.Err().rfind("morvilo-cli send: transfer stopped by signal SIGINT; ", 0), 0u)
        << cli.Err();
    EXPECT_GE(linesSent(cli.Err()), 0) << cli.Err();
    EXPECT_LT(linesSent(cli.Err()), 30000);
    expectSameSettings(portSettings(pair->sender()), before);
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
        {{program, "--port", missing, "--baud", "14400"}, kUsage, "--baud: not one of 300"},
        {{program, "--port", missing, "--parity", "EVEN"}, kUsage, "--parity: not one of even"},
        {{program, "--port", missing, "--eol", "crcr"}, kUsage, "--eol: not one of crlf lf cr"},
        {{program, "--port", missing, "--flow"}, kUsage, "unknown option: --flow"},
        {{(folder / "none.nc").string(), "--port", missing},
         kFailure,
         "cannot open " + (folder / "none.nc").string() + ": No such file or folder\n"},
        {{folder.path().string(), "--port", missing},
         kFailure,
         "cannot open " + folder.path().string() + ": This is a folder\n"},
        // The reason in words, never an error number.
        {{program, "--port", missing},
         kFailure,
         "morvilo-cli send: cannot open the port " + missing + ": No such file or folder\n"},
        {{program, "--port", program},
         kFailure,
         "cannot read the settings of the port " + program + ": The device is not a serial port\n"},
        {{program, "--port", missing, "--timeout", "0"}, kUsage, "--timeout: not a number above 0"},
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

namespace morvilo::cli {
namespace {

using test::Receiver;

CliRun runCli(const std::string &command, const std::vector<std::string> &arguments) {
    std::ostringstream out, err;
    std::vector<std::string> all = {command};
    all.insert(all.end(), arguments.begin(), arguments.end());
    const int status = RunCli(all, out, err);
    return {status, out.str(), err.str()};
}

TEST_F(SendCommandOnALine, AnXoffHeldLineEndsTheTransferAfterTheTimeout) {
    // The machine reads all the time, so only its XOFF can hold the line.
    const std::string program = (folder / "p.nc").string();
    test::WriteFile(program, longProgram());
    Receiver machine(pair->receiver());
    const int control = ::open(pair->receiver().c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(control, 0);
    CliRun run;
    std::thread sending([&] {
        run = runCli("send", {program, "--port", pair->sender(), "--handshake", "xonxoff",
                              "--timeout", "0.5"});
    });
    // The transfer has the port (and the handshake) once the line's buffers are full.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(::write(control, "\x13", 1), 1);
    const std::string got = machine.ReadAll(1500);
    EXPECT_LT(got.size(), longProgram().size());
    sending.join();
    ::close(control);
    EXPECT_EQ(run.status, kFailure);
    EXPECT_EQ(run.err.rfind("morvilo-cli send: transfer ended: no progress for 0.5 s; ", 0), 0u)
        << run.err;
    EXPECT_LT(linesSent(run.err), 30000);
}

TEST_F(SendCommandOnALine, ReceiveWritesWhatTheMachineSendsUpToItsEnd) {
    const std::string output = (folder / "out.nc").string();
    test::WriteFile(output, "old");
    CliRun run;
    std::thread receiving([&] {
        run = runCli("receive", {"--port", pair->sender(), "--handshake", "xonxoff",
                                 "--idle-timeout", "5", output});
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const int machine = ::open(pair->receiver().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(machine, 0);
    const std::string text = "%\r\nO1\r\nG0 X1\r\nM30\r\n%";
    ASSERT_EQ(::write(machine, text.data(), text.size()), ssize_t(text.size()));
    receiving.join();
    ::close(machine);
    EXPECT_EQ(run.status, kSuccess) << run.err;
    EXPECT_EQ(test::ReadFile(output), text);

    // A port that cannot be opened leaves the old file alone.
    test::WriteFile(output, "old");
    run = runCli("receive", {"--port", (folder / "none").string(), output});
    EXPECT_EQ(run.status, kFailure);
    EXPECT_EQ(run.err, "morvilo-cli receive: cannot open or set up " + (folder / "none").string() +
                           ": No such file or folder\n");
    EXPECT_EQ(test::ReadFile(output), "old");
    run = runCli("receive", {"--port", pair->sender(), "--end", "ab", output});
    EXPECT_EQ(run.status, kUsage) << run.err;
}

} // namespace
} // namespace morvilo::cli
