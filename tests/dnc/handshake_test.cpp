// Flow control and reception over a serial line made of two pseudo-terminals: a machine that
// stops the sender with XOFF, RTS/CTS, time-outs and cancels, programs read back from the
// machine and a port that goes away.

#include "dnc/dncmessages.h"
#include "dnc/portfile.h"
#include "dnc/receive.h"
#include "dnc/transfer.h"

#include "editor/editorcore.h"

#include "../common/testfiles.h"
#include "linetest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <future>
#include <poll.h>
#include <thread>

namespace morvilo::dnc {
namespace {

using test::PtyPair;
using test::ScratchFolder;

constexpr char kXoff = 0x13, kXon = 0x11;

// The machine's end of the line: reads what comes and can send.
class Machine {
public:
    explicit Machine(const std::string &device)
        : fd(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
    ~Machine() {
        if (fd >= 0)
            ::close(fd);
    }
    Machine(const Machine &) = delete;
    Machine &operator=(const Machine &) = delete;

    void Send(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = ::write(fd, bytes.data(), bytes.size());
            if (n > 0) {
                bytes.remove_prefix(size_t(n));
                continue;
            }
            ASSERT_TRUE(n < 0 && errno == EAGAIN) << "the machine cannot send";
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
        }
    }
    // What arrives until nothing more came for quietMs or limit bytes are there.
    std::string Read(int quietMs, size_t limit = SIZE_MAX) {
        std::string bytes;
        char buffer[65536];
        pollfd p{fd, POLLIN, 0};
        while (bytes.size() < limit && ::poll(&p, 1, quietMs) > 0) {
            const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, limit - bytes.size()));
            if (n <= 0)
                break;
            bytes.append(buffer, size_t(n));
        }
        return bytes;
    }
    int fd;
};

std::string program(size_t bytes) {
    std::string text = "%\n";
    for (int i = 0; text.size() < bytes; ++i)
        text += "N" + std::to_string(i) + " G1 X12.345 Y-6.789 Z-0.5 F1200\n";
    return text + "M30\n%\n";
}

class OnALine : public test::LineTest {
protected:
    void SetUp() override {
        LineTest::SetUp();
        if (!LineReady())
            return;
        machine = std::make_unique<Machine>(pair->receiver());
        ASSERT_GE(machine->fd, 0);
        settings.device = pair->sender();
        settings.indices = {0, 5, 2, 0, 2, 0}; // 8 data bits, no parity: what a pty takes
        settings.lineEnd = LineEnd::Lf;
    }

    std::unique_ptr<Machine> machine;
    TransferSettings settings;
};

TEST_F(OnALine, XoffStopsTheSenderWithinALineAndXonResumesWithoutLossOrRepeat) {
    const std::string text = program(2u << 20);
    settings.handshake = Handshake::XonXoff;
    std::atomic<bool> sawWaiting{false};
    auto sending = std::async(std::launch::async, [&] {
        return SendText(document(text), settings, [&](const TransferProgress &p) {
            if (p.waiting)
                sawWaiting = true;
            return true;
        });
    });
    // The machine takes a piece, stops the line and reads what was already under way.
    std::string got = machine->Read(500, 100000);
    machine->Send(std::string(1, kXoff));
    got += machine->Read(500);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::string duringStop = machine->Read(200);
    EXPECT_EQ(duringStop, "") << "the sender went on after XOFF";
    EXPECT_LT(got.size(), text.size());
    EXPECT_TRUE(sawWaiting);
    EXPECT_EQ(sending.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
    // The stop fell inside a line at least once over the pieces; what matters is the sum.
    machine->Send(std::string(1, kXon));
    while (got.size() < text.size()) {
        const std::string more = machine->Read(2000);
        if (more.empty())
            break;
        got += more;
    }
    const TransferResult result = sending.get();
    EXPECT_EQ(result.message, 0) << TransferErrorText(result).toStdString();
    EXPECT_EQ(got.size(), text.size());
    EXPECT_TRUE(got == text) << "bytes lost or doubled";
}

TEST_F(OnALine, AHeldXoffEndsInACancelOrItsTimeoutAndThePortIsFree) {
    settings.handshake = Handshake::XonXoff;
    machine->Send(std::string(1, kXoff)); // stopped before anything goes out
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // The window's cancel: the callback says stop while the line is held.
    const TransferResult result = SendText(document(program(1u << 20)), settings,
                                           [](const TransferProgress &p) { return !p.waiting; });
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.message, 0);
    EXPECT_LT(result.progress.bytes, int64_t(1u << 20));
    // Without a cancel, the settings' timeout ends it, naming the lines sent.
    machine->Send(std::string(1, kXoff));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    settings.timeout = 0.3;
    const TransferResult timed = SendText(document(program(1u << 20)), settings);
    EXPECT_TRUE(timed.timedOut);
    EXPECT_FALSE(timed.cancelled);
    EXPECT_EQ(timed.message, 0);
    EXPECT_LT(timed.progress.bytes, int64_t(1u << 20));
    EXPECT_EQ(TransferTimeoutMessage(timed, settings.timeout).Filled(),
              "Übertragung abgebrochen: 0.3 s lang kein Fortschritt; " +
                  std::to_string(timed.progress.lines) + " Zeilen gesendet.");
    settings.timeout = 0;
    // The port is closed: another transfer can open it (exclusive use ended).
    machine->Send(std::string(1, kXon));
    machine->Read(300);
    const TransferResult second = SendText(document("G0\n"), settings);
    EXPECT_EQ(second.message, 0);
}

