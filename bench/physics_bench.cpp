// The physics step on the default 420 x 420 world in typical scenes.
// Counters: ns_per_cell (per interior cell and step), ns_per_particle (per
// non-empty cell and step) and steps_per_second.

#include <benchmark/benchmark.h>

#include <cstring>
#include <functional>
#include <vector>

#include "support/test_runtime.h"

namespace ef2 {
namespace {

constexpr int kSize = 420;
// Falling scenes settle; the starting grid is restored this often.
constexpr int kRestoreEvery = 100;

struct Scene {
    Runtime runtime;
    std::vector<uint16_t> startGrid;
    int particles = 0;
};

using Painter = std::function<void(Scene&, uint16_t sand, uint16_t water, uint16_t wall)>;

void buildScene(Scene& scene, const Painter& paint) {
    Runtime& runtime = scene.runtime;
    runtime.world.create(kSize, kSize);
    runtime.variables.find("BORDER")->value = 1;
    uint16_t sand = test::defineElement(runtime, "Sand", 1000, 1, 1);
    uint16_t water = test::defineElement(runtime, "Water", 100, 1, 5);
    uint16_t wall = test::defineElement(runtime, "Wall", 0);
    test::step(runtime);
    paint(scene, sand, water, wall);
    scene.particles = kSize * kSize - test::countCells(runtime, kClear);
    World& world = runtime.world;
    scene.startGrid.assign(world.cells(), world.cells() + world.stride() * world.gridHeight());
}

void restore(Scene& scene) {
    World& world = scene.runtime.world;
    std::memcpy(world.cells(), scene.startGrid.data(), scene.startGrid.size() * sizeof(uint16_t));
    world.markColourLayerStale();
    world.repaintColourLayer();
}

// Fills every cell for which `choose` gives an element other than 0.
void fill(Scene& scene, const std::function<uint16_t(int x, int y)>& choose) {
    for (int y = 1; y <= kSize; ++y) {
        for (int x = 1; x <= kSize; ++x) {
            if (uint16_t id = choose(x, y)) scene.runtime.world.setCell(x, y, id);
        }
    }
}

void runScene(benchmark::State& state, const Painter& paint) {
    Scene scene;
    buildScene(scene, paint);
    int sinceRestore = 0;
    for (auto _ : state) {
        scene.runtime.physicsStep();
        if (++sinceRestore == kRestoreEvery) {
            state.PauseTiming();
            restore(scene);
            sinceRestore = 0;
            state.ResumeTiming();
        }
    }
    using benchmark::Counter;
    state.counters["ns_per_cell"] = Counter(kSize * kSize, Counter::kIsIterationInvariantRate | Counter::kInvert);
    state.counters["ns_per_particle"] =
        Counter(std::max(scene.particles, 1), Counter::kIsIterationInvariantRate | Counter::kInvert);
    state.counters["steps_per_second"] = Counter(1, Counter::kIsIterationInvariantRate);
}

// Scattered sand over the top part of the world, `percent` of all cells.
Painter scatteredSand(int percent) {
    return [percent](Scene& scene, uint16_t sand, uint16_t, uint16_t) {
        uint32_t random = 12345;
        fill(scene, [&](int, int) {
            random = random * 1103515245u + 12345u;
            return static_cast<int>((random >> 16) % 100) < percent ? sand : uint16_t{0};
        });
    };
}

void BM_StepEmptyWorld(benchmark::State& state) {
    runScene(state, [](Scene&, uint16_t, uint16_t, uint16_t) {});
}
void BM_StepSandFalling5Percent(benchmark::State& state) { runScene(state, scatteredSand(5)); }
void BM_StepSandFalling30Percent(benchmark::State& state) { runScene(state, scatteredSand(30)); }
void BM_StepPackedSlidingLiquid(benchmark::State& state) {
    runScene(state, [](Scene& scene, uint16_t, uint16_t water, uint16_t) { fill(scene, [&](int, int) { return water; }); });
}
void BM_StepSandSinkingThroughWater(benchmark::State& state) {
    runScene(state, [](Scene& scene, uint16_t sand, uint16_t water, uint16_t) {
        fill(scene, [&](int, int y) { return y <= kSize / 2 ? sand : water; });
    });
}
void BM_StepPackedInertElement(benchmark::State& state) {
    runScene(state, [](Scene& scene, uint16_t, uint16_t, uint16_t wall) { fill(scene, [&](int, int) { return wall; }); });
}

BENCHMARK(BM_StepEmptyWorld)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StepSandFalling5Percent)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StepSandFalling30Percent)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StepPackedSlidingLiquid)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StepSandSinkingThroughWater)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StepPackedInertElement)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace ef2
