#pragma once
// The message buffer: one text that MESSAGE statements compose and use.
// The exact word "MESSAGE" given as a file, trigger or element name stands for
// its current text.

#include <string>
#include <string_view>

namespace ef2 {

// 32,000 bytes including the terminating NUL of the text it replaces.
constexpr std::size_t kMessageCapacity = 31999;

class MessageBuffer {
public:
    const std::string& text() const { return text_; }
    void clear() { text_.clear(); }
    // Appends as much as fits; the rest is cut, never overrun.
    void append(std::string_view more) {
        std::size_t room = kMessageCapacity - text_.size();
        text_.append(more.substr(0, room));
    }

private:
    std::string text_;
};

}  // namespace ef2
