#include "cli/cli.h"

namespace morvilo::cli {

namespace {

constexpr const char *kCommandsUsage =
    "usage: morvilo-cli COMMAND [arguments]\n"
    "Commands:\n"
    "  relief PICTURE OUTPUT [options]   turn a picture into relief-milling G-code\n"
    "  eval [--var N=VALUE ...] EXPRESSION   evaluate an expression as the calculator does\n"
    "  plot [dialect options] PROGRAM    print the plot list of a G-code program as CSV\n"
    "  dxf [dialect options] PROGRAM OUTPUT   write the tool path of a program as DXF\n"
    "  format COMMAND [options] PROGRAM  print the program renumbered or cleaned up\n"
    "  send PROGRAM --port DEVICE [line settings]   send a program over a serial port\n"
    "Run 'morvilo-cli COMMAND --help' for a command's options.\n";

} // namespace

int RunCli(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err) {
    if (arguments.empty()) {
        err << kCommandsUsage;
        return kUsage;
    }
    const std::string &command = arguments[0];
    const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
    if (command == "--help" || command == "-h" || command == "help") {
        out << kCommandsUsage;
        return kSuccess;
    }
    if (command == "relief")
        return RunRelief(rest, out, err);
    if (command == "eval")
        return RunEval(rest, out, err);
    if (command == "plot")
        return RunPlot(rest, out, err);
    if (command == "dxf")
        return RunDxf(rest, out, err);
    if (command == "format")
        return RunFormat(rest, out, err);
    if (command == "send")
        return RunSend(rest, out, err);
    err << "morvilo-cli: unknown command: " << command << "\n" << kCommandsUsage;
    return kUsage;
}

} // namespace morvilo::cli
