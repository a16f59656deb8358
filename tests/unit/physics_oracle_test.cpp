// The real physics step against the literal reference transcription, on many
// random worlds. This is what lets the real step be optimised safely.

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <vector>

#include "support/reference_step.h"
#include "support/test_runtime.h"

namespace ef2 {
namespace {

// A small deterministic generator for building scenarios (the same on every platform).
class ScenarioRandom {
public:
    explicit ScenarioRandom(uint64_t seed) : state_(seed * 6364136223846793005ull + 1442695040888963407ull) {}
    uint32_t next() {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state_ >> 33);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }
    template <typename T>
    T pick(const std::vector<T>& choices) {
        return choices[below(static_cast<int>(choices.size()))];
    }
    bool chance(int percent) { return below(100) < percent; }

private:
    uint64_t state_;
};

struct Scenario {
    int width, height;
};

// Builds the same random world in `runtime` for the same scenario number.
Scenario buildScenario(Runtime& runtime, int number) {
    ScenarioRandom random(static_cast<uint64_t>(number) + 17);
    Scenario scenario{8 + random.below(50), 6 + random.below(40)};
    runtime.world.create(scenario.width, scenario.height);
    ElementTable& elements = runtime.elements;

    int elementCount = 2 + random.below(6);
    std::vector<uint16_t> ids;
    for (int i = 0; i < elementCount; ++i) {
        uint16_t id = elements.idOfName("E" + std::to_string(i), true);
        ids.push_back(id);
        elements.setWeight(id, random.pick<int32_t>({0, 1, 5, 50, 100, 300, 1000, 1000, 3000, -100, -1000, 100000,
                                                     -100000, 2000000000, -2000000000,
                                                     static_cast<int32_t>(random.below(4000)) - 1000}));
        elements.setSpray(id, random.pick<int32_t>({1, 1, 2, 3, 5, 7, -2}));
        elements.setSlide(id, random.pick<int32_t>({0, 0, 1, 2, 3, 5, 20, -1, 2000000000}));
        elements.setViscosity(id, random.pick<int32_t>({1, 1, 2, 5, 10, 100, -1, -3}));
        elements.setColour(id, random.below(256), random.below(256), random.below(256));
        if (random.chance(20)) elements.setNoBias(id, 1);
    }
    for (uint16_t id : ids) {
        if (!random.chance(30)) continue;
        int rules = 1 + random.below(3);
        for (int r = 0; r < rules; ++r) {
            uint16_t target = random.chance(30) ? 0 : ids[random.below(elementCount)];
            elements.addDeathRule(id, target, random.pick<uint32_t>({1, 5, 50, 300, 2000, 20000}));
        }
    }

    VariableTable& variables = runtime.variables;
    variables.obtain("WIND", 0, true)->value = random.pick<int32_t>({0, 0, 0, 300, -500, 1000, -1000, 2500});
    variables.obtain("GRAVITY", 0, true)->value =
        random.pick<int32_t>({1000, 1000, 1000, 500, 0, -1000, 20000, -20000, 3});
    variables.obtain("REVERSE", 0, true)->value = random.pick<int32_t>({0, 0, 0, 1, 2});
    variables.obtain("BORDER", 0, true)->value = random.pick<int32_t>({0, 0, 1, 2, 2, 3});
    variables.obtain("DEATH", 0, true)->value = random.pick<int32_t>({1, 1, 1, 0});
    variables.obtain("SEED", 0, true)->value = static_cast<int32_t>(random.next());

    runtime.world.rebuild(kRebuildElements);
    int density = 10 + random.below(85);
    for (int y = 1; y <= scenario.height; ++y) {
        for (int x = 1; x <= scenario.width; ++x) {
            if (!random.chance(density)) continue;
            uint16_t id = random.chance(3) ? kNothing : ids[random.below(elementCount)];
            runtime.world.setCell(x, y, id);
        }
    }
    return scenario;
}

// Mid-run changes, made identically in both runtimes.
void changeOptions(Runtime& runtime, int number) {
    ScenarioRandom random(static_cast<uint64_t>(number) * 31 + 5);
    VariableTable& variables = runtime.variables;
    switch (random.below(5)) {
        case 0: variables.find("REVERSE")->value ^= 1; break;
        case 1: variables.find("BORDER")->value = random.below(3); break;
        case 2: variables.find("GRAVITY")->value = -variables.find("GRAVITY")->value; break;
        case 3: runtime.elements.setWeight(2, 700); break;
        default: variables.find("WIND")->value = 800; break;
    }
}

// Describes the first cell where the two worlds differ, or returns "".
std::string firstDifference(World& real, World& reference) {
    for (int y = 0; y < real.gridHeight(); ++y) {
        for (int x = 0; x < real.gridWidth(); ++x) {
            int index = y * real.stride() + x;
            if (real.cells()[index] != reference.cells()[index] || real.colours()[index] != reference.colours()[index]) {
                std::ostringstream out;
                out << "cell (" << x << ", " << y << "): expected id " << reference.cells()[index] << " colour "
                    << reference.colours()[index] << ", saw id " << real.cells()[index] << " colour "
                    << real.colours()[index];
                return out.str();
            }
        }
    }
    return {};
}

TEST(PhysicsOracle, RealStepMatchesReferenceOnRandomWorlds) {
    constexpr int kScenarios = 60;
    constexpr int kSteps = 200;
    for (int number = 0; number < kScenarios; ++number) {
        Runtime real, reference;
        Scenario scenario = buildScenario(real, number);
        buildScenario(reference, number);
        for (int stepNumber = 0; stepNumber < kSteps; ++stepNumber) {
            if (stepNumber == kSteps / 2) {
                changeOptions(real, number);
                changeOptions(reference, number);
            }
            real.physicsStep();
            referenceStep(reference.world, reference.random, {});
            std::string difference = firstDifference(real.world, reference.world);
            ASSERT_EQ(difference, "") << "scenario " << number << " (" << scenario.width << " x " << scenario.height
                                      << "), after step " << stepNumber + 1;
        }
        EXPECT_EQ(real.variables.find("SEED")->value, reference.variables.find("SEED")->value);
    }
}

}  // namespace
}  // namespace ef2
