#pragma once
// The standard output of morvilo-cli: a buffer in front of a file descriptor that remembers why
// the first write failed (a full disk, an I/O error), so that every command ends with the
// reason and a failure status instead of a silent success or a silent 1.

#include <memory>
#include <ostream>
#include <streambuf>

namespace morvilo::cli {

class CheckedOutput : public std::streambuf {
public:
    explicit CheckedOutput(int fd, size_t bufferBytes = 1u << 16);
    ~CheckedOutput() override;
    CheckedOutput(const CheckedOutput &) = delete;
    CheckedOutput &operator=(const CheckedOutput &) = delete;

    // The errno of the first write that failed; 0 while all went out. After a failure nothing
    // more is written and the stream on this buffer goes bad.
    int Error() const { return error; }

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char *text, std::streamsize count) override;
    int sync() override;

private:
    bool writeAll(const char *text, size_t count);
    bool flushBuffer();

    int fd;
    std::unique_ptr<char[]> buffer;
    size_t size;
    int error = 0;
};

// After a command: flushes out; when its writes failed, says so on err (in the run's language)
// and turns a success into kFailure. Returns the exit status.
int CheckOutputAtEnd(int status, std::ostream &out, const CheckedOutput &checked,
                     std::ostream &err);

} // namespace morvilo::cli
