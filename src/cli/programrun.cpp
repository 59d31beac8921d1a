#include "cli/programrun.h"

#include "cli/options.h"

#include "editor/editorcore.h"
#include "expressions/variablestore.h"
#include "interpreter/calcrun.h"
#include "interpreter/subprogrameditors.h"
#include "linetext/linetext.h"
#include "view/viewstate.h"

#include <iostream>
#include <memory>

namespace morvilo::cli {

const char *const kDialectOptionsUsage =
    "  --machine mill|lathe-a|lathe-b   machine type (mill)\n"
    "  --haas                       bolt patterns on G70/G71/G72 instead of G34/G36/G35\n"
    "  --abs-arc-centres            I, J, K of arcs are absolute centre coordinates\n"
    "  --ijk-modal                  I, J, K keep their values from block to block\n"
    "  --ijk-incremental            an I, J or K word adds to its value\n"
    "  --square-bracket-comments    comments in [], expressions in ()\n"
    "  --block-delete               skip lines starting with /\n"
    "  --subprogram-folder DIR      folder of subprogram files\n"
    "  --diameter                   lathe diameter view: X words are diameters\n";

namespace {

bool readMachine(OptionReader &reader, DialectOptions &dialect, std::string &error) {
    std::string value;
    if (!reader.Value(value)) {
        error = "--machine needs a value";
        return false;
    }
    if (value == "mill")
        dialect.machine = MachineType::Mill;
    else if (value == "lathe-a")
        dialect.machine = MachineType::Dreh1;
    else if (value == "lathe-b")
        dialect.machine = MachineType::Dreh2;
    else {
        error = "--machine: not mill, lathe-a or lathe-b: " + value;
        return false;
    }
    return true;
}

bool readOption(OptionReader &reader, ProgramRunOptions &o, std::string &error) {
    if (reader.Is("machine"))
        return readMachine(reader, o.dialect, error);
    if (reader.Is("subprogram-folder")) {
        if (!reader.Value(o.dialect.subprogramFolder)) {
            error = "--subprogram-folder needs a value";
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
                 {"diameter", &o.diameter},
                 {"help", &o.help}};
    for (const auto &flag : flags) {
        if (!reader.Is(flag.name))
            continue;
        if (reader.HasInlineValue()) {
            error = "--" + std::string(flag.name) + " takes no value";
            return false;
        }
        *flag.target = true;
        return true;
    }
    error = "unknown option: " + reader.Argument();
    return false;
}

// The bracket characters are process-wide; the run puts them back when it is done.
class BracketOption {
public:
    explicit BracketOption(bool squareComments) : old(Brackets().commleft == '[') {
        SetSquareBracketComments(squareComments);
    }
    ~BracketOption() { SetSquareBracketComments(old); }
    BracketOption(const BracketOption &) = delete;
    BracketOption &operator=(const BracketOption &) = delete;

private:
    bool old;
};

} // namespace

bool ParseProgramRunOptions(const std::vector<std::string> &arguments, size_t count,
                            const std::string &names, ProgramRunOptions &options,
                            std::string &error) {
    if (!ReadArguments(
            arguments, options.positional, error,
            [&](OptionReader &reader, std::string &e) { return readOption(reader, options, e); }))
        return false;
    if (!options.help && options.positional.size() != count) {
        error = "expected " + names;
        return false;
    }
    return true;
}

bool RunProgram(const ProgramRunOptions &options, const std::string &program, TPlotList &lines,
                std::ostream *log) {
    std::ostream &logged = log ? *log : std::cerr;
    TEditorCore memo1;
    if (!memo1.OpenFileWithName(program))
        return false;
    const BracketOption brackets(options.dialect.otherbreakets);
    auto variables = std::make_unique<VariableStore>();
    RunFlags flags;
    ViewState view;
    view.diametermode = options.diameter;
    CalcEnvironment env;
    env.memo1 = &memo1;
    env.lines = &lines;
    env.options = &options.dialect;
    env.variables = variables.get();
    env.flags = &flags;
    env.view = &view;
    // Subprogram files load into editors nobody sees; macro output and the reason of an early
    // end are logged.
    HeadlessSubprogramEditors subeditors;
    env.subeditors = &subeditors;
    env.message = [&logged](const std::string &caption, const std::string &text) {
        logged << caption << ": " << text << '\n';
    };
    env.notice = [&logged](const std::string &text) { logged << text << '\n'; };
    CalcBtnClick(env);
    return true;
}

} // namespace morvilo::cli
