// morvilo-cli send PROGRAM --port DEVICE [line settings]: the DNC transfer in batch use. The
// program goes out line by line through the same transfer as the window's "Senden"; a line
// setting not given stays as the port has it. The transfer waits as long as the machine holds
// the line, unless --timeout bounds a wait without progress; SIGINT and SIGTERM end it.

#include "cli/cli.h"
#include "cli/clitext.h"
#include "cli/options.h"
#include "cli/programrun.h"
#include "cli/stopsignal.h"

#include "dnc/receive.h"
#include "dnc/transfer.h"
#include "editor/editorcore.h"
#include "vantrel/numberparse.h"
#include "vantrel/outputfile.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <iostream>
#include <optional>
#include <unistd.h>

namespace morvilo::cli {

namespace {

using OptionLines = std::vector<UsageItem>;

// The options of send and receive: the line settings and the handshake, then those given.
OptionLines withLineOptions(const OptionLines &own) {
    OptionLines lines = {
        {"--baud N",
         cliText("300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200 oder 230400")},
        {"--data-bits N", cliText("6, 7 oder 8")},
        {"--parity NAME", cliText("even, mark, none, odd oder space")},
        {"--stop-bits N", cliText("1 oder 2")},
        {"--handshake none|xonxoff|rtscts",
         cliText("Flusssteuerung (ohne Angabe: wie die Schnittstelle sie hat)")}};
    lines.insert(lines.end(), own.begin(), own.end());
    return lines;
}

std::string sendUsage() {
    return UsageText(
        "morvilo-cli send PROGRAM --port DEVICE [options]",
        {cliText("Sendet die Zeilen von PROGRAM über die serielle Schnittstelle DEVICE (z. B. "
                 "/dev/ttyS0, /dev/ttyUSB0)."),
         cliText("Nicht angegebene Einstellungen bleiben, wie die Schnittstelle sie hat; nach der "
                 "Übertragung erhält sie ihre Einstellungen zurück.")},
        withLineOptions(
            {{"--eol crlf|lf|cr", cliText("Zeichen nach jeder Zeile (crlf)")},
             {"--timeout SECONDS",
              cliText("beendet die Übertragung, wenn sie so lange nicht vorankommt "
                      "(sonst wird gewartet, solange die Maschine die Leitung hält)")}}));
}

struct SendOptions {
    dnc::TransferSettings settings;
    bool portGiven = false;
    std::vector<std::string> positional;
    bool help = false;
};

// The position of value's text in names; false when it is none of them.
bool readChoice(OptionReader &reader, const std::vector<std::string> &names, int32_t &index,
                std::string &error) {
    std::string value;
    const auto found =
        reader.Value(value) ? std::find(names.begin(), names.end(), value) : names.end();
    if (found == names.end()) {
        std::string list;
        for (const std::string &name : names)
            list += " " + name;
        error = cliText("--%1: keiner der Werte%2: %3", {reader.Name(), list, value});
        return false;
    }
    index = int32_t(found - names.begin());
    return true;
}

std::vector<std::string> numberNames(const std::vector<int> &numbers) {
    std::vector<std::string> names;
    for (int n : numbers)
        names.push_back(std::to_string(n));
    return names;
}

// The rates at the indices of the port dialog's list: the classic ones, then the fast ones.
std::vector<int> allBaudRates() {
    std::vector<int> rates = dnc::kBaudRates;
    rates.insert(rates.end(), dnc::kFastBaudRates.begin(), dnc::kFastBaudRates.end());
    return rates;
}

bool readSeconds(OptionReader &reader, double &seconds, std::string &error) {
    std::string value;
    if (!reader.Value(value)) {
        error = NeedsValue(reader);
        return false;
    }
    if (!ParseReal(value, seconds) || !(seconds > 0) || !std::isfinite(seconds)) {
        error = cliText("--%1: keine Zahl größer als 0: %2", {reader.Name(), value});
        return false;
    }
    return true;
}

// The options send and receive share: the port, its line settings and the handshake. Nothing
// when the option is none of them.
std::optional<bool> readLineOption(OptionReader &reader, std::string &device, bool &portGiven,
                                   PortOptions &indices, dnc::Handshake &handshake,
                                   std::string &error) {
    if (reader.Is("port")) {
        portGiven = reader.Value(device) && !device.empty();
        if (!portGiven)
            error = cliText("--port braucht ein Gerät");
        return portGiven;
    }
    if (reader.Is("handshake")) {
        int32_t index = 0;
        const bool ok = readChoice(reader, dnc::kHandshakeNames, index, error);
        handshake = dnc::Handshake(index);
        return ok;
    }
    if (reader.Is("baud"))
        return readChoice(reader, numberNames(allBaudRates()), indices.baud, error);
    if (reader.Is("data-bits"))
        return readChoice(reader, numberNames(dnc::kDataBits), indices.databits, error);
    if (reader.Is("stop-bits"))
        return readChoice(reader, numberNames(dnc::kStopBits), indices.stopbits, error);
    if (reader.Is("parity"))
        return readChoice(reader, {"even", "mark", "none", "odd", "space"}, indices.parity, error);
    return std::nullopt;
}

bool readOption(OptionReader &reader, SendOptions &o, std::string &error) {
    if (const auto line = readLineOption(reader, o.settings.device, o.portGiven, o.settings.indices,
                                         o.settings.handshake, error))
        return *line;
    if (reader.Is("timeout"))
        return readSeconds(reader, o.settings.timeout, error);
    if (reader.Is("eol")) {
        int32_t end = 0;
        const bool ok = readChoice(reader, {"crlf", "lf", "cr"}, end, error);
        o.settings.lineEnd = dnc::LineEnd(end);
        return ok;
    }
    if (reader.Is("help") && !reader.HasInlineValue()) {
        o.help = true;
        return true;
    }
    error = UnknownOption(reader);
    return false;
}

bool parse(const std::vector<std::string> &arguments, SendOptions &o, std::string &error) {
    // Nothing is changed unless asked for.
    o.settings.indices = PortOptions{-1, -1, -1, -1, -1, 0};
    if (!ReadArguments(arguments, o.positional, error, [&](OptionReader &reader, std::string &e) {
            return readOption(reader, o, e);
        }))
        return false;
    if (o.help)
        return true;
    if (o.positional.size() != 1)
        error = cliText("erwartet: ein PROGRAM");
    else if (!o.portGiven)
        error = cliText("--port DEVICE muss angegeben werden");
    return error.empty();
}

bool stderrIsTerminal(const std::ostream &err) {
    return err.rdbuf() == std::cerr.rdbuf() && ::isatty(STDERR_FILENO) == 1;
}

// One line on the terminal, rewritten at most five times a second: lines and bytes sent, the
// rate and the time left, or that the machine holds the line.
class ProgressLine {
public:
    explicit ProgressLine(std::ostream *terminal) : terminal(terminal) {}
    ~ProgressLine() {
        if (terminal && shown)
            *terminal << "\n";
    }
    ProgressLine(const ProgressLine &) = delete;
    ProgressLine &operator=(const ProgressLine &) = delete;

