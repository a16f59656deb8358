#pragma once
// The one place that chooses what a named file is: a script or a world.
//
// Script files and world files name each other: a picture named where a
// script is expected is a world, and a world saved as ".ef2" is a script.
// The readers below this layer know only their own kind (io/script_file.h,
// io/world_files.h); the choice between them is made here.

#include <cstdint>
#include <string>

#include "platform/confined_files.h"

namespace ef2 {

class Runtime;

// The road of every file whose contents become statements (the start file,
// command-line arguments, dropped files, INCLUDE): a ".png" or ".bmp" name
// replaces the world with the picture; anything else is script text of
// origin `messageId`.
void loadScriptFile(Runtime& runtime, const std::string& fileName, int32_t messageId,
                    Confinement confinement = Confinement::WorkingFolder);

// A world file by its form (io/world_files.h): a picture replaces the world
// (false, with the world unchanged, when it cannot be read), a script world
// runs as a script of origin 0 (true), and other names do nothing (false).
bool loadWorldFile(Runtime& runtime, const std::string& name,
                   Confinement confinement = Confinement::WorkingFolder);

}  // namespace ef2
