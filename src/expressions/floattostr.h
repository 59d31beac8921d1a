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

// StrToFloat (below) for the texts that are no short decimal.
bool StrToFloatRest(std::string_view text, double &value);

// "[-]digits[.digits]" with at most 15 digits, the usual number of G-code, read inline (the
// interpreter reads millions of them): the digits as a whole number divided by a power of
// ten, both exact, so the one rounding of the division gives the nearest double.
inline constexpr double kShortDecimalPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
struct ShortDecimal {
    const char *stop; // the first character after the sign, digits and point read
    double value;
    bool ok; // 1 ... 15 digits were read
};
// Reads from p as far as the text has the form of a short decimal. Terminated: the text ends
// in a character other than a digit, "." and "-" at `end` (the 0 after a std::string's text),
// so the reading needs no look at end.
template <bool Terminated = false>
inline ShortDecimal ScanShortDecimal(const char *p, const char *end) {
    const auto inside = [&p, end] { return Terminated || p < end; };
    const bool negative = inside() && *p == '-';
    p += negative ? 1 : 0;
    // More than 15 digits overflow nothing that is used: the text is then no short decimal.
    uint64_t whole = 0;
    const char *const integer = p;
    while (inside() && unsigned(*p - '0') < 10)
        whole = whole * 10 + unsigned(*p++ - '0');
    size_t digits = size_t(p - integer), decimals = 0;
    if (inside() && *p == '.') {
        const char *const fraction = ++p;
        while (inside() && unsigned(*p - '0') < 10)
            whole = whole * 10 + unsigned(*p++ - '0');
        decimals = size_t(p - fraction);
        digits += decimals;
    }
    if (digits == 0 || digits > 15)
        return {p, 0, false};
    const double magnitude = double(int64_t(whole)) / kShortDecimalPowers[decimals];
    return {p, negative ? -magnitude : magnitude, true};
}
// The whole text is a short decimal: its value. False (value unchanged) for any other text.
inline bool ReadShortDecimal(std::string_view text, double &value) {
    const ShortDecimal read = ScanShortDecimal(text.data(), text.data() + text.size());
    if (!read.ok || read.stop != text.data() + text.size())
        return false;
    value = read.value;
    return true;
}

// Reads a number text as the evaluator converts operands and results: optional sign, digits
// with an optional "." and fraction, optional exponent, blanks around allowed. False for
// anything else and for values beyond the range of doubles.
inline bool StrToFloat(std::string_view text, double &value) {
    return ReadShortDecimal(text, value) || StrToFloatRest(text, value);
}

// The nearest integer, halves to the even neighbour (2.5 -> 2, -2.5 -> -2, 3.5 -> 4).
double RoundHalfEven(double value);

} // namespace morvilo
