#pragma once
// profiles.ini in the settings folder: the user's own machine profiles (the built-ins are never
// stored). Written atomically; a damaged file or profile is reported and skipped, and the
// built-ins always remain.

#include "relief/machineprofile.h"

#include <string>
#include <vector>

namespace morvilo {

constexpr const char *kProfilesFileName = "profiles.ini";

struct ProfilesLoad {
    std::vector<MachineProfile> profiles; // the built-ins, then the user's in the file's order
    UserMessage problem;                  // what could not be read; empty when all was well
};

// A missing file is no problem: the built-ins alone.
ProfilesLoad LoadMachineProfiles(const std::string &path);
// Writes the profiles that are not built in; false with the reason (German) when the file
// cannot be written (the old file stays).
bool SaveMachineProfiles(const std::string &path, const std::vector<MachineProfile> &profiles,
                         UserMessage &error);

} // namespace morvilo
