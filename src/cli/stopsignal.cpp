#include "cli/stopsignal.h"

#include "cli/cli.h"
#include "cli/clitext.h"

#include <algorithm>
#include <csignal>
#include <unistd.h>

namespace morvilo::cli {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM};
constexpr size_t kSignalCount = std::size(kSignals);

volatile std::sig_atomic_t stopSignal = 0;
volatile std::sig_atomic_t stopScopes = 0;

// What an immediate end writes, prepared outside the handler (which may only write it).
struct Farewell {
    char text[512];
    size_t length;
};
Farewell farewells[kSignalCount];
struct sigaction previous[kSignalCount];

size_t indexOf(int signal) {
    return signal == SIGINT ? 0 : 1;
}

std::string stoppedText(int signal) {
    return cliText("Durch das Signal %1 abgebrochen.", {SignalName(signal)});
}

void onSignal(int signal) {
    if (stopScopes > 0 && stopSignal == 0) {
        stopSignal = signal;
        return;
    }
    const Farewell &farewell = farewells[indexOf(signal)];
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, farewell.text, farewell.length);
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ::sigaction(signal, &fallback, nullptr);
    ::raise(signal); // delivered when the handler returns
}

} // namespace

SignalHandling::SignalHandling() {
    stopSignal = 0;
    for (const int signal : kSignals) {
        const std::string text = "morvilo-cli: " + stoppedText(signal) + "\n";
        Farewell &farewell = farewells[indexOf(signal)];
        farewell.length = std::min(text.size(), sizeof farewell.text);
        std::copy_n(text.data(), farewell.length, farewell.text);
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    action.sa_flags = SA_RESTART; // output in progress goes on; the command polls
    sigemptyset(&action.sa_mask);
    for (const int signal : kSignals)
        sigaddset(&action.sa_mask, signal);
    for (const int signal : kSignals)
        ::sigaction(signal, &action, &previous[indexOf(signal)]);
}

SignalHandling::~SignalHandling() {
    for (const int signal : kSignals)
        ::sigaction(signal, &previous[indexOf(signal)], nullptr);
}

StopOnSignal::StopOnSignal() {
    stopScopes = stopScopes + 1;
}

StopOnSignal::~StopOnSignal() {
    stopScopes = stopScopes - 1;
}

int StopSignal() {
    return stopSignal;
}

std::string SignalName(int signal) {
    return signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : std::to_string(signal);
}

int StoppedStatus() {
    return 128 + StopSignal();
}

std::string StoppedText() {
    return stoppedText(StopSignal());
}

} // namespace morvilo::cli
