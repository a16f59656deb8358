#pragma once
// Reading numbers out of script text the way the language always has: the
// "%i" conversion (decimal, 0x hexadecimal, leading-zero octal, optional sign,
// leading blanks skipped, anything after the number ignored) and the "%f"
// conversion used by percentages.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace ef2 {

// The integer at the start of `text`, or nothing when no digits are there.
// Values beyond 64 bits saturate and are then cut to 32 bits, as the classic
// conversion into an int does.
std::optional<int32_t> scanInteger(std::string_view text);

// The same, also telling how many characters the number took (blanks included).
struct ScannedInteger {
    int32_t value;
    std::size_t length;
};
std::optional<ScannedInteger> scanIntegerPrefix(std::string_view text);

// The decimal fraction at the start of `text`, or nothing.
std::optional<double> scanDecimal(std::string_view text);

}  // namespace ef2
