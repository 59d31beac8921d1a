#pragma once
// The choices of the relief strategy "Fläche" (surface finishing with the tool's shape taken
// into account, optionally after roughing). The strategy "Stufen" ignores them.

#include "machine/millingtool.h"

#include <string>

namespace morvilo {

enum class ReliefStrategy {
    Levels,  // "Stufen": depth levels, every run plunged and retracted
    Surface, // "Fläche": the tool follows the picture's surface row by row
};

enum class RasterDirection {
    X,    // rows along X
    Y,    // columns along Y
    Both, // rows along X, then a second pass along Y
};

struct SurfaceOptions {
    MillingTool tool;        // the finishing tool (ball, 1 mm)
    double tolerance = 0.01; // how far a move may leave the tool's ideal path
    RasterDirection direction = RasterDirection::X;
    bool oneWay = false;  // every row in the same direction, a retract between rows
    double clearance = 1; // retracts between rows: this far above the stock (or the cut material)

    bool rough = false; // rough before finishing
    MillingTool roughTool{ToolShape::Flat, 3.0, 90.0};
    double stepdown = 1;      // depth of each roughing layer
    double leave = 0.2;       // stock left on the target surface for the finishing
    double roughStepover = 0; // distance of roughing rows; 0: 40 % of the roughing tool's diameter
    // Where the roughing program goes: empty writes it into the finishing program, with a tool
    // change, which the profile must have a template for.
    std::string roughOutput;
    int roughToolNumber = 1, finishToolNumber = 2; // {tool} of the tool changes
};

// Accepted ranges.
struct SurfaceLimits {
    static constexpr double minTolerance = 0.0001, maxTolerance = 10;
    static constexpr double maxDiameter = 1000;
    static constexpr double minStepdown = 0.001, maxClearance = 100000;
};

} // namespace morvilo
