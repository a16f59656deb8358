#pragma once
// The BMP form of a world: colours only. Loading maps each pixel to the
// defined element of the nearest colour (ties go to the lower id; the frame
// element becomes empty space).

#include <string>

#include "platform/confined_files.h"

namespace ef2 {

class ElementTable;
class World;

bool saveWorldBmp(const World& world, const ElementTable& elements, const std::string& name,
                  Confinement confinement);
// The whole file is read before the world is touched: false, with the world
// unchanged, when it cannot be read or declares a size no world may have.
bool loadWorldBmp(World& world, const ElementTable& elements, const std::string& name,
                  Confinement confinement);

}  // namespace ef2
