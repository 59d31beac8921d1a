#include "vantrel/tempfile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace morvilo {

std::string TemporaryFolder() {
    const char *env = std::getenv("TMPDIR");
    std::string folder = (env && *env) ? env : "/tmp";
    if (folder.back() != '/')
        folder += '/';
    return folder;
}

std::string MYGetTempFileName(const std::string &part1, const std::string &part2) {
    const std::string folder = TemporaryFolder();
    // A folder full of our names would have to hold a million of them; give up before that.
    for (long number = 0; number < 1000000; ++number) {
        std::string name = folder + part1 + std::to_string(number) + part2;
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST)
            return {};
    }
    return {};
}

} // namespace morvilo
