#pragma once
// Work in a child process, for what the test process must not go through itself: a write
// killed half-way, a limit on its memory, a measure of its peak memory.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <exception>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <string>

namespace morvilo::test {

namespace child {

inline void waitFor(pid_t pid, int &status) {
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// A number of kibibytes from /proc/self/status ("VmSize:", "VmHWM:"), in bytes.
inline uint64_t statusBytes(const std::string &key) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key, 0) == 0)
            return std::stoull(line.substr(key.size())) * 1024;
    return 0;
}

} // namespace child

// Runs body in a child process. body returns what went wrong, empty when nothing did. The
// result is body's text, or how the child died.
inline std::string InChildProcess(const std::function<std::string()> &body) {
    int channel[2];
    if (::pipe2(channel, O_CLOEXEC) != 0)
        return "no pipe";
    const pid_t pid = ::fork();
    if (pid < 0)
        return "no child process";
    if (pid == 0) {
        ::close(channel[0]);
        std::string result;
        try { // nothing may escape into the test framework, which would go on in the child
            result = body();
        } catch (const std::exception &e) {
            result = std::string("threw ") + e.what();
        } catch (...) {
            result = "threw";
        }
        if (result.empty())
            result = "ok";
        [[maybe_unused]] const ssize_t written = ::write(channel[1], result.data(), result.size());
        ::_exit(0); // no destructors: the parent's objects belong to the parent
    }
    ::close(channel[1]);
    std::string result;
    char piece[4096];
    for (ssize_t n; (n = ::read(channel[0], piece, sizeof piece)) != 0;) {
        if (n > 0)
            result.append(piece, size_t(n));
        else if (errno != EINTR)
            break;
    }
    ::close(channel[0]);
    int status = 0;
    child::waitFor(pid, status);
    if (WIFSIGNALED(status))
        return "the child died of signal " + std::to_string(WTERMSIG(status)) + " after: " + result;
    return result == "ok" ? std::string() : result.empty() ? "the child said nothing" : result;
}

// Runs work in a child process and kills it (SIGKILL) when it calls ready(), which never
// returns: the child dies in the middle of what it was doing. False when the child ended
// without calling ready().
inline bool KilledWhenReady(const std::function<void(const std::function<void()> &ready)> &work) {
    int channel[2];
    if (::pipe2(channel, O_CLOEXEC) != 0)
        return false;
    const pid_t pid = ::fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        ::close(channel[0]);
        try {
            work([&] {
                [[maybe_unused]] const ssize_t written = ::write(channel[1], "r", 1);
                for (;;)
                    ::pause();
            });
        } catch (...) {
        }
        ::_exit(0);
    }
    ::close(channel[1]);
    char said = 0;
    ssize_t n;
    while ((n = ::read(channel[0], &said, 1)) < 0 && errno == EINTR) {
    }
    ::close(channel[0]);
    ::kill(pid, SIGKILL);
    int status = 0;
    child::waitFor(pid, status);
    return n == 1;
}

// In a child process: caps its address space at what it uses now plus extraBytes, as
// `ulimit -v` does.
inline bool LimitAddressSpace(uint64_t extraBytes) {
    const rlim_t cap = rlim_t(child::statusBytes("VmSize:") + extraBytes);
    const struct rlimit limit { cap, cap };
    return ::setrlimit(RLIMIT_AS, &limit) == 0;
}

// The most resident memory the process has had (VmHWM), in bytes.
inline uint64_t PeakMemory() {
    return child::statusBytes("VmHWM:");
}

} // namespace morvilo::test
