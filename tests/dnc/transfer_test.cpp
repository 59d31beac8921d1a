// The transfer over a real serial line made of two pseudo-terminals, and its failures.

#include "dnc/dncmessages.h"
#include "dnc/transfer.h"

#include "editor/editorcore.h"
#include "translation/translateunit.h"

#include "../common/testfiles.h"
#include "linetest.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <thread>

namespace morvilo::dnc {
namespace {

using test::PtyPair;
using test::Receiver;
using test::ScratchFolder;

// The real system calls, with what the transfer asked for kept for the test.
class RecordingSerial : public SerialApi {
public:
    int GetAttr(int fd, termios &t) override {
        const int result = SerialApi::GetAttr(fd, t);
        read = t;
        return result;
    }
    int SetAttr(int fd, const termios &t) override {
        (sets == 0 ? applied : restored) = t;
        ++sets;
        if (failSet) {
            errno = EINVAL;
            return -1;
        }
        return SerialApi::SetAttr(fd, t);
    }
    ssize_t Write(int fd, const char *data, size_t size) override {
        if (failWriteAt >= 0 && writes++ == failWriteAt) {
            errno = EIO;
            return -1;
        }
        return SerialApi::Write(fd, data, size);
    }
    void Discard(int fd) override {
        discarded = true;
        SerialApi::Discard(fd);
    }
    void Close(int fd) override {
        ++closes;
        SerialApi::Close(fd);
    }

    termios read{}, applied{}, restored{}; // the port's settings, the transfer's, the last set
    int sets = 0, closes = 0, writes = 0;
    bool discarded = false;
    bool failSet = false;
    int failWriteAt = -1;
};

size_t openDescriptors() {
    return size_t(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                std::filesystem::directory_iterator()));
}

termios portSettings(const std::string &device) {
    termios t{};
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::tcgetattr(fd, &t), 0);
    ::close(fd);
    return t;
}

void setPortSettings(const std::string &device, const termios &t) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &t), 0);
    ::close(fd);
}

class Transfer : public test::LineTest {
protected:
    void SetUp() override {
        LineTest::SetUp();
        if (!LineReady())
            return;
        receiver = std::make_unique<Receiver>(pair->receiver());
        ASSERT_TRUE(receiver->ok());
        settings.device = pair->sender();
        // A pseudo-terminal takes only 8 data bits without parity (glibc reports EINVAL for
        // the rest), so the line is set up that way unless a test asks otherwise.
        settings.indices = {0, 5, 2, 0, 2, 0};
    }

    std::unique_ptr<Receiver> receiver;
    TransferSettings settings;
    RecordingSerial api;
};

TEST_F(Transfer, TheReceiverGetsEveryLineWithItsLineEnd) {
    // Breaks of every kind in the file, an empty line (its line end alone goes out) and a last
    // line without a break.
    const std::string program = "%\r\nN10 G0 X1\nN20 G1 Y-2.5\r\rN30 (comment)\r\n\r\nM30";
    const std::vector<std::string> lines = {"%", "N10 G0 X1", "N20 G1 Y-2.5", "", "N30 (comment)",
                                            "",  "M30"};
    for (LineEnd end : {LineEnd::CrLf, LineEnd::Lf, LineEnd::Cr}) {
        settings.lineEnd = end;
        std::string expected;
        for (const std::string &line : lines)
            expected += line + std::string(LineEndBytes(end));
        const TransferResult result = SendText(document(program), settings, {}, api);
        EXPECT_EQ(result.message, 0) << TransferErrorText(result).toStdString();
        EXPECT_EQ(result.progress.lines, 7);
        EXPECT_EQ(result.progress.bytes, int64_t(expected.size()));
        EXPECT_EQ(receiver->ReadAll(), expected);
    }
    EXPECT_EQ(api.closes, 3);
}

// 0 bytes take no part in the editor's line text, but they are part of the program: every one
// goes out where the file has it, the line ends as chosen.
TEST_F(Transfer, ZeroBytesGoOutWhereTheFileHasThem) {
    const std::string program("G0 X1\0\nG1\0 Y2\r\n\0\0\n%\0", 20);
    const std::string expected("G0 X1\0\r\nG1\0 Y2\r\n\0\0\r\n%\0\r\n", 24);
    const TransferResult result = SendText(document(program), settings, {}, api);
    EXPECT_EQ(result.message, 0) << TransferErrorText(result).toStdString();
    EXPECT_EQ(result.progress.lines, 4);
    EXPECT_EQ(result.progress.bytes, int64_t(expected.size()));
    EXPECT_EQ(receiver->ReadAll(), expected);
}

