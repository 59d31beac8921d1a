// Any bytes as an expression and as a program line: HandleExpression (with the comment and
// space removal the calculator applies first, and with both bracket options) and
// VariablenEinsetzen. Besides the sanitizers' findings, an exception other than
// ExpressionError, a result holding a "#" after substitution, or a result beyond the
// evaluator's length limit is a fault.

#include "expressions/expressionerror.h"
#include "expressions/handleexpression.h"
#include "linetext/linetext.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

morvilo::VariableStore &store() {
    static const std::unique_ptr<morvilo::VariableStore> variables = [] {
        auto s = std::make_unique<morvilo::VariableStore>();
        s->clock = [] { return morvilo::ClockReading{0x1234, 2024, 3, 5, 14, 7, 9}; };
        return s;
    }();
    return *variables;
}

void evaluate(morvilo::ExpressionEvaluator &evaluator, const std::string &text) {
    try {
        const std::string result = evaluator.HandleExpression(text);
        if (result.size() > morvilo::ExpressionEvaluator::kMaxLength)
            std::abort();
    } catch (const morvilo::ExpressionError &) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    morvilo::VariableStore &variables = store();
    // Values of the variables the first bytes name: indirection, huge and fractional values.
    for (size_t i = 0; i + 1 < size && i < 8; i += 2)
        variables.va[data[i] % 16] = double(int8_t(data[i + 1])) * (data[i] & 0x80 ? 1e300 : 0.5);
    morvilo::ExpressionEvaluator evaluator(variables);
    for (const bool square : {false, true}) {
        morvilo::SetSquareBracketComments(square);
        evaluate(evaluator, morvilo::nospacesandcomments(text));
    }
    morvilo::SetSquareBracketComments(false);
    evaluate(evaluator, text);

    std::string line = text;
    try {
        morvilo::VariablenEinsetzen(line, variables);
        if (line.find('#') != std::string::npos)
            std::abort();
    } catch (const morvilo::ExpressionError &) {
    }
    std::string numbered = text;
    morvilo::RemoveAllBlockNummers(numbered);
    if (numbered.size() > text.size())
        std::abort();
    morvilo::poss0s(text, "N", "10");
    return 0;
}
