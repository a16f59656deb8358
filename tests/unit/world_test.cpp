#include <gtest/gtest.h>

#include "support/test_runtime.h"

namespace ef2 {
namespace {

using test::put;

void expectFrameColumnsAreWalls(Runtime& runtime) {
    World& world = runtime.world;
    for (int y = 1; y <= world.height(); ++y) {
        ASSERT_EQ(world.cells()[y * world.stride()], kNothing) << "left frame, row " << y;
        ASSERT_EQ(world.cells()[y * world.stride() + world.width() + 1], kNothing)
            << "right frame, row " << y;
    }
}

TEST(World, CreateSetsOptionsAndAnEmptyWalledWorld) {
    Runtime runtime;
    runtime.variables.obtain("GRAVITY", 5, true);
    test::createWorld(runtime, 30, 20);
    EXPECT_EQ(runtime.variables.find("WIDTH")->value, 30);
    EXPECT_EQ(runtime.variables.find("HEIGHT")->value, 20);
    EXPECT_EQ(runtime.variables.find("GRAVITY")->value, 1000);
    EXPECT_EQ(runtime.variables.find("BORDER")->value, 0);
    EXPECT_EQ(runtime.variables.find("REVERSE")->value, 0);
    EXPECT_EQ(test::countCells(runtime, kClear), 600);
    expectFrameColumnsAreWalls(runtime);
    EXPECT_EQ(runtime.rebuildRequest.level(), 0);
}

TEST(World, GrowingKeepsParticlesWhereTheyWereAndDropsTheOldRightFrame) {
    Runtime runtime;
    test::createWorld(runtime, 100, 50);
    uint16_t sand = test::defineElement(runtime, "Sand", 100);
    put(runtime, 1, 1, sand);
    put(runtime, 100, 50, sand);
    put(runtime, 37, 12, sand);
    ASSERT_TRUE(runtime.world.resize(200, 100));
    EXPECT_EQ(runtime.world.interiorCell(1, 1), sand);
    EXPECT_EQ(runtime.world.interiorCell(100, 50), sand);
    EXPECT_EQ(runtime.world.interiorCell(37, 12), sand);
    EXPECT_EQ(runtime.world.interiorCell(101, 20), kClear);  // old right frame column not copied
    EXPECT_EQ(runtime.world.interiorCell(20, 51), kClear);   // old bottom frame row not copied
    EXPECT_EQ(test::countCells(runtime, sand), 3);
    EXPECT_EQ(runtime.variables.find("WIDTH")->value, 200);
    EXPECT_EQ(runtime.variables.find("HEIGHT")->value, 100);
    expectFrameColumnsAreWalls(runtime);
}

TEST(World, ShrinkingKeepsTheTopLeftAndTheFrameStaysAWall) {
    Runtime runtime;
    test::createWorld(runtime, 40, 40);
    uint16_t sand = test::defineElement(runtime, "Sand", 100);
    for (int y = 1; y <= 40; ++y) {
        for (int x = 1; x <= 40; ++x) put(runtime, x, y, sand);
    }
    ASSERT_TRUE(runtime.world.resize(10, 5));
    EXPECT_EQ(test::countCells(runtime, sand), 50);
    expectFrameColumnsAreWalls(runtime);
    EXPECT_EQ(runtime.variables.find("WIDTH")->value, 10);
}

TEST(World, RefusesSizesThatCannotBeAllocated) {
    Runtime runtime;
    test::createWorld(runtime, 20, 20);
    for (auto [width, height] : std::vector<std::pair<int, int>>{{0, 5}, {5, -1}, {16385, 2}, {9000, 9000}}) {
        EXPECT_FALSE(runtime.world.resize(width, height)) << width << " x " << height;
    }
    EXPECT_EQ(runtime.world.width(), 20);
    EXPECT_EQ(runtime.variables.find("WIDTH")->value, 20);
    EXPECT_TRUE(runtime.world.resize(16384, 1));
}

TEST(World, ColourChangesRepaintAtTheNextRebuild) {
    Runtime runtime;
    test::createWorld(runtime, 10, 10);
    uint16_t sand = test::defineElement(runtime, "Sand", 0);
    put(runtime, 5, 5, sand);
    runtime.elements.setColour(sand, 255, 255, 255);
    World& world = runtime.world;
    EXPECT_NE(world.colours()[5 * world.stride() + 5], 0xFFFF);
    world.rebuildIfRequested();
    EXPECT_EQ(world.colours()[5 * world.stride() + 5], 0xFFFF);
}

TEST(World, FallRatesFollowGravityWithoutOverflow) {
    EXPECT_EQ(fallRateOf(5, 1000, 1000), 32800);
    EXPECT_EQ(fallRateOf(5, 100, 1000), 3280);
    EXPECT_EQ(fallRateOf(5, 0, 1000), kImmovable);
    EXPECT_EQ(fallRateOf(0, 1, 1000), 32);
    EXPECT_EQ(fallRateOf(5, 3048, 0), 2);  // gravity 0: everything barely moves
    EXPECT_EQ(fallRateOf(0, 1, 0), 1);
    EXPECT_EQ(fallRateOf(5, 100, 20000), 32800);  // a divisor of 0 acts as 1
    EXPECT_EQ(fallRateOf(5, INT32_MAX, 1000), kMaxFallRate);
    EXPECT_EQ(fallRateOf(5, INT32_MIN, 1000), kMinFallRate);  // negative rates are not cut at the mark
    EXPECT_EQ(fallRateOf(5, -100, 1000), -3280);
    EXPECT_EQ(fallRateOf(5, 100, INT32_MIN), 32800);
    EXPECT_EQ(fallRateOf(kNothing, 1, 1000), kWallFallRate);
}

}  // namespace
}  // namespace ef2
