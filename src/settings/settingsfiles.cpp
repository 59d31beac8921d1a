#include "settings/settingsfiles.h"

#include "vantrel/filebytes.h"
#include "vantrel/outputfile.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace morvilo {

namespace {

// The settings files are a few hundred bytes; anything larger is no settings file of ours.
constexpr uint64_t kMaxSettingsBytes = 16u << 20;

bool readWholeFile(const std::string &path, std::string &bytes) {
    std::vector<uint8_t> raw;
    if (!ReadRegularFile(path, raw, kMaxSettingsBytes))
        return false;
    bytes.assign(raw.begin(), raw.end());
    return true;
}

bool writeWholeFile(const std::string &path, const std::string &bytes) {
    OutputFile out;
    if (!out.Open(path, OutputFile::Mode::Replace, 4096))
        return false;
    out.Write(bytes);
    return out.Commit();
}

} // namespace

bool ReadOptionsDat(const std::string &path, PortOptions &options) {
    std::string bytes;
    if (!readWholeFile(path, bytes))
        return false;
    int32_t *values[] = {&options.port,     &options.baud,   &options.databits,
                         &options.stopbits, &options.parity, &options.language};
    for (size_t i = 0; i < std::size(values) && (i + 1) * 4 <= bytes.size(); ++i) {
        uint32_t v = 0;
        for (int b = 3; b >= 0; --b)
            v = (v << 8) | uint8_t(bytes[i * 4 + size_t(b)]);
        *values[i] = int32_t(v);
    }
    return true;
}

bool WriteOptionsDat(const std::string &path, const PortOptions &options) {
    std::string bytes;
    for (int32_t value : {options.port, options.baud, options.databits, options.stopbits,
                          options.parity, options.language})
        for (int b = 0; b < 4; ++b)
            bytes += char(uint32_t(value) >> (8 * b) & 0xFF);
    return writeWholeFile(path, bytes);
}

std::vector<std::string> ReadTextLines(const std::string &path) {
    std::string bytes;
    std::vector<std::string> lines;
    if (!readWholeFile(path, bytes))
        return lines;
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t brk = bytes.find_first_of("\r\n", start);
        if (brk == std::string::npos) {
            lines.push_back(bytes.substr(start));
            break;
        }
        lines.push_back(bytes.substr(start, brk - start));
        start =
            brk + (bytes[brk] == '\r' && brk + 1 < bytes.size() && bytes[brk + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

bool WriteTextLines(const std::string &path, const std::vector<std::string> &lines) {
    std::string bytes;
    for (const std::string &line : lines)
        bytes += line + "\r\n";
    return writeWholeFile(path, bytes);
}

void RecentFiles::Load(const std::string &path) {
    fav.fill({});
    const std::vector<std::string> lines = ReadTextLines(path);
    std::copy_n(lines.begin(), std::min(lines.size(), fav.size()), fav.begin());
}

bool RecentFiles::Save(const std::string &path) const {
    return WriteTextLines(path, std::vector<std::string>(fav.begin(), fav.end()));
}

void RecentFiles::AddtoFavorites(std::string name) {
    // Every slot holding the name moves to the top (the scan goes on after a match); without
    // one the name goes on top and the oldest drops out.
    bool found = false;
    for (size_t k = 0; k < fav.size(); ++k) {
        if (fav[k] == name) {
            std::move_backward(fav.begin(), fav.begin() + std::ptrdiff_t(k),
                               fav.begin() + std::ptrdiff_t(k) + 1);
            fav[0] = name;
            found = true;
        }
    }
    if (!found) {
        std::move_backward(fav.begin(), fav.end() - 1, fav.end());
        fav[0] = name;
    }
}

void FavouriteFolders::Load(const std::string &path) {
    folders = ReadTextLines(path);
}

bool FavouriteFolders::Save(const std::string &path) const {
    return WriteTextLines(path, folders);
}

void FavouriteFolders::AddToPrefFolders(std::string folder) {
    const auto last = std::find(folders.rbegin(), folders.rend(), folder);
    if (last != folders.rend())
        folders.erase(std::next(last).base());
    folders.insert(folders.begin(), std::move(folder));
}

void FavouriteFolders::Remove(size_t index) {
    if (index < folders.size())
        folders.erase(folders.begin() + std::ptrdiff_t(index));
}

} // namespace morvilo
