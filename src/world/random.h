#pragma once
// The one random generator of the program.
//
// The physics step and the RAND operator draw from it. It is a classic linear
// congruential generator of our own so that a world replays identically from
// the same SEED on every platform and build, and so that the physics step can
// inline it.

#include <cstdint>

namespace ef2 {

class Random {
public:
    static constexpr int kMax = 32767;  // values are 0..kMax, like the C library's rand()

    void seed(uint32_t seedValue) { state_ = seedValue; }

    int next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFFu);
    }

    uint32_t state() const { return state_; }

private:
    uint32_t state_ = 1;
};

}  // namespace ef2
