// morvilo-cli simulate [dialect options] --tool ... PROGRAM: the machining preview in batch use.
// The program runs through the same interpreter as the window, the tool is swept along its
// plot list over the stock, and the part is written as a height map (PFM), a solid (STL) or a
// picture (PNG), each file replaced only once it is complete.

#include "cli/cli.h"
#include "cli/clitext.h"
#include "cli/numbertext.h"
#include "cli/options.h"
#include "cli/programrun.h"
#include "cli/stopsignal.h"

#include "simulate/heightfield.h"
#include "simulate/milling.h"
#include "simulate/partexport.h"
#include "simulate/previewsettings.h"
#include "vantrel/fixedformat.h"
#include "vantrel/numberparse.h"
#include "vantrel/outputfile.h"
#include "vantrel/systemerror.h"
#include "view/partimage.h"
#include "view/viewstate.h"

#include <QBuffer>
#include <QImageWriter>

#include <atomic>
#include <charconv>
#include <functional>
#include <map>

namespace morvilo::cli {

namespace {

// The size of the picture --image writes.
constexpr int kImageWidth = 1024, kImageHeight = 768;

struct SimulateOptions {
    ProgramRunOptions run;
    std::optional<MillingTool> tool;
    std::map<int, MillingTool> tools; // by T number
    std::optional<double> resolution;
    std::optional<Stock> stock;
    std::string heightmap, stl, image;
    FixedView view = FixedView::Isometric;
};

std::string simulateUsage() {
    std::vector<UsageItem> items = {
        {"--tool flat:D|ball:D|vbit:D:ANGLE",
         cliText("Fräser: Schaftfräser, Kugelfräser oder V-Fräser mit Durchmesser D und "
                 "Spitzenwinkel ANGLE in Grad (nötig)")},
        {"--tool Tn=TOOL",
         cliText("der Fräser der Werkzeugnummer n ab ihrem Werkzeugwechsel (M6); mehrmals "
                 "möglich; ohne --tool TOOL gilt der Fräser der kleinsten Nummer auch vor dem "
                 "ersten Wechsel und für Nummern ohne Fräser")},
        {"--resolution R", cliText("Kantenlänge der Rasterzellen (so dass etwa 4 Millionen "
                                   "Zellen entstehen)")},
        {"--stock XMIN,YMIN,XMAX,YMAX,ZTOP",
         cliText("Rohteil (die X/Y-Ausdehnung des Programms plus Werkzeugradius, Oberseite Z 0)")},
        {"--heightmap OUT.pfm", cliText("die Höhen als 32-Bit-Gleitkommabild (PFM) schreiben")},
        {"--stl OUT.stl", cliText("das Werkstück als geschlossenen Körper (STL) schreiben")},
        {"--image OUT.png", cliText("ein schattiertes Bild des Werkstücks schreiben (PNG)")},
        {"--view xy|xyz|xz|yz|yx|zx|zy", cliText("Ansicht des Bildes (xyz)")},
    };
    const std::vector<UsageItem> run = ProgramRunUsage();
    items.insert(items.end(), run.begin(), run.end());
    return UsageText("morvilo-cli simulate [options] --tool TOOL PROGRAM",
                     {cliText("Interpretiert das G-Code-Programm PROGRAM und berechnet das "
                              "Werkstück, das der Fräser aus dem Rohteil herausarbeitet.")},
                     items);
}

std::optional<bool> readSimulateOption(OptionReader &reader, SimulateOptions &o,
                                       std::string &error) {
    std::string *file = reader.Is("heightmap") ? &o.heightmap
                        : reader.Is("stl")     ? &o.stl
                        : reader.Is("image")   ? &o.image
                                               : nullptr;
    const bool known = file || reader.Is("tool") || reader.Is("resolution") || reader.Is("stock") ||
                       reader.Is("view");
    if (!known)
        return std::nullopt;
    std::string value;
    if (!reader.Value(value)) {
        error = NeedsValue(reader);
        return false;
    }
    if (file) {
        *file = value;
        if (value.empty())
            error = cliText("--%1 braucht einen Dateinamen", {reader.Name()});
        return !value.empty();
    }
    if (reader.Is("tool")) {
        // TOOL for the whole program, or Tn=TOOL for the tool number n
        const bool numbered = value.find('=') != std::string::npos;
        if (numbered && !AddToolEntry(value, o.tools)) {
            error = cliText("--tool: erwartet Tn=TOOL mit einer T-Nummer, die noch kein Werkzeug "
                            "hat: %1",
                            {value});
            return false;
        }
        if (!numbered)
            o.tool = ParseTool(value);
        if (!numbered && !o.tool)
            error = cliText("--tool: erwartet flat:D, ball:D oder vbit:D:ANGLE mit D > 0 und 0 "
                            "< ANGLE < 180: %1",
                            {value});
        return numbered || o.tool.has_value();
    }
    if (reader.Is("resolution")) {
        double r = 0;
        if (!ParseReal(value, r) || !(r > 0) || !std::isfinite(r)) {
            error = cliText("--resolution: keine Zahl größer als 0: %1", {value});
            return false;
        }
        o.resolution = r;
        return true;
    }
    if (reader.Is("stock")) {
        o.stock = ParseStock(value);
        if (!o.stock)
            error = cliText("--stock: erwartet XMIN,YMIN,XMAX,YMAX,ZTOP mit XMIN < XMAX, YMIN < "
                            "YMAX und jedem Wert zwischen -%1 und %1: %2",
                            {std::to_string(int64_t(kMaxStockCoordinate)), value});
        return o.stock.has_value();
    }
    for (const FixedViewData &view : FixedViews())
        if (*view.caption && value == view.caption) {
            o.view = view.view;
            return true;
        }
    error = cliText("--view: nicht xy, xyz, xz, yz, yx, zx oder zy: %1", {value});
    return false;
}

// Writes one output through write; a failure's message goes to err.
bool writeOutput(const std::string &path, std::ostream &err,
                 const std::function<bool(OutputFile &, UserMessage &)> &write) {
    UserMessage message;
    const auto describe = [](int errnum) {
        return DescribeSystemError(errnum, [](const std::string &text) { return cliText(text); });
    };
    if (SavePart(path, write, describe, message))
        return true;
    err << "morvilo-cli simulate: " << cliText(message) << "\n";
    return false;
}

bool writeImage(const HeightField &field, FixedView fixed, OutputFile &file, UserMessage &message) {
    ViewState view;
    const FixedViewData &angles = FixedViewDataOf(fixed);
    view.rotxv = angles.rotxv;
    view.rotyv = angles.rotyv;
    view.rotzv = angles.rotzv;
    FitPartView(view, field, kImageWidth, kImageHeight);
    QImage image(kImageWidth, kImageHeight, kPartFormat);
    PaintPart(image, field, view);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image)) {
        message = {"Das Bild kann nicht als PNG gespeichert werden.", {}};
        return false;
    }
    file.Write(std::string_view(buffer.data().constData(), size_t(buffer.data().size())));
    return true;
}

