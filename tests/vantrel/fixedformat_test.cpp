#include "vantrel/fixedformat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

using morvilo::FormatFixed;

TEST(ReliefFormat, FixedPointWithHalvesAwayFromZero) {
    struct Case {
        long double value;
        int decimals;
        const char *text;
    } cases[] = {
        {0, 4, "0.0000"},
        {0.25L, 2, "0.25"},
        {-1.5L, 1, "-1.5"},
        {3, 0, "3"},
        {2.5L, 0, "3"}, // exact half: away from zero
        {-2.5L, 0, "-3"},
        {0.125L, 2, "0.13"},
        {-0.125L, 2, "-0.13"},
        {1.005, 2, "1.00"},   // the double nearest 1.005 lies below it
        {-0.004L, 2, "0.00"}, // negative but rounds to zero: no sign
        {-0.0L, 3, "0.000"},
        {198.0L * (long double)(10.0 / 199.0), 4, "9.9497"},
        {12345678.9L, 20, "12345678.899999999999636202"}, // 20 write 18; exact binary value
        {1e-30L, 18, "0.000000000000000000"},
        {5e-19L, 18, "0.000000000000000000"}, // stored as 4.99999...e-19
        {0.375L, 2, "0.38"},
        {-7, -3, "-7"},
        {1e20L, 2, "100000000000000000000.00"},
        {1e40L, 1, "9999999999999999999783686092270256259072.0"}, // beyond 128 bits
        {123456789012345678.0L, 0, "123456789012345678"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FormatFixed(c.value, c.decimals), c.text)
            << "value " << double(c.value) << " decimals " << c.decimals;
}

TEST(ReliefFormat, NonFiniteValuesAreWrittenAsWords) {
    EXPECT_EQ(FormatFixed(std::numeric_limits<long double>::infinity(), 2), "inf");
    EXPECT_EQ(FormatFixed(-std::numeric_limits<long double>::infinity(), 2), "-inf");
    EXPECT_EQ(FormatFixed(std::numeric_limits<long double>::quiet_NaN(), 2), "nan");
}

// glibc prints the exact decimal expansion of a long double; cutting it at the wanted
// decimals and rounding the digit string by hand gives the reference.
static std::string referenceFixed(long double v, int decimals) {
    char text[6000];
    std::snprintf(text, sizeof text, "%.150Lf", std::fabs(v));
    std::string s(text);
    const size_t point = s.find('.');
    std::string digits = s.substr(0, point) + s.substr(point + 1, size_t(decimals));
    const bool up = s[point + 1 + size_t(decimals)] >= '5';
    if (up) {
        int i = int(digits.size()) - 1;
        while (i >= 0 && digits[size_t(i)] == '9')
            digits[size_t(i--)] = '0';
        if (i < 0)
            digits.insert(0, "1");
        else
            ++digits[size_t(i)];
    }
    std::string out = digits.substr(0, digits.size() - size_t(decimals));
    if (decimals > 0)
        out += "." + digits.substr(digits.size() - size_t(decimals));
    if (std::signbit(v) && out.find_first_not_of("0.") != std::string::npos)
        out.insert(0, "-");
    return out;
}

TEST(ReliefFormat, AgreesWithTheExactDecimalExpansion) {
    std::mt19937_64 random(12345);
    std::uniform_real_distribution<double> magnitude(-8, 6);
    std::uniform_int_distribution<int> decimals(0, 18);
    for (int i = 0; i < 20000; ++i) {
        const long double pitch = (long double)(random() % 1000 + 1) / (random() % 997 + 1);
        long double v = (long double)(random() % 5000) * pitch * std::pow(10.0L, magnitude(random));
        if (random() & 1)
            v = -v;
        const int d = decimals(random);
        ASSERT_EQ(FormatFixed(v, d), referenceFixed(v, d)) << double(v) << " with " << d;
    }
    // Exact ties at every number of decimals: 2^-(d+1) has d+1 decimals, the last one a 5.
    for (int d = 0; d <= 18; ++d) {
        const long double half = std::ldexp(1.0L, -(d + 1));
        for (long double v : {half, 3 * half, -5 * half, 12345 + half})
            EXPECT_EQ(FormatFixed(v, d), referenceFixed(v, d)) << double(v) << " with " << d;
    }
}
