#pragma once
// port.dat beside options.dat: what options.dat's six integers cannot hold. A USB adapter
// chosen in the port dialog is kept by its device name, so that it is found again when its
// place in the port list moved; the line end is the characters sent after every line. The file
// is two "name=value" lines, read and written silently like options.dat.

#include "dnc/serialport.h"
#include "settings/settingsfiles.h"

#include <string>
#include <string_view>

namespace morvilo::dnc {

enum class LineEnd { CrLf, Lf, Cr }; // the order of the dialog's list

// "\r\n", "\n" or "\r".
std::string_view LineEndBytes(LineEnd end);

struct PortFile {
    std::string device; // the chosen adapter's device name; empty for COM1 ... COM15
    LineEnd lineEnd = LineEnd::CrLf;
};

// Defaults for a missing file and for lines it does not understand.
PortFile ReadPortDat(const std::string &path);
bool WritePortDat(const std::string &path, const PortFile &file);

// The device a transfer opens: COM1 ... COM15 by options.port, beyond them the adapter named
// in port.dat; "/dev/" alone when neither names a port.
std::string TransferDevice(const PortOptions &options, const PortFile &file);

// dnc.dat beside options.dat: the handshake, the character that ends a reception (an empty value:
// none), the seconds without progress after which a transfer or a reception ends (0: no
// limit) and a baud rate beyond options.dat's list (an empty value: none). Lines "name=value"; a
// missing file gives the defaults, a damaged one the defaults and a message.
constexpr const char *kDncDatName = "dnc.dat";

// The longest timeout dnc.dat keeps, seconds (a day).
constexpr double kMaxDncTimeout = 86400;

struct DncFile {
    Handshake handshake = Handshake::AsPort;
    int endChar = '%'; // a byte 0 ... 255; -1: none
    double timeout = 0;
    // A rate of kFastBaudRates, which options.dat cannot hold; 0: the rate of options.dat.
    int baud = 0;
};

// The line settings of a transfer: options.dat's, with dnc.dat's rate where it has one.
PortOptions LineSettings(PortOptions options, const DncFile &file);

// The defaults where the file is missing or a line cannot be read; damaged (when given) says
// whether a line could not be read.
DncFile ReadDncDat(const std::string &path, bool *damaged = nullptr);
bool WriteDncDat(const std::string &path, const DncFile &file);

} // namespace morvilo::dnc
