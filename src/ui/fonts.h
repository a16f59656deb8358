#pragma once
// The program's fonts, all from "font.ttf" in the program folder: the console
// and status fonts, the menu font (which LOAD MENUFONT replaces) and the
// write font, opened at whatever size WRITE asks for.

#include <SDL_ttf.h>

#include <memory>
#include <string>

#include "platform/confined_files.h"

namespace ef2 {

struct FontDeleter {
    void operator()(TTF_Font* font) const {
        if (font && TTF_WasInit()) TTF_CloseFont(font);
    }
};
using FontPtr = std::unique_ptr<TTF_Font, FontDeleter>;

constexpr const char* kFontFile = "font.ttf";
constexpr int kStandardFontSize = 12;

class Fonts {
public:
    // Starts SDL_ttf and opens the fixed fonts; false when "font.ttf" cannot
    // be opened (text then draws nothing). The program's own font file may lie
    // outside the working folder; fonts that scripts name may not.
    bool open(const std::string& file = kFontFile);
    TTF_Font* console() const { return console_.get(); }
    TTF_Font* status() const { return status_.get(); }
    TTF_Font* menu() const { return menu_.get(); }
    // Replaces the menu font; false (and the old font stays) when it cannot be opened.
    bool setMenuFont(const std::string& file, int size);
    // The file WRITE renders with (LOAD FONT records it).
    void setTextFontFile(const std::string& file);
    // The write font at `size`, reopened when the size changes; null when it cannot be opened.
    TTF_Font* writeFont(int size);

private:
    FontPtr console_, status_, menu_, write_;
    int writeSize_ = 0;
    std::string textFontFile_ = kFontFile;
    Confinement textFontConfinement_ = Confinement::WorkingFolder;
    std::string writeFile_;
};

}  // namespace ef2
