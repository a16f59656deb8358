#pragma once
// The message console: every line reported to the local user.
//
// Each line scrolls into the console picture (2000 x 200 pixels, lines 14
// pixels apart, the newest at the bottom), which the window shows when CONSOLE
// is set, and is appended to "console.txt" in the working directory (emptied
// at start). Without a window every line is also echoed to standard output.
// A script that prints in a loop must stay cheap: the picture is drawn when
// it is shown, not per line, and the files are flushed at most every few
// milliseconds while lines arrive, at every pass of the frame loop
// (flush) and when the program ends.

#include <SDL_ttf.h>

#include <cstdint>
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
    // Writes out what the log and standard output hold.
    void flush();

    // Up to date with every line printed so far.
    SDL_Surface* picture();
    // Set by every line, cleared when the console is shown.
    bool changed() const { return changed_; }
    void clearChanged() { changed_ = false; }
    // The most recent lines, oldest first.
    const std::vector<std::string>& recentLines() const { return recent_; }

private:
    static constexpr std::size_t kRecentLines = 64;
    static constexpr int64_t kFlushIntervalMs = 10;
    // The lines that reach into the picture: its full strips and the one
    // whose lower part shows at the top.
    static constexpr std::size_t kShownLines = kConsoleHeight / kConsoleLineHeight + 1;
    static_assert(kShownLines <= kRecentLines);
    void render();

    SurfacePtr picture_;
    TTF_Font* font_ = nullptr;
    std::FILE* log_ = nullptr;
    bool echo_ = false;
    bool changed_ = false;
    bool pictureStale_ = false;
    int64_t lastFlush_ = 0;
    std::vector<std::string> recent_;
};

}  // namespace ef2
