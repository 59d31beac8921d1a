#pragma once
// profiles.ini in the settings folder: the user's own machine profiles (the built-ins are never
// stored). Written atomically; a damaged file or profile is reported and skipped, and the
// built-ins always remain.

#include "machine/machineprofile.h"

#include <functional>
#include <string>
#include <vector>

namespace morvilo {

constexpr const char *kProfilesFileName = "profiles.ini";

// One thing of the file that could not be read: about a group ("Profile2") or the whole file.
struct ProfilesProblem {
    std::string group; // empty for the file as a whole
    UserMessage what;  // German, with its values
};

struct ProfilesLoad {
    std::vector<MachineProfile> profiles; // the built-ins, then the user's in the file's order
    std::string path;
    std::vector<ProfilesProblem> problems; // what could not be read; empty when all was well
};

// A missing file is no problem: the built-ins alone. What an INI reader passes over is
// reported too: lines that are no setting, control characters or binary bytes, a group given
// twice (both are read), a file too large for a settings file (then none of it is read).
ProfilesLoad LoadMachineProfiles(const std::string &path);

// The report of a damaged file, "Die Profildatei %1 ist beschädigt (%2); ...", whose %2 holds
// every problem in the language translate gives (joined by "; "); empty when all was well. The
// report's own text still passes the translation where it is shown.
UserMessage ProfilesDamage(const ProfilesLoad &load,
                           const std::function<std::string(const UserMessage &)> &translate);
// Writes the profiles that are not built in; false with the reason (German) when the file
// cannot be written (the old file stays).
bool SaveMachineProfiles(const std::string &path, const std::vector<MachineProfile> &profiles,
                         UserMessage &error);

} // namespace morvilo
