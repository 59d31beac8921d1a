// The evaluator against a literal, slow implementation of the rewriting rules: full rescans
// from the first character, upper-cased copies for every search, and the substitution that
// restarts after every reference. The evaluator skips work that cannot change the result
// (passes whose characters are absent, text already scanned); on random expressions both must
// give the same text or the same error.

#include "expressions/expressionerror.h"
#include "expressions/floattostr.h"
#include "expressions/handleexpression.h"
#include "linetext/linetext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <random>

using namespace morvilo;

namespace {

std::string upperCased(std::string s) {
    for (char &c : s)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return s;
}

bool isOperandChar(char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == ' ';
}

class Reference {
public:
    explicit Reference(VariableStore &store) : store(store) {}

    std::string eval(std::string s) {
        stage1(s);
        stage2(s);
        substitute(s);
        stage4(s);
        return s;
    }

    void substitute(std::string &s) {
        for (bool restart = true; restart;) {
            restart = false;
            bool open = false;
            size_t start = 0, last = 0;
            int indirections = 0;
            std::string digits;
            for (size_t i = 0; i < s.size() && !restart; ++i) {
                const char c = s[i];
                if (c == '#' && !open) {
                    open = true;
                    start = last = i;
                    indirections = 0;
                    digits.clear();
                } else if (c == '#' && i == last + 1) {
                    ++indirections;
                    last = i;
                } else if (open && c == ' ') {
                } else if (open && c >= '0' && c <= '9') {
                    digits += c;
                } else if (open) {
                    finish(s, start, i, digits, indirections);
                    restart = true;
                }
            }
            if (open && !restart)
                finish(s, start, s.size(), digits, indirections);
        }
    }

private:
    void finish(std::string &s, size_t start, size_t end, const std::string &digits,
                int indirections) {
        s.erase(start, end - start);
        long long number = 0;
        const size_t significant = digits.find_first_not_of('0');
        if (significant != std::string::npos && digits.size() - significant < 12)
            number = std::stoll(digits.substr(significant));
        if (number > INT32_MAX)
            number = 0;
        if (number > 6000)
            return;
        for (int i = 0; i < indirections; ++i) {
            const double next = RoundHalfEven(store.va[size_t(number)]);
            if (!(next >= 0 && next <= 6000))
                return;
            number = (long long)next;
        }
        store.RefreshSystemVariable(int(number));
        s.insert(start, floattostr(store.va[size_t(number)]));
    }

    // The first complete group from `from`: its inner text, removed with its brackets.
    static bool cutGroup(std::string &s, size_t from, std::string &inner, size_t &open) {
        int depth = 0;
        for (size_t i = from; i < s.size(); ++i) {
            if (s[i] == Brackets().expleft && ++depth == 1)
                open = i;
            if (s[i] == Brackets().expright && depth > 0 && --depth == 0) {
                inner = s.substr(open + 1, i - open - 1);
                s.erase(open, i - open + 1);
                return true;
            }
        }
        return false;
    }

    double argument(std::string &s, size_t from) {
        std::string inner;
        size_t open = 0;
        if (!cutGroup(s, from, inner, open))
            return 0;
        try {
            double value = 0;
            return StrToFloat(eval(inner), value) ? value : 0;
        } catch (const ExpressionError &e) {
            if (!e.absorbable())
                throw;
            return 0;
        }
    }

    void stage1(std::string &s) {
        static const std::pair<const char *, bool> names[] = {
            {"ATAN", true},  {"ATN", true},   {"LN", false},    {"FUP", false},
            {"FIX", false},  {"EXP", false},  {"ROUND", false}, {"RND", false},
            {"SQRT", false}, {"SQR", false},  {"ABS", false},   {"ACOS", false},
            {"COS", false},  {"ASIN", false}, {"SIN", false},   {"TAN", false}};
        for (const auto &[name, two] : names) {
            size_t e;
            while ((e = upperCased(s).find(name)) != std::string::npos) {
                s.erase(e, std::string_view(name).size());
                const double a = argument(s, e);
                double b = 0;
                if (two) {
                    size_t p = e;
                    while (p < s.size() && s[p] == ' ')
                        ++p;
                    if (p < s.size() && s[p] == '/')
                        s.erase(p, 1);
                    b = argument(s, e);
                }
                s.insert(e, floattostr(function(name, a, b)));
            }
        }
    }

