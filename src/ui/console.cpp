#include "ui/console.h"

#include <algorithm>

#include "platform/confined_files.h"
#include "script/coarse_clock.h"
#include "ui/text.h"

namespace ef2 {

Console::Console() : picture_(makeSurface16(kConsoleWidth, kConsoleHeight)) {}

Console::~Console() {
    if (log_) std::fclose(log_);
    if (echo_) std::fflush(stdout);
}

void Console::openLog(const std::string& path, Confinement confinement) {
    if (log_) std::fclose(log_);
    log_ = openForWriting(path, WriteMode::Replace, confinement).intoStream("wb");
}

// The newest lines from the bottom up, oldest first, each on its own cleared
// strip: the same picture as scrolling every line in as it came.
void Console::render() {
    pictureStale_ = false;
    if (!picture_) return;
    SDL_Surface* picture = picture_.get();
    SDL_FillRect(picture, nullptr, 0);
    const std::size_t shown = std::min(recent_.size(), kShownLines);
    for (std::size_t k = shown; k-- > 0;) {
        const int bottom = kConsoleHeight - kConsoleLineHeight * static_cast<int>(k);
        SDL_Rect strip{0, bottom - kConsoleLineHeight, kConsoleWidth, kConsoleLineHeight};
        SDL_FillRect(picture, &strip, 0);
        drawText(picture, font_, recent_[recent_.size() - 1 - k], 2, bottom - 2, rgb565(255, 255, 255), false);
    }
}

void Console::flush() {
    if (log_) std::fflush(log_);
    if (echo_) std::fflush(stdout);
    lastFlush_ = coarseMilliseconds();
}

SDL_Surface* Console::picture() {
    if (pictureStale_) render();
    return picture_.get();
}

void Console::print(std::string_view line) {
    pictureStale_ = true;
    if (log_) {
        std::fwrite(line.data(), 1, line.size(), log_);
        std::fputc('\n', log_);
    }
    if (echo_) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
    }
    if (coarseMilliseconds() - lastFlush_ >= kFlushIntervalMs) flush();
    if (recent_.size() == kRecentLines) recent_.erase(recent_.begin());
    recent_.emplace_back(line);
    changed_ = true;
}

}  // namespace ef2
