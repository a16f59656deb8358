// Behaviour of the physics step on small hand-made worlds.

#include <gtest/gtest.h>

#include "app/program.h"
#include "support/test_runtime.h"

namespace ef2 {
namespace {

using test::put;

int findRow(Runtime& runtime, int x, uint16_t id) {
    for (int y = 1; y <= runtime.world.height(); ++y) {
        if (runtime.world.interiorCell(x, y) == id) return y;
    }
    return -1;
}

void setOption(Runtime& runtime, const char* name, int32_t value) {
    runtime.variables.find(name)->value = value;
}

TEST(Physics, SameSeedReplaysTheSameWorldAndSeedCountsSteps) {
    auto run = [](int32_t seed) {
        Runtime runtime;
        test::createWorld(runtime, 40, 40);
        uint16_t sand = test::defineElement(runtime, "Sand", 300, 2, 2);
        uint16_t water = test::defineElement(runtime, "Water", 100, 1, 5);
        for (int y = 1; y <= 20; ++y) {
            for (int x = 1; x <= 40; ++x)
                put(runtime, x, y, (x + y) % 3 == 0 ? sand : (x * y) % 4 == 0 ? water : 0);
        }
        setOption(runtime, "SEED", seed);
        test::step(runtime, 60);
        EXPECT_EQ(runtime.variables.find("SEED")->value, seed + 60);
        return worldChecksum(runtime.world);
    };
    EXPECT_EQ(run(7), run(7));
    EXPECT_NE(run(7), run(8));
}

// Sets BORDER and runs one step on the still empty world, so that the frame
// rows have taken the border's shape before particles arrive.
void settleBorder(Runtime& runtime, int32_t border) {
    setOption(runtime, "BORDER", border);
    test::step(runtime);
}

TEST(Physics, WeightDecidesWhetherAndHowFastParticlesFall) {
    Runtime runtime;
    test::createWorld(runtime, 10, 30);
    settleBorder(runtime, 1);
    uint16_t wall = test::defineElement(runtime, "Wall", 0);
    uint16_t stone = test::defineElement(runtime, "Stone", 1000);
    uint16_t hesitant = test::defineElement(runtime, "Hesitant", 100);
    uint16_t smoke = test::defineElement(runtime, "Smoke", -1000);
    put(runtime, 2, 5, wall);
    put(runtime, 5, 2, stone);
    put(runtime, 7, 2, hesitant);
    put(runtime, 8, 28, smoke);
    test::step(runtime);
    // Rows are scanned from the bottom up, so a rising particle meets itself in
    // every row above and reaches the top within one step.
    EXPECT_EQ(findRow(runtime, 8, smoke), 1);
    for (int step = 2; step <= 20; ++step) {
        test::step(runtime);
        ASSERT_EQ(findRow(runtime, 2, wall), 5) << "weight 0 never moves";
        ASSERT_EQ(findRow(runtime, 5, stone), 2 + step) << "weight 1000 falls every step";
    }
    // Weight 100 (fall rate 3280) falls only when a roll allows it.
    EXPECT_GT(findRow(runtime, 7, hesitant), 2);
    EXPECT_LT(findRow(runtime, 7, hesitant), 10);
}

TEST(Physics, ReverseTurnsGravityOver) {
    Runtime runtime;
    test::createWorld(runtime, 10, 30);
    uint16_t stone = test::defineElement(runtime, "Stone", 1000);
    put(runtime, 5, 20, stone);
    setOption(runtime, "REVERSE", 1);
    test::step(runtime, 5);
    EXPECT_EQ(findRow(runtime, 5, stone), 15);
    setOption(runtime, "REVERSE", 7);  // other values keep the direction
    test::step(runtime, 2);
    EXPECT_EQ(findRow(runtime, 5, stone), 13);
}

TEST(Physics, BorderDecidesWhatHappensAtTheTopAndBottom) {
    for (int32_t border : {0, 1, 2}) {
        Runtime runtime;
        test::createWorld(runtime, 10, 10);
        uint16_t stone = test::defineElement(runtime, "Stone", 1000);
        setOption(runtime, "BORDER", border);
        test::step(runtime);  // the frame rows take the border's shape
        put(runtime, 4, 10, stone);
        test::step(runtime);
        int expectedRow = border == 0 ? -1 : border == 1 ? 10 : 1;
        EXPECT_EQ(findRow(runtime, 4, stone), expectedRow) << "BORDER " << border;
        if (border == 1) {
            EXPECT_EQ(runtime.world.cells()[11 * runtime.world.stride() + 4], kNothing);
        }
    }
}

TEST(Physics, SlideZeroNeverSlidesAndSlidingSpreadsAPile) {
    for (int32_t slide : {0, 3}) {
        Runtime runtime;
        test::createWorld(runtime, 21, 10);
        settleBorder(runtime, 1);
        uint16_t liquid = test::defineElement(runtime, "Liquid", 1000, 1, slide);
        for (int y = 1; y <= 10; ++y) put(runtime, 11, y, liquid);
        test::step(runtime, 200);
        int inColumn = 0;
        for (int y = 1; y <= 10; ++y) inColumn += runtime.world.interiorCell(11, y) == liquid;
        EXPECT_EQ(test::countCells(runtime, liquid), 10);
        if (slide == 0) {
            EXPECT_EQ(inColumn, 10) << test::picture(runtime);
        } else {
            EXPECT_LE(inColumn, 2) << test::picture(runtime);
        }
    }
}

double centreOfMass(Runtime& runtime, uint16_t id) {
    double sum = 0;
    int count = 0;
    for (int y = 1; y <= runtime.world.height(); ++y) {
        for (int x = 1; x <= runtime.world.width(); ++x) {
            if (runtime.world.interiorCell(x, y) == id) {
                sum += x;
                ++count;
            }
        }
    }
    return count ? sum / count : 0;
}

TEST(Physics, WindHoldsBackSlidingTowardOneSide) {
    for (int32_t wind : {1000, -1000}) {
        Runtime runtime;
        test::createWorld(runtime, 80, 12);
        settleBorder(runtime, 1);
        setOption(runtime, "WIND", wind);
        uint16_t liquid = test::defineElement(runtime, "Liquid", 1000, 1, 4);
        for (int y = 1; y <= 12; ++y) {
            for (int x = 36; x <= 45; ++x) put(runtime, x, y, liquid);
        }
        double before = centreOfMass(runtime, liquid);
        test::step(runtime, 150);
        double after = centreOfMass(runtime, liquid);
        if (wind > 0) {
            EXPECT_LT(after, before - 5) << "positive wind favours lower columns\n" << test::picture(runtime);
        } else {
            EXPECT_GT(after, before + 5) << "negative wind favours higher columns\n"
                                         << test::picture(runtime);
        }
    }
}

TEST(Physics, HeavyParticlesSinkThroughLighterOnesButNeverThroughWalls) {
    Runtime runtime;
    test::createWorld(runtime, 3, 20);
    settleBorder(runtime, 1);
    uint16_t sand = test::defineElement(runtime, "Sand", 1000);
    uint16_t water = test::defineElement(runtime, "Water", 100);
    for (int y = 1; y <= 20; ++y) put(runtime, 2, y, y <= 5 ? sand : water);
    put(runtime, 1, 20, kNothing);
    put(runtime, 1, 19, sand);
    test::step(runtime, 400);
    for (int y = 16; y <= 20; ++y)
        EXPECT_EQ(runtime.world.interiorCell(2, y), sand) << test::picture(runtime);
    EXPECT_EQ(runtime.world.interiorCell(1, 20), kNothing) << "element 1 is an immovable wall";
    EXPECT_EQ(runtime.world.interiorCell(1, 19), sand);
}

// Only positive fall rates are cut at 999998: a very light gas keeps its large
// negative rate, so weightless solids (999999) are lighter than it and it
// slides through them; element 1 stays a wall for everything.
TEST(Physics, AVeryLightGasPassesWeightlessSolidsButNeverWalls) {
    EXPECT_EQ(fallRateOf(2, -40000, 1000), -1312000);
    EXPECT_EQ(fallRateOf(2, 40000, 1000), kMaxFallRate);
    for (bool walls : {false, true}) {
        Runtime runtime;
        test::createWorld(runtime, 5, 5);
        settleBorder(runtime, 1);
        uint16_t solid = test::defineElement(runtime, "Solid", 0);
        uint16_t gas = test::defineElement(runtime, "Gas", -40000, 1, 2);
        for (int y = 1; y <= 5; ++y) {
            for (int x = 1; x <= 5; ++x) put(runtime, x, y, walls ? kNothing : solid);
        }
        put(runtime, 3, 3, gas);
        int stepsAway = 0;
        for (int i = 0; i < 20; ++i) {
            test::step(runtime);
            stepsAway += runtime.world.interiorCell(3, 3) != gas;
        }
        EXPECT_EQ(test::countCells(runtime, gas), 1);
        if (walls) {
            EXPECT_EQ(stepsAway, 0) << "element 1 boxes everything in\n" << test::picture(runtime);
        } else {
            EXPECT_GT(stepsAway, 0) << "the gas slides into the solid\n" << test::picture(runtime);
        }
    }
}

TEST(Physics, EqualDeathTargetsAreTakenHalfAndAQuarterOfTheTime) {
    Runtime runtime;
    test::createWorld(runtime, 100, 100);
    uint16_t dying = test::defineElement(runtime, "Dying", 0);
    uint16_t first = test::defineElement(runtime, "First", 0);
    uint16_t second = test::defineElement(runtime, "Second", 0);
    runtime.elements.addDeathRule(dying, first, 16384);
    runtime.elements.addDeathRule(dying, second, 16384);
    for (int y = 1; y <= 100; ++y) {
        for (int x = 1; x <= 100; ++x) put(runtime, x, y, dying);
    }
    test::step(runtime);
    EXPECT_NEAR(test::countCells(runtime, first), 5000, 300);
    EXPECT_NEAR(test::countCells(runtime, second), 2500, 250);
    EXPECT_NEAR(test::countCells(runtime, dying), 2500, 250);

    runtime.variables.find("DEATH")->value = 0;
    int remaining = test::countCells(runtime, dying);
    test::step(runtime, 5);
    EXPECT_EQ(test::countCells(runtime, dying), remaining) << "DEATH 0 stops all deaths";
}

TEST(Physics, DrawnParticlesInTheFrameNeverLeadTheScanOutOfTheGrid) {
    Runtime runtime;
    test::createWorld(runtime, 12, 6);
    settleBorder(runtime, 1);
    uint16_t liquid = test::defineElement(runtime, "Liquid", 1000, 1, 50);
    uint16_t air = test::defineElement(runtime, "Air", 1);
    for (int y = 1; y <= 6; ++y) {
        for (int x = 0; x <= 13; ++x) runtime.world.setCell(x, y, x % 2 ? liquid : air);
    }
    test::step(runtime, 50);  // under the sanitizers this would catch a stray read
    EXPECT_GT(test::countCells(runtime, liquid), 0);
}

}  // namespace
}  // namespace ef2