    void stage2(std::string &s) {
        std::string inner;
        size_t open = 0;
        while (cutGroup(s, 0, inner, open))
            s.insert(open, eval(inner));
    }

    struct Split {
        std::string s1, s2;
        double val1 = 0, val2 = 0;
        bool left = false;
    };

    static bool convert(std::string taken, double &value) {
        std::erase(taken, ' ');
        value = 0;
        if (StrToFloat(taken, value))
            return true;
        value = 0;
        return false;
    }

    static Split split(const std::string &s, size_t e, size_t length) {
        Split r{s.substr(0, e), s.substr(e + length)};
        size_t j = r.s1.size();
        while (j > 0 && (isOperandChar(r.s1[j - 1]) || (r.s1[j - 1] == '-' && j == 1)))
            --j;
        r.left = convert(r.s1.substr(j), r.val1);
        r.s1.erase(j);
        size_t k = 0;
        while (k < r.s2.size() && (isOperandChar(r.s2[k]) || (r.s2[k] == '-' && k == 0)))
            ++k;
        convert(r.s2.substr(0, k), r.val2);
        r.s2.erase(0, k);
        return r;
    }

    void stage4(std::string &s) {
        for (const char *op : {"**", "^", "/", "MOD", "*", "+"})
            pass(s, op);
        for (bool made = true; made;) {
            made = false;
            for (size_t i = 0; i < s.size(); ++i) {
                if (s[i] != '-')
                    continue;
                Split r = split(s, i, 1);
                if (!r.left)
                    continue;
                const std::string result = floattostr(checked(r.val1 - r.val2));
                s = r.s1 + result + r.s2;
                i = r.s1.size() + result.size() - 1;
                made = true;
            }
        }
        for (const char *op : {"EQ", "NE", "GT", "GE", "LT", "LE", "AND", "XOR", "OR"})
            pass(s, op);
    }

    void pass(std::string &s, const std::string &op) {
        const bool word = op[0] >= 'A';
        size_t e;
        while ((e = (word ? upperCased(s) : s).find(op)) != std::string::npos) {
            Split r = split(s, e, op.size());
            s = r.s1 + floattostr(computeOperator(op, r.val1, r.val2)) + r.s2;
        }
    }

    [[noreturn]] static void fail(ExpressionFault fault) { throw ExpressionError(fault); }
    static double checked(double value) {
        if (!std::isfinite(value))
            fail(ExpressionFault::Overflow);
        return value;
    }
    static long long whole(double value) {
        const double r = RoundHalfEven(value);
        if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0))
            fail(ExpressionFault::InvalidOperation);
        return (long long)r;
    }
    static double int32(double value) {
        if (!(value >= -2147483648.0 && value <= 2147483647.0))
            fail(ExpressionFault::InvalidOperation);
        return value;
    }

    static double function(const std::string &name, double a, double b) {
        if (name == "ATAN" || name == "ATN")
            return std::atan2(a, b) * 360 / (2 * M_PI);
        if (name == "LN")
            return a > 0 ? std::log(a) : 0;
        if (name == "FUP")
            return int32(std::ceil(a));
        if (name == "FIX")
            return int32(std::floor(a));
        if (name == "EXP")
            return checked(std::exp(a));
        if (name == "ROUND" || name == "RND")
            return double(whole(a));
        if ((name == "SQRT" || name == "SQR") && a < 0)
            fail(ExpressionFault::InvalidOperation);
        if (name == "SQRT" || name == "SQR")
            return std::sqrt(a);
        if (name == "ABS")
            return std::fabs(a);
        if ((name == "ACOS" || name == "ASIN") && !(a >= -1 && a <= 1))
            fail(ExpressionFault::InvalidOperation);
        if (name == "ACOS")
            return std::acos(a) * 360 / (2 * M_PI);
        if (name == "ASIN")
            return std::asin(a) * 360 / (2 * M_PI);
        if (name == "COS")
            return std::cos(a / 360 * (2 * M_PI));
        if (name == "SIN")
            return std::sin(a / 360 * (2 * M_PI));
        return std::tan(a / 360 * (2 * M_PI));
    }

    static double computeOperator(const std::string &op, double a, double b) {
        if (op == "**" || op == "^") {
            const double r = std::pow(a, b);
            if (std::isnan(r))
                fail(ExpressionFault::InvalidOperation);
            if (std::isinf(r))
                fail(a == 0 ? ExpressionFault::DivisionByZero : ExpressionFault::Overflow);
            return r;
        }
        if (op == "/")
            return b == 0 || !std::isfinite(a / b) ? 0 : a / b;
        if (op == "MOD") {
            const long long l = whole(a), r = whole(b);
            if (r == 0)
                fail(ExpressionFault::DivisionByZero);
            return r == -1 ? 0 : double(l % r);
        }
        if (op == "*")
            return checked(a * b);
        if (op == "+")
            return checked(a + b);
        if (op == "EQ" || op == "NE" || op == "GT" || op == "GE" || op == "LT" || op == "LE") {
            const bool r = op == "EQ"   ? a == b
                           : op == "NE" ? a != b
                           : op == "GT" ? a > b
                           : op == "GE" ? a >= b
                           : op == "LT" ? a < b
                                        : a <= b;
            return r ? 1 : 0;
        }
        const long long l = whole(a), r = whole(b);
        return double(op == "AND" ? (l & r) : op == "XOR" ? (l ^ r) : (l | r));
    }

    VariableStore &store;
};

