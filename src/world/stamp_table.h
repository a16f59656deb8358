#pragma once
// Stamps: numbered pictures cut from the world and pasted back.
//
// Slots 0..99,999 hold rectangles of the grid (element ids); copying a stamp
// also keeps the matching rectangle of the colour layer 100,000 slots higher,
// which menus show as stamp icons.

#include <vector>

#include "world/surface.h"

namespace ef2 {

constexpr int kStampSlots = 200000;
constexpr int kColourStampOffset = 100000;

class StampTable {
public:
    StampTable() : slots_(kStampSlots) {}
    static bool valid(int64_t slot) { return slot >= 0 && slot < kStampSlots; }
    // The picture in a slot, or nullptr (also for slots out of range).
    SDL_Surface* get(int64_t slot) const { return valid(slot) ? slots_[slot].get() : nullptr; }
    void set(int64_t slot, SurfacePtr picture) {
        if (valid(slot)) slots_[slot] = std::move(picture);
    }

private:
    std::vector<SurfacePtr> slots_;
};

}  // namespace ef2
