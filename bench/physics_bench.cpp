// The physics step on every scene of step_scenes.cpp, as Google Benchmarks
// (`ef2_bench --benchmark_filter=Step/`), for profilers and quick comparisons.
// The published figures come from ef2_step_table.
// Counters: ns_per_cell (per interior cell and step) and steps_per_second.

#include <benchmark/benchmark.h>

#include "step_scenes.h"

namespace ef2::bench {
namespace {

void runScene(benchmark::State& state, const StepScene* scene) {
    SceneRun run(*scene);
    const bool restores = scene->restoreEvery != 0;
    for (auto _ : state) {
        if (restores) {
            state.PauseTiming();
            run.restoreIfDue();
            state.ResumeTiming();
        }
        run.run(1);
    }
    using benchmark::Counter;
    state.counters["ns_per_cell"] = Counter(static_cast<double>(run.cellsPerStep()),
                                            Counter::kIsIterationInvariantRate | Counter::kInvert);
    state.counters["steps_per_second"] = Counter(1, Counter::kIsIterationInvariantRate);
}

const bool registered = [] {
    for (const StepScene& scene : stepScenes()) {
        benchmark::RegisterBenchmark(("Step/" + scene.key).c_str(), runScene, &scene)
            ->Unit(benchmark::kMicrosecond);
    }
    return true;
}();

}  // namespace
}  // namespace ef2::bench
