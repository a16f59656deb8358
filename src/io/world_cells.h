#pragma once
// What every world file form shares: the size a picture may have, the
// defined elements, and putting loaded cells into the world.
//
// Every form covers the full grid, frame included, so a file of W x H pixels
// is a world of (W - 2) x (H - 2) cells.

#include <cstdint>
#include <vector>

namespace ef2 {

class ElementTable;
class World;

// A picture of W x H pixels may become a world when its interior
// (W - 2) x (H - 2) is a size the world accepts.
bool worldPictureSizeAllowed(int64_t width, int64_t height);

// The defined elements: ids from 0 up to the first record without a name.
int definedElementCount(const ElementTable& elements);

// Marks a cell that a picture leaves as the resize left it. Defined element
// ids end far below it.
constexpr uint16_t kKeepCell = 0xFFFF;
// Every possible 16-bit id, for tables indexed by the id of a cell.
constexpr std::size_t kAllIds = 65536;

// Resizes the world to a picture of gridWidth x gridHeight and stores every
// cell of `ids` (row by row) but those marked kKeepCell. False, with the
// world unchanged, when the world cannot take that size.
bool replaceWorld(World& world, int gridWidth, int gridHeight, const std::vector<uint16_t>& ids);

// After a picture or snapshot replaced the cells: the presence flags follow
// the new cells, and the next step or draw repaints the colour layer,
// recompiles the rules of the elements now present and restores the frame
// columns to walls.
void finishLoad(World& world);

}  // namespace ef2
