#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace morvilo {

// Reads a regular file of at most maxBytes whole. The file is opened without blocking and
// anything but a regular file is refused, so a FIFO or device given by name cannot hang the
// caller. False when the file cannot be opened, is no regular file, is too large or memory
// runs out; a file that shrinks while it is read gives what was there.
bool ReadRegularFile(const std::string &path, std::vector<uint8_t> &bytes, uint64_t maxBytes);

} // namespace morvilo
