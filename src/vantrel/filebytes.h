#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace morvilo {

// A regular file opened for reading. It is opened without blocking and anything but a regular
// file is refused, so a FIFO or device given by name cannot hang the caller.
class RegularFile {
public:
    RegularFile() = default;
    ~RegularFile() { Close(); }
    RegularFile(const RegularFile &) = delete;
    RegularFile &operator=(const RegularFile &) = delete;

    // False when the file cannot be opened or is no regular file.
    bool Open(const std::string &path);
    void Close();
    // Reads up to n bytes from offset into bytes (replacing its content); fewer when the file
    // ends before. False when reading fails or memory runs out.
    bool Read(uint64_t offset, uint64_t n, std::vector<uint8_t> &bytes) const;

    int Descriptor() const { return fd; }
    uint64_t Size() const { return size; } // when it was opened

private:
    int fd = -1;
    uint64_t size = 0;
};

// Reads a regular file of at most maxBytes whole. False when the file cannot be opened, is no
// regular file, is too large or memory runs out; a file that shrinks while it is read gives
// what was there.
bool ReadRegularFile(const std::string &path, std::vector<uint8_t> &bytes, uint64_t maxBytes);

} // namespace morvilo
