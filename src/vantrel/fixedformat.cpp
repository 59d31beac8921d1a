#include "vantrel/fixedformat.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace morvilo {

namespace {

using u128 = unsigned __int128;

constexpr uint64_t kPow10[kMaxFixedDecimals + 1] = {1ull,
                                                    10ull,
                                                    100ull,
                                                    1000ull,
                                                    10000ull,
                                                    100000ull,
                                                    1000000ull,
                                                    10000000ull,
                                                    100000000ull,
                                                    1000000000ull,
                                                    10000000000ull,
                                                    100000000000ull,
                                                    1000000000000ull,
                                                    10000000000000ull,
                                                    100000000000000ull,
                                                    1000000000000000ull,
                                                    10000000000000000ull,
                                                    100000000000000000ull,
                                                    1000000000000000000ull};

constexpr char kDigitPairs[] = "00010203040506070809"
                               "10111213141516171819"
                               "20212223242526272829"
                               "30313233343536373839"
                               "40414243444546474849"
                               "50515253545556575859"
                               "60616263646566676869"
                               "70717273747576777879"
                               "80818283848586878889"
                               "90919293949596979899";

// Splits a finite, non-negative value into mantissa * 2^exponent, exactly.
void decompose(long double a, uint64_t &mantissa, int &exponent) {
#if LDBL_MANT_DIG == 64 && defined(__x86_64__)
    // x87 extended: 64-bit mantissa with explicit integer bit, 15-bit biased exponent.
    unsigned char bytes[sizeof(long double)];
    std::memcpy(bytes, &a, sizeof bytes);
    std::memcpy(&mantissa, bytes, 8);
    const int biased = (bytes[8] | (bytes[9] << 8)) & 0x7FFF;
    exponent = (biased == 0 ? 1 : biased) - 16383 - 63;
#else
    int e = 0;
    long double f = std::frexp(a, &e);
    mantissa = uint64_t(std::ldexp(f, 64));
    exponent = e - 64;
#endif
}

// Decimal digits of n, written backwards ending at end; returns the first digit's address.
char *digitsBackwards(uint64_t n, char *end) {
    while (n >= 100) {
        const unsigned pair = unsigned(n % 100) * 2;
        n /= 100;
        *--end = kDigitPairs[pair + 1];
        *--end = kDigitPairs[pair];
    }
    if (n >= 10) {
        *--end = kDigitPairs[n * 2 + 1];
        *--end = kDigitPairs[n * 2];
    } else {
        *--end = char('0' + n);
    }
    return end;
}

char *digitsBackwards(u128 n, char *end) {
    constexpr uint64_t chunk = 10000000000000000000ull; // 10^19
    while (n > UINT64_MAX) {
        const uint64_t low = uint64_t(n % chunk);
        n /= chunk;
        char *start = digitsBackwards(low, end);
        while (end - start < 19)
            *--start = '0';
        end = start;
    }
    return digitsBackwards(uint64_t(n), end);
}

// Writes the integer `scaled` (the value times 10^decimals) with the point put back in.
size_t writeScaled(bool negative, u128 scaled, int decimals, char *dest) {
    char digits[48];
    char *end = digits + sizeof digits;
    char *start = digitsBackwards(scaled, end);
    while (end - start < decimals + 1)
        *--start = '0';
    char *out = dest;
    if (negative && scaled != 0)
        *out++ = '-';
    const size_t integerDigits = size_t(end - start) - size_t(decimals);
    std::memcpy(out, start, integerDigits);
    out += integerDigits;
    if (decimals > 0) {
        *out++ = '.';
        std::memcpy(out, start + integerDigits, size_t(decimals));
        out += decimals;
    }
    return size_t(out - dest);
}

// Values too large for 128-bit arithmetic are integers already: their digits are exact.
size_t writeHugeInteger(bool negative, long double magnitude, int decimals, char *dest) {
    char *out = dest;
    if (negative)
        *out++ = '-';
    out += std::snprintf(out, kMaxFixedText - 2 - size_t(decimals), "%.0Lf", magnitude);
    if (decimals > 0) {
        *out++ = '.';
        std::memset(out, '0', size_t(decimals));
        out += decimals;
    }
    return size_t(out - dest);
}

} // namespace

size_t FormatFixed(long double value, int decimals, char *dest) {
    if (decimals < 0)
        decimals = 0;
    if (decimals > kMaxFixedDecimals)
        decimals = kMaxFixedDecimals;
    if (std::isnan(value)) {
        std::memcpy(dest, "nan", 3);
        return 3;
    }
    const bool negative = std::signbit(value);
    if (std::isinf(value)) {
        std::memcpy(dest, negative ? "-inf" : "inf", negative ? 4 : 3);
        return negative ? 4 : 3;
    }
    uint64_t mantissa = 0;
    int exponent = 0;
    decompose(std::fabs(value), mantissa, exponent);
    if (mantissa == 0)
        return writeScaled(false, 0, decimals, dest);

    // value * 10^decimals = mantissa * 10^decimals * 2^exponent, exact in 128 bits
    // (the product is below 2^124).
    const u128 product = u128(mantissa) * kPow10[decimals];
    if (exponent >= 0) {
        const int bits = 128 - (uint64_t(product >> 64) ? __builtin_clzll(uint64_t(product >> 64))
                                                        : 64 + __builtin_clzll(uint64_t(product)));
        if (bits + exponent > 127)
            return writeHugeInteger(negative, std::fabs(value), decimals, dest);
        return writeScaled(negative, product << exponent, decimals, dest);
    }
    const int shift = -exponent;
    if (shift >= 128)
        return writeScaled(negative, 0, decimals, dest); // below 2^-4: rounds to zero
    u128 scaled = product >> shift;
    const u128 remainder = product & ((u128(1) << shift) - 1);
    if (remainder >= (u128(1) << (shift - 1)))
        ++scaled; // half or more: away from zero
    return writeScaled(negative, scaled, decimals, dest);
}

std::string FormatFixed(long double value, int decimals) {
    char text[kMaxFixedText];
    return std::string(text, FormatFixed(value, decimals, text));
}

} // namespace morvilo
