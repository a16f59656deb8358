#pragma once
// The message console: every line reported to the local user, and the line
// the user types into it.
//
// Each line is appended to "console.txt" in the working directory (emptied at
// start) and kept, the newest few thousand, for the console picture (lines 14
// pixels apart, the newest at the bottom), which the window shows when
// CONSOLE is set. Without a window every line is also echoed to standard
// output. A script that prints in a loop must stay cheap: the picture is
// drawn when it is shown, not per line, and the files are flushed at most
// every few milliseconds while lines arrive, at every pass of the frame loop
// (flush) and when the program ends.
//
// While the console is open it has the keyboard: typed text edits its input
// line, Enter runs the line as a script line of the local user, Up and Down
// walk the history of the last 100 lines (kept in "console_history.txt"), and
// Page Up, Page Down and the wheel scroll the log.

#include <SDL_ttf.h>

#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "platform/confined_files.h"
#include "world/surface.h"

namespace ef2 {

constexpr int kConsoleWidth = 2000;
constexpr int kConsoleHeight = 200;
constexpr int kConsoleLineHeight = 14;
// Lines kept for scrolling back; older ones are only in the log file.
constexpr std::size_t kConsoleScrollback = 5000;
// Typed lines kept in the history.
constexpr std::size_t kConsoleHistory = 100;

// The line being typed, with its cursor (a byte offset at a character's
// start) and the history it walks.
class ConsoleLine {
public:
    const std::string& text() const { return text_; }
    std::size_t cursor() const { return cursor_; }

    void insert(std::string_view utf8);
    void backspace();
    void deleteForward();
    void left();
    void right();
    void home() { cursor_ = 0; }
    void end() { cursor_ = text_.size(); }
    void historyBack();
    void historyForward();
    // Takes the line for running: it goes into the history (unless it is
    // empty or repeats the newest entry) and the line is emptied.
    std::string take();

    const std::deque<std::string>& history() const { return history_; }
    void setHistory(std::deque<std::string> history);

private:
    std::string text_;
    std::size_t cursor_ = 0;
    std::deque<std::string> history_;
    std::size_t historyPosition_ = 0;  // history_.size() is the line being typed
    std::string draft_;                // the typed line while the history is walked
};

class Console {
public:
    Console();
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Opens (empties) the log file and reads the history beside it; without
    // this call lines are kept in memory only.
    void openLog(const std::string& path, Confinement confinement = Confinement::WorkingFolder);
    void setEchoToStdout(bool echo) { echo_ = echo; }
    void setFont(TTF_Font* font) {
        font_ = font;
        pictureStale_ = true;
    }

    void print(std::string_view line);
    // Writes out what the log and standard output hold.
    void flush();

    ConsoleLine& input() { return input_; }
    // Runs the typed line's bookkeeping: echoes it to the log, records the
    // history file, and returns the line to run.
    std::string submitInput();
    // Moves the view of the log; positive is back towards older lines.
    void scrollBy(int lines);
    int scrolledBack() const { return scrollBack_; }
    void inputChanged() { pictureStale_ = true; }

    // The console picture (2000 x 200 pixels): the log's newest lines (or
    // those scrolled to), and the input line at the bottom when `withInput`.
    SDL_Surface* picture(bool withInput);
    // Set by every line, cleared when the console is shown.
    bool changed() const { return changed_; }
    void clearChanged() { changed_ = false; }
    // The lines kept, oldest first.
    const std::deque<std::string>& recentLines() const { return lines_; }

private:
    void render(bool withInput);
    void saveHistory();

    static constexpr int64_t kFlushIntervalMs = 10;

    SurfacePtr picture_;
    TTF_Font* font_ = nullptr;
    StreamPtr log_;
    int64_t lastFlush_ = 0;
    std::string historyPath_;
    Confinement confinement_ = Confinement::WorkingFolder;
    bool echo_ = false;
    bool changed_ = false;
    bool pictureStale_ = true;
    bool renderedWithInput_ = false;
    int scrollBack_ = 0;
    std::deque<std::string> lines_;
    ConsoleLine input_;
};

}  // namespace ef2
