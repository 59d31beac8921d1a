#include "machine/millingtool.h"

#include "vantrel/numberparse.h"

#include <array>
#include <charconv>
#include <vector>

namespace morvilo {

namespace {

constexpr std::array<const char *, 3> kShapeNames = {"flat", "ball", "vbit"};

// Numbers separated by sep: exactly count of them, each a locale-free real.
bool readNumbers(std::string_view text, char sep, size_t count, std::vector<double> &numbers) {
    numbers.clear();
    while (true) {
        const size_t end = text.find(sep);
        double value = 0;
        if (!ParseReal(text.substr(0, end), value) || !std::isfinite(value))
            return false;
        numbers.push_back(value);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return numbers.size() == count;
}

std::string numberText(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

} // namespace

bool ToolIsValid(const MillingTool &tool) {
    if (!(tool.diameter > 0) || !std::isfinite(tool.diameter))
        return false;
    return tool.shape != ToolShape::VBit || (tool.angle > 0 && tool.angle < 180);
}

const char *ToolShapeName(ToolShape shape) {
    return kShapeNames[size_t(shape)];
}

std::optional<ToolShape> ParseToolShape(std::string_view text) {
    for (size_t k = 0; k < kShapeNames.size(); ++k)
        if (text == kShapeNames[k])
            return ToolShape(k);
    return std::nullopt;
}

std::optional<MillingTool> ParseTool(std::string_view text) {
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    const std::optional<ToolShape> shape = ParseToolShape(text.substr(0, colon));
    if (!shape)
        return std::nullopt;
    MillingTool tool;
    tool.shape = *shape;
    std::vector<double> numbers;
    if (!readNumbers(text.substr(colon + 1), ':', *shape == ToolShape::VBit ? 2 : 1, numbers))
        return std::nullopt;
    tool.diameter = numbers[0];
    if (*shape == ToolShape::VBit)
        tool.angle = numbers[1];
    if (!ToolIsValid(tool))
        return std::nullopt;
    return tool;
}

std::string ToolText(const MillingTool &tool) {
    std::string text = std::string(ToolShapeName(tool.shape)) + ":" + numberText(tool.diameter);
    if (tool.shape == ToolShape::VBit)
        text += ":" + numberText(tool.angle);
    return text;
}

} // namespace morvilo
