// morvilo-cli dxf [dialect options] PROGRAM OUTPUT: the DXF export in batch use. The program runs
// through the same interpreter as the window and its plot list is written as the window's
// "DXF Export..." writes it.

#include "cli/cli.h"
#include "cli/options.h"
#include "cli/programrun.h"

#include "view/dxfexport.h"

namespace morvilo::cli {

namespace {

const std::string kDxfUsage = std::string("usage: morvilo-cli dxf [options] PROGRAM OUTPUT\n"
                                          "Interprets the G-code PROGRAM and writes its tool "
                                          "path as a DXF drawing into OUTPUT.\n") +
                              kDialectOptionsUsage;

} // namespace

int RunDxf(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err) {
    ProgramRunOptions options;
    std::string error;
    const bool parsed = ParseProgramRunOptions(arguments, 2, "PROGRAM and OUTPUT", options, error);
    if (auto done = UsageOutcome("dxf", parsed, options.help, error, kDxfUsage, out, err))
        return *done;
    TPlotList lines;
    if (!RunProgram(options, options.positional[0], lines)) {
        err << "morvilo-cli dxf: cannot open " << options.positional[0] << "\n";
        return kFailure;
    }
    error = DXFExport(lines, options.positional[1]);
    if (!error.empty()) {
        err << "morvilo-cli dxf: " << error << "\n";
        return kFailure;
    }
    return kSuccess;
}

} // namespace morvilo::cli
