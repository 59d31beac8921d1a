#pragma once
// The small settings files of the program folder: options.dat (port settings and interface
// language, six 32-bit little-endian integers), fav.dat (the five most recent files) and
// folders.dat (the favourite picture folders). They are read and written silently: a missing,
// short or unwritable file is never reported, the defaults apply.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace morvilo {

struct PortOptions {
    int32_t port = 0;     // index into COM1 ... COM15
    int32_t baud = 5;     // index into 300 ... 38400: 9600
    int32_t databits = 1; // index into 6, 7, 8: 7
    int32_t stopbits = 0; // index into 1, 2: 1
    int32_t parity = 0;   // index into even, mark, none, odd, space: even
    int32_t language = 0; // column of the translation table: German
};

// Reads options.dat into options. Values are taken in order as far as the file holds whole
// ones; false when the file cannot be opened (options unchanged).
bool ReadOptionsDat(const std::string &path, PortOptions &options);
// Writes the 24 bytes; false when the file cannot be written (the old file stays).
bool WriteOptionsDat(const std::string &path, const PortOptions &options);

// The lines of a text file (breaks: CR LF, CR or LF; a last line needs none); empty when the
// file cannot be read.
std::vector<std::string> ReadTextLines(const std::string &path);
// Writes the lines, each ended by CR LF; false when the file cannot be written.
bool WriteTextLines(const std::string &path, const std::vector<std::string> &lines);

// The recent files, fav[0] the most recent; an empty text is an empty slot.
class RecentFiles {
public:
    void Load(const std::string &path); // at most five lines; missing file: all empty
    bool Save(const std::string &path) const;
    // Moves an entry equal to name (exact comparison) to the top, or puts name on top and lets
    // the oldest drop out.
    void AddtoFavorites(std::string name); // a copy: name may be one of the entries
    const std::array<std::string, 5> &Entries() const { return fav; }

private:
    std::array<std::string, 5> fav;
};

// The favourite picture folders, top entry first.
class FavouriteFolders {
public:
    void Load(const std::string &path); // every line an entry, empty lines and repeats included
    bool Save(const std::string &path) const;
    // The last entry equal to folder (exact comparison) is removed; folder goes on top.
    void AddToPrefFolders(std::string folder); // a copy: folder may be one of the entries
    void Remove(size_t index);
    void Clear() { folders.clear(); }
    const std::vector<std::string> &Entries() const { return folders; }

private:
    std::vector<std::string> folders;
};

} // namespace morvilo
