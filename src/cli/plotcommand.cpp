// morvilo-cli plot [dialect options] PROGRAM: the backplot in batch use. The program runs through
// the same interpreter as the window, without drawing, and the plot list is printed as CSV.

#include "cli/cli.h"
#include "cli/options.h"
#include "cli/programrun.h"

#include <charconv>

namespace morvilo::cli {

namespace {

const std::string kPlotUsage = std::string("usage: morvilo-cli plot [options] PROGRAM\n"
                                           "Interprets the G-code PROGRAM and prints its plot "
                                           "list as CSV.\n") +
                               kDialectOptionsUsage;

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

} // namespace

int RunPlot(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err) {
    ProgramRunOptions options;
    std::string error;
    const bool parsed = ParseProgramRunOptions(arguments, 1, "one PROGRAM", options, error);
    if (auto done = UsageOutcome("plot", parsed, options.help, error, kPlotUsage, out, err))
        return *done;
    TPlotList lines;
    if (!RunProgram(options, options.positional[0], lines, &err)) {
        err << "morvilo-cli plot: cannot open " << options.positional[0] << "\n";
        return kFailure;
    }
    printPlot(lines, out);
    return out ? kSuccess : kFailure;
}

} // namespace morvilo::cli
