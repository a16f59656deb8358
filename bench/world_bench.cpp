// Drawing into the world. (The physics step is measured on the scenes of
// step_scenes.cpp.)

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "support/test_runtime.h"
#include "world/drawing.h"

namespace ef2 {
namespace {

constexpr int kSize = 420;

void BM_DrawFilledCircleRadius50(benchmark::State& state) {
    Runtime runtime;
    runtime.world.create(kSize, kSize);
    uint16_t sand = test::defineElement(runtime, "Sand", 100);
    uint16_t water = test::defineElement(runtime, "Water", 50);
    bool flip = false;
    for (auto _ : state) {
        draw(runtime.world, runtime.random, runtime.stamps, flip ? sand : water,
             static_cast<int>(Shape::FilledCircle), {210, 210, 50, 0, 0, 0});
        flip = !flip;
    }
}

void BM_Fill400By400(benchmark::State& state) {
    Runtime runtime;
    runtime.world.create(kSize, kSize);
    uint16_t sand = test::defineElement(runtime, "Sand", 100);
    uint16_t water = test::defineElement(runtime, "Water", 50);
    uint16_t wall = test::defineElement(runtime, "Wall", 0);
    draw(runtime.world, runtime.random, runtime.stamps, wall, static_cast<int>(Shape::Rect),
         {9, 9, 401, 401, 0, 0});
    bool flip = false;
    for (auto _ : state) {
        draw(runtime.world, runtime.random, runtime.stamps, flip ? sand : water,
             static_cast<int>(Shape::Fill), {200, 200, 0, 0, 0, 0});
        flip = !flip;
    }
}

BENCHMARK(BM_DrawFilledCircleRadius50)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Fill400By400)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace ef2
