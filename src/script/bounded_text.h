#pragma once
// A text that grows by appending up to a fixed number of bytes; whatever does
// not fit is cut, never overrun.

#include <cstddef>
#include <string>
#include <string_view>

namespace ef2 {

template <std::size_t Capacity>
class BoundedText {
public:
    static constexpr std::size_t kCapacity = Capacity;

    const std::string& text() const { return text_; }
    void clear() { text_.clear(); }
    void append(std::string_view more) { text_.append(more.substr(0, Capacity - text_.size())); }

private:
    std::string text_;
};

}  // namespace ef2
