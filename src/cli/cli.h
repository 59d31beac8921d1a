#pragma once
// morvilo-cli: the batch front end. Each command uses the same code as the window.

#include "machine/profilesfile.h"

#include <ostream>
#include <string>
#include <vector>

namespace morvilo::cli {

enum ExitCode { kSuccess = 0, kFailure = 1, kUsage = 2 };

// arguments without the program name; returns the exit status. The texts are in the language
// set with SetCliLanguage (clitext.h). SIGINT and SIGTERM stop the command (stopsignal.h); its
// status is then 128 + the signal.
int RunCli(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err);

int RunRelief(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err);
int RunEval(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err);
int RunPlot(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err);
int RunStats(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err);
int RunDxf(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err);
int RunSimulate(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err);
int RunFormat(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err);
int RunProfiles(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err);
int RunSend(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err);
int RunReceive(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err);

// The settings folder (options.dat, profiles.ini), ending in "/"; set by the program at start.
void SetSettingsFolder(std::string folder);
const std::string &SettingsFolder();

// The built-in profiles and those of profiles.ini in the settings folder (none when no folder
// is set).
ProfilesLoad LoadCliProfiles();

// The report of a damaged profiles file in the run's language; empty when all was well.
std::string CliProfilesDamage(const ProfilesLoad &load);

// The profile of a name or CLI name among LoadCliProfiles() into profile; false with "unknown
// profile: NAME (known: ...)" in error. problem, when given, receives the report of a damaged
// profiles file (CliProfilesDamage).
bool FindCliProfile(const std::string &name, MachineProfile &profile, std::string &error,
                    std::string *problem = nullptr);

// "unknown command: NAME" in the run's language.
std::string UnknownCommand(const std::string &name);

} // namespace morvilo::cli
