// The real physics step against the literal reference transcription, on many
// random worlds. This is what lets the real step be optimised safely.

#include <gtest/gtest.h>

#include <algorithm>
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

// Interaction triggers that draw, swap cells, roll the generator and let
// further rules be tried.
constexpr const char* kTriggerScript =
    "TRIGGER PAINT {\n"
    "DRAW ELEMENT:E1 POINT X2 Y2\n"
    "NEXTINTERACTION = (X1 % 2)\n"
    "}\n"
    "TRIGGER SWAP {\n"
    "DRAW 0 SWAPPOINTS X1 Y1 X2 Y2\n"
    "}\n"
    "TRIGGER SPARK {\n"
    "ROLL = (0 RAND 3)\n"
    "IF (ROLL == 0) <DRAW ELEMENT:E0 FILLEDCIRCLE X2 Y2 1>\n"
    "NEXTINTERACTION = (ROLL == 1)\n"
    "}\n";

// Ordinary and wildcard rules, some with triggers, between random elements.
void addRules(Runtime& runtime, ScenarioRandom& random, const std::vector<uint16_t>& ids) {
    runtime.interpreter.pushFrame(ParameterFrame{});
    runtime.parser.parseText(kTriggerScript, 0, "oracle");
    const char* triggerNames[] = {"PAINT", "SWAP", "SPARK"};
    ElementTable& elements = runtime.elements;
    int ruleCount = random.below(8);
    for (int r = 0; r < ruleCount; ++r) {
        Interaction rule;
        uint16_t owner = ids[random.below(static_cast<int>(ids.size()))];
        rule.partner = random.chance(25) ? kNothing : ids[random.below(static_cast<int>(ids.size()))];
        rule.ownerResult = random.chance(20)   ? kNothing
                           : random.chance(30) ? 0
                                               : ids[random.below(static_cast<int>(ids.size()))];
        rule.partnerResult = random.chance(20)   ? kNothing
                             : random.chance(30) ? 0
                                                 : ids[random.below(static_cast<int>(ids.size()))];
        rule.chance = random.pick<uint32_t>({0, 100, 3000, 16384, 32768});
        rule.excepted = random.chance(50) ? kNothing : ids[random.below(static_cast<int>(ids.size()))];
        if (random.chance(35))
            rule.trigger = runtime.interpreter.triggers().find(triggerNames[random.below(3)]);
        elements.addInteraction(owner, rule, random.chance(20) ? 0 : -1);
    }
    for (uint16_t id : ids) {
        if (random.chance(30)) elements.setNoBias(id, 1);
    }
}

// How a scenario fills its world: cells scattered at random, or blocks and
// layers of one element each (long runs of alike cells, which the step passes
// over several at a time, with their edges at every column).
enum class Fill { Scattered, Blocks };

void fillBlocks(Runtime& runtime, ScenarioRandom& random, const std::vector<uint16_t>& ids,
                const Scenario& scenario) {
    std::vector<uint16_t> choices = ids;
    choices.push_back(kClear);
    choices.push_back(kClear);
    choices.push_back(kNothing);
    for (int top = 1; top <= scenario.height;) {
        int bottom = std::min(scenario.height, top + random.below(12));
        for (int left = 1; left <= scenario.width;) {
            int right = std::min(scenario.width, left + random.below(random.chance(30) ? 4 : 40));
            uint16_t id = random.pick(choices);
            for (int y = top; y <= bottom; ++y) {
                for (int x = left; x <= right; ++x) {
                    // A few strays inside the blocks.
                    runtime.world.setCell(x, y, random.chance(3) ? random.pick(choices) : id);
                }
            }
            left = right + 1;
        }
        top = bottom + 1;
    }
}

// Element ids: small ones only, or small ones mixed with ids past 255 (the
// step keeps tables for small ids and computes the rest as it goes).
enum class Ids { Small, Mixed };

