#include "vantrel/room.h"

#include <algorithm>
#include <fstream>
#include <string_view>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace morvilo {

namespace {

// The number after "key" in a text file of "key value" lines (/proc/meminfo, /proc/self/status).
std::optional<uint64_t> numberAfter(const char *path, std::string_view key) {
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        if (line.starts_with(key))
            return std::stoull(line.substr(key.size()));
    return std::nullopt;
}

std::optional<uint64_t> firstNumberIn(const std::string &path) {
    std::ifstream in(path);
    std::string word;
    if (!(in >> word) || word.empty() || word.find_first_not_of("0123456789") != word.npos)
        return std::nullopt; // missing, or "max"
    return std::stoull(word);
}

uint64_t roomBelow(uint64_t limit, uint64_t used) {
    return limit > used ? limit - used : 0;
}

// The room below the memory limit of the control group (version 2) the process runs in.
std::optional<uint64_t> controlGroupRoom() {
    std::ifstream in("/proc/self/cgroup");
    for (std::string line; std::getline(in, line);) {
        if (!line.starts_with("0::"))
            continue;
        const std::string folder = "/sys/fs/cgroup" + line.substr(3);
        const auto limit = firstNumberIn(folder + "/memory.max");
        const auto used = firstNumberIn(folder + "/memory.current");
        if (limit && used)
            return roomBelow(*limit, *used);
    }
    return std::nullopt;
}

} // namespace

uint64_t AvailableMemory() {
    uint64_t room = UINT64_MAX;
    try {
        if (const auto kib = numberAfter("/proc/meminfo", "MemAvailable:"))
            room = *kib * 1024;
        else if (const long pages = ::sysconf(_SC_AVPHYS_PAGES); pages > 0)
            room = uint64_t(pages) * uint64_t(::sysconf(_SC_PAGESIZE));
        struct rlimit limit {};
        if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
            const auto usedKib = numberAfter("/proc/self/status", "VmSize:");
            room = std::min<uint64_t>(room, roomBelow(limit.rlim_cur, usedKib.value_or(0) * 1024));
        }
        if (const auto group = controlGroupRoom())
            room = std::min(room, *group);
    } catch (const std::exception &) {
        // A text that is no number: what was found so far holds.
    }
    return room;
}

std::optional<uint64_t> FreeDiskSpace(int fd) {
    struct statvfs fs {};
    if (fd < 0 || ::fstatvfs(fd, &fs) != 0 || fs.f_frsize == 0)
        return std::nullopt;
    return uint64_t(fs.f_bavail) * uint64_t(fs.f_frsize);
}

std::string ByteSizeText(uint64_t bytes) {
    if (bytes < 1000)
        return std::to_string(bytes) + " Bytes";
    static const char *const units[] = {"kB", "MB", "GB", "TB", "PB", "EB"};
    // Tenths of the unit, rounded; a value that rounds up to 1000 takes the next unit.
    unsigned __int128 scale = 1000;
    size_t unit = 0;
    auto tenths = [&] { return uint64_t((bytes * (unsigned __int128)10 + scale / 2) / scale); };
    while (unit + 1 < std::size(units) && tenths() >= 10000) {
        scale *= 1000;
        ++unit;
    }
    const uint64_t t = tenths();
    return std::to_string(t / 10) + "." + std::to_string(t % 10) + " " + units[unit];
}

} // namespace morvilo
