#include "cli/numbertext.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace morvilo::cli {

namespace {

constexpr int kDecimals = 6;
constexpr double kScale = 1e6;      // 10^kDecimals
constexpr double kQuickBelow = 1e9; // doubles below it lie less than 10^-6 / 4 apart

char *fallback(double value, char *at) {
    return std::to_chars(at, at + kMaxNumberText, value).ptr;
}

int digitCount(uint64_t n) {
    int count = 1;
    while (n >= 10) {
        n /= 10;
        ++count;
    }
    return count;
}

} // namespace

// A value below 10^9 with at most six decimals: below 10^9 neighbouring doubles are less than
// 10^-6 apart, so at most one multiple of 10^-6 reads back as the value, and n / 10^6 with n
// the integer nearest value * 10^6 is that one when the division gives the value back (both are
// exact doubles, so the division is the correctly rounded reading of the decimal). Without its
// trailing zeros it has the fewest significant digits of all texts that read back as the value,
// which is what std::to_chars writes, in fixed notation unless the scientific one is shorter
// (then, and for every other value, std::to_chars itself writes it).
char *NumberText(double value, char *at) {
    const double magnitude = std::fabs(value);
    if (!(magnitude < kQuickBelow) || value == 0)
        return fallback(value, at); // also NaN, infinities and the sign of -0
    uint64_t n = uint64_t(magnitude * kScale + 0.5);
    if (double(n) / kScale != magnitude)
        return fallback(value, at);
    int decimals = kDecimals;
    while (decimals > 0 && n % 10 == 0) {
        n /= 10;
        --decimals;
    }
    uint64_t pow10 = 1;
    for (int k = 0; k < decimals; ++k)
        pow10 *= 10;
    const uint64_t whole = n / pow10, fraction = n % pow10;
    // Lengths without the sign: fixed "W.FFF", scientific "D.DDDe-XX" (exponents stay within
    // two digits here).
    const int wholeDigits = digitCount(whole);
    const int fixedLength = wholeDigits + (decimals > 0 ? 1 + decimals : 0);
    uint64_t significant = n;
    while (significant % 10 == 0) // whole numbers with trailing zeros
        significant /= 10;
    const int digits = digitCount(significant);
    const int scientificLength = digits + (digits > 1 ? 1 : 0) + 4;
    if (scientificLength < fixedLength)
        return fallback(value, at);
    if (value < 0)
        *at++ = '-';
    at = std::to_chars(at, at + kMaxNumberText, whole).ptr;
    if (decimals > 0) {
        *at++ = '.';
        char *const end = at + decimals;
        char *digitsEnd = std::to_chars(at, end, fraction).ptr;
        const size_t written = size_t(digitsEnd - at);
        // leading zeros of the fraction
        std::memmove(end - written, at, written);
        std::memset(at, '0', size_t(decimals) - written);
        at = end;
    }
    return at;
}

std::string NumberText(double value) {
    char text[kMaxNumberText];
    return {text, NumberText(value, text)};
}

} // namespace morvilo::cli
