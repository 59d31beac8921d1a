// Assignments of a block: what they store and what they leave of the line.

#include "expressions/handleexpression.h"
#include "expressions/variablestore.h"
#include "interpreter/variablenzuweisen.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace morvilo::test {
namespace {

struct AssignmentCase {
    const char *text;
    const char *rest;               // what stays of the line
    std::map<int, double> assigned; // nva after the line (only these differ from va)
};

TEST(VariablenZuweisen, StoresIntoNvaAndCutsTheAssignments) {
    const AssignmentCase cases[] = {
        {"#1=5", "", {{1, 5}}},
        {"#1=5G1X10", "G1X10", {{1, 5}}},
        {"G1#1=5", "G1", {{1, 5}}},
        {"#1=#2+1#2=#1", "", {{1, 8}, {2, 0}}}, // both read the values before the line
        {"##5=3", "", {{9, 3}}},                // #5 holds 9
        {"#7000=1", "", {}},
        {"##7=1", "", {}},         // #7 holds 6001
        {"#1=1GT0", "", {{1, 1}}}, // operator words stay in the expression
        {"#1=3MOD2", "", {{1, 1}}},
        {"#1=ABC", "", {{1, 0}}}, // not a number: 0
        {"#1=", "", {{1, 0}}},
        {"#=4", "", {{0, 4}}},
        {"#1=5(note)", "(note)", {{1, 5}}},
        {"X#2Y1", "X#2Y1", {}}, // references are left for the substitution
        {"#1=[5", "", {{1, 0}}},
    };
    for (const AssignmentCase &c : cases) {
        SCOPED_TRACE(c.text);
        auto store = std::make_unique<VariableStore>();
        store->va[2] = 7;
        store->va[5] = 9;
        store->va[7] = 6001;
        store->nva = store->va;
        ExpressionEvaluator evaluator(*store);
        std::string s = c.text;
        std::vector<int> done;
        VariablenZuweisen(s, *store, evaluator, [&](int n) { done.push_back(n); });
        EXPECT_EQ(s, c.rest);
        for (int n = 0; n <= VariableStore::kLast; ++n) {
            const auto expected = c.assigned.find(n);
            const double want =
                expected == c.assigned.end() ? store->va[size_t(n)] : expected->second;
            ASSERT_DOUBLE_EQ(store->nva[size_t(n)], want) << "#" << n;
        }
        EXPECT_EQ(done.size(), c.assigned.size());
    }
}

TEST(VariablenZuweisen, AFailedBracketAssignsNothing) {
    auto store = std::make_unique<VariableStore>();
    store->va[1] = store->nva[1] = 4;
    ExpressionEvaluator evaluator(*store);
    std::string s = std::string("#1=2+") + kFailedExpression + "G1X1";
    VariablenZuweisen(s, *store, evaluator);
    EXPECT_EQ(s, "G1X1");
    EXPECT_EQ(store->nva[1], 4);
}

} // namespace
} // namespace morvilo::test