TEST_F(OnALine, HandshakeFlagsReachTheDriverAndThePortGetsItsOwnBack) {
    // A pty keeps CRTSCTS as set though no wire carries it: the flags are read back.
    struct Cases {
        Handshake handshake;
        tcflag_t iflagOn, iflagOff, cflagOn, cflagOff;
    } const cases[] = {
        {Handshake::XonXoff, IXON | IXOFF, IXANY, 0, CRTSCTS},
        {Handshake::RtsCts, 0, IXON | IXOFF | IXANY, CRTSCTS, 0},
    };
    for (const Cases &c : cases) {
        termios seen{};
        class Peek : public SerialApi {
        public:
            explicit Peek(termios &seen) : seen(seen) {}
            int SetAttr(int fd, const termios &t) override {
                const int result = SerialApi::SetAttr(fd, t);
                if (first) {
                    SerialApi::GetAttr(fd, seen);
                    first = false;
                }
                return result;
            }
            termios &seen;
            bool first = true;
        } peek(seen);
        settings.handshake = c.handshake;
        ASSERT_EQ(SendText(document("G0\n"), settings, {}, peek).message, 0);
        EXPECT_EQ(seen.c_iflag & c.iflagOn, c.iflagOn);
        EXPECT_EQ(seen.c_iflag & c.iflagOff, 0u);
        EXPECT_EQ(seen.c_cflag & c.cflagOn, c.cflagOn);
        EXPECT_EQ(seen.c_cflag & c.cflagOff, 0u);
        if (c.handshake == Handshake::XonXoff) {
            EXPECT_EQ(seen.c_cc[VSTOP], kXoff);
            EXPECT_EQ(seen.c_cc[VSTART], kXon);
        }
        termios after{};
        const int fd = ::open(pair->sender().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_EQ(::tcgetattr(fd, &after), 0);
        ::close(fd);
        EXPECT_EQ(after.c_cflag & CRTSCTS, 0u);
        machine->Read(200);
    }
}

ReceiveSettings receiveSettings(const std::string &device) {
    ReceiveSettings s;
    s.device = device;
    s.indices = {0, 5, 2, 0, 2, 0};
    return s;
}

TEST_F(OnALine, ReceptionEndsAtTheSecondPercentOrWhenTheLineStaysIdle) {
    struct Case {
        int endChar;
        double idle;
        ReceiveEnd end;
    } const cases[] = {{'%', 0, ReceiveEnd::EndCharacter}, {-1, 0.4, ReceiveEnd::Idle}};
    for (const Case &c : cases) {
        ReceiveSettings s = receiveSettings(pair->sender());
        s.endChar = c.endChar;
        s.idleSeconds = c.idle;
        std::string received;
        auto receiving = std::async(std::launch::async, [&] {
            return ReceiveText(s, [&](std::string_view piece, int64_t) {
                received.append(piece);
                return true;
            });
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        // Blanks and the leading % do not end it; 0xFF and control bytes come through as sent.
        const std::string text =
            "\n%\nO1000\nN10 G0 X1 (\xFF\x13)\n" + std::string(20000, 'Y') + "\nM30\n%\n";
        machine->Send(text.substr(0, 5000));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        machine->Send(text.substr(5000));
        ASSERT_EQ(receiving.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        const ReceiveResult result = receiving.get();
        EXPECT_EQ(result.end, c.end);
        // Everything up to the end arrives; the line end after it may still be on its way.
        EXPECT_EQ(received.substr(0, text.size() - 1), text.substr(0, text.size() - 1));
        EXPECT_EQ(result.bytes, int64_t(received.size()));
        machine->Read(100);
    }
}

TEST_F(OnALine, AVanishedPortEndsTheReceptionWithWhatCameKept) {
    std::string received;
    auto receiving = std::async(std::launch::async, [&] {
        return ReceiveText(receiveSettings(pair->sender()), [&](std::string_view piece, int64_t) {
            received.append(piece);
            return true;
        });
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    machine->Send("%\nN10 G0\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    machine.reset();
    pair->Stop(); // the adapter is pulled
    ASSERT_EQ(receiving.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    const ReceiveResult result = receiving.get();
    EXPECT_EQ(result.end, ReceiveEnd::Vanished);
    EXPECT_EQ(received, "%\nN10 G0\n");
}

TEST_F(OnALine, AVanishedPortEndsTheTransferWithAMessage) {
    settings.handshake = Handshake::XonXoff;
    machine->Send(std::string(1, kXoff));
    int calls = 0;
    const TransferResult result =
        SendText(document(program(1u << 20)), settings, [&](const TransferProgress &p) {
            if (p.waiting && ++calls == 3)
                pair->Stop();
            return calls < 200; // bounded: a transfer that ignores the loss is cancelled
        });
    EXPECT_FALSE(result.cancelled);
    EXPECT_EQ(result.message, kMsgNotAllSent);
}

TEST(MarkedInput, LineErrorsAndDoubledFfBytes) {
    struct Case {
        std::vector<std::string> reads;
        std::string good;
        bool clean;
    } const cases[] = {
        {{"G0 X1\n"}, "G0 X1\n", true},
        {{std::string("a\xFF\xFF"
                      "b",
                      4)},
         "a\xFF"
         "b",
         true},
        {{std::string("a\xFF", 2), std::string("\xFF"
                                               "b",
                                               2)},
         "a\xFF"
         "b",
         true},
        {{std::string("ab\xFF\0x"
                      "cd",
                      7)},
         "ab",
         false},
        {{std::string("ab\xFF", 3), std::string("\0", 1), "xcd"}, "ab", false},
    };
    for (const Case &c : cases) {
        MarkedInput input;
        std::string good;
        bool clean = true;
        for (const std::string &read : c.reads)
            clean = clean && input.Decode(read, good);
        EXPECT_EQ(good, c.good);
        EXPECT_EQ(clean, c.clean);
    }
}

TEST(DncDat, RoundTripDefaultsAndDamage) {
    ScratchFolder folder;
    const std::string path = (folder / "dnc.dat").string();
    bool damaged = true;
    DncFile read = ReadDncDat(path, &damaged); // missing: defaults, no damage
    EXPECT_EQ(read.handshake, Handshake::AsPort);
    EXPECT_EQ(read.endChar, '%');
    EXPECT_FALSE(damaged);
    ASSERT_TRUE(WriteDncDat(path, {Handshake::RtsCts, '#', 2.5}));
    read = ReadDncDat(path, &damaged);
    EXPECT_EQ(read.handshake, Handshake::RtsCts);
    EXPECT_EQ(read.endChar, '#');
    EXPECT_EQ(read.timeout, 2.5);
    EXPECT_FALSE(damaged);
    test::WriteFile(path, "handshake=xonxoff\r\ntimeout=1e999\r\nend=%%\r\ngarbage\r\n");
    read = ReadDncDat(path, &damaged);
    EXPECT_EQ(read.handshake, Handshake::XonXoff);
    EXPECT_EQ(read.timeout, 0);
    EXPECT_EQ(read.endChar, '%');
    EXPECT_TRUE(damaged);
    ASSERT_TRUE(WriteDncDat(path, {Handshake::AsPort, -1, 0})); // no end character
    read = ReadDncDat(path, &damaged);
    EXPECT_EQ(read.endChar, -1);
    EXPECT_FALSE(damaged);
}

// dnc.dat and port.dat keep their bytes: the lines in their order, each ended by CR LF; a
// line of port.dat that is no setting is passed over silently, one of dnc.dat is damage.
TEST(DncDat, BothFilesKeepTheirBytes) {
    ScratchFolder folder;
    const std::string dnc = (folder / "dnc.dat").string(), port = (folder / "port.dat").string();
    const struct {
        DncFile file;
        const char *bytes;
    } dncCases[] = {
        {{Handshake::RtsCts, '#', 2.5, 115200},
         "handshake=rtscts\r\nend=#\r\ntimeout=2.5\r\nbaud=115200\r\n"},
        {{Handshake::AsPort, -1, 0, 0}, "handshake=none\r\nend=\r\ntimeout=0\r\nbaud=\r\n"},
    };
    for (const auto &c : dncCases) {
        ASSERT_TRUE(WriteDncDat(dnc, c.file));
        EXPECT_EQ(test::ReadFile(dnc), c.bytes);
    }
    const struct {
        PortFile file;
        const char *bytes;
    } portCases[] = {
        {{"/dev/ttyUSB0", LineEnd::Lf}, "device=/dev/ttyUSB0\r\nlineend=lf\r\n"},
        {{"/dev/bad\rname", LineEnd::Cr}, "device=\r\nlineend=cr\r\n"},
    };
    for (const auto &c : portCases) {
        ASSERT_TRUE(WritePortDat(port, c.file));
        EXPECT_EQ(test::ReadFile(port), c.bytes);
    }
    test::WriteFile(port, "device\nlineend=tab\nnoise\ndevice=/dev/ttyACM1=x\n");
    const PortFile read = ReadPortDat(port);
    EXPECT_EQ(read.device, "/dev/ttyACM1=x");
    EXPECT_EQ(read.lineEnd, LineEnd::CrLf);
    bool damaged = false;
    test::WriteFile(dnc, "baud\n");
    EXPECT_EQ(ReadDncDat(dnc, &damaged).baud, 0); // a name alone: an empty value
    EXPECT_FALSE(damaged);
}

} // namespace
} // namespace morvilo::dnc
