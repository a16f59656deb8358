#include "ui/fonts.h"

namespace ef2 {

bool Fonts::open(const std::string& file) {
    if (!TTF_WasInit() && TTF_Init() != 0) return false;
    console_.reset(TTF_OpenFont(file.c_str(), kStandardFontSize));
    status_.reset(TTF_OpenFont(file.c_str(), kStandardFontSize));
    menu_.reset(TTF_OpenFont(file.c_str(), kStandardFontSize));
    textFontFile_ = file;
    return console_ && status_ && menu_;
}

bool Fonts::setMenuFont(const std::string& file, int size) {
    if (!TTF_WasInit() || size <= 0) return false;
    FontPtr font(TTF_OpenFont(file.c_str(), size));
    if (!font) return false;
    menu_ = std::move(font);
    return true;
}

TTF_Font* Fonts::writeFont(int size) {
    if (!TTF_WasInit() || size <= 0) return nullptr;
    if (write_ && size == writeSize_ && writeFile_ == textFontFile_) return write_.get();
    write_.reset(TTF_OpenFont(textFontFile_.c_str(), size));
    writeSize_ = write_ ? size : 0;
    writeFile_ = textFontFile_;
    return write_.get();
}

}  // namespace ef2
