#pragma once
// The tools of the relief generator and the machining preview. The tip of the tool is the point the
// plot list follows; the lower surface lies above it, at the distance r from the tool's axis (r up
// to the radius), by 0 (flat end mill), radius - sqrt(radius^2 - r^2) (ball end mill) or r *
// Slope() (V-bit).

#include <cmath>
#include <numbers>
#include <optional>
#include <string>
#include <string_view>

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

// "flat", "ball", "vbit"; none for another text.
const char *ToolShapeName(ToolShape shape);
std::optional<ToolShape> ParseToolShape(std::string_view text);

// The tool as text: "flat:D", "ball:D" or "vbit:D:ANGLE" (locale-free numbers). None unless the
// text names a valid tool.
std::optional<MillingTool> ParseTool(std::string_view text);
std::string ToolText(const MillingTool &tool);

} // namespace morvilo
