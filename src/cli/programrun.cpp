#include "cli/programrun.h"

#include "cli/cli.h"
#include "cli/clitext.h"
#include "cli/stopsignal.h"

#include "editor/editorcore.h"
#include "frontend/headlessrun.h"
#include "interpreter/runlog.h"
#include "vantrel/dynaarray.h"
#include "vantrel/numberparse.h"

#include <algorithm>
#include <optional>

namespace morvilo::cli {

namespace {

bool readMachine(OptionReader &reader, DialectOptions &dialect, std::string &error) {
    std::string value;
    if (!reader.Value(value)) {
        error = NeedsValue(reader);
        return false;
    }
    if (value == "mill")
        dialect.machine = MachineType::Mill;
    else if (value == "lathe-a")
        dialect.machine = MachineType::Dreh1;
    else if (value == "lathe-b")
        dialect.machine = MachineType::Dreh2;
    else {
        error = cliText("--machine: nicht mill, lathe-a oder lathe-b: %1", {value});
        return false;
    }
    return true;
}

bool readBound(OptionReader &reader, uint64_t &bound, std::string &error) {
    std::string text;
    int64_t value = 0;
    if (!reader.Value(text)) {
        error = NeedsValue(reader);
        return false;
    }
    if (!ParseInteger(text, value) || value < 1) {
        error = cliText("--%1: keine ganze Zahl ab 1: %2", {reader.Name(), text});
        return false;
    }
    bound = uint64_t(value);
    return true;
}

bool readOption(OptionReader &reader, ProgramRunOptions &o, std::string &error) {
    if (reader.Is("machine"))
        return readMachine(reader, o.dialect, error);
    if (reader.Is("max-points"))
        return readBound(reader, o.maxPoints, error);
    if (reader.Is("max-blocks"))
        return readBound(reader, o.maxBlocks, error);
    if (reader.Is("subprogram-folder")) {
        if (!reader.Value(o.dialect.subprogramFolder)) {
            error = NeedsValue(reader);
            return false;
        }
        return true;
    }
    const struct {
        const char *name;
        bool *target;
    } flags[] = {{"haas", &o.dialect.Haas},
                 {"abs-arc-centres", &o.dialect.absolutecheck},
                 {"ijk-modal", &o.dialect.IJKsindModal1},
                 {"ijk-incremental", &o.dialect.IJKsindInkremental1},
                 {"square-bracket-comments", &o.dialect.otherbreakets},
                 {"block-delete", &o.dialect.donotprocessdeletedlines},
                 {"cycles-to-scale", &o.dialect.cyclesToScale},
                 {"diameter", &o.dialect.diametermode},
                 {"help", &o.help}};
    for (const auto &flag : flags) {
        if (!reader.Is(flag.name))
            continue;
        if (reader.HasInlineValue()) {
            error = TakesNoValue(reader);
            return false;
        }
        *flag.target = true;
        return true;
    }
    error = UnknownOption(reader);
    return false;
}

// A plot list or call stack that could not grow. The handler is a plain function: the run in
// progress learns of it through these.
bool allocationFailed = false;
std::ostream *allocationLog = nullptr;
std::string allocationPrefix;

void noteAllocationFailure(const std::string &message) {
    allocationFailed = true;
    // "Error while trying to allocate N bytes of RAM. Not enough memory."
    const size_t digits = message.find_first_of("0123456789");
    const std::string bytes =
        digits == std::string::npos
            ? std::string("?")
            : message.substr(digits, message.find_first_not_of("0123456789", digits) - digits);
    *allocationLog << allocationPrefix
                   << cliText("Fehler beim Anfordern von %1 Bytes Arbeitsspeicher. Nicht genug "
                              "Speicher.",
                              {bytes})
                   << "\n";
}

class AllocationFailures {
public:
    AllocationFailures(std::ostream &log, const std::string &prefix) {
        allocationFailed = false;
        allocationLog = &log;
        allocationPrefix = prefix;
        SetAllocationFailureHandler(noteAllocationFailure);
    }
    ~AllocationFailures() {
        SetAllocationFailureHandler(nullptr);
        allocationLog = nullptr;
    }
    AllocationFailures(const AllocationFailures &) = delete;
    AllocationFailures &operator=(const AllocationFailures &) = delete;
};

} // namespace

std::vector<UsageItem> ProgramRunUsage() {
    return {
        {"--machine mill|lathe-a|lathe-b", cliText("Maschinentyp (mill)")},
        {"--haas", cliText("Lochbilder auf G70/G71/G72 statt G34/G36/G35")},
        {"--abs-arc-centres", cliText("I, J, K von Kreisbögen sind absolute Mittelpunkte")},
        {"--ijk-modal", cliText("I, J, K behalten ihre Werte von Satz zu Satz")},
        {"--ijk-incremental", cliText("ein I-, J- oder K-Wort addiert sich zu seinem Wert")},
        {"--square-bracket-comments", cliText("Kommentare in [], Ausdrücke in ()")},
        {"--block-delete", cliText("Zeilen, die mit / beginnen, überspringen")},
        {"--cycles-to-scale", cliText("Bohrzyklen maßstäblich: R-Ebene, Tiefe und Rückzug")},
        {"--subprogram-folder DIR", cliText("Ordner der Unterprogrammdateien")},
        {"--diameter", cliText("Drehen im Durchmesser: X-Wörter sind Durchmesser")},
        {"--max-points N",
         cliText("höchstens N Punkte in der Plotliste (%1)", {std::to_string(kDefaultMaxPoints)})},
        {"--max-blocks N", cliText("höchstens N ausgeführte Sätze, Wiederholungen mitgezählt (%1 "
                                   "oder die Größe des Programms in Bytes, wenn sie größer ist)",
                                   {std::to_string(kDefaultMaxBlocks)})},
    };
}

bool ParseProgramRunOptions(const std::vector<std::string> &arguments, size_t count,
                            const std::string &expected, ProgramRunOptions &options,
                            std::string &error, const MoreOptions &more) {
    if (!ReadArguments(arguments, options.positional, error,
                       [&](OptionReader &reader, std::string &e) {
                           if (more)
                               if (const std::optional<bool> read = more(reader, e))
                                   return *read;
                           return readOption(reader, options, e);
                       }))
        return false;
    if (!options.help && options.positional.size() != count) {
        error = expected;
        return false;
    }
    return true;
}

bool OpenProgram(TEditorCore &core, const std::string &path, std::string &error) {
    const UserMessage problem =
        OpenProgramFile(core, path, [](const std::string &text) { return cliText(text); });
    if (problem.empty())
        return true;
    error = cliText(problem);
    return false;
}

int RunProgram(const char *command, const ProgramRunOptions &options, TPlotList &lines,
               std::ostream &log, RunLog *runLog) {
    const std::string prefix = "morvilo-cli " + std::string(command) + ": ";
    // The plot list and, when asked for, the run log are the run's consumers.
    PlotListWriter plotList(lines, runLog != nullptr);
    std::optional<RunLogWriter> logWriter;
    if (runLog)
        logWriter.emplace(*runLog);
    MotionFanOut motion{&plotList, logWriter ? &*logWriter : nullptr};
    HeadlessRun run;
    run.path = options.positional[0];
    run.dialect = options.dialect;
    run.motion = &motion;
    run.points = &lines;
    run.maxPoints = options.maxPoints;
    run.maxBlocks = options.maxBlocks > 0 ? options.maxBlocks : kDefaultMaxBlocks;
    run.blocksAtLeastBytes = options.maxBlocks == 0;
    run.stop = [] { return StopSignal() != 0; };
    run.setBrackets = true;
    run.subprograms = true;
    run.translate = [](const std::string &text) { return cliText(text); };
    run.message = [&log](const std::string &caption, const std::string &text) {
        // "Makro Ausgabe 12": the words pass the lookup, the variable's number stays.
        const size_t space = std::min(caption.rfind(' '), caption.size());
        log << cliText(caption.substr(0, space)) << caption.substr(space) << ": " << text << '\n';
    };
    bool cutShort = false; // the run says why it ends early
    run.notice = [&](const UserMessage &message) {
        cutShort = true;
        log << prefix << cliText(message) << '\n';
    };
    HeadlessOutcome outcome;
    {
        const AllocationFailures allocation(log, prefix);
        outcome = RunHeadless(run);
        cutShort = cutShort || allocationFailed;
    }
    if (!outcome.opened) {
        log << prefix << cliText(outcome.notOpened) << "\n";
        return kFailure;
    }
    if (outcome.stopped) {
        log << prefix << StoppedText() << "\n";
        return StoppedStatus();
    }
    if (outcome.pastPoints) {
        log << prefix
            << cliText("Der Lauf hat mehr als %1 Punkte erzeugt und wurde beendet; --max-points N "
                       "hebt die Grenze an.",
                       {std::to_string(options.maxPoints)})
            << "\n";
        return kFailure;
    }
    if (outcome.pastBlocks) {
        log << prefix
            << cliText("Der Lauf hat mehr als %1 Sätze ausgeführt und wurde beendet; --max-blocks "
                       "N hebt die Grenze an.",
                       {std::to_string(outcome.maxBlocks)})
            << "\n";
        return kFailure;
    }
    if (cutShort) {
        log << prefix << cliText("Der Lauf hat das Programmende nicht erreicht.") << "\n";
        return kFailure;
    }
    return kSuccess;
}

} // namespace morvilo::cli
