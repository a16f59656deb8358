#pragma once
// The status line's text, rebuilt by STATUS statements (usually from the
// STATUS trigger that runs before each redraw).

#include <string>
#include <string_view>

namespace ef2 {

// The text holds at most 4,095 bytes; longer additions are cut.
constexpr std::size_t kStatusCapacity = 4095;

class StatusLine {
public:
    const std::string& text() const { return text_; }
    void clear() { text_.clear(); }
    void append(std::string_view more) { text_.append(more.substr(0, kStatusCapacity - text_.size())); }

private:
    std::string text_;
};

}  // namespace ef2
