#pragma once
// Icon records as statements read them: a type word, an argument and, for
// "HEX", three colour expressions.

#include <memory>
#include <optional>
#include <string>

#include "script/parser.h"
#include "world/icon_record.h"

namespace ef2 {

// Reads "type argument [r g b]" (the colours only for HEX, percent base 255).
// Without a type word the icon is `fallbackType` with `fallbackArgument`.
// Nothing when a HEX colour is missing or invalid.
std::optional<IconPtr> readIcon(StatementReader& reader, const std::string& fallbackType,
                                const std::string& fallbackArgument);

// A copy that a statement may hand to an element or group.
IconPtr copyIcon(const IconPtr& icon);

}  // namespace ef2
