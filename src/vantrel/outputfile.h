#pragma once
// Buffered output into a file, with two ways of opening it:
// - Replace: the text goes into a new file beside the target and takes the target's place only
//   when everything was written and flushed to the disk, so a failure never damages an
//   existing file. A symbolic link is followed: the file it leads to is replaced, the link
//   stays. Targets that are not regular files (/dev/null, a pipe, a terminal) are written
//   directly.
// - OwnTemporary: a file of ours in the temporary folder, replaced in the same way (an editor
//   still reading the old one keeps it), but never through a symbolic link: a name that is a
//   link or anything but a regular file is refused, and the rename replaces the name itself.
// The new file is an unnamed one (O_TMPFILE) in the target's folder where the file system
// allows that: it gets its name only when Commit links it into place, so a process killed while
// it writes leaves nothing behind. Elsewhere it is a named file, TARGET.morvilo-XXXXXX.tmp,
// locked while it is written; such files that a killed writer left are removed by the next
// write to the same target. The first failing operation is remembered; Commit reports it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace morvilo {

class OutputFile {
public:
    enum class Mode { Replace, OwnTemporary };

    OutputFile() = default;
    ~OutputFile(); // an uncommitted file is abandoned (a replacement is removed)
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // False when the file cannot be created; Error() tells why.
    bool Open(const std::string &path, Mode mode, size_t bufferBytes = 4u << 20);

    // Room for at least n more bytes in the buffer; the returned pointer is valid for n bytes
    // until Commit/Flush. n must not exceed the buffer size.
    char *Reserve(size_t n) {
        if (size_t(bufferEnd - cursor) < n)
            Flush();
        return cursor;
    }
    void Advance(size_t n) { cursor += n; }
    void Write(std::string_view text);

    void Flush();
    // Appends len bytes of the file behind sourceFd from offset on, copied inside the kernel
    // where the file systems allow it. False (and failed) when they could not all be read or
    // written.
    bool CopyFromFile(int sourceFd, int64_t offset, int64_t len);
    // Writes the rest, closes the file and (for Replace) renames it over the target.
    bool Commit();
    // Closes and removes what was written (for Replace the target stays as it was).
    void Abandon();
    // The space left on the file system the new file is written to; nothing for a target that
    // is written directly (a device, a pipe) or when the file system does not say.
    std::optional<uint64_t> FreeSpace() const;

    bool Failed() const { return !error.empty(); }
    // Fault injection for tests: from now on every write that would take a file beyond bytes
    // fails as on a full disk; -1 ends it.
    static void SetWriteFaultAfter(int64_t bytes);
    // For tests: false makes every new file a named one, as on file systems without unnamed
    // files; true (the default) uses them wherever the file system has them.
    static void SetUnnamedFiles(bool allowed);
    const std::string &Error() const { return error; }
    // The system's error number (errno) of the first failure; 0 without one.
    int ErrorNumber() const { return errorNumber; }
    uint64_t BytesWritten() const { return written + uint64_t(cursor - buffer.get()); }
    size_t BufferSize() const { return size_t(bufferEnd - buffer.get()); }

private:
    void fail(const std::string &what);
    void openReplacement(const std::string &path, mode_t mode);
    void linkIntoPlace();

    int fd = -1;
    std::string target;
    std::string temporary; // the named replacement being written
    bool unnamed = false;  // the replacement is an unnamed file that Commit links into place
    std::unique_ptr<char[]> buffer;
    char *cursor = nullptr;
    char *bufferEnd = nullptr;
    uint64_t written = 0;
    std::string error;
    int errorNumber = 0;
};

} // namespace morvilo
