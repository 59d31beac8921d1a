#pragma once

#include <string>

namespace morvilo {

// The system's temporary folder (TMPDIR, else /tmp), always ending in "/".
std::string TemporaryFolder();

// A new file in the temporary folder named part1 + the first free number from 0 upwards +
// part2 (e.g. "/tmp/cnctemp0.dat"). The name is claimed by creating the file exclusively
// (mode 0600), so no other process can take it between this call and its use. Returns an
// empty text when no file could be created there.
std::string MYGetTempFileName(const std::string &part1, const std::string &part2);

} // namespace morvilo
