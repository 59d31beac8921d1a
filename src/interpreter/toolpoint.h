#pragma once
// Where the tool is at a point of the plot list: the secondary axes U, V, W add to X, Y, Z, as
// the view draws it. Program facts, measuring, the milling of the machining preview and its
// default stock all take the tool's point from here.

#include "interpreter/plotlist.h"

namespace morvilo {

struct ToolPoint {
    double x, y, z;
};

inline ToolPoint ToolPointOf(const t9dline &p) {
    return {p.x + p.u, p.y + p.v, p.z + p.w};
}

} // namespace morvilo
