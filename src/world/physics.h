#pragma once
// The physics step: one frame of the particle world.
//
// Every non-inert particle first meets its neighbours (interaction rules), then
// may die into another element (death rules), then falls, sinks through lighter
// material or slides sideways. The step is deterministic for a given world,
// element table and SEED: it reseeds the program's generator at its start and
// otherwise uses cheap 15-bit generators of its own.

#include <cstdint>
#include <functional>

namespace ef2 {

class World;
class Random;
struct Trigger;

// Runs an interaction trigger for the acting cell (x1, y1) holding `acting`
// and its neighbour (x2, y2) holding `neighbour`, in framed coordinates.
using InteractionTriggerRunner = std::function<void(Trigger* trigger, uint16_t acting, uint16_t neighbour,
                                                    int x1, int y1, int x2, int y2)>;

void physicsStep(World& world, Random& random, const InteractionTriggerRunner& runTrigger);

// Death generator, movement generator: the 15-bit generators of the step.
inline uint32_t advanceDeath(uint32_t r) {
    return (r * 3723u + 6u) & 0x7FFFu;
}
inline uint32_t advanceMovement(uint32_t r) {
    return (r * 7u) & 0x7FFFu;
}

// a when `condition` holds, else b, without a branch: the step uses it where
// the condition is a coin toss, and left to itself the compiler branches.
inline uint32_t pick(bool condition, uint32_t a, uint32_t b) {
#if defined(__x86_64__) && defined(__GNUC__)
    asm("test %1, %1\n\tcmovnz %2, %0" : "+r"(b) : "r"(condition), "r"(a) : "cc");
    return b;
#else
    const uint32_t mask = 0u - static_cast<uint32_t>(condition);
    return (a & mask) | (b & ~mask);
#endif
}

// WIND as the two thresholds below which a slide toward higher or lower
// columns may happen.
struct WindThresholds {
    int64_t higher;
    int64_t lower;
};
WindThresholds windThresholds(int32_t wind);

}  // namespace ef2
