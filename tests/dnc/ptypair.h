#pragma once
// A pair of connected pseudo-terminals made by socat, standing in for a serial line: what is
// written to the sending end arrives at the receiving end.

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace morvilo::test {

class PtyPair {
public:
    static bool SocatAvailable() {
        std::istringstream path(std::getenv("PATH") ? std::getenv("PATH") : "");
        for (std::string folder; std::getline(path, folder, ':');)
            if (!folder.empty() && ::access((folder + "/socat").c_str(), X_OK) == 0)
                return true;
        return false;
    }

    // Starts socat with the links sender and receiver in folder and waits for both.
    explicit PtyPair(const std::filesystem::path &folder)
        : sender_((folder / "A").string()), receiver_((folder / "B").string()) {
        const std::string a = "pty,raw,echo=0,link=" + sender_;
        const std::string b = "pty,raw,echo=0,link=" + receiver_;
        const std::string log = (folder / "socat.log").string();
        pid = ::fork();
        if (pid == 0) {
            const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd >= 0)
                ::dup2(fd, STDERR_FILENO);
            ::execlp("socat", "socat", "-d", "-d", a.c_str(), b.c_str(), nullptr);
            ::_exit(127);
        }
        for (int i = 0; i < 500 && !ready(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~PtyPair() { Stop(); }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool ready() const {
        return pid > 0 && std::filesystem::exists(sender_) && std::filesystem::exists(receiver_);
    }
    const std::string &sender() const { return sender_; }
    const std::string &receiver() const { return receiver_; }

    void Stop() {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }

private:
    std::string sender_;
    std::string receiver_;
    pid_t pid = -1;
};

// The receiving end, open before anything is sent.
class Receiver {
public:
    explicit Receiver(const std::string &device)
        : fd(::open(device.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK)) {}
    ~Receiver() {
        if (fd >= 0)
            ::close(fd);
    }
    Receiver(const Receiver &) = delete;
    Receiver &operator=(const Receiver &) = delete;
    bool ok() const { return fd >= 0; }

    // Everything that arrives until nothing more came for quietMs.
    std::string ReadAll(int quietMs = 300) {
        std::string bytes;
        char buffer[65536];
        pollfd p{fd, POLLIN, 0};
        while (::poll(&p, 1, quietMs) > 0) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            bytes.append(buffer, size_t(n));
        }
        return bytes;
    }

private:
    int fd;
};

} // namespace morvilo::test
