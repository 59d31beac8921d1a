#include "formatting/blocknumbers.h"
#include "formattingdocument.h"

#include <gtest/gtest.h>

using namespace morvilo;

namespace {

TEST(FindBlock, ReadsTheNumberAfterTheKeywordAndConsumesThroughIt) {
    struct Case {
        const char *keyword, *view;
        bool found;
        int64_t nr;
        const char *rest;
    } cases[] = {
        {"N", "N0010G1", true, 10, "G1"},
        {"N", "N12.7X5", true, 12, "X5"},
        {"N", "N-5.9G1", true, -5, "G1"},
        {"N", "G1N20X1", true, 20, "X1"},
        {"N", "N0G1", false, -1, "G1"}, // only zeros: no number, the keyword is used up
        {"N", "N", false, -1, ""},
        {"N", "N1.2.3", false, -1, ""},   // does not convert
        {"N", "END1", false, -1, "END1"}, // after a letter: untouched
        {"N", "#1=SIN[30]N5", false, -1, "#1=SIN[30]N5"},
        {"N", "G1X5", false, -1, "G1X5"},
        {"N", "N99999999999999999999G1", false, -1, "G1"}, // beyond the 64-bit range
        {"GOTO", "IF[#1EQ1]GOTO7", true, 7, ""},
        {"GOTO", "GOTO0030X", true, 30, "X"},
        {"GOTO", "XGOTO5", false, -1, "XGOTO5"},
    };
    for (const Case &c : cases) {
        std::string s = c.view;
        int64_t nr = 99;
        EXPECT_EQ(FindBlock(c.keyword, s, nr), c.found) << c.view;
        EXPECT_EQ(nr, c.nr) << c.view;
        EXPECT_EQ(s, c.rest) << c.view;
    }
}

TEST(FindBlock, RepeatedCallsWalkThroughTheLineAndStopAtTheFirstMiss) {
    EXPECT_EQ(FindAllBlocks("N", "N10N0020G1N30"), (std::vector<int64_t>{10, 20, 30}));
    EXPECT_EQ(FindAllBlocks("GOTO", "GOTO5GOTO6"), (std::vector<int64_t>{5, 6}));
    // "N0" ends the search: the later N7 is not looked at.
    EXPECT_EQ(FindAllBlocks("N", "N5N0N7"), (std::vector<int64_t>{5}));
    EXPECT_EQ(MatchingView("n10 g1 (comment) x5"), "N10G1X5");
}

TEST(RemoveBlockNummer, RemovesTheWordOfThatNumberOnly) {
    struct Case {
        const char *line;
        int64_t nr;
        const char *expected;
    } cases[] = {
        {"N10 G1", 10, " G1"}, // the space after the number stays
        {"N0010G1", 10, "G1"},
        {"N12.7 X5", 12, " X5"},
        {"N10 G1", 11, "N10 G1"},
        {"n5x1", 5, "x1"},
        {"N 1 0 G1", 10, " G1"},  // spaces inside the word go with it
        {"N1(c)0 G1", 10, " G1"}, // and so do comments
        {"(N10) N10 G1", 10, "(N10)  G1"},
        {"G1 N5", 5, "G1 "},
        {"XN5 G1", 5, "XN5 G1"}, // after a letter: not a block number
        {"END1 N1", 1, "END1 "},
        {"N7 X1 N7", 7, " X1 "},
        {"N", 0, "N"},
        {"", 1, ""},
    };
    for (const Case &c : cases) {
        std::string s = c.line;
        RemoveBlockNummer(s, c.nr);
        EXPECT_EQ(s, c.expected) << c.line;
    }
}

TEST(RemoveBlockNummer, SeveralNumbersGoAsIfRemovedOneAfterAnother) {
    struct Case {
        const char *line;
        std::unordered_set<int64_t> numbers;
        const char *expected;
    } cases[] = {
        {"N5N6 G1", {5, 6}, " G1"}, // "N6" starts only once "N5" is gone
        {"N5N6N7", {5, 6, 7}, ""},  {"N5N6", {5}, "N6"},
        {"N5N6", {6}, "N5N6"}, // the "N" that closes "N5" starts no word
        {"N6n5", {6, 5}, ""},       {"N5 X1 N6", {6}, "N5 X1 "},
    };
    for (const Case &c : cases) {
        std::string s = c.line;
        RemoveBlockNummers(s, c.numbers);
        EXPECT_EQ(s, c.expected) << c.line;
    }
}

TEST(ReplaceGOTO, RewritesTheJumpsToOneNumber) {
    struct Case {
        const char *line;
        int64_t nr, newnr;
        const char *expected;
    } cases[] = {
        {"IF[#1LT3]GOTO5", 5, 30, "IF[#1LT3]GOTO30"},
        {"GOTO 7", 7, 40, "GOTO40"}, // rewritten without the space
        {"goto0007 X1", 7, 40, "GOTO40 X1"},
        {"GO(x)TO 5 Y1", 5, 9, "GOTO9 Y1"},
        {"GOTO7", 8, 40, "GOTO7"},
        {"GOTO5GOTO5", 5, 9, "GOTO9GOTO9"}, // a G closing a number starts the next jump
        {"XGOTO5", 5, 9, "XGOTO5"},
        {"GOTX5", 5, 9, "GOTX5"},
        {"(GOTO5) GOTO5", 5, 9, "(GOTO5) GOTO9"},
        {"GOTO", 0, 9, "GOTO"},
    };
    for (const Case &c : cases) {
        std::string s = c.line;
        ReplaceGOTO(s, c.nr, c.newnr);
        EXPECT_EQ(s, c.expected) << c.line;
    }
}

TEST(ReplaceGOTO, EveryJumpIsRewrittenOnceByItsOwnTarget) {
    std::string s = "IF[#1EQ1]GOTO5 GOTO10";
    ReplaceGOTOs(s, [](int64_t nr) -> std::optional<int64_t> { return nr * 2; });
    EXPECT_EQ(s, "IF[#1EQ1]GOTO10 GOTO20");
}

TEST(BlockWords, CommentsFollowTheBracketOptionWhenUsed) {
    std::string square = "[N5] (N5)", round = square;
    {
        const test::SquareBracketComments on;
        RemoveBlockNummer(square, 5);
        EXPECT_EQ(MatchingView("g1 [c] x(1)"), "G1X(1)");
    }
    RemoveBlockNummer(round, 5);
    EXPECT_EQ(square, "[N5] ()");
    EXPECT_EQ(round, "[] (N5)");
}

} // namespace
