#include "cli/cli.h"
#include "cli/clitext.h"
#include "cli/stopsignal.h"

#include "app/progpath.h"

#include <QCoreApplication>

#include <csignal>
#include <iostream>

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
    const int status = cli::RunCli(arguments, std::cout, std::cerr);
    std::cout.flush();
    if (const int signal = cli::StopSignal()) {
        // Stopped cleanly: end as the signal ends a program, so that a calling shell stops too.
        std::cerr.flush();
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
    return status;
}
