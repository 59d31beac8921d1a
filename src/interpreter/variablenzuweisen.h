#pragma once
// The assignments "#n=expression" of a prepared G-code block.

#include <functional>
#include <string>

namespace morvilo {

class ExpressionEvaluator;
class VariableStore;

// What a bracket group that the evaluator rejected leaves in a prepared line. Lines never hold
// 0 bytes, so it cannot come from the text; the word or assignment it stands in has no effect.
inline constexpr char kFailedExpression = '\0';

// Called after each stored assignment with the final variable number (after indirection).
using AssignmentDone = std::function<void(int number)>;

// Executes every assignment of s from left to right and removes it (reference, "=" and
// expression) from s. Expressions read store.va; values go to store.nva, so they take effect
// only when the caller commits the block. "##5=3" assigns to the variable whose number #5
// holds; a number outside 0 ... 6000 stores nothing. An expression whose result is not a number
// assigns 0; one the evaluator rejects with an error, or one holding kFailedExpression, assigns
// nothing.
//
// An expression ends at the end of s, before a comment, before a further assignment, or before
// an address word that follows a number ("#1=5G1X10" assigns 5 and keeps "G1X10"): a letter
// after a digit, "." or kFailedExpression and before a digit, sign or ".". Operator words and
// function names (GT, MOD, SIN ...) are followed by letters or operands, never directly after a
// digit and before a number, so an assignment alone on its line keeps its whole expression.
void VariablenZuweisen(std::string &s, VariableStore &store, ExpressionEvaluator &evaluator,
                       const AssignmentDone &done = {});

} // namespace morvilo