// The shortest text that reads back as the same float: a cell's height as it is stored.
std::string floatText(float value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// A stock coordinate as the program facts give their figures: to the thousandth, without
// trailing zeros ("-3.95" for -3.9499999999999997).
std::string coordinateText(double value) {
    std::string text = FormatFixed(value, 3);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.')
        text.pop_back();
    return text == "-0" ? "0" : text;
}

void printSummary(const HeightField &field, std::ostream &out) {
    const Stock &s = field.GetStock();
    out << cliText("Rohteil: X %1 bis %2, Y %3 bis %4, Oberseite Z %5",
                   {coordinateText(s.xmin), coordinateText(s.xmax), coordinateText(s.ymin),
                    coordinateText(s.ymax), coordinateText(s.top)})
        << "\n"
        << cliText("Raster: %1 × %2 Zellen von %3",
                   {std::to_string(field.Columns()), std::to_string(field.Rows()),
                    NumberText(field.Resolution())})
        << "\n"
        << cliText("Tiefste Stelle: Z %1", {floatText(field.Deepest())}) << "\n";
}

} // namespace

int RunSimulate(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err) {
    SimulateOptions options;
    std::string error;
    bool parsed =
        ParseProgramRunOptions(arguments, 1, cliText("erwartet: ein PROGRAM"), options.run, error,
                               [&](OptionReader &reader, std::string &e) {
                                   return readSimulateOption(reader, options, e);
                               });
    if (!options.tool && !options.tools.empty())
        options.tool = options.tools.begin()->second;
    if (parsed && !options.run.help && !options.tool) {
        parsed = false;
        error = cliText("--tool fehlt");
    } else if (parsed && !options.run.help && options.tool->diameter > kMaxStockCoordinate) {
        parsed = false;
        error = cliText(
            "--tool: der Durchmesser %1 ist größer als %2",
            {NumberText(options.tool->diameter), std::to_string(int64_t(kMaxStockCoordinate))});
    }
    if (auto done =
            UsageOutcome("simulate", parsed, options.run.help, error, simulateUsage(), out, err))
        return *done;
    const std::string prefix = "morvilo-cli simulate: ";
    TPlotList lines;
    RunLog log; // the machine's path of drilling cycles drawn as strokes
    if (const int status = RunProgram("simulate", options.run, lines, err, &log);
        status != kSuccess)
        return status;

    const ToolSpans tools = ToolsOfRun(log, options.tools, *options.tool);
    const std::optional<PreviewGrid> grid =
        ChoosePreviewGrid({*options.tool, options.stock, options.resolution, options.tools}, lines);
    if (!grid) {
        err << prefix
            << cliText("Das Programm hat keine Punkte, aus denen sich das Rohteil ergibt; "
                       "--stock gibt es an.")
            << "\n";
        return kFailure;
    }
    HeightField field;
    UserMessage message;
    if (!field.Reset(grid->stock, grid->resolution, message)) {
        err << prefix << cliText(message) << "\n";
        return kFailure;
    }
    std::atomic<bool> cancel{false};
    const MillingControl control{0, &cancel, [&cancel](double) {
                                     if (StopSignal() != 0)
                                         cancel = true;
                                 }};
    if (MillPart(lines, tools, field, control, &log) == MillingResult::Cancelled ||
        StopSignal() != 0) {
        err << prefix << StoppedText() << "\n";
        return StoppedStatus();
    }
    if (!options.heightmap.empty() &&
        !writeOutput(options.heightmap, err, [&](OutputFile &file, UserMessage &) {
            WritePfm(field, file);
            return true;
        }))
        return kFailure;
    if (!options.stl.empty() &&
        !writeOutput(options.stl, err,
                     [&](OutputFile &file, UserMessage &m) { return WriteStl(field, file, m); }))
        return kFailure;
    if (!options.image.empty() &&
        !writeOutput(options.image, err, [&](OutputFile &file, UserMessage &m) {
            return writeImage(field, options.view, file, m);
        }))
        return kFailure;
    printSummary(field, out);
    return out ? kSuccess : kFailure;
}

} // namespace morvilo::cli
