#pragma once
// Owned 16-bit SDL surfaces: the grid, the colour layer, stamps and layers are
// all RGB565 surfaces so that fills and copies can use SDL's blitter.

#include <SDL_surface.h>

#include <cstdint>
#include <memory>

namespace ef2 {

struct SurfaceDeleter {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

// A zero-filled RGB565 surface, or nullptr when SDL cannot allocate it.
SurfacePtr makeSurface16(int width, int height);

inline uint16_t* pixels16(SDL_Surface* surface) {
    return static_cast<uint16_t*>(surface->pixels);
}
inline int stride16(const SDL_Surface* surface) {
    return surface->pitch / 2;
}

// The RGB565 value of a colour, as SDL_MapRGB gives it for that format.
inline uint16_t rgb565(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

}  // namespace ef2
