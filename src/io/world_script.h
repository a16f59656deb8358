#pragma once
// The script form of a world (".ef2"): RESIZE, a clearing DRAW, then one
// `DRAW "ELEMENT:name" POINTS ...` line per element present. Loading it is
// running it as a script.

#include <string>

#include "platform/confined_files.h"

namespace ef2 {

class ElementTable;
class World;

// False when the file could not be written in full.
bool saveWorldScript(const World& world, const ElementTable& elements, const std::string& name,
                     Confinement confinement);

}  // namespace ef2
