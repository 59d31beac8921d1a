// morvilo-cli relief PICTURE OUTPUT [options]: the relief generator in batch use. Every value
// is used as given (no rounding to the panel's two decimals); the defaults are the panel's
// start-up values.

#include "cli/cli.h"
#include "cli/clitext.h"
#include "cli/numbertext.h"
#include "cli/options.h"

#include "frontend/panelvalues.h"
#include "relief/reliefgenerator.h"
#include "relief/surfacerelief.h"
#include "vantrel/numberparse.h"
#include "vantrel/room.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <iostream>
#include <limits>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace morvilo::cli {

namespace {

// Why the file at path cannot be read at all (missing, a folder, no permission); empty when it
// can be opened, and a picture that cannot be loaded is then one Qt cannot decode.
std::string unopenableReason(const std::string &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return SystemReason(errno);
    if (S_ISDIR(st.st_mode))
        return SystemReason(EISDIR);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return SystemReason(errno);
    ::close(fd);
    return {};
}

std::string reliefUsage() {
    return UsageText(
        "morvilo-cli relief PICTURE OUTPUT [options]",
        {cliText("Setzt PICTURE in G-Code zum Relieffräsen um und schreibt ihn nach OUTPUT.")},
        {{"--levels N", cliText("Anzahl der Tiefenstufen, 2..256 (16)")},
         {"--width W", cliText("Motivbreite, 0.0001..100000 (10)")},
         {"--distance D", cliText("Abstand der Fräsbahnen, 0.0001..100000 (0.05)")},
         {"--invert", cliText("dunkle Stellen am tiefsten fräsen")},
         {"--safe Z", cliText("sichere Z-Höhe jedes Rückzugs (-1)")},
         {"--depth T", cliText("Z der tiefsten Stufe, bezogen auf --zstart (1)")},
         {"--xstart X", cliText("X der ersten Spalte (0)")},
         {"--ystart Y", cliText("Y der untersten Zeile (0)")},
         {"--zstart Z", cliText("Z der flachsten Stufe (0)")},
         {"--decimals N",
          cliText("Nachkommastellen jeder Zahl, 0..20; über 18 werden 18 geschrieben (4)")},
         {"--no-range", cliText("den Helligkeitsumfang des Bildes nicht strecken")},
         {"--profile NAME",
          cliText("Maschinenprofil: plain, linuxcnc, grbl, fanuc oder ein eigenes (plain)")},
         {"--feed F", cliText("Vorschub der Schnitte, statt des Profilwerts")},
         {"--plunge-feed F", cliText("Vorschub beim Eintauchen, statt des Profilwerts")},
         {"--spindle S", cliText("Spindeldrehzahl, statt des Profilwerts (0: keine)")},
         {"--skip-air", cliText("Stufe 0 weglassen: sie fräst auf Z-Start, in der Luft")},
         {"--clearance C",
          cliText("Rückzüge nur C über Z-Start (zur sicheren Höhe hin) statt auf die sichere "
                  "Höhe: bei Stufen zwischen den Bahnen einer Stufe, bei der Fläche zwischen den "
                  "Zeilen (Fläche: 1)")},
         {"--zigzag", cliText("die Bahnen jeder zweiten Zeile von rechts nach links fräsen")},
         {"--dry-run", cliText("nichts schreiben: Raster, Schnitte, Programmgröße und Laufzeit "
                               "ausgeben (OUTPUT darf fehlen)")},
         {"--strategy levels|surface",
          cliText("Stufen (levels) oder Fläche (surface): der Fräser folgt der Oberfläche des "
                  "Bildes, seine Form berücksichtigt (levels)")},
         {"--tool flat:D|ball:D|vbit:D:ANGLE", cliText("Fräser der Fläche (ball:1)")},
         {"--tolerance T", cliText("Toleranz der Bahnen der Fläche, 0.0001..10 (0.01)")},
         {"--direction x|y|xy",
          cliText("Fläche: Zeilen entlang X, Spalten entlang Y oder beides (x)")},
         {"--one-way", cliText("Fläche: jede Zeile in derselben Richtung, dazwischen abheben")},
         {"--rough TOOL", cliText("Fläche: vorher mit diesem Fräser schruppen")},
         {"--stepdown S", cliText("Zustellung je Schruppebene (1)")},
         {"--leave L", cliText("Aufmaß auf der Fläche beim Schruppen (0.2)")},
         {"--rough-stepover D", cliText("Bahnabstand beim Schruppen (40 % des Schruppfräsers)")},
         {"--rough-output FILE",
          cliText("das Schruppprogramm in diese Datei schreiben, statt mit Werkzeugwechsel ins "
                  "Programm")}});
}

struct ReliefOptions {
    ReliefParameters p = StartupReliefParameters();
    std::vector<std::string> positional;
    bool help = false;
    bool dryRun = false;
    std::string profile = "plain";
    // Values that replace the profile's: the settings with a CLI option (ProfileFields).
    std::vector<std::pair<const ProfileField *, double>> profileValues;
    std::string profilesProblem; // the report of a damaged profiles file
    std::string surfaceOption;   // the first option of the strategy "Fläche" given
};

template <typename Real> bool readReal(OptionReader &reader, Real &target, std::string &error) {
    std::string text;
    if (!reader.Value(text)) {
        error = NeedsValue(reader);
        return false;
    }
    if (!ParseReal(text, target) || !std::isfinite(target)) {
        error = cliText("--%1: keine Zahl: %2", {reader.Name(), text});
        return false;
    }
    return true;
}

bool readInteger(OptionReader &reader, int &target, std::string &error) {
    std::string text;
    int64_t value = 0;
    if (!reader.Value(text)) {
        error = NeedsValue(reader);
        return false;
    }
    if (!ParseInteger(text, value)) {
        error = cliText("--%1: keine ganze Zahl: %2", {reader.Name(), text});
        return false;
    }
    constexpr int64_t low = std::numeric_limits<int>::min(), high = std::numeric_limits<int>::max();
    target = int(value < low ? low : value > high ? high : value);
    return true;
}

bool readFlag(OptionReader &reader, bool &target, bool value, std::string &error) {
    if (reader.HasInlineValue()) {
        error = TakesNoValue(reader);
        return false;
    }
    target = value;
    return true;
}

// The options of the strategy "Fläche"; none when the option is another.
std::optional<bool> readSurfaceOption(OptionReader &reader, ReliefOptions &o, std::string &error) {
    SurfaceOptions &s = o.p.surface;
    const char *const names[] = {"tool",     "tolerance", "direction",    "one-way",       "rough",
                                 "stepdown", "leave",     "rough-output", "rough-stepover"};
    const bool surface = std::any_of(std::begin(names), std::end(names),
                                     [&](const char *name) { return reader.Is(name); });
    if (!surface && !reader.Is("strategy"))
        return std::nullopt;
    if (surface && o.surfaceOption.empty())
        o.surfaceOption = "--" + std::string(reader.Name());
    if (reader.Is("one-way"))
        return readFlag(reader, s.oneWay, true, error);
    struct RealOption {
        const char *name;
        double *target;
    } reals[] = {{"tolerance", &s.tolerance},
                 {"stepdown", &s.stepdown},
                 {"leave", &s.leave},
                 {"rough-stepover", &s.roughStepover}};
    for (const RealOption &option : reals)
        if (reader.Is(option.name))
            return readReal(reader, *option.target, error);
    std::string value;
    if (!reader.Value(value)) {
        error = NeedsValue(reader);
        return false;
    }
    if (reader.Is("strategy")) {
        if (value != "levels" && value != "surface")
            error = cliText("--strategy: erwartet levels oder surface: %1", {value});
        o.p.strategy = value == "surface" ? ReliefStrategy::Surface : ReliefStrategy::Levels;
    } else if (reader.Is("direction")) {
        if (value != "x" && value != "y" && value != "xy")
            error = cliText("--direction: erwartet x, y oder xy: %1", {value});
        s.direction = value == "y"    ? RasterDirection::Y
                      : value == "xy" ? RasterDirection::Both
                                      : RasterDirection::X;
    } else if (reader.Is("rough-output")) {
        s.roughOutput = value;
    } else {
        const std::optional<MillingTool> tool = ParseTool(value);
        if (!tool)
            error = cliText("--%1: erwartet flat:D, ball:D oder vbit:D:ANGLE mit D > 0 und 0 "
                            "< ANGLE < 180: %2",
                            {reader.Name(), value});
        else if (reader.Is("tool"))
            s.tool = *tool;
        else {
            s.rough = true;
            s.roughTool = *tool;
        }
    }
    return error.empty();
}

bool readOption(OptionReader &reader, ReliefOptions &o, std::string &error) {
    ReliefParameters &p = o.p;
    struct RealOption {
        const char *name;
        double *target;
    } reals[] = {{"distance", &p.abstandfr}, {"safe", &p.sicher},   {"depth", &p.tiefe},
                 {"xstart", &p.xstart},      {"ystart", &p.ystart}, {"zstart", &p.zstart}};
    for (const RealOption &option : reals)
        if (reader.Is(option.name))
            return readReal(reader, *option.target, error);
    if (reader.Is("width")) // the width keeps the full precision of its text
        return readReal(reader, p.width, error);
    if (reader.Is("levels"))
        return readInteger(reader, p.levels, error);
    if (reader.Is("decimals"))
        return readInteger(reader, p.nach, error);
    if (reader.Is("invert"))
        return readFlag(reader, p.invert, true, error);
    if (reader.Is("no-range"))
        return readFlag(reader, p.brightnessRange, false, error);
    if (reader.Is("skip-air"))
        return readFlag(reader, p.levelOptions.skipAir, true, error);
    if (reader.Is("zigzag"))
        return readFlag(reader, p.levelOptions.zigzag, true, error);
    if (reader.Is("clearance")) { // both strategies retract to C above the stock
        p.levelOptions.useClearance = true;
        if (!readReal(reader, p.levelOptions.clearance, error))
            return false;
        p.surface.clearance = p.levelOptions.clearance;
        return true;
    }
    if (reader.Is("help"))
        return readFlag(reader, o.help, true, error);
    if (reader.Is("dry-run"))
        return readFlag(reader, o.dryRun, true, error);
    if (std::optional<bool> read = readSurfaceOption(reader, o, error))
        return *read;
    if (reader.Is("profile")) {
        if (!reader.Value(o.profile))
            error = NeedsValue(reader);
        return error.empty();
    }
    for (const ProfileField &field : ProfileFields())
        if (field.option && field.kind == ProfileField::Kind::Number && reader.Is(field.option))
            return readReal(reader, o.profileValues.emplace_back(&field, 0).second, error);
    error = UnknownOption(reader);
    return false;
}

// The profile named on the command line, with the values given there. A damaged profiles file
// is reported; the built-ins and the readable profiles still serve.
bool chooseProfile(ReliefOptions &o, std::string &error) {
    if (!FindCliProfile(o.profile, o.p.profile, error, &o.profilesProblem))
        return false;
    for (const auto &[field, value] : o.profileValues)
        field->Number(o.p.profile) = value;
    return true;
}

bool parse(const std::vector<std::string> &arguments, ReliefOptions &o, std::string &error) {
    if (!ReadArguments(arguments, o.positional, error, [&](OptionReader &reader, std::string &e) {
            return readOption(reader, o, e);
        }))
        return false;
    if (o.help)
        return true;
    if (o.positional.size() != 2 && !(o.dryRun && o.positional.size() == 1)) {
        error = cliText("erwartet: PICTURE und OUTPUT");
        return false;
    }
    if (!o.surfaceOption.empty() && o.p.strategy != ReliefStrategy::Surface) {
        error = cliText("%1 gilt nur mit --strategy surface", {o.surfaceOption});
        return false;
    }
    if (!chooseProfile(o, error))
        return false;
    UserMessage problem = CheckReliefParameters(o.p);
    if (problem.empty() && o.p.strategy == ReliefStrategy::Surface)
        problem = CheckSurfaceOptions(o.p);
    if (problem.empty())
        problem = CheckProfile(o.p.profile);
    error = problem.empty() ? std::string() : cliText(problem);
    return error.empty();
}

// How far the run has come, on a terminal: one line, rewritten in place at most every 200 ms
// and erased at the end.
class TerminalProgress {
public:
    TerminalProgress(std::ostream &err, ReliefProgress &progress, bool measuring)
        : err(err), measuring(measuring) {
        progress.afterRow = [this, &progress] { show(progress); };
    }
    ~TerminalProgress() {
        if (shown)
            err << "\r\033[K" << std::flush;
    }
    TerminalProgress(const TerminalProgress &) = delete;
    TerminalProgress &operator=(const TerminalProgress &) = delete;

private:
    void show(const ReliefProgress &progress) {
        const auto now = std::chrono::steady_clock::now();
        if (shown && now - last < std::chrono::milliseconds(200))
            return;
        last = now;
        shown = true;
        const uint64_t total = progress.rowsTotal, done = progress.rowsDone;
        const auto tenths = total == 0 ? 0 : uint64_t((unsigned __int128)done * 1000 / total);
        err << "\rmorvilo-cli relief: "
            << cliText(measuring ? "Das Programm wird vermessen..." : "G-Code wird erzeugt...")
            << " " << tenths / 10 << "." << tenths % 10 << " % ("
            << ByteSizeText(progress.bytesWritten) << ")\033[K" << std::flush;
    }

