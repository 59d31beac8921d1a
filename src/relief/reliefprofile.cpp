#include "relief/reliefprofile.h"

#include "relief/reliefgenerator.h"
#include "vantrel/fixedformat.h"

#include <algorithm>
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
