#include "io/world_png.h"

#include <vector>

#include "io/png_file.h"
#include "io/world_cells.h"
#include "world/world.h"

namespace ef2 {

namespace {

// The base colour of every possible id; ids without an element are black.
std::vector<Rgb> colourTable(const ElementTable& elements) {
    std::vector<Rgb> colours(kAllIds);
    for (int id = 0; id < elements.recordCount(); ++id) {
        if (const Element* element = elements.get(id)) colours[id] = element->colour;
    }
    return colours;
}

}  // namespace

// Each channel's high byte is the element's colour, so viewers show the world;
// the low bytes of red and green carry the id.
bool saveWorldPng(const World& world, const ElementTable& elements, const std::string& name,
                  Confinement confinement) {
    const std::vector<Rgb> colours = colourTable(elements);
    auto fillRow = [&](int y, uint8_t* bytes) {
        const uint16_t* row = world.cells() + static_cast<std::size_t>(y) * world.stride();
        for (int x = 0; x < world.gridWidth(); ++x, bytes += 6) {
            const uint16_t id = row[x];
            const Rgb colour = colours[id];
            bytes[0] = colour.r;
            bytes[1] = static_cast<uint8_t>(id & 0xFF);
            bytes[2] = colour.g;
            bytes[3] = static_cast<uint8_t>(id >> 8);
            bytes[4] = colour.b;
            bytes[5] = 0;
        }
    };
    return writePng(name, world.gridWidth(), world.gridHeight(), PngSamples::Rgb16, fillRow, PngEffort::Fast,
                    confinement);
}

// The id of a pixel is byte 3 x 256 + byte 1 of the pixel as stored, for
// pictures of every depth; a picture the program saved gives back exact ids,
// and other pictures seldom form a defined id, so most of their cells keep
// what the resize left.
bool loadWorldPng(World& world, const ElementTable& elements, const std::string& name,
                  Confinement confinement) {
    const uint32_t defined = static_cast<uint32_t>(definedElementCount(elements));
    uint32_t width = 0, height = 0;
    std::vector<uint16_t> ids;
    auto checkSize = [&](uint32_t w, uint32_t h) {
        if (!worldPictureSizeAllowed(w, h)) return false;
        width = w;
        height = h;
        ids.assign(static_cast<std::size_t>(w) * h, kKeepCell);
        return true;
    };
    auto takeRow = [&](uint32_t y, const uint8_t* row, std::size_t rowBytes, std::size_t bytesPerPixel) {
        uint16_t* out = ids.data() + static_cast<std::size_t>(y) * width;
        for (uint32_t x = 0; x < width; ++x) {
            const std::size_t first = x * bytesPerPixel;
            if (first + 3 >= rowBytes) break;
            const uint32_t id = uint32_t{row[first + 3]} * 256 + row[first + 1];
            if (id < defined) out[x] = static_cast<uint16_t>(id);
        }
    };
    if (!readPngRows(name, checkSize, takeRow, confinement)) return false;
    return replaceWorld(world, static_cast<int>(width), static_cast<int>(height), ids);
}

}  // namespace ef2
