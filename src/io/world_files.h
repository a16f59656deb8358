#pragma once
// World files: the world grid written to disk and read back, in the form that
// the file name's ending selects, and the in-memory quick saves.
//
// ".ef2"/".EF2" is a script that redraws the world; ".png"/".PNG" a 16-bit RGB
// picture whose low bytes carry each cell's exact element id beside its
// colour; ".bmp"/".BMP" a colour picture that is mapped back to elements by
// nearest colour. Every form covers the full grid, frame included, so a file
// of W x H pixels is a world of (W - 2) x (H - 2) cells.
//
// Loading a picture decodes the whole file before the world is touched: a
// file that cannot be read, is corrupt or declares a size no world may have
// leaves the world exactly as it was.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/confined_files.h"

namespace ef2 {

class Runtime;
class World;
class ElementTable;

enum class WorldFileForm { None, Script, Bmp, Png };

// The form a name selects: names longer than four characters ending in
// exactly ".ef2", ".EF2", ".bmp", ".BMP", ".png" or ".PNG".
WorldFileForm worldFileForm(std::string_view name);

// Writes the world in the form the name selects. False when nothing was
// written (no such form, or the file could not be written).
bool saveWorldFile(const World& world, const ElementTable& elements, const std::string& name,
                   Confinement confinement = Confinement::WorkingFolder);

// Replaces the world with the file's contents; a script world runs as a
// script of origin 0. False when a picture left the world unchanged.
bool loadWorldFile(Runtime& runtime, const std::string& name, Confinement confinement = Confinement::WorkingFolder);

// A picture of W x H pixels may become a world when its interior
// (W - 2) x (H - 2) is a size the world accepts.
bool worldPictureSizeAllowed(int64_t width, int64_t height);

// The defined elements: ids from 0 up to the first record without a name.
int definedElementCount(const ElementTable& elements);

// Copies of the whole grid in numbered slots, kept in memory.
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
