#include "formatting/cleanup.h"
#include "formattingdocument.h"

#include <gtest/gtest.h>

using namespace morvilo;

namespace {

using Rule = std::string (*)(std::string_view);
using Command = void (*)(TEditorCore &);

struct RuleCase {
    const char *rule;
    Rule apply;
    const char *line, *expected;
};

const RuleCase kRuleCases[] = {
    {"add", AddSpaces, "N10G1X5.5Y-3", "N10 G1 X5.5 Y-3"},
    {"add", AddSpaces, "X5.Y3", "X5.Y3"},
    {"add", AddSpaces, "(X1)Y2", "(X1)Y2"},
    {"add", AddSpaces, "5(a)B", "5(a)B"},
    {"add", AddSpaces, "G1 (x1y2) X[1]Y", "G1 (x1y2) X[1]Y"},
    {"add", AddSpaces, "g1x2\tY3", "g1 x2\tY3"},
    {"add", AddSpaces, "1(open 1a", "1(open 1a"},
    {"remove", RemoveSpaces, "N10 G1 X5 (ab c)", "N10G1X5(ab c)"},
    {"remove", RemoveSpaces, "G1 ) X 1 (open c", "G1)X1(open c"},
    {"remove", RemoveSpaces, " \t ", "\t"},
    {"start", RemoveLeadingSpaces, "  G1 (a) ", "G1 (a) "},
    {"start", RemoveLeadingSpaces, "   ", ""},
    {"start", RemoveLeadingSpaces, " \tG1", "\tG1"},
    {"end", RemoveTrailingSpaces, " G1  ", " G1"},
    {"end", RemoveTrailingSpaces, "G1\t", "G1\t"},
    {"end", RemoveTrailingSpaces, "G1\t  ", "G1\t"},
    {"end", RemoveTrailingSpaces, "   ", ""},
    {"comments", RemoveComments, "G1 X5 (fahren) Y2", "G1 X5  Y2"},
    {"comments", RemoveComments, "(a(b)c)", "c)"},
    {"comments", RemoveComments, "G1 (open", "G1 "},
    {"comments", RemoveComments, "(only)", ""},
    {"comments", RemoveComments, "a)b[c]", "a)b[c]"},
    {"upper", UpperCase, "g1 x5 (fahren) \xe4z", "G1 X5 (FAHREN) \xe4Z"},
};

TEST(CleanUpRules, OneLine) {
    for (const RuleCase &c : kRuleCases)
        EXPECT_EQ(c.apply(c.line), c.expected) << c.rule << ": " << c.line;
}

TEST(CleanUpRules, CommentsFollowTheBracketOption) {
    const test::SquareBracketComments square;
    EXPECT_EQ(RemoveComments("G1 [a] (b) X[c"), "G1  (b) X");
    EXPECT_EQ(RemoveSpaces("G1 [a b] (c d)"), "G1[a b](cd)");
    EXPECT_EQ(AddSpaces("X1[a1b]Y2(3a)"), "X1[a1b]Y2(3 a)");
}

TEST(CleanUpRules, RemovingThenAddingSpacesGivesTheLineBack) {
    EXPECT_EQ(AddSpaces(RemoveSpaces("N10 G1 X5")), "N10 G1 X5");
}

class CleanUp : public test::FormattingTest {};

const struct {
    const char *name;
    Command command;
} kCommands[] = {{"add spaces", Leerzeichenhinzufgen},
                 {"remove spaces", Leerzeichenentfernen},
                 {"trim start", LeerzeichenamZeilenanfangentfernen},
                 {"trim end", LeerzeichenamZeilenendeentfernen},
                 {"remove empty", LeereZeilenentfernen},
                 {"remove comments", Kommentareentfernen},
                 {"upper", AllesinGrossbuchstabenumwandeln}};

TEST_F(CleanUp, OnlyChangedLinesAreReplacedAndUpperCasingReplacesEvery) {
    struct Case {
        Command command;
        const char *text, *expected;
    } cases[] = {
        {Leerzeichenentfernen, "G1 X5\nG2\rG3 (a b)", "G1X5\r\nG2\rG3(a b)\r\n"},
        {Leerzeichenhinzufgen, "N1G1\nN2 G2\n", "N1 G1\r\nN2 G2\n"},
        {LeerzeichenamZeilenanfangentfernen, "  G1\nG2 \n", "G1\r\nG2 \n"},
        {LeerzeichenamZeilenendeentfernen, "  G1\nG2 \n", "  G1\nG2\r\n"},
        {Kommentareentfernen, "(x)\nG2\n", "\r\nG2\n"}, // a comment line stays, empty
        {AllesinGrossbuchstabenumwandeln, "G1\nx\rY", "G1\r\nX\r\nY\r\n"},
        // Deleting: both of two adjacent empty lines go, whatever their breaks; spaces stay.
        {LeereZeilenentfernen, "G1\n\n\r\nG2\n  \n\rG3\n", "G1\nG2\n  \nG3\n"},
        {LeereZeilenentfernen, "\n\n", ""},
    };
    for (const Case &c : cases) {
        open(c.text);
        c.command(core);
        EXPECT_EQ(text(), c.expected) << c.text;
    }
}

TEST_F(CleanUp, ZeroBytesInALineAreKept) {
    const std::string withZero("G1 x5\0 (c)\n\0\nG2\n", 16);
    open(withZero);
    Kommentareentfernen(core);
    EXPECT_EQ(text(), std::string("G1 x5\0 \r\n\0\nG2\n", 14));
    open(withZero);
    LeereZeilenentfernen(core); // a line of a 0 byte is not empty
    EXPECT_EQ(text(), withZero);
    open(withZero);
    AllesinGrossbuchstabenumwandeln(core);
    EXPECT_EQ(text(), std::string("G1 X5\0 (C)\r\n\0\r\nG2\r\n", 19));
}

TEST_F(CleanUp, AnEmptyTextStaysEmpty) {
    for (const auto &c : kCommands) {
        open("");
        c.command(core);
        EXPECT_EQ(text(), "") << c.name;
        EXPECT_TRUE(core.changed) << c.name; // the update marks the document changed
    }
}

TEST_F(CleanUp, OneUndoRestoresTheWholeText) {
    const std::string original = "n10g1x5 (a b) \n\n  G2  \r\n(c)\rx1y2";
    for (const auto &c : kCommands) {
        open(original);
        c.command(core);
        EXPECT_NE(text(), original) << c.name;
        core.Undo();
        EXPECT_EQ(text(), original) << c.name;
        EXPECT_FALSE(core.CanUndo()) << c.name;
    }
}

TEST_F(CleanUp, SingleStepUndoGoesBackLineByLine) {
    open("G1 X1\nG2\nG3 X3\n");
    Leerzeichenentfernen(core); // lines 1 and 3 change: a deletion and an insertion each
    core.onlyonestep = true;
    core.Undo();
    core.Undo();
    EXPECT_EQ(text(), "G1X1\r\nG2\nG3 X3\n");
    core.Undo();
    core.Undo();
    core.onlyonestep = false;
    EXPECT_EQ(text(), "G1 X1\nG2\nG3 X3\n");
    EXPECT_FALSE(core.CanUndo());
}

TEST_F(CleanUp, CommandsReadTheBracketOptionWhenTheyRun) {
    open("G1 [a] (b)\n");
    {
        const test::SquareBracketComments square;
        Kommentareentfernen(core);
    }
    EXPECT_EQ(text(), "G1  (b)\r\n");
    Kommentareentfernen(core);
    EXPECT_EQ(text(), "G1  \r\n");
}

} // namespace
