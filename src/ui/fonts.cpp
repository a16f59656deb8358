#include "ui/fonts.h"

#include <cstdio>

namespace ef2 {

namespace {

// SDL_ttf reads a font file while it renders, so the stream stays open with
// the font and closes with it.
TTF_Font* openFont(const std::string& file, int size, Confinement confinement) {
    StreamPtr stream = openForReading(file, confinement).intoStream("rb");
    if (!stream) return nullptr;
    SDL_RWops* source = SDL_RWFromFP(stream.get(), SDL_TRUE);
    if (!source) return nullptr;
    stream.release();  // SDL's from here on
    return TTF_OpenFontRW(source, 1, size);
}

}  // namespace

bool Fonts::open(const std::string& file) {
    if (!TTF_WasInit() && TTF_Init() != 0) return false;
    console_.reset(openFont(file, kStandardFontSize, Confinement::None));
    status_.reset(openFont(file, kStandardFontSize, Confinement::None));
    menu_.reset(openFont(file, kStandardFontSize, Confinement::None));
    textFontFile_ = file;
    textFontConfinement_ = Confinement::None;
    return console_ && status_ && menu_;
}

void Fonts::setTextFontFile(const std::string& file) {
    textFontFile_ = file;
    textFontConfinement_ = Confinement::WorkingFolder;
}

bool Fonts::setMenuFont(const std::string& file, int size) {
    if (!TTF_WasInit() || size <= 0) return false;
    FontPtr font(openFont(file, size, Confinement::WorkingFolder));
    if (!font) return false;
    menu_ = std::move(font);
    return true;
}

TTF_Font* Fonts::writeFont(int size) {
    if (!TTF_WasInit() || size <= 0) return nullptr;
    if (write_ && size == writeSize_ && writeFile_ == textFontFile_) return write_.get();
    write_.reset(openFont(textFontFile_, size, textFontConfinement_));
    writeSize_ = write_ ? size : 0;
    writeFile_ = textFontFile_;
    return write_.get();
}

}  // namespace ef2
