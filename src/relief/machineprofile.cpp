#include "relief/machineprofile.h"

#include "relief/reliefformat.h"
#include "relief/reliefgenerator.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace morvilo {

const char *const kMessageUnsafeHeight =
    "Die sichere Höhe Z %1 liegt nicht über dem höchsten Schnitt Z %2. Mit dem Profil „%3“ "
    "wächst Z nach oben: die sichere Höhe muss größer sein als Z-Start und als Z-Start plus "
    "maximale Frästiefe (zum Beispiel sichere Höhe 5, Z-Start 0, maximale Frästiefe -1).";

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
    p.maxDecimals = kMaxReliefDecimals;
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

std::string integerText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", value);
    return text;
}

// The shortest text that reads back as value, without an exponent where it fits ("0.0001").
std::string shortText(double value) {
    char text[64];
    auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    if (error != std::errc())
        end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

// The value of a number as the program writes it.
long double written(long double value, int decimals) {
    return std::strtold(FormatFixed(value, decimals).c_str(), nullptr);
}

void replaceAll(std::string &text, const std::string &from, const std::string &to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

} // namespace

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
    struct Rate {
        double value;
        bool zeroAllowed;
        const char *text;
    } rates[] = {
        {profile.feed, false, "Der Vorschub muss größer als 0 und höchstens 1000000 sein"},
        {profile.plungeFeed, false,
         "Der Eintauchvorschub muss größer als 0 und höchstens 1000000 sein"},
        {profile.spindle, true, "Die Drehzahl muss zwischen 0 und 1000000 liegen"},
        {profile.rapidRate, false, "Der Eilgang muss größer als 0 und höchstens 1000000 sein"},
        {profile.acceleration, true, "Die Beschleunigung muss zwischen 0 und 1000000 liegen"},
        {profile.toolChangeTime, true,
         "Die Werkzeugwechselzeit muss zwischen 0 und 1000000 Sekunden liegen"},
    };
    for (const Rate &rate : rates)
        if (!std::isfinite(rate.value) || rate.value > 1e6 || rate.value < 0 ||
            (rate.value == 0 && !rate.zeroAllowed))
            return {rate.text, {}};
    for (const double travel : {profile.travelXMin, profile.travelXMax, profile.travelYMin,
                                profile.travelYMax, profile.travelZMin, profile.travelZMax})
        if (!(std::fabs(travel) <= 1e6))
            return {"Der Verfahrweg muss zwischen -1000000 und 1000000 liegen", {}};
    if (profile.maxDecimals < 0 || profile.maxDecimals > kMaxReliefDecimals)
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

int ProgramDecimals(const ReliefParameters &p, const MachineProfile &profile) {
    return profile.pathsOnly ? p.nach : std::min(p.nach, profile.maxDecimals);
}

UserMessage CheckReliefSafety(const ReliefParameters &p, const MachineProfile &profile) {
    if (profile.pathsOnly)
        return {};
    const int decimals = ProgramDecimals(p, profile);
    // What is written counts, not the value: a feed that rounds to F0 stops the machine or is
    // refused by the control, a speed that rounds to S0 starts no spindle under M3.
    const struct {
        double value;
        const char *text;
    } feeds[] = {
        {profile.feed, "Der Vorschub %1 wird mit %2 Nachkommastellen als F%3 geschrieben; er "
                       "muss mindestens %4 sein."},
        {profile.plungeFeed, "Der Eintauchvorschub %1 wird mit %2 Nachkommastellen als F%3 "
                             "geschrieben; er muss mindestens %4 sein."},
    };
    const std::string smallest = ProfileNumber(std::pow(10.0, -decimals), profile, decimals);
    for (const auto &feed : feeds)
        if (const std::string written = ProfileNumber(feed.value, profile, decimals);
            written.find_first_of("123456789") == std::string::npos)
            return {feed.text,
                    {shortText(feed.value), std::to_string(decimals), written, smallest}};
    if (profile.spindle > 0 && integerText(profile.spindle) == "0")
        return {"Die Drehzahl %1 wird als S0 geschrieben; sie muss 0 (keine Spindel) oder "
                "mindestens 1 sein.",
                {shortText(profile.spindle)}};
    const long double highestCut =
        std::max(written(p.zstart, decimals), written((long double)p.tiefe + p.zstart, decimals));
    const long double safe = written(p.sicher, decimals);
    if (safe > highestCut)
        return {};
    return {kMessageUnsafeHeight,
            {FormatFixed(safe, decimals), FormatFixed(highestCut, decimals), profile.name}};
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

std::string ExpandProfileTemplate(const std::string &text, const MachineProfile &profile,
                                  const ReliefParameters &p, const std::string &date, int tool,
                                  bool spindle) {
    const int decimals = ProgramDecimals(p, profile);
    std::string safe = FormatFixed(p.sicher, decimals);
    if (profile.decimalPoint && decimals == 0)
        safe += '.';
    char program[16];
    std::snprintf(program, sizeof program, "%04d", profile.programNumber);
    const std::pair<const char *, std::string> values[] = {
        {"{units}", profile.units},
        {"{feed}", ProfileNumber(profile.feed, profile, decimals)},
        {"{plunge}", ProfileNumber(profile.plungeFeed, profile, decimals)},
        {"{spindledir}", profile.spindleClockwise ? "M3" : "M4"},
        {"{spindle}", integerText(profile.spindle)},
        {"{safe}", safe},
        {"{program}", program},
        {"{date}", date},
        {"{tool}", std::to_string(tool)},
    };
    const char *const lineEnd = profile.crlf ? "\r\n" : "\n";
    std::string expanded;
    size_t begin = 0;
    while (begin < text.size()) {
        const size_t end = std::min(text.find('\n', begin), text.size());
        std::string line = text.substr(begin, end - begin);
        begin = end + 1;
        // Without a spindle speed the spindle is not started.
        if (line.find("{spindle") != std::string::npos && (profile.spindle <= 0 || !spindle))
            continue;
        for (const auto &[place, value] : values)
            replaceAll(line, place, value);
        // Words emptied by their placeholders (no units word) leave no gaps; a line left
        // without words is left out.
        line.erase(std::unique(line.begin(), line.end(),
                               [](char a, char b) { return a == ' ' && b == ' '; }),
                   line.end());
        line.erase(0, line.find_first_not_of(' '));
        line.erase(line.find_last_not_of(' ') + 1);
        if (!line.empty())
            expanded += line + lineEnd;
    }
    return expanded;
}

std::string TodaysDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

} // namespace morvilo
