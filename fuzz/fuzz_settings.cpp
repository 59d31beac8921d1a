// Any bytes as every settings file: options.dat, fav.dat, folders.dat, port.dat, dnc.dat,
// preview.dat and profiles.ini. The readers take what they can use and never more than the file
// holds; fav.dat gives at most five entries. What a reader took, its writer writes so that it
// reads back the same and undamaged.

#include "dnc/portfile.h"
#include "machine/profilesfile.h"
#include "settings/settingsfiles.h"
#include "simulate/previewsettings.h"

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

// Where a writer puts what a reader took, to be read again.
std::string rewrittenFile() {
    static const std::string path = scratchFile() + "-rewritten";
    return path;
}

void require(bool condition) {
    if (!condition)
        std::abort();
}

void checkPortDat(const std::string &path) {
    const morvilo::dnc::PortFile read = morvilo::dnc::ReadPortDat(path);
    require(morvilo::dnc::WritePortDat(rewrittenFile(), read));
    const morvilo::dnc::PortFile again = morvilo::dnc::ReadPortDat(rewrittenFile());
    // A device name with a line break cannot be written as a line; it is not kept.
    const bool keepable = read.device.find_first_of("\r\n") == std::string::npos;
    require(again.device == (keepable ? read.device : std::string()));
    require(again.lineEnd == read.lineEnd);
}

void checkDncDat(const std::string &path) {
    bool damaged = false;
    const morvilo::dnc::DncFile read = morvilo::dnc::ReadDncDat(path, &damaged);
    require(read.endChar >= -1 && read.endChar <= 255);
    require(read.timeout >= 0 && read.timeout <= morvilo::dnc::kMaxDncTimeout);
    require(morvilo::dnc::WriteDncDat(rewrittenFile(), read));
    bool damagedAgain = false;
    const morvilo::dnc::DncFile again = morvilo::dnc::ReadDncDat(rewrittenFile(), &damagedAgain);
    require(!damagedAgain);
    require(again.handshake == read.handshake && again.endChar == read.endChar &&
            again.timeout == read.timeout && again.baud == read.baud);
}

void checkPreviewDat(const std::string &path) {
    bool damaged = false;
    const morvilo::PreviewSettings read = morvilo::ReadPreviewDat(path, &damaged);
    require(morvilo::WritePreviewDat(rewrittenFile(), read));
    bool damagedAgain = false;
    require(morvilo::ReadPreviewDat(rewrittenFile(), &damagedAgain) == read);
    require(!damagedAgain);
}

void checkProfiles(const std::string &path) {
    const morvilo::ProfilesLoad read = morvilo::LoadMachineProfiles(path);
    morvilo::UserMessage error;
    require(morvilo::SaveMachineProfiles(rewrittenFile(), read.profiles, error));
    const morvilo::ProfilesLoad again = morvilo::LoadMachineProfiles(rewrittenFile());
    require(again.problems.empty());
    require(again.profiles.size() == read.profiles.size());
    for (size_t k = 0; k < read.profiles.size(); ++k)
        require(again.profiles[k].name == read.profiles[k].name &&
                again.profiles[k].builtIn == read.profiles[k].builtIn);
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

    checkPortDat(path);
    checkDncDat(path);
    checkPreviewDat(path);
    checkProfiles(path);
    return 0;
}
