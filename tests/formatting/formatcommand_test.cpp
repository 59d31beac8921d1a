#include "cli/cli.h"
#include "formattingdocument.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace morvilo;

namespace {

class FormatCommand : public ::testing::Test {
protected:
    int run(std::vector<std::string> arguments, const std::string &text) {
        test::WriteFile(program, text);
        arguments.push_back(program);
        out.str({});
        err.str({});
        return cli::RunFormat(arguments, out, err);
    }

    test::ScratchFolder scratch;
    const std::string program = (scratch / "prog.nc").string();
    std::ostringstream out, err;
};

TEST_F(FormatCommand, PrintsTheFormattedTextByteForByte) {
    const std::string example = "N1 G0 X0 (Start)\n(Kommentar)\nN5 #1=#1+1\nIF[#1LT3]GOTO5\n%";
    struct Case {
        std::vector<std::string> arguments;
        std::string text, expected;
    } cases[] = {
        {{"renumber", "--start", "10", "--step=10", "--space"},
         example,
         "N10  G0 X0 (Start)\r\nN20 (Kommentar)\r\nN30  #1=#1+1\r\nN40 IF[#1LT3]GOTO30\r\n"
         "% N50\r\n"},
        {{"renumber", "--mode", "2", "--start", "10", "--step", "10"},
         example,
         "N10 G0 X0 (Start)\r\n(Kommentar)\nN20 #1=#1+1\r\nN30IF[#1LT3]GOTO20\r\n%N40\r\n"},
        {{"renumber"}, "A\nB\n", "N1A\r\nN3B\r\n"},
        {{"unnumber"}, "N10 G1\nN20 GOTO10\n", "N10 G1\n GOTO10\r\n"},
        {{"add-spaces"}, "G1X5\nG2 X1\n", "G1 X5\r\nG2 X1\n"},
        {{"remove-spaces"}, "G1 X5 (a b)\n", "G1X5(a b)\r\n"},
        {{"trim-start"}, "  G1\n", "G1\r\n"},
        {{"trim-end"}, "G1\t \n", "G1\t\r\n"},
        {{"remove-empty"}, "G1\n\n\nG2", "G1\nG2"},
        {{"remove-comments"}, "G1 [a] (b)\n", "G1 [a] \r\n"},
        {{"remove-comments", "--square-bracket-comments"}, "G1 [a] (b)\n", "G1  (b)\r\n"},
        {{"upper"}, "g1\nG2\n", "G1\r\nG2\r\n"},
        {{"upper"}, "", ""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(run(c.arguments, c.text), 0) << c.arguments[0] << err.str();
        EXPECT_EQ(out.str(), c.expected) << c.arguments[0];
        EXPECT_EQ(err.str(), "");
    }
    EXPECT_EQ(Brackets().commleft, '('); // the option held for its command only
}

TEST_F(FormatCommand, MistakesExitWithAReasonAndPrintNoText) {
    struct Case {
        std::vector<std::string> arguments;
        int status;
        const char *says;
    } cases[] = {
        {{"shuffle"}, cli::kUsage, "unknown command: shuffle"},
        {{}, cli::kUsage, "expected COMMAND and PROGRAM"},
        {{"renumber", "--mode", "4"}, cli::kUsage, "--mode: not a whole number from 1 to 3: 4"},
        {{"renumber", "--start", "0"}, cli::kUsage, "from 1 to 1000000: 0"},
        {{"renumber", "--step", "1e3"}, cli::kUsage, "from 1 to 1000000: 1e3"},
        {{"renumber", "--step"}, cli::kUsage, "--step: not a whole number from 1 to 1000000: /"},
        {{"renumber", "--space=yes"}, cli::kUsage, "--space takes no value"},
        {{"upper", "--space"}, cli::kUsage, "belong to renumber"},
        {{"upper", "--colour"}, cli::kUsage, "unknown option: --colour"},
        {{"upper", "/nonexistent/prog.nc"}, cli::kUsage, "expected COMMAND and PROGRAM"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(run(c.arguments, "g1\n"), c.status) << c.says;
        EXPECT_NE(err.str().find(c.says), std::string::npos) << err.str();
        EXPECT_EQ(out.str(), "") << c.says;
    }
    out.str({});
    err.str({});
    EXPECT_EQ(cli::RunFormat({"upper", (scratch / "missing.nc").string()}, out, err),
              cli::kFailure);
    EXPECT_NE(err.str().find("cannot open"), std::string::npos);
    EXPECT_EQ(out.str(), "");
}

} // namespace
