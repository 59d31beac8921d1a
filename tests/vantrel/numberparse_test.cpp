#include "../common/germanlocale.h"
#include "vantrel/numberparse.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using morvilo::ParseInteger;
using morvilo::ParseReal;

TEST(NumberText, Integers) {
    struct Case {
        const char *text;
        bool ok;
        int64_t value;
    } cases[] = {{"8", true, 8},
                 {" -12 ", true, -12},
                 {"+3", true, 3},
                 {"99999999999999999999", true, std::numeric_limits<int64_t>::max()},
                 {"-99999999999999999999", true, std::numeric_limits<int64_t>::min()},
                 {"8.5", false, 0},
                 {"abc", false, 0},
                 {"", false, 0},
                 {"1x", false, 0},
                 {"-", false, 0},
                 {"0x10", false, 0}};
    for (const Case &c : cases) {
        int64_t value = 0;
        EXPECT_EQ(ParseInteger(c.text, value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

TEST(NumberText, RealsIgnoreTheLocaleAndRefuseWords) {
    ASSERT_EQ(morvilo::test::UseGermanLocale(), ""); // a comma locale must change nothing
    struct Case {
        const char *text;
        bool ok;
        double value;
    } cases[] = {{"0.1", true, 0.1},  {"-1.5", true, -1.5}, {"+20", true, 20},   {".5", true, 0.5},
                 {"1e3", true, 1000}, {"2.", true, 2},      {"1e-400", true, 0}, {"0,5", false, 0},
                 {"inf", false, 0},   {"nan", false, 0},    {"abc", false, 0},   {"", false, 0},
                 {".", false, 0},     {"1.2.3", false, 0},  {"0x1p3", false, 0}};
    for (const Case &c : cases) {
        double value = -7;
        EXPECT_EQ(ParseReal(c.text, value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
    double huge = 0;
    ASSERT_TRUE(ParseReal("-1e400", huge));
    EXPECT_TRUE(std::isinf(huge) && huge < 0);
    morvilo::test::UseCLocale();
}
