#pragma once
// Pieces of the canonical one-line form in which statements and rules are
// printed (listings, traces, saved worlds).

#include <string>
#include <string_view>

namespace ef2 {

// A name or text between double quotes, as it is written in a script line.
inline std::string quoted(std::string_view text) {
    std::string result;
    result.reserve(text.size() + 2);
    result += '"';
    result += text;
    result += '"';
    return result;
}

}  // namespace ef2
