#include "io/world_script.h"

#include <charconv>
#include <cstdio>
#include <vector>

#include "world/world.h"

namespace ef2 {

namespace {

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

}  // namespace

// One pass over the grid gathers each element's cells in row order; each
// element is then one DRAW ... POINTS line, in id order.
bool saveWorldScript(const World& world, const ElementTable& elements, const std::string& name,
                     Confinement confinement) {
    StreamPtr file = openForWriting(name, WriteMode::Replace, confinement).intoStream("wb");
    if (!file) return false;
    const int width = world.gridWidth(), height = world.gridHeight();
    const int records = elements.recordCount();
    std::vector<std::vector<uint32_t>> cellsOf(records);
    for (int y = 0; y < height; ++y) {
        const uint16_t* row = world.cells() + static_cast<std::size_t>(y) * world.stride();
        for (int x = 0; x < width; ++x) {
            if (row[x] >= 2 && row[x] < records)
                cellsOf[row[x]].push_back(static_cast<uint32_t>(y) * width + x);
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
            written = writeAll(file.get(), out) && written;
            out.clear();
        }
    }
    written = writeAll(file.get(), out) && written;
    return closeStream(std::move(file)) && written;
}

}  // namespace ef2
