#pragma once
// morvilo-cli run as a process of its own, for what only the whole program shows: the language
// it takes from the settings folder, and how it ends at SIGINT and SIGTERM.

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace morvilo::test {

class CliProcess {
public:
    // Starts the program with arguments, MORVILO_HOME set to home, standard output and error
    // into files in folder; the standard output into standardOutput when one is given (such as
    // /dev/full).
    CliProcess(const std::filesystem::path &folder, const std::filesystem::path &home,
               const std::vector<std::string> &arguments,
               const std::filesystem::path &standardOutput = {})
        : outFile(standardOutput.empty() ? folder / "cli.out" : standardOutput),
          errFile(folder / "cli.err") {
        pid = ::fork();
        if (pid != 0)
            return;
        ::setenv("MORVILO_HOME", home.c_str(), 1);
        const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        std::vector<char *> argv{const_cast<char *>(MORVILO_CLI_BINARY)};
        for (const std::string &argument : arguments)
            argv.push_back(const_cast<char *>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(MORVILO_CLI_BINARY, argv.data());
        ::_exit(127);
    }
    ~CliProcess() {
        if (pid > 0 && !ended) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    CliProcess(const CliProcess &) = delete;
    CliProcess &operator=(const CliProcess &) = delete;

    // Waits until the program handles signal itself; false when it ended first or does not
    // within a minute.
    bool WaitUntilCatching(int signal) {
        const std::string status = "/proc/" + std::to_string(pid) + "/status";
        for (int tries = 0; tries < 12000; ++tries) {
            std::ifstream in(status);
            std::string line;
            while (std::getline(in, line)) {
                if (line.rfind("SigCgt:", 0) != 0)
                    continue;
                const unsigned long long caught = std::stoull(line.substr(7), nullptr, 16);
                if (caught >> (signal - 1) & 1)
                    return true;
            }
            if (::waitpid(pid, &status_, WNOHANG) == pid) {
                ended = true;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    void Signal(int signal) { ::kill(pid, signal); }

    // Waits for the end; the wait status.
    int Wait() {
        if (!ended)
            ::waitpid(pid, &status_, 0);
        ended = true;
        return status_;
    }

    std::string Out() const { return read(outFile); }
    std::string Err() const { return read(errFile); }

private:
    static std::string read(const std::filesystem::path &file) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::filesystem::path outFile, errFile;
    pid_t pid = -1;
    int status_ = 0;
    bool ended = false;
};

} // namespace morvilo::test
