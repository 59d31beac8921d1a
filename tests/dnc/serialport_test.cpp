// Port names, the line settings applied to a port's termios, and port.dat.

#include "dnc/portfile.h"
#include "dnc/serialport.h"

#include "../common/testfiles.h"

#include <gtest/gtest.h>

#include <cstring>

namespace morvilo::dnc {
namespace {

using test::ScratchFolder;

TEST(PortDevice, ComEntriesAreTheOnBoardPortsAndOtherEntriesTheirOwnDevice) {
    EXPECT_EQ(PortDevice("COM1"), "/dev/ttyS0");
    EXPECT_EQ(PortDevice("COM12"), "/dev/ttyS11");
    EXPECT_EQ(PortDevice("COM15"), "/dev/ttyS14");
    EXPECT_EQ(PortDevice("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(PortDevice(""), "/dev/"); // no port chosen: nothing that opens
}

TEST(PortDevice, AdaptersFollowTheComPortsInNaturalOrder) {
    ScratchFolder dev;
    std::filesystem::create_directories(dev / "serial/by-id");
    for (const char *name :
         {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "tty1", "serial/by-id/usb-X"})
        test::WriteFile(dev / name, "");
    const std::string root = dev.path().string();
    const std::vector<std::string> usb = UsbSerialDevices(root);
    EXPECT_EQ(usb, (std::vector<std::string>{root + "/ttyUSB2", root + "/ttyUSB10",
                                             root + "/ttyACM0", root + "/serial/by-id/usb-X"}));
    const std::vector<std::string> entries = PortEntries(usb);
    ASSERT_EQ(entries.size(), 19u);
    EXPECT_EQ(entries[0], "COM1");
    EXPECT_EQ(entries[14], "COM15");
    EXPECT_EQ(entries[15], root + "/ttyUSB2");
    EXPECT_TRUE(UsbSerialDevices((dev / "missing").string()).empty());
}

// A port whose every flag differs from what the transfer may set.
termios oddPort() {
    termios t{};
    t.c_iflag = IXON | IXOFF | INPCK | ISTRIP | IGNBRK;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ICANON | ECHO;
    t.c_cflag = CS5 | CREAD | CLOCAL | CRTSCTS | HUPCL;
    t.c_cc[VSTART] = 0x11;
    t.c_cc[VSTOP] = 0x13;
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    return t;
}

TEST(ApplyLineSettings, ChangesOnlyBaudDataBitsParityAndStopBits) {
    struct Case {
        PortOptions indices;
        speed_t speed;
        tcflag_t size, parity, stop;
    };
    const tcflag_t none = 0;
    const Case cases[] = {
        {{0, 5, 1, 0, 0, 0}, B9600, CS7, PARENB, none},                  // the defaults: even
        {{0, 6, 2, 1, 2, 0}, B19200, CS8, none, CSTOPB},                 // none, two stop bits
        {{0, 0, 0, 0, 1, 0}, B300, CS6, PARENB | CMSPAR | PARODD, none}, // mark
        {{0, 7, 2, 0, 3, 0}, B38400, CS8, PARENB | PARODD, none},        // odd
        {{0, 1, 1, 1, 4, 0}, B600, CS7, PARENB | CMSPAR, CSTOPB},        // space
        // the rates beyond options.dat's list follow it
        {{0, 8, 2, 0, 2, 0}, B57600, CS8, none, none},
        {{0, 10, 2, 0, 2, 0}, B230400, CS8, none, none},
        // Indices outside their lists leave the port's values.
        {{0, -1, 3, 2, -1, 0}, B115200, CS5, none, none},
        {{0, 11, -1, -1, 5, 0}, B115200, CS5, none, none},
    };
    for (const Case &c : cases) {
        termios t = oddPort();
        termios before = t;
        ApplyLineSettings(c.indices, t);
        SCOPED_TRACE(testing::Message()
                     << "baud " << c.indices.baud << " parity " << c.indices.parity);
        EXPECT_EQ(cfgetospeed(&t), c.speed);
        EXPECT_EQ(cfgetispeed(&t), c.speed);
        EXPECT_EQ(t.c_cflag & CSIZE, c.size);
        EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), c.parity);
        EXPECT_EQ(t.c_cflag & CSTOPB, c.stop);
        const tcflag_t lineBits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CBAUD | CBAUDEX;
        EXPECT_EQ(t.c_cflag & ~lineBits, before.c_cflag & ~lineBits);
        EXPECT_EQ(t.c_iflag, before.c_iflag);
        EXPECT_EQ(t.c_oflag, before.c_oflag);
        EXPECT_EQ(t.c_lflag, before.c_lflag);
        EXPECT_EQ(0, std::memcmp(t.c_cc, before.c_cc, sizeof t.c_cc));
    }
}

TEST(PortDat, KeepsTheAdapterNameAndTheLineEnd) {
    ScratchFolder folder;
    const std::string path = (folder / "port.dat").string();
    const PortFile missing = ReadPortDat(path);
    EXPECT_EQ(missing.device, "");
    EXPECT_EQ(missing.lineEnd, LineEnd::CrLf);

    for (LineEnd end : {LineEnd::CrLf, LineEnd::Lf, LineEnd::Cr}) {
        ASSERT_TRUE(WritePortDat(path, {"/dev/serial/by-id/usb-FTDI_A=1", end}));
        const PortFile read = ReadPortDat(path);
        EXPECT_EQ(read.device, "/dev/serial/by-id/usb-FTDI_A=1");
        EXPECT_EQ(read.lineEnd, end);
    }
    test::WriteFile(path, "lineend=\xff\ngarbage\0\n"); // damaged: the defaults
    EXPECT_EQ(ReadPortDat(path).lineEnd, LineEnd::CrLf);
    ASSERT_TRUE(WritePortDat(path, {"/dev/bad\nname", LineEnd::Lf})); // no way to keep it
    EXPECT_EQ(ReadPortDat(path).device, "");
    EXPECT_EQ(ReadPortDat(path).lineEnd, LineEnd::Lf);
}

TEST(PortDat, TransferDeviceFollowsThePortIndexAndTheStoredAdapter) {
    const PortFile adapter{"/dev/ttyUSB3", LineEnd::CrLf};
    const auto device = [](int32_t port, const PortFile &file) {
        PortOptions options;
        options.port = port;
        return TransferDevice(options, file);
    };
    EXPECT_EQ(device(0, adapter), "/dev/ttyS0");
    EXPECT_EQ(device(11, adapter), "/dev/ttyS11");
    EXPECT_EQ(device(15, adapter), "/dev/ttyUSB3");
    EXPECT_EQ(device(42, adapter), "/dev/ttyUSB3"); // the name counts, not where it was listed
    EXPECT_EQ(device(15, PortFile{}), "/dev/");
    EXPECT_EQ(device(-1, adapter), "/dev/");
}

} // namespace
} // namespace morvilo::dnc
