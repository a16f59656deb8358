#pragma once
// The message console: every line reported to the local user.
//
// Each line scrolls into the console picture (2000 x 200 pixels, lines 14
// pixels apart, the newest at the bottom), which the window shows when CONSOLE
// is set, and is appended to "console.txt" in the working directory (emptied
// at start, flushed line by line so nothing is lost when the program ends).
// Without a window every line is also echoed to standard output.

#include <SDL_ttf.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "platform/confined_files.h"
#include "world/surface.h"

namespace ef2 {

constexpr int kConsoleWidth = 2000;
constexpr int kConsoleHeight = 200;
constexpr int kConsoleLineHeight = 14;

class Console {
public:
    Console();
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Opens (empties) the log file; without this call lines are kept in memory only.
    void openLog(const std::string& path, Confinement confinement = Confinement::WorkingFolder);
    void setEchoToStdout(bool echo) { echo_ = echo; }
    void setFont(TTF_Font* font) { font_ = font; }

    void print(std::string_view line);

    SDL_Surface* picture() { return picture_.get(); }
    // Set by every line, cleared when the console is shown.
    bool changed() const { return changed_; }
    void clearChanged() { changed_ = false; }
    // The most recent lines, oldest first (kept for tests).
    const std::vector<std::string>& recentLines() const { return recent_; }

private:
    static constexpr std::size_t kRecentLines = 64;
    void scrollIn(std::string_view line);

    SurfacePtr picture_;
    TTF_Font* font_ = nullptr;
    std::FILE* log_ = nullptr;
    bool echo_ = false;
    bool changed_ = false;
    std::vector<std::string> recent_;
};

}  // namespace ef2
