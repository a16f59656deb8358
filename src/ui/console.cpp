#include "ui/console.h"

#include <algorithm>

#include "script/coarse_clock.h"
#include "ui/text.h"

namespace ef2 {

namespace {

bool continuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The history file sits beside the log: "console.txt" -> "console_history.txt".
std::string historyPathFor(const std::string& logPath) {
    const std::size_t slash = logPath.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : logPath.substr(0, slash + 1);
    return folder + "console_history.txt";
}

constexpr uint16_t kInkColour = 0xFFFF;
constexpr uint16_t kInputColour = 0xFFE0;  // yellow: what the user types

}  // namespace

void ConsoleLine::insert(std::string_view utf8) {
    // A line break never enters the line: text pasted with one stops there.
    utf8 = utf8.substr(0, utf8.find_first_of("\r\n"));
    text_.insert(cursor_, utf8);
    cursor_ += utf8.size();
}

void ConsoleLine::backspace() {
    if (cursor_ == 0) return;
    std::size_t start = cursor_ - 1;
    while (start > 0 && continuationByte(text_[start])) --start;
    text_.erase(start, cursor_ - start);
    cursor_ = start;
}

void ConsoleLine::deleteForward() {
    if (cursor_ >= text_.size()) return;
    std::size_t end = cursor_ + 1;
    while (end < text_.size() && continuationByte(text_[end])) ++end;
    text_.erase(cursor_, end - cursor_);
}

void ConsoleLine::left() {
    while (cursor_ > 0) {
        --cursor_;
        if (!continuationByte(text_[cursor_])) break;
    }
}

void ConsoleLine::right() {
    while (cursor_ < text_.size()) {
        ++cursor_;
        if (cursor_ == text_.size() || !continuationByte(text_[cursor_])) break;
    }
}

void ConsoleLine::historyBack() {
    if (historyPosition_ == 0) return;
    if (historyPosition_ == history_.size()) draft_ = text_;
    text_ = history_[--historyPosition_];
    cursor_ = text_.size();
}

void ConsoleLine::historyForward() {
    if (historyPosition_ >= history_.size()) return;
    ++historyPosition_;
    text_ = historyPosition_ == history_.size() ? draft_ : history_[historyPosition_];
    cursor_ = text_.size();
}

std::string ConsoleLine::take() {
    std::string line = std::move(text_);
    text_.clear();
    draft_.clear();
    cursor_ = 0;
    if (!line.empty() && (history_.empty() || history_.back() != line)) {
        history_.push_back(line);
        while (history_.size() > kConsoleHistory) history_.pop_front();
    }
    historyPosition_ = history_.size();
    return line;
}

void ConsoleLine::setHistory(std::deque<std::string> history) {
    history_ = std::move(history);
    while (history_.size() > kConsoleHistory) history_.pop_front();
    historyPosition_ = history_.size();
}

Console::Console() : picture_(makeSurface16(kConsoleWidth, kConsoleHeight)) {}

Console::~Console() {
    log_.reset();
    if (echo_) std::fflush(stdout);
}

void Console::openLog(const std::string& path, Confinement confinement) {
    log_.reset();
    log_ = openForWriting(path, WriteMode::Replace, confinement).intoStream("wb");
    historyPath_ = historyPathFor(path);
    confinement_ = confinement;
    std::string text;
    std::deque<std::string> history;
    if (readWholeFile(historyPath_, text, confinement) == FileError::None) {
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = std::min(text.find('\n', start), text.size());
            if (end > start) history.emplace_back(text.substr(start, end - start));
            start = end + 1;
        }
    }
    input_.setHistory(std::move(history));
}

void Console::flush() {
    if (log_) std::fflush(log_.get());
    if (echo_) std::fflush(stdout);
    lastFlush_ = coarseMilliseconds();
}

void Console::print(std::string_view line) {
    if (log_) {
        std::fwrite(line.data(), 1, line.size(), log_.get());
        std::fputc('\n', log_.get());
    }
    if (echo_) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
    }
    if (coarseMilliseconds() - lastFlush_ >= kFlushIntervalMs) flush();
    if (lines_.size() == kConsoleScrollback) lines_.pop_front();
    lines_.emplace_back(line);
    // A log scrolled back stays on the lines being read.
    if (scrollBack_ > 0) scrollBack_ = std::min<int>(scrollBack_ + 1, static_cast<int>(lines_.size()) - 1);
    changed_ = true;
    pictureStale_ = true;
}

std::string Console::submitInput() {
    std::string line = input_.take();
    scrollBack_ = 0;
    print("> " + line);
    saveHistory();
    return line;
}

void Console::saveHistory() {
    if (historyPath_.empty()) return;
    StreamPtr file = openForWriting(historyPath_, WriteMode::Replace, confinement_).intoStream("wb");
    if (!file) return;
    for (const std::string& line : input_.history()) {
        std::fwrite(line.data(), 1, line.size(), file.get());
        std::fputc('\n', file.get());
    }
}

void Console::scrollBy(int lines) {
    const int most = std::max<int>(static_cast<int>(lines_.size()) - 1, 0);
    scrollBack_ = std::clamp(scrollBack_ + lines, 0, most);
    pictureStale_ = true;
}

SDL_Surface* Console::picture(bool withInput) {
    if (pictureStale_ || renderedWithInput_ != withInput) render(withInput);
    return picture_.get();
}

// Lines from the bottom up: the input line first when it is shown, then the
// log from the newest line (or the one scrolled back to).
void Console::render(bool withInput) {
    pictureStale_ = false;
    renderedWithInput_ = withInput;
    SDL_Surface* picture = picture_.get();
    if (!picture) return;
    SDL_FillRect(picture, nullptr, 0);
    int baseline = kConsoleHeight - 2;
    if (withInput) {
        const std::string& text = input_.text();
        const std::string shown = "> " + text.substr(0, input_.cursor()) + "|" + text.substr(input_.cursor());
        drawText(picture, font_, shown, 2, baseline, kInputColour, false);
        baseline -= kConsoleLineHeight;
    }
    for (auto line = lines_.rbegin() + std::min<std::size_t>(scrollBack_, lines_.size());
         line != lines_.rend() && baseline > 0; ++line, baseline -= kConsoleLineHeight) {
        drawText(picture, font_, *line, 2, baseline, kInkColour, false);
    }
}

}  // namespace ef2
