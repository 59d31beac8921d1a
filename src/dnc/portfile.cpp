#include "dnc/portfile.h"

#include "dnc/serialport.h"
#include "settings/namevaluefile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace morvilo::dnc {

namespace {

constexpr std::array<std::string_view, 3> kLineEndNames = {"crlf", "lf", "cr"};

// port.dat: a line without "=" or with a line end of another name is passed over.
const SettingsField<PortFile> kPortFields[] = {
    {"device",
     [](std::string_view value, PortFile &file) {
         file.device = value;
         return true;
     },
     [](const PortFile &file) {
         // A name with a line break cannot be read back; such a device is not kept.
         return file.device.find_first_of("\r\n") == std::string::npos ? file.device
                                                                       : std::string();
     }},
    {"lineend",
     [](std::string_view value, PortFile &file) {
         const auto found = std::find(kLineEndNames.begin(), kLineEndNames.end(), value);
         if (found != kLineEndNames.end())
             file.lineEnd = LineEnd(found - kLineEndNames.begin());
         return found != kLineEndNames.end();
     },
     [](const PortFile &file) { return std::string(kLineEndNames[size_t(file.lineEnd)]); }},
};

const SettingsField<DncFile> kDncFields[] = {
    {"handshake",
     [](std::string_view value, DncFile &file) {
         const auto found = std::find(kHandshakeNames.begin(), kHandshakeNames.end(), value);
         if (found != kHandshakeNames.end())
             file.handshake = Handshake(found - kHandshakeNames.begin());
         return found != kHandshakeNames.end();
     },
     [](const DncFile &file) { return kHandshakeNames[size_t(file.handshake)]; }},
    {"end",
     [](std::string_view value, DncFile &file) {
         if (value.size() <= 1)
             file.endChar = value.empty() ? -1 : static_cast<unsigned char>(value[0]);
         return value.size() <= 1;
     },
     [](const DncFile &file) {
         return file.endChar < 0 ? std::string() : std::string(1, char(file.endChar));
     }},
    {"timeout",
     [](std::string_view value, DncFile &file) {
         double seconds = 0;
         const auto [end, error] =
             std::from_chars(value.data(), value.data() + value.size(), seconds);
         const bool ok = error == std::errc() && end == value.data() + value.size() &&
                         std::isfinite(seconds) && seconds >= 0 && seconds <= kMaxDncTimeout;
         if (ok)
             file.timeout = seconds;
         return ok;
     },
     [](const DncFile &file) {
         char seconds[32];
         return std::string(seconds,
                            std::to_chars(seconds, seconds + sizeof seconds, file.timeout).ptr);
     }},
    {"baud",
     [](std::string_view value, DncFile &file) {
         const std::string text(value);
         const int rate = text.empty() ? 0 : std::atoi(text.c_str());
         const bool ok =
             text.empty() || (std::to_string(rate) == text &&
                              std::count(kFastBaudRates.begin(), kFastBaudRates.end(), rate) == 1);
         if (ok)
             file.baud = rate;
         return ok;
     },
     [](const DncFile &file) { return file.baud > 0 ? std::to_string(file.baud) : std::string(); }},
};

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
    // What port.dat does not understand is passed over silently, like options.dat.
    ReadSettingsFile<PortFile>(path, kPortFields, SettingsSyntax::NameValue, file,
                               [](const SettingsLine &, PortFile &) { return true; });
    return file;
}

bool WritePortDat(const std::string &path, const PortFile &file) {
    return WriteSettingsFile<PortFile>(path, kPortFields, file);
}

std::string TransferDevice(const PortOptions &options, const PortFile &file) {
    if (options.port >= 0 && options.port < kComPortCount)
        return PortDevice("COM" + std::to_string(options.port + 1));
    return PortDevice(options.port >= kComPortCount ? file.device : std::string());
}

DncFile ReadDncDat(const std::string &path, bool *damaged) {
    DncFile file;
    const bool bad = ReadSettingsFile<DncFile>(path, kDncFields, SettingsSyntax::NameAlone, file);
    if (damaged)
        *damaged = bad;
    return file;
}

bool WriteDncDat(const std::string &path, const DncFile &file) {
    return WriteSettingsFile<DncFile>(path, kDncFields, file);
}

PortOptions LineSettings(PortOptions options, const DncFile &file) {
    const auto fast = std::find(kFastBaudRates.begin(), kFastBaudRates.end(), file.baud);
    if (fast != kFastBaudRates.end())
        options.baud = int32_t(kBaudRates.size() + size_t(fast - kFastBaudRates.begin()));
    return options;
}

} // namespace morvilo::dnc
