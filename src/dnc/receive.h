#pragma once
// Reading a program that a machine control sends ("punch"): open the port, change only the line
// settings and the handshake chosen, switch the input to raw bytes (no line editing, no echo,
// no CR/LF translation), hand over every byte as it arrives, give the port back its settings,
// close. The reception ends at the control's end character (the second '%' of an ISO program:
// the end character counts only after something else came), when the caller stops it, when
// nothing came for the idle time after the first byte, or at a failure; in every case the bytes
// received so far have been handed over. Line errors (framing, parity) are marked by the driver
// (PARMRK) and end the reception with the number of good bytes before them.

#include "dnc/serialport.h"
#include "settings/settingsfiles.h"
#include "vantrel/usermessage.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace morvilo::dnc {

struct ReceiveSettings {
    std::string device;
    PortOptions indices; // baud, databits, parity and stopbits are used
    Handshake handshake = Handshake::AsPort;
    int endChar = '%';      // -1: no end character
    double idleSeconds = 0; // 0: wait as long as the caller does
};

enum class ReceiveEnd {
    EndCharacter, // the control sent its end
    Stopped,      // the caller said stop
    Idle,         // nothing came for the idle time
    OpenFailed,   // the port could not be opened or set up (error says why)
    Vanished,     // the port went away (unplugged adapter, closed far end)
    LineError,    // a framing or parity error on the line
    ReadFailed,   // any other read error
};

struct ReceiveResult {
    ReceiveEnd end = ReceiveEnd::Stopped;
    int error = 0; // errno of the failed operation
    int64_t bytes = 0;
};

// Called with every piece received (possibly empty, about every 50 ms while nothing comes);
// false stops the reception.
using ReceiveCallback = std::function<bool(std::string_view received, int64_t total)>;

ReceiveResult ReceiveText(const ReceiveSettings &settings, const ReceiveCallback &take,
                          SerialApi &api = PosixSerial());

// The German message of a reception that ended by a failure on port, the system error in the
// words describe gives it (DescribeSystemError in the interface's language); empty for the other
// ends.
UserMessage ReceiveFailureMessage(const ReceiveResult &result, const std::string &port,
                                  const std::function<std::string(int)> &describe);

// Undoes the driver's marking of line errors (PARMRK without ISTRIP): "\377\377" is the byte
// 0xFF, "\377\0" followed by a byte is a byte received with a framing or parity error. A mark
// split between two reads is kept until the next one.
class MarkedInput {
public:
    // Appends the good bytes of raw to out; false at the first marked error (out then holds the
    // bytes before it).
    bool Decode(std::string_view raw, std::string &out);
    bool Pending() const { return state != 0; }

private:
    int state = 0; // 0: plain, 1: after \377, 2: after \377\0
};

} // namespace morvilo::dnc
