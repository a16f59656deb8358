#pragma once
// The other pictures that LOAD and SAVE move between disk and memory: stamps,
// and the two picture layers of the view.
//
// Stamps in files are BMP pictures. A stamp slot holds RGB565 pixels whose raw
// values are element ids (pasting copies raw values), so a loaded picture is
// converted to RGB565 the way a blit would map it; a stamp saved by the program
// loads back with the same raw values.

#include <cstdint>
#include <string>

#include "platform/confined_files.h"
#include "world/surface.h"

namespace ef2 {

class StampTable;

// Only the element-id half of the stamp table comes from and goes to files.
constexpr int64_t kFirstFileStamp = 1;
constexpr int64_t kLastFileStamp = 99999;

// Puts the picture of a BMP file into the slot; the slot becomes empty when
// the file cannot be read. Slots outside 1..99,999 are ignored.
void loadStamp(StampTable& stamps, const std::string& name, int64_t slot,
               Confinement confinement = Confinement::WorkingFolder);
// Writes the stamp of the slot as a BMP; false when the slot is out of range,
// empty, or the file cannot be written.
bool saveStamp(const StampTable& stamps, const std::string& name, int64_t slot,
               Confinement confinement = Confinement::WorkingFolder);

// Replaces a picture layer of the view with the picture of a BMP file,
// converted to RGB565; the layer becomes empty when the file cannot be read.
void loadLayer(SurfacePtr& layer, const std::string& name,
               Confinement confinement = Confinement::WorkingFolder);

}  // namespace ef2
