#include "dnc/serialport.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace morvilo::dnc {

namespace fs = std::filesystem;

const std::vector<int> kBaudRates = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400};
const std::vector<int> kFastBaudRates = {57600, 115200, 230400};
const std::vector<int> kDataBits = {6, 7, 8};
const std::vector<Parity> kParities = {Parity::Even, Parity::Mark, Parity::None, Parity::Odd,
                                       Parity::Space};
const std::vector<int> kStopBits = {1, 2};
const std::vector<std::string> kHandshakeNames = {"none", "xonxoff", "rtscts"};

namespace {

// The names in folder starting with prefix, ttyUSB2 before ttyUSB10.
std::vector<std::string> devicesNamed(const fs::path &folder, const std::string &prefix) {
    std::vector<std::string> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (it->path().filename().string().rfind(prefix, 0) == 0)
            found.push_back(it->path().string());
    std::sort(found.begin(), found.end(), [](const std::string &a, const std::string &b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return found;
}

template <typename T> bool inList(const std::vector<T> &list, int32_t index) {
    return index >= 0 && size_t(index) < list.size();
}

speed_t speedOf(int baud) {
    switch (baud) {
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    default:
        return B38400;
    }
}

tcflag_t sizeOf(int bits) {
    return bits == 6 ? CS6 : bits == 7 ? CS7 : CS8;
}

tcflag_t parityFlags(Parity parity) {
    switch (parity) {
    case Parity::Even:
        return PARENB;
    case Parity::Odd:
        return PARENB | PARODD;
    case Parity::Mark: // the parity bit always 1
        return PARENB | CMSPAR | PARODD;
    case Parity::Space: // the parity bit always 0
        return PARENB | CMSPAR;
    case Parity::None:
        break;
    }
    return 0;
}

} // namespace

std::vector<std::string> UsbSerialDevices(const std::string &devRoot) {
    std::vector<std::string> devices;
    for (const auto &[folder, prefix] : {std::pair<fs::path, std::string>{devRoot, "ttyUSB"},
                                         {devRoot, "ttyACM"},
                                         {fs::path(devRoot) / "serial/by-id", ""}}) {
        const std::vector<std::string> found = devicesNamed(folder, prefix);
        devices.insert(devices.end(), found.begin(), found.end());
    }
    return devices;
}

std::vector<std::string> PortEntries(const std::vector<std::string> &usbDevices) {
    std::vector<std::string> entries;
    for (int n = 1; n <= kComPortCount; ++n)
        entries.push_back("COM" + std::to_string(n));
    entries.insert(entries.end(), usbDevices.begin(), usbDevices.end());
    return entries;
}

std::string PortDevice(const std::string &entry) {
    for (int n = 1; n <= kComPortCount; ++n)
        if (entry == "COM" + std::to_string(n))
            return "/dev/ttyS" + std::to_string(n - 1);
    return entry.empty() ? "/dev/" : entry;
}

int BaudRateOf(int32_t index) {
    if (inList(kBaudRates, index))
        return kBaudRates[size_t(index)];
    const int32_t fast = index - int32_t(kBaudRates.size());
    return index >= 0 && inList(kFastBaudRates, fast) ? kFastBaudRates[size_t(fast)] : 0;
}

void ApplyLineSettings(const PortOptions &indices, termios &t) {
    if (const int baud = BaudRateOf(indices.baud); baud > 0) {
        cfsetispeed(&t, speedOf(baud));
        cfsetospeed(&t, speedOf(baud));
    }
    if (inList(kDataBits, indices.databits))
        t.c_cflag = (t.c_cflag & ~CSIZE) | sizeOf(kDataBits[size_t(indices.databits)]);
    if (inList(kParities, indices.parity))
        t.c_cflag = (t.c_cflag & ~(PARENB | PARODD | CMSPAR)) |
                    parityFlags(kParities[size_t(indices.parity)]);
    if (inList(kStopBits, indices.stopbits)) {
        if (kStopBits[size_t(indices.stopbits)] == 2)
            t.c_cflag |= CSTOPB;
        else
            t.c_cflag &= ~CSTOPB;
    }
}

void ApplyHandshake(Handshake handshake, termios &t) {
    switch (handshake) {
    case Handshake::AsPort:
        return;
    case Handshake::XonXoff:
        // Only XON resumes: any other byte from the machine must not restart the output.
        t.c_iflag = (t.c_iflag | IXON | IXOFF) & ~tcflag_t(IXANY);
        t.c_cflag &= ~tcflag_t(CRTSCTS);
        t.c_cc[VSTART] = 0x11;
        t.c_cc[VSTOP] = 0x13;
        return;
    case Handshake::RtsCts:
        t.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
        t.c_cflag |= CRTSCTS;
        return;
    }
}

int SerialApi::Open(const std::string &device) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0)
        ::ioctl(fd, TIOCEXCL); // not every device knows exclusive use; that is no error
    return fd;
}

int SerialApi::GetAttr(int fd, termios &t) {
    return ::tcgetattr(fd, &t);
}

int SerialApi::SetAttr(int fd, const termios &t) {
    return ::tcsetattr(fd, TCSANOW, &t);
}

ssize_t SerialApi::Write(int fd, const char *data, size_t size) {
    return ::write(fd, data, size);
}

ssize_t SerialApi::Read(int fd, char *data, size_t size) {
    return ::read(fd, data, size);
}

int SerialApi::WaitReadable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0 ? p.revents : 0;
}

void SerialApi::WaitWritable(int fd, int timeoutMs) {
    pollfd p{fd, POLLOUT, 0};
    ::poll(&p, 1, timeoutMs);
}

int SerialApi::Pending(int fd) {
    int count = 0;
    return ::ioctl(fd, TIOCOUTQ, &count) == 0 ? count : 0;
}

void SerialApi::Discard(int fd) {
    ::tcflush(fd, TCOFLUSH);
}

void SerialApi::Close(int fd) {
    const int saved = errno; // the caller reports the error that ended the transfer
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
    errno = saved;
}

SerialApi &PosixSerial() {
    static SerialApi api;
    return api;
}

} // namespace morvilo::dnc
