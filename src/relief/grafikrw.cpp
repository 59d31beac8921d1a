#include "relief/grafikrw.h"

#include "relief/bmpreader.h"
#include "relief/qtpicture.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <new>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvilo {

namespace {

// No picture we accept needs a larger file: 2^29 pixels at 4 bytes plus headers stays below,
// and refusing early keeps a huge unrelated file from being read into memory.
constexpr uint64_t kMaxFileBytes = uint64_t(4) << 30;

// Reads a regular file whole. Opened without blocking, so that a FIFO or device given as a
// picture cannot hang the caller; anything but a regular file is refused after fstat.
bool ReadWholeFile(const std::string &fileName, std::vector<uint8_t> &bytes) {
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    bool ok = false;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
        uint64_t(st.st_size) <= kMaxFileBytes) {
        try {
            bytes.resize(size_t(st.st_size));
            size_t got = 0;
            while (got < bytes.size()) {
                const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    break; // shrank while we read: decode what is there
                got += size_t(n);
            }
            bytes.resize(got);
            ok = got > 0;
        } catch (const std::bad_alloc &) {
            bytes.clear();
        }
    }
    ::close(fd);
    return ok;
}

} // namespace

void OpenDib(dib &d, const std::string &fileName, int, int) {
    deldib(d);
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(fileName, bytes))
        return;
    OpenDibFromMemory(d, bytes.data(), bytes.size());
}

void OpenDibFromMemory(dib &d, const uint8_t *data, size_t size) {
    deldib(d);
    if (data == nullptr || size == 0)
        return;
    try {
        if (size >= 2 && data[0] == 'B' && data[1] == 'M')
            ReadBmp(d, data, size);
        else
            ReadQtPicture(d, data, size);
    } catch (const std::bad_alloc &) {
        deldib(d);
    }
}

std::string GetDIBOpenFilter() {
    std::vector<std::string> names{"bmp", "dib"};
    for (std::string &name : QtPictureFormats())
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(std::move(name));
    std::string filter;
    for (const std::string &name : names) {
        if (!filter.empty())
            filter += ';';
        filter += "*." + name;
    }
    return filter;
}

double power(double x, double y) {
    return std::pow(x, y);
}

} // namespace morvilo
