#pragma once
// The serial ports offered for the transfer and the line settings applied to them. COM1 ...
// COM15 are the on-board ports /dev/ttyS0 ... /dev/ttyS14; serial USB adapters present on the
// machine follow them under their device names. The line settings are the item indices of the
// port dialog's lists; an index outside its list leaves that setting as the port has it.

#include "settings/settingsfiles.h"

#include <poll.h>
#include <string>
#include <sys/types.h>
#include <termios.h>
#include <vector>

namespace morvilo::dnc {

constexpr int kComPortCount = 15;

// The serial USB adapters below devRoot (ttyUSB*, ttyACM*, serial/by-id/*), sorted by name.
std::vector<std::string> UsbSerialDevices(const std::string &devRoot = "/dev");

// The entries of the port list: "COM1" ... "COM15", then the given adapters.
std::vector<std::string> PortEntries(const std::vector<std::string> &usbDevices);

// The device an entry opens: "COMn" gives /dev/ttyS(n-1), any other entry is a device name. An
// empty entry (no port chosen) gives "/dev/" alone, which no port opens.
std::string PortDevice(const std::string &entry);

// The baud rates, data bits, parities and stop bits of the lists, index 0 first.
enum class Parity { Even, Mark, None, Odd, Space };
extern const std::vector<int> kBaudRates;
// The port dialog offers these after kBaudRates, at the indices following them; options.dat
// keeps the indices of kBaudRates only, dnc.dat such a rate.
extern const std::vector<int> kFastBaudRates;
// The rate of a baud index of the port dialog's list (kBaudRates, then kFastBaudRates); 0
// outside it.
int BaudRateOf(int32_t index);
extern const std::vector<int> kDataBits;
extern const std::vector<Parity> kParities;
extern const std::vector<int> kStopBits;

// Changes baud rate, data bits, parity (mark and space through CMSPAR) and stop bits of t as
// the indices say; every other flag keeps its value.
void ApplyLineSettings(const PortOptions &indices, termios &t);

// The flow control of a transfer: as the port has it, XON/XOFF in both directions (the machine
// stops the sender with XOFF, the driver answers a full input buffer with XOFF), or RTS/CTS.
// The order is the port dialog's list.
enum class Handshake { AsPort, XonXoff, RtsCts };

// The names of --handshake and of dnc.dat, index by index: "none", "xonxoff", "rtscts".
extern const std::vector<std::string> kHandshakeNames;

// Switches t to the handshake; AsPort leaves it unchanged.
void ApplyHandshake(Handshake handshake, termios &t);

// The system calls of a transfer; tests replace them to see what the transfer asks for. Each
// returns as its system call does, with errno set on failure.
class SerialApi {
public:
    virtual ~SerialApi() = default;
    // Read-write, never the controlling terminal, not waiting for a carrier, writes that
    // would block return EAGAIN; exclusive use where the device allows it.
    virtual int Open(const std::string &device);
    virtual int GetAttr(int fd, termios &t);
    virtual int SetAttr(int fd, const termios &t);
    virtual ssize_t Write(int fd, const char *data, size_t size);
    virtual ssize_t Read(int fd, char *data, size_t size);
    // Waits at most timeoutMs for bytes to read; the poll revents (0 when none came).
    virtual int WaitReadable(int fd, int timeoutMs);
    // Waits at most timeoutMs for the device to take more bytes.
    virtual void WaitWritable(int fd, int timeoutMs);
    // Bytes written but not yet sent by the driver (0 when it cannot tell).
    virtual int Pending(int fd);
    // Drops the bytes written but not yet sent.
    virtual void Discard(int fd);
    // Ends exclusive use and closes.
    virtual void Close(int fd);
};

// The real system calls.
SerialApi &PosixSerial();

} // namespace morvilo::dnc
