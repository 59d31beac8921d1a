#include "vantrel/filebytes.h"

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace morvilo {

bool RegularFile::Open(const std::string &path) {
    Close();
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        Close();
        return false;
    }
    size = uint64_t(st.st_size);
    return true;
}

void RegularFile::Close() {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
    size = 0;
}

bool RegularFile::Read(uint64_t offset, uint64_t n, std::vector<uint8_t> &bytes) const {
    bytes.clear();
    if (fd < 0)
        return false;
    try {
        bytes.resize(size_t(n));
    } catch (const std::bad_alloc &) {
        return false;
    } catch (const std::length_error &) {
        return false;
    }
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t piece =
            ::pread(fd, bytes.data() + got, bytes.size() - got, off_t(offset + got));
        if (piece < 0 && errno == EINTR)
            continue;
        if (piece < 0) {
            bytes.clear();
            return false;
        }
        if (piece == 0)
            break;
        got += size_t(piece);
    }
    bytes.resize(got);
    return true;
}

bool ReadRegularFile(const std::string &path, std::vector<uint8_t> &bytes, uint64_t maxBytes) {
    bytes.clear();
    RegularFile file;
    return file.Open(path) && file.Size() <= maxBytes && file.Read(0, file.Size(), bytes);
}

} // namespace morvilo
