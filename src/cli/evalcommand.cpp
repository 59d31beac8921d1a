// morvilo-cli eval [--var N=VALUE ...] EXPRESSION: the calculator in batch use. The expression
// loses its spaces and comments as in the calculator dialog and is evaluated with a fresh
// variable store holding the given values.

#include "cli/cli.h"
#include "cli/options.h"

#include "expressions/expressionerror.h"
#include "expressions/floattostr.h"
#include "expressions/handleexpression.h"
#include "linetext/linetext.h"
#include "vantrel/numbertext.h"

#include <memory>

namespace morvilo::cli {

namespace {

constexpr const char *kEvalUsage =
    "usage: morvilo-cli eval [--var N=VALUE ...] EXPRESSION\n"
    "Prints the result text of EXPRESSION (spaces and comments removed first).\n"
    "  --var N=VALUE   variable N (0..6000) holds VALUE; may be given several times\n";

struct EvalOptions {
    std::unique_ptr<VariableStore> store = std::make_unique<VariableStore>();
    std::vector<std::string> positional;
    bool help = false;
};

bool readVariable(OptionReader &reader, VariableStore &store, std::string &error) {
    std::string text;
    if (!reader.Value(text)) {
        error = "--var needs N=VALUE";
        return false;
    }
    const size_t equals = text.find('=');
    int64_t number = 0;
    double value = 0;
    if (equals == std::string::npos || !ParseInteger(text.substr(0, equals), number) ||
        !VariableStore::Valid(number)) {
        error = "--var: not a variable number 0..6000: " + text;
        return false;
    }
    if (!StrToFloat(text.substr(equals + 1), value)) {
        error = "--var: not a number: " + text;
        return false;
    }
    store.va[size_t(number)] = value;
    return true;
}

bool parse(const std::vector<std::string> &arguments, EvalOptions &o, std::string &error) {
    OptionReader reader(arguments);
    while (reader.Next()) {
        if (!reader.IsOption()) {
            o.positional.push_back(reader.Argument());
        } else if (reader.Is("var")) {
            if (!readVariable(reader, *o.store, error))
                return false;
        } else if (reader.Is("help") && !reader.HasInlineValue()) {
            o.help = true;
        } else {
            error = "unknown option: " + reader.Argument();
            return false;
        }
    }
    if (!o.help && o.positional.size() != 1) {
        error = "expected one EXPRESSION";
        return false;
    }
    return true;
}

} // namespace

int RunEval(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err) {
    EvalOptions options;
    std::string error;
    if (!parse(arguments, options, error)) {
        err << "morvilo-cli eval: " << error << "\n" << kEvalUsage;
        return kUsage;
    }
    if (options.help) {
        out << kEvalUsage;
        return kSuccess;
    }
    try {
        out << HandleExpression(nospacesandcomments(options.positional[0]), *options.store) << "\n";
        return kSuccess;
    } catch (const ExpressionError &e) {
        err << "morvilo-cli eval: " << e.what() << "\n";
        return kFailure;
    }
}

} // namespace morvilo::cli
