#include "vantrel/outputfile.h"

#include "vantrel/room.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvilo {

namespace {

mode_t currentUmask() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

std::string systemError(const std::string &what, const std::string &path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// The injected fault: writes fail with "no space" once this many bytes were written.
std::atomic<int64_t> writeFaultAfter{-1};

// A file replaced through a symbolic link is the file the link leads to; the link stays.
std::string resolvedTarget(const std::string &path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char *real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return path; // a dangling link is replaced by the new file
    std::string resolved(real);
    std::free(real);
    return resolved;
}

// Names of our named replacements: TARGET.morvilo-XXXXXX.tmp, X being letters and digits.
constexpr std::string_view kReplacementMark = ".morvilo-";
constexpr std::string_view kReplacementEnd = ".tmp";
constexpr size_t kReplacementRandom = 6;

std::atomic<bool> unnamedFilesAllowed{true};

std::string folderOf(const std::string &path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string &path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isReplacementOf(std::string_view entry, std::string_view name) {
    if (entry.size() !=
            name.size() + kReplacementMark.size() + kReplacementRandom + kReplacementEnd.size() ||
        !entry.starts_with(name) || !entry.ends_with(kReplacementEnd))
        return false;
    entry.remove_prefix(name.size());
    if (!entry.starts_with(kReplacementMark))
        return false;
    entry.remove_prefix(kReplacementMark.size());
    return std::all_of(entry.begin(), entry.begin() + kReplacementRandom, [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    });
}

bool sameFile(const struct stat &a, const struct stat &b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Removes the named replacements of path that earlier writes left: files of ours whose writer
// is gone (a live writer holds its lock). Nothing else is touched, even under a similar name.
void removeLeftReplacements(const std::string &path) {
    DIR *folder = ::opendir(folderOf(path).c_str());
    if (!folder)
        return;
    const std::string name = nameOf(path);
    const int dir = ::dirfd(folder);
    while (const dirent *entry = ::readdir(folder)) {
        if (!isReplacementOf(entry->d_name, name))
            continue;
        const int left =
            ::openat(dir, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (left < 0)
            continue;
        struct stat opened {
        }, named{};
        if (::fstat(left, &opened) == 0 && S_ISREG(opened.st_mode) &&
            opened.st_uid == ::geteuid() && ::flock(left, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(dir, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            sameFile(opened, named))
            ::unlinkat(dir, entry->d_name, 0);
        ::close(left);
    }
    ::closedir(folder);
}

// Six letters or digits for a replacement's name; a name that is taken is tried again.
std::string randomPart() {
    static std::atomic<uint64_t> counter{0};
    uint64_t x = uint64_t(::getpid()) << 32 ^ counter.fetch_add(1) ^
                 uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull; // splitmix64's finaliser
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    x ^= x >> 31;
    static constexpr char letters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string part;
    for (size_t i = 0; i < kReplacementRandom; ++i, x /= 62)
        part += letters[x % 62];
    return part;
}

// A named replacement beside path, claimed exclusively (mode 0600) and locked; returns its
// descriptor and name.
int createNamedReplacement(const std::string &path, std::string &name) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        name = path + std::string(kReplacementMark) + std::string(kReplacementRandom, 'X') +
               std::string(kReplacementEnd);
        const int fd = ::mkostemps(name.data(), int(kReplacementEnd.size()), O_CLOEXEC);
        if (fd < 0)
            break;
        // Another writer's clean-up may have taken the file between its creation and the lock.
        struct stat opened {
        }, named{};
        if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &opened) == 0 &&
            ::lstat(name.c_str(), &named) == 0 && sameFile(opened, named))
            return fd;
        ::close(fd);
        errno = EEXIST;
    }
    name.clear();
    return -1;
}

// File systems without unnamed files (and kernels from before them) say so with these.
bool unnamedFilesUnsupported(int error) {
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

std::string descriptorPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

// An unnamed file in folder, or -1 with errno set. It can only be linked into place through
// /proc, so without /proc it is given up as unsupported.
int createUnnamed(const std::string &folder) {
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::stat(descriptorPath(fd).c_str(), &st) != 0) {
        ::close(fd);
        errno = EOPNOTSUPP;
        return -1;
    }
    return fd;
}

} // namespace

OutputFile::~OutputFile() {
    if (fd >= 0)
        Abandon();
}

bool OutputFile::Open(const std::string &path, Mode mode, size_t bufferBytes) {
    if (fd >= 0)
        Abandon();
    error.clear();
    errorNumber = 0;
    written = 0;
    target = path;
    temporary.clear();
    unnamed = false;
    if (mode == Mode::OwnTemporary) {
        // Looked at, not followed: whatever is planted at the name later is only replaced.
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
            errno = S_ISLNK(st.st_mode) ? ELOOP : S_ISDIR(st.st_mode) ? EISDIR : EEXIST;
        else
            openReplacement(path, 0600); // private to its owner
    } else {
        target = resolvedTarget(path);
        struct stat st {};
        const bool exists = ::stat(target.c_str(), &st) == 0;
        if (exists && !S_ISREG(st.st_mode)) {
            fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        } else {
            // Keep the mode of the file we replace; a new file gets the usual one.
            openReplacement(target, exists ? (st.st_mode & 07777) : (0666 & ~currentUmask()));
        }
    }
    if (fd < 0) {
        fail(systemError("cannot create", path));
        return false;
    }
    if (bufferBytes < 4096)
        bufferBytes = 4096;
    buffer.reset(new char[bufferBytes]);
    cursor = buffer.get();
    bufferEnd = cursor + bufferBytes;
    return true;
}

void OutputFile::Write(std::string_view text) {
    if (!buffer)
        return;
    while (!text.empty()) {
        if (cursor == bufferEnd)
            Flush();
        size_t n = std::min(text.size(), size_t(bufferEnd - cursor));
        std::memcpy(cursor, text.data(), n);
        cursor += n;
        text.remove_prefix(n);
    }
}

void OutputFile::Flush() {
    const char *p = buffer.get();
    const size_t pending = size_t(cursor - p);
    cursor = buffer.get();
    if (fd < 0 || Failed())
        return; // after a failure the rest is dropped; Commit reports the failure
    size_t left = pending;
    while (left > 0) {
        const int64_t fault = writeFaultAfter.load();
        if (fault >= 0 && int64_t(written + left) > fault) {
            errno = ENOSPC;
            fail(systemError("cannot write", target));
            return;
        }
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            fail(systemError("cannot write", target));
            return;
        }
        p += n;
        left -= size_t(n);
        written += uint64_t(n);
    }
}

// The new file that is to replace path: unnamed where the file system has such files, else
// named; fd stays -1 (errno set) when neither can be created.
void OutputFile::openReplacement(const std::string &path, mode_t mode) {
    removeLeftReplacements(path);
    if (unnamedFilesAllowed) {
        fd = createUnnamed(folderOf(path));
        unnamed = fd >= 0;
        if (fd < 0 && !unnamedFilesUnsupported(errno))
            return;
    }
    if (fd < 0)
        fd = createNamedReplacement(path, temporary);
    if (fd >= 0)
        ::fchmod(fd, mode);
}

// Gives the finished unnamed file the target's name. A link cannot replace a file, so an
// existing target is replaced by a rename from a fresh name of our naming.
void OutputFile::linkIntoPlace() {
    const std::string source = descriptorPath(fd);
    auto link = [&](const std::string &name) {
        return ::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
    };
    if (link(target))
        return;
    for (int attempt = 0; attempt < 100 && errno == EEXIST; ++attempt) {
        const std::string name =
            target + std::string(kReplacementMark) + randomPart() + std::string(kReplacementEnd);
        if (!link(name))
            continue;
        if (::rename(name.c_str(), target.c_str()) != 0) {
            fail(systemError("cannot replace", target));
            ::unlink(name.c_str());
        }
        return;
    }
    fail(systemError("cannot create", target));
}

bool OutputFile::Commit() {
    if (fd < 0)
        return false;
    Flush();
    // A replacement reaches the disk before it takes the old file's place.
    if ((unnamed || !temporary.empty()) && !Failed() && ::fsync(fd) != 0)
        fail(systemError("cannot write", target));
    if (unnamed) {
        if (!Failed())
            linkIntoPlace();
        // The data reached the disk with fsync; closing has nothing left to report.
        ::close(fd);
    } else if (::close(fd) != 0 && !Failed()) {
        fail(systemError("cannot write", target));
    }
    fd = -1;
    unnamed = false;
    if (!temporary.empty()) {
        if (!Failed() && ::rename(temporary.c_str(), target.c_str()) != 0)
            fail(systemError("cannot replace", target));
        if (Failed())
            ::unlink(temporary.c_str());
        temporary.clear();
    }
    buffer.reset();
    cursor = bufferEnd = nullptr;
    return !Failed();
}

bool OutputFile::CopyFromFile(int sourceFd, int64_t offset, int64_t len) {
    Flush();
    if (fd < 0 || Failed())
        return false;
    const int64_t fault = writeFaultAfter.load();
    if (fault >= 0 && int64_t(written) + len > fault) {
        errno = ENOSPC;
        fail(systemError("cannot write", target));
        return false;
    }
    off_t from = off_t(offset);
    bool inKernel = true;
    while (len > 0) {
        ssize_t n = -1;
        if (inKernel) {
            n = ::copy_file_range(sourceFd, &from, fd, nullptr, size_t(len), 0);
            if (n < 0 &&
                (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) {
                inKernel = false; // these file systems copy through our buffer
                continue;
            }
        } else {
            const size_t piece = size_t(std::min<int64_t>(len, int64_t(BufferSize())));
            n = ::pread(sourceFd, buffer.get(), piece, from);
            if (n > 0) {
                cursor = buffer.get() + n;
                Flush();
                if (Failed())
                    return false;
                written -= uint64_t(n); // Flush counted them; counted once below
                from += n;
            }
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO; // the source ended early: another program shortened it
            fail(systemError("cannot copy into", target));
            return false;
        }
        len -= n;
        written += uint64_t(n);
    }
    return true;
}

void OutputFile::SetWriteFaultAfter(int64_t bytes) {
    writeFaultAfter = bytes;
}

void OutputFile::SetUnnamedFiles(bool allowed) {
    unnamedFilesAllowed = allowed;
}

std::optional<uint64_t> OutputFile::FreeSpace() const {
    if (fd < 0 || (!unnamed && temporary.empty()))
        return std::nullopt;
    return FreeDiskSpace(fd);
}

void OutputFile::Abandon() {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
    unnamed = false; // an unnamed file vanishes with its descriptor
    if (!temporary.empty())
        ::unlink(temporary.c_str());
    temporary.clear();
    buffer.reset();
    cursor = bufferEnd = nullptr;
}

void OutputFile::fail(const std::string &what) {
    const int number = errno; // what was made from it and left it as it was
    if (error.empty()) {
        error = what;
        errorNumber = number;
    }
}

} // namespace morvilo
