#pragma once
// The number text of relief coordinates: fixed-point with exactly `decimals` decimals (above
// 18 gives 18), rounded to nearest with halves away from zero on the exact binary value,
// "." as decimal point whatever the locale, "-" only when the rounded value is not zero, at
// least one digit before the point, no point at all for 0 decimals.

#include <cstddef>
#include <string>

namespace morvilo {

constexpr int kMaxFixedDecimals = 18;
// Room FormatFixed may need: sign, the integer digits of the largest long double, point and
// decimals.
constexpr size_t kMaxFixedText = 1 + 4933 + 1 + kMaxFixedDecimals + 1;

// Writes the text to dest (room for kMaxFixedText characters) and returns its length.
size_t FormatFixed(long double value, int decimals, char *dest);
std::string FormatFixed(long double value, int decimals);

} // namespace morvilo
