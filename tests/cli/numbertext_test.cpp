// NumberText writes exactly what std::to_chars writes for a double.

#include "cli/numbertext.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

namespace {

using morvilo::cli::kMaxNumberText;
using morvilo::cli::NumberText;

std::string numberText(double value) {
    char text[kMaxNumberText];
    return std::string(text, NumberText(value, text));
}

std::string standardText(double value) {
    char text[64];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// Values where the quick way must give way or choose its notation with care: signs of zero,
// the scientific notation when it is shorter (1e-04, 1e+05), the tie that stays fixed (0.001),
// the neighbours of the quick range's bound, seventh decimals, non-finite values.
TEST(NumberText, TrickyValuesReadAsStdToChars) {
    const double inf = std::numeric_limits<double>::infinity();
    for (const double value : {0.0,
                               -0.0,
                               0.5,
                               -1.25,
                               0.0001,
                               0.001,
                               0.00012,
                               1e-6,
                               1e-7,
                               5e-7,
                               100000.0,
                               120000.0,
                               1000000.0,
                               -1000.0,
                               123456789.123456,
                               999999999.999999,
                               999999999.9999995,
                               1e9,
                               std::nextafter(1e9, 0.0),
                               0.1 + 0.2,
                               1.0 / 3,
                               1e23,
                               4.9e-324,
                               1.7976931348623157e308,
                               inf,
                               -inf,
                               std::nan("")})
        EXPECT_EQ(numberText(value), standardText(value)) << value;
}

// Decimals of up to eight places and their neighbouring doubles, then arbitrary bit patterns.
TEST(NumberText, ManyValuesReadAsStdToChars) {
    std::mt19937_64 random(7);
    int mismatches = 0;
    auto check = [&](double value) {
        if (numberText(value) != standardText(value) && ++mismatches <= 10)
            ADD_FAILURE() << standardText(value) << " written as " << numberText(value);
    };
    for (int i = 0; i < 300000; ++i) {
        const int decimals = int(random() % 9);
        const double scale = std::pow(10.0, decimals);
        const double magnitude = std::pow(10.0, double(random() % 11));
        double value = double(random() % uint64_t(magnitude * scale + 1)) / scale;
        if (random() & 1)
            value = -value;
        check(value);
        check(std::nextafter(value, 1e300));
        check(std::nextafter(value, -1e300));
        check(std::bit_cast<double>(random()));
    }
    EXPECT_EQ(mismatches, 0);
}

} // namespace
