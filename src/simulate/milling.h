#pragma once
// The machining preview's computation: the stock's height field lowered by the tool swept along
// every move of the plot list, feed moves and rapid moves alike (a rapid into the stock is a cut
// the user must see). With the run's log, the moves are the machine's (TMachinePath): a drilling
// cycle drawn as a stroke mills its true hole. A move is a point drawn from the point before it
// (typ 1); the interpreter's axis cross is left out. The height of a cell is the lowest the tool's
// lower surface comes over the cell's centre along the whole path, never above the stock's top.
//
// The work is split over threads by rows (row j to thread j mod n), so each thread owns its
// rows and needs no locks; each reads the plot list by itself. Memory beyond the grid is a few
// hundred bytes a thread.

#include "interpreter/plotlist.h"
#include "interpreter/runlog.h"
#include "machine/millingtool.h"
#include "simulate/heightfield.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace morvilo {

struct MillingControl {
    unsigned threads = 0;                      // 0: one for each core
    const std::atomic<bool> *cancel = nullptr; // when it turns true, the work ends soon after
    // Called on the calling thread now and then with the share of the plot list done (0 ... 1).
    std::function<void(double)> progress;
    // When given: the cells the moves visited, once for every move that visited them (a
    // measure of the work, for benchmarks).
    std::atomic<uint64_t> *cellsVisited = nullptr;
};

enum class MillingResult { Done, Cancelled };

// The tool in the spindle from the move ending at point `from` on; a program's tools are a list
// of these in the order of from, the first from 0.
struct ToolSpan {
    uint32_t from = 0;
    MillingTool tool;
    bool operator==(const ToolSpan &) const = default;
};
using ToolSpans = std::vector<ToolSpan>;

// The tools of a run: tool before the first tool change; at each tool change (M6 of the run
// log) the tool the table gives its T number, or tool when the table has none for it.
ToolSpans ToolsOfRun(const RunLog &log, const std::map<int, MillingTool> &table,
                     const MillingTool &tool);

// The largest radius among the tools.
double LargestRadius(const ToolSpans &tools);

// Lowers field (as Reset left it, or as an earlier call left it) by every move of lines. A
// cancelled run leaves the field partly milled.
MillingResult MillPart(const TPlotList &lines, const MillingTool &tool, HeightField &field,
                       const MillingControl &control = {}, const RunLog *log = nullptr);
// The same with the tools changing along the program.
MillingResult MillPart(const TPlotList &lines, const ToolSpans &tools, HeightField &field,
                       const MillingControl &control = {}, const RunLog *log = nullptr);

// The index in lines of the last move that cut cell (i, j) to its height in field, as MillPart
// computed it with tool; none for a cell at the stock's top. It goes through the whole plot
// list, so it is meant for a single cell the user points at.
std::optional<uint32_t> LastCut(const TPlotList &lines, const ToolSpans &tools,
                                const HeightField &field, int32_t i, int32_t j,
                                const RunLog *log = nullptr);
std::optional<uint32_t> LastCut(const TPlotList &lines, const MillingTool &tool,
                                const HeightField &field, int32_t i, int32_t j,
                                const RunLog *log = nullptr);

} // namespace morvilo
