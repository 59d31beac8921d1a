// morvilo-cli plot [dialect options] PROGRAM: the backplot in batch use. The program runs through
// the same interpreter as the window, without drawing, and the plot list is printed as CSV.

#include "cli/cli.h"
#include "cli/clitext.h"
#include "cli/numbertext.h"
#include "cli/options.h"
#include "cli/programrun.h"
#include "cli/stopsignal.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <future>
#include <memory>
#include <system_error>
#include <thread>
#include <type_traits>
#include <vector>

namespace morvilo::cli {

namespace {

std::string plotUsage() {
    return UsageText("morvilo-cli plot [options] PROGRAM",
                     {cliText("Interpretiert das G-Code-Programm PROGRAM und gibt seine Plotliste "
                              "als CSV aus.")},
                     ProgramRunUsage());
}

// One CSV row per record, numbers in shortest round-trip form (std::to_chars' text, written by
// NumberText). A column keeps
// the text of its last value, because consecutive points mostly repeat most of their fields
// (an arc's points share their source line, relief rows keep y and z, and the rotary and
// secondary axes usually stay 0).
class RowFormatter {
public:
    // A row: three integers of at most 20 characters, nine numbers of at most 24, two integers
    // of at most 11 and 3, the separators and the line end.
    static constexpr size_t kMaxRow = 512;

    // Writes the rows of records first .. last - 1 from at, which has room for kMaxRow bytes a
    // record; returns the end of the text.
    char *Rows(const TPlotList &lines, uint32_t first, uint32_t last, char *at) {
        TPlotReader reader(lines);
        for (uint32_t k = first; k < last; ++k)
            at = row(reader[k], at);
        return at;
    }

private:
    static constexpr size_t kNumbers = 9;

    template <typename T> struct Cached {
        T value{};
        uint8_t length = 1;
        char text[31] = {'0'}; // the text of T{}
    };

    template <typename T> static char *field(Cached<T> &c, T value, char *at) {
        if (std::memcmp(&value, &c.value, sizeof value) != 0) { // -0.0 is not 0.0 here
            c.value = value;
            char *const end = std::is_same_v<T, double>
                                  ? NumberText(double(value), c.text)
                                  : std::to_chars(c.text, c.text + sizeof c.text, value).ptr;
            c.length = uint8_t(end - c.text);
        }
        std::memcpy(at, c.text, c.length);
        at[c.length] = ',';
        return at + c.length + 1;
    }

    char *row(const t9dline &p, char *at) {
        at = field(typ, int(p.typ), at);
        at = field(zeilevon, p.zeilevon, at);
        at = field(zeilebis, p.zeilebis, at);
        const double values[kNumbers] = {p.x, p.y, p.z, p.a, p.b, p.c, p.u, p.v, p.w};
        for (size_t k = 0; k < kNumbers; ++k)
            at = field(numbers[k], values[k], at);
        at = field(col, p.col, at);
        at = field(style, int(p.style), at);
        at[-1] = '\n';
        return at;
    }

    Cached<int> typ, style;
    Cached<int64_t> zeilevon, zeilebis;
    Cached<int32_t> col;
    Cached<double> numbers[kNumbers];
};

// Formatting the numbers is most of the work for a large plot list, so slices of the list are
// formatted on every core while their texts are written in list order. A signal ends the
// printing after the slice in hand.
void printPlot(const TPlotList &lines, std::ostream &out) {
    out << "typ,zeilevon,zeilebis,x,y,z,a,b,c,u,v,w,col,style\n";
    constexpr uint32_t kSlice = 16384;
    struct Slot {
        std::unique_ptr<char[]> text{new char[kSlice * RowFormatter::kMaxRow]};
        std::future<char *> end;
    };
    const unsigned workers = std::clamp(std::thread::hardware_concurrency(), 1u, 16u);
    std::vector<Slot> slots(lines.Count() > kSlice ? workers : 1);
    auto writeOut = [&out](Slot &slot) {
        char *end = slot.end.get();
        out.write(slot.text.get(), end - slot.text.get());
    };
    const uint32_t slices = (lines.Count() + kSlice - 1) / kSlice;
    for (uint32_t k = 0; k < slices && StopSignal() == 0 && out; ++k) {
        Slot &slot = slots[k % slots.size()];
        if (slot.end.valid())
            writeOut(slot); // the oldest slice in flight: every earlier one is written
        const uint32_t first = k * kSlice, last = std::min(lines.Count(), first + kSlice);
        const auto format = [&lines, first, last, text = slot.text.get()] {
            return RowFormatter().Rows(lines, first, last, text);
        };
        slot.end = std::async(std::launch::deferred, format);
        if (slots.size() > 1) {
            try {
                slot.end = std::async(std::launch::async, format);
            } catch (const std::system_error &) {
                // no thread to spare: the slice is formatted when it is written
            }
        }
    }
    if (StopSignal() != 0)
        return; // the slices in flight are waited for, not written
    for (uint32_t k = slices; k < slices + slots.size(); ++k)
        if (Slot &slot = slots[k % slots.size()]; slot.end.valid())
            writeOut(slot);
}

} // namespace

int RunPlot(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err) {
    ProgramRunOptions options;
    std::string error;
    const bool parsed =
        ParseProgramRunOptions(arguments, 1, cliText("erwartet: ein PROGRAM"), options, error);
    if (auto done = UsageOutcome("plot", parsed, options.help, error, plotUsage(), out, err))
        return *done;
    TPlotList lines;
    if (const int status = RunProgram("plot", options, lines, err); status != kSuccess)
        return status;
    printPlot(lines, out);
    if (StopSignal() != 0) {
        err << "morvilo-cli plot: " << StoppedText() << "\n";
        return StoppedStatus();
    }
    return out ? kSuccess : kFailure;
}

} // namespace morvilo::cli