// Builds the same random world in `runtime` for the same scenario number.
Scenario buildScenario(Runtime& runtime, int number, bool withRules, Fill fill = Fill::Scattered,
                       Ids idRange = Ids::Small) {
    ScenarioRandom random(static_cast<uint64_t>(number) + 17);
    Scenario scenario{8 + random.below(50), 6 + random.below(40)};
    if (fill == Fill::Blocks) scenario = {1 + random.below(150), 1 + random.below(30)};
    runtime.world.create(scenario.width, scenario.height);
    ElementTable& elements = runtime.elements;

    int elementCount = 2 + random.below(6);
    std::vector<uint16_t> ids;
    for (int i = 0; i < elementCount; ++i) {
        if (idRange == Ids::Mixed && i % 2 == 1) {
            for (int filler = 0; filler < 150; ++filler)
                elements.idOfName("F" + std::to_string(i) + "." + std::to_string(filler), true);
        }
        uint16_t id = elements.idOfName("E" + std::to_string(i), true);
        ids.push_back(id);
        elements.setWeight(id, random.pick<int32_t>({0, 1, 5, 50, 100, 300, 1000, 1000, 3000, -100, -1000,
                                                     100000, -100000, 2000000000, -2000000000,
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

    if (withRules) addRules(runtime, random, ids);

    VariableTable& variables = runtime.variables;
    variables.obtain("WIND", 0, true)->value = random.pick<int32_t>({0, 0, 0, 300, -500, 1000, -1000, 2500});
    variables.obtain("GRAVITY", 0, true)->value =
        random.pick<int32_t>({1000, 1000, 1000, 500, 0, -1000, 20000, -20000, 3});
    variables.obtain("REVERSE", 0, true)->value = random.pick<int32_t>({0, 0, 0, 1, 2});
    variables.obtain("BORDER", 0, true)->value = random.pick<int32_t>({0, 0, 1, 2, 2, 3});
    variables.obtain("DEATH", 0, true)->value = random.pick<int32_t>({1, 1, 1, 0});
    variables.obtain("SEED", 0, true)->value = static_cast<int32_t>(random.next());

    runtime.world.rebuild(kRebuildElements);
    if (fill == Fill::Blocks) {
        fillBlocks(runtime, random, ids, scenario);
        return scenario;
    }
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
    switch (random.below(6)) {
        case 0: variables.find("REVERSE")->value ^= 1; break;
        case 1: variables.find("BORDER")->value = random.below(3); break;
        case 2: variables.find("GRAVITY")->value = -variables.find("GRAVITY")->value; break;
        case 3: runtime.elements.setWeight(2, 700); break;
        case 4: variables.find("INTERACTIONS")->value = 0; break;
        default: variables.find("WIND")->value = 800; break;
    }
}

// Describes the first cell where the two worlds differ, or returns "".
std::string firstDifference(World& real, World& reference) {
    for (int y = 0; y < real.gridHeight(); ++y) {
        for (int x = 0; x < real.gridWidth(); ++x) {
            int index = y * real.stride() + x;
            if (real.cells()[index] != reference.cells()[index] ||
                real.colours()[index] != reference.colours()[index]) {
                std::ostringstream out;
                out << "cell (" << x << ", " << y << "): expected id " << reference.cells()[index]
                    << " colour " << reference.colours()[index] << ", saw id " << real.cells()[index]
                    << " colour " << real.colours()[index];
                return out.str();
            }
        }
    }
    return {};
}

void compareOnRandomWorlds(bool withRules, Fill fill = Fill::Scattered, int scenarios = 60, int steps = 200,
                           Ids idRange = Ids::Small) {
    for (int number = 0; number < scenarios; ++number) {
        Runtime real, reference;
        Scenario scenario = buildScenario(real, number, withRules, fill, idRange);
        buildScenario(reference, number, withRules, fill, idRange);
        for (int stepNumber = 0; stepNumber < steps; ++stepNumber) {
            if (stepNumber == steps / 2) {
                changeOptions(real, number);
                changeOptions(reference, number);
            }
            real.physicsStep();
            referenceStep(reference.world, reference.random, reference.interactionRunner());
            std::string difference = firstDifference(real.world, reference.world);
            ASSERT_EQ(difference, "") << "scenario " << number << " (" << scenario.width << " x "
                                      << scenario.height << "), after step " << stepNumber + 1;
        }
        EXPECT_EQ(real.variables.find("SEED")->value, reference.variables.find("SEED")->value);
    }
}

TEST(PhysicsOracle, RealStepMatchesReferenceOnRandomWorlds) {
    compareOnRandomWorlds(false);
}

TEST(PhysicsOracle, RealStepMatchesReferenceWithRandomRulesAndTriggers) {
    compareOnRandomWorlds(true);
}

// Blocks and layers of one element: settled runs, runs of inert elements and
// of empty space, reactive blocks next to their partners, rows from 1 to 150
// cells wide.
TEST(PhysicsOracle, RealStepMatchesReferenceOnWorldsOfBlocks) {
    compareOnRandomWorlds(false, Fill::Blocks, 50, 120);
    compareOnRandomWorlds(true, Fill::Blocks, 50, 120);
}

TEST(PhysicsOracle, RealStepMatchesReferenceWithElementIdsPast255) {
    compareOnRandomWorlds(false, Fill::Scattered, 30, 150, Ids::Mixed);
    compareOnRandomWorlds(true, Fill::Blocks, 30, 120, Ids::Mixed);
}

}  // namespace
}  // namespace ef2
