#pragma once
// The evaluator of bracketed expressions. It is a text rewriter, not a parser: it repeatedly
// finds one function call, one bracket group or one operator, computes it and writes the
// number text of the result back, until nothing evaluable is left. The order of its passes is
// the precedence of the language, with its consequences: "10-2+3" is 5 (addition is folded
// before subtraction), "7*3 MOD 4" is 21, "2^3^2" is 64, "FOO[3]" is "FOO3".

#include "expressions/variablestore.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace morvilo {

class ExpressionEvaluator {
public:
    // Longest expression text, also while it is rewritten; nesting depth of brackets and
    // function arguments. Beyond them the expression fails with TooLong or TooDeep.
    static constexpr size_t kMaxLength = 65536;
    static constexpr int kMaxDepth = 200;

    explicit ExpressionEvaluator(VariableStore &store) : store(store) {}

    // The rewritten text of one expression given without its enclosing brackets, spaces and
    // comments (callers remove them with nospacesandcomments). For a well-formed expression
    // this is the number text of its value; characters no pass consumes stay in place.
    // Variable references are substituted from the store (system variables read are stored).
    // Throws ExpressionError for the arithmetic errors that are not absorbed.
    std::string HandleExpression(std::string_view s);
    // The same, into `result` (its storage is reused).
    void HandleExpression(std::string_view s, std::string &result);

private:
    void evaluate(std::string &text, int depth);
    // `present`: the characters the text may hold (see charactersIn).
    void functionStage(std::string &text, int depth, uint32_t present);
    // True when a group was replaced.
    bool bracketStage(std::string &text, int depth);
    void operatorStage(std::string &text, uint32_t present);

    std::string &childBuffer(int depth);
    struct FailedScan;
    double functionArgument(std::string &text, size_t from, int depth, FailedScan &failed);

    VariableStore &store;
    // Working texts of the nested evaluations, one per depth, kept between calls.
    std::array<std::string, kMaxDepth + 1> buffers;
    std::string number;  // the number text being written back
    std::string scratch; // working storage of the variable substitution
};

// One evaluation with a fresh evaluator.
std::string HandleExpression(std::string_view s, VariableStore &store);

} // namespace morvilo
