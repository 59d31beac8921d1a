#pragma once
// Real full and read-only file systems for fault tests, without touching the machine's mounts:
// the test body runs in a child process with a mount namespace of its own (and a user namespace
// when not run as root), where a small tmpfs is mounted over a folder.

#include "childprocess.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace morvilo::test {

namespace ownfs {

inline bool writeProcFile(const char *path, const std::string &text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ::close(fd);
    return ok;
}

// In the child: a private mount namespace with a tmpfs of `bytes` bytes at mountPoint.
inline std::string enter(const std::filesystem::path &mountPoint, uint64_t bytes) {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (uid == 0) {
        if (::unshare(CLONE_NEWNS) != 0)
            return "no mount namespace";
    } else {
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            return "no user namespace";
        if (!writeProcFile("/proc/self/setgroups", "deny") ||
            !writeProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !writeProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
            return "no identity in the user namespace";
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return "mounts cannot be made private";
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, options.c_str()) != 0)
        return "no tmpfs";
    return {};
}

} // namespace ownfs

// Makes the file system at mountPoint (mounted by InOwnFileSystem) read-only.
inline bool RemountReadOnly(const std::filesystem::path &mountPoint) {
    return ::mount(nullptr, mountPoint.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

// Runs body in a child process that sees a fresh tmpfs of `bytes` bytes at mountPoint (an
// existing folder). body returns what went wrong, empty when nothing did. The result is body's
// text, "skip: ..." when this machine allows no namespace of our own, or how the child died.
inline std::string InOwnFileSystem(const std::filesystem::path &mountPoint, uint64_t bytes,
                                   const std::function<std::string()> &body) {
    return InChildProcess([&] {
        const std::string refused = ownfs::enter(mountPoint, bytes);
        return refused.empty() ? body() : "skip: " + refused;
    });
}

} // namespace morvilo::test
