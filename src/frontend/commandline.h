#pragma once
// The start-up command line: PICTURE [OUTPUT [LEVELS [WIDTH [DISTANCE [INVERT]]]]].

#include "relief/reliefgenerator.h"

#include <string>
#include <vector>

namespace morvilo {

struct StartupCommand {
    std::string picture; // empty: start normally
    std::string output;  // empty: show the result instead of saving it
};

// Applies arguments 3 to 6 (counted from 1, without the program name) to the parameters the
// way the panel takes them: levels, width, distance in this order inside one guard, so the
// first that is not a number stops the rest silently (values applied before it stay); each
// clamped to its control's range, reals rounded to two decimals. Argument 6 checks the
// inversion when it reads "true" in any letter case and unchecks it otherwise.
StartupCommand ApplyCommandLine(const std::vector<std::string> &arguments, ReliefParameters &p);

} // namespace morvilo
