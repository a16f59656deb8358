#pragma once
// The message console: every line reported to the local user.
//
// Each line is appended to "console.txt" in the working directory (emptied at
// start, flushed line by line so nothing is lost when the program ends) and,
// when the program runs without a window, echoed to standard output.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace ef2 {

class Console {
public:
    Console() = default;
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Opens (empties) the log file; without this call lines are kept in memory only.
    void openLog(const std::string& path);
    void setEchoToStdout(bool echo) { echo_ = echo; }

    void print(std::string_view line);

    // Set by every line, cleared when the console is shown.
    bool changed() const { return changed_; }
    void clearChanged() { changed_ = false; }
    // The most recent lines, oldest first (kept for the console picture and tests).
    const std::vector<std::string>& recentLines() const { return recent_; }

private:
    static constexpr std::size_t kRecentLines = 64;

    std::FILE* log_ = nullptr;
    bool echo_ = false;
    bool changed_ = false;
    std::vector<std::string> recent_;
};

}  // namespace ef2
