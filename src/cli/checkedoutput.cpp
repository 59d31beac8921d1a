#include "cli/checkedoutput.h"

#include "cli/cli.h"
#include "cli/clitext.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace morvilo::cli {

CheckedOutput::CheckedOutput(int fd, size_t bufferBytes)
    : fd(fd), buffer(new char[bufferBytes]), size(bufferBytes) {
    setp(buffer.get(), buffer.get() + size);
}

CheckedOutput::~CheckedOutput() {
    flushBuffer();
}

bool CheckedOutput::writeAll(const char *text, size_t count) {
    while (count > 0 && error == 0) {
        const ssize_t written = ::write(fd, text, count);
        if (written > 0) {
            text += written;
            count -= size_t(written);
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd wait{fd, POLLOUT, 0}; // a non-blocking pipe that is full for the moment
            ::poll(&wait, 1, -1);
        } else {
            error = written < 0 ? errno : EIO;
        }
    }
    return error == 0;
}

bool CheckedOutput::flushBuffer() {
    const size_t count = size_t(pptr() - pbase());
    setp(buffer.get(), buffer.get() + size);
    return writeAll(buffer.get(), count);
}

CheckedOutput::int_type CheckedOutput::overflow(int_type c) {
    if (!flushBuffer())
        return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

std::streamsize CheckedOutput::xsputn(const char *text, std::streamsize count) {
    if (error != 0)
        return 0;
    if (size_t(count) <= size_t(epptr() - pptr())) {
        std::memcpy(pptr(), text, size_t(count));
        pbump(int(count));
        return count;
    }
    // Larger than the room left: what is buffered, then the text itself in one go.
    if (!flushBuffer() || !writeAll(text, size_t(count)))
        return 0;
    return count;
}

int CheckedOutput::sync() {
    return flushBuffer() ? 0 : -1;
}

int CheckOutputAtEnd(int status, std::ostream &out, const CheckedOutput &checked,
                     std::ostream &err) {
    out.flush();
    if (checked.Error() == 0)
        return status;
    err << "morvilo-cli: "
        << cliText("Die Standardausgabe kann nicht geschrieben werden: %1",
                   {SystemReason(checked.Error())})
        << "\n";
    return status == kSuccess ? kFailure : status;
}

} // namespace morvilo::cli
