#include "vantrel/filebytes.h"

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace morvilo {

bool ReadRegularFile(const std::string &path, std::vector<uint8_t> &bytes, uint64_t maxBytes) {
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    bool ok = false;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && uint64_t(st.st_size) <= maxBytes) {
        try {
            bytes.resize(size_t(st.st_size));
            size_t got = 0;
            while (got < bytes.size()) {
                const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    break;
                got += size_t(n);
            }
            bytes.resize(got);
            ok = true;
        } catch (const std::bad_alloc &) {
            bytes.clear();
        }
    }
    ::close(fd);
    return ok;
}

} // namespace morvilo
