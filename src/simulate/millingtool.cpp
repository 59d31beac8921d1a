#include "simulate/millingtool.h"

namespace morvilo {

bool ToolIsValid(const MillingTool &tool) {
    if (!(tool.diameter > 0) || !std::isfinite(tool.diameter))
        return false;
    return tool.shape != ToolShape::VBit || (tool.angle > 0 && tool.angle < 180);
}

} // namespace morvilo
