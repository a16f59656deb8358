#pragma once
// BMP pictures through SDL's reader and writer.
//
// SDL allocates a picture as big as the file's header declares before it
// reads a single pixel, so the declared size is read and checked here first:
// a file that claims to be enormous is refused without allocating anything.

#include <SDL_surface.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/confined_files.h"
#include "world/surface.h"

namespace ef2 {

struct PictureSize {
    int64_t width = 0;
    int64_t height = 0;
};

// The size the header of a BMP file declares (a picture stored bottom-up or
// top-down alike), or nothing when the file cannot be read or is no BMP.
std::optional<PictureSize> bmpDeclaredSize(const std::string& path,
                                           Confinement confinement = Confinement::WorkingFolder);

// Pictures that are no world still need limits: no side beyond the largest
// framed world and no more cells than the largest world.
bool pictureSizeAllowed(int64_t width, int64_t height);

using PictureSizeCheck = std::function<bool(int64_t width, int64_t height)>;

// The picture of a BMP file converted to `pixelFormat` (an SDL_PIXELFORMAT_*
// value), the way a blit into a surface of that format maps it. Null when the
// file cannot be read or its size is refused by `sizeAllowed`. The header is
// read from the same open file that SDL then decodes.
SurfacePtr loadBmp(const std::string& path, uint32_t pixelFormat, const PictureSizeCheck& sizeAllowed,
                   Confinement confinement = Confinement::WorkingFolder);

// Writes the surface with SDL's BMP writer; false when that fails.
bool saveBmp(SDL_Surface* surface, const std::string& path,
             Confinement confinement = Confinement::WorkingFolder);

}  // namespace ef2
