#pragma once
// The tools of the machining preview and the shape of their lower surface. The tip of the tool
// is the point the plot list follows; the lower surface lies above it by ToolProfile(r) at the
// distance r from the tool's axis, for r up to the radius.

#include <algorithm>
#include <cmath>
#include <numbers>

namespace morvilo {

enum class ToolShape { Flat, Ball, VBit };

struct MillingTool {
    ToolShape shape = ToolShape::Ball;
    double diameter = 1.0;
    double angle = 90.0; // included angle of a V-bit, degrees
    bool operator==(const MillingTool &) const = default;

    double Radius() const { return diameter / 2; }
    // The V-bit's rise per unit of radius: 1 / tan(angle / 2).
    double Slope() const { return 1.0 / std::tan(angle * std::numbers::pi / 360); }
};

// A diameter above 0 and finite; a V-bit's angle above 0 and below 180 degrees.
bool ToolIsValid(const MillingTool &tool);

// The height of the tool's lower surface above its tip at the squared distance r2 from its axis,
// r2 at most the squared radius.
inline double ToolProfile(const MillingTool &tool, double r2) {
    switch (tool.shape) {
    case ToolShape::Flat:
        return 0;
    case ToolShape::Ball: {
        const double radius = tool.Radius();
        return radius - std::sqrt(std::max(0.0, radius * radius - r2));
    }
    case ToolShape::VBit:
        return tool.Slope() * std::sqrt(r2);
    }
    return 0;
}

} // namespace morvilo
