#pragma once
// The headless interpreter run behind the commands that work on a program's plot list (plot,
// dxf): their dialect options, and the run through the same interpreter as the window's.

#include "interpreter/dialectoptions.h"
#include "interpreter/plotlist.h"

#include <ostream>
#include <string>
#include <vector>

namespace morvilo::cli {

// The usage lines of the dialect options.
extern const char *const kDialectOptionsUsage;

struct ProgramRunOptions {
    DialectOptions dialect;
    bool diameter = false; // the lathe diameter view
    std::vector<std::string> positional;
    bool help = false;
};

// Reads the dialect options, --help and the positional arguments, of which there must be
// `count` (named `names` in the message) unless --help was given. False with a message in error
// for an unknown or malformed option or another number of positional arguments.
bool ParseProgramRunOptions(const std::vector<std::string> &arguments, size_t count,
                            const std::string &names, ProgramRunOptions &options,
                            std::string &error);

// Interprets the G-code file program into lines, loading subprogram files from the subprogram
// folder; macro output (#3000, #3006) and the reason of an early end go to log (standard error
// when null). False when the file cannot be opened.
bool RunProgram(const ProgramRunOptions &options, const std::string &program, TPlotList &lines,
                std::ostream *log = nullptr);

} // namespace morvilo::cli
