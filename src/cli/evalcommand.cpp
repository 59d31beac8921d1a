// morvilo-cli eval [--var N=VALUE ...] EXPRESSION: the calculator in batch use. The expression
// loses its spaces and comments as in the calculator dialog and is evaluated with a fresh
// variable store holding the given values.

#include "cli/cli.h"
#include "cli/clitext.h"
#include "cli/options.h"

#include "expressions/expressionerror.h"
#include "expressions/floattostr.h"
#include "expressions/handleexpression.h"
#include "linetext/linetext.h"
#include "vantrel/numberparse.h"

#include <memory>

namespace morvilo::cli {

namespace {

std::string evalUsage() {
    return UsageText(
        "morvilo-cli eval [--var N=VALUE ...] EXPRESSION",
        {cliText("Gibt den Ergebnistext von EXPRESSION aus (Leerzeichen und Kommentare werden "
                 "vorher entfernt).")},
        {{"--var N=VALUE",
          cliText("die Variable N (0..6000) hat den Wert VALUE; mehrfach möglich")}});
}

struct EvalOptions {
    std::unique_ptr<VariableStore> store = std::make_unique<VariableStore>();
    std::vector<std::string> positional;
    bool help = false;
};

bool readVariable(OptionReader &reader, VariableStore &store, std::string &error) {
    std::string text;
    if (!reader.Value(text)) {
        error = cliText("--var braucht N=VALUE");
        return false;
    }
    const size_t equals = text.find('=');
    int64_t number = 0;
    double value = 0;
    if (equals == std::string::npos || !ParseInteger(text.substr(0, equals), number) ||
        !VariableStore::Valid(number)) {
        error = cliText("--var: keine Variablennummer 0..6000: %1", {text});
        return false;
    }
    if (!StrToFloat(text.substr(equals + 1), value)) {
        error = cliText("--var: keine Zahl: %1", {text});
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
            error = UnknownOption(reader);
            return false;
        }
    }
    if (!o.help && o.positional.size() != 1) {
        error = cliText("erwartet: ein EXPRESSION");
        return false;
    }
    return true;
}

} // namespace

int RunEval(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err) {
    EvalOptions options;
    std::string error;
    const bool parsed = parse(arguments, options, error);
    if (auto done = UsageOutcome("eval", parsed, options.help, error, evalUsage(), out, err))
        return *done;
    try {
        out << HandleExpression(nospacesandcomments(options.positional[0]), *options.store) << "\n";
        return kSuccess;
    } catch (const ExpressionError &e) {
        err << "morvilo-cli eval: " << cliText(e.what()) << "\n";
        return kFailure;
    }
}

} // namespace morvilo::cli