    void Show(const dnc::TransferProgress &p) {
        const auto now = std::chrono::steady_clock::now();
        if (!terminal || now - last < std::chrono::milliseconds(200))
            return;
        last = now;
        const double seconds = std::chrono::duration<double>(now - start).count();
        const double rate = seconds > 0 ? double(p.bytes) / seconds : 0;
        const double left = rate > 0 ? double(std::max<int64_t>(0, p.size - p.position)) / rate : 0;
        std::string text =
            cliText("%1 Zeilen, %2 von %3 Bytes, %4 Bytes/s, noch %5 s",
                    {std::to_string(p.lines), std::to_string(p.bytes), std::to_string(p.size),
                     std::to_string(int64_t(rate)), std::to_string(int64_t(std::ceil(left)))});
        if (p.waiting)
            text += " - " + cliText("Warte auf Freigabe (XOFF)");
        *terminal << "\r\033[K" << text << std::flush;
        shown = true;
    }

private:
    std::ostream *terminal;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now(), last{};
    bool shown = false;
};

// A failed transfer on one line: what failed on which port, and why in words.
std::string transferFailure(const dnc::TransferResult &result, const std::string &device) {
    const std::string reason = SystemReason(result.error);
    switch (result.message) {
    case kMsgPortOpenFailed:
        return cliText("Der Port %1 kann nicht geöffnet werden: %2", {device, reason});
    case kMsgPortQueryFailed:
        return cliText("Die Einstellungen des Ports %1 können nicht gelesen werden: %2",
                       {device, reason});
    case kMsgPortSetFailed:
        return cliText("Die Einstellungen des Ports %1 können nicht gesetzt werden: %2",
                       {device, reason});
    default:
        return cliText("Es konnte nicht alles an %1 übertragen werden: %2; %3 Zeilen gesendet.",
                       {device, reason, std::to_string(result.progress.lines)});
    }
}

} // namespace

int RunSend(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err) {
    SendOptions options;
    std::string error;
    const bool parsed = parse(arguments, options, error);
    if (auto done = UsageOutcome("send", parsed, options.help, error, sendUsage(), out, err))
        return *done;
    TEditorCore memo1;
    if (!OpenProgram(memo1, options.positional[0], error)) {
        err << "morvilo-cli send: " << error << "\n";
        return kFailure;
    }
    std::optional<ProgressLine> progress(std::in_place, stderrIsTerminal(err) ? &err : nullptr);
    const dnc::TransferResult result =
        dnc::SendText(memo1, options.settings, [&](const dnc::TransferProgress &p) {
            progress->Show(p);
            return StopSignal() == 0;
        });
    progress.reset();
    const std::string lines = std::to_string(result.progress.lines);
    if (StopSignal() != 0) {
        err << "morvilo-cli send: "
            << cliText("Übertragung durch das Signal %1 abgebrochen; %2 Zeilen gesendet.",
                       {SignalName(StopSignal()), lines})
            << "\n";
        return StoppedStatus();
    }
    if (result.message != 0) {
        err << "morvilo-cli send: " << transferFailure(result, options.settings.device) << "\n";
        return kFailure;
    }
    if (!result.timedOut)
        return kSuccess;
    err << "morvilo-cli send: "
        << cliText(dnc::TransferTimeoutMessage(result, options.settings.timeout)) << "\n";
    return kFailure;
}

} // namespace morvilo::cli

