#pragma once
// The other pictures that LOAD and SAVE move between disk and memory: stamps,
// the two picture layers of the view, and the fonts.
//
// Stamps in files are BMP pictures. A stamp slot holds RGB565 pixels whose raw
// values are element ids (pasting copies raw values), so a loaded picture is
// converted to RGB565 the way a blit would map it; a stamp saved by the program
// loads back with the same raw values.

#include <SDL_ttf.h>

#include <cstdint>
#include <memory>
#include <string>

#include "world/surface.h"

namespace ef2 {

class StampTable;

// Only the element-id half of the stamp table comes from and goes to files.
constexpr int64_t kFirstFileStamp = 1;
constexpr int64_t kLastFileStamp = 99999;

// Puts the picture of a BMP file into the slot; the slot becomes empty when
// the file cannot be read. Slots outside 1..99,999 are ignored.
void loadStamp(StampTable& stamps, const std::string& name, int64_t slot);
// Writes the stamp of the slot as a BMP; false when the slot is out of range,
// empty, or the file cannot be written.
bool saveStamp(const StampTable& stamps, const std::string& name, int64_t slot);

// The foreground and background pictures the view draws over and under the
// world; either may be absent.
struct PictureLayers {
    SurfacePtr foreground;
    SurfacePtr background;
};

// Replaces a layer with the picture of a BMP file, converted to RGB565; the
// layer stays empty when the file cannot be read.
void loadLayer(SurfacePtr& layer, const std::string& name);

// The fonts scripts can choose: the file text written into the world is
// rendered from (opened at the sizes it needs when text is drawn) and the open
// menu font.
class FontChoice {
public:
    static constexpr const char* kDefaultFontFile = "font.ttf";

    const std::string& textFontFile() const { return textFontFile_; }
    void setTextFontFile(std::string file) { textFontFile_ = std::move(file); }

    // Opens the file at `size` and makes it the menu font at once; false (and
    // the menu font unchanged) when it cannot be opened.
    bool loadMenuFont(const std::string& file, int size);
    TTF_Font* menuFont() const { return menuFont_.get(); }

private:
    struct Closer {
        void operator()(TTF_Font* font) const {
            if (TTF_WasInit()) TTF_CloseFont(font);
        }
    };
    std::string textFontFile_ = kDefaultFontFile;
    std::unique_ptr<TTF_Font, Closer> menuFont_;
};

}  // namespace ef2
