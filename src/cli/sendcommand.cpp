// morvilo-cli send PROGRAM --port DEVICE [line settings]: the DNC transfer in batch use. The
// program goes out line by line through the same transfer as the window's "Senden"; a line
// setting not given stays as the port has it. The transfer waits as long as the machine holds
// the line, unless --timeout bounds a wait without progress; SIGINT and SIGTERM end it.

#include "cli/cli.h"
#include "cli/clitext.h"
#include "cli/numbertext.h"
#include "cli/options.h"
#include "cli/stopsignal.h"

#include "dnc/transfer.h"
#include "editor/editorcore.h"
#include "vantrel/numbertext.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace morvilo::cli {

namespace {

std::string sendUsage() {
    return UsageText(
        "morvilo-cli send PROGRAM --port DEVICE [options]",
        {cliText("Sendet die Zeilen von PROGRAM über die serielle Schnittstelle DEVICE (z. B. "
                 "/dev/ttyS0, /dev/ttyUSB0)."),
         cliText("Nicht angegebene Einstellungen bleiben, wie die Schnittstelle sie hat; nach der "
                 "Übertragung erhält sie ihre Einstellungen zurück.")},
        {{"--baud N", cliText("300, 600, 1200, 2400, 4800, 9600, 19200 oder 38400")},
         {"--data-bits N", cliText("6, 7 oder 8")},
         {"--parity NAME", cliText("even, mark, none, odd oder space")},
         {"--stop-bits N", cliText("1 oder 2")},
         {"--eol crlf|lf|cr", cliText("Zeichen nach jeder Zeile (crlf)")},
         {"--timeout SECONDS",
          cliText("beendet die Übertragung, wenn sie so lange nicht vorankommt (sonst wird "
                  "gewartet, solange die Maschine die Leitung hält)")}});
}

struct SendOptions {
    dnc::TransferSettings settings;
    bool portGiven = false;
    double timeout = 0; // seconds without progress; 0: no limit
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

bool readOption(OptionReader &reader, SendOptions &o, std::string &error) {
    PortOptions &indices = o.settings.indices;
    if (reader.Is("port")) {
        o.portGiven = reader.Value(o.settings.device) && !o.settings.device.empty();
        if (!o.portGiven)
            error = cliText("--port braucht ein Gerät");
        return o.portGiven;
    }
    if (reader.Is("timeout")) {
        std::string value;
        if (!reader.Value(value)) {
            error = NeedsValue(reader);
            return false;
        }
        if (!ParseReal(value, o.timeout) || !(o.timeout > 0) || !std::isfinite(o.timeout)) {
            error = cliText("--timeout: keine Zahl größer als 0: %1", {value});
            return false;
        }
        return true;
    }
    if (reader.Is("baud"))
        return readChoice(reader, numberNames(dnc::kBaudRates), indices.baud, error);
    if (reader.Is("data-bits"))
        return readChoice(reader, numberNames(dnc::kDataBits), indices.databits, error);
    if (reader.Is("stop-bits"))
        return readChoice(reader, numberNames(dnc::kStopBits), indices.stopbits, error);
    if (reader.Is("parity"))
        return readChoice(reader, {"even", "mark", "none", "odd", "space"}, indices.parity, error);
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

// Decides at every line and every wait whether the transfer goes on: not after a signal, nor
// once the bytes written and the driver's queue have not moved for the timeout.
class ProgressWatch {
public:
    explicit ProgressWatch(double seconds) : timeout(seconds) {}

    bool Going(const dnc::TransferProgress &progress) {
        const auto now = std::chrono::steady_clock::now();
        if (progress.bytes != bytes || progress.queued != queued) {
            bytes = progress.bytes;
            queued = progress.queued;
            lastMove = now;
        }
        timedOut = timeout > 0 && std::chrono::duration<double>(now - lastMove).count() >= timeout;
        return StopSignal() == 0 && !timedOut;
    }
    bool TimedOut() const { return timedOut; }

private:
    double timeout;
    int64_t bytes = 0, queued = 0;
    std::chrono::steady_clock::time_point lastMove = std::chrono::steady_clock::now();
    bool timedOut = false;
};

std::string secondsText(double seconds) {
    char text[kMaxNumberText];
    return std::string(text, NumberText(seconds, text));
}

} // namespace

int RunSend(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err) {
    SendOptions options;
    std::string error;
    const bool parsed = parse(arguments, options, error);
    if (auto done = UsageOutcome("send", parsed, options.help, error, sendUsage(), out, err))
        return *done;
    TEditorCore memo1;
    if (!memo1.OpenFileWithName(options.positional[0])) {
        err << "morvilo-cli send: "
            << cliText("%1 kann nicht geöffnet werden", {options.positional[0]}) << "\n";
        return kFailure;
    }
    ProgressWatch watch(options.timeout);
    const dnc::TransferResult result = dnc::SendText(
        memo1, options.settings, [&](const dnc::TransferProgress &p) { return watch.Going(p); });
    const std::string lines = std::to_string(result.progress.lines);
    if (StopSignal() != 0) {
        err << "morvilo-cli send: "
            << cliText("Übertragung durch das Signal %1 abgebrochen; %2 Zeilen gesendet.",
                       {SignalName(StopSignal()), lines})
            << "\n";
        return StoppedStatus();
    }
    if (result.message != 0) {
        const auto messageText = [](int n) {
            return QString::fromStdString(cliText(MessageText(n).toStdString()));
        };
        err << "morvilo-cli send: " << dnc::TransferErrorText(result, messageText).toStdString()
            << "\n";
        return kFailure;
    }
    if (!watch.TimedOut())
        return kSuccess;
    err << "morvilo-cli send: "
        << cliText("Übertragung abgebrochen: %1 s lang kein Fortschritt; %2 Zeilen gesendet.",
                   {secondsText(options.timeout), lines})
        << "\n";
    return kFailure;
}

} // namespace morvilo::cli
