#pragma once
// The canonical text of an interaction rule, as listings print it.

#include <string>

#include "world/element_table.h"

namespace ef2 {

std::string interactionText(const ElementTable& elements, const Interaction& rule,
                            const std::string& ownerName);

}  // namespace ef2
