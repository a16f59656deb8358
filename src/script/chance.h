#pragma once
// Chances: whole numbers of parts in kChanceScale.
//
// The program's random numbers run from 0 to kChanceScale - 1, so a chance c
// happens when a number drawn is below c: 0 never, kChanceScale always. Rule
// chances, death rates, wind, RAND and the default base of percentages all
// count in these parts.

#include <cstdint>

namespace ef2 {

constexpr int32_t kChanceScale = 32768;

}  // namespace ef2
