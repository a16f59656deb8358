// The shapes of the draw operation, cell by cell, on a small world.

#include <gtest/gtest.h>

#include <climits>

#include "support/test_runtime.h"
#include "world/drawing.h"

namespace ef2 {
namespace {

// A 9 x 7 world: the framed grid is 11 x 9.
struct Drawn : ::testing::Test {
    Drawn() {
        runtime.world.create(9, 7);
        for (const char* name : {"A", "B", "C", "D"}) test::defineElement(runtime, name, 0);
        runtime.world.rebuildIfRequested();
    }
    void shape(Shape kind, DrawArguments arguments, uint16_t element = 2) {
        draw(runtime.world, runtime.random, runtime.stamps, element, static_cast<int>(kind), arguments);
    }
    // The whole framed grid: '#' walls, '.' empty, 'a'.. elements 2...
    std::string grid() {
        std::string text;
        World& world = runtime.world;
        for (int y = 0; y < world.gridHeight(); ++y) {
            for (int x = 0; x < world.gridWidth(); ++x) {
                uint16_t id = world.cells()[y * world.stride() + x];
                text += id == 0 ? '.' : id == 1 ? '#' : static_cast<char>('a' + id - 2);
            }
            text += '\n';
        }
        return text;
    }
    // True when every colour cell shows its grid cell's element.
    bool coloursFollowGrid() {
        World& world = runtime.world;
        for (int y = 0; y < world.gridHeight(); ++y) {
            for (int x = 0; x < world.gridWidth(); ++x) {
                int index = y * world.stride() + x;
                if (world.colours()[index] != world.displayColour(world.cells()[index])) return false;
            }
        }
        return true;
    }
    Runtime runtime;
};

constexpr const char* kEmpty =
    "...........\n"
    "#.........#\n"
    "#.........#\n"
    "#.........#\n"
    "#.........#\n"
    "#.........#\n"
    "#.........#\n"
    "#.........#\n"
    "...........\n";

TEST_F(Drawn, FilledCircleAndCircleOutline) {
    shape(Shape::FilledCircle, {5, 4, 2, 0, 0, 0});
    EXPECT_EQ(grid(),
              "...........\n"
              "#.........#\n"
              "#....a....#\n"
              "#..aaaaa..#\n"
              "#..aaaaa..#\n"
              "#..aaaaa..#\n"
              "#....a....#\n"
              "#.........#\n"
              "...........\n");
    EXPECT_TRUE(coloursFollowGrid());
    shape(Shape::FilledCircle, {5, 4, 2, 0, 0, 0}, 0);
    EXPECT_EQ(grid(), kEmpty);
    shape(Shape::Circle, {5, 4, 2, 0, 0, 0});
    EXPECT_EQ(grid(),
              "...........\n"
              "#.........#\n"
              "#...aaa...#\n"
              "#..a...a..#\n"
              "#..a...a..#\n"
              "#..a...a..#\n"
              "#...aaa...#\n"
              "#.........#\n"
              "...........\n");
}

TEST_F(Drawn, LinesRectanglesAndPoints) {
    shape(Shape::Line, {1, 1, 4, 2, 0, 0});
    shape(Shape::Point, {9, 7, 0, 0, 0, 0}, 3);
    shape(Shape::Line, {8, 5, 0, 0, 0, 0}, 4);  // a line of length 0 is one point
    EXPECT_EQ(grid(),
              "...........\n"
              "#aa.......#\n"
              "#..aa.....#\n"
              "#....a....#\n"
              "#.........#\n"
              "#.......c.#\n"
              "#.........#\n"
              "#........b#\n"
              "...........\n");
    shape(Shape::FilledRect, {0, 0, 11, 9, 0, 0}, 0);
    shape(Shape::Rect, {2, 2, 3, 2, 0, 0});
    shape(Shape::Rect, {9, 6, -2, -1, 0, 0}, 3);  // negative sizes move the corner
    EXPECT_EQ(grid(),
              "...........\n"
              "#.........#\n"
              "#.aaaa....#\n"
              "#.a..a....#\n"
              "#.aaaa....#\n"
              "#......bbb#\n"
              "#......bbb#\n"
              "#.........#\n"
              "...........\n");
}

TEST_F(Drawn, FilledRectNeverTouchesTheFrameColumns) {
    shape(Shape::FilledRect, {0, 2, 3, 1, 0, 0});
    shape(Shape::FilledRect, {-5, 4, 1000, 1, 0, 0}, 3);
    shape(Shape::FilledRect, {4, -3, 1, 100, 0, 0}, 4);
    EXPECT_EQ(grid(),
              "....c......\n"
              "#...c.....#\n"
              "#aaac.....#\n"
              "#...c.....#\n"
              "#bbbcbbbbb#\n"
              "#...c.....#\n"
              "#...c.....#\n"
              "#...c.....#\n"
              "....c......\n");
}

TEST_F(Drawn, FloodFillStopsAtWallsAndOtherElements) {
    shape(Shape::Rect, {2, 2, 4, 3, 0, 0});
    shape(Shape::Fill, {3, 3, 0, 0, 0, 0}, 3);
    shape(Shape::Fill, {1, 1, 0, 0, 0, 0}, 4);
    // The frame rows are empty space too, so the fill reaches them.
    EXPECT_EQ(grid(),
              "ccccccccccc\n"
              "#ccccccccc#\n"
              "#caaaaaccc#\n"
              "#cabbbaccc#\n"
              "#cabbbaccc#\n"
              "#caaaaaccc#\n"
              "#ccccccccc#\n"
              "#ccccccccc#\n"
              "ccccccccccc\n");
    std::string before = grid();
    shape(Shape::Fill, {1, 1, 0, 0, 0, 0}, 4);  // already that element: nothing happens
    EXPECT_EQ(grid(), before);
    EXPECT_TRUE(runtime.world.colourLayerStale());  // fills repaint the colour layer later
}

TEST_F(Drawn, RotateMirrorsAndTurnsTheRegion) {
    struct Case {
        int32_t turn;
        const char* rows;  // the 2 x 2 square at (2, 2) afterwards
    };
    for (Case c : {Case{1, "bdac"}, Case{-1, "cadb"}, Case{2, "dcba"}, Case{-3, "dcba"}, Case{4, "badc"},
                   Case{5, "cdab"}, Case{0, "...."}, Case{9, "...."}}) {
        shape(Shape::FilledRect, {0, 0, 11, 9, 0, 0}, 0);
        shape(Shape::Point, {2, 2, 0, 0, 0, 0}, 2);
        shape(Shape::Point, {3, 2, 0, 0, 0, 0}, 3);
        shape(Shape::Point, {2, 3, 0, 0, 0, 0}, 4);
        shape(Shape::Point, {3, 3, 0, 0, 0, 0}, 5);
        shape(Shape::Rotate, {2, 2, 2, 2, c.turn, 0});
        std::string picture = grid();
        std::string square = {picture[2 * 12 + 2], picture[2 * 12 + 3], picture[3 * 12 + 2],
                              picture[3 * 12 + 3]};
        EXPECT_EQ(square, c.rows) << "turn " << c.turn;
        EXPECT_TRUE(coloursFollowGrid()) << "turn " << c.turn;
    }
}

TEST_F(Drawn, StampsRoundTripWithTransparency) {
    shape(Shape::FilledRect, {1, 1, 2, 2, 0, 0}, 2);
    shape(Shape::Point, {2, 2, 0, 0, 0, 0}, 0);
    shape(Shape::CopyStamp, {1, 1, 2, 2, 7, 0});
    ASSERT_NE(runtime.stamps.get(7), nullptr);
    ASSERT_NE(runtime.stamps.get(7 + kColourStampOffset), nullptr);
    shape(Shape::FilledRect, {5, 4, 3, 3, 0, 0}, 3);
    shape(Shape::PasteStamp, {5, 4, 2, 2, 7, 0}, 0);  // element 0 is transparent
    EXPECT_EQ(grid(),
              "...........\n"
              "#aa.......#\n"
              "#a........#\n"
              "#.........#\n"
              "#....aab..#\n"
              "#....abb..#\n"
              "#....bbb..#\n"
              "#.........#\n"
              "...........\n");
    shape(Shape::CopyStamp, {1, 1, 2, 2, 0, 0});  // slot 0 is a valid slot
    shape(Shape::CopyStamp, {1, 1, 2, 2, kStampSlots, 0});
    EXPECT_NE(runtime.stamps.get(0), nullptr);
    std::string before = grid();
    shape(Shape::PasteStamp, {1, 1, 2, 2, 12345, 0});  // an empty slot pastes nothing
    EXPECT_EQ(grid(), before);
}

TEST_F(Drawn, CopyRectAndSwapPoints) {
    shape(Shape::Point, {1, 1, 0, 0, 0, 0}, 2);
    shape(Shape::Point, {2, 1, 0, 0, 0, 0}, 3);
    shape(Shape::CopyRect, {1, 1, 2, 1, 6, 6});
    shape(Shape::SwapPoints, {1, 1, 2, 1, 0, 0});
    shape(Shape::SwapPoints, {1, 1, 0, 1, 0, 0});  // never with a wall
    EXPECT_EQ(grid(),
              "...........\n"
              "#ba.......#\n"
              "#.........#\n"
              "#.........#\n"
              "#.........#\n"
              "#.........#\n"
              "#.....ab..#\n"
              "#.........#\n"
              "...........\n");
}

TEST_F(Drawn, ReplacingShapesOverwriteOnlyWhatTheSelectorAllows) {
    runtime.elements.setWeight(3, 100);  // B is movable, A is not
    shape(Shape::FilledRect, {1, 1, 9, 1, 0, 0}, 2);
    shape(Shape::FilledRect, {1, 2, 9, 1, 0, 0}, 3);
    shape(Shape::ReplaceLine, {1, 1, 0, 6, 2, 0}, 4);   // only cells holding A
    shape(Shape::ReplaceLine, {3, 1, 0, 6, -1, 0}, 4);  // only movable elements (empty space weighs 1)
    shape(Shape::ReplaceLine, {5, 1, 0, 6, -2, 0}, 4);  // only immovable ones
    shape(Shape::ReplaceLine, {7, 1, 0, 6, -3, 0}, 4);  // nothing
    EXPECT_EQ(grid(),
              "...........\n"
              "#caaacaaaa#\n"
              "#bbcbbbbbb#\n"
              "#..c......#\n"
              "#..c......#\n"
              "#..c......#\n"
              "#..c......#\n"
              "#..c......#\n"
              "...........\n");
}

TEST_F(Drawn, RandomShapesFollowTheDensity) {
    runtime.world.resize(100, 100);
    shape(Shape::RandomFilledCircle, {50, 50, 40, 0, 0, 0});
    EXPECT_EQ(test::countCells(runtime, 2), 0);
    shape(Shape::RandomFilledCircle, {50, 50, 40, 16384, 0, 0});
    int disc = 0;
    for (int y = 10; y <= 90; ++y) {
        for (int x = 10; x <= 90; ++x) disc += (x - 50) * (x - 50) + (y - 50) * (y - 50) <= 1600;
    }
    EXPECT_NEAR(test::countCells(runtime, 2), disc / 2, disc / 20);
}

TEST_F(Drawn, PreviewPaintsOnlyTheColourLayer) {
    runtime.variables.obtain("PREVIEW", 1, true);  // as SET PREVIEW 1 would
    shape(Shape::FilledCircle, {5, 4, 2, 0, 0, 0});
    EXPECT_EQ(grid(), kEmpty);
    EXPECT_FALSE(coloursFollowGrid());
    runtime.variables.obtain("PREVIEW", 0, true);
    runtime.world.markColourLayerStale();
    runtime.world.repaintColourLayer();
    EXPECT_TRUE(coloursFollowGrid());
}

TEST_F(Drawn, HugeArgumentsAreClippedQuickly) {
    for (Shape kind :
         {Shape::FilledCircle, Shape::Circle, Shape::Line, Shape::Rect, Shape::FilledRect,
          Shape::FilledEllipse, Shape::Ellipse, Shape::CopyRect, Shape::Rotate, Shape::ReplaceLine,
          Shape::CopyStamp, Shape::PasteStamp, Shape::RandomFilledEllipse, Shape::SwapPoints}) {
        shape(kind, {INT_MIN, INT_MAX, INT_MAX, INT_MIN, 5, INT_MAX});
        shape(kind, {INT_MAX, INT_MIN, INT_MIN, INT_MAX, -1, INT_MIN});
        shape(kind, {4, 4, INT_MAX, INT_MAX, 3, 3});
    }
    for (int x = 0; x < runtime.world.gridWidth(); ++x) {
        for (int y = 1; y <= runtime.world.height(); ++y) {
            if (x == 0 || x == runtime.world.gridWidth() - 1) continue;
            ASSERT_NE(runtime.world.cells()[y * runtime.world.stride() + x], kNothing);
        }
    }
}

TEST(FloodFill, FillsABigWorldWithBoundedMemory) {
    Runtime runtime;
    runtime.world.create(2000, 2000);
    uint16_t wall = test::defineElement(runtime, "Wall", 0);
    uint16_t water = test::defineElement(runtime, "Water", 100);
    // A comb of walls makes the fill wind up and down through every column.
    for (int x = 2; x < 2000; x += 2) {
        int top = (x / 2) % 2 ? 1 : 3;
        draw(runtime.world, runtime.random, runtime.stamps, wall, static_cast<int>(Shape::Line),
             {x, top, 0, 1996, 0, 0});
    }
    draw(runtime.world, runtime.random, runtime.stamps, water, static_cast<int>(Shape::Fill),
         {1, 1, 0, 0, 0, 0});
    EXPECT_EQ(test::countCells(runtime, kClear), 0);
}

}  // namespace
}  // namespace ef2
