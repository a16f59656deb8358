// Reactive worlds and drawing.

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "support/test_runtime.h"
#include "world/drawing.h"

namespace ef2 {
namespace {

constexpr int kSize = 420;

void countersPerCell(benchmark::State& state) {
    using benchmark::Counter;
    state.counters["ns_per_cell"] = Counter(kSize * kSize, Counter::kIsIterationInvariantRate | Counter::kInvert);
    state.counters["steps_per_second"] = Counter(1, Counter::kIsIterationInvariantRate);
}

// Fire spreading through plant: fire turns neighbouring plant into fire with
// a chance of 1000 in 32768 per attempt and dies back into plant.
void BM_StepFireSpreadingThroughPlant(benchmark::State& state) {
    Runtime runtime;
    runtime.world.create(kSize, kSize);
    uint16_t plant = test::defineElement(runtime, "Plant", 0);
    uint16_t fire = test::defineElement(runtime, "Fire", 0);
    Interaction burn;
    burn.partner = plant;
    burn.ownerResult = fire;
    burn.partnerResult = fire;
    burn.chance = 1000;
    runtime.elements.addInteraction(fire, burn, -1);
    runtime.elements.addDeathRule(fire, plant, 1500);
    uint32_t random = 99;
    for (int y = 1; y <= kSize; ++y) {
        for (int x = 1; x <= kSize; ++x) {
            random = random * 1103515245u + 12345u;
            runtime.world.setCell(x, y, (random >> 16) % 4 == 0 ? fire : plant);
        }
    }
    for (auto _ : state) runtime.physicsStep();
    countersPerCell(state);
    state.counters["fire_share"] = static_cast<double>(test::countCells(runtime, fire)) / (kSize * kSize);
}

// 300 elements, 2,000 rules, 20 elements present: rules whose partners are
// absent must cost nothing.
void manyRules(benchmark::State& state, bool withAbsentPartners) {
    Runtime runtime;
    runtime.world.create(kSize, kSize);
    std::vector<uint16_t> ids;
    for (int i = 0; i < 300; ++i) ids.push_back(test::defineElement(runtime, "E" + std::to_string(i), 0));
    for (int r = 0; withAbsentPartners && r < 2000; ++r) {
        Interaction rule;
        uint16_t owner = ids[(r * 7) % 300];
        // Partners are mostly among the absent elements.
        rule.partner = ids[20 + (r * 13) % 280];
        rule.ownerResult = ids[r % 20];
        rule.partnerResult = ids[(r + 1) % 20];
        rule.chance = 500;
        runtime.elements.addInteraction(owner, rule, -1);
    }
    // The 20 present elements also react among themselves.
    for (int i = 0; i < 20; ++i) {
        Interaction rule;
        rule.partner = ids[(i + 1) % 20];
        rule.ownerResult = ids[i];
        rule.partnerResult = ids[i];
        rule.chance = 50;
        runtime.elements.addInteraction(ids[i], rule, -1);
    }
    for (int y = 1; y <= kSize; ++y) {
        for (int x = 1; x <= kSize; ++x) runtime.world.setCell(x, y, ids[(x / 7 + y / 5) % 20]);
    }
    for (auto _ : state) runtime.physicsStep();
    countersPerCell(state);
}

void BM_StepManyRulesFewPresent(benchmark::State& state) { manyRules(state, true); }
// The same world without the 2,000 rules whose partners are absent.
void BM_StepOnlyRulesOfPresentElements(benchmark::State& state) { manyRules(state, false); }

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
    draw(runtime.world, runtime.random, runtime.stamps, wall, static_cast<int>(Shape::Rect), {9, 9, 401, 401, 0, 0});
    bool flip = false;
    for (auto _ : state) {
        draw(runtime.world, runtime.random, runtime.stamps, flip ? sand : water, static_cast<int>(Shape::Fill),
             {200, 200, 0, 0, 0, 0});
        flip = !flip;
    }
}

BENCHMARK(BM_StepFireSpreadingThroughPlant)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StepManyRulesFewPresent)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StepOnlyRulesOfPresentElements)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawFilledCircleRadius50)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Fill400By400)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace ef2
