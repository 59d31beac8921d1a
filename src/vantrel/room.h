#pragma once
// How much room the machine leaves for a piece of work: the memory a new allocation can count
// on and the free space of a file system, so that work which cannot fit is refused before it
// starts instead of failing half-way (or being killed) after minutes.

#include <cstdint>
#include <optional>
#include <string>

namespace morvilo {

// The memory this process can still allocate and use: the least of what the system has
// available (MemAvailable, which counts reclaimable caches), the room left below the process's
// address-space limit (ulimit -v) and the room left in its control group's memory limit.
uint64_t AvailableMemory();

// The space an unprivileged writer may still fill on the file system of the open file fd;
// nothing when the file system does not say.
std::optional<uint64_t> FreeDiskSpace(int fd);

// A byte count for people, locale-free with decimal units: "512 Bytes", "1.5 MB", "33.4 GB".
std::string ByteSizeText(uint64_t bytes);

} // namespace morvilo
