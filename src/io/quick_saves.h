#pragma once
// Quick saves: copies of the whole grid in numbered slots, kept in memory
// (SAVE and LOAD QUICKSAND, F5 and F9 of the start script).

#include <cstdint>
#include <memory>
#include <vector>

namespace ef2 {

class World;

class QuickSaveSlots {
public:
    // Slots 0 to 10,000.
    static constexpr int64_t kSlotCount = 10001;

    // Other slots are ignored.
    void save(const World& world, int64_t slot);
    // Resizes the world to the snapshot's size when it differs. False for an
    // empty or invalid slot.
    bool load(World& world, int64_t slot);

private:
    struct Snapshot {
        int gridWidth = 0;
        int gridHeight = 0;
        std::vector<uint16_t> cells;
    };
    std::vector<std::unique_ptr<Snapshot>> slots_;
};

}  // namespace ef2
