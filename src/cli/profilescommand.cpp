// morvilo-cli profiles: the machine profiles a relief program can be dressed with, built-in and
// the user's own (profiles.ini in the settings folder), with their values.

#include "cli/cli.h"
#include "cli/clitext.h"
#include "cli/numbertext.h"
#include "cli/options.h"

namespace morvilo::cli {

namespace {

std::string profilesUsage() {
    return UsageText("morvilo-cli profiles",
                     {cliText("Listet die Maschinenprofile mit ihren Werten; der Name in der "
                              "ersten Spalte ist der Wert von 'relief --profile'.")},
                     {});
}

std::string yesNo(bool value) {
    return value ? cliText("ja") : cliText("nein");
}

// A template on one line: its lines joined by " | ".
std::string oneLine(std::string text) {
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at))
        text.replace(at, 1, " | ");
    return text;
}

void describe(const MachineProfile &p, std::ostream &out) {
    out << p.cliName << "  \"" << p.name << "\""
        << (p.builtIn ? "  (" + cliText("eingebaut") + ")" : std::string()) << "\n";
    out << "  "
        << cliText("Vorschub %1, Eintauchvorschub %2, Drehzahl %3 %4, Eilgang %5, "
                   "Beschleunigung %6",
                   {NumberText(p.feed), NumberText(p.plungeFeed), NumberText(p.spindle),
                    p.spindleClockwise ? "M3" : "M4", NumberText(p.rapidRate),
                    NumberText(p.acceleration)})
        << "\n";
    if (p.pathsOnly) {
        out << "  "
            << cliText("nur die Bahnen: kein Kopf, kein Vorschub, kein Ende (die Werte "
                       "dienen der Laufzeit)")
            << "\n";
        return;
    }
    out << "  "
        << cliText("Maßeinheit %1, Zeilenende %2, eine Bewegung je Zeile: %3, zuerst auf "
                   "sichere Höhe: %4, höchstens %5 Nachkommastellen, immer Dezimalpunkt: %6, "
                   "Programmnummer %7",
                   {p.units.empty() ? "-" : p.units, p.crlf ? "CR LF" : "LF", yesNo(p.movePerLine),
                    yesNo(p.retractFirst), std::to_string(p.maxDecimals), yesNo(p.decimalPoint),
                    std::to_string(p.programNumber)})
        << "\n";
    out << "  " << cliText("Kopf: %1", {oneLine(p.header)}) << "\n";
    out << "  " << cliText("Ende: %1", {oneLine(p.footer)}) << "\n";
    out << "  "
        << cliText("Werkzeugwechsel: %1 (%2 s), Bögen bei „Fläche“: %3",
                   {p.toolChange.empty() ? "-" : oneLine(p.toolChange),
                    NumberText(p.toolChangeTime), yesNo(p.arcs)})
        << "\n";
}

} // namespace

int RunProfiles(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err) {
    std::vector<std::string> positional;
    std::string error;
    bool help = false;
    const bool parsed =
        ReadArguments(arguments, positional, error, [&](OptionReader &reader, std::string &e) {
            if (reader.Is("help")) {
                help = true;
                return true;
            }
            e = UnknownOption(reader);
            return false;
        });
    if (parsed && !help && !positional.empty())
        error = cliText("unerwartet: %1", {positional.front()});
    if (auto done = UsageOutcome("profiles", parsed && error.empty(), help, error, profilesUsage(),
                                 out, err))
        return *done;
    const ProfilesLoad load = LoadCliProfiles();
    for (const MachineProfile &profile : load.profiles)
        describe(profile, out);
    if (const std::string damage = CliProfilesDamage(load); !damage.empty()) {
        err << "morvilo-cli profiles: " << damage << "\n";
        return kFailure;
    }
    return kSuccess;
}

} // namespace morvilo::cli
