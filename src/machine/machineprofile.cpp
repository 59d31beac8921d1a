#include "machine/machineprofile.h"

#include "vantrel/fixedformat.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace morvilo {

namespace {

MachineProfile pathsOnly() {
    MachineProfile p;
    p.name = "Nur Bahnen";
    p.cliName = "plain";
    p.builtIn = true;
    p.pathsOnly = true;
    p.units.clear();
    p.crlf = true;
    p.movePerLine = false;
    p.retractFirst = false;
    p.maxDecimals = kMaxFixedDecimals;
    return p;
}

// A control that reads standard RS274/NGC: units, plane, absolute distances, feed per minute,
// no cutter compensation, no canned cycle; M2 ends the program.
MachineProfile linuxCnc() {
    MachineProfile p;
    p.name = "LinuxCNC";
    p.cliName = "linuxcnc";
    p.builtIn = true;
    p.header = "G17 {units} G90 G94 G40 G80\n{spindledir} S{spindle}";
    p.footer = "M5\nM2";
    p.toolChange = "T{tool} M6";
    p.maxDecimals = 6;
    p.acceleration = 500;
    return p;
}

// Grbl 1.1: no program number or "%", lines of at most 80 characters, numbers of at most 8
// digits; M30 ends the program.
MachineProfile grbl() {
    MachineProfile p;
    p.name = "Grbl";
    p.cliName = "grbl";
    p.builtIn = true;
    p.header = "G17 {units} G90 G94\n{spindledir} S{spindle}";
    p.footer = "M5\nM30";
    p.maxDecimals = 3;
    p.rapidRate = 3000;
    p.acceleration = 300;
    return p;
}

// Fanuc-type controls (Haas among them): the tape frame "%", an O number, CR LF, M30. A number
// without a point counts in the least input increment (X10 is 0.01 mm), so every number carries
// one; the increment is 0.001 mm.
MachineProfile fanuc() {
    MachineProfile p;
    p.name = "Fanuc/Haas";
    p.cliName = "fanuc";
    p.builtIn = true;
    p.header = "%\nO{program}\nG17 {units} G90 G94 G40 G80\n{spindledir} S{spindle}";
    p.footer = "M5\nM30\n%";
    p.toolChange = "T{tool} M6";
    p.crlf = true;
    p.maxDecimals = 3;
    p.decimalPoint = true;
    p.rapidRate = 15000;
    p.acceleration = 2000;
    return p;
}

bool sameName(const std::string &a, const std::string &b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

std::span<const ProfileNumberField> ProfileNumberFields() {
    constexpr double kMax = 1e6;
    const char *const travel = "Der Verfahrweg muss zwischen -1000000 und 1000000 liegen";
    static const ProfileNumberField fields[] = {
        {"Feed", 0, kMax, false, "Der Vorschub muss größer als 0 und höchstens 1000000 sein",
         &MachineProfile::feed, 0, false},
        {"PlungeFeed", 0, kMax, false,
         "Der Eintauchvorschub muss größer als 0 und höchstens 1000000 sein",
         &MachineProfile::plungeFeed, 0, false},
        {"Spindle", 0, kMax, true, "Die Drehzahl muss zwischen 0 und 1000000 liegen",
         &MachineProfile::spindle, 0, false},
        {"RapidRate", 0, kMax, false, "Der Eilgang muss größer als 0 und höchstens 1000000 sein",
         &MachineProfile::rapidRate, 0, false},
        {"Acceleration", 0, kMax, true, "Die Beschleunigung muss zwischen 0 und 1000000 liegen",
         &MachineProfile::acceleration, 0, false},
        {"ToolChangeTime", 0, kMax, true,
         "Die Werkzeugwechselzeit muss zwischen 0 und 1000000 Sekunden liegen",
         &MachineProfile::toolChangeTime, 0, false},
        {"TravelXMin", -kMax, kMax, true, travel, nullptr, 0, false},
        {"TravelXMax", -kMax, kMax, true, travel, nullptr, 0, true},
        {"TravelYMin", -kMax, kMax, true, travel, nullptr, 1, false},
        {"TravelYMax", -kMax, kMax, true, travel, nullptr, 1, true},
        {"TravelZMin", -kMax, kMax, true, travel, nullptr, 2, false},
        {"TravelZMax", -kMax, kMax, true, travel, nullptr, 2, true},
    };
    return fields;
}

const std::vector<MachineProfile> &BuiltInProfiles() {
    static const std::vector<MachineProfile> profiles{pathsOnly(), linuxCnc(), grbl(), fanuc()};
    return profiles;
}

const MachineProfile &PathsOnlyProfile() {
    return BuiltInProfiles().front();
}

const MachineProfile *FindProfile(const std::vector<MachineProfile> &profiles,
                                  const std::string &name) {
    for (const MachineProfile &profile : profiles)
        if (sameName(profile.name, name) || sameName(profile.cliName, name))
            return &profile;
    return nullptr;
}

UserMessage CheckProfile(const MachineProfile &profile) {
    // A control character (a line break, a 0 byte) would make a name that cannot be typed.
    const bool control = std::any_of(profile.name.begin(), profile.name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == '\x7f';
    });
    if (profile.name.empty() || control || profile.name.find_first_of("[]=") != std::string::npos)
        return {"Der Name eines Profils darf nicht leer sein und keine Steuerzeichen, [, ] oder = "
                "enthalten",
                {}};
    for (const ProfileNumberField &field : ProfileNumberFields()) {
        const double value = field.Of(profile);
        if (!std::isfinite(value) || value > field.high || value < field.low ||
            (value == 0 && !field.zeroAllowed))
            return {field.problem, {}};
    }
    if (profile.maxDecimals < 0 || profile.maxDecimals > kMaxFixedDecimals)
        return {"Die Nachkommastellen eines Profils müssen zwischen 0 und 18 liegen", {}};
    if (profile.programNumber < 1 || profile.programNumber > 99999)
        return {"Die Programmnummer muss zwischen 1 und 99999 liegen", {}};
    if (profile.units != "" && profile.units != "G20" && profile.units != "G21")
        return {"Das Maßeinheitenwort muss G21, G20 oder leer sein", {}};
    if (profile.header.find('\r') != std::string::npos ||
        profile.footer.find('\r') != std::string::npos ||
        profile.toolChange.find('\r') != std::string::npos)
        return {"Kopf und Ende eines Profils dürfen kein CR enthalten", {}};
    return {};
}

std::string ProfileNumber(double value, const MachineProfile &profile, int decimals) {
    std::string text = FormatFixed(value, decimals);
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.' && !profile.decimalPoint)
            text.pop_back();
    } else if (profile.decimalPoint) {
        text += '.';
    }
    return text == "-0" || text == "-0." ? text.substr(1) : text;
}

} // namespace morvilo
