#include "ui/console.h"

namespace ef2 {

Console::~Console() {
    if (log_) std::fclose(log_);
}

void Console::openLog(const std::string& path) {
    if (log_) std::fclose(log_);
    log_ = std::fopen(path.c_str(), "wb");
}

void Console::print(std::string_view line) {
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
