// morvilo-cli stats [dialect options] [--profile NAME] [--rapid-rate R] [--accel A]
// [--tool-change-time S] [--json] PROGRAM: the program facts of a run through the same
// interpreter as the window's, as a table or as JSON.

#include "cli/cli.h"
#include "cli/clitext.h"
#include "cli/numbertext.h"
#include "cli/options.h"
#include "cli/programrun.h"

#include "editor/editorcore.h"
#include "facts/factstext.h"
#include "facts/programfacts.h"
#include "machine/machineprofile.h"
#include "vantrel/numberparse.h"

#include <cmath>
#include <cstdio>
#include <optional>

namespace morvilo::cli {

namespace {

struct StatsOptions {
    std::string profile = "plain";
    std::optional<double> rapidRate, acceleration, toolChangeTime;
    bool json = false;
};

std::string statsUsage() {
    std::vector<UsageItem> items = {
        {"--profile NAME",
         cliText("Eilgang, Beschleunigung und Werkzeugwechselzeit aus diesem Maschinenprofil "
                 "(plain)")},
        {"--rapid-rate R", cliText("Eilgang je Achse in mm/min (Profil; sonst 5000)")},
        {"--accel A", cliText("Beschleunigung je Achse in mm/s² (Profil; sonst 500)")},
        {"--tool-change-time S", cliText("Sekunden je Werkzeugwechsel (Profil; sonst 10)")},
        {"--json", cliText("als JSON ausgeben")},
    };
    for (UsageItem &item : ProgramRunUsage())
        items.push_back(std::move(item));
    return UsageText("morvilo-cli stats [options] PROGRAM",
                     {cliText("Interpretiert das G-Code-Programm PROGRAM und gibt seine "
                              "Ausdehnung, Weglängen und Laufzeit aus.")},
                     items);
}

std::optional<bool> readStatsOption(OptionReader &reader, StatsOptions &o, std::string &error) {
    if (reader.Is("json")) {
        if (reader.HasInlineValue()) {
            error = TakesNoValue(reader);
            return false;
        }
        o.json = true;
        return true;
    }
    if (reader.Is("profile")) {
        if (!reader.Value(o.profile))
            error = NeedsValue(reader);
        return error.empty();
    }
    const struct {
        const char *name;
        std::optional<double> *target;
        bool zeroAllowed;
    } reals[] = {{"rapid-rate", &o.rapidRate, false},
                 {"accel", &o.acceleration, false},
                 {"tool-change-time", &o.toolChangeTime, true}};
    for (const auto &real : reals) {
        if (!reader.Is(real.name))
            continue;
        std::string text;
        double value = 0;
        if (!reader.Value(text)) {
            error = NeedsValue(reader);
            return false;
        }
        if (!ParseReal(text, value) || !std::isfinite(value) || value > 1e6 || value < 0 ||
            (value == 0 && !real.zeroAllowed)) {
            error = cliText(real.zeroAllowed ? "--%1: keine Zahl von 0 bis 1000000: %2"
                                             : "--%1: keine Zahl über 0 bis 1000000: %2",
                            {reader.Name(), text});
            return false;
        }
        real.target->emplace(value);
        return true;
    }
    return std::nullopt;
}

// The rates of the chosen profile with the values given on the command line; damage receives
// the report of a damaged profiles file.
bool chooseRates(const StatsOptions &o, MachineRates &rates, std::string &error,
                 std::string &damage) {
    MachineProfile profile;
    if (!FindCliProfile(o.profile, profile, error, &damage))
        return false;
    rates = RatesOfProfile(profile);
    if (o.rapidRate)
        rates.rapidRate = *o.rapidRate;
    if (o.acceleration)
        rates.acceleration = *o.acceleration;
    if (o.toolChangeTime)
        rates.toolChangeTime = *o.toolChangeTime;
    return true;
}

std::string number(double value) {
    return std::isfinite(value) ? NumberText(value) : "null";
}

std::string jsonText(const std::string &text) {
    std::string out = "\"";
    for (const char ch : text) {
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (static_cast<unsigned char>(ch) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(ch));
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

std::string jsonBox(const FactsBox &box) {
    if (box.empty)
        return "{\"min\": null, \"max\": null}";
    const auto triple = [](const double(&v)[3]) {
        return "[" + number(v[0]) + ", " + number(v[1]) + ", " + number(v[2]) + "]";
    };
    return "{\"min\": " + triple(box.min) + ", \"max\": " + triple(box.max) + "}";
}

void printJson(const ProgramFacts &f, std::ostream &out) {
    out << "{\n  \"blocks\": " << f.blocks << ",\n";
    out << "  \"extents\": {\"all\": " << jsonBox(f.all) << ", \"feed\": " << jsonBox(f.feed)
        << "},\n";
    out << "  \"length\": {\"rapid\": " << number(f.rapidLength)
        << ", \"feed\": " << number(f.feedLength) << "},\n";
    out << "  \"time\": {\"rapid\": " << number(f.rapidTime) << ", \"feed\": " << number(f.feedTime)
        << ", \"dwell\": " << number(f.dwellTime)
        << ", \"toolchange\": " << number(f.toolChangeTime)
        << ", \"total\": " << number(f.totalTime) << "},\n";
    out << "  \"time_accel\": " << number(f.totalTimeAccel) << ",\n";
    out << "  \"warnings\": [";
    for (size_t k = 0; k < f.warnings.size(); ++k)
        out << (k ? ",\n    " : "\n    ") << "{\"line\": " << f.warnings[k].line
            << ", \"text\": " << jsonText(cliText(f.warnings[k].message)) << "}";
    out << (f.warnings.empty() ? "]\n" : "\n  ]\n") << "}\n";
}

void printTable(const ProgramFacts &f, std::ostream &out) {
    for (const FactsRow &row : FactsRows(f)) {
        const std::string label = cliText(row.label);
        out << label << std::string(label.size() < 34 ? 34 - label.size() : 1, ' ') << row.value
            << "\n";
    }
    for (const RunWarning &warning : f.warnings)
        out << cliText("Warnung, Zeile %1: %2",
                       {std::to_string(warning.line), cliText(warning.message)})
            << "\n";
    if (f.warningsLeftOut > 0)
        out << cliText("... und %1 weitere Warnungen", {std::to_string(f.warningsLeftOut)}) << "\n";
}

} // namespace

int RunStats(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err) {
    ProgramRunOptions options;
    StatsOptions stats;
    std::string error;
    bool parsed = ParseProgramRunOptions(arguments, 1, cliText("erwartet: ein PROGRAM"), options,
                                         error, [&stats](OptionReader &reader, std::string &e) {
                                             return readStatsOption(reader, stats, e);
                                         });
    MachineRates rates;
    std::string damage;
    if (parsed && !options.help)
        parsed = chooseRates(stats, rates, error, damage);
    if (!damage.empty()) // the built-ins and the readable profiles still serve
        err << "morvilo-cli stats: " << damage << "\n";
    if (auto done = UsageOutcome("stats", parsed, options.help, error, statsUsage(), out, err))
        return *done;
    TPlotList lines;
    RunLog log;
    if (const int status = RunProgram("stats", options, lines, err, &log); status != kSuccess)
        return status;
    ProgramFacts facts = ComputeFacts(lines, log, rates);
    if (!facts.travelWarnings.empty()) {
        TEditorCore text; // read again for the lines of the moves beyond the travel
        if (std::string unread; OpenProgram(text, options.positional[0], unread))
            LinesOfTravelWarnings(facts, text);
    }
    if (stats.json)
        printJson(facts, out);
    else
        printTable(facts, out);
    return out ? kSuccess : kFailure;
}

} // namespace morvilo::cli
