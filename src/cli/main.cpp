#include "cli/cli.h"

#include <QCoreApplication>

#include <iostream>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv); // picture format plugins are found through it
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const int status = morvilo::cli::RunCli(arguments, std::cout, std::cerr);
    std::cout.flush();
    return status;
}
