#pragma once
// The interaction phase of the physics step: a particle meets its four
// neighbours, and the first rule of its element that fires changes both cells
// or runs the rule's trigger.

#include <cstdint>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    int endIndex;  // the row's end cell, which must hold element 1 again after a trigger
};

enum class InteractionOutcome {
    None,             // no rule applied: death and movement follow
    Applied,          // the cell's processing in this step ends
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

// Several draws of the generator side by side: the state after k draws is
// the state now times kDrawJumps[k].multiplier plus its increment.
struct DrawJump {
    uint32_t multiplier, increment;
};
constexpr DrawJump drawJump(int draws) {
    DrawJump jump{1u, 0u};
    for (int k = 0; k < draws; ++k) jump = {jump.multiplier * 214013u, jump.increment * 214013u + 2531011u};
    return jump;
}
constexpr DrawJump kDrawJumps[5] = {drawJump(0), drawJump(1), drawJump(2), drawJump(3), drawJump(4)};

// The generator's state after `draws` (0 to 4) more draws from `state`.
inline uint32_t stateAfter(uint32_t state, int draws) {
    return state * kDrawJumps[draws].multiplier + kDrawJumps[draws].increment;
}

// What the draw that leaves the generator in `state` returns.
inline uint32_t drawnValue(uint32_t state) {
    return (state >> 16) & 0x7FFFu;
}

// Bit k - 1 is set when the k-th of the next four draws from `state` (k = 1..4)
// is below `chance`. Side by side in vector lanes on x86-64, which leaves the
// general registers to the scan around it.
inline unsigned rollsBelow(uint32_t state, uint32_t chance) {
#if defined(__SSE2__)
    const __m128i now = _mm_set1_epi32(static_cast<int>(state));
    // 32 x 32-bit products of lanes 0 and 2: draws 1 and 3, and draws 2 and 4.
    const __m128i oddProducts =
        _mm_mul_epu32(now, _mm_set_epi32(0, static_cast<int>(kDrawJumps[3].multiplier), 0,
                                         static_cast<int>(kDrawJumps[1].multiplier)));
    const __m128i evenProducts =
        _mm_mul_epu32(now, _mm_set_epi32(0, static_cast<int>(kDrawJumps[4].multiplier), 0,
                                         static_cast<int>(kDrawJumps[2].multiplier)));
    __m128i states = _mm_unpacklo_epi32(_mm_shuffle_epi32(oddProducts, _MM_SHUFFLE(3, 3, 2, 0)),
                                        _mm_shuffle_epi32(evenProducts, _MM_SHUFFLE(3, 3, 2, 0)));
    states = _mm_add_epi32(
        states,
        _mm_set_epi32(static_cast<int>(kDrawJumps[4].increment), static_cast<int>(kDrawJumps[3].increment),
                      static_cast<int>(kDrawJumps[2].increment), static_cast<int>(kDrawJumps[1].increment)));
    const __m128i drawn = _mm_and_si128(_mm_srli_epi32(states, 16), _mm_set1_epi32(0x7FFF));
    // Every draw is below a chance above 32767: such a chance acts as 32768,
    // which the signed comparison can hold.
    const int limit = static_cast<int>(chance < 0x8000u ? chance : 0x8000u);
    const __m128i below = _mm_cmplt_epi32(drawn, _mm_set1_epi32(limit));
    return static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(below)));
#else
    unsigned bits = 0;
    for (int k = 1; k <= 4; ++k) {
        bits |= unsigned{drawnValue(stateAfter(state, k)) < chance} << (k - 1);
    }
    return bits;
#endif
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
    // The attempts' neighbours as bits 0-3, in the order of the attempts.
    const unsigned sides = unsigned{at[-horizontal] == partner} | unsigned{at[horizontal] == partner} << 1 |
                           unsigned{at[-vertical] == partner} << 3;
    const bool ahead = at[vertical] == partner;
    // The +v neighbour does not count in an edge row, but it is still tried.
    const bool near = (sides != 0) | (ahead & !edgeRow);
    const unsigned partners = sides | static_cast<unsigned>(ahead && near) << 2;
    // Whether a partner is near goes either way from cell to cell, and the
    // four rolls follow one another in the generator: the rolls are computed
    // side by side from its state, and the generator moves on by four draws
    // only when a partner is near, without a branch.
    const uint32_t state = random.state();
    const unsigned hits = rollsBelow(state, rule.chance) & partners;
    if (hits == 0) {
        random.seed(pick(near, stateAfter(state, 4), state));
        return false;
    }
    // seed() sets the generator to the state of the last roll made.
    const int attempt = __builtin_ctz(hits);
    random.seed(stateAfter(state, attempt + 1));
    const int offset =
        attempt < 2 ? (attempt == 0 ? -horizontal : horizontal) : (attempt == 2 ? vertical : -vertical);
    grid.write(index + offset, rule.partnerResult);
    grid.write(index, rule.ownerResult);
    return true;
}

// The rules of an element whose rules are all plain (see ElementPhysics), in
// order; true when one applied.
[[gnu::always_inline]] inline bool applyPlainRules(const CellWriter& grid, Random& random,
                                                   const std::vector<CachedRule>& rules, int index,
                                                   int horizontal, int vertical, bool edgeRow) {
    // The usual single rule on its own: without the loop around it, its
    // values stay in registers.
    if (rules.size() == 1) return plainRule(grid, random, rules[0], index, horizontal, vertical, edgeRow);
    for (const CachedRule& rule : rules) {
        if (plainRule(grid, random, rule, index, horizontal, vertical, edgeRow)) return true;
    }
    return false;
}

// The quick test that rejects most cells before any rule is looked at: some
// neighbour's low 8 bits are in the element's filter. Kept out of line: inlined
// into the step, the compiler spills the four ids and reloads them wider, which
// stalls every cell (measured: 12 ns instead of 8.5 ns per cell).
[[gnu::noinline]] inline bool anyNeighbourFlagged(const NeighbourFilter& filter, const uint16_t* cells,
                                                  int index, int horizontal, int vertical) {
    const uint32_t a = cells[index - horizontal] & 0xFFu, b = cells[index + horizontal] & 0xFFu;
    const uint32_t c = cells[index + vertical] & 0xFFu, d = cells[index - vertical] & 0xFFu;
    const uint64_t bits = (filter[a >> 6] >> (a & 63u)) | (filter[b >> 6] >> (b & 63u)) |
                          (filter[c >> 6] >> (c & 63u)) | (filter[d >> 6] >> (d & 63u));
    return (bits & 1u) != 0;
}

}  // namespace ef2
