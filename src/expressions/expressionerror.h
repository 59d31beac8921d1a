#pragma once
// The arithmetic errors that the evaluator does not absorb, raised to its caller.

#include <stdexcept>

namespace morvilo {

enum class ExpressionFault {
    DivisionByZero,   // MOD by 0, a power of 0 with a negative exponent
    InvalidOperation, // SQRT of a negative, ACOS/ASIN outside -1..1, integers out of range
    Overflow,         // a result beyond the range of doubles
    TooDeep,          // brackets or function calls nested too deeply
    TooLong,          // an expression text beyond the length limit
};

// The message of a fault, the one place that holds these texts.
const char *ExpressionFaultMessage(ExpressionFault fault);

class ExpressionError : public std::runtime_error {
public:
    explicit ExpressionError(ExpressionFault fault)
        : std::runtime_error(ExpressionFaultMessage(fault)), fault_(fault) {}

    ExpressionFault fault() const { return fault_; }
    // Arithmetic errors inside a function argument count as an argument of 0; the limits of
    // nesting and length end the whole expression.
    bool absorbable() const {
        return fault_ != ExpressionFault::TooDeep && fault_ != ExpressionFault::TooLong;
    }

private:
    ExpressionFault fault_;
};

} // namespace morvilo
