#pragma once
// port.dat beside options.dat: what options.dat's six integers cannot hold. A USB adapter
// chosen in the port dialog is kept by its device name, so that it is found again when its
// place in the port list moved; the line end is the characters sent after every line. The file
// is two "name=value" lines, read and written silently like options.dat.

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

} // namespace morvilo::dnc