std::string outcome(const std::function<std::string()> &run) {
    try {
        return run();
    } catch (const ExpressionError &e) {
        return std::string("error: ") + e.what();
    }
}

TEST(Reference, RandomExpressionsRewriteAsTheLiteralRules) {
    const char *const tokens[] = {
        "0",    "1",   "2",   "3",   "10",  "2.5", "0.5", "7",     "-",    "-",    "+",
        "*",    "/",   "^",   "**",  "MOD", "mod", "EQ",  "NE",    "GT",   "ge",   "LT",
        "LE",   "AND", "OR",  "XOR", "SIN", "COS", "TAN", "ASIN",  "ACOS", "ATAN", "ATN",
        "SQRT", "SQR", "ABS", "LN",  "EXP", "FIX", "FUP", "ROUND", "RND",  "[",    "[",
        "]",    "]",   "#",   "#1",  "##2", "#3",  "X",   "N",     ".",    " ",    "E"};
    auto store = std::make_unique<VariableStore>();
    store->va[0] = 0.5;
    store->va[1] = 3;
    store->va[2] = 1;
    store->va[3] = -2.5;
    store->clock = [] { return ClockReading{1234, 2024, 3, 5, 14, 7, 9}; }; // "#3001" may arise
    ExpressionEvaluator evaluator(*store);
    Reference reference(*store);
    std::mt19937 random(5);
    std::uniform_int_distribution<size_t> pick(0, std::size(tokens) - 1);
    std::uniform_int_distribution<int> length(1, 14);
    int checked = 0;
    for (int i = 0; i < 30000; ++i) {
        std::string text;
        for (int n = length(random); n > 0; --n)
            text += tokens[pick(random)];
        const std::string expected = outcome([&] { return reference.eval(text); });
        const std::string actual = outcome([&] { return evaluator.HandleExpression(text); });
        ASSERT_EQ(actual, expected) << text;
        ++checked;
    }
    EXPECT_EQ(checked, 30000);
}

TEST(Reference, SubstitutionRestartingAfterEachReferenceGivesTheSameText) {
    auto store = std::make_unique<VariableStore>();
    store->va[0] = 4;
    store->va[1] = 1;
    store->va[4] = 0.25;
    store->va[12] = 7000;
    Reference reference(*store);
    const char parts[] = {'#', '#', '1', '2', ' ', 'X', '4', '0'};
    std::mt19937 random(11);
    std::uniform_int_distribution<size_t> pick(0, std::size(parts) - 1);
    std::uniform_int_distribution<int> length(0, 16);
    for (int i = 0; i < 30000; ++i) {
        std::string text;
        for (int n = length(random); n > 0; --n)
            text += parts[pick(random)];
        std::string expected = text, actual = text;
        reference.substitute(expected);
        VariablenEinsetzen(actual, *store);
        ASSERT_EQ(actual, expected) << text;
    }
}

} // namespace
