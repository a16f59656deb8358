#include "io/world_bmp.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "io/bmp_file.h"
#include "io/world_cells.h"
#include "world/world.h"

namespace ef2 {

namespace {

// The defined element nearest to a colour by the sum of squared channel
// differences; the lowest id wins a tie and an exact match ends the search.
// The frame element maps to empty space. Answers are remembered per colour,
// so a picture the program saved costs one search per distinct colour.
class NearestElement {
public:
    explicit NearestElement(const ElementTable& elements) {
        const int defined = definedElementCount(elements);
        for (int id = 0; id < defined; ++id) palette_.push_back(elements.get(id)->colour);
    }

    uint16_t find(uint8_t r, uint8_t g, uint8_t b) {
        const uint32_t key = (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
        if (key == lastKey_) return lastId_;
        auto [entry, inserted] = cache_.try_emplace(key, uint16_t{0});
        if (inserted) entry->second = search(r, g, b);
        lastKey_ = key;
        lastId_ = entry->second;
        return lastId_;
    }

private:
    uint16_t search(int r, int g, int b) const {
        uint16_t best = 0;
        int64_t bestDistance = INT64_MAX;
        for (std::size_t id = 0; id < palette_.size(); ++id) {
            const int dr = r - palette_[id].r, dg = g - palette_[id].g, db = b - palette_[id].b;
            const int64_t distance = int64_t{dr} * dr + int64_t{dg} * dg + int64_t{db} * db;
            if (distance < bestDistance) {
                best = static_cast<uint16_t>(id);
                bestDistance = distance;
                if (distance == 0) break;
            }
        }
        return best == kNothing ? kClear : best;
    }

    std::vector<Rgb> palette_;
    std::unordered_map<uint32_t, uint16_t> cache_;
    uint32_t lastKey_ = UINT32_MAX;  // no 24-bit colour
    uint16_t lastId_ = 0;
};

}  // namespace

bool saveWorldBmp(const World& world, const ElementTable& elements, const std::string& name,
                  Confinement confinement) {
    SurfacePtr picture(
        SDL_CreateRGBSurfaceWithFormat(0, world.gridWidth(), world.gridHeight(), 32, SDL_PIXELFORMAT_RGB888));
    if (!picture) return false;
    const SDL_PixelFormat* format = picture->format;
    std::vector<uint32_t> mapped(kAllIds, SDL_MapRGB(format, 0, 0, 0));
    for (int id = 0; id < elements.recordCount(); ++id) {
        if (const Element* element = elements.get(id)) {
            mapped[id] = SDL_MapRGB(format, element->colour.r, element->colour.g, element->colour.b);
        }
    }
    for (int y = 0; y < world.gridHeight(); ++y) {
        const uint16_t* row = world.cells() + static_cast<std::size_t>(y) * world.stride();
        auto* pixels = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(picture->pixels) +
                                                   static_cast<std::size_t>(y) * picture->pitch);
        for (int x = 0; x < world.gridWidth(); ++x) pixels[x] = mapped[row[x]];
    }
    return saveBmp(picture.get(), name, confinement);
}

bool loadWorldBmp(World& world, const ElementTable& elements, const std::string& name,
                  Confinement confinement) {
    SurfacePtr picture = loadBmp(name, SDL_PIXELFORMAT_RGB24, worldPictureSizeAllowed, confinement);
    if (!picture) return false;
    const int width = picture->w, height = picture->h;
    NearestElement nearest(elements);
    std::vector<uint16_t> ids(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const uint8_t* pixel =
            static_cast<const uint8_t*>(picture->pixels) + static_cast<std::size_t>(y) * picture->pitch;
        uint16_t* out = ids.data() + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x, pixel += 3) out[x] = nearest.find(pixel[0], pixel[1], pixel[2]);
    }
    picture.reset();
    return replaceWorld(world, width, height, ids);
}

}  // namespace ef2
