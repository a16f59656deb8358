#pragma once
// The message buffer: one text that MESSAGE statements compose and use.
// The exact word "MESSAGE" given as a file, trigger or element name stands for
// its current text.

#include "script/bounded_text.h"

namespace ef2 {

// 32,000 bytes including the terminating NUL of the text it replaces.
constexpr std::size_t kMessageCapacity = 31999;

using MessageBuffer = BoundedText<kMessageCapacity>;

}  // namespace ef2
