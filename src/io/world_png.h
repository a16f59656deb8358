#pragma once
// The PNG form of a world: 16-bit RGB whose high bytes are each cell's colour
// (any viewer shows the world) and whose low bytes of red and green hold the
// element id (loading restores every cell exactly). PNGs from other programs
// load too: they set the world's size, and cells whose bytes form no defined
// id keep what the resize left.

#include <string>

#include "platform/confined_files.h"

namespace ef2 {

class ElementTable;
class World;

bool saveWorldPng(const World& world, const ElementTable& elements, const std::string& name,
                  Confinement confinement);
// The whole file is read before the world is touched: false, with the world
// unchanged, when it cannot be read or declares a size no world may have.
bool loadWorldPng(World& world, const ElementTable& elements, const std::string& name,
                  Confinement confinement);

}  // namespace ef2
