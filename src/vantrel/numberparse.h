#pragma once
// Locale-free reading of numbers typed by users or given on command lines: "." is the
// decimal point whatever the user's locale says.

#include <cstdint>
#include <string_view>

namespace morvilo {

// An integer: optional sign and decimal digits, blanks around it allowed. Values beyond the
// 64-bit range saturate. False for anything else (empty text, "8.5", "abc", "1x").
bool ParseInteger(std::string_view text, int64_t &value);

// A real: optional sign, digits with an optional "." and fraction, optional exponent ("1e3"),
// blanks around it allowed. Values beyond the double range become infinite, values below it
// zero. False for anything else, "inf" and "nan" included.
bool ParseReal(std::string_view text, double &value);
// The same in extended precision, for values that keep the full precision of their text.
bool ParseReal(std::string_view text, long double &value);

} // namespace morvilo
