#include "expressions/expressionerror.h"

namespace morvilo {

const char *ExpressionFaultMessage(ExpressionFault fault) {
    switch (fault) {
    case ExpressionFault::DivisionByZero:
        return "Division durch Null";
    case ExpressionFault::InvalidOperation:
        return "Ungültige Gleitkommaoperation";
    case ExpressionFault::Overflow:
        return "Gleitkommaüberlauf";
    case ExpressionFault::TooDeep:
        return "Ausdruck zu tief verschachtelt";
    case ExpressionFault::TooLong:
        return "Ausdruck zu lang";
    }
    return "Ungültige Gleitkommaoperation";
}

} // namespace morvilo