TEST_F(Transfer, BytesGoOutAsWrittenAndThePortTranslatesLineFeedsAgainAfterwards) {
    termios t = portSettings(pair->sender());
    t.c_oflag |= OPOST | ONLCR;
    setPortSettings(pair->sender(), t);
    settings.lineEnd = LineEnd::Lf;
    EXPECT_EQ(SendText(document("G0\nG1\n"), settings, {}, api).message, 0);
    EXPECT_EQ(receiver->ReadAll(), "G0\nG1\n");
    EXPECT_EQ(portSettings(pair->sender()).c_oflag & (OPOST | ONLCR), tcflag_t(OPOST | ONLCR));
}

TEST_F(Transfer, OnlyTheChosenLineSettingsChangeAndThePortGetsItsOwnBack) {
    const termios before = portSettings(pair->sender());
    settings.indices = {0, 6, 2, 1, 2, 0}; // 19200 baud, 8 data bits, no parity, 2 stop bits
    ASSERT_EQ(SendText(document("G0\r\n"), settings, {}, api).message, 0);

    // What the transfer asked the driver for: the four settings, output processing off, the
    // rest as the port reported it.
    EXPECT_EQ(cfgetospeed(&api.applied), B19200);
    EXPECT_EQ(cfgetispeed(&api.applied), B19200);
    EXPECT_EQ(api.applied.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(api.applied.c_cflag & (PARENB | PARODD | CMSPAR), 0u);
    EXPECT_EQ(api.applied.c_cflag & CSTOPB, tcflag_t(CSTOPB));
    const tcflag_t lineBits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CBAUD | CBAUDEX;
    EXPECT_EQ(api.applied.c_cflag & ~lineBits, api.read.c_cflag & ~lineBits);
    EXPECT_EQ(api.applied.c_iflag, api.read.c_iflag);
    EXPECT_EQ(api.applied.c_lflag, api.read.c_lflag);
    EXPECT_EQ(api.applied.c_oflag, api.read.c_oflag & ~tcflag_t(OPOST));
    EXPECT_EQ(0, std::memcmp(api.applied.c_cc, api.read.c_cc, sizeof api.read.c_cc));

    // Afterwards the port holds what it held before.
    EXPECT_EQ(api.sets, 2);
    EXPECT_EQ(0, std::memcmp(&api.restored, &api.read, sizeof api.read));
    const termios after = portSettings(pair->sender());
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(0, std::memcmp(after.c_cc, before.c_cc, sizeof before.c_cc));
}

TEST_F(Transfer, UnselectedListsLeaveThePortAsItIs) {
    const termios before = portSettings(pair->sender());
    settings.indices = {-1, -1, 7, -1, 99, 0};
    ASSERT_EQ(SendText(document("G0\r\n"), settings, {}, api).message, 0);
    const termios after = portSettings(pair->sender());
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
    EXPECT_EQ(after.c_cflag, before.c_cflag);
}

TEST_F(Transfer, AnEmptyTextConfiguresThePortAndSendsNothing) {
    const TransferResult result = SendText(document(""), settings, {}, api);
    EXPECT_EQ(result.message, 0);
    EXPECT_EQ(result.progress.lines, 0);
    EXPECT_EQ(api.sets, 2); // the line settings, then the port's own
    EXPECT_EQ(api.closes, 1);
    EXPECT_EQ(receiver->ReadAll(), "");
}

TEST_F(Transfer, AWriteTheLineCannotTakeYetIsWaitedFor) {
    // Far more than the line's buffers hold: the transfer must wait until the receiver reads.
    std::string program;
    for (int i = 0; program.size() < (1u << 20); ++i)
        program += "N" + std::to_string(i) + " G1 X12.345 Y-6.789 Z-0.5 F1200\n";
    int calls = 0;
    const auto count = [&](const TransferProgress &) { return ++calls > 0; };
    std::string received;
    std::thread reader([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        received = receiver->ReadAll(1000);
    });
    const TransferResult result = SendText(document(program), settings, count, api);
    reader.join();
    EXPECT_EQ(result.message, 0);
    EXPECT_GT(calls, result.progress.lines); // asked while waiting, too
    std::string expected;
    for (size_t i = 0; i < program.size(); ++i)
        expected += program[i] == '\n' ? std::string("\r\n") : std::string(1, program[i]);
    EXPECT_EQ(received.size(), expected.size());
    EXPECT_TRUE(received == expected);
}

TEST_F(Transfer, CancelWhileTheLineIsHeldClosesThePort) {
    // One line far beyond the buffers, and nobody reads.
    TEditorCore &text = document(std::string(4u << 20, 'X'));
    const termios before = portSettings(pair->sender());
    const size_t descriptors = openDescriptors();
    int waits = 0;
    const auto cancelSoon = [&](const TransferProgress &) { return ++waits < 5; };
    const TransferResult result = SendText(text, settings, cancelSoon, api);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.message, 0);
    EXPECT_EQ(result.progress.lines, 0);
    EXPECT_LT(result.progress.bytes, text.size());
    EXPECT_EQ(api.closes, 1);
    EXPECT_TRUE(api.discarded);
    EXPECT_EQ(portSettings(pair->sender()).c_oflag, before.c_oflag);
    EXPECT_EQ(openDescriptors(), descriptors);
    EXPECT_EQ(TransferErrorText(result), "");
}

