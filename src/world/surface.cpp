#include "world/surface.h"

#include <cstring>

namespace ef2 {

SurfacePtr makeSurface16(int width, int height) {
    SurfacePtr surface(SDL_CreateRGBSurfaceWithFormat(0, width, height, 16, SDL_PIXELFORMAT_RGB565));
    if (surface) std::memset(surface->pixels, 0, static_cast<std::size_t>(surface->pitch) * height);
    return surface;
}

}  // namespace ef2
