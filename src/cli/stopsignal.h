#pragma once
// SIGINT and SIGTERM during a batch command. A command that can end cleanly (no output file
// under the output's name, the port put back) runs inside a StopOnSignal scope and polls
// StopSignal() while it works: there the first signal only asks it to stop. Outside such a scope,
// and at a second signal, the program says why on stderr and ends at once through the signal's
// default action.

#include <string>

namespace morvilo::cli {

// Catches the two signals while it lives (RunCli holds one for the whole command) and forgets
// an earlier request to stop. The message of an immediate end is taken from cliText now.
class SignalHandling {
public:
    SignalHandling();
    ~SignalHandling();
    SignalHandling(const SignalHandling &) = delete;
    SignalHandling &operator=(const SignalHandling &) = delete;
};

// While one lives, a signal asks the command to stop instead of ending the program.
class StopOnSignal {
public:
    StopOnSignal();
    ~StopOnSignal();
    StopOnSignal(const StopOnSignal &) = delete;
    StopOnSignal &operator=(const StopOnSignal &) = delete;
};

// The signal that asked the command to stop; 0 when none did.
int StopSignal();
// "SIGINT" or "SIGTERM".
std::string SignalName(int signal);
// The exit status of a command a signal stopped: 128 + the signal, as the shell reports it.
int StoppedStatus();
// "stopped by signal SIGINT" in the run's language, for the command's message.
std::string StoppedText();

} // namespace morvilo::cli
