#pragma once
// The interaction phase of the physics step: a particle meets its four
// neighbours, and the first rule of its element that fires changes both cells
// or runs the rule's trigger.

#include <cstdint>

#include "world/physics.h"

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

InteractionOutcome interactionPhase(InteractionContext& context, uint16_t element);

}  // namespace ef2
