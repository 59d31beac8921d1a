// morvilo-cli dxf [dialect options] PROGRAM OUTPUT: the DXF export in batch use. The program runs
// through the same interpreter as the window and its plot list is written as the window's
// "DXF Export..." writes it. OUTPUT is created only once the run has reached the program's end,
// and replaced only once the whole drawing is written.

#include "cli/cli.h"
#include "cli/clitext.h"
#include "cli/options.h"
#include "cli/programrun.h"
#include "cli/stopsignal.h"

#include "vantrel/outputfile.h"
#include "view/dxfexport.h"

namespace morvilo::cli {

namespace {

std::string dxfUsage() {
    return UsageText("morvilo-cli dxf [options] PROGRAM OUTPUT",
                     {cliText("Interpretiert das G-Code-Programm PROGRAM und schreibt seinen "
                              "Werkzeugweg als DXF-Zeichnung nach OUTPUT.")},
                     ProgramRunUsage());
}

// Why the output file failed, in words.
std::string reason(const OutputFile &file) {
    return SystemReason(file.ErrorNumber());
}

} // namespace

int RunDxf(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err) {
    ProgramRunOptions options;
    std::string error;
    const bool parsed = ParseProgramRunOptions(
        arguments, 2, cliText("erwartet: PROGRAM und OUTPUT"), options, error);
    if (auto done = UsageOutcome("dxf", parsed, options.help, error, dxfUsage(), out, err))
        return *done;
    TPlotList lines;
    if (const int status = RunProgram("dxf", options, lines, err); status != kSuccess)
        return status;
    const std::string &output = options.positional[1];
    OutputFile file;
    if (!file.Open(output, OutputFile::Mode::Replace)) {
        err << "morvilo-cli dxf: "
            << cliText("%1 kann nicht angelegt werden: %2", {output, reason(file)}) << "\n";
        return kFailure;
    }
    if (!WriteDXF(lines, file, error)) {
        file.Abandon();
        err << "morvilo-cli dxf: " << cliText(error) << "\n";
        return kFailure;
    }
    if (StopSignal() != 0) {
        file.Abandon();
        err << "morvilo-cli dxf: " << StoppedText() << "\n";
        return StoppedStatus();
    }
    if (!file.Commit()) {
        err << "morvilo-cli dxf: "
            << cliText("%1 kann nicht geschrieben werden: %2", {output, reason(file)}) << "\n";
        return kFailure;
    }
    return kSuccess;
}

} // namespace morvilo::cli
