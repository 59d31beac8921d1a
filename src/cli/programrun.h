#pragma once
// The headless interpreter run behind the commands that work on a program's plot list (plot,
// dxf): their dialect options and bounds, and the run through the same interpreter as the
// window's.

#include "cli/options.h"

#include "interpreter/dialectoptions.h"
#include "interpreter/plotlist.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace morvilo {
struct RunLog;
class TEditorCore;
} // namespace morvilo

namespace morvilo::cli {

// Bounds of a run that every real program stays within. 100 million points fill about 10 GB.
// A program without jumps, loops or calls reads at most one block a byte, so the block bound is
// never below the program's size.
inline constexpr uint64_t kDefaultMaxPoints = 100'000'000;
inline constexpr uint64_t kDefaultMaxBlocks = 100'000'000;

struct ProgramRunOptions {
    DialectOptions dialect;
    uint64_t maxPoints = kDefaultMaxPoints; // records of the plot list
    uint64_t maxBlocks = 0; // blocks read, repeats counted; 0: the default for the program
    std::vector<std::string> positional;
    bool help = false;
};

// The usage lines of the dialect options and the bounds.
std::vector<UsageItem> ProgramRunUsage();

// Reads the dialect options, the bounds, --help and the positional arguments, of which there
// must be `count` (else `expected` is the message) unless --help was given. False with a message
// in error for an unknown or malformed option or another number of positional arguments.
// A command's own options: nothing when the option is not one of them, else whether it read.
using MoreOptions = std::function<std::optional<bool>(OptionReader &reader, std::string &error)>;
bool ParseProgramRunOptions(const std::vector<std::string> &arguments, size_t count,
                            const std::string &expected, ProgramRunOptions &options,
                            std::string &error, const MoreOptions &more = {});

// Opens the G-code file path into core, with the texts in the run's language. False with
// "cannot open PATH: REASON" in error (a missing file, a folder, a device).
bool OpenProgram(TEditorCore &core, const std::string &path, std::string &error);

// Interprets the G-code file options.positional[0] into lines, loading subprogram files from
// the subprogram folder; macro output (#3000, #3006) goes to log. kSuccess when the run reached
// the program's end. Otherwise the exit status, with the message on log after
// "morvilo-cli COMMAND: ": kFailure when the file cannot be opened, the run passed a bound or
// was cut short (call nesting, memory), StoppedStatus() when SIGINT or SIGTERM stopped it (the
// caller holds a StopOnSignal scope). With a run log the run fills it too.
int RunProgram(const char *command, const ProgramRunOptions &options, TPlotList &lines,
               std::ostream &log, RunLog *runLog = nullptr);

} // namespace morvilo::cli
