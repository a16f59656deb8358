#include "io/world_cells.h"

#include "world/world.h"

namespace ef2 {

bool worldPictureSizeAllowed(int64_t width, int64_t height) {
    return width >= 3 && height >= 3 && World::sizeAllowed(width - 2, height - 2);
}

int definedElementCount(const ElementTable& elements) {
    int count = 0;
    while (count < elements.recordCount() && elements.get(count)) ++count;
    return count;
}

void finishLoad(World& world) {
    world.recountPresence();
    world.markColourLayerStale();
    world.requestRebuild(kRebuildPresence);
}

bool replaceWorld(World& world, int gridWidth, int gridHeight, const std::vector<uint16_t>& ids) {
    if (!world.resize(gridWidth - 2, gridHeight - 2)) return false;
    for (int y = 0; y < gridHeight; ++y) {
        uint16_t* row = world.cells() + static_cast<std::size_t>(y) * world.stride();
        const uint16_t* source = ids.data() + static_cast<std::size_t>(y) * gridWidth;
        for (int x = 0; x < gridWidth; ++x) {
            if (source[x] != kKeepCell) row[x] = source[x];
        }
    }
    finishLoad(world);
    return true;
}

}  // namespace ef2
