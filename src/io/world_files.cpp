#include "io/world_files.h"

#include <charconv>
#include <cstdio>
#include <new>
#include <unordered_map>

#include "app/runtime.h"
#include "io/bmp_file.h"
#include "io/png_file.h"
#include "io/script_file.h"
#include "world/world.h"

namespace ef2 {

namespace {

bool endsWith(std::string_view text, std::string_view ending) {
    return text.size() >= ending.size() && text.substr(text.size() - ending.size()) == ending;
}

// Marks a cell that a picture leaves as the resize left it. Defined element
// ids end far below it.
constexpr uint16_t kKeepCell = 0xFFFF;
constexpr std::size_t kAllIds = 65536;

// After a picture or snapshot replaced the cells: the presence flags follow
// the new cells, and the next step or draw repaints the colour layer,
// recompiles the rules of the elements now present and restores the frame
// columns to walls.
void finishLoad(World& world) {
    world.recountPresence();
    world.markColourLayerStale();
    world.requestRebuild(kRebuildPresence);
}

// Resizes the world to the picture and stores every cell the picture sets.
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

// The base colour of every possible id; ids without an element are black.
std::vector<Rgb> colourTable(const ElementTable& elements) {
    std::vector<Rgb> colours(kAllIds);
    for (int id = 0; id < elements.recordCount(); ++id) {
        if (const Element* element = elements.get(id)) colours[id] = element->colour;
    }
    return colours;
}

void appendNumber(std::string& out, int64_t value) {
    char digits[24];
    auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, end);
}

// The name as a quoted script token reads it back.
void appendQuotedName(std::string& out, const std::string& name) {
    for (char c : name) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
}

bool writeAll(std::FILE* file, const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

// The script form. One pass over the grid gathers each element's cells in row
// order; each element is then one DRAW ... POINTS line, in id order.
bool saveWorldScript(const World& world, const ElementTable& elements, const std::string& name,
                     Confinement confinement) {
    std::FILE* file = openForWriting(name, WriteMode::Replace, confinement).intoStream("wb");
    if (!file) return false;
    const int width = world.gridWidth(), height = world.gridHeight();
    const int records = elements.recordCount();
    std::vector<std::vector<uint32_t>> cellsOf(records);
    for (int y = 0; y < height; ++y) {
        const uint16_t* row = world.cells() + static_cast<std::size_t>(y) * world.stride();
        for (int x = 0; x < width; ++x) {
            if (row[x] >= 2 && row[x] < records) cellsOf[row[x]].push_back(static_cast<uint32_t>(y) * width + x);
        }
    }
    std::string out = "RESIZE ";
    appendNumber(out, width - 2);
    out += ' ';
    appendNumber(out, height - 2);
    out += "\nDRAW 0 FILLEDRECT 0 0 ";
    appendNumber(out, width);
    out += ' ';
    appendNumber(out, height);
    out += '\n';
    bool written = true;
    for (int id = 2; id < records; ++id) {
        const Element* element = elements.get(id);
        if (!element || cellsOf[id].empty()) continue;
        out += "DRAW \"ELEMENT:";
        appendQuotedName(out, *element->name);
        out += "\" POINTS 0 0 ";
        for (uint32_t cell : cellsOf[id]) {
            appendNumber(out, cell % width);
            out += ' ';
            appendNumber(out, cell / width);
            out += ' ';
        }
        out += '\n';
        if (out.size() > (1u << 20)) {
            written = writeAll(file, out) && written;
            out.clear();
        }
    }
    written = writeAll(file, out) && written;
    return std::fclose(file) == 0 && written;
}

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

bool loadWorldBmp(World& world, const ElementTable& elements, const std::string& name, Confinement confinement) {
    SurfacePtr picture = loadBmp(name, SDL_PIXELFORMAT_RGB24, worldPictureSizeAllowed, confinement);
    if (!picture) return false;
    const int width = picture->w, height = picture->h;
    NearestElement nearest(elements);
    std::vector<uint16_t> ids(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const uint8_t* pixel = static_cast<const uint8_t*>(picture->pixels) + static_cast<std::size_t>(y) * picture->pitch;
        uint16_t* out = ids.data() + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x, pixel += 3) out[x] = nearest.find(pixel[0], pixel[1], pixel[2]);
    }
    picture.reset();
    return replaceWorld(world, width, height, ids);
}

// The id of a pixel is byte 3 x 256 + byte 1 of the pixel as stored, for
// pictures of every depth; a picture the program saved gives back exact ids,
// and other pictures seldom form a defined id, so most of their cells keep
// what the resize left.
bool loadWorldPng(World& world, const ElementTable& elements, const std::string& name, Confinement confinement) {
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

}  // namespace

WorldFileForm worldFileForm(std::string_view name) {
    if (name.size() <= 4) return WorldFileForm::None;
    if (endsWith(name, ".ef2") || endsWith(name, ".EF2")) return WorldFileForm::Script;
    if (endsWith(name, ".bmp") || endsWith(name, ".BMP")) return WorldFileForm::Bmp;
    if (endsWith(name, ".png") || endsWith(name, ".PNG")) return WorldFileForm::Png;
    return WorldFileForm::None;
}

bool worldPictureSizeAllowed(int64_t width, int64_t height) {
    return width >= 3 && height >= 3 && World::sizeAllowed(width - 2, height - 2);
}

int definedElementCount(const ElementTable& elements) {
    int count = 0;
    while (count < elements.recordCount() && elements.get(count)) ++count;
    return count;
}

bool saveWorldFile(const World& world, const ElementTable& elements, const std::string& name,
                   Confinement confinement) {
    if (!world.exists()) return false;
    try {
        switch (worldFileForm(name)) {
            case WorldFileForm::Script: return saveWorldScript(world, elements, name, confinement);
            case WorldFileForm::Bmp: return saveWorldBmp(world, elements, name, confinement);
            case WorldFileForm::Png: return saveWorldPng(world, elements, name, confinement);
            case WorldFileForm::None: return false;
        }
    } catch (const std::bad_alloc&) {
    }
    return false;
}

bool loadWorldFile(Runtime& runtime, const std::string& name, Confinement confinement) {
    try {
        switch (worldFileForm(name)) {
            case WorldFileForm::Script: loadScriptFile(runtime, name, 0, confinement); return true;
            case WorldFileForm::Bmp: return loadWorldBmp(runtime.world, runtime.elements, name, confinement);
            case WorldFileForm::Png: return loadWorldPng(runtime.world, runtime.elements, name, confinement);
            case WorldFileForm::None: return false;
        }
    } catch (const std::bad_alloc&) {
    }
    return false;
}

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
            std::copy(row, row + snapshot->gridWidth, snapshot->cells.data() + static_cast<std::size_t>(y) * snapshot->gridWidth);
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
        std::copy(source, source + snapshot.gridWidth, world.cells() + static_cast<std::size_t>(y) * world.stride());
    }
    finishLoad(world);
    return true;
}

}  // namespace ef2
