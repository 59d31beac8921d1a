#pragma once
// Program facts: what a program will do before it runs, read from an interpreter run's plot list
// and log. Extents of all moves and of feed moves (work and machine coordinates, arcs by their
// true curve), path lengths, blocks, tool changes, spindle starts, and the run time in two
// models: every move at its speed throughout, and with acceleration.
//
// Lengths and extents are in the program's units (those in force at its end; millimetres when
// it never chooses). Feed moves go at their programmed F (G94 units per minute, G95 units per
// revolution at the programmed S, G93 inverse time), rapid moves and pattern lines at the
// machine's rapid rate on every axis, so that a rapid takes as long as its longest axis needs;
// no move is faster than that. A feed move without a usable F goes at a default feed.

#include "interpreter/runlog.h"
#include "machine/machinerates.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace morvilo {

struct FactsBox {
    bool empty = true;
    double min[3] = {}, max[3] = {};
    void Add(const double (&p)[3]);
    void Add(const FactsBox &box);
};

struct ProgramFacts {
    bool inch = false;
    uint64_t blocks = 0, toolChanges = 0, spindleStarts = 0;
    FactsBox all, feed;               // work coordinates
    FactsBox allMachine, feedMachine; // machine coordinates
    FactsBox rotary;                  // A, B, C of all moves
    bool rotaryUsed[3] = {};
    double rapidLength = 0, feedLength = 0;
    // seconds; total = rapid + feed + dwell + toolChange
    double rapidTime = 0, feedTime = 0, dwellTime = 0, toolChangeTime = 0, totalTime = 0;
    double totalTimeAccel = 0; // with acceleration, dwells and tool changes included
    std::vector<RunWarning> warnings;
    uint64_t warningsLeftOut = 0;
    // Moves beyond the machine's travel: their warnings name the text offset of their line in
    // `line` until LinesOfTravelWarnings turns it into the line's number.
    std::vector<RunWarning> travelWarnings;
};

// stop: when it becomes true (another thread), the walk ends early; the facts are then partial.
ProgramFacts ComputeFacts(const TPlotList &lines, const RunLog &log, const MachineRates &rates,
                          const std::atomic<bool> *stop = nullptr);

class TEditorCore;
// The travel warnings get their line numbers from the text the run read and join the others,
// in line order.
void LinesOfTravelWarnings(ProgramFacts &facts, TEditorCore &text);

} // namespace morvilo
