// morvilo-cli send PROGRAM --port DEVICE [line settings]: the DNC transfer in batch use. The
// program goes out line by line through the same transfer as the window's "Senden"; a line
// setting not given stays as the port has it.

#include "cli/cli.h"
#include "cli/options.h"

#include "dnc/transfer.h"
#include "editor/editorcore.h"

#include <algorithm>

namespace morvilo::cli {

namespace {

constexpr const char *kSendUsage =
    "usage: morvilo-cli send PROGRAM --port DEVICE [options]\n"
    "Sends the lines of PROGRAM over the serial port DEVICE (e.g. /dev/ttyS0, /dev/ttyUSB0).\n"
    "Settings not given stay as the port has them.\n"
    "  --baud N            300, 600, 1200, 2400, 4800, 9600, 19200 or 38400\n"
    "  --data-bits N       6, 7 or 8\n"
    "  --parity NAME       even, mark, none, odd or space\n"
    "  --stop-bits N       1 or 2\n"
    "  --eol crlf|lf|cr    characters after every line (crlf)\n";

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
        error = "--" + std::string(reader.Name()) + ": not one of";
        for (const std::string &name : names)
            error += " " + name;
        error += ": " + value;
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
            error = "--port needs a device";
        return o.portGiven;
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
    error = "unknown option: " + reader.Argument();
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
        error = "expected one PROGRAM";
    else if (!o.portGiven)
        error = "--port DEVICE is required";
    return error.empty();
}

} // namespace

int RunSend(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err) {
    SendOptions options;
    std::string error;
    const bool parsed = parse(arguments, options, error);
    if (auto done = UsageOutcome("send", parsed, options.help, error, kSendUsage, out, err))
        return *done;
    TEditorCore memo1;
    if (!memo1.OpenFileWithName(options.positional[0])) {
        err << "morvilo-cli send: cannot open " << options.positional[0] << "\n";
        return kFailure;
    }
    const dnc::TransferResult result = dnc::SendText(memo1, options.settings);
    if (result.message == 0)
        return kSuccess;
    err << "morvilo-cli send: " << dnc::TransferErrorText(result).toStdString() << "\n";
    return kFailure;
}

} // namespace morvilo::cli
