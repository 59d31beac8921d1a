#pragma once
// Number texts of the expression language: the text every computed value takes when it is
// written back into G-code, and the reading of such texts. "." is the decimal point whatever
// the locale says.

#include <cstdint>
#include <string>
#include <string_view>

namespace morvilo {

// The number text of a value: the general format with up to 15 significant digits ("0.5",
// "123", "-2.25"); magnitudes below 0.00001 and from 10^15 up are written in fixed point with
// 20 decimals instead of an exponent, trailing zeros removed but a final point kept
// ("0.0000015", "1000000000000000.", "0." for magnitudes below 10^-20). From 10^18 up the text
// holds all integer digits of the value exactly ("1000000000000000000."). A NaN or an infinity
// has no number text: it raises an ExpressionError (invalid operation or overflow).
std::string floattostr(double value);
// The same, appended to `out`.
void AppendFloatText(std::string &out, double value);

// Reads a number text as the evaluator converts operands and results: optional sign, digits
// with an optional "." and fraction, optional exponent, blanks around allowed. False for
// anything else and for values beyond the range of doubles.
bool StrToFloat(std::string_view text, double &value);

// The nearest integer, halves to the even neighbour (2.5 -> 2, -2.5 -> -2, 3.5 -> 4).
double RoundHalfEven(double value);

} // namespace morvilo
