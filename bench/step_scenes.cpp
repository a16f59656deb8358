#include "step_scenes.h"

#include <algorithm>
#include <cstring>

#include "support/test_runtime.h"

namespace ef2::bench {

namespace {

// A small deterministic generator for painting scenes.
class Scatter {
public:
    explicit Scatter(uint32_t seed) : state_(seed) {}
    uint32_t below(uint32_t n) {
        state_ = state_ * 1103515245u + 12345u;
        return (state_ >> 16) % n;
    }

private:
    uint32_t state_;
};

void fill(Runtime& runtime, const std::function<uint16_t(int x, int y)>& choose) {
    World& world = runtime.world;
    for (int y = 1; y <= world.height(); ++y) {
        for (int x = 1; x <= world.width(); ++x) {
            if (uint16_t id = choose(x, y)) world.setCell(x, y, id);
        }
    }
}

// The frame rows take the border in the next step; one step on the empty
// world puts them in place before anything is painted.
void setBorder(Runtime& runtime, int32_t border) {
    runtime.variables.find("BORDER")->value = border;
    runtime.physicsStep();
}

uint16_t sand(Runtime& runtime) {
    return test::defineElement(runtime, "Sand", 1000, 1, 1);
}
uint16_t water(Runtime& runtime) {
    return test::defineElement(runtime, "Water", 100, 1, 5);
}
uint16_t wall(Runtime& runtime) {
    return test::defineElement(runtime, "Wall", 0);
}

void packedWith(Runtime& runtime, uint16_t id) {
    setBorder(runtime, 1);
    fill(runtime, [id](int, int) { return id; });
}

// A full world but for its top row, wrapping at the bottom: every column
// moves down one cell in every step, for ever.
void packedSandMoving(Runtime& runtime) {
    setBorder(runtime, 2);
    uint16_t id = sand(runtime);
    fill(runtime, [id](int, int y) { return y > 1 ? id : uint16_t{0}; });
}

// Sand scattered over the whole world, 30 % of the cells, falling.
void scatteredSand(Runtime& runtime) {
    setBorder(runtime, 1);
    uint16_t id = sand(runtime);
    Scatter scatter(12345);
    fill(runtime, [&](int, int) { return scatter.below(100) < 30 ? id : uint16_t{0}; });
}

void sandThroughWater(Runtime& runtime) {
    setBorder(runtime, 1);
    uint16_t top = sand(runtime), bottom = water(runtime);
    int half = runtime.world.height() / 2;
    fill(runtime, [&](int, int y) { return y <= half ? top : bottom; });
}

void threeLiquids(Runtime& runtime) {
    setBorder(runtime, 1);
    uint16_t light = test::defineElement(runtime, "Oil", 70, 1, 5, 3);
    uint16_t middle = test::defineElement(runtime, "Water", 100, 1, 5, 1);
    uint16_t heavy = test::defineElement(runtime, "Brine", 130, 1, 5, 2);
    const uint16_t liquids[] = {light, middle, heavy};
    Scatter scatter(7);
    fill(runtime, [&](int, int) { return liquids[scatter.below(3)]; });
}

// Fire turns neighbouring plant into fire with a chance of 1000 in 32768 per
// attempt and dies back into plant; about 58 % of the cells burn once the
// world has warmed up.
void fireThroughPlant(Runtime& runtime) {
    uint16_t plant = test::defineElement(runtime, "Plant", 0);
    uint16_t fire = test::defineElement(runtime, "Fire", 0);
    Interaction burn;
    burn.partner = plant;
    burn.ownerResult = fire;
    burn.partnerResult = fire;
    burn.chance = 1000;
    runtime.elements.addInteraction(fire, burn, -1);
    runtime.elements.addDeathRule(fire, plant, 1500);
    Scatter scatter(99);
    fill(runtime, [&](int, int) { return scatter.below(4) == 0 ? fire : plant; });
}

// 200 elements and 2,000 rules, of which only the 20 rules among the 20
// present elements can ever fire: the others must cost nothing.
void manyRules(Runtime& runtime) {
    constexpr int kElements = 200, kPresent = 20, kRules = 2000;
    std::vector<uint16_t> ids;
    for (int i = 0; i < kElements; ++i)
        ids.push_back(test::defineElement(runtime, "E" + std::to_string(i), 0));
    for (int r = 0; r < kRules - kPresent; ++r) {
        Interaction rule;
        rule.partner = ids[kPresent + (r * 13) % (kElements - kPresent)];
        rule.ownerResult = ids[r % kPresent];
        rule.partnerResult = ids[(r + 1) % kPresent];
        rule.chance = 500;
        runtime.elements.addInteraction(ids[(r * 7) % kElements], rule, -1);
    }
    for (int i = 0; i < kPresent; ++i) {
        Interaction rule;
        rule.partner = ids[(i + 1) % kPresent];
        rule.ownerResult = ids[i];
        rule.partnerResult = ids[i];
        rule.chance = 50;
        runtime.elements.addInteraction(ids[i], rule, -1);
    }
    fill(runtime, [&](int x, int y) { return ids[(x / 7 + y / 5) % kPresent]; });
}

std::vector<StepScene> makeScenes() {
    std::vector<StepScene> scenes;
    for (int size : {420, 4096}) {
        std::string suffix = size == 420 ? "" : "-4096";
        scenes.push_back({"empty" + suffix, "empty world", size, 0, 0, [](Runtime&) {}});
        scenes.push_back({"liquid-settled" + suffix, "packed liquid, settled", size, 0, 0,
                          [](Runtime& runtime) { packedWith(runtime, water(runtime)); }});
        scenes.push_back({"sand-settled" + suffix, "packed sand, settled", size, 0, 0,
                          [](Runtime& runtime) { packedWith(runtime, sand(runtime)); }});
        scenes.push_back({"inert" + suffix, "packed inert element", size, 0, 0,
                          [](Runtime& runtime) { packedWith(runtime, wall(runtime)); }});
        if (size != 420) break;
        scenes.push_back({"sand-moving", "packed sand, every particle moving (BORDER 2 wrap)", size, 0, 2,
                          packedSandMoving});
        scenes.push_back({"sand-falling", "30 % sand falling", size, 100, 0, scatteredSand});
        scenes.push_back(
            {"sand-through-water", "sand sinking through water", size, 100, 0, sandThroughWater});
        scenes.push_back(
            {"three-liquids", "three liquids of different weights mixing", size, 100, 0, threeLiquids});
        scenes.push_back(
            {"fire", "fire spreading through plant (58 % fire)", size, 0, 300, fireThroughPlant});
        scenes.push_back({"many-rules", "200 elements, 2,000 rules, 20 present", size, 0, 0, manyRules});
    }
    return scenes;
}

}  // namespace

const std::vector<StepScene>& stepScenes() {
    static const std::vector<StepScene> scenes = makeScenes();
    return scenes;
}

const StepScene* findStepScene(const std::string& key) {
    for (const StepScene& scene : stepScenes()) {
        if (scene.key == key) return &scene;
    }
    return nullptr;
}

SceneRun::SceneRun(const StepScene& scene) : scene_(scene), runtime_(std::make_unique<Runtime>()) {
    World& world = runtime_->world;
    world.create(scene.size, scene.size);
    scene.build(*runtime_);
    world.rebuildIfRequested();
    world.repaintColourLayer();
    startGrid_.assign(world.cells(), world.cells() + std::size_t(world.stride()) * world.gridHeight());
    for (int i = 0; i < scene.warmUp; ++i) runtime_->physicsStep();
}

void SceneRun::restoreIfDue() {
    if (scene_.restoreEvery == 0 || sinceRestore_ < scene_.restoreEvery) return;
    World& world = runtime_->world;
    std::memcpy(world.cells(), startGrid_.data(), startGrid_.size() * sizeof(uint16_t));
    world.markColourLayerStale();
    world.repaintColourLayer();
    sinceRestore_ = 0;
}

int SceneRun::run(int steps) {
    if (scene_.restoreEvery != 0) steps = std::min(steps, scene_.restoreEvery - sinceRestore_);
    for (int i = 0; i < steps; ++i) runtime_->physicsStep();
    sinceRestore_ += steps;
    return steps;
}

}  // namespace ef2::bench
