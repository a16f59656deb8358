#include "io/quick_saves.h"

#include <algorithm>
#include <new>

#include "io/world_cells.h"
#include "world/world.h"

namespace ef2 {

void QuickSaveSlots::save(const World& world, int64_t slot) {
    if (slot < 0 || slot >= kSlotCount || !world.exists()) return;
    if (slots_.empty()) slots_.resize(kSlotCount);
    slots_[slot].reset();
    try {
        auto snapshot = std::make_unique<Snapshot>();
        snapshot->gridWidth = world.gridWidth();
        snapshot->gridHeight = world.gridHeight();
        snapshot->cells.resize(static_cast<std::size_t>(snapshot->gridWidth) * snapshot->gridHeight);
        for (int y = 0; y < snapshot->gridHeight; ++y) {
            const uint16_t* row = world.cells() + static_cast<std::size_t>(y) * world.stride();
            std::copy(row, row + snapshot->gridWidth,
                      snapshot->cells.data() + static_cast<std::size_t>(y) * snapshot->gridWidth);
        }
        slots_[slot] = std::move(snapshot);
    } catch (const std::bad_alloc&) {
    }
}

bool QuickSaveSlots::load(World& world, int64_t slot) {
    if (slot < 0 || slot >= kSlotCount || slots_.empty() || !slots_[slot]) return false;
    const Snapshot& snapshot = *slots_[slot];
    if (snapshot.gridWidth != world.gridWidth() || snapshot.gridHeight != world.gridHeight()) {
        if (!world.resize(snapshot.gridWidth - 2, snapshot.gridHeight - 2)) return false;
    }
    for (int y = 0; y < snapshot.gridHeight; ++y) {
        const uint16_t* source = snapshot.cells.data() + static_cast<std::size_t>(y) * snapshot.gridWidth;
        std::copy(source, source + snapshot.gridWidth,
                  world.cells() + static_cast<std::size_t>(y) * world.stride());
    }
    finishLoad(world);
    return true;
}

}  // namespace ef2
