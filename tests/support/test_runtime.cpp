#include "support/test_runtime.h"

namespace ef2::test {

uint16_t defineElement(Runtime& runtime, const std::string& name, int32_t weight, int32_t spray,
                       int32_t slide, int32_t viscosity) {
    ElementTable& elements = runtime.elements;
    uint16_t id = elements.idOfName(name, true);
    elements.setWeight(id, weight);
    elements.setSpray(id, spray);
    elements.setSlide(id, slide);
    elements.setViscosity(id, viscosity);
    elements.setColour(id, 40 * id, 255 - 30 * id, 17 * id);
    return id;
}

void put(Runtime& runtime, int x, int y, uint16_t id) {
    runtime.world.rebuildIfRequested();
    runtime.world.setCell(x, y, id);
}

int countCells(Runtime& runtime, uint16_t id) {
    int count = 0;
    for (int y = 1; y <= runtime.world.height(); ++y) {
        for (int x = 1; x <= runtime.world.width(); ++x) count += runtime.world.interiorCell(x, y) == id;
    }
    return count;
}

void step(Runtime& runtime, int steps) {
    for (int i = 0; i < steps; ++i) runtime.physicsStep();
}

std::string picture(Runtime& runtime) {
    std::string text;
    for (int y = 1; y <= runtime.world.height(); ++y) {
        for (int x = 1; x <= runtime.world.width(); ++x) {
            uint16_t id = runtime.world.interiorCell(x, y);
            text += id == 0 ? '.' : id == 1 ? '#' : static_cast<char>('a' + (id - 2) % 26);
        }
        text += '\n';
    }
    return text;
}

}  // namespace ef2::test
