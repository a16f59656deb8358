#pragma once
// PNG files through libpng: the 16-bit world form and 8-bit screenshots.
//
// libpng reports errors by jumping back into the function that set it up;
// here every such error ends in a false result. Nothing is printed, and the
// caller learns of a picture's rows only through its own callbacks, so a file
// that turns out corrupt half-way leaves nothing of the caller's changed
// unless the caller chose to change it row by row.

#include <SDL_surface.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/confined_files.h"

namespace ef2 {

enum class PngSamples { Rgb8, Rgb16 };

// Fills the bytes of row `y` (3 or 6 bytes a pixel, big-endian samples).
using PngRowFiller = std::function<void(int y, uint8_t* row)>;

// How hard the encoder works. Fast is zlib level 3 without row filters: on
// world pictures, whose pixels interleave colour and id bytes, the filters
// gain nothing and level 6 costs three times as long for files a sixth
// smaller (see bench/file_bench.cpp).
enum class PngEffort { Default, Fast };

// Writes an RGB picture (colour type 2, no interlace, the standard
// compression and filter methods). False when the file cannot be created or
// written.
bool writePng(const std::string& path, int width, int height, PngSamples samples, const PngRowFiller& fillRow,
              PngEffort effort = PngEffort::Default, Confinement confinement = Confinement::WorkingFolder);

// Decides from the header whether a picture of that size is read at all, and
// may prepare the caller's buffers; false refuses the file.
using PngSizeCheck = std::function<bool(uint32_t width, uint32_t height)>;
// Takes one row exactly as stored, without any transformation: `bytesPerPixel`
// is the pixel's whole bytes (0 for pictures of fewer than 8 bits a pixel).
using PngRowTaker =
    std::function<void(uint32_t y, const uint8_t* row, std::size_t rowBytes, std::size_t bytesPerPixel)>;

// Reads a PNG file to its end. Rows reach `takeRow` in order, top to bottom,
// once each; an interlaced picture is assembled first. False when the file
// cannot be opened, is no PNG, is refused by `checkSize` or is corrupt
// anywhere up to its end (rows may already have been taken then). Chunks
// other than the header, palette and image data are skipped, no chunk may
// claim more than 1 MiB, and an interlaced picture of more than 64 MiB is
// refused, so a file costs little memory beyond what the caller keeps.
bool readPngRows(const std::string& path, const PngSizeCheck& checkSize, const PngRowTaker& takeRow,
                 Confinement confinement = Confinement::WorkingFolder);

// Writes a 16-bit RGB565 surface (the screen) as an 8-bit RGB PNG.
bool savePng(SDL_Surface* surface, const std::string& path,
             Confinement confinement = Confinement::WorkingFolder);

}  // namespace ef2