    std::ostream &err;
    bool measuring;
    std::chrono::steady_clock::time_point last;
    bool shown = false;
};

// What went wrong, in the run's language.
std::string resultText(const ReliefResult &result) {
    return result.messageParts.empty() ? cliText(result.message) : cliText(result.messageParts);
}

// Progress is shown when the messages go to the standard error and that is a terminal.
bool toTerminal(const std::ostream &err) {
    return err.rdbuf() == std::cerr.rdbuf() && ::isatty(STDERR_FILENO) == 1;
}

std::string seconds(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// What a dry run tells: the grid, the cuts, the program's size and its run time.
void showFigures(const ReliefEstimate &e, const ReliefParameters &p, std::ostream &out) {
    const MachineProfile &profile = p.profile;
    out << cliText("Raster: %1 × %2", {std::to_string(e.columns), std::to_string(e.rows)}) << "\n"
        << cliText("Schnitte: %1", {std::to_string(e.cuts)}) << "\n"
        << cliText("Programmgröße: %1 Bytes (%2)", {std::to_string(e.bytes), ByteSizeText(e.bytes)})
        << "\n"
        << cliText("Laufzeit: %1 (%2 s; Profil %3: Vorschub %4, Eintauchen %5, Eilgang %6, "
                   "Beschleunigung %7)",
                   {RunTimeText(e.seconds), seconds(e.seconds), profile.cliName,
                    NumberText(profile.feed), NumberText(profile.plungeFeed),
                    NumberText(profile.rapidRate), NumberText(profile.acceleration)})
        << "\n";
    if (p.levelOptions.Any()) // what the options save
        out << cliText("Ersparnis: %1 (%2 s; ohne die Optionen %3)",
                       {RunTimeText(SecondsSaved(e)), seconds(SecondsSaved(e)),
                        RunTimeText(e.plainSeconds)})
            << "\n";
}

int runRelief(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err) {
    ReliefOptions options;
    std::string error;
    const bool parsed = parse(arguments, options, error);
    if (!options.profilesProblem.empty())
        err << "morvilo-cli relief: " << options.profilesProblem << "\n";
    if (auto done = UsageOutcome("relief", parsed, options.help, error, reliefUsage(), out, err))
        return *done;
    const std::string &picture = options.positional[0];
    ReliefProgress progress;
    std::optional<TerminalProgress> shown;
    if (toTerminal(err))
        shown.emplace(err, progress, options.dryRun);
    ReliefResult result = options.dryRun
                              ? MeasureReliefFile(options.p, picture, &progress)
                              : GenerateReliefFile(options.p, picture, options.positional[1],
                                                   OutputFile::Mode::Replace, &progress);
    shown.reset();
    switch (result.status) {
    case ReliefStatus::Ok:
        if (options.dryRun)
            showFigures(result.estimate, options.p, out);
        return kSuccess;
    case ReliefStatus::OutputNotCreated:
    case ReliefStatus::WriteFailed: {
        if (result.errorNumber == 0)
            break;
        const std::string &file =
            result.failedFile.empty() ? options.positional[1] : result.failedFile;
        err << "morvilo-cli relief: "
            << (result.status == ReliefStatus::WriteFailed
                    ? cliText("%1 kann nicht geschrieben werden: %2",
                              {file, SystemReason(result.errorNumber)})
                    : cliText("%1 kann nicht angelegt werden: %2",
                              {file, SystemReason(result.errorNumber)}))
            << "\n";
        return kFailure;
    }
    case ReliefStatus::PictureUnreadable:
        if (const std::string reason = unopenableReason(picture); !reason.empty())
            err << "morvilo-cli relief: "
                << cliText("%1 kann nicht geöffnet werden: %2", {picture, reason}) << "\n";
        else
            err << "morvilo-cli relief: " << picture << ": " << resultText(result) << "\n";
        return kFailure;
    default:
        break;
    }
    err << "morvilo-cli relief: " << resultText(result);
    if (!result.detail.empty() && result.detail != result.message)
        err << " (" << result.detail << ")";
    err << "\n";
    return kFailure;
}

} // namespace

int RunRelief(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err) {
    try {
        return runRelief(arguments, out, err);
    } catch (const std::bad_alloc &) {
        err << "morvilo-cli relief: " << cliText(kMessageNoMemory) << "\n";
        return kFailure;
    }
}

} // namespace morvilo::cli
