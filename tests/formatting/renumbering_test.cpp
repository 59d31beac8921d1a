#include "formatting/renumbering.h"
#include "formattingdocument.h"

#include <gtest/gtest.h>

using namespace morvilo;
using Lines = std::vector<std::string>;

namespace {

TNummerBlocksSettings settingsOf(NumberingChoice choice, int64_t start, int64_t step, bool space) {
    TNummerBlocksSettings settings;
    settings.choice = choice;
    settings.startnumed = start;
    settings.inced = step;
    settings.addspacecheck = space;
    return settings;
}

const Lines kExample = {"N1 G0 X0 (Start)", "(Kommentar)", "N5 #1=#1+1", "IF[#1LT3]GOTO5", "%"};

class Renumbering : public test::FormattingTest {
protected:
    std::string renumber(const Lines &lines, const TNummerBlocksSettings &settings) {
        open(test::CrLfLines(lines));
        BlckeneuNummerieren(core, settings);
        return text();
    }
};

TEST_F(Renumbering, TheWorkedExampleInItsThreeForms) {
    struct Case {
        TNummerBlocksSettings settings;
        Lines expected;
    } cases[] = {
        {settingsOf(NumberingChoice::AllBlocks, 10, 10, true),
         {"N10  G0 X0 (Start)", "N20 (Kommentar)", "N30  #1=#1+1", "N40 IF[#1LT3]GOTO30", "% N50"}},
        {settingsOf(NumberingChoice::AllBlocks, 10, 10, false),
         {"N10 G0 X0 (Start)", "N20(Kommentar)", "N30 #1=#1+1", "N40IF[#1LT3]GOTO30", "%N50"}},
        {settingsOf(NumberingChoice::NotEmptyOrComment, 10, 10, true),
         {"N10  G0 X0 (Start)", "(Kommentar)", "N20  #1=#1+1", "N30 IF[#1LT3]GOTO20", "% N40"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(renumber(kExample, c.settings), test::CrLfLines(c.expected));
}

TEST_F(Renumbering, EdgeCases) {
    const auto all = settingsOf(NumberingChoice::AllBlocks, 10, 10, false);
    const auto skipEmpty = settingsOf(NumberingChoice::NotEmptyOrComment, 10, 10, false);
    const auto targetsOnly = settingsOf(NumberingChoice::JumpTargetsOnly, 10, 10, false);
    struct Case {
        const char *what;
        TNummerBlocksSettings settings;
        Lines lines, expected;
    } cases[] = {
        {"N0 is no block number", all, {"N0 G1"}, {"N10N0 G1"}},
        {"leading zeros and fractions",
         all,
         {"N0010 G1", "N12.7 X5", "GOTO12"},
         {"N10 G1", "N20 X5", "N30GOTO20"}},
        {"a lone jump target keeps a number", skipEmpty, {"N5", "GOTO5"}, {"N10", "N20GOTO10"}},
        {"a lone number that no jump names goes", skipEmpty, {"N5", "G1"}, {"", "N10G1"}},
        {"a number before a comment only", skipEmpty, {"N5 (c)", "G1"}, {" (c)", "N10G1"}},
        {"GOTO with a space", all, {"N7 G1", "GOTO 7"}, {"N10 G1", "N20GOTO10"}},
        {"GOTO to a missing number", all, {"GOTO99", "N5"}, {"N10GOTO99", "N20"}},
        {"only jump targets",
         targetsOnly,
         {"N1 G1", "N2 G2", "N3 GOTO2", "G4"},
         {" G1", "N10 G2", " GOTO10", "G4"}},
        {"END1 and SIN are no block numbers",
         all,
         {"WHILE[#1LT3]DO1", "#2=SIN[30]", "END1"},
         {"N10WHILE[#1LT3]DO1", "N20#2=SIN[30]", "N30END1"}},
        {"jumps are rewritten once each",
         all,
         {"N5 GOTO10", "N10 GOTO5"},
         {"N10 GOTO20", "N20 GOTO10"}},
        {"the first line of a number is the target",
         all,
         {"N5 A", "N5 B", "GOTO5"},
         {"N10 A", "N20 B", "N30GOTO10"}},
        {"a line of another start gets the number behind",
         all,
         {"/N5 G1", "%"},
         {"/ G1N10", "%N20"}},
        {"every number of a line goes", all, {"N5 N6 G1", "GOTO6"}, {"N10  G1", "N20GOTO10"}},
        {"empty lines are numbered with choice 1", all, {"", "  "}, {"N10", "N20  "}},
        {"start and step",
         settingsOf(NumberingChoice::AllBlocks, 1, 2, false),
         {"A", "B", "C"},
         {"N1A", "N3B", "N5C"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(renumber(c.lines, c.settings), test::CrLfLines(c.expected)) << c.what;
}

TEST_F(Renumbering, CommentsFollowTheBracketOption) {
    const auto all = settingsOf(NumberingChoice::AllBlocks, 10, 10, false);
    const Lines lines = {"N5 [N6 x]", "GOTO6"};
    // "[" starts no comment: the number goes behind.
    EXPECT_EQ(renumber(lines, all), test::CrLfLines({" [ x]N10", "N20GOTO10"}));
    const test::SquareBracketComments square; // "[N6 x]" is a comment now
    EXPECT_EQ(renumber(lines, all), test::CrLfLines({"N10 [N6 x]", "N20GOTO6"}));
}

TEST_F(Renumbering, UnchangedLinesKeepTheirBreaks) {
    open("N5 G1\nG2\n");
    BlckeneuNummerieren(core, settingsOf(NumberingChoice::JumpTargetsOnly, 10, 10, false));
    EXPECT_EQ(text(), " G1\r\nG2\n");
}

TEST_F(Renumbering, OneUndoRestoresTheTextAndSingleStepsGoLineByLine) {
    const std::string original = "N1 G0 X0 (Start)\n(Kommentar)\nN5 #1=#1+1\nIF[#1LT3]GOTO5\n%";
    open(original);
    BlckeneuNummerieren(core, settingsOf(NumberingChoice::AllBlocks, 10, 10, true));
    const std::string renumbered = text();
    EXPECT_TRUE(core.changed);
    core.Undo();
    EXPECT_EQ(text(), original);
    EXPECT_FALSE(core.CanUndo());
    core.ReDo();
    EXPECT_EQ(text(), renumbered);

    // Lines 1 and 3 lose their numbers, line 4 gets its jump, all five get numbers: eight
    // replaced lines of two records each.
    core.onlyonestep = true;
    int steps = 0;
    for (; core.CanUndo() && steps < 100; ++steps) {
        EXPECT_NE(text(), original) << steps;
        core.Undo();
    }
    core.onlyonestep = false;
    EXPECT_EQ(steps, 16);
    EXPECT_EQ(text(), original);
}

TEST_F(Renumbering, RemovingNumbersKeepsTheJumpTargets) {
    struct Case {
        Lines lines, expected;
    } cases[] = {
        {{"N10 G1"}, {" G1"}},
        {{"N10 G1", "N20 GOTO10", "N0030 X1"}, {"N10 G1", " GOTO10", " X1"}},
        {{"END1", "(N5)", "N12.7 GOTO12"}, {"END1", "(N5)", "N12.7 GOTO12"}},
    };
    for (const Case &c : cases) {
        open(test::CrLfLines(c.lines));
        Nummierungentfernen(core);
        EXPECT_EQ(text(), test::CrLfLines(c.expected));
        core.Undo();
        EXPECT_EQ(text(), test::CrLfLines(c.lines));
    }
}

TEST_F(Renumbering, AMegabyteLineOfWordsIsDoneInOnePass) {
    std::string words;
    for (int k = 1; k <= 150000; ++k)
        words += "N" + std::to_string(k) + "GOTO" + std::to_string(k);
    open(words + "\n");
    BlckeneuNummerieren(core, settingsOf(NumberingChoice::AllBlocks, 7, 1, false));
    const std::string renumbered = text();
    EXPECT_EQ(renumbered.substr(0, 20), "N7GOTO7GOTO7GOTO7GOT");
    EXPECT_EQ(renumbered.size(), 2 + 150000 * 5 + 2); // "N7", the jumps, CR LF
    core.Undo();
    Nummierungentfernen(core); // every number is a jump target
    EXPECT_EQ(text(), words + "\n");
}

TEST_F(Renumbering, AnEmptyTextStaysEmpty) {
    open("");
    BlckeneuNummerieren(core, TNummerBlocksSettings{});
    Nummierungentfernen(core);
    EXPECT_EQ(text(), "");
}

} // namespace
