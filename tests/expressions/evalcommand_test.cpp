// morvilo-cli eval: result text on stdout, errors on stderr with their exit status.

#include "cli/cli.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace morvilo;

namespace {

struct CliRun {
    int status;
    std::string out, err;
};

CliRun run(const std::vector<std::string> &arguments) {
    std::ostringstream out, err;
    const int status = cli::RunCli(arguments, out, err);
    return {status, out.str(), err.str()};
}

TEST(EvalCommand, PrintsTheResultText) {
    const struct {
        std::vector<std::string> arguments;
        const char *out;
    } cases[] = {
        {{"eval", "1+2*3"}, "7\n"},
        {{"eval", "10 - 2 + 3 (comment)"}, "5\n"},
        {{"eval", "-5-3"}, "-8\n"},
        {{"eval", "FOO[3]"}, "FOO3\n"},
        {{"eval", "--var", "1=5", "--var=2=0.5", "#1*#2+#3"}, "2.5\n"},
        {{"eval", "--var", "5=7", "--var", "7=2.5", "##5"}, "2.5\n"},
        {{"eval", "--", "--2"}, "--2\n"},
    };
    for (const auto &c : cases) {
        const CliRun r = run(c.arguments);
        EXPECT_EQ(r.status, 0) << c.arguments.back() << r.err;
        EXPECT_EQ(r.out, c.out) << c.arguments.back();
        EXPECT_EQ(r.err, "");
    }
}

// The evaluator's messages in English: no language was chosen.
TEST(EvalCommand, ReportsErrorsOnStderr) {
    CliRun r = run({"eval", "5MOD0"});
    EXPECT_EQ(r.status, cli::kFailure);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "morvilo-cli eval: Division by zero\n");
    r = run({"eval", "SQRT[-1]"});
    EXPECT_EQ(r.status, cli::kFailure);
    EXPECT_EQ(r.err, "morvilo-cli eval: Invalid floating point operation\n");
    r = run({"eval", std::string(2000, '[') + "1" + std::string(2000, ']')});
    EXPECT_EQ(r.status, cli::kFailure);
    EXPECT_EQ(r.err, "morvilo-cli eval: Expression nested too deeply\n");
}

TEST(EvalCommand, RejectsBadArguments) {
    for (const std::vector<std::string> &arguments :
         std::vector<std::vector<std::string>>{{"eval"},
                                               {"eval", "1", "2"},
                                               {"eval", "--var", "7001=1", "#1"},
                                               {"eval", "--var", "1=x", "#1"},
                                               {"eval", "--var", "1=inf", "#1"},
                                               {"eval", "--var", "1", "#1"},
                                               {"eval", "--var"},
                                               {"eval", "--bad", "1"}}) {
        const CliRun r = run(arguments);
        EXPECT_EQ(r.status, cli::kUsage) << arguments.back();
        EXPECT_NE(r.err.find("usage: morvilo-cli eval"), std::string::npos);
    }
    const CliRun help = run({"eval", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--var N=VALUE"), std::string::npos);
    EXPECT_NE(run({"--help"}).out.find("eval [--var N=VALUE ...] EXPRESSION"), std::string::npos);
}

} // namespace