// morvilo-cli receive --port DEVICE [...] OUTPUT: reads what a machine control sends until its
// end character, the idle time or a signal, and writes it to OUTPUT in one piece. Bytes received
// before a failure are written too, so nothing that came over the line is lost.
namespace morvilo::cli {

namespace {

std::string receiveUsage() {
    return UsageText(
        "morvilo-cli receive --port DEVICE [options] OUTPUT",
        {cliText("Empfängt ein Programm über die serielle Schnittstelle DEVICE und schreibt es "
                 "nach OUTPUT."),
         cliText("Der Empfang endet mit dem Endezeichen nach dem Programm, nach der Wartezeit "
                 "ohne Daten oder mit Strg+C; auch bei einem Fehler wird alles Empfangene "
                 "geschrieben.")},
        withLineOptions({{"--end CHARACTER", cliText("Endezeichen (%); none: keines")},
                         {"--idle-timeout SECONDS",
                          cliText("beendet den Empfang, wenn nach dem ersten Byte so lange nichts "
                                  "kommt")}}));
}

struct ReceiveOptions {
    dnc::ReceiveSettings settings;
    bool portGiven = false;
    std::vector<std::string> positional;
    bool help = false;
};

bool readReceiveOption(OptionReader &reader, ReceiveOptions &o, std::string &error) {
    if (const auto line = readLineOption(reader, o.settings.device, o.portGiven, o.settings.indices,
                                         o.settings.handshake, error))
        return *line;
    if (reader.Is("idle-timeout"))
        return readSeconds(reader, o.settings.idleSeconds, error);
    if (reader.Is("end")) {
        std::string value;
        if (!reader.Value(value) || (value.size() != 1 && value != "none")) {
            error = cliText("--end: ein Zeichen oder none: %1", {value});
            return false;
        }
        o.settings.endChar = value == "none" ? -1 : static_cast<unsigned char>(value[0]);
        return true;
    }
    if (reader.Is("help") && !reader.HasInlineValue()) {
        o.help = true;
        return true;
    }
    error = UnknownOption(reader);
    return false;
}

} // namespace

int RunReceive(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err) {
    ReceiveOptions o;
    o.settings.indices = PortOptions{-1, -1, -1, -1, -1, 0};
    std::string error;
    bool parsed =
        ReadArguments(arguments, o.positional, error, [&](OptionReader &reader, std::string &e) {
            return readReceiveOption(reader, o, e);
        });
    if (parsed && !o.help) {
        if (o.positional.size() != 1)
            error = cliText("erwartet: ein OUTPUT");
        else if (!o.portGiven)
            error = cliText("--port DEVICE muss angegeben werden");
        parsed = error.empty();
    }
    if (auto done = UsageOutcome("receive", parsed, o.help, error, receiveUsage(), out, err))
        return *done;
    const std::string &path = o.positional[0];
    OutputFile output;
    if (!output.Open(path, OutputFile::Mode::Replace)) {
        err << "morvilo-cli receive: "
            << cliText("%1 kann nicht angelegt werden: %2",
                       {path, SystemReason(output.ErrorNumber())})
            << "\n";
        return kFailure;
    }
    const bool terminal = stderrIsTerminal(err);
    auto last = std::chrono::steady_clock::now();
    const dnc::ReceiveResult result =
        dnc::ReceiveText(o.settings, [&](std::string_view piece, int64_t total) {
            output.Write(piece);
            const auto now = std::chrono::steady_clock::now();
            if (terminal && now - last > std::chrono::milliseconds(200)) {
                last = now;
                err << "\r\033[K" << cliText("%1 Bytes empfangen", {std::to_string(total)})
                    << std::flush;
            }
            return StopSignal() == 0;
        });
    if (terminal)
        err << "\r\033[K";
    if (result.end == dnc::ReceiveEnd::OpenFailed) {
        output.Abandon();
        err << "morvilo-cli receive: "
            << cliText(dnc::ReceiveFailureMessage(result, o.settings.device, SystemReason)) << "\n";
        return kFailure;
    }
    if (!output.Commit()) {
        err << "morvilo-cli receive: "
            << cliText("%1 kann nicht geschrieben werden: %2",
                       {path, SystemReason(output.ErrorNumber())})
            << "\n";
        return kFailure;
    }
    const std::string bytes = std::to_string(result.bytes);
    const std::string failure =
        cliText(dnc::ReceiveFailureMessage(result, o.settings.device, SystemReason));
    if (!failure.empty()) {
        err << "morvilo-cli receive: " << failure << "; "
            << cliText("%1 Bytes empfangen und nach %2 geschrieben.", {bytes, path}) << "\n";
        return kFailure;
    }
    if (StopSignal() != 0) {
        err << "morvilo-cli receive: "
            << cliText("Empfang durch das Signal %1 beendet; %2 Bytes nach %3 geschrieben.",
                       {SignalName(StopSignal()), bytes, path})
            << "\n";
        return StoppedStatus();
    }
    return kSuccess;
}

} // namespace morvilo::cli
