// morvilo-cli plot [dialect options] PROGRAM: the backplot in batch use. The program runs through
// the same interpreter as the window, without drawing, and the plot list is printed as CSV.

#include "cli/cli.h"
#include "cli/options.h"

#include "editor/editorcore.h"
#include "expressions/variablestore.h"
#include "interpreter/calcrun.h"
#include "interpreter/linetext.h"
#include "view/viewstate.h"

#include <charconv>
#include <memory>

namespace morvilo::cli {

namespace {

constexpr const char *kPlotUsage =
    "usage: morvilo-cli plot [options] PROGRAM\n"
    "Interprets the G-code PROGRAM and prints its plot list as CSV.\n"
    "  --machine mill|lathe-a|lathe-b   machine type (mill)\n"
    "  --haas                       bolt patterns on G70/G71/G72 instead of G34/G36/G35\n"
    "  --abs-arc-centres            I, J, K of arcs are absolute centre coordinates\n"
    "  --ijk-modal                  I, J, K keep their values from block to block\n"
    "  --ijk-incremental            an I, J or K word adds to its value\n"
    "  --square-bracket-comments    comments in [], expressions in ()\n"
    "  --block-delete               skip lines starting with /\n"
    "  --subprogram-folder DIR      folder of subprogram files\n"
    "  --diameter                   lathe diameter view: X words are diameters\n";

struct PlotOptions {
    DialectOptions dialect;
    bool diameter = false;
    std::vector<std::string> positional;
    bool help = false;
};

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

bool readOption(OptionReader &reader, PlotOptions &o, std::string &error) {
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

bool parse(const std::vector<std::string> &arguments, PlotOptions &o, std::string &error) {
    OptionReader reader(arguments);
    while (reader.Next()) {
        if (!reader.IsOption())
            o.positional.push_back(reader.Argument());
        else if (!readOption(reader, o, error))
            return false;
    }
    if (!o.help && o.positional.size() != 1) {
        error = "expected one PROGRAM";
        return false;
    }
    return true;
}

// Shortest text that reads back as the same double.
void appendNumber(std::string &out, double value) {
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    out.append(text, written.ptr);
}

void appendInteger(std::string &out, int64_t value) {
    char text[24];
    const auto written = std::to_chars(text, text + sizeof text, value);
    out.append(text, written.ptr);
}

void printPlot(const TPlotList &lines, std::ostream &out) {
    out << "typ,zeilevon,zeilebis,x,y,z,a,b,c,u,v,w,col,style\n";
    std::string row;
    for (uint32_t k = 0; k < lines.Count(); ++k) {
        const t9dline &p = lines[k];
        row.clear();
        appendInteger(row, p.typ);
        for (const int64_t offset : {p.zeilevon, p.zeilebis}) {
            row += ',';
            appendInteger(row, offset);
        }
        for (const double value : {p.x, p.y, p.z, p.a, p.b, p.c, p.u, p.v, p.w}) {
            row += ',';
            appendNumber(row, value);
        }
        row += ',';
        appendInteger(row, p.col);
        row += ',';
        appendInteger(row, p.style);
        row += '\n';
        out << row;
    }
}

// The bracket characters are process-wide; the command puts them back when it is done.
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

int RunPlot(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err) {
    PlotOptions options;
    std::string error;
    if (!parse(arguments, options, error)) {
        err << "morvilo-cli plot: " << error << "\n" << kPlotUsage;
        return kUsage;
    }
    if (options.help) {
        out << kPlotUsage;
        return kSuccess;
    }
    TEditorCore memo1;
    if (!memo1.OpenFileWithName(options.positional[0])) {
        err << "morvilo-cli plot: cannot open " << options.positional[0] << "\n";
        return kFailure;
    }
    const BracketOption brackets(options.dialect.otherbreakets);
    TPlotList lines;
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
    CalcBtnClick(env);
    printPlot(lines, out);
    return out ? kSuccess : kFailure;
}

} // namespace morvilo::cli
