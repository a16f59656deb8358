#pragma once
// Text into 16-bit pictures: one line in one colour, or a shaded label.

#include <SDL_ttf.h>

#include <cstdint>
#include <string_view>

#include "world/surface.h"

namespace ef2 {

struct TextSize {
    int width = 0;
    int height = 0;
};

// Writes every set pixel of the rendered line into `target` as the raw value
// `value` (a mapped colour, or an element id when the target is the grid), so
// that the text's baseline falls on row `baselineY`. With `centred` the text
// is centred on x. Pixels outside the target are skipped.
TextSize drawText(SDL_Surface* target, TTF_Font* font, std::string_view text, int x, int baselineY,
                  uint16_t value, bool centred);

// A label: the text in `foreground` on an opaque `background`, as an RGB565
// picture; nullptr when there is no font or no text.
SurfacePtr renderLabel(TTF_Font* font, std::string_view text, SDL_Color foreground, SDL_Color background);

// Any surface as an RGB565 picture of the same size.
SurfacePtr toRgb565(SDL_Surface* picture);

}  // namespace ef2
