#pragma once
// A slow, literal transcription of the physics step, used only by tests.
//
// It follows the written algorithm line by line, derives every per-element
// value from the element table at the moment it is needed, and makes no attempt
// to be fast. The real step must produce exactly the same grid and colour layer.

#include "world/physics.h"

namespace ef2 {

class World;
class Random;

void referenceStep(World& world, Random& random, const InteractionTriggerRunner& runTrigger);

// The per-element values as the step defines them, computed from scratch.
struct ReferenceElement {
    int signedFall;
    int magnitude;
    int fallStep;
    int spray;
    long long slideSpan;
    long long viscosity;
    int deathRate;
    bool noBias;
    bool inert;
};
ReferenceElement referenceElement(World& world, int id);

}  // namespace ef2
