#pragma once
// The transfer of the editor's text to a machine control: open the port, read its settings,
// change only the line settings chosen (and switch off output processing, so that the bytes
// go out as written), write every line followed by the line end, wait until the driver has
// sent them, give the port back the settings it had, close. There is no protocol above the
// serial line. The port is opened non-blocking: a write the driver
// cannot take yet (the machine holds the line through the flow control the port already has)
// is waited for, and the caller is asked at every line and every pause whether to go on, so a
// window can stay alive and offer a cancel. The device is closed on every path.

#include "dnc/portfile.h"
#include "dnc/serialport.h"
#include "settings/settingsfiles.h"
#include "vantrel/messagenumbers.h"
#include "vantrel/usermessage.h"

#include <cstdint>
#include <functional>
#include <string>

namespace morvilo {
class TEditorCore;
}

namespace morvilo::dnc {

struct TransferSettings {
    std::string device;
    PortOptions indices; // baud, databits, parity and stopbits are used
    LineEnd lineEnd = LineEnd::CrLf;
    Handshake handshake = Handshake::AsPort;
    // Seconds in which neither a byte went out nor the driver's queue shrank, after which the
    // transfer ends as if cancelled (timedOut set); 0: the transfer waits as long as the caller.
    double timeout = 0;
};

// The settings of the port dialog: options.dat's values, port.dat and dnc.dat beside it in
// progpath (damaged, when given, says whether dnc.dat could not be read completely).
TransferSettings StoredTransferSettings(const PortOptions &options, const std::string &progpath,
                                        bool *damaged = nullptr);

struct TransferProgress {
    int64_t lines = 0;    // lines written completely
    int64_t bytes = 0;    // bytes written, line ends included
    int64_t position = 0; // where in the text the next line starts
    int64_t size = 0;     // the text's size
    int64_t queued = 0;   // after the last line: bytes the driver has still to send, if it tells
    bool waiting = false; // the line takes nothing at the moment (XOFF or CTS held by the machine)
};

struct TransferResult {
    int message = 0; // 0 (done or cancelled) or the message number 8 ... 11 (dncmessages.h)
    int error = 0;   // the errno of the failed operation
    bool cancelled = false;
    bool timedOut = false; // ended by the settings' timeout (cancelled is not set then)
    TransferProgress progress;
};

// Called after every line and about every 50 ms while a write or the driver's queue waits; false
// cancels. The port is closed and bytes not yet sent are dropped; so they are at the timeout.
using TransferCallback = std::function<bool(const TransferProgress &)>;

// The text of core, line by line; core's line reader is used from the start.
TransferResult SendText(TEditorCore &core, const TransferSettings &settings,
                        const TransferCallback &keepGoing = {}, SerialApi &api = PosixSerial());

// The German message of a transfer ended by its timeout, with the seconds and the lines sent.
UserMessage TransferTimeoutMessage(const TransferResult &result, double timeout);

} // namespace morvilo::dnc
