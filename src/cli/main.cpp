#include "cli/checkedoutput.h"
#include "cli/cli.h"
#include "cli/clitext.h"
#include "cli/stopsignal.h"

#include "frontend/progpath.h"

#include <QCoreApplication>

#include <csignal>
#include <iostream>
#include <unistd.h>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);                // picture format plugins are found through it
    QCoreApplication::setApplicationName("Morvilo"); // the window's settings folder
    std::ios::sync_with_stdio(false);
    using namespace morvilo;
    const std::string settings =
        ProgramDataFolder(QCoreApplication::applicationDirPath().toStdString());
    cli::SetSettingsFolder(settings);
    cli::SetCliLanguage(cli::ChosenLanguage(settings));
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    // Every write to the standard output is checked: a full disk or an I/O error ends the
    // command with the reason and status 1, whatever the command.
    cli::CheckedOutput standardOutput(STDOUT_FILENO);
    std::ostream out(&standardOutput);
    const int status = cli::CheckOutputAtEnd(cli::RunCli(arguments, out, std::cerr), out,
                                             standardOutput, std::cerr);
    if (const int signal = cli::StopSignal()) {
        // Stopped cleanly: end as the signal ends a program, so that a calling shell stops too.
        std::cerr.flush();
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
    return status;
}
