#pragma once
// The string table: numbered texts that MESSAGE SAVESTRING fills and that
// MESSAGE ADDSTRING and string icons read.

#include <cstdint>
#include <string>
#include <vector>

namespace ef2 {

// Slots 0 to 9,999, all empty at start.
constexpr int kStringSlots = 10000;

class StringTable {
public:
    StringTable() : slots_(kStringSlots) {}
    static bool valid(int64_t index) { return index >= 0 && index < kStringSlots; }
    // The text in a slot; empty for empty slots and indexes out of range.
    const std::string& get(int64_t index) const { return valid(index) ? slots_[index] : empty_; }
    // Indexes out of range are ignored.
    void set(int64_t index, std::string text) {
        if (valid(index)) slots_[index] = std::move(text);
    }

private:
    std::vector<std::string> slots_;
    std::string empty_;
};

}  // namespace ef2
