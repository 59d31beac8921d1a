#pragma once
// The shortest text that reads back as the same double, exactly as std::to_chars(first, last,
// value) writes it, with a quicker way for the numbers G-code is mostly made of.

#include <cstddef>
#include <string>

namespace morvilo::cli {

// Room NumberText needs at most ("-1.7976931348623157e+308").
constexpr size_t kMaxNumberText = 24;

// Writes the text of value from at (room for kMaxNumberText characters); returns its end.
char *NumberText(double value, char *at);
// The same text as a string.
std::string NumberText(double value);

} // namespace morvilo::cli
