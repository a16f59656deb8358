#pragma once
// The status line's text, rebuilt by STATUS statements (usually from the
// STATUS trigger that runs before each redraw).

#include "script/bounded_text.h"

namespace ef2 {

// The text holds at most 4,095 bytes; longer additions are cut.
constexpr std::size_t kStatusCapacity = 4095;

using StatusLine = BoundedText<kStatusCapacity>;

}  // namespace ef2
