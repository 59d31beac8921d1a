// The expression evaluator and its number text: results of the rewriting rules (including the
// ones that differ from school arithmetic), the errors it raises, and its limits.

#include "expressions/expressionerror.h"
#include "expressions/floattostr.h"
#include "expressions/handleexpression.h"
#include "linetext/linetext.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <random>

using namespace morvilo;

namespace {

struct Case {
    const char *expression;
    const char *result;
};

std::ostream &operator<<(std::ostream &out, const Case &c) {
    return out << c.expression << " -> " << c.result;
}

class Evaluator : public ::testing::Test {
protected:
    std::string eval(std::string_view text) { return evaluator.HandleExpression(text); }
    ExpressionFault faultOf(std::string_view text) {
        try {
            const std::string result = evaluator.HandleExpression(text);
            ADD_FAILURE() << text << " gave " << result << " instead of an error";
        } catch (const ExpressionError &error) {
            return error.fault();
        }
        return ExpressionFault::TooLong;
    }

    std::unique_ptr<VariableStore> store = std::make_unique<VariableStore>();
    ExpressionEvaluator evaluator{*store};
};

class Rewriting : public Evaluator, public ::testing::WithParamInterface<Case> {};

TEST_P(Rewriting, GivesTheTextOfTheRules) {
    EXPECT_EQ(eval(GetParam().expression), GetParam().result) << GetParam().expression;
}

INSTANTIATE_TEST_SUITE_P(
    Precedence, Rewriting,
    ::testing::Values(Case{"1+2*3", "7"}, Case{"1-2*3", "-5"}, Case{"2*3+4*5", "26"},
                      Case{"-2*3", "-6"}, Case{"2*-3", "-6"}, Case{"3--2", "5"},
                      // Addition is folded before subtraction.
                      Case{"10-2+3", "5"}, Case{"10-2-3", "5"},
                      // "/" before MOD before "*": 3 MOD 4 is 3.
                      Case{"7*3MOD4", "21"}, Case{"7*3 MOD 4", "21"}, Case{"8/4/2", "1"},
                      Case{"2^3^2", "64"}, Case{"2**3**2", "64"}, Case{"2**0.5", "1.4142135623731"},
                      Case{"1/3", "0.333333333333333"}, Case{"2/3", "0.666666666666667"},
                      Case{"1+1EQ2", "1"}, Case{"1AND2", "0"}, Case{"2*[3+4]", "14"},
                      Case{"[1+2]*[3+4]", "21"}, Case{"[[2]]", "2"}));

INSTANTIATE_TEST_SUITE_P(
    Subtraction, Rewriting,
    ::testing::Values(Case{"-5", "-5"}, Case{"-5-3", "-8"}, Case{"5-", "5"},
                      // A chain goes on after each result, so it folds from the left.
                      Case{"1-1-1-1", "-2"}, Case{"8-1-1-1", "5"}, Case{"1-2-3-4", "-8"},
                      Case{"100-1-1", "98"}, Case{"1-100-1", "-100"},
                      // Signs after operators and word operators.
                      Case{"1+-2*3", "-5"}, Case{"2/-4", "-0.5"}, Case{"1EQ-1", "0"},
                      Case{"-1EQ-1", "1"}, Case{"5GT-3", "1"}, Case{"-7MOD3", "-1"},
                      Case{"7MOD-3", "1"}, Case{"-[2]", "-2"}, Case{"X-1-2", "X--1"}));

INSTANTIATE_TEST_SUITE_P(
    Functions, Rewriting,
    ::testing::Values(
        Case{"SIN", "0"}, Case{"COS", "1"}, Case{"SIN[30]", "0.5"}, Case{"sin[30]", "0.5"},
        Case{"ACOS[0]", "90"}, Case{"ASIN[1]", "90"}, Case{"TAN[45]", "1"}, Case{"sqrt[16]", "4"},
        Case{"SQR[16]", "4"}, Case{"ABS[-3]", "3"}, Case{"EXP[0]", "1"}, Case{"LN[0]", "0"},
        Case{"LN[-1]", "0"}, Case{"LN[1]", "0"}, Case{"ATAN[1]/[1]", "45"},
        Case{"ATAN[1]/[-1]", "135"}, Case{"ATAN[-1]/[-1]", "-135"}, Case{"ATAN[1]", "90"},
        Case{"ATN[1]/[1]", "45"}, Case{"ATAN[0]/[0]", "0"}, Case{"FUP[1.2]", "2"},
        Case{"FUP[-1.2]", "-1"}, Case{"FIX[1.8]", "1"}, Case{"FIX[-1.2]", "-2"},
        Case{"ROUND[2.5]", "2"}, Case{"ROUND[-2.5]", "-2"}, Case{"ROUND[3.5]", "4"},
        Case{"RND[0.5]", "0"},
        // Nested functions with two arguments; the argument texts are full expressions.
        Case{"ATAN[SIN[30]]/[COS[60]]", "45"}, Case{"ATAN[1+1]/[ATN[1]/[1]-43]", "45"},
        Case{"SIN[90]+COS[0]", "2"},
        // Names are found anywhere, in the table's order: COS goes before SIN.
        Case{"XSIN[90]", "X1"}, Case{"SIN[COS]", "0.0174524064372835"}, Case{"SINX[90]", "1X"},
        // An error inside an argument counts as an argument of 0.
        Case{"SIN[5MOD0]", "0"}, Case{"SQRT[ACOS[2]]", "0"}, Case{"ATAN[5MOD0]/[1]", "0"}));

INSTANTIATE_TEST_SUITE_P(WordsAndLeftovers, Rewriting,
                         ::testing::Values(Case{"1EQ1", "1"}, Case{"1eq2", "0"}, Case{"1NE2", "1"},
                                           Case{"2gt3", "0"}, Case{"3GE3", "1"}, Case{"2LT3", "1"},
                                           Case{"4LE3", "0"}, Case{"6AND3", "2"}, Case{"6OR3", "7"},
                                           Case{"6XOR3", "5"}, Case{"6xor3", "5"}, Case{"5/0", "0"},
                                           Case{"[1+2", "[3"}, Case{"1+2]", "3]"},
                                           Case{"X10", "X10"}, Case{"FOO[3]", "FOO3"}, Case{"", ""},
                                           Case{"0.000003/2", "0.0000015"}, Case{"1.2.3+1", "1"},
                                           Case{"100000000000000*10", "1000000000000000."}));

struct FaultCase {
    const char *expression;
    ExpressionFault fault;
};

std::ostream &operator<<(std::ostream &out, const FaultCase &c) {
    return out << c.expression << " -> " << ExpressionFaultMessage(c.fault);
}

class Faults : public Evaluator, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(Faults, ReachTheCaller) {
    EXPECT_EQ(faultOf(GetParam().expression), GetParam().fault) << GetParam().expression;
}

INSTANTIATE_TEST_SUITE_P(
    Arithmetic, Faults,
    ::testing::Values(FaultCase{"5MOD0", ExpressionFault::DivisionByZero},
                      FaultCase{"5MOD0.4", ExpressionFault::DivisionByZero},
                      // A bracket group is not guarded, a function's own computation neither.
                      FaultCase{"[5MOD0]", ExpressionFault::DivisionByZero},
                      FaultCase{"SQRT[-1]", ExpressionFault::InvalidOperation},
                      FaultCase{"ABS[SQRT[-1]]", ExpressionFault::InvalidOperation},
                      FaultCase{"SQR[-4]", ExpressionFault::InvalidOperation},
                      FaultCase{"ACOS[2]", ExpressionFault::InvalidOperation},
                      FaultCase{"ASIN[-1.5]", ExpressionFault::InvalidOperation},
                      FaultCase{"EXP[1000]", ExpressionFault::Overflow},
                      FaultCase{"EXP[709.7]*2", ExpressionFault::Overflow},
                      FaultCase{"EXP[709.7]+EXP[709.7]", ExpressionFault::Overflow},
                      FaultCase{"-EXP[709.7]-EXP[709.7]", ExpressionFault::Overflow},
                      FaultCase{"2^2000", ExpressionFault::Overflow},
                      FaultCase{"0^-1", ExpressionFault::DivisionByZero},
                      FaultCase{"[0-8]^0.5", ExpressionFault::InvalidOperation},
                      FaultCase{"ROUND[100000000000000000000]", ExpressionFault::InvalidOperation},
                      FaultCase{"100000000000000000000AND1", ExpressionFault::InvalidOperation},
                      FaultCase{"1MOD100000000000000000000", ExpressionFault::InvalidOperation},
                      FaultCase{"FUP[3000000000]", ExpressionFault::InvalidOperation},
                      FaultCase{"FIX[-3000000000]", ExpressionFault::InvalidOperation}));

TEST_F(Evaluator, FaultsCarryTheirMessages) {
    try {
        eval("5MOD0");
        FAIL();
    } catch (const ExpressionError &error) {
        EXPECT_STREQ(error.what(), "Division durch Null");
    }
    EXPECT_STREQ(ExpressionFaultMessage(ExpressionFault::InvalidOperation),
                 "Ungültige Gleitkommaoperation");
    EXPECT_STREQ(ExpressionFaultMessage(ExpressionFault::Overflow), "Gleitkommaüberlauf");
}

TEST_F(Evaluator, WholeRangeIntegersStayExact) {
    EXPECT_EQ(eval("-9223372036854775808MOD-1"), "0");
    EXPECT_EQ(eval("9007199254740993OR0"), "9007199254740992.");
}

TEST_F(Evaluator, NestingBeyondTheLimitFailsWithoutCrashing) {
    const auto nested = [](const std::string &open, int depth) {
        std::string text;
        for (int i = 0; i < depth; ++i)
            text += open;
        text += "1";
        text.append(size_t(depth), ']');
        return text;
    };
    EXPECT_EQ(eval(nested("[", 150)), "1");
    EXPECT_EQ(eval(nested("ABS[", 150)), "1");
    EXPECT_EQ(faultOf(nested("[", 1000)), ExpressionFault::TooDeep);
    // The depth limit is no arithmetic error: a function argument does not absorb it.
    EXPECT_EQ(faultOf(nested("SIN[", 1000)), ExpressionFault::TooDeep);
    EXPECT_EQ(faultOf(nested("[", 100000)), ExpressionFault::TooLong);
    // Unclosed brackets are left alone without any recursion.
    EXPECT_EQ(eval(std::string(60000, '[') + "1+2"), std::string(60000, '[') + "3");
}

TEST_F(Evaluator, TextsBeyondTheLengthLimitFail) {
    EXPECT_EQ(faultOf(std::string(ExpressionEvaluator::kMaxLength + 1, '1')),
              ExpressionFault::TooLong);
    // Growth while rewriting counts too: each EXP writes 305 characters.
    std::string growing;
    while (growing.size() < 4000)
        growing += "EXP[700]";
    EXPECT_EQ(faultOf(growing), ExpressionFault::TooLong);
    // A long sum near the limit is still evaluated.
    std::string sum = "0";
    while (sum.size() + 2 < ExpressionEvaluator::kMaxLength)
        sum += "+1";
    EXPECT_EQ(eval(sum), std::to_string((sum.size() - 1) / 2));
}

TEST_F(Evaluator, BracketOptionSwapsTheExpressionBrackets) {
    SetSquareBracketComments(true);
    const std::string swapped = eval("SIN(30)+(1+2)*2");
    const std::string squareLeftOver = eval("[1+2]");
    SetSquareBracketComments(false);
    EXPECT_EQ(swapped, "6.5");
    EXPECT_EQ(squareLeftOver, "[3]");
}

TEST_F(Evaluator, VariablesAreSubstitutedAfterTheBrackets) {
    store->va[1] = 5;
    store->va[5] = 8;
    EXPECT_EQ(eval("#[#1]"), "8");
    EXPECT_EQ(eval("#1+1"), "6");
    EXPECT_EQ(eval("X[#1*2+5]"), "X15");
    EXPECT_EQ(eval("[#1LT3]"), "0");
}

struct NumberCase {
    double value;
    const char *text;
};

TEST(FloatToStr, WritesFifteenDigitsAndNeverAnExponent) {
    const NumberCase cases[] = {
        {0.5, "0.5"},
        {123, "123"},
        {-2.25, "-2.25"},
        {3, "3"},
        {-0.0, "0"},
        {1.0 / 3, "0.333333333333333"},
        {0.1 + 0.2, "0.3"},
        {1e-6, "0.000001"},
        {1e-5, "0.00001"},
        {0.0000015, "0.0000015"},
        {-0.0000015, "-0.0000015"},
        {1.23456789e-7, "0.000000123456789"},
        {1e-21, "0."},
        {-1e-21, "-0."},
        {999999999999999, "999999999999999"},
        {123456789012345.6, "123456789012346"},
        {999999999999999.9, "999999999999999.875"},
        {1e15, "1000000000000000."},
        {-1e15 - 0.5, "-1000000000000000.5"},
        {1e17, "100000000000000000."},
        // From 10^18 up: every integer digit of the double, exactly.
        {1e18, "1000000000000000000."},
        {std::ldexp(1.0, 70), "1180591620717411303424."},
        {-std::ldexp(1.0, 63), "-9223372036854775808."},
    };
    for (const NumberCase &c : cases)
        EXPECT_EQ(floattostr(c.value), c.text) << c.text;
    const std::string largest = floattostr(std::numeric_limits<double>::max());
    EXPECT_EQ(largest.size(), 310u);
    EXPECT_EQ(largest.substr(0, 17), "17976931348623157");
    EXPECT_EQ(largest.back(), '.');
    double back = 0;
    ASSERT_TRUE(StrToFloat(largest, back));
    EXPECT_EQ(back, std::numeric_limits<double>::max());
}

// Between 10^-4 and 10^15 printf's "%.15g" writes the same text: an independent check of the
// short ways for usual values (few decimals, whole numbers) and of the general one.
TEST(FloatToStr, AgreesWithPrintfInTheGeneralRange) {
    std::mt19937_64 random(2026);
    std::uniform_int_distribution<int64_t> whole(-99999999, 99999999);
    std::uniform_int_distribution<int> decimals(0, 6);
    std::uniform_real_distribution<double> exponent(-4, 15);
    for (int i = 0; i < 200000; ++i) {
        double value = i % 2 == 0 ? double(whole(random)) / std::pow(10.0, decimals(random))
                                  : std::pow(10.0, exponent(random));
        if (i % 3 == 0)
            value = -value;
        if (!(std::fabs(value) >= 1e-4 && std::fabs(value) < 1e15))
            continue;
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.15g", value);
        if (std::string_view(expected).find('e') != std::string_view::npos)
            continue; // rounded up to 10^15
        ASSERT_EQ(floattostr(value), expected) << value;
    }
}

TEST(StrToFloat, ShortDecimalsReadAsTheNearestDouble) {
    std::mt19937_64 random(7);
    std::uniform_int_distribution<int64_t> digits(0, 999999999999999);
    std::uniform_int_distribution<int> point(0, 15);
    for (int i = 0; i < 100000; ++i) {
        std::string text = std::to_string(digits(random));
        text.insert(std::min(size_t(point(random)), text.size()), ".");
        double value = 0, expected = 0;
        ASSERT_TRUE(StrToFloat(text, value)) << text;
        std::from_chars(text.data(), text.data() + text.size(), expected);
        ASSERT_EQ(value, expected) << text;
    }
}

TEST(FloatToStr, RefusesNanAndInfinity) {
    const auto faultOf = [](double value) {
        try {
            floattostr(value);
        } catch (const ExpressionError &error) {
            return error.fault();
        }
        return ExpressionFault::TooLong;
    };
    EXPECT_EQ(faultOf(std::nan("")), ExpressionFault::InvalidOperation);
    EXPECT_EQ(faultOf(-std::numeric_limits<double>::infinity()), ExpressionFault::Overflow);
}

TEST(StrToFloat, ReadsNumberTextsOnly) {
    double value = 7;
    EXPECT_TRUE(StrToFloat("5.", value));
    EXPECT_EQ(value, 5);
    EXPECT_TRUE(StrToFloat("-.5", value));
    EXPECT_EQ(value, -0.5);
    EXPECT_TRUE(StrToFloat("1E5", value));
    EXPECT_EQ(value, 100000);
    // Below the range of doubles is 0, beyond it no number.
    const std::string tiny = "0." + std::string(400, '0') + "1";
    EXPECT_TRUE(StrToFloat(tiny, value));
    EXPECT_EQ(value, 0);
    EXPECT_FALSE(StrToFloat(std::string(400, '9'), value));
    for (const char *bad : {"", "-", ".", "1.2.3", "1e999", "nan", "inf", "x"})
        EXPECT_FALSE(StrToFloat(bad, value)) << bad;
}

TEST(RoundHalfEven, RoundsHalvesToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(-3.5), -4);
    EXPECT_EQ(RoundHalfEven(2.4999), 2);
    EXPECT_EQ(RoundHalfEven(-0.6), -1);
    EXPECT_EQ(RoundHalfEven(1e300), 1e300);
}

} // namespace
