#include "ui/console.h"

#include <cstring>

#include "platform/confined_files.h"
#include "ui/text.h"

namespace ef2 {

Console::Console() : picture_(makeSurface16(kConsoleWidth, kConsoleHeight)) {}

Console::~Console() {
    if (log_) std::fclose(log_);
}

void Console::openLog(const std::string& path, Confinement confinement) {
    if (log_) std::fclose(log_);
    log_ = openForWriting(path, WriteMode::Replace, confinement).intoStream("wb");
}

// The picture moves up by one line and the new line is written at the bottom.
void Console::scrollIn(std::string_view line) {
    if (!picture_) return;
    SDL_Surface* picture = picture_.get();
    auto* pixels = static_cast<uint8_t*>(picture->pixels);
    const int pitch = picture->pitch;
    std::memmove(pixels, pixels + kConsoleLineHeight * pitch,
                 static_cast<std::size_t>(pitch) * (kConsoleHeight - kConsoleLineHeight));
    SDL_Rect bottom{0, kConsoleHeight - kConsoleLineHeight, kConsoleWidth, kConsoleLineHeight};
    SDL_FillRect(picture, &bottom, 0);
    drawText(picture, font_, line, 2, kConsoleHeight - 2, rgb565(255, 255, 255), false);
}

void Console::print(std::string_view line) {
    scrollIn(line);
    if (log_) {
        std::fwrite(line.data(), 1, line.size(), log_);
        std::fputc('\n', log_);
        std::fflush(log_);
    }
    if (echo_) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    if (recent_.size() == kRecentLines) recent_.erase(recent_.begin());
    recent_.emplace_back(line);
    changed_ = true;
}

}  // namespace ef2
