// The evaluator on the typical words of G-code programs, and the substitution of variable
// references on one program line.

#include "expressions/handleexpression.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using morvilo::ExpressionEvaluator;
using morvilo::VariableStore;

std::unique_ptr<VariableStore> filledStore() {
    auto store = std::make_unique<VariableStore>();
    for (int i = 1; i <= 5; ++i)
        store->va[size_t(i)] = i * 1.25;
    return store;
}

const char *const kTypical[] = {"X[#1*2+5]", "[#1LT3]", "SIN[30]"};

void BM_HandleExpression(benchmark::State &state) {
    const auto store = filledStore();
    ExpressionEvaluator evaluator(*store);
    const std::string_view expression = kTypical[state.range(0)];
    std::string result;
    for (auto _ : state) {
        evaluator.HandleExpression(expression, result);
        benchmark::DoNotOptimize(result.data());
    }
    state.SetLabel(std::string(expression) + " -> " + result);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HandleExpression)->DenseRange(0, 2);

// The three words in turn, as a program mixes them.
void BM_HandleExpressionMix(benchmark::State &state) {
    const auto store = filledStore();
    ExpressionEvaluator evaluator(*store);
    std::string result;
    for (auto _ : state) {
        for (const char *expression : kTypical) {
            evaluator.HandleExpression(expression, result);
            benchmark::DoNotOptimize(result.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * 3);
}
BENCHMARK(BM_HandleExpressionMix);

// A condition with nesting, functions and word operators.
void BM_HandleExpressionCondition(benchmark::State &state) {
    const auto store = filledStore();
    ExpressionEvaluator evaluator(*store);
    std::string result;
    for (auto _ : state) {
        evaluator.HandleExpression("[#1*2GT[ABS[#2-10]/3]]AND[#3LE5]", result);
        benchmark::DoNotOptimize(result.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HandleExpressionCondition);

void BM_VariablenEinsetzen(benchmark::State &state) {
    const auto store = filledStore();
    const std::string line = "G1X#1Y#2Z-#3A#4F#5";
    std::string text, scratch;
    for (auto _ : state) {
        text.assign(line);
        morvilo::VariablenEinsetzen(text, *store, scratch);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetLabel(line + " -> " + text);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_VariablenEinsetzen);

} // namespace

BENCHMARK_MAIN();
