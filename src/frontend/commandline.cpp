#include "frontend/commandline.h"

#include "frontend/panelvalues.h"
#include "vantrel/numberparse.h"

#include <algorithm>
#include <cctype>

namespace morvilo {

namespace {

bool equalsIgnoringCase(const std::string &text, const char *word) {
    return std::equal(text.begin(), text.end(), word, word + std::char_traits<char>::length(word),
                      [](char a, char b) { return std::tolower((unsigned char)a) == b; });
}

// The guarded block: stops at the first argument that is not a number.
void applyNumbers(const std::vector<std::string> &arguments, ReliefParameters &p) {
    if (arguments.size() < 3)
        return;
    int64_t levels = 0;
    if (!ParseInteger(arguments[2], levels))
        return;
    p.levels = PanelInteger(levels, kLevelsRange);
    double real = 0;
    if (arguments.size() < 4 || !ParseReal(arguments[3], real))
        return;
    p.width = PanelRealExtended(real, kWidthRange);
    if (arguments.size() < 5 || !ParseReal(arguments[4], real))
        return;
    p.abstandfr = PanelReal(real, kDistanceRange);
}

} // namespace

StartupCommand ApplyCommandLine(const std::vector<std::string> &arguments, ReliefParameters &p) {
    applyNumbers(arguments, p);
    if (arguments.size() >= 6)
        p.invert = equalsIgnoringCase(arguments[5], "true");
    StartupCommand command;
    if (!arguments.empty())
        command.picture = arguments[0];
    if (arguments.size() >= 2)
        command.output = arguments[1];
    return command;
}

} // namespace morvilo
