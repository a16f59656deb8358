#pragma once
// Parameter frames: ten signed values that a called trigger reads as $0..$9.
//
// The main program pushes one frame of zeros at start and never pops it, so
// scripts see zeros at top level and can nest kMaxParameterFrames - 1 frames
// above it.

#include <array>
#include <cstdint>
#include <vector>

namespace ef2 {

using ParameterFrame = std::array<int32_t, 10>;

// 1,025 slots: the start frame plus 1,024 nested calls.
constexpr int kMaxParameterFrames = 1025;

class ParameterStack {
public:
    // False, and nothing pushed, when all slots are taken.
    bool push(const ParameterFrame& frame);
    // False when there was nothing to pop.
    bool pop();
    const ParameterFrame* top() const { return frames_.empty() ? nullptr : &frames_.back(); }
    int depth() const { return static_cast<int>(frames_.size()); }

private:
    std::vector<ParameterFrame> frames_;
};

}  // namespace ef2
