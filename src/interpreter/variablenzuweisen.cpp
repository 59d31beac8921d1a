#include "interpreter/variablenzuweisen.h"

#include "expressions/expressionerror.h"
#include "expressions/floattostr.h"
#include "expressions/handleexpression.h"
#include "expressions/variablestore.h"
#include "linetext/linetext.h"
#include "vantrel/numberparse.h"

#include <cmath>

namespace morvilo {

namespace {

bool isDigit(char ch) {
    return ch >= '0' && ch <= '9';
}
bool isLetter(char ch) {
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

// The end of the run of "#" characters and digits that starts at pos.
size_t referenceEnd(const std::string &s, size_t pos) {
    while (pos < s.size() && (s[pos] == '#' || isDigit(s[pos])))
        ++pos;
    return pos;
}

// True when the letter at pos begins an address word that ends the expression before it.
bool startsWord(const std::string &s, size_t pos, size_t from) {
    if (!isLetter(s[pos]) || pos == from || pos + 1 >= s.size())
        return false;
    const char before = s[pos - 1], after = s[pos + 1];
    return (isDigit(before) || before == '.' || before == kFailedExpression) &&
           (isDigit(after) || after == '-' || after == '+' || after == '.');
}

// One pass over the line: text that is not an assignment is copied to `kept`, so the work stays
// linear in the length of the line however many assignments it holds.
class Assignments {
public:
    Assignments(const std::string &s, VariableStore &store, ExpressionEvaluator &evaluator,
                const AssignmentDone &done)
        : s(s), store(store), evaluator(evaluator), done(done) {}

    std::string run() {
        kept.reserve(s.size());
        size_t pos = 0;
        while (pos < s.size()) {
            const size_t hash = s.find('#', pos);
            if (hash == std::string::npos) {
                kept.append(s, pos);
                break;
            }
            kept.append(s, pos, hash - pos);
            pos = reference(hash);
        }
        return std::move(kept);
    }

private:
    // A reference "#", "##" ... with its number; assigned if "=" follows it, else kept.
    // Returns where the scan goes on.
    size_t reference(size_t first) {
        size_t pos = first;
        int levels = -1;
        while (pos < s.size() && s[pos] == '#')
            ++levels, ++pos;
        std::string number;
        for (; pos < s.size() && (isDigit(s[pos]) || s[pos] == ' '); ++pos)
            if (s[pos] != ' ')
                number += s[pos];
        if (pos >= s.size() || s[pos] != '=') {
            kept.append(s, first, pos - first);
            return pos;
        }
        const size_t end = FindeZuweisung(pos + 1);
        assign(number, levels, pos + 1, end);
        return end;
    }

    void assign(const std::string &numberText, int levels, size_t from, size_t end) {
        int64_t n = 0;
        if (!ParseInteger(numberText, n))
            n = 0;
        double value = 0;
        const bool evaluated = breaktitthere(from, end, value);
        for (int level = 0; level < levels && VariableStore::Valid(n); ++level)
            n = int64_t(RoundHalfEven(store.va[size_t(n)]));
        if (!evaluated || !VariableStore::Valid(n))
            return;
        store.nva[size_t(n)] = value;
        if (done)
            done(int(n));
    }

    // Where the expression that starts at from ends: before a comment, before a further
    // assignment, before an address word, or at the end of the line.
    size_t FindeZuweisung(size_t from) const {
        const char commleft = Brackets().commleft;
        size_t end = from;
        while (end < s.size() && s[end] != commleft && !startsWord(s, end, from)) {
            if (s[end] == '#') {
                const size_t run = referenceEnd(s, end);
                if (run < s.size() && s[run] == '=')
                    break;
                end = run;
            } else {
                ++end;
            }
        }
        return end;
    }

    // The value of the expression from ... end: 0 when it is not a number; false when the
    // evaluator raised an error or a bracket group of it failed before.
    bool breaktitthere(size_t from, size_t end, double &value) {
        value = 0;
        const std::string_view expression = std::string_view(s).substr(from, end - from);
        if (expression.empty())
            return true;
        if (expression.find(kFailedExpression) != std::string_view::npos)
            return false;
        try {
            evaluator.HandleExpression(expression, result);
        } catch (const ExpressionError &) {
            return false;
        }
        if (!StrToFloat(result, value) || !std::isfinite(value))
            value = 0;
        return true;
    }

    const std::string &s;
    VariableStore &store;
    ExpressionEvaluator &evaluator;
    const AssignmentDone &done;
    std::string kept, result;
};

} // namespace

void VariablenZuweisen(std::string &s, VariableStore &store, ExpressionEvaluator &evaluator,
                       const AssignmentDone &done) {
    if (s.find('#') == std::string::npos)
        return;
    s = Assignments(s, store, evaluator, done).run();
}

} // namespace morvilo
