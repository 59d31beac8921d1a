#pragma once
// The program facts as text: the rows of the table that morvilo-cli stats prints and the
// "Programm-Info" dialog shows, and the short line of the status bar. Labels are German with
// their values apart, for the translation table; numbers are written with a decimal point
// whatever the locale.

#include "facts/programfacts.h"
#include "vantrel/usermessage.h"

#include <string>
#include <vector>

namespace morvilo {

struct FactsRow {
    UserMessage label;
    std::string value;
};

std::vector<FactsRow> FactsRows(const ProgramFacts &facts);

// A run time with the seconds themselves: "0:02:35 (155.1 s)".
std::string FactsDuration(double seconds);

// "Laufzeit 0:02:35 (mit Beschleunigung 0:02:36), X 0.000 .. 100.000, Y ..., Z ...".
UserMessage FactsStatusLine(const ProgramFacts &facts);

} // namespace morvilo
