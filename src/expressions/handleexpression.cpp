#include "expressions/handleexpression.h"

#include "expressions/expressionerror.h"
#include "expressions/floattostr.h"
#include "linetext/linetext.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace morvilo {

namespace {

constexpr double kPi = 3.14159265358979323846;

double toRadians(double degrees) {
    return degrees / 360 * (2 * kPi);
}
double toDegrees(double radians) {
    return radians * 360 / (2 * kPi);
}

[[noreturn]] void fail(ExpressionFault fault) {
    throw ExpressionError(fault);
}

// A result beyond the range of doubles is an overflow.
double finite(double value) {
    if (!std::isfinite(value))
        fail(ExpressionFault::Overflow);
    return value;
}

// The value rounded (halves to even) to a 64-bit integer.
int64_t toInt64(double value) {
    const double rounded = RoundHalfEven(value);
    if (!(rounded >= -0x1p63 && rounded < 0x1p63))
        fail(ExpressionFault::InvalidOperation);
    return int64_t(rounded);
}

// A whole number that must fit a 32-bit integer.
double int32Result(double value) {
    if (!(value >= INT32_MIN && value <= INT32_MAX))
        fail(ExpressionFault::InvalidOperation);
    return value;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
char upper(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}
// What the operand scans take besides a leading "-".
bool isOperandChar(char c) {
    return isDigit(c) || c == '.' || c == ' ';
}

// Which characters a text holds, as far as the passes look for them: a bit for each letter
// (either case) and for "*", "^", "/" and "+". A pass whose characters are not all present has
// nothing to find.
using CharacterSet = uint32_t;

constexpr CharacterSet characterBit(char c) {
    if (c >= 'a' && c <= 'z')
        c = char(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z')
        return CharacterSet(1) << (c - 'A');
    switch (c) {
    case '*':
        return CharacterSet(1) << 26;
    case '^':
        return CharacterSet(1) << 27;
    case '/':
        return CharacterSet(1) << 28;
    case '+':
        return CharacterSet(1) << 29;
    default:
        return 0;
    }
}

constexpr CharacterSet charactersOf(std::string_view text) {
    CharacterSet set = 0;
    for (const char c : text)
        set |= characterBit(c);
    return set;
}

struct CharacterTable {
    CharacterSet bits[256] = {};
    constexpr CharacterTable() {
        for (int c = 0; c < 256; ++c)
            bits[c] = characterBit(char(c));
    }
};
constexpr CharacterTable kCharacterTable;

CharacterSet charactersIn(const std::string &text) {
    CharacterSet set = 0;
    for (const char c : text)
        set |= kCharacterTable.bits[uint8_t(c)];
    return set;
}

bool holds(CharacterSet set, CharacterSet needed) {
    return (set & needed) == needed;
}

// The first position from `from` where the upper-case `name` stands in any letter case.
size_t findNoCase(const std::string &text, std::string_view name, size_t from) {
    for (size_t i = from; i + name.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < name.size() && upper(text[i + k]) == name[k])
            ++k;
        if (k == name.size())
            return i;
    }
    return std::string::npos;
}

// The first complete bracket group from `from`: the positions of its two brackets. A closing
// bracket outside any group is passed over.
struct Group {
    size_t open = 0, close = 0;
};
bool findGroup(const std::string &text, size_t from, Group &group) {
    const BracketChars &b = Brackets();
    int64_t depth = 0;
    for (size_t i = from; i < text.size(); ++i) {
        if (text[i] == b.expleft) {
            if (++depth == 1)
                group.open = i;
        } else if (text[i] == b.expright && depth > 0) {
            if (--depth == 0) {
                group.close = i;
                return true;
            }
        }
    }
    return false;
}

// An operand as the scans collect it: its characters without spaces; 0 and false when that
// is no number.
bool readOperand(std::string_view taken, double &value) {
    value = 0;
    if (taken.find(' ') == std::string_view::npos)
        return StrToFloat(taken, value);
    std::string digits;
    std::copy_if(taken.begin(), taken.end(), std::back_inserter(digits),
                 [](char c) { return c != ' '; });
    return StrToFloat(digits, value);
}

// Functions, longer names before the names they contain.
struct Function {
    std::string_view name;
    bool twoArguments;
    double (*compute)(double a, double b);
    CharacterSet needs = charactersOf(name);
};

double atanDegrees(double a, double b) {
    return toDegrees(std::atan2(a, b));
}
double roundTo64(double a, double) {
    return double(toInt64(a));
}
double squareRoot(double a, double) {
    if (a < 0)
        fail(ExpressionFault::InvalidOperation);
    return std::sqrt(a);
}
// The argument of ACOS and ASIN.
double unitRange(double a) {
    if (!(a >= -1 && a <= 1))
        fail(ExpressionFault::InvalidOperation);
    return a;
}

constexpr Function kFunctions[] = {
    {"ATAN", true, atanDegrees},
    {"ATN", true, atanDegrees},
    {"LN", false, [](double a, double) { return a > 0 ? std::log(a) : 0.0; }},
    {"FUP", false, [](double a, double) { return int32Result(std::ceil(a)); }},
    {"FIX", false, [](double a, double) { return int32Result(std::floor(a)); }},
    {"EXP", false, [](double a, double) { return finite(std::exp(a)); }},
    {"ROUND", false, roundTo64},
    {"RND", false, roundTo64},
    {"SQRT", false, squareRoot},
    {"SQR", false, squareRoot},
    {"ABS", false, [](double a, double) { return std::fabs(a); }},
    {"ACOS", false, [](double a, double) { return toDegrees(std::acos(unitRange(a))); }},
    {"COS", false, [](double a, double) { return std::cos(toRadians(a)); }},
    {"ASIN", false, [](double a, double) { return toDegrees(std::asin(unitRange(a))); }},
    {"SIN", false, [](double a, double) { return std::sin(toRadians(a)); }},
    {"TAN", false, [](double a, double) { return std::tan(toRadians(a)); }},
};

double power(double a, double b) {
    const double result = std::pow(a, b);
    if (std::isnan(result))
        fail(ExpressionFault::InvalidOperation);
    if (std::isinf(result))
        fail(a == 0 ? ExpressionFault::DivisionByZero : ExpressionFault::Overflow);
    return result;
}
double divide(double a, double b) {
    const double result = b == 0 ? 0 : a / b;
    return std::isfinite(result) ? result : 0; // a failing division gives 0
}
double modulo(double a, double b) {
    const int64_t left = toInt64(a), right = toInt64(b);
    if (right == 0)
        fail(ExpressionFault::DivisionByZero);
    return right == -1 ? 0 : double(left % right);
}

struct Operator {
    std::string_view name;
    bool word; // found in any letter case
    double (*compute)(double a, double b);
    CharacterSet needs = charactersOf(name);
};

struct Operands {
    size_t leftStart = 0, rightEnd = 0; // the text the operation and its operands take
    double val1 = 0, val2 = 0;
    bool findvalueleft = false; // a number stands left of the operator
};

// The passes before and after the subtraction pass, in their order.
constexpr Operator kBeforeSubtraction[] = {
    {"**", false, power},
    {"^", false, power},
    {"/", false, divide},
    {"MOD", true, modulo},
    {"*", false, [](double a, double b) { return finite(a * b); }},
    {"+", false, [](double a, double b) { return finite(a + b); }},
};
constexpr Operator kAfterSubtraction[] = {
    {"EQ", true, [](double a, double b) { return a == b ? 1.0 : 0.0; }},
    {"NE", true, [](double a, double b) { return a != b ? 1.0 : 0.0; }},
    {"GT", true, [](double a, double b) { return a > b ? 1.0 : 0.0; }},
    {"GE", true, [](double a, double b) { return a >= b ? 1.0 : 0.0; }},
    {"LT", true, [](double a, double b) { return a < b ? 1.0 : 0.0; }},
    {"LE", true, [](double a, double b) { return a <= b ? 1.0 : 0.0; }},
    {"AND", true, [](double a, double b) { return double(toInt64(a) & toInt64(b)); }},
    {"XOR", true, [](double a, double b) { return double(toInt64(a) ^ toInt64(b)); }},
    {"OR", true, [](double a, double b) { return double(toInt64(a) | toInt64(b)); }},
};

void checkLength(const std::string &text) {
    if (text.size() > ExpressionEvaluator::kMaxLength)
        fail(ExpressionFault::TooLong);
}

// The operands around the operator of `length` characters at `at`: the left one read
// backwards (digits, "." and spaces, a "-" only at the very start of the text), the right one
// forwards (a "-" only as its first character).
Operands findValues(const std::string &text, size_t at, size_t length) {
    Operands operands;
    size_t left = at;
    while (left > 0 && isOperandChar(text[left - 1]))
        --left;
    if (left == 1 && text[0] == '-')
        left = 0;
    size_t right = at + length;
    if (right < text.size() && text[right] == '-')
        ++right;
    while (right < text.size() && isOperandChar(text[right]))
        ++right;
    const std::string_view view(text);
    operands.leftStart = left;
    operands.rightEnd = right;
    operands.findvalueleft = readOperand(view.substr(left, at - left), operands.val1);
    readOperand(view.substr(at + length, right - at - length), operands.val2);
    return operands;
}

// Replaces the operation and its operands by the number text of `value`; gives the position
// after it.
size_t writeResult(std::string &text, const Operands &operands, double value, std::string &number) {
    number.clear();
    AppendFloatText(number, value);
    text.replace(operands.leftStart, operands.rightEnd - operands.leftStart, number);
    checkLength(text);
    return operands.leftStart + number.size();
}

// The leftmost occurrence, as long as there is one. Number texts hold no operator, so no
// occurrence starts before the end of a result and the search goes on from there.
void operatorPass(std::string &text, const Operator &op, std::string &number) {
    size_t from = 0, at = 0;
    while ((at = op.word ? findNoCase(text, op.name, from) : text.find(op.name, from)) !=
           std::string::npos) {
        const Operands operands = findValues(text, at, op.name.size());
        from = writeResult(text, operands, op.compute(operands.val1, operands.val2), number);
    }
}

// A "-" with no number before it is a sign and stays. Each scan goes on after the result of
// every subtraction it makes; scans repeat until one makes none.
void subtractionPass(std::string &text, std::string &number) {
    bool subtracted = true;
    while (subtracted) {
        subtracted = false;
        size_t at = text.find('-');
        while (at != std::string::npos) {
            const Operands operands = findValues(text, at, 1);
            if (!operands.findvalueleft) {
                at = text.find('-', at + 1);
                continue;
            }
            const size_t after =
                writeResult(text, operands, finite(operands.val1 - operands.val2), number);
            subtracted = true;
            at = text.find('-', after);
        }
    }
}

} // namespace

std::string ExpressionEvaluator::HandleExpression(std::string_view s) {
    std::string result;
    HandleExpression(s, result);
    return result;
}

void ExpressionEvaluator::HandleExpression(std::string_view s, std::string &result) {
    if (s.size() > kMaxLength)
        fail(ExpressionFault::TooLong);
    result.assign(s);
    evaluate(result, 0);
}

void ExpressionEvaluator::evaluate(std::string &text, int depth) {
    checkLength(text);
    // A superset of the characters present is enough for skipping passes: stages only remove
    // text or write numbers, except for the results of bracket groups.
    CharacterSet present = charactersIn(text);
    functionStage(text, depth, present);
    if (bracketStage(text, depth))
        present = charactersIn(text);
    if (text.find('#') != std::string::npos) {
        VariablenEinsetzen(text, store, scratch);
        checkLength(text);
    }
    operatorStage(text, present);
}

std::string &ExpressionEvaluator::childBuffer(int depth) {
    if (depth + 1 > kMaxDepth)
        fail(ExpressionFault::TooDeep);
    return buffers[size_t(depth + 1)];
}

// The opening bracket from which the last argument scan found no complete group. Names and
// numbers change the text around it but not its brackets, so until a group is removed a scan
// from there fails again; this keeps a text full of function names without arguments linear.
struct ExpressionEvaluator::FailedScan {
    size_t open = std::string::npos;

