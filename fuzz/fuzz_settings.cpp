// Any bytes as options.dat, fav.dat and folders.dat: the readers take what they can use and
// never more than the file holds; fav.dat gives at most five entries.

#include "settings/settingsfiles.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string scratchFile() {
    static const std::string path = "/tmp/morvilo-fuzz-settings-" + std::to_string(::getpid());
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string path = scratchFile();
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    morvilo::PortOptions options;
    morvilo::ReadOptionsDat(path, options);
    morvilo::RecentFiles recent;
    recent.Load(path);
    morvilo::FavouriteFolders folders;
    folders.Load(path);
    size_t bytes = 0;
    for (const std::string &entry : folders.Entries())
        bytes += entry.size();
    if (bytes > size)
        std::abort(); // more text than the file held
    if (!folders.Entries().empty())
        folders.AddToPrefFolders(folders.Entries().back());
    return 0;
}
