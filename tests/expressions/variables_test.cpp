// Substitution of variable references, the system variables and the variable list lines.

#include "expressions/handleexpression.h"
#include "expressions/variablestore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace morvilo;

namespace {

class Variables : public ::testing::Test {
protected:
    void SetUp() override {
        store->clock = [this] { return now; };
    }
    std::string substituted(std::string text) {
        VariablenEinsetzen(text, *store);
        return text;
    }

    std::unique_ptr<VariableStore> store = std::make_unique<VariableStore>();
    ClockReading now;
};

TEST_F(Variables, ReferencesBecomeTheirValues) {
    store->va[0] = 0.25;
    store->va[1] = 5;
    store->va[2] = 4;
    store->va[5] = 7;
    store->va[7] = 2.5;
    store->va[9] = 9;
    store->va[19] = 19;
    store->va[999] = -1.5;
    const std::pair<const char *, const char *> cases[] = {
        {"X#1", "X5"},
        {"X# 1 Y2", "X5Y2"}, // spaces between and after the digits belong to it
        {"##5", "2.5"},
        {"#9 #19 #999", "919-1.5"},
        {"#1#2", "54"},
        {"#0005", "7"},
        {"#", "0.25"},
        {"# #1", "0.255"},
        {"G1X#1Y[#2]", "G1X5Y[4]"},
        {"no references", "no references"},
        {"#7000", ""},
        {"A#6001B", "AB"},
        {"#99999999999", "0.25"}, // no 32-bit number: variable 0
    };
    for (const auto &[text, result] : cases)
        EXPECT_EQ(substituted(text), result) << text;
}

TEST_F(Variables, IndirectionRoundsAndStaysInRange) {
    store->va[5] = 2.5; // halves to even: variable 2
    store->va[2] = 11;
    store->va[6] = 7000;
    store->va[7] = -1;
    store->va[8] = std::nan("");
    EXPECT_EQ(substituted("##5"), "11");
    EXPECT_EQ(substituted("###5"), "0"); // 2.5 -> 2 -> 11 -> variable 11
    EXPECT_EQ(substituted("X##6Y"), "XY");
    EXPECT_EQ(substituted("X##7Y"), "XY");
    EXPECT_EQ(substituted("X##8Y"), "XY");
}

TEST_F(Variables, SystemVariablesReadTheClock) {
    now = {0x12345, 2024, 3, 5, 14, 7, 9};
    EXPECT_EQ(substituted("#3001"), "9029"); // low 16 bits of the tick counter
    EXPECT_EQ(substituted("#3002"), "14");
    EXPECT_EQ(substituted("#3011"), "20240305");
    EXPECT_EQ(substituted("#3012"), "140709");
    EXPECT_EQ(store->va[3012], 140709); // stored on reading
    now = {0, 2024, 12, 31, 9, 5, 7};
    EXPECT_EQ(substituted("#3012"), "90507");
    store->va[3] = 3011;
    EXPECT_EQ(substituted("##3"), "20241231");
}

TEST_F(Variables, ManyReferencesInOneLongLine) {
    store->va[1] = 1;
    std::string line;
    for (int i = 0; i < 200000; ++i)
        line += "X#1";
    VariablenEinsetzen(line, *store);
    ASSERT_EQ(line.size(), 400000u);
    EXPECT_EQ(line.find('#'), std::string::npos);
}

TEST_F(Variables, TheEvaluatorReadsTheStore) {
    store->va[1] = 5;
    EXPECT_EQ(HandleExpression("#1+1", *store), "6");
    EXPECT_EQ(HandleExpression("2*[3+4]", *store), "14");
}

TEST_F(Variables, ListShowsNonZeroValuesOfTheLastBlock) {
    store->ova[2] = 2.5;
    store->ova[1000] = 1; // beyond the listed range
    store->va[3] = 4;     // not the list's values
    EXPECT_EQ(VariableListLines(*store), std::vector<std::string>{"2: 2.5"});
    store->ova[12] = -0.000001;
    store->ova[999] = 1e15;
    EXPECT_EQ(VariableListLines(*store),
              (std::vector<std::string>{"2: 2.5", "12: -0.000001", "999: 1000000000000000."}));
}

} // namespace
