#pragma once
// The interaction phase of the physics step: a particle meets its four
// neighbours, and the first rule of its element that fires changes both cells
// or runs the rule's trigger.

#include <cstdint>
#include <vector>

#include "world/physics.h"
#include "world/random.h"
#include "world/world.h"

namespace ef2 {

class World;
class Random;
struct StepState;

// Where the step stands when it hands a cell to the interaction phase.
struct InteractionContext {
    World& world;
    Random& random;
    const InteractionTriggerRunner& runTrigger;
    StepState& state;
    int x;           // column of the cell in the framed grid
    int row;         // interior row index, 0..HEIGHT-1
    int index;       // cell index in the grid
    int horizontal;  // -1 or +1 column
    int vertical;    // -stride or +stride
    bool edgeRow;
    int endIndex;    // the row's end cell, which must hold element 1 again after a trigger
};

enum class InteractionOutcome {
    None,          // no rule applied: death and movement follow
    Applied,       // the cell's processing in this step ends
    AppliedSkipNext,  // as Applied, and the scan skips the next cell
    WorldReplaced,    // a trigger resized the world: the step must stop
};

// Runs the phase for a cell that passed the quick tests of `mayInteract`.
InteractionOutcome interactionPhase(InteractionContext& context, uint16_t element);

// Where rules write: the grid, the colour layer and the presence flags, as
// plain pointers so that the step's loops keep them in registers.
struct CellWriter {
    explicit CellWriter(World& world)
        : cells(world.cells()),
          colours(world.colours()),
          displayColours(world.caches().displayColour.data()),
          presence(world.presence().data()) {}

    void write(int index, uint16_t id) const {
        cells[index] = id;
        colours[index] = displayColours[id];
        presence[id] = 1;
    }

    uint16_t* cells;
    uint16_t* colours;
    const uint16_t* displayColours;
    uint8_t* presence;
};

inline void writeCell(World& world, int index, uint16_t id) {
    CellWriter(world).write(index, id);
}

// An ordinary rule without trigger of an element without the no-bias flag:
// when a neighbour holds the partner, four attempts at -h, +h, +v, -v; the
// first roll below the chance on a partner applies the rule. Nothing can
// change the neighbours between attempts, so this needs none of the
// bookkeeping of triggers. Returns true when the rule applied.
[[gnu::always_inline]] inline bool plainRule(const CellWriter& grid, Random& random, const CachedRule& rule,
                                             int index, int horizontal, int vertical, bool edgeRow) {
    const uint16_t* at = grid.cells + index;
    const uint16_t partner = rule.partner;
    const bool left = at[-horizontal] == partner, right = at[horizontal] == partner;
    const bool ahead = at[vertical] == partner, behind = at[-vertical] == partner;
    // The +v neighbour does not count in an edge row, but it is still tried.
    if (!(left | right | (ahead & !edgeRow) | behind)) return false;
    const uint32_t chance = rule.chance;
    int offset;
    if (static_cast<uint32_t>(random.next()) < chance && left) {
        offset = -horizontal;
    } else if (static_cast<uint32_t>(random.next()) < chance && right) {
        offset = horizontal;
    } else if (static_cast<uint32_t>(random.next()) < chance && ahead) {
        offset = vertical;
    } else if (static_cast<uint32_t>(random.next()) < chance && behind) {
        offset = -vertical;
    } else {
        return false;
    }
    grid.write(index + offset, rule.partnerResult);
    grid.write(index, rule.ownerResult);
    return true;
}

// The rules of an element whose rules are all plain (see ElementPhysics), in
// order; true when one applied.
[[gnu::always_inline]] inline bool applyPlainRules(const CellWriter& grid, Random& random,
                                                   const std::vector<CachedRule>& rules, int index,
                                                   int horizontal, int vertical, bool edgeRow) {
    for (const CachedRule& rule : rules) {
        if (plainRule(grid, random, rule, index, horizontal, vertical, edgeRow)) return true;
    }
    return false;
}

// The quick test that rejects most cells before any rule is looked at: some
// neighbour's low 8 bits are in the element's filter. Kept out of line: inlined
// into the step, the compiler spills the four ids and reloads them wider, which
// stalls every cell (measured: 12 ns instead of 8.5 ns per cell).
[[gnu::noinline]] inline bool anyNeighbourFlagged(const NeighbourFilter& filter, const uint16_t* cells, int index, int horizontal,
                                int vertical) {
    const uint32_t a = cells[index - horizontal] & 0xFFu, b = cells[index + horizontal] & 0xFFu;
    const uint32_t c = cells[index + vertical] & 0xFFu, d = cells[index - vertical] & 0xFFu;
    const uint64_t bits = (filter[a >> 6] >> (a & 63u)) | (filter[b >> 6] >> (b & 63u)) |
                          (filter[c >> 6] >> (c & 63u)) | (filter[d >> 6] >> (d & 63u));
    return (bits & 1u) != 0;
}

}  // namespace ef2
