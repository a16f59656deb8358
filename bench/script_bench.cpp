// The script engine: parsing, expression evaluation and running triggers.

#include <benchmark/benchmark.h>

#include <string>

#include "app/runtime.h"
#include "script/expression.h"

namespace ef2 {
namespace {

struct ScriptScene {
    ScriptScene() {
        runtime.world.create(100, 100);
        runtime.interpreter.pushFrame(ParameterFrame{});
    }
    Runtime runtime;
};

// A 10,000-line script of assignments, conditions and block definitions.
std::string tenThousandLines() {
    std::string text;
    for (int i = 0; i < 2500; ++i) {
        std::string n = std::to_string(i);
        text += "SET V" + n + " (" + n + " * 3 + 1)\n";
        text += "IF (V" + n + " > 10) <INC COUNT>\n";
        text += "ON KEY_" + n + " SET LAST " + n + "\n";
        text += "TIMER REMOVEALL T" + n + "\n";
    }
    return text;
}

void BM_ParseTenThousandLines(benchmark::State& state) {
    const std::string script = tenThousandLines();
    for (auto _ : state) {
        state.PauseTiming();
        auto scene = std::make_unique<ScriptScene>();
        state.ResumeTiming();
        scene->runtime.parser.parseText(script, 0, "bench.ef2");
        state.PauseTiming();
        scene.reset();
        state.ResumeTiming();
    }
    state.counters["lines_per_second"] =
        benchmark::Counter(10000, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_EvaluateTwentyOperatorExpression(benchmark::State& state) {
    ScriptScene scene;
    Runtime& runtime = scene.runtime;
    runtime.variables.obtain("A", 3, true);
    runtime.variables.obtain("B", 7, true);
    Expression expression(
        runtime, "A + B * 2 - 1 / 3 + A % 5 + B & 255 | 16 + A MAX 4 MIN 900 - B + 11 * A + 2 - B + 9 ^ 1",
        kDefaultPercentBase);
    if (!expression.isValid()) state.SkipWithError("the expression does not parse");
    int64_t sum = 0;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) sum += expression.evaluate(runtime);
    }
    benchmark::DoNotOptimize(sum);
    state.counters["evaluations_per_second"] =
        benchmark::Counter(1000, benchmark::Counter::kIsIterationInvariantRate);
}

// Parsing one formula of N operators: read once, so the cost grows with N.
void BM_ParseLongFormula(benchmark::State& state) {
    ScriptScene scene;
    std::string formula = "A";
    for (int64_t i = 0; i < state.range(0); ++i) formula += i % 2 ? " + B" : " * 3";
    for (auto _ : state) {
        Expression expression(scene.runtime, formula);
        benchmark::DoNotOptimize(expression.isValid());
    }
    state.counters["ns_per_operator"] =
        benchmark::Counter(static_cast<double>(state.range(0)),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_RunTenStatementTrigger(benchmark::State& state) {
    ScriptScene scene;
    Runtime& runtime = scene.runtime;
    runtime.parser.parseText(
        "TRIGGER T {\nINC A\nSET B (A * 2)\nIF (B > 5) <INC C>\nSET D (B + C)\nINC E\nSET F (E % 7)\n"
        "IF (F == 0) <SET G 1>\nSET H (A - B)\nINC I\nSET J (I + H)\n}\n",
        0, "bench.ef2");
    Trigger* trigger = runtime.interpreter.triggers().find("T");
    if (!trigger || trigger->actions.size() != 10)
        state.SkipWithError("the trigger does not hold 10 statements");
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) runtime.interpreter.runTrigger(trigger);
    }
    if (runtime.variables.find("I")->value == 0) state.SkipWithError("the trigger did not run");
    state.counters["runs_per_second"] =
        benchmark::Counter(1000, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_ParseTenThousandLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EvaluateTwentyOperatorExpression)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RunTenStatementTrigger)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseLongFormula)->Arg(20)->Arg(200)->Arg(2000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace ef2
