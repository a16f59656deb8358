#pragma once
// The key name table: which script name a key code has, so that a key press
// can run KEY_<name>. The first definition of a code wins; several codes may
// share one name.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ef2 {

class KeyNames {
public:
    struct Entry {
        int32_t code;
        std::string name;
    };

    // Appends an entry unless the code already has one.
    void defineKeyName(std::string_view name, int32_t code);
    // Every name the code has (at most one, by the rule above).
    const std::string* nameOf(int32_t code) const;
    const std::vector<Entry>& entries() const { return entries_; }

private:
    std::vector<Entry> entries_;
};

}  // namespace ef2
