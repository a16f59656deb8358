#include "ui/text.h"

#include <cstdint>
#include <string>

namespace ef2 {

namespace {

struct SdlSurfaceDeleter {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};

}  // namespace

TextSize drawText(SDL_Surface* target, TTF_Font* font, std::string_view text, int x, int baselineY,
                  uint16_t value, bool centred) {
    if (!target || !font || text.empty()) return {};
    std::string line(text);
    std::unique_ptr<SDL_Surface, SdlSurfaceDeleter> rendered(
        TTF_RenderUTF8_Solid(font, line.c_str(), SDL_Color{255, 255, 255, 255}));
    if (!rendered) return {};
    const int width = rendered->w, height = rendered->h;
    // 64-bit: x and baselineY may be any script value.
    const int64_t left = centred ? int64_t{x} - width / 2 : int64_t{x};
    const int64_t top = int64_t{baselineY} - height - TTF_FontDescent(font);
    uint16_t* pixels = pixels16(target);
    const int stride = stride16(target);
    SDL_LockSurface(rendered.get());
    const auto* source = static_cast<const uint8_t*>(rendered->pixels);
    for (int row = 0; row < height; ++row) {
        const int64_t y = top + row;
        if (y < 0 || y >= target->h) continue;
        for (int column = 0; column < width; ++column) {
            const int64_t px = left + column;
            if (px < 0 || px >= target->w) continue;
            if (source[row * rendered->pitch + column] != 0) pixels[y * stride + px] = value;
        }
    }
    SDL_UnlockSurface(rendered.get());
    return TextSize{width, height};
}

SurfacePtr toRgb565(SDL_Surface* picture) {
    if (!picture) return nullptr;
    return SurfacePtr(SDL_ConvertSurfaceFormat(picture, SDL_PIXELFORMAT_RGB565, 0));
}

SurfacePtr renderLabel(TTF_Font* font, std::string_view text, SDL_Color foreground, SDL_Color background) {
    if (!font || text.empty()) return nullptr;
    std::string line(text);
    std::unique_ptr<SDL_Surface, SdlSurfaceDeleter> rendered(
        TTF_RenderUTF8_Shaded(font, line.c_str(), foreground, background));
    if (!rendered) return nullptr;
    return toRgb565(rendered.get());
}

}  // namespace ef2