TEST_F(Transfer, TheCallbackMayUseTheEditorsLineReader) {
    // A window kept alive may run something else on the document's line reader.
    const auto meddle = [&](const TransferProgress &) {
        core.FirstLine();
        core.NextLine();
        return true;
    };
    ASSERT_EQ(SendText(document("A\nB\nC\n"), settings, meddle, api).message, 0);
    EXPECT_EQ(receiver->ReadAll(), "A\r\nB\r\nC\r\n");
}

TEST_F(Transfer, AFailedWriteEndsTheTransferWithMessage8) {
    api.failWriteAt = 1;
    const TransferResult result = SendText(document("G0\nG1\nG2\n"), settings, {}, api);
    EXPECT_EQ(result.message, kMsgNotAllSent);
    EXPECT_EQ(result.error, EIO);
    EXPECT_EQ(result.progress.lines, 1);
    EXPECT_EQ(api.closes, 1);
    EXPECT_FALSE(api.discarded); // the line before the failure still arrives
    EXPECT_EQ(receiver->ReadAll(), "G0\r\n");
    EXPECT_EQ(TransferErrorText(result), GetTString(kMsgNotAllSent) + "\n5; Ein-/Ausgabefehler");
}

TEST_F(Transfer, ARefusedConfigurationGivesMessage9AndSendsNothing) {
    api.failSet = true;
    const TransferResult result = SendText(document("G0\n"), settings, {}, api);
    EXPECT_EQ(result.message, kMsgPortSetFailed);
    EXPECT_EQ(result.error, EINVAL);
    EXPECT_EQ(api.closes, 1);
    EXPECT_EQ(receiver->ReadAll(), "");
    EXPECT_EQ(TransferErrorText(result),
              GetTString(kMsgPortSetFailed) +
                  QString::fromUtf8("22; Das Gerät oder System nimmt diesen Wert nicht an"));
}

// Failures before anything is written need no serial line.
TEST(TransferFailure, APortThatCannotBeOpenedOrIsNoSerialPortIsReported) {
    ScratchFolder folder;
    test::WriteFile(folder / "program.nc", "G0\n");
    test::WriteFile(folder / "plain.txt", "");
    TEditorCore core;
    ASSERT_TRUE(core.OpenFileWithName((folder / "program.nc").string()));
    // The system's reason in the program's own words, as every message gives it.
    const struct {
        std::string device;
        int message, error;
        const char *reason;
    } cases[] = {
        {(folder / "missing").string(), kMsgPortOpenFailed, ENOENT,
         "Datei oder Ordner nicht vorhanden"},
        {"/dev/", kMsgPortOpenFailed, EISDIR, "Das ist ein Ordner"}, // no port chosen
        {(folder / "plain.txt").string(), kMsgPortQueryFailed, ENOTTY,
         "Das Gerät ist keine serielle Schnittstelle"},
    };
    for (const auto &c : cases) {
        RecordingSerial api;
        const size_t descriptors = openDescriptors();
        const TransferResult result =
            SendText(core, {c.device, PortOptions{}, LineEnd::CrLf}, {}, api);
        EXPECT_EQ(result.message, c.message) << c.device;
        EXPECT_EQ(result.error, c.error) << c.device;
        EXPECT_EQ(TransferErrorText(result), GetTString(c.message) + QString::number(c.error) +
                                                 "; " + QString::fromUtf8(c.reason));
        EXPECT_EQ(api.closes, c.message == kMsgPortOpenFailed ? 0 : 1);
        EXPECT_EQ(openDescriptors(), descriptors);
    }
    EXPECT_TRUE(TransferErrorText(TransferResult{}).isEmpty());
}

TEST(TransferFailure, Message11ReadsAsTheUserSeesIt) {
    TransferResult result;
    result.message = kMsgPortOpenFailed;
    result.error = ENOENT;
    EXPECT_TRUE(TransferErrorText(result).startsWith(
        QString::fromUtf8("Das Öffnen des Ports schlug fehl. Fehlernummer: 2; ")));
}

} // namespace
} // namespace morvilo::dnc
