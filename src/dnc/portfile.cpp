#include "dnc/portfile.h"

#include "dnc/serialport.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace morvilo::dnc {

namespace {

constexpr std::string_view kDeviceKey = "device=";
constexpr std::string_view kLineEndKey = "lineend=";
constexpr std::array<std::string_view, 3> kLineEndNames = {"crlf", "lf", "cr"};

bool startsWith(const std::string &text, std::string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

std::string_view LineEndBytes(LineEnd end) {
    switch (end) {
    case LineEnd::Lf:
        return "\n";
    case LineEnd::Cr:
        return "\r";
    case LineEnd::CrLf:
        break;
    }
    return "\r\n";
}

PortFile ReadPortDat(const std::string &path) {
    PortFile file;
    for (const std::string &line : ReadTextLines(path)) {
        if (startsWith(line, kDeviceKey))
            file.device = line.substr(kDeviceKey.size());
        for (size_t i = 0; i < kLineEndNames.size(); ++i)
            if (startsWith(line, kLineEndKey) &&
                line.substr(kLineEndKey.size()) == kLineEndNames[i])
                file.lineEnd = LineEnd(i);
    }
    return file;
}

bool WritePortDat(const std::string &path, const PortFile &file) {
    // A name with a line break cannot be read back; such a device is not kept.
    const bool keepable = file.device.find_first_of("\r\n") == std::string::npos;
    return WriteTextLines(
        path, {std::string(kDeviceKey) + (keepable ? file.device : ""),
               std::string(kLineEndKey) + std::string(kLineEndNames[size_t(file.lineEnd)])});
}

std::string TransferDevice(const PortOptions &options, const PortFile &file) {
    if (options.port >= 0 && options.port < kComPortCount)
        return PortDevice("COM" + std::to_string(options.port + 1));
    return PortDevice(options.port >= kComPortCount ? file.device : std::string());
}

DncFile ReadDncDat(const std::string &path, bool *damaged) {
    DncFile file;
    bool bad = false;
    for (const std::string &line : ReadTextLines(path)) {
        const size_t equals = line.find('=');
        const std::string name = line.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : line.substr(equals + 1);
        if (name == "handshake") {
            const auto found = std::find(kHandshakeNames.begin(), kHandshakeNames.end(), value);
            bad |= found == kHandshakeNames.end();
            if (found != kHandshakeNames.end())
                file.handshake = Handshake(found - kHandshakeNames.begin());
        } else if (name == "end") {
            bad |= value.size() > 1;
            if (value.size() <= 1)
                file.endChar = value.empty() ? -1 : static_cast<unsigned char>(value[0]);
        } else if (name == "timeout") {
            double seconds = 0;
            const auto [end, error] =
                std::from_chars(value.data(), value.data() + value.size(), seconds);
            const bool ok = error == std::errc() && end == value.data() + value.size() &&
                            std::isfinite(seconds) && seconds >= 0 && seconds <= kMaxDncTimeout;
            bad |= !ok;
            if (ok)
                file.timeout = seconds;
        } else if (name == "baud") {
            const int rate = value.empty() ? 0 : std::atoi(value.c_str());
            const bool ok = value.empty() ||
                            (std::to_string(rate) == value &&
                             std::count(kFastBaudRates.begin(), kFastBaudRates.end(), rate) == 1);
            bad |= !ok;
            if (ok)
                file.baud = rate;
        } else if (!line.empty()) {
            bad = true;
        }
    }
    if (damaged)
        *damaged = bad;
    return file;
}

bool WriteDncDat(const std::string &path, const DncFile &file) {
    char seconds[32];
    const auto end = std::to_chars(seconds, seconds + sizeof seconds, file.timeout).ptr;
    return WriteTextLines(
        path, {"handshake=" + kHandshakeNames[size_t(file.handshake)],
               "end=" + (file.endChar < 0 ? std::string() : std::string(1, char(file.endChar))),
               "timeout=" + std::string(seconds, end),
               "baud=" + (file.baud > 0 ? std::to_string(file.baud) : std::string())});
}

PortOptions LineSettings(PortOptions options, const DncFile &file) {
    const auto fast = std::find(kFastBaudRates.begin(), kFastBaudRates.end(), file.baud);
    if (fast != kFastBaudRates.end())
        options.baud = int32_t(kBaudRates.size() + size_t(fast - kFastBaudRates.begin()));
    return options;
}

} // namespace morvilo::dnc
