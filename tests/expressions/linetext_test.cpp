// The line text helpers: comment and space removal, labels, block numbers.

#include "linetext/linetext.h"

#include <gtest/gtest.h>

using namespace morvilo;

namespace {

// Restores the start-up brackets whatever a test does.
class LineText : public ::testing::Test {
protected:
    void TearDown() override { SetSquareBracketComments(false); }
};

TEST_F(LineText, NoSpacesAndComments) {
    EXPECT_EQ(nospacesandcomments("G1 X10 (move) Y5"), "G1X10Y5");
    EXPECT_EQ(nospacesandcomments("G1 X10 ) Y5"), "G1X10)Y5");
    EXPECT_EQ(nospacesandcomments("G1 (open"), "G1");
    EXPECT_EQ(nospacesandcomments("(a)(b)X1(c"), "X1");
    EXPECT_EQ(nospacesandcomments(std::string("G1\0X 1", 6)), std::string("G1\0X1", 5));
    SetSquareBracketComments(true);
    EXPECT_EQ(nospacesandcomments("G1 [move] X(1+2)"), "G1X(1+2)");
    EXPECT_EQ(Brackets().expleft, '(');
    SetSquareBracketComments(false);
    EXPECT_EQ(nospacesandcomments("G1 [move] X(1+2)"), "G1[move]X");
}

// The interpreter's reading: tabs are spaces, a ";" outside a comment ends the block; the
// editor's helper above keeps both.
TEST_F(LineText, BlockWordsEndAtASemicolonAndTakeTabsAsSpaces) {
    const struct {
        const char *line, *words;
    } cases[] = {
        {"G1\tX\t0.001 Y 2", "G1X0.001Y2"},
        {"G1 X5 F100 ; move Z-5", "G1X5F100"},
        {"G1 X7 (a;b) Y8", "G1X7Y8"},
        {"G1 X6 ; (c) Y7", "G1X6"},
        {"; all of it", ""},
        {"G1 (open; X1", "G1"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(BlockWordsText(c.line), c.words) << c.line;
    EXPECT_EQ(nospacesandcomments("G1\tX1 ; Y2"), "G1\tX1;Y2");
    SetSquareBracketComments(true);
    EXPECT_EQ(BlockWordsText("G1 [a;b] X(1+2) ; Y3"), "G1X(1+2)");
}

TEST_F(LineText, Poss0sFindsTheLastLabel) {
    struct Case {
        const char *line, *letters, *number;
        int32_t position;
    } cases[] = {
        {"N0010G1", "N", "10", 1},
        {"N100", "N", "10", 0},
        {"n20", "N", "20", 1},
        {"DO1", "DO", "1", 1},
        {"N", "N", "1", 0},
        {"N0020G1", "N", "20", 1},
        {"N200", "N", "20", 0},
        {"G1N20", "N", "20", 3},
        {"N20G1N20", "n", "20", 6},
        {"do1", "Do", "1", 1},
        {"N2", "N", "20", 0},
        {"", "N", "1", 0},
        // A label of 0, or one given with leading zeros, is found too.
        {"N0G1", "N", "0", 1},
        {"N000", "N", "0", 1},
        {"N10", "N", "010", 1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(poss0s(c.line, c.letters, c.number), c.position)
            << c.line << " " << c.letters << c.number;
}

TEST_F(LineText, RemoveAllBlockNummers) {
    const std::pair<const char *, const char *> cases[] = {
        {"N10G1X5", "G1X5"},
        {"N0010GOTO20", "GOTO20"},
        {"END1", "END1"}, // the N follows a letter
        {"NX5", "NX5"},   // no number
        {"(N10)G1", "(N10)G1"},
        {"N 10 G1", " G1"}, // spaces after the number stay
        {"N(c)10G1", "G1"}, // comments inside the word go with it
        {"N10(c)G1", "(c)G1"},
        {"G1 N10", "G1 "},
        {"N-5G1", "G1"},
        {"N.G1", "N.G1"},
        {"N", "N"},
        // Several words: every word the walk closes goes, but the character that closes a
        // word never opens the next one.
        {"N10G1N20X5", "G1X5"},
        {"N10N20G1", "N20G1"},
        {"N10 N20", " N20"},
    };
    for (const auto &[line, result] : cases) {
        std::string s = line;
        RemoveAllBlockNummers(s);
        EXPECT_EQ(s, result) << line;
    }
    SetSquareBracketComments(true);
    std::string s = "[N10]G1N5(1)";
    RemoveAllBlockNummers(s);
    EXPECT_EQ(s, "[N10]G1(1)");
}

} // namespace