    // `delta` characters were inserted (positive) or removed (negative) at `at`.
    void changed(size_t at, ptrdiff_t delta) {
        if (open == std::string::npos)
            return;
        if (at <= open)
            open = size_t(ptrdiff_t(open) + delta);
        else
            open = std::string::npos;
    }
};

// Removes the first complete bracket group from `from` and gives the value of its inner
// text; 0 when there is no group, when the text is no number or when its evaluation fails
// with an arithmetic error.
double ExpressionEvaluator::functionArgument(std::string &text, size_t from, int depth,
                                             FailedScan &failed) {
    // Closing brackets before the first opening one do not count.
    const size_t open = text.find(Brackets().expleft, from);
    Group group;
    if (open == std::string::npos || open == failed.open)
        return 0;
    if (!findGroup(text, open, group)) {
        failed.open = open;
        return 0;
    }
    failed.open = std::string::npos;
    std::string &child = childBuffer(depth);
    child.assign(text, group.open + 1, group.close - group.open - 1);
    text.erase(group.open, group.close - group.open + 1);
    try {
        evaluate(child, depth + 1);
        double value = 0;
        return StrToFloat(child, value) ? value : 0;
    } catch (const ExpressionError &error) {
        if (!error.absorbable())
            throw;
        return 0;
    }
}

// Each function name, in the table's order, as long as it occurs: the leftmost occurrence
// loses its name and its argument groups and becomes the number text of its value. The text
// before an occurrence holds no further one, so the search goes on after the result.
void ExpressionEvaluator::functionStage(std::string &text, int depth, uint32_t present) {
    FailedScan failed;
    for (const Function &function : kFunctions) {
        if (!holds(present, function.needs))
            continue;
        const ptrdiff_t nameLength = ptrdiff_t(function.name.size());
        size_t from = 0, at = 0;
        while ((at = findNoCase(text, function.name, from)) != std::string::npos) {
            text.erase(at, size_t(nameLength));
            failed.changed(at, -nameLength);
            const double a = functionArgument(text, at, depth, failed);
            double b = 0;
            if (function.twoArguments) {
                const size_t slash = text.find_first_not_of(' ', at);
                if (slash != std::string::npos && text[slash] == '/') {
                    text.erase(slash, 1);
                    failed.changed(slash, -1);
                }
                b = functionArgument(text, at, depth, failed);
            }
            const double value = function.compute(a, b);
            number.clear();
            AppendFloatText(number, value);
            text.insert(at, number);
            failed.changed(at, ptrdiff_t(number.size()));
            checkLength(text);
            from = at + number.size();
        }
    }
}

// Each complete bracket group, outer groups first, becomes the text of its inner expression.
// A group's inner text is balanced, so its result holds no bracket: the text up to the end of
// the result holds no opening bracket and the next scan may start there.
bool ExpressionEvaluator::bracketStage(std::string &text, int depth) {
    if (text.find(Brackets().expleft) == std::string::npos)
        return false;
    size_t from = 0;
    Group group;
    bool replaced = false;
    while (findGroup(text, from, group)) {
        replaced = true;
        std::string &child = childBuffer(depth);
        child.assign(text, group.open + 1, group.close - group.open - 1);
        evaluate(child, depth + 1);
        text.replace(group.open, group.close - group.open + 1, child);
        checkLength(text);
        from = group.open + child.size();
    }
    return replaced;
}

void ExpressionEvaluator::operatorStage(std::string &text, uint32_t present) {
    for (const Operator &op : kBeforeSubtraction)
        if (holds(present, op.needs))
            operatorPass(text, op, number);
    subtractionPass(text, number);
    for (const Operator &op : kAfterSubtraction)
        if (holds(present, op.needs))
            operatorPass(text, op, number);
}

std::string HandleExpression(std::string_view s, VariableStore &store) {
    return ExpressionEvaluator(store).HandleExpression(s);
}

} // namespace morvilo
