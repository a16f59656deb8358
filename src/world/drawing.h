#pragma once
// The draw operation: every change that scripts and the mouse make to the
// world goes through it.
//
// It paints a shape with an element into the grid and keeps the colour layer
// in step: simple shapes paint both layers cell by cell, bulk operations mark
// the colour layer stale so that it is repainted from the grid. With PREVIEW
// set it paints only the colour layer, which the next full repaint removes.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace ef2 {

class World;
class Random;
class StampTable;

// Shape codes; the order is the code (ORDER: kShapeNames).
enum class Shape : int {
    FilledCircle = 0,
    Circle,
    FilledRect,
    Rect,
    Line,
    Fill,
    ReplaceFilledCircle,
    ReplaceLine,
    CopyRect,
    Rotate,
    Point,
    RandomFilledCircle,
    CopyStamp,
    PasteStamp,
    SwapPoints,
    FilledEllipse,
    Ellipse,
    ReplaceFilledEllipse,
    RandomFilledEllipse,
};
constexpr int kShapeCount = 19;
// The DRAW keyword of each shape, indexed by code (ORDER: Shape).
constexpr std::string_view kShapeNames[kShapeCount] = {
    "FILLEDCIRCLE",        "CIRCLE",      "FILLEDRECT", "RECT",          "LINE",    "FILL",
    "REPLACEFILLEDCIRCLE", "REPLACELINE", "COPYRECT",   "ROTATE",        "POINT",   "RANDOMFILLEDCIRCLE",
    "COPYSTAMP",           "PASTESTAMP",  "SWAPPOINTS", "FILLEDELLIPSE", "ELLIPSE", "REPLACEFILLEDELLIPSE",
    "RANDOMFILLEDELLIPSE",
};
std::optional<int> shapeCode(std::string_view keyword);

using DrawArguments = std::array<int32_t, 6>;

// Draws one shape; codes outside 0..18 draw nothing.
void draw(World& world, Random& random, StampTable& stamps, uint16_t element, int shape,
          const DrawArguments& a);

}  // namespace ef2
