#include "dnc/transfer.h"

#include "editor/editorcore.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <thread>

namespace morvilo::dnc {

namespace {

constexpr int kWaitMs = 50;

class Sender {
public:
    Sender(SerialApi &api, const TransferCallback &keepGoing, double timeout)
        : api(api), keepGoing(keepGoing), timeout(timeout) {}
    Sender(const Sender &) = delete;
    Sender &operator=(const Sender &) = delete;
    ~Sender() { close(); }

    TransferResult Run(TEditorCore &core, const TransferSettings &settings) {
        result.progress.size = core.size();
        if (open(settings)) {
            sendLines(core, settings.lineEnd);
            // The lines written go out, also those before a failed write, before the port gets
            // its settings back.
            if (!result.cancelled && !result.timedOut)
                drain();
        }
        close();
        return result;
    }

private:
    bool fail(int message) {
        result.message = message;
        result.error = errno;
        return false;
    }

    bool ask() {
        if (stalled()) {
            result.timedOut = true;
            return false;
        }
        if (!keepGoing || keepGoing(result.progress))
            return true;
        result.cancelled = true;
        return false;
    }

    // Neither a byte written nor the driver's queue shorter for the timeout.
    bool stalled() {
        const auto now = std::chrono::steady_clock::now();
        if (result.progress.bytes != movedBytes || result.progress.queued != movedQueued) {
            movedBytes = result.progress.bytes;
            movedQueued = result.progress.queued;
            lastMove = now;
        }
        return timeout > 0 && std::chrono::duration<double>(now - lastMove).count() >= timeout;
    }

    bool open(const TransferSettings &settings) {
        fd = api.Open(settings.device);
        if (fd < 0)
            return fail(kMsgPortOpenFailed);
        if (api.GetAttr(fd, portSettings) != 0)
            return fail(kMsgPortQueryFailed);
        restore = true;
        termios t = portSettings;
        ApplyLineSettings(settings.indices, t);
        ApplyHandshake(settings.handshake, t);
        // The text goes out byte for byte: no output processing such as LF to CR LF.
        t.c_oflag &= ~tcflag_t(OPOST);
        if (api.SetAttr(fd, t) != 0)
            return fail(kMsgPortSetFailed);
        return true;
    }

    // The lines are read by position, so that something else using the editor's line reader
    // while the window is kept alive cannot make the transfer skip or repeat lines.
    bool sendLines(TEditorCore &core, LineEnd lineEnd) {
        const std::string_view end = LineEndBytes(lineEnd);
        std::string block;
        core.FirstLine();
        for (int64_t next = 0;;) {
            core.lpos = next;
            if (!core.NextLine())
                return true;
            next = core.lpos;
            lineBytes(core, block);
            block.append(end);
            result.progress.position = next;
            if (!writeAll(block))
                return false;
            ++result.progress.lines;
            if (!ask())
                return false;
        }
    }

    // The line's bytes as the file holds them. The line reader leaves out 0 bytes; a control
    // may take them (tape leader) or not, but the transfer sends what was written.
    static void lineBytes(TEditorCore &core, std::string &block) {
        int64_t end = core.lpos; // back over the line break, if the line has one
        if (end > core.olpos && core.ByteAt(end - 1) == '\n')
            --end;
        if (end > core.olpos && core.ByteAt(end - 1) == '\r')
            --end;
        if (end - core.olpos == int64_t(core.line.size())) {
            block.assign(core.line); // no 0 byte in the line
            return;
        }
        block.resize(size_t(end - core.olpos));
        core.mem().CopyOut(core.olpos, end - core.olpos, reinterpret_cast<uint8_t *>(block.data()));
    }

    bool writeAll(const std::string &block) {
        size_t done = 0;
        while (done < block.size()) {
            const ssize_t written = api.Write(fd, block.data() + done, block.size() - done);
            if (written > 0) {
                result.progress.waiting = false;
                done += size_t(written);
                result.progress.bytes += written;
                continue;
            }
            if (written < 0 && errno == EINTR)
                continue;
            if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                return fail(kMsgNotAllSent);
            result.progress.waiting = true;
            if (!ask()) // the machine holds the line: wait as long as the user does
                return false;
            api.WaitWritable(fd, kWaitMs);
        }
        return true;
    }

    // Closing waits for the driver's buffer without a way out; wait here instead.
    void drain() {
        while ((result.progress.queued = api.Pending(fd)) > 0 && ask())
            std::this_thread::sleep_for(std::chrono::milliseconds(kWaitMs));
    }

    // Only a cancel drops what is still queued. The port gets back the settings it had, so that
    // nothing else finds it changed (output processing off, another baud rate).
    void close() {
        if (fd < 0)
            return;
        if (result.cancelled || result.timedOut)
            api.Discard(fd);
        if (restore)
            api.SetAttr(fd, portSettings);
        api.Close(fd);
        fd = -1;
    }

    SerialApi &api;
    const TransferCallback &keepGoing;
    const double timeout;
    int64_t movedBytes = 0, movedQueued = 0;
    std::chrono::steady_clock::time_point lastMove = std::chrono::steady_clock::now();
    TransferResult result;
    int fd = -1;
    termios portSettings{}; // as the port had them before the transfer
    bool restore = false;
};

} // namespace

TransferSettings StoredTransferSettings(const PortOptions &options, const std::string &progpath,
                                        bool *damaged) {
    const PortFile file = ReadPortDat(progpath + "port.dat");
    const DncFile dnc = ReadDncDat(progpath + kDncDatName, damaged);
    return {TransferDevice(options, file), LineSettings(options, dnc), file.lineEnd, dnc.handshake,
            dnc.timeout};
}

TransferResult SendText(TEditorCore &core, const TransferSettings &settings,
                        const TransferCallback &keepGoing, SerialApi &api) {
    Sender sender(api, keepGoing, settings.timeout);
    return sender.Run(core, settings);
}

UserMessage TransferTimeoutMessage(const TransferResult &result, double timeout) {
    char seconds[32];
    char *end = std::to_chars(seconds, seconds + sizeof seconds, timeout).ptr;
    return {"Übertragung abgebrochen: %1 s lang kein Fortschritt; %2 Zeilen gesendet.",
            {std::string(seconds, end), std::to_string(result.progress.lines)}};
}

} // namespace morvilo::dnc
