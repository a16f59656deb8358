#pragma once
// World files: the world grid written to disk and read back, in the form that
// the file name's ending selects.
//
// ".ef2"/".EF2" is a script that redraws the world (world_script.h),
// ".png"/".PNG" a 16-bit RGB picture that keeps each cell's exact element id
// (world_png.h), ".bmp"/".BMP" a colour picture mapped back to elements by
// nearest colour (world_bmp.h). Every form covers the full grid, frame
// included. Loading a script world is running a script, which the program's
// file loader above this layer does (app/file_loading.h); the pictures are
// loaded here.

#include <string>
#include <string_view>

#include "platform/confined_files.h"

namespace ef2 {

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

// Replaces the world with a picture's contents (the Png and Bmp forms). A
// file that cannot be read, is corrupt or declares a size no world may have
// leaves the world exactly as it was, and so does a name of another form:
// false then.
bool loadWorldPicture(World& world, const ElementTable& elements, const std::string& name,
                      Confinement confinement = Confinement::WorkingFolder);

}  // namespace ef2
