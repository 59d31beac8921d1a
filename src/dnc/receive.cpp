#include "dnc/receive.h"

#include <cerrno>
#include <chrono>
#include <cstring>

namespace morvilo::dnc {

namespace {

constexpr int kWaitMs = 50;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

class PortHolder {
public:
    explicit PortHolder(SerialApi &api) : api(api) {}
    PortHolder(const PortHolder &) = delete;
    PortHolder &operator=(const PortHolder &) = delete;
    ~PortHolder() {
        if (fd < 0)
            return;
        if (restore)
            api.SetAttr(fd, portSettings);
        api.Close(fd);
    }

    bool Open(const ReceiveSettings &settings, int &error) {
        fd = api.Open(settings.device);
        if (fd < 0 || api.GetAttr(fd, portSettings) != 0) {
            error = errno;
            return false;
        }
        restore = true;
        termios t = portSettings;
        ApplyLineSettings(settings.indices, t);
        ApplyHandshake(settings.handshake, t);
        // Raw bytes in; line errors marked, the byte 0xFF doubled.
        t.c_iflag &= ~tcflag_t(IGNBRK | BRKINT | ISTRIP | INLCR | IGNCR | ICRNL | IGNPAR);
        t.c_iflag |= PARMRK;
        if (t.c_cflag & PARENB)
            t.c_iflag |= INPCK;
        t.c_lflag &= ~tcflag_t(ICANON | ECHO | ECHONL | ISIG | IEXTEN);
        t.c_cflag |= CREAD | CLOCAL;
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        if (api.SetAttr(fd, t) != 0) {
            error = errno;
            return false;
        }
        return true;
    }

    SerialApi &api;
    int fd = -1;
    termios portSettings{};
    bool restore = false;
};

} // namespace

bool MarkedInput::Decode(std::string_view raw, std::string &out) {
    for (char c : raw) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (state == 0) {
            if (b == 0xFF)
                state = 1;
            else
                out += c;
        } else if (state == 1) {
            if (b == 0xFF) {
                out += c;
                state = 0;
            } else if (b == 0) {
                state = 2;
            } else { // not a mark (cannot come from the driver): keep both bytes
                out += '\xFF';
                out += c;
                state = 0;
            }
        } else {
            state = 0;
            return false;
        }
    }
    return true;
}

ReceiveResult ReceiveText(const ReceiveSettings &settings, const ReceiveCallback &take,
                          SerialApi &api) {
    ReceiveResult result;
    PortHolder port(api);
    if (!port.Open(settings, result.error)) {
        result.end = ReceiveEnd::OpenFailed;
        return result;
    }
    MarkedInput marks;
    bool started = false; // something other than blanks and the end character came
    auto lastByte = std::chrono::steady_clock::now();
    char buffer[4096];
    std::string good;
    for (;;) {
        const int events = api.WaitReadable(port.fd, kWaitMs);
        ssize_t n = 0;
        if (events != 0) {
            n = api.Read(port.fd, buffer, sizeof buffer);
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                result.error = errno;
                result.end = errno == EIO || errno == ENXIO || errno == ENODEV
                                 ? ReceiveEnd::Vanished
                                 : ReceiveEnd::ReadFailed;
                return result;
            }
            if (n == 0 && (events & (POLLHUP | POLLERR))) {
                result.end = ReceiveEnd::Vanished;
                return result;
            }
        }
        good.clear();
        const bool clean = n <= 0 || marks.Decode(std::string_view(buffer, size_t(n)), good);
        bool ended = false;
        for (char c : good) {
            if (settings.endChar >= 0 && c == char(settings.endChar) && started)
                ended = true;
            else if (!isBlank(c) && c != char(settings.endChar))
                started = true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (n > 0)
            lastByte = now;
        result.bytes += int64_t(good.size());
        const bool goOn = !take || take(good, result.bytes);
        if (!clean) {
            result.end = ReceiveEnd::LineError;
            return result;
        }
        if (ended) {
            result.end = ReceiveEnd::EndCharacter;
            return result;
        }
        if (!goOn) {
            result.end = ReceiveEnd::Stopped;
            return result;
        }
        if (settings.idleSeconds > 0 && result.bytes > 0 &&
            std::chrono::duration<double>(now - lastByte).count() >= settings.idleSeconds) {
            result.end = ReceiveEnd::Idle;
            return result;
        }
    }
}

UserMessage ReceiveFailureMessage(const ReceiveResult &result, const std::string &port,
                                  const std::function<std::string(int)> &describe) {
    const std::string detail = describe(result.error);
    switch (result.end) {
    case ReceiveEnd::OpenFailed:
        return {"%1 kann nicht geöffnet oder eingestellt werden: %2", {port, detail}};
    case ReceiveEnd::Vanished:
        return {"die Schnittstelle %1 ist nicht mehr da", {port}};
    case ReceiveEnd::LineError:
        return {"Übertragungsfehler (Rahmen oder Parität) auf %1", {port}};
    case ReceiveEnd::ReadFailed:
        return {"Lesen von %1 fehlgeschlagen: %2", {port, detail}};
    case ReceiveEnd::EndCharacter:
    case ReceiveEnd::Stopped:
    case ReceiveEnd::Idle:
        break;
    }
    return {};
}

} // namespace morvilo::dnc
