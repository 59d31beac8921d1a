#include "expressions/floattostr.h"

#include "expressions/expressionerror.h"
#include "vantrel/numberparse.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace morvilo {

namespace {

constexpr int kSignificantDigits = 15;
constexpr int kFixedDecimals = 20;
// Enough for the integer digits of the largest double, the point and 20 decimals.
constexpr size_t kBufferSize = 400;

// Fixed point with 20 decimals, trailing zeros removed; the point stays.
void appendFixed(std::string &out, double value) {
    char buffer[kBufferSize];
    const auto r = std::to_chars(buffer, buffer + kBufferSize, value, std::chars_format::fixed,
                                 kFixedDecimals);
    const char *end = r.ptr;
    while (end - buffer >= 2 && end[-1] == '0')
        --end;
    out.append(buffer, size_t(end - buffer));
}

// The general format from the value's 15 significant digits `digits` and its decimal exponent
// (value = d.ddd... x 10^exponent), for exponents -5 ... 14.
void appendGeneral(std::string &out, bool negative, std::string_view digits, int exponent) {
    while (digits.size() > 1 && digits.back() == '0')
        digits.remove_suffix(1);
    if (negative)
        out += '-';
    if (exponent < 0) {
        out += "0.";
        out.append(size_t(-exponent - 1), '0');
        out += digits;
        return;
    }
    const size_t integerDigits = size_t(exponent) + 1;
    if (digits.size() <= integerDigits) {
        out += digits;
        out.append(integerDigits - digits.size(), '0');
        return;
    }
    out += digits.substr(0, integerDigits);
    out += '.';
    out += digits.substr(integerDigits);
}

constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// Values with up to four decimals, the usual ones in G-code: when value x 10^k is a whole
// number n below 10^15, n / 10^k lies within 2^-53 of the value (relatively), far closer than
// half a step of the 15-digit grid, so its digits are the value's 15 significant digits.
bool appendShortDecimal(std::string &out, double value) {
    if (!(std::fabs(value) < 1e11))
        return false;
    for (int k = 1; k <= 4; ++k) {
        const double scaled = value * kPowersOfTen[k];
        if (scaled != std::trunc(scaled))
            continue;
        char buffer[24];
        const int64_t whole = int64_t(scaled);
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, whole < 0 ? -whole : whole);
        std::string_view digits(buffer, size_t(r.ptr - buffer));
        if (whole < 0)
            out += '-';
        if (digits.size() <= size_t(k)) {
            out += "0.";
            out.append(size_t(k) - digits.size(), '0');
        } else {
            out += digits.substr(0, digits.size() - size_t(k));
            out += '.';
            digits.remove_prefix(digits.size() - size_t(k));
        }
        while (digits.back() == '0') // the value is no whole number: a digit stays
            digits.remove_suffix(1);
        out += digits;
        return true;
    }
    return false;
}

// A number text without exponent whose integer digits are all zero ("0.000...0001" with
// hundreds of zeros) is below the range of doubles, not beyond it.
bool underflowsToZero(std::string_view text) {
    if (text.find_first_of("eE") != std::string_view::npos)
        return false;
    const std::string_view integer = text.substr(0, text.find('.'));
    return std::none_of(integer.begin(), integer.end(),
                        [](char c) { return c >= '1' && c <= '9'; });
}

} // namespace

void AppendFloatText(std::string &out, double value) {
    if (std::isnan(value))
        throw ExpressionError(ExpressionFault::InvalidOperation);
    if (std::isinf(value))
        throw ExpressionError(ExpressionFault::Overflow);
    char buffer[kBufferSize];
    if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
        // Whole numbers below 10^15 have at most 15 digits: their general text is the integer.
        const auto r = std::to_chars(buffer, buffer + kBufferSize, int64_t(value));
        out.append(buffer, size_t(r.ptr - buffer));
        return;
    }
    if (appendShortDecimal(out, value))
        return;
    // d.dddde+XX: the shortest digits that read back as the value. When there are 15 or fewer,
    // they are also the value rounded to 15 significant digits (the value lies closer to them
    // than half a step of the 15-digit grid); otherwise round to 15 digits explicitly.
    auto r = std::to_chars(buffer, buffer + kBufferSize, value, std::chars_format::scientific);
    std::string_view text(buffer, size_t(r.ptr - buffer));
    const bool negative = text.front() == '-';
    const size_t first = negative ? 1 : 0;
    size_t e = text.find('e');
    // Digits before "e": the first, then the point (if any) and the others.
    const size_t shortestDigits = e - first - (e - first > 1 ? 1 : 0);
    if (shortestDigits > size_t(kSignificantDigits)) {
        r = std::to_chars(buffer, buffer + kBufferSize, value, std::chars_format::scientific,
                          kSignificantDigits - 1);
        text = std::string_view(buffer, size_t(r.ptr - buffer));
        e = text.find('e');
    }
    int exponent = 0;
    const char *exponentText = text.data() + e + 1;
    if (*exponentText == '+')
        ++exponentText;
    std::from_chars(exponentText, text.data() + text.size(), exponent);
    if (exponent < -5 || exponent >= kSignificantDigits) {
        appendFixed(out, value);
        return;
    }
    char digits[kSignificantDigits];
    digits[0] = text[first];
    const size_t more = e > first + 2 ? text.copy(digits + 1, e - first - 2, first + 2) : 0;
    appendGeneral(out, negative, std::string_view(digits, more + 1), exponent);
}

std::string floattostr(double value) {
    std::string text;
    AppendFloatText(text, value);
    return text;
}

bool StrToFloatRest(std::string_view text, double &value) {
    double read = 0;
    if (!ParseReal(text, read))
        return false;
    if (std::isinf(read) && underflowsToZero(text))
        read = std::signbit(read) ? -0.0 : 0.0;
    if (!std::isfinite(read))
        return false;
    value = read;
    return true;
}

double RoundHalfEven(double value) {
    const double nearest = std::round(value); // halves away from zero
    if (std::fabs(value - std::trunc(value)) == 0.5)
        return 2 * std::round(value / 2);
    return nearest;
}

} // namespace morvilo
