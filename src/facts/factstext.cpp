#include "facts/factstext.h"

#include "machine/motiontime.h"
#include "vantrel/fixedformat.h"

#include <cmath>
#include <cstdio>

namespace morvilo {

namespace {

std::string rounded(double value) {
    return std::isfinite(value) ? FormatFixed(value, 3) : "-";
}

std::string range(const FactsBox &box, int axis) {
    return rounded(box.min[axis]) + " .. " + rounded(box.max[axis]);
}

std::string boxText(const FactsBox &box) {
    if (box.empty)
        return "-";
    std::string text;
    for (int axis = 0; axis < 3; ++axis)
        text += std::string(axis ? "  " : "") + "XYZ"[axis] + " " + range(box, axis);
    return text;
}

} // namespace

std::string FactsDuration(double seconds) {
    const std::string clock = RunTimeText(seconds);
    return clock == "-" ? clock : clock + " (" + FormatFixed(seconds, 1) + " s)";
}

std::vector<FactsRow> FactsRows(const ProgramFacts &f) {
    const std::string units = f.inch ? "inch" : "mm";
    std::vector<FactsRow> rows = {
        {{"Sätze", {}}, std::to_string(f.blocks)},
        {{"Werkzeugwechsel", {}}, std::to_string(f.toolChanges)},
        {{"Spindelstarts", {}}, std::to_string(f.spindleStarts)},
        {{"Einheiten", {}}, units},
        {{"Ausdehnung, alle Bewegungen", {}}, boxText(f.all)},
        {{"Ausdehnung, Vorschub", {}}, boxText(f.feed)},
        {{"Maschine, alle Bewegungen", {}}, boxText(f.allMachine)},
        {{"Maschine, Vorschub", {}}, boxText(f.feedMachine)},
    };
    for (int axis = 0; axis < 3; ++axis)
        if (f.rotaryUsed[axis])
            rows.push_back(
                {{"Drehachse %1", {std::string(1, "ABC"[axis])}}, range(f.rotary, axis)});
    const FactsRow more[] = {
        {{"Weg im Eilgang", {}}, rounded(f.rapidLength) + " " + units},
        {{"Weg im Vorschub", {}}, rounded(f.feedLength) + " " + units},
        {{"Zeit im Eilgang", {}}, FactsDuration(f.rapidTime)},
        {{"Zeit im Vorschub", {}}, FactsDuration(f.feedTime)},
        {{"Verweilzeit", {}}, FactsDuration(f.dwellTime)},
        {{"Werkzeugwechselzeit", {}}, FactsDuration(f.toolChangeTime)},
        {{"Laufzeit", {}}, FactsDuration(f.totalTime)},
        {{"Laufzeit mit Beschleunigung", {}}, FactsDuration(f.totalTimeAccel)},
    };
    rows.insert(rows.end(), std::begin(more), std::end(more));
    return rows;
}

UserMessage FactsStatusLine(const ProgramFacts &f) {
    const FactsBox &b = f.all;
    const auto at = [&b](int axis, bool high) {
        return b.empty ? std::string("-") : rounded(high ? b.max[axis] : b.min[axis]);
    };
    return {"Laufzeit %1 (mit Beschleunigung %2), X %3 .. %4, Y %5 .. %6, Z %7 .. %8",
            {RunTimeText(f.totalTime), RunTimeText(f.totalTimeAccel), at(0, false), at(0, true),
             at(1, false), at(1, true), at(2, false), at(2, true)}};
}

} // namespace morvilo
