#include "cli/cli.h"

#include "cli/clitext.h"
#include "cli/options.h"
#include "cli/stopsignal.h"

#include <optional>

namespace morvilo::cli {

namespace {

std::string commandsUsage() {
    return UsageText(
        "morvilo-cli COMMAND [arguments]", {},
        {{"", cliText("Befehle:")},
         {"relief PICTURE OUTPUT [options]",
          cliText("ein Bild in G-Code zum Relieffräsen umsetzen")},
         {"eval [--var N=VALUE ...] EXPRESSION",
          cliText("einen Ausdruck auswerten, wie der Rechner es tut")},
         {"plot [dialect options] PROGRAM",
          cliText("die Plotliste eines G-Code-Programms als CSV ausgeben")},
         {"stats [dialect options] [--rapid-rate R] [--accel A] [--json] PROGRAM",
          cliText("Ausdehnung, Weglängen und Laufzeit eines G-Code-Programms ausgeben")},
         {"dxf [dialect options] PROGRAM OUTPUT",
          cliText("den Werkzeugweg eines Programms als DXF schreiben")},
         {"simulate [options] --tool TOOL PROGRAM",
          cliText("das Werkstück berechnen, das ein Programm fräst (Höhenbild, STL, Bild)")},
         {"format COMMAND [options] PROGRAM",
          cliText("das Programm neu nummeriert oder bereinigt ausgeben")},
         {"profiles", cliText("die Maschinenprofile mit ihren Werten auflisten")},
         {"send PROGRAM --port DEVICE [line settings]",
          cliText("ein Programm über eine serielle Schnittstelle senden")},
         {"receive --port DEVICE [line settings] OUTPUT",
          cliText("ein Programm von einer Steuerung über eine serielle Schnittstelle empfangen")},
         {"", cliText("'morvilo-cli COMMAND --help' zeigt die Optionen eines Befehls.")}});
}

using Command = int (*)(const std::vector<std::string> &, std::ostream &, std::ostream &);

// The commands; those that can end cleanly at a signal poll StopSignal() while they work.
const struct {
    const char *name;
    Command run;
    bool stoppable;
} kCommands[] = {
    {"relief", RunRelief, false},     {"eval", RunEval, false},
    {"plot", RunPlot, true},          {"dxf", RunDxf, true},
    {"format", RunFormat, false},     {"send", RunSend, true},
    {"profiles", RunProfiles, false}, {"receive", RunReceive, true},
    {"stats", RunStats, true},        {"simulate", RunSimulate, true},
};

std::string &settingsFolder() {
    static std::string folder;
    return folder;
}

} // namespace

void SetSettingsFolder(std::string folder) {
    settingsFolder() = std::move(folder);
}

const std::string &SettingsFolder() {
    return settingsFolder();
}

ProfilesLoad LoadCliProfiles() {
    if (SettingsFolder().empty()) {
        ProfilesLoad builtIn;
        builtIn.profiles = BuiltInProfiles();
        return builtIn;
    }
    return LoadMachineProfiles(SettingsFolder() + kProfilesFileName);
}

std::string CliProfilesDamage(const ProfilesLoad &load) {
    const UserMessage damage =
        ProfilesDamage(load, [](const UserMessage &m) { return cliText(m); });
    return damage.empty() ? std::string() : cliText(damage);
}

bool FindCliProfile(const std::string &name, MachineProfile &profile, std::string &error,
                    std::string *problem) {
    const ProfilesLoad load = LoadCliProfiles();
    if (problem)
        *problem = CliProfilesDamage(load);
    const MachineProfile *found = FindProfile(load.profiles, name);
    if (!found) {
        std::string known;
        for (const MachineProfile &p : load.profiles)
            known += (known.empty() ? "" : ", ") + p.cliName;
        error = cliText("unbekanntes Profil: %1 (bekannt: %2)", {name, known});
        return false;
    }
    profile = *found;
    return true;
}

std::string UnknownCommand(const std::string &name) {
    return cliText("unbekannter Befehl: %1", {name});
}

int RunCli(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err) {
    if (arguments.empty()) {
        err << commandsUsage();
        return kUsage;
    }
    const std::string &name = arguments[0];
    if (name == "--help" || name == "-h" || name == "help") {
        out << commandsUsage();
        return kSuccess;
    }
    for (const auto &command : kCommands) {
        if (name != command.name)
            continue;
        // A signal from the first moment on asks the command to stop.
        std::optional<StopOnSignal> stoppable;
        if (command.stoppable)
            stoppable.emplace();
        const SignalHandling signalHandling;
        return command.run({arguments.begin() + 1, arguments.end()}, out, err);
    }
    err << "morvilo-cli: " << UnknownCommand(name) << "\n" << commandsUsage();
    return kUsage;
}

} // namespace morvilo::cli
