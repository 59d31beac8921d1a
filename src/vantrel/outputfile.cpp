#include "vantrel/outputfile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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

// A new file beside path, claimed exclusively; returns its descriptor and name.
int createReplacement(const std::string &path, std::string &name) {
    name = path + ".XXXXXX";
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        name.clear();
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
    if (mode == Mode::OwnTemporary) {
        // Looked at, not followed: whatever is planted at the name later is only replaced.
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
            errno = S_ISLNK(st.st_mode) ? ELOOP : S_ISDIR(st.st_mode) ? EISDIR : EEXIST;
        else
            fd = createReplacement(path, temporary); // created exclusively, mode 0600
    } else {
        target = resolvedTarget(path);
        struct stat st {};
        const bool exists = ::stat(target.c_str(), &st) == 0;
        if (exists && !S_ISREG(st.st_mode)) {
            fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        } else {
            fd = createReplacement(target, temporary);
            // Keep the mode of the file we replace; a new file gets the usual one.
            if (fd >= 0)
                ::fchmod(fd, exists ? (st.st_mode & 07777) : (0666 & ~currentUmask()));
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

bool OutputFile::Commit() {
    if (fd < 0)
        return false;
    Flush();
    // A replacement reaches the disk before it takes the old file's place.
    if (!temporary.empty() && !Failed() && ::fsync(fd) != 0)
        fail(systemError("cannot write", target));
    if (::close(fd) != 0 && !Failed())
        fail(systemError("cannot write", target));
    fd = -1;
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

void OutputFile::Abandon() {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
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
